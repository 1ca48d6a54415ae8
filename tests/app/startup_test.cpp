// Start-up: the start-option loop as a table, the %NAME% expansion, and the
// real zorvex program started as a child (on a private X server) with each
// kind of unusable state file, the over-long command line, the default
// state file, and no display at all.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "macro/startup.h"
#include "tests/special_files.h"
#include "tests/support/xvfb.h"
#include "tests/temp_dir.h"

namespace {

TEST(StartOptions, TheLoopTable) {
  struct Case {
    const char* line;
    std::string args;  // what reaches the macros
    void (*check)(const StartOptions&);
  };
  const Case cases[] = {
      {"a.txt b.txt", " a.txt b.txt", [](const StartOptions&) {}},
      {"\"my file.txt\"", " \"my file.txt\"", [](const StartOptions&) {}},
      {"-x other.stu f", " f",
       [](const StartOptions& o) {
         EXPECT_EQ(o.state_file_name, "other.stu");
         EXPECT_TRUE(o.state_file_given);
       }},
      {"-xother.stu", "", [](const StartOptions& o) { EXPECT_EQ(o.state_file_name, "other.stu"); }},
      {"-k +K f", " f", [](const StartOptions&) {}},
      {"+NE", "", [](const StartOptions& o) { EXPECT_TRUE(o.new_instance); }},
      {"+ne -ne", "", [](const StartOptions& o) { EXPECT_FALSE(o.new_instance); }},
      {"-nq", "", [](const StartOptions& o) { EXPECT_FALSE(o.new_instance); }},
      {"+sb", "", [](const StartOptions& o) { EXPECT_EQ(o.save_direct, 1); }},
      {"-sb", "", [](const StartOptions& o) { EXPECT_EQ(o.save_direct, 0); }},
      {"-sub", "", [](const StartOptions& o) { EXPECT_EQ(o.save_direct, 1); }},
      {"-si 300 4000 f", " f",
       [](const StartOptions& o) {
         EXPECT_EQ(o.heap_kb, 300);
         EXPECT_EQ(o.heap_slots, 4000);
       }},
      {"-si x y", "",
       [](const StartOptions& o) {
         EXPECT_EQ(o.heap_kb, 0);
         EXPECT_EQ(o.heap_slots, 0);
       }},
      {"-sm 12 -st 64", "",
       [](const StartOptions& o) {
         EXPECT_EQ(o.max_file_mb, 12);
         EXPECT_EQ(o.cache_kb, 64);
       }},
      {"-sua -sui", "",
       [](const StartOptions& o) {
         EXPECT_TRUE(o.raw_alt_keysyms);
         EXPECT_TRUE(o.show_diagnostics);
       }},
      {"-suk 11", "", [](const StartOptions& o) { EXPECT_EQ(o.platform, 0); }},
      {"-suk 7", "", [](const StartOptions& o) { EXPECT_EQ(o.platform, 7); }},
      {"+sul", "", [](const StartOptions& o) { EXPECT_EQ(o.no_lock, 0); }},
      {"-sul", "", [](const StartOptions& o) { EXPECT_EQ(o.no_lock, 1); }},
      {"+sup", "", [](const StartOptions& o) { EXPECT_EQ(o.keypad_translation, 1); }},
      {"-supq", "", [](const StartOptions& o) { EXPECT_EQ(o.keypad_translation, 0); }},
      {"-supf keys.map", "",
       [](const StartOptions& o) {
         EXPECT_EQ(o.keymap_file, "keys.map");
         EXPECT_EQ(o.keypad_translation, -1);
       }},
      {"-suw 4", "", [](const StartOptions& o) { EXPECT_EQ(o.window_positioning, 0); }},
      {"-suw 2", "", [](const StartOptions& o) { EXPECT_EQ(o.window_positioning, 2); }},
      {"-su -sk", "", [](const StartOptions&) {}},
      // Passed on to the macros.
      {"-s1 -s2 -sC -suz -sq -s +i", " -s1 -s2 -sC -suz -sq -s +i", [](const StartOptions&) {}},
      {"-sc dir", " -sc dir", [](const StartOptions&) {}},  // ZORVEX was set: not the early option
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    StartOptions o;
    startup_parse_options(c.line, &o);
    EXPECT_EQ(o.args, c.args);
    c.check(o);
  }
}

TEST(StartOptions, ExpandVars) {
  struct Case {
    const char* in;
    size_t size;
    const char* want;
  };
  const Case cases[] = {
      {"a%X%b", 100, "a/d/b"},   {"100%%", 100, "100%"},  {"50% off", 100, "50% off"},
      {"%A%%B%", 100, "/d//d/"}, {"x%ABC%yz", 4, "x/d/"},
  };
  for (const Case& c : cases) EXPECT_EQ(config_expand_vars(c.in, c.size, "/d/"), c.want) << c.in;
  const std::string long_name = "a%" + std::string(1024, 'N') + "%b";
  EXPECT_EQ(config_expand_vars(long_name, 4096, "/d/"), "ab");  // too long: dropped with its signs
}

// ---- the real program ----------------------------------------------------------

// The exit code of a run, or kStillRunning when the editor was still up
// (started) after the settle time and was ended by the test.
inline constexpr int kStillRunning = 1000;

struct ChildRun {
  int code = -1;
  std::string out, err;
  bool answered = false;  // it ended only after Return answered a box on the screen
};

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Runs the editor in dir with HOME there and a PATH that holds no state
// file, so only what the test put in place is found; on `display` (none
// when empty).
ChildRun run_zorvex(const std::string& dir, std::vector<std::string> args, const std::string& program,
                    const std::string& display) {
  const std::string out = dir + "/.out", err = dir + "/.err";
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(e, 2);
    setenv("HOME", dir.c_str(), 1);
    setenv("PATH", "/usr/bin:/bin", 1);
    unsetenv("ZORVEX");
    unsetenv("ZORVEXCONFIG");
    unsetenv("ZORVEXPATH");
    if (display.empty())
      unsetenv("DISPLAY");
    else
      setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  // A start-up that fails on the screen shows a box and ends once it is
  // answered: Return goes to the window with the keys now and then (into
  // an editor that started, it only types). One that fails before the
  // screen ends by itself; one that works keeps the editor running.
  int status = 0;
  bool ended = false, pressed = false;
  const auto begin = std::chrono::steady_clock::now();
  const auto until = begin + std::chrono::milliseconds(6000);  // room for a sanitized build
  auto next_key = begin + std::chrono::milliseconds(1500);     // a start-up that fails without a box has ended by then
  while (!(ended = waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!display.empty() && std::chrono::steady_clock::now() >= next_key) {
      const std::string cmd = "DISPLAY=" + display + " xdotool key Return >/dev/null 2>&1";
      pressed = std::system(cmd.c_str()) == 0 || pressed;
      next_key = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    }
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  ChildRun r;
  r.code = !ended ? kStillRunning : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.answered = ended && pressed;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

class StartupProgram : public ::testing::Test {
 protected:
  // A copy of the program in a directory of its own, so the state file the
  // build puts beside the real one is not found.
  void SetUp() override {
    program_ = dir_ / "bin/zorvex";
    ASSERT_EQ(0, system(("mkdir -p '" + dir_.path() + "/bin' && cp '" + std::string(ZVX_BINARY_DIR) + "/app/zorvex' '" +
                         program_ + "'")
                            .c_str()));
    state_ = slurp(std::string(ZVX_BINARY_DIR) + "/app/zorvex.stu");
    ASSERT_GT(state_.size(), 100u);
    std::string why;
    server_ = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server_) << why;
  }
  void put(const std::string& name, const std::string& bytes) { std::ofstream(dir_ / name, std::ios::binary) << bytes; }
  ChildRun run(std::vector<std::string> args = {}) {
    return run_zorvex(dir_.path(), std::move(args), program_, server_->display_name());
  }
  ChildRun run_without_display() { return run_zorvex(dir_.path(), {}, program_, ""); }
  std::unique_ptr<xtest::XvfbServer> server_;
  zvxtest::TempDir dir_{"zvx-startup"};
  std::string program_, state_;
};

TEST_F(StartupProgram, UnusableStateFilesEndWithTheirMessage) {
  const std::string old_message =
      "If '" + (dir_ / "zorvex.stu") + "' is an old local state file, erase it and try again.";
  std::string old_version = state_;
  old_version[0] = static_cast<char>(old_version[0] + 1);  // version 16002
  struct Case {
    const char* name;
    std::string bytes;  // empty: no file at all
    std::string message;
  };
  const Case cases[] = {
      {"missing", "", "Macro file zorvex.stu not found"},
      {"old version", old_version, old_message},
      {"truncated", state_.substr(0, state_.size() / 2), old_message},
      {"not a state file", "#!/bin/sh\necho hello\n", old_message},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((dir_ / "zorvex.stu").c_str());
    if (!c.bytes.empty()) put("zorvex.stu", c.bytes);
    const ChildRun r = run();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.answered) << "the message waits in a box on the screen";
  }
  // Whatever else stands there is no state file either: a FIFO is not
  // waited on (the frame would stay grey for good), /dev/zero not read.
  for (const zvxtest::SpecialCase& c : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(c.name);
    zvxtest::make_special(dir_ / "zorvex.stu", c.kind);
    const ChildRun r = run();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(old_message), std::string::npos) << r.err;
    EXPECT_TRUE(r.answered) << "the message waits in a box on the screen";
  }
}

