// Search, change one line, save: what a user waits for after opening a large
// file. A fresh copy of a reference file (ref_files.h) is opened lazily in a
// window, the editor's search finds "ZORVEX_MARKER_LINE" (95 % into the
// file), that line is replaced, and the buffer is saved with the default
// options (strip, absolute name, a backup on the first save) and flushed to
// disk before the rename, as the editor does. The copy is made untimed.
//
// Variants: NoSync skips the flush to show the write path alone; NoStrip
// saves with "-S", which writes blocks as they are. bench/compare.sh times
// `cp` + `sync` of the same file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "bench/ref_files.h"
#include "text/buffer.h"
#include "text/cursor.h"
#include "text/save.h"
#include "text/search.h"
#include "text/store.h"
#include "text/store_edit.h"

namespace {

constexpr int32_t kPageCacheKb = 32000;  // a finite cache: clean pages are dropped, not spilled

void search_edit_save(benchmark::State& state, bool sync, const char* options) {
  const int mib = static_cast<int>(state.range(0));
  const std::string ref = bench::ref_files().path(mib);
  bench::TempDir dir;
  if (ref.empty() || dir.path().empty()) {
    state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
    return;
  }
  const std::string path = dir / "big.txt";
  const std::string copy = "cp '" + ref + "' '" + path + "'";
  const std::string clean = "rm -rf '" + path + "' '" + (dir / "bk") + "'";
  setenv("ZORVEXBACKUP", (dir / "bk").c_str(), 1);
  save_settings.sync = sync;
  for (auto _ : state) {
    state.PauseTiming();
    if (std::system(clean.c_str()) != 0 || std::system(copy.c_str()) != 0 ||
        store_init(kPageCacheKb, dir.path(), 900) != 0) {
      state.SkipWithError("cannot copy the file");
      break;
    }
    search_reset();
    state.ResumeTiming();
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    ErrorCode rc = a.fd < 0 ? -1 : buf_create_from_file(&b, a);
    WindowObject* w = rc ? nullptr : window_alloc_record();
    PosRecord* view = nullptr;
    if (w) {
      w->rows = 40;
      w->cols = 100;
      window_set_current(w, 0);
      rc = view_attach_buffer(pos_record(b->own_pos), b, &view, 0, false);
    }
    if (!rc && view) rc = search_find(bench::kMarker, "", nullptr, nullptr).rc;
    if (!rc && view) rc = line_replace_text("edited", 6, view, b);
    if (!rc && view) rc = buf_save_buffer(b, options);
    state.PauseTiming();
    // The saved file is the reference with the marker line replaced.
    struct stat st {};
    const off_t want = (off_t{mib} << 20) - static_cast<off_t>(sizeof bench::kMarker - 1) + 6;
    if (!rc && (::stat(path.c_str(), &st) != 0 || st.st_size != want)) rc = -2;
    search_reset();
    buf_shutdown();
    store_shutdown();
    state.ResumeTiming();
    if (rc || !view) {
      state.SkipWithError(("the job failed: " + std::to_string(rc)).c_str());
      break;
    }
  }
  save_settings.sync = true;
  state.SetBytesProcessed(state.iterations() * (int64_t{mib} << 20));
}

void BM_SearchEditSave(benchmark::State& state) { search_edit_save(state, true, ""); }
void BM_SearchEditSaveNoSync(benchmark::State& state) { search_edit_save(state, false, ""); }
void BM_SearchEditSaveNoStrip(benchmark::State& state) { search_edit_save(state, true, "-S"); }

BENCHMARK(BM_SearchEditSave)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchEditSaveNoSync)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchEditSaveNoStrip)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
