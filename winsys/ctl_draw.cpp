#include "winsys/ctl_draw.h"

#include <cstring>
#include <vector>

#include "winsys/gfx.h"
#include "winsys/images.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

Display* D() { return xf_display(); }

bool mono() { return xf().server.visual_class == 3; }

short s16(int32_t v) { return static_cast<short>(v); }

// The colours of the two passes of a look.
void pass_colours(char look, unsigned long bg, unsigned long light, unsigned long dark, unsigned long* first,
                  unsigned long* second, int32_t* grey1, int32_t* grey2) {
  if (look == 'o') {
    *first = light, *second = dark, *grey1 = 25, *grey2 = 75;
  } else if (look == 'i') {
    *first = dark, *second = light, *grey1 = 75, *grey2 = 25;
  } else {
    *first = *second = bg, *grey1 = 100, *grey2 = 100;
  }
}

void draw_passes(Drawable drawable, GC gc, const XfBevelPasses& p, unsigned long bg, unsigned long light,
                 unsigned long dark, char look) {
  Display* d = D();
  if (!d || !gc) return;
  unsigned long c1 = 0, c2 = 0;
  int32_t g1 = 100, g2 = 100;
  pass_colours(look, bg, light, dark, &c1, &c2, &g1, &g2);
  XSetForeground(d, gc, c1);
  xfSetGreyStipple(gc, g1);
  XDrawLines(d, drawable, gc, const_cast<XPoint*>(p.first.data()), static_cast<int>(p.first.size()), CoordModeOrigin);
  XSetForeground(d, gc, c2);
  xfSetGreyStipple(gc, g2);
  XDrawLines(d, drawable, gc, const_cast<XPoint*>(p.second.data()), static_cast<int>(p.second.size()), CoordModeOrigin);
  xfSetGreyStipple(gc, 100);
}

const XfFont* label_font(XfWindow* w) {
  if (w->font) return static_cast<const XfFont*>(w->font);
  if (xf().values.button_font) return static_cast<const XfFont*>(xf().values.button_font);
  return xf_ps_default_font();
}

int32_t width_of(const XfFont* f, const char* text, int32_t n) {
  if (!f || !f->fs || n <= 0) return 0;
  if (xf_font_is_two_byte(f->fs)) {
    std::vector<XChar2b> w(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
      w[static_cast<size_t>(i)] =
          XChar2b{static_cast<unsigned char>(f->fs->min_byte1), static_cast<unsigned char>(text[i])};
    return XTextWidth16(f->fs, w.data(), n);
  }
  return XTextWidth(f->fs, text, n);
}

// The remembered pixel of a focus mark: 'e' sets it.
unsigned long focus_pixel(unsigned long* slot, bool* set, unsigned long pixel, char look) {
  if (look == 'e') {
    *slot = pixel;
    *set = true;
  }
  if (!*set && D()) return BlackPixel(D(), xf().conn.screen);
  return *slot;
}

}  // namespace

XfBevelPasses xf_bevel_points(int32_t x, int32_t y, int32_t w, int32_t h, bool wide, int32_t i) {
  XfBevelPasses p;
  p.first = {{s16(x + i), s16(y + h - i - 1)}, {s16(x + i), s16(y + i)}, {s16(x + w - i - 1), s16(y + i)}};
  p.second = {
      {s16(x + i), s16(y + h - i - 1)}, {s16(x + w - i - 1), s16(y + h - i - 1)}, {s16(x + w - i - 1), s16(y + i)}};
  if (wide) {
    p.first.insert(
        p.first.end(),
        {{s16(x + w - i - 2), s16(y + i + 1)}, {s16(x + i + 1), s16(y + i + 1)}, {s16(x + i + 1), s16(y + h - i - 2)}});
    p.second.insert(p.second.end(), {{s16(x + w - i - 2), s16(y + i + 1)},
                                     {s16(x + w - i - 2), s16(y + h - i - 2)},
                                     {s16(x + i + 1), s16(y + h - i - 2)}});
  }
  return p;
}

XfBevelPasses xf_check_box_points(int32_t h, int32_t x, bool wide) {
  int32_t y0 = (h - 14) / 2;
  XfBevelPasses p;
  p.first = {{s16(x), s16(y0 + 13)}, {s16(x), s16(y0)}, {s16(x + 13), s16(y0)}};
  p.second = {{s16(x), s16(y0 + 13)}, {s16(x + 13), s16(y0 + 13)}, {s16(x + 13), s16(y0)}};
  if (wide) {
    p.first.insert(p.first.end(), {{s16(x + 12), s16(y0 + 1)}, {s16(x + 1), s16(y0 + 1)}, {s16(x + 1), s16(y0 + 12)}});
    p.second.insert(p.second.end(),
                    {{s16(x + 12), s16(y0 + 1)}, {s16(x + 12), s16(y0 + 12)}, {s16(x + 1), s16(y0 + 12)}});
  }
  return p;
}

