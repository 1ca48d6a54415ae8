// Child processes: see proc_run.h.
#include "services/proc_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "base/filename.h"
#include "base/os.h"
#include "macro/bi_misc.h"
#include "macro/command_port.h"

namespace {

// The self-pipe the SIGCHLD handler writes to; -1 until first needed.
int g_sigchld_pipe[2] = {-1, -1};
// The last signal other than SIGCHLD that reached the editor during a
// synchronous run.
volatile sig_atomic_t g_last_signal = 0;

void on_sigchld(int) {
  const int saved = errno;
  if (g_sigchld_pipe[1] >= 0) {
    const char b = 0;
    [[maybe_unused]] ssize_t n = ::write(g_sigchld_pipe[1], &b, 1);
  }
  errno = saved;
}

void on_run_signal(int sig) { g_last_signal = sig; }

// What a wait that fails for another reason than a signal reports: exit
// code 63, as the background processes' reaping does.
constexpr int kWaitFailedStatus = 16128;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The command with the file after a blank, cut at a line's capacity.
std::string command_and_file(const ProcRunRequest& r) {
  std::string s(r.command.substr(0, 1024));
  if (!r.file.empty()) {
    s += ' ';
    s.append(r.file.substr(0, 1024));
  }
  return s;
}

// What the child does between fork and execve: its own process group, the
// default signal actions (SIGPIPE included: the editor ignores it), an
// empty signal mask, no descriptors but 0, 1 and 2.
void child_setup() {
  ::setpgid(0, 0);
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD}) ::signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  proc_close_inherited_fds();
}

[[noreturn]] void child_exec(const std::vector<std::string>& argv, char** envp) {
  std::vector<char*> v;
  v.reserve(argv.size() + 1);
  for (const std::string& a : argv) v.push_back(const_cast<char*>(a.c_str()));
  v.push_back(nullptr);
  if (!v.empty() && v[0]) ::execve(v[0], v.data(), envp);
  ::_exit(kProcStatusNoExec);
}

// Blocks SIGCHLD for the scope, so that the handler never runs between a
// fork and the bookkeeping that follows it.
class BlockSigchld {
 public:
  BlockSigchld() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &s, &old_);
  }
  ~BlockSigchld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
  BlockSigchld(const BlockSigchld&) = delete;
  BlockSigchld& operator=(const BlockSigchld&) = delete;

 private:
  sigset_t old_;
};

// Records SIGINT, SIGTERM and SIGQUIT for the length of a run and puts the
// previous actions back afterwards.
class RunSignals {
 public:
  RunSignals() {
    struct sigaction sa {};
    sa.sa_handler = on_run_signal;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &sa, &old_[i]);
  }
  ~RunSignals() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
  }
  RunSignals(const RunSignals&) = delete;
  RunSignals& operator=(const RunSignals&) = delete;

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGQUIT};
  struct sigaction old_[3];
};

// Waits for pid in the main flow: a non-blocking wait, then a sleep of at
// most 5 ms on the self-pipe, until the child has ended.
int wait_for(pid_t pid) {
  const int fd = proc_sigchld_fd();
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid && (WIFEXITED(status) || WIFSIGNALED(status))) return status;
    if (r < 0 && errno != EINTR) return kWaitFailedStatus;
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, fd >= 0 ? 1 : 0, 5);
    proc_sigchld_drain();
  }
}

}  // namespace

std::vector<std::string> proc_split_args(std::string_view text, const std::vector<std::string>& initial,
                                         const std::string* extra) {
  std::vector<std::string> out = initial;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && is_blank(text[i])) ++i;
    std::string word;
    if (i < text.size() && text[i] == '"') {
      const size_t end = text.find('"', i + 1);
      const size_t stop = end == std::string_view::npos ? text.size() : end;
      word.assign(text.substr(i + 1, stop - i - 1));
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      const size_t start = i;
      while (i < text.size() && !is_blank(text[i])) ++i;
      word.assign(text.substr(start, i - start));
    }
    if (word.empty()) break;
    out.push_back(std::move(word));
  }
  if (extra) out.push_back(*extra);
  return out;
}

