// The window API without a server: class word blocks and the common offset,
// window longs through the standard procedure's sub-classing, icon and
// restore words, rectangles, and the mouse routing by hit code.
#include "winsys_fixture.h"

#include "winsys/classes.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace wstest {
namespace {

using WinApi = WinsysTest;

std::vector<std::pair<uint32_t, intptr_t>> g_client_log;
intptr_t g_hit_answer = 0;  // 0: the default answer
intptr_t g_activate_answer = 1;

intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  if (n == ZWM_HITTEST && g_hit_answer) return g_hit_answer;
  if (n == ZWM_MOUSEACTIVATE) return g_activate_answer;
  if (n >= ZWM_MOUSEMOVE && n <= ZWM_MBUTTONDBLCLK) g_client_log.emplace_back(n, mp1);
  return WinDefWindowProc(w, n, mp1, mp2);
}
intptr_t other_proc(XfWindow*, uint32_t, intptr_t, intptr_t) { return 42; }

TEST_F(WinApi, ClassBlocksCoverTheSavedProcedureAndTheFormsSlots) {
  XfClassInfo builtin{};
  ASSERT_TRUE(xfQueryClassInfo(kButtonClass, &builtin));
  uint32_t common = WinCommonOffset();
  EXPECT_GE(common, builtin.word_bytes + 8) << "clear of every built-in word";
  EXPECT_EQ(common % kWinWordSlot, 0u);
  WinRegisterClass("Tiny", client_proc, 0, 0);
  WinClassInfo info{};
  ASSERT_TRUE(WinQueryClassInfo("Tiny", &info));
  EXPECT_EQ(info.word_bytes, WinClassWordBytes()) << "the asked-for size 0 is ignored";
  EXPECT_EQ(info.style & 0x80000, 0x80000);
  for (int slot = 0; slot < kFormsWordSlots; ++slot)
    EXPECT_LE(WinFormsWordOffset(slot) + kWinWordSlot, info.word_bytes) << "forms slot " << slot;
  XfWindow* w = WinCreateStdWindow(kCreateChild, 0, "Tiny", "", 0, 0, 0, 10, 10, nullptr, 3, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  // A word written in the last forms slot reads back: it lies inside the block.
  xfSetWindowULong(w, WinFormsWordOffset(kFormsWordSlots - 1), 0x1234567);
  EXPECT_EQ(xfQueryWindowULong(w, WinFormsWordOffset(kFormsWordSlots - 1)), 0x1234567);
}

TEST_F(WinApi, WindowLongZeroIsTheProcedureBehindTheStandardOne) {
  WinRegisterClass("Client", client_proc, 0, 0);
  XfWindow* w = WinCreateStdWindow(kCreateChild, 0, "Client", "", 0, 0, 0, 10, 10, nullptr, 3, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->proc, WinStdWindowProc);
  EXPECT_EQ(WinQueryWindowLong(w, 0), reinterpret_cast<intptr_t>(client_proc));
  EXPECT_EQ(WinQueryWindowLong(w, 2), reinterpret_cast<intptr_t>(WinStdWindowProc));
  WinSetWindowLong(w, 0, reinterpret_cast<intptr_t>(other_proc));
  EXPECT_EQ(w->proc, WinStdWindowProc) << "the standard procedure stays installed";
  EXPECT_EQ(WinSendMsg(w, ZWM_COMMAND, 0, 0), 42) << "and passes to the new inner one";
  WinSetWindowLong(w, 1, 0x12345);
  EXPECT_EQ(WinQueryWindowLong(w, 1), 0x2345);
  EXPECT_EQ(WinQueryWindowLong(w, 9), 0);
  XfWindow* plain = window();
  WinSetWindowLong(plain, 0, reinterpret_cast<intptr_t>(other_proc));
  EXPECT_EQ(plain->proc, other_proc) << "without the standard procedure index 0 installs";
}

TEST_F(WinApi, IconAndRestoreWords) {
  XfWindow* w = window(nullptr, XFTYPE_STDFRAME);
  struct Case {
    int32_t x, y, want_x, want_y;
  } cases[] = {{-1, 50, 65535, -1}, {10, -1, 10, 0}, {30, 40, 30, 40}};
  for (const Case& c : cases) {
    WinSetIconPos(w, c.x, c.y);
    int32_t x = 0, y = 0;
    WinQueryIconPos(w, &x, &y);
    EXPECT_EQ(x, c.want_x) << c.x << "," << c.y;
    EXPECT_EQ(y, c.want_y) << c.x << "," << c.y;
  }
  WinSetRestoreRect(w, -5, 7, 100, 60);
  WinRect r{};
  WinQueryRestoreRect(w, &r);
  EXPECT_EQ(r.left, -5);
  EXPECT_EQ(r.top, 7);
  EXPECT_EQ(r.right, 95);
  EXPECT_EQ(r.bottom, 67);
}

TEST_F(WinApi, RectanglesAndValues) {
  WinRect r{10, 20, 30, 40};
  struct Case {
    int32_t x, y, in;
  } cases[] = {{10, 20, 1}, {29, 39, 1}, {30, 25, 0}, {15, 40, 0}, {9, 25, 0}};
  for (const Case& c : cases) EXPECT_EQ(WinPtInRect(&r, c.x, c.y), c.in) << c.x << "," << c.y;
  XfWindow* w = window();
  WinRect u{1, 1, 1, 1};
  EXPECT_EQ(WinQueryUpdateRect(w, &u), 0);
  EXPECT_EQ(u.left + u.top + u.right + u.bottom, 0);
  WinRect part{2, 3, 12, 8};
  WinInvalidateRect(w, &part);
  WinQueryUpdateRect(w, &u);
  EXPECT_EQ(u.left, 2);
  EXPECT_EQ(u.top, 3);
  EXPECT_EQ(u.right, 12);
  EXPECT_EQ(u.bottom, 8);
  EXPECT_EQ(WinQuerySysValue(0x20), 0);
  EXPECT_EQ(WinQuerySysValue(1), 0);
  EXPECT_EQ(WinQuerySysValue(0x803), 500);
}

TEST_F(WinApi, MouseFollowsTheClientsHitAnswer) {
  WinRegisterClass("Routed", client_proc, 0, 0);
  XfWindow* client =
      WinCreateStdWindow(kCreateChild, 0, "Routed", "", 0, 0, 0, 40, 40, nullptr, kPartClient, nullptr, nullptr);
  ASSERT_NE(client, nullptr);
  g_client_log.clear();
  g_hit_answer = 0;
  g_activate_answer = 1;
  WinSendMsg(client, ZWM_LBUTTONDOWN, xf_pack(3, 4), 0);
  ASSERT_FALSE(g_client_log.empty()) << "hit code 1 by default reaches the client";
  EXPECT_EQ(g_client_log.back().first, ZWM_LBUTTONDOWN);
  g_client_log.clear();
  g_activate_answer = 4;
  WinSendMsg(client, ZWM_LBUTTONDOWN, 0, 0);
  EXPECT_TRUE(g_client_log.empty()) << "activation answer 4 drops the press";
  g_activate_answer = 3;
  WinSendMsg(client, ZWM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(g_client_log.size(), 1u) << "3 delivers without moving the focus";
  g_client_log.clear();
  for (intptr_t hit : {intptr_t{-2}, intptr_t{-7}, intptr_t{99}}) {
    g_hit_answer = hit;
    WinSendMsg(client, ZWM_LBUTTONUP, 0, 0);
  }
  EXPECT_TRUE(g_client_log.empty()) << "negative or unknown hit codes drop the message";
  g_hit_answer = 0;
  client->enabled = false;
  WinSendMsg(client, ZWM_LBUTTONDOWN, 0, 0);
  EXPECT_TRUE(g_client_log.empty()) << "a disabled client gets no mouse input";
}

}  // namespace
}  // namespace wstest
