// The get / peek / dispatch loop without a server: the order of its
// sources, motion collapse, paint merging, the idle wait sequence, ranges,
// repeated keys and the dispatch filters.
#include "winsys_fixture.h"

#include <X11/keysym.h>

#include "winsys/focus.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"

namespace wstest {
namespace {

using MsgQueue = WinsysTest;

XfMessage get() {
  XfMessage m{};
  EXPECT_EQ(xfGetMsg(&m, nullptr, 0, 0), 1);
  return m;
}

TEST_F(MsgQueue, SourcesComeInOrderPostedThenXThenPaintThenTimer) {
  XfWindow* w = window();
  input.keysyms[38] = 'a';
  xfStartTimer(w, 7, 10, nullptr, nullptr);
  xfPostMsg(w, ZWM_PAINT, 0, xf_pack(5, 5));
  xfPostMsg(w, ZWM_COMMAND, 1, 0);
  push(key(w, 38));
  input.now += 10;  // the timer is due

  EXPECT_EQ(get().number, ZWM_COMMAND);
  XfMessage k = get();
  EXPECT_EQ(k.number, ZWM_CHAR);
  EXPECT_EQ(xf_key_keysym(k.mp1), 'a');
  EXPECT_EQ(k.mp2, 38);
  EXPECT_EQ(get().number, ZWM_PAINT);
  XfMessage t = get();
  EXPECT_EQ(t.number, ZWM_TIMER);
  EXPECT_EQ(t.mp1, 7);
  EXPECT_TRUE(input.waits.empty()) << "nothing waited while work was there";
}

TEST_F(MsgQueue, MotionRunsCollapsePerWindow) {
  XfWindow* a = window();
  XfWindow* b = window();
  push(motion(a, 1, 1));
  push(motion(a, 2, 2));
  push(motion(a, 3, 3));
  push(motion(b, 9, 9));
  push(motion(a, 4, 4));

  struct Want {
    XfWindow* w;
    int x;
  };
  for (Want want : {Want{a, 3}, Want{b, 9}, Want{a, 4}}) {
    XfMessage m = get();
    EXPECT_EQ(m.number, ZWM_MOUSEMOVE);
    EXPECT_EQ(m.window, want.w);
    EXPECT_EQ(xf_low(m.mp1), want.x);
    EXPECT_EQ(xf_low(m.mp2), want.x + 100) << "root position";
  }
  EXPECT_TRUE(input.queue.empty());
}

TEST_F(MsgQueue, TenExposesBecomeOnePaintWithTheBoundingRectangle) {
  XfWindow* w = window();
  for (int i = 0; i < 10; ++i) push(expose(w, 10 + i * 3, 20 - i, 4, 5));
  XfMessage m = get();
  EXPECT_EQ(m.number, ZWM_PAINT);
  EXPECT_EQ(xf_low(m.mp1), 10);
  EXPECT_EQ(xf_high(m.mp1), 11);
  EXPECT_EQ(xf_low(m.mp2), 37 + 4 - 10);
  EXPECT_EQ(xf_high(m.mp2), 25 - 11);
  XfMessage none{};
  EXPECT_EQ(xfPeekMsg(&none, nullptr, 0, 0, 0), 0);
}

TEST_F(MsgQueue, IdleWaitGrowsByFiveAndRestartsOnEachCall) {
  XfWindow* w = window();
  input.keysyms[10] = 'x';
  uint32_t start = input.now;
  input.later.emplace(start + 2000, key(w, 10));
  EXPECT_EQ(get().number, ZWM_CHAR);
  // 5 + 10 + ... + 135 = 1890 ms; the 140 ms wait ends when the key comes.
  ASSERT_EQ(input.waits.size(), 28u);
  for (size_t i = 0; i < input.waits.size(); ++i) EXPECT_EQ(input.waits[i], 5 * (i + 1)) << i;
  EXPECT_EQ(input.now, start + 2000) << "the key was read the moment it arrived";

  input.waits.clear();
  input.later.emplace(input.now + 12, key(w, 10));
  get();
  EXPECT_EQ(input.waits, (std::vector<uint32_t>{5, 10})) << "a new call starts again at 5 ms";
}

TEST_F(MsgQueue, IdleWaitCapsAt990AndEndsAtTheNextTimer) {
  XfWindow* w = window();
  xfStartTimer(w, 1, 100000, nullptr, nullptr);
  get();  // the timer, after a long wait
  ASSERT_FALSE(input.waits.empty());
  uint32_t biggest = 0;
  for (uint32_t ms : input.waits) biggest = ms > biggest ? ms : biggest;
  EXPECT_EQ(biggest, 990u);
  EXPECT_EQ(input.now, 1000u + 100000u) << "woke exactly when the timer fell due";
}

TEST_F(MsgQueue, PeekWithoutRemovalLeavesTheXEvent) {
  XfWindow* w = window();
  input.keysyms[24] = 'q';
  push(key(w, 24));
  XfMessage m{};
  ASSERT_EQ(xfPeekMsg(&m, nullptr, 0, 0, 0), 1);
  EXPECT_EQ(m.number, ZWM_CHAR);
  EXPECT_EQ(input.queue.size(), 1u);
  XfMessage g = get();
  EXPECT_EQ(g.number, ZWM_CHAR);
  EXPECT_EQ(g.mp1, m.mp1);
  EXPECT_TRUE(input.queue.empty());
}

TEST_F(MsgQueue, OutOfRangePostedHeadBlocksNothing) {
  XfWindow* w = window();
  input.keysyms[24] = 'q';
  xfPostMsg(w, 100, 0, 0);
  push(key(w, 24));
  XfMessage m{};
  ASSERT_EQ(xfGetMsg(&m, nullptr, ZWM_CHAR, ZWM_CHAR), 1);
  EXPECT_EQ(m.number, ZWM_CHAR);
  ASSERT_EQ(xfGetMsg(&m, nullptr, 100, 100), 1);
  EXPECT_EQ(m.number, 100u);
}

TEST_F(MsgQueue, XMessageOutsideTheRangeIsPostedAndAnswersZero) {
  XfWindow* w = window();
  input.keysyms[24] = 'q';
  push(key(w, 24));
  XfMessage m{};
  EXPECT_EQ(xfGetMsg(&m, nullptr, 1, 1), 0);
  ASSERT_EQ(xf_posted_queue()->count, 1);
  EXPECT_EQ(get().number, ZWM_CHAR);
}

TEST_F(MsgQueue, TakeRepeatedKeysCountsTheRunAndLeavesTheNextKey) {
  XfWindow* w = window();
  input.keysyms[113] = XK_Left;
  input.keysyms[114] = XK_Right;
  for (int i = 0; i < 4; ++i) {
    push(key(w, 113));
    push(key(w, 113, 0, false));  // autorepeat's releases are nothing-messages
  }
  push(key(w, 114));
  XfMessage first = get();
  EXPECT_EQ(xfTakeRepeatedKeys(first.mp1), 3);
  XfMessage next = get();
  EXPECT_EQ(xf_key_keysym(next.mp1), static_cast<unsigned long>(XK_Right));
}

TEST_F(MsgQueue, KeysAreDroppedWithoutAnActiveFrame) {
  XfWindow* w = window();
  XfMessage m{w, ZWM_CHAR, xf_key_mp1('a', 0), 38, 0};
  EXPECT_EQ(xfDispatchMsg(&m), 0);
  EXPECT_TRUE(seen().empty());
}

TEST_F(MsgQueue, DispatchFoldsPendingPaintsIntoOneUpdateRegion) {
  XfWindow* w = window();
  XfRectLTRB a{0, 0, 10, 10}, b{20, 20, 30, 30};
  xfInvalidateRect(w, &a);
  xfInvalidateRect(w, &b);
  EXPECT_EQ(xf_paint_queue()->count, 2);
  XfMessage m = get();
  xfDispatchMsg(&m);
  EXPECT_EQ(numbers_for(w), std::vector<uint32_t>{ZWM_PAINT});
  EXPECT_EQ(xf_paint_queue()->count, 0) << "the second paint was folded in";
  XfRectLTRB r{};
  xfQueryUpdateRect(w, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 30);
  EXPECT_EQ(r.bottom, 30);
}

TEST_F(MsgQueue, CaptureReaddressesMouseMessages) {
  XfWindow* a = window();
  XfWindow* b = window();
  xfSetCapture(b);
  XfMessage m{a, ZWM_LBUTTONDOWN, 0, 0, 0};
  xfDispatchMsg(&m);
  EXPECT_EQ(numbers_for(b), std::vector<uint32_t>{ZWM_LBUTTONDOWN});
  EXPECT_TRUE(numbers_for(a).empty());
}

// Client areas: hit test first; MOUSEACTIVATE decides about activation and
// whether the click passes.
intptr_t g_hit = 1, g_activate = 1;
intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  seen().push_back({w, n, mp1, mp2});
  if (n == ZWM_HITTEST) return g_hit;
  if (n == ZWM_MOUSEACTIVATE) return g_activate;
  return 0;
}

TEST_F(MsgQueue, ClientMouseRoutingFollowsHitAndActivateAnswers) {
  struct Case {
    intptr_t hit, activate;
    std::vector<uint32_t> want;
  };
  const Case cases[] = {
      {1, 1, {ZWM_HITTEST, ZWM_MOUSEACTIVATE, ZWM_LBUTTONDOWN}},
      {1, 3, {ZWM_HITTEST, ZWM_MOUSEACTIVATE, ZWM_LBUTTONDOWN}},
      {1, 2, {ZWM_HITTEST, ZWM_MOUSEACTIVATE}},
      {1, 4, {ZWM_HITTEST, ZWM_MOUSEACTIVATE}},
      {0, 1, {ZWM_HITTEST}},
      {-2, 1, {ZWM_HITTEST}},
      {7, 1, {ZWM_HITTEST, ZWM_LBUTTONDOWN}},
  };
  for (const Case& c : cases) {
    seen().clear();
    g_hit = c.hit;
    g_activate = c.activate;
    XfWindow* w = window(nullptr, XFTYPE_CLIENTAREA);
    w->proc = client_proc;
    XfMessage m{w, ZWM_LBUTTONDOWN, 0, 0, 0};
    xfDispatchMsg(&m);
    EXPECT_EQ(numbers_for(w), c.want) << "hit " << c.hit << " activate " << c.activate;
  }
}

// A stand-in scroll bar: position within 0..10, the way a bar clamps.
intptr_t bar_pos = 5;
intptr_t bar_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  seen().push_back({w, n, mp1, mp2});
  if (n == ZWM_SBQUERYPOS) return bar_pos;
  if (n == ZWM_SBSETPOS) bar_pos = std::max<intptr_t>(0, std::min<intptr_t>(10, xf_low(mp1)));
  return 0;
}

