// What the event tables, key dispatch and keyboard macros need of the
// layers above them: the window system's event queue, the focus, the
// message line, and what only the window objects know.
//
// These parts run before any window exists, so the program defines each
// function once where the work is done: the forms' input translation reads
// the queue and answers for the controls of forms, the display's message
// line shows the keys of a multi-key binding, and the application answers
// for its editor windows and the screen. The break key goes through the
// text engine's port (text/ui_port.h). The command-line object and window
// states come from the command executor's port (macro/command_port.h). A
// program without windows has no events: a wait for a key ends as a break
// would, instead of hanging.
#pragma once

#include <cstdint>

#include "base/lstr.h"
#include "macro/event_codes.h"

struct WindowObject;

// ---- the event source (the forms' input translation)

// Waits for the next key or mouse event; 0 when the wait ended without one.
// Without an event queue nothing can arrive: the wait flags the break key
// and gives 0.
EventCode evt_get();
// evt_get repeated until it gives an event.
EventCode evt_get_wait();
// A pending event without waiting; 0 when none.
EventCode evt_test();

// ---- feedback

// The focus window is an editor window or the command line: keyboard-macro
// playback only proceeds then. Without windows: true.
bool evt_focus_on_editor();
// Shows the keys of a multi-key binding typed so far; an empty text clears
// the message line unless a message is kept there.
void evt_show_key_prefix(const LStr* text);
// Clears the message line (a message that vanishes at the next key).
void evt_clear_message();
// Refreshes the screen after the outermost key command.
void evt_refresh();

// ---- window objects

// The active editor window (null for none). Without windows: the current
// window when it shows a view.
WindowObject* evt_active_editor();
// Window state "I": the object is iconized.
bool evt_iconized(WindowObject* obj);
// The command bound to an event for an object, at lookup level 1-3; the
// second-events flag selects ON-CREATE2 and ON-DESTROY2. 0 with *binding
// set (0 for a character that is to be typed), 1 when nothing is bound, or
// a negative code. Editor windows, and every object without forms, use
// key_find_binding_default (macro/key_dispatch.h).
int32_t evt_find_binding(WindowObject* obj, EventCode event, int32_t level, bool second_events, uint32_t* binding);
// Inserts typed text at the caret of a text control: 0, or -2073 for an
// object that is none.
int32_t evt_text_insert(WindowObject* obj, const LStr* text);
// Returns an editor window's view to its saved scroll point, if it has one.
void evt_restore_scroll_point(WindowObject* obj);
// The view of the current window follows its cursor.
void evt_scroll_to_cursor();
// Puts the mouse pointer back to its default shape when it lies inside the
// object (typing hides the text cursor's pointer).
void evt_reset_pointer(WindowObject* obj);
// The editor's window-option bits (bit 0: views of full editor windows may
// rest on the top-of-file line; bit 3: typing resets the pointer).
// Without windows: 0.
int32_t evt_window_options();
