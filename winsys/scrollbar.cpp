#include "winsys/scrollbar.h"

#include <X11/Xlib.h>

#include <algorithm>

#include "winsys/ctl_draw.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/present.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"

namespace {

bool vertical(const XfWindow* bar) { return bar->kind != XFTYPE_HSB; }
int32_t across(const XfWindow* bar) { return vertical(bar) ? bar->width : bar->height; }
int32_t along(const XfWindow* bar) { return vertical(bar) ? bar->height : bar->width; }
bool is_bar(const XfWindow* w) { return xf_is_live_window(w) && (w->kind == XFTYPE_VSB || w->kind == XFTYPE_HSB); }

int32_t top_pos(const XfScrollWords& s) { return s.max - s.page; }
int32_t clamp_pos(const XfScrollWords& s, int32_t v) { return std::max(std::min(v, top_pos(s)), s.min); }

void notify(XfWindow* bar, int32_t code) { xfScrollNotify(bar, bar->owner, bar->k.scroll.pos, code); }

// The pointer's offset along the bar from the bar's own origin.
int32_t local_along(XfWindow* bar, intptr_t root) {
  int32_t ox = 0, oy = 0;
  xfWindowRootOrigin(bar, &ox, &oy);
  return vertical(bar) ? xf_high(root) - oy : xf_low(root) - ox;
}
int32_t local_across(XfWindow* bar, intptr_t root) {
  int32_t ox = 0, oy = 0;
  xfWindowRootOrigin(bar, &ox, &oy);
  return vertical(bar) ? xf_low(root) - ox : xf_high(root) - oy;
}

// {x, y, width, height} of an along/across rectangle in window coordinates.
XRectangle to_xy(const XfWindow* bar, int32_t a, int32_t c, int32_t along_len, int32_t across_len) {
  auto u = [](int32_t v) { return static_cast<unsigned short>(std::max(v, 0)); };
  if (vertical(bar)) return XRectangle{static_cast<short>(c), static_cast<short>(a), u(across_len), u(along_len)};
  return XRectangle{static_cast<short>(a), static_cast<short>(c), u(along_len), u(across_len)};
}

void remember_thumb(XfWindow* bar, const XRectangle& r) {
  XfScrollWords& s = bar->k.scroll;
  s.thumb_x = r.x;
  s.thumb_y = r.y;
  s.thumb_width = r.width;
  s.thumb_height = r.height;
}

XRectangle thumb_rect(const XfWindow* bar) {
  XfScrollGeometry g = xf_scroll_geometry(bar);
  return to_xy(bar, g.thumb_start, 2, g.thumb_len, across(bar) - 4);
}

void fill(Display* d, Drawable dr, GC gc, unsigned long pixel, const XRectangle& r) {
  if (r.width < 1 || r.height < 1) return;
  XSetForeground(d, gc, pixel);
  XFillRectangle(d, dr, gc, r.x, r.y, r.width, r.height);
}

void draw_thumb(XfWindow* bar, Display* d, GC gc) {
  XRectangle r = thumb_rect(bar);
  remember_thumb(bar, r);
  if (!d || r.width < 1 || r.height < 1) return;
  bool dragged = bar->k.scroll.pressed == 't';
  xfSetGreyStipple(gc, 100);
  xfBevel(bar->xwin, gc, r.x, r.y, r.width, r.height, bar->bg, bar->light, bar->dark, 'o', 'w', 0);
  xfSetGreyStipple(gc, 20);
  fill(d, bar->xwin, gc, dragged ? bar->medium : bar->bg,
       XRectangle{static_cast<short>(r.x + 2), static_cast<short>(r.y + 2),
                  static_cast<unsigned short>(std::max(r.width - 4, 0)),
                  static_cast<unsigned short>(std::max(r.height - 4, 0))});
  xfSetGreyStipple(gc, 100);
}

// One arrow in its box at `start` along the bar, pointing outward.
void draw_arrow(XfWindow* bar, Display* d, GC gc, bool first, bool pressed) {
  XfScrollGeometry g = xf_scroll_geometry(bar);
  int32_t a = g.arrow;
  if (a < 2) return;
  int32_t start = first ? 2 : along(bar) - 2 - a;
  int32_t c0 = 2 + (across(bar) - 4 - a) / 2;
  // Triangle in along/across terms: tip, then the two base corners.
  int32_t tip_a = first ? start : start + a - 1, base_a = first ? start + a - 1 : start;
  int32_t mid_c = c0 + (a - 1) / 2;
  auto pt = [&](int32_t al, int32_t ac) {
    return vertical(bar) ? XPoint{static_cast<short>(ac), static_cast<short>(al)}
                         : XPoint{static_cast<short>(al), static_cast<short>(ac)};
  };
  XPoint tri[3] = {pt(tip_a, mid_c), pt(base_a, c0), pt(base_a, c0 + a - 1)};
  xfSetGreyStipple(gc, pressed ? 20 : 100);
  XSetForeground(d, gc, pressed ? bar->medium : bar->bg);
  XFillPolygon(d, bar->xwin, gc, tri, 3, Convex, CoordModeOrigin);
  unsigned long one = pressed ? bar->dark : bar->light, other = pressed ? bar->light : bar->dark;
  xfSetGreyStipple(gc, 25);
  XSetForeground(d, gc, one);
  XDrawLine(d, bar->xwin, gc, tri[0].x, tri[0].y, tri[1].x, tri[1].y);
  xfSetGreyStipple(gc, 75);
  XSetForeground(d, gc, other);
  XDrawLine(d, bar->xwin, gc, tri[0].x, tri[0].y, tri[2].x, tri[2].y);
  XDrawLine(d, bar->xwin, gc, tri[1].x, tri[1].y, tri[2].x, tri[2].y);
  xfSetGreyStipple(gc, 100);
}

void draw_arrows(XfWindow* bar) {
  Display* d = xf_display();
  GC gc = xfControlGc();
  if (!d || !gc) return;
  char p = bar->k.scroll.pressed;
  draw_arrow(bar, d, gc, true, p == 'l');
  draw_arrow(bar, d, gc, false, p == 'r');
}

// Moves the position by `step` within the limits; whether it changed.
bool step_by(XfWindow* bar, int32_t step) {
  XfScrollWords& s = bar->k.scroll;
  int32_t now = clamp_pos(s, s.pos + step);
  if (now == s.pos) return false;
  s.pos = now;
  xfScrollRedrawThumb(bar);
  return true;
}

bool is_release(uint32_t n) { return n == ZWM_LBUTTONUP || n == ZWM_MBUTTONUP; }

}  // namespace

