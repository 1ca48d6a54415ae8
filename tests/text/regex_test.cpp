// Regular expressions: compile and search tables for both syntaxes, invalid
// patterns, and the mends (break key, lazy counted repeats, choice stack).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "base/mem.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/regex.h"

// The fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_regex_one_input
#include "fuzz/regex.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

namespace {

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

struct Case {
  char syntax;  // 'R' own, 'U' Unix
  int ignore_case;
  int direction;
  int start;  // 1-based start column; 0 means "from the end" when backward
  const char* pattern;
  const char* text;
  int col;             // expected column, 0 for no match
  int len;             // expected match length
  const char* groups;  // "g:start-end,..." exactly the groups set; nullptr: not checked
  int cursor;          // expected cursor column; -1: not checked
};

std::map<int, std::pair<int, int>> parse_groups(const char* groups) {
  std::map<int, std::pair<int, int>> out;
  std::stringstream ss(groups);
  std::string item;
  while (std::getline(ss, item, ',')) {
    if (item.empty()) continue;
    int g, s, e;
    char c1, c2;
    std::stringstream is(item);
    is >> g >> c1 >> s >> c2 >> e;
    out[g] = {s, e};
  }
  return out;
}

std::string describe(const Case& c) {
  std::ostringstream os;
  os << c.syntax << (c.ignore_case ? "i" : "") << (c.direction < 0 ? " backward" : " forward") << " from " << c.start
     << " pattern '" << c.pattern << "' text '" << c.text << "'";
  return os.str();
}

void run(const Case& c) {
  SCOPED_TRACE(describe(c));
  RegexState st;
  ASSERT_EQ(re_compile(st, c.pattern, c.direction, static_cast<uint8_t>(c.ignore_case), c.syntax == 'U'), 0);
  std::string text = c.text;
  int start = c.start;
  if (c.direction < 0 && start == 0) start = static_cast<int>(text.size()) + 1;
  int col = re_search(st, start, bytes(text), static_cast<int>(text.size()));
  EXPECT_EQ(col, c.col);
  if (col <= 0) return;
  EXPECT_EQ(st.match_length, c.len);
  if (c.groups != nullptr) {
    auto want = parse_groups(c.groups);
    for (int g = 0; g < kRegexGroups; ++g) {
      bool set = (st.group_mask >> g) & 1;
      auto it = want.find(g);
      EXPECT_EQ(set, it != want.end()) << "group " << g;
      if (set && it != want.end()) {
        EXPECT_EQ(st.groups[g].start, it->second.first) << "group " << g << " start";
        EXPECT_EQ(st.groups[g].end, it->second.second) << "group " << g << " end";
      }
    }
  }
  if (c.cursor >= 0) {
    EXPECT_EQ(st.cursor_column, c.cursor);
  }
}

// Expected values worked out by hand from the syntax tables.
const Case kOwnSyntax[] = {
    // closures: '*' and '+' fewest first, '@' and '#' most first
    {'R', 0, 1, 1, "a*", "aaa", 1, 0, "", -1},
    {'R', 0, 1, 1, "a@", "aaa", 1, 3, "", -1},
    {'R', 0, 1, 1, "a#", "aaa", 1, 3, "", -1},
    {'R', 0, 1, 1, "a+", "aaa", 1, 1, "", -1},
    {'R', 0, 1, 1, "a*b", "xaaab", 2, 4, "", -1},
    {'R', 0, 1, 1, "a+b", "xaaab", 2, 4, "", -1},
    {'R', 0, 1, 1, "<?*>", "<a><b>", 1, 3, "", -1},
    {'R', 0, 1, 1, "<?@>", "<a><b>", 1, 6, "", -1},
    // any, anchors, literals
    {'R', 0, 1, 1, "a?c", "xabc", 2, 3, "", -1},
    {'R', 0, 1, 1, "^a", "ba", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "a$", "aba", 3, 1, "", -1},
    {'R', 0, 1, 1, "$", "abc", 4, 0, "", -1},
    {'R', 0, 1, 2, "^abc", "abcabc", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "a.b", "a.b", 1, 3, "", -1},
    {'R', 0, 1, 1, "a.b", "axb", 0, 0, nullptr, -1},
    // classes
    {'R', 0, 1, 1, "[a-c]#", "xxabcx", 3, 3, "", -1},
    {'R', 0, 1, 1, "[~a-c]", "abd", 3, 1, "", -1},
    {'R', 0, 1, 1, "[^a]", "ab", 2, 1, "", -1},
    {'R', 0, 1, 1, "[]", "abc", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "[~]", "abc", 1, 1, "", -1},
    {'R', 0, 1, 1, "[z-a]", "az", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "[\\]]", "a]", 2, 1, "", -1},
    {'R', 0, 1, 1, "[a-]", "x-", 2, 1, "", -1},
    {'R', 0, 1, 1, "[\\x41-\\x43]#", "zABCD", 2, 3, "", -1},
    // groups: '(...)' plain, '{...}' capturing, '{#n' explicit
    {'R', 0, 1, 1, "(ab)#", "ababx", 1, 4, "", -1},
    {'R', 0, 1, 1, "{a}{b}", "ab", 1, 2, "0:1-2,1:2-3", -1},
    {'R', 0, 1, 1, "{#3x}", "yx", 2, 1, "3:2-3", -1},
    {'R', 0, 1, 1, "{#10a}b", "ab", 1, 2, "", -1},
    {'R', 0, 1, 1, "{a}{b}{c}{d}{e}{f}{g}{h}{i}{j}{k}", "abcdefghijk", 1, 11,
     "0:1-2,1:2-3,2:3-4,3:4-5,4:5-6,5:6-7,6:7-8,7:8-9,8:9-10,9:10-11", -1},
    {'R', 0, 1, 1, "{a|b}@c", "abac", 1, 4, "0:3-4", -1},
    {'R', 0, 1, 1, "{x@}y", "y", 1, 1, "0:1-1", -1},
    // alternation: the first alternative first
    {'R', 0, 1, 1, "cat|dog", "hotdog", 4, 3, "", -1},
    {'R', 0, 1, 1, "a|ab", "ab", 1, 1, "", -1},
    {'R', 0, 1, 1, "(a|)@", "bbb", 1, 0, "", -1},
    {'R', 0, 1, 1, "(a|)@b", "aab", 1, 3, "", -1},
    // counted repeats
    {'R', 0, 1, 1, "a:2", "aaa", 1, 2, "", -1},
    {'R', 0, 1, 1, "a:2,", "aaaa", 1, 4, "", -1},
    {'R', 0, 1, 1, "a:2,3", "aaaa", 1, 3, "", -1},
    {'R', 0, 1, 1, "a:*2,3", "aaaa", 1, 2, "", -1},
    {'R', 0, 1, 1, "a:*2,", "aaaa", 1, 2, "", -1},
    {'R', 0, 1, 1, "a:*,2b", "aab", 1, 3, "", -1},
    {'R', 0, 1, 1, "a:3", "aab", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "x:*1,2y", "xxxy", 2, 3, "", -1},  // the lazy repeat reaches its maximum
    {'R', 0, 1, 1, "x:*1,3y", "xxxy", 1, 4, "", -1},
    {'R', 0, 1, 1, "(ab):2,3c", "abababc", 1, 7, "", -1},
    {'R', 0, 1, 1, "{a:2}:2", "aaaa", 1, 4, "0:3-5", -1},
    {'R', 0, 1, 1, "(b|bc):2d", "bcbd", 1, 4, "", -1},
    {'R', 0, 1, 1, "(a:1,2b)@c", "abaabc", 1, 6, "", -1},
    // negation: consumes nothing
    {'R', 0, 1, 1, "~a?", "ab", 2, 1, "", -1},
    {'R', 0, 1, 1, "~(ab)a", "abac", 3, 1, "", -1},
    {'R', 0, 1, 1, "x~y", "xyxz", 3, 1, "", -1},
    {'R', 0, 1, 1, "~(~a)?", "ba", 2, 1, "", -1},
    // named classes
    {'R', 0, 1, 1, ":d#", "ab123", 3, 3, "", -1},
    {'R', 0, 1, 1, ":a@", "-x9-", 1, 0, "", -1},
    {'R', 0, 1, 1, ":a#", "-x9-", 2, 2, "", -1},
    {'R', 0, 1, 1, ":c", "1b", 2, 1, "", -1},
    {'R', 0, 1, 1, ":w", "12 hello", 4, 5, "", -1},
    {'R', 0, 1, 1, ":i", "ab 042x", 4, 3, "", -1},
    {'R', 0, 1, 1, ":h", "zz1Fg", 3, 2, "", -1},
    {'R', 0, 1, 1, ":b", "a \t b", 2, 3, "", -1},
    {'R', 0, 1, 1, ":f", "  /usr/x y", 4, 3, "", -1},
    {'R', 0, 1, 1, ":p", "/usr/lib x", 1, 8, "", -1},
    {'R', 0, 1, 1, ":n", "x 3.14e+5 y", 3, 7, "", -1},
    {'R', 0, 1, 1, ":n", "x .5 y", 3, 2, "", -1},
    {'R', 0, 1, 1, ":q", "x\"ab\"y", 2, 4, "", -1},
    {'R', 0, 1, 1, ":q", "x'a\"b'y", 2, 5, "", -1},
    {'R', 0, 1, 1, ":v", "12 _ab1 x", 4, 4, "", -1},
    {'R', 0, 1, 1, ":D#", "ab12", 3, 2, "", -1},
    {'R', 0, 1, 1, "{:d#}\\.{:d#}", "v1.25", 2, 4, "0:2-3,1:4-6", -1},
    // escapes
    {'R', 0, 1, 1, "\\t", "a\tb", 2, 1, "", -1},
    {'R', 0, 1, 1, "\\T\\N", "\t\n", 1, 2, "", -1},
    {'R', 0, 1, 1, "\\x41\\x4", "zA\x04", 2, 2, "", -1},
    {'R', 0, 1, 1, "\\65\\066", "AB", 1, 2, "", -1},
    {'R', 0, 1, 1, "\\b\\f\\r", "\b\f\r", 1, 3, "", -1},
    {'R', 0, 1, 1, "a\\:b", "a:b", 1, 3, "", -1},
    {'R', 0, 1, 1, "\\?\\{\\*", "?{*", 1, 3, "", -1},
    {'R', 0, 1, 1, "\\C", "cC", 2, 1, "", -1},
    // cursor mark
    {'R', 0, 1, 1, "ab\\ccd", "xabcd", 2, 4, "", 4},
    {'R', 0, 1, 1, "a\\cx|ab", "ab", 1, 2, "", 0},
    {'R', 0, 1, 1, "{a}\\c", "xa", 2, 1, "0:2-3", 3},
    // back-references
    {'R', 0, 1, 1, "{a#}-\\g0", "aa-aa", 1, 5, "0:1-3", -1},
    {'R', 0, 1, 1, "{a@}\\g0", "aa", 1, 2, "0:1-2", -1},
    {'R', 0, 1, 1, "{a@}\\g0", "", 1, 0, "0:1-1", -1},
    {'R', 0, 1, 1, "\\g0{a}", "aa", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "{#10a}\\g10", "aa", 0, 0, nullptr, -1},
    {'R', 0, 1, 1, "{?}\\g0", "abccd", 3, 2, "0:3-4", -1},
    {'R', 0, 1, 1, "{x@}(\\g0y)@z", "yyz", 1, 3, "0:1-1", -1},
    // ignore case
    {'R', 1, 1, 1, "abc", "xABC", 2, 3, "", -1},
    {'R', 1, 1, 1, "[a-c]", "xB", 2, 1, "", -1},
    {'R', 1, 1, 1, "[~a-c]", "bBd", 3, 1, "", -1},
    {'R', 1, 1, 1, "{a}\\g0", "aA", 1, 2, "0:1-2", -1},
    {'R', 1, 1, 1, "ZZ", "azz", 2, 2, "", -1},
    {'R', 0, 1, 1, "abc", "ABC", 0, 0, nullptr, -1},
    // start columns
    {'R', 0, 1, 3, "a", "abab", 3, 1, "", -1},
    {'R', 0, 1, 0, "a", "ab", 1, 1, "", -1},
    {'R', 0, 1, 6, "a@", "aaaa", 0, 0, nullptr, -1},
    {'R', 0, 1, 5, "a@", "aaaa", 5, 0, "", -1},
};

const Case kUnixSyntax[] = {
    {'U', 0, 1, 1, "a*", "aaa", 1, 3, "", -1},
    {'U', 0, 1, 1, "a*?", "aaa", 1, 0, "", -1},
    {'U', 0, 1, 1, "a+", "aaa", 1, 3, "", -1},
    {'U', 0, 1, 1, "a+?", "aaa", 1, 1, "", -1},
    {'U', 0, 1, 1, "ab?", "abb", 1, 2, "", -1},
    {'U', 0, 1, 1, "ab??", "abb", 1, 1, "", -1},
    {'U', 0, 1, 1, "ab??c", "abc", 1, 3, "", -1},
    {'U', 0, 1, 1, "ab?", "ac", 1, 1, "", -1},  // a final '?' still makes b optional
    {'U', 0, 1, 1, "a.c", "xabc", 2, 3, "", -1},
    {'U', 0, 1, 1, "a?c", "x?c", 3, 1, "", -1},
    {'U', 0, 1, 1, "<.*?>", "<a><b>", 1, 3, "", -1},
    // classes
    {'U', 0, 1, 1, "[^a]", "ab", 2, 1, "", -1},
    {'U', 0, 1, 1, "[]a]", "x]", 2, 1, "", -1},
    {'U', 0, 1, 1, "[^]a]", "x^a]", 2, 3, "", -1},  // '^' before ']' is a member
    {'U', 0, 1, 1, "[^]", "a^", 2, 1, "", -1},
    {'U', 0, 1, 1, "[~a]", "~", 1, 1, "", -1},
    {'U', 0, 1, 1, "[\\d065-\\x43]+", "zABCD", 2, 3, "", -1},
    // groups
    {'U', 0, 1, 1, "(a)(b)", "ab", 1, 2, "0:1-2,1:2-3", -1},
    {'U', 0, 1, 1, "(?:ab)+", "ababx", 1, 4, "", -1},
    {'U', 0, 1, 1, "(?1a)(b)", "ab", 1, 2, "0:1-2", -1},
    {'U', 0, 1, 1, "(?3a)", "a", 1, 1, "2:1-2", -1},
    {'U', 0, 1, 1, "(?10a)\\0", "aa", 1, 2, "9:1-2", -1},
    {'U', 0, 1, 1, "(?0a)", "a", 1, 1, "9:1-2", -1},
    {'U', 0, 1, 1, "(?11a)b", "ab", 1, 2, "", -1},
    {'U', 0, 1, 1, "(a)(?5b)(c)", "abc", 1, 3, "0:1-2,4:2-3", -1},
    {'U', 0, 1, 1, "a)", "a)", 1, 2, "", -1},
    // look-ahead and comments
    {'U', 0, 1, 1, "(?!a).", "ab", 2, 1, "", -1},
    {'U', 0, 1, 1, "x(?!y)", "xyxz", 3, 1, "", -1},
    {'U', 0, 1, 1, "a(?#a comment)b", "ab", 1, 2, "", -1},
    // alternation
    {'U', 0, 1, 1, "a|ab", "ab", 1, 1, "", -1},
    {'U', 0, 1, 1, "(a|)*b", "aab", 1, 3, "0:3-3", -1},  // the last pass matched empty
    // counted repeats
    {'U', 0, 1, 1, "a{2}", "aaa", 1, 2, "", -1},
    {'U', 0, 1, 1, "a{2,}", "aaaa", 1, 4, "", -1},
    {'U', 0, 1, 1, "a{2,3}", "aaaa", 1, 3, "", -1},
    {'U', 0, 1, 1, "a{2,3}?", "aaaa", 1, 2, "", -1},
    {'U', 0, 1, 1, "x{1,2}?y", "xxxy", 2, 3, "", -1},
    {'U', 0, 1, 1, "a{,2}b", "aaab", 2, 3, "", -1},
    {'U', 0, 1, 1, "a{0,2147483646}", "aa", 1, 2, "", -1},
    {'U', 0, 1, 1, "a{", "a{", 1, 2, "", -1},
    {'U', 0, 1, 1, "(a|bc){2}", "xbca", 2, 3, "0:4-5", -1},
    // named classes, escapes, back-references, cursor
    {'U', 0, 1, 1, "\\:d+", "ab123", 3, 3, "", -1},
    {'U', 0, 1, 1, "\\:w", "12 hello", 4, 5, "", -1},
    {'U', 0, 1, 1, "\\d065\\x42", "AB", 1, 2, "", -1},
    {'U', 0, 1, 1, "\\b", "ab", 2, 1, "", -1},
    {'U', 0, 1, 1, "\\t\\.", "\t.", 1, 2, "", -1},
    {'U', 0, 1, 1, "(a+)-\\1", "aa-aa", 1, 5, "0:1-3", -1},
    {'U', 0, 1, 1, "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10", "abcdefghijj", 1, 11, nullptr, -1},
    {'U', 0, 1, 1, "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)\\11", "abcdefghijkk", 0, 0, nullptr, -1},
    {'U', 0, 1, 1, "ab\\ccd", "xabcd", 2, 4, "", 4},
    {'U', 1, 1, 1, "(ab)\\1", "abAB", 1, 4, "0:1-3", -1},
    // Lines without the bytes every match holds one after another are passed
    // over; repeats, optional items and zero-width items keep the runs exact.
    {'U', 0, 1, 1, "[0-9]+ [-+*/%] [0-9]+", "a = 12 + 3;", 5, 6, "", -1},
    {'U', 0, 1, 1, "[0-9]+ [-+*/%] [0-9]+", "1 +2 x + y 10  - 2", 0, 0, nullptr, -1},
    {'U', 0, 1, 1, "x+y", "xy", 1, 2, "", -1},
    {'U', 0, 1, 1, "x+y", "axxxy", 2, 4, "", -1},
    {'U', 0, 1, 1, "a[0-9]*b", "ab", 1, 2, "", -1},
    {'U', 0, 1, 1, "a[0-9]*b", "a12b", 1, 4, "", -1},
    {'U', 0, 1, 1, "a(bc)+d", "abcbcd", 1, 6, nullptr, -1},
    {'U', 0, 1, 1, "ab{2,3}c", "abc abbbbc abbc", 12, 4, "", -1},
    {'U', 1, 1, 1, "Ab[cD]e", "xaBdE", 2, 4, "", -1},
    {'U', 0, 1, 1, "^ab$", "cab", 0, 0, nullptr, -1},
    {'U', 0, 1, 1, "a.c", "ac abc", 4, 3, "", -1},
    {'U', 0, 1, 1, "x(?!y)z", "xz", 1, 2, "", -1},
    {'U', 0, 1, 1, "x\\cyz", "xyz", 1, 3, "", 2},
};

const Case kBackward[] = {
    {'R', 0, -1, 3, "a", "abab", 3, 1, "", -1},
    {'R', 0, -1, 2, "a", "abab", 1, 1, "", -1},
    {'R', 0, -1, 0, "a@", "xaaa", 2, 3, "", -1},  // widened to the left
    {'R', 0, -1, 0, "b#", "abbb", 2, 3, "", -1},
    {'R', 0, -1, 0, "x$", "axbx", 4, 1, "", -1},
    {'R', 0, -1, 0, "$", "abc", 4, 0, "", -1},
    {'R', 0, -1, 3, "$", "abc", 0, 0, nullptr, -1},
    {'R', 0, -1, 0, "^abc", "abcabc", 1, 3, "", -1},
    {'R', 0, -1, 99, "ab", "abab", 3, 2, "", -1},
    {'R', 0, -1, 0, "{a}{b}", "abab", 3, 2, "0:3-4,1:4-5", -1},
    {'R', 0, -1, 0, "{a#}b", "aabxab", 5, 2, "0:5-6", -1},
    {'R', 0, -1, 3, "{a#}b", "aabxab", 1, 3, "0:1-3", -1},
    {'R', 0, -1, 0, "a\\c?", "aaab", 3, 2, "", 4},
    {'R', 0, -1, 0, "\\ca#", "aaab", 1, 3, "", 1},  // the cursor of the widest match
    {'R', 1, -1, 0, "B", "abAb", 4, 1, "", -1},
    {'R', 0, -1, 0, "q", "abc", 0, 0, nullptr, -1},
    {'R', 0, -1, 0, "(ab)@", "xabab", 6, 0, "", -1},  // 'b' before the end cannot widen it
    {'R', 0, -1, 5, "(ab)@", "xabab", 4, 2, "", -1},
    {'U', 0, -1, 0, "[0-9]+", "a12b345", 5, 3, "", -1},
    {'U', 0, -1, 0, "(a)\\1", "aaaa", 3, 2, "0:3-4", -1},  // col 2 reaches less far
    {'U', 0, -1, 6, "b.*", "abcabc", 5, 2, "", -1},
    {'U', 0, -1, 0, "x(?!y)", "xzxy", 1, 1, "", -1},
    {'U', 0, -1, 0, "(?:ab|b)$", "aab", 2, 2, "", -1},
    {'U', 0, -1, 0, "x+y", "xy axxy", 5, 3, "", -1},
    {'R', 0, -1, 0, "x#y", "xy xy", 4, 2, "", -1},
};

TEST(RegexTable, OwnSyntax) {
  for (const Case& c : kOwnSyntax) run(c);
}

TEST(RegexTable, UnixSyntax) {
  for (const Case& c : kUnixSyntax) run(c);
}

TEST(RegexTable, Backward) {
  for (const Case& c : kBackward) run(c);
}

struct BadCase {
  char syntax;
  const char* pattern;
};

std::string nested(int n, const char* open, const char* close) {
  std::string s;
  for (int i = 0; i < n; ++i) s += open;
  s += "a";
  for (int i = 0; i < n; ++i) s += close;
  return s;
}

TEST(RegexCompile, InvalidPatternsGive2500AndLeaveNothingUsable) {
  const BadCase bad[] = {
      {'R', "[abc"},
      {'R', "(ab"},
      {'R', "{ab"},
      {'R', ":x"},
      {'R', "a:"},
      {'R', "a:0"},
      {'R', "a:0,0"},
      {'R', "a:3,2"},
      {'R', "a:*"},
      {'R', "a:*,"},
      {'R', "a:*x"},
      {'R', "\\"},
      {'R', "\\256"},
      {'R', "\\x"},
      {'R', "\\xg"},
      {'R', "{#1a}{b}"},
      {'R', "{#11a}"},
      {'R', "{#a}"},
      {'R', "\\g"},
      {'R', "\\g11"},
      {'R', "a:2147483647"},
      {'R', "a:1,2147483647"},
      {'R', "a:99999999999"},
      {'R', "[\\x]"},
      {'R', "[a-"},
      {'U', "(ab"},
      {'U', "(?x)"},
      {'U', "(?#ab"},
      {'U', "[ab"},
      {'U', "[]"},
      {'U', "a{2"},
      {'U', "a{x}"},
      {'U', "a{}"},
      {'U', "a{,}"},
      {'U', "\\d256"},
      {'U', "\\d"},
      {'U', "\\12"},
      {'U', "(?12a)"},
      {'U', "\\:x"},
      {'U', "\\"},
      {'U', "a{0}"},
      {'U', "a{3,2}"},
      {'U', "a{2147483648}"},
      {'U', "\\x"},
      {'U', "{a}"},
  };
  for (const BadCase& b : bad) {
    SCOPED_TRACE(std::string(1, b.syntax) + " '" + b.pattern + "'");
    RegexState st;
    // A good compile first, to see that the failure leaves nothing usable.
    ASSERT_EQ(re_compile(st, "a", 1, 0, 0), 0);
    EXPECT_EQ(re_compile(st, b.pattern, 1, 0, b.syntax == 'U'), ERR_INVALID_REGEX);
    EXPECT_EQ(st.direction, 0);
    std::string text = "aaa";
    EXPECT_EQ(re_search(st, 1, bytes(text), 3), 0);
  }
}

TEST(RegexCompile, NestingLimit) {
  RegexState st;
  EXPECT_EQ(re_compile(st, nested(18, "(", ")"), 1, 0, 0), 0);
  EXPECT_EQ(re_compile(st, nested(19, "(", ")"), 1, 0, 0), ERR_INVALID_REGEX);
  EXPECT_EQ(re_compile(st, nested(18, "{", "}"), 1, 0, 0), 0);
  EXPECT_EQ(re_compile(st, nested(19, "{", "}"), 1, 0, 0), ERR_INVALID_REGEX);
  EXPECT_EQ(re_compile(st, nested(18, "(?:", ")"), 1, 0, 1), 0);
  EXPECT_EQ(re_compile(st, nested(19, "(?:", ")"), 1, 0, 1), ERR_INVALID_REGEX);
  // A named class opens levels of its own: :n nests three deep.
  auto with_n = [](int n) {
    std::string s = nested(n, "(", ")");
    return s.replace(s.find('a'), 1, ":n");
  };
  EXPECT_EQ(re_compile(st, with_n(15), 1, 0, 0), 0);
  EXPECT_EQ(re_compile(st, with_n(16), 1, 0, 0), ERR_INVALID_REGEX);
}

TEST(RegexCompile, NulInPatternIsAnOrdinaryByte) {
  RegexState st;
  std::string pat("a\0b", 3);
  ASSERT_EQ(re_compile(st, pat, 1, 0, 0), 0);
  std::string text("xa\0b", 4);
  EXPECT_EQ(re_search(st, 1, bytes(text), 4), 2);
  EXPECT_EQ(st.match_length, 3);
}

TEST(RegexCompile, FirstCharacterTable) {
  RegexState st;
  ASSERT_EQ(re_compile(st, "abc", 1, 1, 0), 0);
  ASSERT_TRUE(st.first_valid);
  EXPECT_TRUE(st.first['a']);
  EXPECT_TRUE(st.first['A']);
  EXPECT_FALSE(st.first['b']);
  ASSERT_EQ(re_compile(st, "[a-c]", 1, 1, 0), 0);
  for (int b : {'a', 'b', 'c', 'A', 'B', 'C'}) EXPECT_TRUE(st.first[b]) << char(b);
  ASSERT_EQ(re_compile(st, "x@y|z", 1, 0, 0), 0);
  ASSERT_TRUE(st.first_valid);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(st.first[b] != 0, b == 'x' || b == 'y' || b == 'z') << b;
  // Possibly empty as a whole, or starting with an anchor: no table.
  for (const char* p : {"a@", "^a", "x|", "\\g0a", "~ab", "$"}) {
    ASSERT_EQ(re_compile(st, p, 1, 0, 0), 0) << p;
    EXPECT_FALSE(st.first_valid) << p;
  }
}

TEST(RegexCompile, RequiredByte) {
  struct R {
    const char* pattern;
    int ignore_case;
    int required;
  };
  const R cases[] = {
      {"[0-9]#\\.[0-9]#", 0, '.'}, {"x@y", 0, 'y'}, {"{ab}", 0, 'a'}, {"a|b", 0, -1},   {"(ab):2", 0, 'a'},
      {"(ab):*0,2", 0, -1},        {"~ab", 0, 'b'}, {"abc", 1, -1},   {"a\\.", 1, '.'}, {"?", 0, -1},
  };
  RegexState st;
  for (const R& r : cases) {
    ASSERT_EQ(re_compile(st, r.pattern, 1, static_cast<uint8_t>(r.ignore_case), 0), 0) << r.pattern;
    EXPECT_EQ(st.required, r.required) << r.pattern;
  }
  // The byte rules out lines, in both directions, before any match is tried.
  ASSERT_EQ(re_compile(st, "[0-9]#\\.[0-9]#", -1, 0, 0), 0);
  std::string text = "12 34.5";
  EXPECT_EQ(re_search(st, 8, bytes(text), 7), 4);
  EXPECT_EQ(re_search(st, 8, bytes(text), 5), 0);
  EXPECT_EQ(re_search(st, 1, nullptr, 0), 0);
}

TEST(RegexCompile, NodeLayouts) {
  RegexState st;
  // zero or more, most first: entry choice, body, loop node, end
  ASSERT_EQ(re_compile(st, "a@", 1, 0, 0), 0);
  ASSERT_EQ(st.last_node, 3);
  EXPECT_EQ(st.nodes[0].op & 0xFF, RX_SPLIT);
  EXPECT_EQ(st.nodes[1].op, uint32_t(RX_CHAR | ('a' << 8)));
  EXPECT_EQ(st.nodes[2].op & 0xFF, RX_SPLIT);
  EXPECT_EQ(st.nodes[2].a, -1);
  EXPECT_EQ(st.nodes[3].op & 0xFF, RX_END);
  EXPECT_EQ(st.nodes[0].b, 3);  // the entry's exit leads to the end
  // a counted repeat: reset, body, repeat with its bounds and counter
  ASSERT_EQ(re_compile(st, "a:2,5", 1, 0, 0), 0);
  EXPECT_EQ(st.nodes[0].op, uint32_t(RX_COUNT_RESET | (1 << 8)));
  EXPECT_EQ(st.nodes[2].op, uint32_t(RX_REPEAT | (1 << 8)));
  EXPECT_EQ(st.nodes[2].min, 2);
  EXPECT_EQ(st.nodes[2].max, 5);
  // a class takes three slots
  ASSERT_EQ(re_compile(st, "[a]b", 1, 0, 0), 0);
  EXPECT_EQ(st.nodes[0].op & 0xFF, RX_CLASS);
  EXPECT_EQ(st.nodes[3].op, uint32_t(RX_CHAR | ('b' << 8)));
}

TEST(RegexSearch, EmptyLoopsTerminate) {
  // Closures over bodies that can match empty leave instead of spinning.
  const char* own[] = {"(a|)@", "(a@)@",      "(x*)#",   "(\\c)@", "{a@}@b",
                       "(~a)@", "(\\g0)@{x}", "({}|a)#", "(^)@",   "(a:*0,3)@"};
  const char* unix_p[] = {"(a|)*", "(a*)*", "(a?)+?", "(?:(?!b))*", "()*", "(a*)*?b", "(\\1)*(a)"};
  std::string text(200, 'b');
  RegexState st;
  for (const char* p : own) {
    ASSERT_EQ(re_compile(st, p, 1, 0, 0), 0) << p;
    EXPECT_GE(re_search(st, 1, bytes(text), 200), 0) << p;
  }
  for (const char* p : unix_p) {
    ASSERT_EQ(re_compile(st, p, 1, 0, 1), 0) << p;
    EXPECT_GE(re_search(st, 1, bytes(text), 200), 0) << p;
  }
}

TEST(RegexSearch, DecodeEscape) {
  struct E {
    const char* in;
    int unix_syntax;
    int rc;
    int out;
    int used;
  };
  const E cases[] = {
      {"n", 0, 0, 10, 1},
      {"T", 0, 0, 9, 1},
      {"b", 0, 0, 8, 1},
      {"b", 1, 0, 'b', 1},
      {"12x", 0, 0, 12, 2},
      {"2555", 0, 0, 255, 3},
      {"256", 0, ERR_INVALID_REGEX, 0, 0},
      {"d65", 1, 0, 65, 3},
      {"d", 1, ERR_INVALID_REGEX, 0, 0},
      {"xfz", 0, 0, 15, 2},
      {"x7f", 1, 0, 127, 3},
      {"xz", 0, ERR_INVALID_REGEX, 0, 0},
      {"#", 0, 0, '#', 1},
      {"", 0, ERR_INVALID_REGEX, 0, 0},
  };
  for (const E& e : cases) {
    SCOPED_TRACE(e.in);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(e.in);
    const uint8_t* cur = p;
    uint8_t out = 0;
    EXPECT_EQ(re_decode_escape(&cur, static_cast<int>(std::strlen(e.in)), &out, e.unix_syntax), e.rc);
    EXPECT_EQ(cur - p, e.used);
    if (e.rc == 0) {
      EXPECT_EQ(out, e.out);
    }
  }
}

// {=== the break key stops a runaway backtrack

class BreakKeyFixture : public ::testing::Test {
 protected:
  void SetUp() override { uitest::install(); }
  void TearDown() override { uitest::install(); }
};

TEST_F(BreakKeyFixture, ExponentialPatternIsStoppedByTheBreakKey) {
  RegexState st;
  ASSERT_EQ(re_compile(st, "(a+)+b", 1, 0, 1), 0);
  // The b is there, so no shortcut rules the line out: only backtracking can.
  std::string text = std::string(998, 'a') + "cb";
  uitest::ui.key_down = true;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(re_search(st, 1, bytes(text), 1000), ERR_COMMAND_CANCELLED);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
  EXPECT_LT(ms.count(), 2000);
  EXPECT_EQ(st.match_length, 0);
  EXPECT_EQ(st.group_mask, 0u);
  // The own syntax too, and backward.
  ASSERT_EQ(re_compile(st, "(a#)#b", -1, 0, 0), 0);
  EXPECT_EQ(re_search(st, 1001, bytes(text), 1000), ERR_COMMAND_CANCELLED);
}

TEST_F(BreakKeyFixture, WithoutABreakTheSameSearchAnswers) {
  RegexState st;
  ASSERT_EQ(re_compile(st, "(a+)+b", 1, 0, 1), 0);
  std::string text = std::string(14, 'a') + "cb";
  EXPECT_EQ(re_search(st, 1, bytes(text), 16), 0);
  text = std::string(14, 'a') + "b";
  EXPECT_EQ(re_search(st, 1, bytes(text), 15), 1);
  EXPECT_EQ(st.match_length, 15);
}

TEST_F(BreakKeyFixture, FlaggedBreakStopsAndClears) {
  RegexState st;
  ASSERT_EQ(re_compile(st, "(a|aa)+c", 1, 0, 1), 0);
  std::string text = std::string(198, 'a') + "bc";
  uitest::ui.break_flagged = true;
  EXPECT_EQ(re_search(st, 1, bytes(text), 200), ERR_COMMAND_CANCELLED);
  uitest::ui.break_flagged = false;
  text = "aac";
  EXPECT_EQ(re_search(st, 1, bytes(text), 3), 1);
}

// }===

// {=== allocation failures

class RegexAllocFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    re_release_working_storage();
    live_ = mem_live_blocks();
  }
  void TearDown() override {
    mem_fail_after(0);
    re_release_working_storage();
    EXPECT_EQ(mem_live_blocks(), live_);
  }
  int64_t live_ = 0;
};

