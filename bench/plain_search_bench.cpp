// The editor's own literal search, as a user runs it: a buffer opened lazily
// on a reference file (ref_files.h), shown in a window, searched from the
// top for the one "ZORVEX_MARKER_LINE" at 95 % of the file. Every iteration
// opens a fresh buffer, so unread parts of the file are read by the search.
// bench/compare.sh times `grep -F -c` on the same file. BM_EditorSearchBackward
// searches backward from the end instead.
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <string>

#include "bench/ref_files.h"
#include "text/buffer.h"
#include "text/cursor.h"
#include "text/search.h"
#include "text/store.h"

namespace {

constexpr int32_t kPageLimitKb = 16 * 1024;

// Opens path lazily in a new buffer shown in a fresh current window; the
// view (the cursor), or null.
PosRecord* open_in_window(const std::string& path, BufferRec** out) {
  BufCreateArgs a;
  a.name = path;
  a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (a.fd < 0 || buf_create_from_file(out, a) != 0) return nullptr;
  WindowObject* w = window_alloc_record();
  if (!w) return nullptr;
  w->rows = 40;
  w->cols = 100;
  window_set_current(w, 0);
  PosRecord* v = nullptr;
  if (view_attach_buffer(pos_record((*out)->own_pos), *out, &v, 0, false) != 0) return nullptr;
  return v;
}

// Opens the reference file in a window and times the editor's search for
// the marker: forward from the top, or backward from the end of the last
// line (the walk then goes back over the last 5 % of the file).
void editor_search(benchmark::State& state, bool backward) {
  const std::string path = bench::ref_files().path(static_cast<int>(state.range(0)));
  bench::TempDir spill;
  if (path.empty() || store_init(kPageLimitKb, spill.path(), 900) != 0) {
    state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
    return;
  }
  int32_t line = 0;
  for (auto _ : state) {
    state.PauseTiming();
    search_reset();
    buf_shutdown();
    state.ResumeTiming();
    BufferRec* b = nullptr;
    PosRecord* view = open_in_window(path, &b);
    if (view == nullptr || (backward && pos_last_line(view, b) != 0)) {
      state.SkipWithError("cannot open the file");
      break;
    }
    if (backward) view->column = 1 << 20;
    const SearchOutcome r = search_find(bench::kMarker, backward ? "-" : "", nullptr, nullptr);
    if (r.rc != 0) {
      state.SkipWithError("the marker was not found");
      break;
    }
    state.PauseTiming();
    if (pos_line_number(view, b, 1) == 0) line = view->line;
    state.ResumeTiming();
  }
  search_reset();
  buf_shutdown();
  store_shutdown();
  state.counters["found_line"] = line;
  if (!backward) state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}

void BM_EditorSearch(benchmark::State& state) { editor_search(state, false); }
BENCHMARK(BM_EditorSearch)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_EditorSearchBackward(benchmark::State& state) { editor_search(state, true); }
BENCHMARK(BM_EditorSearchBackward)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
