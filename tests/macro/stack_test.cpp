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
      {" - 12 ", ERR_OK, -12},
      {"\t7", ERR_OK, 7},
      {"+3", ERR_OK, 3},
      {"12.0", ERR_INVALID_NUMBER_ARGUMENT, 0},
      {"1E2", ERR_INVALID_NUMBER_ARGUMENT, 0},
      {"", ERR_INVALID_NUMBER_ARGUMENT, 0},
      {"abc", ERR_INVALID_NUMBER_ARGUMENT, 0},
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
      {" e ", ERR_OK, 'E'},
      {"ex", ERR_OK, 'E'},
      {"", ERR_OK, 'D'},
      {"x", ERR_INVALID_ARGUMENT, 'D'},
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

TEST_F(Stack, AssignNewMakesTheGlobalOnce) {
  uint32_t holder = 0;
  var_assign_new("first", &holder);
  ASSERT_GT(holder, 2u);
  const uint32_t slot = holder;
  var_assign_new("second", &holder);
  EXPECT_EQ(holder, slot);
  EXPECT_EQ(lstr_view(var_value(slot)), "second");
}

TEST_F(Stack, ArgumentSlotsFollowReferences) {
  // Inside a procedure with arguments (value, reference to global g).
  const uint32_t g = static_cast<uint32_t>(var_alloc_global());
  static uint32_t seen[3];
  bc::ImageBuilder b;
  const uint16_t p = b.proc(0, 2, 0x2);
  b.op("stop");
  const uint16_t main = b.proc(0, 0, 0);
  b.op("push_const", {bc::k("v")});
  b.op("push_ref", {bc::var(b.global(static_cast<uint16_t>(g)))});
  b.op("call_link", {bc::cnt(2), bc::lnk(b.private_proc(p))});
  b.op("return");
  image_ = b.finish();
  // Run main up to the callee's first instruction: stop there via the
  // break poll of procedure entry, which sees the callee's registers.
  vmtest::on_break_poll = [](int n) {
    if (n == 2) {
      seen[0] = static_cast<uint32_t>(vm_arg_slot(0));
      seen[1] = static_cast<uint32_t>(vm_arg_slot(1));
      seen[2] = static_cast<uint32_t>(vm_arg_slot(2));
    }
    return 0;
  };
  vm_call_image(image_, main, {});
  EXPECT_EQ(seen[0], 2u);                  // the count
  EXPECT_EQ(seen[1], vm_stack_number(0));  // a value: its own slot
  EXPECT_EQ(seen[2], g);                   // a reference: the referenced slot
}

}  // namespace
