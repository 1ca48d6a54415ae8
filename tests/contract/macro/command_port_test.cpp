// What command execution may count on from the layers above, whoever
// answers: the same expectations run against the headless answers and the
// editor's own (without a display, as a program started with no screen and
// before its objects exist has it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/command_port.h"

namespace {

TEST(CommandPort, ProgramsRunAndGiveTheirStatus) {
  struct Case {
    std::vector<std::string> argv;
    int32_t want;
  };
  // "sh" alone is looked up along PATH.
  const Case cases[] = {
      {{"/bin/sh", "-c", "exit 3"}, 3},
      {{"sh", "-c", "exit 4"}, 4},
      {{"/bin/sh", "-c", "kill -9 $$"}, 9 * 256},
      {{"/nonexistent/zvx-program"}, 127},
      {{}, -32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv.empty() ? "(none)" : c.argv.back());
    CmdProcess p;
    p.argv = c.argv;
    EXPECT_EQ(cmd_run_program(p), c.want);
  }
}

TEST(CommandPort, BeforeAnyObjectThereIsNoFrameAndNoCommandLine) {
  EXPECT_EQ(cmd_frame_object(), nullptr);
  EXPECT_EQ(cmd_command_line(), nullptr);
  EXPECT_EQ(cmd_window_state(nullptr), 0);
  EXPECT_FALSE(cmd_form_loading()) << "handlers run unless a form is loading";
}

TEST(CommandPort, AMessageReturnsToTheCaller) {
  cmd_show_message("Unknown command");
  cmd_show_message("");
  SUCCEED() << "showing a message never stops the executor";
}

}  // namespace
