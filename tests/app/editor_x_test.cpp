// The editor as a user meets it: the real zorvex program on a private X
// server, driven only with xdotool, checked on disk and by the pixels of
// its editor window read back.
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

int64_t file_size(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

class EditorX : public editor_x::EditorXFixture {
 protected:
  EditorX() : EditorXFixture("zvx-editor") {}

  // Pixels that are not paper in a box of the editor window.
  int ink(int x0, int y0, int x1, int y1) { return ink_in(pane_, x0, y0, x1, y1); }
  // Ink in cells [first, last] of a text row (the caret's column excluded
  // by the caller when it matters).
  int row_ink(int row, int first, int last) {
    return ink(first * kCellW, row * kLineH, (last + 1) * kCellW, (row + 1) * kLineH);
  }
  // The text area of the editor window: the window at the pane's origin
  // that holds no other (the pane less its scroll bars).
  XWindowAttributes text_area() {
    XWindowAttributes best{};
    std::vector<Window> todo = children(pane_);
    while (!todo.empty()) {
      const Window w = todo.back();
      todo.pop_back();
      const std::vector<Window> k = children(w);
      todo.insert(todo.end(), k.begin(), k.end());
      XWindowAttributes a{};
      int x = 0, y = 0;
      Window child = 0;
      if (!k.empty() || !XGetWindowAttributes(d_, w, &a) || a.map_state != IsViewable ||
          !XTranslateCoordinates(d_, w, pane_, 0, 0, &x, &y, &child) || x != 0 || y != 0)
        continue;
      if (a.width * a.height > best.width * best.height) best = a;
    }
    if (best.width == 0) XGetWindowAttributes(d_, pane_, &best);
    return best;
  }
  // The rightmost column of a row with ink, -1 for an empty row.
  int last_inked_column(int row) {
    const XWindowAttributes a = text_area();
    if (a.width == 0) return -2;
    for (int c = a.width / kCellW - 1; c >= 0; --c)
      if (row_ink(row, c, c) > 0) return c;
    return -1;
  }

  // Whole text rows of the editor window.
  int text_rows() {
    const XWindowAttributes a = text_area();
    return a.height / kLineH;
  }
};

TEST_F(EditorX, TypedLinesInANewFileAreSavedByteForByte) {
  const std::string path = dir_ / "new.txt";
  start({path});
  ASSERT_TRUE(type("hello world"));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("second"));
  ASSERT_TRUE(keys({"Tab"}));
  ASSERT_TRUE(type("x yz"));
  ASSERT_TRUE(keys({"Return", "Return"}));
  ASSERT_TRUE(type("after a gap"));
  // On the screen: the first row inked over "hello world" and blank past it.
  ASSERT_TRUE(eventually([&] { return row_ink(3, 0, 10) > 0; }));
  EXPECT_GT(row_ink(0, 0, 4), 20) << "hello";
  EXPECT_EQ(row_ink(0, 5, 5), 0) << "the blank";
  EXPECT_GT(row_ink(0, 6, 10), 20) << "world";
  EXPECT_EQ(row_ink(0, 12, 40), 0) << "nothing after the line";
  EXPECT_EQ(row_ink(2, 1, 40), 0) << "the empty line";
  // Backspace at a line's start joins it to the line above, Delete at the
  // end joins the next one, Enter splits it again; Ctrl+Z takes back the
  // last typing.
  ASSERT_TRUE(keys({"Up", "Home", "BackSpace", "End", "Delete", "Return"}));
  ASSERT_TRUE(type("zz"));
  ASSERT_TRUE(keys({"ctrl+z"}));
  ASSERT_TRUE(keys({"ctrl+s"}));
  ASSERT_TRUE(eventually([&] { return slurp(path).size() > 10; }));
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "hello world\nsecond\tx yz\nafter a gap\n");
}

