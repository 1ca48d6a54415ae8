// Editing as a new user meets it in the first hour, through the shipped
// editor: paste on lines with tabs, undo in every buffer however it was
// opened, the selection of the window on the screen, and the modified mark
// that tells whether the file on disk holds what the window shows. Files
// are compared byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/editor_x_fixture.h"

namespace {

using editor_x::slurp;

class EditorEditX : public editor_x::EditorXFixture {
 protected:
  EditorEditX() : EditorXFixture("zvx-edit") {}

  void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  // Starts the editor with the test's directory as its working directory,
  // so that a relative name typed into it lands there.
  void start_here(const std::vector<std::string>& args) {
    std::vector<std::string> argv{std::string(ZVX_BINARY_DIR) + "/app/zorvex"};
    argv.insert(argv.end(), args.begin(), args.end());
    xtest::SpawnOptions o;
    o.env = {"HOME=" + dir_.path()};
    o.dir = dir_.path();
    editor_ = server_->spawn_with(argv, o);
    ASSERT_TRUE(editor_);
    frame_ = server_->wait_for_class("Halvorn");
    ASSERT_NE(frame_, 0u);
    ASSERT_TRUE(editor_x::eventually([&] { return (pane_ = find_pane()) != 0; }));
    ASSERT_TRUE(server_->focus(frame_));
  }
  // Puts text on the X CLIPBOARD, as another program's copy does.
  bool clip(const std::string& text) {
    const std::string in = dir_ / "clip.in";
    put(in, text);
    const std::string cmd =
        "DISPLAY=" + server_->display_name() + " timeout 5 xclip -i -selection clipboard < '" + in + "'";
    return std::system(cmd.c_str()) == 0;
  }
  // The frame's caption once everything sent has been handled.
  std::string caption() { return synced() ? server_->title(frame_) : std::string("(no sync)"); }
  void open_with_ctrl_o(const std::string& path) {
    ASSERT_TRUE(keys({"ctrl+o"}));
    ASSERT_TRUE(type(path));
    ASSERT_TRUE(keys({"Return"}));
  }
};

// Ctrl+V on a line with tabs before the cursor pastes at the cursor's
// display column, found through the tab stops, never at that many bytes.
TEST_F(EditorEditX, PasteLandsAtTheCursorOnLinesWithTabs) {
  const std::string path = dir_ / "tabs.c";
  put(path, "\ty = 1;\n\t\tz;\nx\tw\n");
  start({path});
  ASSERT_TRUE(clip("Hello, world"));
  // After the y; at the end of the second line; on the tab of the third.
  ASSERT_TRUE(keys({"Right", "Right", "ctrl+v"}));
  ASSERT_TRUE(type("!"));
  ASSERT_TRUE(keys({"Down", "End", "ctrl+v", "Down", "Home", "Right", "ctrl+v"}));
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "\tyHello, world! = 1;\n\t\tz;Hello, world\nxHello, world\tw\n");
}

// A cut undoes alike in a buffer opened at start-up, with Ctrl+O and with
// the open-file command typed into the command line.
TEST_F(EditorEditX, EveryBufferUndoesACutHoweverItWasOpened) {
  enum class How { StartUp, CtrlO, Typed };
  for (How how : {How::StartUp, How::CtrlO, How::Typed}) {
    SCOPED_TRACE(static_cast<int>(how));
    const std::string path = dir_ / ("undo" + std::to_string(static_cast<int>(how)) + ".txt");
    const std::string first = dir_ / "first.txt";
    put(path, "one two\nthree\n");
    put(first, "first\n");
    editor_.reset();
    if (how == How::StartUp) {
      start({path});
    } else {
      start({first});
      if (how == How::CtrlO) {
        open_with_ctrl_o(path);
      } else {
        ASSERT_TRUE(click_command_line());
        ASSERT_TRUE(type("open-file " + path));
        ASSERT_TRUE(keys({"Return"}));
      }
    }
    ASSERT_TRUE(keys({"shift+End", "ctrl+x", "ctrl+s"}));
    ASSERT_TRUE(synced());
    ASSERT_EQ(slurp(path), "\nthree\n") << "the cut happened";
    ASSERT_TRUE(keys({"ctrl+z", "ctrl+s", "F3"}));
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(slurp(path), "one two\nthree\n");
  }
}

