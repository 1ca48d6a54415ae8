// The MDI client and its children without a server: states and their
// geometry, activation, the application frame's title, the Window menu,
// destruction, tiling and cascading. The window records are made all the
// same; only nothing reaches X.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/headless/mdi_fakes.h"
#include "tests/winsys/winsys_fixture.h"
#include "winsys/mdi.h"
#include "winsys/mdi_internal.h"
#include "winsys/mdi_menu.h"
#include "winsys/mdi_winapi.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace {

using wstest::seen;

constexpr uint32_t kFirst = 100;  // the Window menu's first id

intptr_t area_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  seen().push_back({w, n, mp1, mp2});
  if (n == ZWM_CREATE) seen().push_back({w, 0xC4EA7E, reinterpret_cast<intptr_t>(WinCreateParams()), 0});
  if (n == ZWM_CLOSE) {
    WinDestroyWindow(xf_mdi_frame_of(w));
    return 0;
  }
  return WinDefMDIChildProc(w, n, mp1, mp2);
}

class Mdi : public wstest::WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    WinRegisterClass("mdi_area", area_proc, 0, 0);
    XfWindow* inner = nullptr;
    app = xfCreateFrame(nullptr, 0, kStyleVisible, nullptr, "App", nullptr, nullptr, 1, &inner, 0, 0, 640, 480);
    client = xfCreateMdiClient(inner, kMdiClientId, kFirst);
    ASSERT_NE(client, nullptr);
    mdifake::install();
    xfSetWindowGeometry(client, 0, 0, 600, 400);
    menu = xf_mdi_menu_create();
    xfMdiSetWindowMenu(client, menu);
  }
  void TearDown() override {
    xf_mdi_menu_destroy(menu);
    WinsysTest::TearDown();
  }
  XfWindow* child(const char* title, int32_t x = 10, int32_t y = 20, int32_t w = 200, int32_t h = 150,
                  uint32_t flags = 6) {
    return xfCreateMdiChild(title, 0, flags, "mdi_area", x, y, w, h, client, nullptr);
  }
  XfWindow* active() const { return xfMdiGetActive(client); }
  std::string app_title() const { return app->text ? app->text : ""; }
  static XfMdiRect rect(XfWindow* w) { return {w->x, w->y, w->width, w->height}; }
  // The items of a menu, read back through the layer's menu operations.
  static std::vector<XfMdiMenuItem> items_of(void* m) {
    std::vector<XfMdiMenuItem> out;
    for (int32_t i = 0, n = xf_mdi_menu_count(m); i < n; ++i) out.push_back(xf_mdi_menu_item(m, i));
    return out;
  }
  std::vector<XfMdiMenuItem> items() const { return items_of(menu); }
  std::vector<std::string> menu_texts() const {
    std::vector<std::string> out;
    for (const auto& i : items()) out.push_back(i.text);
    return out;
  }
  int count_more() const {
    const std::vector<XfMdiMenuItem> all = items();
    return static_cast<int>(
        std::count_if(all.begin(), all.end(), [](const XfMdiMenuItem& i) { return i.id == kFirst + 10; }));
  }

  XfWindow* app = nullptr;
  XfWindow* client = nullptr;
  void* menu = nullptr;
};

TEST_F(Mdi, NewChildIsNormalActiveAndItsClientAreaHearsCreateSizeAndMove) {
  int marker = 0;
  XfWindow* a = xfCreateMdiChild("a", 0, 6, "mdi_area", 10, 20, 200, 150, client, &marker);
  ASSERT_NE(a, nullptr);
  XfWindow* area = a->k.mdi.client;
  EXPECT_EQ(xfMdiQueryState(a), 'N');
  EXPECT_EQ(active(), a);
  EXPECT_EQ(area->id, kPartClient);
  EXPECT_EQ(xfWindowFromId(a, kPartClient), area);
  EXPECT_EQ(xfWindowFromId(a, kPartVsb), a->k.mdi.vsb);
  std::vector<wstest::Seen> got;
  for (const auto& s : seen())
    if (s.window == area) got.push_back(s);
  ASSERT_GE(got.size(), 5u);
  EXPECT_EQ(got[0].number, ZWM_CREATE);
  EXPECT_EQ(got[1].mp1, reinterpret_cast<intptr_t>(&marker)) << "the creation data during create";
  EXPECT_EQ(got[2].number, ZWM_SIZE);
  EXPECT_EQ(got[2].mp2, xf_pack(200, 150));
  EXPECT_EQ(got[3].number, ZWM_MOVE);
  EXPECT_EQ(got[3].mp2, xf_pack(10, 20));
  bool notice = false;
  for (const auto& s : got)
    notice = notice || (s.number == ZWM_MDIACTIVATE && s.mp2 == reinterpret_cast<intptr_t>(area));
  EXPECT_TRUE(notice) << "the activation notice";
  // The client area: (0, T) in the top form, less both bars.
  EXPECT_EQ(rect(area), (XfMdiRect{0, 20, 190 - 18, 140 - 20 - 18}));
}

