#include "base/mem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/headless/mem_fakes.h"

namespace {

TEST(MemTest, CountdownFailsTheNthCallOnly) {
  for (int n = 1; n <= 4; ++n) {
    mem_fail_after(n);
    std::vector<bool> failed;
    for (int k = 0; k < 6; ++k) {
      void* p = mem_alloc(16);
      failed.push_back(p == nullptr);
      mem_free(p);
    }
    mem_fail_after(0);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(failed[static_cast<size_t>(k)], k == n - 1) << "n=" << n << " k=" << k;
  }
}

TEST(MemTest, PersistentFailureKeepsFailing) {
  MemFaultGuard fail(2, true);
  void* p = mem_alloc(8);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(mem_alloc(8), nullptr);
  EXPECT_EQ(mem_realloc(p, 64), nullptr);
  EXPECT_EQ(mem_alloc(8), nullptr);
  EXPECT_TRUE(mem_fault_fired());
  mem_free(p);
}

TEST(MemTest, FailedReallocKeepsTheBlock) {
  auto* p = static_cast<char*>(mem_alloc(8));
  std::memcpy(p, "1234567", 8);
  {
    MemFaultGuard fail(1);
    EXPECT_EQ(mem_realloc(p, 1 << 20), nullptr);
  }
  EXPECT_STREQ(p, "1234567");
  mem_free(p);
}

TEST(MemTest, ZeroBytesIsNotAFailureAndLiveBlocksBalance) {
  int64_t before = mem_live_blocks();
  void* p = mem_alloc(0);
  EXPECT_NE(p, nullptr);
  void* q = mem_realloc(nullptr, 10);
  EXPECT_EQ(mem_live_blocks(), before + 2);
  q = mem_realloc(q, 100);
  mem_free(p);
  mem_free(q);
  mem_free(nullptr);
  EXPECT_EQ(mem_live_blocks(), before);
}

int hook_calls = 0;
int hook_successes = 0;
int failures_left = 0;

// Reports memory freed `hook_successes` times; keeps the seam failing for
// `failures_left` calls in a row.
bool counting_hook(size_t) {
  bool ok = ++hook_calls <= hook_successes;
  if (--failures_left > 0) mem_fail_after(1);
  return ok;
}

TEST(MemTest, RetryingAllocatorAsksTheHookUntilItGivesUp) {
  struct Case {
    int failures;   // seam failures in a row
    int successes;  // times the hook reports memory freed
    bool got;
    int calls;
  };
  const Case cases[] = {
      {0, 5, true, 0},                     // no failure: the hook is never asked
      {1, 5, true, 1},                     // one failure, one release, then success
      {3, 5, true, 3},  {3, 2, false, 3},  // the hook gives up on its third call
      {1, 0, false, 1},
  };
  memtest::install();
  memtest::release.answer = counting_hook;
  for (const Case& c : cases) {
    hook_calls = 0;
    hook_successes = c.successes;
    failures_left = c.failures;
    mem_fail_after(c.failures > 0 ? 1 : 0);
    void* p = mem_retry_alloc(32);
    mem_fail_after(0);
    EXPECT_EQ(p != nullptr, c.got) << c.failures << "/" << c.successes;
    EXPECT_EQ(hook_calls, c.calls) << c.failures << "/" << c.successes;
    mem_free(p);
  }
  memtest::install();
}

TEST(MemTest, WithoutAHookRetryingIsPlain) {
  memtest::install();  // nothing to give back
  {
    MemFaultGuard fail(1);
    EXPECT_EQ(mem_retry_alloc(8), nullptr);
  }
  void* p = mem_retry_alloc(8);
  EXPECT_NE(p, nullptr);
  void* q = mem_retry_realloc(p, 4096);
  EXPECT_NE(q, nullptr);
  mem_free(q);
  EXPECT_EQ(memtest::release.asked, 1) << "asked once, for the failed allocation";
}

TEST(MemTest, ScribbleFillsNewMemory) {
  mem_set_scribble(true);
  auto* p = static_cast<unsigned char*>(mem_alloc(16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0xA5);
  std::memset(p, 0, 16);
  p = static_cast<unsigned char*>(mem_realloc(p, 4096));
  mem_set_scribble(false);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);
  for (int i = 16; i < 4096; ++i) ASSERT_EQ(p[i], 0xA5) << i;
  mem_free(p);
}

}  // namespace
