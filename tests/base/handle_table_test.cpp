#include "base/handle_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "base/mem.h"
#include "tests/support/headless/mem_fakes.h"

namespace {

struct Rec {
  int32_t handle;
  int32_t payload[15];
};

int32_t handle_of(const void* r) { return static_cast<const Rec*>(r)->handle; }

struct HandleTableTest : ::testing::Test {
  HandleTable table = handle_table_make(sizeof(Rec), 50);
  int64_t blocks_before = mem_live_blocks();
  void TearDown() override {
    mem_fail_after(0);
    htab_release(&table);
    EXPECT_EQ(mem_live_blocks(), blocks_before);
  }
};

TEST_F(HandleTableTest, HandlesStartAtZeroAndFreedOnesComeBackLastFirst) {
  std::vector<void*> recs;
  for (int i = 0; i < 8; ++i) recs.push_back(htab_alloc(&table));
  EXPECT_EQ(handle_of(recs[0]), 0);
  EXPECT_EQ(handle_of(recs[1]), 1);
  htab_free(&table, recs[3]);
  htab_free(&table, recs[5]);
  EXPECT_EQ(handle_of(htab_alloc(&table)), 5);
  EXPECT_EQ(handle_of(htab_alloc(&table)), 3);
  EXPECT_EQ(handle_of(htab_alloc(&table)), 8);
  EXPECT_TRUE(htab_check(&table));
}

TEST_F(HandleTableTest, GrowthNeverMovesRecords) {
  std::vector<Rec*> recs;
  for (int i = 0; i < 50; ++i) {
    auto* r = static_cast<Rec*>(htab_alloc(&table));
    r->payload[0] = i * 7;
    recs.push_back(r);
  }
  EXPECT_EQ(table.capacity, 50);
  auto* r51 = static_cast<Rec*>(htab_alloc(&table));
  EXPECT_EQ(r51->handle, 50);
  EXPECT_EQ(table.capacity, 100);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(htab_record(&table, i), recs[static_cast<size_t>(i)]);
    EXPECT_EQ(recs[static_cast<size_t>(i)]->payload[0], i * 7);
    EXPECT_EQ(htab_is_valid(&table, i), 1);
  }
}

TEST_F(HandleTableTest, ReusedRecordComesBackZeroedExceptItsHandle) {
  auto* r = static_cast<Rec*>(htab_alloc(&table));
  htab_alloc(&table);
  r = static_cast<Rec*>(htab_alloc(&table));
  std::memset(r->payload, 0xAB, sizeof r->payload);
  htab_free(&table, r);
  auto* again = static_cast<Rec*>(htab_alloc(&table));
  EXPECT_EQ(again, r);
  EXPECT_EQ(again->handle, 2);
  for (int32_t v : again->payload) EXPECT_EQ(v, 0);
}

TEST_F(HandleTableTest, ValidityOfHandles) {
  void* a = htab_alloc(&table);
  htab_alloc(&table);
  htab_free(&table, a);
  struct Case {
    int32_t handle;
    int valid;
  };
  const Case cases[] = {{-1, 0},
                        {0, 0} /* freed */,
                        {1, 1},
                        {2, 0} /* never handed out */,
                        {table.capacity - 1, 0},
                        {table.capacity, 0},
                        {-32768, 0}};
  for (const Case& c : cases) EXPECT_EQ(htab_is_valid(&table, c.handle), c.valid) << c.handle;
  EXPECT_EQ(htab_record(&table, 0), nullptr);
}

TEST_F(HandleTableTest, FreeingTwiceOrAForeignRecordChangesNothing) {
  void* a = htab_alloc(&table);
  void* b = htab_alloc(&table);
  htab_free(&table, a);
  uint32_t gen = htab_generation(&table, 0);
  htab_free(&table, a);  // slot not live
  Rec foreign{1, {}};
  htab_free(&table, &foreign);  // names a live slot but is not its record
  EXPECT_EQ(htab_generation(&table, 0), gen);
  EXPECT_EQ(htab_is_valid(&table, 1), 1);
  EXPECT_EQ(table.free_head, 0);
  EXPECT_TRUE(htab_check(&table));
  htab_free(&table, b);
}

TEST_F(HandleTableTest, GenerationChangesWhenAHandleIsReused) {
  void* a = htab_alloc(&table);
  uint32_t g = htab_generation(&table, 0);
  htab_free(&table, a);
  htab_alloc(&table);
  EXPECT_NE(htab_generation(&table, 0), g);
}

