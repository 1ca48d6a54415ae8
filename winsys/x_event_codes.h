// Key and mouse messages to the editor's event codes.
//
// The editor binds commands to event codes, never to keysyms. A key message
// (keysym, keycode, modifier state) goes through two keysym stages (the
// keymap file and the server family's quirks, then the keypad column chosen
// by NumLock and Shift) and then through one 256-entry table for the keysyms
// 0xFF00..0xFFFF, or through the character rules for 0x20..0x7E. Any other
// keysym gives no event: a keysym is never cut to 16 bits, so a multimedia
// key can never pass for an editing key. Mouse presses are counted into
// single, double and triple clicks on the X event's own time and modifier
// state.
//
// The result lands in one record, the last event (evt_last_event), which
// key dispatch, the built-ins and the menus read. This layer stands below
// the macro runtime, so it speaks in plain numbers: the event codes below
// are the same numbers the macro layer names (a compile-time check in the
// input translation holds the two together). Named keys pass through the
// key alias of the layer that owns the raw keypad codes
// (winsys/key_alias_port.h).
#pragma once

#include <X11/X.h>

#include <cstdint>

#include "winsys/keyboard.h"

struct XfWindow;

// ----- event codes produced here -----
inline constexpr uint32_t kXeShiftSpace = 256;
inline constexpr uint32_t kXeCtrlDot = 259;
inline constexpr uint32_t kXeCtrlComma = 260;
inline constexpr uint32_t kXeAltChar = 261;  // + character
inline constexpr uint32_t kXeCtrlSpace = 293;
inline constexpr uint32_t kXeNamed = 389;  // + named-key index
inline constexpr uint32_t kXeAltNamed = 408;
inline constexpr uint32_t kXeCtrlNamed = 427;
inline constexpr uint32_t kXeShiftNamed = 446;
inline constexpr uint32_t kXeCtrlAltNamed = 465;  // the first four named keys only
inline constexpr uint32_t kXeF1 = 469;            // + function-key index 0..11
inline constexpr uint32_t kXeShiftF1 = 481;
inline constexpr uint32_t kXeAltF1 = 493;
inline constexpr uint32_t kXeCtrlF1 = 505;
inline constexpr uint32_t kXeCtrlShiftF1 = 517;
inline constexpr uint32_t kXeCtrlShiftA = 529;
inline constexpr uint32_t kXeCtrlShift0 = 555;
inline constexpr uint32_t kXeCtrl0 = 565;
inline constexpr uint32_t kXeCtrlShiftNamed = 575;
inline constexpr uint32_t kXeMouse = 594;  // + button (0 left, 1 right, 2 middle); +3 double, +6 triple
inline constexpr uint32_t kXeShiftMouse = 607;
inline constexpr uint32_t kXeAltMouse = 616;
inline constexpr uint32_t kXeCtrlMouse = 625;
inline constexpr uint32_t kXeButtonUp = 603;  // + button
inline constexpr uint32_t kXeMouseMove = 606;
inline constexpr uint32_t kXeOnNumLock = 635;
inline constexpr uint32_t kXeOnTimer = 641;
inline constexpr uint32_t kXeOnScrollLock = 663;
inline constexpr uint32_t kXeEsc = kXeNamed + 2;

inline constexpr int kXeNamedKeys = 19;
inline constexpr int kXeFunctionKeys = 12;

// Modifier bits of the mouse codes (Shift is 3, so "holds Shift" is a
// test of bit 0 and bit 1 together).
inline constexpr uint32_t kXeModAlt = 8;
inline constexpr uint32_t kXeModCtrl = 4;
inline constexpr uint32_t kXeModShift = 3;

// ----- the last event -----
struct XfLastEvent {
  uint32_t replay_event = 0;     // handed out again by waits and tests
  int32_t replay_count = 0;      // how many more times
  uint32_t wait_for_button = 0;  // 1: releases and motion count while a macro waits
  uint32_t mouse_buttons = 0;    // 1 left, 2 right, 4 middle; 0 for a release or motion
  int32_t mouse_x = 0, mouse_y = 0;
  uint16_t double_click_time = 0;  // ms; 0 = the system's value
  uint32_t event = 0;              // 0 = none
  uint32_t event_value = 0;        // lock state, scroll position
  uint32_t has_value = 0;
  uint32_t repeat_count = 1;
  uint8_t break_flag = 0;
  uint8_t capture_held = 0;
  uint8_t scroll_event = 0;
  uint8_t no_paint = 0;
};
XfLastEvent& evt_last_event();
// Back to the start-up state: the last event, the click counter and the
// busy flag (tests, and a new session of the layer).
void evt_reset_state();

