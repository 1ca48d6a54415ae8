// Directory listings, wildcard matching and buffered reading.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/buffile.h"
#include "base/filename.h"
#include "base/wildcard.h"
#include "bench/ref_files.h"

namespace {

// A tree of 1000 directories (10 x 100) holding 10 files each, half of them ".c".
class Tree {
 public:
  Tree() {
    root_ = dir_.path();
    for (int a = 0; a < 10; ++a) {
      std::string da = root_ + "/d" + std::to_string(a);
      mkdir(da.c_str(), 0755);
      for (int b = 0; b < 100; ++b) {
        std::string db = da + "/e" + std::to_string(b);
        mkdir(db.c_str(), 0755);
        for (int f = 0; f < 10; ++f) {
          std::string name = db + "/file" + std::to_string(f) + (f % 2 ? ".c" : ".h");
          if (FILE* fp = std::fopen(name.c_str(), "w")) std::fclose(fp);
        }
      }
    }
  }
  bench::TempDir dir_{"zvx-bench"};  // removed with the tree
  std::string root_;
};

void BM_RecursiveListing(benchmark::State& state) {
  static Tree tree;
  LStrBuf<LSTR_CAP_LINE> dir(tree.root_ + "/"), pattern(std::string_view("*.c"));
  int64_t lines = 0;
  for (auto _ : state) {
    dirlist_run(
        dir, pattern, DIRLIST_RECURSE | DIRLIST_LONG | DIRLIST_WITH_DIR,
        [](const LStr*, void* user) {
          ++*static_cast<int64_t*>(user);
          return 0;
        },
        0, &lines);
  }
  state.counters["lines/run"] = benchmark::Counter(static_cast<double>(lines) / state.iterations());
}
BENCHMARK(BM_RecursiveListing)->Unit(benchmark::kMillisecond);

void BM_WildcardMatch(benchmark::State& state) {
  int32_t err;
  wildcard::ProgramPtr p(wildcard::compile("^[a-m]?*.(c|h|cpp)$", &err));
  const std::string names[] = {"main.cpp", "zebra.c", "alpha.h", "module_with_long_name.cpp", "x.txt"};
  int64_t hits = 0;
  for (auto _ : state)
    for (const auto& n : names) hits += wildcard::match(p.get(), n);
  benchmark::DoNotOptimize(hits);
  state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_WildcardMatch);

// Reads the 1 MiB reference file (ref_files.h) byte by byte.
void BM_BufFileGetc(benchmark::State& state) {
  const std::string path = bench::ref_files().path(1);
  if (path.empty()) {
    state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
    return;
  }
  for (auto _ : state) {
    BufFile* s = bufio_open_default(path.c_str(), "rb");
    int64_t sum = 0;
    for (int c; (c = bufio_getc(s)) >= 0;) sum += c;
    benchmark::DoNotOptimize(sum);
    bufio_close(s);
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_BufFileGetc)->Unit(benchmark::kMillisecond);

}  // namespace
