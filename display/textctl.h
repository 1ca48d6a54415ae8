// The text-control built-ins' own state: the command-line prompt and the
// start-up insert mode. What they need of the forms is display/textctl_port.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/buffer.h"

// Back to the start-up state: no prompt, insert mode on (tests).
void textctl_reset();

// The command-line prompt (at most 80 characters).
std::string& cmdline_prompt();
// The start-up insert mode, copied into the editor's at start-up.
extern uint8_t startup_insert_mode;
