// The names-table built-ins as byte code over a names table of known
// entries: lookups and the shared match position, types, names and info
// strings, inserting and the deletion rules, the key-dispatch registers and
// the callable lookup, global variables, stored words, renaming, purging.
#include "macro/bi_names.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "macro/event_tables.h"
#include "macro/module.h"
#include "macro/names.h"
#include "tests/macro/builtin_fixture.h"

namespace {

using bitest::Out;

class NamesBi : public bitest::BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    ASSERT_EQ(name_pool_init(), 0);
    names_bi_reset();
    key_tables_reset();
    proc_ = insert("my-proc", NF_PROC, 5u << 16 | 10);
    command_ = insert("do-it", NF_COMMAND, 5u << 16 | 20, "Do it now");
    no_code_ = insert("no-code", NF_PROC, 0);
    module_ = insert("mod.ex", NF_MODULE, 0);
    keys_ = name_create("my-keys", NF_EVENT_TABLE, std::string_view("table info"));
    default_keys_ = name_create("default-keys", NF_EVENT_TABLE, std::nullopt);
    vm_default_keys_index = default_keys_;
    form_ = insert("my-form", NF_TEMPLATE | (5u << 11), 0, "form info");
    counter_ = var_create_global("counter", std::string_view("5"));
    ASSERT_GT(counter_, 0);
  }
  void TearDown() override {
    vm_default_keys_index = 0;
    key_tables_reset();
    EXPECT_TRUE(name_table_check());
    BuiltinTest::TearDown();
  }
  static int32_t insert(const char* name, uint32_t flags, uint32_t data,
                        std::optional<std::string_view> info = std::nullopt) {
    NameEntry e;
    e.flags = flags | (info ? uint32_t(NF_INFO) : 0u);
    e.data = data;
    const int32_t i = name_insert(name, e, info);
    EXPECT_GT(i, 0);
    return i;
  }
  static std::string s(int64_t v) { return std::to_string(v); }

  int32_t proc_ = 0, command_ = 0, no_code_ = 0, module_ = 0, keys_ = 0, default_keys_ = 0, form_ = 0, counter_ = 0;
};

struct Step {
  const char* mnemonic;
  std::vector<std::string> args;
  ErrorCode raised;
  ErrorCode stop;
  std::string rc;     // empty: not checked
  std::string value;  // "*": not checked
};

void run_steps(const std::vector<Step>& steps,
               const std::function<Out(std::string_view, const std::vector<std::string>&)>& call) {
  for (const Step& st : steps) {
    SCOPED_TRACE(std::string(st.mnemonic) + " " + (st.args.empty() ? "" : st.args[0]) +
                 (st.args.size() > 1 ? " " + st.args[1] : ""));
    Out o = call(st.mnemonic, st.args);
    EXPECT_EQ(o.raised, st.raised);
    EXPECT_EQ(o.stop, st.stop);
    if (!st.rc.empty()) {
      EXPECT_EQ(o.rc, st.rc);
    }
    if (st.value != "*") {
      EXPECT_EQ(o.value, st.value);
    }
  }
}

#define RUN_STEPS(...) \
  run_steps(__VA_ARGS__, [this](std::string_view m, const std::vector<std::string>& a) { return call(m, a); })

