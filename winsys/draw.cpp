#include "winsys/draw.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/mem.h"
#include "winsys/gfx.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

// WinDrawText lays out at most this many lines.
constexpr size_t kTextLineCap = 1000;

PresentSpace* PS(DrawContext* c) { return c->state->ps; }

int32_t window_height(XfWindow* w) {
  if (!w || w == kDesktop) return xf().conn.height;
  return w->height;
}

void open_inline(DrawContext* c, XfWindow* window) {
  c->own = false;
  c->state = &c->inline_state;
  PresentSpace* ps = xfCreatePresentSpace(window);
  WinInitDrawState(c, ps, window);
}

}  // namespace

// ----- tables -----

int32_t WinMapPenStyle(int32_t style) {
  switch (style) {
    case 0:
      return 0;
    case 1:
    case 2:
    case 3:
      return 1;
    case 4:
      return 2;
    case 5:
      return static_cast<int32_t>(kLineNone);
    case 6:
      return static_cast<int32_t>(kLineInsideFrame);
    default:
      return 0;
  }
}

int32_t xf_rop_function(int32_t code) {
  static constexpr int32_t kRop[17] = {GXcopy,       GXclear, GXnor,       GXandInverted, GXcopyInverted, GXandReverse,
                                       GXinvert,     GXxor,   GXnand,      GXand,         GXequiv,        GXnoop,
                                       GXorInverted, GXcopy,  GXorReverse, GXor,          GXset};
  return code >= 1 && code <= 16 ? kRop[code] : GXcopy;
}

int32_t xf_brush_pattern(int32_t pattern) {
  switch (pattern) {
    case 0:
      return 2;
    case 1:
      return 3;
    case 2:
      return 4;
    case 3:
      return 5;
    case 18:
      return 6;
    default:
      return 1;
  }
}

// ----- contexts -----

void WinInitDrawState(DrawContext* c, PresentSpace* ps, XfWindow* window) {
  DrawState* s = c->state;
  *s = DrawState{};
  s->ps = s->ps2 = ps;
  s->back_mode = 58;
  s->back_colour = 0xFFFFFF;
  s->text_colour = 0;
  s->rop = 13;
  s->pen = Pen{0, 1, 0, 1};
  s->brush = Brush{0, 1, 13, 0, 100};
  s->ascent = ps->font && ps->font->fs ? ps->font->fs->ascent : 0;
  s->font.length = 280;
  s->font.font = ps->font;
  s->window_height = window_height(window);
  WinSetBkMode(c, s->back_mode);
  WinSetTextColor(c, s->text_colour);
  WinSetBkColor(c, s->back_colour);
  FontAttrs f = s->font;
  WinSelectFont(nullptr, c, &f);
  WinSetRop2(c, s->rop);
  Pen pen = s->pen;
  WinSelectPen(nullptr, c, &pen);
  Brush brush = s->brush;
  s->brush.pattern = -1;  // the first selection sets the pattern
  WinSelectBrush(nullptr, c, &brush);
  xfPsSetFunction(ps, GXcopy);
}

PresentSpace* WinGetPS(DrawContext* c, XfWindow* window) {
  if (auto* own = static_cast<DrawState*>(xfQueryOwnDrawState(window))) {
    c->own = true;
    c->state = own;
    own->opened = 0;
    own->window_height = window_height(window);
    return own->ps;
  }
  open_inline(c, window);
  return c->state->ps;
}

PresentSpace* WinGetWindowPS(DrawContext* c, XfWindow* window) {
  open_inline(c, window);
  xfSetSubwindowMode(c->state->ps, 't');
  xfBindPresentSpace(c->state->ps, window);
  return c->state->ps;
}

PresentSpace* WinBeginPaint(DrawContext* c, XfWindow* window, WinRect* rect) {
  PresentSpace* ps = WinGetPS(c, window);
  XfRectLTRB u{};
  xfQueryUpdateRect(window, &u);
  Region region = xfRegionFromRect(ps, XfRect4{u.left, u.bottom, u.right, u.top});
  c->state->clip = region;
  xfPsSelectClipRegion(ps, region);
  if (rect) *rect = WinRect{u.left, u.top, u.right, u.bottom};
  return ps;
}

void WinEndPaint(DrawContext* c, XfWindow* window) {
  DrawState* s = c->state;
  if (c->own) {
    xfValidateWindow(window);
    Region clip = s->clip;
    s->clip = nullptr;
    xfPsSelectClipRegion(s->ps, nullptr);
    if (clip) XDestroyRegion(clip);
    return;
  }
  Region clip = s->clip;
  s->clip = nullptr;
  xfPsSelectClipRegion(s->ps, nullptr);
  if (clip) XDestroyRegion(clip);
  WinReleasePS(c);
}

