// Focus and activation as a state machine over frames without a server:
// KILL before SET, remembered focus children, the application's grace
// period, the focus stack and disabled windows.
#include "winsys_fixture.h"

#include "winsys/focus.h"
#include "winsys/msgqueue.h"
#include "winsys/timers.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace wstest {
namespace {

class Focus : public WinsysTest {
 protected:
  // A shown standard frame whose client records what it receives.
  XfWindow* frame(XfWindow** client_out = nullptr) {
    XfWindow* client = nullptr;
    XfWindow* f = xfCreateFrame(nullptr, 0, kStyleVisible, nullptr, "F", nullptr, nullptr, 1, &client, 0, 0, 200, 100);
    client->proc = recording_proc;
    if (client_out) *client_out = client;
    return f;
  }
  void focus_in(XfWindow* f) {
    XfMessage m{f, ZWM_XFOCUSIN, 0, 0, 0};
    xfDispatchMsg(&m);
  }
  void focus_out(XfWindow* f) {
    XfMessage m{f, ZWM_XFOCUSOUT, 0, 0, 0};
    xfDispatchMsg(&m);
  }
  // Lets the fake clock run for `ms` while the timers get their scans.
  void run_for(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 10) {
      input.now += 10;
      xfScanTimers();
    }
  }
};

TEST_F(Focus, KillThenSetWhenTheXFocusMovesBetweenFrames) {
  XfWindow *ca = nullptr, *cb = nullptr;
  XfWindow* a = frame(&ca);
  XfWindow* b = frame(&cb);
  focus_in(a);
  EXPECT_EQ(xfQueryFocus(), ca);
  seen().clear();
  focus_out(a);
  focus_in(b);
  ASSERT_EQ(seen().size(), 2u);
  EXPECT_EQ(seen()[0].window, ca);
  EXPECT_EQ(seen()[0].number, ZWM_KILLFOCUS);
  EXPECT_EQ(seen()[1].window, cb);
  EXPECT_EQ(seen()[1].number, ZWM_SETFOCUS);
  EXPECT_EQ(xfQueryActiveFrame(), b);
}

TEST_F(Focus, SetFocusWithoutAnActiveFrameOnlyRemembers) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(&client);
  XfWindow* child = window(client);
  xfSetFocus(child);
  EXPECT_TRUE(numbers_for(child).empty());
  EXPECT_EQ(xfQueryFocus(), nullptr);
  focus_in(f);
  EXPECT_EQ(numbers_for(child), std::vector<uint32_t>{ZWM_SETFOCUS});
  EXPECT_TRUE(numbers_for(client).empty()) << "the remembered child, not the client";
}

TEST_F(Focus, ApplicationStaysActiveAcrossFramesAndDeactivatesOnceAfterASecond) {
  XfWindow *ca = nullptr, *cb = nullptr;
  XfWindow* a = frame(&ca);
  XfWindow* b = frame(&cb);
  xfSetAppFrame(a);
  focus_in(a);
  EXPECT_TRUE(xf_app_active());
  auto activations = [&](intptr_t value) {
    int n = 0;
    for (const Seen& s : seen()) n += s.window == ca && s.number == ZWM_ACTIVATE && s.mp1 == value;
    return n;
  };
  EXPECT_EQ(activations(1), 1);
  focus_out(a);
  run_for(500);
  focus_in(b);
  run_for(2000);
  EXPECT_EQ(activations(0), 0) << "moving between our frames within a second";
  EXPECT_TRUE(xf_app_active());
  focus_out(b);
  run_for(990);
  EXPECT_TRUE(xf_app_active());
  run_for(20);
  EXPECT_FALSE(xf_app_active());
  run_for(3000);
  EXPECT_EQ(activations(0), 1);
}

TEST_F(Focus, FocusStackHolds256AndPopsInReverse) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(&client);
  focus_in(f);
  std::vector<XfWindow*> kids;
  for (int i = 0; i < kFocusStackDepth + 1; ++i) {
    XfWindow* k = window(client);
    kids.push_back(k);
    xfSetFocus(k);
    xfPushFocus();
  }
  EXPECT_EQ(xf_focus_stack_depth(), kFocusStackDepth) << "the 257th push changes nothing";
  xfPopFocus();
  EXPECT_EQ(xfQueryFocus(), kids[255]);
  xfPopFocus();
  EXPECT_EQ(xfQueryFocus(), kids[254]);
}

TEST_F(Focus, APoppedWindowThatWasDestroyedDoesNotGetTheFocus) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(&client);
  focus_in(f);
  XfWindow* keep = window(client);
  XfWindow* gone = window(client);
  xfSetFocus(keep);
  xfPushFocus();
  xfSetFocus(gone);
  xfPushFocus();
  xfDestroyWindow(gone);
  XfWindow* reuse = window(client);  // may take the freed record
  xfPopFocus();
  EXPECT_NE(xfQueryFocus(), reuse);
  EXPECT_NE(xfQueryFocus(), gone);
  xfPopFocus();
  EXPECT_EQ(xfQueryFocus(), keep);
  EXPECT_EQ(xf_focus_stack_depth(), 0);
}

TEST_F(Focus, DisabledWindowsBlockInputAndBeepOnlyForPressesAndKeys) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(&client);
  XfWindow* child = window(client);
  xfEnableWindow(f, false);
  struct Case {
    uint32_t message;
    uint32_t beeps;
  };
  for (Case c : {Case{ZWM_CHAR, 1}, Case{ZWM_MOUSEMOVE, 0}, Case{ZWM_LBUTTONDOWN, 1}, Case{ZWM_LBUTTONUP, 0}}) {
    uint32_t before = xf().beeps;
    EXPECT_TRUE(xfBlockDisabledInput(child, c.message));
    EXPECT_EQ(xf().beeps - before, c.beeps) << c.message;
  }
  xfEnableWindow(f, true);
  EXPECT_FALSE(xfBlockDisabledInput(child, ZWM_CHAR));
}

TEST_F(Focus, KeysGoToTheFocusWindow) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(&client);
  XfWindow* child = window(client);
  focus_in(f);
  xfSetFocus(child);
  seen().clear();
  XfMessage m{client, ZWM_CHAR, xf_key_mp1('z', 0), 52, 0};
  xfDispatchMsg(&m);
  EXPECT_EQ(numbers_for(child), std::vector<uint32_t>{ZWM_CHAR});
}

}  // namespace
}  // namespace wstest