// Accented letters from a Latin-1 keymap type their Latin-1 bytes, whatever
// the locale says: the keysyms 0xA0..0xFF are those bytes.
TEST_F(EditorX, AccentedLettersTypeTheirLatin1Bytes) {
  // The letters get keys of their own before the editor starts: left to
  // xdotool, each would remap a spare key while the editor may still be
  // reading the old map.
  const KeySym letters[] = {XK_eacute, XK_adiaeresis, XK_ssharp, XK_sterling};
  int lo = 0, hi = 0, per = 0;
  XDisplayKeycodes(d_, &lo, &hi);
  XFree(XGetKeyboardMapping(d_, static_cast<KeyCode>(lo), 1, &per));
  int placed = 0;
  for (int code = hi; code >= lo && placed < 4; --code) {
    int n = 0;
    KeySym* have = XGetKeyboardMapping(d_, static_cast<KeyCode>(code), 1, &n);
    const bool spare = std::all_of(have, have + n, [](KeySym k) { return k == NoSymbol; });
    XFree(have);
    if (!spare) continue;
    std::vector<KeySym> row(static_cast<size_t>(per), NoSymbol);
    row[0] = letters[placed++];
    XChangeKeyboardMapping(d_, code, per, row.data(), 1);
  }
  ASSERT_EQ(placed, 4) << "no spare keys on the server";
  XSync(d_, False);
  for (const char* lang : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(lang);
    const std::string path = dir_ / (std::string("latin1-") + lang + ".txt");
    std::ofstream(path) << "x\n";
    editor_.reset();
    editor_ = server_->spawn({std::string(ZVX_BINARY_DIR) + "/app/zorvex", path},
                             {"HOME=" + dir_.path(), std::string("LANG=") + lang, std::string("LC_ALL=") + lang});
    ASSERT_TRUE(editor_);
    frame_ = server_->wait_for_class("Halvorn");
    ASSERT_NE(frame_, 0u);
    ASSERT_TRUE(eventually([&] { return (pane_ = find_pane()) != 0; }));
    ASSERT_TRUE(server_->focus(frame_));
    ASSERT_TRUE(type("\u00e9\u00e4\u00df\u00a3"));  // e acute, a umlaut, sharp s, pound
    ASSERT_TRUE(keys({"ctrl+s", "F3"}));
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(slurp(path), "\xe9\xe4\xdf\xa3x\n");
  }
}

// The editor tells whoever drives it when it has handled its input and
// drawn the result: after a sync the screen is read once, not polled.
TEST_F(EditorX, ASyncAnswersOnceTheInputIsHandledAndDrawn) {
  start({dir_ / "sync.txt"});
  ASSERT_TRUE(synced()) << "no answer to a sync";
  const long before = server_->idle_count(frame_);
  EXPECT_GT(before, 0);
  EXPECT_EQ(row_ink(0, 1, 6), 0) << "a new file starts empty";
  for (const char* word : {"abcdef", "ghijkl", "mnopqr"}) {
    ASSERT_TRUE(type(word));
    ASSERT_TRUE(keys({"Return"}));
  }
  ASSERT_TRUE(synced());
  EXPECT_GT(server_->idle_count(frame_), before);
  for (int row = 0; row < 3; ++row) EXPECT_GT(row_ink(row, 0, 5), 20) << "row " << row;
  EXPECT_EQ(row_ink(3, 1, 6), 0) << "the empty line after the cursor";
}

// Ctrl+Z takes back a join or a split whole: both lines come back.
TEST_F(EditorX, UndoGivesBackBothLinesOfAJoinOrASplit) {
  const std::string path = dir_ / "two.txt";
  {
    std::ofstream f(path);
    f << "abc\ndef\n";
  }
  start({path});
  ASSERT_TRUE(keys({"End", "Delete", "ctrl+z", "Down", "BackSpace", "ctrl+z", "Up", "End", "Return", "ctrl+z"}));
  ASSERT_TRUE(keys({"ctrl+s"}));
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "abc\ndef\n");
}

// Copy and paste reach other X programs: what the editor copies xclip
// reads from CLIPBOARD, and what xclip stores the editor pastes.
TEST_F(EditorX, CopyAndPasteGoThroughTheXClipboard) {
  const std::string path = dir_ / "clip.txt";
  {
    std::ofstream f(path);
    f << "hello clip\nsecond\n";
  }
  start({path});
  ASSERT_TRUE(keys({"shift+End", "ctrl+c"}));
  const std::string env = "DISPLAY=" + server_->display_name() + " ";
  const std::string out = dir_ / "xclip.out";
  bool read = false;
  for (int i = 0; i < 50 && !read; ++i) {
    read = std::system((env + "timeout 5 xclip -o -selection clipboard > " + out).c_str()) == 0 &&
           slurp(out) == "hello clip";
    if (!read) usleep(100000);
  }
  EXPECT_TRUE(read) << slurp(out);
  ASSERT_EQ(std::system(("printf 'from xclip' | " + env + "xclip -i -selection clipboard").c_str()), 0);
  ASSERT_TRUE(keys({"Down", "End", "ctrl+v", "ctrl+s"}));
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "hello clip\nsecondfrom xclip\n");
}

