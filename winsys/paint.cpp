#include "winsys/paint.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <time.h>

#include <cstring>

#include "base/mem.h"
#include "winsys/app_port.h"
#include "winsys/caret.h"
#include "winsys/ctl_draw.h"
#include "winsys/focus.h"
#include "winsys/fonts.h"
#include "winsys/frame_sysmenu.h"
#include "winsys/menu.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/peer.h"
#include "winsys/selection.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

// ----- update regions -----

void xfAddUpdateRect(XfWindow* window, int32_t x, int32_t y, int32_t width, int32_t height, XfWindow* target) {
  XfWindow* w = target ? target : window;
  if (!w || w == kDesktop) return;
  XfUpdateRegion& u = w->update;
  int32_t right = x + width - 1, bottom = y + height - 1;
  if (!u.valid) {
    u = XfUpdateRegion{true, y, bottom, x, right};
    return;
  }
  if (x < u.left) u.left = x;
  if (y < u.top) u.top = y;
  if (right > u.right) u.right = right;
  if (bottom > u.bottom) u.bottom = bottom;
}

void xfAddUpdateRectPacked(XfWindow* window, intptr_t mp1, intptr_t mp2, XfWindow* target) {
  xfAddUpdateRect(window, xf_low(mp1), xf_high(mp1), xf_low(mp2), xf_high(mp2), target);
}

void xfInvalidateRect(XfWindow* window, const XfRectLTRB* rect) {
  if (!window || window == kDesktop) return;
  XfRectLTRB r = rect ? *rect : XfRectLTRB{0, 0, window->width, window->height};
  int32_t w = r.right - r.left, h = r.bottom - r.top;
  xfAddUpdateRect(window, r.left, r.top, w, h, nullptr);
  xfPostMsg(window, ZWM_PAINT, xf_pack(r.left, r.top), xf_pack(w, h));
}

void xfValidateWindow(XfWindow* window) {
  if (window && window != kDesktop) window->update.valid = false;
}

void xfQueryUpdateRect(XfWindow* window, XfRectLTRB* out) {
  *out = XfRectLTRB{0, 0, 0, 0};
  if (!window || window == kDesktop || !window->update.valid) return;
  const XfUpdateRegion& u = window->update;
  *out = XfRectLTRB{u.left, u.top, u.right + 1, u.bottom + 1};
}

void xfQueryUpdateBounds(XfWindow* window, int32_t out[4]) {
  XfRectLTRB r{};
  xfQueryUpdateRect(window, &r);
  out[0] = r.left;
  out[1] = r.bottom;
  out[2] = r.right;
  out[3] = r.top;
}

void xfQueryUpdateBox(XfWindow* window, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  const XfUpdateRegion& u = window->update;
  if (!u.valid) {
    *x = *y = 0;
    *width = window->width;
    *height = window->height;
    return;
  }
  *x = u.left;
  *y = u.top;
  *width = u.right - u.left + 1;
  *height = u.bottom - u.top + 1;
}

void xfMergeRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t* x2, int32_t* y2, int32_t* w2, int32_t* h2) {
  int32_t right = x + w > *x2 + *w2 ? x + w : *x2 + *w2;
  int32_t bottom = y + h > *y2 + *h2 ? y + h : *y2 + *h2;
  int32_t left = x < *x2 ? x : *x2;
  int32_t top = y < *y2 ? y : *y2;
  *x2 = left;
  *y2 = top;
  *w2 = right - left;
  *h2 = bottom - top;
}

// ----- painting now -----

void xfPumpXEvents() {
  while (xf_pump_one_event()) {
  }
}

intptr_t xf_send_paint(XfWindow* window, intptr_t mp1, intptr_t mp2) {
  bool caret_on = window->caret.hide == 0 && xfIsWindowEnabled(window);
  if (caret_on) xfHideCaret(window);
  intptr_t r = xfSendMsg(window, ZWM_PAINT, mp1, mp2);
  if (caret_on && xf_is_live_window(window)) xfShowCaret(window);
  return r;
}

namespace {

// Takes every paint of the window out of the paint queue into its update
// region; true with the first one's parameters when there was one.
bool take_paints(XfWindow* window, intptr_t* mp1, intptr_t* mp2) {
  bool found = false;
  XfMsgQueue* q = xf_paint_queue();
  for (XfQueueNode* n = q->head; n;) {
    XfQueueNode* next = n->next;
    auto* m = static_cast<XfMessage*>(n->value);
    if (m->number == ZWM_PAINT && m->window == window) {
      if (!found) {
        *mp1 = m->mp1;
        *mp2 = m->mp2;
        found = true;
      }
      xfAddUpdateRectPacked(window, m->mp1, m->mp2, nullptr);
      // The node goes; the record returns to the pool.
      if (n->prev)
        n->prev->next = n->next;
      else
        q->head = n->next;
      if (n->next)
        n->next->prev = n->prev;
      else
        q->tail = n->prev;
      --q->count;
      mem_free(n);
      xfFreeMsg(m);
    }
    n = next;
  }
  return found;
}

void paint_children(XfWindow* window) {
  for (XfWindow* c = window->first_child; c; c = c->next_sibling) xfUpdateWindow(c);
}

}  // namespace

