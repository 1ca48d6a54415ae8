// A private X server for one test, and the few things a test does with it.
//
// Every X test starts its own Xvfb: the program under test rewrites the
// server's keyboard map at start-up, so servers are never shared. The server
// picks a free display number itself (-displayfd) and runs at 75 dpi. The
// helper drives programs the way a user would (xdotool for focus, keys and
// clicks), finds windows by their WM_CLASS class, and reads pixels back with
// XGetImage. Destroying the XvfbServer stops the server and every program
// started through it; nothing is left running, even when the test dies.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace xtest {

struct XvfbOptions {
  int width = 1024;
  int height = 768;
  int depth = 24;
  int dpi = 75;
};

class ChildProgram;

// How a program is started beyond its arguments.
struct SpawnOptions {
  // "NAME=value" sets a variable; a bare "NAME" removes it.
  std::vector<std::string> env;
  // The working directory; empty: the test's own.
  std::string dir;
  // Descriptors opened for writing onto files (created or truncated) before
  // the program starts: 2 for its standard error, 3 and up for its own use.
  std::vector<std::pair<int, std::string>> write_files;
};

// Polls a condition every `poll` until it holds or `limit` has passed; true
// when it came. Programs paint and answer in their own time, so every
// check waits for its state.
bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(10),
                std::chrono::milliseconds poll = std::chrono::milliseconds(10));

class XvfbServer {
 public:
  // Starts the server and opens a connection of the test's own; nullptr
  // (with the reason in *why) when the server does not come up.
  static std::unique_ptr<XvfbServer> start(const XvfbOptions& options = {}, std::string* why = nullptr);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", for DISPLAY.
  const std::string& display_name() const { return name_; }
  // The test's own connection (kept open for the server's life).
  Display* display() const { return display_; }
  pid_t pid() const { return pid_; }

  // Runs a program with DISPLAY set to this server (plus `env`, each
  // "NAME=value"); its standard output is readable line by line.
  std::unique_ptr<ChildProgram> spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  std::unique_ptr<ChildProgram> spawn_with(const std::vector<std::string>& argv, const SpawnOptions& options);

  // Runs xdotool with the arguments and waits for it; true when it exits 0.
  bool xdotool(const std::vector<std::string>& args);
  // `xdotool windowfocus --sync`.
  bool focus(Window w);
  // `xdotool key --window?`: keys as xdotool names them ("a", "ctrl+x", "F12").
  bool keys(const std::vector<std::string>& keys);
  // Moves the pointer to (x, y) inside w and clicks the button.
  bool click(Window w, int x, int y, int button = 1);

  // The first window (depth first, from the root) whose WM_CLASS class is
  // `cls` and, when given, whose WM_NAME is `name`; waits up to `timeout`.
  Window wait_for_class(const std::string& cls, const std::string& name = {},
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // The pixel at (x, y) of w, read with XGetImage; nullopt when the read
  // fails (outside the window, or the window is gone).
  std::optional<unsigned long> pixel(Window w, int x, int y);
  // The pixel once it shows `colour`, or what it shows after `limit`
  // (0xDEADBEEF for a failed read): programs paint from their own loops.
  unsigned long pixel_when(Window w, int x, int y, unsigned long colour,
                           std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Gives the X focus to the top-level window holding w, as a window
  // manager would.
  bool focus_top_level(Window w);
  // The window's WM_NAME (empty without one), and the same once it reads
  // `want`, or what it reads after `limit`.
  std::string title(Window w);
  std::string title_when(Window w, const std::string& want, std::chrono::milliseconds limit = std::chrono::seconds(3));
  // Waits until the editor whose frame this is has handled everything sent
  // to it before this call (keys, clicks, property changes) and its drawing
  // is on the server: a "_ZORVEX_SYNC" message goes to the frame, and the
  // editor answers with its token in the frame's "_ZORVEX_IDLE" property
  // when its queues run dry. False after `limit`.
  bool sync(Window frame, std::chrono::milliseconds limit = std::chrono::seconds(20));
  // The editor's count of idle turns (0 before the first).
  long idle_count(Window frame);

 private:
  XvfbServer() = default;
  // The frame's "_ZORVEX_IDLE": the idle count and the last sync token.
  std::pair<long, long> idle_property(Window frame);
  long sync_token_ = 0;
  pid_t pid_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};

// A program started by XvfbServer::spawn. The destructor ends it (SIGTERM,
// then SIGKILL) and reaps it.
class ChildProgram {
 public:
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  pid_t pid() const { return pid_; }
  // The next line of standard output (without the newline), or nullopt
  // when none arrives within the time-out or the program has closed it.
  std::optional<std::string> read_line(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Reads lines until one starts with `prefix`; returns it (nullopt on
  // time-out). Lines read on the way are kept in `skipped` when given.
  std::optional<std::string> wait_for_line(const std::string& prefix,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(10),
                                           std::vector<std::string>* skipped = nullptr);
  // Whether the program still runs.
  bool running();
  // Waits for the program to end by itself; its exit status as waitpid
  // reports it, or nullopt on time-out.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  friend class XvfbServer;
  ChildProgram() = default;
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string buffered_;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace xtest
