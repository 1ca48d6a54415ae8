// What the text engine may count on from its user interface, whoever answers:
// the same expectations run against the headless answers and the editor's
// own (without a display, as a program started with no screen has it).
#include <gtest/gtest.h>

#include "text/ui_port.h"

namespace {

TEST(TextUiPort, WithNobodyToAskEveryQuestionIsCancelled) {
  EXPECT_FALSE(ui_ask_spill_retry()) << "a retry nobody asked for could loop";
  EXPECT_FALSE(ui_ask_save_changed_file("/tmp/changed.c")) << "a changed file is never replaced unasked";
}

TEST(TextUiPort, NoBreakUntilTheUserAsks) {
  ui_clear_break();
  ui_poll_break_soon();
  EXPECT_FALSE(ui_break_pressed());
  for (int i = 0; i < 1000; ++i) ASSERT_FALSE(ui_break_pressed()) << i;
  ui_clear_break();
  EXPECT_FALSE(ui_break_pressed());
}

TEST(TextUiPort, ReportingAnErrorReturnsToTheCaller) {
  ui_show_error(-32);
  ui_show_error(0);
  SUCCEED() << "a report never stops the engine";
}

}  // namespace