TEST_F(Mdi, MaximiseRestoreGiveTheGeometryAndTheFrameTitle) {
  XfWindow* a = child("alpha", 30, 40, 220, 160);
  const XfMdiMetrics m = xf_mdi_metrics();
  xfMdiMaximize(a);
  EXPECT_EQ(xfMdiQueryState(a), 'M');
  EXPECT_EQ(rect(a), (XfMdiRect{-m.border, -m.zone(), 600 + 2 * m.border, 400 + 2 * m.border + m.title}));
  XfWindow* area = a->k.mdi.client;
  int32_t p[2] = {0, 0};
  xfMapPoint(area, client, p);
  EXPECT_EQ(p[0], 0) << "only the client area shows";
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(area->width, 600 - m.scroll);
  EXPECT_EQ(app_title(), "App - alpha");
  xfMdiRestore(a, false);
  EXPECT_EQ(xfMdiQueryState(a), 'N');
  EXPECT_EQ(rect(a), (XfMdiRect{30, 40, 220, 160}));
  EXPECT_EQ(app_title(), "App");
  // Maximised from minimised, and restored to the rectangle it had before.
  xfMdiMinimize(a);
  xfMdiMaximize(a);
  EXPECT_EQ(app_title(), "App - alpha");
  xfMdiRestore(a, false);
  EXPECT_EQ(rect(a), (XfMdiRect{30, 40, 220, 160}));
}

TEST_F(Mdi, OnlyOneChildMaximisedAndActivationCarriesTheMaximisedState) {
  XfWindow* a = child("A");
  XfWindow* b = child("B");
  xfMdiMaximize(a);
  ASSERT_EQ(active(), a);
  // B through the Window menu: B is maximised, A restored.
  ASSERT_NE(b->k.mdi.menu_id, 0u);
  EXPECT_EQ(xfMdiClientCommand(client, b->k.mdi.menu_id), 0);
  EXPECT_EQ(xfMdiQueryState(b), 'M');
  EXPECT_EQ(xfMdiQueryState(a), 'N');
  EXPECT_EQ(active(), b);
  EXPECT_EQ(app_title(), "App - B");
  EXPECT_EQ(client->k.mdiclient.maximised, b);
  // The entry of the active child, or an id naming no entry: nothing.
  EXPECT_EQ(xfMdiClientCommand(client, b->k.mdi.menu_id), 1);
  EXPECT_EQ(xfMdiClientCommand(client, kFirst + 7), 1);
  EXPECT_EQ(active(), b);
  // The title of a maximised child follows its changes.
  xfSetWindowText(b, "B2");
  EXPECT_EQ(app_title(), "App - B2");
}

TEST_F(Mdi, MinimisingTheActiveChildActivatesTheNormalChildBelowIt) {
  XfWindow* a = child("A");
  XfWindow* b = child("B");
  XfWindow* c = child("C");
  xfMdiMinimize(b);
  xfMdiActivate(a);
  xfMdiActivate(c);  // stacking: C, A, B(icon)
  xfMdiMinimize(c);
  EXPECT_EQ(active(), a);
  EXPECT_EQ(xfMdiQueryState(c), 'I');
  xfMdiMinimize(a);
  EXPECT_EQ(active(), a) << "only minimised children left: it stays active";
  // A minimised child's system menu grays Size and Minimize only.
  void* sys = xfMdiSysMenu(a);
  ASSERT_EQ(items_of(sys).size(), 9u);
  for (const auto& item : items_of(sys))
    EXPECT_EQ(item.grayed, item.id == kMdiCmdSize || item.id == kMdiCmdMinimise) << item.text;
  xfMdiRestore(a, false);
  for (const auto& item : items_of(sys)) EXPECT_EQ(item.grayed, item.id == kMdiCmdRestore) << item.text;
}