TEST_F(NamesBi, FindsIndexesUnderMasks) {
  const std::string form_handle = s(int64_t{form_} << 16);
  RUN_STEPS({
      {"find_index", {"MY_PROC"}, 0, 0, "0", s(proc_)},
      {"find_index", {"my-proc", "16"}, 0, 0, "-3022", "0"},
      {"find_index", {"do_it", "17"}, 0, 0, "0", s(command_)},
      {"find_index", {"nothing"}, 0, 0, "-3022", "0"},
      // File-named entries compare exactly, also under "all types".
      {"find_index", {"mod.ex"}, 0, 0, "0", s(module_)},
      {"find_index", {"MOD.EX"}, 0, 0, "-3022", "0"},
      {"find_index", {"mod.ex", "128"}, 0, 0, "0", s(module_)},
      // A template gives its handle.
      {"find_index", {"my_form"}, 0, 0, "0", form_handle},
      {"find_index", {"counter", "4"}, 0, 0, "0", s(counter_)},
      {"find_index", {"x", "y"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
      {"find_index", {}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
  });
}

TEST_F(NamesBi, NameMatchWalksShareOnePosition) {
  // Entries in index order: my-proc, do-it, no-code, mod.ex, my-keys, ...
  RUN_STEPS({
      {"name_match", {"my", "1"}, 0, 0, "0", s(proc_)},
      // Another walk goes on from the same position.
      {"name_match", {"d", "0"}, 0, 0, "0", s(command_)},
      {"name_match", {"my", "0"}, 0, 0, "0", s(keys_)},
      {"name_match", {"my", "0"}, 0, 0, "0", s(int64_t{form_} << 16)},
      {"name_match", {"my", "0"}, 0, 0, "-3022", "0"},
      {"name_match", {"my", "0"}, 0, 0, "-3022", "0"},
      // Restarting one restarts the other.
      {"name_match", {"d", "1"}, 0, 0, "0", s(command_)},
      {"name_match", {"my", "0"}, 0, 0, "0", s(keys_)},
      // Under all types each entry compares by its own rule: names without
      // case and with "_" for "-", file names exactly.
      {"name_match", {"MY_", "1"}, 0, 0, "0", s(proc_)},
      {"name_match", {"MOD", "1"}, 0, 0, "-3022", "0"},
      {"name_match", {"mod.", "1"}, 0, 0, "0", s(module_)},
      {"name_match", {"", "1", "4"}, 0, 0, "0", s(counter_)},
      {"name_match", {"m", "1", "128"}, 0, 0, "0", s(module_)},
      {"name_match", {"my", "no"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
      {"name_match", {"my"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
  });
}

TEST_F(NamesBi, TypesNamesAndInfoStrings) {
  RUN_STEPS({
      {"name_type", {s(proc_)}, 0, 0, "", s(NF_PROC)},
      {"name_type", {s(command_)}, 0, 0, "", s(NF_COMMAND | NF_INFO)},
      {"name_type", {"0"}, 0, 0, "", "0"},
      {"name_name", {s(command_)}, 0, 0, "", "do-it"},
      {"name_name", {"9999"}, 0, 0, "", ""},
      {"name_info", {s(command_)}, 0, 0, "", "Do it now"},
      {"name_info", {s(proc_)}, 0, 0, "", ""},
      // A control handle gives its template's info.
      {"name_info", {s(int64_t{form_} << 16 | 3)}, 0, 0, "", "form info"},
      {"set_name_info", {s(proc_), "now with info"}, 0, 0, "0", "*"},
      {"name_info", {s(proc_)}, 0, 0, "", "now with info"},
      {"name_type", {s(proc_)}, 0, 0, "", s(NF_PROC | NF_INFO)},
      {"set_name_info", {s(proc_), ""}, 0, 0, "0", "*"},
      {"name_type", {s(proc_)}, 0, 0, "", s(NF_PROC)},
      // An invalid index is raised and the macro goes on.
      {"set_name_info", {"9999", "x"}, ERR_INVALID_NAME_INDEX, 0, "-3029", "*"},
      {"name_type", {"x"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
  });
}

TEST_F(NamesBi, InsertsNamesOfCreatableTypes) {
  Out p = call("insert_name", {"New_Proc", "1"});
  EXPECT_EQ(p.rc, "0");
  const uint32_t np = static_cast<uint32_t>(std::stoul(p.value));
  EXPECT_EQ(name_text(np), "new-proc");
  EXPECT_EQ(name_is_valid(np), NF_PROC);
  Out t = call("insert_name", {"Tbl", "8", "about it"});
  const uint32_t nt = static_cast<uint32_t>(std::stoul(t.value));
  EXPECT_EQ(name_is_valid(nt), NF_EVENT_TABLE | NF_INFO);
  EXPECT_EQ(name_info(nt), "about it");
  RUN_STEPS({
      // Requests that can never be made stop the macro.
      {"insert_name", {"", "1"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"insert_name", {"v", "4"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"insert_name", {"two", "17"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"insert_name", {"x", "one"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
      {"insert_name", {"x"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
  });
  // Templates and pictures are the forms layer's to make (this program links
  // it). A template's name goes in dash form, with its info; a failure
  // pushes 0 with the code in rc, and the macro goes on.
  RUN_STEPS({{"insert_name", {"Form_2", s(NF_TEMPLATE | 2 << 11), "info"}, 0, 0, "0", "*"}});
  const uint32_t made = name_find("form-2", NF_TEMPLATE);
  ASSERT_NE(made, 0u);
  EXPECT_EQ(made & 0xFFFF, 0u);
  EXPECT_EQ(name_info(made >> 16), "info");
  EXPECT_EQ(name_type(made) & NF_TEMPLATE, NF_TEMPLATE);
  // Made from a source that holds no records.
  const std::string source = s(int64_t{form_} << 16);
  RUN_STEPS({{"insert_name", {"copy", s(NF_TEMPLATE | 2 << 11), "", source}, 0, 0, s(ERR_INCORRECT_VERSION), "0"}});
  // A picture is read from its file along the macro path.
  const Out pic = call("insert_name", {"zvx-no-such-picture.xpm", "256"});
  EXPECT_EQ(pic.raised, 0);
  EXPECT_EQ(pic.value, "0");
  EXPECT_LT(std::stoi(pic.rc), 0);
  EXPECT_EQ(name_find("zvx-no-such-picture.xpm", NF_PICTURE), 0u);
}

TEST_F(NamesBi, DeletesOnlyWhatMayGo) {
  const int32_t pic = insert("pic.bmp", NF_PICTURE, 0);
  const int32_t dll = insert("lib.dll", NF_DLL_MODULE, 0);
  RUN_STEPS({
      {"delete_name", {s(default_keys_)}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"delete_name", {s(counter_)}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"delete_name", {s(module_)}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"delete_name", {"9999"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"delete_name", {"0"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"delete_name", {s(int64_t{form_} << 16 | 2)}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"delete_name", {s(proc_)}, 0, 0, "", ""},
      {"delete_name", {s(keys_)}, 0, 0, "", ""},
      {"delete_name", {s(pic)}, 0, 0, "", ""},
      {"delete_name", {s(dll)}, 0, 0, "", ""},
      {"delete_name", {s(int64_t{form_} << 16)}, 0, 0, "", ""},
  });
  for (int32_t gone : {proc_, keys_, pic, dll, form_}) EXPECT_EQ(name_is_valid(static_cast<uint32_t>(gone)), 0u);
  for (int32_t kept : {default_keys_, counter_, module_}) EXPECT_NE(name_is_valid(static_cast<uint32_t>(kept)), 0u);
}

TEST_F(NamesBi, RegistersOfKeyDispatch) {
  key_tables.prefix.assign("Ctrl+X");
  RUN_STEPS({
      {"index_registers", {}, 0, 0, "", "0"},
      {"index_registers", {"", "33"}, 0, 0, "", "33"},
      {"index_registers2", {"", "44"}, 0, 0, "", "44"},
      {"index_registers", {}, 0, 0, "", "33"},
      {"index_registers", {"c", "12"}, 0, 0, "", "12"},
      {"index_registers2", {"C"}, 0, 0, "", "0"},
      // An empty value changes nothing.
      {"index_registers", {"C", ""}, 0, 0, "", "12"},
      // W sets both words and gives the previous one, from either slot.
      {"index_registers", {"W", "7"}, 0, 0, "", "7"},
      {"index_registers2", {"W"}, 0, 0, "", "7"},
      {"index_registers", {"K", s(keys_)}, 0, 0, "", s(keys_)},
      {"index_registers2", {"K"}, 0, 0, "", s(keys_)},
      {"index_registers", {"K", "0"}, 0, 0, "", "0"},
      {"index_registers", {"K", s(proc_)}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"index_registers", {"P", "ignored"}, 0, 0, "", "Ctrl+X"},
      {"index_registers", {"Q"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"index_registers", {"C", "x"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
      {"index_registers", {"C", "1", "2"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
  });
}

TEST_F(NamesBi, CallableLookupRecordsTheCommand) {
  KeyDispatchState& held = key_tables.current;
  held.command = 3;
  held.record = 1;
  held.wflags = 4;
  held.binding = 99;
  held.prev_binding = 98;
  LStrLine name("DO_IT");
  uint32_t index = 0;
  EXPECT_EQ(name_find_callable(name, &index, NF_CALLABLE, false), 1);
  EXPECT_EQ(index, static_cast<uint32_t>(command_));
  EXPECT_EQ(name.view(), "DO_IT");  // the caller's spelling stays
  EXPECT_EQ(held.command, command_);
  EXPECT_EQ(held.prev_command, 3);
  EXPECT_EQ(held.prev_record, 1);
  EXPECT_EQ(held.prev_wflags, 4);
  EXPECT_EQ(held.record, 0);
  EXPECT_EQ(held.wflags, 0);
  EXPECT_EQ(held.binding, 99u);
  EXPECT_EQ(held.prev_binding, 98u);
  // Without code: found and recorded, but not callable.
  LStrLine none("no-code");
  EXPECT_EQ(name_find_callable(none, &index, NF_CALLABLE, false), 0);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(held.command, no_code_);
  // Without recording nothing changes; a name that is not there neither.
  const KeyDispatchState before = held;
  LStrLine p("my-proc");
  EXPECT_EQ(name_find_callable(p, &index, NF_CALLABLE, true), 1);
  EXPECT_EQ(index, static_cast<uint32_t>(proc_));
  LStrLine missing("missing");
  EXPECT_EQ(name_find_callable(missing, &index, NF_CALLABLE, false), 0);
  EXPECT_EQ(held.command, before.command);
  EXPECT_EQ(held.prev_command, before.prev_command);
  // A global is not callable under the callable mask.
  LStrLine var("counter");
  EXPECT_EQ(name_find_callable(var, &index, NF_CALLABLE, false), 0);
}

TEST_F(NamesBi, GlobalVariablesByIndex) {
  const int32_t slot = var_alloc_global();
  const int32_t local = insert("tab-width", NF_BUFLOCAL, static_cast<uint32_t>(slot));
  RUN_STEPS({
      {"get_global_var", {s(counter_)}, 0, 0, "", "5"},
      {"set_global_var", {s(counter_), "hello there"}, 0, 0, "", ""},
      {"get_global_var", {s(counter_)}, 0, 0, "", "hello there"},
      {"set_global_var", {s(local), "8"}, 0, 0, "", ""},
      {"get_global_var", {s(local)}, 0, 0, "", "8"},
      {"get_global_var", {s(proc_)}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"set_global_var", {"9999", "x"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"get_global_var", {"x"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
  });
  EXPECT_EQ(var_slot_value(var_slot_of(static_cast<uint32_t>(counter_))), "hello there");
}

TEST_F(NamesBi, StoredWordsThroughBothSlots) {
  RUN_STEPS({
      {"name_data", {"0"}, 0, 0, "", "0"},
      {"name_data", {"9999"}, 0, 0, "", "0"},
      {"name_data", {s(proc_)}, 0, 0, "", "0"},
      {"set_name_data", {s(proc_), "42"}, 0, 0, "", ""},
      {"name_data_x", {s(proc_)}, 0, 0, "", "42"},
      // The value is read as a decimal number: fraction cut, exponent applied.
      {"set_name_data_x", {s(proc_), "12.9"}, 0, 0, "", ""},
      {"name_data", {s(proc_)}, 0, 0, "", "12"},
      {"set_name_data", {s(proc_), "1E3"}, 0, 0, "", ""},
      {"name_data", {s(proc_)}, 0, 0, "", "1000"},
      // Shown unsigned.
      {"set_name_data", {s(proc_), "-1"}, 0, 0, "", ""},
      {"name_data", {s(proc_)}, 0, 0, "", "4294967295"},
      {"set_name_data", {s(counter_), "3"}, 0, 0, "", ""},
      {"name_data", {s(counter_)}, 0, 0, "", "3"},
      // Entries whose word describes their data, and invalid indexes.
      {"set_name_data", {s(keys_), "1"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"set_name_data", {s(module_), "1"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"set_name_data_x", {"9999", "1"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"set_name_data", {s(proc_), "abc"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
  });
}

TEST_F(NamesBi, RenamesTablesAndPurges) {
  RUN_STEPS({
      {"name_op_ext32", {s(keys_), "Other_Keys"}, 0, 0, "", s(keys_)},
      {"name_info", {s(keys_)}, 0, 0, "", "table info"},
      {"name_op_ext32", {s(keys_), "third-keys", "new info"}, 0, 0, "", s(keys_)},
      {"name_info", {s(keys_)}, 0, 0, "", "new info"},
      {"name_op_ext32", {s(proc_), "x"}, ERR_INVALID_NAME_INDEX, ERR_INVALID_NAME_INDEX, "-3029", ""},
      {"name_op_ext32", {s(keys_), ""}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"name_op_ext32", {s(keys_)}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"purge_unused_names", {}, 0, 0, "", ""},
  });
  EXPECT_TRUE(name_equal(name_text(static_cast<uint32_t>(keys_)), "third-keys", 0));
  // Unused callables without code go; those with code and the tables stay.
  EXPECT_EQ(name_is_valid(static_cast<uint32_t>(no_code_)), 0u);
  EXPECT_NE(name_is_valid(static_cast<uint32_t>(keys_)), 0u);
  EXPECT_EQ(call("purge_unused_names", {"ignored"}).raised, 0);
}

}  // namespace