TEST_F(EditorX, AMissingFileOpensAsANewFileAndF2SavesIt) {
  const std::string path = dir_ / "sub/missing.c";
  mkdir((dir_ / "sub").c_str(), 0700);
  start({path});
  EXPECT_EQ(ink(0, 0, 200, 100), 0) << "an empty window";
  EXPECT_GT(message_ink(), 30) << "the message line says it is a new file";
  ASSERT_TRUE(type("int x;"));
  ASSERT_TRUE(keys({"F2"}));
  ASSERT_TRUE(eventually([&] { return slurp(path) == "int x;\n"; })) << slurp(path);
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(EditorX, AFailingKeyShowsItsErrorAndTheEditorGoesOn) {
  const std::string path = dir_ / "going-on.txt";
  std::ofstream(path) << "x\n";
  start({path});
  EXPECT_EQ(message_ink(), 0) << "no message yet";
  // F5 searches again with no pattern found; Shift+F2 asks for a name and
  // saves in a directory that is not there. Each fails inside its macro.
  struct Case {
    const char* key;
    std::string answer;  // typed into the prompt, then Enter
  };
  for (const Case& c : {Case{"F5", ""}, Case{"shift+F2", dir_ / "no-such-dir/x.txt"}}) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(keys({c.key}));
    if (!c.answer.empty()) {
      ASSERT_TRUE(type(c.answer));
      ASSERT_TRUE(keys({"Return"}));
    }
    ASSERT_TRUE(eventually([&] { return message_ink() > 30; })) << "the error shows on the message line";
    ASSERT_TRUE(type("ok"));
    ASSERT_TRUE(eventually([&] { return message_ink() == 0; })) << "the next key clears it";
  }
  ASSERT_TRUE(eventually([&] { return row_ink(0, 0, 3) > 30; })) << "typing went on after each error";
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "okokx\n");
}

TEST_F(EditorX, AnUnreadableFileShowsAccessDeniedAndTheEditorKeepsRunning) {
  // Run as an unprivileged user, so that the file's mode holds.
  if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is missing";
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  const std::string path = dir_ / "locked.txt";
  std::ofstream(path) << "secret\n";
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  std::vector<std::string> argv{"/usr/bin/setpriv",
                                "--reuid=65534",
                                "--regid=65534",
                                "--clear-groups",
                                std::string(ZVX_BINARY_DIR) + "/app/zorvex",
                                path};
  editor_ = server_->spawn(argv, {"HOME=/"});
  ASSERT_TRUE(editor_);
  frame_ = server_->wait_for_class("Halvorn");
  ASSERT_NE(frame_, 0u);
  ASSERT_TRUE(eventually([&] { return message_ink() > 30; })) << "the message shows";
  EXPECT_TRUE(editor_->running());
  ASSERT_TRUE(server_->focus(frame_));
  ASSERT_TRUE(keys({"ctrl+q"}));  // nothing to save: it leaves
  EXPECT_EQ(exit_status(), 0);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(slurp(path), "secret\n") << "the file is untouched";
}

// A big file of numbered lines: line n is "n:" then filler to `width`
// characters; the last line is "END".
std::string big_line(int64_t n, int width) {
  std::string l = std::to_string(n) + ":";
  while (static_cast<int>(l.size()) < width) l += static_cast<char>('a' + (l.size() % 26));
  return l + "\n";
}

