#include "winsys/winapi_ctlframe.h"

#include <X11/Xlib.h>

#include "winsys/classes.h"
#include "winsys/colours.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

bool live_ctl(XfWindow* w) { return w && w != kDesktop && xf_is_live_window(w) && w->kind == XFTYPE_CTLFRAME; }

XfWindow* make_bar(XfWindow* frame, bool vertical, const WinRect& r) {
  XfWindow* bar = xfCreateWindow(frame, kScrollBarClass, "", vertical ? 0x800003 : 0x800005, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, frame, nullptr, vertical ? kPartVsb : kPartHsb);
  WinSubclassFramePart(frame, vertical ? kFrameVertScroll : kFrameHorzScroll);
  return bar;
}

// Moves and sizes a window to {left, top, right, bottom}; an empty
// rectangle keeps one pixel.
void put(XfWindow* w, const WinRect& r) {
  int32_t cx = r.right - r.left, cy = r.bottom - r.top;
  xfMoveSizeWindow(w, r.left, r.top, cx < 1 ? 1 : cx, cy < 1 ? 1 : cy, nullptr);
}

void outline(Display* d, Window x, GC gc, const WinRect& r, int32_t width, unsigned long pixel) {
  XSetForeground(d, gc, pixel);
  XSetLineAttributes(d, gc, static_cast<unsigned>(width), LineSolid, CapButt, JoinMiter);
  int32_t w = r.right - r.left - width, h = r.bottom - r.top - width;
  if (w < 0 || h < 0) return;
  XDrawRectangle(d, x, gc, r.left + width / 2, r.top + width / 2, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XSetLineAttributes(d, gc, 0, LineSolid, CapButt, JoinMiter);
}

unsigned long sys_pixel(int32_t index) {
  uint32_t pixel = 0;
  WinQuerySysColorPixel(index, &pixel);
  return pixel;
}

void paint(XfWindow* w) {
  Display* d = xf_display();
  const uint32_t style = w->style;
  const int32_t b = WinQuerySysValue(0x806), h = WinQuerySysValue(0x807);
  if (d) {
    GC gc = xf_scratch_gc();
    if (style & kCtlPlainBorder) {
      outline(d, w->xwin, gc, {0, 0, w->width, w->height}, b, sys_pixel(2));
    } else {
      XfWindow* hsb = w->k.ctl.hsb;
      XfWindow* vsb = w->k.ctl.vsb;
      if (!(hsb && vsb)) outline(d, w->xwin, gc, {0, 0, w->width, w->height}, b, WhitePixel(d, xf().conn.screen));
      if (XfWindow* c = w->k.ctl.client) {
        WinRect r{c->x, c->y, c->x + c->width, c->y + c->height};
        outline(d, w->xwin, gc, {r.left - b, r.top - h, r.right + 2 * b, r.bottom + 2 * h}, b, sys_pixel(3));
        outline(d, w->xwin, gc, {r.left - 2 * b, r.top - 2 * h, r.right + b, r.bottom + h}, b, sys_pixel(2));
      }
    }
  }
  xfValidateWindow(w);
}

}  // namespace

void WinCtlFrameRects(const WinRect* rect, uint32_t style, WinRect* client, WinRect* vertical, WinRect* horizontal) {
  WinRect c = *rect, v{0, 0, 0, 0}, hz{0, 0, 0, 0};
  if (style & kCtlPlainBorder) {
    c.left += WinQuerySysValue(0x806);
    c.right -= WinQuerySysValue(0x806);
    c.top += WinQuerySysValue(0x807);
    c.bottom -= WinQuerySysValue(0x807);
  } else {
    const bool sunken = style & kCtlSunkenBorder;
    const bool hs = style & kCtlHorzScroll, vs = style & kCtlVertScroll;
    if (sunken) {
      c.left += WinQuerySysValue(0x808);
      c.top += WinQuerySysValue(0x809);
    }
    if (hs) {
      c.bottom -= WinQuerySysValue(0x200);
      hz = {0, c.bottom, rect->right - (vs ? WinQuerySysValue(0x400) : 0), rect->bottom};
    } else if (sunken) {
      c.bottom -= WinQuerySysValue(0x809);
    }
    if (vs) {
      c.right -= WinQuerySysValue(0x400);
      v = {c.right, 0, rect->right, rect->bottom - (hs ? WinQuerySysValue(0x200) : 0)};
    } else if (sunken) {
      c.right -= WinQuerySysValue(0x808);
    }
  }
  if (client) *client = c;
  if (vertical) *vertical = v;
  if (horizontal) *horizontal = hz;
}

