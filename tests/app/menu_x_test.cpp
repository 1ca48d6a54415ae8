// The frame's menu bar as a user meets it: the real zorvex program on a
// private X server, its menus opened with the mouse and with their
// mnemonics through xdotool, the chosen command checked in the saved file.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
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
using editor_x::slurp;

// A run of rows or columns holding ink: [first, last].
struct Span {
  int first, last;
  int middle() const { return (first + last) / 2; }
};

class MenuX : public editor_x::EditorXFixture {
 protected:
  MenuX() : EditorXFixture("zvx-menu") {}

  // Starts the editor on the arguments and waits until its menu bar shows
  // its menus (the bar, not an editor window, is what these tests need).
  void start(const std::vector<std::string>& args) {
    spawn_editor(args);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(eventually([&] { return (bar_ = find_bar()) != 0 && columns(bar_).size() >= 7; }))
        << "no menu bar with its five menus";
    ASSERT_TRUE(server_->focus(frame_));
  }

  // The bar: a mapped window at the top left inside the frame, as wide as
  // the frame's inside and no taller than two text rows, with no children.
  Window find_bar() {
    std::vector<Window> todo = children(frame_);
    XWindowAttributes fa{};
    if (!XGetWindowAttributes(d_, frame_, &fa)) return 0;
    for (size_t i = 0; i < todo.size(); ++i) {
      XWindowAttributes a{};
      if (!XGetWindowAttributes(d_, todo[i], &a) || a.map_state != IsViewable) continue;
      if (a.y == 0 && a.height > 8 && a.height < 40 && a.width > fa.width / 2 && children(todo[i]).empty())
        return todo[i];
      for (Window k : children(todo[i])) todo.push_back(k);
    }
    return 0;
  }
  // A mapped override-redirect window on the root: an open pull-down.
  Window open_popup() {
    for (Window w : children(DefaultRootWindow(d_))) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, w, &a) && a.override_redirect && a.map_state == IsViewable) return w;
    }
    return 0;
  }

  // The image of a window with its most common pixel taken as paper; runs
  // of columns (across the whole height) or rows (across the width) that
  // hold other pixels, gaps of `gap` or less joined.
  std::vector<Span> spans(Window w, bool by_column, int gap) {
    XSync(d_, False);
    XWindowAttributes a{};
    std::vector<Span> out;
    if (!XGetWindowAttributes(d_, w, &a)) return out;
    XImage* im =
        XGetImage(d_, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!im) return out;
    std::map<unsigned long, int> count;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) ++count[XGetPixel(im, x, y) & 0xFFFFFF];
    unsigned long paper = 0;
    int best = -1;
    for (const auto& [pixel, n] : count)
      if (n > best) best = n, paper = pixel;
    // Two pixels in from each edge: the borders are not content.
    const int outer = by_column ? a.width : a.height, inner = by_column ? a.height : a.width;
    int last_ink = -1000;
    for (int i = 2; i < outer - 2; ++i) {
      bool ink = false;
      for (int j = 2; j < inner - 2 && !ink; ++j) {
        const int x = by_column ? i : j, y = by_column ? j : i;
        ink = (XGetPixel(im, x, y) & 0xFFFFFF) != paper;
      }
      if (!ink) continue;
      if (i - last_ink <= gap + 1 && !out.empty())
        out.back().last = i;
      else
        out.push_back({i, i});
      last_ink = i;
    }
    XDestroyImage(im);
    return out;
  }
  // The captions of the bar, left to right (letters of one caption are
  // closer than the gap between captions).
  std::vector<Span> columns(Window bar) { return spans(bar, true, 4); }
  // The rows of a pull-down's items, top to bottom.
  std::vector<Span> rows(Window popup) { return spans(popup, false, 2); }

  bool click(Window w, int x, int y) {
    return server_->xdotool(
        {"mousemove", "--window", std::to_string(w), std::to_string(x), std::to_string(y), "click", "1"});
  }

  Window bar_ = 0;
};

