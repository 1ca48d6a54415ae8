// What an editor window shows around its text, on a private X server with
// the real zorvex program: its scroll bars move the view without moving the
// cursor, and the status line's fields follow the cursor. Driven with
// xdotool, checked by the pixels read back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
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

// A window's place and size in the coordinates of another.
struct Box {
  Window w = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

class EditorViewX : public editor_x::EditorXFixture {
 protected:
  EditorViewX() : EditorXFixture("zvx-view") {}

  // Every viewable window below w that holds no other, placed in pane
  // coordinates.
  std::vector<Box> leaves() {
    std::vector<Box> out;
    std::vector<Window> todo = children(pane_);
    while (!todo.empty()) {
      const Window w = todo.back();
      todo.pop_back();
      const std::vector<Window> k = children(w);
      todo.insert(todo.end(), k.begin(), k.end());
      XWindowAttributes a{};
      Window child = 0;
      Box b{w};
      if (!k.empty() || !XGetWindowAttributes(d_, w, &a) || a.map_state != IsViewable ||
          !XTranslateCoordinates(d_, w, pane_, 0, 0, &b.x, &b.y, &child))
        continue;
      b.width = a.width, b.height = a.height;
      out.push_back(b);
    }
    return out;
  }
  // The text area: the leaf at the pane's origin.
  Box text_area() {
    for (const Box& b : leaves())
      if (b.x == 0 && b.y == 0 && b.width > 100) return b;
    return {};
  }
  // The vertical scroll bar: a tall narrow leaf right of the text.
  Box vertical_bar() {
    const Box t = text_area();
    for (const Box& b : leaves())
      if (b.x >= t.width && b.height > 4 * b.width && b.y < t.height) return b;
    return {};
  }

  // The rightmost column of a text row with ink, -1 for an empty row.
  int last_inked_column(int row) {
    const Box t = text_area();
    for (int c = t.width / kCellW - 1; c >= 0; --c)
      if (ink_in(pane_, c * kCellW, row * kLineH, (c + 1) * kCellW, (row + 1) * kLineH) > 0) return c;
    return -1;
  }
  int text_rows() { return text_area().height / kLineH; }

  // A click (button 1) at a point of a window; press, pause, release when
  // a drag to `to_y` is asked.
  bool click(const Box& b, int x, int y) {
    return server_->xdotool(
        {"mousemove", "--window", std::to_string(b.w), std::to_string(x), std::to_string(y), "click", "1"});
  }
  bool drag(const Box& b, int x, int from_y, int to_y) {
    return server_->xdotool({"mousemove",
                             "--window",
                             std::to_string(b.w),
                             std::to_string(x),
                             std::to_string(from_y),
                             "mousedown",
                             "1",
                             "sleep",
                             "0.2",
                             "mousemove",
                             "--window",
                             std::to_string(b.w),
                             std::to_string(x),
                             std::to_string((from_y + to_y) / 2),
                             "sleep",
                             "0.1",
                             "mousemove",
                             "--window",
                             std::to_string(b.w),
                             std::to_string(x),
                             std::to_string(to_y),
                             "sleep",
                             "0.2",
                             "mouseup",
                             "1"});
  }

  // The status line: the second lowest band of the frame's client.
  Window status_band() { return band(1); }
  // The pixels of a window, row by row.
  std::vector<unsigned long> pixels(Window w, int* width) {
    XSync(d_, False);
    XWindowAttributes a{};
    std::vector<unsigned long> out;
    if (!XGetWindowAttributes(d_, w, &a)) return out;
    XImage* im =
        XGetImage(d_, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!im) return out;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) out.push_back(XGetPixel(im, x, y) & 0xFFFFFF);
    XDestroyImage(im);
    *width = a.width;
    return out;
  }
  // The x range [first, last] of the columns where two pictures differ;
  // {-1, -1} when they are the same.
  static std::pair<int, int> differing_columns(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b,
                                               int width) {
    std::pair<int, int> r{-1, -1};
    if (a.size() != b.size() || width <= 0) return r;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i] == b[i]) continue;
      const int x = static_cast<int>(i % static_cast<size_t>(width));
      r.first = r.first < 0 ? x : std::min(r.first, x);
      r.second = std::max(r.second, x);
    }
    return r;
  }

  // The frame's title, which shows the maximised editor window's caption.
  std::string title() {
    char* name = nullptr;
    std::string t;
    if (XFetchName(d_, frame_, &name) && name) t = name;
    if (name) XFree(name);
    return t;
  }
};

// Line k of the test file is k % 60 marks long (60 for multiples of 60),
// so the last inked column of a row tells which line it shows.
int length_of_line(int k) { return (k - 1) % 60 + 1; }

