// Input translation: one routine turns the window messages that reach an
// editor window, a control, the status line or the command line into the
// editor's event codes.
//
// Keys and mouse messages go through the window layer's translators
// (winsys/x_event_codes.h); this routine adds what needs the objects: a
// run of identical queued keys becomes one event with a repeat count, F10
// and Alt+letter go to the menu bar when no binding claims them, and
// scroll-bar and timer messages become object events. The result is left in
// the window layer's last event and in the key dispatcher's globals, so
// that the caller only has to look up and run the binding.
//
// The macro runtime's own key readers (wait for the next event, test for
// one) read the queue themselves and come through here in reader mode 2.
#pragma once

#include <cstdint>

#include "macro/event_codes.h"
#include "macro/event_port.h"

struct XfWindow;
struct WindowObject;

// Results of app_translate_input.
inline constexpr int kInputNone = 0;     // consumed, or no event: the caller returns 0
inline constexpr int kInputEvent = 1;    // an event is in the last event record
inline constexpr int kInputDefault = 2;  // not input, or input for default processing

// Menu modes: whose bindings decide whether F10 and Alt+letter belong to
// the menu bar.
inline constexpr int kMenuNever = 0;
inline constexpr int kMenuOwnObject = 1;
inline constexpr int kMenuActiveEditor = 2;

// Reader modes: 0 a window procedure; 2 the macro runtime's event reader
// (queued repeats are not merged).
inline constexpr int kReaderWindowProc = 0;
inline constexpr int kReaderMacro = 2;

int app_translate_input(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2, int menu_mode, int reader_mode);

// 0 when the object's bindings claim the event; nonzero when the menu bar
// may have it. An object below another object than the frame, without a
// menu of its own, keeps every key.
int32_t obj_menu_key_binding(EventCode event, WindowObject* object);

// Set by every key that gives an event, cleared by a lone Alt, Meta or
// Mode_switch press: the menu bar opens on an Alt release only when no
// other key came between.
void app_set_other_key_flag(bool value);
bool app_other_key_flag();

// Set to 2 by thumb tracking: that many programmatic scroll-bar position
// updates are skipped. The updater takes one with app_take_scroll_skip
// (true: skip this one).
uint8_t app_scroll_updates_to_skip();
void app_set_scroll_updates_to_skip(uint8_t n);
bool app_take_scroll_skip();

// The X time of the last key, Alt release or mouse message (ms).
uint32_t app_last_input_time();

// The state of this routine forgotten (tests).
void input_translate_reset();

// The macro runtime's event reader, evt_get, evt_get_wait and evt_test
// (macro/event_port.h), is defined here.
