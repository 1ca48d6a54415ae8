// Event tables: binding queries with the "default-keys" fallback, two-table
// lookups and inheritance, prefix keys read through the fake event source,
// the command records, and the table built-ins.
#include "macro/event_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/le.h"
#include "macro/code_cache.h"
#include "tests/macro/key_fixture.h"

namespace {

using namespace keytest;

constexpr EventCode kCtrlF = 6, kCtrlX = 24, kCtrlY = 25, kF2 = 470, kF3 = 471, kF4 = 472, kF5 = 473, kF6 = 474,
                    kF7 = 475, kF8 = 476, kF9 = 477;

class EventTables : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    Mod mod;
    mod.global("hits");
    for (const char* c : {"enter", "find", "kill", "m2", "p3", "pf2", "d3", "d4", "q"}) {
      mod.command(c);
      mod.op("incr", {"$hits"});
      mod.op("return");
    }
    mod.table(
        "default-keys",
        {{index_of(kEvEnter), "enter"}, {index_of(kCtrlX), "ctlx:keys"}, {index_of(kF3), "d3"}, {index_of(kF4), "d4"}});
    mod.table("ctlx:keys", {{index_of(kCtrlF), "find"},
                            {index_of('k'), "kill"},
                            {index_of(kCtrlY), "ctly:keys"},
                            {index_of(kCtrlX), "ctlx:keys"}});
    mod.table("ctly:keys", {{index_of('q'), "q"}});
    mod.table("parent:keys", {{index_of(kF3), "p3"}, {index_of(kF2), "pf2"}});
    mod.table("mode:keys", {{index_of(kF2), "m2"}}, "parent:keys");
    boot(mod);
    D = vm_default_keys_index;
    X = table("ctlx:keys");
    M = table("mode:keys");
    P = table("parent:keys");
  }
  static int32_t table(const char* name) { return static_cast<int32_t>(name_find(name, NF_EVENT_TABLE)); }
  static uint32_t cmd(const char* name) { return name_find(name, NF_CALLABLE); }
  static std::string name_of(uint32_t b) { return b ? std::string(name_text(b)) : ""; }

  static std::string num(int32_t v) { return std::to_string(v); }

  int32_t D = 0, X = 0, M = 0, P = 0;
};

TEST_F(EventTables, BindingQueriesFallBackToDefaultKeys) {
  struct Case {
    EventCode event;
    int32_t table;
    const char* want;
  };
  const Case cases[] = {
      {kF2, M, "m2"},         {kF4, M, "d4"},     // only in "default-keys"
      {kF5, M, ""},                               // bound nowhere
      {kF3, M, "d3"},                             // the parent's binding is not consulted
      {kEvEnter, D, "enter"}, {kF4, 9999, "d4"},  // not a table: "default-keys" alone
  };
  for (const auto& c : cases) {
    EXPECT_EQ(name_of(evtab_binding(c.event, c.table)), c.want) << c.event;
    uint32_t out = 1;
    EXPECT_EQ(evtab_find_binding(c.event, &out, c.table), 0);
    EXPECT_EQ(out, evtab_binding(c.event, c.table));
  }
  EXPECT_TRUE(evtab_is_bound_to(kF4, "D4", M));
  EXPECT_FALSE(evtab_is_bound_to(kF4, "d3", M));
  EXPECT_FALSE(evtab_is_bound_to(kF5, "", M));
}

TEST_F(EventTables, TwoTableLookupsAndInheritance) {
  struct Case {
    EventCode event;
    int32_t base, first;
    const char* want;
    int32_t key_table;
  };
  const Case cases[] = {
      {kF3, D, M, "d3", D},  // not in the first table: the base table's
      {kF3, D, P, "p3", P},  // in both: the first table wins
      {kF2, D, M, "m2", M},
      {kF2, D, 9999, "", 0},  // a first table that is no table: the base alone
  };
  for (const auto& c : cases) {
    key_tables_reset();
    uint32_t out = 7;
    EXPECT_EQ(evtab_lookup2(c.event, &out, c.base, c.first), 0);
    EXPECT_EQ(name_of(out), c.want) << c.event;
    EXPECT_EQ(key_tables.pending.key_table, c.key_table) << c.event;
    if (out) {
      EXPECT_EQ(key_tables.pending.command, static_cast<int32_t>(out));
    }
  }
  uint32_t out = 7;
  EXPECT_EQ(evtab_lookup2(kF2, &out, 9999, M), 0);  // no base table: no lookup at all
  EXPECT_EQ(out, 7u);
  EXPECT_EQ(evtab_lookup(kF3, &out, M), 0);  // one table, no fallback
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(evtab_lookup_inherited(kF3, &out, M), 0);
  EXPECT_EQ(name_of(out), "p3");
}

