// The command line as a user types into it: Esc leaves it empty for the
// next command, Shift+Home selects what was typed so that Delete takes it,
// a prompt shows its question and the answer without the command behind
// it, and a failed command's message goes with the next command that
// works. Checked on disk and by the pixels of the command and message
// lines.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/app/editor_x_fixture.h"

namespace {

using editor_x::slurp;

class EditorCommandLineX : public editor_x::EditorXFixture {
 protected:
  EditorCommandLineX() : EditorXFixture("zvx-cmdline") {}

  // Types a command into the command line and runs it.
  void run(const std::string& command) {
    ASSERT_TRUE(click_command_line());
    ASSERT_TRUE(type(command));
    ASSERT_TRUE(keys({"Return"}));
  }
  // The rightmost column of the command line's field with ink on it (the
  // caret included), -1 when it is empty.
  int ink_end() {
    if (!synced()) return -2;
    XWindowAttributes a{};
    const Window f = command_field();
    if (!f || !XGetWindowAttributes(d_, f, &a)) return -2;
    for (int x = a.width - 5; x >= 0; --x)
      if (field_ink(x, x + 1) > 0) return x;
    return -1;
  }
};

// Text left in the command line by Esc is gone when the next command is
// typed; what Shift+Home selects, Delete takes.
TEST_F(EditorCommandLineX, TheNextCommandStartsOnAnEmptyLine) {
  const std::string path = dir_ / "lines.txt";
  std::ofstream(path) << "one\ntwo\nthree\n";
  start({path});
  ASSERT_TRUE(click_command_line());
  ASSERT_TRUE(type("frobnicate now"));
  ASSERT_TRUE(keys({"Escape"}));
  run("go-to-line 2");
  ASSERT_TRUE(type("X"));
  ASSERT_TRUE(click_command_line());
  ASSERT_TRUE(type("junk"));
  ASSERT_TRUE(keys({"shift+Home", "Delete"}));
  ASSERT_TRUE(type("go-to-line 3"));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("Y"));
  ASSERT_TRUE(synced());
  EXPECT_EQ(message_ink(), 0) << "no error on the way";
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "one\nXtwo\nYthree\n");
}

// Ctrl+G asks "Go to line:" and shows what is typed after it, not the
// command that the answer completes: the prompt takes the room its own
// text takes when typed, far less than with the command's name after it.
TEST_F(EditorCommandLineX, APromptShowsItsQuestionWithoutTheCommand) {
  const std::string path = dir_ / "prompt.txt";
  std::ofstream(path) << "a\nb\nc\nd\n";
  start({path});
  ASSERT_TRUE(click_command_line());
  ASSERT_TRUE(type("Go to line:"));
  const int question = ink_end();
  ASSERT_TRUE(type(" go-to-line"));
  const int with_command = ink_end();
  ASSERT_TRUE(keys({"Escape"}));
  ASSERT_GT(question, 20);
  const int cell = (with_command - question) / 11;  // " go-to-line"
  ASSERT_GT(cell, 3);
  ASSERT_TRUE(server_->focus(frame_));
  ASSERT_TRUE(keys({"ctrl+g"}));
  const int prompt = ink_end();
  EXPECT_LE(prompt, question + 2 * cell) << "the question, a blank and the caret";
  EXPECT_GE(prompt, question - cell);
  ASSERT_TRUE(type("3"));
  EXPECT_LE(ink_end(), question + 3 * cell) << "the answer follows the question";
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("Z"));
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "a\nb\nZc\nd\n");
}

// A command that fails shows why; the next command that works, typed or
// from a prompt, takes the message away.
TEST_F(EditorCommandLineX, AFailedCommandsMessageGoesWithTheNextCommand) {
  const std::string path = dir_ / "message.txt";
  std::ofstream(path) << "one\ntwo\n";
  start({path});
  const std::string nowhere = dir_ / "no-such-dir/x.txt";
  for (const char* next : {"typed", "prompt"}) {
    SCOPED_TRACE(next);
    run("save-as " + nowhere);
    ASSERT_TRUE(synced());
    ASSERT_GT(message_ink(), 30) << "the failure shows";
    if (std::string(next) == "typed") {
      run("go-to-line 2");
    } else {
      ASSERT_TRUE(server_->focus(frame_));
      ASSERT_TRUE(keys({"ctrl+g"}));
      ASSERT_TRUE(type("1"));
      ASSERT_TRUE(keys({"Return"}));
    }
    ASSERT_TRUE(synced());
    EXPECT_EQ(message_ink(), 0) << "the command that worked cleared it";
  }
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "one\ntwo\n");
}

}  // namespace
