// Key dispatch through the editor window's key path: keys in from the fake
// event source, buffer text, globals and rc out. Errors in bound commands,
// repeat counts, preparing commands, the command line, iconized windows,
// the call-key, call-event and keyin built-ins.
#include "macro/key_dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/code_cache.h"
#include "macro/stack.h"
#include "tests/macro/key_fixture.h"
#include "text/selection.h"

namespace {

using namespace keytest;

class KeyDispatch : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    Mod mod = editor_module();
    boot(mod);
  }
  // Fresh counters, records and an editor window on "-".
  WindowObject* fresh() {
    var_assign_bytes(name_entry(name_find("hits", NF_GLOBAL))->data, "0", 1);
    var_assign_bytes(name_entry(name_find("undefined", NF_GLOBAL))->data, "0", 1);
    var_assign_bytes(1, "", 0);
    key_tables_reset();
    key_dispatch_reset();
    fakes.prefixes.clear();
    vmtest::shown.clear();
    return editor("-\n");
  }
  static std::vector<int> shown_codes() {
    std::vector<int> v;
    for (auto& s : vmtest::shown) v.push_back(s.code);
    return v;
  }
};

TEST_F(KeyDispatch, KeysTypeOrRunTheirCommands) {
  struct Case {
    std::vector<EventCode> keys;
    std::string line;
    std::string hits, undefined, rc;
  };
  const Case cases[] = {
      {{'a', 'b'}, "ab-", "0", "0", ""},
      {{fkey(2)}, "x-", "0", "0", ""},  // a command that types
      {{'a', fkey(2), 'b'}, "axb-", "0", "0", ""},
      {{fkey(3), fkey(3)}, "-", "2", "0", ""},
      {{kCtrlX, kCtrlF}, "-", "1", "0", ""},  // a prefix key, then the key of the command
      {{fkey(5)}, "-", "0", "0", "7"},        // the returned value goes to rc
      {{kCtrlA}, "-", "0", "1", ""},          // unbound non-character: key-not-defined
      {{kEvEnter}, "-", "0", "1", ""},
      {{kEvMouseMove}, "-", "0", "0", ""},  // an unbound mouse move is dropped
      {{0xC8}, "\xc8-", "0", "0", ""},
      {{0x4B34}, "4-", "0", "0", ""},      // raw keypad key: unbound, its character types
      {{kCtrlX, 'p'}, "-", "1", "0", ""},  // call-key continuing the sequence in Ctrl+X's table
  };
  for (const auto& c : cases) {
    WindowObject* w = fresh();
    type(w, c.keys);
    EXPECT_EQ(text_of(w), std::vector<std::string>{c.line}) << c.keys[0];
    EXPECT_EQ(global("hits"), c.hits) << c.keys[0];
    EXPECT_EQ(global("undefined"), c.undefined) << c.keys[0];
    EXPECT_EQ(rc(), c.rc) << c.keys[0];
    EXPECT_TRUE(vmtest::shown.empty()) << c.keys[0];
    EXPECT_EQ(vm_catch.depth, 0);
    EXPECT_EQ(vm_stack.top, stack_base_);
  }
}

TEST_F(KeyDispatch, RepeatCountRunsTheBindingThatManyTimes) {
  WindowObject* w = fresh();
  key_feed_event(w, fkey(3), 3);
  EXPECT_EQ(global("hits"), "3");
  key_feed_event(w, 'z', 3);
  EXPECT_EQ(text_of(w), std::vector<std::string>{"zzz-"});
  EXPECT_EQ(key_globals.repeat_left, 0);
  EXPECT_EQ(key_globals.last_event, static_cast<EventCode>('z'));
}

TEST_F(KeyDispatch, AnErrorInACommandIsReportedAndTheNextKeyWorks) {
  WindowObject* w = fresh();
  type(w, {fkey(4)});  // divides by zero
  EXPECT_EQ(shown_codes(), std::vector<int>{ERR_DIVIDE_BY_ZERO});
  EXPECT_EQ(vm_catch.depth, 0);
  EXPECT_EQ(vm.frame_depth, 0);
  EXPECT_EQ(vm_stack.top, stack_base_);
  type(w, {'q'});
  type(w, {fkey(3)});
  EXPECT_EQ(text_of(w), std::vector<std::string>{"q-"});
  EXPECT_EQ(global("hits"), "1");
  // With a repeat count the failing command still runs each time.
  vmtest::shown.clear();
  key_feed_event(w, fkey(4), 2);
  EXPECT_EQ(shown_codes(), (std::vector<int>{ERR_DIVIDE_BY_ZERO, ERR_DIVIDE_BY_ZERO}));
}