// zorvex.ini in the current directory as something else than a file of
// settings: start-up says so in one line and goes on without it, up to the
// end of the road without a display (no abort, no wait on a FIFO, no
// endless read of /dev/zero).
TEST_F(StartupProgram, ZorvexIniThatIsNoFileOfSettingsIsIgnoredWithALine) {
  put("bin/zorvex.stu", state_);
  for (const zvxtest::SpecialCase& c : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(c.name);
    zvxtest::make_special(dir_ / "zorvex.ini", c.kind);
    const ChildRun r = run_without_display();
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("no X display"), std::string::npos) << r.err;
    const std::string said = dir_ / "zorvex.ini";
    switch (c.kind) {
      case zvxtest::Special::Garbage:
        EXPECT_NE(r.err.find(said + " is too large: ignored\n"), std::string::npos) << r.err;
        break;
      case zvxtest::Special::Empty:
        EXPECT_EQ(r.err.find("ignored"), std::string::npos) << r.err;
        break;
      default:
        EXPECT_NE(r.err.find(said + " is not a regular file: ignored\n"), std::string::npos) << r.err;
    }
  }
  zvxtest::remove_tree(dir_ / "zorvex.ini");
}

// Reading zorvex.ini is linear in its size: 80,000 "environment" lines (a
// start-up of many seconds while each line cost a pass over the ones
// before) take a fraction of a second. The last line is applied: it names
// a state file that is not there.
TEST_F(StartupProgram, ManyEnvironmentLinesAreReadInLinearTime) {
  put("bin/zorvex.stu", state_);
  std::string ini = "[environment]\n";
  for (int i = 0; i < 80000; ++i) ini += "ZVXVAR" + std::to_string(i) + "=value of " + std::to_string(i) + "\n";
  ini += "ZORVEX=-x nothere.stu\n";
  put("zorvex.ini", ini);
  const auto begin = std::chrono::steady_clock::now();
  const ChildRun quick = run_without_display();
  const auto took = std::chrono::steady_clock::now() - begin;
  EXPECT_EQ(quick.code, 1) << quick.err;
  EXPECT_NE(quick.err.find("no X display"), std::string::npos) << quick.err;
  EXPECT_LT(took, std::chrono::seconds(3)) << "the whole start-up up to the display";
  const ChildRun r = run();
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Macro file nothere.stu not found"), std::string::npos) << r.err;
  unlink((dir_ / "zorvex.ini").c_str());
}

