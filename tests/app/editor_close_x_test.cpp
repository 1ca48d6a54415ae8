// Closing windows and leaving, as a user does it: Ctrl+W, Ctrl+F4, the
// menus and a window's own Close ask before unsaved changes go, the last
// window closed leaves a frame that still works, and leaving asks about
// each modified buffer. Files are checked byte for byte on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/editor_x_fixture.h"

#include <X11/Xlib.h>

namespace {

using editor_x::slurp;

class EditorCloseX : public editor_x::EditorXFixture {
 protected:
  EditorCloseX() : EditorXFixture("zvx-close") {}

  // The editor windows on the screen (the MDI client's child frames), left
  // to right.
  std::vector<Window> editor_windows() {
    std::vector<std::pair<int, Window>> by_x;
    for (Window w : children(pane_)) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable && a.width > 100 && a.height > 100)
        by_x.emplace_back(a.x, w);
    }
    std::sort(by_x.begin(), by_x.end());
    std::vector<Window> out;
    for (auto& [x, w] : by_x) out.push_back(w);
    return out;
  }
  // Whether a menu pops up on the screen (a window of its own, kept out of
  // any window manager's hands).
  bool menu_shown() {
    for (Window w : children(DefaultRootWindow(d_))) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable && a.override_redirect) return true;
    }
    return false;
  }
  // Whether a question with this title is on the screen now.
  bool asking(const char* title) { return server_->wait_for_class("Halvorn", title, std::chrono::milliseconds(0)); }
  // Answers the question titled `title` with a key; unless the answer ends
  // the editor, the frame then has the keys again, as a window manager
  // gives them back.
  void answer(const char* title, const std::string& key, bool last = false) {
    const Window box = server_->wait_for_class("Halvorn", title);
    ASSERT_NE(box, 0u) << "no question \"" << title << "\"";
    ASSERT_TRUE(server_->focus(box));
    ASSERT_TRUE(keys({key}));
    if (last) return;
    ASSERT_TRUE(synced());
    ASSERT_TRUE(server_->focus(frame_));
  }
  // Opens a file with Ctrl+O and the prompt.
  void open_file(const std::string& path) {
    ASSERT_TRUE(keys({"ctrl+o"}));
    ASSERT_TRUE(type(path));
    ASSERT_TRUE(keys({"Return"}));
    ASSERT_TRUE(synced());
  }
};

