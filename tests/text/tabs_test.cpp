// Which tab stops apply: the buffer being processed, else the current
// buffer, else every 8 columns; fixed records and the switch turn expansion
// off. The conversions run through the stops chosen here.

#include <string>

#include "buffer_fixture.h"

using namespace buftest;

namespace {

int32_t conv(const std::string& s, int32_t v, char mode) { return tab_convert_column(s, v, mode, tab_stops_current()); }

std::string expand(const std::string& s, int32_t a, int32_t z, char mode) {
  LStrLine out;
  tab_expand_range(out, out.cap, s, a, z, mode, tab_stops_current());
  return std::string(out.view());
}

TEST_F(BufferTest, TabStopsComeFromTheProcessedThenTheCurrentBuffer) {
  EXPECT_EQ(9, conv("ab\tc", 0, 'L'));  // no buffer at all: every 8 columns
  WindowObject* w = window();
  BufferRec* a = make("a", "x\n");
  BufferRec* b = make("b", "y\n");
  show(w, a);
  a->tab_stops[0] = 5;
  a->tab_stops[1] = 12;
  a->tab_stops[2] = kTabStopEnd;
  b->tab_stops[0] = 3;
  b->tab_stops[1] = 0;
  EXPECT_EQ(a, tab_buffer());
  // Stops 5 and 12: a tab at 3 spans 3-4, at 6 spans 6-11, at 13 spans 13-16.
  EXPECT_EQ(5, conv("ab\tc", 4, 'I'));
  EXPECT_EQ(12, conv("abcde\tc", 7, 'I'));
  EXPECT_EQ(17, conv("abcdefghijkl\tc", 14, 'I'));
  tab_buffer_processed = b;
  EXPECT_EQ(b, tab_buffer());
  EXPECT_EQ(3, conv("a\tc", 3, 'I'));
  EXPECT_EQ(9, conv("ab\tc", 4, 'I'));  // past b's only stop: every 8
  tab_buffer_processed = nullptr;
  EXPECT_EQ(a, tab_buffer());
}

TEST_F(BufferTest, NewBuffersTabEveryEightColumns) {
  WindowObject* w = window();
  show(w, make("a", "x\n"));
  EXPECT_EQ(9, conv("ab\tc", 4, 'I'));
  EXPECT_EQ(9, conv("ab\tc", 0, 'L'));
  EXPECT_EQ(-1, conv("\tx", 6, 'T'));
  EXPECT_EQ(1, conv("\tx", 6, 'P'));
  EXPECT_EQ(2, conv("\tx", 9, 'T'));
  EXPECT_EQ("    ", expand("\tx", 5, 8, 'S'));
  EXPECT_EQ("\t", expand("\tx", 1, 8, 'S'));
}

TEST_F(BufferTest, FixedRecordsAndTheSwitchMakeTabsOneColumn) {
  WindowObject* w = window();
  BufferRec* a = make("a", "x\n");
  show(w, a);
  a->record_len = 80;
  EXPECT_EQ(2, conv("\tx", 0, 'L'));
  EXPECT_EQ(0, tab_find_next("\tx", 1, tab_stops_current()));
  a->record_len = 0;
  a->no_tab_expand = 1;
  EXPECT_EQ(2, conv("\tx", 2, 'T'));
  a->no_tab_expand = 0;
  EXPECT_EQ(9, conv("\tx", 0, 'L'));
  EXPECT_EQ(1, tab_find_next("\tx", 1, tab_stops_current()));
}

}  // namespace
