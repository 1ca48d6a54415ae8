#include "base/handle_heap.h"

#include <gtest/gtest.h>

// The fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_heap_image_one_input
#include "fuzz/heap_image.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/lstr.h"
#include "base/mem.h"

namespace {

std::string data_of(const HandleHeap* h, HeapHandle k) {
  const uint8_t* p = heap_data(h, k);
  return p ? std::string(reinterpret_cast<const char*>(p), heap_length(h, k)) : std::string();
}

HeapHandle put(HandleHeap* h, const std::string& s) { return heap_alloc(h, s.data(), static_cast<uint32_t>(s.size())); }

uint32_t seed_from_env() {
  if (const char* s = std::getenv("ZVX_SEED")) return static_cast<uint32_t>(std::strtoul(s, nullptr, 10));
  return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

struct HeapFixture : ::testing::Test {
  HandleHeap heap;
  int64_t blocks_before = mem_live_blocks();
  void TearDown() override {
    heap_release(&heap);
    mem_fail_after(0);
    EXPECT_EQ(mem_live_blocks(), blocks_before) << "leaked blocks";
  }
};

using HandleHeapTest = HeapFixture;

TEST_F(HandleHeapTest, BlockSizesAreRoundedOnlyInWordAlignedHeaps) {
  ASSERT_EQ(heap_init(&heap, 1000, 10), 0);
  put(&heap, "hello");
  EXPECT_EQ(heap_used(&heap), 20u);  // 12 + 5 rounded up to 4

  ASSERT_EQ(hheap_init(1000, 10), 0);
  hheap_alloc("hello", 5);
  EXPECT_EQ(heap_used(hheap_instance()), 17u);  // 12 + 5 exactly
  EXPECT_TRUE(heap_check(hheap_instance()));
  hheap_release();
}

TEST_F(HandleHeapTest, WordAlignedBlocksAreCountedStrings) {
  ASSERT_EQ(heap_init(&heap, 100, 4), 0);
  HeapHandle a = put(&heap, "abc");
  LStr* s = heap_lstr(&heap, a);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->view(), "abc");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(s) % 4, 0u);
  EXPECT_EQ(heap_lstr(&heap, heap_new_handle(&heap)), nullptr);
  ASSERT_EQ(hheap_init(), 0);
  EXPECT_EQ(heap_lstr(hheap_instance(), hheap_alloc("abc", 3)), nullptr);
  hheap_release();
}

TEST_F(HandleHeapTest, TableGrowsThreefoldWhileSmallThenByAQuarter) {
  struct Case {
    uint32_t initial;
    std::vector<uint32_t> capacities;
  };
  const Case cases[] = {{2, {2, 6, 18, 54}}, {40, {40, 90}}};
  for (const Case& c : cases) {
    HandleHeap h;
    ASSERT_EQ(heap_init(&h, 100, c.initial), 0);
    std::vector<uint32_t> seen = {h.capacity};
    while (seen.size() < c.capacities.size()) {
      ASSERT_NE(heap_new_handle(&h), HeapHandle::none);
      if (h.capacity != seen.back()) seen.push_back(h.capacity);
    }
    EXPECT_EQ(seen, c.capacities) << "initial " << c.initial;
    EXPECT_TRUE(heap_check(&h));
    heap_release(&h);
  }
}

TEST_F(HandleHeapTest, HandleZeroIsNeverValid) {
  ASSERT_EQ(heap_init(&heap, 100, 4), 0);
  EXPECT_EQ(heap_data(&heap, HeapHandle::none), nullptr);
  heap_free(&heap, HeapHandle::none);  // ignored
  EXPECT_NE(heap_new_handle(&heap), HeapHandle::none);
  EXPECT_EQ(heap_set(&heap, HeapHandle::none, "x", 1), -1);
  EXPECT_TRUE(heap_check(&heap));
}

TEST_F(HandleHeapTest, NewHandleHasNoBlockAndFreedHandlesAreReusedLastFirst) {
  ASSERT_EQ(heap_init(&heap, 100, 4), 0);
  HeapHandle a = heap_new_handle(&heap), b = heap_new_handle(&heap), c = heap_new_handle(&heap);
  EXPECT_EQ(heap_data(&heap, a), nullptr);
  EXPECT_EQ(heap_length(&heap, a), 0u);
  heap_free(&heap, a);
  heap_free(&heap, c);
  EXPECT_EQ(heap_new_handle(&heap), c);
  EXPECT_EQ(heap_new_handle(&heap), a);
  EXPECT_NE(heap_new_handle(&heap), b);
  EXPECT_TRUE(heap_check(&heap));
}

