// What the editor's X tests share: the real zorvex program started on a
// private Xvfb server, the windows of its frame found by their place and
// size, and the pixels of a window read back. Each test file derives its
// fixture from EditorXFixture and keeps only what is its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/temp_dir.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace editor_x {

using namespace std::chrono_literals;

// The cells of the editor's default font (adobe courier 12 at 75 dpi).
inline constexpr int kCellW = 7, kLineH = 13;
inline constexpr unsigned long kPaper = 0xFFFFFF;  // the text colours' paper: white

inline std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Waits for a condition with a bound: the editor paints and answers in its
// own time, so every check waits.
using xtest::eventually;

class EditorXFixture : public ::testing::Test {
 protected:
  // `dir_prefix` names the test's private HOME, so a left-over directory
  // tells which file made it.
  explicit EditorXFixture(const std::string& dir_prefix) : dir_(dir_prefix) {}

  void SetUp() override {
    std::string why;
    server_ = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server_) << why;
    d_ = server_->display();
    // A read that misses a window fails that read, not the test program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  void TearDown() override {
    editor_.reset();
    server_.reset();
  }

  // Starts the editor on the arguments and waits for its frame. The caller
  // checks HasFatalFailure() before going on.
  void spawn_editor(const std::vector<std::string>& args) {
    std::vector<std::string> argv{program_};
    argv.insert(argv.end(), args.begin(), args.end());
    editor_ = server_->spawn(argv, {"HOME=" + dir_.path()});
    ASSERT_TRUE(editor_);
    frame_ = server_->wait_for_class("Halvorn");
    ASSERT_NE(frame_, 0u) << "no frame";
  }
  // Starts the editor on the arguments and waits until its editor window is
  // on the screen with the focus.
  void start(const std::vector<std::string>& args) {
    spawn_editor(args);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(eventually([&] { return (pane_ = find_pane()) != 0; })) << "no editor window";
    ASSERT_TRUE(server_->focus(frame_));
  }

  std::vector<Window> children(Window w) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    std::vector<Window> out;
    if (!w || !XQueryTree(d_, w, &root, &parent, &kids, &n)) return out;
    out.assign(kids, kids + n);
    if (kids) XFree(kids);
    return out;
  }
  // The largest window `levels` levels below the frame (the top-most of
  // equals): the client, not the menu bar beside it.
  Window descend(int levels) {
    Window w = frame_;
    for (int depth = 0; depth < levels; ++depth) {
      Window best = 0;
      long best_area = -1;
      for (Window k : children(w)) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(d_, k, &a)) continue;
        const long area = static_cast<long>(a.width) * a.height;
        if (area >= best_area) best_area = area, best = k;
      }
      if (!best) return 0;
      w = best;
    }
    return w;
  }
  // Where the editor window shows: the MDI client at the top left of the
  // frame's client (frame, inner window, client), once it holds a child
  // frame. The maximised editor window's text starts at its origin, and a
  // read of it takes in what its children show. The message and status
  // lines lie below it.
  Window find_pane() {
    for (Window w : children(descend(2))) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, w, &a) && a.x == 0 && a.y == 0 && !children(w).empty()) return w;
    }
    return 0;
  }
  // The bands along the bottom of the frame's client: 0 the message line,
  // 1 the status line (which holds the command line's field).
  Window band(int from_bottom) {
    std::vector<std::pair<int, Window>> by_y;
    for (Window w : children(descend(2))) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable) by_y.emplace_back(a.y, w);
    }
    std::sort(by_y.rbegin(), by_y.rend());
    return from_bottom < static_cast<int>(by_y.size()) ? by_y[from_bottom].second : 0;
  }

  // Pixels of a box of a window unlike `paper`; -1 when it cannot be read.
  int ink_in(Window w, int x0, int y0, int x1, int y1, unsigned long paper = kPaper) {
    XSync(d_, False);
    XImage* im =
        XGetImage(d_, w, x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (!im) return -1;
    int n = 0;
    for (int y = 0; y < y1 - y0; ++y)
      for (int x = 0; x < x1 - x0; ++x) n += (XGetPixel(im, x, y) & 0xFFFFFF) != paper;
    XDestroyImage(im);
    return n;
  }
  // Pixels of a window unlike its colour at its right end, over [x0, x1)
  // (x1 < 0: all but the right end).
  int ink_on_own_paper(Window m, int x0 = 0, int x1 = -1) {
    XWindowAttributes a{};
    if (!m || !XGetWindowAttributes(d_, m, &a) || a.width < 8) return -1;
    XSync(d_, False);
    XImage* im = XGetImage(d_, m, a.width - 2, a.height / 2, 1, 1, AllPlanes, ZPixmap);
    if (!im) return -1;
    const unsigned long paper = XGetPixel(im, 0, 0) & 0xFFFFFF;
    XDestroyImage(im);
    return ink_in(m, x0, 0, x1 < 0 ? a.width - 4 : x1, a.height, paper);
  }
  // Ink on the message line, the band along the bottom of the frame's
  // client.
  int message_ink() { return ink_on_own_paper(band(0)); }

  // The command line's field: the first child of the status line.
  Window command_field() {
    const std::vector<Window> k = children(band(1));
    return k.empty() ? 0 : k.front();
  }
  int field_ink(int x0 = 0, int x1 = -1) { return ink_on_own_paper(command_field(), x0, x1); }
  // A click into the command line gives it the keys.
  bool click_command_line() {
    const Window f = command_field();
    return f && server_->xdotool({"mousemove", "--window", std::to_string(f), "40", "8", "click", "1"});
  }

  bool keys(const std::vector<std::string>& k) { return server_->keys(k); }
  // The editor has handled everything sent so far, and drawn it.
  bool synced() { return server_->sync(frame_); }
  bool type(const std::string& text) { return server_->xdotool({"type", "--delay", "5", text}); }

  // The editor's exit status once it ends by itself.
  std::optional<int> exit_status(std::chrono::milliseconds limit = 20s) {
    auto s = editor_->wait_exit(limit);
    if (!s || !WIFEXITED(*s)) return std::nullopt;
    return WEXITSTATUS(*s);
  }

  zvxtest::TempDir dir_;
  // The program started: the build's, or a copy a test put beside files of
  // its own (the lexers, help and state file are looked for beside it).
  std::string program_ = std::string(ZVX_BINARY_DIR) + "/app/zorvex";
  std::unique_ptr<xtest::XvfbServer> server_;
  std::unique_ptr<xtest::ChildProgram> editor_;
  Display* d_ = nullptr;
  Window frame_ = 0, pane_ = 0;
};

}  // namespace editor_x
