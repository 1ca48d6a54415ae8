#include "tests/support/xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace xtest {

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::vector<char*> c_argv(const std::vector<std::string>& args) {
  std::vector<char*> v;
  for (const auto& a : args) v.push_back(const_cast<char*>(a.c_str()));
  v.push_back(nullptr);
  return v;
}

// In the child between fork and exec: die with the test process, so that a
// test that crashes leaves no server or program behind.
void tie_to_parent(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
}

// Ends a child: SIGTERM, a short grace period, then SIGKILL; always reaps.
int end_child(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == pid) return status;
  kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

int run_and_wait(const std::vector<std::string>& argv, const std::string& display) {
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    tie_to_parent(parent);
    setenv("DISPLAY", display.c_str(), 1);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) dup2(devnull, 1);
    auto v = c_argv(argv);
    execvp(v[0], v.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool class_matches(Display* d, Window w, const std::string& cls, const std::string& name) {
  XClassHint hint{};
  if (!XGetClassHint(d, w, &hint)) return false;
  bool ok = hint.res_class && cls == hint.res_class;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  if (ok && !name.empty()) {
    char* wm_name = nullptr;
    ok = XFetchName(d, w, &wm_name) && wm_name && name == wm_name;
    if (wm_name) XFree(wm_name);
  }
  return ok;
}

Window find_class(Display* d, Window w, const std::string& cls, const std::string& name) {
  if (class_matches(d, w, cls, name)) return w;
  Window root_ret = 0, parent = 0;
  Window* kids = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root_ret, &parent, &kids, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && !found; ++i) found = find_class(d, kids[i], cls, name);
  if (kids) XFree(kids);
  return found;
}

// The windows searched may vanish under the walk; such errors are expected.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

}  // namespace

bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit, std::chrono::milliseconds poll) {
  const auto until = Clock::now() + limit;
  while (Clock::now() < until) {
    if (cond()) return true;
    std::this_thread::sleep_for(poll);
  }
  return cond();
}

std::unique_ptr<XvfbServer> XvfbServer::start(const XvfbOptions& options, std::string* why) {
  auto fail = [&](const std::string& reason) -> std::unique_ptr<XvfbServer> {
    if (why) *why = reason;
    return nullptr;
  };
  int fds[2];
  if (pipe(fds) != 0) return fail("pipe failed");
  std::string screen =
      std::to_string(options.width) + "x" + std::to_string(options.height) + "x" + std::to_string(options.depth);
  std::vector<std::string> argv = {"Xvfb",    "-displayfd", std::to_string(fds[1]),      "-screen",   "0",
                                   screen,    "-dpi",       std::to_string(options.dpi), "-nolisten", "tcp",
                                   "-noreset"};
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) return fail("fork failed");
  if (pid == 0) {
    tie_to_parent(parent);
    close(fds[0]);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    auto v = c_argv(argv);
    execvp(v[0], v.data());
    _exit(127);
  }
  close(fds[1]);
  std::unique_ptr<XvfbServer> server(new XvfbServer);
  server->pid_ = pid;

  // The server writes its display number, then a newline, once it listens.
  std::string number;
  auto deadline = Clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos) {
    pollfd p{fds[0], POLLIN, 0};
    int r = poll(&p, 1, ms_left(deadline));
    if (r <= 0) break;
    char buf[32];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) return fail("Xvfb did not report a display number");
  number.resize(number.find('\n'));
  server->name_ = ":" + number;
  server->display_ = XOpenDisplay(server->name_.c_str());
  if (!server->display_) return fail("cannot connect to " + server->name_);
  return server;
}

XvfbServer::~XvfbServer() {
  if (display_) XCloseDisplay(display_);
  if (pid_ > 0) end_child(pid_);
}

std::unique_ptr<ChildProgram> XvfbServer::spawn(const std::vector<std::string>& argv,
                                                const std::vector<std::string>& env) {
  SpawnOptions options;
  options.env = env;
  return spawn_with(argv, options);
}

std::unique_ptr<ChildProgram> XvfbServer::spawn_with(const std::vector<std::string>& argv,
                                                     const SpawnOptions& options) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return nullptr;
  }
  if (pid == 0) {
    tie_to_parent(parent);
    dup2(fds[1], 1);
    for (const auto& [fd, path] : options.write_files) {
      const int f = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (f < 0 || dup2(f, fd) < 0) _exit(127);
      if (f != fd) close(f);
    }
    if (!options.dir.empty() && chdir(options.dir.c_str()) != 0) _exit(127);
    setenv("DISPLAY", name_.c_str(), 1);
    for (const auto& e : options.env) {
      const size_t eq = e.find('=');
      if (eq == std::string::npos)
        unsetenv(e.c_str());
      else
        setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    auto v = c_argv(argv);
    execv(v[0], v.data());
    _exit(127);
  }
  close(fds[1]);
  std::unique_ptr<ChildProgram> child(new ChildProgram);
  child->pid_ = pid;
  child->out_fd_ = fds[0];
  return child;
}

