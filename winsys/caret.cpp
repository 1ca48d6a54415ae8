#include "winsys/caret.h"

#include <X11/Xutil.h>

#include <map>

#include "winsys/pixels.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

bool has_caret(const XfWindow* w) { return w && w->caret.hide >= 0; }

GC caret_gc() {
  XfSystem& s = xf();
  if (!s.caret.gc && s.conn.display) {
    XGCValues v{};
    v.plane_mask = AllPlanes;
    v.function = s.values.caret >= 0 ? GXcopy : GXxor;
    if (s.values.caret >= 0) v.foreground = static_cast<unsigned long>(s.values.caret);
    s.caret.gc = XCreateGC(s.conn.display, s.conn.root, GCPlaneMask | GCFunction | GCForeground, &v);
  }
  return s.caret.gc;
}

// The most frequent pixel of the saved area, sampled on a grid of about ten
// steps each way (each step 1..10 pixels). Counted by the full pixel value,
// so colours that share their low byte are not confused.
unsigned long dominant_pixel(Display* d, Pixmap p, int width, int height) {
  XImage* image =
      XGetImage(d, p, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) return 0;
  auto step = [](int extent) {
    int s = extent / 10;
    return s < 1 ? 1 : (s > 10 ? 10 : s);
  };
  int sx = step(width), sy = step(height);
  std::map<unsigned long, int> counts;
  unsigned long best = 0;
  int best_count = 0;
  for (int y = 0; y < height; y += sy) {
    for (int x = 0; x < width; x += sx) {
      unsigned long pixel = XGetPixel(image, x, y);
      int c = ++counts[pixel];
      if (c > best_count) {
        best_count = c;
        best = pixel;
      }
    }
  }
  XDestroyImage(image);
  return best;
}

unsigned long contrast_mask(unsigned long dominant) {
  Colormap cm = xf().conn.colormap;
  uint32_t comp = xfComplementRgb(xfPixelToRgb(cm, dominant));
  return xfRgbToPixel(cm, comp) ^ dominant;
}

intptr_t blink(XfWindow* window, void*, intptr_t) {
  if (window->caret.hide == 0) xfDrawCaret(window, -1);
  return 0;
}

void ensure_save_pixmap(XfWindow* w) {
  XfCaret& c = w->caret;
  Display* d = xf_display();
  if (!d) return;
  if (c.save && c.save_width >= c.width && c.save_height >= c.height) return;
  if (c.save) xfFreePixmap(c.save);
  c.save_width = c.width > 0 ? c.width : 1;
  c.save_height = c.height > 0 ? c.height : 1;
  c.save = XCreatePixmap(d, xf().conn.root, static_cast<unsigned>(c.save_width), static_cast<unsigned>(c.save_height),
                         static_cast<unsigned>(xf().conn.depth));
  xfRegisterPixmap(c.save);
}

}  // namespace

void xfCreateCaret(XfWindow* window, int32_t width, int32_t height, uint32_t) {
  if (!window || window == kDesktop || has_caret(window)) return;
  XfCaret& c = window->caret;
  c.width = width;
  c.height = height;
  c.x = c.y = 0;
  c.hide = 1;
  c.drawn = false;
  caret_gc();
  c.timer = xfStartTimer(window, kCaretTimer, kCaretBlinkMs, blink, nullptr);
  ensure_save_pixmap(window);
  c.saved = false;
}

void xfDestroyCaret(XfWindow* window) {
  if (!has_caret(window)) return;
  if (window->caret.drawn) xfDrawCaret(window, 0);  // leave nothing on the screen
  window->caret.hide = -1;
  xfStopTimer(window, kCaretTimer);
  window->caret.timer = 0;
}

intptr_t xfShowCaret(XfWindow* window) {
  if (!window || window == kDesktop) return 0;
  bool enabled = xfIsWindowEnabled(window);
  if (!enabled || window->caret.hide < 1) return enabled;
  if (--window->caret.hide > 0) return enabled;
  xfDrawCaret(window, 1);
  window->caret.timer = xfStartTimer(window, kCaretTimer, kCaretBlinkMs, blink, nullptr);
  return window->caret.timer;
}

void xfHideCaret(XfWindow* window) {
  if (!window || window == kDesktop || !xfIsWindowEnabled(window) || window->caret.hide < 0) return;
  if (window->caret.hide == 0) xfDrawCaret(window, 0);
  ++window->caret.hide;
}

void xfSetCaretPos(XfWindow* window, int32_t x, int32_t y) {
  if (!has_caret(window) || !xfIsWindowEnabled(window)) return;
  XfCaret& c = window->caret;
  if (c.x == x && c.y == y) return;
  bool shown = c.hide == 0;
  if (shown) xfDrawCaret(window, 0);
  c.x = x;
  c.y = y;
  if (shown) xfDrawCaret(window, 1);
}

void xfDrawCaret(XfWindow* window, int op) {
  if (xf().caret.suspended || !window) return;
  XfCaret& c = window->caret;
  bool draw = !c.drawn && (op == 1 || op == -1);
  bool erase = c.drawn && (op == 0 || op == -1);
  if (!draw && !erase) return;
  ++xf().caret.draws;
  Display* d = xf_display();
  GC gc = caret_gc();
  long colour = xf().values.caret;
  auto w = static_cast<unsigned>(c.width > 0 ? c.width : 1);
  auto h = static_cast<unsigned>(c.height > 0 ? c.height : 1);
  if (draw) {
    if (d && gc) {
      ensure_save_pixmap(window);
      XSetFunction(d, gc, GXcopy);
      XCopyArea(d, window->xwin, c.save, gc, c.x, c.y, w, h, 0, 0);
      if (colour < 0) {
        c.xor_mask = contrast_mask(dominant_pixel(d, c.save, static_cast<int>(w), static_cast<int>(h)));
        XSetForeground(d, gc, c.xor_mask);
        XSetFunction(d, gc, GXxor);
      } else {
        c.saved = true;
        XSetForeground(d, gc, static_cast<unsigned long>(colour));
      }
      XFillRectangle(d, window->xwin, gc, c.x, c.y, w, h);
      XFlush(d);
    }
    c.drawn = true;
    return;
  }
  if (d && gc) {
    if (colour < 0) {
      XSetFunction(d, gc, GXxor);
      XSetForeground(d, gc, c.xor_mask);
      XFillRectangle(d, window->xwin, gc, c.x, c.y, w, h);
    } else if (c.saved) {
      XSetFunction(d, gc, GXcopy);
      XCopyArea(d, c.save, window->xwin, gc, 0, 0, w, h, c.x, c.y);
      c.saved = false;
    }
    XFlush(d);
  }
  c.drawn = false;
}

void xfSuspendCaret(char code) { xf().caret.suspended = code == 'h'; }

void xf_caret_release(XfWindow* window) {
  XfCaret& c = window->caret;
  if (c.timer) xfStopTimer(window, kCaretTimer);
  if (c.save) xfFreePixmap(c.save);
  c = XfCaret{};
  c.hide = -1;
}

void xf_caret_shutdown() {
  XfSystem& s = xf();
  if (s.caret.gc && s.conn.display) XFreeGC(s.conn.display, s.caret.gc);
  s.caret.gc = nullptr;
}
