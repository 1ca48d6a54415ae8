// Tab stops: stops, column/offset conversions and expansion, as tables.

#include <gtest/gtest.h>

#include <string>

#include "text/tabs.h"

namespace {

// A buffer with the given explicit stops, made the buffer being processed.
class TabsTest : public ::testing::Test {
 protected:
  void SetUp() override { use({}); }
  void TearDown() override { tab_buffer_processed = nullptr; tab_show_tabs = false; }
  void use(std::initializer_list<int32_t> stops, int32_t end = kTabStopEnd) {
    buf_ = BufferRec{};
    int i = 0;
    for (int32_t s : stops) buf_.tab_stops[i++] = s;
    if (i < kTabStopCount) buf_.tab_stops[i] = end;
    tab_buffer_processed = &buf_;
  }
  static int32_t conv(const std::string& s, int32_t v, char mode) {
    return tab_convert_column(s.data(), static_cast<int32_t>(s.size()), v, mode);
  }
  static std::string expand(const std::string& s, int32_t a, int32_t z, char mode) {
    LStrLine out;
    tab_expand_range(out, out.cap, s.data(), static_cast<int32_t>(s.size()), a, z, mode);
    return std::string(out.view());
  }
  BufferRec buf_{};
};

TEST_F(TabsTest, StopsEveryEightWithoutExplicitOnes) {
  int32_t idx = 0;
  EXPECT_EQ(9, tab_next_stop(1, idx));
  EXPECT_EQ(9, tab_next_stop(8, idx));
  EXPECT_EQ(17, tab_next_stop(9, idx));
  EXPECT_EQ(9, conv("ab\tc", 4, 'I'));  // the c
  EXPECT_EQ(9, conv("ab\tc", 0, 'L'));
  EXPECT_EQ(8, conv("\t", 0, 'L'));
  EXPECT_EQ(0, conv("", 0, 'L'));
}

TEST_F(TabsTest, ExplicitStopsThenEveryEight) {
  for (int32_t end : {kTabStopEnd, 0}) {  // both end markers
    use({5, 12}, end);
    struct { int32_t col, next; } cases[] = {{3, 5}, {5, 12}, {6, 12}, {11, 12}, {12, 17}, {13, 17}, {17, 25}};
    for (auto c : cases) {
      int32_t idx = 0;
      EXPECT_EQ(c.next, tab_next_stop(c.col, idx)) << "after column " << c.col << " end " << end;
    }
  }
  // The index carries the search on.
  use({5, 12, 20});
  int32_t idx = 0;
  EXPECT_EQ(5, tab_next_stop(1, idx));
  EXPECT_EQ(12, tab_next_stop(5, idx));
  EXPECT_EQ(20, tab_next_stop(12, idx));
  EXPECT_EQ(25, tab_next_stop(20, idx));
}

TEST_F(TabsTest, DefaultStopsOfANewBufferAreEveryEight) {
  const int32_t defaults[] = {1, 9, 17, 25, 33, 41, 49, 57, 65, 73, 81, 89, 97, 105, 113,
                              121, 129, 137, 145, 153, 161, 169, 177, 185, 193, 201, 209, 217, 225, 233};
  for (int i = 0; i < kTabStopCount; ++i) buf_.tab_stops[i] = defaults[i];
  for (int32_t c = 1; c < 300; ++c) {
    int32_t idx = 0;
    EXPECT_EQ(c + 8 - (c - 1) % 8, tab_next_stop(c, idx)) << c;
  }
}

TEST_F(TabsTest, ColumnToOffsetAndBack) {
  struct Case { const char* line; int32_t value; char mode; int32_t want; } cases[] = {
      {"\tx", 1, 'T', 1},   {"\tx", 6, 'T', -1}, {"\tx", 6, 'P', 1},  {"\tx", 9, 'T', 2},
      {"\tx", 10, 'P', 3},  {"\tx", 12, 'P', 5},  // past the end: a byte a column
      {"\tx", 2, 'I', 9},   {"\tx", 1, 'I', 1},  {"\tx", 4, 'I', 11},
      {"abc", 2, 'T', 2},   {"abc", 0, 'T', 0},  {"abc", -4, 'I', -4},  // below 1 unchanged
      {"a\tb\tc", 3, 'I', 9}, {"a\tb\tc", 5, 'I', 17}, {"a\tb\tc", 16, 'T', -4}, {"a\tb\tc", 0, 'L', 17},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.want, conv(c.line, c.value, c.mode)) << "'" << c.line << "' " << c.value << " " << c.mode;
}

TEST_F(TabsTest, FixedRecordsAndTheSwitchTreatTabsAsOneColumn) {
  buf_.record_len = 80;
  EXPECT_EQ(2, conv("\tx", 2, 'T'));
  EXPECT_EQ(2, conv("\tx", 0, 'L'));
  EXPECT_EQ(0, tab_find_next("\tx", 2, 1));
  EXPECT_EQ("\tx", expand("\tx", 1, -1, 'E'));
  buf_.record_len = 0;
  buf_.no_tab_expand = 1;
  EXPECT_EQ(2, conv("\tx", 0, 'L'));
  buf_.no_tab_expand = 0;
  EXPECT_EQ(9, conv("\tx", 0, 'L'));
}

TEST_F(TabsTest, FindsTabs) {
  const std::string s = "ab\tc\td";
  EXPECT_EQ(3, tab_find_next(s.data(), 6, 1));
  EXPECT_EQ(3, tab_find_next(s.data(), 6, 3));
  EXPECT_EQ(5, tab_find_next(s.data(), 6, 4));
  EXPECT_EQ(0, tab_find_next(s.data(), 6, 6));
  EXPECT_EQ(0, tab_find_next(s.data(), 6, 7));
}

TEST_F(TabsTest, ExpandsRanges) {
  struct Case { const char* line; int32_t a, z; char mode; const char* want; } cases[] = {
      {"\tx", 5, 8, 'S', "    "},
      {"\tx", 1, 8, 'S', "\t"},
      {"\tx", 1, 8, 'E', "        "},
      {"\tx", 1, -1, 'E', "        x"},
      {"\tx", 1, -1, 'S', "\tx"},
      {"\tx", 3, 10, 'E', "      x "},  // padded to the width
      {"ab", 1, 5, 'E', "ab   "},
      {"ab", 4, 6, 'E', "   "},
      {"ab", 4, -1, 'E', ""},
      {"a\tb", 2, 4, 'S', "   "},  // part of the tab only
      {"abcdef", 3, 4, 'E', "cd"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.want, expand(c.line, c.a, c.z, c.mode)) << "'" << c.line << "' " << c.a << ".." << c.z << " " << c.mode;
}

TEST_F(TabsTest, ShowTabsWritesTheTabInItsFirstColumn) {
  tab_show_tabs = true;
  EXPECT_EQ("\t       x", expand("\tx", 1, -1, 'E'));
  EXPECT_EQ("\t   ", expand("\tx", 5, 8, 'E'));
}

TEST_F(TabsTest, ExpansionStopsAt1024ColumnsAndAtTheCapacity) {
  std::string tabs(200, '\t');
  EXPECT_EQ(1024u, expand(tabs, 1, -1, 'E').size());
  EXPECT_EQ(1024u, expand(tabs, 1, 5000, 'E').size());
  LStrBuf<10> small;
  tab_expand_range(small, small.cap, tabs.data(), 200, 1, -1, 'E');
  EXPECT_EQ(10, small.len);
}

}  // namespace