TEST_F(KeyDispatch, ACommandThatCannotStartLeavesNoCatchContext) {
  WindowObject* w = fresh();
  key_feed_event(w, fkey(6), 3);                                      // bound to "ghost", which no module defines
  EXPECT_EQ(shown_codes(), std::vector<int>{ERR_COMMAND_NOT_FOUND});  // the repetition ended
  EXPECT_EQ(vm_catch.depth, 0);
  EXPECT_EQ(vm_stack.top, stack_base_);
  type(w, {fkey(3)});
  EXPECT_EQ(global("hits"), "1");
}

TEST_F(KeyDispatch, CommandsAndClassChangesPrepareTheLine) {
  WindowObject* w = fresh();
  struct Step {
    EventCode key;
    int prepares;  // total so far
  };
  const Step steps[] = {
      {'a', 1},     {'b', 1},  // letters in a row: once
      {' ', 2},                // a blank after letters
      {'c', 3},     {'1', 3},  // digits are letters here
      {fkey(3), 4},            // every command
      {kEvLeft, 5},            // key-not-defined is a command too
      {'d', 6},
  };
  for (const auto& s : steps) {
    type(w, {s.key});
    EXPECT_EQ(fakes.cursor_keeps, s.prepares) << s.key;
  }
  EXPECT_EQ(fakes.refreshes, 8);  // one refresh after each outermost key
}

TEST_F(KeyDispatch, CommandsTypedInTheCommandLineRunInTheEditorWindow) {
  WindowObject* ed = fresh();
  WindowObject* cmd = editor("\n");  // now current
  cmdtest::cmd.command_line = cmd;
  fakes.active_editor = ed;
  type(cmd, {'a', fkey(2), fkey(7)});
  EXPECT_EQ(window_current(), cmd);
  EXPECT_EQ(text_of(ed), std::vector<std::string>{"x-"});   // say-x ran in the editor window
  EXPECT_EQ(text_of(cmd), std::vector<std::string>{"ac"});  // in-cmdline (flag 4) ran in place
  // A window that is neither gets nothing.
  WindowObject* other = editor("o\n");
  fakes.active_editor = ed;
  type(other, {fkey(3), 'z'});
  EXPECT_EQ(global("hits"), "0");
  EXPECT_EQ(text_of(other), std::vector<std::string>{"o"});
  key_run_binding(other, 0, true);  // the any-window dispatcher has no such rule
  EXPECT_EQ(text_of(other), std::vector<std::string>{"zo"});
}

TEST_F(KeyDispatch, AnIconizedWindowAsksWhetherTheCommandMayRun) {
  static std::vector<int32_t> asked;
  asked.clear();
  key_set_command_hooks({nullptr, [](int32_t index) -> int32_t {
                           asked.push_back(index);
                           return index == static_cast<int32_t>(name_find("count", NF_COMMAND)) ? 0 : -2060;
                         }});
  WindowObject* w = fresh();
  fakes.iconic.insert(w);
  type(w, {fkey(3), fkey(5), 'a'});
  EXPECT_EQ(global("hits"), "1");                        // allowed
  EXPECT_EQ(rc(), "");                                   // refused
  EXPECT_EQ(text_of(w), std::vector<std::string>{"-"});  // typing asks with command 0, refused
  EXPECT_EQ(asked, (std::vector<int32_t>{static_cast<int32_t>(name_find("count", NF_COMMAND)),
                                         static_cast<int32_t>(name_find("seven", NF_COMMAND)), 0}));
}

TEST_F(KeyDispatch, CallKeyBuiltin) {
  struct Case {
    EventCode key;
    std::string line, hits, undefined;
    std::vector<int> errors;
  };
  const Case cases[] = {
      {fkey(8), "-", "1", "0", {}},   // call-f3: runs count
      {fkey(9), "a-", "0", "0", {}},  // call-a: an unbound printable key types it
      {fkey(10), "-", "0", "1", {}},  // call-ctrl-a: unbound control key in an editor window
      {shift_fkey(3), "-", "0", "0", {ERR_INVALID_ARGUMENT}},
  };
  for (const auto& c : cases) {
    WindowObject* w = fresh();
    type(w, {c.key});
    EXPECT_EQ(text_of(w), std::vector<std::string>{c.line}) << c.key;
    EXPECT_EQ(global("hits"), c.hits) << c.key;
    EXPECT_EQ(global("undefined"), c.undefined) << c.key;
    EXPECT_EQ(shown_codes(), c.errors) << c.key;
    EXPECT_EQ(vm_stack.top, stack_base_);
    EXPECT_FALSE(key_tables.prefix_mode);
  }
}

