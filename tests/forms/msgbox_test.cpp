// The spill-file error box answers through its hook; tests script it. Once
// installed, it is the question the text engine asks.

#include "forms/msgbox.h"

#include <gtest/gtest.h>

#include "text/ui_seam.h"

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

TEST(MsgboxTest, InstalledTheBoxAnswersTheTextEnginesSpillQuestion) {
  EXPECT_FALSE(ui_ask_spill_retry()) << "headless: cancel";
  msgbox_install_text_hooks();
  app_set_spill_error_box_hook([] { return true; });
  int before = app_spill_error_box_count();
  EXPECT_TRUE(ui_ask_spill_retry());
  EXPECT_EQ(before + 1, app_spill_error_box_count());
  app_set_spill_error_box_hook(nullptr);
  EXPECT_FALSE(ui_ask_spill_retry());
  text_ui_hooks() = TextUiHooks{};
}

}  // namespace
