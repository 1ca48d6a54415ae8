// What command execution needs of the layers above the macro runtime.
//
// A command typed on the command line is checked against the frame's edit
// window (present, not iconized, its buffer not read-only) before it runs;
// errors of external commands may go to the message line; programs run
// through the process layer; event handlers wait while a form loads. The
// message line, the objects and the process layer lie above, so they are
// declared here and the program defines each once. A program with nobody to
// ask has no frame, no command line and no form, and its programs run as
// plain child processes.
#pragma once

#include <cstdint>
#include <string_view>

#include "macro/command_exec.h"

// Shows a text on the message line (a command's error under executor flag
// 0x200). Without a message line nothing is shown.
void cmd_show_message(std::string_view text);
// Runs a program synchronously: its exit status, 256 x the signal that
// killed it, 127 when it could not be executed, -32 when no child could be
// started. A bare argv[0] is looked up along PATH.
int32_t cmd_run_program(const CmdProcess& p);
// The frame object, whose first child is the edit window typed commands are
// checked against and run as; null when there is none.
WindowObject* cmd_frame_object();
// The command-line object; null when there is none.
WindowObject* cmd_command_line();
// The show state of an object's window: 'N', 'M', 'I' (iconized), or 0 when
// it has none.
char cmd_window_state(const WindowObject* w);
// A form is being loaded: event handlers do not run meanwhile. False when
// no form can load.
bool cmd_form_loading();
