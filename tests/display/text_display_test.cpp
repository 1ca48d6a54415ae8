#include <gtest/gtest.h>

#include <string>

#include "display/colours.h"
#include "display/text_display.h"
#include "tests/display/recording_surface.h"

namespace {

using disptest::RecordingSurface;

class DisplayGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    colours_reset();
    ASSERT_EQ(0, disp_layout(&d, &s, 0, 0, 0));
  }
  void TearDown() override { disp_destroy(&d); }
  void put(int row, const std::string& text, uint16_t attr = 1) {
    disp_begin_line(&d, row, d.text_left, 0);
    disp_put_text(&d, row, text.data(), static_cast<int32_t>(text.size()), attr);
  }
  RecordingSurface s{800, 160};  // 100 columns, 10 rows
  TextDisplay d;
};

TEST_F(DisplayGrid, LayoutFromTheFont) {
  EXPECT_EQ(10, d.rows);
  EXPECT_EQ(11, d.line_count);
  EXPECT_EQ(100, d.columns);
  EXPECT_EQ(101, d.line_capacity);
  RecordingSurface b(800, 160);
  TextDisplay bd;
  ASSERT_EQ(0, disp_layout(&bd, &b, 0, 0, 16));
  EXPECT_EQ(5, bd.text_left);
  EXPECT_EQ(790, bd.area_width);
}

TEST_F(DisplayGrid, FirstUpdateDrawsEveryRowAndAnEmptyRangeNothing) {
  for (int r = 0; r < d.line_count; ++r) put(r, "row " + std::to_string(r));
  disp_update(&d, d.line_count);
  EXPECT_EQ(11u, s.texts.size());
  s.clear();
  disp_update(&d, d.line_count);
  EXPECT_TRUE(s.texts.empty());
  EXPECT_EQ(0, s.fills);
}

