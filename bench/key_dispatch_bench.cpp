// Key dispatch: one key from the event source to the completed command, the
// way the main loop takes it (read, record, look up, commit, dispatch inside
// a catch context, refresh request). "printable" types a character into an
// editor window (binding 0); "bound" runs a command bound in "default-keys"
// that returns at once. Reported as nanoseconds per key.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>

#include "macro/catch.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/opcodes.h"
#include "tests/support/headless/event_fakes.h"
#include "tests/temp_dir.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/engine.h"
#include "text/store.h"

namespace {

// Typed characters are wiped after this many, so the line stays short.
constexpr int kLineReset = 512;

struct Editor {
  zvxtest::TempDir temp{"zvx-key-bench"};
  std::string dir = temp.path();
  WindowObject* window = nullptr;

  Editor() {
    if (store_init(-1, dir, 20)) std::abort();
    text_engine_init();
    if (vm_reset() != ERR_OK) std::abort();
    // One command that returns at once, bound to F3 by name.
    ModuleBuilder m;
    const uint16_t at = static_cast<uint16_t>(m.here());
    m.code.insert(m.code.end(), {0, 0, 0, 0, opcode_find("return")->slot});
    m.add_link(LK_COMMAND, m.add_string("nothing"), 0, at);
    ModuleBuilder::Table keys;
    keys.name = m.add_string("default-keys");
    keys.form.assign(1 + kEventBindings, 0);
    keys.form[1 + static_cast<size_t>(event_to_key_index(kEvF1 + 2))] = m.add_string("nothing");
    m.tables.push_back(keys);
    const std::vector<uint8_t> file = m.file();
    const std::string path = dir + "/keys.ex";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    std::string arg;
    if (vm_init(&arg, path, 0) != ERR_OK) std::abort();
    vm_run();
    ::unlink(path.c_str());
    evtest::install();
    key_tables_reset();
    key_dispatch_reset();
    kbdmac_reset();

    window = window_alloc_record();
    window->rows = 40;
    window->cols = 100;
    window->prop19 = 3;
    const std::string text = dir + "/text";  // a file being edited, read at once
    std::ofstream(text) << "first line\nsecond line\n";
    BufCreateArgs a;
    a.name = text;
    a.fd = ::open(text.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    if (buf_create_from_file(&b, a) != 0) std::abort();
    window_set_current(window, 0);
    PosRecord* v = nullptr;
    if (view_attach_buffer(pos_record(b->own_pos), b, &v, 0, false) != 0) std::abort();
  }
  ~Editor() {
    evtest::install();
    buf_shutdown();
    store_shutdown();
    name_pool_init();
  }
};

void BM_KeyDispatch(benchmark::State& state, EventCode key) {
  Editor ed;
  std::deque<EventCode>& queue = evtest::events.events;
  int typed = 0;
  for (auto _ : state) {
    queue.push_back(key);  // the event source hands out what is queued
    if (!key_feed_next(ed.window)) state.SkipWithError("no key came");
    if (key == 'a' && ++typed == kLineReset) {
      state.PauseTiming();
      line_replace_current("", 0);
      view_set_cursor_col(0);
      typed = 0;
      state.ResumeTiming();
    }
  }
  if (key != 'a' && vm_catch.depth != 0) state.SkipWithError("a catch context was left open");
}

BENCHMARK_CAPTURE(BM_KeyDispatch, printable, EventCode('a'));
BENCHMARK_CAPTURE(BM_KeyDispatch, bound, kEvF1 + 2);

}  // namespace
