// Regular-expression line counts over the reference files (ref_files.h):
// how many lines match, which is what `grep -E -c` answers (bench/compare.sh
// times grep in the C locale on the same file).
//
// BM_RegexLineCount walks a buffer opened lazily on the file, line by line
// through the page iterator, as the editor's search walks it; every
// iteration opens a fresh buffer. BM_RegexMatcher runs the matcher alone
// over the lines of the 64 MiB file held in memory. The patterns are written
// in the Unix syntax, which reads them as grep -E does; lines_matched shows
// the two programs agree.
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/ref_files.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/regex.h"
#include "text/store.h"

namespace {

// The patterns, in the Unix syntax and as grep -E reads them.
const char* const kPatterns[] = {
    "[0-9]+ [-+*/%] [0-9]+",              // arithmetic on two numbers
    "^ *for \\(int i = 0; i < [a-z_]+;",  // an anchored loop head
};

bool compile(RegexState& st, int pattern) { return re_compile(st, kPatterns[pattern], 1, 0, 1) == 0; }

void BM_RegexLineCount(benchmark::State& state) {
  const std::string path = bench::ref_files().path(static_cast<int>(state.range(1)));
  bench::TempDir spill;
  RegexState st;
  if (path.empty() || !compile(st, static_cast<int>(state.range(0))) || store_init(16 * 1024, spill.path(), 900) != 0) {
    state.SkipWithError("no reference file, or the pattern does not compile");
    return;
  }
  int64_t matched = 0;
  for (auto _ : state) {
    BufferRec b{};
    buf_store_defaults(&b);
    b.source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    PosRecord p{};
    PageIter it{};
    if (store_load_file(&p, &b, {}) != 0 || pos_first_line(&p, &b) != 0 || page_iter_init(it, 1, &p, &b) != 0) {
      state.SkipWithError("cannot open the buffer");
      break;
    }
    matched = 0;
    for (;;) {
      const uint8_t* t = nullptr;
      const int32_t len = page_iter_line(it, t, &p, &b);
      if (re_search(st, 1, t, len) > 0) ++matched;
      if (page_iter_advance(it)) continue;
      if (page_iter_next_page(it, &p, &b) != 0) break;
    }
    store_close_buffer(&b);
  }
  store_shutdown();
  state.SetBytesProcessed(state.iterations() * (state.range(1) << 20));
  state.counters["lines_matched"] = static_cast<double>(matched);
  state.SetLabel(std::string("LC_ALL=C grep -E -c '") + kPatterns[state.range(0)] + "' " + path);
}
BENCHMARK(BM_RegexLineCount)
    ->ArgsProduct({{0, 1}, {64, 1024}})
    ->ArgNames({"pattern", "mib"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The lines of the 64 MiB file, in memory.
struct Lines {
  std::string text;
  std::vector<uint32_t> starts;  // one past the end last
  Lines() {
    const std::string path = bench::ref_files().path(64);
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) return;
    text.resize(64u << 20);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    for (size_t i = 0; i < text.size();) {
      starts.push_back(static_cast<uint32_t>(i));
      const size_t nl = text.find('\n', i);
      i = nl == std::string::npos ? text.size() : nl + 1;
    }
    starts.push_back(static_cast<uint32_t>(text.size()));
  }
};

void BM_RegexMatcher(benchmark::State& state) {
  static const Lines lines;
  RegexState st;
  if (lines.starts.size() < 2 || !compile(st, static_cast<int>(state.range(0)))) {
    state.SkipWithError("no reference file, or the pattern does not compile");
    return;
  }
  const uint8_t* base = reinterpret_cast<const uint8_t*>(lines.text.data());
  int64_t matched = 0;
  for (auto _ : state) {
    matched = 0;
    for (size_t i = 0; i + 1 < lines.starts.size(); ++i) {
      const uint32_t s = lines.starts[i];
      const int len = static_cast<int>(lines.starts[i + 1] - s - 1);  // without the LF
      if (re_search(st, 1, base + s, len) > 0) ++matched;
    }
    benchmark::DoNotOptimize(matched);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(lines.text.size()));
  state.counters["lines_matched"] = static_cast<double>(matched);
}
BENCHMARK(BM_RegexMatcher)->Arg(0)->Arg(1)->ArgName("pattern")->Unit(benchmark::kMillisecond);

}  // namespace
