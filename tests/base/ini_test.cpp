// Ini text: sections, entries, comments, line ends and the number readers.
// Texts are passed with their length and without a terminating NUL, as the
// start-up code reads them from a file.
#include "base/ini.h"

#include <gtest/gtest.h>

// The fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_ini_text_one_input
#include "fuzz/ini_text.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The text copied into a buffer of exactly its length, so any read past the
// end shows under the address sanitizer.
struct Text {
  std::vector<char> bytes;
  explicit Text(std::string_view s) : bytes(s.begin(), s.end()) {}
  const char* data() const { return bytes.data(); }
  int32_t size() const { return static_cast<int32_t>(bytes.size()); }
};

// Every ini_next_key from offset until the section ends.
Pairs keys_from(const Text& t, int32_t* offset, int32_t value_size = 1024) {
  Pairs out;
  char key[INI_NAME_SIZE];
  std::vector<char> value(static_cast<size_t>(value_size));
  while (ini_next_key(t.data(), t.size(), offset, key, value.data(), value_size) == 0) {
    out.emplace_back(key, value.data());
  }
  return out;
}

Pairs section(std::string_view text, const char* name) {
  Text t(text);
  int32_t off = ini_find_section(t.data(), t.size(), name);
  if (off < 0) return {{"<missing>", ""}};
  return keys_from(t, &off);
}

