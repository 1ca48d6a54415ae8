// Literal search: the table of cases, then random texts against std::string.

#include <gtest/gtest.h>

#include <cinttypes>
#include <random>
#include <string>

#include "text/plain_search.h"

namespace {

int32_t fwd(const std::string& pat, const std::string& text, int32_t start, bool fold = false) {
  LStrLine p(pat);
  search_plain_prepare(p, 1, fold);
  return search_plain_forward(start, p, reinterpret_cast<const uint8_t*>(text.data()),
                              static_cast<int32_t>(text.size()));
}
int32_t bwd(const std::string& pat, const std::string& text, int32_t start, bool fold = false) {
  LStrLine p(pat);
  search_plain_prepare(p, -1, fold);
  return search_plain_backward(start, p, reinterpret_cast<const uint8_t*>(text.data()),
                               static_cast<int32_t>(text.size()));
}

struct Case {
  const char* pat;
  const char* text;
  int32_t start;
  bool fold;
  int32_t forward;   // from start
  int32_t backward;  // from start
};

TEST(PlainSearch, Cases) {
  const Case cases[] = {
      {"abcab", "xxabcabx", 1, false, 3, 0},
      {"abcab", "xxabcabx", 8, false, 0, 3},
      {"", "abc", 1, false, 0, 0},         // empty pattern
      {"abcd", "abc", 1, false, 0, 0},     // longer than the text
      {"abc", "abcxyz", 1, false, 1, 1},   // line start
      {"xyz", "abcxyz", 1, false, 4, 0},   // line end
      {"xyz", "abcxyz", 99, false, 0, 4},  // backward from beyond the text
      {"xyz", "abcxyz", 5, false, 0, 4},   // backward: the start column is a start
      {"xyz", "abcxyz", 3, false, 4, 0},
      {"aaa", "aaaaa", 1, false, 1, 1},  // overlapping
      {"aaa", "aaaaa", 2, false, 2, 2},
      {"aaa", "aaaaa", 4, false, 0, 3},
      {"abab", "abababab", 2, false, 3, 1},
      {"abab", "abababab", 5, false, 5, 5},
      {"ABC", "xaBcx", 1, true, 2, 0},  // folding
      {"ABC", "xaBcx", 5, true, 0, 2},
      {"aBc", "xaBcx", 1, true, 0, 0},  // a lower-case pattern never matches when folding
      {"ABC", "xaBcx", 1, false, 0, 0},
      {"[@]^", "{`}~", 1, true, 0, 0},  // only letters fold
      {"{`}~", "{`}~", 1, true, 1, 1},
      {"\xC9T\xC9", "\xE9t\xE9", 1, true, 0, 0},  // bytes above 127 do not fold
      {"a", "a", 0, false, 1, 0},                 // columns below 1: forward from 1, backward none
      {"a", "a", -5, false, 1, 0},
      {"a", "", 1, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.pat + "' in '" + c.text + "' from " + std::to_string(c.start));
    EXPECT_EQ(c.forward, fwd(c.pat, c.text, c.start, c.fold));
    EXPECT_EQ(c.backward, bwd(c.pat, c.text, c.start, c.fold));
  }
}

TEST(PlainSearch, TablesFollowTheDirection) {
  // Prepared backward, the occurrence table holds first occurrences.
  EXPECT_EQ(5, bwd("abcab", "xxxxabcabxx", 11));
  EXPECT_EQ(5, fwd("abcab", "xxxxabcabxx", 1));
}

TEST(PlainSearch, CompareStepsInThePreparedDirection) {
  LStrLine p("ABC");
  const uint8_t t[] = "abd";
  search_plain_prepare(p, 1, 1);
  EXPECT_EQ(0, search_plain_compare(t, reinterpret_cast<const uint8_t*>("ABD"), 3));
  EXPECT_EQ('D' - 'C', search_plain_compare(t, reinterpret_cast<const uint8_t*>("ABC"), 3));
  EXPECT_EQ(0, search_plain_compare(t, reinterpret_cast<const uint8_t*>("XYZ"), 0));
  search_plain_prepare(p, -1, 0);
  // Backward from the last bytes: d against C differs first.
  EXPECT_EQ('d' - 'C', search_plain_compare(t + 2, reinterpret_cast<const uint8_t*>("ABC") + 2, 3));
}

TEST(PlainSearch, BackwardOnCountedStrings) {
  LStrLine p("ab"), t("abxxabxx");
  EXPECT_EQ(5, search_plain_backward_lstr(p, t, 8));
  EXPECT_EQ(1, search_plain_backward_lstr(p, t, 4));
  EXPECT_EQ(0, search_plain_backward_lstr(p, t, 0));
}

TEST(PlainSearch, PatternsLongerThanTheChainTable) {
  // 1100 bytes do not fit 1025 chain entries; the search still finds them.
  std::mt19937 rng(7);
  std::string text(3000, 'a');
  for (auto& c : text) c = static_cast<char>('a' + rng() % 3);
  std::string pat = text.substr(700, 1100);
  EXPECT_EQ(static_cast<int32_t>(text.find(pat)) + 1, fwd(pat, text, 1));
  EXPECT_EQ(static_cast<int32_t>(text.rfind(pat)) + 1, bwd(pat, text, 3000));
  EXPECT_EQ(0, fwd(pat, text, 702 + static_cast<int32_t>(text.find(pat))));
  // Right at the table's size the tables are used.
  std::string p1025 = text.substr(100, 1025);
  EXPECT_EQ(static_cast<int32_t>(text.find(p1025)) + 1, fwd(p1025, text, 1));
  EXPECT_EQ(static_cast<int32_t>(text.rfind(p1025)) + 1, bwd(p1025, text, 3000));
}

std::string upper(std::string s) {
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

TEST(PlainSearch, AgreesWithFindAndRfind) {
  uint64_t seed = std::random_device{}();
  if (const char* s = getenv("ZVX_SEED")) seed = strtoull(s, nullptr, 10);
  printf("plain search seed %" PRIu64 "\n", seed);
  std::mt19937_64 rng(seed);
  const char alphabet[] = "abAB{[`@ \t";
  for (int iter = 0; iter < 20000; ++iter) {
    const int sigma = 2 + static_cast<int>(rng() % 9);
    std::string text(rng() % 60, ' '), pat(1 + rng() % 6, ' ');
    for (auto& c : text) c = alphabet[rng() % sigma];
    for (auto& c : pat) c = alphabet[rng() % sigma];
    const bool fold = rng() % 2;
    if (fold) pat = upper(pat);
    const std::string hay = fold ? upper(text) : text;
    const int32_t n = static_cast<int32_t>(text.size());
    const int32_t start = static_cast<int32_t>(rng() % (n + 3)) - 1;
    size_t f = hay.find(pat, static_cast<size_t>(std::max(start, 1) - 1));
    int32_t want_f = f == std::string::npos ? 0 : static_cast<int32_t>(f) + 1;
    int32_t want_b = 0;
    if (start >= 1) {
      size_t b = hay.rfind(pat, static_cast<size_t>(start - 1));
      want_b = b == std::string::npos ? 0 : static_cast<int32_t>(b) + 1;
    }
    ASSERT_EQ(want_f, fwd(pat, text, start, fold)) << "seed " << seed << " iter " << iter;
    ASSERT_EQ(want_b, bwd(pat, text, start, fold)) << "seed " << seed << " iter " << iter;
  }
}

}  // namespace

// The fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_plain_search_one_input
#include "fuzz/plain_search.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

namespace {

TEST(PlainSearchFuzzCorpus, SavedInputsRunClean) { corpus::replay("plain_search", fuzz_plain_search_one_input); }

}  // namespace