// The bar shows File, Edit, Search, Window and Help; the File menu opened
// with the mouse saves with its Save item, and Alt+F then S saves again.
TEST_F(MenuX, FileSaveChosenWithTheMouseAndWithMnemonics) {
  const std::string path = dir_ / "menu.txt";
  {
    std::ofstream f(path);
    f << "abc\n";
  }
  start({path});
  // The editor window is maximised: its system-menu button leads the bar
  // and its restore button ends it, around the five menus.
  std::vector<Span> menus = columns(bar_);
  std::string seen;
  for (const Span& m : menus) seen += " " + std::to_string(m.first) + "-" + std::to_string(m.last);
  ASSERT_EQ(menus.size(), 7u) << "button, File, Edit, Search, Window, Help, button:" << seen;
  menus = std::vector<Span>(menus.begin() + 1, menus.end() - 1);
  for (size_t i = 1; i < menus.size(); ++i) EXPECT_GT(menus[i].first, menus[i - 1].last + 4);
  EXPECT_GT(menus[3].last - menus[3].first, menus[0].last - menus[0].first) << "Window is wider than File";

  ASSERT_TRUE(type("X"));
  ASSERT_TRUE(click(bar_, menus[0].middle(), 8));
  Window pull = 0;
  ASSERT_TRUE(eventually([&] { return (pull = open_popup()) != 0 && rows(pull).size() >= 7; })) << "no File menu";
  const std::vector<Span> items = rows(pull);
  // New, Open..., Save, Save As..., Close, the separator, Exit.
  ASSERT_EQ(items.size(), 7u);
  ASSERT_TRUE(click(pull, 20, items[2].middle()));
  ASSERT_TRUE(eventually([&] { return slurp(path) == "Xabc\n"; })) << slurp(path);
  EXPECT_TRUE(eventually([&] { return open_popup() == 0; })) << "the menu closed";

  ASSERT_TRUE(type("Y"));
  ASSERT_TRUE(keys({"alt+f"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; })) << "Alt+F opens File";
  ASSERT_TRUE(keys({"s"}));
  ASSERT_TRUE(eventually([&] { return slurp(path) == "XYabc\n"; })) << slurp(path);

  // Edit, Select All, then Cut: the buffer is empty and F2 saves that.
  ASSERT_TRUE(keys({"alt+e"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  ASSERT_TRUE(keys({"a"}));
  ASSERT_TRUE(eventually([&] { return open_popup() == 0; }));
  ASSERT_TRUE(keys({"alt+e"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  ASSERT_TRUE(keys({"t"}));
  ASSERT_TRUE(keys({"F2"}));
  EXPECT_TRUE(eventually([&] { return slurp(path).find("abc") == std::string::npos; })) << slurp(path);
}

// An item whose command needs a number puts the command in the command
// line with the keys there: Search, Go To Line, the number and Enter move
// the cursor to that line.
TEST_F(MenuX, AnItemThatNeedsANumberAsksForItInTheCommandLine) {
  const std::string path = dir_ / "lines.txt";
  {
    std::ofstream f(path);
    f << "one\ntwo\nthree\n";
  }
  start({path});
  ASSERT_TRUE(keys({"alt+s"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  ASSERT_TRUE(keys({"g"}));
  ASSERT_TRUE(eventually([&] { return open_popup() == 0; }));
  ASSERT_TRUE(type("3"));
  ASSERT_TRUE(keys({"Return"}));
  ASSERT_TRUE(type("Z"));
  ASSERT_TRUE(keys({"ctrl+s"}));
  EXPECT_TRUE(eventually([&] { return slurp(path) == "one\ntwo\nZthree\n"; })) << slurp(path);
}

// File, Exit: the exit path lets go of the menus and the frame's bar
// (the sanitizer build fails the exit status on any fault there).
TEST_F(MenuX, ExitFromTheMenuReleasesTheMenusAndEndsCleanly) {
  const std::string path = dir_ / "exit.txt";
  {
    std::ofstream f(path);
    f << "abc\n";
  }
  start({path});
  ASSERT_TRUE(keys({"alt+w"}));  // a pull-down opened and closed before leaving
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  ASSERT_TRUE(keys({"Escape"}));
  ASSERT_TRUE(eventually([&] { return open_popup() == 0; }));
  ASSERT_TRUE(keys({"alt+f"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  ASSERT_TRUE(keys({"x"}));
  EXPECT_EQ(exit_status(), std::optional<int>(0));
  EXPECT_EQ(slurp(path), "abc\n");
}

}  // namespace
