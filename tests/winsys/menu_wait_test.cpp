// The wait for a menu window's exposure, on the fake event source: the
// events read on the way are kept (paints and messages for after the menu,
// a button release for the tracker), never dropped.
#include <gtest/gtest.h>

#include "tests/winsys/winsys_fixture.h"
#include "winsys/menu_track.h"
#include "winsys/msgqueue.h"

namespace {

using wstest::WinsysTest;

class MenuWait : public WinsysTest {};

constexpr Window kMenuWindow = 0x7A7A7A;  // a menu's own window: no record

TEST_F(MenuWait, EventsBeforeTheExposureKeepTheirTurn) {
  XfWindow* other = window();
  push(expose(other, 1, 2, 30, 20));
  push(key(other, 40, 0, false));  // a release of a key that is not Alt: nothing
  push(button(other, 1, false, 5, 6));
  XEvent mine{};
  mine.xexpose = XExposeEvent{Expose, 0, False, nullptr, kMenuWindow, 0, 0, 10, 10, 0};
  push(mine);
  push(expose(other, 0, 0, 5, 5));  // after the menu's exposure: not read

  xf_menu_wait_expose(kMenuWindow, 2000);

  EXPECT_EQ(input.queue.size(), 1u) << "the wait ends at the menu's exposure";
  XfMessage posted{};
  ASSERT_TRUE(xf_menu_take_posted(&posted)) << "the release is the tracker's";
  EXPECT_EQ(posted.number, ZWM_LBUTTONUP);
  EXPECT_EQ(posted.window, other);
  EXPECT_EQ(posted.mp2, xf_pack(15, 26)) << "the screen position";
  EXPECT_FALSE(xf_menu_take_posted(&posted));
  XfMessage m{};
  ASSERT_TRUE(xfPeekMsg(&m, nullptr, 0, 0, 1)) << "the other window's exposure waits for after the menu";
  EXPECT_EQ(m.number, ZWM_PAINT);
  EXPECT_EQ(m.window, other);
}

TEST_F(MenuWait, AWindowThatIsNeverExposedEndsTheWaitAtItsTimeOut) {
  XfWindow* other = window();
  push(expose(other, 1, 2, 30, 20));
  uint32_t start = input.now;
  xf_menu_wait_expose(kMenuWindow, 2000);
  EXPECT_GE(input.now - start, 2000u);
  EXPECT_LT(input.now - start, 2100u);
  XfMessage m{};
  ASSERT_TRUE(xfPeekMsg(&m, nullptr, 0, 0, 1));
  EXPECT_EQ(m.number, ZWM_PAINT);
}

}  // namespace