TEST_F(RegexAllocFixture, ChoiceStackThatCannotGrowFailsTheSearch) {
  RegexState st;
  ASSERT_EQ(re_compile(st, "a@b", 1, 0, 0), 0);
  std::string text(2000, 'a');
  text += 'b';
  {
    // The stack's first block and one growth succeed, then nothing: a
    // greedy loop over 2000 bytes needs a record per byte.
    MemFaultGuard guard(3, true);
    EXPECT_EQ(re_search(st, 1, bytes(text), 2001), ERR_INSUFFICIENT_MEMORY);
    EXPECT_EQ(st.match_length, 0);
    // Short lines still work with the stack it has.
    std::string shortline = "xaab";
    EXPECT_EQ(re_search(st, 1, bytes(shortline), 4), 2);
    EXPECT_EQ(st.match_length, 3);
  }
  EXPECT_EQ(re_search(st, 1, bytes(text), 2001), 1);
  EXPECT_EQ(st.match_length, 2001);
}

TEST_F(RegexAllocFixture, EveryFailedAllocationGives8AndLeavesNoUsablePattern) {
  // Fail the n-th allocation for n = 1, 2, ... until the compile and the
  // search both get through.
  std::string text(300, 'x');
  text += "123.5e7";
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    re_release_working_storage();
    RegexState st;
    mem_fail_after(n);
    ErrorCode rc = re_compile(st, "(:n|x)@?7", 1, 0, 0);
    int col = rc == 0 ? re_search(st, 1, bytes(text), static_cast<int>(text.size())) : 0;
    bool fired = mem_fault_fired();
    mem_fail_after(0);
    if (rc != 0) {
      EXPECT_EQ(rc, ERR_INSUFFICIENT_MEMORY);
      EXPECT_EQ(st.direction, 0);
      EXPECT_EQ(re_search(st, 1, bytes(text), static_cast<int>(text.size())), 0);
      continue;
    }
    if (col < 0) {
      EXPECT_EQ(col, ERR_INSUFFICIENT_MEMORY);
      continue;
    }
    EXPECT_FALSE(fired);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(st.match_length, static_cast<int>(text.size()));
    break;
  }
}