void WinReleasePS(DrawContext* c) {
  if (c->own || !c->state) return;
  DrawState* s = c->state;
  if (s->ps) {
    if (s->clip && s->ps->clip == s->clip) s->ps->clip = nullptr;
    xfFreePresentSpace(s->ps);
  }
  if (s->clip) XDestroyRegion(s->clip);
  s->clip = nullptr;
  s->ps = s->ps2 = nullptr;
}

void xf_give_own_draw_state(XfWindow* window) {
  if (!xf_is_live_window(window) || window->draw_state) return;
  auto* s = static_cast<DrawState*>(mem_alloc(sizeof(DrawState)));
  if (!s) dynarray_out_of_memory();
  DrawContext c{};
  c.state = s;
  PresentSpace* ps = xfCreatePresentSpace(window);
  WinInitDrawState(&c, ps, window);
  window->ps = ps;
  window->draw_state = s;
  window->own_ps = true;
}

void xf_free_own_draw_state(XfWindow* window) {
  if (!window || !window->draw_state) return;
  auto* s = static_cast<DrawState*>(window->draw_state);
  if (s->clip) XDestroyRegion(s->clip);
  if (s->ps && s->ps->clip == s->clip) s->ps->clip = nullptr;
  xfFreePresentSpace(s->ps);
  mem_free(s);
  window->draw_state = nullptr;
  window->ps = nullptr;
  window->own_ps = false;
}

// ----- settings -----

uint32_t WinSetTextColor(DrawContext* c, uint32_t colour) {
  uint32_t old = c->state->text_colour;
  c->state->text_colour = colour;
  xfPsSetTextColor(PS(c), colour);
  return old;
}

uint32_t WinSetBkColor(DrawContext* c, uint32_t colour) {
  uint32_t old = c->state->back_colour;
  c->state->back_colour = colour;
  xfPsSetBackgroundColor(PS(c), colour);
  return old;
}

int32_t WinSetBkMode(DrawContext* c, int32_t mode) {
  int32_t old = c->state->back_mode;
  c->state->back_mode = static_cast<int16_t>(mode);
  xfPsSetBackMode(PS(c), mode == 57 ? 1 : 2);
  return old;
}

int32_t WinSetRop2(DrawContext* c, int32_t code) {
  int32_t old = c->state->rop;
  c->state->rop = code;
  xfPsSetFunction(PS(c), xf_rop_function(code));
  return old;
}

Pen* WinSelectPen(Pen* previous, DrawContext* c, const Pen* pen) {
  DrawState* s = c->state;
  Pen old = s->pen;
  s->pen = *pen;
  xfPsSetLineColor(s->ps, pen->colour);
  xfPsSetLineType(s->ps, static_cast<uint32_t>(WinMapPenStyle(pen->style)));
  xfPsSetLineWidth(s->ps, pen->width);
  if (previous) *previous = old;
  return previous;
}

Brush* WinSelectBrush(Brush* previous, DrawContext* c, const Brush* brush) {
  DrawState* s = c->state;
  Brush old = s->brush;
  s->brush = *brush;
  xfPsSetFillColor(s->ps, brush->colour);
  xfPsSetFillMix(s->ps, xf_rop_function(brush->mix));
  bool both_solid = xf_brush_pattern(old.pattern) == 1 && old.pattern != -1 && xf_brush_pattern(brush->pattern) == 1;
  if (!both_solid) xfPsSetFillPattern(s->ps, xf_brush_pattern(brush->pattern));
  if (previous) *previous = old;
  return previous;
}

Pen* WinMakePen(Pen* pen, int32_t style, int32_t width, uint32_t colour) {
  *pen = Pen{style, width, colour, style == 5 ? 1u : 0u};
  return pen;
}

Pen* WinGetStockPen(Pen* pen, int32_t index) {
  if (index == 6) {
    *pen = Pen{0, 1, 0xFFFFFF, 1};
  } else if (index == 7) {
    *pen = Pen{0, 1, 0, 1};
  } else {
    *pen = Pen{5, 1, 0, 0};
  }
  return pen;
}

Brush* WinMakeSolidBrush(Brush* brush, uint32_t colour) {
  *brush = Brush{colour, 2, 13, 1, 100};
  return brush;
}

