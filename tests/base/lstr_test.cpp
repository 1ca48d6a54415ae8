// Counted strings: one table of cases per group of operations, plus the
// edges that catch faults (capacity cuts, positions outside the string, NUL
// bytes inside, the most negative integer, malformed varints).
#include "base/lstr.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "base/messages.h"

// The fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_lstr_fields_one_input
#include "fuzz/lstr_fields.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

namespace {

using namespace std::string_literals;

LStrLine L(std::string_view s) { return LStrLine(s); }
std::string S(const LStr* s) { return std::string(s->view()); }

// A small buffer followed by a guard, to show that a write stays inside the capacity.
template <int32_t Cap>
struct Guarded {
  LStrBuf<Cap> s;
  char guard[16];
  Guarded() { std::memset(guard, 0x5A, sizeof guard); }
  bool intact() const {
    for (char c : guard)
      if (c != 0x5A) return false;
    return true;
  }
};

// ---------------------------------------------------------------------------
// Building, copying and converting

TEST(LStrBuild, CopyAndAppendCutAtCapacity) {
  struct Case {
    const char* what;
    std::string dst, src;
    int32_t cap;
    bool append;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"copy fits", "old", "abc", 10, false, "abc"},     {"copy cut", "old", "abcdef", 4, false, "abcd"},
      {"copy zero cap", "old", "abc", 0, false, ""},     {"copy NUL inside", "", "a\0b"s, 10, false, "a\0b"s},
      {"append fits", "ab", "cd", 10, true, "abcd"},     {"append cut", "ab", "cdef", 5, true, "abcde"},
      {"append at cap", "abcde", "x", 5, true, "abcde"}, {"append past cap", "abcdef", "x", 4, true, "abcdef"},
      {"append NUL", "a", "\0"s, 10, true, "a\0"s},
  };
  for (const Case& c : cases) {
    LStrLine d = L(c.dst);
    LStrLine s = L(c.src);
    if (c.append)
      lstr_append(d, s, c.cap);
    else
      lstr_copy(d, s, c.cap);
    EXPECT_EQ(S(d), c.want) << c.what;
  }
}

TEST(LStrBuild, AppendCstrIsAllOrNothingWhileAppendCuts) {
  LStrLine d;
  d.assign(std::string(1020, 'x'));
  lstr_append_cstr(d, "12345", LSTR_CAP_LINE);
  EXPECT_EQ(d.len, 1020);  // 1020 + 5 > 1024: unchanged
  lstr_append_cstr(d, "1234", LSTR_CAP_LINE);
  EXPECT_EQ(d.len, 1024);  // exactly fits

  d.assign(std::string(1020, 'x'));
  LStrLine five = L("12345");
  lstr_append(d, five, LSTR_CAP_LINE);
  EXPECT_EQ(d.len, 1024);
  EXPECT_EQ(d.view().substr(1020), "1234");

  LStrLine m = L("ab");
  lstr_append_mem(m, "cdef", 4, 4);
  EXPECT_EQ(S(m), "abcd");
}

TEST(LStrBuild, SetFromMemoryAndCstr) {
  LStrLine d;
  lstr_set_mem(d, "a\0bc", 4, 3);
  EXPECT_EQ(S(d), "a\0b"s);
  lstr_set_mem(d, "xyz", -1, 10);
  EXPECT_EQ(S(d), "");
  lstr_set_cstr(d, "hello");
  EXPECT_EQ(S(d), "hello");
  lstr_set_cstr_max(d, "hello", 3);
  EXPECT_EQ(S(d), "hel");
  lstr_set_cstr_max(d, "hi", 3);
  EXPECT_EQ(S(d), "hi");

  LStrLine u = L("ab");
  lstr_append_cstr_upto(u, "cdefg", 4);
  EXPECT_EQ(S(u), "abcd");
  lstr_append_cstr_upto(u, "xyz", 4);
  EXPECT_EQ(S(u), "abcd");
}

TEST(LStrBuild, ToCstrAlwaysTerminates) {
  char buf[4];
  LStrLine s = L("abcdef");
  EXPECT_STREQ(lstr_to_cstr(buf, s, 4), "abc");
  LStrLine t = L("ab");
  EXPECT_STREQ(lstr_to_cstr(buf, t, 4), "ab");
  LStrLine exact = L("abcd");
  EXPECT_STREQ(lstr_to_cstr(buf, exact, 4), "abc");  // length == n: first n - 1

  LStrBuf<1100> big;
  big.assign(std::string(1100, 'q'));
  const char* c = lstr_as_cstr(big);
  EXPECT_EQ(std::strlen(c), 1024u);
  EXPECT_EQ(c, lstr_cstr_buf);
}

