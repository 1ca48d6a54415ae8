// Modal forms and modal waits: showing a form modally until a macro ends
// its modal state, closing the current object with a result, and waiting
// for a variable while the other windows go on being served.
//
// How it works. A form shown modally gets a nesting level (its
// modal_level, innermost = highest); the windows outside it are disabled
// while it runs (the next outer modal form, or every top-level window).
// The modal loop dispatches window messages through a pump (the window
// system's queue; a test without one sets its own) until the form's end
// flag is set, and then hands back the kept result text. Other windows are
// served by the same dispatch, so they go on painting. The show opens an
// error-catch context of its own: an error that stops one of the form's
// handlers ends there, and with it the modal show (what it disabled is
// enabled again; the caller gets the empty text and goes on).
#pragma once

#include <cstdint>
#include <string>

#include "macro/window_port.h"
#include "text/buffer.h"

// Dispatches one waiting message (waiting for one when `wait`): 1 for a
// message, 2 for a timer message, 0 when none is waiting or the queue has
// ended. The window system's queue; tests without one put their own
// messages here (a fake pump), and modal_pump_reset puts the queue back.
struct ModalPump {
  int32_t (*dispatch_one)(bool wait);
};
ModalPump& modal_pump();
void modal_pump_reset();

// The innermost modal level among forms and the form that has it, and the
// form with the highest level below it; 0 and null when none.
void forms_find_modal(int32_t* level, WindowObject** top, WindowObject** next);
// Enables or disables every visible top-level window (editor windows and
// free forms), storing the state in property 2; `except` is skipped when
// disabling.
void windows_enable_all(bool enable, WindowObject* except);
// A job that holds the user off (a print): the innermost modal form, else
// every top-level window, is disabled (true) or enabled again (false).
void modal_hold_windows(bool hold);

// Closing the current object with a result (window_close_result) is the
// text built-ins' port, macro/window_port.h: forms and controls are closed
// here, editor windows quit their views.

// The result kept by the last end of a modal state.
const std::string& modal_result();
void modal_reset();

// ---- built-ins ----
void bi_show_modal();     // ext 146
void bi_end_modal();      // ext 173
void bi_end_all_modal();  // ext 152
void bi_wait_var();       // ext 190