TEST_F(Mdi, IconsGoToFreeCellsFromTheBottomLeft) {
  XfWindow* kids[3] = {child("a"), child("b"), child("c")};
  for (XfWindow* k : kids) xfMdiMinimize(k);
  // 600 x 400: cells at x 10, 80, 150 on the row y = 320.
  EXPECT_EQ(kids[0]->k.mdi.icon_holder->x, 10);
  EXPECT_EQ(kids[1]->k.mdi.icon_holder->x, 80);
  EXPECT_EQ(kids[2]->k.mdi.icon_holder->x, 150);
  for (XfWindow* k : kids) EXPECT_EQ(k->k.mdi.icon_holder->y, 320);
  // Moved elsewhere, then put back in order.
  xfMoveWindowTo(kids[0]->k.mdi.icon_holder, 300, 10);
  xfMdiArrangeIcons(client);
  EXPECT_EQ(kids[0]->k.mdi.icon_holder->x, 10);
  EXPECT_EQ(kids[0]->k.mdi.icon_holder->y, 320);
}

TEST_F(Mdi, NextAndPreviousFollowTheStackingOrder) {
  XfWindow* a = child("A");
  XfWindow* b = child("B");
  XfWindow* c = child("C");  // stacking C, B, A
  xfMdiNext(c);
  EXPECT_EQ(active(), b) << "nothing above the topmost: the one below";
  // Stacking now B, C, A.
  xfMdiPrevious(b);
  EXPECT_EQ(active(), c);
  xfMdiClientCommand(client, kMdiPrevChild);
  EXPECT_EQ(active(), b) << "C, B, A: below C is B";
  (void)a;
}

TEST_F(Mdi, WindowMenuListsNineAndAddsMoreWindowsOnce) {
  std::vector<XfWindow*> kids;
  for (int i = 1; i <= 9; ++i) kids.push_back(child(("w" + std::to_string(i)).c_str()));
  EXPECT_EQ(count_more(), 0);
  ASSERT_EQ(items().size(), 10u);
  EXPECT_EQ(items()[0].id, kFirst - 1);
  EXPECT_EQ(items()[0].text, "-");
  EXPECT_EQ(items()[9].text, "~9  w9");
  EXPECT_EQ(items()[9].id, kFirst + 8);
  kids.push_back(child("w10"));
  EXPECT_EQ(count_more(), 1);
  EXPECT_EQ(kids[8]->k.mdi.menu_id, 0u) << "the ninth lost its entry";
  EXPECT_EQ(kids[8]->id, kFirst + 11);
  EXPECT_EQ(kids[9]->k.mdi.menu_id, kFirst + 8);
  kids.push_back(child("w11"));
  EXPECT_EQ(count_more(), 1) << "once";
  // Only the active child is checked.
  for (const auto& item : items()) EXPECT_EQ(item.checked, item.data == kids[10]) << item.text;
  // Closing one of the nine renumbers and lists the oldest unlisted (w9);
  // w10 is still unlisted, so More stays.
  xfMdiDestroy(kids[1]);
  EXPECT_EQ(count_more(), 1);
  EXPECT_EQ(kids[8]->k.mdi.menu_id, kFirst + 8);
  EXPECT_EQ(items()[2].text, "~2  w3");
  EXPECT_EQ(kids[2]->k.mdi.menu_id, kFirst + 1);
  EXPECT_EQ(kids[2]->id, kFirst + 1);
  // Another close lists w10, the last unlisted: More goes.
  xfMdiDestroy(kids[0]);
  EXPECT_EQ(count_more(), 0);
  for (XfWindow* k : xf_mdi_children()) EXPECT_NE(k->k.mdi.menu_id, 0u);
  // Closing everything leaves no separator.
  while (!xf_mdi_children().empty()) xfMdiDestroy(xf_mdi_children().back());
  EXPECT_TRUE(items().empty());
  EXPECT_EQ(active(), nullptr);
}

TEST_F(Mdi, TitlesWithMarkerCharactersShowLiterally) {
  XfWindow* a = child("R&D.txt");
  XfWindow* b = child("a~b.c");
  EXPECT_EQ(items()[1].text, "~1  R&D.txt");
  EXPECT_EQ(items()[2].text, "~2  a~~b.c");
  xfMdiSetTitle(a, "x~y");
  EXPECT_EQ(items()[1].text, "~1  x~~y");
  (void)b;
}