TEST(LStrBuild, ToLongFollowsTheGrammar) {
  struct Case {
    std::string text;
    int32_t value;
    int32_t error;
  };
  const std::vector<Case> cases = {
      {" - 12 ", -12, 0},
      {"12a", 0, 1},
      {"", 0, 1},
      {"+", 0, 1},
      {"1 2", 0, 1},
      {"  +7\t", 7, 0},
      {"\t", 0, 1},
      {"-", 0, 1},
      {"- ", 0, 1},
      {"0", 0, 0},
      {"0x1", 0, 1},
      {"--1", 0, 1},
      {"-2147483648", INT32_MIN, 0},
      {"2147483647", INT32_MAX, 0},
      {"4294967297", 1, 0},  // wraps modulo 2^32
      {"1\0"s, 0, 1},        // a NUL is not a blank
  };
  for (const Case& c : cases) {
    lstr_number_error = 7;
    LStrLine s = L(c.text);
    EXPECT_EQ(lstr_to_long(s), c.value) << '"' << c.text << '"';
    EXPECT_EQ(lstr_number_error, c.error) << '"' << c.text << '"';
  }
}

TEST(LStrBuild, FromIntIncludingTheMostNegative) {
  struct Case {
    int32_t v;
    const char* want;
  };
  for (Case c : {Case{0, "0"}, Case{7, "7"}, Case{-7, "-7"}, Case{1000, "1000"}, Case{INT32_MAX, "2147483647"},
                 Case{INT32_MIN, "-2147483648"}}) {
    LStrBuf<11> d;
    EXPECT_EQ(lstr_from_int(c.v, d), static_cast<int32_t>(std::strlen(c.want)));
    EXPECT_EQ(S(d), c.want);
    LStrBuf<11> u;
    lstr_from_int_u(c.v, u);
    EXPECT_EQ(S(u), c.want);
  }
  LStrLine w;
  lstr_from_int_width(w, 5, -42);
  EXPECT_EQ(S(w), "  -42");
  lstr_from_int_width(w, 2, 12345);
  EXPECT_EQ(S(w), "12345");  // not cut
}

// ---------------------------------------------------------------------------
// Substrings and editing in place

TEST(LStrEdit, Substr) {
  struct Case {
    std::string src;
    int32_t start, count, cap;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"abcdef", 2, 3, 100, "bcd"}, {"abcdef", 7, 1, 100, ""},      {"abcdef", 0, 2, 100, ""},
      {"abcdef", -3, 2, 100, ""},   {"abcdef", 3, -1, 100, "cdef"}, {"abcdef", 4, 99, 100, "def"},
      {"abcdef", 1, 6, 4, "abcd"},  {"abcdef", 6, 1, 100, "f"},     {"a\0b"s, 2, 2, 100, "\0b"s},
      {"", 1, 1, 100, ""},          {"abc", 1, 0, 100, ""},
  };
  for (const Case& c : cases) {
    LStrLine src = L(c.src);
    LStrLine dst = L("junk");
    lstr_substr(dst, src, c.start, c.count, c.cap);
    EXPECT_EQ(S(dst), c.want) << c.src << " " << c.start << " " << c.count;
  }
  LStrLine same = L("abcdef");
  lstr_substr(same, same, 3, 2, 100);  // in place
  EXPECT_EQ(S(same), "cd");
}

TEST(LStrEdit, Delete) {
  struct Case {
    std::string s;
    int32_t start, count;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"abcdef", 5, 10, "abcd"},  {"abc", 4, 1, "abc"},        {"abcdef", 2, 2, "adef"},
      {"abcdef", 0, 2, "abcdef"}, {"abcdef", 2, -1, "abcdef"}, {"abcdef", 1, 6, ""},
      {"abcdef", 6, 1, "abcde"},  {"abcdef", 3, 0, "abcdef"},  {"abcdef", 2, INT32_MAX, "a"},
  };
  for (const Case& c : cases) {
    LStrLine s = L(c.s);
    lstr_delete(s, c.start, c.count);
    EXPECT_EQ(S(s), c.want) << c.s << " " << c.start << " " << c.count;
  }
}