int32_t xf_scroll_round_div(int64_t n, int64_t d) {
  if (d <= 0) return 0;
  int64_t q = n / d, r = n % d;
  if (r < 0) {
    r += d;
    --q;
  }
  if (2 * r > d) ++q;
  return static_cast<int32_t>(q);
}

XfScrollGeometry xf_scroll_geometry(int32_t across_len, int32_t along_len, const XfScrollWords& s) {
  XfScrollGeometry g{};
  int32_t a = across_len - 4;
  if (2 * a + 12 > along_len - 4) a = (along_len - 16) / 2;
  g.arrow = std::max(a, 0);
  g.box = std::max(across_len - 4, 0);
  g.trough_start = g.arrow + 3;
  g.trough_len = std::max(along_len - 2 * g.arrow - 6, 0);
  int64_t range = static_cast<int64_t>(s.max) - s.min;
  if (range <= 0) {
    // Nothing to scroll: the thumb is the whole trough.
    g.thumb_start = g.trough_start;
    g.thumb_len = g.trough_len;
    g.placing_len = 0;
    return g;
  }
  int32_t len = xf_scroll_round_div(static_cast<int64_t>(std::max(s.page, 0)) * g.trough_len, range);
  g.placing_len = g.trough_len;
  if (len < kMinThumb) {
    len = kMinThumb;
    g.placing_len = g.trough_len - kMinThumb;
  }
  // A trough shorter than the shortest thumb: the thumb is what fits.
  if (len > g.trough_len) len = g.trough_len;
  g.placing_len = std::max(g.placing_len, 0);
  g.thumb_len = len;
  int64_t offset = std::max<int64_t>(static_cast<int64_t>(s.pos) - s.min, 0);
  int32_t start = g.trough_start + xf_scroll_round_div(offset * g.placing_len, range);
  if (start + len > g.trough_start + g.trough_len) start = g.trough_start + g.trough_len - len;
  g.thumb_start = start;
  return g;
}

XfScrollGeometry xf_scroll_geometry(const XfWindow* bar) {
  return xf_scroll_geometry(across(bar), along(bar), bar->k.scroll);
}

int32_t xf_scroll_pos_from_offset(const XfScrollWords& s, const XfScrollGeometry& g, int32_t offset) {
  int64_t range = static_cast<int64_t>(s.max) - s.min;
  if (range <= 0 || g.placing_len <= 0) return clamp_pos(s, s.min);
  offset = std::max(std::min(offset, g.trough_len - g.thumb_len), 0);
  int32_t pos = s.min + xf_scroll_round_div(static_cast<int64_t>(offset) * range, g.placing_len);
  return clamp_pos(s, pos);
}

