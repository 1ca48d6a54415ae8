// Prompts on the command line, the mouse in editor windows, the message of
// an unbound key and the break of a looping macro: the real zorvex program
// on a private X server, driven only with xdotool, checked on disk, through
// xclip and by the pixels of the message and command lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/editor_x_fixture.h"
#include "tests/temp_dir.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using editor_x::eventually;
using editor_x::kCellW;
using editor_x::kLineH;
using editor_x::slurp;

class EditorInput : public editor_x::EditorXFixture {
 protected:
  EditorInput() : EditorXFixture("zvx-input") {}

  void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

  // The centre of a text cell of the editor window.
  std::vector<std::string> at_cell(int row, int col) {
    return {"mousemove", "--window", std::to_string(pane_), std::to_string(col * kCellW + kCellW / 2),
            std::to_string(row * kLineH + kLineH / 2)};
  }
  bool click_cell(int row, int col) {
    std::vector<std::string> a = at_cell(row, col);
    a.insert(a.end(), {"click", "1"});
    return server_->xdotool(a);
  }
  // Press at one cell, move to another with the button held, release.
  bool drag_cells(int row0, int col0, int row1, int col1) {
    std::vector<std::string> a = at_cell(row0, col0);
    a.insert(a.end(), {"mousedown", "1"});
    const std::vector<std::string> mid = at_cell(row0 + (row1 - row0) / 2, (col0 + col1) / 2);
    a.insert(a.end(), mid.begin(), mid.end());
    const std::vector<std::string> to = at_cell(row1, col1);
    a.insert(a.end(), to.begin(), to.end());
    a.insert(a.end(), {"mouseup", "1"});
    return server_->xdotool(a);
  }
  // What xclip reads from the X CLIPBOARD (empty when it cannot).
  std::string clipboard() {
    const std::string out = dir_ / "xclip.out";
    const std::string cmd =
        "DISPLAY=" + server_->display_name() + " timeout 5 xclip -o -selection clipboard > '" + out + "' 2>/dev/null";
    return std::system(cmd.c_str()) == 0 ? slurp(out) : std::string();
  }
};

// Ctrl+G asks on the command line; the number and Enter move the cursor,
// Esc cancels and leaves it where it was. Ctrl+L asks the same.
TEST_F(EditorInput, TheGoToLinePromptMovesTheCursorAndEscCancels) {
  const std::string path = dir_ / "lines.txt";
  put(path, "l1\nl2\nl3\nl4\nl5\n");
  start({path});
  const int empty_field = field_ink();
  ASSERT_TRUE(keys({"ctrl+g"}));
  ASSERT_TRUE(eventually([&] { return field_ink() > empty_field + 60; })) << "the prompt shows";
  ASSERT_TRUE(type("4"));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(eventually([&] { return field_ink() <= empty_field; })) << "the command line empties";
  ASSERT_TRUE(type("X"));
  ASSERT_TRUE(keys({"ctrl+g"}));
  ASSERT_TRUE(type("2"));
  ASSERT_TRUE(keys({"Escape"}));
  ASSERT_TRUE(eventually([&] { return field_ink() <= empty_field; })) << "Esc takes the prompt away";
  ASSERT_TRUE(type("Y"));
  ASSERT_TRUE(keys({"ctrl+l"}));
  ASSERT_TRUE(type("2"));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("Z"));
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "l1\nZl2\nl3\nXYl4\nl5\n");
}

// Shift+F2 asks for the name: the buffer goes to the new file, the old one
// stays as it was.
TEST_F(EditorInput, SaveAsWritesTheNewFile) {
  const std::string a = dir_ / "a.txt", b = dir_ / "b.txt";
  put(a, "abc\n");
  start({a});
  ASSERT_TRUE(type("Z"));
  ASSERT_TRUE(keys({"shift+F2"}));
  ASSERT_TRUE(type(b));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(eventually([&] { return slurp(b) == "Zabc\n"; })) << slurp(b);
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(a), "abc\n");
  EXPECT_EQ(slurp(b), "Zabc\n");
}

// Ctrl+O asks for the file: it opens in front and takes the typing.
TEST_F(EditorInput, OpenOpensAFile) {
  const std::string a = dir_ / "a.txt", c = dir_ / "c.txt";
  put(a, "first\n");
  put(c, "hello\n");
  start({a});
  ASSERT_TRUE(keys({"ctrl+o"}));
  ASSERT_TRUE(type(c));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("Q"));
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(c), "Qhello\n");
  EXPECT_EQ(slurp(a), "first\n");
}

// A click puts the cursor on the clicked character: typing lands there.
TEST_F(EditorInput, AClickPlacesTheCursorWhereTypingLands) {
  const std::string path = dir_ / "click.txt";
  put(path, "abcdef\nghijkl\nmnopqr\n");
  start({path});
  struct Case {
    int row, col;
    const char* text;
  };
  // Later clicks first, so the earlier rows keep their columns.
  for (const Case& c : {Case{2, 5, "1"}, Case{1, 3, "2"}, Case{0, 0, "3"}}) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(click_cell(c.row, c.col));
    ASSERT_TRUE(type(c.text));
  }
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "3abcdef\nghi2jkl\nmnopq1r\n");
}

