// Synchronous and detached runs of child processes: the argument vector of
// each form, the status of each way a child can end, and a thousand runs
// that leave no zombie and no descriptor behind.
#include "services/proc_run.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

TEST(ProcRun, ArgumentVectorOfEachForm) {
  ::setenv("SHELL", "/bin/sh", 1);
  struct Case {
    const char* name;
    ProcRunRequest r;
    Args want;
  };
  auto req = [](std::string_view cmd, std::string_view file, std::string_view prefix, bool raw) {
    ProcRunRequest r;
    r.command = cmd;
    r.file = file;
    r.terminal_prefix = prefix;
    r.raw = raw;
    return r;
  };
  const Case cases[] = {
      {"shell form", req("make all", "", "", false), {"/bin/sh", "-c", "make all", "-f"}},
      {"shell form with a file", req("wc -l", "a b.txt", "", false), {"/bin/sh", "-c", "wc -l a b.txt", "-f"}},
      {"shell form keeps quotes for the shell",
       req("grep \"a b\" f", "", "", false),
       {"/bin/sh", "-c", "grep \"a b\" f", "-f"}},
      {"raw form splits on double quotes", req("prog \"a b\" c", "", "", true), {"prog", "a b", "c"}},
      {"raw form with a file", req("/bin/cat", "x", "", true), {"/bin/cat", "x"}},
      {"raw form, unclosed quote runs to the end", req("p \"a b", "", "", true), {"p", "a b"}},
      {"terminal prefix takes the command as one argument, unquoted",
       req("make all", "", "xterm -T \"Zorvex run\" -e zvxwait /bin/sh -c", false),
       {"xterm", "-T", "Zorvex run", "-e", "zvxwait", "/bin/sh", "-c", "make all"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(proc_command_argv(c.r), c.want);
  }
}

TEST(ProcRun, SplittingAndQuoting) {
  EXPECT_EQ(proc_split_args("  a\t\"b c\"  d "), (Args{"a", "b c", "d"}));
  EXPECT_EQ(proc_split_args("a \"\" b"), (Args{"a"})) << "an empty word ends the splitting";
  const std::string extra = "x y";
  EXPECT_EQ(proc_split_args("p", {"init"}, &extra), (Args{"init", "p", "x y"}));
  EXPECT_EQ(proc_quote("a b"), "\"a b\"");
  EXPECT_EQ(proc_quote("ab"), "ab");
}

TEST(ProcRun, ShellComesFromTheEnvironment) {
  ::setenv("SHELL", "/bin/bash", 1);
  EXPECT_EQ(proc_get_shell(""), "/bin/bash");
  EXPECT_EQ(proc_get_shell("xterm -e"), "xterm -e");
  ::unsetenv("SHELL");
  EXPECT_EQ(proc_get_shell(""), "/bin/sh");
  ::setenv("SHELL", "/bin/sh", 1);
}

int32_t run_shell(const std::string& script, bool no_wait = false) {
  ProcRunRequest r;
  r.command = script;
  r.no_wait = no_wait;
  bool failed = true;
  const int32_t status = proc_run_command(r, &failed);
  EXPECT_EQ(failed, status < 0);
  return status;
}

TEST(ProcRun, StatusOfEachEnding) {
  ::setenv("SHELL", "/bin/sh", 1);
  struct Case {
    const char* script;
    int32_t want;
  };
  const Case cases[] = {
      {"exit 0", 0},
      {"exit 3", 3},
      {"kill -9 $$", 9 * 256},
      {"kill -TERM $$", SIGTERM * 256},
      {"/nonexistent/program", 127},
      {"kill -INT $PPID; sleep 0.1; exit 0", kProcStatusInterrupted},
      {"exit 4", 4},  // a Ctrl+C of the run before does not stick
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(run_shell(c.script), c.want);
  }
  // A raw program that cannot be executed.
  ProcRunRequest r;
  r.command = "/nonexistent/prog arg";
  r.raw = true;
  EXPECT_EQ(proc_run_command(r), kProcStatusNoExec);
}

TEST(ProcRun, TerminalFormRunsTheCommandAsTyped) {
  // A stand-in terminal: drops its options up to -e and runs the rest.
  const char* t = std::getenv("TMPDIR");
  std::string dir = std::string(t && *t ? t : "/tmp") + "/zvx-term-XXXXXX";
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  const std::string term = dir + "/fake-xterm", out = dir + "/out";
  FILE* f = std::fopen(term.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("#!/bin/sh\nwhile [ $# -gt 0 ] && [ \"$1\" != -e ]; do shift; done\nshift\nexec \"$@\"\n", f);
  std::fclose(f);
  ::chmod(term.c_str(), 0755);
  const std::string prefix = term + " -T \"Zorvex run\" -e /bin/sh -c";
  struct Case {
    std::string command;
    int32_t want;
  };
  const Case cases[] = {
      {"exit 5", 5},
      {"printf '%s' \"a b\" > " + out, 0},
  };
  for (const Case& c : cases) {
    ProcRunRequest r;
    r.command = c.command;
    r.terminal_prefix = prefix;
    EXPECT_EQ(proc_run_command(r), c.want) << c.command;
  }
  std::string got(16, '\0');
  FILE* o = std::fopen(out.c_str(), "r");
  ASSERT_NE(o, nullptr);
  got.resize(std::fread(got.data(), 1, got.size(), o));
  std::fclose(o);
  EXPECT_EQ(got, "a b") << "the shell gets the command without added quotes";
  std::remove(out.c_str());
  std::remove(term.c_str());
  ::rmdir(dir.c_str());
}

TEST(ProcRun, BeforeAndAfterSurroundTheRun) {
  std::vector<std::string> log;
  ProcRunRequest r;
  r.command = "exit 0";
  r.argument = &log;
  r.before = [](void* a) { static_cast<std::vector<std::string>*>(a)->push_back("before"); };
  r.after = [](void* a) { static_cast<std::vector<std::string>*>(a)->push_back("after"); };
  EXPECT_EQ(proc_run_command(r), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"before", "after"}));
}

int open_fds() {
  int n = 0;
  DIR* d = ::opendir("/proc/self/fd");
  while (d && ::readdir(d)) ++n;
  if (d) ::closedir(d);
  return n;
}

// Children of this process that have ended but not been reaped.
int zombies() {
  const std::string me = std::to_string(::getpid());
  int n = 0;
  DIR* d = ::opendir("/proc");
  while (dirent* e = d ? ::readdir(d) : nullptr) {
    const std::string stat = std::string("/proc/") + e->d_name + "/stat";
    FILE* f = std::fopen(stat.c_str(), "r");
    if (!f) continue;
    char buf[512] = {};
    const size_t got = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const std::string s(buf, got);
    const size_t close = s.rfind(')');
    if (close == std::string::npos || close + 4 > s.size()) continue;
    // After the name: " S ppid ..."
    const char state = s[close + 2];
    const std::string ppid = s.substr(close + 4, s.find(' ', close + 4) - close - 4);
    if (state == 'Z' && ppid == me) ++n;
  }
  if (d) ::closedir(d);
  return n;
}

TEST(ProcRun, AThousandRunsLeaveNoZombieAndNoDescriptor) {
  ::alarm(120);       // a hang fails the test instead of stalling the suite
  proc_sigchld_fd();  // the one self-pipe every run shares is not a leak
  const int fds = open_fds();
  int counts[4] = {};
  for (int i = 0; i < 1000; ++i) {
    ProcRunRequest r;
    r.raw = true;
    switch (i % 4) {
      case 0:
        r.command = "/bin/true";
        break;
      case 1:
        r.command = "/nonexistent/program";
        break;
      case 2:
        r.command = "/bin/sh -c \"kill -9 $$\"";
        break;
      case 3:
        r.command = "/bin/true";
        r.no_wait = true;
        break;
    }
    const int32_t status = proc_run_command(r);
    const int32_t want[4] = {0, 127, 2304, 0};
    if (status == want[i % 4]) ++counts[i % 4];
  }
  ::alarm(0);
  EXPECT_EQ(counts[0], 250);
  EXPECT_EQ(counts[1], 250);
  EXPECT_EQ(counts[2], 250);
  EXPECT_EQ(counts[3], 250);
  // Detached children are adopted by init; give the last ones a moment.
  for (int i = 0; i < 50 && zombies() > 0; ++i) ::usleep(10000);
  EXPECT_EQ(zombies(), 0);
  EXPECT_EQ(open_fds(), fds);
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "no child of ours is left to reap";
  EXPECT_EQ(errno, ECHILD);
}

TEST(ProcRun, TheChildSeesOnlyItsStandardDescriptors) {
  ::setenv("SHELL", "/bin/sh", 1);
  int p[2];
  ASSERT_EQ(0, ::pipe(p));  // not close-on-exec: the run must still keep it from the child
  const std::string script = "test -e /proc/self/fd/" + std::to_string(p[0]) + " && exit 1; exit 0";
  EXPECT_EQ(run_shell(script), 0);
  ::close(p[0]);
  ::close(p[1]);
}

}  // namespace