// ----- what the key translation knows about the keyboard -----
// Built from the live keyboard by xf_key_context(); tests build their own.
struct XfKeyContext {
  uint32_t alt_mask = Mod1Mask;  // state bits that mean Alt (never AltGr's own bit)
  int family = 0;                // server family (1 PC, 2 Sun, 4 HP, 5 IBM, 6 and 7 DEC)
  bool keypad_translation = false;
  const XfKeymapTable* keymap = nullptr;  // null, or not loaded: no keymap file
  bool raw_alt_keysyms = false;
  // The server's keyboard mapping (HP family): per_keycode keysyms for each
  // keycode from min_keycode to max_keycode; null when not fetched.
  const KeySym* mapping = nullptr;
  int min_keycode = 0, max_keycode = 0, per_keycode = 0;
  unsigned f1_keycode = 0, f2_keycode = 0;  // 0: no such key
  // NumLock on: the key held down or the NumLock modifier in state.
  bool (*numlock_on)(uint32_t state) = nullptr;
  bool (*scroll_or_mode_down)() = nullptr;
  bool (*alt_down)() = nullptr;
  // The simulated NumLock state (toggled by the Num_Lock key on HP servers
  // and with keymap files that ask for it).
  bool* sim_numlock = nullptr;
};
// The live keyboard's context (the HP mapping and the F1/F2 keycodes are
// fetched once per keyboard map).
XfKeyContext xf_key_context();
// The keyboard map changed: the cached facts are fetched again.
void evt_keyboard_changed();

// ----- keys -----
// The two keysym stages (the menu tracker uses them too).
unsigned long evt_key_keysym(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state);
unsigned long evt_keypad_keysym(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state);
// The code of named key `index` (0..18) under the modifiers, through the
// key alias; of a character key 32..126.
uint32_t evt_named_key(const XfKeyContext& kc, int index, uint32_t state);
uint32_t evt_char_key(const XfKeyContext& kc, uint32_t ch, uint32_t state);
// The code of a key press (0: none), without touching the last event;
// *value and *has_value are set for the lock keys, *is_break for Break and
// Ctrl+Pause.
struct XfKeyResult {
  uint32_t event = 0;
  uint32_t value = 0;
  bool has_value = false;
  bool is_break = false;
};
XfKeyResult evt_translate_key(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state);
// A key press into the last event: its event field (0 when the key gives
// none) and, for the lock keys, event value and has value. A break key
// releases the pointer capture and, while a wait or test runs, sets the
// break flag.
uint32_t evt_from_key_msg(unsigned long keysym, unsigned keycode, uint32_t state, bool translate);
uint32_t evt_from_key_msg(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state);

// ----- mouse -----
// Modifier bits (kXeMod*) of an X state word.
uint32_t evt_modifier_bits_of(uint32_t state, uint32_t alt_mask);
// The same from the keyboard's present state (a server round trip).
uint32_t evt_modifier_bits();
// A mouse message 19..28 into the last event (returned; 0 for none).
// `state` is the X event's own modifier state; `time` its X time in ms
// (0: the layer's clock is read instead).
uint32_t evt_from_mouse_msg(uint32_t message, bool count_moves, int32_t x, int32_t y, XfWindow* window, uint32_t state,
                            uint32_t time);
// Counts a press of button 0..2 with modifier bits `mods` at `time`:
// single, double or triple click code.
uint32_t evt_count_click(int button, int32_t x, int32_t y, XfWindow* window, uint32_t mods, uint32_t time);
bool evt_near_last_click(int32_t x, int32_t y);
// The next press counts as a single click.
void evt_reset_click_count();
int evt_click_count();
void evt_set_click_count(int count);

// ----- waits -----
// 1 while a wait or test for the next event runs (a break key then sets
// the break flag).
bool evt_busy();
void evt_set_busy(bool busy);
// Hooks that start-up, state loading and the exit path call.
int evt_stub_zero();
void evt_stub_noop();
