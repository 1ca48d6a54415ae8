// The text engine's bulk paths and the text built-ins from byte code:
// copying a 100,000-line block as one run and undoing it (the copy removed
// again in page runs), and a macro that walks a 1 MiB file line by line and
// replaces every line.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "macro/code_cache.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "macro/opcodes.h"
#include "tests/support/headless/text_window_fakes.h"
#include "tests/temp_dir.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/engine.h"
#include "text/store.h"
#include "text/store_edit.h"
#include "text/undo.h"
#include "tools/zozu/zozu.h"

namespace {

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

BufferRec* load(const std::string& path) {
  BufCreateArgs a;
  a.name = path;
  a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  BufferRec* b = nullptr;
  if (buf_create_from_file(&b, a)) std::abort();
  return b;
}

PosRecord at(BufferRec* b, int32_t line) {
  PosRecord p{};
  p.buffer = b;
  p.line = -1;
  pos_goto_line(line, &p, b);
  return p;
}

constexpr int kCopyLines = 100000;

void BM_CopyLines(benchmark::State& state) {
  const zvxtest::TempDir temp("zvx-textbi-bench");
  const std::string& dir = temp.path();
  if (store_init(static_cast<int32_t>(state.range(0)), dir, 20)) std::abort();
  text_engine_init();
  std::string text;
  for (int i = 0; i < kCopyLines; ++i) text += "    line " + std::to_string(i) + " of the block that is copied\n";
  write_file(dir + "/text", text);
  BufferRec* b = load(dir + "/text");
  undo_enable(b, kUndoDefaultSteps);
  undo_checkpoint(nullptr, b);
  for (auto _ : state) {
    PosRecord src = at(b, 1), end = at(b, kCopyLines), dst = at(b, kCopyLines);
    if (lines_copy(&dst, &src, &end, nullptr, b)) state.SkipWithError("copy failed");
    undo_checkpoint(nullptr, b);
    if (undo_step('U', nullptr, b) < 0) state.SkipWithError("undo failed");
    undo_checkpoint(nullptr, b);
  }
  state.SetItemsProcessed(state.iterations() * kCopyLines);
  undo_free_blocks(b);
  buf_shutdown();
  store_shutdown();
}
BENCHMARK(BM_CopyLines)->Arg(-1)->Arg(4096)->Unit(benchmark::kMillisecond);

// walk(n): n lines from the top, each replaced by itself upper-cased.
const char* kWalk = R"(
global l
proc walk(n)
  var i
  top_of_buffer
  push_const "0"
  assign $i
more:
  get_line $l
  push_var $l
  upcase
  replace_line
  cursor_down 0
  incr $i
  push_var $i
  push_var $n
  num_lt
  jump_if_true @more
  return
end
)";

void BM_MacroEditLoop(benchmark::State& state) {
  const zvxtest::TempDir temp("zvx-textbi-bench");
  const std::string& dir = temp.path();
  if (vm_reset() || name_pool_init()) std::abort();
  opcodes_clear(vm_dispatch);
  if (!macro_register_opcodes(vm_dispatch)) std::abort();
  names_attach_vm();
  cache_set_limit(-1);
  if (store_init(-1, dir, 20)) std::abort();
  text_engine_init();
  textwintest::start();
  std::string text;
  int lines = 0;
  while (text.size() < (1u << 20)) text += "line " + std::to_string(lines++) + " of a megabyte walked by a macro\n";
  write_file(dir + "/text", text);
  BufferRec* b = load(dir + "/text");
  view_show_buffer(b, 0);
  std::vector<uint8_t> module;
  std::vector<ZozuDiag> diags;
  if (!zozu_assemble("walk.e", kWalk, module, diags)) std::abort();
  write_file(dir + "/walk.ex", std::string(module.begin(), module.end()));
  uint32_t index = 0;
  bool module_file = false;
  if (mod_load_file(dir + "/walk.ex", &index, &module_file, true)) std::abort();
  const int32_t walk = static_cast<int32_t>(name_find("walk", NF_CALLABLE));
  const std::string count = std::to_string(lines);
  const std::string_view args[] = {count};
  for (auto _ : state) {
    if (vm_call_index(walk, args)) state.SkipWithError("the walk stopped");
    line_flush_current();
  }
  PosRecord last = at(b, lines);
  if (line_get_string(&last, b).rfind("LINE", 0) != 0) std::abort();  // every line was replaced
  state.SetItemsProcessed(state.iterations() * lines);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  buf_shutdown();
  textwintest::install();
  store_shutdown();
  name_pool_init();
}
BENCHMARK(BM_MacroEditLoop)->Unit(benchmark::kMillisecond);

}  // namespace