TEST_F(EventTables, ObjectLookupUsesTheBufferTableItsParentsThenDefaultKeys) {
  WindowObject* w = editor("text\n");
  w->view->buffer->locals.event_table = M;
  struct Case {
    EventCode event;
    int32_t result;
    const char* want;
  };
  const Case cases[] = {
      {kF2, 0, "m2"}, {kF3, 0, "p3"}, {kF4, 0, "d4"}, {'a', 0, ""},  // a character: found, binding 0 types it
      {0xC8, 0, ""},                                                 // characters 128-255 share one index
      {1, 1, ""},                                                    // Ctrl+A: nothing bound
      {kF9, 1, ""},
  };
  for (const auto& c : cases) {
    uint32_t b = 99;
    EXPECT_EQ(key_find_binding_default(w, c.event, 1, false, &b), c.result) << c.event;
    EXPECT_EQ(name_of(b), c.want) << c.event;
  }
}

TEST_F(EventTables, PrefixKeysShowTheKeysAndReadTheNext) {
  struct Case {
    std::vector<EventCode> then;  // keys after Ctrl+X
    bool break_key;
    int32_t result;
    const char* want;
    std::vector<std::string> prefixes;
  };
  const std::string five = "Ctrl+X Ctrl+X Ctrl+X Ctrl+X Ct";  // cut at 30
  const Case cases[] = {
      {{kCtrlF}, false, 0, "find", {"Ctrl+X", ""}},
      {{kEvMouseMove, kCtrlF}, false, 0, "find", {"Ctrl+X", ""}},  // a mouse move is skipped
      {{'z'}, false, 0, "", {"Ctrl+X", ""}},
      {{kCtrlY, 'q'}, false, 0, "q", {"Ctrl+X", "Ctrl+X Ctrl+Y", ""}},
      {{kCtrlX, kCtrlX, kCtrlX, kCtrlX, 'k'},
       false,
       0,
       "kill",
       {"Ctrl+X", "Ctrl+X Ctrl+X", "Ctrl+X Ctrl+X Ctrl+X", "Ctrl+X Ctrl+X Ctrl+X Ctrl+X", five, ""}},
      {{}, true, ERR_BREAK_KEY, "", {"Ctrl+X", ""}},
  };
  for (const auto& c : cases) {
    fakes.prefixes.clear();
    fakes.events.assign(c.then.begin(), c.then.end());
    uitest::ui.break_flagged = c.break_key;
    key_tables_reset();
    uint32_t out = 7;
    EXPECT_EQ(evtab_lookup2(kCtrlX, &out, D, D), c.result);
    EXPECT_EQ(name_of(out), c.want);
    EXPECT_EQ(fakes.prefixes, c.prefixes);
    EXPECT_EQ(key_tables.prefix.len, 0);
    EXPECT_TRUE(fakes.events.empty());
    EXPECT_FALSE(uitest::ui.break_flagged);  // a break that ended the wait is handled
    if (out) {                               // recorded as pending, with the table it was found in
      EXPECT_EQ(key_tables.pending.command, static_cast<int32_t>(out));
      EXPECT_EQ(key_tables.pending.key_table, table(c.then.back() == 'q' ? "ctly:keys" : "ctlx:keys"));
    }
  }
}

TEST_F(EventTables, APrefixKeyThatMayNotWaitAndALookupInPrefixMode) {
  key_tables.no_prefix_wait = true;
  uint32_t out = 0;
  EXPECT_EQ(evtab_lookup2(kCtrlX, &out, D, D), 0);
  EXPECT_EQ(out, 0xFFFFFFFFu);
  EXPECT_EQ(key_tables.pending.binding, static_cast<uint32_t>(X));
  EXPECT_TRUE(fakes.prefixes.empty());
  key_tables.no_prefix_wait = false;

  // The call-key built-in continues a sequence in the running key's table.
  key_tables.current.key_table = X;
  key_tables.prefix.assign("Ctrl+X");
  key_tables.prefix_mode = true;
  EXPECT_EQ(evtab_lookup2('k', &out, D, D), 0);
  EXPECT_EQ(name_of(out), "kill");
  key_tables.current.key_table = D;
  EXPECT_EQ(evtab_lookup2('k', &out, D, D), 0);  // "default-keys" binds no k
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(fakes.prefixes.back(), "");  // the shown prefix was cleared
}