TEST_F(HandleHeapTest, SetWithinCapacityRewritesInPlace) {
  ASSERT_EQ(heap_init(&heap, 1000, 8), 0);
  HeapHandle a = put(&heap, "aaaaaaaaaa");
  HeapHandle b = put(&heap, "bbbb");
  uint8_t* pa = heap_data(&heap, a);
  uint8_t* pb = heap_data(&heap, b);
  uint32_t top = heap_used(&heap);
  ASSERT_EQ(heap_set(&heap, a, "xyz", 3), 0);
  EXPECT_EQ(heap_data(&heap, a), pa);
  EXPECT_EQ(heap_data(&heap, b), pb);
  EXPECT_EQ(heap_used(&heap), top);
  EXPECT_EQ(data_of(&heap, a), "xyz");
  EXPECT_EQ(data_of(&heap, b), "bbbb");
}

TEST_F(HandleHeapTest, CompactionKeepsSurvivorsInOrderAndTrims) {
  ASSERT_EQ(heap_init(&heap, 4000, 8), 0);
  std::vector<HeapHandle> hs;
  std::vector<std::string> texts;
  for (int i = 0; i < 10; ++i) {
    texts.push_back(std::string(static_cast<size_t>(i + 1), static_cast<char>('a' + i)));
    hs.push_back(put(&heap, texts.back()));
  }
  ASSERT_EQ(heap_set(&heap, hs[8], "z", 1), 0);  // leaves room to trim
  texts[8] = "z";
  for (int i = 0; i < 10; i += 2) heap_free(&heap, hs[i]);
  heap_compact(&heap);
  uint32_t expect_top = 0;
  uint8_t* prev = nullptr;
  for (int i = 1; i < 10; i += 2) {
    EXPECT_EQ(data_of(&heap, hs[i]), texts[i]);
    EXPECT_GT(heap_data(&heap, hs[i]), prev);  // order kept
    prev = heap_data(&heap, hs[i]);
    expect_top += (12 + static_cast<uint32_t>(texts[i].size()) + 3) / 4 * 4;
  }
  EXPECT_EQ(heap_used(&heap), expect_top);
  EXPECT_TRUE(heap_check(&heap));
}

TEST_F(HandleHeapTest, SetFromInsideTheHeapSurvivesCompactionAndAreaMove) {
  // A tiny area forces a compaction and a new area on the second set.
  ASSERT_EQ(heap_init(&heap, 64, 4), 0);
  HeapHandle src = put(&heap, "0123456789abcdef");
  HeapHandle junk = put(&heap, "garbage-garbage!");
  heap_free(&heap, junk);
  HeapHandle dst = heap_new_handle(&heap);
  uint64_t moves = heap.area_moves, compactions = heap.compactions;
  ASSERT_EQ(heap_set(&heap, dst, heap_data(&heap, src) + 4, 10), 0);
  EXPECT_GT(heap.compactions, compactions);
  EXPECT_GT(heap.area_moves, moves);
  EXPECT_EQ(data_of(&heap, dst), "456789abcd");
  EXPECT_EQ(data_of(&heap, src), "0123456789abcdef");
  // Growing a block from its own bytes.
  ASSERT_EQ(heap_set(&heap, src, heap_data(&heap, src) + 10, 6), 0);
  EXPECT_EQ(data_of(&heap, src), "abcdef");
  std::string big(200, 'q');
  ASSERT_EQ(heap_set(&heap, dst, big.data(), 200), 0);
  ASSERT_EQ(heap_set(&heap, src, heap_data(&heap, dst), 200), 0);
  EXPECT_EQ(data_of(&heap, src), big);
  EXPECT_TRUE(heap_check(&heap));
}

TEST_F(HandleHeapTest, SetWithoutDataResizesKeepingTheOldBytes) {
  ASSERT_EQ(heap_init(&heap, 40, 4), 0);
  HeapHandle a = put(&heap, "abcdef");
  HeapHandle b = put(&heap, "x");
  ASSERT_EQ(heap_set(&heap, a, nullptr, 100), 0);  // moves: compaction and a new area
  EXPECT_EQ(heap_length(&heap, a), 100u);
  EXPECT_EQ(data_of(&heap, a).substr(0, 6), "abcdef");
  ASSERT_EQ(heap_set(&heap, a, nullptr, 3), 0);  // in place
  EXPECT_EQ(data_of(&heap, a), "abc");
  EXPECT_EQ(data_of(&heap, b), "x");
  HeapHandle c = heap_new_handle(&heap);
  ASSERT_EQ(heap_set(&heap, c, nullptr, 8), 0);  // no old bytes: room only
  EXPECT_EQ(heap_length(&heap, c), 8u);
  EXPECT_TRUE(heap_check(&heap));
}

