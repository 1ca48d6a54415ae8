#include "base/dynarray.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/mem.h"

namespace {

template <typename T>
std::vector<T> items(const DynArray<T>& a) {
  return std::vector<T>(a.data, a.data + a.count);
}

TEST(DynArrayTest, TwentyFirstAppendDoublesToFortyAndKeepsElements) {
  DynArray<uint32_t> a(20);
  for (uint32_t i = 0; i < 20; ++i) dynarray_append(&a, i * 11);
  EXPECT_EQ(a.capacity, 20);
  dynarray_append(&a, 999u);
  EXPECT_EQ(a.capacity, 40);
  ASSERT_EQ(a.count, 21);
  for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(a.data[i], i * 11);
  EXPECT_EQ(a.data[20], 999u);
}

TEST(DynArrayTest, CapacityIsAtLeastOne) {
  DynArray<int32_t> a(0);
  EXPECT_EQ(a.capacity, 1);
  dynarray_append(&a, 5);
  dynarray_append(&a, 6);
  EXPECT_EQ(a.capacity, 2);
  dynarray_append(&a, a.data[0]);  // element from inside the array
  EXPECT_EQ(items(a), (std::vector<int32_t>{5, 6, 5}));
}

TEST(DynArrayTest, SortedInsertWithoutCompareIsUnsigned) {
  DynArray<uint32_t> a(2);
  for (uint32_t v : {7u, 0xFFFFFFFFu, 1u, 7u, 0u}) dynarray_insert_sorted(&a, v);
  EXPECT_EQ(items(a), (std::vector<uint32_t>{0, 1, 7, 7, 0xFFFFFFFFu}));
  DynArray<int32_t> s(2);
  for (int32_t v : {-1, 1}) dynarray_insert_sorted(&s, v);
  EXPECT_EQ(items(s), (std::vector<int32_t>{1, -1}));  // -1 is all bits set
}

struct Cls {
  int32_t key;
  int32_t order;  // which insertion it came from
};
int by_key(const Cls* n, const Cls* e) { return n->key - e->key; }

TEST(DynArrayTest, SortedInsertPutsEqualElementsAfterExistingOnes) {
  DynArray<Cls> a(1, by_key);
  int32_t order = 0;
  for (int32_t k : {5, 3, 5, 9, 3, 5}) EXPECT_EQ(dynarray_insert_sorted(&a, Cls{k, order++}), order);
  std::vector<std::pair<int32_t, int32_t>> got;
  for (const Cls& c : items(a)) got.emplace_back(c.key, c.order);
  EXPECT_EQ(got, (std::vector<std::pair<int32_t, int32_t>>{{3, 1}, {3, 4}, {5, 0}, {5, 2}, {5, 5}, {9, 3}}));
}

TEST(DynArrayTest, RemoveAtIgnoresIndexesOutsideTheElements) {
  DynArray<int32_t> a(4);
  for (int32_t v : {10, 20, 30, 40}) dynarray_append(&a, v);
  struct Case {
    int32_t index;
    std::vector<int32_t> after;
  };
  const Case cases[] = {
      {4, {10, 20, 30, 40}},
      {100, {10, 20, 30, 40}},
      {-1, {10, 20, 30, 40}},
      {INT32_MIN, {10, 20, 30, 40}},
      {1, {10, 30, 40}},
      {2, {10, 30}},
      {0, {30}},
  };
  for (const Case& c : cases) {
    dynarray_remove_at(&a, c.index);
    EXPECT_EQ(items(a), c.after) << c.index;
  }
}

TEST(DynArrayTest, QueueNodeStartsUnlinked) {
  int msg = 0;
  XfQueueNode n{&n, &n, nullptr};
  EXPECT_EQ(list_node_init(&n, &msg), &n);
  EXPECT_EQ(n.next, nullptr);
  EXPECT_EQ(n.prev, nullptr);
  EXPECT_EQ(n.value, &msg);
}

TEST(DynArrayDeathTest, GrowthWithoutMemoryEndsTheProcess) {
  EXPECT_EXIT(
      {
        DynArray<int32_t> a(1);
        dynarray_append(&a, 1);
        mem_fail_after(1);
        dynarray_append(&a, 2);
      },
      ::testing::ExitedWithCode(255), "Virtual memory exceeded in `new'");
}

}  // namespace
