// Menus on a private Xvfb. BM_OpenCloseMenu shows and hides a 30-item popup
// (saving the screen under it, mapping, waiting for its exposure, drawing,
// unmapping and putting the screen back); BM_HighlightSweep is the work of
// 100 pointer motions down that menu (hit test, one item drawn normal and
// one highlighted each); BM_LayoutPopup lays the menu out again from
// scratch. Every iteration of the X ones ends with a round trip.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

#include "tests/support/xvfb.h"
#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/menu_track.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

constexpr int kItems = 30;
constexpr int kMotions = 100;

struct Screen {
  std::unique_ptr<xtest::XvfbServer> server;
  XfMenu* menu = nullptr;

  bool open() {
    server = xtest::XvfbServer::start();
    if (!server) return false;
    setenv("DISPLAY", server->display_name().c_str(), 1);
    xfInitX();
    menu = WinCreateMenu(kMenuKindPopup, nullptr);
    for (int i = 0; i < kItems; ++i) {
      std::string text = "&Item number " + std::to_string(i) + (i % 3 ? "" : "\tCtrl+F" + std::to_string(i % 12));
      WinInsertMenuItem(menu, -1, static_cast<uint32_t>(100 + i), text.c_str(), 0);
    }
    return true;
  }
  ~Screen() {
    if (server) {
      WinDestroyMenu(menu);
      xfShutdownX();
      xf_reset();
    }
  }
};

void BM_OpenCloseMenu(benchmark::State& state) {
  Screen s;
  if (!s.open()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  for (auto _ : state) {
    xfShowMenuWindow(s.menu, 100, 50, nullptr);
    xfHideMenuWindow(s.menu, nullptr);
    XSync(xf_display(), False);
  }
}
BENCHMARK(BM_OpenCloseMenu)->Unit(benchmark::kMicrosecond);

void BM_HighlightSweep(benchmark::State& state) {
  Screen s;
  if (!s.open()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  xfShowMenuWindow(s.menu, 100, 50, nullptr);
  XfMenu* m = s.menu;
  for (auto _ : state) {
    XfMenuItem* lit = nullptr;
    for (int i = 0; i < kMotions; ++i) {
      int32_t y = m->y + 2 + (m->height - 4) * i / kMotions;
      XfMenuItem* it = xfMenuItemFromPoint(m, m->x + 10, y);
      if (it == lit) continue;
      if (lit) xfMenuDrawItem(m, lit, false);
      if (it) xfMenuDrawItem(m, it, true);
      lit = it;
    }
    XSync(xf_display(), False);
  }
  xfHideMenuWindow(m, nullptr);
}
BENCHMARK(BM_HighlightSweep)->Unit(benchmark::kMicrosecond);

void BM_LayoutPopup(benchmark::State& state) {
  Screen s;
  if (!s.open()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  for (auto _ : state) {
    s.menu->needs_measuring = true;
    xfLayoutPopupMenu(s.menu, 100, 50, true);
    benchmark::DoNotOptimize(s.menu->width);
  }
}
BENCHMARK(BM_LayoutPopup)->Unit(benchmark::kMicrosecond);

}  // namespace
