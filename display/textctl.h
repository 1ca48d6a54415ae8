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
// While a prompt is shown, the command its answer completes: the text that
// stood before the selection the prompt was given with (set_ctl_text with
// a prompt). The command line shows only the question and the answer; the
// command line's text, as the built-ins and Enter see it, is this command
// followed by the answer.
std::string& cmdline_prompt_command();
// Ends a prompt: no question, no hidden command.
void cmdline_prompt_end();
// The start-up insert mode, copied into the editor's at start-up.
extern uint8_t startup_insert_mode;
