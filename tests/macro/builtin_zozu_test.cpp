// Macros assembled by zozu that loop over these built-ins as real macros
// would: walking files until the empty result, enumerating environment
// names, writing and reading a file through raw handles, and listing
// names; then the disassembly names every built-in again.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "macro/bi_misc.h"
#include "macro/file_match.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "tests/macro/builtin_fixture.h"

namespace {

const std::string kZozu = std::string(ZVX_BINARY_DIR) + "/tools/zozu/zozu";

const char* kSource = R"(
global files = ""
global count = "0"
global names = ""
global raw = ""
global got = ""

; walk(spec): every match of spec, each followed by ';'.
proc walk(spec)
  var f
  push_var $spec
  push_const "1"
  file_match
  assign $f
more:
  push_var $f
  push_const ""
  str_eq
  jump_if_true @done
  push_var $files
  push_var $f
  concat
  push_const ";"
  concat
  assign $files
  incr $count
  push_var $spec
  push_const "0"
  file_match
  assign $f
  jump @more
done:
  return
end

; env_names(prefix): sets two variables, then lists the names that match.
proc env_names(prefix)
  var n
  push_const "ZVXZ_B"
  push_const "2"
  set_env 2
  push_const "ZVXZ_A"
  push_const "1"
  set_env 2
  push_var $prefix
  push_const "1"
  get_env_name
  assign $n
next:
  push_var $n
  push_const ""
  str_eq
  jump_if_true @finish
  push_var $names
  push_var $n
  concat
  push_const ","
  concat
  assign $names
  push_var $prefix
  push_const "0"
  get_env_name
  assign $n
  jump @next
finish:
  return
end

; raw_io(out, in): writes a text through one handle and reads four bytes
; of it through the other.
proc raw_io(out, in)
  push_var $out
  push_const "abcdef"
  file_write
  pop
  push_var $in
  push_const "4"
  file_read $raw
  assign $got
  return
end

; list(): the names of procedures beginning with "wa", through name_match.
proc list()
  var i
  push_const "wa"
  push_const "1"
  push_const "1"
  name_match 3
  assign $i
  push_var $i
  name_name
  assign $names
  return
end
)";

class BuiltinZozu : public bitest::BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    if (::access(kZozu.c_str(), X_OK) != 0) GTEST_SKIP() << "zozu not built";
    ASSERT_EQ(name_pool_init(), 0);
    names_attach_vm();
    file_match_close_all();
    ASSERT_EQ(env_copy(), ERR_OK);
    bitest::write_file(dir_ / "m.e", kSource);
    const std::string cmd = kZozu + " -q -w " + (dir_ / "m.e") + " 2>" + (dir_ / "err.txt");
    ASSERT_EQ(std::system(cmd.c_str()), 0) << bitest::read_file(dir_ / "err.txt");
    uint32_t index = 0;
    bool module_file = false;
    ASSERT_EQ(mod_load_file(dir_ / "m.ex", &index, &module_file, true), 0);
  }
  void TearDown() override {
    file_match_close_all();
    env_drop_copy();
    BuiltinTest::TearDown();
  }
  ErrorCode run_proc(const char* name, std::vector<std::string_view> args) {
    return vm_call_index(static_cast<int32_t>(name_find(name, NF_CALLABLE)), args);
  }
  std::string global(const char* name) { return var_slot_value(var_slot_of(name_find(name, NF_GLOBAL))); }
  bitest::ScratchDir dir_;
};

TEST_F(BuiltinZozu, MacrosLoopOverTheBuiltIns) {
  ::mkdir((dir_ / "t").c_str(), 0755);
  ::mkdir((dir_ / "t/sub").c_str(), 0755);
  for (const char* leaf : {"t/one.txt", "t/two.txt", "t/sub/three.txt", "t/skip.log"})
    bitest::write_file(dir_ / leaf, "");
  const std::string spec = "+T " + (dir_ / "t/*.txt");
  ASSERT_EQ(run_proc("walk", {spec}), ERR_OK);
  EXPECT_EQ(global("count"), "3");
  std::string files = global("files");
  std::vector<std::string> got;
  for (size_t at = 0, semi; (semi = files.find(';', at)) != std::string::npos; at = semi + 1)
    got.push_back(files.substr(at, semi - at));
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{dir_ / "t/one.txt", dir_ / "t/sub/three.txt", dir_ / "t/two.txt"}));

  ASSERT_EQ(run_proc("env_names", {"ZVXZ"}), ERR_OK);
  EXPECT_EQ(global("names"), "ZVXZ_B,ZVXZ_A,");
  EXPECT_STREQ(env_get("ZVXZ_A"), "1");

  bitest::write_file(dir_ / "raw.bin", "");
  const int out = ::open((dir_ / "raw.bin").c_str(), O_WRONLY | O_CLOEXEC);
  const int in = ::open((dir_ / "raw.bin").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(out, 0);
  ASSERT_GE(in, 0);
  const std::string o = std::to_string(out), i = std::to_string(in);
  ASSERT_EQ(run_proc("raw_io", {o, i}), ERR_OK);
  ::close(out);
  ::close(in);
  EXPECT_EQ(global("got"), "4");
  EXPECT_EQ(global("raw"), "abcd");
  EXPECT_EQ(bitest::read_file(dir_ / "raw.bin"), "abcdef");

  ASSERT_EQ(run_proc("list", {}), ERR_OK);
  EXPECT_EQ(global("names"), "walk");

  // The disassembly names the built-ins and their operands again.
  const std::string cmd = kZozu + " -d -o " + (dir_ / "m.txt") + " " + (dir_ / "m.ex");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string text = bitest::read_file(dir_ / "m.txt");
  for (const char* want : {"file_match", "set_env 2", "get_env_name", "file_read $", "name_match 3", "name_name"})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
}

}  // namespace
