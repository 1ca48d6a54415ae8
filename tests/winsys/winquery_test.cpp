// Window queries: words with their bounds, reserved ids, parts and
// relations, system values and mnemonic texts.
#include "winsys_fixture.h"

#include <cstring>
#include <string>

#include "winsys/classes.h"
#include "winsys/paint.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xwindows.h"

namespace wstest {
namespace {

using Query = WinsysTest;

// A window with a word block of `bytes` (a class of that size).
XfWindow* with_words(uint32_t bytes) {
  std::string name = "zx_words_" + std::to_string(bytes);
  XfClass* c = nullptr;
  if (xfFindClass(name.c_str(), &c) != 0) {
    xfRegisterClass(name.c_str(), recording_proc, 0, bytes, nullptr);
    xfFindClass(name.c_str(), &c);
  }
  XfWindow* w = xfCreateChildWindow(nullptr, 0, 0, 10, 10, 0, 'u');
  xfSetWindowClass(XFTYPE_ANY, w, nullptr, c);
  return w;
}

TEST_F(Query, NewWordBlocksAreZeroAndAtLeast64Bytes) {
  for (uint32_t bytes : {0u, 8u, 64u, 100u}) {
    XfWindow* w = with_words(bytes);
    EXPECT_EQ(w->words_size, bytes > 64 ? bytes : 64u);
    for (uint32_t i = 0; i < w->words_size; ++i) ASSERT_EQ(w->words[i], 0) << bytes << " " << i;
    // Dirty it, free it, and the next block handed out is clean again.
    std::memset(w->words, 0xAB, w->words_size);
    xfDestroyWindow(w);
    XfWindow* again = with_words(bytes);
    for (uint32_t i = 0; i < again->words_size; ++i) ASSERT_EQ(again->words[i], 0) << bytes << " " << i;
    xfDestroyWindow(again);
  }
}

TEST_F(Query, WordOffsetsAreCheckedAgainstTheBlock) {
  XfWindow* w = with_words(64);
  constexpr auto kWord = static_cast<uint32_t>(sizeof(intptr_t));
  struct Case {
    uint32_t offset;
    bool fits32, fits16;
  };
  const Case cases[] = {
      {0, true, true},    {64 - kWord, true, true}, {64 - kWord + 1, false, true}, {62, false, true},
      {63, false, false}, {64, false, false},       {0x7FFFFFF0, false, false},    {0xFFFFFFFE, false, false},
  };
  for (const Case& c : cases) {
    xfSetWindowULong(w, c.offset, 0x1122334455667788LL);
    EXPECT_EQ(xfQueryWindowULong(w, c.offset), c.fits32 ? 0x1122334455667788LL : 0) << c.offset;
    xfSetWindowUShort(w, c.offset, 0xBEEF);
    EXPECT_EQ(xfQueryWindowUShort(w, c.offset), c.fits16 ? 0xBEEFu : 0u) << c.offset;
  }
  // A pointer survives a window word.
  xfSetWindowULong(w, 8, reinterpret_cast<intptr_t>(w));
  EXPECT_EQ(reinterpret_cast<XfWindow*>(xfQueryWindowULong(w, 8)), w);
}

TEST_F(Query, SixteenBitSetStoresTheLowHalfAndReservedIdsReachFields) {
  XfWindow* w = with_words(64);
  xfSetWindowUShort(w, 6, 0x12345678);
  EXPECT_EQ(xfQueryWindowUShort(w, 6), 0x5678u);
  EXPECT_EQ(w->words[6], 0x78);
  EXPECT_EQ(w->words[7], 0x56);
  EXPECT_EQ(w->words[8], 0) << "nothing written past the 16 bits";

  w->id = 0xFF06;
  EXPECT_EQ(xfQueryWindowUShort(w, kWordId), 0xFF06u);
  EXPECT_EQ(xfQueryWindowULong(w, kWordId), 0xFF06) << "the 32-bit call reads the field whole";
  xfSetWindowUShort(w, kWordRestoreX, static_cast<uint32_t>(-1));
  EXPECT_EQ(xfQueryWindowUShort(w, kWordRestoreX), 0xFFFFu);
  xfSetWindowULong(w, kWordStyle, 0x800008);
  EXPECT_EQ(xfQueryWindowULong(w, kWordStyle), 0x800008);
  xfSetWindowULong(w, kWordUser, -5);
  EXPECT_EQ(xfQueryWindowULong(w, kWordUser), -5);
  EXPECT_EQ(xfQueryWindowULong(w, kWordProc), reinterpret_cast<intptr_t>(recording_proc));
  EXPECT_EQ(xfQueryWindowULong(nullptr, 0), 0);
  xfSetWindowULong(nullptr, 0, 1);  // ignored, no crash
}

TEST_F(Query, PartsAndRelations) {
  XfWindow* client = nullptr;
  XfWindow* f = xfCreateFrame(nullptr, 0, kFrameVertScroll, nullptr, "F", nullptr, nullptr, 1, &client, 0, 0, 100, 100);
  XfWindow* child = xfCreateWindow(client, nullptr, nullptr, 0, 0, 0, 5, 5, nullptr, nullptr, 0xFF06);
  EXPECT_EQ(xfWindowFromId(f, kPartClient), client);
  EXPECT_EQ(xfWindowFromId(client, kPartClient), child) << "not a frame: a child with that id";
  EXPECT_EQ(xfWindowFromId(f, 0xFF00), nullptr);
  EXPECT_EQ(xfWindowFromId(f, kPartMenu), nullptr) << "no menu bar";
  EXPECT_EQ(xfQueryWindow(f, 1), f) << "a top-level frame's parent is the main window";
  EXPECT_EQ(xfQueryWindow(client, 3), child);
  EXPECT_EQ(xfQueryWindow(nullptr, 1), nullptr);
  EXPECT_TRUE(xfIsInside(f, child));
  EXPECT_FALSE(xfIsInside(child, f));
  EXPECT_EQ(xfFrameOfWindow(child), f);
  xfSetZOrder(child, child);  // itself: nothing
  EXPECT_EQ(client->first_child, child);
}

TEST_F(Query, SystemValues) {
  struct Case {
    int32_t id, value;
  };
  for (Case c : {Case{2048, 25}, Case{2051, 500}, Case{2052, 1024}, Case{2053, 768}, Case{512, 18}, Case{1024, 18},
                 Case{2061, 2}, Case{1, 0}, Case{0x20, 0}})
    EXPECT_EQ(xfQuerySysValue(nullptr, c.id), c.value) << c.id;
}

TEST_F(Query, MnemonicTextsSplitAsSpecified) {
  struct Case {
    const char* in;
    const char* text;
    char mnemonic;
    const char* accel;
  };
  const Case cases[] = {
      {"~F~ile", "File", 'F', ""},
      {"a~~b", "a~b", 0, ""},
      {"~~", "~", 0, ""},
      {"Save~", "Save", 0, ""},
      {"~Open\tCtrl+O", "Open", 'O', "Ctrl+O"},
      {"E~xit~\tAlt+F4", "Exit", 'x', "Alt+F4"},
      {"", "", 0, ""},
  };
  for (const Case& c : cases) {
    char out[64], accel[64];
    char mnemonic = 'z';
    int32_t len = -1, alen = -1;
    xfSplitMnemonicText(c.in, out, &mnemonic, accel, &len, &alen, sizeof out, sizeof accel);
    EXPECT_STREQ(out, c.text) << c.in;
    EXPECT_EQ(mnemonic, c.mnemonic) << c.in;
    EXPECT_STREQ(accel, c.accel) << c.in;
    EXPECT_EQ(len, static_cast<int32_t>(std::strlen(c.text)));
    EXPECT_EQ(alen, static_cast<int32_t>(std::strlen(c.accel)));
  }
  char small[4];
  char m = 0;
  xfSplitMnemonicText("~abcdefgh", small, &m, nullptr, nullptr, nullptr, sizeof small, 0);
  EXPECT_STREQ(small, "abc") << "cut at the capacity, never past it";
  char strip[16];
  xfStripMnemonic("a~b\tc~", strip, &m, -1, sizeof strip);
  EXPECT_STREQ(strip, "ab\tc");
  xfStripMnemonic("x~yz", strip, &m, 2, sizeof strip);
  EXPECT_STREQ(strip, "x") << "a tilde in the last counted position is dropped";
}

TEST_F(Query, ScrollNotificationsGoToTheFrameClient) {
  XfWindow* client = nullptr;
  XfWindow* f = xfCreateFrame(nullptr, 0, kFrameVertScroll | kFrameHorzScroll, nullptr, "F", nullptr, nullptr, 1,
                              &client, 0, 0, 100, 100);
  client->proc = recording_proc;
  xfScrollNotify(xfWindowFromId(f, kPartVsb), nullptr, 7, 16);
  xfScrollNotify(xfWindowFromId(f, kPartHsb), nullptr, 3, 1);
  ASSERT_EQ(seen().size(), 2u);
  EXPECT_EQ(seen()[0].number, ZWM_VSCROLL);
  EXPECT_EQ(seen()[0].mp1, static_cast<intptr_t>(kPartVsb));
  EXPECT_EQ(seen()[0].mp2, xf_pack(7, 16));
  EXPECT_EQ(seen()[1].number, ZWM_HSCROLL);
  EXPECT_EQ(seen()[1].mp2, xf_pack(3, 1));
}

}  // namespace
}  // namespace wstest
