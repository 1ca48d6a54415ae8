// The window layer's message numbers, and the packing of their parameters.
//
// Pairs of 16-bit values are packed first value low, second high
// (x | y << 16, width | height << 16, keysym | state << 16). mp1 and mp2
// are pointer-sized; every pair still lives in the low 32 bits. The one
// exception is a key message whose keysym does not fit 16 bits: its full
// keysym rides in the high 32 bits of mp1 and the low half says NoSymbol,
// so no reader of the low half ever sees another key (xf_key_keysym).
#pragma once

#include <cstdint>

inline constexpr uint32_t ZWM_CREATE = 1;
inline constexpr uint32_t ZWM_DESTROY = 2;
inline constexpr uint32_t ZWM_SIZE = 3;
inline constexpr uint32_t ZWM_ACTIVATE = 7;
inline constexpr uint32_t ZWM_MOVE = 9;
inline constexpr uint32_t ZWM_COMMAND = 16;
inline constexpr uint32_t ZWM_SYSCOMMAND = 17;
inline constexpr uint32_t ZWM_MOUSEMOVE = 19;
inline constexpr uint32_t ZWM_LBUTTONDOWN = 20;
inline constexpr uint32_t ZWM_RBUTTONDOWN = 21;
inline constexpr uint32_t ZWM_MBUTTONDOWN = 22;
inline constexpr uint32_t ZWM_LBUTTONUP = 23;
inline constexpr uint32_t ZWM_RBUTTONUP = 24;
inline constexpr uint32_t ZWM_MBUTTONUP = 25;
inline constexpr uint32_t ZWM_LBUTTONDBLCLK = 26;
inline constexpr uint32_t ZWM_RBUTTONDBLCLK = 27;
inline constexpr uint32_t ZWM_MBUTTONDBLCLK = 28;
inline constexpr uint32_t ZWM_VSCROLL = 37;
inline constexpr uint32_t ZWM_HSCROLL = 38;
inline constexpr uint32_t ZWM_TIMER = 42;
inline constexpr uint32_t ZWM_CLOSE = 45;
inline constexpr uint32_t ZWM_BTNQUERYCHECK = 59;
inline constexpr uint32_t ZWM_BTNSETCHECK = 60;
inline constexpr uint32_t ZWM_BTNSETDEFAULT = 63;
inline constexpr uint32_t ZWM_SBQUERYRANGE = 75;
inline constexpr uint32_t ZWM_SBSETRANGE = 76;
inline constexpr uint32_t ZWM_SBQUERYPOS = 77;
inline constexpr uint32_t ZWM_SBSETPOS = 78;
inline constexpr uint32_t ZWM_SBSETTHUMBSIZE = 79;
inline constexpr uint32_t ZWM_SETTEXT = 0x1001;
inline constexpr uint32_t ZWM_KILLFOCUS = 0x1002;
inline constexpr uint32_t ZWM_SETFONT = 0x1003;
inline constexpr uint32_t ZWM_HITTEST = 0x1004;
inline constexpr uint32_t ZWM_MOUSEACTIVATE = 0x1005;
inline constexpr uint32_t ZWM_SETFOCUS = 0x1006;
inline constexpr uint32_t ZWM_SETPOINTER = 0x1009;
inline constexpr uint32_t ZWM_NULL = 0x2101;
inline constexpr uint32_t ZWM_PAINT = 0x2102;
inline constexpr uint32_t ZWM_CHAR = 0x2103;
inline constexpr uint32_t ZWM_ALTUP = 0x2104;
inline constexpr uint32_t ZWM_POINTERENTER = 0x2105;
inline constexpr uint32_t ZWM_POINTERLEAVE = 0x2106;
inline constexpr uint32_t ZWM_XFOCUSIN = 0x2107;
inline constexpr uint32_t ZWM_XFOCUSOUT = 0x2108;
// A wheel notch (buttons 4 and 5): mp1 is -1 up, 1 down; mp2 the root
// position. The dispatch turns it into three line steps of the vertical
// scroll bar; it is never a right click.
inline constexpr uint32_t ZWM_WHEEL = 0x2110;
inline constexpr uint32_t ZWM_MAPPED = 0x2203;
inline constexpr uint32_t ZWM_WMDELETE = 0x2205;
inline constexpr uint32_t ZWM_DATABUFFERCHANGED = 0x2206;
inline constexpr uint32_t ZWM_TAKEFOCUS = 0x2207;
inline constexpr uint32_t ZWM_SELECTIONLOST = 0x2208;
inline constexpr uint32_t ZWM_SELECTIONNOTIFY = 0x2209;
inline constexpr uint32_t ZWM_SELECTIONREQUEST = 0x220A;
inline constexpr uint32_t ZWM_TCSELECTIONLOST = 0x2300;
// A peer asks for our window list: mp1 its window, mp2 the property atom.
inline constexpr uint32_t ZWM_PEERLISTREQUEST = 0x2301;
inline constexpr uint32_t ZWM_TCDATABUFFERCHANGED = 0x2302;