// Lines of 1000 bytes up to 64 MiB: the middle lies some 33,000 lines and
// almost 900 pages down, a distance only paging covers.
TEST_F(EditorX, AnEditInTheMiddleOfA64MiBFileChangesOnlyThatLine) {
  const std::string path = dir_ / "64m.txt";
  constexpr int64_t kLines = (64 << 20) / 1000;
  {
    std::string all;
    all.reserve(64 << 20);
    for (int64_t n = 0; n < kLines; ++n) all += big_line(n, 999);
    std::ofstream(path, std::ios::binary) << all;
  }
  const std::string before = slurp(path);
  start({path});
  ASSERT_TRUE(eventually([&] { return row_ink(0, 0, 40) > 100; })) << "the first screen";
  ASSERT_TRUE(server_->xdotool({"key", "--delay", "1", "--repeat", "880", "Next"}));
  // The edit takes the first three characters of the line (typing into a
  // line this long would wrap it at the right margin).
  ASSERT_TRUE(keys({"Delete", "Delete", "Delete"}));
  ASSERT_TRUE(keys({"ctrl+s"}));
  ASSERT_TRUE(eventually([&] { return file_size(path) == static_cast<int64_t>(before.size()) - 3; }, 60s));
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(60s), 0);
  const std::string after = slurp(path);
  ASSERT_EQ(after.size(), before.size() - 3);
  // The first difference: the start of one line in the middle half of the
  // file lost three bytes, and every other byte is as it was.
  size_t at = 0;
  while (at < after.size() && before[at] == after[at]) ++at;
  ASSERT_LT(at, after.size());
  ASSERT_GT(at, 0u);
  EXPECT_EQ(before[at - 1], '\n') << "at the start of a line";
  EXPECT_GT(at, before.size() / 4);
  EXPECT_LT(at, before.size() * 3 / 4);
  EXPECT_TRUE(std::equal(after.begin() + static_cast<std::ptrdiff_t>(at), after.end(),
                         before.begin() + static_cast<std::ptrdiff_t>(at) + 3))
      << "the rest of the file moved by the three bytes and nothing else";
}

// 1 GiB of 64-byte lines and a short last line: the first screen shows at
// once, and Ctrl+End shows the last line.
TEST_F(EditorX, A1GiBFileShowsItsFirstScreenAndItsLastLine) {
  const std::string path = dir_ / "1g.txt";
  {
    std::string block;
    for (int n = 0; n < (1 << 14); ++n) block += big_line(n, 63);  // 1 MiB
    std::ofstream f(path, std::ios::binary);
    for (int k = 0; k < 1024; ++k) f << block;
    f << "END\n";
  }
  start({path});
  // The first screen: row 0 is "0:" and filler to column 62, every row full.
  ASSERT_TRUE(eventually([&] { return last_inked_column(0) == 62; })) << last_inked_column(0);
  for (int row : {1, 10, 30}) EXPECT_EQ(last_inked_column(row), 62) << row;
  ASSERT_TRUE(keys({"ctrl+End"}));
  // The last line: the lowest inked row holds the three letters of "END"
  // (and the caret after them); the row above is a full line.
  int last_row = -1;
  ASSERT_TRUE(eventually(
      [&] {
        for (int row = text_rows() - 1; row >= 0; --row)
          if (row_ink(row, 0, 70) > 0) {
            last_row = row;
            return last_inked_column(row) <= 3 && row_ink(row, 0, 2) > 40;
          }
        return false;
      },
      30s))
      << "last inked row " << last_row << " ends at column " << last_inked_column(last_row);
  ASSERT_GT(last_row, 0);
  EXPECT_EQ(last_inked_column(last_row - 1), 62);
  ASSERT_TRUE(keys({"ctrl+q"}));
  EXPECT_EQ(exit_status(), 0);
}