XfBevelPasses xf_radio_points(int32_t h, int32_t x, bool wide) {
  int32_t y0 = (h - 17) / 2;
  XPoint left{s16(x), s16(y0 + 8)}, top{s16(x + 8), s16(y0)}, right{s16(x + 16), s16(y0 + 8)},
      bottom{s16(x + 8), s16(y0 + 16)};
  XfBevelPasses p;
  p.first = {left, top, right};
  p.second = {{s16(x + 1), s16(y0 + 9)}, bottom, right};
  if (wide) {
    p.first.insert(p.first.end(), {{s16(x + 15), s16(y0 + 8)}, {s16(x + 8), s16(y0 + 1)}, {s16(x + 1), s16(y0 + 8)}});
    p.second.insert(p.second.end(),
                    {{s16(x + 15), s16(y0 + 8)}, {s16(x + 8), s16(y0 + 15)}, {s16(x + 2), s16(y0 + 9)}});
  }
  return p;
}

void xfSetGreyStipple(GC gc, int32_t level) {
  Display* d = D();
  if (!d || !gc || !mono()) return;
  int slot = -1;
  if (level == 20 || level == 25) slot = kStippleLightGrey;
  if (level == 50) slot = kStipple50;
  if (level == 70 || level == 75) slot = kStippleDarkGrey;
  if (slot < 0) {
    XSetFillStyle(d, gc, FillSolid);
    return;
  }
  XSetStipple(d, gc, xf_stipple(slot));
  XSetFillStyle(d, gc, FillOpaqueStippled);
}

void xfDraw3DBorder(PresentSpace* ps, int32_t x, int32_t y, int32_t w, int32_t h, int32_t t, unsigned long light,
                    unsigned long dark) {
  Display* d = D();
  if (!d || !ps->gc || t <= 0) return;
  if (mono()) light = dark = BlackPixel(d, xf().conn.screen);
  GC gc = ps->gc;
  XGCValues saved{};
  XGetGCValues(d, gc, GCFunction | GCForeground | GCLineWidth, &saved);
  XSetFunction(d, gc, GXcopy);
  auto fill = [&](int32_t fx, int32_t fy, int32_t fw, int32_t fh) {
    if (fw > 0 && fh > 0)
      XFillRectangle(d, ps->drawable, gc, fx, fy, static_cast<unsigned>(fw), static_cast<unsigned>(fh));
  };
  XSetForeground(d, gc, light);
  xfSetGreyStipple(gc, 75);
  fill(x, y, w, t);
  fill(x, y, t, h);
  XSetForeground(d, gc, dark);
  xfSetGreyStipple(gc, 25);
  fill(x, y + h - t, w, t);
  fill(x + w - t, y, t, h);
  XSetLineAttributes(d, gc, 0, LineSolid, CapButt, JoinMiter);
  XSetForeground(d, gc, light);
  xfSetGreyStipple(gc, 75);
  for (int32_t k = 0; k < t; ++k) {
    int32_t len = t - k;
    XDrawLine(d, ps->drawable, gc, x + k, y + h - t, x + k, y + h - t + len - 1);
    XDrawLine(d, ps->drawable, gc, x + w - t + k, y, x + w - t + k, y + len - 1);
  }
  xfSetGreyStipple(gc, 100);
  XSetFunction(d, gc, saved.function);
  XSetForeground(d, gc, saved.foreground);
  XSetLineAttributes(d, gc, static_cast<unsigned>(saved.line_width), LineSolid, CapButt, JoinMiter);
}

void xfDraw3DBorderColor(PresentSpace* ps, int32_t x, int32_t y, int32_t w, int32_t h, int32_t t, uint32_t light,
                         uint32_t dark) {
  Colormap cm = xf().conn.colormap;
  xfDraw3DBorder(ps, x, y, w, h, t, xfColorToPixel(cm, light), xfColorToPixel(cm, dark));
}

void xfBevel(Drawable drawable, GC gc, int32_t x, int32_t y, int32_t w, int32_t h, unsigned long bg,
             unsigned long light, unsigned long dark, char look, char line_width, int32_t inset) {
  draw_passes(drawable, gc, xf_bevel_points(x, y, w, h, line_width == 'w', inset), bg, light, dark, look);
}

void xfBevelRect(Drawable drawable, GC gc, XfSize size, unsigned long bg, unsigned long light, unsigned long dark,
                 char look, char line_width, int32_t inset) {
  xfBevel(drawable, gc, 0, 0, size.width, size.height, bg, light, dark, look, line_width, inset);
}

