// The text store on the reference files (ref_files.h, 1, 64 and 1024 MiB):
// opening lazily, going to the last line, walking every line, and the memory
// that takes under a 16 MiB page limit.
//
// Every iteration opens a fresh buffer on the file (read from the page
// cache). first_ms is the first iteration, the one a user waits for after
// starting the editor; the time column is the average of the later, warm
// ones. BM_CountNewlines is a `wc -l` stand-in (read(2) in 128 KiB chunks
// and memchr); bench/compare.sh times `wc -l` itself.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "bench/ref_files.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/store.h"

namespace {

constexpr int32_t kWalkLimitKb = 16 * 1024;  // the page limit of every job here
constexpr int32_t kMaxFileMb = 900;          // page size chosen for the largest files
constexpr int kFirstLines = 60;

// A cold open: a fresh buffer on the file, nothing read but its tail.
bool open_buffer(const std::string& path, BufferRec* b) {
  *b = BufferRec{};
  buf_store_defaults(b);
  b->source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  PosRecord pos{};
  return b->source_fd >= 0 && store_load_file(&pos, b, {}) == 0;
}

double peak_rss_mib() {
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// Runs one job per iteration on a fresh buffer of the reference file of
// state.range(0) MiB. job(buffer) returns false on failure; after it,
// counters(buffer) reads what the job left while the buffer still exists.
template <typename Job, typename Counters>
void per_buffer(benchmark::State& state, Job job, Counters counters) {
  const std::string path = bench::ref_files().path(static_cast<int>(state.range(0)));
  if (path.empty()) {
    state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
    return;
  }
  bench::TempDir spill;
  if (store_init(kWalkLimitKb, spill.path(), kMaxFileMb) != 0) {
    state.SkipWithError("store_init failed");
    return;
  }
  double first_ms = -1;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    BufferRec b;
    const bool ok = open_buffer(path, &b) && job(&b);
    if (first_ms < 0)
      first_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (ok) counters(&b);
    store_close_buffer(&b);
    if (!ok) {
      state.SkipWithError("the job failed");
      break;
    }
  }
  store_shutdown();
  state.counters["first_ms"] = first_ms;
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

void BM_OpenAndFirstLines(benchmark::State& state) {
  int64_t bytes = 0;
  per_buffer(
      state,
      [&](BufferRec* b) {
        PosRecord p{};
        if (pos_top(&p, b) != 0) return false;
        for (int i = 0; i < kFirstLines && pos_next_line(&p, b) == 0; ++i) {
          const uint8_t* t = nullptr;
          bytes += line_get_ptr(t, &p, b);
        }
        return true;
      },
      [](BufferRec*) {});
  benchmark::DoNotOptimize(bytes);
}

// Go to the last line and show its number, as the status line would.
void BM_GoToLastLine(benchmark::State& state) {
  int32_t last = 0;
  double pages = 0;
  per_buffer(
      state,
      [&](BufferRec* b) {
        PosRecord p{};
        if (pos_last_line(&p, b) != 0 || pos_line_number(&p, b, 1) != 0) return false;
        last = p.line;
        return last > 0;
      },
      [&](BufferRec*) { pages = store_pages_allocated(); });
  state.counters["last_line"] = last;
  state.counters["pages"] = pages;
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}

void BM_WalkAllLines(benchmark::State& state) {
  int64_t lines = 0, text = 0;
  double pages = 0;
  per_buffer(
      state,
      [&](BufferRec* b) {
        PosRecord p{};
        PageIter it{};
        if (pos_first_line(&p, b) != 0 || page_iter_init(it, 1, &p, b) != 0) return false;
        lines = 0;
        for (;;) {
          const uint8_t* t = nullptr;
          text += page_iter_line(it, t, &p, b);
          ++lines;
          if (page_iter_advance(it)) continue;
          if (page_iter_next_page(it, &p, b) != 0) break;
        }
        return true;
      },
      // Pages held at the end of the walk, before the buffer lets them go.
      [&](BufferRec*) { pages = store_pages_allocated(); });
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["pages"] = pages;
  benchmark::DoNotOptimize(text);
}

void BM_CountNewlines(benchmark::State& state) {
  const std::string path = bench::ref_files().path(static_cast<int>(state.range(0)));
  if (path.empty()) {
    state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
    return;
  }
  std::unique_ptr<char[]> buf(new char[128 << 10]);
  int64_t lines = 0;
  for (auto _ : state) {
    lines = 0;
    int fd = ::open(path.c_str(), O_RDONLY);
    ssize_t n;
    while ((n = ::read(fd, buf.get(), 128 << 10)) > 0) {
      const char* p = buf.get();
      const char* end = p + n;
      while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
        ++lines;
        ++p;
      }
    }
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
  state.counters["lines"] = static_cast<double>(lines);
}

}  // namespace

BENCHMARK(BM_OpenAndFirstLines)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GoToLastLine)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkAllLines)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountNewlines)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);