TEST(LStrEdit, PutField) {
  struct Case {
    const char* what;
    std::string dst, src;
    int32_t insert, width, src_col, col, cap;
    std::string want;
    int32_t overflow;
  };
  const std::vector<Case> cases = {
      {"overlay past the end pads with blanks", "xxxx", "abc", 0, 3, 1, 8, 1024, "xxxx   abc", 0},
      {"overlay inside", "abcdef", "XY", 0, 2, 1, 2, 1024, "aXYdef", 0},
      {"overlay grows the line", "abcdef", "XYZ", 0, 3, 1, 5, 1024, "abcdXYZ", 0},
      {"insert inside", "abcdef", "XY", 1, 2, 1, 3, 1024, "abXYcdef", 0},
      {"insert at a full line cuts the tail", "0123456789", "abc", 1, 3, 1, 2, 10, "0abc123456", -1},
      {"source shorter than its column", "abcdef", "ab", 0, 3, 5, 2, 1024, "a   ef", 0},
      {"source runs out inside the field", "abcdef", "abcd", 0, 4, 3, 1, 1024, "cd  ef", 0},
      {"field cut at the capacity", "abc", "WXYZ", 0, 4, 1, 4, 5, "abcWX", -1},
      {"column just past the capacity", "abc", "WXYZ", 0, 4, 1, 6, 5, "abc  ", -1},
      {"zero width pads only", "ab", "XY", 0, 0, 1, 5, 1024, "ab  ", 0},
  };
  for (const Case& c : cases) {
    LStrLine dst = L(c.dst);
    LStrLine src = L(c.src);
    lstr_field = {c.insert, c.width, c.src_col, 0};
    lstr_put_field(src, dst, c.col, c.cap);
    EXPECT_EQ(S(dst), c.want) << c.what;
    EXPECT_EQ(lstr_field.overflow, c.overflow) << c.what;
  }
}

TEST(LStrEdit, PutFieldNeverWritesPastTheCapacity) {
  // A column far beyond the capacity (from a block selection) must not write
  // blanks or a field past the buffer.
  Guarded<10> g;
  g.s.assign("abc");
  LStrLine src = L("field");
  lstr_field = {0, 5, 1, 0};
  lstr_put_field(src, g.s, 40, 10);
  EXPECT_EQ(S(g.s), "abc");
  EXPECT_EQ(lstr_field.overflow, -1);
  EXPECT_TRUE(g.intact());

  lstr_field = {1, 50, 1, 0};
  g.s.assign("0123456789");
  lstr_put_field(src, g.s, 3, 10);
  EXPECT_EQ(S(g.s), "01field   ");
  EXPECT_EQ(lstr_field.overflow, -1);
  EXPECT_TRUE(g.intact());

  lstr_field = {1, -4, 1, 0};  // a negative width puts nothing
  g.s.assign("abc");
  lstr_put_field(src, g.s, 2, 10);
  EXPECT_EQ(S(g.s), "abc");
  EXPECT_TRUE(g.intact());
}

TEST(LStrEdit, PutFieldNeverClearsOverflow) {
  LStrLine dst = L("abc");
  LStrLine src = L("x");
  lstr_field = {0, 1, 1, -1};
  lstr_put_field(src, dst, 1, 1024);
  EXPECT_EQ(lstr_field.overflow, -1);
}

TEST(LStrEdit, PadLeft) {
  LStrLine s = L("ab");
  lstr_pad_left(s, 5, '0');
  EXPECT_EQ(S(s), "000ab");
  lstr_pad_left_blank(s, 3);
  EXPECT_EQ(S(s), "000ab");
  LStrLine e;
  lstr_pad_left_blank(e, 2);
  EXPECT_EQ(S(e), "  ");
}

TEST(LStrEdit, StripAndTheOneShotExactFlag) {
  struct Case {
    std::string s;
    char mode, ch;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"\t x \t", 'B', ' ', "x"}, {"  x  ", 'L', ' ', "x  "},   {"  x  ", 'T', ' ', "  x"},
      {"xxxx", 'B', 'x', ""},     {"\tx\t", 'B', 'x', "\tx\t"}, {"--a-b--", 'Z', '-', "a-b"},
      {"", 'B', ' ', ""},         {"\0\0a\0"s, 'B', '\0', "a"},
  };
  for (const Case& c : cases) {
    LStrLine s = L(c.s);
    lstr_strip(s, c.mode, c.ch);
    EXPECT_EQ(S(s), c.want) << c.s << " " << c.mode;
  }
  LStrLine s = L("\t x \t");
  lstr_strip_exact = 1;
  lstr_strip(s, 'B', ' ');
  EXPECT_EQ(S(s), "\t x \t");
  EXPECT_EQ(lstr_strip_exact, 0);
  lstr_strip(s, 'B', ' ');
  EXPECT_EQ(S(s), "x");
}