void xfBevelCheckBox(Drawable drawable, GC gc, XRectangle rect, unsigned long bg, unsigned long light,
                     unsigned long dark, char look, char line_width, int32_t x) {
  draw_passes(drawable, gc, xf_check_box_points(rect.height, x, line_width == 'w'), bg, light, dark, look);
}

void xfBevelRadio(Drawable drawable, GC gc, XRectangle rect, unsigned long bg, unsigned long light, unsigned long dark,
                  char look, char line_width, int32_t x) {
  draw_passes(drawable, gc, xf_radio_points(rect.height, x, line_width == 'w'), bg, light, dark, look);
}

void xfDrawFocusFrame(Drawable drawable, XRectangle rect, GC gc, unsigned long pixel, char look) {
  XfImages& im = xg().images;
  unsigned long p = focus_pixel(&im.focus_pixel, &im.focus_set, pixel, look);
  if (!D() || !gc || rect.width < 1 || rect.height < 1) return;
  XSetForeground(D(), gc, p);
  XDrawRectangle(D(), drawable, gc, 0, 0, rect.width - 1u, rect.height - 1u);
}

void xfDrawLabelFocus(Drawable drawable, XRectangle rect, GC gc, unsigned long pixel, const XfFont* font,
                      const char* text, int32_t x, char look) {
  XfImages& im = xg().images;
  unsigned long p = focus_pixel(&im.label_focus_pixel, &im.label_focus_set, pixel, look);
  int32_t n = text ? static_cast<int32_t>(std::strlen(text)) : 0;
  int32_t w = n ? width_of(font, text, n) + x + 3 : rect.width;
  if (w > rect.width) w = rect.width;
  if (!D() || !gc || w < 1 || rect.height < 1) return;
  XSetForeground(D(), gc, p);
  XDrawRectangle(D(), drawable, gc, 0, 0, static_cast<unsigned>(w - 1), rect.height - 1u);
}

void xfDrawLabel(Drawable drawable, GC gc, const XfFont* font, const char* text, char mnemonic, int32_t x, int32_t y,
                 int32_t width, int32_t height, bool keep_end, int32_t dx, int32_t dy) {
  Display* d = D();
  if (!text || !*text || !font || !font->fs || !d || !gc) return;
  auto n = static_cast<int32_t>(std::strlen(text));
  int32_t tw = width_of(font, text, n);
  int32_t ascent = font->fs->ascent, descent = font->fs->descent;
  if (x == 0x7FFFFFFF) x = (width - tw) / 2;
  if (y == 0x7FFFFFFF) y = ascent + (height - ascent) / 2;
  if (keep_end && tw > width) x = width - tw;
  x += dx;
  y += dy;
  XSetFont(d, gc, font->fid);
  if (xf_font_is_two_byte(font->fs)) {
    auto& wide = xg().ps.wide;
    if (wide.size() < static_cast<size_t>(n)) wide.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
      wide[static_cast<size_t>(i)] =
          XChar2b{static_cast<unsigned char>(font->fs->min_byte1), static_cast<unsigned char>(text[i])};
    XDrawString16(d, drawable, gc, x, y, wide.data(), n);
  } else {
    XDrawString(d, drawable, gc, x, y, text, n);
  }
  if (mnemonic) {
    if (const char* hit = std::strchr(text, mnemonic)) {
      auto at = static_cast<int32_t>(hit - text);
      int32_t x1 = x + width_of(font, text, at);
      int32_t x2 = x1 + width_of(font, hit, 1);
      xfDrawLine(d, drawable, gc, x1, y + descent - 1, x2, y + descent - 1);
    }
  }
}

