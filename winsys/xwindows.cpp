#include "winsys/xwindows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstring>

#include "base/mem.h"
#include "winsys/msgqueue.h"
#include "winsys/peer.h"
#include "winsys/xfsys.h"

namespace {

char* heap_copy(const char* s) {
  size_t n = std::strlen(s) + 1;
  auto* p = static_cast<char*>(mem_alloc(n));
  if (!p) dynarray_out_of_memory();
  std::memcpy(p, s, n);
  return p;
}

Window g_next_fake_xid = kFirstFakeXid;

// X refuses windows of size 0; a window is never smaller than one pixel.
unsigned dim(int32_t v) { return v < 1 ? 1u : static_cast<unsigned>(v); }

Window create_x_window(Window parent, int32_t x, int32_t y, int32_t width, int32_t height, bool override_redirect,
                       long event_mask) {
  Display* d = xf_display();
  if (!d) return g_next_fake_xid++;
  XSetWindowAttributes attrs{};
  attrs.background_pixmap = None;
  attrs.override_redirect = override_redirect;
  attrs.event_mask = event_mask;
  unsigned long mask = CWBackPixmap | CWEventMask | (override_redirect ? CWOverrideRedirect : 0);
  return XCreateWindow(d, parent, x, y, dim(width), dim(height), 0, CopyFromParent, InputOutput, CopyFromParent, mask,
                       &attrs);
}

XfWindow* new_toplevel(XfWindow* parent, XfWindow* owner, int32_t x, int32_t y, int32_t width, int32_t height,
                       bool override_redirect, long mask) {
  Window xid = create_x_window(xf().conn.root, x, y, width, height, override_redirect, mask);
  XfWindow* w = xfNewWindowRecord();
  xfInitWindowRecord(w, XFTYPE_STDFRAME, xid, parent, owner, x, y, width, height);
  w->toplevel = true;
  return w;
}

XfWindow* top_level_ancestor(XfWindow* w) {
  for (; w; w = w->tree_parent) {
    if (w->kind == XFTYPE_STDFRAME) return w;
  }
  return nullptr;
}

XfWindow* make_frame_window(XfWindow* parent, XfWindow* owner, const char* name, const char* icon_name,
                            const char* res_class, int32_t x, int32_t y, int32_t width, int32_t height, int32_t min_w,
                            int32_t min_h, int32_t max_w, int32_t max_h, uint32_t decorations, uint32_t functions) {
  XfWindow* w = new_toplevel(parent, owner, x, y, width, height, false, kTopLevelMask);
  xfSetWMProperties(w, name, icon_name, res_class, min_w, min_h, max_w, max_h);
  xfSetMotifHints(w->xwin, decorations, functions);
  return w;
}

}  // namespace

Display* xfOpenDisplay(const char* name, const char* res_class) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  XfSystem& s = xf();
  mem_free(s.app_name);
  mem_free(s.app_class);
  s.app_name = heap_copy(name);
  s.app_class = heap_copy(res_class);
  return d;
}

void xfInternAtoms() {
  Display* d = xf_display();
  if (!d) return;
  XfAtoms& a = xf().atoms;
  struct Name {
    const char* text;
    Atom* atom;
  };
  const Name names[] = {
      {"WM_PROTOCOLS", &a.wm_protocols},
      {"WM_TAKE_FOCUS", &a.wm_take_focus},
      {"WM_DELETE_WINDOW", &a.wm_delete_window},
      {"_MOTIF_WM_HINTS", &a.motif_wm_hints},
      {"TEXT", &a.text},
      {"INCR", &a.incr},
      {"PS_DATABUFFER", &a.ps_databuffer},
      {"TC_SELECTION", &a.tc_selection},
      {"TC_COMMAND", &a.tc_command},
      {"TC_DATABUFFER", &a.tc_databuffer},
      {"CLIPBOARD", &a.clipboard},
      {"TARGETS", &a.targets},
      {"UTF8_STRING", &a.utf8_string},
      {kIdleProperty, &a.zorvex_idle},
      {kSyncMessage, &a.zorvex_sync},
  };
  for (const auto& n : names) *n.atom = XInternAtom(d, n.text, False);
  a.string = XA_STRING;
}

