#include "winsys/present.h"

#include <algorithm>
#include <cstring>

#include "base/mem.h"
#include "winsys/fonts.h"
#include "winsys/gfx.h"
#include "winsys/images.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

Display* D() { return xf_display(); }

void count_change() { ++xg().gcs.changes; }

}  // namespace

unsigned xf_x_line_width(int32_t width) { return width <= 1 ? 0u : static_cast<unsigned>(width); }

namespace {

short narrow(int32_t v) { return static_cast<short>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

unsigned short narrow_u(int32_t v) { return static_cast<unsigned short>(v < 0 ? 0 : (v > 65535 ? 65535 : v)); }

XPoint* points_buffer(const XfPoint* points, int32_t count, int32_t extra = 0) {
  auto& buf = xg().ps.points;
  size_t need = static_cast<size_t>(count + extra);
  if (buf.size() < need) buf.resize(need);  // only grown
  for (int32_t i = 0; i < count; ++i) buf[static_cast<size_t>(i)] = XPoint{narrow(points[i].x), narrow(points[i].y)};
  return buf.data();
}

// Saves the GC's function and fill style, applies the fill settings.
struct FillScope {
  PresentSpace* ps;
  int32_t function, fill_style;
  explicit FillScope(PresentSpace* p) : ps(p), function(p->gc_function), fill_style(p->gc_fill_style) {
    xfPsSetFunction(ps, ps->fill_mix);
    xfPsSetForeground(ps, ps->fill_pixel);
    xfPsApplyFillPattern(ps, ps->fill_pattern);
  }
  ~FillScope() {
    xfPsSetFunction(ps, function);
    xfPsSetFillStyle(ps, fill_style);
  }
};

void line_attributes(PresentSpace* ps, int32_t width, uint32_t type) {
  if (!D() || !ps->gc) return;
  int style = type == 1 ? LineOnOffDash : (type == 2 ? LineDoubleDash : LineSolid);
  XSetLineAttributes(D(), ps->gc, xf_x_line_width(width), style, CapButt, JoinBevel);
}

Pixmap stipple_of(int32_t pattern) {
  if (pattern < 2 || pattern > 6) return 0;
  xfInitImages();
  // pattern 2..5 the hatches, 6 the 50 percent stipple
  int index = pattern == 6 ? kStipple50 : kStippleHatchH + (pattern - 2);
  return xg().images.stipples[index];
}

void draw_text_run(PresentSpace* ps, int x, int baseline, const char* text, int32_t count) {
  Display* d = D();
  XFontStruct* fs = ps->font ? ps->font->fs : nullptr;
  if (fs && xf_font_is_two_byte(fs)) {
    auto& wide = xg().ps.wide;
    if (wide.size() < static_cast<size_t>(count)) wide.resize(static_cast<size_t>(count));
    auto row = static_cast<unsigned char>(fs->min_byte1);
    for (int32_t i = 0; i < count; ++i)
      wide[static_cast<size_t>(i)] = XChar2b{row, static_cast<unsigned char>(text[i])};
    if (ps->back_mode == 1) {
      XDrawString16(d, ps->drawable, ps->gc, x, baseline, wide.data(), count);
    } else {
      XDrawImageString16(d, ps->drawable, ps->gc, x, baseline, wide.data(), count);
    }
    return;
  }
  if (ps->back_mode == 1) {
    XDrawString(d, ps->drawable, ps->gc, x, baseline, text, count);
  } else {
    XDrawImageString(d, ps->drawable, ps->gc, x, baseline, text, count);
  }
}

int32_t text_width(const XfFont* f, const char* text, int32_t count) {
  if (!f || !f->fs || count <= 0) return 0;
  if (xf_font_is_two_byte(f->fs)) {
    std::vector<XChar2b> w(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
      w[static_cast<size_t>(i)] =
          XChar2b{static_cast<unsigned char>(f->fs->min_byte1), static_cast<unsigned char>(text[i])};
    return XTextWidth16(f->fs, w.data(), count);
  }
  return XTextWidth(f->fs, text, count);
}

}  // namespace

// ----- the default font -----

XfFont* xf_ps_default_font() {
  if (XfFont* sys = xf_sys_font_record(2)) return sys;
  XfPsShared& s = xg().ps;
  if (s.default_font) return s.default_font;
  if (!D()) return nullptr;
  XfDefaultFonts fonts = xf_defaults();
  if (fonts.fallback.empty()) fonts = xf_default_fonts(std::getenv("ZXDEFFONTSIZE"), xf_server_family());
  for (const std::string& name : fonts.fallback) {
    if (XfFont* f = xfOpenFont(name.c_str())) {
      s.default_font = f;
      s.default_font_name = name;
      return f;
    }
  }
  xfFatal("Can't load any font", -2);
}

// ----- creation -----

PresentSpace* xfCreatePresentSpace(XfWindow* window) {
  auto* ps = static_cast<PresentSpace*>(mem_alloc(sizeof(PresentSpace)));
  if (!ps) dynarray_out_of_memory();
  *ps = PresentSpace{};
  Display* d = D();
  XfWindow* w = window == kDesktop ? nullptr : window;
  ps->window = w;
  ps->drawable = w ? w->xwin : xf().conn.root;
  unsigned long black = d ? BlackPixel(d, xf().conn.screen) : 0;
  unsigned long white = d ? WhitePixel(d, xf().conn.screen) : 1;
  ps->back_mode = 2;
  ps->text_pixel = ps->line_pixel = black;
  ps->fill_pixel = white;
  ps->fill_pattern = 1;
  ps->fill_mix = GXcopy;
  ps->line_type = kLineSolid;
  ps->line_width = 1;
  ps->gc_fg = black;
  ps->gc_bg = white;
  ps->gc_function = GXcopy;
  ps->gc_fill_style = FillSolid;
  ps->font = xf_ps_default_font();
  if (d) {
    XGCValues v{};
    v.foreground = black;
    v.background = white;
    v.function = GXcopy;
    v.fill_style = FillSolid;
    v.line_width = 0;  // width 1, drawn as X thin lines: both end points lit
    v.line_style = LineSolid;
    v.cap_style = CapButt;
    v.join_style = JoinMiter;
    v.fill_rule = WindingRule;
    v.graphics_exposures = False;
    unsigned long mask = GCForeground | GCBackground | GCFunction | GCFillStyle | GCLineWidth | GCLineStyle |
                         GCCapStyle | GCJoinStyle | GCFillRule | GCGraphicsExposures;
    if (ps->font) {
      v.font = ps->font->fid;
      mask |= GCFont;
    }
    ps->gc = XCreateGC(d, xf().conn.root, mask, &v);
    auto& list = xg().gcs.list;
    list.insert(std::lower_bound(list.begin(), list.end(), ps->gc), ps->gc);
  }
  return ps;
}

void xfFreePresentSpace(PresentSpace* ps) {
  if (!ps) return;
  if (ps->gc) xfFreeGc(ps->gc);
  if (ps->clip) XDestroyRegion(ps->clip);
  mem_free(ps);
}

void* xfQueryOwnDrawState(XfWindow* window) {
  if (!window || window == kDesktop || !window->own_ps) return nullptr;
  return window->draw_state;
}

bool xfHasOwnDrawState(XfWindow* window) { return xfQueryOwnDrawState(window) != nullptr; }

void xfBindPresentSpace(PresentSpace* ps, XfWindow* window) {
  if (!window || window == kDesktop) {
    ps->drawable = xf().conn.root;
    return;
  }
  ps->window = window;
  Window outer = window->kind == XFTYPE_STDFRAME && window->k.frame.wm_frame ? window->k.frame.wm_frame : 0;
  ps->drawable = outer ? outer : window->xwin;
}

Drawable xfBindPresentSpaceInner(PresentSpace* ps, XfWindow* window) {
  ps->window = window == kDesktop ? nullptr : window;
  ps->drawable = ps->window ? ps->window->xwin : xf().conn.root;
  return ps->drawable;
}

void xfSetSubwindowMode(PresentSpace* ps, int mode) {
  if (D() && ps->gc) XSetSubwindowMode(D(), ps->gc, mode == 99 ? ClipByChildren : IncludeInferiors);
}

void xfSetPlaneMask(PresentSpace* ps, unsigned long mask) {
  if (D() && ps->gc) XSetPlaneMask(D(), ps->gc, mask);
}

// ----- setters -----

void xfPsSetFunction(PresentSpace* ps, int32_t function) {
  if (ps->gc_function == function) return;
  ps->gc_function = function;
  count_change();
  if (D() && ps->gc) XSetFunction(D(), ps->gc, function);
}

void xfPsSetForeground(PresentSpace* ps, unsigned long pixel) {
  if (ps->gc_fg == pixel) return;
  ps->gc_fg = pixel;
  count_change();
  if (D() && ps->gc) XSetForeground(D(), ps->gc, pixel);
}

void xfPsSetBackground(PresentSpace* ps, unsigned long pixel) {
  if (ps->gc_bg == pixel) return;
  ps->gc_bg = pixel;
  count_change();
  if (D() && ps->gc) XSetBackground(D(), ps->gc, pixel);
}

void xfPsSetFillStyle(PresentSpace* ps, int32_t style) {
  if (ps->gc_fill_style == style) return;
  ps->gc_fill_style = style;
  count_change();
  if (D() && ps->gc) XSetFillStyle(D(), ps->gc, style);
}

void xfPsSetForegroundColor(PresentSpace* ps, uint32_t bgr) {
  xfPsSetForeground(ps, xfColorToPixel(xf().conn.colormap, bgr));
}
void xfPsSetBackgroundColor(PresentSpace* ps, uint32_t bgr) {
  xfPsSetBackground(ps, xfColorToPixel(xf().conn.colormap, bgr));
}
unsigned long xfPsSetTextColor(PresentSpace* ps, uint32_t bgr) {
  return ps->text_pixel = xfColorToPixel(xf().conn.colormap, bgr);
}
unsigned long xfPsSetFillColor(PresentSpace* ps, uint32_t bgr) {
  return ps->fill_pixel = xfColorToPixel(xf().conn.colormap, bgr);
}
unsigned long xfPsSetLineColor(PresentSpace* ps, uint32_t bgr) {
  return ps->line_pixel = xfColorToPixel(xf().conn.colormap, bgr);
}
void xfPsSetBackMode(PresentSpace* ps, int32_t mode) { ps->back_mode = mode; }
void xfPsSetFillMix(PresentSpace* ps, int32_t function) { ps->fill_mix = function; }
void xfPsSetFillPattern(PresentSpace* ps, int32_t pattern) { ps->fill_pattern = pattern; }
void xfPsSetLineType(PresentSpace* ps, uint32_t type) { ps->line_type = type; }
void xfPsSetLineWidth(PresentSpace* ps, int32_t width) { ps->line_width = width; }
void xfPsSetUnderline(PresentSpace* ps, bool flag) { ps->underline = flag; }
void xfPsSetStrikeOut(PresentSpace* ps, bool flag) { ps->strike_out = flag; }

void xfPsApplyFillPattern(PresentSpace* ps, int32_t pattern) {
  Pixmap stipple = D() ? stipple_of(pattern) : 0;
  if (!stipple) {
    xfPsSetFillStyle(ps, FillSolid);
    return;
  }
  if (ps->gc) XSetStipple(D(), ps->gc, stipple);
  xfPsSetFillStyle(ps, FillStippled);
}

void xf_ps_set_font(PresentSpace* ps, XfFont* font) {
  if (!font) return;
  if (ps->font != font && D() && ps->gc) XSetFont(D(), ps->gc, font->fid);
  ps->font = font;
}

// ----- text -----

void xfPsTextOut(PresentSpace* ps, XfPoint point, const XfRect4* rect, uint32_t options, int32_t count,
                 const char* text, int32_t, char mnemonic) {
  Display* d = D();
  if (rect && (options & 1)) {
    xfPsSetForeground(ps, ps->gc_bg);
    int32_t w = rect->c - rect->a, h = rect->b - rect->d;
    if (d && ps->gc && w > 0 && h > 0)
      XFillRectangle(d, ps->drawable, ps->gc, rect->a, rect->d, static_cast<unsigned>(w), static_cast<unsigned>(h));
  }
  if (count <= 0 || !text) return;
  bool clipped = rect && (options & 2);
  if (clipped && d && ps->gc) {
    XRectangle r{narrow(rect->a), narrow(rect->d), narrow_u(rect->c - rect->a), narrow_u(rect->b - rect->d)};
    XSetClipRectangles(d, ps->gc, 0, 0, &r, 1, Unsorted);
  }
  xfPsSetForeground(ps, ps->text_pixel);
  int32_t ascent = ps->font ? ps->font->fs->ascent : 0;
  int32_t descent = ps->font ? ps->font->fs->descent : 0;
  if (d && ps->gc && ps->font) {
    draw_text_run(ps, point.x, point.y + ascent, text, count);
    int32_t under_y = point.y + ascent + descent - 1;
    if (mnemonic) {
      const void* hit = std::memchr(text, mnemonic, static_cast<size_t>(count));
      if (hit) {
        auto at = static_cast<int32_t>(static_cast<const char*>(hit) - text);
        int32_t x1 = point.x + text_width(ps->font, text, at);
        int32_t x2 = x1 + text_width(ps->font, text + at, 1);
        xfDrawLine(d, ps->drawable, ps->gc, x1, under_y, x2, under_y);
      }
    }
    if (ps->underline || ps->strike_out) {
      int32_t width = text_width(ps->font, text, count);
      if (ps->underline) xfDrawLine(d, ps->drawable, ps->gc, point.x, under_y, point.x + width, under_y);
      int32_t strike_y = point.y + ascent - ascent / 2;
      if (ps->strike_out) xfDrawLine(d, ps->drawable, ps->gc, point.x, strike_y, point.x + width, strike_y);
    }
  }
  if (clipped && d && ps->gc) {
    if (ps->clip) {
      XSetRegion(d, ps->gc, ps->clip);
    } else {
      XSetClipMask(d, ps->gc, None);
    }
  }
}

int32_t xfPsTextWidth(PresentSpace* ps, const char* text, int32_t count) { return text_width(ps->font, text, count); }

int32_t xfPsFontHeight(PresentSpace* ps, int32_t* ascent, int32_t* descent) {
  int32_t a = 0, de = 0;
  if (ps->font && ps->font->fs) {
    int dir = 0, asc = 0, desc = 0;
    XCharStruct cs{};
    XTextExtents(ps->font->fs, "Tg", 2, &dir, &asc, &desc, &cs);
    a = asc;
    de = desc;
  }
  if (ascent) *ascent = a;
  if (descent) *descent = de;
  return a + de;
}

void xfPsTextExtent(PresentSpace* ps, const char* text, int32_t count, int32_t* width, int32_t* height) {
  *width = *height = 0;
  if (!ps->font || !ps->font->fs || count <= 0) return;
  int dir = 0, asc = 0, desc = 0;
  XCharStruct cs{};
  XTextExtents(ps->font->fs, text, count, &dir, &asc, &desc, &cs);
  *width = cs.width;
  *height = asc + desc;
}

XFontStruct* xfPsFontStruct(PresentSpace* ps) { return ps->font ? ps->font->fs : nullptr; }

// ----- primitives -----

void xfPsPolyline(PresentSpace* ps, const XfPoint* p, int32_t count) {
  if (ps->line_type == kLineNone || count <= 0) return;
  if (count == 5 && p[3].x == p[0].x && p[2].x == p[1].x && p[1].y == p[0].y && p[3].y == p[2].y) {
    xfPsRectangle(ps, XfRect4{p[0].x, p[0].y, p[1].x, p[2].y});
    return;
  }
  int32_t fill_style = ps->gc_fill_style;
  xfPsSetForeground(ps, ps->line_pixel);
  xfPsSetFillStyle(ps, FillSolid);
  line_attributes(ps, ps->line_width, ps->line_type);
  XPoint* pts = points_buffer(p, count);
  if (D() && ps->gc) XDrawLines(D(), ps->drawable, ps->gc, pts, count, CoordModeOrigin);
  xfPsSetFillStyle(ps, fill_style);
}

void xfPsFillPolygon(PresentSpace* ps, const XfPoint* p, int32_t count) {
  if (count <= 0) return;
  FillScope scope(ps);
  XPoint* pts = points_buffer(p, count);
  if (D() && ps->gc) XFillPolygon(D(), ps->drawable, ps->gc, pts, count, Complex, CoordModeOrigin);
}

void xfPsFillRect(PresentSpace* ps, const XfRect4& r) {
  FillScope scope(ps);
  int32_t w = r.c - r.a + 1, h = r.d - r.b + 1;
  if (D() && ps->gc && w > 0 && h > 0)
    XFillRectangle(D(), ps->drawable, ps->gc, r.a, r.b, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void xfPsRectangle(PresentSpace* ps, const XfRect4& r) {
  if (ps->line_type == kLineNone) return;
  int32_t fill_style = ps->gc_fill_style;
  xfPsSetForeground(ps, ps->line_pixel);
  xfPsSetFillStyle(ps, FillSolid);
  bool inside = ps->line_type == kLineInsideFrame;
  line_attributes(ps, inside ? 1 : ps->line_width, inside ? kLineSolid : ps->line_type);
  int32_t x = r.a, y = r.b;
  int32_t w = std::max(0, r.c - r.a - 1), h = std::max(0, r.d - r.b - 1);
  Display* d = D();
  if (ps->gc_function == GXxor && d) {
    unsigned long pixel = 0;
    if (!xfFindContrastEntry(ps->drawable, x, y, w, h, &pixel, true)) {
      pixel = xfBorderContrastPixel(ps->window, x, y, w, h);
      xfAddContrastEntry(ps->drawable, x, y, w, h, pixel);
    }
    xfPsSetForeground(ps, pixel);
    if (ps->gc) XSetPlaneMask(d, ps->gc, AllPlanes);
  }
  if (d && ps->gc) {
    XDrawRectangle(d, ps->drawable, ps->gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (inside) {
      for (int32_t k = 1; k < ps->line_width && w >= 2 && h >= 2; ++k) {
        ++x;
        ++y;
        w -= 2;
        h -= 2;
        XDrawRectangle(d, ps->drawable, ps->gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
      }
    }
  }
  xfPsSetFillStyle(ps, fill_style);
}

void xfDrawDotGrid(PresentSpace* ps, int32_t dx, int32_t dy, int32_t nx, int32_t ny) {
  if (dx <= 0 || dy <= 0 || nx <= 0 || ny <= 0) return;  // a zero step would never end
  Display* d = D();
  if (!d || !ps->gc) return;
  int32_t w = ps->window ? ps->window->width : xf().conn.width;
  int32_t h = ps->window ? ps->window->height : xf().conn.height;
  XSetForeground(d, ps->gc, BlackPixel(d, xf().conn.screen));
  int64_t columns = (static_cast<int64_t>(w) * nx + dx / 2) / dx;
  auto& buf = xg().ps.points;
  if (buf.size() < static_cast<size_t>(columns)) buf.resize(static_cast<size_t>(columns));
  for (int64_t j = 0; dy / 2 + j * dy < static_cast<int64_t>(h) * ny + dy / 2; ++j) {
    short y = narrow(static_cast<int32_t>((dy / 2 + j * dy) / ny));
    for (int64_t k = 0; k < columns; ++k)
      buf[static_cast<size_t>(k)] = XPoint{narrow(static_cast<int32_t>((dx / 2 + k * dx) / nx)), y};
    XDrawPoints(d, ps->drawable, ps->gc, buf.data(), static_cast<int>(columns), CoordModeOrigin);
  }
  XSetForeground(d, ps->gc, ps->gc_fg);
}

// ----- regions and clipping -----

Region xfRegionFromRect(PresentSpace*, const XfRect4& r) {
  Region region = XCreateRegion();
  XRectangle x{narrow(r.a), narrow(r.d), narrow_u(r.c - r.a), narrow_u(r.b - r.d)};
  if (x.width && x.height) XUnionRectWithRegion(&x, region, region);
  return region;
}

void xfDestroyRegion(PresentSpace* ps, Region region) {
  if (!region) return;
  if (ps && ps->clip == region) {
    ps->clip = nullptr;
    if (D() && ps->gc) XSetClipMask(D(), ps->gc, None);
  }
  XDestroyRegion(region);
}

void xfPsSelectClipRegion(PresentSpace* ps, Region region) {
  ps->clip = region;
  if (!D() || !ps->gc) return;
  if (region) {
    XSetRegion(D(), ps->gc, region);
    XSetClipOrigin(D(), ps->gc, 0, 0);
  } else {
    XSetClipMask(D(), ps->gc, None);
  }
}

void xfPsExcludeClipRect(PresentSpace* ps, const XfRect4& r) {
  if (!ps->clip) return;
  Region cut = xfRegionFromRect(ps, r);
  XSubtractRegion(ps->clip, cut, ps->clip);
  XDestroyRegion(cut);
  if (D() && ps->gc) XSetRegion(D(), ps->gc, ps->clip);
}

void xfPsIntersectClipRegion(PresentSpace* ps, const XfRect4& r) {
  if (!ps->clip) return;
  Region keep = xfRegionFromRect(ps, r);
  XIntersectRegion(ps->clip, keep, ps->clip);
  XDestroyRegion(keep);
}

void xfBeginGcPaint(XfWindow* window, GC gc) {
  Display* d = D();
  if (!d || !gc || !window) return;
  XRectangle r{};
  if (window->update.valid) {
    const XfUpdateRegion& u = window->update;
    r = XRectangle{narrow(u.left), narrow(u.top), narrow_u(u.right - u.left + 1), narrow_u(u.bottom - u.top + 1)};
  } else {
    r = XRectangle{0, 0, narrow_u(window->width), narrow_u(window->height)};
  }
  XSetClipRectangles(d, gc, 0, 0, &r, 1, Unsorted);
}

void xfEndGcPaint(XfWindow* window, GC gc) {
  xfValidateWindow(window);
  if (D() && gc) XSetClipMask(D(), gc, None);
}

// ----- GCs -----

GC xfNewGc() {
  Display* d = D();
  if (!d) return nullptr;
  XGCValues v{};
  v.graphics_exposures = False;
  GC gc = XCreateGC(d, xf().conn.root, GCGraphicsExposures, &v);
  auto& list = xg().gcs.list;
  list.insert(std::lower_bound(list.begin(), list.end(), gc), gc);
  return gc;
}

void xfFreeGc(GC gc) {
  if (!gc) return;
  auto& list = xg().gcs.list;
  auto it = std::lower_bound(list.begin(), list.end(), gc);
  if (it != list.end() && *it == gc) list.erase(it);
  if (D()) XFreeGC(D(), gc);
}

void xfFreeAllGcs() {
  auto& list = xg().gcs.list;
  while (!list.empty()) {
    GC gc = list.back();
    list.pop_back();
    if (D()) XFreeGC(D(), gc);
  }
}

int32_t xf_gc_count() { return static_cast<int32_t>(xg().gcs.list.size()); }

GC xfControlGc() {
  GC& gc = xg().gcs.control;
  if (!gc && D()) {
    XGCValues v{};
    v.function = GXcopy;
    v.line_width = 0;
    v.line_style = LineSolid;
    v.graphics_exposures = False;
    gc = XCreateGC(D(), xf().conn.root, GCFunction | GCLineWidth | GCLineStyle | GCGraphicsExposures, &v);
  }
  return gc;
}

void xfFreeControlGc() {
  GC& gc = xg().gcs.control;
  if (gc && D()) XFreeGC(D(), gc);
  gc = nullptr;
}

uint32_t xf_ps_gc_changes() { return xg().gcs.changes; }

void xfInvertRect(PresentSpace* ps, const XfRect4& r) {
  Display* d = D();
  int32_t w = r.c - r.a, h = r.d - r.b;
  if (!d || !ps->gc || w <= 0 || h <= 0) return;
  // Foreground 1 on plane 1 flips only the lowest bit of blue on a
  // true-colour screen: black ^ white over all planes inverts visibly.
  XGCValues saved{};
  XGetGCValues(d, ps->gc, GCFunction | GCPlaneMask | GCForeground, &saved);
  XSetFunction(d, ps->gc, GXxor);
  XSetForeground(d, ps->gc, BlackPixel(d, xf().conn.screen) ^ WhitePixel(d, xf().conn.screen));
  XSetPlaneMask(d, ps->gc, AllPlanes);
  XFillRectangle(d, ps->drawable, ps->gc, r.a, r.b, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XSetFunction(d, ps->gc, saved.function);
  XSetForeground(d, ps->gc, saved.foreground);
  XSetPlaneMask(d, ps->gc, saved.plane_mask);
}
