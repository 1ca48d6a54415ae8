// Set-up for the event-table, key-dispatch and keyboard-macro tests: the
// key readers' fakes (an event queue, the focus, the message line), a small
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
#include "macro/event_port.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/opcodes.h"
#include "macro/state.h"
#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"
#include "tests/support/headless/event_fakes.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/buffer_fixture.h"
#include "text/engine.h"
#include "text/selection.h"

namespace keytest {

// ---- the key readers' world (tests/support/headless/event_fakes.h) -------------

// The queued events, the focus, the message line and the window objects of
// the headless answers. The break key is the text engine's (uitest::ui), the
// command line the command executor's (cmdtest::cmd).
inline evtest::FakeEvents& fakes = evtest::events;

// A reader that keeps waiting on an empty queue (a prefix key with no key
// after it) gets the break key after this many reads instead of hanging the
// test.
inline constexpr int kStarvedReads = 100;

inline void install_fakes() {
  evtest::install();
  fakes.starved_limit = kStarvedReads;
  fakes.text_controls = true;
}

// ---- modules ---------------------------------------------------------------------------

// Commands, globals, bindings and tables of one module, written by mnemonic.
struct Mod {
  ModuleBuilder m;
  std::map<std::string, uint16_t> vars;

  // Starts a command with by-value parameters; `info` may carry attribute
  // flags ("text,N").
  void command(const std::string& name, const std::string& info = "", uint8_t params = 0) {
    const uint16_t at = static_cast<uint16_t>(m.here());
    const uint16_t mask = static_cast<uint16_t>((1u << params) - 1);
    m.code.insert(m.code.end(), {0, params, static_cast<uint8_t>(mask), static_cast<uint8_t>(mask >> 8)});
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
  // "$name" for a global, "%n" for parameter n, a number for a count,
  // "table:name" for an event-table link.
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
      if (kind == 'v')
        w = v[0] == '%' ? static_cast<uint16_t>(9000 + 2 * std::stoi(v.substr(1))) : vars.at(v.substr(1));
      if (kind == 'l') w = m.add_link(LK_TABLE, m.add_constant(v.substr(v.find(':') + 1)));
      m.code.push_back(static_cast<uint8_t>(w));
      m.code.push_back(static_cast<uint8_t>(w >> 8));
    }
  }
  // Binds an event-table index of a table to a command of this module.
  void bind(const std::string& table, int32_t index, const std::string& command) {
    m.add_link(LK_BINDING, m.add_string(table), static_cast<uint16_t>(index), offsets.at(command));
  }
  // An event table in module form: index -> command or "name:table".
  void table(const std::string& name, const std::map<int32_t, std::string>& bindings, const std::string& parent = "") {
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

// Keys the tests bind.
inline constexpr EventCode kCtrlA = 1, kCtrlB = 2, kCtrlF = 6, kCtrlG = 7, kCtrlX = 24;
inline constexpr EventCode fkey(int n) { return kEvF1 + static_cast<EventCode>(n) - 1; }
inline constexpr EventCode shift_fkey(int n) { return kEvShiftF1 + static_cast<EventCode>(n) - 1; }

// The commands of the dispatch and keyboard-macro tests, bound in
// "default-keys" and in the prefix table "ctlx:keys" (Ctrl+X).
inline Mod editor_module() {
  Mod mod;
  mod.global("hits");
  mod.global("undefined");
  mod.global("args", "");
  mod.global("win", "0");
  const auto body = [&](const std::string& name,
                        std::initializer_list<std::pair<std::string_view, std::vector<std::string>>> ops,
                        const std::string& info = "", uint8_t params = 0) {
    mod.command(name, info, params);
    for (auto& [mn, args] : ops) {
      auto r = opcode_find(mn);
      ASSERT_TRUE(r.has_value()) << mn;
      switch (args.size()) {
        case 0:
          mod.op(mn);
          break;
        case 1:
          mod.op(mn, {args[0]});
          break;
        case 2:
          mod.op(mn, {args[0], args[1]});
          break;
        default:
          FAIL() << mn;
      }
    }
  };
  const std::string f3 = event_key_text(fkey(3));
  body("say-x", {{"push_const", {"x"}}, {"keyin", {}}, {"return", {}}});
  body("count", {{"incr", {"$hits"}}, {"return", {}}});
  body("fails", {{"push_const", {"1"}}, {"push_const", {"0"}}, {"div", {}}, {"pop", {}}, {"return", {}}});
  body("seven", {{"push_const", {"7"}}, {"return_value", {}}});
  body("key-not-defined", {{"incr", {"$undefined"}}, {"return", {}}});
  body("in-cmdline", {{"push_const", {"c"}}, {"keyin", {}}, {"return", {}}}, "Types c where it runs,4");
  body("call-f3", {{"push_const", {f3}}, {"call_key", {"1"}}, {"return", {}}});
  body("call-a", {{"push_const", {"a"}}, {"call_key", {"1"}}, {"return", {}}});
  body("call-ctrl-a", {{"push_const", {"\x01"}}, {"call_key", {"1"}}, {"return", {}}});
  body("prefix-then", {{"push_const", {"\x06"}}, {"push_const", {"Ctrl+X"}}, {"call_key", {"2"}}, {"return", {}}});
  body("call-bad-option",
       {{"push_const", {"a"}}, {"push_const", {""}}, {"push_const", {"Q"}}, {"call_key", {"3"}}, {"return", {}}});
  body("take-arg", {{"push_var", {"%0"}}, {"assign", {"$args"}}, {"return", {}}}, "", 1);
  body("ev-e", {{"push_const", {"val"}},
                {"push_event_table", {"table:ctlx:keys"}},
                {"push_const", {"a"}},
                {"push_const", {"E"}},
                {"call_event", {"4"}},
                {"return", {}}});
  body("ev-z", {{"push_event_table", {"table:ctlx:keys"}},
                {"push_const", {"z"}},
                {"push_const", {"E"}},
                {"call_event", {"3"}},
                {"return", {}}});
  body("ev-w", {{"push_var", {"$win"}}, {"push_const", {f3}}, {"call_event", {"2"}}, {"return", {}}});
  body("ev-bad",
       {{"push_const", {"5"}}, {"push_const", {"a"}}, {"push_const", {"E"}}, {"call_event", {"3"}}, {"return", {}}});
  body("end-macro", {{"push_const", {"KD"}},
                     {"macro_record", {"1"}},
                     {"push_const", {"KE"}},
                     {"macro_record", {"1"}},
                     {"return", {}}});
  body("quoted", {{"incr", {"$hits"}}, {"return", {}}}, "Recorded by name,64");
  body("with-key", {{"incr", {"$hits"}}, {"return", {}}}, "Recorded with its key,128");
  mod.table("default-keys", {{index_of(fkey(2)), "say-x"},
                             {index_of(fkey(3)), "count"},
                             {index_of(fkey(4)), "fails"},
                             {index_of(fkey(5)), "seven"},
                             {index_of(fkey(6)), "ghost"},  // a command nothing defines
                             {index_of(fkey(7)), "in-cmdline"},
                             {index_of(fkey(8)), "call-f3"},
                             {index_of(fkey(9)), "call-a"},
                             {index_of(fkey(10)), "call-ctrl-a"},
                             {index_of(fkey(11)), "ev-e"},
                             {index_of(fkey(12)), "ev-z"},
                             {index_of(shift_fkey(1)), "ev-w"},
                             {index_of(shift_fkey(2)), "ev-bad"},
                             {index_of(shift_fkey(3)), "call-bad-option"},
                             {index_of(shift_fkey(4)), "end-macro"},
                             {index_of(shift_fkey(5)), "quoted"},
                             {index_of(shift_fkey(6)), "with-key"},
                             {index_of(kEvAltChar + '\''), "with-key"},  // named A-
                             {index_of(kCtrlX), "ctlx:keys"}});
  mod.bind("default-keys", index_of(shift_fkey(7)), "count");  // code addressed in the module
  mod.table("ctlx:keys", {{index_of(kCtrlF), "count"},
                          {index_of(kCtrlG), "with-key"},
                          {index_of('p'), "prefix-then"},
                          {index_of('a'), "take-arg"}});
  return mod;
}

// ---- the fixture ----------------------------------------------------------------------

class KeyTest : public buftest::BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    text_engine_init();
    ASSERT_EQ(vm_reset(), ERR_OK);
    state_reset_read_flag();  // each test boots a state file of its own
    install_macro_opcodes();
    errtest::install();
    uitest::install();  // no break key
    vm_set_name_hooks(VmNameHooks{});
    install_fakes();
    vmtest::install_upper_fakes();
    key_tables_reset();
    key_dispatch_reset();
    kbdmac_reset();
    key_set_command_hooks(KeyCommandHooks{});
  }
  void TearDown() override {
    kbdmac_reset();
    evtest::install();
    if (SelectionMarks* a = sel_active_peek()) sel_free(a);  // its marks go with the buffers
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
    stack_base_ = vm_stack.top;  // the start-up argument stays in the permanent context
  }
  void boot(Mod& mod) { boot(mod.m.file()); }

