// Reporting error codes to the user on behalf of the text engine.
//
// The message line and its message box come with the text display; until
// then a report is recorded (last code, how many) and handed to a hook, so
// the editor can stop a running macro and tests can see what was shown.
// msgline_install_text_hooks() makes this what the text engine reports to
// (the application calls it once at start-up).
#pragma once

#include <cstdint>

// Reports an error code. -2011 "Lines truncated" is not reported while the
// quiet-truncation option is set. For every code but -2011 the stop hook runs
// (it unwinds a running macro once the interpreter installs one).
void msgline_show_error(int32_t code);
// msgline_show_error when code is not 0; returns code.
int32_t msgline_show_error_if(int32_t code);

// The editor's quiet-truncation option.
extern bool msgline_quiet_truncation;

// What was reported: the last code and the number of reports since the reset.
int32_t msgline_last_error();
int msgline_error_count();
void msgline_reset_errors();

// Runs after every reported code but -2011; null = nothing.
using MsglineStopHook = void (*)(int32_t code);
void msgline_set_stop_hook(MsglineStopHook hook);

// Installs msgline_show_error as the text engine's error report.
void msgline_install_text_hooks();