XfWindow* xfCreateFrameWindow(XfWindow* parent, XfWindow* owner, const char* name, const char* icon_name,
                              const char* res_class, int32_t x, int32_t y, int32_t width, int32_t height,
                              int32_t min_width, int32_t min_height, int32_t max_width, int32_t max_height,
                              uint32_t decorations, uint32_t functions, bool map) {
  XfWindow* w = make_frame_window(parent, owner, name, icon_name, res_class, x, y, width, height, min_width, min_height,
                                  max_width, max_height, decorations, functions);
  peer_register_frame(w);
  if (map) xfMapWindow(w);
  return w;
}

XfWindow* xfCreateOwnedFrameWindow(XfWindow* parent, XfWindow* owner, const char* name, const char* icon_name,
                                   const char* res_class, int32_t x, int32_t y, int32_t width, int32_t height,
                                   int32_t min_width, int32_t min_height, int32_t max_width, int32_t max_height,
                                   uint32_t decorations, uint32_t functions, bool map) {
  XfWindow* w = make_frame_window(parent, owner, name, icon_name, res_class, x, y, width, height, min_width, min_height,
                                  max_width, max_height, decorations, functions);
  XfWindow* top = top_level_ancestor(parent);
  Display* d = xf_display();
  if (top && top->shown == 1 && d) XSetTransientForHint(d, w->xwin, top->xwin);
  if (map) xfMapWindow(w);
  return w;
}

XfWindow* xfCreatePopupWindow(int32_t x, int32_t y, int32_t width, int32_t height, bool map) {
  XfWindow* w = new_toplevel(nullptr, nullptr, x, y, width, height, true, 0x804D);
  if (map) xfMapWindow(w);
  return w;
}

XfWindow* xfCreateChildWindow(XfWindow* parent, int32_t x, int32_t y, int32_t width, int32_t height, long event_mask,
                              char map_code) {
  Window xparent = parent ? parent->xwin : xf().conn.root;
  Window xid = create_x_window(xparent, x, y, width, height, true, event_mask);
  XfWindow* w = xfNewWindowRecord();
  xfInitWindowRecord(w, XFTYPE_ANY, xid, parent, parent, x, y, width, height);
  if (map_code == 'm') xfMapWindow(w);
  return w;
}

void xfMapWindow(XfWindow* w) {
  if (Display* d = xf_display()) XMapWindow(d, w->xwin);
  w->shown = 1;
}

void xfUnmapWindow(XfWindow* w) {
  if (Display* d = xf_display()) XUnmapWindow(d, w->xwin);
  w->shown = 2;
}

// ----- window-manager properties -----

namespace {

void fill_size_hints(XSizeHints* h, int32_t min_w, int32_t min_h, int32_t max_w, int32_t max_h) {
  h->flags = PPosition | PSize;
  if (min_w || min_h) {
    h->flags |= PMinSize;
    h->min_width = min_w;
    h->min_height = min_h;
  }
  if (max_w || max_h) {
    h->flags |= PMaxSize;
    h->max_width = max_w;
    h->max_height = max_h;
  }
}

}  // namespace

void xfSetWMProperties(XfWindow* w, const char* name, const char* icon_name, const char* res_class, int32_t min_width,
                       int32_t min_height, int32_t max_width, int32_t max_height) {
  Display* d = xf_display();
  if (!d) return;
  XTextProperty wm_name{}, wm_icon{};
  char* name_list[1] = {const_cast<char*>(name)};
  char* icon_list[1] = {const_cast<char*>(icon_name)};
  XStringListToTextProperty(name_list, 1, &wm_name);
  XStringListToTextProperty(icon_list, 1, &wm_icon);
  XSizeHints* size = XAllocSizeHints();
  XWMHints* hints = XAllocWMHints();
  XClassHint* cls = XAllocClassHint();
  fill_size_hints(size, min_width, min_height, max_width, max_height);
  size->x = w->x;
  size->y = w->y;
  size->width = w->width;
  size->height = w->height;
  hints->flags = InputHint | StateHint;
  hints->input = True;
  hints->initial_state = NormalState;
  cls->res_name = const_cast<char*>(name);
  cls->res_class = const_cast<char*>(res_class);
  XSetWMProperties(d, w->xwin, &wm_name, &wm_icon, name_list, 1, size, hints, cls);
  XFree(wm_name.value);
  XFree(wm_icon.value);
  XFree(size);
  XFree(hints);
  XFree(cls);
}