  // A window showing a new buffer holding `text`; the window is current.
  WindowObject* editor(const std::string& text, const std::string& name = "") {
    WindowObject* w = window();
    BufferRec* b = make(name.empty() ? "b" + std::to_string(++buffers_) : name, text);
    show(w, b);
    return w;
  }
  // A new buffer without a file (one empty line), shown in a window of its own.
  BufferRec* new_buffer(const std::string& leaf) {
    const std::string name = dir_.file(leaf);
    BufCreateArgs a;
    a.name = name;
    BufferRec* b = nullptr;
    EXPECT_EQ(buf_create_from_file(&b, a), 0);
    WindowObject* w = window();
    window_link_edit_list(w);  // an edit window, as the window layer makes them
    show(w, b);
    key_globals.views_need_fixing = true;  // as the edit built-in leaves it
    return b;
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

  // Queues keys in the event source and runs the main loop's key input on
  // the window until no event comes.
  static void type(WindowObject* w, std::initializer_list<EventCode> keys) {
    fakes.events.insert(fakes.events.end(), keys.begin(), keys.end());
    while (key_feed_next(w)) {
    }
  }
  static void type(WindowObject* w, const std::string& chars) {
    for (char c : chars) fakes.events.push_back(static_cast<uint8_t>(c));
    while (key_feed_next(w)) {
    }
  }
  static void type(WindowObject* w, const std::vector<EventCode>& keys) {
    fakes.events.insert(fakes.events.end(), keys.begin(), keys.end());
    while (key_feed_next(w)) {
    }
  }

  // Runs one built-in on constant arguments in a procedure of its own; its
  // result when it pushes one, and the run's code.
  struct Out {
    std::string value;
    ErrorCode rc;
  };
  Out call(std::string_view mnemonic, const std::vector<std::string>& args) {
    bc::ImageBuilder b;
    const auto slot = static_cast<uint16_t>(var_alloc_global());
    const uint16_t g = b.global(slot);
    const uint16_t p = b.proc(0, 0, 0);
    for (auto& a : args) b.op("push_const", {bc::k(a)});
    const OpcodeInfo& info = *opcode_find(mnemonic)->info;
    if (info.operands == "c")
      b.op(mnemonic, {bc::cnt(static_cast<int>(args.size()))});
    else
      b.op(mnemonic);
    if (info.pushes == 1) b.op("assign", {bc::var(g)});
    b.op("return");
    image_ = b.finish();
    const ErrorCode rc = vm_call_image(image_, p, {});
    return {std::string(lstr_view(var_value(slot))), rc};
  }

  int buffers_ = 0;
  int32_t stack_base_ = -1;
  std::vector<uint8_t> image_;
};

}  // namespace keytest
