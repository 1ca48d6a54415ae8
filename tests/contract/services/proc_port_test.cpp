// What the processes may count on from the application: a poll timer that
// starts, stops and starts again, and a screen that takes a refresh at any
// time. The same expectations run against the headless answers and the
// editor's own (here before its frame exists; the frame's own timer is
// proved through the editor, tests/app/probe_test.cpp).
#include <gtest/gtest.h>

#include "services/proc_port.h"

namespace {

TEST(ProcPort, ThePollTimerStartsStopsAndStartsAgain) {
  ASSERT_TRUE(proc_start_poll_timer());
  proc_stop_poll_timer();
  EXPECT_TRUE(proc_start_poll_timer()) << "a stopped timer starts again";
  proc_stop_poll_timer();
  proc_stop_poll_timer();  // a second stop is harmless
}

TEST(ProcPort, ARefreshReturnsToTheCaller) {
  proc_refresh_screen(0);
  proc_refresh_screen(0xFFFFFFFFu);
  SUCCEED() << "a refresh never stops the processes";
}

}  // namespace