void xfScrollRedrawThumb(XfWindow* bar) {
  if (!is_bar(bar)) return;
  XfScrollWords& s = bar->k.scroll;
  Display* d = xf_display();
  GC gc = xfControlGc();
  XRectangle old{static_cast<short>(s.thumb_x), static_cast<short>(s.thumb_y),
                 static_cast<unsigned short>(s.thumb_width), static_cast<unsigned short>(s.thumb_height)};
  if (!d || !gc || !bar->xwin) {
    remember_thumb(bar, thumb_rect(bar));
    return;
  }
  XSetClipMask(d, gc, None);
  xfSetGreyStipple(gc, 100);
  XRectangle now = thumb_rect(bar);
  // Uncover only what the new thumb leaves of the old one.
  auto strip = [&](int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w > 0 && h > 0)
      fill(d, bar->xwin, gc, bar->medium,
           XRectangle{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(w),
                      static_cast<unsigned short>(h)});
  };
  int32_t ox = old.x, oy = old.y, ow = old.width, oh = old.height, nx = now.x, ny = now.y;
  int32_t ox2 = ox + ow, oy2 = oy + oh, nx2 = nx + now.width, ny2 = ny + now.height;
  strip(ox, oy, ow, std::min(ny, oy2) - oy);
  strip(ox, std::max(ny2, oy), ow, oy2 - std::max(ny2, oy));
  strip(ox, oy, std::min(nx, ox2) - ox, oh);
  strip(std::max(nx2, ox), oy, ox2 - std::max(nx2, ox), oh);
  draw_thumb(bar, d, gc);
}

void xfPaintScrollBar(XfWindow* bar) {
  Display* d = xf_display();
  GC gc = xfControlGc();
  if (!d || !gc || !bar->xwin) {
    remember_thumb(bar, thumb_rect(bar));
    xfValidateWindow(bar);
    return;
  }
  xfBeginGcPaint(bar, gc);
  xfSetGreyStipple(gc, 50);
  fill(d, bar->xwin, gc, bar->medium,
       XRectangle{0, 0, static_cast<unsigned short>(std::max(bar->width, 0)),
                  static_cast<unsigned short>(std::max(bar->height, 0))});
  xfSetGreyStipple(gc, 100);
  xfBevelRect(bar->xwin, gc, XfSize{bar->width, bar->height}, bar->bg, bar->light, bar->dark, 'i', 'w', 0);
  char p = bar->k.scroll.pressed;
  draw_arrow(bar, d, gc, true, p == 'l');
  draw_arrow(bar, d, gc, false, p == 'r');
  draw_thumb(bar, d, gc);
  xfEndGcPaint(bar, gc);
  xfValidateWindow(bar);
}

void xfScrollRepeat(XfWindow* bar, char part, char mode) {
  XfScrollWords& s = bar->k.scroll;
  bool page = mode == 'p';
  int32_t step = (page ? 10 : 1) * (part == 'l' ? -1 : 1);
  int32_t code = page ? (part == 'l' ? kSbPageUp : kSbPageDown) : (part == 'l' ? kSbLineUp : kSbLineDown);
  xfSetCapture(bar);
  xfStartTimer(bar, kScrollRepeatTimer, kScrollFirstDelay, nullptr, nullptr);
  if (!page) {
    s.pressed = part;
    draw_arrows(bar);
  }
  bool end_note = true;
  if (xfQueryLastEventState() & ControlMask) {
    s.pos = part == 'l' ? s.min : clamp_pos(s, top_pos(s));
    xfScrollRedrawThumb(bar);
    notify(bar, kSbThumbPos);
    end_note = false;
  } else {
    int32_t changes = 0;
    int32_t interval = 120;
    XfMessage m{};
    while (xfGetMsg(&m, nullptr, 0, 0) && is_bar(bar)) {
      if (is_release(m.number)) break;
      if (m.number == ZWM_TIMER && m.window == bar && m.mp1 == static_cast<intptr_t>(kScrollRepeatTimer)) {
        if (!step_by(bar, step)) continue;
        notify(bar, code);
        ++changes;
        if (changes % 10 == 1) {
          if (interval > static_cast<int32_t>(kScrollShortest)) interval -= 20;
          interval = std::max(interval, static_cast<int32_t>(kScrollShortest));
          xfStartTimer(bar, kScrollRepeatTimer, static_cast<uint32_t>(interval), nullptr, nullptr);
        }
      } else if (m.number == ZWM_PAINT) {
        xfDispatchMsg(&m);
      }
    }
    if (!is_bar(bar)) return;
    if (changes == 0 && step_by(bar, step)) notify(bar, code);
  }
  if (end_note) notify(bar, kSbEndScroll);
  xfStopTimer(bar, kScrollRepeatTimer);
  s.pressed = '-';
  draw_arrows(bar);
  xfReleaseCapture(bar);
}