TEST_F(Mdi, AChildShowingADocumentIsListedByTheApplicationsNameForIt) {
  XfWindow* a = child("a title");
  XfWindow* b = child("b title");
  mdifake::mdi.names[b] = "/home/../src/b.c";
  xfMdiSetTitle(b, "b title *");
  EXPECT_EQ(menu_texts(), (std::vector<std::string>{"-", "~1  a title", "~2  /home/../src/b.c"}))
      << "a title change shows the document's name; without one the title";
  mdifake::mdi.names[a] = "~a.c";
  XfWindow* c = child("c title");
  mdifake::mdi.names[c] = "c.c";
  xfMdiSetTitle(a, "a title *");
  EXPECT_EQ(menu_texts(), (std::vector<std::string>{"-", "~1  ~~a.c", "~2  /home/../src/b.c", "~3  c title"}))
      << "a new child is named when it is made";
}

TEST_F(Mdi, DestroyingTheLastChildResetsTheTitleAndActivatesAnotherOtherwise) {
  XfWindow* a = child("A");
  XfWindow* b = child("B");
  xfMdiMaximize(b);
  EXPECT_EQ(app_title(), "App - B");
  WinDestroyWindow(b);
  EXPECT_EQ(active(), a);
  EXPECT_EQ(xfMdiQueryState(a), 'M') << "the next child takes the maximised state on";
  EXPECT_EQ(app_title(), "App - A");
  // Close through the system menu: the client area's close path destroys it.
  xfSendMsg(a->k.mdi.client, ZWM_SYSCOMMAND, kMdiCmdClose, 0);
  EXPECT_TRUE(xf_mdi_children().empty());
  EXPECT_EQ(active(), nullptr);
  EXPECT_EQ(client->k.mdiclient.maximised, nullptr);
  EXPECT_EQ(app_title(), "App");
}

TEST_F(Mdi, ChildrenDestroyedWithTheirClientLeaveNothingBehind) {
  child("A");
  child("B");
  int32_t before = xf_live_window_count();
  xfDestroyWindow(client);
  EXPECT_TRUE(xf_mdi_children().empty());
  EXPECT_LT(xf_live_window_count(), before);
  EXPECT_EQ(app->k.frame.mdi_client, nullptr);
}

TEST_F(Mdi, TileGivesColumnsOfTwoAndThree) {
  XfWindow* kids[5];
  for (auto& k : kids) k = child("t");
  xfMdiTile(client, true);
  // Collected from the topmost: the last made gets the first rectangle.
  EXPECT_EQ(rect(kids[4]), (XfMdiRect{0, 0, 300, 200}));
  EXPECT_EQ(rect(kids[3]), (XfMdiRect{0, 200, 300, 200}));
  EXPECT_EQ(rect(kids[2]), (XfMdiRect{300, 0, 300, 134}));
  EXPECT_EQ(rect(kids[1]), (XfMdiRect{300, 134, 300, 133}));
  EXPECT_EQ(rect(kids[0]), (XfMdiRect{300, 267, 300, 133}));
  // With an icon the bottom 80 pixels stay free.
  xfMdiMinimize(kids[0]);
  xfMdiTile(client, false);
  for (XfWindow* k : kids) {
    if (xfMdiQueryState(k) == 'N') {
      EXPECT_LE(k->y + k->height, 320);
    }
  }
}

// Twenty children in a 300-pixel client: every frame is raised to the
// smallest frame and no window of any child gets a size below 1.
TEST_F(Mdi, TilingTwentyChildrenInASmallClientKeepsEveryPartPositive) {
  xfSetWindowGeometry(client, 0, 0, 300, 300);
  for (int i = 0; i < 20; ++i) child("x");
  xfMdiTile(client, true);
  xfMdiTile(client, false);
  const XfMdiMetrics m = xf_mdi_metrics();
  for (XfWindow* k : xf_mdi_children()) {
    EXPECT_GE(k->width, m.min_width());
    EXPECT_GE(k->height, m.min_height());
    const XfMdiChildWords& c = k->k.mdi;
    for (XfWindow* part : {c.top_form, c.sysmenu, c.min_button, c.max_button, c.title, c.vsb, c.hsb, c.client}) {
      EXPECT_GE(part->width, 1);
      EXPECT_GE(part->height, 1);
    }
  }
}

