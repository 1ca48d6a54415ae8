#include "base/grow_array.h"

#include <gtest/gtest.h>

#include "base/mem.h"

namespace {

struct Entry {
  int32_t a;
  int32_t b;
};

TEST(GrowArrayTest, TwentyFirstPushReallocatesOnceAndKeepsValues) {
  GrowArray arr = grow_array_make(sizeof(Entry), 20);
  for (int i = 0; i < 20; ++i) static_cast<Entry*>(vec_push(&arr))->a = i * 3;
  EXPECT_EQ(arr.capacity, 20);
  auto* e = static_cast<Entry*>(vec_push(&arr));
  EXPECT_EQ(arr.capacity, 40);
  EXPECT_EQ(e->a, 0);
  EXPECT_EQ(e->b, 0);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(static_cast<Entry*>(vec_at(&arr, i))->a, i * 3);
  vec_release(&arr);
}

TEST(GrowArrayTest, PopAndValidIndex) {
  GrowArray arr = grow_array_make(sizeof(Entry), 4);
  vec_pop(&arr);
  EXPECT_EQ(arr.count, 0);
  vec_push(&arr);
  vec_push(&arr);
  struct Case {
    int32_t index;
    int valid;
  };
  for (Case c : {Case{-1, 0}, Case{0, 1}, Case{1, 1}, Case{2, 0}, Case{4, 0}})
    EXPECT_EQ(vec_valid_index(&arr, c.index), c.valid) << c.index;
  vec_pop(&arr);
  EXPECT_EQ(vec_valid_index(&arr, 1), 0);
  EXPECT_EQ(vec_at(&arr, 1), nullptr);
  vec_release(&arr);
}

TEST(GrowArrayTest, PushThatCannotGrowLeavesTheArrayUnchanged) {
  GrowArray arr = grow_array_make(sizeof(Entry), 2);
  static_cast<Entry*>(vec_push(&arr))->a = 7;
  static_cast<Entry*>(vec_push(&arr))->a = 8;
  void* data = arr.data;
  {
    MemFaultGuard fail(1);
    EXPECT_EQ(vec_push(&arr), nullptr);
  }
  EXPECT_EQ(arr.data, data);
  EXPECT_EQ(arr.count, 2);
  EXPECT_EQ(arr.capacity, 2);
  EXPECT_EQ(static_cast<Entry*>(vec_at(&arr, 1))->a, 8);
  GrowArray fresh = grow_array_make(sizeof(Entry), 2);
  {
    MemFaultGuard fail(1);
    EXPECT_EQ(vec_push(&fresh), nullptr);
  }
  EXPECT_EQ(fresh.count, 0);
  vec_release(&arr);
}

}  // namespace