TEST_F(HandleHeapTest, SetFromGarbageCopiesTheBytesBeforeCompacting) {
  ASSERT_EQ(heap_init(&heap, 48, 4), 0);
  HeapHandle a = put(&heap, "stale bytes!");
  const uint8_t* stale = heap_data(&heap, a);
  heap_free(&heap, a);
  HeapHandle b = heap_new_handle(&heap);
  ASSERT_EQ(heap_set(&heap, b, stale, 12), 0);  // area full: compacts
  EXPECT_EQ(data_of(&heap, b), "stale bytes!");
}

TEST_F(HandleHeapTest, FailedAllocationsLeaveTheHeapAsItWas) {
  // Each case runs one operation with the n-th allocation failing, n = 1...
  // until it succeeds; a failed set must keep the old data and leave every
  // earlier block intact.
  for (int n = 1;; ++n) {
    HandleHeap h;
    ASSERT_EQ(heap_init(&h, 32, 2), 0);
    HeapHandle keep = put(&h, "keep me");
    HeapHandle grow = put(&h, "small");
    ASSERT_NE(keep, HeapHandle::none);
    std::string big(300, 'B');
    bool done;
    {
      MemFaultGuard fail(n);
      int32_t rc = heap_set(&h, grow, big.data(), 300);
      HeapHandle extra = heap_alloc(&h, "x", 1);  // may need a bigger table
      done = !mem_fault_fired();
      EXPECT_EQ(data_of(&h, grow), rc == 0 ? big : std::string("small"));
      if (extra == HeapHandle::none) {
        mem_fail_after(0);
        EXPECT_EQ(heap_new_handle(&h), static_cast<HeapHandle>(3)) << "handle released again";
      }
    }
    EXPECT_EQ(data_of(&h, keep), "keep me");
    EXPECT_TRUE(heap_check(&h));
    heap_release(&h);
    if (done) break;
  }
}

TEST_F(HandleHeapTest, InitFailureKeepsNothing) {
  for (int n = 1; n <= 2; ++n) {
    HandleHeap h;
    int64_t before = mem_live_blocks();
    MemFaultGuard fail(n);
    EXPECT_EQ(heap_init(&h, 100, 10), -1);
    EXPECT_EQ(mem_live_blocks(), before);
  }
}

TEST_F(HandleHeapTest, FileImageRoundTrip) {
  ASSERT_EQ(heap_init(&heap, 200, 4), 0);
  std::vector<HeapHandle> hs;
  for (int i = 0; i < 20; ++i) hs.push_back(put(&heap, "name-" + std::to_string(i * 37)));
  heap_free(&heap, hs[3]);
  heap_free(&heap, hs[11]);
  HeapHandle empty = heap_new_handle(&heap);  // reuses 11, no block
  heap_free(&heap, hs[15]);
  heap_compact(&heap);
  EXPECT_EQ(heap_swizzle(&heap, 'O'), 0);
  std::array<uint8_t, kHeapDescriptorBytes> desc;
  heap_write_descriptor(&heap, desc);
  auto table = heap_table_image(&heap);
  std::vector<uint8_t> table_bytes;
  for (uint32_t w : table)
    for (int b = 0; b < 4; ++b) table_bytes.push_back(static_cast<uint8_t>(w >> (8 * b)));
  auto area = heap_area_image(&heap);
  std::vector<uint8_t> area_bytes(area.begin(), area.end());

  HandleHeap loaded;
  ASSERT_EQ(heap_load(&loaded, desc, table_bytes, area_bytes), 0);
  EXPECT_EQ(heap_swizzle(&loaded, 'A'), 0);
  EXPECT_EQ(loaded.top, heap.top);
  EXPECT_EQ(loaded.count, heap.count);
  for (HeapHandle h : hs) EXPECT_EQ(data_of(&loaded, h), data_of(&heap, h));
  EXPECT_EQ(heap_data(&loaded, empty), nullptr);
  // The free list came along: the same handles come back in the same order.
  EXPECT_EQ(heap_new_handle(&loaded), hs[15]);
  EXPECT_EQ(heap_new_handle(&loaded), hs[3]);
  // A loaded heap takes new data (its area grows from zero headroom).
  HeapHandle more = put(&loaded, "after load");
  EXPECT_EQ(data_of(&loaded, more), "after load");
  EXPECT_TRUE(heap_check(&loaded));
  heap_release(&loaded);
}

