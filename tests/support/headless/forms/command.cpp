// The objects' answers to the command executor: what the test set.
#include "macro/command_port.h"
#include "tests/support/headless/command_fakes.h"
#include "tests/support/headless/mark.h"

WindowObject* cmd_frame_object() { return cmdtest::cmd.frame; }
WindowObject* cmd_command_line() { return cmdtest::cmd.command_line; }
char cmd_window_state(const WindowObject* w) {
  const auto it = cmdtest::cmd.state.find(w);
  return it == cmdtest::cmd.state.end() ? 0 : it->second;
}
bool cmd_form_loading() { return cmdtest::cmd.form_loading; }