void xfScrollDragThumb(XfWindow* bar, int32_t pointer_along, bool moved) {
  XfScrollWords& s = bar->k.scroll;
  xfSetCapture(bar);
  s.pressed = 't';
  xfScrollRedrawThumb(bar);
  int32_t grip = pointer_along - xf_scroll_geometry(bar).thumb_start;
  XfMessage m{};
  while (xfGetMsg(&m, nullptr, 0, 0) && is_bar(bar)) {
    if (is_release(m.number)) {
      // A moved thumb tells its final place once more, as settled, so an
      // owner that only follows settled places still sees the drag.
      if (moved) notify(bar, kSbThumbDone);
      if (is_bar(bar)) notify(bar, kSbEndScroll);
      break;
    }
    if (m.number == ZWM_PAINT) {
      xfDispatchMsg(&m);
    } else if (m.number == ZWM_MOUSEMOVE) {
      XfScrollGeometry g = xf_scroll_geometry(bar);
      int32_t offset = local_along(bar, m.mp2) - grip - g.trough_start;
      int32_t pos = xf_scroll_pos_from_offset(s, g, offset);
      if (pos == s.pos) continue;
      s.pos = pos;
      moved = true;
      xfScrollRedrawThumb(bar);
      notify(bar, kSbThumbPos);
    }
  }
  if (!is_bar(bar)) return;
  s.pressed = '-';
  xfScrollRedrawThumb(bar);
  xfReleaseCapture(bar);
}

void xfScrollBarClick(XfWindow* bar, intptr_t root, bool middle) {
  XfScrollGeometry g = xf_scroll_geometry(bar);
  int32_t p = local_along(bar, root), c = local_across(bar, root);
  int32_t len = along(bar);
  bool across_in = c >= 2 && c <= 2 + g.box;
  if (across_in && p >= 2 && p <= 2 + g.box) return xfScrollRepeat(bar, 'l', 'l');
  if (across_in && p >= len - g.box && p <= len) return xfScrollRepeat(bar, 'r', 'l');
  if (!across_in) return;
  if (p >= g.thumb_start && p <= g.thumb_start + g.thumb_len) return xfScrollDragThumb(bar, p);
  if (p < g.trough_start || p > g.trough_start + g.trough_len) return;
  if (middle) {
    XfScrollWords& s = bar->k.scroll;
    s.pos = xf_scroll_pos_from_offset(s, g, p - g.thumb_len / 2 - g.trough_start);
    xfScrollRedrawThumb(bar);
    notify(bar, kSbThumbPos);
    return xfScrollDragThumb(bar, g.trough_start + (p - g.trough_start), true);
  }
  xfScrollRepeat(bar, p >= g.thumb_start ? 'r' : 'l', 'p');
}

intptr_t xfScrollBarProc(XfWindow* bar, uint32_t message, intptr_t mp1, intptr_t mp2) {
  if (!is_bar(bar)) return 0;
  if (xfBlockDisabledMouse(bar, message)) return 0;  // it still answers queries and paints
  XfScrollWords& s = bar->k.scroll;
  switch (message) {
    case ZWM_SBQUERYPOS:
      return s.pos & 0xFFFF;
    case ZWM_SBQUERYRANGE:
      return static_cast<intptr_t>((static_cast<uint32_t>(top_pos(s)) & 0xFFFF) << 16 |
                                   (static_cast<uint32_t>(s.min) & 0xFFFF));
    case ZWM_SBSETRANGE: {
      int32_t lo = xf_low(mp2), hi = xf_high(mp2);
      s.page = std::min(s.page, std::max(hi - lo, 0));
      s.pos = std::max(std::min(s.pos, hi - s.page), static_cast<int32_t>(lo));
      s.min = lo;
      s.max = hi;
      xfScrollRedrawThumb(bar);
      return 0;
    }
    case ZWM_SBSETPOS:
      s.pos = clamp_pos(s, xf_low(mp1));
      xfScrollRedrawThumb(bar);
      return 0;
    case ZWM_SBSETTHUMBSIZE: {
      int32_t page = std::min(static_cast<int32_t>(xf_low(mp1)), s.max - s.min);
      s.pos = std::min(s.pos, s.max - page);
      if (page < 1) {
        s.pos = s.min;
        page = s.max - s.min;
      }
      s.page = page;
      s.pos = std::max(s.pos, s.min);
      xfScrollRedrawThumb(bar);
      return 0;
    }
    case ZWM_LBUTTONDOWN:
    case ZWM_MBUTTONDOWN:
      xf_scroll_bar_activate_mdi(bar);
      if (is_bar(bar)) xfScrollBarClick(bar, mp2, message == ZWM_MBUTTONDOWN);
      return 0;
    case ZWM_SETPOINTER:
      xfSetPointer(bar, xfQuerySysPointer(bar, 0));
      return 0;
    case ZWM_PAINT:
      xfPaintScrollBar(bar);
      return 0;
    default:
      return 0;
  }
}
