// Timers on the fake clock: one message outstanding per timer, restarts,
// one callback per scan in start order, and the wrap-around of the clock.
#include "winsys_fixture.h"

#include "winsys/timers.h"

namespace wstest {
namespace {

using Timers = WinsysTest;

int timer_messages(XfWindow* w, uint32_t id) {
  int n = 0;
  for (XfQueueNode* q = xf_timer_queue()->head; q; q = q->next) {
    auto* m = static_cast<XfMessage*>(q->value);
    if (m->window == w && m->mp1 == static_cast<intptr_t>(id)) ++n;
  }
  return n;
}

TEST_F(Timers, AnUntakenTimerHasExactlyOneMessageWaiting) {
  XfWindow* w = window();
  EXPECT_EQ(xfStartTimer(w, 3, 100, nullptr, nullptr), 3u);
  for (int step = 0; step < 10; ++step) {
    input.now += 100;
    xfScanTimers();
  }
  EXPECT_EQ(timer_messages(w, 3), 1);
  XfMessage m{};
  ASSERT_EQ(xfGetMsg(&m, nullptr, ZWM_TIMER, ZWM_TIMER), 1);
  EXPECT_EQ(m.mp2, 0);
  input.now += 100;
  xfScanTimers();
  EXPECT_EQ(timer_messages(w, 3), 1) << "taking the message lets it post again";
}

TEST_F(Timers, RestartDropsTheWaitingMessageAndCountsFromNow) {
  XfWindow* w = window();
  xfStartTimer(w, 3, 100, nullptr, nullptr);
  input.now += 100;
  xfScanTimers();
  ASSERT_EQ(timer_messages(w, 3), 1);
  xfStartTimer(w, 3, 100, nullptr, nullptr);
  EXPECT_EQ(timer_messages(w, 3), 0);
  input.now += 99;
  xfScanTimers();
  EXPECT_EQ(timer_messages(w, 3), 0);
  input.now += 1;
  xfScanTimers();
  EXPECT_EQ(timer_messages(w, 3), 1);
  EXPECT_EQ(xf_timer_count(), 1);
}

std::vector<int> g_fired;
intptr_t fire(XfWindow*, void* data, intptr_t) {
  g_fired.push_back(static_cast<int>(reinterpret_cast<intptr_t>(data)));
  return 0;
}

TEST_F(Timers, DueCallbacksRunOnePerScanInStartOrder) {
  XfWindow* w = window();
  g_fired.clear();
  xfStartTimer(w, 2, 50, fire, reinterpret_cast<void*>(2));
  xfStartTimer(w, 1, 30, fire, reinterpret_cast<void*>(1));
  input.now += 60;
  xfScanTimers();
  EXPECT_EQ(g_fired, std::vector<int>{2});
  xfScanTimers();
  EXPECT_EQ(g_fired, (std::vector<int>{2, 1}));
  xfScanTimers();
  EXPECT_EQ(g_fired.size(), 2u) << "neither is due again yet";
}

TEST_F(Timers, TheClockWrappingAroundStopsNothing) {
  XfWindow* w = window();
  input.now = 0xFFFFFFF0u;
  xfStartTimer(w, 9, 40, nullptr, nullptr);
  input.now = 0x00000010u;  // 32 ms later, across the wrap
  xfScanTimers();
  EXPECT_EQ(timer_messages(w, 9), 0);
  input.now = 0x00000018u;  // 40 ms
  xfScanTimers();
  EXPECT_EQ(timer_messages(w, 9), 1);
}

TEST_F(Timers, StopRemovesTheTimerAndItsMessage) {
  XfWindow* w = window();
  xfStartTimer(w, 4, 10, nullptr, nullptr);
  xfStartTimer(w, 5, 10, nullptr, nullptr);
  input.now += 10;
  xfScanTimers();
  xfStopTimer(w, 4);
  EXPECT_FALSE(xf_timer_exists(w, 4));
  EXPECT_TRUE(xf_timer_exists(w, 5));
  EXPECT_EQ(timer_messages(w, 4), 0);
  EXPECT_EQ(timer_messages(w, 5), 1);
  xfStopTimer(w, 4);  // absent: nothing happens
  EXPECT_EQ(xf_timer_count(), 1);
}

}  // namespace
}  // namespace wstest