// Under a real window manager: twm's f.delete (bound to F9 here) asks the
// editor to close its frame. With a modified buffer it asks first: Yes
// saves and leaves, No leaves the file as it was, Cancel keeps editing.
TEST_F(EditorX, ClosedByTheWindowManagerItAsksBeforeLosingChanges) {
  const std::string rc = dir_ / "twmrc";
  std::ofstream(rc) << "RandomPlacement\nNoGrabServer\n\"F9\" = : window : f.delete\n";
  auto twm = server_->spawn({"/usr/bin/twm", "-f", rc});
  ASSERT_TRUE(twm);
  struct Case {
    const char* answer;
    bool leaves;
    const char* file_after_answer;
  };
  const Case cases[] = {
      {"y", true, "kept\nold\n"},
      {"n", true, "old\n"},
      {"Escape", false, "old\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const std::string path = dir_ / (std::string("wm-") + c.answer + ".txt");
    std::ofstream(path) << "old\n";
    start({path});
    ASSERT_TRUE(type("kept"));
    ASSERT_TRUE(keys({"Return"}));
    ASSERT_TRUE(eventually([&] { return row_ink(0, 0, 3) > 30 && row_ink(1, 0, 2) > 30; }));
    ASSERT_TRUE(keys({"F9"}));
    const Window box = server_->wait_for_class("Halvorn", "Leaving");
    ASSERT_NE(box, 0u) << "the question";
    EXPECT_TRUE(editor_->running());
    EXPECT_EQ(slurp(path), "old\n") << "nothing saved or lost before the answer";
    ASSERT_TRUE(server_->focus(box));
    ASSERT_TRUE(keys({c.answer}));
    if (c.leaves) {
      EXPECT_EQ(exit_status(), 0);
    } else {
      std::this_thread::sleep_for(300ms);
      EXPECT_TRUE(editor_->running());
      ASSERT_TRUE(server_->focus(frame_));
      ASSERT_TRUE(keys({"F3"}));  // the edit is still there to save
      EXPECT_EQ(exit_status(), 0);
      EXPECT_EQ(slurp(path), "kept\nold\n");
      continue;
    }
    EXPECT_EQ(slurp(path), c.file_after_answer);
  }
}

// A command typed into the command line runs when Enter is pressed: the
// cursor moves, the keys go back to the editor window, and Up brings the
// command back from the history.
TEST_F(EditorX, ACommandTypedIntoTheCommandLineRuns) {
  const std::string path = dir_ / "lines.txt";
  std::ofstream(path) << "one\ntwo\nthree\nfour\n";
  start({path});
  ASSERT_NE(command_field(), 0u) << "no command line";
  const int empty = field_ink();
  ASSERT_TRUE(click_command_line());
  ASSERT_TRUE(type("go-to-line 3"));
  ASSERT_TRUE(eventually([&] { return field_ink() > empty + 100; })) << "the command line shows the command";
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(eventually([&] { return field_ink() <= empty; })) << "the command left the command line";
  ASSERT_TRUE(type("X"));
  // Back at the top, the same command again from the history.
  ASSERT_TRUE(keys({"ctrl+Home"}));
  ASSERT_TRUE(click_command_line());
  ASSERT_TRUE(keys({"Up"}));
  ASSERT_TRUE(eventually([&] { return field_ink() > empty + 100; })) << "Up brings the command back";
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("Y"));
  ASSERT_TRUE(keys({"F2"}));
  ASSERT_TRUE(eventually([&] { return slurp(path) == "one\ntwo\nYXthree\nfour\n"; })) << slurp(path);
  EXPECT_EQ(message_ink(), 0) << "no error";
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
}

// A command that fails shows its error on the message line; the editor
// window takes the next keys, which clear the message.
TEST_F(EditorX, AFailingCommandShowsItsErrorAndTheEditorGoesOn) {
  const std::string path = dir_ / "still.txt";
  std::ofstream(path) << "x\n";
  start({path});
  EXPECT_EQ(message_ink(), 0) << "no message yet";
  for (const char* command : {"no-such-command-here", "search-for zzz-not-in-the-file"}) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(click_command_line());
    ASSERT_TRUE(type(command));
    ASSERT_TRUE(keys({"Return"}));
    ASSERT_TRUE(eventually([&] { return message_ink() > 30; })) << "the error shows on the message line";
    ASSERT_TRUE(type("ok"));
    ASSERT_TRUE(eventually([&] { return message_ink() == 0; })) << "the next key clears it";
  }
  ASSERT_TRUE(keys({"F2"}));
  ASSERT_TRUE(eventually([&] { return slurp(path).find("ok") != std::string::npos; }));
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(slurp(path), "okokx\n");
}

}  // namespace

// A command run as the buffer's process: its output reaches the buffer on
// the frame's poll timer, with no key pressed while it comes.
TEST_F(EditorX, AProcessBufferTakesOutputWithoutAKey) {
  const std::string path = dir_ / "proc.txt";
  std::ofstream(path) << "top\n";
  start({path});
  ASSERT_TRUE(click_command_line());
  ASSERT_TRUE(type("process-buffer echo late-line"));
  ASSERT_TRUE(keys({"Return"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(keys({"F2"}));
  ASSERT_TRUE(eventually([&] { return slurp(path).find("late-line\n") != std::string::npos; })) << slurp(path);
  EXPECT_NE(slurp(path).find("top\n"), std::string::npos) << slurp(path);
  EXPECT_NE(slurp(path).find("Exited\n"), std::string::npos) << "the poll saw the process end";
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
}
