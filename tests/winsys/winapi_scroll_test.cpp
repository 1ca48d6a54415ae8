// The window API's scroll calls through real bar windows (no server): the
// selector, the packing of the set calls, ScrollInfo's range rule, missing
// bars; and the mnemonic conversion with its buffer limit.
#include "winsys_fixture.h"

#include <string>

#include "winsys/winapi_scroll.h"
#include "winsys/window.h"

namespace wstest {
namespace {

using ScrollApi = WinsysTest;

TEST_F(ScrollApi, SetAndQueryThroughAControl) {
  XfWindow* bar = xfCreateScrollBar(nullptr, nullptr, 0x800004, nullptr, 9, 0, 0, 200, 18);
  ASSERT_EQ(bar->kind, static_cast<uint32_t>(XFTYPE_HSB));
  WinSetScrollRange(bar, 10, 300, 0);
  WinSetScrollPage(bar, 40, 300, 0);
  WinSetScrollPos(bar, 1000, 0);
  int32_t lo = -1, hi = -1;
  WinQueryScrollRange(bar, &lo, &hi, 0);
  EXPECT_EQ(lo, 10);
  EXPECT_EQ(hi, 260) << "the range answers maximum - page";
  EXPECT_EQ(WinQueryScrollPos(bar, 0), 260);
}

TEST_F(ScrollApi, ScrollInfoRules) {
  XfWindow* bar = xfCreateScrollBar(nullptr, nullptr, 0x800002, nullptr, 9, 0, 0, 18, 200);
  struct Case {
    const char* what;
    ScrollInfo info;
    int32_t min, max, page, pos;
  } cases[] = {
      {"empty range kept non-empty", {24, 0x81, 10, 10, 0, 0}, 10, 11, 1, 10},
      {"range plus page", {24, 0x7, 0, 100, 20, 500}, 0, 120, 20, 100},
      {"empty range allowed without 0x80", {24, 0x1, 5, 5, 0, 0}, 5, 5, 0, 5},
      {"position only", {24, 0x4, 0, 0, 0, 3}, 5, 5, 0, 5},
  };
  for (const Case& c : cases) {
    WinSetScrollInfo(bar, &c.info, 0);
    EXPECT_EQ(bar->k.scroll.min, c.min) << c.what;
    EXPECT_EQ(bar->k.scroll.max, c.max) << c.what;
    EXPECT_EQ(bar->k.scroll.page, c.page) << c.what;
    EXPECT_EQ(bar->k.scroll.pos, c.pos) << c.what;
  }
}

TEST_F(ScrollApi, MissingBarsDoNothingAndQueriesAnswerZero) {
  XfWindow* plain = window();
  WinSetScrollRange(plain, 1, 2, 'V');
  WinSetScrollPos(nullptr, 4, 0);
  int32_t lo = 7, hi = 7;
  WinQueryScrollRange(plain, &lo, &hi, 'H');
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  EXPECT_EQ(WinQueryScrollPos(plain, 0), 0);
  EXPECT_EQ(WinScrollMsgSource(nullptr, nullptr, plain, 0xFF02), nullptr);
}

TEST(MnemonicText, ConvertsAmpersandsAndTildes) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"Save &As", "Save ~As"}, {"A&&B", "A&B"}, {"x~y", "x~~y"}, {"&", "~"}, {"", ""}, {"&&&x", "&~x"}};
  for (const Case& c : cases) EXPECT_STREQ(WinMnemonicText(c.in), c.out) << c.in;
  EXPECT_STREQ(WinMnemonicText(nullptr), "");
  EXPECT_STREQ(WinMnemonicTextN("a&b&c", 3), "a~b") << "reads only the given length";
}

TEST(MnemonicText, CutsAt510Characters) {
  std::string tildes(600, '~');
  std::string out = WinMnemonicText(tildes.c_str());
  EXPECT_EQ(out, std::string(510, '~'));
  std::string mixed = std::string(509, 'a') + "~z";
  EXPECT_EQ(std::string(WinMnemonicText(mixed.c_str())), std::string(509, 'a') + "~");
}

}  // namespace
}  // namespace wstest