// A drag selects from the press to the release; Ctrl+C copies that text,
// which xclip reads. A new click takes the selection away.
TEST_F(EditorInput, ADragSelectsAndCtrlCCopiesIt) {
  const std::string path = dir_ / "drag.txt";
  put(path, "hello world\nsecond line\n");
  start({path});
  struct Case {
    int row0, col0, row1, col1;
    const char* copied;
  };
  for (const Case& c : {Case{0, 6, 0, 11, "world"}, Case{0, 6, 1, 3, "world\nsec"}, Case{1, 9, 1, 2, "cond li"}}) {
    SCOPED_TRACE(c.copied);
    ASSERT_TRUE(drag_cells(c.row0, c.col0, c.row1, c.col1));
    ASSERT_TRUE(keys({"ctrl+c"}));
    EXPECT_TRUE(eventually([&] { return clipboard() == c.copied; }, 5s)) << clipboard();
  }
  // A click without a drag selects nothing: Ctrl+X cuts nothing.
  ASSERT_TRUE(click_cell(0, 2));
  ASSERT_TRUE(keys({"ctrl+x"}));
  ASSERT_TRUE(type("_"));
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "he_llo world\nsecond line\n");
}

// A click leaves no anchor behind: Shift and an arrow select from wherever
// the cursor went after the click, and text typed after a click is plain
// text that Ctrl+X does not take.
TEST_F(EditorInput, AClickLeavesNoHiddenAnchor) {
  const std::string path = dir_ / "anchor.txt";
  put(path, "abcdef\nghijkl\n");
  start({path});
  ASSERT_TRUE(click_cell(0, 1));
  ASSERT_TRUE(keys({"Right", "Right", "shift+Right", "ctrl+x"}));  // the d, not b to d
  ASSERT_TRUE(click_cell(1, 2));
  ASSERT_TRUE(type("Z"));
  ASSERT_TRUE(keys({"ctrl+x"}));  // nothing selected: nothing goes
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "abcef\nghZijkl\n");
}

// A key nobody bound says so on the message line and changes nothing; the
// next key clears the message.
TEST_F(EditorInput, AnUnboundKeyShowsKeyNotDefined) {
  const std::string path = dir_ / "unbound.txt";
  put(path, "text\n");
  start({path});
  ASSERT_EQ(message_ink(), 0) << "no message yet";
  for (const char* key : {"F9", "ctrl+F11"}) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(keys({key}));
    ASSERT_TRUE(eventually([&] { return message_ink() > 30; })) << "Key not defined";
    ASSERT_TRUE(type("a"));
    ASSERT_TRUE(eventually([&] { return message_ink() == 0; })) << "the next key clears it";
  }
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "aatext\n");
}

// A macro that never ends, bound to F12 in a state of the test's own (the
// default macros and one more module), stops while Ctrl+Alt+Shift are held
// and says so in its error box; once that is answered the editor takes keys
// as before.
TEST_F(EditorInput, HoldingCtrlAltShiftStopsALoopingMacro) {
  const std::string path = dir_ / "loop.txt", source = dir_ / "spin.e", module = dir_ / "spin.ex",
                    state = dir_ / "spin.stu";
  put(path, "before\n");
  put(source,
      "command spin()\n"
      "  push_const \"looping\"\n"
      "  insert_line\n"
      "again:\n"
      "  jump @again\n"
      "end\n"
      "bind \"default-keys\" F12 spin\n");
  const std::string zozu = "'" + std::string(ZVX_BINARY_DIR) + "/tools/zozu/zozu' ";
  ASSERT_EQ(std::system((zozu + "-q -o '" + module + "' '" + source + "'").c_str()), 0);
  ASSERT_EQ(std::system((zozu + "--state '" + state + "' '" + std::string(ZVX_BINARY_DIR) + "/macros/default.ex' '" +
                         module + "'")
                            .c_str()),
            0);
  start({"-x", state, path});
  ASSERT_TRUE(keys({"F12"}));
  // The loop holds the editor: what is typed now waits in the queue.
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(editor_->running());
  ASSERT_EQ(message_ink(), 0) << "nothing went wrong before the break";
  ASSERT_TRUE(server_->xdotool({"keydown", "ctrl+alt+shift"}));
  const Window box = server_->wait_for_class("Halvorn", "Zorvex-C Error", 10s);
  ASSERT_TRUE(server_->xdotool({"keyup", "ctrl+alt+shift"}));
  ASSERT_NE(box, 0u) << "the break's message shows";
  ASSERT_TRUE(server_->focus(box));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(synced());
  ASSERT_TRUE(server_->focus(frame_));
  ASSERT_TRUE(keys({"ctrl+Home"}));
  ASSERT_TRUE(type("ok"));
  ASSERT_TRUE(keys({"ctrl+s", "F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "okbefore\nlooping\n");
}

// The restore file in the configuration directory places the frame when it
// was written for this screen; one for another screen is ignored.
TEST_F(EditorInput, TheRestoreFilePlacesTheFrame) {
  const std::string cfg = dir_ / ".zorvex";
  ASSERT_EQ(mkdir(cfg.c_str(), 0700), 0);
  struct Case {
    const char* line;
    int x, y, width, height;  // -1: the default place and size
  };
  for (const Case& c : {Case{"SCREEN: 1024 768 50 40 500 400 0 0 N", 50, 40, 500, 400},
                        Case{"SCREEN: 800 600 50 40 500 400 0 0 N", -1, -1, -1, -1}}) {
    SCOPED_TRACE(c.line);
    put(cfg + "/zrestore.zvx", std::string(c.line) + "\n");
    start({});
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d_, frame_, &a));
    Window child = 0;
    int rx = 0, ry = 0;
    XTranslateCoordinates(d_, frame_, DefaultRootWindow(d_), 0, 0, &rx, &ry, &child);
    if (c.x >= 0) {
      EXPECT_EQ(rx, c.x);
      EXPECT_EQ(ry, c.y);
      EXPECT_EQ(a.width, c.width);
      EXPECT_EQ(a.height, c.height);
    } else {
      EXPECT_FALSE(a.width == 500 && a.height == 400) << "not the other screen's size";
    }
    ASSERT_TRUE(keys({"F3"}));
    EXPECT_EQ(exit_status(), 0);
  }
}

}  // namespace
