// Saving a large file after one edit: open the file lazily, replace one line
// near the middle, save with the default options (strip, absolute name, a
// backup on the first save), and with "-S" (no strip: the fast mode that
// writes blocks as they are). BM_SaveAfterOneEdit flushes the new file to disk
// before the rename, as the editor does; BM_SaveAfterOneEditNoSync skips the
// flush to show the cost of the write path alone. BM_Cp copies the same file
// with `cp` for comparison. The argument is the file size in MiB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/cursor.h"
#include "text/load.h"
#include "text/save.h"
#include "text/store.h"
#include "text/store_edit.h"
#include "tests/temp_dir.h"

namespace {

constexpr int32_t kPageCacheKb = 32000;  // a finite cache: clean pages are dropped, not spilled

struct Dir {
  zvxtest::TempDir tmp{"zvx-save-bench"};
  std::string path = tmp.path();
};

bool make_file(const std::string& path, int64_t bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::string line;
  int64_t n = 0;
  for (int64_t i = 0; n < bytes; ++i) {
    // No trailing blanks: the default save strips them from the buffer too.
    line = "line " + std::to_string(i) + " the quick brown fox jumps over the lazy dog " +
           std::string(static_cast<size_t>(i % 40 + 1), 'x') + "\n";
    std::fwrite(line.data(), 1, line.size(), f);
    n += static_cast<int64_t>(line.size());
  }
  return std::fclose(f) == 0;
}

void save_after_one_edit(benchmark::State& state, bool sync, const char* options) {
  const int64_t bytes = state.range(0) << 20;
  Dir dir;
  std::string path = dir.path + "/big.txt";
  if (dir.path.empty() || !make_file(path, bytes)) {
    state.SkipWithError("cannot make the file");
    return;
  }
  setenv("ZORVEXBACKUP", (dir.path + "/bk").c_str(), 1);
  save_settings.sync = sync;
  for (auto _ : state) {
    if (store_init(kPageCacheKb, dir.path, 900) != 0) {
      state.SkipWithError("store_init");
      break;
    }
    BufferRec buf{};
    buf_store_defaults(&buf);
    buf.name.assign(path);
    buf.source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    PosRecord pos{};
    pos.line = -1;
    ErrorCode rc = store_load_file(&pos, &buf, StoreLoadOptions{});
    if (!rc) rc = pos_seek_offset(&pos, bytes / 2);
    if (!rc) rc = line_replace_text("edited", 6, &pos, &buf);
    if (!rc) rc = buf_save_buffer(&buf, options);
    // Closing the buffer lets the old file go; removing the backup frees it.
    state.PauseTiming();
    store_close_buffer(&buf);
    store_shutdown();
    zvxtest::remove_tree(dir.path + "/bk");
    state.ResumeTiming();
    if (rc) {
      state.SkipWithError(("save failed: " + std::to_string(rc)).c_str());
      break;
    }
  }
  save_settings.sync = true;
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_SaveAfterOneEdit(benchmark::State& state) { save_after_one_edit(state, true, ""); }
void BM_SaveAfterOneEditNoSync(benchmark::State& state) { save_after_one_edit(state, false, ""); }
// Without strip every block goes out as it is: unread blocks are copied from
// the old file by the kernel.
void BM_SaveAfterOneEditNoStrip(benchmark::State& state) { save_after_one_edit(state, true, "-S"); }
void BM_SaveAfterOneEditNoStripNoSync(benchmark::State& state) { save_after_one_edit(state, false, "-S"); }

void BM_Cp(benchmark::State& state) {
  const int64_t bytes = state.range(0) << 20;
  Dir dir;
  std::string path = dir.path + "/big.txt";
  if (dir.path.empty() || !make_file(path, bytes)) {
    state.SkipWithError("cannot make the file");
    return;
  }
  const std::string cmd = "cp '" + path + "' '" + dir.path + "/copy.txt'";
  const std::string copy = dir.path + "/copy.txt";
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
    state.PauseTiming();
    ::unlink(copy.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(BM_SaveAfterOneEdit)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveAfterOneEditNoSync)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveAfterOneEditNoStrip)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveAfterOneEditNoStripNoSync)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cp)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
