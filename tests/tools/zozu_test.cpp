// zozu end to end: the tool is run as the editor runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/state.h"
#include "tests/macro/opcode_setup.h"
#include "tests/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const std::string kZozu = std::string(ZVX_BINARY_DIR) + "/tools/zozu/zozu";
const std::string kSample = std::string(ZVX_TEST_DATA_DIR) + "/tools/zozu/sample.e";

struct ToolRun {
  int status;
  std::string err, out;
};

struct ZozuTest : ::testing::Test {
  zvxtest::TempDir tmp_{"zvx-zozu"};
  fs::path dir;
  void SetUp() override {
    dir = tmp_.path();
    ASSERT_EQ(name_pool_init(), 0);
    state_reset_read_flag();
    cache_set_limit(-1);
  }
  void TearDown() override { name_pool_init(); }
  std::string path(const std::string& leaf) const { return (dir / leaf).string(); }
  static std::string read(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static void write(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
  ToolRun zozu(const std::string& args) {
    std::string cmd = kZozu + " " + args + " >" + path("out.txt") + " 2>" + path("err.txt");
    int st = std::system(cmd.c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, read(path("err.txt")), read(path("out.txt"))};
  }
};

TEST_F(ZozuTest, AssembleDisassembleAssembleGivesIdenticalBytes) {
  fs::copy_file(kSample, path("sample.e"));
  ASSERT_EQ(zozu("-q -w " + path("sample.e")).status, 0);  // writes sample.ex next to the source
  std::string first = read(path("sample.ex"));
  ASSERT_FALSE(first.empty());
  ToolRun d = zozu("-d " + path("sample.ex"));
  ASSERT_EQ(d.status, 0) << d.err;
  // The disassembly names the instructions by mnemonic.
  for (const char* m : {"\n  num_lt\n", "\n  jump_if_false @L", "\n  call_link 1, shout\n", "\n  return_value\n",
                        "push_event_table table:\"mode-keys\"", "catch_value 1"})
    EXPECT_NE(d.out.find(m), std::string::npos) << m;
  write(path("again.e"), d.out);
  ASSERT_EQ(zozu("-q -o " + path("again.ex") + " " + path("again.e")).status, 0);
  EXPECT_EQ(read(path("again.ex")), first);
}

// Built-ins whose results go to variable operands, fixed or as a group,
// and the property opcodes with their byte operands: each assembles to the
// layout the table gives and reads back to the same source text.
TEST_F(ZozuTest, BuiltInOperandLayoutsRoundTrip) {
  const char* source =
      "proc p()\n"
      "  var a\n  var b\n  var c\n  var obj\n"
      "  get_line $a\n"
      "  push_const \"1\"\n"
      "  get_selinfo 1, [ $a $b $c ]\n"
      "  push_const \"3\"\n  push_const \"10\"\n"
      "  file_read $a\n  pop\n"
      "  push_const \"ls\"\n"
      "  start_process 1, $a, $b, $c\n  pop\n"
      "  push_var $obj\n"
      "  property_get_handle 29, 0\n"
      "  push_var $obj\n  push_const \"x\"\n"
      "  property_set_handle 29, 0\n"
      "  reflow_result $a, $b\n"
      "  return_value\n"
      "end\n";
  write(path("b.e"), source);
  ToolRun a = zozu("-q -w " + path("b.e"));
  ASSERT_EQ(a.status, 0) << a.err;
  const std::string first = read(path("b.ex"));
  ToolRun d = zozu("-d " + path("b.ex"));
  ASSERT_EQ(d.status, 0) << d.err;
  for (const char* m : {"  get_line $l0\n", "  get_selinfo 1, [ $l0 $l1 $l2 ]\n", "  file_read $l0\n",
                        "  start_process 1, $l0, $l1, $l2\n", "  property_get_handle 29, 0\n",
                        "  property_set_handle 29, 0\n", "  reflow_result $l0, $l1\n"})
    EXPECT_NE(d.out.find(m), std::string::npos) << m << d.out;
  write(path("again.e"), d.out);
  ASSERT_EQ(zozu("-q -o " + path("again.ex") + " " + path("again.e")).status, 0);
  EXPECT_EQ(read(path("again.ex")), first);
}

// A property opcode whose last operand is 0 takes one value more.
TEST_F(ZozuTest, PropertyOpcodesCountTheirHandleOrValue) {
  struct Case {
    const char* body;
    const char* message;  // nullptr: assembles
  } cases[] = {
      {"  property_get_handle 29, 0\n  return_value\n", "property_get_handle needs 1 values, the stack has 0"},
      {"  push_const \"7\"\n  property_get_handle 29, 1\n  pop\n  return_value\n", nullptr},
      {"  push_const \"x\"\n  property_set_handle 29, 0\n  return\n",
       "property_set_handle needs 2 values, the stack has 1"},
      {"  push_const \"7\"\n  push_const \"x\"\n  property_set_handle 29, 1\n  return_value\n", nullptr},
  };
  for (const Case& c : cases) {
    write(path("p.e"), std::string("proc p()\n") + c.body + "end\n");
    ToolRun r = zozu("-q -o " + path("p.ex") + " " + path("p.e"));
    if (!c.message) {
      EXPECT_EQ(r.status, 0) << c.body << r.err;
      continue;
    }
    EXPECT_EQ(r.status, 1) << c.body;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST_F(ZozuTest, PropertiesByNameAssembleAsTheirIds) {
  write(path("n.e"),
        "proc p()\n  property_get_current \"caption\"\n  property_set_current \"visible\"\n  return\nend\n");
  write(path("i.e"), "proc p()\n  property_get_current 29\n  property_set_current 11\n  return\nend\n");
  ASSERT_EQ(zozu("-q -o " + path("n.ex") + " " + path("n.e")).status, 0);
  ASSERT_EQ(zozu("-q -o " + path("i.ex") + " " + path("i.e")).status, 0);
  EXPECT_EQ(read(path("n.ex")), read(path("i.ex")));
  write(path("u.e"), "proc p()\n  property_get_current \"colour\"\n  return_value\nend\n");
  ToolRun r = zozu("-q -o " + path("u.ex") + " " + path("u.e"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown property \"colour\""), std::string::npos) << r.err;
}

TEST_F(ZozuTest, AssembledModuleLinks) {
  ASSERT_EQ(zozu("-q -o " + path("s.ex") + " " + kSample).status, 0);
  uint32_t index = 0;
  bool module_file = false;
  ASSERT_EQ(mod_load_file(path("s.ex"), &index, &module_file, true), 0);
  uint32_t greet = name_find("greet", NF_CALLABLE);
  ASSERT_NE(greet, 0u);
  EXPECT_EQ(name_is_valid(greet) & NF_COMMAND, uint32_t(NF_COMMAND));
  EXPECT_EQ(name_info(greet), "Say hello to someone");
  EXPECT_EQ(name_entry(greet)->data >> 16, index);
  EXPECT_EQ(var_slot_value(var_slot_of(name_find("counter", NF_GLOBAL))), "5");
  EXPECT_NE(name_find("tab-width", NF_BUFLOCAL), 0u);
  EXPECT_NE(name_find("not-yet-defined", NF_COMMAND), 0u);
  EXPECT_EQ(name_find("helper", NF_CALLABLE), 0u);  // private: no names entry
  EXPECT_TRUE(name_entry(index)->state & NS_HAS_MAIN);
  EXPECT_TRUE(name_entry(index)->state & NS_HAS_INIT);
}

TEST_F(ZozuTest, ErrorsNameFileAndLineAndWriteNothing) {
  struct Case {
    const char* source;
    const char* message;  // expected after "file:line: "
    int line;
  } cases[] = {
      {"proc p()\n  concat\n  return\nend\n", "concat needs 2 values, the stack has 0", 2},
      {"proc p()\n  push_const \"a\"\n  jump @nowhere\nend\n", "undefined label @nowhere", 3},
      {"proc p()\n  frobnicate\nend\n", "unknown instruction 'frobnicate'", 2},
      {"proc p()\n  push_var $missing\n  return\nend\n", "unknown variable $missing", 2},
      {"proc p()\n  illegal_x10\nend\n", "'illegal_x10' is not a usable opcode", 2},
      {"proc p()\n  substr 300\nend\n", "operand 300 out of range 0..255", 2},
      {"proc p()\n  push_const \"a\"\nend\n", "procedure p does not end with a return or jump", 1},
      {"proc p()\n  return\nend\nbind \"keys\" 600 p\n", "binding index must be 0..553", 4},
      {".main nothing\n", "procedure nothing is not defined here", 1},
      {"proc p()\n  push_const \"a\n", "unterminated string", 2},
      {"proc p()\n  push_const \"x\"\n  jump_if_false @l\n  push_const \"y\"\nl:\n  pop\n  return\nend\n",
       "stack depth at l differs between the paths that reach it", 5},
  };
  for (const Case& c : cases) {
    write(path("bad.e"), c.source);
    write(path("bad.ex"), "old");
    ToolRun r = zozu("-q -w " + path("bad.e"));
    EXPECT_EQ(r.status, 1) << c.source;
    std::string want = path("bad.e") + ":" + std::to_string(c.line) + ": " + c.message;
    EXPECT_NE(r.err.find(want), std::string::npos) << "want: " << want << "\ngot: " << r.err;
    EXPECT_EQ(read(path("bad.ex")), "old");  // nothing written on error
  }
  EXPECT_EQ(zozu("-q " + path("no-such.e")).status, 1);
  write(path("junk.ex"), "not a module");
  EXPECT_EQ(zozu("-d " + path("junk.ex")).status, 1);
}

TEST_F(ZozuTest, LinksModulesIntoAStateFileTheEditorReads) {
  ASSERT_EQ(zozu("-q -o " + path("s.ex") + " " + kSample).status, 0);
  ToolRun r = zozu("--state " + path("z.stu") + " " + path("s.ex"));
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(state_read(path("z.stu"), nullptr, nullptr), 0);
  EXPECT_EQ(name_text(1), "rc");
  EXPECT_EQ(name_is_valid(1), uint32_t(NF_GLOBAL));
  EXPECT_EQ(name_text(2), "key-not-defined");
  EXPECT_NE(name_find("default-keys", NF_EVENT_TABLE), 0u);
  uint32_t module = name_find("s.ex", NF_MODULE);
  ASSERT_NE(module, 0u);
  EXPECT_EQ(name_entry(name_find("greet", NF_COMMAND))->data >> 16, module);
  ASSERT_EQ(name_load_data(module), 0);
  EXPECT_TRUE(name_table_check());
}

// The editor's compile check runs the real tool exactly when the source is
// newer than the compiled module.
TEST_F(ZozuTest, RecompileHappensWhenAndOnlyWhenTheSourceIsNewer) {
  std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (fs::path(kZozu).parent_path().string() + ":" + old_path).c_str(), 1);
  fs::copy_file(kSample, path("m.e"));
  EXPECT_EQ(mod_compile_if_needed(path("m.e"), false, std::nullopt), 0);
  ASSERT_TRUE(fs::exists(path("m.ex")));
  // The times are set, not taken from the clock: two writes may fall in one
  // tick of the file system's clock.
  const auto t0 = fs::last_write_time(path("m.ex")) - std::chrono::hours(1);
  fs::last_write_time(path("m.ex"), t0);
  fs::last_write_time(path("m.e"), t0 - std::chrono::seconds(5));
  EXPECT_EQ(mod_compile_if_needed(path("m.ex"), false, std::string_view(".e")), 0);
  EXPECT_EQ(fs::last_write_time(path("m.ex")), t0);  // up to date: not run
  fs::last_write_time(path("m.e"), t0 + std::chrono::seconds(5));
  EXPECT_EQ(mod_compile_if_needed(path("m.e"), false, std::nullopt), 0);
  EXPECT_GT(fs::last_write_time(path("m.ex")), t0 + std::chrono::seconds(5)) << "written again, just now";
  // A source that does not assemble: the tool's exit code comes back.
  write(path("broken.e"), "proc p()\n  concat\nend\n");
  EXPECT_EQ(mod_compile_if_needed(path("broken.e"), false, std::nullopt), 1);
  EXPECT_FALSE(fs::exists(path("broken.ex")));
  setenv("PATH", old_path.c_str(), 1);
}

}  // namespace

#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/names_vm.h"

namespace {

const char* kLibSource = R"(
global shouted
proc shout(x)
  push_var $x
  assign $shouted
  push_const "done"
  return_value
end
)";

const char* kAppSource = R"(
.init start
global seen
global result
proc start(mode)
  case_jump_eq @isload, "L", $mode
  push_const "other"
  assign $seen
  jump @call
isload:
  push_const "load"
  assign $seen
call:
  push_var $mode
  call_link 1, shout
  assign $result
  call_link 0, twice
  return
end
private twice()
  push_const "x"
  call_link 1, shout
  pop
  return
end
)";

// Modules built by zozu run in the interpreter: branches, globals, calls
// through links to another module's procedure, private procedures, init
// entries run by the loader, and a call into an unloaded module fails.
TEST_F(ZozuTest, AssembledModulesRunInTheInterpreter) {
  ASSERT_EQ(vm_reset(), ERR_OK);
  install_macro_opcodes();
  ASSERT_EQ(name_pool_init(), 0);
  names_attach_vm();
  write(path("lib.e"), kLibSource);
  write(path("app.e"), kAppSource);
  ASSERT_EQ(zozu("-q -w " + path("lib.e") + " " + path("app.e")).status, 0);
  uint32_t lib = 0, app = 0;
  bool mf = false;
  ASSERT_EQ(mod_load_file(path("lib.ex"), &lib, &mf, true), 0);
  ASSERT_EQ(mod_load_and_init(path("app.ex"), &app, std::nullopt), 0);  // runs start("L")
  auto value = [](const char* name) { return var_slot_value(var_slot_of(name_find(name, NF_GLOBAL))); };
  EXPECT_EQ(value("seen"), "load");
  EXPECT_EQ(value("result"), "done");
  EXPECT_EQ(value("shouted"), "x");

  std::string_view args[] = {"Q"};
  ASSERT_EQ(vm_call_index(int32_t(name_find("start", NF_CALLABLE)), args), ERR_OK);
  EXPECT_EQ(value("seen"), "other");

  ASSERT_EQ(mod_unload(lib, false, {}), 0);
  vm_call_index(int32_t(name_find("start", NF_CALLABLE)), args);
  EXPECT_EQ(vm_catch.last_stop, ERR_PROCEDURE_NOT_FOUND);  // shout has no module now
  EXPECT_EQ(msg_arg.view(), "shout");
}

}  // namespace