int xfPaintNow(XfWindow* window) {
  xfPumpXEvents();
  intptr_t mp1 = 0, mp2 = 0;
  if (take_paints(window, &mp1, &mp2)) xf_send_paint(window, mp1, mp2);
  return 1;
}

int xfUpdateWindow(XfWindow* window) {
  if (!window || window == kDesktop) return 0;
  switch (window->kind) {
    case XFTYPE_GROUPBOX:
      xfPaintNow(window);
      paint_children(window);
      break;
    case XFTYPE_CTLFRAME:
      if (XfWindow* c = window->k.ctl.client) {
        xfPaintNow(c);
        paint_children(c);
      }
      if (window->k.ctl.hsb) xfPaintNow(window->k.ctl.hsb);
      if (window->k.ctl.vsb) xfPaintNow(window->k.ctl.vsb);
      break;
    case XFTYPE_STDFRAME: {
      const XfFrameWords& f = window->k.frame;
      if (f.client) {
        xfPaintNow(f.client);
        paint_children(f.client);
      }
      if (f.menubar) xfPaintNow(f.menubar);
      if (f.hsb) xfPaintNow(f.hsb);
      if (f.vsb) xfPaintNow(f.vsb);
      break;
    }
    default:
      xfPaintNow(window);
      break;
  }
  return 1;
}

int xfPaintAllNow() {
  xfPumpXEvents();
  for (;;) {
    XfWindow* window = nullptr;
    for (XfQueueNode* n = xf_paint_queue()->head; n && !window; n = n->next) {
      auto* m = static_cast<XfMessage*>(n->value);
      if (m->number == ZWM_PAINT) window = m->window;
    }
    if (!window) return 1;
    intptr_t mp1 = 0, mp2 = 0;
    take_paints(window, &mp1, &mp2);
    if (window) xf_send_paint(window, mp1, mp2);
  }
}

// ----- drawing helpers -----

GC xf_scratch_gc() {
  XfSystem& s = xf();
  if (!s.scratch_gc && s.conn.display) s.scratch_gc = XCreateGC(s.conn.display, s.conn.root, 0, nullptr);
  return s.scratch_gc;
}

namespace {

void fill_window(XfWindow* w, unsigned long pixel) {
  Display* d = xf_display();
  GC gc = xf_scratch_gc();
  if (!d || !gc) return;
  XSetForeground(d, gc, pixel);
  XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(w->width > 0 ? w->width : 1),
                 static_cast<unsigned>(w->height > 0 ? w->height : 1));
}

void set_text_split(XfWindow* w, const char* text) {
  mem_free(w->text);
  w->text = nullptr;
  w->text_capacity = 0;
  w->k.button.mnemonic = 0;
  if (!text) return;
  size_t n = std::strlen(text) + 1;
  w->text = static_cast<char*>(mem_alloc(n));
  if (!w->text) dynarray_out_of_memory();
  w->text_capacity = static_cast<int32_t>(n);
  char mnemonic = 0;
  xfSplitMnemonicText(text, w->text, &mnemonic, nullptr, nullptr, nullptr, static_cast<int32_t>(n), 0);
  w->k.button.mnemonic = mnemonic;
}

// mp1 is the FontAttrs of the font (the caller's record): the window keeps
// the X font record it names.
void set_font(XfWindow* w, intptr_t mp1, intptr_t mp2) {
  if (mp1) w->font = reinterpret_cast<const FontAttrs*>(mp1)->font;
  if (mp2) xfInvalidateRect(w, nullptr);
}

void post_command(XfWindow* button) {
  xfPostMsg(button->parent, ZWM_COMMAND, static_cast<intptr_t>(button->id), 0x10000);
}