void xfSetSizeHints(XfWindow* w, int32_t min_width, int32_t min_height, int32_t max_width, int32_t max_height) {
  Display* d = xf_display();
  if (!d) return;
  XSizeHints* size = XAllocSizeHints();
  fill_size_hints(size, min_width, min_height, max_width, max_height);
  size->x = w->x;
  size->y = w->y;
  size->width = w->width;
  size->height = w->height;
  XSetWMSizeHints(d, w->xwin, size, XA_WM_NORMAL_HINTS);
  XFree(size);
}

void xfSetMotifHints(Window xid, uint32_t decorations, uint32_t functions) {
  Display* d = xf_display();
  if (!d) return;
  // Format-32 property data is an array of longs in Xlib.
  long items[5] = {3, static_cast<long>(functions), static_cast<long>(decorations), 0, 0};
  Atom a = xf().atoms.motif_wm_hints;
  XChangeProperty(d, xid, a, a, 32, PropModeReplace, reinterpret_cast<unsigned char*>(items), 5);
}

void xfSetWMProtocols(XfWindow* w) {
  Display* d = xf_display();
  if (!d) return;
  const XfAtoms& a = xf().atoms;
  Atom protocols[2] = {a.wm_take_focus, a.wm_delete_window};
  if (xf().server.use_take_focus) {
    XSetWMProtocols(d, w->xwin, protocols, 2);
  } else {
    XSetWMProtocols(d, w->xwin, protocols + 1, 1);
  }
}

void xfSetWMName(XfWindow* w, const char* text) {
  auto length = static_cast<int32_t>(std::strlen(text));
  if (length > w->text_capacity - 1) {
    mem_free(w->text);
    w->text_capacity = 2 * length + 1;
    w->text = static_cast<char*>(mem_alloc(static_cast<size_t>(w->text_capacity)));
    if (!w->text) dynarray_out_of_memory();
  }
  std::memcpy(w->text, text, static_cast<size_t>(length) + 1);
  if (Display* d = xf_display())
    XChangeProperty(d, w->xwin, XA_WM_NAME, XA_STRING, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(text),
                    length);
}

void xfSetWMIcon(XfWindow* w, Pixmap pixmap, Pixmap mask) {
  Display* d = xf_display();
  if (!d) return;
  // Read, change, write: the input hint must survive, or a window manager
  // that reads a missing hint as False never focuses the frame.
  XWMHints* hints = XGetWMHints(d, w->xwin);
  if (!hints) hints = XAllocWMHints();
  hints->flags |= IconPixmapHint | IconMaskHint;
  hints->icon_pixmap = pixmap;
  hints->icon_mask = mask;
  XSetWMHints(d, w->xwin, hints);
  XFree(hints);
}

// ----- geometry -----

void xfMoveWindowTo(XfWindow* w, int32_t x, int32_t y) {
  if (x == w->x && y == w->y) return;
  w->x = x;
  w->y = y;
  if (Display* d = xf_display()) XMoveWindow(d, w->xwin, x, y);
}

void xfResizeWindowTo(XfWindow* w, int32_t width, int32_t height) {
  if (width == w->width && height == w->height) return;
  w->width = width;
  w->height = height;
  if (Display* d = xf_display()) XResizeWindow(d, w->xwin, dim(width), dim(height));
}

void xfSetWindowGeometry(XfWindow* w, int32_t x, int32_t y, int32_t width, int32_t height) {
  xfResizeWindowTo(w, width, height);
  xfMoveWindowTo(w, x, y);
}

void xfQueryWindowSize(XfWindow* w, int32_t* width, int32_t* height) {
  *width = w->width;
  *height = w->height;
}

void xfQueryAbsolutePos(XfWindow* w, int32_t* x, int32_t* y) {
  int32_t ax = 0, ay = 0;
  for (; w; w = w->tree_parent) {
    ax += w->x;
    ay += w->y;
    if (w->kind == XFTYPE_STDFRAME) break;
  }
  *x = ax;
  *y = ay;
}

void xfQueryAbsoluteGeometry(XfWindow* w, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  xfQueryAbsolutePos(w, x, y);
  *width = w->width;
  *height = w->height;
}

void xfOffsetByAbsolutePos(XfWindow* w, int32_t* x, int32_t* y) {
  int32_t ax = 0, ay = 0;
  xfQueryAbsolutePos(w, &ax, &ay);
  *x += ax;
  *y += ay;
}