TEST_F(EventTables, BindingsThatCannotRun) {
  // A word naming a variable counts as unbound; one addressed into a module
  // that is not loaded is reported.
  const uint32_t var = name_find("hits", NF_GLOBAL);
  ASSERT_EQ(name_load_data(static_cast<uint32_t>(M)), 0);
  le::put_u32(name_block(static_cast<uint32_t>(M)) + 4 + 4 * index_of(kF5), var);
  le::put_u32(name_block(static_cast<uint32_t>(M)) + 4 + 4 * index_of(kF6), (9999u << 16) | 4u);
  uint32_t out = 7;
  EXPECT_EQ(evtab_lookup(kF5, &out, M), 0);
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(evtab_lookup(kF6, &out, M), 1);
  EXPECT_EQ(out, 0u);
}

TEST_F(EventTables, PendingRecordAndCommandBookkeeping) {
  KeyDispatchState& cur = key_tables.current;
  cur.command = 11;
  cur.binding = 11;
  cur.wflags = 4;
  evtab_set_pending_command(cmd("find"), X);
  const KeyDispatchState& p = key_tables.pending;
  EXPECT_EQ(p.prev_command, 11);
  EXPECT_EQ(p.prev_binding, 11u);
  EXPECT_EQ(p.prev_wflags, 4);
  EXPECT_EQ(p.wflags, 0);
  EXPECT_EQ(p.key_table, X);
  evtab_set_pending_command(cmd("kill"), 0);  // table 0 keeps the pending key_table
  EXPECT_EQ(p.key_table, X);
  evtab_commit_pending();
  EXPECT_EQ(cur.command, static_cast<int32_t>(cmd("kill")));
  cur.record = 1;
  cur.wflags = 4;
  evtab_command_called(5);  // a command called by a macro
  EXPECT_EQ(cur.prev_command, static_cast<int32_t>(cmd("kill")));
  EXPECT_EQ(cur.command, 5);
  EXPECT_EQ(cur.prev_record, 1);
  EXPECT_EQ(cur.record, 0);
  EXPECT_EQ(cur.prev_wflags, 4);
  EXPECT_EQ(cur.wflags, 0);
}

// ---- built-ins -------------------------------------------------------------------------

TEST_F(EventTables, SetAndReadBindings) {
  const std::string d4 = num(static_cast<int32_t>(cmd("d4")));
  const int32_t f7 = index_of(kF7), f4 = index_of(kF4);
  EXPECT_EQ(call("set_eventtab_index", {num(M), num(f7), d4}).rc, ERR_OK);
  EXPECT_NE(name_entry(static_cast<uint32_t>(M))->state & NS_LOCKED, 0u);  // kept by the state file
  struct Case {
    std::vector<std::string> args;
    std::string want;
  };
  const Case cases[] = {
      {{num(D), num(M), num(f7)}, d4},          {{num(D), num(M), num(f7), "U"}, num(M)},
      {{num(D), num(M), num(f4)}, d4},  // from the base table
      {{num(D), num(M), num(f4), "u"}, num(D)}, {{num(D), num(M), num(index_of(kF9))}, "0"},
  };
  for (const auto& c : cases) {
    const Out o = call("eventtab_index", c.args);
    EXPECT_EQ(o.rc, ERR_OK);
    EXPECT_EQ(o.value, c.want) << c.args[2];
  }
  const std::string var = num(static_cast<int32_t>(name_find("hits", NF_GLOBAL)));
  const std::vector<std::vector<std::string>> refused = {
      {num(M), num(f7), var},  // a variable is not a binding
      {num(M), "554", d4},     // index past the table
      {num(M), "-1", d4},
      {var, num(f7), d4},  // not a table
  };
  for (const auto& args : refused) EXPECT_EQ(call("set_eventtab_index", args).rc, ERR_INVALID_ARGUMENT) << args[0];
  EXPECT_EQ(evtab_word(M, f7), cmd("d4"));  // unchanged by the refusals
  EXPECT_EQ(call("eventtab_index", {num(D), var, num(f7)}).rc, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("eventtab_index", {num(D), num(M), num(f7), "X"}).rc, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("set_eventtab_index", {num(M), num(f7), "0"}).rc, ERR_OK);
  EXPECT_EQ(evtab_word(M, f7), 0u);
}

