// What a settings change may count on from the owners of the windows,
// whoever answers: with no window a redraw returns at once.
#include <gtest/gtest.h>

#include "display/redraw_port.h"

namespace {

TEST(RedrawPort, WithNoWindowARedrawReturns) {
  redraw_views();
  redraw_objects();
  SUCCEED();
}

}  // namespace