std::string proc_quote(std::string_view s) {
  if (s.find(' ') == std::string_view::npos) return std::string(s);
  std::string q = "\"";
  q.append(s);
  q += '"';
  return q;
}

std::string proc_get_shell(std::string_view terminal_prefix) {
  if (!terminal_prefix.empty()) return std::string(terminal_prefix);
  const char* sh = os_env_get("SHELL");
  if (sh && *sh) return std::string(std::string_view(sh).substr(0, 256));
  return "/bin/sh";
}

std::vector<std::string> proc_command_argv(const ProcRunRequest& r) {
  const std::string line = command_and_file(r);
  if (r.raw) return proc_split_args(line);
  // The command goes to the terminal's shell as one argument, as typed: no
  // quotes that the shell would take for part of the program's name.
  if (!r.terminal_prefix.empty()) return proc_split_args(r.terminal_prefix, {}, &line);
  return {proc_get_shell({}), "-c", line, "-f"};
}

int32_t proc_run_command(const ProcRunRequest& r, bool* failed) {
  const std::vector<std::string> argv = proc_command_argv(r);
  if (r.before) r.before(r.argument);
  const int32_t result = proc_spawn_wait(argv, env_block(), r.no_wait);
  if (r.after) r.after(r.argument);
  if (failed) *failed = result < 0;
  return result;
}

// Command execution's programs: a bare name is looked up along the
// editor's PATH, as the shell would.
int32_t cmd_run_program(const CmdProcess& p) {
  if (p.argv.empty()) return kProcStatusNoFork;
  std::vector<std::string> argv = p.argv;
  if (argv[0].find('/') == std::string::npos) {
    LStrLine in(argv[0]), out, var("PATH");
    int flag = 0, extra = 0;
    if (file_search_env_path(out, in, var, 1, out.cap, &flag, &extra) == 0) argv[0] = std::string(out.view());
  }
  return proc_spawn_wait(argv, nullptr, false);
}

int32_t proc_wait_status_code(int st) {
  if (WIFEXITED(st)) return WEXITSTATUS(st);
  if (WIFSTOPPED(st)) return kProcStatusNoFork;
  if (WIFSIGNALED(st)) return WTERMSIG(st) * 256;
  return (st & 0x7f) * 256;
}

int32_t proc_spawn_wait(const std::vector<std::string>& argv, char** envp, bool no_wait) {
  if (argv.empty()) return kProcStatusNoExec;
  if (!envp) envp = env_block();
  proc_sigchld_fd();
  g_last_signal = 0;  // a Ctrl+C of an earlier run does not count for this one
  RunSignals signals;
  pid_t pid;
  {
    BlockSigchld block;
    pid = ::fork();
    if (pid == 0) {
      if (no_wait) {
        // The intermediate process: its child runs the program and is
        // adopted by init when this one exits.
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
      }
      child_setup();
      child_exec(argv, envp);
    }
  }
  if (pid < 0) return kProcStatusNoFork;
  const int status = wait_for(pid);
  if (no_wait) return 0;
  if (g_last_signal == SIGINT) return kProcStatusInterrupted;
  return proc_wait_status_code(status);
}

int proc_sigchld_fd() {
  if (g_sigchld_pipe[0] < 0) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    g_sigchld_pipe[0] = p[0];
    g_sigchld_pipe[1] = p[1];
    struct sigaction sa {};
    sa.sa_handler = on_sigchld;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    ::sigaction(SIGCHLD, &sa, nullptr);
  }
  return g_sigchld_pipe[0];
}

void proc_sigchld_drain() {
  if (g_sigchld_pipe[0] < 0) return;
  char buf[64];
  while (::read(g_sigchld_pipe[0], buf, sizeof buf) > 0) {
  }
}

void proc_ignore_sigpipe() { ::signal(SIGPIPE, SIG_IGN); }

void proc_close_inherited_fds() {
  if (::close_range(3, ~0u, 0) == 0) return;
  const long max = ::sysconf(_SC_OPEN_MAX);
  for (long fd = 3; fd < (max > 0 ? max : 1024); ++fd) ::close(static_cast<int>(fd));
}
