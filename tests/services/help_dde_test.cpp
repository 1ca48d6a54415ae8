// External help with a stand-in "view" program that logs its arguments,
// index files along BOOKSHELF, and the DDE answers; the built-ins run as
// byte code.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "services/dde.h"
#include "services/help_ext.h"
#include "services/help_instance.h"
#include "services/opcode_bind.h"
#include "tests/macro/text_bi_fixture.h"

namespace {

class HelpTest : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(services_register_opcodes(vm_dispatch));
    bin_ = file("bin");
    books_ = file("books");
    ::mkdir(bin_.c_str(), 0755);
    ::mkdir(books_.c_str(), 0755);
    log_ = file("view.log");
    // Each argument on a line of its own, the run ended by "--".
    write(bin_ + "/view", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + log_ +
                              ".part'\necho -- >> '" + log_ + ".part'\nmv '" + log_ + ".part' '" + log_ + "'\n");
    ::chmod((bin_ + "/view").c_str(), 0755);
    save("PATH");
    save("BOOKSHELF");
    save("ZORVEXPATH");
    save("HELP");
    ::setenv("PATH", (bin_ + ":/usr/bin:/bin").c_str(), 1);
    ::setenv("BOOKSHELF", books_.c_str(), 1);
    ::unsetenv("ZORVEXPATH");
    ::setenv("HELP", books_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [k, v] : saved_)
      if (v.second)
        ::setenv(k.c_str(), v.first.c_str(), 1);
      else
        ::unsetenv(k.c_str());
    TextBiTest::TearDown();
  }
  void save(const char* k) {
    const char* v = std::getenv(k);
    saved_[k] = {v ? v : "", v != nullptr};
  }
  static void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  // What the started program logged (waits for it, at most 10 s).
  std::string logged() {
    for (int i = 0; i < 1000 && ::access(log_.c_str(), F_OK) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream f(log_);
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ::unlink(log_.c_str());
    return all;
  }
  std::string bin_, books_, log_;
  std::map<std::string, std::pair<std::string, bool>> saved_;
};

TEST_F(HelpTest, InfBooksStartTheViewerWithTheKeywordAsOneArgument) {
  const std::string evil = "a b; touch " + file("pwned") + " $(touch " + file("pwned2") + ")";
  EXPECT_EQ(0, help_show("  book.inf ", evil, 257));
  EXPECT_EQ("book.inf\n" + evil + "\n--\n", logged());
  EXPECT_NE(0, ::access(file("pwned").c_str(), F_OK));
  EXPECT_NE(0, ::access(file("pwned2").c_str(), F_OK));
  EXPECT_EQ(0, help_show("book.inf", "x", 2));  // any other command shows the keyword
  EXPECT_EQ("book.inf\nx\n--\n", logged());
  EXPECT_EQ(-3022, help_show("book.inf", "x", 3));
  ::setenv("PATH", "/nonexistent", 1);
  EXPECT_EQ(-2, help_show("book.inf", "x", 257));
}

TEST_F(HelpTest, IndexEntriesChooseTheCommand) {
  write(books_ + "/a.ndx", "title line\n(edit*,view editor.inf ~)\r\n(Open,view open.inf ~)\x1a");
  write(books_ + "/b.ndx", "(*,view all.inf ~)\r");
  write(books_ + "/empty.ndx", "");
  struct Case {
    const char* file;
    const char* keyword;
    int32_t rc;
    std::string log;
  } cases[] = {
      {"a.ndx", "editor", 0, "editor.inf\neditor\n--\n"},
      {"a.ndx", "EDITING", 0, "editor.inf\nEDITING\n--\n"},
      {"a.ndx", "open", 0, "open.inf\nopen\n--\n"},
      {"a.ndx", "edit", -3022, ""},
      {"a.ndx", "opener", -3022, ""},
      {"a.ndx+b.ndx", "edit", 0, "all.inf\nedit\n--\n"},
      {"empty.ndx+b.ndx", "x y;$(id)", 0, "all.inf\nx y;$(id)\n--\n"},
      {"b.ndx", "", -3022, ""},
      {"none.ndx", "x", -2, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.rc, help_show(c.file, c.keyword, 257)) << c.file << " " << c.keyword;
    if (c.rc == 0) {
      EXPECT_EQ(c.log, logged()) << c.keyword;
    }
  }
  EXPECT_EQ(-3022, help_show("a.ndx", "editor", 61441));
}

TEST_F(HelpTest, IndexLookupRules) {
  std::string cmd;
  EXPECT_EQ(-3022, help_index_lookup("(abc no comma)\n", "abd", &cmd));
  EXPECT_EQ(-3022, help_index_lookup("(abc,no close\n", "abc", &cmd));
  ASSERT_EQ(0, help_index_lookup("(abc,first)\n(abc,second)\n", "ABC", &cmd));
  EXPECT_EQ("first", cmd);
}

TEST_F(HelpTest, OtherFilesAreFoundButHaveNoHelpInstance) {
  write(books_ + "/guide.hlp", "x");
  EXPECT_EQ(-2087, help_show("guide.hlp", "k", 257));
  write(books_ + "/BOOK.INF", "x");
  EXPECT_EQ(-2087, help_show("BOOK.INF", "k", 257));  // the extension compares exactly
  EXPECT_EQ(-2, help_show("missing.hlp", "k", 257));
}

