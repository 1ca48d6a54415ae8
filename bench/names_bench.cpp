// Names table and module benchmarks: a lookup that misses over 10,000
// entries (every command line and call by name pays it), linking a module
// of 500 links, and a state-file write and read of that table.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <string>

#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/state.h"
#include "tests/temp_dir.h"

namespace {

void fill(int n) {
  name_pool_init();
  NameEntry e;
  e.flags = NF_COMMAND;
  for (int i = 0; i < n; ++i) name_insert("command-number-" + std::to_string(i), e);
}

void BM_NameFindMiss(benchmark::State& state) {
  fill(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(name_find("No_Such_Command", NF_CALLABLE));
  state.SetItemsProcessed(state.iterations());  // one item is one lookup
}
BENCHMARK(BM_NameFindMiss)->Arg(1000)->Arg(10000);

ModuleBuilder big_module(int links) {
  ModuleBuilder m;
  uint16_t code = uint16_t(m.here());
  m.code.insert(m.code.end(), {0, 0, 0, 0, 3});
  for (int i = 0; i < links; ++i) {
    std::string n = "proc-" + std::to_string(i);
    m.add_link(i % 2 ? LK_PROC : LK_EXTERN, m.add_string(n), 0, code);
  }
  return m;
}

void BM_LinkModule500(benchmark::State& state) {
  fill(int(state.range(0)));
  std::vector<uint8_t> image = big_module(500).image();
  ModuleBuilder m = big_module(500);
  for (auto _ : state) {
    uint8_t* block = nullptr;
    name_data_alloc(&block, uint32_t(image.size()));
    std::copy(image.begin(), image.end(), block);
    int32_t index = mod_link(block, "big.ex", m.strings, false);
    state.PauseTiming();
    mod_unload(uint32_t(index), false, {});
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LinkModule500)->Arg(0)->Arg(10000);

void BM_StateWriteRead(benchmark::State& state) {
  const std::string path = zvxtest::process_temp_dir() + "/bench.stu";
  for (auto _ : state) {
    state.PauseTiming();
    fill(int(state.range(0)));
    cache_set_limit(0);
    state.ResumeTiming();
    state_write(path);
    name_pool_init();
    state_reset_read_flag();
    cache_set_limit(0);
    benchmark::DoNotOptimize(state_read(path, nullptr, nullptr));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_StateWriteRead)->Arg(10000);

}  // namespace