// The down arrow scrolls one line, a click in the trough below the thumb a
// page, and neither moves the cursor: the next key returns the view to it
// (a typed "Z" lands on line 1). Dragging the thumb to the bottom shows the
// file's last line on the last row.
TEST_F(EditorViewX, ScrollBarMovesTheViewAndTheCursorStays) {
  const std::string path = dir_ / "lines.txt";
  constexpr int kLines = 300;
  {
    std::ofstream f(path);
    for (int k = 1; k <= kLines; ++k) f << std::string(static_cast<size_t>(length_of_line(k)), '#') << "\n";
  }
  start({path});
  ASSERT_TRUE(eventually([&] { return last_inked_column(1) == 1; })) << "line 2 on row 1";
  const Box bar = vertical_bar();
  ASSERT_NE(bar.w, 0u) << "no vertical scroll bar";
  const int rows = text_rows();
  ASSERT_GT(rows, 10);
  const int arrow = bar.width;  // the arrow boxes are square

  // One line down: row 0 shows line 2.
  ASSERT_TRUE(click(bar, bar.width / 2, bar.height - arrow / 2));
  ASSERT_TRUE(eventually([&] { return last_inked_column(0) == length_of_line(2) - 1; }))
      << "row 0 ends at column " << last_inked_column(0);
  // A page down from there: line 2 + rows - 1 on top.
  ASSERT_TRUE(click(bar, bar.width / 2, bar.height / 2 + arrow));
  const int top = 2 + rows - 1;
  ASSERT_TRUE(eventually([&] {
    return last_inked_column(0) == length_of_line(top) - 1 && last_inked_column(1) == length_of_line(top + 1) - 1;
  })) << "row 0 ends at column "
      << last_inked_column(0) << ", expected line " << top;

  // The cursor stayed on line 1: typing brings the view back there.
  ASSERT_TRUE(keys({"Z"}));
  ASSERT_TRUE(eventually([&] { return last_inked_column(0) == 1 && last_inked_column(1) == 1; }));

  // The thumb, at the top again, dragged to the bottom of the trough.
  ASSERT_TRUE(drag(bar, bar.width / 2, arrow + 6, bar.height - arrow - 2));
  ASSERT_TRUE(eventually([&] {
    return last_inked_column(rows - 1) == length_of_line(kLines) - 1 &&
           last_inked_column(rows - 2) == length_of_line(kLines - 1) - 1;
  })) << "last row ends at "
      << last_inked_column(rows - 1);

  // The caption shows the buffer's name and, until the save, " *".
  EXPECT_TRUE(eventually([&] { return title().find("lines.txt *") != std::string::npos; })) << title();
  ASSERT_TRUE(keys({"F2"}));
  ASSERT_TRUE(eventually([&] { return slurp(path).rfind("Z#\n##\n", 0) == 0; })) << slurp(path).substr(0, 20);
  EXPECT_TRUE(eventually([&] {
    const std::string t = title();
    return t.find("lines.txt") != std::string::npos && t.find(" *") == std::string::npos;
  })) << title();
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
}

// After each key the status line's line field shows the cursor's line and
// its column field the column: moving down changes only the pixels of one
// field, moving along the line only those of another further right, and
// coming back to the start gives back the first picture exactly.
TEST_F(EditorViewX, StatusLineShowsTheCursorsLineAndColumn) {
  const std::string path = dir_ / "status.txt";
  {
    std::ofstream f(path);
    for (int k = 1; k <= 2000; ++k) f << "a line of text number " << k << "\n";
  }
  start({path});
  const Window band = status_band();
  ASSERT_NE(band, 0u);
  int width = 0;
  std::vector<unsigned long> first;
  // The picture settles once the first refresh has filled the fields.
  ASSERT_TRUE(eventually([&] {
    std::vector<unsigned long> a = pixels(band, &width);
    std::this_thread::sleep_for(100ms);
    first = pixels(band, &width);
    return !first.empty() && a == first;
  }));
  auto changed_columns = [&](const std::vector<unsigned long>& before) {
    std::pair<int, int> r{-1, -1};
    eventually([&] {
      r = differing_columns(before, pixels(band, &width), width);
      return r.first >= 0;
    });
    std::this_thread::sleep_for(150ms);  // the whole value drawn
    return differing_columns(before, pixels(band, &width), width);
  };

  ASSERT_TRUE(keys({"ctrl+End", "Home"}));  // line 2000, column 1
  const std::pair<int, int> line_field = changed_columns(first);
  ASSERT_GE(line_field.first, 0) << "the line field did not change";
  const std::vector<unsigned long> at_end = pixels(band, &width);

  ASSERT_TRUE(keys({"End"}));  // line 2000, column 27
  const std::pair<int, int> col_field = changed_columns(at_end);
  ASSERT_GE(col_field.first, 0) << "the column field did not change";
  EXPECT_GT(col_field.first, line_field.second) << "the column field lies right of the line field";

  ASSERT_TRUE(keys({"ctrl+Home", "Home"}));
  EXPECT_TRUE(eventually([&] { return pixels(band, &width) == first; })) << "line 1, column 1 again";
  ASSERT_TRUE(keys({"F3"}));
  EXPECT_EQ(exit_status(), 0);
}

}  // namespace
