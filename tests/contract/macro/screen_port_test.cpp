// What the small built-ins may count on from the screen and the windows
// above them, whoever answers, in a program started without a display: the
// screen the forms assume (1024 x 768, 15 twips a pixel), a pointer at the
// origin that no move shifts, an editor window of a typed kind, and the
// repaint, click count, dispatch and refresh returning at once. The same
// expectations run against the headless answers and the editor's own.
#include <gtest/gtest.h>

#include "macro/screen_port.h"
#include "text/buffer.h"

namespace {

TEST(ScreenPort, WithoutADisplayTheScreenIsTheAssumedOne) {
  for (char option : {'\0', 'D', 'M'}) {
    EXPECT_EQ(screen_dimension(false, option), 1024) << option;
    EXPECT_EQ(screen_dimension(true, option), 768) << option;
  }
  EXPECT_EQ(screen_twips_per_pixel(false), 15);
  EXPECT_EQ(screen_twips_per_pixel(true), 15);
}

TEST(ScreenPort, WithoutADisplayThePointerStaysAtTheOrigin) {
  int32_t x = -1, y = -1;
  pointer_position(&x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  pointer_move(40, 50);
  x = y = -1;
  pointer_position(&x, &y);
  EXPECT_EQ(x, 0) << "there is no pointer to move";
  EXPECT_EQ(y, 0);
}

TEST(ScreenPort, AnEditorWindowIsOfATypedKind) {
  WindowObject* w = window_alloc_record();
  ASSERT_NE(w, nullptr);
  w->type = kObjTypeEditor;
  window_set_current(w, 0);
  EXPECT_TRUE(object_has_type_bit());
  window_set_current(nullptr, 0);
}

TEST(ScreenPort, RepaintCountAndDispatchReturnAtOnce) {
  forms_repaint_design();
  input_reset_click_count();
  input_dispatch_waiting();
  screen_refresh_before_wait();
  SUCCEED() << "nothing waits without a display";
}

}  // namespace
