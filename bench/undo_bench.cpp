// Undo and redo of large changes: a deletion of the first 100k lines of the
// 64 MiB reference file undone (100k deleted-line records replayed, the
// lines inserted again) and redone, with
// and without a 4 MB memory limit (undo blocks and text then go through the
// spill file); and the cost of logging: deleting the lines with undo on
// against undo off.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "bench/ref_files.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/store.h"
#include "text/store_edit.h"
#include "text/undo.h"

namespace {

constexpr int kLines = 100000;

// The first kLines lines of the 64 MiB reference file (ref_files.h), opened
// lazily in a buffer whose store spills into a temporary directory.
struct Fixture {
  bench::TempDir dir;
  BufferRec buf{};
  bool ok = false;
  Fixture(int32_t kb) {
    const std::string path = bench::ref_files().path(64);
    if (path.empty() || dir.path().empty() || store_init(kb, dir.path(), 20)) return;
    undo_install();
    buf_store_defaults(&buf);
    buf.source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    PosRecord p{};
    ok = buf.source_fd >= 0 && store_load_file(&p, &buf, StoreLoadOptions{}) == 0;
  }
  ~Fixture() {
    undo_free_blocks(&buf);
    store_close_buffer(&buf);
    store_shutdown();
  }
  void delete_all() {
    PosRecord p{};
    p.buffer = &buf;
    pos_goto_line(1, &p, &buf);
    for (int i = 0; i < kLines; ++i) line_delete(&p, &buf);
  }
};

void BM_UndoRedoDeletion(benchmark::State& state) {
  Fixture f(static_cast<int32_t>(state.range(0)));
  if (!f.ok) {
    state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
    return;
  }
  undo_enable(&f.buf, kUndoDefaultSteps);
  undo_checkpoint(nullptr, &f.buf);
  f.delete_all();
  undo_checkpoint(nullptr, &f.buf);
  for (auto _ : state) {
    if (undo_step('U', nullptr, &f.buf) < 0) state.SkipWithError("undo failed");
    if (undo_step('R', nullptr, &f.buf) < 0) state.SkipWithError("redo failed");
  }
  state.SetItemsProcessed(state.iterations() * 2 * kLines);
}
BENCHMARK(BM_UndoRedoDeletion)->Arg(-1)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_DeleteLines(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto* f = new Fixture(-1);
    if (!f->ok) {
      delete f;
      state.SkipWithError("the reference file is missing (see bench/ref_files.h)");
      break;
    }
    if (state.range(0)) undo_enable(&f->buf, kUndoDefaultSteps);
    undo_checkpoint(nullptr, &f->buf);
    state.ResumeTiming();
    f->delete_all();
    state.PauseTiming();
    delete f;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_DeleteLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
