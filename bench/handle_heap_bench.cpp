// The handle heap under steady churn against malloc/realloc/free.
//
// Each iteration does one operation on a random one of N live strings:
// resize it (new contents of a new length), or free it and allocate a new
// one. Lengths are uniform in [8, 200]. The counters report how often the
// heap compacts and moves its area per operation once the population is in
// place, and how full the area is (live bytes / area size).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "base/handle_heap.h"

namespace {

constexpr uint32_t kMinLen = 8;
constexpr uint32_t kMaxLen = 200;

struct Op {
  uint32_t slot;
  uint32_t length;
  bool replace;  // free and allocate anew, else resize in place of the handle
};

std::vector<Op> make_ops(uint32_t live, size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Op> ops(n);
  for (Op& op : ops) {
    op.slot = rng() % live;
    op.length = kMinLen + rng() % (kMaxLen - kMinLen + 1);
    op.replace = rng() % 3 == 0;
  }
  return ops;
}

void BM_HandleHeapChurn(benchmark::State& state) {
  const uint32_t live = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> src(kMaxLen, 'x');
  HandleHeap heap;
  heap_init(&heap, 20000, 1000);
  std::vector<HeapHandle> slots(live);
  std::vector<uint32_t> lens(live);
  std::mt19937 rng(1);
  uint64_t live_bytes = 0;
  for (uint32_t i = 0; i < live; ++i) {
    lens[i] = kMinLen + rng() % (kMaxLen - kMinLen + 1);
    slots[i] = heap_alloc(&heap, src.data(), lens[i]);
    live_bytes += lens[i];
  }
  std::vector<Op> ops = make_ops(live, 1 << 16, 2);
  // Warm up to the steady state before counting.
  for (const Op& op : ops) heap_set(&heap, slots[op.slot], src.data(), op.length), lens[op.slot] = op.length;
  uint64_t compactions = heap.compactions, moves = heap.area_moves;
  double fill_sum = 0;
  size_t k = 0;
  for (auto _ : state) {
    const Op& op = ops[k++ & (ops.size() - 1)];
    if (op.replace) {
      heap_free(&heap, slots[op.slot]);
      slots[op.slot] = heap_alloc(&heap, src.data(), op.length);
    } else {
      heap_set(&heap, slots[op.slot], src.data(), op.length);
    }
    live_bytes += op.length;
    live_bytes -= lens[op.slot];
    lens[op.slot] = op.length;
    fill_sum += static_cast<double>(heap.top) / heap.end;
    benchmark::DoNotOptimize(heap_data(&heap, slots[op.slot]));
  }
  double n = static_cast<double>(state.iterations());
  state.counters["compactions_per_op"] = static_cast<double>(heap.compactions - compactions) / n;
  state.counters["area_moves_per_op"] = static_cast<double>(heap.area_moves - moves) / n;
  state.counters["ops_per_compaction"] =
      heap.compactions > compactions ? n / static_cast<double>(heap.compactions - compactions) : 0;
  state.counters["avg_top_over_end"] = fill_sum / n;
  uint64_t block_bytes = 0;
  for (uint32_t l : lens) block_bytes += (12 + l + 3) / 4 * 4;
  state.counters["live_over_end"] = static_cast<double>(block_bytes) / heap.end;
  heap_release(&heap);
}

void BM_MallocChurn(benchmark::State& state) {
  const uint32_t live = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> src(kMaxLen, 'x');
  std::vector<void*> slots(live);
  std::mt19937 rng(1);
  for (uint32_t i = 0; i < live; ++i) {
    uint32_t len = kMinLen + rng() % (kMaxLen - kMinLen + 1);
    slots[i] = std::malloc(len);
    std::memcpy(slots[i], src.data(), len);
  }
  std::vector<Op> ops = make_ops(live, 1 << 16, 2);
  for (const Op& op : ops) {
    slots[op.slot] = std::realloc(slots[op.slot], op.length);
    std::memcpy(slots[op.slot], src.data(), op.length);
  }
  size_t k = 0;
  for (auto _ : state) {
    const Op& op = ops[k++ & (ops.size() - 1)];
    if (op.replace) {
      std::free(slots[op.slot]);
      slots[op.slot] = std::malloc(op.length);
    } else {
      slots[op.slot] = std::realloc(slots[op.slot], op.length);
    }
    std::memcpy(slots[op.slot], src.data(), op.length);
    benchmark::DoNotOptimize(slots[op.slot]);
  }
  for (void* p : slots) std::free(p);
}

// The global heap's start: 20 bytes and 2 entries, filled with N strings
// from nothing. Reports how many compactions the growth costs.
void BM_GlobalHeapGrowth(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> src(kMaxLen, 'x');
  uint64_t compactions = 0, moves = 0;
  for (auto _ : state) {
    hheap_init();
    for (uint32_t i = 0; i < n; ++i) hheap_alloc(src.data(), kMinLen + i % (kMaxLen - kMinLen + 1));
    compactions += hheap_instance()->compactions;
    moves += hheap_instance()->area_moves;
    hheap_release();
  }
  double runs = static_cast<double>(state.iterations());
  state.counters["compactions_per_fill"] = static_cast<double>(compactions) / runs;
  state.counters["area_moves_per_fill"] = static_cast<double>(moves) / runs;
}

}  // namespace

BENCHMARK(BM_HandleHeapChurn)->Arg(1000)->Arg(10000)->Arg(50000);
BENCHMARK(BM_MallocChurn)->Arg(1000)->Arg(10000)->Arg(50000);
BENCHMARK(BM_GlobalHeapGrowth)->Arg(1000)->Arg(50000);
