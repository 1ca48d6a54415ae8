// The caret's hide counts and blinking without a server: drawing is
// counted, not looked at (the pixels are checked on Xvfb).
#include "winsys_fixture.h"

#include "winsys/caret.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"

namespace wstest {
namespace {

class Caret : public WinsysTest {
 protected:
  uint32_t draws() const { return xf().caret.draws; }
};

TEST_F(Caret, ANewCaretIsHiddenAndTwoHidesNeedTwoShows) {
  XfWindow* w = window();
  xfCreateCaret(w, 2, 12, 0);
  EXPECT_EQ(w->caret.hide, 1);
  EXPECT_FALSE(w->caret.drawn);
  xfShowCaret(w);
  EXPECT_TRUE(w->caret.drawn);
  xfHideCaret(w);
  xfHideCaret(w);
  EXPECT_FALSE(w->caret.drawn);
  EXPECT_EQ(w->caret.hide, 2);
  xfShowCaret(w);
  EXPECT_FALSE(w->caret.drawn);
  xfShowCaret(w);
  EXPECT_TRUE(w->caret.drawn);
  xfShowCaret(w);  // already shown: the count stays at 0
  EXPECT_EQ(w->caret.hide, 0);
  xfCreateCaret(w, 9, 9, 0);  // a window has one caret
  EXPECT_EQ(w->caret.width, 2);
}

TEST_F(Caret, DisabledWindowsChangeNothing) {
  XfWindow* w = window();
  xfCreateCaret(w, 2, 12, 0);
  w->enabled = false;
  xfShowCaret(w);
  EXPECT_EQ(w->caret.hide, 1);
  w->enabled = true;
  xfShowCaret(w);
  w->enabled = false;
  xfHideCaret(w);
  EXPECT_EQ(w->caret.hide, 0);
  uint32_t before = draws();
  xfSetCaretPos(w, 5, 5);
  EXPECT_EQ(draws(), before);
  EXPECT_EQ(w->caret.x, 0);
}

TEST_F(Caret, MovingToTheSamePlaceDrawsNothing) {
  XfWindow* w = window();
  xfCreateCaret(w, 2, 12, 0);
  xfShowCaret(w);
  xfSetCaretPos(w, 4, 6);
  uint32_t before = draws();
  xfSetCaretPos(w, 4, 6);
  EXPECT_EQ(draws(), before);
  xfSetCaretPos(w, 5, 6);
  EXPECT_EQ(draws(), before + 2) << "erase, then draw at the new place";
}

TEST_F(Caret, BlinksEvery500MsOnlyWhileShown) {
  XfWindow* w = window();
  xfCreateCaret(w, 2, 12, 0);
  xfShowCaret(w);
  std::vector<bool> states;
  for (int i = 0; i < 4; ++i) {
    input.now += kCaretBlinkMs;
    xfScanTimers();
    states.push_back(w->caret.drawn);
  }
  EXPECT_EQ(states, (std::vector<bool>{false, true, false, true}));
  xfHideCaret(w);
  uint32_t before = draws();
  input.now += kCaretBlinkMs;
  xfScanTimers();
  EXPECT_EQ(draws(), before) << "a hidden caret does not blink";
  xfDestroyCaret(w);
  EXPECT_FALSE(xf_timer_exists(w, kCaretTimer));
  EXPECT_EQ(w->caret.hide, -1);
}

// A paint procedure that looks at the caret while it draws.
bool g_drawn_during_paint = true;
intptr_t painter(XfWindow* w, uint32_t n, intptr_t, intptr_t) {
  if (n == ZWM_PAINT) {
    g_drawn_during_paint = w->caret.drawn;
    xfValidateWindow(w);
  }
  return 0;
}

TEST_F(Caret, EveryPaintRunsWithTheCaretOff) {
  XfWindow* w = window();
  w->proc = painter;
  xfCreateCaret(w, 2, 12, 0);
  xfShowCaret(w);
  xfInvalidateRect(w, nullptr);
  XfMessage m{};
  ASSERT_EQ(xfGetMsg(&m, nullptr, 0, 0), 1);
  xfDispatchMsg(&m);
  EXPECT_FALSE(g_drawn_during_paint);
  EXPECT_TRUE(w->caret.drawn) << "back on afterwards";
  EXPECT_EQ(w->caret.hide, 0);
  g_drawn_during_paint = true;
  xfInvalidateRect(w, nullptr);
  xfPaintNow(w);
  EXPECT_FALSE(g_drawn_during_paint);
  EXPECT_TRUE(w->caret.drawn);
}

}  // namespace
}  // namespace wstest
