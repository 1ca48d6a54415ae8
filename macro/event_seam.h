// What the event tables, key dispatch and keyboard macros need from the
// layers above them: the window system's event source and break key, the
// focus, the message line, and a few services of window objects.
//
// These parts run before any window exists. The window system, the display
// and the forms install their functions at start-up (event_seam_install);
// a null member keeps the default, which answers as an editor without
// windows would. Tests install fakes the same way.
#pragma once

#include <cstdint>

#include "base/lstr.h"
#include "macro/event_codes.h"

struct WindowObject;

// The window system's input, as the key readers see it.
struct EventSource {
  // Waits for the next key or mouse event; 0 when the wait ended without
  // one. Default: nothing can arrive, so it flags a break and gives 0
  // (a wait for a key ends as a break would, instead of hanging).
  EventCode (*get)();
  // get repeated until it gives an event. Default: get once.
  EventCode (*get_wait)();
  // A pending event without waiting; 0 when none. Default: 0.
  EventCode (*test)();
  // The break key: pressed since it was last cleared; and clearing it once
  // handled. Default: the text engine's break key (text/ui_seam.h).
  bool (*break_pressed)();
  void (*clear_break)();
};

// The focus and the message line.
struct EventFeedback {
  // The focus window is an editor window or the command line: keyboard-macro
  // playback only proceeds then. Default: true (no other window exists).
  bool (*focus_on_editor)();
  // Shows the keys of a multi-key binding typed so far; an empty text clears
  // the message line unless a message waits. Default: nothing shown.
  void (*show_key_prefix)(const LStr* text);
  // Clears the message line (a message that vanishes at the next key).
  void (*clear_message)();
  // Refreshes the screen after the outermost key command.
  void (*refresh)();
};

// Window objects beyond what the text engine's records hold.
struct WindowServices {
  // The command-line object and the active editor window (null for none).
  // Defaults: no command line; the current window when it shows a view.
  WindowObject* (*command_line)();
  WindowObject* (*active_editor)();
  // Window state "I": the object is iconized. Default: never.
  bool (*iconized)(WindowObject* obj);
  // The command bound to an event for an object, at lookup level 1-3; the
  // second-events flag selects ON-CREATE2 and ON-DESTROY2. 0 with *binding
  // set (0 for a character that is to be typed), 1 when nothing is bound,
  // or a negative code. Default: the object's buffer's event table, the
  // tables it inherits from, then "default-keys".
  int32_t (*find_binding)(WindowObject* obj, EventCode event, int32_t level, bool second_events, uint32_t* binding);
  // Inserts typed text at the caret of a text control. Default: -2073.
  int32_t (*text_insert)(WindowObject* obj, const LStr* text);
  // Returns an editor window's view to its saved scroll point, if it has
  // one. Default: nothing.
  void (*restore_scroll_point)(WindowObject* obj);
  // Keeps the cursor of the current view visible. Default: nothing.
  void (*scroll_to_cursor)();
  // Puts the mouse pointer back to its default shape when it lies inside
  // the object (typing hides the text cursor's pointer). Default: nothing.
  void (*reset_pointer)(WindowObject* obj);
  // The editor's window-option bits (bit 0: views of full editor windows
  // may rest on the top-of-file line; bit 3: typing resets the pointer).
  int32_t (*window_options)();
};

struct EventSeam {
  EventSource source;
  EventFeedback feedback;
  WindowServices windows;
};

// Installs the members that are set; null members go back to the default.
void event_seam_install(const EventSeam& seam);
// The functions in use.
const EventSeam& event_seam();
