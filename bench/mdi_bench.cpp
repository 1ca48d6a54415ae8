// MDI arrangement on a private Xvfb: ten children in a 1000 x 700 MDI
// client, the lowest brought to the top and all tiled again (so every
// child moves and changes size each time), then every pending paint done:
// the frames' borders, the title bars, the buttons, the scroll bars and the
// client areas (area_paints_per_tile counts the client areas). Each
// iteration ends with a round trip, so the server's work is counted.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

#include "tests/support/xvfb.h"
#include "winsys/mdi.h"
#include "winsys/mdi_winapi.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

constexpr int kChildren = 10;
int64_t g_paints = 0;  // client areas painted

intptr_t area_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  if (n == ZWM_PAINT) {
    ++g_paints;
    Display* d = xf_display();
    GC gc = xf_scratch_gc();
    XSetForeground(d, gc, WhitePixel(d, DefaultScreen(d)));
    XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(w->width), static_cast<unsigned>(w->height));
    xfValidateWindow(w);
    return 0;
  }
  return WinDefMDIChildProc(w, n, mp1, mp2);
}

struct Mdi {
  std::unique_ptr<xtest::XvfbServer> server;
  XfWindow* client = nullptr;

  bool open() {
    server = xtest::XvfbServer::start();
    if (!server) return false;
    setenv("DISPLAY", server->display_name().c_str(), 1);
    xfInitX();
    WinRegisterClass("bench_mdi", area_proc, 0, 0);
    XfWindow* frame = WinCreateStdWindow(0, kFrameTitle, nullptr, "App", kStyleVisible, 0, 0, 1000, 700, nullptr, 1,
                                         nullptr, nullptr);
    XfWindow* inner = WinQueryFrameClient(frame);
    client = WinCreateMDIClient(inner, 1000, 0);
    xfMoveSizeWindow(client, 0, 0, inner->width, inner->height, nullptr);
    xfShowFrameAndWait(frame);
    for (int i = 0; i < kChildren; ++i) {
      std::string title = "child" + std::to_string(i);
      WinCreateMDIChild(client, 0, 6, "bench_mdi", title.c_str(), 20 * i, 20 * i, 300, 200, 0, nullptr, nullptr);
    }
    settle();
    return true;
  }
  // Everything the arrangement caused: size and move messages, the
  // invalidated decoration and the exposures of the client areas.
  static void settle() {
    XSync(xf_display(), False);
    XfMessage m{};
    while (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
    xfPaintAllNow();
    XSync(xf_display(), False);
  }
  ~Mdi() {
    if (server) {
      xfShutdownX();
      xf_reset();
    }
  }
};

void BM_TileAndRepaint(benchmark::State& state) {
  Mdi m;
  if (!m.open()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  g_paints = 0;
  for (auto _ : state) {
    // The lowest child comes to the top, so the stacking order the tiling
    // follows changes and every child gets a new rectangle.
    XfWindow* lowest = nullptr;
    for (XfWindow* w = m.client->first_child; w; w = w->next_sibling) {
      if (w->kind == XFTYPE_MDITOPFRAME) lowest = w;
    }
    WinMDIActivate(nullptr, lowest, 1);
    WinMDITile(m.client, 0);
    Mdi::settle();
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
  // Every child's client area is painted again each time.
  state.counters["area_paints_per_tile"] = static_cast<double>(g_paints) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TileAndRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
