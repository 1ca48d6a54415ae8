#include "macro_fixture.h"

#include "base/le.h"

namespace {

using ModuleTest = MacroFilesTest;

TEST_F(ModuleTest, LinkResolvesEveryKind) {
  write_file(path("a.ex"), sample_module().file());
  uint32_t index = 0;
  bool module_file = false;
  ASSERT_EQ(mod_load_file(path("a.ex"), &index, &module_file, true), 0);
  EXPECT_TRUE(module_file);
  EXPECT_EQ(name_text(index), "a.ex");
  EXPECT_EQ(mod_find("a.ex"), int32_t(index));

  uint32_t hello = name_find("say-hello", NF_CALLABLE);
  uint32_t greet = name_find("GREET", NF_CALLABLE);
  ASSERT_NE(hello, 0u);
  ASSERT_NE(greet, 0u);
  EXPECT_EQ(name_is_valid(greet) & (NF_COMMAND | NF_INFO), uint32_t(NF_COMMAND | NF_INFO));
  EXPECT_EQ(name_info(greet), "Say hello");
  EXPECT_EQ(name_entry(hello)->data >> 16, index);                       // defined in this module
  EXPECT_EQ(name_entry(name_find("elsewhere", NF_CALLABLE))->data, 0u);  // module 0: not defined

  uint32_t counter = name_find("counter", NF_GLOBAL);
  EXPECT_EQ(var_slot_value(var_slot_of(counter)), "5");
  uint32_t tabs = name_find("tab_width", NF_BUFLOCAL);
  EXPECT_EQ(name_info(tabs), "8");
  EXPECT_EQ(var_slot_value(var_slot_of(tabs)), "8");

  // The binding word of default-keys index 262 names this module's code.
  uint32_t keys = name_find("default-keys", NF_EVENT_TABLE);
  ASSERT_EQ(name_load_data(keys), 0);
  uint16_t greet_offset = uint16_t(name_entry(greet)->data & 0xFFFF);
  EXPECT_EQ(le::get_u32(name_block(keys) + 4 + 4 * 262), (index << 16) | greet_offset);
  EXPECT_NE(name_find("mode-keys", NF_EVENT_TABLE), 0u);

  // The module-form table: parent, a bound command, a new command without
  // code, and a sub-table named with ":".
  uint32_t ckeys = name_find("c-keys", NF_EVENT_TABLE);
  ASSERT_EQ(name_load_data(ckeys), 0);
  const uint8_t* b = name_block(ckeys);
  EXPECT_EQ(le::get_u32(b), keys);
  EXPECT_EQ(le::get_u32(b + 4 + 4 * 19), greet);
  uint32_t created = name_find("not-yet-defined", NF_COMMAND);
  EXPECT_EQ(le::get_u32(b + 4 + 4 * 20), created);
  EXPECT_EQ(name_entry(created)->data, 0u);
  EXPECT_EQ(le::get_u32(b + 4 + 4 * 21), name_find("sub:keys", NF_EVENT_TABLE));

  EXPECT_EQ(mod_load_file(path("a.ex"), &index, &module_file, true), ERR_MODULE_ALREADY_LOADED);
}

TEST_F(ModuleTest, LastLinkedDefinitionWinsAndUnloadLeavesReferences) {
  ModuleBuilder one, two, user;
  uint16_t c1 = add_proc(one), c2 = add_proc(two);
  one.add_link(LK_COMMAND, one.add_string("shared"), 0, c1);
  two.code.push_back(0);  // shift the code so the offsets differ
  c2 = add_proc(two);
  two.add_link(LK_COMMAND, two.add_string("shared"), 0, c2);
  user.add_link(LK_EXTERN, user.add_string("shared"));
  write_file(path("one.ex"), one.file());
  write_file(path("two.ex"), two.file());
  write_file(path("user.ex"), user.file());
  uint32_t i1, i2, iu;
  bool mf;
  ASSERT_EQ(mod_load_file(path("one.ex"), &i1, &mf, true), 0);
  ASSERT_EQ(mod_load_file(path("two.ex"), &i2, &mf, true), 0);
  ASSERT_EQ(mod_load_file(path("user.ex"), &iu, &mf, true), 0);
  uint32_t shared = name_find("shared", NF_CALLABLE);
  EXPECT_EQ(name_entry(shared)->data, (i2 << 16) | c2);
  EXPECT_TRUE(mod_link_refers(shared));

  ASSERT_EQ(mod_unload(i2, false, {}), 0);
  EXPECT_EQ(name_is_valid(i2), 0u);
  EXPECT_EQ(name_entry(shared)->data, 0u);  // module 0 until defined again
  name_delete(shared, false);               // still referenced: stays
  EXPECT_NE(name_is_valid(shared), 0u);
}

TEST_F(ModuleTest, ReplacementQueuedOnceAndUnloadRefusedWhileRunning) {
  ModuleBuilder m;
  add_proc(m);
  write_file(path("m.ex"), m.file());
  uint32_t i;
  bool mf;
  ASSERT_EQ(mod_load_file(path("m.ex"), &i, &mf, false), 0);
  ASSERT_EQ(mod_unload(i, true, "first.ex"), 0);
  ASSERT_EQ(mod_unload(i, true, "second.ex"), 0);
  ASSERT_EQ(mod_pending().size(), 1u);
  EXPECT_EQ(mod_pending()[0].file_name, "first.ex");
  EXPECT_EQ(mod_unload(i, false, {}), ERR_CANT_REMOVE_MODULE);
  mod_pending().clear();
  static uint32_t running;
  running = i;
  cache_module_in_use = [](uint32_t x) { return x == running; };
  EXPECT_EQ(mod_unload(i, false, {}), ERR_CANT_REMOVE_MODULE);
  cache_module_in_use = nullptr;
  EXPECT_EQ(mod_unload(i, false, {}), 0);
}

// Every header field, link and string offset is checked before linking.
TEST_F(ModuleTest, VerifyRefusesHostileImages) {
  ModuleBuilder m = sample_module();
  std::vector<uint8_t> good = m.image();
  ASSERT_EQ(module_verify(good, m.strings), 0);
  uint32_t links = le::get_u16(good.data() + MH_LINKS);
  struct Case {
    const char* what;
    uint32_t offset;
    uint16_t value;
  } cases[] = {
      {"size", MH_SIZE, uint16_t(good.size() + 1)},
      {"link table past the end", MH_LINKS, uint16_t(good.size() - 8)},
      {"last link past the end", MH_LAST_LINK, 4000},
      {"main entry past the end", MH_MAIN, uint16_t(good.size() - 2)},
      {"init entry in the header", MH_INIT, 4},
      {"constants past the end", MH_CONSTANTS, uint16_t(good.size() + 10)},
      {"unknown link kind", links + 3 * 8 + 2, 99},
      {"link name past the strings", links + 3 * 8, 60000},
      {"code offset past the end", links + 3 * 8 + 6, 65000},
      {"binding index past the table", links + 10 * 8 + 4, 554},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    le::put_u16(bad.data() + c.offset, c.value);
    EXPECT_EQ(module_verify(bad, m.strings), ERR_INCORRECT_VERSION) << c.what;
  }
  EXPECT_EQ(module_verify(std::span(good).first(20), m.strings), ERR_INCORRECT_VERSION);
}

TEST_F(ModuleTest, CompileRunsWhenAndOnlyWhenSourceIsNewer) {
  static std::vector<std::string> runs;
  runs.clear();
  mod_run_compiler = [](const std::string& line) {
    runs.push_back(line);
    return 0;
  };
  std::string src = path("x.e"), out = path("x.ex");
  write_file(src, {'a'});
  auto set_time = [](const std::string& p, time_t t) {
    std::filesystem::last_write_time(
        p, std::filesystem::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(t)));
  };
  // Missing compiled file: compile.
  EXPECT_EQ(mod_compile_if_needed(src, false, std::nullopt), 0);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], "zozu -q -w " + src);
  // Compiled file newer: nothing.
  write_file(out, {'b'});
  set_time(src, 1000000);
  set_time(out, 2000000);
  EXPECT_EQ(mod_compile_if_needed(src, false, std::nullopt), 0);
  EXPECT_EQ(runs.size(), 1u);
  // Same time: nothing (only an earlier compiled file is outdated).
  set_time(out, 1000000);
  EXPECT_EQ(mod_compile_if_needed(out, false, std::string_view(".e")), 0);
  EXPECT_EQ(runs.size(), 1u);
  // Source newer: compile; forced: compile.
  set_time(src, 3000000);
  EXPECT_EQ(mod_compile_if_needed(out, false, std::string_view(".e")), 0);
  EXPECT_EQ(mod_compile_if_needed(src, true, std::nullopt), 0);
  EXPECT_EQ(runs.size(), 3u);
  // A compiled name is never compiled; a missing source gives its error.
  EXPECT_EQ(mod_compile_if_needed(out, true, std::nullopt), 0);
  EXPECT_EQ(mod_compile_if_needed(path("none.e"), true, std::nullopt), ERR_FILE_NOT_FOUND);
  EXPECT_EQ(runs.size(), 3u);
  // A blank in the name is quoted.
  write_file(path("with blank.e"), {'c'});
  mod_compile_if_needed(path("with blank.e"), false, std::nullopt);
  EXPECT_EQ(runs.back(), "zozu -q -w \"" + path("with blank.e") + "\"");
  mod_run_compiler = mod_run_compiler_default;
}

}  // namespace