void sleep_ms(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

// The press of a button with the mouse: a command only when the button is
// released with the pointer inside.
void button_mouse_loop(XfWindow* w) {
  xfSetFocus(w);
  xfSetCapture(w);
  w->k.button.pressed = true;
  xfInvalidateRect(w, nullptr);
  bool inside = true;
  XfMessage m;
  for (;;) {
    if (!xfGetMsg(&m, nullptr, 0, 0) || m.number == ZWM_CHAR) break;
    if (m.number == ZWM_POINTERENTER) {
      inside = true;
      xfPaintButtonFace(w, nullptr, 'p');
    } else if (m.number == ZWM_POINTERLEAVE) {
      inside = false;
      xfPaintButtonFace(w, nullptr, 'n');
    } else if (m.number == ZWM_LBUTTONUP) {
      if (inside) post_command(w);
      break;
    } else {
      xfDispatchMsg(&m);
    }
    if (!xf_is_live_window(w)) return;  // destroyed by what was dispatched
  }
  xfReleaseCapture(w);
  xfInvalidateRect(w, nullptr);
  w->k.button.pressed = false;
}

}  // namespace

// ----- procedures -----

intptr_t xfDefWindowProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t) {
  if (message == ZWM_SYSCOMMAND) return xfFrameSysCommand(window, static_cast<uint32_t>(mp1));
  if (message == ZWM_SETPOINTER) xfSetPointer(window, xfQuerySysPointer(window, 1));
  if (message == ZWM_PAINT) xfValidateWindow(window);
  return 0;
}

intptr_t xfClientAreaProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  return xfDefWindowProc(window, message, mp1, mp2);
}

intptr_t xfNullProc(XfWindow*, uint32_t, intptr_t, intptr_t) { return 0; }

intptr_t xfButtonProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfButtonWords& b = window->k.button;
  switch (message) {
    case ZWM_KILLFOCUS:
      xfInvalidateRect(window, nullptr);
      b.has_focus = false;
      break;
    case ZWM_SETFOCUS:
      if (!window->enabled) break;
      if (window->kind == XFTYPE_RADIOBUTTON && b.check == 0) post_command(window);
      xfInvalidateRect(window, nullptr);
      b.has_focus = true;
      break;
    case ZWM_BTNSETCHECK:
      b.check = mp1 == 1 ? 2 : (mp1 == 2 ? 1 : 0);
      xfInvalidateRect(window, nullptr);
      break;
    case ZWM_BTNQUERYCHECK:
      return b.check == 2 ? 1 : (b.check == 1 ? 2 : 0);
    case ZWM_BTNSETDEFAULT:
      window->style = (mp1 & 0xFFFF) ? 8 : 0;
      xfInvalidateRect(window, nullptr);
      break;
    case ZWM_SETTEXT:
      set_text_split(window, reinterpret_cast<const char*>(mp2));
      xfInvalidateRect(window, nullptr);
      break;
    case ZWM_SETFONT:
      set_font(window, mp1, mp2);
      break;
    case ZWM_SETPOINTER:
      xfSetPointer(window, xfQuerySysPointer(window, 1));
      break;
    case ZWM_PAINT:
      xfPaintButtonFace(window, nullptr, b.pressed ? 'p' : 'n');
      xfValidateWindow(window);
      break;
    case ZWM_CHAR: {
      unsigned long keysym = xf_key_keysym(mp1);
      if (!window->enabled || (keysym != XK_space && keysym != XK_Return)) break;
      b.pressed = true;
      xfPaintButtonFace(window, nullptr, 'p');
      if (Display* d = xf_display()) XFlush(d);
      sleep_ms(200);
      xfPaintButtonFace(window, nullptr, 'n');
      post_command(window);
      b.pressed = false;
      break;
    }
    case ZWM_LBUTTONDOWN:
      if (window->enabled) button_mouse_loop(window);
      break;
    default:
      break;
  }
  return 0;
}

intptr_t xfStaticProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_SETFONT:
      set_font(window, mp1, mp2);
      break;
    case ZWM_SETTEXT:
      set_text_split(window, reinterpret_cast<const char*>(mp2));
      xfInvalidateRect(window, nullptr);
      break;
    case ZWM_SETPOINTER:
      xfSetPointer(window, xfQuerySysPointer(window, 1));
      break;
    case ZWM_PAINT:
      xfPaintGroupBox(window, nullptr);
      break;
    default:
      break;
  }
  return 0;
}

namespace {

void relayout_menu(XfWindow* frame) {
  XfWindow* bar = frame->k.frame.menubar;
  if (bar) xfLayoutFrameMenuBar(bar, frame->width);
}

}  // namespace

