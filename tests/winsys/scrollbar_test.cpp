// Scroll bars without a server: geometry (including a range of zero and
// bars too short for their arrows), the set/query messages' clamping, and
// the click, repeat and drag loops driven by hand-made X events on the fake
// clock, with the owner's notifications timed.
#include "winsys_fixture.h"

#include "winsys/scrollbar.h"
#include "winsys/timers.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace wstest {
namespace {

struct Note {
  uint32_t at;
  int32_t pos, code;
};
std::vector<Note> g_notes;
FakeInput* g_input = nullptr;

intptr_t owner_proc(XfWindow*, uint32_t n, intptr_t, intptr_t mp2) {
  if (n == ZWM_VSCROLL || n == ZWM_HSCROLL) g_notes.push_back({g_input->now, xf_low(mp2), xf_high(mp2)});
  return 0;
}

class ScrollBars : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    g_notes.clear();
    g_input = &input;
    owner = window();
    owner->proc = owner_proc;
    // A vertical bar 18 wide and 200 long at the root's origin.
    bar = xfCreateScrollBar(nullptr, owner, 0x800002, nullptr, 7, 0, 0, 18, 200);
  }
  void range(int32_t lo, int32_t hi, int32_t page, int32_t pos) {
    xfSendMsg(bar, ZWM_SBSETRANGE, 0, xf_pack(lo, hi));
    xfSendMsg(bar, ZWM_SBSETTHUMBSIZE, xf_pack(page, 0), 0);
    xfSendMsg(bar, ZWM_SBSETPOS, xf_pack(pos, 0), 0);
  }
  XEvent press(int x, int y, unsigned b = 1, unsigned state = 0) {
    XEvent e{};
    e.type = ButtonPress;
    e.xbutton.window = bar->xwin;
    e.xbutton.button = b;
    e.xbutton.x = e.xbutton.x_root = x;
    e.xbutton.y = e.xbutton.y_root = y;
    e.xbutton.state = state;
    return e;
  }
  void release_at(uint32_t t, unsigned b = 1) {
    XEvent e = press(1, 1, b);
    e.type = ButtonRelease;
    input.later.emplace(t, e);
  }
  void move_at(uint32_t t, int y) {
    XEvent e{};
    e.type = MotionNotify;
    e.xmotion.window = bar->xwin;
    e.xmotion.x = e.xmotion.x_root = 9;
    e.xmotion.y = e.xmotion.y_root = y;
    input.later.emplace(t, e);
  }
  // Takes and dispatches messages until the press has been handled.
  void run_press(const XEvent& e) {
    push(e);
    XfMessage m{};
    while (xfGetMsg(&m, nullptr, 0, 0)) {
      bool was_press = m.number == ZWM_LBUTTONDOWN || m.number == ZWM_MBUTTONDOWN;
      xfDispatchMsg(&m);
      if (was_press) break;
    }
  }
  int32_t pos() { return xf_low(xfSendMsg(bar, ZWM_SBQUERYPOS, 0, 0)); }

  XfWindow* owner = nullptr;
  XfWindow* bar = nullptr;
};

TEST(ScrollGeometry, RoundsToNearestAndOnlyUpPastHalf) {
  struct Case {
    int64_t n, d;
    int32_t want;
  } cases[] = {{5, 2, 2}, {7, 4, 2}, {9, 4, 2}, {0, 7, 0}, {155844, 1000, 156}, {3, 0, 0}, {3, -1, 0}};
  for (const Case& c : cases) EXPECT_EQ(xf_scroll_round_div(c.n, c.d), c.want) << c.n << "/" << c.d;
}

