// What the text engine reports to the user, and the recolour range.

#include "display/msgline.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/messages.h"
#include "display/lex_range.h"
#include "text/buffer_rec.h"

namespace {

std::vector<int32_t> stopped;

TEST(MsglineTest, EveryCodeButTruncationStopsTheMacro) {
  msgline_reset_errors();
  stopped.clear();
  msgline_set_stop_hook([](int32_t code) { stopped.push_back(code); });
  msgline_show_error(ERR_NOT_ENOUGH_MEMORY);
  msgline_show_error(ERR_LINES_TRUNCATED);
  EXPECT_EQ(0, msgline_show_error_if(0));
  EXPECT_EQ(ERR_SPILL_IO, msgline_show_error_if(ERR_SPILL_IO));
  EXPECT_EQ((std::vector<int32_t>{ERR_NOT_ENOUGH_MEMORY, ERR_SPILL_IO}), stopped);
  EXPECT_EQ(3, msgline_error_count());
  EXPECT_EQ(ERR_SPILL_IO, msgline_last_error());
  msgline_quiet_truncation = true;
  msgline_show_error(ERR_LINES_TRUNCATED);
  msgline_quiet_truncation = false;
  EXPECT_EQ(3, msgline_error_count()) << "quiet truncation shows nothing";
  msgline_set_stop_hook(nullptr);
}

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
