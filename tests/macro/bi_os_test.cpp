// The operating-system built-ins as byte code: machine name, current
// directory, path searches, absolute and relative names, and the three list
// inserters over a real buffer (where the lines go, where the cursor ends,
// rc, option errors, and the refusal without a view).
#include "macro/bi_os.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "macro/bi_misc.h"
#include "macro/names.h"
#include "tests/macro/builtin_fixture.h"

namespace {

using bitest::check;
using bitest::Out;
using bitest::Step;

std::string cwd() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? buf : "";
}

class OsBi : public bitest::BufferBuiltinTest {
 protected:
  void SetUp() override {
    BufferBuiltinTest::SetUp();
    old_cwd_ = cwd();
    ASSERT_EQ(name_pool_init(), 0);
    d_ = dir_.path() + "/";
  }
  void TearDown() override {
    ASSERT_EQ(::chdir(old_cwd_.c_str()), 0);
    os_cwd_cache_clear();
    env_drop_copy();
    BufferBuiltinTest::TearDown();
  }
  std::string old_cwd_;
  bitest::ScratchDir dir_;
  std::string d_;
};

TEST_F(OsBi, MachineDirectoriesAndNames) {
  ::mkdir((dir_ / "with blank").c_str(), 0755);
  ::mkdir((dir_ / "sub").c_str(), 0755);
  const std::string quoted = "  \"" + d_ + "with blank\"  ";
  const Step steps[] = {
      {"machine", {}, 0, "", "LINUX"},
      {"machine", {"dropped"}, 0, "", "LINUX"},
      {"machine", {"a", "b"}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"getcwd", {}, 0, "0", old_cwd_},
      // Without the plain flag, blanks and then quotes come off.
      {"chdir", {quoted}, 0, "0", "*"},
      {"getcwd", {"x"}, 0, "0", d_ + "with blank"},
      // With it the quotes stay part of the name.
      {"chdir", {quoted, "1"}, 0, "-2", "*"},
      {"chdir", {d_ + "sub", "1"}, 0, "0", "*"},
      {"getcwd", {}, 0, "0", d_ + "sub"},
      {"chdir", {d_ + "missing"}, 0, "-2", "*"},
      {"chdir", {d_, "x"}, ERR_INVALID_NUMBER_ARGUMENT, "-3009", "*"},
      {"chdir", {}, ERR_INVALID_ARGUMENT, "-3015", "*"},
      // Names against the current directory (now sub).
      {"absolute", {"x.txt"}, 0, "0", d_ + "sub/x.txt"},
      {"absolute", {"\"y z.txt\""}, 0, "0", d_ + "sub/y z.txt"},
      {"absolute", {"../a.txt"}, 0, "0", d_ + "a.txt"},
      {"relative", {d_ + "sub/deep/x.txt"}, 0, "0", "deep/x.txt"},
      {"relative", {d_ + "other.txt"}, 0, "0", d_ + "other.txt"},
      {"relative", {"\"rel name\""}, 0, "0", "rel name"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.mnemonic) + " " + (s.args.empty() ? "" : s.args[0]));
    check(s, call(s.mnemonic, s.args));
  }
}

TEST_F(OsBi, PathSearchAlongAVariable) {
  ::mkdir((dir_ / "p1").c_str(), 0755);
  ::mkdir((dir_ / "p2").c_str(), 0755);
  bitest::write_file(dir_ / "p1/plain", "", 0644);
  bitest::write_file(dir_ / "p2/plain", "", 0755);
  bitest::write_file(dir_ / "p2/tool", "", 0755);
  bitest::write_file(dir_ / "p2/mac.e", "", 0644);
  ASSERT_EQ(env_set("ZVXT_SP", (d_ + "p1:" + d_ + "p2").c_str()), ERR_OK);
  ASSERT_EQ(env_set("ZVXT_NONE", nullptr), ERR_OK);
  const Step steps[] = {
      {"path_search", {"tool", "ZVXT_SP"}, 0, "0", d_ + "p2/tool"},
      {"path_search", {"\"tool\"", "ZVXT_SP"}, 0, "0", d_ + "p2/tool"},
      // The first directory wins a plain search; P wants an executable.
      {"path_search", {"plain", "ZVXT_SP"}, 0, "0", d_ + "p1/plain"},
      {"path_search", {"mac", "ZVXT_SP", "P"}, 0, "-2", ""},
      // M adds the macro extension.
      {"path_search", {"mac", "ZVXT_SP", "m"}, 0, "0", d_ + "p2/mac.e"},
      // A name with '/' is tried alone.
      {"path_search", {d_ + "p1/plain", "ZVXT_SP"}, 0, "0", d_ + "p1/plain"},
      {"path_search", {"p2/tool", "ZVXT_SP"}, 0, "-2", ""},
      {"path_search", {"tool", "ZVXT_NONE"}, 0, "-18", ""},
      // An empty or absent variable means PATH.
      {"path_search", {"zvx-no-such-program", ""}, 0, "-2", ""},
      {"path_search", {"zvx-no-such-program"}, 0, "-2", ""},
      {"path_search", {"tool", "ZVXT_SP", "Q"}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"path_search", {}, ERR_INVALID_ARGUMENT, "-3015", ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.args.empty() ? "" : s.args[0] + (s.args.size() > 2 ? " " + s.args[2] : ""));
    check(s, call(s.mnemonic, s.args));
  }
}

