// Drawing text rows as the display does, on a private Xvfb: one context on
// a window, adobe courier 12, each row of 100 columns in three colour runs
// (text and background colour set per run, the run's cell box filled with
// the text). Every iteration ends with a round trip, so the server's work
// is counted. BM_DrawTextRow draws one row, BM_RepaintScreen 60 of them;
// the goal for a full 60-row repaint is under 2 ms.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

#include "tests/support/xvfb.h"
#include "winsys/draw.h"
#include "winsys/fonts.h"
#include "winsys/gfx.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace {

constexpr int kColumns = 100;
constexpr int kRows = 60;

struct Screen {
  std::unique_ptr<xtest::XvfbServer> server;
  XfWindow* window = nullptr;
  DrawContext ctx{};
  int32_t cell_w = 0, cell_h = 0;
  std::string text;

  bool open() {
    server = xtest::XvfbServer::start();
    if (!server) return false;
    setenv("DISPLAY", server->display_name().c_str(), 1);
    xfInitX();
    FontDescription desc = font_description("adobe-courier", 12, 0);
    const FontAttrs* attrs = font_cache_attrs(font_cache_find(&desc));
    cell_w = attrs->font->fs->max_bounds.width;
    cell_h = attrs->font->fs->ascent + attrs->font->fs->descent;
    window = xfCreateChildWindow(nullptr, 0, 0, kColumns * cell_w, kRows * cell_h, 0, 'm');
    XSync(xf_display(), False);
    WinGetPS(&ctx, window);
    WinSelectFont(nullptr, &ctx, attrs);
    for (int i = 0; i < kColumns; ++i) text += static_cast<char>('!' + (i * 7) % 90);
    return true;
  }
  void row(int r) {
    struct Run {
      int start, length;
      uint32_t fg, bg;
    };
    static constexpr Run runs[] = {
        {0, 20, 0x000080, 0xFFFFFF}, {20, 50, 0x800000, 0xD2FAFA}, {70, 30, 0x008000, 0xFFFFFF}};
    int32_t y = r * cell_h;
    for (const Run& run : runs) {
      WinSetTextColor(&ctx, run.fg);
      WinSetBkColor(&ctx, run.bg);
      WinRect cell{run.start * cell_w, y, (run.start + run.length) * cell_w, y + cell_h};
      WinExtTextOut(&ctx, cell.left, y, 1, &cell, text.data() + run.start, run.length, nullptr);
    }
  }
  ~Screen() {
    if (ctx.state) WinReleasePS(&ctx);
    if (server) {
      xfShutdownX();
      xf_reset();
    }
  }
};

void BM_DrawTextRow(benchmark::State& state) {
  Screen s;
  if (!s.open()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  int r = 0;
  for (auto _ : state) {
    s.row(r);
    r = (r + 1) % kRows;
    XSync(xf_display(), False);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawTextRow)->Unit(benchmark::kMicrosecond);

void BM_RepaintScreen(benchmark::State& state) {
  Screen s;
  if (!s.open()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r) s.row(r);
    XSync(xf_display(), False);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RepaintScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