// One selection at a time: a selection left in a buffer that is not on
// the screen is not cut by Ctrl+X here, and a selection started here ends
// it instead of failing with "Text already selected".
TEST_F(EditorEditX, CommandsActOnTheSelectionOfTheWindowShown) {
  const std::string a = dir_ / "a.txt", b = dir_ / "b.txt";
  put(a, "aaaa\n");
  put(b, "bbbb\n");
  start({a});
  ASSERT_TRUE(keys({"shift+Right", "shift+Right"}));
  open_with_ctrl_o(b);  // a.txt's buffer, with its selection, goes out of sight
  ASSERT_TRUE(keys({"ctrl+x"}));
  ASSERT_TRUE(synced());
  EXPECT_GT(message_ink(), 30) << "Text not selected";
  ASSERT_TRUE(keys({"End", "shift+Left", "ctrl+x", "ctrl+s"}));
  ASSERT_TRUE(synced());
  EXPECT_EQ(slurp(b), "bbb\n");
  ASSERT_TRUE(keys({"ctrl+q"}));  // a.txt was never changed: nothing to ask
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(a), "aaaa\n");
}

// The caption's " *" says whether the file on disk differs from the
// buffer: undo back past a save brings it back (and leaving asks), redo
// takes it away; Save As names the buffer by its full path and clears it,
// and the next Ctrl+S clears it again.
TEST_F(EditorEditX, TheModifiedMarkFollowsTheFileOnDisk) {
  const std::string path = dir_ / "mark.txt";
  put(path, "text\n");
  start_here({path});
  const std::string named = "Zorvex - " + path;
  ASSERT_EQ(caption(), named);
  ASSERT_TRUE(type("A"));
  EXPECT_EQ(caption(), named + " *");
  ASSERT_TRUE(keys({"ctrl+s"}));
  EXPECT_EQ(caption(), named);
  ASSERT_TRUE(keys({"ctrl+z"}));
  EXPECT_EQ(caption(), named + " *") << "the file holds the A, the buffer not";
  ASSERT_TRUE(keys({"ctrl+y"}));
  EXPECT_EQ(caption(), named) << "the buffer holds the file's text again";
  ASSERT_TRUE(keys({"ctrl+z", "ctrl+q"}));
  const Window box = server_->wait_for_class("Halvorn", "Leaving");
  ASSERT_NE(box, 0u) << "leaving asks: the file is not what the buffer holds";
  ASSERT_TRUE(server_->focus(box));
  ASSERT_TRUE(keys({"Escape"}));
  ASSERT_TRUE(synced());
  ASSERT_TRUE(server_->focus(frame_));
  // Save As with a name relative to the working directory.
  ASSERT_TRUE(keys({"shift+F2"}));
  ASSERT_TRUE(type("renamed.txt"));
  ASSERT_TRUE(keys({"Return"}));
  const std::string renamed = dir_ / "renamed.txt";
  EXPECT_EQ(caption(), "Zorvex - " + renamed);
  EXPECT_EQ(slurp(renamed), "text\n");
  ASSERT_TRUE(type("B"));
  EXPECT_EQ(caption(), "Zorvex - " + renamed + " *");
  ASSERT_TRUE(keys({"ctrl+s"}));
  EXPECT_EQ(caption(), "Zorvex - " + renamed);
  EXPECT_EQ(slurp(renamed), "Btext\n");
  EXPECT_EQ(slurp(path), "Atext\n") << "the old file keeps what was saved there";
  ASSERT_TRUE(keys({"ctrl+q"}));
  EXPECT_EQ(exit_status(), 0);
}

}  // namespace