TEST_F(HandleTableTest, HandlesStopAt32767) {
  HandleTable big = handle_table_make(sizeof(int32_t), 5000);
  for (int i = 0; i <= kHandleTableMaxHandle; ++i) ASSERT_NE(htab_alloc(&big), nullptr) << i;
  EXPECT_EQ(big.capacity, kHandleTableMaxHandle + 1);
  EXPECT_EQ(htab_alloc(&big), nullptr);
  void* last = htab_record(&big, kHandleTableMaxHandle);
  htab_free(&big, last);
  EXPECT_EQ(htab_alloc(&big), last);  // the link to 32767 fits in 16 bits
  EXPECT_TRUE(htab_check(&big));
  htab_release(&big);
}

TEST_F(HandleTableTest, FailedGrowthLeavesTheTableAsItWas) {
  // First use and later growth each make two allocations; fail either one.
  for (int prefill : {0, 50}) {
    for (int n = 1; n <= 2; ++n) {
      HandleTable t = handle_table_make(sizeof(Rec), 50);
      for (int i = 0; i < prefill; ++i) htab_alloc(&t);
      HandleTable before = t;
      int64_t blocks = mem_live_blocks();
      {
        MemFaultGuard fail(n);
        EXPECT_EQ(htab_alloc(&t), nullptr);
      }
      EXPECT_EQ(mem_live_blocks(), blocks);
      EXPECT_EQ(t.slots, before.slots);
      EXPECT_EQ(t.capacity, before.capacity);
      EXPECT_EQ(t.count, before.count);
      EXPECT_TRUE(htab_check(&t));
      EXPECT_NE(htab_alloc(&t), nullptr);
      htab_release(&t);
    }
  }
}

// The release hook runs when an allocation fails, and a success retries.
int released = 0;
bool release_once(size_t) { return released++ == 0; }

TEST_F(HandleTableTest, AllocationRetriesAfterTheReleaseHookFreedMemory) {
  released = 0;
  memtest::install();
  memtest::release.answer = release_once;
  {
    MemFaultGuard fail(1);
    EXPECT_NE(htab_alloc(&table), nullptr);
  }
  EXPECT_EQ(released, 1);
  memtest::install();
}

enum class RecHandle : int32_t {};

TEST_F(HandleTableTest, TypedTable) {
  TypedHandleTable<Rec, RecHandle> t(4);
  Rec* a = t.alloc();
  RecHandle h = TypedHandleTable<Rec, RecHandle>::handle_of(a);
  EXPECT_TRUE(t.valid(h));
  EXPECT_EQ(t.get(h), a);
  t.free(a);
  EXPECT_FALSE(t.valid(h));
  EXPECT_EQ(t.get(h), nullptr);
  t.release();
}

// Random allocations, frees and writes against a model that predicts the
// handle of every allocation (LIFO reuse, then the next unused one) and
// remembers every record's address and contents.
TEST_F(HandleTableTest, RandomOperationsMatchAModel) {
  uint32_t seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  if (const char* s = std::getenv("ZVX_SEED")) seed = static_cast<uint32_t>(std::strtoul(s, nullptr, 10));
  std::printf("handle table model seed: %u (set ZVX_SEED to repeat)\n", seed);
  std::mt19937 rng(seed);
  mem_set_scribble(true);
  table = handle_table_make(sizeof(Rec), 7);
  struct Live {
    Rec* addr;
    int32_t value;
  };
  std::map<int32_t, Live> model;
  std::vector<int32_t> freed;  // top = next reused
  int32_t next_new = 0;
  for (int step = 0; step < 20000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    unsigned op = rng() % 100;
    if (op < 45 || model.empty()) {
      bool inject = rng() % 8 == 0;
      if (inject) mem_fail_after(1);
      auto* r = static_cast<Rec*>(htab_alloc(&table));
      mem_fail_after(0);
      if (!r) {
        ASSERT_TRUE(inject);
        ASSERT_TRUE(freed.empty());  // reuse never allocates
      } else {
        int32_t expect = freed.empty() ? next_new++ : freed.back();
        if (!freed.empty()) freed.pop_back();
        ASSERT_EQ(r->handle, expect);
        for (int32_t v : r->payload) ASSERT_EQ(v, 0);
        int32_t value = static_cast<int32_t>(rng());
        r->payload[14] = value;
        model[expect] = {r, value};
      }
    } else if (op < 85) {
      auto it = model.begin();
      std::advance(it, static_cast<long>(rng() % model.size()));
      htab_free(&table, it->second.addr);
      freed.push_back(it->first);
      model.erase(it);
    } else {
      auto it = model.begin();
      std::advance(it, static_cast<long>(rng() % model.size()));
      it->second.value = static_cast<int32_t>(rng());
      it->second.addr->payload[14] = it->second.value;
    }
    ASSERT_TRUE(htab_check(&table));
    for (const auto& [h, live] : model) {
      ASSERT_EQ(htab_record(&table, h), live.addr);
      ASSERT_EQ(live.addr->payload[14], live.value);
    }
    for (int32_t h : freed) ASSERT_EQ(htab_is_valid(&table, h), 0);
  }
  mem_set_scribble(false);
}

}  // namespace
