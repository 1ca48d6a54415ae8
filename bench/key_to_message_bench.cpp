// BM_KeyToMessage: from an XTest key press on another connection to the
// matching ZWM_CHAR out of the get-message call, on a private Xvfb. Each
// press is timed alone (manual time); p50 and p99 of the run are reported
// as counters. The editor's key-to-screen goal is p99 under 5 ms.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "tests/support/xvfb.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/window.h"
#include "winsys/xinit.h"

namespace {

constexpr unsigned kKeycode = 38;  // 'a' on Xvfb's map

void BM_KeyToMessage(benchmark::State& state) {
  auto server = xtest::XvfbServer::start();
  if (!server) {
    state.SkipWithError("no Xvfb");
    return;
  }
  setenv("DISPLAY", server->display_name().c_str(), 1);
  xfInitX();
  XfWindow* client = nullptr;
  XfWindow* frame =
      xfCreateFrame(nullptr, 0, kFrameTitle, nullptr, "Zorvex", nullptr, nullptr, 1, &client, 10, 10, 300, 200);
  xfSetWindowPos(frame, nullptr, 0, 0, 0, 0, 0x80);
  Display* injector = server->display();
  XSetInputFocus(injector, frame->xwin, RevertToParent, CurrentTime);
  XSync(injector, False);
  // Until the frame is active, keys go nowhere; then drain what is left.
  XfMessage m{};
  while (!xfQueryActiveFrame()) {
    if (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
    xfPumpXEvents();
  }
  xfPaintAllNow();

  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(state.max_iterations));
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    XTestFakeKeyEvent(injector, kKeycode, True, 0);
    XFlush(injector);
    for (;;) {
      xfGetMsg(&m, nullptr, 0, 0);
      if (m.number == ZWM_CHAR && m.mp2 == static_cast<intptr_t>(kKeycode)) break;
      xfDispatchMsg(&m);
    }
    auto end = std::chrono::steady_clock::now();
    double seconds = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(seconds);
    micros.push_back(seconds * 1e6);
    // The release, out of the timed part.
    XTestFakeKeyEvent(injector, kKeycode, False, 0);
    XSync(injector, False);
    xfPumpXEvents();
    while (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
  }
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) { return micros[static_cast<size_t>(q * static_cast<double>(micros.size() - 1))]; };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = micros.back();
  xfDestroyWindow(frame);
  xfShutdownX();
}

BENCHMARK(BM_KeyToMessage)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
