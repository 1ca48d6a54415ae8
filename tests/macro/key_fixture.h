// Set-up for the event-table, key-dispatch and keyboard-macro tests: fakes
// of the event seam (an event queue, the focus, the message line), a small
// module builder for commands and bindings, and a fixture that boots the
// runtime from such a module with buffers and windows of the text engine.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "macro/catch.h"
#include "macro/event_seam.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/opcodes.h"
#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"
#include "text/buffer_fixture.h"
#include "text/engine.h"

namespace keytest {

// ---- fakes of the event seam ------------------------------------------------------

struct Fakes {
  std::deque<EventCode> events;     // what the event source delivers, then 0
  bool focus = true;
  bool break_key = false;
  int break_clears = 0;
  std::vector<std::string> prefixes;  // every prefix text shown
  int message_clears = 0;
  int refreshes = 0;
  int prepares = 0;  // key_prepare_command keeps the cursor visible once per call
  WindowObject* command_line = nullptr;
  std::set<WindowObject*> iconic;
  std::vector<std::string> control_text;  // text typed into objects without a view
};
inline Fakes fakes;

inline EventCode fake_get() {
  if (fakes.events.empty()) return 0;
  const EventCode e = fakes.events.front();
  fakes.events.pop_front();
  return e;
}
inline EventCode fake_test() { return fakes.events.empty() ? 0 : fakes.events.front(); }

inline void install_fakes() {
  fakes = Fakes{};
  EventSeam s{};
  s.source.get = fake_get;
  s.source.get_wait = fake_get;
  s.source.test = fake_test;
  s.source.break_pressed = [] { return fakes.break_key; };
  s.source.clear_break = [] {
    fakes.break_key = false;
    ++fakes.break_clears;
  };
  s.feedback.focus_on_editor = [] { return fakes.focus; };
  s.feedback.show_key_prefix = [](const LStr* t) { fakes.prefixes.emplace_back(t->view()); };
  s.feedback.clear_message = [] { ++fakes.message_clears; };
  s.feedback.refresh = [] { ++fakes.refreshes; };
  s.windows.command_line = [] { return fakes.command_line; };
  s.windows.iconized = [](WindowObject* w) { return fakes.iconic.count(w) != 0; };
  s.windows.text_insert = [](WindowObject*, const LStr* t) -> int32_t {
    fakes.control_text.emplace_back(t->view());
    return 0;
  };
  s.windows.scroll_to_cursor = [] { ++fakes.prepares; };
  event_seam_install(s);
}

// ---- modules ---------------------------------------------------------------------------

// Commands, globals, bindings and tables of one module, written by mnemonic.
struct Mod {
  ModuleBuilder m;
  std::map<std::string, uint16_t> vars;

  // Starts a command (no parameters); `info` may carry attribute flags ",N".
  void command(const std::string& name, const std::string& info = "") {
    const uint16_t at = static_cast<uint16_t>(m.here());
    m.code.insert(m.code.end(), {0, 0, 0, 0});
    if (info.empty())
      m.add_link(LK_COMMAND, m.add_string(name), 0, at);
    else
      m.add_link(LK_COMMAND_INFO, m.add_string(name), m.add_constant(info), at);
    offsets[name] = at;
  }
  void global(const std::string& name, const std::string& init = "0") {
    vars[name] = m.add_link(LK_GLOBAL_INIT, m.add_string(name), m.add_string(init));
  }
  // One instruction; operands in the row's order: a string for a constant,
  // "$name" for a variable, a number for a count.
  void op(std::string_view mnemonic, std::initializer_list<std::string> operands = {}) {
    auto r = opcode_find(mnemonic);
    ASSERT_TRUE(r.has_value()) << mnemonic;
    if (r->ext) m.code.push_back(kExtPrefix);
    m.code.push_back(r->slot);
    auto it = operands.begin();
    for (char kind : r->info->operands) {
      ASSERT_NE(it, operands.end()) << mnemonic;
      const std::string& v = *it++;
      uint16_t w = 0;
      if (kind == 'c' || kind == 'b') {
        m.code.push_back(static_cast<uint8_t>(std::stoi(v)));
        continue;
      }
      if (kind == 'k') w = m.add_constant(v);
      if (kind == 'v') w = vars.at(v.substr(1));
      m.code.push_back(static_cast<uint8_t>(w));
      m.code.push_back(static_cast<uint8_t>(w >> 8));
    }
  }
  // Binds an event-table index of a table to a command of this module.
  void bind(const std::string& table, int32_t index, const std::string& command) {
    m.add_link(LK_BINDING, m.add_string(table), static_cast<uint16_t>(index), offsets.at(command));
  }
  // An event table in module form: index -> command or "name:table".
  void table(const std::string& name, const std::map<int32_t, std::string>& bindings,
             const std::string& parent = "") {
    ModuleBuilder::Table t;
    t.name = m.add_string(name);
    t.form.assign(1 + kEventBindings, 0);
    if (!parent.empty()) t.form[0] = m.add_string(parent);
    for (auto& [k, target] : bindings) t.form[1 + static_cast<size_t>(k)] = m.add_string(target);
    m.tables.push_back(t);
  }