TEST_F(StartupProgram, DashXNamesTheStateFileWithoutSearch) {
  put("zorvex.stu", state_);  // would be found by the search, but -x names another
  const ChildRun missing = run({"-x", "nothere.stu"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_TRUE(missing.answered);
  EXPECT_NE(missing.err.find("Macro file nothere.stu not found"), std::string::npos) << missing.err;
  put("boot.stu", state_);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-x", "boot.stu"}, {"-xboot.stu"}}) {
    const ChildRun r = run(args);
    EXPECT_EQ(r.code, kStillRunning) << r.err;
    EXPECT_EQ(r.err.find("not found"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("erase it"), std::string::npos) << r.err;
  }
}

TEST_F(StartupProgram, TheDefaultStateBesideTheProgramIsFound) {
  put("bin/zorvex.stu", state_);
  const ChildRun r = run();
  EXPECT_EQ(r.code, kStillRunning) << r.err;
  EXPECT_EQ(r.err.find("Macro file"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("erase it"), std::string::npos) << r.err;
}

TEST_F(StartupProgram, CommandLineLimitIs225Characters) {
  put("zorvex.stu", state_);
  // Each argument joins after one blank: one of 224 characters makes 225.
  const ChildRun fits = run({std::string(224, 'a')});
  EXPECT_EQ(fits.code, kStillRunning) << fits.err;
  EXPECT_EQ(fits.out.find("Command line too long"), std::string::npos);
  const ChildRun too_long = run({std::string(225, 'a')});
  EXPECT_EQ(too_long.code, 1);
  EXPECT_EQ(too_long.out, "Command line too long.  Place wild card filespecs in double quotes.\n");
}

TEST_F(StartupProgram, HelpPrintsTheUsageAndEndsWithoutAWindow) {
  const ChildRun r = run_zorvex(dir_.path(), {"--help"}, program_, "");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("usage: zorvex", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("-x FILE"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST_F(StartupProgram, WithoutADisplayItSaysSoInOneLineAndEnds) {
  put("bin/zorvex.stu", state_);
  const ChildRun r = run_without_display();
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("display"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  // A display named but not there: its one line, and the same code.
  const ChildRun gone = run_zorvex(dir_.path(), {}, program_, ":4093");
  EXPECT_EQ(gone.code, 1);
  EXPECT_EQ(gone.out, "Zorvex: Can't open connection to X.\n");
}

}  // namespace