TEST_F(DisplayGrid, UpdateDrawsOnlyWhatDiffers) {
  put(0, "int x = 1;");
  disp_update(&d, d.line_count);
  struct Case {
    const char* what;
    std::string text;
    int attr_col;       // a cell given slot 16, -1 none
    size_t calls;       // text calls
    const char* first;  // the first text drawn
    int32_t x;          // and where
  } cases[] = {
      {"same line", "int x = 1;", -1, 0, nullptr, 0},
      {"one changed character draws to the end", "int y = 1;", -1, 1, "y = 1;", 32},
      {"a longer line draws only the new cells", "int y = 1; // c", -1, 1, " // c", 80},
      {"a shorter line draws nothing, clears the rest", "int y", -1, 0, nullptr, 0},
      {"one changed attribute draws that run", "int y", 4, 1, "y", 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    put(0, c.text);
    if (c.attr_col >= 0) disp_set_cell_attr(&d, c.attr_col, 0, 16);
    s.clear();
    disp_update(&d, d.line_count);
    ASSERT_EQ(c.calls, s.texts.size());
    if (c.calls) {
      EXPECT_EQ(c.first, s.texts[0].text);
      EXPECT_EQ(c.x, s.texts[0].x);
    }
    if (std::string(c.what).find("shorter") != std::string::npos) {
      EXPECT_EQ(1, s.fills);
    }
  }
}

TEST_F(DisplayGrid, ColoursComeFromTheCellsSlots) {
  put(0, "ab");
  disp_set_cell_attr(&d, 1, 0, 20);
  disp_update(&d, d.line_count);
  ASSERT_EQ(2u, s.texts.size());
  EXPECT_EQ(colour_slot(1)->fg, s.texts[0].fg);
  EXPECT_EQ(0x008000u, s.texts[1].fg);
  EXPECT_EQ("b", s.texts[1].text);
}

TEST_F(DisplayGrid, BuildingClipsAndIgnoresBadRows) {
  put(0, std::string(500, 'x'));
  EXPECT_EQ(d.line_capacity, d.lines[0].length);
  disp_begin_line(&d, 0, 0, 0);
  disp_put_text(&d, 0, "ab", -5, 1);
  EXPECT_EQ("aaaaa", std::string(reinterpret_cast<char*>(d.lines[0].chars), 5));
  disp_set_cell_attr(&d, 8, 0, 16);
  EXPECT_EQ(9, d.lines[0].length);
  EXPECT_EQ(' ', d.lines[0].chars[7]);
  disp_set_cell_attr(&d, -1, 0, 16);  // a negative column (cursor left of the view)
  disp_set_cell_attr(&d, d.line_capacity, 0, 16);
  disp_begin_line(&d, d.line_count, 0, 0);
  disp_put_text(&d, -1, "x", 1, 1);
  EXPECT_EQ(9, d.lines[0].length);
}

TEST_F(DisplayGrid, ExposedRowsAreDrawnAgain) {
  for (int r = 0; r < d.line_count; ++r) put(r, "x");
  disp_update(&d, d.line_count);
  s.clear();
  disp_invalidate_rows(&d, 20, 40);  // rows 1 and 2
  disp_update(&d, d.line_count);
  EXPECT_EQ((std::vector<int32_t>{1, 2}), s.rows_drawn());
}

TEST_F(DisplayGrid, ColumnFromX) {
  const struct {
    int32_t x, scroll, col;
  } fixed[] = {{0, 0, 0}, {7, 0, 0}, {8, 0, 1}, {799, 0, 99}, {-5, 0, 0}, {0, 12, 1}, {4, 12, 2}};
  for (const auto& c : fixed) EXPECT_EQ(c.col, disp_col_from_x(&d, "abc", 3, c.scroll, c.x, nullptr)) << c.x;
  RecordingSurface p(800, 160);
  p.fixed = false;
  p.widths['i'] = 3;
  p.widths['W'] = 12;
  p.widths[' '] = 0;  // a blank of no width must not hang the walk past the end
  TextDisplay pd;
  ASSERT_EQ(0, disp_layout(&pd, &p, 0, 0, 0));
  const struct { int32_t x, col; } prop[] = {{0, 0}, {2, 0}, {3, 1}, {14, 1}, {15, 2}, {22, 2}, {23, 3}, {500, 3}};
  for (const auto& c : prop) EXPECT_EQ(c.col, disp_col_from_x(&pd, "iWa", 3, 0, c.x, nullptr)) << c.x;
}

TEST(DisplayBorders, InsetPerStyle) {
  const int styles[] = {0, 1, 2, 4, 8, 16, 32, 64};
  const int insets[] = {0, 0, 1, 2, 2, 5, 3, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(insets[i], disp_border_inset(styles[i])) << styles[i];
}

TEST_F(DisplayGrid, CaretOnlyWithFocusAndOnceWhenDeferred) {
  s.focus = false;
  disp_caret_create(&d, 0, 0);
  EXPECT_EQ(0, s.caret_creates);
  s.focus = true;
  disp_caret_defer_begin(&d);
  disp_caret_create(&d, 0, 0);
  disp_caret_create(&d, 0, 0);
  EXPECT_EQ(0, s.caret_shows);
  disp_caret_defer_end(&d);
  EXPECT_EQ(1, s.caret_shows);
  disp_caret_move(&d, 16, 32);
  EXPECT_EQ(16, s.caret_x);
  EXPECT_EQ(32, s.caret_y);
}

TEST_F(DisplayGrid, GuideColumnDrawsWholeRowsAndTheLine) {
  disp_set_guide_column(&d, 72);
  put(0, "abcdef");
  disp_update(&d, d.line_count);
  put(0, "abcdeX");
  s.clear();
  disp_update(&d, d.line_count);
  ASSERT_EQ(1u, s.texts.size());
  EXPECT_EQ("abcdeX", s.texts[0].text);
  EXPECT_EQ(1, s.lines);
}

// ---- tab stops ----

TEST_F(DisplayGrid, TabStopTableAndOption) {
  EXPECT_EQ(0, disp_get_tab_stop(&d, 0)) << "no table yet";
  EXPECT_FALSE(d.tab_stops);
  struct Case {
    int32_t n, width;
    int32_t read;  // what disp_get_tab_stop(n) then gives
  } cases[] = {
      {0, 40, 40},  {199, 24, 24},      // the last stop is accepted
      {200, 30, 0}, {-3, 30, 0},        // outside the table: ignored
      {5, -7, 0},   {6, 70000, 65535},  // widths are pixels of a u16
      {-1, 1, 1},   {-1, 0x102, 2},     // the option byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.width));
    disp_set_tab_stop(&d, c.n, c.width);
    EXPECT_EQ(c.read, disp_get_tab_stop(&d, c.n));
  }
  EXPECT_EQ(40, disp_get_tab_stop(&d, 0)) << "other stops kept";
  EXPECT_EQ(0, disp_get_tab_stop(&d, 1));
  EXPECT_EQ(0, disp_get_tab_stop(&d, -2));
  EXPECT_FALSE(d.tab_stops);
  EXPECT_EQ(0, disp_get_tab_stop(&d, 0));
  EXPECT_EQ(2, disp_get_tab_stop(&d, -1)) << "the option outlives the table";
}

TEST(DisplayTabStops, TheTabCharacterShowsWhileThereAreStops) {
  // A proportional font without a glyph for the tab character shows it as
  // '?', except while tab stops split the line at it; a font with the glyph
  // always shows it.
  for (const uint32_t tab_width : {0u, 6u}) {
    SCOPED_TRACE(tab_width);
    RecordingSurface p(800, 160);
    p.fixed = false;
    p.widths['\t'] = tab_width;
    TextDisplay pd;
    ASSERT_EQ(0, disp_layout(&pd, &p, 0, 0, 0));
    auto shown = [&] {
      disp_begin_line(&pd, 0, 0, 0);
      disp_put_text(&pd, 0, "\t", 1, 1);
      return pd.lines[0].chars[0];
    };
    const uint8_t plain = tab_width ? '\t' : '?';
    EXPECT_EQ(plain, shown());
    disp_set_tab_stop(&pd, -1, 1);
    EXPECT_EQ(plain, shown()) << "the option alone makes no table";
    disp_set_tab_stop(&pd, 3, 50);
    EXPECT_EQ('\t', shown());
    ASSERT_EQ(0, disp_layout(&pd, &p, 0, 0, 0));
    EXPECT_EQ('\t', shown()) << "a layout keeps it";
    disp_get_tab_stop(&pd, -2);
    EXPECT_EQ(plain, shown());
    disp_destroy(&pd);
  }
}

TEST_F(DisplayGrid, TabStopsGiveTheRowsTheirGridLine) {
  EXPECT_FALSE(disp_needs_layout(&d));
  disp_set_tab_stop(&d, 0, 40);
  EXPECT_TRUE(disp_needs_layout(&d));
  struct Case {
    const char* what;
    int32_t option;  // -2 drops the table
    int32_t line_height, rows, capacity;
  } cases[] = {
      {"grid lines", 0, 17, 9, 202},
      {"no grid lines", 1, 16, 10, 202},
      {"no tab stops", -2, 16, 10, 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.option == -2)
      disp_get_tab_stop(&d, -2);
    else
      disp_set_tab_stop(&d, -1, c.option);
    ASSERT_EQ(0, disp_layout(&d, &s, 0, 0, 0));
    EXPECT_FALSE(disp_needs_layout(&d));
    EXPECT_EQ(c.line_height, d.line_height);
    EXPECT_EQ(16, d.base_line_height);
    EXPECT_EQ(c.rows, d.rows);
    EXPECT_EQ(c.capacity, d.line_capacity);
  }
  disp_set_tab_stop(&d, 0, 40);
  disp_set_tab_stop(&d, -1, 0);
  EXPECT_TRUE(disp_needs_layout(&d));
  ASSERT_EQ(0, disp_layout(&d, &s, 0, 0, 0));
  disp_set_tab_stop(&d, -1, 1);
  EXPECT_TRUE(disp_needs_layout(&d)) << "the grid line goes";
}

TEST_F(DisplayGrid, TabStopsDrawTheLineAsColumns) {
  disp_set_tab_stop(&d, 0, 40);
  disp_set_tab_stop(&d, 1, 24);
  ASSERT_EQ(0, disp_layout(&d, &s, 0, 0, 0));
  const uint32_t fg = colour_slot(1)->fg, bg = colour_slot(1)->bg;
  disp_update(&d, d.line_count);  // the empty grid
  // Row 1 (top 17): the cells' own colours give way to the line's.
  put(1, "ab\tcdef\tgh");
  disp_set_cell_attr(&d, 0, 1, 20);
  s.clear();
  disp_update(&d, d.line_count);
  struct Column {
    int32_t x;
    const char* text;
    int32_t right;
  };
  auto expect_columns = [&](const std::vector<Column>& want) {
    ASSERT_EQ(want.size(), s.texts.size());
    for (size_t i = 0; i < want.size(); ++i) {
      SCOPED_TRACE(want[i].text);
      const disptest::TextCall& t = s.texts[i];
      EXPECT_EQ(want[i].x, t.x);
      EXPECT_EQ(want[i].text, t.text);
      EXPECT_EQ(want[i].x, t.left);
      EXPECT_EQ(want[i].right, t.right);
      EXPECT_EQ(17, t.top);
      EXPECT_EQ(33, t.bottom) << "the band leaves the grid line out";
      EXPECT_EQ(fg, t.fg);
      EXPECT_EQ(bg, t.bg);
      EXPECT_TRUE(t.opaque);
    }
  };
  // Each column starts one pixel after the line at the right edge of the
  // one before; the last reaches the right limit.
  expect_columns({{0, "ab", 40}, {41, "cdef", 65}, {66, "gh", 800}});
  using disptest::LineCall;
  EXPECT_EQ((std::vector<LineCall>{{40, 17, 40, 33, 0}, {65, 17, 65, 33, 0}, {0, 33, 799, 33, 0}}), s.line_calls);

  // Whole-row mode: a change in the last column draws every column again,
  // an unchanged row nothing.
  put(1, "ab\tcdef\tgX");
  s.clear();
  disp_update(&d, d.line_count);
  expect_columns({{0, "ab", 40}, {41, "cdef", 65}, {66, "gX", 800}});
  put(1, "ab\tcdef\tgX");
  s.clear();
  disp_update(&d, d.line_count);
  EXPECT_TRUE(s.texts.empty());
  EXPECT_TRUE(s.line_calls.empty());

  // Without grid lines the columns touch; stops past the table's set ones
  // are 0 wide, and two tabs in a row leave an empty column.
  disp_set_tab_stop(&d, -1, 1);
  ASSERT_EQ(0, disp_layout(&d, &s, 0, 0, 0));
  disp_begin_line(&d, 1, 0, 0);
  disp_put_text(&d, 1, "a\t\tc\td", 6, 1);
  s.clear();
  disp_update(&d, d.line_count);
  std::vector<std::string> got;
  for (const auto& t : s.texts)
    if (t.top == 16) got.push_back(std::to_string(t.left) + ":" + t.text + ":" + std::to_string(t.right));
  EXPECT_EQ((std::vector<std::string>{"0:a:40", "40::64", "64:d:800"}), got)
      << "the third column, 0 wide, is clipped away";
  EXPECT_TRUE(s.line_calls.empty());
}

}  // namespace