TEST(ScrollGeometry, ThumbAndTroughForTheSpecifiedCases) {
  struct Case {
    const char* what;
    int32_t across, along;
    XfScrollWords s;
    int32_t arrow, trough_start, trough_len, thumb_start, thumb_len;
  } cases[] = {
      {"page equal to range fills the trough", 18, 200, {0, 0, 100, 100, 0, 0, 0, 0, '-'}, 14, 17, 166, 17, 166},
      {"half page at the middle", 18, 200, {25, 0, 100, 50, 0, 0, 0, 0, '-'}, 14, 17, 166, 58, 83},
      {"short thumb lengthened to 10, at the end", 18, 200, {999, 0, 1000, 1, 0, 0, 0, 0, '-'}, 14, 17, 166, 173, 10},
      {"short thumb at the start", 18, 200, {0, 0, 1000, 1, 0, 0, 0, 0, '-'}, 14, 17, 166, 17, 10},
      {"range zero fills the trough", 18, 200, {50, 50, 50, 0, 0, 0, 0, 0, '-'}, 14, 17, 166, 17, 166},
      {"inverted range fills the trough", 18, 200, {9, 10, 5, 0, 0, 0, 0, 0, '-'}, 14, 17, 166, 17, 166},
      {"arrows reduced in a short bar", 18, 30, {0, 0, 100, 10, 0, 0, 0, 0, '-'}, 7, 10, 10, 10, 10},
      {"trough exactly 10 with a lengthened thumb", 18, 20, {90, 0, 100, 10, 0, 0, 0, 0, '-'}, 2, 5, 10, 5, 10},
      {"bar shorter than its arrows", 18, 10, {3, 0, 100, 10, 0, 0, 0, 0, '-'}, 0, 3, 4, 3, 4},
      {"bar of no length", 18, 0, {3, 0, 100, 10, 0, 0, 0, 0, '-'}, 0, 3, 0, 3, 0},
  };
  for (const Case& c : cases) {
    XfScrollGeometry g = xf_scroll_geometry(c.across, c.along, c.s);
    EXPECT_EQ(g.arrow, c.arrow) << c.what;
    EXPECT_EQ(g.trough_start, c.trough_start) << c.what;
    EXPECT_EQ(g.trough_len, c.trough_len) << c.what;
    EXPECT_EQ(g.thumb_start, c.thumb_start) << c.what;
    EXPECT_EQ(g.thumb_len, c.thumb_len) << c.what;
    EXPECT_GE(g.thumb_len, 0) << c.what;
    EXPECT_LE(g.thumb_start + g.thumb_len, g.trough_start + g.trough_len) << c.what;
  }
}

TEST(ScrollGeometry, DraggedOffsetsBecomePositionsWithinTheLimits) {
  XfScrollWords s{0, 0, 100, 50, 0, 0, 0, 0, '-'};
  XfScrollGeometry g = xf_scroll_geometry(18, 200, s);  // thumb 83 of 166
  EXPECT_EQ(xf_scroll_pos_from_offset(s, g, -40), 0);
  EXPECT_EQ(xf_scroll_pos_from_offset(s, g, 42), 25);
  EXPECT_EQ(xf_scroll_pos_from_offset(s, g, 500), 50);
  XfScrollWords zero{7, 7, 7, 0, 0, 0, 0, 0, '-'};
  EXPECT_EQ(xf_scroll_pos_from_offset(zero, xf_scroll_geometry(18, 200, zero), 30), 7);
  XfScrollWords tight{90, 0, 100, 10, 0, 0, 0, 0, '-'};  // no placing length left
  EXPECT_EQ(xf_scroll_pos_from_offset(tight, xf_scroll_geometry(18, 20, tight), 5), 0);
}

