// The spill-file error box answers through its hook; tests script it.

#include "forms/msgbox.h"

#include <gtest/gtest.h>

namespace {

int asked = 0;

TEST(MsgboxTest, SpillErrorBoxAnswersCancelUntilScripted) {
  int before = app_spill_error_box_count();
  EXPECT_FALSE(app_spill_error_box());
  app_set_spill_error_box_hook([] { return ++asked < 3; });  // retry twice, then cancel
  EXPECT_TRUE(app_spill_error_box());
  EXPECT_TRUE(app_spill_error_box());
  EXPECT_FALSE(app_spill_error_box());
  app_set_spill_error_box_hook(nullptr);
  EXPECT_FALSE(app_spill_error_box());
  EXPECT_EQ(before + 5, app_spill_error_box_count());
}

}  // namespace
