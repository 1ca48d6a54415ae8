// Reporting error codes: what is recorded, the quiet-truncation rule and the
// stop hook.

#include "display/msgline.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/messages.h"

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

}  // namespace
