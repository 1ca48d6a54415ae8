// What the refresh built-ins may count on from the frame, whoever answers:
// with nothing on the screen every request returns and changes nothing the
// display keeps.
#include <gtest/gtest.h>

#include "display/refresh_port.h"
#include "text/buffer.h"
#include "text/curline.h"

namespace {

TEST(RefreshPort, WithNothingShownEveryRequestReturns) {
  const uint32_t bits = redraw_bits;
  refresh_update_tree();
  refresh_screen();
  WindowObject form{};
  form.type = 2;  // no view, no field: nothing follows a cursor
  refresh_scroll_to_cursor(&form);
  refresh_scroll_to_cursor(nullptr);
  EXPECT_EQ(bits, redraw_bits) << "nothing scrolled, so nothing to redraw";
}

}  // namespace
