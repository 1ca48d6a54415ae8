// What directory searches may count on from the matcher, whoever answers:
// the same expectations run against the headless answer (the interim
// matcher) and the editor's own (the text engine).
#include <gtest/gtest.h>

#include <string_view>

#include "base/find_pattern_port.h"

namespace {

TEST(FindPatternPort, ConvertedWildcardsMatchWholeNames) {
  struct Case {
    std::string_view expr, name;
    int fits;
  };
  const Case cases[] = {
      {"^?*.c$", "main.c", 1}, {"^?*.c$", "main.cpp", 0}, {"^?*.c$", ".c", 1},
      {"^a?b$", "axb", 1},     {"^a?b$", "ab", 0},        {"^[abc]x$", "bx", 1},
  };
  for (const Case& c : cases) {
    ErrorCode err = 1;
    void* compiled = find_pattern_compile(c.expr, &err);
    ASSERT_NE(compiled, nullptr) << c.expr;
    EXPECT_EQ(err, 0) << c.expr;
    EXPECT_EQ(find_pattern_match(compiled, c.name), c.fits) << c.expr << " " << c.name;
    find_pattern_release(compiled);
  }
  find_pattern_release(nullptr);
}

TEST(FindPatternPort, ABadExpressionDoesNotCompile) {
  ErrorCode err = 0;
  EXPECT_EQ(find_pattern_compile("^[a", &err), nullptr);
  EXPECT_EQ(err, ERR_INVALID_REGEX);
}

}  // namespace