TEST_F(HandleHeapTest, CorruptImagesAreRefused) {
  ASSERT_EQ(heap_init(&heap, 200, 4), 0);
  put(&heap, "alpha");
  put(&heap, "beta");
  heap_free(&heap, put(&heap, "gamma"));
  heap_compact(&heap);
  std::array<uint8_t, kHeapDescriptorBytes> desc;
  heap_write_descriptor(&heap, desc);
  std::vector<uint8_t> table;
  for (uint32_t w : heap_table_image(&heap))
    for (int b = 0; b < 4; ++b) table.push_back(static_cast<uint8_t>(w >> (8 * b)));
  auto a = heap_area_image(&heap);
  std::vector<uint8_t> area(a.begin(), a.end());

  auto set32 = [](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int b = 0; b < 4; ++b) v[at + b] = static_cast<uint8_t>(x >> (8 * b));
  };
  struct Case {
    const char* what;
    std::function<void(std::array<uint8_t, kHeapDescriptorBytes>&, std::vector<uint8_t>&, std::vector<uint8_t>&)> spoil;
  };
  const Case cases[] = {
      {"entry past the blocks", [&](auto&, auto& t, auto&) { set32(t, 4, 5000); }},
      {"entry inside a block", [&](auto&, auto& t, auto&) { set32(t, 4, 12); }},
      {"two entries, one block", [&](auto&, auto& t, auto&) { set32(t, 8, 8); }},
      {"table reference out of range", [&](auto&, auto& t, auto&) { set32(t, 4, ~(4u * 99)); }},
      {"free-list cycle", [&](auto&, auto& t, auto&) { set32(t, 12, ~(4u * 3)); }},
      {"capacity past the area", [&](auto&, auto&, auto& ar) { set32(ar, 4, 9999); }},
      {"length above capacity", [&](auto&, auto&, auto& ar) { set32(ar, 8, 100); }},
      {"count disagrees with table", [&](auto& d, auto&, auto&) { d[8] = 7; }},
      {"top disagrees with area", [&](auto&, auto&, auto& ar) { ar.push_back(0); }},
      {"entry 0 not self", [&](auto&, auto& t, auto&) { set32(t, 0, 0); }},
      {"link outside the free list", [&](auto&, auto& t, auto&) { set32(t, 4, ~(4u * 2)); }},
  };
  for (const Case& c : cases) {
    auto d = desc;
    auto t = table;
    auto ar = area;
    c.spoil(d, t, ar);
    HandleHeap target;
    ASSERT_EQ(heap_init(&target, 10, 2), 0);
    HeapHandle mine = put(&target, "mine");
    EXPECT_EQ(heap_load(&target, d, t, ar), -2) << c.what;
    EXPECT_EQ(data_of(&target, mine), "mine") << c.what;
    heap_release(&target);
  }
}

// ---- model test -----------------------------------------------------------

