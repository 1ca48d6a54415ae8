// The editor as a user feels it, on a private Xvfb:
// - BM_KeyToScreen: an XTest key press until the typed glyph's pixels are on
//   the screen (read back with XGetImage), then BackSpace until they are
//   gone; p50 and p99 over the presses.
// - BM_StartupToFirstPaint/<kind>: from the start of the program until its
//   first screen is painted: no file (the window's paper shows), a 1 MiB
//   and a 1 GiB file (the first line's ink shows).
// - BM_PeakMemory1GiB: the peak resident memory (VmHWM) after a 1 GiB file
//   was opened and walked to its end with Ctrl+End.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kCellW = 7, kLineH = 13;
constexpr unsigned long kPaper = 0xFFFFFF;

std::string temp_dir() {
  const char* t = std::getenv("TMPDIR");
  std::string tmpl = std::string(t && *t ? t : "/tmp") + "/zvx-ebench-XXXXXX";
  return mkdtemp(tmpl.data()) ? tmpl : std::string();
}

// 64-byte lines up to `bytes`, and "END".
void write_lines(const std::string& path, int64_t bytes) {
  std::string line = "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopq\n";
  std::string block;
  for (int i = 0; i < (1 << 14); ++i) block += line;  // 1 MiB
  std::ofstream f(path, std::ios::binary);
  for (int64_t done = 0; done < bytes; done += static_cast<int64_t>(block.size()))
    f.write(block.data(), static_cast<std::streamsize>(std::min<int64_t>(bytes - done, block.size())));
  f << "END\n";
}

bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit = 20s) {
  const auto until = Clock::now() + limit;
  while (Clock::now() < until)
    if (cond()) return true;
  return cond();
}

// One editor on its own server.
struct Session {
  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> editor;
  Display* d = nullptr;
  Window frame = 0;

