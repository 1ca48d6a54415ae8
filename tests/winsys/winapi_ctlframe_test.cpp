// Control frames of the window API without a server: the part rectangles
// for each border and bar combination, creation through a frame class with
// the creation data reaching the client, bars coming and going, scroll
// messages passed to the client.
#include <gtest/gtest.h>

#include <tuple>

#include "tests/winsys/winsys_fixture.h"
#include "winsys/classes.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/winapi_ctlframe.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace {

using wstest::seen;

std::tuple<int32_t, int32_t, int32_t, int32_t> ltrb(const WinRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Scroll bars 18, plain border 1, sunken border 2.
TEST(CtlFrameRects, BordersAndBars) {
  struct Case {
    uint32_t style;
    WinRect client, vertical, horizontal;
  } cases[] = {
      {0, {0, 0, 200, 100}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {0x2, {1, 1, 199, 99}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {0x2 | 0x3000, {1, 1, 199, 99}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {0x4, {2, 2, 198, 98}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {0x8, {2, 2, 198, 98}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {0x1000, {0, 0, 200, 82}, {0, 0, 0, 0}, {0, 82, 200, 100}},
      {0x2000, {0, 0, 182, 100}, {182, 0, 200, 100}, {0, 0, 0, 0}},
      {0x3000, {0, 0, 182, 82}, {182, 0, 200, 82}, {0, 82, 182, 100}},
      {0x4 | 0x3000, {2, 2, 182, 82}, {182, 0, 200, 82}, {0, 82, 182, 100}},
      {0x4 | 0x2000, {2, 2, 182, 98}, {182, 0, 200, 100}, {0, 0, 0, 0}},
  };
  xf_reset();
  for (const auto& c : cases) {
    WinRect rect{0, 0, 200, 100}, client{}, v{}, h{};
    WinCtlFrameRects(&rect, c.style, &client, &v, &h);
    EXPECT_EQ(ltrb(client), ltrb(c.client)) << std::hex << c.style;
    EXPECT_EQ(ltrb(v), ltrb(c.vertical)) << std::hex << c.style;
    EXPECT_EQ(ltrb(h), ltrb(c.horizontal)) << std::hex << c.style;
  }
}

intptr_t control_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  seen().push_back({w, n, mp1, mp2});
  if (n == ZWM_CREATE) seen().push_back({w, 0xDA7A, reinterpret_cast<intptr_t>(WinCreateParams()), 0});
  return 0;
}

class CtlFrame : public wstest::WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    WinRegisterClass("zx_control", control_proc, 0, 0);
    parent = window();
    xfSetWindowGeometry(parent, 0, 0, 400, 300);
  }
  XfWindow* make(uint32_t style) {
    return WinCreateStdWindow(kCreateChild, 0, "zx_control", "", kStyleVisible | style, 10, 20, 200, 100, parent, 7,
                              &data, "ctlframe");
  }
  XfWindow* parent = nullptr;
  int data = 0;
};

TEST_F(CtlFrame, FrameClassMakesTheBarsAndTheClientWithTheCallersData) {
  XfWindow* f = make(0x4 | 0x3000);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->kind, XFTYPE_CTLFRAME);
  EXPECT_EQ(f->id, 7u);
  XfWindow* client = WinQueryFrameClient(f);
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->id, kPartClient);
  EXPECT_EQ(client->kind, XFTYPE_CLIENTAREA);
  EXPECT_EQ(client->x, 2);
  EXPECT_EQ(client->y, 2);
  EXPECT_EQ(client->width, 180);
  EXPECT_EQ(client->height, 80);
  XfWindow* v = WinQueryFramePart(f, kPartVsb);
  XfWindow* h = WinQueryFramePart(f, kPartHsb);
  ASSERT_NE(v, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(v->kind, XFTYPE_VSB);
  EXPECT_EQ(h->kind, XFTYPE_HSB);
  EXPECT_EQ(v->x, 182);
  EXPECT_EQ(v->height, 82);
  EXPECT_EQ(h->y, 82);
  EXPECT_EQ(h->width, 182);
  // The client saw the caller's data during its create.
  bool got = false;
  for (const auto& s : seen())
    got = got || (s.window == client && s.number == 0xDA7A && s.mp1 == reinterpret_cast<intptr_t>(&data));
  EXPECT_TRUE(got);
  EXPECT_EQ(WinCreateParams(), nullptr) << "nothing left pointing at the creation record";
}

TEST_F(CtlFrame, BarsComeAndGoAndTheClientTakesTheRest) {
  XfWindow* f = make(0x3000);
  XfWindow* client = WinQueryFrameClient(f);
  int32_t before = xf_live_window_count();
  EXPECT_EQ(WinSetFrameScrollBars(f, 0), 1);
  EXPECT_EQ(WinQueryFramePart(f, kPartVsb), nullptr);
  EXPECT_EQ(WinQueryFramePart(f, kPartHsb), nullptr);
  EXPECT_EQ(xf_live_window_count(), before - 2);
  EXPECT_EQ(client->width, 200);
  EXPECT_EQ(client->height, 100);
  WinSetFrameScrollBars(f, 0x2000);
  ASSERT_NE(WinQueryFramePart(f, kPartVsb), nullptr);
  EXPECT_EQ(client->width, 182);
  // A new size lays the parts out again.
  xfMoveSizeWindow(f, 10, 20, 300, 150, nullptr);
  EXPECT_EQ(WinQueryFramePart(f, kPartVsb)->x, 282);
  EXPECT_EQ(client->height, 150);
}

TEST_F(CtlFrame, ScrollMessagesGoToTheClient) {
  XfWindow* f = make(0x2000);
  XfWindow* client = WinQueryFrameClient(f);
  seen().clear();
  xfSendMsg(f, ZWM_VSCROLL, kPartVsb, 3);
  ASSERT_FALSE(seen().empty());
  EXPECT_EQ(seen().back().window, client);
  EXPECT_EQ(seen().back().number, ZWM_VSCROLL);
  EXPECT_EQ(seen().back().mp2, 3);
}

TEST_F(CtlFrame, GroupBoxesMadeDirectlyKeepTheirOwnProcedure) {
  WinRegisterBuiltinClasses();
  XfWindow* g = xfCreateWindow(parent, kStaticClass, "Group", kStyleVisible, 0, 0, 100, 50, parent, nullptr, 3);
  EXPECT_EQ(g->kind, XFTYPE_GROUPBOX);
  EXPECT_EQ(g->proc, xfStaticProc);
}

}  // namespace