// Drives a heap against a map from handle to contents, with random
// allocations, resizes (some from the heap's own bytes), frees, compactions
// and injected allocation failures, and checks every live block after each
// step. Rerun a failure with ZVX_SEED=<seed>.
void run_heap_model(HandleHeap* h, uint32_t seed, int steps) {
  std::mt19937 rng(seed);
  std::map<HeapHandle, std::string> model;
  std::vector<HeapHandle> no_block;
  auto pick = [&]() {
    auto it = model.begin();
    std::advance(it, static_cast<long>(rng() % model.size()));
    return it;
  };
  auto text = [&](size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
  };
  for (int step = 0; step < steps; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    bool inject = rng() % 10 == 0;
    if (inject) mem_fail_after(1 + static_cast<int>(rng() % 2));
    unsigned op = rng() % 100;
    if (op < 35 || model.empty()) {
      std::string s = text(rng() % 4 == 0 ? rng() % 600 : rng() % 40);
      HeapHandle k = heap_alloc(h, s.data(), static_cast<uint32_t>(s.size()));
      if (k != HeapHandle::none) {
        ASSERT_EQ(model.count(k), 0u);
        model[k] = s;
      } else {
        ASSERT_TRUE(mem_fault_fired());
      }
    } else if (op < 60) {
      auto it = pick();
      std::string s = text(rng() % 3 == 0 ? rng() % 900 : rng() % 60);
      if (heap_set(h, it->first, s.data(), static_cast<uint32_t>(s.size())) == 0)
        it->second = s;
      else
        ASSERT_TRUE(mem_fault_fired());
    } else if (op < 70) {
      // Copy part of one stored block over another (source inside the area).
      auto from = pick();
      auto to = pick();
      size_t off = from->second.empty() ? 0 : rng() % from->second.size();
      size_t len = from->second.size() - off;
      std::string s = from->second.substr(off, len);
      const uint8_t* src = len ? heap_data(h, from->first) + off : nullptr;
      if (heap_set(h, to->first, src ? src : reinterpret_cast<const uint8_t*>(""), static_cast<uint32_t>(len)) == 0)
        to->second = s;
      else
        ASSERT_TRUE(mem_fault_fired());
    } else if (op < 76) {
      // Resize without data: the old bytes stay, then fill the new tail.
      auto it = pick();
      uint32_t n = static_cast<uint32_t>(rng() % 300);
      if (heap_set(h, it->first, nullptr, n) == 0) {
        std::string s = it->second.substr(0, n);
        std::string tail = text(n - s.size());
        if (!tail.empty()) std::memcpy(heap_data(h, it->first) + s.size(), tail.data(), tail.size());
        it->second = s + tail;
      } else {
        ASSERT_TRUE(mem_fault_fired());
      }
    } else if (op < 88) {
      auto it = pick();
      heap_free(h, it->first);
      model.erase(it);
    } else if (op < 93) {
      heap_compact(h);
    } else {
      HeapHandle k = heap_new_handle(h);
      if (k != HeapHandle::none) {
        no_block.push_back(k);
        ASSERT_EQ(heap_data(h, k), nullptr);
        if (no_block.size() > 3) {
          heap_free(h, no_block.front());
          no_block.erase(no_block.begin());
        }
      }
    }
    mem_fail_after(0);
    ASSERT_TRUE(heap_check(h));
    for (const auto& [k, s] : model) ASSERT_EQ(data_of(h, k), s) << "handle " << static_cast<uint32_t>(k);
  }
  for (HeapHandle k : no_block) heap_free(h, k);
  for (const auto& [k, s] : model) heap_free(h, k);
}

TEST_F(HandleHeapTest, RandomOperationsMatchAModel) {
  uint32_t seed = seed_from_env();
  std::printf("handle heap model seed: %u (set ZVX_SEED to repeat)\n", seed);
  mem_set_scribble(true);
  ASSERT_EQ(heap_init(&heap, 20, 2), 0);
  run_heap_model(&heap, seed, 3000);
  heap_compact(&heap);
  EXPECT_EQ(heap_used(&heap), 0u);

  ASSERT_EQ(hheap_init(), 0);
  run_heap_model(hheap_instance(), seed + 1, 3000);
  hheap_release();
  mem_set_scribble(false);
}

// The same under stress: every new block compacts and moves the area, so
// any address the heap kept across a move would be caught by ASan.
TEST_F(HandleHeapTest, RandomOperationsUnderStressMatchAModel) {
  uint32_t seed = seed_from_env();
  std::printf("handle heap stress model seed: %u (set ZVX_SEED to repeat)\n", seed);
  heap_set_stress(true);
  ASSERT_EQ(heap_init(&heap, 20, 2), 0);
  run_heap_model(&heap, seed, 1500);
  heap_set_stress(false);
  EXPECT_GT(heap.area_moves, 500u);
}

TEST_F(HandleHeapTest, FreeingTheLastFreedHandleAgainIsIgnored) {
  ASSERT_EQ(heap_init(&heap, 100, 4), 0);
  HeapHandle a = put(&heap, "a");
  HeapHandle b = put(&heap, "b");
  heap_free(&heap, a);
  heap_free(&heap, a);
  EXPECT_TRUE(heap_check(&heap));
  EXPECT_EQ(heap_new_handle(&heap), a);
  EXPECT_NE(heap_new_handle(&heap), a);
  EXPECT_EQ(data_of(&heap, b), "b");
}

TEST_F(HandleHeapTest, GlobalHeapSetsItselfUp) {
  hheap_release();
  HeapHandle h = hheap_alloc("text", 4);
  ASSERT_NE(h, HeapHandle::none);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(hheap_data(h)), hheap_length(h)), "text");
  EXPECT_FALSE(hheap_instance()->word_aligned);
  hheap_release();
}

TEST(HeapImageFuzzCorpus, SavedInputsRunClean) { corpus::replay("heap_image", fuzz_heap_image_one_input); }

}  // namespace
