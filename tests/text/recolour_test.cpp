// The colour coder's recolour range follows insertions and removals.

#include "text/recolour.h"

#include <gtest/gtest.h>

#include "text/buffer_rec.h"

namespace {

TEST(LexRangeTest, WidensTheRecolourRange) {
  BufferRec b{};
  buf_store_defaults(&b);
  b.recolour_first = 100;
  b.recolour_last = 200;
  lex_mark_dirty_lines(&b, 150, 10);  // end beyond: moves with the insertion
  EXPECT_EQ(100, b.recolour_first);
  EXPECT_EQ(210, b.recolour_last);
  lex_mark_dirty_lines(&b, 50, 300);  // end not beyond: becomes offset + count
  EXPECT_EQ(50, b.recolour_first);
  EXPECT_EQ(350, b.recolour_last);
  lex_mark_dirty_lines(&b, 400, -5);  // a removal past the end: the end reaches it
  EXPECT_EQ(400, b.recolour_last);
  lex_mark_dirty_lines(&b, 60, -5);
  EXPECT_EQ(400, b.recolour_last);
  b.recolour_last = 0x7ffffff0;
  lex_mark_dirty_lines(&b, 0, 100);
  EXPECT_EQ(0x7fffffff, b.recolour_last) << "capped";
}

}  // namespace