  bool start_server() {
    server = xtest::XvfbServer::start();
    if (!server) return false;
    d = server->display();
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return true;
  }
  void start_editor(const std::vector<std::string>& args) {
    std::vector<std::string> argv{std::string(ZVX_BINARY_DIR) + "/app/zorvex"};
    argv.insert(argv.end(), args.begin(), args.end());
    editor = server->spawn(argv);
  }
  // The top-most window `levels` below the frame.
  Window descend(int levels) {
    Window w = frame;
    for (int i = 0; i < levels && w; ++i) {
      Window root = 0, parent = 0, *kids = nullptr;
      unsigned n = 0;
      if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
      w = n ? kids[n - 1] : 0;
      if (kids) XFree(kids);
    }
    return w;
  }
  // Pixels that are not paper in a box of w; -1 when the read fails.
  int ink(Window w, int x0, int y0, int x1, int y1) {
    XImage* im =
        XGetImage(d, w, x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (!im) return -1;
    int n = 0;
    for (int y = 0; y < y1 - y0; ++y)
      for (int x = 0; x < x1 - x0; ++x) n += (XGetPixel(im, x, y) & 0xFFFFFF) != kPaper;
    XDestroyImage(im);
    return n;
  }
  // Waits for the frame; 0 when it does not come.
  Window find_frame(std::chrono::milliseconds limit) {
    eventually(
        [&] {
          Window root = DefaultRootWindow(d), r = 0, p = 0, *kids = nullptr;
          unsigned n = 0;
          if (!XQueryTree(d, root, &r, &p, &kids, &n)) return false;
          for (unsigned i = 0; i < n && !frame; ++i) {
            XClassHint h{};
            if (XGetClassHint(d, kids[i], &h)) {
              if (h.res_class && std::string(h.res_class) == "Halvorn") frame = kids[i];
              if (h.res_name) XFree(h.res_name);
              if (h.res_class) XFree(h.res_class);
            }
          }
          if (kids) XFree(kids);
          return frame != 0;
        },
        limit);
    return frame;
  }
};

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

void BM_KeyToScreen(benchmark::State& state) {
  Session s;
  if (!s.start_server()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  const std::string dir = temp_dir();
  s.start_editor({dir + "/keys.txt"});
  if (!s.find_frame(10s) || !eventually([&] { return s.descend(4) != 0; }, 10s)) {
    state.SkipWithError("no editor window");
    return;
  }
  s.server->focus(s.frame);
  const Window area = s.descend(2);
  const KeyCode m = XKeysymToKeycode(s.d, XK_m), bs = XKeysymToKeycode(s.d, XK_BackSpace);
  std::vector<double> ms;
  auto press = [&](KeyCode k, bool want_ink) {
    const auto t0 = Clock::now();
    XTestFakeKeyEvent(s.d, k, True, 0);
    XTestFakeKeyEvent(s.d, k, False, 0);
    XFlush(s.d);
    // The glyph's cell, without the caret's column at its left edge.
    const bool ok = eventually([&] { return (s.ink(area, 2, 1, kCellW, kLineH - 1) > 4) == want_ink; }, 5s);
    const double t = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (ok) ms.push_back(t);
    return ok;
  };
  for (auto _ : state) {
    for (int i = 0; i < 500; ++i) {
      if (!press(m, true) || !press(bs, false)) {
        state.SkipWithError("a key did not reach the screen");
        break;
      }
    }
  }
  state.counters["keys"] = static_cast<double>(ms.size());
  state.counters["p50_ms"] = percentile(ms, 0.50);
  state.counters["p99_ms"] = percentile(ms, 0.99);
  s.editor.reset();
  std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_KeyToScreen)->Iterations(1)->Unit(benchmark::kMillisecond);

// Arg: 0 no file, 1 a 1 MiB file, 2 a 1 GiB file.
void BM_StartupToFirstPaint(benchmark::State& state) {
  const std::string dir = temp_dir();
  std::vector<std::string> args;
  if (state.range(0) > 0) {
    args.push_back(dir + "/big.txt");
    write_lines(args.back(), state.range(0) == 1 ? (1 << 20) : (int64_t{1} << 30));
  } else {
    args.push_back(dir + "/none.txt");
  }
  std::vector<double> ms;
  for (auto _ : state) {
    Session s;
    if (!s.start_server()) {
      state.SkipWithError("no Xvfb");
      break;
    }
    const auto t0 = Clock::now();
    s.start_editor(args);
    bool painted = s.find_frame(10s) && eventually(
                                            [&] {
                                              const Window area = s.descend(2);
                                              if (!area || !s.descend(4)) return false;
                                              // No file: the paper of the empty window; a file: its first line.
                                              if (state.range(0) == 0) return s.ink(area, 0, 0, 40, 20) == 0;
                                              return s.ink(area, 0, 0, 40 * kCellW, kLineH) > 100;
                                            },
                                            20s);
    const double t = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (!painted) {
      state.SkipWithError("no first screen");
      break;
    }
    ms.push_back(t);
    state.SetIterationTime(t / 1000);
  }
  state.counters["p50_ms"] = percentile(ms, 0.50);
  std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_StartupToFirstPaint)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_PeakMemory1GiB(benchmark::State& state) {
  const std::string dir = temp_dir(), path = dir + "/1g.txt";
  write_lines(path, int64_t{1} << 30);
  double peak_kb = 0;
  for (auto _ : state) {
    Session s;
    if (!s.start_server()) {
      state.SkipWithError("no Xvfb");
      break;
    }
    s.start_editor({path});
    if (!s.find_frame(10s) || !eventually([&] { return s.descend(4) != 0; }, 10s)) {
      state.SkipWithError("no editor window");
      break;
    }
    s.server->focus(s.frame);
    s.server->keys({"ctrl+End"});
    std::this_thread::sleep_for(2s);  // walked to the end and painted
    std::ifstream status("/proc/" + std::to_string(s.editor->pid()) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0) peak_kb = std::atof(line.c_str() + 6);
  }
  state.counters["peak_MiB"] = peak_kb / 1024;
  std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_PeakMemory1GiB)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