// Ctrl+W on the only window, with unsaved changes: Yes saves and closes,
// No closes and leaves the file as it was, Cancel keeps the window and the
// edit. A closed last window leaves an empty frame in which Ctrl+O and
// Ctrl+N work and the editor goes on.
TEST_F(EditorCloseX, ClosingTheOnlyWindowAsksAndLeavesAWorkingFrame) {
  struct Case {
    const char* answer;
    bool closes;
    const char* file_after;
  };
  const Case cases[] = {
      {"y", true, "keptold\n"},
      {"n", true, "old\n"},
      {"Escape", false, "old\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const std::string path = dir_ / (std::string("only-") + c.answer + ".txt");
    const std::string other = dir_ / (std::string("other-") + c.answer + ".txt");
    std::ofstream(path) << "old\n";
    std::ofstream(other) << "other\n";
    editor_.reset();  // the frame found is this case's editor's
    start({path});
    ASSERT_TRUE(type("kept"));
    ASSERT_TRUE(keys({"ctrl+w"}));
    answer("Closing", c.answer);
    EXPECT_EQ(slurp(path), c.file_after);
    EXPECT_EQ(editor_windows().size(), c.closes ? 0u : 1u);
    if (!c.closes) {
      // The edit is still there, and the keys still reach it.
      ASSERT_TRUE(keys({"ctrl+s"}));
      ASSERT_TRUE(synced());
      EXPECT_EQ(slurp(path), "keptold\n");
      ASSERT_TRUE(keys({"F3"}));
      EXPECT_EQ(exit_status(), 0);
      continue;
    }
    // The empty frame: Open and New work, and so does what follows.
    open_file(other);
    ASSERT_EQ(editor_windows().size(), 1u) << "Ctrl+O opened a window";
    ASSERT_TRUE(type("1"));
    ASSERT_TRUE(keys({"ctrl+s", "ctrl+n"}));
    ASSERT_TRUE(type("fresh"));
    ASSERT_TRUE(synced());
    EXPECT_EQ(editor_windows().size(), 2u) << "a window of its own";
    EXPECT_EQ(slurp(other), "1other\n");
    // The new buffer is asked about when the editor goes.
    ASSERT_TRUE(keys({"ctrl+q"}));
    answer("Leaving", "n", true);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(slurp(path), c.file_after) << "nothing came back to the closed file";
  }
}

// Two windows: the window's own Close (its system menu) and Ctrl+F4 close
// one; only the window with changes asks; what stays works, Tile shows it,
// and Window > Close Window closes the last.
TEST_F(EditorCloseX, EveryWayOfClosingAWindowGoesThroughTheSameQuestion) {
  const std::string a = dir_ / "a.txt";
  std::ofstream(a) << "aaa\n";
  start({a});
  ASSERT_TRUE(keys({"ctrl+n"}));      // a second, unchanged window in front
  ASSERT_TRUE(keys({"alt+w", "v"}));  // Window > Tile Vertically
  ASSERT_TRUE(synced());
  std::vector<Window> shown = editor_windows();
  ASSERT_EQ(shown.size(), 2u) << "tiled side by side";
  // The new window's system menu (its button at the top left), Close.
  ASSERT_TRUE(server_->click(shown[0], 15, 15));
  ASSERT_TRUE(editor_x::eventually([&] { return menu_shown(); })) << "the system menu";
  ASSERT_TRUE(keys({"c"}));
  ASSERT_TRUE(synced());
  EXPECT_FALSE(asking("Closing")) << "nothing to lose: no question";
  ASSERT_EQ(editor_windows().size(), 1u);
  // Tiled alone, the window left fills the client.
  ASSERT_TRUE(keys({"alt+w", "v"}));
  ASSERT_TRUE(synced());
  shown = editor_windows();
  ASSERT_EQ(shown.size(), 1u);
  XWindowAttributes client{}, left{};
  ASSERT_TRUE(XGetWindowAttributes(d_, pane_, &client));
  ASSERT_TRUE(XGetWindowAttributes(d_, shown[0], &left));
  EXPECT_EQ(left.width, client.width);
  EXPECT_EQ(left.height, client.height);
  // The window left takes the keys and closes with Ctrl+F4 after a Cancel.
  ASSERT_TRUE(server_->focus(frame_));
  ASSERT_TRUE(type("x"));
  ASSERT_TRUE(keys({"ctrl+F4"}));
  answer("Closing", "Escape");
  ASSERT_EQ(editor_windows().size(), 1u) << "Cancel keeps it";
  ASSERT_TRUE(keys({"alt+w", "c"}));  // Window > Close Window
  answer("Closing", "y");
  EXPECT_EQ(editor_windows().size(), 0u);
  EXPECT_EQ(slurp(a), "xaaa\n");
  ASSERT_TRUE(keys({"ctrl+q"}));
  EXPECT_EQ(exit_status(), 0) << "nothing left to ask about";
}

// Ctrl+Q and File > Exit ask about each modified buffer, each shown in its
// window: Yes saves it, No leaves its file, Cancel keeps the editor with
// every edit.
TEST_F(EditorCloseX, LeavingAsksAboutEachModifiedBuffer) {
  struct Case {
    const char* name;
    std::vector<std::string> exit_keys;
    std::vector<std::string> answers;  // for one.txt, then two.txt
    bool leaves;
    const char* one_after;
    const char* two_after;
  };
  const Case cases[] = {
      {"Ctrl+Q, yes and no", {"ctrl+q"}, {"y", "n"}, true, "1one\n", "two\n"},
      {"File > Exit, no and yes", {"alt+f", "x"}, {"n", "y"}, true, "one\n", "2two\n"},
      {"Ctrl+Q, yes then cancel", {"ctrl+q"}, {"y", "Escape"}, false, "1one\n", "two\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string one = dir_ / "one.txt", two = dir_ / "two.txt";
    std::ofstream(one) << "one\n";
    std::ofstream(two) << "two\n";
    editor_.reset();  // the frame found is this case's editor's
    start({one});
    ASSERT_TRUE(type("1"));
    open_file(two);
    ASSERT_TRUE(type("2"));
    ASSERT_TRUE(keys(c.exit_keys));
    for (size_t i = 0; i < c.answers.size(); ++i)
      answer("Leaving", c.answers[i], c.leaves && i + 1 == c.answers.size());
    if (c.leaves) {
      EXPECT_EQ(exit_status(), 0);
    } else {
      EXPECT_TRUE(editor_->running());
      ASSERT_TRUE(keys({"F3"}));  // saves two.txt, then leaves
      EXPECT_EQ(exit_status(), 0);
      EXPECT_EQ(slurp(one), c.one_after);
      EXPECT_EQ(slurp(two), "2two\n") << "the edit was kept";
      continue;
    }
    EXPECT_EQ(slurp(one), c.one_after);
    EXPECT_EQ(slurp(two), c.two_after);
  }
}

}  // namespace
