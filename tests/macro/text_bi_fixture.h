// Set-up for the text built-ins run as byte code: the runtime with its names
// table, the text engine over a store in a temporary directory, the headless
// windows (one 25-row window), and a macro assembled by zozu from the body
// of a procedure `t` with four globals out .. out4 for its results and h
// for a handle.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "macro/code_cache.h"
#include "macro/exit_path.h"
#include "macro/module.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "tests/macro/vm_fixture.h"
#include "tests/support/headless/text_window_fakes.h"
#include "tests/text/store_fixture.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/engine.h"
#include "text/search.h"
#include "text/selection.h"
#include "text/tabs.h"
#include "text/undo.h"
#include "tools/zozu/zozu.h"

namespace textbi {

// What a run left behind.
struct Outcome {
  ErrorCode run = 0;       // what the call returned
  int32_t stop = 0;        // the code of the error that stopped the macro, 0 none
  std::vector<int> shown;  // codes reported without stopping
  std::string rc, out, out2, out3, out4;
};

class TextBiTest : public vmtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    ASSERT_EQ(name_pool_init(), 0);
    names_attach_vm();
    cache_set_limit(-1);
    uitest::install();
    ASSERT_EQ(0, store_init(kb_, dir_.path, 20));
    text_engine_init();
    redraw_bits = 0;
    edit_settings = EditSettings{};
    search_reset();
    textwintest::start();
    exit_reset();
  }
  void TearDown() override {
    search_reset();
    sel_shutdown();
    line_flush_current();
    current_line = CurrentLine{};
    EXPECT_EQ("", buf_check());
    buf_shutdown();
    store_shutdown();
    textwintest::install();
    exit_reset();
    tab_buffer_processed = nullptr;
    edit_settings = EditSettings{};
    name_pool_init();
    VmTest::TearDown();
  }

  // Assembles and loads a module; false (with the diagnostics as a failure)
  // when it does not assemble.
  bool load(const std::string& source) {
    std::vector<uint8_t> bytes;
    std::vector<ZozuDiag> diags;
    const std::string file = dir_.file("m" + std::to_string(++modules_) + ".e");
    if (!zozu_assemble(file, source, bytes, diags)) {
      std::string all;
      for (const auto& d : diags) all += d.file + ":" + std::to_string(d.line) + ": " + d.message + "\n";
      ADD_FAILURE() << all << source;
      return false;
    }
    const std::string ex = dir_.file("m" + std::to_string(modules_) + ".ex");
    std::ofstream(ex, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    uint32_t index = 0;
    bool module_file = false;
    EXPECT_EQ(mod_load_file(ex, &index, &module_file, true), 0);
    return true;
  }

  // Runs `body` as procedure t (a `return` is added).
  Outcome run(const std::string& body) {
    Outcome o;
    const std::string src =
        "global out\nglobal out2\nglobal out3\nglobal out4\nglobal h\nproc t()\n" + body + "\n  return\nend\n";
    if (!load(src)) {
      o.run = -1;
      return o;
    }
    return call("t");
  }
  Outcome call(const std::string& name) {
    Outcome o;
    vmtest::shown.clear();
    vm_catch.last_stop = 0;
    o.run = vm_call_index(static_cast<int32_t>(name_find(name, NF_CALLABLE)), {});
    o.stop = vm_catch.last_stop;
    for (const auto& s : vmtest::shown)
      if (!s.boxed) o.shown.push_back(s.code);
    o.rc = rc();
    o.out = global("out");
    o.out2 = global("out2");
    o.out3 = global("out3");
    o.out4 = global("out4");
    return o;
  }
  static std::string global(const std::string& name) { return var_slot_value(var_slot_of(name_find(name, NF_GLOBAL))); }

  // A buffer made from text, shown in the current window; the cursor on line 1.
  BufferRec* open(const std::string& text, const std::string& name = "f.txt") {
    const std::string path = dir_.file(name);
    storetest::write_file(path, text);
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    EXPECT_EQ(0, buf_create_from_file(&b, a));
    EXPECT_EQ(0, view_show_buffer(b, 0));
    at(1, 0);
    return b;
  }
  // Puts the cursor on a line and column (its row is the line's, less one).
  void at(int32_t line, int32_t col) {
    PosRecord* v = view_current();
    ASSERT_NE(nullptr, v);
    line_flush_current();
    pos_goto_line(line, v, v->buffer);
    v->column = col;
    v->row = std::max(line - 1, 0);
  }
  int32_t cur_line() {
    PosRecord* v = view_current();
    if (v->line < 0) pos_line_number(v, v->buffer, 1);
    return v->line;
  }
  int32_t cur_col() { return view_current()->column; }
  // The current buffer's text, each line followed by a line feed.
  std::string text() { return text_of(buf_current()); }
  std::string text_of(BufferRec* b) {
    line_flush_current();
    std::string out;
    PosRecord p{};
    p.buffer = b;
    if (pos_first_line(&p, b) != 0) return out;
    do out += line_get_string(&p, b) + "\n";
    while (pos_next_line(&p, b) == 0);
    return out;
  }
  std::string file(const std::string& name) { return dir_.file(name); }

  int32_t kb_ = -1;
  storetest::TempDir dir_;
  int modules_ = 0;
};

}  // namespace textbi