TEST_F(EventTables, NextBindingFindsEachKeyInTurn) {
  const uint32_t d4 = cmd("d4");
  ASSERT_EQ(call("set_eventtab_index", {num(D), num(index_of(kF8)), num(static_cast<int32_t>(d4))}).rc, ERR_OK);
  ASSERT_EQ(call("set_eventtab_index", {num(M), num(index_of(kF8)), num(static_cast<int32_t>(cmd("m2")))}).rc, ERR_OK);
  ASSERT_EQ(call("set_eventtab_index", {num(M), num(index_of(kF6)), num(static_cast<int32_t>(d4))}).rc, ERR_OK);
  // One procedure: index = -1; repeat find_binding, appending each find to a list.
  const auto s_index = static_cast<uint16_t>(var_alloc_global());
  const auto s_binding = static_cast<uint16_t>(var_alloc_global());
  const auto s_table = static_cast<uint16_t>(var_alloc_global());
  var_store_int(s_index, -1);
  std::vector<std::string> found;
  for (int turn = 0; turn < 6; ++turn) {
    bc::ImageBuilder b;
    const uint16_t gi = b.global(s_index), gb = b.global(s_binding), gt = b.global(s_table);
    const uint16_t p = b.proc(0, 0, 0);
    b.op("push_const", {bc::k(num(D))});                         // table A
    b.op("push_const", {bc::k(num(M))});                         // table B
    b.op("push_const", {bc::k(num(static_cast<int32_t>(d4)))});  // wanted
    b.op("find_binding", {bc::var(gi), bc::var(gb), bc::var(gt)});
    b.op("return");
    image_ = b.finish();
    ASSERT_EQ(vm_call_image(image_, p, {}), ERR_OK);
    const int32_t at = var_int(s_index);
    if (at < 0) break;
    found.push_back(num(at) + " " + name_of(static_cast<uint32_t>(var_int(s_binding))) + " " +
                    name_of(static_cast<uint32_t>(var_int(s_table))));
  }
  const std::vector<std::string> want = {
      num(index_of(kCtrlX)) + " ctlx:keys default-keys",  // every prefix table on the way
      num(index_of(kF4)) + " d4 default-keys",
      num(index_of(kF6)) + " d4 mode:keys",  // F8: table B's own binding hides A's
  };
  EXPECT_EQ(found, want);
  EXPECT_EQ(var_int(s_index), -1);
  EXPECT_EQ(var_int(s_binding), 0);
  // A bad start index or a table that is not one is refused.
  var_store_int(s_index, 554);
  bc::ImageBuilder b;
  const uint16_t gi = b.global(s_index), gb = b.global(s_binding), gt = b.global(s_table);
  const uint16_t p = b.proc(0, 0, 0);
  for (int32_t v : {D, M, static_cast<int32_t>(d4)}) b.op("push_const", {bc::k(num(v))});
  b.op("find_binding", {bc::var(gi), bc::var(gb), bc::var(gt)});
  b.op("return");
  image_ = b.finish();
  EXPECT_EQ(vm_call_image(image_, p, {}), ERR_INVALID_ARGUMENT);
}

TEST_F(EventTables, InheritanceBuiltin) {
  const std::string var = num(static_cast<int32_t>(name_find("hits", NF_GLOBAL)));
  struct Case {
    std::vector<std::string> args;
    std::string want;  // empty: refused (fatally)
    int32_t parent_after;
  };
  const Case cases[] = {
      {{num(M)}, num(P), P},          {{num(-M)}, num(P), P},         // the table's magnitude
      {{num(M), num(-D)}, num(D), D},                                 // a negative parent must name a table
      {{num(M), "0"}, "0", 0},        {{num(M), "5000"}, "5000", 0},  // a positive one is stored unchanged
      {{num(M), "-" + var}, "", 0},   {{var}, "", 0},
      {{num(M), "40000"}, "", 0},  // does not fit the 16-bit word
      {{num(M), num(P)}, num(P), P},
  };
  for (const auto& c : cases) {
    vmtest::shown.clear();
    const Out o = call("eventtab_inherit", c.args);
    if (c.want.empty()) {
      EXPECT_EQ(o.rc, ERR_INVALID_ARGUMENT) << c.args[0];
      ASSERT_FALSE(vmtest::shown.empty());
      EXPECT_EQ(vmtest::shown.back().code, ERR_INVALID_ARGUMENT);
    } else {
      EXPECT_EQ(o.rc, ERR_OK);
      EXPECT_EQ(o.value, c.want);
    }
    EXPECT_EQ(evtab_parent(M, 0, false), c.parent_after) << c.args.back();
  }
}

}  // namespace
