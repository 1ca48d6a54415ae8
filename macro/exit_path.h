// Leaving the editor.
//
// The exit built-in never ends the process from inside the interpreter: it
// records the request and stops the running macro like a stop statement
// (no message, through every catch block). Whoever ran the macro from
// outside (the key dispatch, the frame, start-up) then calls
// exit_if_requested, which takes the exit path: the "-on-exit" event runs
// (a nonzero rc afterwards cancels the exit, as it does for the frame's
// close request), the layers above release what they hold, the spill file
// is removed, and the process ends with the code (exit_port.h).
#pragma once

#include <cstdint>

// Runs "-on-exit" (the command of that name when the names table has one,
// run to completion); false when it asked to stay (rc nonzero afterwards).
bool exit_run_on_exit();
// Forgets any request (tests).
void exit_reset();

// The exit built-in's part: records the code and stops the running macro.
void exit_request(int32_t code);
bool exit_pending();
int32_t exit_pending_code();

// Takes the exit path when an exit was requested. Returns false when none
// was, or when "-on-exit" cancelled it (the request is then forgotten);
// otherwise the process ends.
bool exit_if_requested();
// The exit path itself.
bool exit_editor(int32_t code);
