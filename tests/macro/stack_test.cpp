#include "macro/stack.h"

#include <gtest/gtest.h>

#include "tests/macro/vm_fixture.h"

namespace {

using vmtest::VmTest;

class Stack : public VmTest {};

TEST_F(Stack, ValToInt) {
  struct Case {
    const char* v;
    ErrorCode rc;
    int32_t out;
  };
  const Case cases[] = {
      {" - 12 ", ERR_OK, -12}, {"\t7", ERR_OK, 7}, {"+3", ERR_OK, 3},
      {"12.0", ERR_INVALID_NUMBER_ARGUMENT, 0}, {"1E2", ERR_INVALID_NUMBER_ARGUMENT, 0},
      {"", ERR_INVALID_NUMBER_ARGUMENT, 0},     {"abc", ERR_INVALID_NUMBER_ARGUMENT, 0},
  };
  for (const auto& c : cases) {
    LStrLine v(c.v);
    int32_t out = 99;
    EXPECT_EQ(val_to_int(v, &out), c.rc) << c.v;
    EXPECT_EQ(out, c.out) << c.v;
  }
}

TEST_F(Stack, OptionLetters) {
  struct Case {
    const char* v;
    ErrorCode rc;
    char out;
  };
  const Case cases[] = {
      {" e ", ERR_OK, 'E'}, {"ex", ERR_OK, 'E'}, {"", ERR_OK, 'D'}, {"x", ERR_INVALID_ARGUMENT, 'D'},
  };
  for (const auto& c : cases) {
    char out = 'D';
    EXPECT_EQ(val_option_letter(&out, "BEM", c.v), c.rc) << c.v;
    EXPECT_EQ(out, c.out) << c.v;
  }
}

TEST_F(Stack, OptionMasks) {
  EXPECT_EQ(val_parse_options("ri", "IRWEVU"), 3);
  EXPECT_EQ(val_parse_options("", "IRWEVU"), 0);
  EXPECT_EQ(val_parse_options("Q", "IRWEVU"), ERR_INVALID_OPTION);
  EXPECT_EQ(val_parse_options("u", "IRWEVU"), 32);
  EXPECT_EQ(val_parse_options_cstr("WE", "IRWEVU"), 12);
  EXPECT_EQ(val_parse_options(std::string_view("\0", 1), "IRWEVU"), ERR_INVALID_OPTION);
}

TEST_F(Stack, PushesGrowTheStackUntilTheArrayIsFull) {
  reset(500, 200000);
  EXPECT_EQ(var_stack_capacity(), 0);
  ASSERT_EQ(vm_push_int(-5), ERR_OK);
  EXPECT_EQ(var_stack_capacity(), kStackGrowStep);
  EXPECT_EQ(lstr_view(vm_top()), "-5");
  int pushed = 1;
  while (vm_push_view("x") == ERR_OK) ++pushed;
  // 497 free slots: four steps of 100, nine of 10; the last 7 are less
  // than a step. The failed push unwound the stack.
  EXPECT_EQ(pushed, 490);
  EXPECT_EQ(vm_rc_mirror, ERR_EXPRESSION_STACK_OVERFLOW);
  EXPECT_EQ(vm_stack.top, -1);
}

TEST_F(Stack, RcAndItsMirror) {
  vm_set_rc(-3022);
  EXPECT_EQ(lstr_view(var_value(1)), "-3022");
  EXPECT_EQ(vm_rc_mirror, -3022);
  vm_set_rc_or_raise(7);
  EXPECT_EQ(vm_rc_mirror, 7);
  vm_set_rc_or_raise(ERR_STRING_NOT_FOUND);  // raised: no stop flag, rc only
  EXPECT_EQ(vm_rc_mirror, ERR_STRING_NOT_FOUND);
}

}  // namespace