Brush* WinMakeHatchBrush(Brush* brush, uint32_t colour, int32_t pattern) {
  *brush = Brush{colour, 2, 13, 1, pattern};
  return brush;
}

Brush* WinGetStockBrush(Brush* brush, int32_t index) {
  static constexpr uint32_t kColours[5] = {0xFFFFFF, 0xDCDCDC, 0x808080, 0x404040, 0x000000};
  if (index == 5) {
    *brush = Brush{brush->colour, 1, 13, 0, 100};
  } else if (index >= 0 && index < 5) {
    *brush = Brush{kColours[index], 2, 13, 1, 100};
  } else {
    *brush = Brush{brush->colour, 2, 13, 1, 100};
  }
  return brush;
}

// ----- drawing -----

void WinRectangle(DrawContext* c, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  xfPsRectangle(PS(c), XfRect4{left, top, right, bottom});
}

void WinPaintRect(DrawContext* c, const WinRect* r) {
  if (r->left < r->right && r->top < r->bottom) xfPsFillRect(PS(c), XfRect4{r->left, r->top, r->right, r->bottom});
}

void WinFillRect(DrawContext* c, const WinRect* r, const Brush* brush) {
  Brush old{};
  WinSelectBrush(&old, c, brush);
  WinPaintRect(c, r);
  WinSelectBrush(nullptr, c, &old);
}

void WinInvertRect(DrawContext* c, const WinRect* r) {
  xfInvertRect(PS(c), XfRect4{r->left, r->top, r->right, r->bottom});
}

void xf_inside_frame_adjust(XfPoint p[5], int32_t width) {
  int32_t d = width / 2 + (width % 2 == 0 ? 1 : 0);
  p[0].x += d;
  p[0].y -= d;
  p[1].x -= d;
  p[1].y -= d;
  p[2].x -= d;
  p[2].y += d;
  p[3].x += d;
  p[3].y += d;
  p[4].x += d;
  p[4].y -= d;
}

void WinPolyDraw(DrawContext* c, const XfPoint* points, int32_t count, bool closed) {
  if (count < 2) return;
  DrawState* s = c->state;
  static std::vector<XfPoint> buf;  // kept and grown across calls
  const XfPoint* draw = points;
  int32_t n = count;
  if (closed) {
    buf.assign(points, points + count);
    buf.push_back(points[0]);
    n = count + 1;
    if (n == 5 && s->pen.style == 6 && buf[1].x > buf[0].x && buf[2].y > buf[0].y)
      xf_inside_frame_adjust(buf.data(), s->pen.width);
    draw = buf.data();
    if (s->brush.visible) xfPsFillPolygon(s->ps, draw, count);
  }
  xfPsPolyline(s->ps, draw, n);
}

void WinPolyline(DrawContext* c, const XfPoint* points, int32_t count) { WinPolyDraw(c, points, count, false); }
void WinPolygon(DrawContext* c, const XfPoint* points, int32_t count) { WinPolyDraw(c, points, count, true); }

void WinPolyPolygon(DrawContext* c, const XfPoint* points, const int32_t* counts, int32_t figures) {
  for (int32_t i = 0; i < figures; ++i) {
    WinPolygon(c, points, counts[i]);
    points += counts[i];
  }
}

void WinTextOut(DrawContext* c, int32_t x, int32_t y, const char* text, int32_t count) {
  xfPsTextOut(PS(c), XfPoint{x, y}, nullptr, 0, count, text, 0, 0);
}

void WinExtTextOut(DrawContext* c, int32_t x, int32_t y, uint32_t options, const WinRect* rect, const char* text,
                   int32_t count, const int32_t*) {
  if (!rect) {
    xfPsTextOut(PS(c), XfPoint{x, y}, nullptr, options, count, text, 0, 0);
    return;
  }
  XfRect4 r{rect->left, rect->bottom, rect->right, rect->top};
  xfPsTextOut(PS(c), XfPoint{x, y}, &r, options, count, text, 0, 0);
}