TEST(LStrEdit, Translate) {
  LStrLine out = L("ABC");
  LStrLine out2 = L("AB");
  LStrLine in = L("abc");
  LStrLine s = L("abcd");
  lstr_translate(s, out, in, '*');
  EXPECT_EQ(S(s), "ABCd");  // d is not in the input table
  s.assign("abcd");
  lstr_translate(s, out2, in, '*');
  EXPECT_EQ(S(s), "AB*d");  // c's index is past the output table
  s.assign("\x01\x02z");
  LStrLine xyz = L("xyz");
  lstr_translate(s, xyz, nullptr, '#');
  EXPECT_EQ(S(s), "yz#");  // index is the byte's code
  s.assign("abz!");
  lstr_translate(s, nullptr, in, '#');
  EXPECT_EQ(S(s), "ABz!");  // without out: upper-cased
}

TEST(LStrEdit, CaseChangesAsciiLettersOnly) {
  LStrLine s = L("aZ\xE9\xC9 1\0q"s);
  lstr_upcase(s);
  EXPECT_EQ(S(s), "AZ\xE9\xC9 1\0Q"s);
  lstr_lowcase(s);
  EXPECT_EQ(S(s), "az\xE9\xC9 1\0q"s);
}

// ---------------------------------------------------------------------------
// Comparisons

TEST(LStrCompare, CmpByLengthAndByte) {
  struct Case {
    std::string a, b;
    int32_t want;
  };
  const std::vector<Case> cases = {
      {"ab", "abc", -1},         {"abc", "ab", 1},          {"abd", "abc", 1},      {"", "", 0},      {"abc", "abc", 0},
      {"\xFF", "a", 0xFF - 'a'}, {"a", "\xFF", 'a' - 0xFF}, {"a\0b"s, "a\0c"s, -1}, {"a\0"s, "a", 1}, {"b", "abc", 1},
  };
  for (const Case& c : cases) {
    LStrLine a = L(c.a), b = L(c.b);
    EXPECT_EQ(lstr_cmp(a, b), c.want) << c.a << " / " << c.b;
    EXPECT_EQ(lstr_eq(a, b), c.want == 0 ? 1 : 0);
    if (c.b.find('\0') == std::string::npos) {
      EXPECT_EQ(lstr_cmp_cstr(a, c.b.c_str()), c.want) << c.a << " / " << c.b;
    }
  }
}

TEST(LStrCompare, CaseInsensitiveAndMemory) {
  LStrLine a = L("Hello"), b = L("hELLO"), c = L("Hell");
  EXPECT_EQ(lstr_ieq(a, b), 1);
  EXPECT_EQ(lstr_ieq(a, c), 0);
  EXPECT_EQ(lstr_ieq_cstr(a, "HELLO"), 1);
  EXPECT_EQ(lstr_ieq_cstr(a, "HELLOX"), 0);
  EXPECT_EQ(lstr_eq_mem(a, "Hello", 5), 1);
  EXPECT_EQ(lstr_eq_mem(a, "hello", 5), 0);
  EXPECT_EQ(lstr_ieq_mem(a, "hello", 5), 1);
  EXPECT_EQ(lstr_ieq_mem(a, "hello", 4), 0);
  LStrLine hi = L("\xE9"), lo = L("\xC9");
  EXPECT_EQ(lstr_ieq(hi, lo), 0);  // only ASCII letters fold
}

TEST(LStrCompare, PrefixApplyRestoresTheLength) {
  LStrLine a = L("Hello world"), b = L("hello"), longer = L("Hello world!");
  EXPECT_EQ(lstr_prefix_apply(a, b, lstr_ieq), 1);
  EXPECT_EQ(lstr_prefix_apply(a, b, lstr_eq), 0);
  EXPECT_EQ(a.len, 11);
  EXPECT_EQ(lstr_prefix_apply(a, longer, lstr_ieq), 0);
}

TEST(LStrCompare, MemCompare) {
  EXPECT_EQ(mem_compare("abc", "abd", 3), 'c' - 'd');
  EXPECT_EQ(mem_compare("abc", "abd", 2), 0);
  EXPECT_EQ(mem_compare("x", "y", 0), 0);
  EXPECT_EQ(mem_compare("\x80", "\x01", 1), 0x7F);
}

// ---------------------------------------------------------------------------
// Words, tokens and fields