void xfPaintButtonFace(XfWindow* window, XfWindow* source, char look) {
  if (!xf_is_live_window(window)) return;
  XfWindow* src = source ? source : window;
  uint32_t kind = src->kind;
  if (kind != XFTYPE_3STATEBUTTON && kind != XFTYPE_PUSHBUTTON && kind != XFTYPE_RADIOBUTTON) return;
  Display* d = D();
  GC gc = xfControlGc();
  if (!d || !gc) {
    xfValidateWindow(window);
    return;
  }
  xfInitImages();
  xfBeginGcPaint(window, gc);
  Drawable dr = window->xwin;
  bool pressed = look == 'p';
  bool enabled = src->enabled;
  bool focus = src->k.button.has_focus;
  int32_t w = window->width, h = window->height;
  auto fill = [&](unsigned long pixel, int32_t x, int32_t y, int32_t fw, int32_t fh) {
    XSetForeground(d, gc, pixel);
    if (fw > 0 && fh > 0) XFillRectangle(d, dr, gc, x, y, static_cast<unsigned>(fw), static_cast<unsigned>(fh));
  };
  auto stipple_if_disabled = [&] {
    XSetStipple(d, gc, xf_stipple(kStipple50));
    if (!enabled) XSetFillStyle(d, gc, FillStippled);
  };
  const XfFont* font = label_font(src);
  const char* text = src->text;
  char mnemonic = src->k.button.mnemonic;
  XRectangle whole{0, 0, static_cast<unsigned short>(w), static_cast<unsigned short>(h)};
  unsigned long box = pressed ? window->medium : window->bg;
  if (kind == XFTYPE_PUSHBUTTON) {
    xfSetGreyStipple(gc, pressed ? 20 : 100);
    fill(box, 0, 0, w, h);
    xfSetGreyStipple(gc, 100);
    stipple_if_disabled();
    xfBevelRect(dr, gc, XfSize{w, h}, window->bg, window->light, window->dark, pressed ? 'i' : 'o', 'w', 3);
    if (enabled && focus) xfDrawFocusFrame(dr, whole, gc, 0, 'd');
    if (!focus && enabled && (src->style & 8))
      xfBevelRect(dr, gc, XfSize{w, h}, window->bg, window->light, window->dark, 'i', 'n', 0);
    XSetForeground(d, gc, window->fg);
    xfDrawLabel(dr, gc, font, text, mnemonic, 0x7FFFFFFF, 0x7FFFFFFF, w, h, false, 0, 0);
  } else {
    bool radio = kind == XFTYPE_RADIOBUTTON;
    fill(window->bg, 0, 0, w, h);
    int32_t x = 3;
    if (radio) {
      int32_t y0 = (h - 17) / 2;
      XPoint diamond[5] = {{s16(x), s16(y0 + 8)},
                           {s16(x + 8), s16(y0)},
                           {s16(x + 16), s16(y0 + 8)},
                           {s16(x + 8), s16(y0 + 16)},
                           {s16(x), s16(y0 + 8)}};
      XSetForeground(d, gc, box);
      xfSetGreyStipple(gc, pressed ? 20 : 100);
      XFillPolygon(d, dr, gc, diamond, 5, Convex, CoordModeOrigin);
    } else {
      int32_t y0 = (h - 14) / 2;
      xfSetGreyStipple(gc, pressed ? 20 : 100);
      fill(box, x, y0, 14, 14);
    }
    xfSetGreyStipple(gc, 100);
    stipple_if_disabled();
    if (radio) {
      xfBevelRadio(dr, gc, whole, window->bg, window->light, window->dark, pressed ? 'i' : 'o', 'w', x);
    } else {
      xfBevelCheckBox(dr, gc, whole, window->bg, window->light, window->dark, pressed ? 'i' : 'o', 'w', x);
    }
    int32_t check = src->k.button.check;
    if (radio && check == 2) {
      int32_t y0 = (h - 17) / 2;
      XPoint inner[4] = {
          {s16(x + 4), s16(y0 + 8)}, {s16(x + 8), s16(y0 + 3)}, {s16(x + 13), s16(y0 + 8)}, {s16(x + 8), s16(y0 + 13)}};
      XSetForeground(d, gc, window->dark);
      XFillPolygon(d, dr, gc, inner, 4, Convex, CoordModeOrigin);
    } else if (!radio && check == 1) {
      int32_t y0 = (h - 14) / 2;
      fill(window->dark, x + 3, y0 + 3, 7, 7);
    } else if (!radio && check == 2) {
      XfImages& im = xg().images;
      Pixmap image = enabled ? im.check : im.check_off;
      Pixmap mask = enabled ? im.check_mask : im.check_off_mask;
      if (image) {
        int32_t iy = (h - im.check_h) / 2 - 1;
        XSetClipMask(d, gc, mask);
        XSetClipOrigin(d, gc, 5, iy);
        XCopyArea(d, image, dr, gc, 0, 0, static_cast<unsigned>(im.check_w), static_cast<unsigned>(im.check_h), 5, iy);
        xfBeginGcPaint(window, gc);  // the update clip again
      }
    }
    int32_t lx = radio ? 25 : 22;
    if (enabled && focus) xfDrawLabelFocus(dr, whole, gc, 0, font, text, lx, 'd');
    XSetForeground(d, gc, window->fg);
    xfDrawLabel(dr, gc, font, text, mnemonic, lx, 0x7FFFFFFF, w, h, false, 0, 0);
  }
  XSetFillStyle(d, gc, FillSolid);
  xfEndGcPaint(window, gc);
  XFlush(d);
}