// }===

TEST(RegexState, SwapAndCurrent) {
  RegexState mine;
  ASSERT_EQ(re_compile(mine, "[0-9]#", 1, 0, 0), 0);
  re_swap(mine, re_current());
  std::string text = "ab12";
  EXPECT_EQ(re_search(3, nullptr, bytes(text), 4), 3);
  EXPECT_EQ(re_current().match_length, 2);
  re_swap(mine, re_current());
  EXPECT_EQ(mine.match_length, 2);
  RegexState moved(std::move(mine));
  EXPECT_EQ(mine.nodes, nullptr);
  EXPECT_EQ(re_search(moved, 1, bytes(text), 4), 3);
}

TEST(RegexWildcard, DirectorySearchesUseTheEngine) {
  char expr[64];
  ASSERT_TRUE(os_wildcard_to_expr("*.c", expr, sizeof expr));
  EXPECT_EQ(os_wildcard_match(expr, "main.c"), 1);
  EXPECT_EQ(os_wildcard_match(expr, "main.cpp"), 0);
  EXPECT_EQ(os_wildcard_match(expr, ".c"), 1);
  // What only the full engine understands: counted repeats, named classes.
  EXPECT_EQ(os_wildcard_match("^a:2$", "aa"), 1);
  EXPECT_EQ(os_wildcard_match("^a:2$", "aaa"), 0);
  EXPECT_EQ(os_wildcard_match("^:d#\\.log$", "2024.log"), 1);
  EXPECT_EQ(os_wildcard_match("^[a", "a"), ERR_INVALID_REGEX);
}