TEST(Ini, SectionsAndEntries) {
  struct Case {
    const char* what;
    std::string text;
    const char* name;
    Pairs want;
  };
  const std::vector<Case> cases = {
      {"found in other case", "[Fonts]\nsize=12\n", "FONTS", {{"SIZE", "12"}}},
      {"blanks around = are kept", "[s]\nkey = v \n", "s", {{"KEY ", " v "}}},
      {"no = gives an empty value", "[s]\nJustAKey\n", "s", {{"JUSTAKEY", ""}}},
      {"indented comment skipped", "[s]\n   ; note\na=1\n", "s", {{"A", "1"}}},
      {"; inside a value is text", "[s]\na=1;2\n", "s", {{"A", "1;2"}}},
      {"no final line end", "[s]\na=1\nb=2", "s", {{"A", "1"}, {"B", "2"}}},
      {"CR LF and empty lines", "[s]\r\n\r\n\r\na=1\r\n\r\nb=2\r\n", "s", {{"A", "1"}, {"B", "2"}}},
      {"text after ] ignored", "[s] trailing words\na=1\n", "s", {{"A", "1"}}},
      {"indented section line", "  \t[s]\na=1\n", "s", {{"A", "1"}}},
      {"stops at the next section", "[s]\na=1\n  [t]\nb=2\n", "s", {{"A", "1"}}},
      {"first of repeated sections", "[s]\na=1\n[t]\nx=0\n[S]\nb=2\n", "s", {{"A", "1"}}},
      {"missing section", "[s]\na=1\n", "t", {{"<missing>", ""}}},
      {"blank-only line is an empty entry", "[s]\na=1\n   \nb=2\n", "s", {{"A", "1"}, {"", ""}, {"B", "2"}}},
      {"comment at the end of the text", "[s]\na=1\n; last", "s", {{"A", "1"}}},
      {"second = belongs to the value", "[s]\na=b=c\n", "s", {{"A", "b=c"}}},
      {"empty section", "[s]\n[t]\na=1\n", "s", {}},
      {"name is not a prefix match", "[sec]\na=1\n[s]\nb=2\n", "s", {{"B", "2"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(section(c.text, c.name), c.want) << c.what;
  }
}

TEST(Ini, UnclosedBracketTakesTheRestOfTheTextAsTheName) {
  Text t("[open\nstill name");
  char name[INI_NAME_SIZE];
  const char* p = ini_next_section(t.data(), t.data(), t.size(), name);
  EXPECT_STREQ(name, "open\nstill name");
  EXPECT_EQ(p, t.data() + t.size());
  EXPECT_EQ(ini_find_section(t.data(), t.size(), "open"), -1);
}

TEST(Ini, TheEndOfASectionLeavesTheOffsetOnTheNextSectionLine) {
  Text t("[a]\nk=1\n  [b]\nm=2\n");
  int32_t off = ini_find_section(t.data(), t.size(), "a");
  ASSERT_EQ(off, 4);
  EXPECT_EQ(keys_from(t, &off), (Pairs{{"K", "1"}}));
  EXPECT_EQ(off, 10);  // on the '[' of "[b]"
  char name[INI_NAME_SIZE];
  const char* p = ini_next_section(t.data() + off, t.data(), t.size(), name);
  EXPECT_STREQ(name, "b");
  ASSERT_NE(p, nullptr);
  int32_t off_b = static_cast<int32_t>(p - t.data());
  EXPECT_EQ(keys_from(t, &off_b), (Pairs{{"M", "2"}}));
  EXPECT_EQ(ini_next_section(p, t.data(), t.size(), name), nullptr);
}

TEST(Ini, NextSectionWalksEverySectionInOrder) {
  Text t("top=1\n[one]\na=1\n[two]x\n[one]\n");
  std::vector<std::string> names;
  char name[INI_NAME_SIZE];
  for (const char* p = t.data(); (p = ini_next_section(p, t.data(), t.size(), name)) != nullptr;) {
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two", "one"}));
}

TEST(Ini, LongLinesAreCutAndTheRestDropped) {
  std::string long_key(1500, 'k');
  std::string long_value(3000, 'v');
  Text t("[s]\n" + long_key + "=" + long_value + "\nnext=1\n");
  int32_t off = ini_find_section(t.data(), t.size(), "s");
  Pairs got = keys_from(t, &off, 100);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].first, std::string(1023, 'K'));
  EXPECT_EQ(got[0].second, std::string(99, 'v'));
  EXPECT_EQ(got[1], (std::pair<std::string, std::string>{"NEXT", "1"}));

  std::string long_name(2000, 'n');
  Text u("[" + long_name + "]\na=1\n");
  char name[INI_NAME_SIZE];
  const char* p = ini_next_section(u.data(), u.data(), u.size(), name);
  EXPECT_EQ(std::string(name), std::string(1023, 'n'));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, 'a');
}

TEST(Ini, NextLineAndNextPair) {
  Text t("[s]\n  raw Line = x ;y\n; c\nKey=Val\n[t]\n");
  int32_t off = ini_find_section(t.data(), t.size(), "s");
  char line[8];
  ASSERT_EQ(ini_next_line(t.data(), t.size(), &off, line, sizeof line), 0);
  EXPECT_STREQ(line, "raw Lin");  // size - 1 bytes
  LStrLine key, value;
  ASSERT_EQ(ini_next_pair(t.data(), t.size(), &off, key, value), 0);
  EXPECT_EQ(key.view(), "Key");  // case kept
  EXPECT_EQ(value.view(), "Val");
  EXPECT_EQ(ini_next_pair(t.data(), t.size(), &off, key, value), -1);
  EXPECT_EQ(t.data()[off], '[');
}

TEST(Ini, NulBytesAreOrdinaryAndTheLengthBoundsEverything) {
  std::string text("[s]\na=1\0x\nb=2", 13);
  Text t(text);
  LStrLine key, value;
  int32_t off = ini_find_section(t.data(), t.size(), "s");
  ASSERT_EQ(ini_next_pair(t.data(), t.size(), &off, key, value), 0);
  EXPECT_EQ(value.view(), std::string_view("1\0x", 3));
  ASSERT_EQ(ini_next_pair(t.data(), t.size(), &off, key, value), 0);
  EXPECT_EQ(value.view(), "2");
  EXPECT_EQ(ini_next_pair(t.data(), t.size(), &off, key, value), -1);
  EXPECT_EQ(off, t.size());

  // An offset outside the text is clamped, never used to read.
  off = 1 << 30;
  EXPECT_EQ(ini_next_pair(t.data(), t.size(), &off, key, value), -1);
  Text empty("");
  EXPECT_EQ(ini_find_section(empty.data(), 0, "s"), -1);
}

TEST(IniNumbers, ScanUintAndTwoUints) {
  struct Case {
    const char* text;
    int32_t count;
    uint32_t first, second;
  };
  const std::vector<Case> cases = {
      {"  12   34", 2, 12, 34}, {"  12", 1, 12, 0}, {"x12", 0, 0, 0}, {"", 0, 0, 0},
      {"\t12 3", 0, 0, 0},      {"7,8", 1, 7, 0},   {"0 0", 2, 0, 0}, {"4294967296 1", 2, 0, 1},  // wraps
  };
  for (const Case& c : cases) {
    uint32_t a = 99, b = 99;
    EXPECT_EQ(cstr_scan_two_uints(c.text, &a, &b), c.count) << c.text;
    EXPECT_EQ(a, c.first) << c.text;
    EXPECT_EQ(b, c.second) << c.text;
    a = b = 99;
    EXPECT_EQ(cstr_read_two_uints(c.text, &a, &b), c.count) << c.text;
  }
  uint32_t v = 99;
  EXPECT_EQ(cstr_scan_uint("  42x", &v), 1);
  EXPECT_EQ(v, 42u);
  v = 99;
  EXPECT_EQ(cstr_read_uint("-1", &v), 0);
  EXPECT_EQ(v, 0u);  // set to 0 even without a digit
}

TEST(IniFuzzCorpus, SavedInputsRunClean) { corpus::replay("ini_text", fuzz_ini_text_one_input); }

}  // namespace
