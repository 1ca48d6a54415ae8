// The keyboard without a server: the keymap file and its table, the spare
// keycode rewrite on a mapping array, and the Alt mask's AltGr rule.
#include "winsys_fixture.h"

#include <X11/keysym.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/special_files.h"
#include "tests/temp_dir.h"
#include "winsys/keyboard.h"

namespace wstest {
namespace {

class Keymap : public WinsysTest {
 protected:
  // Writes the lines to a file of this test and parses it.
  bool parse(const std::string& text, std::string* printed = nullptr) {
    path = ::testing::TempDir() + "keymap_" + std::to_string(getpid()) + ".txt";
    std::ofstream(path) << text;
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    bool ok = xf_parse_keymap_file(path.c_str(), &table, out);
    if (ok) xf_print_keymap_table(&table, out);
    std::fclose(out);
    if (printed) *printed = std::string(buf, len);
    std::free(buf);
    std::remove(path.c_str());
    return ok;
  }
  std::string path;
  XfKeymapTable table{};
};

TEST_F(Keymap, PrefixesFillTheirColumnsAndRaiseSimulation) {
  ASSERT_TRUE(parse("TKP_Home=79\nUKP_Home=79\nKP_5=84\nUKP_Up=80\nq=24 1\n"));
  EXPECT_EQ(table.keys[79][0], static_cast<KeySym>(XK_Home));
  EXPECT_EQ(table.keys[79][1], static_cast<KeySym>(XK_KP_Home));
  EXPECT_EQ(table.keys[84][0], static_cast<KeySym>(XK_KP_5));
  EXPECT_EQ(table.keys[84][1], static_cast<KeySym>(XK_KP_5));
  EXPECT_EQ(table.keys[80][0], static_cast<KeySym>(XK_KP_Up)) << "only a keypad line: both columns";
  EXPECT_EQ(table.keys[80][1], static_cast<KeySym>(XK_KP_Up));
  EXPECT_EQ(table.keys[24][0], static_cast<KeySym>('q')) << "a second number is read and ignored";
  EXPECT_TRUE(table.loaded);
  EXPECT_TRUE(table.simulate_numlock);
}

TEST_F(Keymap, ANumLockMaskAnywhereStopsSimulation) {
  ASSERT_TRUE(parse("TKP_Home=79\nUKP_Home=79\nNumLockModifierMask=16\n"));
  EXPECT_EQ(table.numlock_mask, 16u);
  EXPECT_FALSE(table.simulate_numlock);
  ASSERT_TRUE(parse("NumLockModifierMask=0\nTKP_End=87\nUKP_End=87\n"));
  EXPECT_TRUE(table.simulate_numlock);
}

TEST_F(Keymap, MalformedLinesAreSkipped) {
  std::string longline(400, 'x');
  ASSERT_TRUE(
      parse("Home =79\n"  // blank before '=': no keysym name
            "NoSuchKey=20\n"
            "End=\n"
            "Prior\n"
            "Next=300\n"  // keycode beyond the table
            "Left=99999999999999999999999\n"
            "XServerVendor=5\n"
            "KeymapVersion=2\n" +
            longline + "=40\n" +  // over-long: dropped with its rest
            "Right=41\r\n"));
  int filled = 0;
  for (const auto& e : table.keys) filled += e[0] != NoSymbol;
  EXPECT_EQ(filled, 1);
  EXPECT_EQ(table.keys[41][0], static_cast<KeySym>(XK_Right)) << "a CR before the newline is no part of the number";
  EXPECT_EQ(table.keys[40][0], static_cast<KeySym>(NoSymbol));
}

TEST_F(Keymap, MissingFileIsReportedAndLeavesTheTableUnloaded) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* out = open_memstream(&buf, &len);
  table.loaded = true;
  EXPECT_FALSE(xf_parse_keymap_file("/nonexistent/keymap", &table, out));
  std::fclose(out);
  EXPECT_EQ(std::string(buf, len),
            "Zorvex:  Can't open keymap file /nonexistent/keymap.\nZorvex:  Keymap file ignored.\n");
  std::free(buf);
  EXPECT_FALSE(table.loaded);
}

// A keymap name that is no regular file, or a file far larger than any
// keymap, is reported as one that cannot be opened, at once.
TEST_F(Keymap, SpecialFilesAreReportedAsUnopenable) {
  zvxtest::TempDir dir;
  const std::string name = dir / "keys.map";
  for (const zvxtest::SpecialCase& c : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(c.name);
    zvxtest::make_special(name, c.kind);
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    table.loaded = true;
    bool ok = false;
    {
      zvxtest::Watchdog watch(std::string("xf_parse_keymap_file of ") + c.name);
      ok = xf_parse_keymap_file(name.c_str(), &table, out);
    }
    std::fclose(out);
    const std::string printed(buf, len);
    std::free(buf);
    if (c.kind == zvxtest::Special::Empty) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(printed, "");
      continue;
    }
    EXPECT_FALSE(ok);
    EXPECT_FALSE(table.loaded);
    EXPECT_EQ(printed, "Zorvex:  Can't open keymap file " + name + ".\nZorvex:  Keymap file ignored.\n");
  }
}