TEST(RegexFuzzCorpus, SavedInputsRunClean) { corpus::replay("regex", fuzz_regex_one_input); }

}  // namespace

namespace {

// The run of bytes every match holds is looked for many bytes at a time;
// wherever it lies in lines of every length up to past three steps of that
// scan, with decoys of its anchor bytes around it, the line matches at the
// run and only there, and re_find_chain reports where the run starts.
TEST(RegexChain, FoundAtEveryPlaceInLinesOfEveryLength) {
  RegexState st;
  ASSERT_EQ(re_compile(st, "[0-9]+ [-+*/%] [0-9]+", 1, 0, 1), 0);
  ASSERT_GT(st.chain_len, 0);
  for (int n = 0; n <= 70; ++n) {
    // Decoys: anchor bytes with no run around them.
    std::string filler(static_cast<size_t>(n), 'x');
    for (int i = 0; i < n; i += 7) filler[static_cast<size_t>(i)] = "+-*/%"[i % 5];
    const auto* f = reinterpret_cast<const uint8_t*>(filler.data());
    EXPECT_EQ(re_search(st, 1, f, n), 0) << n;
    EXPECT_EQ(re_find_chain(st, f, n), -1) << n;
    for (int at = 0; at + 5 <= n; ++at) {
      std::string line = filler;
      line.replace(static_cast<size_t>(at), 5, "4 % 2");
      const auto* t = reinterpret_cast<const uint8_t*>(line.data());
      EXPECT_EQ(re_search(st, 1, t, n), at + 1) << n << " " << at;
      EXPECT_EQ(re_find_chain(st, t, n), at) << n << " " << at;
    }
  }
}

}  // namespace
