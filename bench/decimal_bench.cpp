// Decimal arithmetic on typical macro values, on their text. The byte-code
// loop `i = i + 1` is BM_ByteCodeIncrementLoop in interp_bench.cpp.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "macro/decimal.h"

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

}  // namespace
