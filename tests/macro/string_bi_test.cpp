// String built-ins run as byte code through the interpreter, from tables of
// cases: arguments pushed in order, the result assigned to a global.
#include "macro/string_bi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/core_ops.h"
#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"
// The byte-code handlers of the search built-ins see both headers.
#include "text/search.h"

namespace {

using namespace bc;

struct Call {
  const char* mnemonic;
  std::vector<std::string> args;
};

class StringBi : public vmtest::VmTest {
 protected:
  struct Out {
    std::string value;
    ErrorCode code;
  };

  // Runs the calls in one procedure; each result goes to its own global.
  std::vector<Out> run_calls(const std::vector<Call>& calls) {
    ImageBuilder b;
    std::vector<uint32_t> slots(calls.size());
    std::vector<uint16_t> links(calls.size());
    for (size_t i = 0; i < calls.size(); ++i) {
      slots[i] = static_cast<uint32_t>(var_alloc_global());
      links[i] = b.global(static_cast<uint16_t>(slots[i]));
    }
    uint16_t p = b.proc(0, 0, 0);
    for (size_t i = 0; i < calls.size(); ++i) {
      for (auto& a : calls[i].args) b.op("push_const", {k(a)});
      auto ref = opcode_find(calls[i].mnemonic);
      if (ref && ref->info->operands == "c")
        b.op(calls[i].mnemonic, {cnt(static_cast<int>(calls[i].args.size()))});
      else
        b.op(calls[i].mnemonic);
      b.op("assign", {var(links[i])});
    }
    b.op("return");
    ErrorCode rc = run(b, p);
    std::vector<Out> out;
    for (uint32_t s : slots) out.push_back({value(s), rc});
    return out;
  }
  Out call(const Call& c) { return run_calls({c})[0]; }
};

struct Case {
  Call call;
  const char* want;  // nullptr: the macro stops with `code`
  ErrorCode code;
};

const Case kCases[] = {
    // pos / lastpos, plain text.
    {{"pos", {"b", "abcb"}}, "2", 0},
    {{"lastpos", {"b", "abcb"}}, "4", 0},
    {{"lastpos", {"b", "abcb", "3"}}, "2", 0},
    {{"pos", {"b", "abcb", "3"}}, "4", 0},
    {{"pos", {"b", "abcb", ""}}, "2", 0},  // an empty start keeps the default
    {{"pos", {"B", "abcb", "1", "i"}}, "2", 0},
    {{"pos", {"B", "abcb", "1", ""}}, "0", 0},
    {{"pos", {"b", "abcb", "1", "WEV"}}, "2", 0},  // accepted, no effect
    {{"pos", {"", "abc"}}, "0", 0},
    {{"pos", {"abcd", "abc"}}, "0", 0},
    {{"pos", {"c", "abc", "9"}}, "0", 0},
    {{"lastpos", {"a", std::string(1500, 'a')}}, "1024", 0},
    {{"pos", {"b", "abc", "0"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"pos", {"b", "abc", "x"}}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    {{"pos", {"b", "abc", "1", "Q"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"pos", {"b", "abc", "1", "i", "x"}}, nullptr, ERR_INVALID_ARGUMENT},  // five arguments
    // substr.
    {{"substr", {"abc", "2", "5", "x"}}, "bcxxx", 0},
    {{"substr", {"abc", "5", "3"}}, "   ", 0},
    {{"substr", {"abcdef", "3"}}, "cdef", 0},
    {{"substr", {"abc", "5"}}, "", 0},
    {{"substr", {"ab", "1", "4", ""}}, "ab  ", 0},  // an empty pad is a blank
    {{"substr", {"abc", "2", "0"}}, "", 0},
    {{"substr", {"abc", "0"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"substr", {"abc", "1025"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"substr", {"abc", "1", "-1"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"substr", {"abc", "a"}}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    {{"substr", {"abc", "1", "1.0"}}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    // strip: blanks and tabs by default; a named character alone.
    {{"strip", {"\t  x  \t"}}, "x", 0},
    {{"strip", {" \tx\t ", "B", " "}}, "\tx\t", 0},
    {{"strip", {"  x  ", "T"}}, "  x", 0},
    {{"strip", {"  x  ", "l"}}, "x  ", 0},
    {{"strip", {"  x  ", ""}}, "x", 0},
    {{"strip", {"xxaxx", "B", "x"}}, "a", 0},
    {{"strip", {"xxxx", "B", "x"}}, "", 0},
    {{"strip", {"x", "Q"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"strip", {"x", "B", "ab"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"strip", {"x", "B", ""}}, nullptr, ERR_INVALID_ARGUMENT},
    // center.
    {{"center", {"abcde", "2"}}, "bc", 0},
    {{"center", {"ab", "5"}}, " ab  ", 0},
    {{"center", {"ab", "6", "*"}}, "**ab**", 0},
    {{"center", {"abc", "-4"}}, "", 0},
    {{"center", {"ab", "x"}}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    {{"center", {"ab", "5", ""}}, nullptr, ERR_INVALID_ARGUMENT},
    // translate: without tables it upper-cases.
    {{"translate", {"abc1"}}, "ABC1", 0},
    {{"translate", {"abc", "xyz", "cba"}}, "zyx", 0},
    {{"translate", {"abcd", "x", "ab", "-"}}, "x-cd", 0},
    {{"translate", {"abcd", "x", "ab"}}, "x cd", 0},
    {{"translate", {"ab", "x", "ab", "--"}}, nullptr, ERR_INVALID_ARGUMENT},
    // verify.
    {{"verify", {"aabc", "ab"}}, "4", 0},
    {{"verify", {"aabc", "ab", "M"}}, "1", 0},
    {{"verify", {"xxab", "ab", "m"}}, "3", 0},
    {{"verify", {"aab", "ab"}}, "0", 0},
    {{"verify", {"abab", "a", "", "2"}}, "2", 0},
    {{"verify", {"abab", "a", "M", "2"}}, "3", 0},
    {{"verify", {"ab", "a", "X"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"verify", {"ab", "a", "", "0"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"verify", {"ab", "a", "", "z"}}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    // length, case, character codes.
    {{"length", {""}}, "0", 0},
    {{"length", {"abc"}}, "3", 0},
    {{"upcase", {"aBc-\xe9"}}, "ABC-\xe9", 0},
    {{"lowcase", {"AbC-\xc9"}}, "abc-\xc9", 0},
    {{"char_code", {"A"}}, "65", 0},
    {{"char_code", {"\xff"}}, "255", 0},
    {{"char_code", {""}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"char_code", {"ab"}}, nullptr, ERR_INVALID_ARGUMENT},
    {{"char_from_code", {"65"}}, "A", 0},
    {{"char_from_code", {"321"}}, "A", 0},
    {{"char_from_code", {"-191"}}, "A", 0},
    {{"char_from_code", {"6.5E1"}}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    // The number tests.
    {{"is_number", {"1.5e3"}}, "1", 0},
    {{"is_number", {" - 7 "}}, "1", 0},
    {{"is_number", {"5."}}, "0", 0},
    {{"is_number", {"abc"}}, "0", 0},
    {{"is_number", {"1E1234567890"}}, "0", 0},
    {{"is_integer", {" - 12 "}}, "1", 0},
    {{"is_integer", {"12.0"}}, "0", 0},
    {{"is_integer", {"1E2"}}, "0", 0},
    {{"is_integer", {""}}, "0", 0},
};

TEST_F(StringBi, BuiltinsFromTable) {
  for (const Case& c : kCases) {
    Out r = call(c.call);
    std::string where = std::string(c.call.mnemonic);
    for (auto& a : c.call.args) where += " [" + a.substr(0, 20) + "]";
    EXPECT_EQ(r.code, c.code) << where;
    EXPECT_EQ(r.value, c.want ? c.want : "") << where;
  }
}

#if __has_include("text/regex.h")
constexpr bool kHaveRegex = true;
#else
constexpr bool kHaveRegex = false;
#endif

TEST_F(StringBi, RegularExpressionSearches) {
  // One that does not compile gives -1, with or without the engine.
  EXPECT_EQ(call({"pos", {"(", "ab12", "1", "u"}}).value, "-1");
  if (!kHaveRegex) GTEST_SKIP() << "the regular-expression engine is not built yet";
  const Case cases[] = {
      {{"pos", {"[0-9]", "ab12", "1", "u"}}, "3", 0},    {{"pos", {"[0-9]+", "ab12", "1", "U"}}, "3", 0},
      {{"lastpos", {"[0-9]", "ab12", "", "u"}}, "4", 0}, {{"pos", {"B", "abc", "1", "RI"}}, "2", 0},
      {{"pos", {"{", "abc", "1", "R"}}, "-1", 0},
  };
  for (const Case& c : cases) {
    Out r = call(c.call);
    EXPECT_EQ(r.code, c.code) << c.call.args[0];
    EXPECT_EQ(r.value, c.want) << c.call.args[0];
  }
}

TEST_F(StringBi, CenterIntoAWideFieldIsCutAt1024) {
  Out r = call({"center", {"ab", "3000"}});
  EXPECT_EQ(r.code, ERR_OK);
  EXPECT_EQ(r.value, std::string(1024, ' '));
  r = call({"substr", {"ab", "1", "5000", "."}});
  EXPECT_EQ(r.value, "ab" + std::string(1022, '.'));
}

// The one-argument form reads the last match of the same procedure run.
TEST_F(StringBi, QueryFormAfterSearches) {
  struct Q {
    std::vector<Call> calls;
    std::vector<const char*> want;
  };
  const Q qs[] = {
      // Plain text: position and length; groups do not exist.
      {{{"pos", {"cd", "abcdef"}}, {"pos", {""}}, {"pos", {"S"}}, {"pos", {"s1"}}, {"pos", {"1"}}},
       {"3", "2", "3", "1", "0"}},
      // The editor's syntax: group 0 is the first braces.
      {{{"pos", {"x{bb}c", "axbbcd", "1", "R"}},
        {"lastpos", {""}},
        {"pos", {"S0"}},
        {"pos", {"0"}},
        {"pos", {"S5"}},
        {"pos", {"5"}},
        {"pos", {"X"}},
        {"pos", {"SX"}}},
       {"2", "4", "3", "2", "1", "0", "0", "1"}},
      // Unix syntax: digit 1 is the first parenthesis, digit 0 group 9.
      {{{"pos", {"x(bb)c", "axbbcd", "1", "U"}}, {"pos", {"s1"}}, {"pos", {"1"}}, {"pos", {"0"}}},
       {"2", "3", "2", "0"}},
      // Nothing found: no groups either.
      {{{"pos", {"x(bb)c", "zzz", "1", "U"}}, {"pos", {"S"}}, {"pos", {"S1"}}, {"pos", {"1"}}}, {"0", "0", "1", "0"}},
  };
  for (const Q& q : qs) {
    if (!kHaveRegex && &q != &qs[0]) continue;  // the others need the regular-expression engine
    auto out = run_calls(q.calls);
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i].code, ERR_OK);
      EXPECT_EQ(out[i].value, q.want[i]) << q.calls[0].args[0] << " query " << i;
    }
  }
}

}  // namespace