void WinDrawTextLine(DrawContext* c, const char* text, int32_t count, const WinRect* rect, uint32_t flags) {
  std::string stripped;
  char mnemonic = 0;
  if (flags & 0x2000) {
    stripped.resize(static_cast<size_t>(count) + 1);
    xfStripMnemonic(text, stripped.data(), &mnemonic, count, count + 1);
    stripped.resize(std::strlen(stripped.c_str()));
    text = stripped.c_str();
    count = static_cast<int32_t>(stripped.size());
  }
  int32_t width = WinQueryTextWidth(c, text, count);
  int32_t left = rect ? rect->left : 0, span = rect ? rect->right - rect->left : 0;
  int32_t x = left;
  if (flags & 4) {
    x = (span - width) / 2;
  } else if (flags & 8) {
    x = span - width;
  }
  int32_t y = rect ? rect->top : 0;
  if (rect) {
    XfRect4 r{rect->left, rect->bottom, rect->right, rect->top};
    xfPsTextOut(PS(c), XfPoint{x, y}, &r, 2, count, text, 0, mnemonic);
  } else {
    xfPsTextOut(PS(c), XfPoint{x, y}, nullptr, 0, count, text, 0, mnemonic);
  }
}

int32_t WinMnemonicTextWidth(DrawContext* c, const char* text, int32_t count) {
  int32_t w = WinQueryTextWidth(c, text, count);
  if (std::memchr(text, '~', static_cast<size_t>(count))) w -= WinQueryTextWidth(c, "~", 1);
  return w;
}

std::vector<XfTextLine> xf_layout_text(const char* text, int32_t count, int32_t width, bool wrap,
                                       int32_t (*measure)(void*, const char*, int32_t), void* ctx, bool* capped) {
  std::vector<XfTextLine> lines;
  *capped = false;
  int32_t i = 0;
  while (i < count) {
    if (lines.size() >= kTextLineCap) {
      *capped = true;
      break;
    }
    int32_t end = i;
    while (end < count && text[end] != '\r' && text[end] != '\n') ++end;
    int32_t cut = end;
    if (wrap) {
      // The last blank (or the break) up to which the line fits; the
      // first candidate even when it does not.
      int32_t best = -1;
      for (int32_t k = i; k <= end; ++k) {
        if (k < end && text[k] != ' ') continue;
        if (best >= 0 && measure(ctx, text + i, k - i) > width) break;
        best = k;
      }
      cut = best;
    }
    lines.push_back({i, cut});
    if (cut < end) {  // a soft break: the blanks after it go
      i = cut;
      while (i < end && text[i] == ' ') ++i;
      continue;
    }
    i = end;
    if (i < count && text[i] == '\r') {
      ++i;
      if (i < count && text[i] == '\n') ++i;  // CR LF is one break
    } else if (i < count) {
      ++i;
    }
  }
  return lines;
}

namespace {
int32_t measure_mnemonic(void* ctx, const char* text, int32_t n) {
  return WinMnemonicTextWidth(static_cast<DrawContext*>(ctx), text, n);
}
}  // namespace

int32_t WinDrawText(DrawContext* c, const char* text, int32_t count, WinRect* rect, uint32_t flags) {
  bool capped = false;
  auto lines = xf_layout_text(text, count, rect->right - rect->left, flags & 0x40, measure_mnemonic, c, &capped);
  if (capped)
    for (int k = 0; k < 3; ++k) xfBeep();
  int32_t h = WinQueryFontHeight(c);
  if (flags & 0x1000) {
    int32_t widest = 0;
    for (const auto& l : lines) widest = std::max(widest, measure_mnemonic(c, text + l.start, l.end - l.start));
    *rect = WinRect{rect->left, rect->top, rect->left + widest, rect->top + static_cast<int32_t>(lines.size()) * h};
    return static_cast<int32_t>(lines.size());
  }
  int32_t y = rect->top;
  for (const auto& l : lines) {
    WinRect r{rect->left, y, rect->right, y + h};
    WinDrawTextLine(c, text + l.start, l.end - l.start, &r, flags | 0x2000);
    y += h;
  }
  return static_cast<int32_t>(lines.size());
}

int32_t WinFlipY(DrawContext* c, int32_t y) { return c->state->window_height - y - 1; }

// ----- clip regions -----

Region WinCreateRectRegion(DrawContext* c, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return xfRegionFromRect(PS(c), XfRect4{left, bottom, right, top});
}
void WinSelectClipRegion(DrawContext* c, Region region) { xfPsSelectClipRegion(PS(c), region); }
void WinDestroyRegion(DrawContext* c, Region region) { xfDestroyRegion(PS(c), region); }
void WinExcludeClipRect(DrawContext* c, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  xfPsExcludeClipRect(PS(c), XfRect4{left, bottom, right, top});
}
void WinIntersectClipRegion(DrawContext* c, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  xfPsIntersectClipRegion(PS(c), XfRect4{left, bottom, right, top});
}
