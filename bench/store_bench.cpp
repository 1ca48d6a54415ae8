// The text store on large files: opening lazily, walking every line, and the
// memory a walk takes under a page limit.
//
// Files of 1, 64 and 1024 MiB of source-code lines are generated once in a
// temporary directory (removed at exit) and read from the page cache.
// BM_CountNewlines is a `wc -l` stand-in on the same files (read(2) in 128 KiB
// chunks and memchr); compare also with `wc -l` itself:
//   wc -l <file>   (the path is printed on standard error)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "text/cursor.h"
#include "text/load.h"
#include "text/store.h"
#include "tests/temp_dir.h"

namespace {

constexpr int32_t kWalkLimitKb = 16 * 1024;  // the memory limit of the walks
constexpr int32_t kMaxFileMb = 900;          // page size chosen for the largest files
constexpr int kFirstLines = 60;

const char* const kSourceLines[] = {
    "#include <stdio.h>",
    "",
    "static int count_words(const char *text, size_t len)",
    "{",
    "    int words = 0, in_word = 0;",
    "    for (size_t i = 0; i < len; ++i) {",
    "        if (text[i] == ' ' || text[i] == '\\t' || text[i] == '\\n') {",
    "            in_word = 0;",
    "        } else if (!in_word) {",
    "            in_word = 1;",
    "            ++words;",
    "        }",
    "    }",
    "    return words; /* the number of blank-separated words */",
    "}",
    "",
    "\tif (argc < 2) { fprintf(stderr, \"usage: %s file\\n\", argv[0]); return 1; }",
    "    // Read the whole file into one buffer before counting anything.",
    "    struct record *r = lookup_record(table, key, strlen(key), &status);",
};

struct TempFiles {
  zvxtest::TempDir tmp{"zvx-bench"};
  std::string dir = tmp.path();
  std::map<int, std::string> files;
  const std::string& get(int mib) {
    auto it = files.find(mib);
    if (it != files.end()) return it->second;
    std::string path = dir + "/source" + std::to_string(mib) + ".c";
    std::string chunk;
    size_t n = 0;
    while (chunk.size() < (1u << 20)) {
      chunk += kSourceLines[n++ % (sizeof kSourceLines / sizeof kSourceLines[0])];
      chunk += '\n';
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int64_t want = static_cast<int64_t>(mib) << 20, done = 0;
    while (done < want) {
      size_t k = static_cast<size_t>(std::min<int64_t>(want - done, static_cast<int64_t>(chunk.size())));
      if (::write(fd, chunk.data(), k) != static_cast<ssize_t>(k)) std::abort();
      done += static_cast<int64_t>(k);
    }
    if (::pwrite(fd, "\n", 1, want - 1) != 1) std::abort();  // whole lines only
    ::close(fd);
    std::fprintf(stderr, "generated %s\n", path.c_str());
    return files[mib] = path;
  }
};

TempFiles& temp_files() {
  static TempFiles t;
  return t;
}

// A cold open: a fresh buffer on the file, nothing read but its tail.
BufferRec open_buffer(const std::string& path) {
  BufferRec b{};
  buf_store_defaults(&b);
  b.source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  PosRecord pos{};
  if (store_load_file(&pos, &b, {}) != 0) std::abort();
  return b;
}

void BM_OpenAndFirstLines(benchmark::State& state) {
  const std::string& path = temp_files().get(static_cast<int>(state.range(0)));
  store_init(kWalkLimitKb, temp_files().dir, kMaxFileMb);
  int64_t bytes = 0;
  for (auto _ : state) {
    BufferRec b = open_buffer(path);
    PosRecord p{};
    pos_top(&p, &b);
    for (int i = 0; i < kFirstLines && pos_next_line(&p, &b) == 0; ++i) {
      const uint8_t* t = nullptr;
      bytes += line_get_ptr(t, &p, &b);
    }
    store_close_buffer(&b);
  }
  benchmark::DoNotOptimize(bytes);
  store_shutdown();
}

void BM_WalkAllLines(benchmark::State& state) {
  const std::string& path = temp_files().get(static_cast<int>(state.range(0)));
  store_init(kWalkLimitKb, temp_files().dir, kMaxFileMb);
  int64_t lines = 0, text = 0;
  for (auto _ : state) {
    BufferRec b = open_buffer(path);
    PosRecord p{};
    pos_first_line(&p, &b);
    PageIter it{};
    page_iter_init(it, 1, &p, &b);
    for (;;) {
      const uint8_t* t = nullptr;
      text += page_iter_line(it, t, &p, &b);
      ++lines;
      if (page_iter_advance(it)) continue;
      if (page_iter_next_page(it, &p, &b) != 0) break;
    }
    store_close_buffer(&b);
  }
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
  state.counters["lines"] = static_cast<double>(lines / state.iterations());
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  state.counters["peak_rss_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
  state.counters["pages"] = store_pages_allocated();
  benchmark::DoNotOptimize(text);
  store_shutdown();
}

void BM_CountNewlines(benchmark::State& state) {
  const std::string& path = temp_files().get(static_cast<int>(state.range(0)));
  std::unique_ptr<char[]> buf(new char[128 << 10]);
  int64_t lines = 0;
  for (auto _ : state) {
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
  state.counters["lines"] = static_cast<double>(lines / state.iterations());
}

}  // namespace

BENCHMARK(BM_OpenAndFirstLines)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkAllLines)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountNewlines)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);
