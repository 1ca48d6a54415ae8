#include "macro/varheap.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "tests/macro/vm_fixture.h"

namespace {

using vmtest::VmTest;

class VarHeap : public VmTest {};

uint32_t block_capacity(uint32_t number) {
  const uint32_t w = var_slots.slots[static_cast<size_t>(var_index(number))];
  uint32_t cap;
  std::memcpy(&cap, var_slots.heap.data() + w - 4, 4);
  return cap;
}
uint32_t block_at(uint32_t number) { return var_slots.slots[static_cast<size_t>(var_index(number))]; }

TEST_F(VarHeap, ShorterValuesReuseTheirBlock) {
  const uint32_t g = static_cast<uint32_t>(var_alloc_global());
  ASSERT_EQ(var_assign_bytes(g, "hello", 5), ERR_OK);
  EXPECT_EQ(block_capacity(g), 8u);  // 5 bytes: capacity 8, 20 bytes in all
  const uint32_t at = block_at(g);
  const uint32_t free_before = var_slots.heap_free;
  ASSERT_EQ(var_assign_bytes(g, "abc", 3), ERR_OK);
  EXPECT_EQ(block_at(g), at);
  EXPECT_EQ(var_slots.heap_free, free_before);
  ASSERT_EQ(var_assign_bytes(g, "longer than 8", 13), ERR_OK);
  EXPECT_NE(block_at(g), at);  // the old block is garbage now
  ASSERT_EQ(var_assign_bytes(g, "abc", 3), ERR_OK);
  var_compact();
  EXPECT_EQ(block_capacity(g), 4u);  // shrunk to the length rounded up to 4
  EXPECT_EQ(lstr_view(var_value(g)), "abc");
  EXPECT_EQ(var_check(), nullptr);
}

TEST_F(VarHeap, GlobalsStopBelowTheStackNumbers) {
  reset(20000, 400000);
  int32_t last = 0, got = 0;
  for (;;) {
    const int32_t g = var_alloc_global();
    if (g < 0) {
      EXPECT_EQ(g, ERR_OUT_OF_STRING_SPACE);
      break;
    }
    last = g;
    ++got;
  }
  EXPECT_EQ(last, kLastGlobalNumber);
  EXPECT_EQ(got, kLastGlobalNumber - 2);  // 1 (rc) and 2 were there from the start
  EXPECT_EQ(var_check(), nullptr);
}

TEST_F(VarHeap, GrowingGlobalsKeepsStackReferencesValid) {
  // A value on the stack and a reference to it one entry up.
  ASSERT_EQ(vm_push_view("on the stack"), ERR_OK);
  ASSERT_EQ(vm_push_ref(vm_stack_number(0)), ERR_OK);
  const uint32_t g = static_cast<uint32_t>(var_alloc_global());
  ASSERT_EQ(var_assign_bytes(g, "global", 6), ERR_OK);
  ASSERT_EQ(vm_push_ref(g), ERR_OK);
  const int32_t base_before = var_slots.local_base;
  for (int i = 0; i < 60; ++i) ASSERT_GT(var_alloc_global(), 0);  // forces growth
  EXPECT_GT(var_slots.local_base, base_before);
  EXPECT_EQ(lstr_view(var_value(vm_stack_number(1))), "on the stack");
  EXPECT_EQ(lstr_view(var_value(vm_stack_number(2))), "global");
  EXPECT_EQ(lstr_view(var_value(vm_stack_number(0))), "on the stack");
}

TEST_F(VarHeap, FullHeapRaisesOutOfStringSpaceAndKeepsTheSlot) {
  reset(200, 2000);
  const uint32_t g = static_cast<uint32_t>(var_alloc_global());
  ASSERT_EQ(var_assign_bytes(g, "kept", 4), ERR_OK);
  const std::string big(3000, 'x');
  EXPECT_EQ(var_assign_bytes(g, big.data(), static_cast<int32_t>(big.size())), ERR_OUT_OF_STRING_SPACE);
  EXPECT_EQ(lstr_view(var_value(g)), "kept");
  EXPECT_EQ(vm_rc_mirror, ERR_OUT_OF_STRING_SPACE);
}

// Random churn of long strings against a model, in a heap small enough that
// it compacts again and again.
TEST_F(VarHeap, ChurnAgainstAModel) {
  const uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  reset(400, 12000);
  std::vector<uint32_t> globals;
  for (int i = 0; i < 24; ++i) globals.push_back(static_cast<uint32_t>(var_alloc_global()));
  std::map<uint32_t, std::string> model;
  for (uint32_t g : globals) model[g] = "";
  std::vector<std::string> stack_model;
  auto random_string = [&] {
    std::uniform_int_distribution<int> len(0, 400), ch(0, 255);
    std::string s(static_cast<size_t>(len(rng)), '\0');
    for (auto& c : s) c = static_cast<char>(ch(rng));
    return s;
  };
  for (int step = 0; step < 4000; ++step) {
    const int what = std::uniform_int_distribution<int>(0, 9)(rng);
    if (what < 6) {
      const uint32_t g = globals[std::uniform_int_distribution<size_t>(0, globals.size() - 1)(rng)];
      const std::string s = random_string();
      const ErrorCode rc = var_assign_bytes(g, s.data(), static_cast<int32_t>(s.size()));
      if (rc == ERR_OK) {
        model[g] = s;
      } else {
        // A raise outside any run unwinds to an empty stack.
        ASSERT_EQ(rc, ERR_OUT_OF_STRING_SPACE);
        stack_model.clear();
      }
    } else if (what < 8 && stack_model.size() < 30) {
      const std::string s = random_string();
      if (vm_push_view(s) == ERR_OK)
        stack_model.push_back(s);
      else
        stack_model.clear();
    } else if (!stack_model.empty()) {
      vm_pop();
      stack_model.pop_back();
    } else {
      // A global's value copied onto another, source inside the heap.
      const uint32_t a = globals[0], b = globals[1];
      const LStr* v = var_value(a);
      if (var_assign_bytes(b, v->text, v->len) == ERR_OK)
        model[b] = model[a];
      else
        stack_model.clear();
    }
    ASSERT_EQ(var_check(), nullptr) << "step " << step;
    for (auto& [g, s] : model) ASSERT_EQ(lstr_view(var_value(g)), s) << "step " << step;
    ASSERT_EQ(vm_stack.top + 1, static_cast<int32_t>(stack_model.size()));
    for (size_t i = 0; i < stack_model.size(); ++i)
      ASSERT_EQ(lstr_view(var_value(vm_stack_number(static_cast<int32_t>(i)))), stack_model[i]);
  }
  EXPECT_GT(var_slots.compactions, 10);
}

}  // namespace
