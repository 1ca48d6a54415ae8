// A child writing 64 MiB of lines into a process buffer, polled back to back
// as fast as the editor can take them: the throughput of the output path
// (read, assemble, insert at the mark, cursors follow) and the longest pause
// one poll causes, which is what a user typing meanwhile would feel.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/proc.h"
#include "tests/temp_dir.h"
#include "text/buffer.h"
#include "text/cursor.h"
#include "text/engine.h"
#include "text/store.h"

namespace {

constexpr int64_t kOutputBytes = 64ll << 20;

void BM_ProcessOutput(benchmark::State& state) {
  zvxtest::TempDir dir("zvx-proc-bench");
  if (store_init(16384, dir.path(), 20)) std::abort();  // a 16 MiB page limit: the rest spills
  text_engine_init();
  ::setenv("SHELL", "/bin/sh", 1);
  double longest_ms = 0;
  int64_t lines = 0;
  for (auto _ : state) {
    const std::string path = dir.path() + "/process-buffer";
    std::fclose(std::fopen(path.c_str(), "w"));
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    if (buf_create_from_file(&b, a)) std::abort();
    WindowObject* w = window_alloc_record();
    w->rows = 60;
    w->cols = 100;
    w->prop19 = 3;
    window_set_current(w, 0);
    PosRecord* view = nullptr;
    if (view_attach_buffer(pos_record(b->own_pos), b, &view, 0, false)) std::abort();
    // 64 MiB of 64-byte lines.
    const std::string command =
        "sh -c \"yes 123456789012345678901234567890123456789012345678901234567890123 | head -c " +
        std::to_string(kOutputBytes) + "\"";
    if (proc_start_shell(command)) std::abort();
    PosRecord* mark = pos_alloc();
    proc_set_mark(mark, view);
    while (proc_running()) {
      const auto t0 = std::chrono::steady_clock::now();
      proc_poll();
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      longest_ms = std::max(longest_ms, ms);
    }
    state.PauseTiming();
    PosRecord p{};
    p.buffer = b;
    lines = 0;
    if (pos_first_line(&p, b) == 0) do
        ++lines;
      while (pos_next_line(&p, b) == 0);
    buf_shutdown();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * kOutputBytes);
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["longest_poll_ms"] = longest_ms;
  proc_shutdown();
  store_shutdown();
}
BENCHMARK(BM_ProcessOutput)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
