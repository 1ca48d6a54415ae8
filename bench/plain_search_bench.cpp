// Literal search over a whole buffer: a 256 MiB generated file, loaded into
// the text store and read into memory once, searched line by line for a
// 12-byte pattern that occurs once, near the end. BM_GrepFixedCount runs
// `grep -F -c` on the same file (in the page cache after the load) for
// comparison; both report bytes per second.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "base/lstr.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/plain_search.h"
#include "text/store.h"
#include "tests/temp_dir.h"

namespace {

constexpr int64_t kFileBytes = int64_t{256} << 20;
constexpr char kPattern[] = "QuartzFjord7";  // 12 bytes; the generated words have no capitals

struct Fixture {
  zvxtest::TempDir tmp{"zvx-bench"};
  std::string dir, path;
  BufferRec buf{};
  bool ready = false;

  Fixture() {
    dir = tmp.path();
    path = dir + "/text";
    if (!write_file()) return;
    if (store_init(-1, dir, 300) != 0) return;
    buf_store_defaults(&buf);
    buf.source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    PosRecord pos{};
    if (store_load_file(&pos, &buf, StoreLoadOptions{}) != 0) return;
    if (store_read_all(&buf, true) != 0) return;
    ready = true;
  }
  ~Fixture() {
    store_close_buffer(&buf);
    store_shutdown();
  }
  bool write_file() {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    static const char* const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf",
                                         "hotel", "india", "juliet", "kilo", "lima", "mike", "november",
                                         "oscar", "papa", "quebec", "romeo", "sierra", "tango", "uniform",
                                         "victor", "whiskey", "xray", "yankee", "zulu", "{", "}", "x = 1;",
                                         "\t", "return", "0x7fff", "fjord", "quartz"};
    std::mt19937 rng(12345);
    int64_t written = 0;
    bool planted = false;
    std::string line;
    while (written < kFileBytes) {
      line.clear();
      int words = 2 + static_cast<int>(rng() % 12);
      for (int i = 0; i < words; ++i) {
        if (i) line += ' ';
        line += kWords[rng() % (sizeof kWords / sizeof kWords[0])];
      }
      if (!planted && written > kFileBytes - (1 << 20)) {
        line += " ";
        line += kPattern;
        planted = true;
      }
      line += '\n';
      written += static_cast<int64_t>(line.size());
      std::fwrite(line.data(), 1, line.size(), f);
    }
    return std::fclose(f) == 0;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

int64_t count_matching_lines(BufferRec* b, const LStr* pat) {
  PosRecord pos{};
  if (pos_first_line(&pos, b) != 0) return -1;
  PageIter it{};
  if (page_iter_init(it, 1, &pos, b) != 0) return -1;
  int64_t count = 0;
  for (;;) {
    const uint8_t* t = nullptr;
    int32_t len = page_iter_line(it, t, &pos, b);
    if (len < 0) return -1;
    if (search_plain_forward(1, pat, t, len)) ++count;
    if (!page_iter_advance(it) && page_iter_next_page(it, &pos, b) != 0) break;
  }
  return count;
}

void BM_PlainSearch(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ready) {
    state.SkipWithError("could not build the 256 MiB buffer");
    return;
  }
  LStrBuf<16> pat(kPattern);
  search_plain_prepare(pat, 1, 0);
  int64_t found = 0;
  for (auto _ : state) {
    found = count_matching_lines(&f.buf, pat);
    benchmark::DoNotOptimize(found);
  }
  if (found != 1) state.SkipWithError("the pattern was not found exactly once");
  state.counters["matches"] = static_cast<double>(found);
  state.SetBytesProcessed(state.iterations() * f.buf.bytes);
}
BENCHMARK(BM_PlainSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrepFixedCount(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ready) {
    state.SkipWithError("could not build the 256 MiB buffer");
    return;
  }
  const std::string cmd = std::string("grep -F -c ") + kPattern + " " + f.path;
  long found = 0;
  for (auto _ : state) {
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p || std::fscanf(p, "%ld", &found) != 1) found = -1;
    if (p) ::pclose(p);
  }
  if (found != 1) state.SkipWithError("grep did not count one line");
  state.SetBytesProcessed(state.iterations() * f.buf.bytes);
}
BENCHMARK(BM_GrepFixedCount)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