TEST_F(KeyDispatch, CallEventBuiltin) {
  WindowObject* w = fresh();
  type(w, {fkey(11)});  // leading argument "val" reaches take-arg
  EXPECT_EQ(global("args"), "val");
  EXPECT_EQ(key_tables.current.command, static_cast<int32_t>(name_find("take-arg", NF_COMMAND)));
  type(w, {fkey(12)});  // unbound z in the table: typed, rc empty
  EXPECT_EQ(text_of(w), std::vector<std::string>{"z-"});
  EXPECT_EQ(rc(), "");
  var_assign_bytes(name_entry(name_find("win", NF_GLOBAL))->data, std::to_string(w->handle).c_str(),
                   static_cast<int32_t>(std::to_string(w->handle).size()));
  type(w, {shift_fkey(1)});  // the window's binding of F3
  EXPECT_EQ(global("hits"), "1");
  type(w, {shift_fkey(2)});  // 5 is no event table
  EXPECT_EQ(shown_codes(), std::vector<int>{ERR_INVALID_ARGUMENT});
  EXPECT_EQ(vm_stack.top, stack_base_);
  EXPECT_EQ(vm_catch.depth, 0);
}

TEST_F(KeyDispatch, TypingIntoObjectsWithoutAView) {
  fresh();
  WindowObject* box = window();
  box->type = kObjTypeTextBox;
  window_set_current(box, 0);
  key_run_binding(box, 0, false);  // last_event is still 0: nothing to type
  key_globals.last_event = 'q';
  key_run_binding(box, 0, false);
  EXPECT_EQ(fakes.control_text, std::vector<std::string>{"q"});
  EXPECT_EQ(key_type_text("xyz", false), 0);  // a text box takes the whole text
  EXPECT_EQ(fakes.control_text.back(), "xyz");
  WindowObject* bare = window();  // no view, no text control
  window_set_current(bare, 0);
  EXPECT_EQ(key_type_text("a", false), ERR_NOT_ALLOWED_ON_OBJECT);
  // keyin from a macro in such a window stops it.
  vmtest::shown.clear();
  key_globals.last_event = fkey(2);
  key_run_binding(bare, name_find("say-x", NF_COMMAND), false);
  ASSERT_FALSE(vmtest::shown.empty());
  EXPECT_EQ(vmtest::shown.back().code, ERR_NOT_ALLOWED_ON_OBJECT);
}

TEST_F(KeyDispatch, ViewsLeaveTheTopOfFileLine) {
  fresh();
  WindowObject* w = editor("one\ntwo\n");
  PosRecord* v = w->view;
  ASSERT_EQ(pos_top(v, v->buffer), 0);
  BufferRec* empty = new_buffer("empty");
  WindowObject* e = window_current();
  ASSERT_EQ(pos_top(e->view, empty), 0);
  redraw_bits = 0;
  key_globals.views_need_fixing = true;
  views_leave_top_of_file();
  EXPECT_EQ(v->line, 1);
  EXPECT_EQ(v->row, 0);
  EXPECT_EQ(line_get_string(v, v->buffer), "one");
  EXPECT_EQ(redraw_bits & 0x200b, 0x200bu);
  EXPECT_EQ(storetest::lines_forward(empty), std::vector<std::string>{""});  // a line was made
  EXPECT_EQ(empty->modified, 0);
  EXPECT_EQ(e->view->line, 1);
  EXPECT_FALSE(key_globals.views_need_fixing);
}

TEST_F(KeyDispatch, SelectionBindingTakesTypedKeysWhileASelectionIsInTheBuffer) {
  WindowObject* w = fresh();
  const uint32_t count = name_find("count", NF_COMMAND);
  ASSERT_EQ(name_load_data(static_cast<uint32_t>(vm_default_keys_index)), 0);
  uint32_t out = 0;
  EXPECT_FALSE(key_selection_binding(w, 'a', 2, &out));  // no selection
  SelectionMarks* sel = sel_active();
  sel_start(sel, kSelChar, w->view);
  ASSERT_EQ(sel_extend(sel, kSelChar, w->view), 0);
  // ON-SELECT unbound: nothing.
  EXPECT_FALSE(key_selection_binding(w, 'a', 2, &out));
  ASSERT_TRUE(evtab_is_table(vm_default_keys_index));
  uint8_t* block = name_block(static_cast<uint32_t>(vm_default_keys_index));
  const int32_t k = index_of(kEvOnSelect);
  block[4 + 4 * k] = static_cast<uint8_t>(count);
  block[5 + 4 * k] = static_cast<uint8_t>(count >> 8);
  EXPECT_TRUE(key_selection_binding(w, 'a', 2, &out));
  EXPECT_EQ(out, count);
  EXPECT_TRUE(key_globals.selection_binding);
  EXPECT_FALSE(key_selection_binding(w, 'a', 3, &out));          // stage past 2
  EXPECT_FALSE(key_selection_binding(w, kEvOnSelect, 2, &out));  // not a key
  EXPECT_FALSE(key_selection_binding(w, fkey(9), 2, &out));      // no character, nothing found
}

}  // namespace
