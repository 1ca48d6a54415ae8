// The message line's answer to the command executor: the text is recorded.
#include "macro/command_port.h"
#include "tests/support/headless/command_fakes.h"
#include "tests/support/headless/mark.h"

void cmd_show_message(std::string_view text) { cmdtest::cmd.messages.emplace_back(text); }