TEST(LStrWords, WordAt) {
  struct Case {
    std::string src;
    int32_t start;
    std::string word;
    int32_t next;
  };
  const std::vector<Case> cases = {
      {"  ab  cd", 1, "ab", 7}, {"  ab  cd", 7, "cd", 0},   {"  ab  cd", 4, "b", 7}, {"ab\tcd", 1, "ab", 4},
      {"ab", 0, "", 0},         {"ab", -1, "", 0},          {"ab", 3, "", 0},        {"   ", 1, "", 0},
      {"ab  ", 1, "ab", 0},     {"a\0b c"s, 1, "a\0b"s, 5},
  };
  for (const Case& c : cases) {
    LStrLine src = L(c.src);
    LStrLine dst = L("junk");
    EXPECT_EQ(lstr_word_at(c.start, src, dst), c.next) << c.src << " @" << c.start;
    EXPECT_EQ(S(dst), c.word) << c.src << " @" << c.start;
  }
  LStrBuf<2000> big;
  big.assign(std::string(1500, 'w'));
  LStrLine dst;
  lstr_word_at(1, big.ls(), dst);
  EXPECT_EQ(dst.len, LSTR_CAP_LINE);
}

TEST(LStrWords, TakeWordAndToken) {
  LStrLine src = L("  ab  cd "), dst;
  lstr_take_word(src, dst);
  EXPECT_EQ(S(dst), "ab");
  EXPECT_EQ(S(src), "cd ");
  lstr_take_word(src, dst);
  EXPECT_EQ(S(dst), "cd");
  EXPECT_EQ(S(src), "");
  src.assign("   ");
  lstr_take_word(src, dst);
  EXPECT_EQ(S(dst), "");
  EXPECT_EQ(S(src), "");

  struct Case {
    std::string src;
    const char* delims;
    std::string token, rest;
  };
  const std::vector<Case> cases = {
      {",,ab;;cd", ",;", "ab", "cd"}, {",,,", ",", "", ""}, {"ab", ",", "ab", ""},
      {"a\0b,c"s, ",", "a\0b"s, "c"}, {"", ",", "", ""},    {"x y", "", "x y", ""},
  };
  for (const Case& c : cases) {
    LStrLine s = L(c.src), t = L("junk");
    lstr_take_token(s, t, c.delims);
    EXPECT_EQ(S(t), c.token) << c.src;
    EXPECT_EQ(S(s), c.rest) << c.src;
  }
}

TEST(LStrWords, TakeField) {
  struct Case {
    std::string src;
    int32_t cap, keep;
    std::string field, rest;
  };
  const std::vector<Case> cases = {
      {"  a b ,rest", 1024, 0, "a b", "rest"},
      {"  a b ,rest", 1024, 1, "  a b ", "rest"},
      {"abc", 1024, 0, "abc", ""},
      {"abcdef,x", 3, 0, "ab", "x"},
      {"\ta\t,b", 1024, 0, "\ta\t", "b"},
      {",x", 1024, 0, "", "x"},
      {"  ,x", 1024, 0, "", "x"},
      {"ab,", 1, 0, "", ""},
  };
  for (const Case& c : cases) {
    LStrLine s = L(c.src), f = L("junk");
    lstr_take_field(s, f, c.cap, c.keep, ',');
    EXPECT_EQ(S(f), c.field) << c.src;
    EXPECT_EQ(S(s), c.rest) << c.src;
  }
  LStrLine s = L("skip,keep");
  lstr_take_field(s, nullptr, 10, 0, ',');
  EXPECT_EQ(S(s), "keep");
}

TEST(CStrWords, TakeFieldAndWords) {
  char src[32] = "  a b ,rest";
  char dst[8];
  cstr_take_field(src, dst, sizeof dst, 0, ',');
  EXPECT_STREQ(dst, "a b");
  EXPECT_STREQ(src, "rest");
  std::strcpy(src, "abcdefghij,z");
  cstr_take_field(src, dst, 4, 1, ',');
  EXPECT_STREQ(dst, "abc");
  EXPECT_STREQ(src, "z");
  cstr_take_field(src, nullptr, 0, 0, ',');
  EXPECT_STREQ(src, "");

  struct Case {
    const char* line;
    bool quoted;
    const char* word;
    const char* rest;
  };
  const std::vector<Case> cases = {
      {"  foo  bar", false, "foo", "bar"},  {"   ", false, "", ""},
      {"  \"a b\" c", true, "a b", "c"},    {"\"a b", true, "a b", ""},
      {"\"a b\" c", false, "\"a", "b\" c"}, {"plain rest", true, "plain", "rest"},
      {"\"\"  x", true, "", "x"},
  };
  for (const Case& c : cases) {
    char line[32], word[32];
    std::strcpy(line, c.line);
    if (c.quoted)
      cstr_take_word_quoted(line, word, sizeof word);
    else
      cstr_take_word(line, word, sizeof word);
    EXPECT_STREQ(word, c.word) << c.line;
    EXPECT_STREQ(line, c.rest) << c.line;
  }
  char line[] = "abcdefgh rest";
  char small[4];
  cstr_take_word(line, small, sizeof small);
  EXPECT_STREQ(small, "abc");
  EXPECT_STREQ(line, "rest");
}

