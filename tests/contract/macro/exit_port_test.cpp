// What the exit path may count on from the layers above, whoever answers:
// the same expectations run against the headless answers and the editor's
// own (without a display).
#include <gtest/gtest.h>

#include "macro/exit_port.h"

namespace {

TEST(ExitPort, ReleasingReturnsAndMayBeRepeated) {
  exit_release();
  exit_release();
  SUCCEED() << "nothing held is released twice";
}

TEST(ExitPortDeathTest, LeavingEndsTheProcessWithTheCode) {
  EXPECT_EXIT(exit_leave(3), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(exit_leave(0), testing::ExitedWithCode(0), "");
}

}  // namespace