TEST_F(Keymap, DiagnosticsListTheTable) {
  std::string printed;
  ASSERT_TRUE(parse("TKP_Home=79\nUKP_Home=79\n", &printed));
  EXPECT_NE(printed.find("Keymap table:\n079. Home KP_Home"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Need to simulate NumLock.\n"), std::string::npos);
}

TEST_F(Keymap, SpareKeycodesAreFilledOnlyWhereEmpty) {
  constexpr int kMin = 8, kMax = 255, kPer = 2;
  std::vector<KeySym> map((kMax - kMin + 1) * kPer, NoSymbol);
  auto first = [&](int kc) -> KeySym& { return map[(kc - kMin) * kPer]; };
  first(22) = XK_Delete;
  constexpr KeySym kXF86Copy = 0x1008FF57;
  first(141) = kXF86Copy;
  EXPECT_TRUE(xf_remap_spare_keycodes(map.data(), kMin, kMax, kPer));
  EXPECT_EQ(first(22), static_cast<KeySym>(XK_BackSpace));
  EXPECT_EQ(first(136), static_cast<KeySym>(XK_KP_7));
  EXPECT_EQ(first(149), static_cast<KeySym>(XK_Prior));
  EXPECT_EQ(first(154), static_cast<KeySym>(XK_Down));
  EXPECT_EQ(first(157), static_cast<KeySym>(XK_Delete));
  EXPECT_EQ(first(141), kXF86Copy) << "a keycode with a keysym keeps it";
  EXPECT_EQ(first(158), static_cast<KeySym>(NoSymbol));
  EXPECT_FALSE(xf_remap_spare_keycodes(map.data(), kMin, kMax, kPer)) << "nothing left to change";
  // A server whose keycodes stop below 136 only gets BackSpace.
  std::vector<KeySym> small((135 - kMin + 1) * kPer, NoSymbol);
  EXPECT_TRUE(xf_remap_spare_keycodes(small.data(), kMin, 135, kPer));
  EXPECT_EQ(small[(22 - kMin) * kPer], static_cast<KeySym>(XK_BackSpace));
}

TEST_F(Keymap, AltMaskLeavesOutTheAltGrModifier) {
  struct Case {
    uint32_t alt_meta, mode_switch, level3, want;
  };
  const Case cases[] = {
      {Mod1Mask, Mod5Mask, Mod5Mask, Mod1Mask},      // Xvfb: AltGr and Mode_switch share Mod5
      {Mod1Mask, Mod5Mask, 0, Mod1Mask | Mod5Mask},  // Mode_switch alone is Alt, as specified
      {Mod1Mask, Mod3Mask, Mod5Mask, Mod1Mask | Mod3Mask},
      {0, 0, 0, Mod1Mask},                                             // nothing: Mod1
      {Mod1Mask | Mod5Mask, Mod5Mask, Mod5Mask, Mod1Mask | Mod5Mask},  // Alt itself on that bit
  };
  for (const Case& c : cases)
    EXPECT_EQ(xf_alt_mask_from(c.alt_meta, c.mode_switch, c.level3), c.want) << c.alt_meta << " " << c.level3;
}

TEST_F(Keymap, NoDisplayMeansNoKeyIsDown) {
  EXPECT_FALSE(xfIsAltDown());
  EXPECT_FALSE(xfIsKeycodeDown(0));
  EXPECT_FALSE(xf_break_probe());
  EXPECT_FALSE(xfQueryNumLock());
  xfToggleNumLock();
  EXPECT_TRUE(xfQueryNumLock());
}

}  // namespace
}  // namespace wstest
