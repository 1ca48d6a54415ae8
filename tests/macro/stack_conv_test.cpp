// The value helpers that take decimal numbers and C strings.
#include <gtest/gtest.h>

#include <string>

#include "macro/stack.h"
#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"

namespace {

using vmtest::VmTest;

class StackConv : public VmTest {};

TEST_F(StackConv, DecimalIntegersTakeFractionsAndExponents) {
  struct Case {
    const char* v;
    ErrorCode rc;
    int32_t out;
  };
  const Case cases[] = {
      {"12.9", ERR_OK, 12},
      {"-2.5", ERR_OK, -2},
      {"1E2", ERR_OK, 100},
      {" 7 ", ERR_OK, 7},
      {"", ERR_INVALID_NUMBER_ARGUMENT, 0},
      {"x1", ERR_INVALID_NUMBER_ARGUMENT, 0},
  };
  for (const auto& c : cases) {
    LStrLine v(c.v);
    int32_t out = 99;
    vmtest::shown.clear();
    EXPECT_EQ(val_to_int_decimal(v, &out), c.rc) << c.v;
    EXPECT_EQ(out, c.out) << c.v;
    EXPECT_EQ(c.rc != ERR_OK, !vmtest::shown.empty()) << "a failure is raised: " << c.v;
  }
}

TEST_F(StackConv, StoringIntegersAndCStrings) {
  uint32_t holder = 0;
  var_assign_new_cstr("made", &holder);
  ASSERT_GT(holder, 2u);
  EXPECT_EQ(lstr_view(var_value(holder)), "made");
  var_set_int(-42, holder);
  EXPECT_EQ(lstr_view(var_value(holder)), "-42");
  var_store_cstr(holder, "text");
  EXPECT_EQ(lstr_view(var_value(holder)), "text");
  const std::string longer(1500, 'z');
  var_assign_new_cstr(longer.c_str(), &holder);
  EXPECT_EQ(lstr_view(var_value(holder)).size(), 1024u) << "cut at a line's capacity";
}

}  // namespace
