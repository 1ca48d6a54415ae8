// Decimal arithmetic on typical macro values, and the byte-code loop
// `i = i + 1` through the interpreter.
//
// For comparison, the same loop in python3 on the same machine:
//   python3 -c "import time
//   t=time.perf_counter(); i=0
//   while i < 1000000: i = i + 1
//   print((time.perf_counter()-t)*1e9/1e6, 'ns per iteration')"
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/le.h"
#include "macro/decimal.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/opcodes.h"

namespace {

struct Pair {
  const char* a;
  const char* b;
};
const Pair kSmall[] = {{"1", "2"}, {"41", "1"}, {"999", "1"}, {"-17", "250"}, {"1234", "8765"}};
const Pair kFractions[] = {{"12345678.901234567890", "98765432.109876543210"},
                           {"0.12345678901234567890", "3.1415926535897932384"},
                           {"-77777.777777777777777", "22222.222222222222222"}};

template <size_t N>
void add_pairs(benchmark::State& state, const Pair (&pairs)[N]) {
  DecText t;
  size_t i = 0;
  for (auto _ : state) {
    const Pair& p = pairs[i++ % N];
    benchmark::DoNotOptimize(dec_add_sub_cmp(&t, p.a, std::string_view(p.b), 0));
    benchmark::DoNotOptimize(t.len);
  }
}

template <size_t N>
void mul_pairs(benchmark::State& state, const Pair (&pairs)[N]) {
  DecText t;
  size_t i = 0;
  for (auto _ : state) {
    const Pair& p = pairs[i++ % N];
    benchmark::DoNotOptimize(dec_mul(&t, p.a, p.b));
    benchmark::DoNotOptimize(t.len);
  }
}

void BM_DecimalAdd(benchmark::State& state) {
  if (state.range(0) == 0)
    add_pairs(state, kSmall);
  else
    add_pairs(state, kFractions);
}
BENCHMARK(BM_DecimalAdd)->Arg(0)->Arg(1)->ArgNames({"fractions"});

void BM_DecimalMul(benchmark::State& state) {
  if (state.range(0) == 0)
    mul_pairs(state, kSmall);
  else
    mul_pairs(state, kFractions);
}
BENCHMARK(BM_DecimalMul)->Arg(0)->Arg(1)->ArgNames({"fractions"});

// A module image whose procedure counts a local from 0 to n by `i = i + 1`.
std::vector<uint8_t> counting_loop(int n) {
  const std::string limit = std::to_string(n);
  std::vector<uint8_t> img(kModuleHeaderSize, 0);
  auto put16 = [&](uint16_t v) { le::append_u16(img, v); };
  enum : uint8_t { kReturn = 3, kPushVar = 6, kPushConst = 7, kJumpIfTrue = 9, kAdd = 13, kNumLt = 29, kAssign = 41 };
  constexpr uint16_t kLocal0 = 8001;
  // Constants: "0" at 0, "1" at 2, the limit at 4.
  const uint16_t k0 = 0, k1 = 2, kn = 4;
  img.insert(img.end(), {1, 0, 0, 0});  // one local, no parameters
  img.push_back(kPushConst), put16(k0);
  img.push_back(kAssign), put16(kLocal0);
  const uint16_t top = static_cast<uint16_t>(img.size());
  img.push_back(kPushVar), put16(kLocal0);
  img.push_back(kPushConst), put16(k1);
  img.push_back(kAdd);
  img.push_back(kAssign), put16(kLocal0);
  img.push_back(kPushVar), put16(kLocal0);
  img.push_back(kPushConst), put16(kn);
  img.push_back(kNumLt);
  img.push_back(kJumpIfTrue), put16(top);
  img.push_back(kReturn);
  const size_t links = img.size();
  img.resize(img.size() + kFirstLink * kLinkEntrySize, 0);  // entries 0-2 are unused
  const size_t consts = img.size();
  img.insert(img.end(), {1, '0', 1, '1'});
  img.push_back(static_cast<uint8_t>(limit.size()));
  img.insert(img.end(), limit.begin(), limit.end());
  auto set16 = [&](size_t at, size_t v) { le::put_u16(&img[at], static_cast<uint16_t>(v)); };
  set16(MH_SIZE, img.size());
  set16(MH_LINKS, links);
  set16(MH_LAST_LINK, 0);
  set16(MH_CONSTANTS, consts);
  return img;
}

void BM_ByteCodeIncrementLoop(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  vm_reset();
  opcodes_clear(vm_dispatch);
  macro_register_opcodes(vm_dispatch);
  std::vector<uint8_t> img = counting_loop(n);
  for (auto _ : state) {
    ErrorCode rc = vm_call_image(img, kModuleHeaderSize, {});
    if (rc != ERR_OK) state.SkipWithError("the loop failed");
  }
  state.SetItemsProcessed(state.iterations() * n);  // loop iterations
}
BENCHMARK(BM_ByteCodeIncrementLoop)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
