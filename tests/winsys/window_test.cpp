// Window creation and destruction without a server: frame geometry,
// default sizes, the destroy order, and a destroyed tree that nothing
// points into any more (its timers, queued messages, focus, focus stack,
// remembered children, capture and pick hook).
#include "winsys_fixture.h"

#include "tests/support/headless/winsys_app_fakes.h"

#include "winsys/caret.h"
#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/paint.h"
#include "winsys/peer.h"
#include "winsys/timers.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xwindows.h"

namespace wstest {
namespace {

class Windows : public WinsysTest {
 protected:
  XfWindow* frame(uint32_t flags, int32_t cx, int32_t cy, XfWindow** client = nullptr, const char* cls = nullptr) {
    return xfCreateFrame(nullptr, 0, flags | kStyleVisible, cls, "Frame", nullptr, nullptr, 1, client, 10, 20, cx, cy);
  }
  void focus_in(XfWindow* f) {
    XfMessage m{f, ZWM_XFOCUSIN, 0, 0, 0};
    xfDispatchMsg(&m);
  }
};

struct Geometry {
  int32_t x, y, w, h;
};
Geometry geo(const XfWindow* w) { return {w->x, w->y, w->width, w->height}; }
bool operator==(const Geometry& a, const Geometry& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }
std::ostream& operator<<(std::ostream& os, const Geometry& g) {
  return os << "(" << g.x << "," << g.y << " " << g.w << "x" << g.h << ")";
}

TEST_F(Windows, FramePartsGetTheSpecifiedGeometry) {
  // The menu bar is as high as the menu layer lays it out: m.
  XfWindow* probe = frame(kFrameMenuBar, 400, 300);
  ASSERT_TRUE(probe->k.frame.menubar) << "a frame with the menu-bar flag has one";
  const int32_t m = probe->k.frame.menubar->height;
  ASSERT_GT(m, 0);
  EXPECT_EQ(geo(probe->k.frame.menubar), (Geometry{0, 0, 400, m}));
  struct Case {
    uint32_t flags;
    Geometry client;
    Geometry vsb, hsb;  // w 0: absent
  };
  const Case cases[] = {
      {kFrameMenuBar | kFrameHorzScroll | kFrameVertScroll,
       {0, m, 382, 282 - m},
       {382, m, 18, 282 - m},
       {0, 282, 382, 18}},
      {kFrameVertScroll, {0, 0, 382, 300}, {382, 0, 18, 300}, {0, 0, 0, 0}},
      {kFrameHorzScroll, {0, 0, 400, 282}, {0, 0, 0, 0}, {0, 282, 400, 18}},
      {kFrameMenuBar, {0, m, 400, 300 - m}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {0, {0, 0, 400, 300}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    XfWindow* client = nullptr;
    XfWindow* f = frame(c.flags, 400, 300, &client);
    ASSERT_TRUE(client);
    EXPECT_EQ(geo(client), c.client) << std::hex << c.flags;
    EXPECT_EQ(client->id, kPartClient);
    EXPECT_EQ(xfWindowFromId(f, kPartClient), client);
    XfWindow* vsb = xfWindowFromId(f, kPartVsb);
    XfWindow* hsb = xfWindowFromId(f, kPartHsb);
    if (c.vsb.w) {
      ASSERT_TRUE(vsb);
      EXPECT_EQ(geo(vsb), c.vsb);
      EXPECT_EQ(vsb->kind, XFTYPE_VSB);
    } else {
      EXPECT_FALSE(vsb);
    }
    if (c.hsb.w) {
      ASSERT_TRUE(hsb);
      EXPECT_EQ(geo(hsb), c.hsb);
      EXPECT_EQ(hsb->kind, XFTYPE_HSB);
    } else {
      EXPECT_FALSE(hsb);
    }
    EXPECT_EQ(geo(f->k.frame.inner), (Geometry{0, 0, 400, 300}));
    EXPECT_EQ(xfFrameOfWindow(client), f);
  }
}

TEST_F(Windows, NewFrameClientGetsCreateSizeAndAPaint) {
  xfRegisterClass("zx_test", recording_proc, 0, 8, nullptr);
  XfWindow* client = nullptr;
  frame(0, 300, 200, &client, "zx_test");
  EXPECT_EQ(numbers_for(client), (std::vector<uint32_t>{ZWM_CREATE, ZWM_SIZE}));
  XfMessage m{};
  ASSERT_EQ(xfGetMsg(&m, nullptr, 0, 0), 1);
  EXPECT_EQ(m.number, ZWM_PAINT);
  EXPECT_EQ(m.window, client);
  EXPECT_EQ(m.mp1, 0);
  EXPECT_EQ(m.mp2, xf_pack(300, 200));
}

// The window manager's close request reaches the client as a close, and
// the application hears that another key than Alt came (so the Alt release
// after Alt+F4 does not open the menu bar).
TEST_F(Windows, AWindowManagerCloseClosesTheClientAndSetsTheOtherKeyFlag) {
  appfake::install();
  xfRegisterClass("zx_test", recording_proc, 0, 8, nullptr);
  XfWindow* client = nullptr;
  XfWindow* f = frame(0, 300, 200, &client, "zx_test");
  seen().clear();
  xfSendMsg(f, ZWM_WMDELETE, 0, 0);
  EXPECT_EQ(numbers_for(client), std::vector<uint32_t>{ZWM_CLOSE});
  EXPECT_TRUE(appfake::app.other_key_flag);
  EXPECT_EQ(appfake::app.other_key_sets, 1);
}

TEST_F(Windows, DefaultFrameSizeIsAShareOfTheScreenAndCentred) {
  XfWindow* f = xfCreateFrame(nullptr, 0, 0, nullptr, "F", nullptr, nullptr, 1, nullptr, kDefault, kDefault, 0, 0);
  EXPECT_EQ(f->width, 1024 * 3 / 5);
  EXPECT_EQ(f->height, 768 * 2 / 3);
  EXPECT_EQ(f->x, (1024 - f->width) / 2);
  EXPECT_EQ(f->y, (768 - f->height) / 2);
}

TEST_F(Windows, ButtonsTakeDefaultSizesAndStayHiddenWhenGivenNoWidth) {
  XfWindow* client = nullptr;
  frame(0, 400, 300, &client);
  XfWindow* zero = xfCreateWindow(client, kButtonClass, "~OK", kStyleVisible, 5, 5, 0, 30, nullptr, nullptr, 7);
  EXPECT_EQ(zero->shown, 2);
  XfWindow* deflt = xfCreateWindow(client, kButtonClass, "Go", kStyleVisible, kDefault, kDefault, kDefault, kDefault,
                                   nullptr, nullptr, 8);
  EXPECT_EQ(geo(deflt), (Geometry{0, 0, 200, 200}));
  EXPECT_EQ(deflt->shown, 1);
  EXPECT_EQ(deflt->kind, XFTYPE_PUSHBUTTON);
  EXPECT_STREQ(zero->text, "OK");
  EXPECT_EQ(zero->k.button.mnemonic, 'O');
  struct Kind {
    uint32_t style, kind;
  };
  for (Kind k : {Kind{2, XFTYPE_3STATEBUTTON}, Kind{0x10, XFTYPE_RADIOBUTTON}, Kind{0, XFTYPE_PUSHBUTTON}})
    EXPECT_EQ(xfCreateWindow(client, kButtonClass, "", k.style, 0, 0, 9, 9, nullptr, nullptr, 1)->kind, k.kind);
}

TEST_F(Windows, ButtonCheckStates) {
  XfWindow* client = nullptr;
  frame(0, 400, 300, &client);
  XfWindow* b = xfCreateWindow(client, kButtonClass, "x", 2, 0, 0, 20, 20, nullptr, nullptr, 3);
  struct Case {
    intptr_t set, query;
  };
  for (Case c : {Case{1, 1}, Case{2, 2}, Case{0, 0}, Case{5, 0}}) {
    xfSendMsg(b, ZWM_BTNSETCHECK, c.set, 0);
    EXPECT_EQ(xfSendMsg(b, ZWM_BTNQUERYCHECK, 0, 0), c.query) << c.set;
  }
}

TEST_F(Windows, DestroySendsDestroyChildrenFirstAndNotToFrames) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(kFrameVertScroll, 400, 300, &client);
  client->proc = recording_proc;
  XfWindow* child = window(client);
  XfWindow* grandchild = window(child);
  seen().clear();
  xfDestroyWindow(f);
  std::vector<std::pair<XfWindow*, uint32_t>> got;
  for (const Seen& s : seen()) got.emplace_back(s.window, s.number);
  EXPECT_EQ(got, (std::vector<std::pair<XfWindow*, uint32_t>>{{child, ZWM_DESTROY}, {client, ZWM_DESTROY}}));
  (void)grandchild;  // inside a plain child: the walk does not go there
  EXPECT_EQ(xf_live_window_count(), 0);
}

TEST_F(Windows, DestroyedTreeLeavesNothingPointingIntoIt) {
  XfWindow *ca = nullptr, *cb = nullptr;
  XfWindow* keep = frame(0, 200, 100, &cb);
  XfWindow* gone = frame(kFrameVertScroll, 300, 200, &ca);
  XfWindow* child = window(ca);
  XfWindow* grandchild = window(child);
  focus_in(gone);
  xfSetFocus(child);
  xfPushFocus();
  xfSetFocus(grandchild);
  xfPushFocus();
  xfSetCapture(child);
  xfStartTimer(child, 11, 10, nullptr, nullptr);
  xfStartTimer(grandchild, 12, 10, nullptr, nullptr);
  xfCreateCaret(grandchild, 2, 10, 0);
  input.now += 10;
  xfScanTimers();
  xfPostMsg(grandchild, ZWM_COMMAND, 1, 0);
  xfPostMsg(child, ZWM_PAINT, 0, 0);
  // Another frame remembers a child of the doomed tree.
  keep->k.frame.focus_child = grandchild;

  xfDestroyWindow(gone);

  EXPECT_EQ(xfQueryCapture(), nullptr);
  EXPECT_EQ(xf_timer_count(), 0);
  EXPECT_EQ(xf_timer_queue()->count, 0);
  EXPECT_EQ(xf_posted_queue()->count, 0);
  for (XfQueueNode* n = xf_paint_queue()->head; n; n = n->next)
    EXPECT_NE(static_cast<XfMessage*>(n->value)->window, child);
  EXPECT_EQ(keep->k.frame.focus_child, nullptr);
  // It held the last X focus: the application waits for the next focus-in.
  EXPECT_EQ(xfQueryActiveFrame(), nullptr);
  EXPECT_EQ(xfQueryFocus(), nullptr);
  EXPECT_EQ(xf_top_frame_count(), 1);
  // The pushed windows are gone: popping restores nothing and touches nothing.
  xfPopFocus();
  xfPopFocus();
  EXPECT_EQ(xfQueryFocus(), nullptr);
  EXPECT_EQ(xf_live_window_count(), 3) << "keep, its inner window and its client";
}

TEST_F(Windows, DestroyingTheActiveFrameWithoutTheLastXFocusActivatesTheTopMostOther) {
  XfWindow *ca = nullptr, *cb = nullptr;
  XfWindow* keep = frame(0, 200, 100, &cb);
  XfWindow* gone = frame(0, 300, 200, &ca);
  cb->proc = recording_proc;
  focus_in(gone);
  xf().focus.last_focus_frame = nullptr;  // the X focus went elsewhere
  xfDestroyWindow(gone);
  EXPECT_EQ(xfQueryActiveFrame(), keep);
  EXPECT_EQ(xfQueryFocus(), cb);
  EXPECT_EQ(numbers_for(cb), std::vector<uint32_t>{ZWM_SETFOCUS});
}

TEST_F(Windows, RecycledRecordsAreClearedAndReusedFirst) {
  XfWindow* w = window();
  w->id = 0xFF06;
  w->caret.drawn = true;
  w->bg = 1234;
  xfDestroyWindow(w);
  XfWindow* again = window();
  EXPECT_EQ(again, w) << "last in, first out";
  EXPECT_EQ(again->id, 0u);
  EXPECT_FALSE(again->caret.drawn);
  EXPECT_EQ(again->caret.hide, -1);
  EXPECT_EQ(again->bg, 0u);
}

TEST_F(Windows, AHeldHandleOfADestroyedWindowReachesNoProcedure) {
  XfWindow* w = window();
  XfMessage copied{w, ZWM_COMMAND, 1, 0, 0};  // taken out of the queue earlier
  xfDestroyWindow(w);
  seen().clear();
  EXPECT_EQ(xfSendMsg(w, ZWM_COMMAND, 1, 0), 0);
  EXPECT_EQ(xfDispatchMsg(&copied), 0);
  EXPECT_TRUE(seen().empty());
}

TEST_F(Windows, TopLevelControlFrameIsItsOwnClientInsideAnOuterFrame) {
  xfRegisterClass(kCtlFrameClass, recording_proc, 0, 0, nullptr);
  XfWindow* client = nullptr;
  XfWindow* ctl = xfCreateFrame(nullptr, 0x40, 0, kCtlFrameClass, "Form", nullptr, nullptr, 9, &client, 5, 6, 120, 80);
  ASSERT_TRUE(ctl);
  EXPECT_EQ(client, ctl);
  EXPECT_EQ(ctl->kind, XFTYPE_CTLFRAME);
  EXPECT_EQ(ctl->style, 0x40u);
  EXPECT_EQ(ctl->id, 9u);
  EXPECT_EQ(ctl->shown, 1);
  EXPECT_EQ(numbers_for(ctl), (std::vector<uint32_t>{ZWM_CREATE, ZWM_SIZE}));
  XfWindow* outer = ctl->k.ctl.outer;
  ASSERT_TRUE(outer);
  EXPECT_EQ(outer->kind, XFTYPE_STDFRAME);
  EXPECT_TRUE(outer->k.frame.outer_of_ctlframe);
  EXPECT_EQ(xfWindowFromId(outer, kPartClient), ctl);
  xfMoveSizeWindow(ctl, 7, 8, 140, 90, nullptr);
  EXPECT_EQ(geo(outer), (Geometry{7, 8, 140, 90})) << "the outer frame moves";
  EXPECT_EQ(ctl->width, 140);
  EXPECT_EQ(seen().back().number, ZWM_SIZE);
  EXPECT_EQ(seen().back().mp2, xf_pack(140, 90));
  xfDestroyWindow(ctl);
  EXPECT_EQ(xf_live_window_count(), 0) << "the outer frame goes with it";
  EXPECT_EQ(xf_top_frame_count(), 0);
}

TEST_F(Windows, ClassesRegisteredTwiceAreBothKept) {
  EXPECT_EQ(xfRegisterClass("zx_form", recording_proc, 0, 8, nullptr), 1);
  EXPECT_EQ(xfRegisterClass("zx_edit", recording_proc, -1, 72, nullptr), 2);
  EXPECT_EQ(xfRegisterClass("zx_form", nullptr, 4, 16, "zx_base"), 3);
  XfClass* c = nullptr;
  ASSERT_EQ(xfFindClass("zx_form", &c), 0);
  EXPECT_STREQ(c->name, "zx_form");
  ASSERT_EQ(xfFindClass("zx_edit", &c), 0);
  EXPECT_TRUE(c->negative);
  EXPECT_EQ(xfFindClass("zx_none", &c), 1);
  XfClassInfo info{};
  ASSERT_EQ(xfQueryClassInfo(kButtonClass, &info), 1);
  EXPECT_EQ(info.word_bytes, 64u);
  EXPECT_EQ(info.proc, xfButtonProc);
  EXPECT_EQ(xfQueryClassInfo("zx_none", &info), 0);
}

TEST_F(Windows, UpdatingAFrameWithoutAClientStillPaintsItsBars) {
  XfWindow* f = frame(kFrameVertScroll, 200, 100);
  XfWindow* bar = xfWindowFromId(f, kPartVsb);
  bar->proc = recording_proc;
  xfDestroyWindow(f->k.frame.client);
  EXPECT_EQ(f->k.frame.client, nullptr) << "the part slot lets go";
  xfInvalidateRect(bar, nullptr);
  EXPECT_EQ(xfUpdateWindow(f), 1);
  EXPECT_EQ(numbers_for(bar), std::vector<uint32_t>{ZWM_PAINT});
}

TEST_F(Windows, PositioningFlagsFourAndEightChangeNothing) {
  XfWindow* f = frame(0, 200, 100);
  EXPECT_EQ(xfSetWindowPos(f, nullptr, 0, 0, 0, 0, 4 | 8), 1);
  EXPECT_EQ(f->shown, 1);
  EXPECT_EQ(geo(f), (Geometry{10, 20, 200, 100}));
  xfSetWindowPos(f, nullptr, 0, 0, 0, 0, 0x20);
  EXPECT_EQ(f->shown, 2);
}

TEST_F(Windows, OnlyTheFirstFrameTakesThePeerSelectionUntilItIsLost) {
  XfWindow* a = frame(0, 50, 50);
  frame(0, 50, 50);
  auto list = xf_peer_list();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], a->xwin);
  peer_selection_lost();
  EXPECT_FALSE(xf_peer_owns_selection());
  XfWindow* c = frame(0, 50, 50);
  EXPECT_TRUE(xf_peer_owns_selection());
  list = xf_peer_list();
  EXPECT_EQ(std::vector<uint32_t>(list.begin(), list.end()),
            (std::vector<uint32_t>{static_cast<uint32_t>(a->xwin), static_cast<uint32_t>(c->xwin)}));
}

TEST_F(Windows, MoveSizeWithDefaultXOnlyResizesAndSendsSize) {
  XfWindow* w = window();
  w->x = 3;
  w->y = 4;
  xfMoveSizeWindow(w, kDefault, 50, 70, 80, nullptr);
  EXPECT_EQ(geo(w), (Geometry{3, 4, 70, 80}));
  ASSERT_EQ(seen().size(), 1u);
  EXPECT_EQ(seen()[0].number, ZWM_SIZE);
  EXPECT_EQ(seen()[0].mp2, xf_pack(70, 80));
  seen().clear();
  xfMoveSizeWindow(w, 9, 9, 0, 80, nullptr);
  EXPECT_EQ(geo(w), (Geometry{9, 9, 70, 80})) << "size 0 is no size: only a move";
  EXPECT_TRUE(seen().empty());
}

TEST_F(Windows, FrameResizeLaysThePartsOutAgain) {
  XfWindow* client = nullptr;
  XfWindow* f = frame(kFrameHorzScroll | kFrameVertScroll | kFrameSizeBorder, 400, 300, &client);
  client->proc = recording_proc;
  xfMoveSizeWindow(f, 0, 0, 500, 350, nullptr);
  EXPECT_EQ(geo(client), (Geometry{0, 0, 482, 332}));
  EXPECT_EQ(geo(xfWindowFromId(f, kPartVsb)), (Geometry{482, 0, 18, 332}));
  EXPECT_EQ(geo(xfWindowFromId(f, kPartHsb)), (Geometry{0, 332, 482, 18}));
  EXPECT_EQ(numbers_for(client), std::vector<uint32_t>{ZWM_SIZE});
}

TEST_F(Windows, FrameFlagsBecomeWindowManagerHints) {
  struct Case {
    uint32_t flags, decorations, functions;
  };
  const Case cases[] = {
      {0, 0, 36},
      {kFrameBorder, 2, 36},
      {kFrameDlgBorder | kFrameTitle, 10, 36},
      {kFrameSizeBorder, 6, 38},
      {kFrameTitle | kFrameSysMenu | kFrameMinButton | kFrameMaxButton | kFrameSizeBorder, 8 | 16 | 32 | 64 | 6,
       36 | 8 | 16 | 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xf_frame_decorations(c.flags), c.decorations) << std::hex << c.flags;
    EXPECT_EQ(xf_frame_functions(c.flags), c.functions) << std::hex << c.flags;
  }
}

}  // namespace
}  // namespace wstest