#include "macro/stack.h"

namespace {

// The module and state opcodes from byte code: write the state, push an
// event table by link, compile and load a module from its source, unload it.
TEST_F(ZozuTest, ModuleAndStateOpcodesRunFromByteCode) {
  std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (fs::path(kZozu).parent_path().string() + ":" + old_path).c_str(), 1);
  ASSERT_EQ(vm_reset(), ERR_OK);
  install_macro_opcodes();
  ASSERT_EQ(name_pool_init(), 0);
  names_attach_vm();
  write(path("lib.e"), kLibSource);
  std::string app = std::string(R"(
global table
usetable "my-keys"
proc go()
  push_const ")") + path("w.stu") +
                    R"("
  write_state
  push_event_table table:"my-keys"
  assign $table
  push_const ")" + path("lib") +
                    R"("
  load_module 1
  return
end
proc unload()
  push_const "U"
  push_const ")" + path("lib.e") +
                    R"("
  load_module 2
  return
end
)";
  write(path("app.e"), app);
  ASSERT_EQ(zozu("-q " + path("app.e")).status, 0);
  uint32_t index = 0;
  bool mf = false;
  ASSERT_EQ(mod_load_file(path("app.ex"), &index, &mf, true), 0);
  ASSERT_EQ(vm_call_index(int32_t(name_find("go", NF_CALLABLE)), {}), ERR_OK);
  EXPECT_EQ(vm_catch.last_stop, 0);
  EXPECT_EQ(vm_rc_mirror, 0);
  EXPECT_EQ(var_slot_value(var_slot_of(name_find("table", NF_GLOBAL))),
            std::to_string(name_find("my-keys", NF_EVENT_TABLE)));
  EXPECT_TRUE(fs::exists(path("lib.ex")));  // compiled from its source
  EXPECT_GT(mod_find("lib.ex"), 0);
  EXPECT_NE(name_find("shout", NF_CALLABLE), 0u);
  EXPECT_TRUE(fs::exists(path("w.stu")));

  ASSERT_EQ(vm_call_index(int32_t(name_find("unload", NF_CALLABLE)), {}), ERR_OK);
  EXPECT_EQ(mod_find("lib.ex"), ERR_FILE_NOT_FOUND);

  // The written state reads back with both modules' names.
  ASSERT_EQ(vm_reset(), ERR_OK);
  install_macro_opcodes();
  ASSERT_EQ(name_pool_init(), 0);
  state_reset_read_flag();
  names_attach_vm();
  ASSERT_EQ(state_read(path("w.stu"), nullptr, nullptr), 0);
  EXPECT_GT(mod_find("app.ex"), 0);
  EXPECT_NE(name_find("my-keys", NF_EVENT_TABLE), 0u);
  state_var_hooks() = StateVarHooks{};
  setenv("PATH", old_path.c_str(), 1);
}

}  // namespace

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// An output that names a FIFO (or a device) is written into, never replaced
// by a renamed temporary file.
TEST_F(ZozuTest, OutputToAFifoWritesIntoItAndKeepsTheNode) {
  ASSERT_EQ(zozu("-q -o " + path("plain.ex") + " " + kSample).status, 0);
  const std::string want = read(path("plain.ex"));
  ASSERT_FALSE(want.empty());

  const std::string fifo = path("pipe.ex");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Open the read end first without blocking, so the writer never waits and a
  // FIFO replaced by a rename shows up as missing bytes rather than a hang.
  int rfd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(rfd, 0);
  ToolRun r = zozu("-q -o " + fifo + " " + kSample);
  std::string got;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(rfd, buf, sizeof buf)) > 0) got.append(buf, size_t(n));
  close(rfd);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(got, want);
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