// ---------------------------------------------------------------------------
// Searching

TEST(LStrSearch, FindAndPos) {
  struct Case {
    std::string hay, needle;
    int32_t start, want;
  };
  const std::vector<Case> cases = {
      {"abcabc", "bc", 1, 2},  {"abcabc", "bc", 3, 5},     {"abcabc", "bc", 6, 0}, {"abcabc", "bc", -5, 2},
      {"abcabc", "", 1, 0},    {"ab", "abc", 1, 0},        {"abcabc", "c", 6, 6},  {"abcabc", "abc", 4, 4},
      {"abcabc", "abc", 5, 0}, {"a\0b\0c"s, "\0c"s, 1, 4}, {"", "a", 1, 0},        {"aaab", "aab", 1, 2},
      {"abc", "c", 99, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mem_pos(c.needle.data(), static_cast<int32_t>(c.needle.size()), c.hay.data(),
                      static_cast<int32_t>(c.hay.size()), c.start),
              c.want)
        << c.hay << " / " << c.needle << " @" << c.start;
    LStrLine n = L(c.needle), h = L(c.hay);
    EXPECT_EQ(lstr_pos(n, h, c.start), c.want);
    const char* p = mem_find(c.needle.data(), static_cast<int32_t>(c.needle.size()), c.hay.data(),
                             static_cast<int32_t>(c.hay.size()), c.start);
    EXPECT_EQ(p == nullptr ? 0 : static_cast<int32_t>(p - c.hay.data()) + 1, c.want);
  }
  LStrLine s = L("a,b,c");
  EXPECT_EQ(lstr_pos_char(',', s, 1), 2);
  EXPECT_EQ(lstr_pos_char(',', s, 3), 4);
  EXPECT_EQ(lstr_pos_char('x', s, 1), 0);
  EXPECT_EQ(cstr_pos("lo", "hello lo", 1), 4);
  EXPECT_EQ(cstr_pos("lo", "hello lo", 5), 7);
  const char* hay = "hello";
  EXPECT_EQ(cstr_find("ll", hay, 1), hay + 2);
  EXPECT_EQ(cstr_find("x", hay, 1), nullptr);
  EXPECT_EQ(cstr_pos_char('l', "hello", 1), 3);
  EXPECT_EQ(cstr_pos_char('l', "hello", 5), 0);
  EXPECT_EQ(cstr_pos_char('\0', "hello", 1), 0);  // the terminator is not part of the string
}

TEST(LStrSearch, SkipChar) {
  struct Case {
    std::string s;
    char ch;
    int32_t start, want;
  };
  for (const Case& c : {Case{"aaab", 'a', 1, 4}, Case{"aaa", 'a', 1, 4}, Case{"aaa", 'a', 5, 5}, Case{"abc", 'x', 2, 2},
                        Case{"", 'a', 1, 1}, Case{"  x", ' ', 0, 3}}) {
    LStrLine s = L(c.s);
    EXPECT_EQ(lstr_skip_char(s, c.ch, c.start), c.want) << c.s << " @" << c.start;
  }
}

TEST(LStrSearch, VerifyLeavesItsTableClean) {
  const std::string p = "abc123";
  struct Case {
    std::string set;
    int32_t mode, start, want;
  };
  for (const Case& c : {Case{"abc", 1, 1, 1}, Case{"abc", 0, 1, 4}, Case{"abc", 0, 4, 4}, Case{"abc", 1, 4, 0},
                        Case{"abc", 1, 0, 0}, Case{"abc", 1, 7, 0}, Case{"321cba", 0, 1, 0}, Case{"3", 1, 2, 6}}) {
    LStrLine set = L(c.set);
    EXPECT_EQ(lstr_verify(p.data(), 6, set, c.mode, c.start), c.want) << c.set << " " << c.mode;
  }
  // Had the previous calls left 'a', 'b' or 'c' marked, this would find nothing.
  LStrLine one = L("1");
  EXPECT_EQ(lstr_verify("abc", 3, one, 0, 1), 1);
  EXPECT_EQ(lstr_verify("abc", 3, one, 1, 1), 0);
}

