// Key dispatch: running the binding of an event in a window.
//
// Once the window layer has turned an input message into an event code and
// found its binding, the dispatcher runs the bound command once per repeat
// count, each time inside its own error-catch context (status 1), so an
// error in the command is reported, unwound to that context, and the
// dispatcher is ready for the next key. Binding 0 types the event's
// character instead. Before a command, and when typed characters change
// class (letters and digits, other printable characters, no character), the
// current line is written back and an undo checkpoint recorded. While a
// keyboard macro is recorded as source, typed characters and commands are
// written into the recording.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/lstr.h"
#include "macro/event_codes.h"

struct WindowObject;

// Set by the window layer's input translation and by keyboard-macro playback.
struct KeyDispatchGlobals {
  EventCode last_event = 0;  // the event being dispatched
  int32_t repeat_count = 1;  // identical key messages merged
  int32_t repeat_left = 0;   // countdown during a dispatch, 0 otherwise
  EventCode dispatch_event = 0;
  int32_t key_args[4] = {};  // integers that come with the event (mouse)
  int32_t key_arg_count = 0;
  bool clear_message_on_key = false;
  int32_t char_class[2] = {2, 2};  // per dispatcher: 0 letter or digit, 1 other printable, 2 none
  bool keys_pending = false;       // playback keys remain
  bool selection_binding = false;  // the binding came from key_selection_binding
  bool views_need_fixing = false;  // a view may rest on the top-of-file line
};
extern KeyDispatchGlobals key_globals;

// What key dispatch needs of command execution. The executor installs the
// real functions; the defaults read the attribute flags from the command's
// info string and allow everything.
struct KeyCommandHooks {
  // Attribute flags of a command (0x4/0x800 runs in the command line itself,
  // 0x40/0x80 read by the source recorder, 0x1000 keeps the scroll point).
  int32_t (*command_flags)(int32_t index);
  // 0 when the current command may run on an iconized window, else the
  // refusal (already raised).
  int32_t (*check_allowed)(int32_t index);
};
void key_set_command_hooks(const KeyCommandHooks& hooks);
// The attribute flags of a command through the installed hook.
int32_t key_command_flags(int32_t index);

// Forgets the dispatch globals (start-up and tests).
void key_dispatch_reset();

// Run a binding for last_event in the command line or the active editor
// window (after making the window current), or in any window.
void key_dispatch(WindowObject* window, uint32_t binding, bool refresh);
void key_run_binding(WindowObject* window, uint32_t binding, bool refresh);
void key_dispatch_in_window(WindowObject* window, uint32_t binding, bool refresh);
void key_run_binding_in_window(WindowObject* window, uint32_t binding, bool refresh);

// Before a command in the current view: write the line back when undo is
// kept, keep the cursor visible, repair views, record an undo checkpoint.
void key_prepare_command();
// Types one character into the current object (recording it first when
// asked). 0, or the text engine's or the control's error.
int32_t key_type_char(uint8_t ch, bool record);
// Types a string into the current object, character by character in an
// editor window, whole into a text control; -2073 for an object that takes
// no typed text.
int32_t key_type_text(std::string_view text, bool record);
// Writes the source line of the current command into the recording.
void key_record_command(bool record, EventCode event);
// A command that takes a typed key instead of its normal binding (the ON-
// SELECT binding while a selection lies in the object's buffer).
bool key_selection_binding(WindowObject* obj, EventCode event, int32_t stage, uint32_t* out);
// Moves views of full editor windows off the top-of-file line.
void views_leave_top_of_file();

// The key path of an editor window for one event: the key is recorded,
// looked up (an unbound non-character key runs "key-not-defined"), the
// pending record committed and the binding dispatched. Returns the lookup's
// negative code, or 0. `args` are the integers that come with the event
// (a mouse event's position); the bound command gets them as arguments.
int32_t key_feed_event(WindowObject* window, EventCode event, int32_t repeat, std::span<const int32_t> args = {});
// One turn of the main loop's key input for a window: the next played key
// while playback has one, else the next event of the event source. False
// when no event came.
bool key_feed_next(WindowObject* window);

// The binding search of an editor window: the object's buffer's event
// table, the tables it inherits from, then "default-keys". The answer of
// evt_find_binding (macro/event_port.h) for every object but a form's.
int32_t key_find_binding_default(WindowObject* obj, EventCode event, int32_t level, bool second_events,
                                 uint32_t* binding);

// Built-ins: main 80 (call-key), ext 35 (call-event), main 79 (keyin).
void bi_call_key();
void bi_call_event();
void bi_keyin();
