// Start-up of the runtime from a module file read in place of the state
// file: names "rc", "key-not-defined" and "default-keys", and the entry
// procedures scheduled and run.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "tests/macro/vm_fixture.h"
#include "tests/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class VmInit : public vmtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    dir_ = tmp_.path();
  }
  void TearDown() override { VmTest::TearDown(); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  static std::string global(std::string_view name) {
    const uint32_t i = name_find(name, NF_GLOBAL);
    return i ? value(name_entry(i)->data) : "<none>";
  }
  zvxtest::TempDir tmp_{"zvx-vminit"};
  fs::path dir_;
};

void op(ModuleBuilder& m, std::string_view mnemonic, std::initializer_list<uint16_t> u16s) {
  auto r = opcode_find(mnemonic);
  if (r->ext) m.code.push_back(kExtPrefix);
  m.code.push_back(r->slot);
  for (uint16_t v : u16s) {
    m.code.push_back(static_cast<uint8_t>(v));
    m.code.push_back(static_cast<uint8_t>(v >> 8));
  }
}

TEST_F(VmInit, ModuleFileBootRunsMainAndInitEntries) {
  ModuleBuilder m;
  const uint16_t got = m.add_link(LK_GLOBAL, m.add_string("got-arg"));
  const uint16_t inited = m.add_link(LK_GLOBAL, m.add_string("inited"));
  m.main_entry = static_cast<uint16_t>(m.here());
  m.code.insert(m.code.end(), {0, 1, 1, 0});  // no locals, one by-value parameter
  op(m, "push_var", {9000});
  op(m, "assign", {got});
  op(m, "return", {});
  m.init_entry = static_cast<uint16_t>(m.here());
  m.code.insert(m.code.end(), {0, 0, 0, 0});
  op(m, "push_const", {m.add_constant("yes")});
  op(m, "assign", {inited});
  op(m, "return", {});
  const std::string path = write("boot.ex", m.file());

  std::string arg = "file.txt";
  ASSERT_EQ(vm_init(&arg, path, 0), ERR_OK);
  EXPECT_TRUE(arg.empty());
  EXPECT_EQ(name_find("rc", NF_GLOBAL), 1u);
  EXPECT_EQ(name_entry(1)->data, 1u);
  EXPECT_GT(vm_key_not_defined_index, 0);
  EXPECT_EQ(name_text(static_cast<uint32_t>(vm_key_not_defined_index)), "key-not-defined");
  EXPECT_EQ(vm_default_keys_index, static_cast<int32_t>(name_find("default-keys", NF_EVENT_TABLE)));
  EXPECT_GT(vm.frame_depth, vm.target_depth);  // scheduled, not yet run
  vm_run();
  EXPECT_EQ(global("got-arg"), "file.txt");
  EXPECT_EQ(global("inited"), "yes");
  EXPECT_EQ(vm.frame_depth, vm.target_depth);
}

// A module whose init entry sets the global "version" to `v`.
std::vector<uint8_t> versioned_module(const char* v) {
  ModuleBuilder m;
  const uint16_t g = m.add_link(LK_GLOBAL, m.add_string("version"));
  m.init_entry = static_cast<uint16_t>(m.here());
  m.code.insert(m.code.end(), {0, 0, 0, 0});
  op(m, "push_const", {m.add_constant(v)});
  op(m, "assign", {g});
  op(m, "return", {});
  return m.file();
}

TEST_F(VmInit, ReloadedModuleIsReplacedWhenTheRunEnds) {
  ASSERT_EQ(name_pool_init(), 0);
  names_attach_vm();
  const std::string a = write("a.ex", versioned_module("old"));
  const std::string b = write("b.ex", versioned_module("new"));
  uint32_t ia = 0;
  ASSERT_EQ(mod_load_and_init(a, &ia, std::nullopt), 0);
  EXPECT_EQ(global("version"), "old");
  ASSERT_EQ(mod_unload(ia, true, b), 0);
  EXPECT_EQ(global("version"), "old");  // only queued
  bc::ImageBuilder any;
  const uint16_t p = any.proc(0, 0, 0);
  any.op("return");
  ASSERT_EQ(run(any, p), ERR_OK);
  EXPECT_TRUE(mod_pending().empty());
  EXPECT_EQ(global("version"), "new");
  EXPECT_LT(mod_find("a.ex"), 0);
  EXPECT_GT(mod_find("b.ex"), 0);
}

// A module run (a macro file run by name) unloads its module when the run
// ends, whether it returned or stopped at an error.
TEST_F(VmInit, AModuleRunUnloadsItsModuleWhenItEnds) {
  ASSERT_EQ(name_pool_init(), 0);
  names_attach_vm();
  ASSERT_EQ(vm_push_catch(), ERR_OK);  // context 0, which start-up leaves open
  struct Case {
    const char* file;
    bool stops;  // the main entry runs into an illegal opcode
  };
  for (const Case& c : {Case{"returns.ex", false}, Case{"stops.ex", true}}) {
    SCOPED_TRACE(c.file);
    ModuleBuilder m;
    const uint16_t got = m.add_link(LK_GLOBAL, m.add_string("got-arg"));
    m.main_entry = static_cast<uint16_t>(m.here());
    m.code.insert(m.code.end(), {0, 1, 1, 0});  // no locals, one by-value parameter
    op(m, "push_var", {9000});
    op(m, "assign", {got});
    if (c.stops) m.code.push_back(109);
    op(m, "return", {});
    const std::string path = write(c.file, m.file());
    uint32_t index = 0;
    bool module_file = false;
    ASSERT_EQ(mod_load_file(path, &index, &module_file, false), 0);
    ASSERT_GT(mod_find(c.file), 0);
    const int32_t depth = vm_catch.depth;
    ASSERT_EQ(mod_run_init("hello", static_cast<int32_t>(index), false), ERR_OK);
    vm_run();
    EXPECT_EQ(global("got-arg"), "hello");
    EXPECT_EQ(mod_find(c.file), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(vm_catch.depth, depth);
    EXPECT_EQ(vm_catch.last_stop, c.stops ? ERR_ILLEGAL_OPCODE : 0);
  }
}

TEST_F(VmInit, MissingStateFileIsReported) {
  std::string arg;
  EXPECT_EQ(vm_init(&arg, (dir_ / "absent.stu").string(), 0), ERR_FILE_NOT_FOUND);
}

}  // namespace
