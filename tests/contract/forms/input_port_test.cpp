// What the input translation may count on from the application: before
// its frame exists no timer message is the application's, so a macro's
// wait handles every one itself. The same expectations run against the
// headless answer and the editor's own.
#include <gtest/gtest.h>

#include "forms/input_port.h"
#include "winsys/window_rec.h"

namespace {

TEST(InputPort, BeforeTheFrameNoTimerIsTheApplications) {
  XfWindow window{};
  for (uint32_t id : {1u, 2u, 0xEFFFu, 0xF000u}) {
    EXPECT_FALSE(input_app_timer(nullptr, id)) << id;
    EXPECT_FALSE(input_app_timer(&window, id)) << id;
  }
}

}  // namespace