intptr_t xfFrameProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_WMDELETE:
      xfSendMsg(window->k.frame.client, ZWM_CLOSE, 0, 0);
      app_set_other_key_flag(true);
      break;
    case ZWM_SETPOINTER:
      xfSetPointer(window, xfQuerySysPointer(window, 1));
      break;
    case ZWM_SIZE:
      xfMeasureFrame(window, true);
      xfLayoutFrame(window);
      break;
    case ZWM_MOVE:
      xfMeasureFrame(window, true);
      xfSendMsg(window->k.frame.client, ZWM_MOVE, 0, 0);
      relayout_menu(window);
      break;
    case ZWM_PAINT:
      xfValidateWindow(window);
      break;
    case ZWM_MAPPED:
      if (window->shown == 2) {
        xfUnmapWindow(window);
      } else {
        xfMeasureFrame(window, true);
        relayout_menu(window);
      }
      break;
    case ZWM_SELECTIONREQUEST:
      xfServeSelection(window, xf_pending_selection(), static_cast<Window>(mp1), xf_pending_selection_target(),
                       static_cast<Atom>(mp2));
      break;
    case ZWM_TAKEFOCUS:
      if (window->shown != 2) xfTakeInputFocus(window);
      break;
    case ZWM_SELECTIONLOST:
      xf_sel_lost(mp1 ? static_cast<Atom>(mp1) : XA_PRIMARY);
      break;
    case ZWM_TCSELECTIONLOST:
      peer_selection_lost();
      break;
    case ZWM_PEERLISTREQUEST:
      peer_send_list(window, static_cast<Window>(mp1), static_cast<Atom>(mp2));
      break;
    case ZWM_TCDATABUFFERCHANGED:
      peer_read_list(window);
      break;
    default:
      break;
  }
  return 0;
}

intptr_t xfCtlFrameHook(XfWindow* window, uint32_t message, intptr_t, intptr_t) {
  if (message == ZWM_SETPOINTER) xfSetPointer(window, xfQuerySysPointer(window, 1));
  if (message == ZWM_PAINT) fill_window(window, xf().values.dialog);
  return 0;
}

void xfPaintGroupBox(XfWindow* window, XfWindow* source) {
  XfWindow* src = source ? source : window;
  Display* d = xf_display();
  GC gc = xf_scratch_gc();
  if (d && gc) {
    const XfUpdateRegion& u = window->update;
    if (u.valid) {
      XRectangle clip{static_cast<short>(u.left), static_cast<short>(u.top),
                      static_cast<unsigned short>(u.right - u.left + 1),
                      static_cast<unsigned short>(u.bottom - u.top + 1)};
      XSetClipRectangles(d, gc, 0, 0, &clip, 1, Unsorted);
    }
    fill_window(window, window->bg);
    // The groove runs through the middle of the caption's line.
    const auto* font = static_cast<const XfFont*>(src->font);
    const char* caption = src->text && *src->text ? src->text : nullptr;
    const int a = font && font->fs ? font->fs->ascent : 0, de = font && font->fs ? font->fs->descent : 0;
    const int right = window->width - 1, bottom = window->height - 1, mid = (a + de) / 2;
    if (!src->enabled) xfSetGreyStipple(gc, 50);
    XSetForeground(d, gc, window->light);
    xfDrawLine(d, window->xwin, gc, 0, mid, right, mid);
    xfDrawLine(d, window->xwin, gc, 0, mid, 0, bottom);
    xfDrawLine(d, window->xwin, gc, 1, bottom - 1, right - 1, bottom - 1);
    xfDrawLine(d, window->xwin, gc, right - 1, bottom - 1, right - 1, mid + 1);
    XSetForeground(d, gc, window->dark);
    xfDrawLine(d, window->xwin, gc, 1, mid + 1, right - 1, mid + 1);
    xfDrawLine(d, window->xwin, gc, 1, mid + 1, 1, bottom - 1);
    xfDrawLine(d, window->xwin, gc, 0, bottom, right, bottom);
    xfDrawLine(d, window->xwin, gc, right, bottom, right, mid);
    if (caption && font && font->fs) {
      const int width = XTextWidth(font->fs, caption, static_cast<int>(std::strlen(caption)));
      XSetForeground(d, gc, window->bg);
      XFillRectangle(d, window->xwin, gc, 8, 0, static_cast<unsigned>(width + 4), static_cast<unsigned>(a + de));
      XSetForeground(d, gc, window->fg);
      xfDrawLabel(window->xwin, gc, font, caption, src->k.button.mnemonic, 10, a, width + 4, a + de, false, 0, 0);
    }
    XSetFillStyle(d, gc, FillSolid);
    XSetClipMask(d, gc, None);
  }
  xfValidateWindow(window);
}

void xfRepaintCtlFrame(XfWindow* window) {
  if (!window || window->kind != XFTYPE_CTLFRAME) return;
  xfInvalidateRect(window, nullptr);
  if (Display* d = xf_display()) XClearWindow(d, window->xwin);
  xfUpdateWindow(window);
  XfCtlFrameWords& c = window->k.ctl;
  if (c.client) xfInvalidateRect(c.client, nullptr);
  for (XfWindow* bar : {c.hsb, c.vsb}) {
    if (!bar) continue;
    xfInvalidateRect(bar, nullptr);
    xfUpdateWindow(bar);
  }
}
