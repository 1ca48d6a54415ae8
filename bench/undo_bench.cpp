// Undo and redo of large changes: a deletion of 100k lines undone (100k
// deleted-line records replayed, the lines inserted again) and redone, with
// and without a 4 MB memory limit (undo blocks and text then go through the
// spill file); and the cost of logging: deleting the lines with undo on
// against undo off.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "text/cursor.h"
#include "text/load.h"
#include "text/store.h"
#include "text/store_edit.h"
#include "text/undo.h"
#include "tests/temp_dir.h"

namespace {

constexpr int kLines = 100000;

struct Fixture {
  zvxtest::TempDir tmp{"zvx-undo-bench"};
  std::string dir = tmp.path();
  std::string path = dir + "/text";
  BufferRec buf{};
  Fixture(int32_t kb) {
    std::string text;
    for (int i = 0; i < kLines; ++i) text += "    line " + std::to_string(i) + " of the text to delete and restore\n";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    ::close(fd);
    if (store_init(kb, dir, 20)) std::abort();
    undo_install();
    buf_store_defaults(&buf);
    buf.source_fd = ::open(path.c_str(), O_RDONLY);
    PosRecord p{};
    if (store_load_file(&p, &buf, StoreLoadOptions{})) std::abort();
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