TEST_F(Mdi, CascadeStepsByZFromTheLowestChild) {
  XfWindow* kids[3] = {child("a"), child("b"), child("c")};
  xfMdiCascade(client);
  const int32_t z = xf_mdi_metrics().zone();
  // 600 x 400: frames 405 x 270; the lowest (a) at 0, the topmost (c) at 2Z.
  EXPECT_EQ(rect(kids[0]), (XfMdiRect{0, 0, 405, 270}));
  EXPECT_EQ(rect(kids[1]), (XfMdiRect{z, z, 405, 270}));
  EXPECT_EQ(rect(kids[2]), (XfMdiRect{2 * z, 2 * z, 405, 270}));
  EXPECT_EQ(client->first_child, kids[2]) << "the topmost ends on top";
}

TEST_F(Mdi, SetWindowPosMovesSizesAndChangesState) {
  XfWindow* a = child("A");
  seen().clear();
  xfSetWindowPos(a, nullptr, 50, 60, 300, 200, 0);
  EXPECT_EQ(rect(a), (XfMdiRect{50, 60, 300, 200}));
  bool sized = false, moved = false;
  for (const auto& s : seen()) {
    sized = sized || (s.number == ZWM_SIZE && s.window == a->k.mdi.client);
    moved = moved || (s.number == ZWM_MOVE && s.mp2 == xf_pack(50, 60));
  }
  EXPECT_TRUE(sized);
  EXPECT_TRUE(moved);
  // 0x7FFFFFFF leaves a value; all four zero change nothing.
  xfSetWindowPos(a, nullptr, kDefault, 70, kDefault, kDefault, 0);
  EXPECT_EQ(rect(a), (XfMdiRect{50, 70, 300, 200}));
  xfSetWindowPos(a, nullptr, 0, 0, 0, 0, 0);
  EXPECT_EQ(rect(a), (XfMdiRect{50, 70, 300, 200}));
  WinSetWindowState(a, 'M');
  EXPECT_EQ(WinQueryWindowState(a), 'M');
  WinSetWindowState(a, 'I');
  EXPECT_EQ(WinQueryWindowState(a), 'I');
  WinSetWindowState(a, 'N');
  EXPECT_EQ(WinQueryWindowState(a), 'N');
  EXPECT_EQ(rect(a), (XfMdiRect{50, 70, 300, 200}));
}

TEST_F(Mdi, ApiPlacesDefaultChildrenOnACascadeThatStartsAgain) {
  xfSetWindowGeometry(client, 0, 0, 1000, 800);
  constexpr int32_t kDefaultPlace = static_cast<int32_t>(0x80000000u);
  std::vector<XfWindow*> kids;
  for (int i = 0; i < 4; ++i)
    kids.push_back(WinCreateMDIChild(client, 0, 0, "mdi_area", "d", kDefaultPlace, 0, 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(rect(kids[3]), (XfMdiRect{75, 75, 675, 540}));
  // A narrow client: the next child would pass the right edge.
  xfSetWindowGeometry(client, 0, 0, 300, 800);  // 202 + 100 > 300
  XfWindow* e = WinCreateMDIChild(client, 0, 0, "mdi_area", "e", kDefaultPlace, 0, 0, 0, 0, nullptr, nullptr);
  EXPECT_EQ(e->x, 0);
  EXPECT_EQ(e->y, 0);
  // Style 0x1000 shows it maximised.
  XfWindow* f = WinCreateMDIChild(client, 0x1000, 0, "mdi_area", "f", 5, 5, 100, 100, 0, nullptr, nullptr);
  EXPECT_EQ(WinQueryWindowState(f), 'M');
  EXPECT_EQ(app_title(), "App - f");
}

TEST_F(Mdi, ScrollBarsComeAndGoWithTheClientAreaResized) {
  XfWindow* a = child("A", 0, 0, 200, 150, 0);
  XfWindow* area = a->k.mdi.client;
  EXPECT_EQ(a->k.mdi.vsb, nullptr);
  EXPECT_EQ(area->width, 190);
  xfMdiSetScrollBars(a, true, false);
  ASSERT_NE(a->k.mdi.vsb, nullptr);
  EXPECT_EQ(a->k.mdi.vsb->id, kPartVsb);
  EXPECT_EQ(area->width, 172);
  EXPECT_EQ(area->height, 120);
  xfMdiSetScrollBars(a, false, true);
  EXPECT_EQ(a->k.mdi.vsb->shown, 2);
  EXPECT_EQ(area->width, 190);
  EXPECT_EQ(area->height, 102);
}

}  // namespace