namespace {

TEST_F(ModuleTest, PurgeDeletesWhatNoLoadedModuleNeeds) {
  NameEntry rc;
  rc.flags = NF_GLOBAL;
  rc.data = 1;
  ASSERT_EQ(name_insert("rc", rc), 1);
  write_file(path("a.ex"), sample_module().file());
  uint32_t index;
  bool mf;
  ASSERT_EQ(mod_load_file(path("a.ex"), &index, &mf, false), 0);
  uint32_t orphan = uint32_t(name_create("orphan", NF_COMMAND, std::nullopt));
  uint32_t unused = uint32_t(var_create_global("unused-var", std::string_view("1")));
  uint32_t later = name_find("not-yet-defined", NF_COMMAND);  // made by the module-form table
  uint32_t ckeys = name_find("c-keys", NF_EVENT_TABLE);
  ASSERT_EQ(name_load_data(ckeys), 0);
  ASSERT_EQ(le::get_u32(name_block(ckeys) + 4 + 4 * 20), later);

  EXPECT_EQ(name_purge_unused(), 3);
  EXPECT_EQ(name_is_valid(orphan), 0u);
  EXPECT_EQ(name_is_valid(unused), 0u);
  EXPECT_EQ(name_is_valid(later), 0u);
  for (const char* kept : {"rc", "counter", "tab-width", "elsewhere", "say-hello", "greet"})
    EXPECT_NE(name_find(kept, NF_CALLABLE | NF_GLOBAL | NF_BUFLOCAL), 0u) << kept;
  EXPECT_EQ(le::get_u32(name_block(ckeys) + 4 + 4 * 20), 0u);  // binding to a deleted command cleared
  EXPECT_EQ(le::get_u32(name_block(ckeys) + 4 + 4 * 19), name_find("greet", NF_CALLABLE));
  EXPECT_FALSE(name_is_valid(1) & NF_PURGE_MARK);
}

TEST_F(ModuleTest, RenameInPlaceOrByExchangeKeepsTheIndex) {
  uint32_t t = uint32_t(name_create("old-keys", NF_EVENT_TABLE, std::nullopt));
  name_block(t)[40] = 9;
  ASSERT_EQ(name_rename("new-keys", t, std::nullopt, false), 0);
  EXPECT_EQ(name_find("new-keys", NF_EVENT_TABLE), t);
  EXPECT_EQ(name_find("old-keys", NF_EVENT_TABLE), 0u);

  name_create("spacer", NF_COMMAND, std::nullopt);
  int live_before = 0;
  for (int i = 1; i < name_count(); ++i) live_before += name_is_valid(uint32_t(i)) != 0;
  ASSERT_EQ(name_rename("third-keys", t, std::string_view("info"), true), 0);
  EXPECT_EQ(name_find("third-keys", NF_EVENT_TABLE), t);
  EXPECT_EQ(name_info(t), "info");
  ASSERT_EQ(name_load_data(t), 0);
  EXPECT_EQ(name_block(t)[40], 9);  // the contents stayed with the index
  int live_after = 0;
  for (int i = 1; i < name_count(); ++i) live_after += name_is_valid(uint32_t(i)) != 0;
  EXPECT_EQ(live_after, live_before);
  EXPECT_EQ(name_rename("x", name_find("spacer", NF_COMMAND), std::nullopt, false), ERR_INVALID_ARGUMENT);
}

}  // namespace