  std::map<std::string, uint16_t> offsets;
};

inline int32_t index_of(EventCode e) { return event_to_key_index(e); }

// ---- the fixture ----------------------------------------------------------------------

class KeyTest : public buftest::BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    text_engine_init();
    ASSERT_EQ(vm_reset(), ERR_OK);
    vmtest::shown.clear();
    VmErrorHooks h{};
    h.break_pressed = [] { return 0; };
    h.show = vmtest::record_show;
    vm_set_error_hooks(h);
    vm_set_name_hooks(VmNameHooks{});
    install_fakes();
    key_tables_reset();
    key_dispatch_reset();
    kbdmac_reset();
    key_set_command_hooks(KeyCommandHooks{});
  }
  void TearDown() override {
    kbdmac_reset();
    event_seam_install(EventSeam{});
    EXPECT_EQ(var_check(), nullptr);
    name_pool_init();
    BufferTest::TearDown();
  }

  // Starts the runtime from a module file (read in place of the state file)
  // and runs its entries; afterwards only the permanent catch context is open.
  void boot(const std::vector<uint8_t>& module_file, const std::string& leaf = "keys.ex") {
    const std::string path = dir_.file(leaf);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(module_file.data()), static_cast<std::streamsize>(module_file.size()));
    std::string arg;
    ASSERT_EQ(vm_init(&arg, path, 0), ERR_OK);
    vm_run();
    ASSERT_EQ(vm_catch.depth, 0);
  }
  void boot(Mod& mod) { boot(mod.m.file()); }

  // A window showing a new buffer holding `text`; the window is current.
  WindowObject* editor(const std::string& text, const std::string& name = "") {
    WindowObject* w = window();
    BufferRec* b = make(name.empty() ? "b" + std::to_string(++buffers_) : name, text);
    show(w, b);
    return w;
  }
  // Every line of a window's buffer, the current line written back first.
  static std::vector<std::string> text_of(WindowObject* w) {
    line_flush_current();
    return storetest::lines_forward(w->view->buffer);
  }
  static std::string global(const std::string& name) {
    const uint32_t i = name_find(name, NF_GLOBAL);
    return i ? std::string(lstr_view(var_value(name_entry(i)->data))) : "<none>";
  }
  static std::string rc() { return std::string(lstr_view(var_value(1))); }

  // Feeds keys through the editor window's key path, one at a time.
  static void type(WindowObject* w, std::initializer_list<EventCode> keys) {
    for (EventCode k : keys) key_feed_event(w, k, 1);
  }
  static void type(WindowObject* w, const std::string& chars) {
    for (char c : chars) key_feed_event(w, static_cast<uint8_t>(c), 1);
  }

  int buffers_ = 0;
};

}  // namespace keytest