// The mouse range that the dispatch and the disabled-window checks test.
inline constexpr uint32_t kMouseFirst = ZWM_MOUSEMOVE;
inline constexpr uint32_t kMouseLast = ZWM_MBUTTONDBLCLK;

// The highest number a get or peek call's range reaches when `last` is 0.
inline constexpr uint32_t kLastMessage = 0x0FFFFFFF;

inline constexpr intptr_t xf_pack(int32_t low, int32_t high) {
  return static_cast<intptr_t>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF));
}
inline constexpr int16_t xf_low(intptr_t v) { return static_cast<int16_t>(v & 0xFFFF); }
inline constexpr int16_t xf_high(intptr_t v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }

// mp1 of a key message, and its parts.
inline constexpr intptr_t xf_key_mp1(unsigned long keysym, uint32_t state) {
  uint64_t s = (state & 0xFFFF) << 16;
  if (keysym <= 0xFFFF) return static_cast<intptr_t>(s | keysym);
  return static_cast<intptr_t>(static_cast<uint64_t>(keysym & 0xFFFFFFFF) << 32 | s);
}
inline constexpr unsigned long xf_key_keysym(intptr_t mp1) {
  uint64_t v = static_cast<uint64_t>(mp1);
  return (v >> 32) ? static_cast<unsigned long>(v >> 32) : static_cast<unsigned long>(v & 0xFFFF);
}
inline constexpr uint32_t xf_key_state(intptr_t mp1) {
  return static_cast<uint32_t>((static_cast<uint64_t>(mp1) >> 16) & 0xFFFF);
}

// mp1 and mp2 of a mouse message: the window position in the low half of
// mp1, the root position in the low half of mp2, as every pair. The X
// event's own modifier state rides in bits 32..47 of mp1 and its time in the
// high half of mp2, so the input translation reads the modifiers held and the
// time of the click itself, not the keyboard's later state or the clock.
inline constexpr intptr_t xf_mouse_mp1(int32_t x, int32_t y, uint32_t state) {
  return static_cast<intptr_t>(static_cast<uint64_t>(state & 0xFFFF) << 32 |
                               static_cast<uint64_t>(static_cast<uint32_t>(xf_pack(x, y))));
}
inline constexpr uint32_t xf_mouse_state(intptr_t mp1) {
  return static_cast<uint32_t>((static_cast<uint64_t>(mp1) >> 32) & 0xFFFF);
}
inline constexpr intptr_t xf_mouse_mp2(int32_t x_root, int32_t y_root, uint32_t time) {
  return static_cast<intptr_t>(static_cast<uint64_t>(time) << 32 |
                               static_cast<uint64_t>(static_cast<uint32_t>(xf_pack(x_root, y_root))));
}
inline constexpr uint32_t xf_mouse_time(intptr_t mp2) {
  return static_cast<uint32_t>(static_cast<uint64_t>(mp2) >> 32);
}
// A new position in mp1, the state kept.
inline constexpr intptr_t xf_mouse_moved(intptr_t mp1, int32_t x, int32_t y) {
  return xf_mouse_mp1(x, y, xf_mouse_state(mp1));
}
