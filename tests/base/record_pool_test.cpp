#include "base/record_pool.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/mem.h"

namespace {

struct Menu {
  PoolRecordHead head;
  int32_t id;
  int32_t extra[5];
};

struct RecordPoolTest : ::testing::Test {
  RecordPool pool = record_pool_make(sizeof(Menu), 10);
  int64_t blocks_before = mem_live_blocks();
  void TearDown() override {
    mem_fail_after(0);
    EXPECT_TRUE(pool_check(&pool));
    pool_release(&pool);
    EXPECT_EQ(mem_live_blocks(), blocks_before);
  }
  Menu* alloc(int32_t id) {
    auto* m = static_cast<Menu*>(pool_alloc(&pool));
    if (m) m->id = id;
    return m;
  }
  Menu* at(int32_t i) { return static_cast<Menu*>(pool_record(&pool, i)); }
};

TEST_F(RecordPoolTest, EleventhAllocationGrowsToTwentyKeepingIndexesAndContents) {
  for (int i = 0; i < 10; ++i) alloc(100 + i);
  EXPECT_EQ(pool.capacity, 10);
  Menu* m = alloc(110);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(pool.capacity, 20);
  EXPECT_EQ(pool_index(&pool, m), 10);
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(at(i)->id, 100 + i);
    EXPECT_EQ(pool_is_live(&pool, i), 1);
  }
}

TEST_F(RecordPoolTest, FreedRecordsAreReusedLastFirstAndZeroed) {
  for (int i = 0; i < 9; ++i) alloc(i);
  pool_free(&pool, at(2));
  pool_free(&pool, at(7));
  Menu* a = alloc(-1);
  EXPECT_EQ(pool_index(&pool, a), 7);
  Menu* b = static_cast<Menu*>(pool_alloc(&pool));
  EXPECT_EQ(pool_index(&pool, b), 2);
  EXPECT_EQ(b->id, 0);
  EXPECT_EQ(b->head.live, 1);
  EXPECT_EQ(pool_index(&pool, alloc(0)), 9);
  EXPECT_TRUE(pool_check(&pool));
}

TEST_F(RecordPoolTest, LivenessOfIndexes) {
  for (int i = 0; i < 11; ++i) alloc(i);  // grown to 20: records 11..19 never issued
  pool_free(&pool, at(4));
  struct Case {
    int32_t index;
    int live;
  };
  const Case cases[] = {{-1, 0}, {0, 1}, {4, 0}, {10, 1}, {11, 0}, {19, 0}, {20, 0}};
  for (const Case& c : cases) EXPECT_EQ(pool_is_live(&pool, c.index), c.live) << c.index;
}

TEST_F(RecordPoolTest, NeverIssuedRecordsAreNotLiveOverUncleanMemory) {
  // Fresh memory full of non-zero bytes must not make records look live.
  mem_set_scribble(true);
  RecordPool p = record_pool_make(sizeof(Menu), 10);
  for (int i = 0; i < 11; ++i) pool_alloc(&p);
  mem_set_scribble(false);
  for (int i = 11; i < p.capacity + 5; ++i) EXPECT_EQ(pool_is_live(&p, i), 0) << i;
  pool_release(&p);
}

TEST_F(RecordPoolTest, FreeIgnoresRecordsThatAreNotLive) {
  Menu* a = alloc(1);
  alloc(2);
  pool_free(&pool, a);
  pool_free(&pool, a);  // twice
  Menu outside{};
  pool_free(&pool, &outside);
  pool_free(&pool, reinterpret_cast<unsigned char*>(at(1)) + 4);  // between records
  EXPECT_EQ(pool.free_head, 0);
  EXPECT_EQ(at(0)->head.next_free, -1);
  EXPECT_EQ(pool_is_live(&pool, 1), 1);
  EXPECT_EQ(pool.live, 1);
}

TEST_F(RecordPoolTest, FailedGrowthLeavesThePoolUnchanged) {
  for (int i = 0; i < 10; ++i) alloc(i);
  RecordPool before = pool;
  {
    MemFaultGuard fail(1);
    EXPECT_EQ(pool_alloc(&pool), nullptr);
  }
  EXPECT_EQ(pool.records, before.records);
  EXPECT_EQ(pool.capacity, 10);
  EXPECT_EQ(pool.count, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(at(i)->id, i);
  RecordPool fresh = record_pool_make(sizeof(Menu), 10);
  {
    MemFaultGuard fail(1);
    EXPECT_EQ(pool_alloc(&fresh), nullptr);
  }
  EXPECT_EQ(fresh.records, nullptr);
  EXPECT_EQ(fresh.count, 0);
}

intptr_t moved_by = 0;
void note_move(intptr_t d) { moved_by += d; }

TEST_F(RecordPoolTest, PercentageGrowthAndRelocation) {
  RecordPool p = record_pool_make(sizeof(Menu), 4);
  p.growth_percent = 50;
  p.relocate = note_move;
  moved_by = 0;
  std::vector<int32_t> caps;
  auto* first = static_cast<unsigned char*>(pool_alloc(&p));
  uintptr_t addr = reinterpret_cast<uintptr_t>(first);
  for (int i = 1; i < 30; ++i) {
    pool_alloc(&p);
    if (caps.empty() || caps.back() != p.capacity) caps.push_back(p.capacity);
  }
  // 4, then +2 (50% of 4), +3, +4, +6, +9: 6, 9, 13, 19, 28, 42.
  EXPECT_EQ(caps, (std::vector<int32_t>{4, 6, 9, 13, 19, 28, 42}));
  EXPECT_EQ(addr + static_cast<uintptr_t>(moved_by), reinterpret_cast<uintptr_t>(p.records));
  // A percentage too small for a whole record grows by the initial count.
  RecordPool q = record_pool_make(sizeof(Menu), 3);
  q.growth_percent = 10;
  for (int i = 0; i < 4; ++i) ASSERT_NE(pool_alloc(&q), nullptr);
  EXPECT_EQ(q.capacity, 6);
  pool_release(&p);
  pool_release(&q);
}

}  // namespace