TEST_F(ScrollBars, StartsWithTheWholeRangeAsPageAndClampsWhatIsSet) {
  EXPECT_EQ(bar->kind, static_cast<uint32_t>(XFTYPE_VSB));
  EXPECT_EQ(pos(), 0);
  EXPECT_EQ(xfSendMsg(bar, ZWM_SBQUERYRANGE, 0, 0), xf_pack(0, 0)) << "maximum - page is 0";
  range(10, 110, 20, 200);
  EXPECT_EQ(pos(), 90) << "cut to maximum - page";
  EXPECT_EQ(xfSendMsg(bar, ZWM_SBQUERYRANGE, 0, 0), xf_pack(10, 90));
  xfSendMsg(bar, ZWM_SBSETPOS, xf_pack(-5, 0), 0);
  EXPECT_EQ(pos(), 10) << "raised to the minimum";
  xfSendMsg(bar, ZWM_SBSETPOS, xf_pack(60, 0), 0);
  xfSendMsg(bar, ZWM_SBSETRANGE, 0, xf_pack(0, 30));
  EXPECT_EQ(bar->k.scroll.page, 20);
  EXPECT_EQ(pos(), 10) << "a narrower range pulls the position back";
  xfSendMsg(bar, ZWM_SBSETTHUMBSIZE, xf_pack(500, 0), 0);
  EXPECT_EQ(bar->k.scroll.page, 30) << "page cut to the range";
  EXPECT_EQ(pos(), 0);
  xfSendMsg(bar, ZWM_SBSETPOS, xf_pack(5, 0), 0);
  xfSendMsg(bar, ZWM_SBSETTHUMBSIZE, xf_pack(4, 0), 0);
  xfSendMsg(bar, ZWM_SBSETPOS, xf_pack(20, 0), 0);
  xfSendMsg(bar, ZWM_SBSETTHUMBSIZE, 0, 0);
  EXPECT_EQ(bar->k.scroll.page, 30) << "a page of 0 becomes the whole range";
  EXPECT_EQ(pos(), 0) << "and the position the minimum";
}

TEST_F(ScrollBars, ARangeOfZeroFillsTheTroughAndNothingScrolls) {
  range(40, 40, 0, 99);
  EXPECT_EQ(pos(), 40);
  xfSendMsg(bar, ZWM_PAINT, 0, 0);
  EXPECT_EQ(bar->k.scroll.thumb_y, 17);
  EXPECT_EQ(bar->k.scroll.thumb_height, 166);
  release_at(input.now + 700);
  run_press(press(9, 195));  // the second arrow, held
  release_at(input.now + 10);
  run_press(press(9, 60));  // the thumb, which is the whole trough
  ASSERT_EQ(g_notes.size(), 2u) << "only the two end notifications";
  EXPECT_EQ(g_notes[0].code, kSbEndScroll);
  EXPECT_EQ(pos(), 40);
}

TEST_F(ScrollBars, QuickArrowClickStepsOnceThenEnds) {
  range(0, 100, 10, 5);
  uint32_t t0 = input.now;
  release_at(t0 + 50);
  run_press(press(9, 5));  // the first arrow
  ASSERT_EQ(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[0].code, kSbLineUp);
  EXPECT_EQ(g_notes[0].pos, 4);
  EXPECT_EQ(g_notes[1].code, kSbEndScroll);
  EXPECT_EQ(pos(), 4);
  EXPECT_FALSE(xf_timer_exists(bar, kScrollRepeatTimer));
  EXPECT_EQ(bar->k.scroll.pressed, '-');
}

TEST_F(ScrollBars, HeldArrowRepeatsOnTheAcceleratingSchedule) {
  range(0, 1000, 10, 0);
  uint32_t t0 = input.now;
  // 200 ms, then ten each at 100, 80, 60, 40 and 20 ms, then every 5 ms.
  std::vector<uint32_t> want;
  uint32_t t = t0 + 200;
  want.push_back(t);
  for (uint32_t gap : {100u, 80u, 60u, 40u, 20u})
    for (int i = 0; i < 10; ++i) want.push_back(t += gap);
  for (int i = 0; i < 4; ++i) want.push_back(t += 5);
  release_at(t + 2);
  run_press(press(9, 190));  // the second arrow
  ASSERT_EQ(g_notes.size(), want.size() + 1);
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(g_notes[i].at, want[i]) << "step " << i + 1;
    EXPECT_EQ(g_notes[i].code, kSbLineDown);
    EXPECT_EQ(g_notes[i].pos, static_cast<int32_t>(i + 1));
  }
  EXPECT_EQ(g_notes.back().code, kSbEndScroll);
  EXPECT_EQ(pos(), static_cast<int32_t>(want.size()));
}

TEST_F(ScrollBars, RepeatStopsAtTheLimitWithoutFurtherNotes) {
  range(0, 100, 10, 87);
  release_at(input.now + 3000);
  run_press(press(9, 190));
  ASSERT_EQ(g_notes.size(), 4u);
  EXPECT_EQ(g_notes[2].pos, 90);
  EXPECT_EQ(g_notes[3].code, kSbEndScroll);
  EXPECT_EQ(pos(), 90);
}