TEST_F(OsBi, FileListGoesInAfterTheCursorLine) {
  bitest::write_file(dir_ / "b.txt", "bb");
  bitest::write_file(dir_ / "a.txt", "a");
  bitest::write_file(dir_ / "c.log", "c");
  ::mkdir((dir_ / "sub").c_str(), 0755);
  bitest::write_file(dir_ / "sub/x.txt", "x");
  open("one\ntwo\nthree\n", 2, 4);
  Out o = call("insert_file_list", {"-v " + d_ + "*.txt"});
  EXPECT_EQ(o.rc, "0");
  // The listing's order is the directory's: compare as a set of lines.
  const std::string text = all();
  EXPECT_TRUE(text == "one\ntwo\n a.txt\n b.txt\nthree\n" || text == "one\ntwo\n b.txt\n a.txt\nthree\n") << text;
  EXPECT_EQ(view_->row, 6);
  ASSERT_EQ(pos_line_number(view_, buf_, 1), 0);
  EXPECT_EQ(view_->line, 4);
  EXPECT_TRUE(buf_->redraw);
  EXPECT_EQ(redraw_bits & 0x8020u, 0x8020u);

  // +T descends, +P puts the directory before each name.
  open("top\n", 1, 0);
  EXPECT_EQ(call("insert_file_list", {"+t +p -v " + d_ + "x*"}).rc, "0");
  EXPECT_EQ(all(), "top\n " + d_ + "sub/x.txt\n");
  // Long lines by default: size field, then the name at column 43.
  open("top\n", 1, 0);
  EXPECT_EQ(call("insert_file_list", {d_ + "b.txt"}).rc, "0");
  const std::string line = all().substr(4);
  EXPECT_EQ(line.substr(0, 11), "          2");
  EXPECT_EQ(line.substr(42), "b.txt\n");
  // Nothing matched: -2 and no line.
  open("top\n", 1, 0);
  EXPECT_EQ(call("insert_file_list", {d_ + "*.none"}).rc, "-2");
  EXPECT_EQ(all(), "top\n");
  Out bad = call("insert_file_list", {"+q *"});
  EXPECT_EQ(bad.raised, ERR_INVALID_OPTION);
  EXPECT_EQ(all(), "top\n");
}

TEST_F(OsBi, InsertersNeedAView) {
  for (const char* m : {"insert_file_list", "insert_name_list", "insert_font_list"}) {
    SCOPED_TRACE(m);
    Out o = call(m, std::string(m) == "insert_file_list" ? std::vector<std::string>{"*"} : std::vector<std::string>{});
    EXPECT_EQ(o.stop, ERR_NOT_ALLOWED_ON_OBJECT);
  }
}

TEST_F(OsBi, NameListTakesTypeMaskAndPrefix) {
  auto add = [](const char* name, uint32_t flags, uint32_t data) {
    NameEntry e;
    e.flags = flags;
    e.data = data;
    ASSERT_GT(name_insert(name, e), 0);
  };
  add("my-proc", NF_PROC, 5u << 16 | 10);
  add("do-it", NF_COMMAND, 5u << 16 | 20);
  add("no-code", NF_PROC, 0);
  add("a-var", NF_GLOBAL, 7);
  add("pic-1.bmp", NF_PICTURE, 0);
  struct Case {
    std::vector<std::string> args;
    std::string want;  // inserted after "top"
  };
  const Case cases[] = {
      // Default: procedures and commands with code, in underscore form.
      {{}, " my_proc\n do_it\n"},
      // Commands alone keep their stored form.
      {{"16"}, " do-it\n"},
      {{"17", "MY"}, " my_proc\n"},
      {{"17", "my_"}, " my_proc\n"},
      {{"4"}, " a_var\n"},
      // Pictures keep their name.
      {{"256"}, " pic-1.bmp\n"},
      {{"1", "zzz"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "default" : c.args[0]);
    open("top\n", 1, 0);
    Out o = call("insert_name_list", c.args);
    EXPECT_EQ(o.rc, "0");
    EXPECT_EQ(all(), "top\n" + c.want);
  }
  EXPECT_EQ(call("insert_name_list", {"x"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
}

// The font list is the window system's (its own X test lists the server's
// fonts); here, with no server, no face is known, and the options are
// checked.
TEST_F(OsBi, FontBuiltInsWithoutAServer) {
  open("top\n", 1, 0);
  EXPECT_EQ(call("insert_font_list", {"SP"}).rc, "0");
  EXPECT_EQ(all(), "top\n");
  EXPECT_EQ(view_->row, 0);
  const Step steps[] = {
      {"font_is_scalable", {"adobe-courier"}, 0, "", "0"},
      {"font_type_flags", {"adobe-courier", "SPFX"}, 0, "", "0"},
      {"insert_font_list", {"Q"}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"insert_font_list", {"S", "a", "b"}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"font_type_flags", {"courier", "Z"}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"font_is_scalable", {}, ERR_INVALID_ARGUMENT, "-3015", ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.mnemonic) + " " + (s.args.empty() ? "" : s.args[0]));
    check(s, call(s.mnemonic, s.args));
  }
}

}  // namespace
