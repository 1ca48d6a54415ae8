#include "base/wildcard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int run(const std::string& expr, const std::string& name) {
  int32_t err = 1;
  wildcard::ProgramPtr p(wildcard::compile(expr, &err));
  EXPECT_EQ(err, 0) << expr;
  return wildcard::match(p.get(), name);
}

TEST(Wildcard, MatchesTheExpressionsMadeFromWildcards) {
  struct Case {
    const char* expr;
    const char* name;
    int want;
  } cases[] = {
      {"^?*$", "", 1},           {"^?*$", "x", 1},           {"^?*.c$", "main.c", 1},  {"^?*.c$", "main.cc", 0},
      {"^?*.c$", ".c", 1},       {"^?*.c$", "c", 0},         {"^a?c$", "abc", 1},      {"^a?c$", "ac", 0},
      {"^a\\+b$", "a+b", 1},     {"^a\\+b$", "aab", 0},      {"^[ab]?*$", "beta", 1},  {"^[ab]?*$", "gamma", 0},
      {"^[~ab]?*$", "gamma", 1}, {"^[^ab]x$", "ax", 0},      {"^[a-c]$", "b", 1},      {"^[c-a]$", "b", 0},
      {"^[a-]$", "-", 1},        {"^[]$", "a", 0},           {"^[~]$", "\xff", 1},     {"^(c|h)$", "h", 1},
      {"^?.(c|h)$", "x.hh", 0},  {"^x(ab)*y$", "xababy", 1}, {"^x(ab)*y$", "xaby", 1}, {"^x(ab)*y$", "xaay", 0},
      {"^a+$", "aaa", 1},        {"^ba#$", "b", 0},          {"^a@$", "", 1},          {"^\\{x\\}$", "{x}", 1},
      {"^\\x41\\66$", "AB", 1},  {"^\\n$", "\n", 1},         {"^a\\cb$", "ab", 1},     {"^a|b$", "ax", 1},
      {"^a|b$", "xb", 1},        {"^a|b$", "xa", 0},         {"ab", "xxabyy", 1},      {"b$", "abc", 0},
      {"^a**$", "aaa", 1},       {"^*a$", "a", 1},           {"^((?*))*x$", "yyx", 1}, {"^{a}$", "a", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.expr, c.name), c.want) << c.expr << " / " << c.name;
}

TEST(Wildcard, RejectsWhatItCannotCompile) {
  for (const std::string& bad :
       std::vector<std::string>{"[ab", "(ab", "ab)", "a}", "{ab", "\\", "\\x", "\\256", ":a", "~a", "a\\g1", "{#1a}",
                                std::string(19, '(') + "a" + std::string(19, ')')}) {
    int32_t err = 0;
    wildcard::ProgramPtr p(wildcard::compile(bad, &err));
    EXPECT_EQ(p, nullptr) << bad;
    EXPECT_EQ(err, -2500) << bad;
    EXPECT_EQ(wildcard::match(p.get(), "ab"), 0);
  }
  int32_t err = 1;
  // The whole expression is level 1; 18 groups inside it reach the deepest level, 19.
  wildcard::ProgramPtr deep(wildcard::compile(std::string(18, '(') + "a" + std::string(18, ')'), &err));
  EXPECT_NE(deep, nullptr);
}

TEST(Wildcard, PathologicalPatternsStayFast) {
  // A backtracking matcher takes exponential time here.
  std::string expr = "^";
  for (int i = 0; i < 30; ++i) expr += "?*a";
  expr += "$";
  EXPECT_EQ(run(expr, std::string(250, 'a') + "b"), 0);
  EXPECT_EQ(run(expr, std::string(250, 'a')), 1);
}

}  // namespace