TEST_F(ScrollBars, TroughClicksPageTowardThePointer) {
  range(0, 100, 10, 50);  // thumb near the middle
  release_at(input.now + 20);
  run_press(press(9, 180));
  ASSERT_EQ(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[0].code, kSbPageDown);
  EXPECT_EQ(pos(), 60);
  release_at(input.now + 20);
  run_press(press(9, 30));
  EXPECT_EQ(g_notes[2].code, kSbPageUp);
  EXPECT_EQ(pos(), 50);
}

TEST_F(ScrollBars, ControlClickJumpsToTheEndWithOneThumbNote) {
  range(0, 100, 10, 20);
  release_at(input.now + 500);
  run_press(press(9, 190, 1, ControlMask));
  ASSERT_EQ(g_notes.size(), 1u);
  EXPECT_EQ(g_notes[0].code, kSbThumbPos);
  EXPECT_EQ(g_notes[0].pos, 90);
  EXPECT_FALSE(xf_timer_exists(bar, kScrollRepeatTimer));
  EXPECT_EQ(xfQueryCapture(), nullptr);
}

TEST_F(ScrollBars, DraggingTheThumbNotesEachNewPositionOnce) {
  range(0, 100, 50, 0);  // thumb 17..100, 83 long
  uint32_t t0 = input.now;
  move_at(t0 + 10, 20 + 42);   // thumb start 59: position 25
  move_at(t0 + 20, 20 + 42);   // the same again: nothing
  move_at(t0 + 30, 20 + 400);  // past the end: 50
  move_at(t0 + 40, 20 + 500);  // still the limit: nothing
  release_at(t0 + 50);
  run_press(press(9, 20));
  ASSERT_EQ(g_notes.size(), 4u);
  EXPECT_EQ(g_notes[0].pos, 25);
  EXPECT_EQ(g_notes[0].code, kSbThumbPos);
  EXPECT_EQ(g_notes[1].pos, 50);
  EXPECT_EQ(g_notes[1].code, kSbThumbPos);
  // Let go: the final place once more as settled, then the end.
  EXPECT_EQ(g_notes[2].pos, 50);
  EXPECT_EQ(g_notes[2].code, kSbThumbDone);
  EXPECT_EQ(g_notes[3].code, kSbEndScroll);
  EXPECT_EQ(bar->k.scroll.pressed, '-');
}

TEST_F(ScrollBars, AThumbLetGoWhereItWasOnlyEndsTheScroll) {
  range(0, 100, 50, 0);
  uint32_t t0 = input.now;
  move_at(t0 + 10, 20);  // the pointer back where it was pressed
  release_at(t0 + 20);
  run_press(press(9, 20));
  ASSERT_EQ(g_notes.size(), 1u);
  EXPECT_EQ(g_notes[0].code, kSbEndScroll);
  EXPECT_EQ(pos(), 0);
}

TEST_F(ScrollBars, MiddleClickCentresTheThumbUnderThePointer) {
  range(0, 100, 50, 0);
  release_at(input.now + 10, 2);
  run_press(press(9, 100 + 42, 2));  // centre at 142: start 101, offset 84
  ASSERT_GE(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[0].code, kSbThumbPos);
  EXPECT_EQ(g_notes[0].pos, 50);
  ASSERT_GE(g_notes.size(), 3u);
  EXPECT_EQ(g_notes[g_notes.size() - 2].code, kSbThumbDone) << "the jump settles at its place";
  EXPECT_EQ(g_notes[g_notes.size() - 2].pos, 50);
  EXPECT_EQ(g_notes.back().code, kSbEndScroll);
}

TEST_F(ScrollBars, DisabledBarIgnoresPresses) {
  range(0, 100, 10, 5);
  bar->enabled = false;
  release_at(input.now + 50);
  run_press(press(9, 5));
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(pos(), 5);
}

}  // namespace
}  // namespace wstest