namespace {

struct EntryImage {
  uint32_t flags, data;
  std::string name, info;
  bool operator==(const EntryImage&) const = default;
};
std::vector<EntryImage> live_entries() {
  std::vector<EntryImage> out;
  for (int i = 1; i < name_count(); ++i)
    if (NameEntry* e = name_entry(uint32_t(i)))
      out.push_back({e->flags, e->data, std::string(name_text(uint32_t(i))), std::string(name_info(uint32_t(i)))});
  return out;
}

// A link that fails half way (the globals run out) leaves the names table as
// it was: the command it redefined points at its old module again, the
// binding it overwrote comes back, and nothing it created stays.
TEST_F(ModuleTest, FailedLinkLeavesTheTableAsItWas) {
  ModuleBuilder first;
  uint16_t c1 = add_proc(first);
  first.add_link(LK_COMMAND_INFO, first.add_string("shared"), first.add_constant("old info"), c1);
  first.add_link(LK_BINDING, first.add_string("default-keys"), 262, c1);
  write_file(path("first.ex"), first.file());
  uint32_t i1;
  bool mf;
  ASSERT_EQ(mod_load_file(path("first.ex"), &i1, &mf, true), 0);

  // Use up the globals but one.
  std::vector<int32_t> held;
  for (int32_t s; (s = var_alloc_global()) > 0;) held.push_back(s);
  var_free_slot(held.back());

  ModuleBuilder second;
  uint16_t c2 = add_proc(second);
  second.add_link(LK_COMMAND, second.add_string("shared"), 0, c2);
  second.add_link(LK_BINDING, second.add_string("default-keys"), 262, c2);
  second.add_link(LK_PROC, second.add_string("brand-new"), 0, c2);
  second.add_link(LK_GLOBAL, second.add_string("g1"));
  second.add_link(LK_GLOBAL, second.add_string("g2"));  // no slot left
  write_file(path("second.ex"), second.file());

  std::vector<EntryImage> before = live_entries();
  uint32_t keys = name_find("default-keys", NF_EVENT_TABLE);
  ASSERT_EQ(name_load_data(keys), 0);
  uint32_t word = le::get_u32(name_block(keys) + 4 + 4 * 262);
  uint32_t i2;
  EXPECT_EQ(mod_load_file(path("second.ex"), &i2, &mf, true), ERR_OUT_OF_STRING_SPACE);
  EXPECT_EQ(live_entries(), before);
  ASSERT_EQ(name_load_data(keys), 0);
  EXPECT_EQ(le::get_u32(name_block(keys) + 4 + 4 * 262), word);
  EXPECT_EQ(mod_find("second.ex"), ERR_FILE_NOT_FOUND);
  EXPECT_GT(var_alloc_global(), 0);  // the slot g1 took is free again
  for (int32_t s : held) var_free_slot(s);
}

}  // namespace
