// zozu and keys: key names wherever the text form takes a binding index or a
// key text, the statements a recorded keyboard macro holds, and a recording
// made by typing that, assembled and run, types the same text again.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "macro/code_cache.h"
#include "macro/event_tables.h"
#include "macro/module.h"
#include "macro/names.h"
#include "tests/macro/key_fixture.h"

namespace {

const std::string kZozu = std::string(ZVX_BINARY_DIR) + "/tools/zozu/zozu";

std::string read_text(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
void write_text(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

struct ToolRun {
  int status;
  std::string err, out;
};

// Runs zozu as the editor does, in a directory of the test's own.
ToolRun run_zozu(const std::string& dir, const std::string& args) {
  const std::string cmd = kZozu + " " + args + " >" + dir + "/out.txt 2>" + dir + "/err.txt";
  const int st = std::system(cmd.c_str());
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, read_text(dir + "/err.txt"), read_text(dir + "/out.txt")};
}

class ZozuKeys : public keytest::KeyTest {
 protected:
  std::string path(const std::string& leaf) const { return dir_.file(leaf); }
  ToolRun zozu(const std::string& args) { return run_zozu(dir_.path, args); }
  // Assembles source into leaf.ex; the disassembly of the result.
  std::string assemble(const std::string& leaf, const std::string& source) {
    write_text(path(leaf + ".e"), source);
    const ToolRun r = zozu("-q -w " + path(leaf + ".e"));
    EXPECT_EQ(r.status, 0) << r.err;
    const ToolRun d = zozu("-d " + path(leaf + ".ex"));
    EXPECT_EQ(d.status, 0) << d.err;
    return d.out;
  }
};

TEST_F(ZozuKeys, KeyNamesInBindingsTablesAndKeyTexts) {
  const std::string source =
      "command greet()\n"
      "  push_const key:\"ENTER\"\n"
      "  pop\n"
      "  return\n"
      "end\n"
      "bind \"default-keys\" ENTER greet\n"
      "bind \"default-keys\" key:\"C-,\" greet\n"
      "bind \"default-keys\" 300 greet\n"  // numbers still name indexes
      "table \"t\"\n"
      "  F2 greet\n"
      "  key:\"S- \" greet\n"
      "  a greet\n"
      "  key:\"\\x80\" greet\n"
      "  ON-SELECT greet\n"
      "end\n";
  const std::string dis = assemble("k", source);
  for (const char* line : {"bind \"default-keys\" ENTER greet\n", "bind \"default-keys\" key:\"C-,\" greet\n",
                           "bind \"default-keys\" C-ENTER greet\n", "\n  F2 \"greet\"\n", "\n  key:\"S- \" \"greet\"\n",
                           "\n  a \"greet\"\n", "\n  key:\"\\x80\" \"greet\"\n", "\n  ON-SELECT \"greet\"\n",
                           "push_const key:\"ENTER\"\n"})
    EXPECT_NE(dis.find(line), std::string::npos) << line << "\nin:\n" << dis;
  // The disassembly assembles to the same bytes.
  const std::string first = read_text(path("k.ex"));
  write_text(path("again.e"), dis);
  ASSERT_EQ(zozu("-q -w " + path("again.e")).status, 0);
  EXPECT_EQ(read_text(path("again.ex")), first);

  // Linked, the names land on the indexes of their events.
  ASSERT_EQ(name_pool_init(), 0);
  uint32_t index = 0;
  bool module_file = false;
  ASSERT_EQ(mod_load_file(path("k.ex"), &index, &module_file, true), 0);
  const uint32_t greet = name_find("greet", NF_CALLABLE);
  const int32_t keys = static_cast<int32_t>(name_find("default-keys", NF_EVENT_TABLE));
  const int32_t t = static_cast<int32_t>(name_find("t", NF_EVENT_TABLE));
  const uint32_t module_binding = (index << 16) | (name_entry(greet)->data & 0xFFFF);
  EXPECT_EQ(evtab_word(keys, event_to_key_index(kEvEnter)), module_binding);
  EXPECT_EQ(evtab_word(keys, event_to_key_index(kEvCtrlComma)), module_binding);
  EXPECT_EQ(evtab_word(keys, 300), module_binding);
  for (EventCode e : {kEvF1 + 1, kEvShiftSpace, EventCode('a'), EventCode(0xC8), kEvOnSelect})
    EXPECT_EQ(evtab_word(t, event_to_key_index(e)), greet) << e;
}

TEST_F(ZozuKeys, BadKeyNamesAreReported) {
  struct Case {
    const char* source;
    const char* message;
    int line;
  };
  const Case cases[] = {
      {"proc p()\n  return\nend\nbind \"keys\" CTRL-X p\n", "unknown key name 'CTRL-X'", 4},
      {"proc p()\n  return\nend\nbind \"keys\" 554 p\n", "binding index must be 0..553", 4},
      {"table \"t\"\n  Ctrl+X p\nend\n", "unexpected character '+'", 2},
      {"table \"t\"\n  enter p\nend\n", "unknown key name 'enter'", 2},  // names keep their case
      {"proc p()\n  push_const key:\"F13\"\n  pop\n  return\nend\n", "unknown key name \"F13\"", 2},
  };
  for (const auto& c : cases) {
    write_text(path("bad.e"), c.source);
    const ToolRun r = zozu("-q -w " + path("bad.e"));
    EXPECT_EQ(r.status, 1) << c.source;
    const std::string want = path("bad.e") + ":" + std::to_string(c.line) + ": " + c.message;
    EXPECT_NE(r.err.find(want), std::string::npos) << "want: " << want << "\ngot: " << r.err;
  }
}

TEST_F(ZozuKeys, RecordedStatementsAssemble) {
  const std::string dis = assemble("rec",
                                   "command replay()\n"
                                   "keyin 'ab;c'\n"
                                   "keyin \"'\"\n"
                                   "say_x()\n"
                                   "'quoted-cmd'\n"
                                   "last_event(name2event('C-G'));with_key()\n"
                                   "last_event(name2event(\"A-'\"));\n"
                                   "execute('ls -l')\n"
                                   "  return\n"
                                   "end\n");
  const std::string want =
      "  push_const \"ab\\x3bc\"\n"
      "  keyin\n"
      "  push_const \"'\"\n"
      "  keyin\n"
      "  call_link 0, say_x\n"
      "  push_const \"quoted-cmd\"\n"
      "  execute\n"
      "  push_const \"\\x07\"\n"  // Ctrl+G is a character: its key text is one byte
      "  last_event 1\n"
      "  pop\n"
      "  call_link 0, with_key\n"
      "  push_const key:\"A-'\"\n"
      "  last_event 1\n"
      "  pop\n"
      "  push_const \"ls -l\"\n"
      "  execute\n"
      "  return\n";
  EXPECT_NE(dis.find(want), std::string::npos) << dis;
  struct Case {
    const char* source;
    const char* message;
    int line;
  };
  const Case cases[] = {
      {"say_x()\n", "a statement outside a procedure", 1},
      {"proc p()\nkeyin 'open\n  return\nend\n", "cannot read this statement", 2},
      {"proc p()\nlast_event(name2event('NOPE'));x()\n  return\nend\n", "unknown key name 'NOPE'", 2},
      {"proc p()\nx(1)\n  return\nend\n", "cannot read this statement", 2},
  };
  for (const auto& c : cases) {
    write_text(path("bad.e"), c.source);
    const ToolRun r = zozu("-q -w " + path("bad.e"));
    EXPECT_EQ(r.status, 1) << c.source;
    const std::string want_err = path("bad.e") + ":" + std::to_string(c.line) + ": " + c.message;
    EXPECT_NE(r.err.find(want_err), std::string::npos) << "want: " << want_err << "\ngot: " << r.err;
  }
}

// Commands written with key names, as the default macros are.
const char* const kEditorKeys =
    "global hits = \"0\"\n"
    "global undefined = \"0\"\n"
    "command say-x()\n"
    "  push_const \"x\"\n"
    "  keyin\n"
    "  return\n"
    "end\n"
    "command count()\n"
    "  incr $hits\n"
    "  return\n"
    "end\n"
    "command key-not-defined()\n"
    "  incr $undefined\n"
    "  return\n"
    "end\n"
    "table \"default-keys\"\n"  // bound by name, so the recorder can name them
    "  F2 say-x\n"
    "  C-X \"ctlx:keys\"\n"
    "end\n"
    "table \"ctlx:keys\"\n"
    "  C-F count\n"
    "end\n";

TEST_F(ZozuKeys, ARecordingAssembledAndRunTypesTheSameText) {
  write_text(path("keys.e"), kEditorKeys);
  ASSERT_EQ(zozu("-q -w " + path("keys.e")).status, 0);
  const std::string image = read_text(path("keys.ex"));
  boot(std::vector<uint8_t>(image.begin(), image.end()), "boot.ex");

  // Record while typing into one buffer.
  BufferRec* target = new_buffer("recording.e");
  WindowObject* typed = editor("hello\n");
  kbdmac_set_target(target);
  type(typed, "ab");
  type(typed, {keytest::fkey(2), keytest::kCtrlX, keytest::kCtrlF, '\'', 'c', kEvEnter, 'd'});
  kbdmac_set_target(nullptr);
  const std::vector<std::string> want = text_of(typed);
  EXPECT_EQ(want, std::vector<std::string>{"abx'cdhello"});
  EXPECT_EQ(global("hits"), "1");
  EXPECT_EQ(global("undefined"), "1");

  // The recording, wrapped in a command, assembled and run in another buffer.
  std::string source = "command replay()\n";
  for (const std::string& line : storetest::lines_forward(target)) source += line + "\n";
  source += "  return\nend\n";
  write_text(path("replay.e"), source);
  const ToolRun r = zozu("-q -w " + path("replay.e"));
  ASSERT_EQ(r.status, 0) << r.err << "\n" << source;
  uint32_t module = 0;
  bool module_file = false;
  ASSERT_EQ(mod_load_file(path("replay.ex"), &module, &module_file, true), 0);
  WindowObject* replayed = editor("hello\n");
  ASSERT_EQ(vm_call_index(static_cast<int32_t>(name_find("replay", NF_COMMAND)), {}), ERR_OK);
  EXPECT_EQ(text_of(replayed), want) << source;
  EXPECT_EQ(global("hits"), "2");
  EXPECT_EQ(global("undefined"), "2");
  EXPECT_TRUE(vmtest::shown.empty());
}

}  // namespace
