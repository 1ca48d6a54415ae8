// What the search may count on from the macro runtime, whoever answers:
// without a break the search goes on.
#include <gtest/gtest.h>

#include "text/search_port.h"
#include "text/ui_port.h"

namespace {

TEST(TextSearchPort, NoBreakGoesOn) {
  ui_clear_break();
  for (int i = 0; i < 1000; ++i) {
    ui_poll_break_soon();
    ASSERT_EQ(search_check_break(), 0) << i;
  }
}

}  // namespace