TEST_F(MsgQueue, WheelScrollsThreeLinesThroughTheVerticalBarNeverRightClicks) {
  XfWindow* frame = xfCreateFrameWindow(nullptr, nullptr, "t", "t", "Halvorn", 0, 0, 100, 100, 0, 0, 0, 0, 0, 0, false);
  XfWindow* client = window(frame, XFTYPE_ANY);
  XfWindow* bar = window(frame, XFTYPE_VSB);
  bar->proc = bar_proc;
  bar->parent = frame;
  frame->k.frame.client = client;
  frame->k.frame.vsb = bar;
  bar_pos = 5;

  struct Case {
    unsigned button;
    std::vector<intptr_t> notified;  // mp2 of the VSCROLL messages: position | code << 16
    intptr_t end_pos;
  };
  const Case cases[] = {
      {5, {xf_pack(6, 1), xf_pack(7, 1), xf_pack(8, 1), xf_pack(8, 64)}, 8},
      {5, {xf_pack(9, 1), xf_pack(10, 1), xf_pack(10, 64)}, 10},  // stops at the end
      {4, {xf_pack(9, 2), xf_pack(8, 2), xf_pack(7, 2), xf_pack(7, 64)}, 7},
  };
  for (const Case& c : cases) {
    seen().clear();
    push(button(client, c.button, true));
    push(button(client, c.button, false));
    XfMessage m = get();
    EXPECT_EQ(m.number, ZWM_WHEEL);
    xfDispatchMsg(&m);
    std::vector<intptr_t> got;
    for (const Seen& s : seen()) {
      if (s.number == ZWM_VSCROLL) {
        EXPECT_EQ(s.window, client);
        EXPECT_EQ(s.mp1, static_cast<intptr_t>(kPartVsb));
        got.push_back(s.mp2);
      }
      EXPECT_NE(s.number, ZWM_RBUTTONDOWN);
    }
    EXPECT_EQ(got, c.notified) << "button " << c.button;
    EXPECT_EQ(bar_pos, c.end_pos);
    XfMessage none{};
    EXPECT_EQ(xfPeekMsg(&none, nullptr, 0, 0, 1), 0) << "the release makes nothing";
  }
}

TEST_F(MsgQueue, ButtonsMapToTheirMessages) {
  XfWindow* w = window();
  struct Case {
    unsigned button;
    bool press;
    uint32_t want;
  };
  const Case cases[] = {
      {1, true, ZWM_LBUTTONDOWN}, {2, true, ZWM_MBUTTONDOWN}, {3, true, ZWM_RBUTTONDOWN}, {1, false, ZWM_LBUTTONUP},
      {2, false, ZWM_MBUTTONUP},  {3, false, ZWM_RBUTTONUP},  {4, true, ZWM_WHEEL},       {5, true, ZWM_WHEEL},
  };
  for (const Case& c : cases) {
    push(button(w, c.button, c.press, 7, 8));
    XfMessage m = get();
    EXPECT_EQ(m.number, c.want) << "button " << c.button;
    if (c.want != ZWM_WHEEL) {
      EXPECT_EQ(m.mp1, xf_pack(7, 8));
      EXPECT_EQ(m.mp2, xf_pack(17, 28));
    }
  }
}

}  // namespace
}  // namespace wstest
