// Event codes: names in the three styles for every code, the keypad pairs,
// event-table indexes, key texts, and the three conversion built-ins.
#include "macro/event_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/core_ops.h"
#include "tests/macro/vm_fixture.h"

namespace {

TEST(EventNames, EveryCodeRoundTripsInEachStyle) {
  for (char style : {kStyleSource, kStyleCompact, kStyleLong}) {
    for (EventCode c = 0; c <= kEventLast; ++c) {
      const std::string_view name = event_name(c, style);
      if (c >= 675) {  // exist without names
        EXPECT_TRUE(name.empty()) << c;
        continue;
      }
      ASSERT_FALSE(name.empty()) << style << ' ' << c;
      const auto back = event_from_name(name, style);
      ASSERT_TRUE(back.has_value()) << style << ' ' << name;
      EXPECT_EQ(*back, c) << style << " '" << name << "'";
    }
  }
}

TEST(EventNames, NamesFromTheRules) {
  struct Case {
    EventCode code;
    const char* s;
    const char* c;
    const char* l;
  };
  // Checked by hand against the naming rules.
  const Case cases[] = {
      {1, "C-A", "C-a", "Ctrl+A"},
      {26, "C-Z", "C-z", "Ctrl+Z"},
      {27, "C-[", "C-[", "Ctrl+["},
      {31, "C-_", "Ctrl+-", "Ctrl+-"},
      {32, " ", "Space", "Space"},
      {'a', "a", "a", "a"},
      {'-', "-", "-", "-"},
      {200, "\xc8", "\xc8", "\xc8"},
      {256, "S- ", "S-Space", "Shift+Space"},
      {257, "C-CTRL", "C-Ctrl", "Ctrl+Ctrl"},
      {258, "A-ALT", "A-Alt", "Alt+Alt"},
      {259, "C-.", "C-.", "Ctrl+."},
      {260, "C-,", "C-,", "Ctrl+,"},
      {262, "C-A-A", "C-A-a", "Ctrl+Alt+A"},       // Alt + Ctrl+A
      {292, "C-A-_", "Ctrl+Alt+-", "Ctrl+Alt+-"},  // Alt + code 31
      {293, "C- ", "C-Space", "Ctrl+Space"},
      {261 + 'A', "A-A", "A-S-a", "Alt+Shift+A"},
      {261 + 'a', "A-a", "A-a", "Alt+A"},
      {261 + '-', "A--", "Alt+-", "Alt+-"},
      {261 + '1', "A-1", "A-1", "Alt+1"},
      {389, "ENTER", "Enter", "Enter"},
      {392, "BACKSPACE", "Backspace", "Backspace"},
      {407, "PAD-SLASH", "PadSlash", "PadSlash"},
      {408, "A-ENTER", "A-Enter", "Alt+Enter"},
      {436, "C-LEFT", "C-Left", "Ctrl+Left"},
      {455, "S-LEFT", "S-Left", "Shift+Left"},
      {465, "C-A-ENTER", "C-A-Enter", "Ctrl+Alt+Enter"},
      {468, "C-A-BACKSPACE", "C-A-Backspace", "Ctrl+Alt+Backspace"},
      {469, "F1", "F1", "F1"},
      {480, "F12", "F12", "F12"},
      {481, "S-F1", "S-F1", "Shift+F1"},
      {504, "A-F12", "A-F12", "Alt+F12"},
      {505, "C-F1", "C-F1", "Ctrl+F1"},
      {528, "C-S-F12", "C-S-F12", "Ctrl+Shift+F12"},
      {529, "C-S-A", "C-S-a", "Ctrl+Shift+A"},
      {554, "C-S-Z", "C-S-z", "Ctrl+Shift+Z"},
      {555, "C-S-0", "C-S-0", "Ctrl+Shift+0"},
      {574, "C-9", "C-9", "Ctrl+9"},
      {593, "C-S-PAD-SLASH", "C-S-PadSlash", "Ctrl+Shift+PadSlash"},
      {594, "LBUTTON-DOWN", "LButtonDn", "LButtonDn"},
      {606, "MOUSE-MOVE", "MouseMove", "MouseMove"},
      {607, "S-LBUTTON-DOWN", "S-LButtonDn", "Shift+LButtonDn"},
      {624, "A-MBUTTON-TRIPLE-CLICK", "A-MTripleClick", "Alt+MTripleClick"},
      {633, "C-MBUTTON-TRIPLE-CLICK", "C-MTripleClick", "Ctrl+MTripleClick"},
      {634, "ON-SELECT", "ON-SELECT", "ON-SELECT"},
      {674, "ON-INIT-MENU", "ON-INIT-MENU", "ON-INIT-MENU"},
      {675, "", "", ""},
      {681, "", "", ""},
      {0x4B34, "S-LEFT", "S-Left", "Shift+Left"},  // a raw keypad key names as its pair
      {0x1E61, "", "", ""},                        // a raw key without a pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(event_name(c.code, 'S'), c.s) << c.code;
    EXPECT_EQ(event_name(c.code, 'C'), c.c) << c.code;
    EXPECT_EQ(event_name(c.code, 'L'), c.l) << c.code;
  }
  EXPECT_EQ(event_name(389, 'x'), "ENTER");  // any other letter is S
  EXPECT_EQ(event_name(0, 'S'), std::string_view("\0", 1));
  LStrBuf<8> cut;
  event_name(624, cut, cut.cap, 'L');  // cut at the capacity
  EXPECT_EQ(cut.view(), "Alt+MTri");
}

TEST(EventNames, UnknownNamesHaveNoCode) {
  for (const char* n : {"", "ENTER ", "enter", "C-a", "Ctrl+A", "F13", "ON-FOO"})
    EXPECT_FALSE(event_from_name(n, 'S').has_value()) << n;
  EXPECT_EQ(event_from_name("C-a", 'C'), 1u);
  EXPECT_EQ(event_from_name("Ctrl+Left", 'L'), 436u);
}

TEST(EventCodes, KeypadPairsFoldBothWays) {
  const EventCode pairs[][2] = {{0xE02F, 407}, {0x372A, 393}, {0x4A2D, 395}, {0x4E2B, 394}, {0x4B34, 455},
                                {0x4D36, 456}, {0x4838, 457}, {0x5032, 458}, {0x4939, 460}, {0x5133, 461},
                                {0x4737, 453}, {0x4F31, 454}, {0x4C35, 459}, {0x5230, 463}, {0x532E, 462}};
  for (auto& p : pairs) {
    EXPECT_EQ(event_pair_lookup(p[0], 0), p[1]);
    EXPECT_EQ(event_pair_lookup(p[1], 1), p[0]);
    EXPECT_EQ(event_to_key_index(p[0]), static_cast<int32_t>(p[1]) - 127);
  }
  EXPECT_EQ(event_pair_lookup(389, 0), 389u);
  EXPECT_EQ(event_pair_lookup(0x4B34, 1), 0x4B34u);
}

TEST(EventCodes, KeyIndexes) {
  struct Case {
    EventCode code;
    int32_t index;
  };
  const Case cases[] = {{0, 0},     {27, 27},   {127, 127}, {128, 128}, {200, 128}, {255, 128},
                        {256, 129}, {389, 262}, {680, 553}, {681, 0},   {700, 0},   {0x1E61, 0}};
  for (auto& c : cases) EXPECT_EQ(event_to_key_index(c.code), c.index) << c.code;
  EXPECT_EQ(key_index_to_event(262), 389u);
  EXPECT_EQ(key_index_to_event(128), 128u);
  for (int32_t i = 0; i < kKeyIndexCount; ++i) EXPECT_EQ(event_to_key_index(key_index_to_event(i)), i) << i;
}

TEST(EventCodes, KeyTexts) {
  struct Case {
    EventCode code;
    std::string text;
  };
  const Case cases[] = {
      {0, ""},
      {'a', "a"},
      {255, "\xff"},
      {256, std::string("\0\x01", 2)},
      {389, std::string("\0\x86", 2)},
      {468, std::string("\0\xd5", 2)},
      {469, std::string("\0\0\x01", 3)},
      {500, std::string("\0\0\x20", 3)},
      {680, std::string("\0\0\xd4", 3)},
      {0x4B34, "\x34\x4b"},  // a raw two-byte key: character, then scan code
  };
  for (auto& c : cases) {
    EXPECT_EQ(event_key_text(c.code), c.text) << c.code;
    EXPECT_EQ(keyrec_to_event(c.text), c.code) << c.code;
  }
  for (EventCode c = 0; c <= kEventLast; ++c) EXPECT_EQ(keyrec_to_event(event_key_text(c)), c) << c;
  // The decoder's own rule for two bytes after a 0: high + 255.
  EXPECT_EQ(keyrec_to_event(std::string("\0\xd6", 2)), 469u);
  EXPECT_EQ(keyrec_to_event(std::string("\0\0\x20xyz", 6)), 500u);  // longer texts: the third byte
}

TEST(EventCodes, CharacterOfACode) {
  EXPECT_EQ(event_to_char('a'), 'a');
  EXPECT_EQ(event_to_char(389), 0);
  EXPECT_EQ(event_to_char(680), 0);
  EXPECT_EQ(event_to_char(0x4B34), 0x34);
  EXPECT_EQ(event_to_char(700), 700 & 0xFF);
}

// ---- built-ins --------------------------------------------------------------------------

class EventBuiltins : public vmtest::VmTest {
 protected:
  struct Out {
    std::string value;
    ErrorCode code;
  };
  // Pushes the arguments, calls the built-in and keeps its result.
  Out call(std::string_view mnemonic, std::vector<std::string> args) {
    bc::ImageBuilder b;
    const auto slot = static_cast<uint16_t>(var_alloc_global());
    const uint16_t g = b.global(slot);
    const uint16_t p = b.proc(0, 0, 0);
    for (auto& a : args) b.op("push_const", {bc::k(a)});
    if (opcode_find(mnemonic)->info->operands == "c")
      b.op(mnemonic, {bc::cnt(static_cast<int>(args.size()))});
    else
      b.op(mnemonic);
    b.op("assign", {bc::var(g)});
    b.op("return");
    const ErrorCode rc = run(b, p);
    return {value(slot), rc};
  }
};

TEST_F(EventBuiltins, ConvertBetweenKeyTextsNamesAndIndexes) {
  const std::string enter("\0\x86", 2);
  struct Case {
    std::string_view mnemonic;
    std::vector<std::string> args;
    std::string want;
    ErrorCode code;
  };
  const Case cases[] = {
      {"event2name", {enter}, "ENTER", ERR_OK},
      {"event2name", {enter, "L"}, "Enter", ERR_OK},
      {"event2name", {"\x01", "c"}, "C-a", ERR_OK},
      {"event2name", {"\x01", ""}, "C-A", ERR_OK},  // empty style: the default S
      {"event2name", {"\x34\x4b", "L"}, "Shift+Left", ERR_OK},
      {"event2name", {enter, "X"}, "", ERR_INVALID_ARGUMENT},
      {"event2name", {enter, "S", "S"}, "", ERR_INVALID_ARGUMENT},
      {"event2index", {enter}, "262", ERR_OK},
      {"event2index", {"\xc8"}, "128", ERR_OK},
      {"event2index", {""}, "0", ERR_OK},
      {"index2event", {"262"}, enter, ERR_OK},
      {"index2event", {"97"}, "a", ERR_OK},
      {"index2event", {"342"}, std::string("\0\0\x01", 3), ERR_OK},  // F1
      {"index2event", {"x"}, "", ERR_INVALID_NUMBER_ARGUMENT},
  };
  for (const auto& c : cases) {
    vmtest::shown.clear();
    const Out o = call(c.mnemonic, c.args);
    if (c.code == ERR_OK) {
      EXPECT_EQ(o.code, ERR_OK) << c.mnemonic;
      EXPECT_EQ(o.value, c.want) << c.mnemonic << ' ' << c.args[0];
    } else {
      EXPECT_EQ(o.code, c.code) << c.mnemonic;
      ASSERT_FALSE(vmtest::shown.empty());
      EXPECT_EQ(vmtest::shown.back().code, c.code);
    }
  }
}

}  // namespace
