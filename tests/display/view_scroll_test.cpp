#include <gtest/gtest.h>

#include "display/view_scroll.h"

namespace {

TEST(ViewScroll, HorizontalFollowOfTheCursor) {
  // Text area from x 0 to 640, 8-pixel cells.
  const struct {
    const char* what;
    HScrollInput in;
    int32_t want;
  } cases[] = {
      {"visible: unchanged", {80, 88, 0, 0, 640, 'S', false, 10, 80, 8}, 0},
      {"right edge: just enough", {640, 648, 0, 0, 640, 'S', false, 80, 80, 8}, 8},
      {"style C: near the middle", {640, 648, 0, 0, 640, 'C', false, 80, 80, 8}, 328},
      {"fixed columns: whole cells", {1000, 1008, 0, 0, 640, 'S', true, 125, 80, 8}, 368},
      {"left of the view: to the cursor", {40, 48, 200, 0, 640, 'S', false, 5, 80, 8}, 40},
      {"left, style C, never negative", {40, 48, 200, 0, 640, 'C', false, 5, 80, 8}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.want, view_hscroll_offset(c.in)) << c.what;
    if (c.in.fixed_columns) {
      EXPECT_EQ(0, view_hscroll_offset(c.in) % c.in.char_width);
    }
  }
}

TEST(ViewScroll, VerticalBarRanges) {
  // Lines.
  ScrollBar b = disp_vscroll_range({500, 0, 120, 25, 25, 600, false, 0});
  EXPECT_EQ(1, b.min);
  EXPECT_EQ(500, b.max);
  EXPECT_EQ(25, b.page);
  EXPECT_EQ(120, b.pos);
  // Everything fits.
  b = disp_vscroll_range({1, 0, 1, 25, 5, 5, false, 0});
  EXPECT_EQ(2, b.max);
  EXPECT_EQ(4, b.page);
  b = disp_vscroll_range({0, 0, 0, 25, 5, 5, true, 0});
  EXPECT_EQ(0, b.min);
  EXPECT_EQ(1, b.max);
  // Bytes, scaled to at most 32000.
  for (int64_t last : {8000LL, 32000LL, 32001LL, 1LL << 30, (1LL << 40)}) {
    b = disp_vscroll_range({last, last / 2, 0, 25, 25, 0, false, 0});
    EXPECT_LE(b.max, 32000) << last;
    EXPECT_GE(b.pos, 0);
    EXPECT_LE(b.pos, b.max);
  }
  EXPECT_EQ(300, disp_hscroll_pos(75, 75));
  EXPECT_EQ(32000, disp_hscroll_pos(1 << 30, 75));
}

TEST(ViewScroll, Captions) {
  EXPECT_EQ("no-name<b3>", disp_buffer_caption("", 3, 'N', false));
  EXPECT_EQ("no-name<b3> *", disp_buffer_caption("", 3, 'N', true));
  EXPECT_EQ("/src/a.c *", disp_buffer_caption("/src/a.c", 1, 'M', true));
  EXPECT_EQ("a.c", disp_buffer_caption("/src/a.c", 1, 'I', false));
  EXPECT_EQ("src/a.c", disp_buffer_caption("src/a.c", 1, 'I', false));
}

TEST(ViewScroll, PathShortening) {
  const struct {
    const char* path;
    size_t limit;
    const char* want;
  } cases[] = {
      {"/home/user/projects/src/file.c", 100, "/home/user/projects/src/file.c"},
      {"/home/user/projects/src/file.c", 28, "/home/../projects/src/file.c"},
      {"/home/user/projects/src/file.c", 20, "/home/../src/file.c"},
      {"/home/user/projects/src/file.c", 5, "/home/../file.c"},
      {"home/user/projects/src/file.c", 5, "home/user/projects/src/file.c"},
      {"/file.c", 2, "/file.c"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, disp_shorten_path(c.path, c.limit)) << c.path << " " << c.limit;
  EXPECT_EQ("/x/../a-very-long-file-name.c", disp_menu_path("/x/y/z/a-very-long-file-name.c", 10));
  EXPECT_EQ("/home/../src/file.c", disp_menu_path("/home/user/projects/src/file.c", 20));
}

}  // namespace
