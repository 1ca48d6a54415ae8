// Shared fixture of the names, module and state tests: a fresh names table,
// cache and state reader per test, and a private temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/state.h"
#include "tests/temp_dir.h"

struct MacroFilesTest : ::testing::Test {
  zvxtest::TempDir tmp_{"zvx-macro"};
  std::filesystem::path dir;

  void SetUp() override {
    dir = tmp_.path();
    ASSERT_EQ(name_pool_init(), 0);
    var_plain_slots_reset();
    var_hooks() = VarHooks{};
    state_var_hooks() = StateVarHooks{};
    cache_set_limit(-1);
    state_reset_read_flag();
    state_file_ops_reset();
    mod_pending().clear();
    mod_set_extensions(".e", ".ex");
  }
  void TearDown() override {
    EXPECT_TRUE(name_table_check());
    name_pool_init();
  }

  std::string path(const std::string& leaf) const { return (dir / leaf).string(); }

  static void write_file(const std::string& p, const std::vector<uint8_t>& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  static std::vector<uint8_t> read_file(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  }

  // A procedure body: header {locals, params, by-value mask} then `ret`.
  static uint16_t add_proc(ModuleBuilder& m, uint8_t params = 0) {
    uint16_t at = uint16_t(m.here());
    m.code.insert(m.code.end(), {0, params, 0, 0, 3 /* return */});
    return at;
  }

  // A module with a command, a procedure with main/init entries, a global
  // with a value, a buffer-local variable, a private variable, a reference
  // to an outside procedure and two key bindings.
  static ModuleBuilder sample_module() {
    ModuleBuilder m;
    uint16_t hello = add_proc(m);
    uint16_t greet = add_proc(m, 1);
    m.main_entry = hello;
    m.init_entry = greet;
    m.add_link(LK_PROC, m.add_string("say_hello"), 0, hello);
    m.add_link(LK_COMMAND_INFO, m.add_string("Greet"), m.add_constant("Say hello"), greet);
    m.add_link(LK_GLOBAL_INIT, m.add_string("counter"), m.add_string("5"));
    m.add_link(LK_BUFLOCAL_INIT, m.add_string("tab-width"), m.add_string("8"));
    m.add_link(LK_PRIVATE_VAR_INIT, m.add_string("secret"), m.add_string("42"));
    m.add_link(LK_EXTERN, m.add_string("elsewhere"));
    m.add_link(LK_PRIVATE_PROC, m.add_string("inner"), 0, hello);
    m.add_link(LK_BINDING, m.add_string("default-keys"), 262, greet);
    m.add_link(LK_TABLE, m.add_constant("mode-keys"));
    ModuleBuilder::Table t;
    t.name = m.add_string("c-keys");
    t.form.assign(555, 0);
    t.form[0] = m.add_string("default-keys");
    t.form[1 + 19] = m.add_string("greet");
    t.form[1 + 20] = m.add_string("not-yet-defined");
    t.form[1 + 21] = m.add_string("sub:keys");
    m.tables.push_back(t);
    return m;
  }
};
