// What the edit command may count on from whoever makes its windows: a new
// edit window is current, starts at 25 rows of 80 columns when no window
// was current, and a later one is the size of the current window. The same
// expectations run against the headless answer and the editor's own.
#include <gtest/gtest.h>

#include "text/buffer.h"
#include "text/edit_cmd.h"
#include "text/edit_window_port.h"

namespace {

TEST(EditWindowPort, ANewEditWindowIsCurrentAndSizedLikeTheLast) {
  window_set_current(nullptr, 0);
  WindowObject* first = edit_window_new(EditPlacement{});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(window_current(), first);
  EXPECT_EQ(first->rows, 25);
  EXPECT_EQ(first->cols, 80);
  EditPlacement place;
  place.requested = true;
  place.show = 'N';
  WindowObject* next = edit_window_new(place);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(window_current(), next);
  EXPECT_EQ(next->rows, first->rows);
  EXPECT_EQ(next->cols, first->cols);
}

}  // namespace
