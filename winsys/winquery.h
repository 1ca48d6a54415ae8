// Window queries and attributes: relations and frame parts, rectangles,
// the window manager's frame, enabled and shown states, window words, the
// window text, system values, pointers and capture, z-order, scroll
// notifications, the pick mode, server resources freed at exit, mnemonic
// texts, the clocks and the bell.
//
// Window words are pointer-sized. An offset is checked against the block
// before every access: a word that would reach past the block reads 0 and
// ignores writes.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "winsys/window_rec.h"

// Reserved window-word ids.
inline constexpr uint32_t kWordProc = 0x7FFFFFFF;
inline constexpr uint32_t kWordStyle = 0x7FFFFFBF;
inline constexpr uint32_t kWordUser = 0x7FFFFFC0;
inline constexpr uint32_t kWordId = 0x7FFFFF7F;
inline constexpr uint32_t kWordIconX = 0x7FFFFF81;
inline constexpr uint32_t kWordIconY = 0x7FFFFF82;
inline constexpr uint32_t kWordRestoreWidth = 0x7FFFFF83;
inline constexpr uint32_t kWordRestoreHeight = 0x7FFFFF84;
inline constexpr uint32_t kWordRestoreX = 0x7FFFFF85;
inline constexpr uint32_t kWordRestoreY = 0x7FFFFF86;

// Frame part ids.
inline constexpr uint32_t kPartHsb = 0xFF02;
inline constexpr uint32_t kPartVsb = 0xFF03;
inline constexpr uint32_t kPartMenu = 0xFF05;
inline constexpr uint32_t kPartClient = 0xFF06;

// The handle that stands for the desktop.
inline XfWindow* const kDesktop = reinterpret_cast<XfWindow*>(1);

// ----- relations and parts -----
XfWindow* xfQueryWindow(XfWindow* window, int code);
XfWindow* xfWindowFromId(XfWindow* window, uint32_t id);
XfWindow* xfQueryChildById(XfWindow* window, uint32_t id);
int xfFindChildById(XfWindow* window, uint32_t id, XfWindow** out, XfWindow** out2);
XfWindow* xfFirstChild(XfWindow* window);
XfWindow* xfLastChild(XfWindow* window);
XfWindow* xfPrevSibling(XfWindow* window);
XfWindow* xfNextSibling(XfWindow* window);
void xfSetParentLink(XfWindow* window, XfWindow* parent);
XfWindow* xfFrameOfWindow(XfWindow* window);
bool xfIsInside(XfWindow* outer, XfWindow* window);

// ----- rectangles and positions ({left, bottom, right, top}) -----
struct XfRectLBRT {
  int32_t left, bottom, right, top;
};
void xfWindowRootOrigin(XfWindow* window, int32_t* x, int32_t* y);
void xfAddRootOrigin(XfWindow* window, int32_t* x, int32_t* y);
void xfMapPoint(XfWindow* from, XfWindow* to, int32_t point[2]);
int xfQueryWindowBounds(XfWindow* window, XfRectLBRT* rect);
int xfQueryWindowRect(XfWindow* window, XfRectLBRT* rect);
void xfSetFrameOrigin(XfWindow* window, int32_t x, int32_t y);
void xfQueryScreenSize(int32_t* width, int32_t* height);
void xfQueryRootPointer(XfWindow* window, int32_t* x, int32_t* y);
void xfQueryPointerPos(XfWindow* window, int32_t point[2]);
void xfQueryFrameOuter(XfWindow* frame, int32_t* x, int32_t* y, int32_t* width, int32_t* height);

// ----- the window manager's frame -----
void xfMeasureFrame(XfWindow* frame, bool force);
Window xfFindWmFrame(Window xwindow, Window stop, Window* parent_out, int depth);

// ----- states and attributes -----
bool xfIsWindowEnabled(XfWindow* window);
int xfEnableWindow(XfWindow* window, bool enable);
bool xfIsWindowShown(XfWindow* window);
int xfSetWindowText(XfWindow* window, const char* text);
intptr_t xfQueryWindowULong(XfWindow* window, uint32_t id);
void xfSetWindowULong(XfWindow* window, uint32_t id, intptr_t value);
uint32_t xfQueryWindowUShort(XfWindow* window, uint32_t id);
void xfSetWindowUShort(XfWindow* window, uint32_t id, uint32_t value);
void xfSetWindowColors(XfWindow* window, unsigned long background, long foreground);
void xfSetWindowForeground(XfWindow* window, unsigned long pixel);
int32_t xfQuerySysValue(XfWindow* window, int32_t id);
// System colour 1..16 as 0x00RRGGBB (0 outside, and for 5 and 15).
uint32_t xfQuerySysColorRgb(XfWindow* window, int32_t index);

// ----- capture and pointers -----
XfWindow* xfQueryCapture();
void xfSetCapture(XfWindow* window);
void xfReleaseCapture(XfWindow* window);
int xfSetPointer(XfWindow* window, Cursor pointer);
Cursor xfQueryPointer();
Cursor xfQuerySysPointer(XfWindow* window, int32_t id);
Cursor xfLoadPointer(void* module, XfWindow* window, int32_t id);
// Installs a built-in pointer for a system id (the image layer's cursors).
void xf_set_sys_pointer(int32_t id, Cursor cursor);

// ----- z-order -----
void xfRaiseWindow(XfWindow* window);
void xfLowerWindow(XfWindow* window);
void xfRestackBelow(XfWindow* window, XfWindow* above);
void xfSetZOrder(XfWindow* window, XfWindow* behind);

// ----- scroll notifications -----
void xfScrollNotify(XfWindow* scroll_bar, XfWindow* window, int32_t position, int32_t code);
XfWindow* xfSendToFrameClient(XfWindow* scroll_bar, XfWindow* window);
// A wheel notch on `window`: three line steps of the vertical scroll bar of
// the nearest frame around it, the way its arrows step (direction -1 up,
// 1 down).
void xf_wheel_scroll(XfWindow* window, int direction);

// ----- pick mode -----
void xfSetPickHook(void (*hook)(void* arg, XfWindow* window), void* arg);

// ----- server resources freed at exit -----
void xfRegisterPixmap(Pixmap p);
void xfRegisterCursor(Cursor c);
void xfFreePixmap(Pixmap p);
void xfFreeAllPixmaps();
void xfFreeAllCursors();

// ----- texts with mnemonics ('~' marks the mnemonic) -----
// Copies up to the first tab into `out` (capacity `cap`, NUL-terminated);
// "~~" gives '~'; '~' + c keeps c and makes it the mnemonic when none is set
// yet; a final '~' is dropped. The rest after a tab goes to `accel`.
void xfSplitMnemonicText(const char* text, char* out, char* mnemonic, char* accel, int32_t* length,
                         int32_t* accel_length, int32_t cap, int32_t accel_cap);
void xfStripMnemonic(const char* text, char* out, char* mnemonic, int32_t n, int32_t cap);
void xfLowerCaseString(const char* in, char* out);

// ----- clocks and the bell -----
uint32_t xfQueryMicroseconds();
void xfBeep();
