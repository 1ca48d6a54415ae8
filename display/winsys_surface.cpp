#include "display/winsys_surface.h"

#include <algorithm>

#include "winsys/caret.h"
#include "winsys/draw.h"
#include "winsys/focus.h"
#include "winsys/winquery.h"

namespace {

// A drawing context on the window with the display's font, closed on scope exit.
class Context {
 public:
  Context(XfWindow* window, const FontAttrs* font) {
    ok_ = window && WinGetPS(&ctx_, window) != nullptr;
    if (ok_ && font) WinSelectFont(nullptr, &ctx_, font);
  }
  ~Context() {
    if (ok_) WinReleasePS(&ctx_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  explicit operator bool() const { return ok_; }
  DrawContext* get() { return &ctx_; }

 private:
  DrawContext ctx_{};
  bool ok_ = false;
};

constexpr uint32_t kExtOpaque = 1, kExtClip = 2;
constexpr int32_t kPenSolid = 0;

}  // namespace

WinsysSurface::~WinsysSurface() {
  if (has_caret_) caret_destroy();
}

SurfaceMetrics WinsysSurface::metrics() {
  Context c(window_, font_);
  if (!c) return {1, 1, true, false};
  FontMetrics m{};
  WinQueryFontMetrics(c.get(), &m);
  const int32_t height = std::max(m.height, 1);
  const int32_t width = std::max(m.avg_width, 1);
  return {height, width, !m.variable_pitch, m.italic != 0 && m.overhang > 0};
}

void WinsysSurface::char_widths(uint32_t out[256]) {
  int32_t table[256] = {};
  Context c(window_, font_);
  if (c) WinQueryCharWidths(c.get(), table);
  for (int i = 0; i < 256; ++i) out[i] = static_cast<uint32_t>(std::max(table[i], 0));
}

void WinsysSurface::draw_text(int32_t x, int32_t y, std::string_view text, uint32_t fg, uint32_t bg, int32_t left,
                              int32_t top, int32_t right, int32_t bottom, bool opaque) {
  Context c(window_, font_);
  if (!c) return;
  WinSetTextColor(c.get(), fg);
  WinSetBkColor(c.get(), bg);
  // The box is filled either way: a run replaces whatever was drawn in its
  // cells. When lines are taller than the font (opaque), the box the display
  // passes spans the whole line, so the gap under the glyphs is filled too.
  (void)opaque;
  const WinRect box{left, top, right, bottom};
  WinExtTextOut(c.get(), x, y, kExtOpaque | kExtClip, &box, text.data(), static_cast<int32_t>(text.size()), nullptr);
}

void WinsysSurface::fill_rect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
  if (right <= left || bottom <= top) return;
  Context c(window_, font_);
  if (!c) return;
  Brush brush{};
  WinMakeSolidBrush(&brush, colour);
  const WinRect r{left, top, right, bottom};
  WinFillRect(c.get(), &r, &brush);
}

void WinsysSurface::line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
  Context c(window_, font_);
  if (!c) return;
  Pen pen{};
  WinMakePen(&pen, kPenSolid, 1, colour);
  WinSelectPen(nullptr, c.get(), &pen);
  const XfPoint points[2] = {{x0, y0}, {x1, y1}};
  WinPolyline(c.get(), points, 2);
}

bool WinsysSurface::has_focus() { return window_ && xfHasFocus(window_); }

void WinsysSurface::caret_create(int32_t width, int32_t height, int shape) {
  if (!window_) return;
  xfCreateCaret(window_, width, height, static_cast<uint32_t>(shape));
  has_caret_ = true;
}

void WinsysSurface::caret_move(int32_t x, int32_t y) {
  if (window_ && has_caret_) xfSetCaretPos(window_, x, y);
}

void WinsysSurface::caret_show() {
  if (window_ && has_caret_) xfShowCaret(window_);
}

void WinsysSurface::caret_hide() {
  if (window_ && has_caret_) xfHideCaret(window_);
}

void WinsysSurface::caret_destroy() {
  if (window_ && has_caret_) xfDestroyCaret(window_);
  has_caret_ = false;
}

int32_t WinsysSurface::client_width() {
  XfRectLBRT r{};
  if (!window_) return 0;
  xfQueryWindowRect(window_, &r);
  return r.right - r.left;
}

int32_t WinsysSurface::client_height() {
  XfRectLBRT r{};
  if (!window_) return 0;
  xfQueryWindowRect(window_, &r);
  return r.bottom - r.top;
}
