// Tab columns, expansion, cursor helpers and the tab/margin parser, from the
// worked cases of their descriptions.

#include "text/tab_columns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/messages.h"

namespace {

const TabStops kDefault{};

TEST(TabColumnsTest, DefaultStopsEveryEightColumns) {
  int idx = 0;
  EXPECT_EQ(9, tab_next_stop(1, kDefault, idx));
  EXPECT_EQ(9, tab_next_stop(8, kDefault, idx));
  EXPECT_EQ(17, tab_next_stop(9, kDefault, idx));
  std::string line = "ab\tc";
  EXPECT_EQ(9, tab_convert_column(line, 4, 'I', kDefault)) << "c is at column 9";
  EXPECT_EQ(9, tab_convert_column(line, 0, 'L', kDefault));
  EXPECT_EQ(0, tab_convert_column("", 0, 'L', kDefault));
}

TEST(TabColumnsTest, ExplicitStopsThenEveryEight) {
  const int32_t stops[kTabStopCount] = {5, 12};
  TabStops ts{stops, true};
  struct {
    int32_t col, next;
  } cases[] = {{3, 5}, {6, 12}, {13, 17}, {12, 17}, {1, 5}};
  for (auto c : cases) {
    int idx = 0;
    EXPECT_EQ(c.next, tab_next_stop(c.col, ts, idx)) << c.col;
  }
  const int32_t ended[kTabStopCount] = {5, 12, 1024, 40};  // 1024 ends the list too
  int idx = 0;
  EXPECT_EQ(17, tab_next_stop(13, TabStops{ended, true}, idx));
}

TEST(TabColumnsTest, ColumnToOffsetInsideATab) {
  std::string line = "\tx";
  EXPECT_EQ(-1, tab_convert_column(line, 6, 'T', kDefault));
  EXPECT_EQ(1, tab_convert_column(line, 6, 'P', kDefault));
  EXPECT_EQ(1, tab_convert_column(line, 1, 'T', kDefault)) << "the tab's first column shows the tab";
  EXPECT_EQ(2, tab_convert_column(line, 9, 'T', kDefault));
  EXPECT_EQ(4, tab_convert_column(line, 11, 'T', kDefault)) << "past the end: one byte per column";
  EXPECT_EQ(11, tab_convert_column(line, 4, 'I', kDefault));
  EXPECT_EQ(0, tab_convert_column(line, 0, 'T', kDefault));
  EXPECT_EQ(-3, tab_convert_column(line, -3, 'I', kDefault));
}

TEST(TabColumnsTest, FixedRecordsTreatTabsAsOneColumn) {
  TabStops flat{nullptr, false};
  std::string line = "\tx";
  EXPECT_EQ(2, tab_convert_column(line, 2, 'T', flat));
  EXPECT_EQ(2, tab_convert_column(line, 0, 'L', flat));
  EXPECT_EQ(0, tab_find_next(line, 1, flat));
  EXPECT_EQ(1, tab_find_next(line, 1, kDefault));
  EXPECT_EQ(0, tab_find_next(line, 2, kDefault));
}

std::string expand(std::string_view text, int32_t a, int32_t b, char mode) {
  LStrBuf<LSTR_CAP_LINE> out;
  tab_expand_range(out, out.cap, text, a, b, mode, kDefault);
  return std::string(out.view());
}

TEST(TabColumnsTest, ExpandRanges) {
  EXPECT_EQ("    ", expand("\tx", 5, 8, 'S'));
  EXPECT_EQ("\t", expand("\tx", 1, 8, 'S'));
  EXPECT_EQ("        ", expand("\tx", 1, 8, 'E'));
  EXPECT_EQ("        x", expand("\tx", 1, -1, 'E'));
  EXPECT_EQ("  x  ", expand("\tx", 7, 11, 'E')) << "padded to the full width";
  EXPECT_EQ("bc", expand("abc", 2, -1, 'E'));
  show_tabs_flag = 1;
  EXPECT_EQ("\t   x", expand("\tx", 5, 9, 'E')) << "the tab shows in its first column";
  show_tabs_flag = 0;
}

TEST(TabColumnsTest, CursorHelpers) {
  std::string line = "a\tb";  // a: column 0, tab: 1..7, b: 8 (0-based)
  EXPECT_EQ(1, line_col_char_start(line, 8, kDefault)) << "left of b is the tab";
  EXPECT_EQ(0, line_col_char_start(line, 1, kDefault));
  EXPECT_EQ(1, line_col_char_start(line, 4, kDefault)) << "inside the tab: the tab's own first column";
  EXPECT_EQ(1, line_col_next_char(line, 0, kDefault));
  EXPECT_EQ(8, line_col_next_char(line, 3, kDefault));
  EXPECT_EQ(9, line_col_next_char(line, 8, kDefault));
}

TEST(TabColumnsTest, SplitTabAtColumn) {
  LStrBuf<LSTR_CAP_LINE> line(std::string_view("a\tb"));
  EXPECT_EQ(1, line_col_to_pos_split_tab(line, 0, kDefault));
  EXPECT_EQ("a\tb", std::string(line.view())) << "not inside a tab: unchanged";
  EXPECT_EQ(5, line_col_to_pos_split_tab(line, 4, kDefault));
  EXPECT_EQ("a       b", std::string(line.view()));
}

std::vector<int32_t> parse(std::string_view text, int n, int32_t* rc, std::vector<int32_t> start = {}) {
  std::vector<int32_t> a(static_cast<size_t>(n), 0);
  for (size_t i = 0; i < start.size(); ++i) a[i] = start[i];
  *rc = buf_parse_tabs_margins(text, a.data(), n);
  return a;
}

std::vector<int32_t> stops_from(int32_t first, int32_t step) {
  std::vector<int32_t> v;
  for (int i = 0; i < kTabStopCount; ++i) v.push_back(first + i * step);
  return v;
}

TEST(TabSettingsTest, TabStopsWithSteps) {
  int32_t rc = 1;
  EXPECT_EQ(stops_from(1, 4), parse("+4", 30, &rc));
  EXPECT_EQ(0, rc);
  std::vector<int32_t> want(30, 0);
  want[0] = 1, want[1] = 5, want[2] = 9;
  EXPECT_EQ(want, parse("1 9 +4", 30, &rc));
  EXPECT_EQ(stops_from(10, 8), parse("10 +8", 30, &rc));
  EXPECT_EQ(std::vector<int32_t>(30, 0), parse("", 30, &rc));
  EXPECT_EQ(0, rc);
}

TEST(TabSettingsTest, BadTabsLeaveTheOldStops) {
  int32_t rc = 0;
  std::vector<int32_t> old = stops_from(3, 3);
  EXPECT_EQ(old, parse("5 3", 30, &rc, old));
  EXPECT_EQ(ERR_TAB_SETTINGS, rc);
  for (const char* bad : {"x", "0", "1024", "+0", "+q"}) {
    EXPECT_EQ(old, parse(bad, 30, &rc, old)) << bad;
    EXPECT_EQ(ERR_TAB_SETTINGS, rc) << bad;
  }
}

TEST(TabSettingsTest, Margins) {
  int32_t rc = 1;
  EXPECT_EQ((std::vector<int32_t>{1, 74, 1}), parse("", 3, &rc));
  EXPECT_EQ(0, rc);
  EXPECT_EQ((std::vector<int32_t>{75, 1023, 75}), parse("75", 3, &rc));
  EXPECT_EQ((std::vector<int32_t>{10, 12, 5}), parse("10 12 5", 3, &rc));
  EXPECT_EQ((std::vector<int32_t>{4, 50, 6}), parse("10 11", 3, &rc, {4, 50, 6}));
  EXPECT_EQ(ERR_MARGIN_SETTINGS, rc);
}

}  // namespace