TEST(LStrSearch, ScanSetBothWays) {
  uint8_t table[256] = {};
  table[static_cast<uint8_t>('x')] = 1;
  table[0] = 1;
  const char s[] = "abxcdx";
  EXPECT_EQ(mem_scan_set(table, s, 6), s + 2);
  EXPECT_EQ(mem_scan_set(table, s, 2), nullptr);
  EXPECT_EQ(mem_scan_set_back(table, s + 5, 6), s + 5);
  EXPECT_EQ(mem_scan_set_back(table, s + 4, 5), s + 2);
  EXPECT_EQ(mem_scan_set_back(table, s + 1, 2), nullptr);
  const char nul[] = {'a', 'b', '\0'};
  EXPECT_EQ(mem_scan_set(table, nul, 3), nul + 2);  // a NUL is an ordinary byte
}

// ---------------------------------------------------------------------------
// Raw memory and NUL-terminated strings

TEST(CStr, CopyAppendAndCompare) {
  char buf[5];
  EXPECT_STREQ(cstr_copy(buf, "hello", 3), "he");
  EXPECT_STREQ(cstr_copy(buf, "hello", 1), "");
  std::strcpy(buf, "ab");
  cstr_append(buf, "cdef", 5);
  EXPECT_STREQ(buf, "abcd");
  cstr_append(buf, "x", 5);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(cstr_ieq("AbC", "aBc"), 1);
  EXPECT_EQ(cstr_ieq("ab", "abc"), 0);
  EXPECT_EQ(cstr_ieq("", ""), 1);
}

TEST(CStr, StripSubstrAndCase) {
  struct Case {
    const char* s;
    char mode, ch;
    const char* want;
  };
  for (const Case& c : {Case{"xxaxx", 'L', 'x', "axx"}, Case{"xxaxx", 'T', 'x', "xxa"}, Case{"xxaxx", 'B', 'x', "a"},
                        Case{"\t a \t", 'B', ' ', "\t a \t"}, Case{"   ", 'B', ' ', ""}}) {
    char b[16];
    std::strcpy(b, c.s);
    cstr_strip(b, c.mode, c.ch);
    EXPECT_STREQ(b, c.want) << c.s;
  }
  char d[4];
  cstr_substr(d, "abcdef", 2, 10, sizeof d);
  EXPECT_STREQ(d, "bcd");
  cstr_substr(d, "abcdef", 7, 1, sizeof d);
  EXPECT_STREQ(d, "");
  cstr_substr(d, "abcdef", 0, 1, sizeof d);
  EXPECT_STREQ(d, "");
  cstr_substr(d, "abcdef", 5, -1, sizeof d);
  EXPECT_STREQ(d, "ef");
  EXPECT_EQ(cstr_last_char(""), ' ');
  EXPECT_EQ(cstr_last_char("ab"), 'b');
  char r[] = "a.b.c\xE9";
  cstr_replace_char(r, '/', '.');
  EXPECT_STREQ(r, "a/b/c\xE9");
  EXPECT_STREQ(cstr_upper(r), "A/B/C\xE9");
  EXPECT_STREQ(cstr_lower(r), "a/b/c\xE9");
  char m[] = "a-b-c";
  mem_replace_char(m, 3, '+', '-');
  EXPECT_STREQ(m, "a+b-c");
}

TEST(CStr, CopyBackMovesRightInsideOneBuffer) {
  char b[] = "abcdef..";
  mem_copy_back(b + 7, b + 5, 6);  // move "abcdef" two to the right
  EXPECT_EQ(std::string(b, 8), "ababcdef");
}

// ---------------------------------------------------------------------------
// Varint lengths

TEST(Varint, DecodesTheDocumentedExample) {
  std::vector<uint8_t> code = {0xAC, 0x02};
  code.resize(302, 'x');
  VarintResult r{};
  ASSERT_EQ(varint_get(&r, code.data(), code.data() + code.size()), 0);
  EXPECT_EQ(r.length, 300);
  EXPECT_EQ(r.next, code.data() + 2);
  EXPECT_EQ(varint_get(&r, code.data(), code.data() + 301), ERR_INCORRECT_VERSION);  // one byte short
}