// Our own help files are looked for along ZORVEXPATH, PATH and HELP, then
// beside the program; without a display the help instance cannot be made.
TEST_F(HelpTest, OurHelpFilesAreFoundBesideTheProgramLast) {
  const std::string program = file("program");
  ::mkdir(program.c_str(), 0755);
  write(program + "/own.hlp", "x");
  EXPECT_EQ(-2, help_show("own.hlp", "", 3)) << "no program directory known";
  help_set_install_dir(program);  // without its final '/'
  struct Case {
    const char* file;
    int32_t rc;
  };
  // columns: file name, result
  for (const Case c : {Case{"own.hlp", -2087}, Case{"  own.hlp ", -2087}, Case{"other.hlp", -2},
                       Case{"sub/own.hlp", -2}, Case{"", -2}})
    EXPECT_EQ(c.rc, help_show(c.file, "k", 257)) << "'" << c.file << "'";
  help_set_install_dir("");
  EXPECT_EQ(-2, help_show("own.hlp", "k", 257));
}

// Where the help window goes: 2, 5 or 15 per cent of each side as the
// margin by the screen's width, twice the margin off the left and the top.
TEST(HelpInstance, PlaceByScreenSize) {
  struct Case {
    int32_t w, h;
    HelpPlace want;
  };
  // columns: screen width, height, {x, y, width, height}
  const Case cases[] = {
      {640, 480, {24, 18, 616, 462}},   {641, 480, {64, 48, 577, 432}},    {800, 600, {80, 60, 720, 540}},
      {801, 600, {240, 180, 561, 420}}, {1024, 768, {306, 230, 718, 538}},
  };
  for (const Case& c : cases) {
    const HelpPlace p = help_instance_place(c.w, c.h);
    EXPECT_EQ(c.want.x, p.x) << c.w;
    EXPECT_EQ(c.want.y, p.y) << c.w;
    EXPECT_EQ(c.want.cx, p.cx) << c.w;
    EXPECT_EQ(c.want.cy, p.cy) << c.w;
  }
}

TEST_F(HelpTest, TheHelpBuiltInSetsRc) {
  open("x\n");
  textbi::Outcome o = run("  push_const \"book.inf\"\n  push_const \"key word\"\n  help 2");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("book.inf\nkey word\n--\n", logged());
  o = run("  push_const \"book.inf\"\n  push_const \"k\"\n  push_const \"4\"\n  help 3");
  EXPECT_EQ("-3022", o.rc);
  o = run("  push_const \"book.inf\"\n  help 1");
  EXPECT_EQ(-3015, o.stop);
}

TEST_F(HelpTest, DdeAnswersWithoutAServer) {
  dde_reset_server_name();
  EXPECT_EQ(0, dde_init_server_name());
  EXPECT_EQ("Zorvex", dde_server_name());
  EXPECT_EQ(0, dde_init_server_name());
  EXPECT_EQ("Zorvex", dde_server_name());  // a second instance finds no window either
  EXPECT_EQ(-2097, dde_connect("Zorvex", "-e file"));

  EXPECT_EQ("Zorvex", dde_pick_server_name());
  // Were the first three names taken, the fourth would be chosen; with
  // every name taken the last stays.
  EXPECT_EQ("Zorvex 4", dde_first_free_name(
                            [](std::string_view n) { return n == "Zorvex" || n == "Zorvex 2" || n == "Zorvex 3"; }));
  EXPECT_EQ("Zorvex 100", dde_first_free_name([](std::string_view) { return true; }));

  open("x\n");
  struct Case {
    std::string body;
    int32_t stop;
    std::string rc, out;
  } cases[] = {
      {"  push_const \"srv\"\n  push_const \"topic\"\n  dde_execute 2", 0, "-2097", "?"},
      {"  push_const \"srv\"\n  push_const \"topic\"\n  push_const \"cmd\"\n  push_const \"100\"\n  dde_execute 4", 0,
       "-2097", "?"},
      {"  push_const \"P\"\n  push_const \"s\"\n  push_const \"t\"\n  push_const \"i\"\n  dde_request 4, [ $out ]", 0,
       "-2097", ""},
      {"  push_const \"l\"\n  push_const \"s\"\n  push_const \"t\"\n  push_const \"i\"\n  push_const \"9\"\n"
       "  dde_request 5, [ ]",
       0, "-2097", "?"},
      {"  push_const \"Q\"\n  push_const \"s\"\n  push_const \"t\"\n  push_const \"i\"\n  dde_request 4, [ ]", -3015,
       "", "?"},
      {"  push_const \"srv\"\n  dde_execute 1", -3015, "", "?"},
  };
  for (const auto& c : cases) {
    const textbi::Outcome o = run("  push_const \"?\"\n  assign $out\n" + c.body);
    EXPECT_EQ(c.stop, o.stop) << c.body;
    if (!c.rc.empty()) {
      EXPECT_EQ(c.rc, o.rc) << c.body;
    }
    EXPECT_EQ(c.out, o.out) << c.body;
  }
}

}  // namespace