bool XvfbServer::xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_and_wait(argv, name_) == 0;
}

bool XvfbServer::focus(Window w) { return xdotool({"windowfocus", "--sync", std::to_string(w)}); }

bool XvfbServer::keys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"key", "--delay", "20"};
  args.insert(args.end(), keys.begin(), keys.end());
  return xdotool(args);
}

bool XvfbServer::click(Window w, int x, int y, int button) {
  return xdotool({"mousemove", "--sync", "--window", std::to_string(w), std::to_string(x), std::to_string(y)}) &&
         xdotool({"click", std::to_string(button)});
}

Window XvfbServer::wait_for_class(const std::string& cls, const std::string& name, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  auto old = XSetErrorHandler(ignore_errors);
  Window found = 0;
  for (;;) {
    found = find_class(display_, DefaultRootWindow(display_), cls, name);
    if (found || Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  XSync(display_, False);
  XSetErrorHandler(old);
  return found;
}

std::optional<unsigned long> XvfbServer::pixel(Window w, int x, int y) {
  auto old = XSetErrorHandler(ignore_errors);
  XImage* image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
  XSync(display_, False);
  XSetErrorHandler(old);
  if (!image) return std::nullopt;
  unsigned long p = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return p;
}

unsigned long XvfbServer::pixel_when(Window w, int x, int y, unsigned long colour, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const unsigned long p = pixel(w, x, y).value_or(0xDEADBEEF);
    if (p == colour || std::chrono::steady_clock::now() >= until) return p;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string XvfbServer::title(Window w) {
  char* name = nullptr;
  std::string t;
  if (XFetchName(display_, w, &name) && name) t = name;
  if (name) XFree(name);
  return t;
}

std::string XvfbServer::title_when(Window w, const std::string& want, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::string t = title(w);
    if (t == want || std::chrono::steady_clock::now() >= until) return t;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::pair<long, long> XvfbServer::idle_property(Window frame) {
  const Atom atom = XInternAtom(display_, "_ZORVEX_IDLE", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, left = 0;
  unsigned char* data = nullptr;
  std::pair<long, long> out{0, 0};
  if (XGetWindowProperty(display_, frame, atom, 0, 2, False, XA_CARDINAL, &type, &format, &items, &left, &data) ==
          Success &&
      type == XA_CARDINAL && format == 32 && items == 2) {
    const long* v = reinterpret_cast<const long*>(data);
    out = {v[0], v[1]};
  }
  if (data) XFree(data);
  return out;
}

long XvfbServer::idle_count(Window frame) { return idle_property(frame).first; }

bool XvfbServer::sync(Window frame, std::chrono::milliseconds limit) {
  const long token = ++sync_token_;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = frame;
  ev.xclient.message_type = XInternAtom(display_, "_ZORVEX_SYNC", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = token;
  if (!XSendEvent(display_, frame, False, 0, &ev)) return false;
  XFlush(display_);
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (idle_property(frame).second >= token) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool XvfbServer::focus_top_level(Window w) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  for (;;) {
    if (!XQueryTree(display_, w, &root, &parent, &kids, &n)) return false;
    if (kids) XFree(kids);
    if (parent == root) break;
    w = parent;
  }
  return focus(w);
}

ChildProgram::~ChildProgram() {
  if (out_fd_ >= 0) close(out_fd_);
  if (pid_ > 0 && !reaped_) end_child(pid_);
}

std::optional<std::string> ChildProgram::read_line(std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto nl = buffered_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffered_.substr(0, nl);
      buffered_.erase(0, nl + 1);
      return line;
    }
    if (out_fd_ < 0) return std::nullopt;
    pollfd p{out_fd_, POLLIN, 0};
    int r = poll(&p, 1, ms_left(deadline));
    if (r <= 0) return std::nullopt;
    char buf[4096];
    ssize_t n = read(out_fd_, buf, sizeof buf);
    if (n <= 0) {
      close(out_fd_);
      out_fd_ = -1;
      continue;
    }
    buffered_.append(buf, static_cast<size_t>(n));
  }
}

std::optional<std::string> ChildProgram::wait_for_line(const std::string& prefix, std::chrono::milliseconds timeout,
                                                       std::vector<std::string>* skipped) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto line = read_line(std::chrono::milliseconds(ms_left(deadline)));
    if (!line) return std::nullopt;
    if (line->rfind(prefix, 0) == 0) return line;
    if (skipped) skipped->push_back(*line);
  }
}

bool ChildProgram::running() {
  if (reaped_) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

std::optional<int> ChildProgram::wait_exit(std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  while (running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

}  // namespace xtest