TEST(Varint, RoundTripsAtGroupBoundaries) {
  struct Case {
    int32_t v;
    int32_t bytes;
  };
  for (Case c : {Case{0, 1}, Case{127, 1}, Case{128, 2}, Case{300, 2}, Case{16383, 2}, Case{16384, 3},
                 Case{(1 << 28) - 1, 4}, Case{1 << 28, 5}, Case{INT32_MAX, 5}}) {
    uint8_t buf[VARINT_MAX_BYTES];
    ASSERT_EQ(varint_put(buf, sizeof buf, c.v), c.bytes) << c.v;
    EXPECT_EQ(buf[c.bytes - 1] & 0x80, 0);
    for (int i = 0; i < c.bytes - 1; ++i) EXPECT_NE(buf[i] & 0x80, 0);
    VarintResult r{};
    ASSERT_EQ(varint_get_length(&r, buf, buf + c.bytes), 0) << c.v;
    EXPECT_EQ(r.length, c.v);
    EXPECT_EQ(r.next, buf + c.bytes);
    // With the string bytes that must follow: present for small lengths, missing otherwise.
    std::vector<uint8_t> module(buf, buf + c.bytes);
    if (c.v <= 300) module.resize(module.size() + static_cast<size_t>(c.v), 'x');
    int32_t want = c.v <= 300 ? 0 : ERR_INCORRECT_VERSION;
    EXPECT_EQ(varint_get(&r, module.data(), module.data() + module.size()), want) << c.v;
  }
  uint8_t small[1];
  EXPECT_EQ(varint_put(small, 1, 128), 0);
  EXPECT_EQ(varint_put(small, 1, -1), 0);
}

TEST(Varint, RejectsMalformedInput) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"no bytes", {}},
      {"continuation runs off the end", {0x80, 0x80}},
      {"six length bytes", {0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 'a'}},
      {"value past INT32_MAX", {0x80, 0x80, 0x80, 0x80, 0x08}},
      {"fifth byte with high bits", {0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
      {"length past the remaining bytes", {0x05, 'a', 'b'}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> buf = c.bytes;
    VarintResult r{42, nullptr};
    const uint8_t* end = buf.data() + buf.size();
    EXPECT_EQ(varint_get(&r, buf.data(), end), ERR_INCORRECT_VERSION) << c.what;
    EXPECT_EQ(r.length, 42) << c.what;  // untouched
  }
  const uint8_t ok[] = {0x02, 'a', 'b'};
  VarintResult r{};
  EXPECT_EQ(varint_get(&r, ok, ok + 3), 0);
  EXPECT_EQ(r.length, 2);
}

// ---------------------------------------------------------------------------
// Dates

TEST(LStrDate, FormatsDateAndTime) {
  struct Case {
    int32_t year, month, day, hour, minute;
    const char* sep;
    int32_t pad;
    const char* date;
    const char* time;
  };
  const std::vector<Case> cases = {
      {1996, 3, 7, 13, 5, "-", 1, "3-07-96", "1:05p"},    {1996, 3, 7, 13, 5, "-", 0, "3-7-96", "1:05p"},
      {2005, 12, 31, 0, 0, "/", 1, "12/31/05", "12:00a"}, {2000, 1, 10, 12, 30, ".", 1, "1.10.00", "12:30p"},
      {1999, 11, 9, 23, 59, "", 1, "110999", "11:59p"},   {2026, 6, 1, 11, 10, "-", 0, "6-1-26", "11:10a"},
  };
  for (const Case& c : cases) {
    LStrLine date = L("junk");
    LStrBuf<LSTR_CAP_TIME> time;
    lstr_format_date_time(date, time, c.year, c.month, c.day, c.hour, c.minute, c.sep, c.pad);
    EXPECT_EQ(S(date), c.date);
    EXPECT_EQ(S(time), c.time);
  }
  LStrBuf<LSTR_CAP_TIME> time;
  lstr_format_date_time(nullptr, time, 1996, 3, 7, 9, 41, "-", 1);
  EXPECT_EQ(S(time), "9:41a");
}

TEST(LStrBufType, ViewsAndCopies) {
  LStrBuf<4> b("abcdef");  // cut at the capacity
  EXPECT_EQ(b.view(), "abcd");
  LStrBuf<4> c = b;
  EXPECT_EQ(c.view(), "abcd");
  const LStr* p = c;
  EXPECT_EQ(p->view(), "abcd");
  EXPECT_EQ(lstr_view(nullptr), "");
}

TEST(LStrFuzzCorpus, SavedInputsRunClean) { corpus::replay("lstr_fields", fuzz_lstr_fields_one_input); }

}  // namespace