void WinCtlFrameLayout(XfWindow* window, uint32_t style, WinRect* client, WinRect* vertical, WinRect* horizontal) {
  WinRect r{0, 0, window ? window->width : 0, window ? window->height : 0};
  WinCtlFrameRects(&r, style, client, vertical, horizontal);
}

int WinSetFrameScrollBars(XfWindow* frame, uint32_t bits) {
  if (!live_ctl(frame)) return 0;
  frame->style = (frame->style & ~(kCtlHorzScroll | kCtlVertScroll)) | bits;
  WinRect c{}, v{}, h{};
  WinCtlFrameLayout(frame, frame->style, &c, &v, &h);
  struct Bar {
    uint32_t bit;
    bool vertical;
    const WinRect& rect;
  } bars[] = {{kCtlVertScroll, true, v}, {kCtlHorzScroll, false, h}};
  for (const Bar& b : bars) {
    XfWindow* bar = b.vertical ? frame->k.ctl.vsb : frame->k.ctl.hsb;
    bool want = frame->style & b.bit;
    if (!want) {
      if (bar) xfDestroyWindow(bar);
    } else if (!bar) {
      make_bar(frame, b.vertical, b.rect);
    } else {
      put(bar, b.rect);
    }
  }
  if (XfWindow* client = frame->k.ctl.client) put(client, c);
  return 1;
}

intptr_t WinCtlFrameProc(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  if (number >= kMouseFirst && number <= kMouseLast) {
    WinPartMouse(window, WinQueryFrameClient(window), number, mp1, mp2, 18, nullptr);
    return 0;
  }
  switch (number) {
    case 33:
      return 0;
    case ZWM_CREATE: {
      if (!live_ctl(window)) return 0;
      auto* data = static_cast<WinFrameCreateData*>(WinCreateParams());
      if (data && data->size == 16) window->style = data->style;
      WinRect c{}, v{}, h{};
      WinCtlFrameLayout(window, window->style, &c, &v, &h);
      if (window->style & kCtlVertScroll) make_bar(window, true, v);
      if (window->style & kCtlHorzScroll) make_bar(window, false, h);
      const char* cls = data && data->size == 16 ? data->class_name : nullptr;
      void* saved = WinCreateParams();
      WinSetCreateParams(data && data->size == 16 ? data->create_data : nullptr);
      xfCreateWindow(window, cls, "", 0x800005, c.left, c.top, c.right - c.left, c.bottom - c.top, window, nullptr,
                     kPartClient);
      WinSetCreateParams(saved);
      return 0;
    }
    case ZWM_SIZE:
      WinSetFrameScrollBars(window, window->style & (kCtlHorzScroll | kCtlVertScroll));
      return 0;
    case ZWM_VSCROLL:
    case ZWM_HSCROLL:
      if (live_ctl(window) && window->k.ctl.client) xfSendMsg(window->k.ctl.client, number, mp1, mp2);
      return 0;
    case ZWM_PAINT:
      if (window->style & (kCtlPlainBorder | kCtlSunkenBorder)) {
        paint(window);
        return 0;
      }
      return xfDefWindowProc(window, number, mp1, mp2);
    default:
      return xfDefWindowProc(window, number, mp1, mp2);
  }
}
