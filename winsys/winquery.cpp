#include "winsys/winquery.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <time.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "winsys/focus.h"
#include "winsys/mdi.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

bool bad(XfWindow* w) { return !w || w == kDesktop; }

bool is_frame_kind(uint32_t kind) {
  return kind == XFTYPE_STDFRAME || kind == XFTYPE_CTLFRAME || kind == XFTYPE_MDITOPFRAME;
}

}  // namespace

// ----- relations and parts -----

XfWindow* xfQueryWindow(XfWindow* window, int code) {
  if (bad(window)) {
    std::printf("xfQueryWindow: Bad hwnd ==0 OR ==ZHWND_DESKTOP\n");
    return nullptr;
  }
  auto or_main = [](XfWindow* w) { return (!w || w == kDesktop) ? xf().main_window : w; };
  switch (code) {
    case 1:
      return or_main(window->parent);
    case 2:
      return or_main(window->owner);
    case 3:
      return window->first_child;
    case 4:
      return xfLastChild(window);
    case 5:
      return window->prev_sibling;
    case 6:
      return window->next_sibling;
    default:
      return nullptr;
  }
}

XfWindow* xfQueryChildById(XfWindow* window, uint32_t id) {
  if (bad(window)) return nullptr;
  for (XfWindow* c = window->first_child; c; c = c->next_sibling) {
    if (c->id == id) return c;
  }
  return nullptr;
}

XfWindow* xfWindowFromId(XfWindow* window, uint32_t id) {
  if (bad(window)) return nullptr;
  if (id >= 0xFF00 && id <= kPartClient) {
    switch (window->kind) {
      case XFTYPE_STDFRAME: {
        const XfFrameWords& f = window->k.frame;
        if (id == kPartHsb) return f.hsb;
        if (id == kPartVsb) return f.vsb;
        if (id == kPartClient) return f.client;
        if (id == kPartMenu) return static_cast<XfWindow*>(xfQueryFrameMenu(window));  // the menu itself
        return nullptr;
      }
      case XFTYPE_CTLFRAME: {
        const XfCtlFrameWords& c = window->k.ctl;
        if (id == kPartHsb) return c.hsb;
        if (id == kPartVsb) return c.vsb;
        if (id == kPartClient) return c.client;
        return nullptr;
      }
      case XFTYPE_MDITOPFRAME: {
        const XfMdiChildWords& m = window->k.mdi;
        if (id == kPartHsb) return m.hsb;
        if (id == kPartVsb) return m.vsb;
        if (id == kPartClient) return m.client;
        if (id == kPartMenu) return nullptr;
        break;  // the decoration parts: by id below
      }
      default:
        break;
    }
  }
  return xfQueryChildById(window, id);
}

int xfFindChildById(XfWindow* window, uint32_t id, XfWindow** out, XfWindow** out2) {
  XfWindow* c = xfQueryChildById(window, id);
  if (!c) return -1;
  if (out) *out = c;
  if (out2) *out2 = c;
  return 0;
}

XfWindow* xfFirstChild(XfWindow* window) { return bad(window) ? nullptr : window->first_child; }

XfWindow* xfLastChild(XfWindow* window) {
  XfWindow* c = xfFirstChild(window);
  while (c && c->next_sibling) c = c->next_sibling;
  return c;
}

XfWindow* xfPrevSibling(XfWindow* window) { return bad(window) ? nullptr : window->prev_sibling; }
XfWindow* xfNextSibling(XfWindow* window) { return bad(window) ? nullptr : window->next_sibling; }

void xfSetParentLink(XfWindow* window, XfWindow* parent) {
  if (!bad(window)) window->parent = parent;
}

XfWindow* xfFrameOfWindow(XfWindow* window) {
  for (XfWindow* w = window; w && w != kDesktop; w = w->tree_parent) {
    if (w->kind == XFTYPE_STDFRAME) return w;
  }
  return nullptr;
}

bool xfIsInside(XfWindow* outer, XfWindow* window) {
  for (XfWindow* w = window; w && w != kDesktop; w = w->tree_parent) {
    if (w == outer) return true;
  }
  return false;
}

// ----- rectangles and positions -----

void xfWindowRootOrigin(XfWindow* window, int32_t* x, int32_t* y) {
  *x = *y = 0;
  if (!bad(window)) xfQueryAbsolutePos(window, x, y);
}

void xfAddRootOrigin(XfWindow* window, int32_t* x, int32_t* y) {
  int32_t ox = 0, oy = 0;
  xfWindowRootOrigin(window, &ox, &oy);
  *x += ox;
  *y += oy;
}

void xfMapPoint(XfWindow* from, XfWindow* to, int32_t point[2]) {
  int32_t fx = 0, fy = 0, tx = 0, ty = 0;
  if (from != kDesktop) xfWindowRootOrigin(from, &fx, &fy);
  if (to != kDesktop) xfWindowRootOrigin(to, &tx, &ty);
  point[0] += fx - tx;
  point[1] += fy - ty;
}

namespace {

void frame_outer(XfWindow* frame, int32_t* x, int32_t* y) {
  const XfFrameWords& f = frame->k.frame;
  if (f.wm_frame) {
    *x = f.wm_x;
    *y = f.wm_y;
  } else {
    *x = frame->x;
    *y = frame->y;
  }
}

}  // namespace

int xfQueryWindowBounds(XfWindow* window, XfRectLBRT* rect) {
  if (window == kDesktop) {
    *rect = {0, xf().conn.height, xf().conn.width, 0};
    return 0;
  }
  if (!window) return 0;
  int32_t x = 0, y = 0;
  if (window->kind == XFTYPE_STDFRAME) {
    frame_outer(window, &x, &y);
  } else {
    xfWindowRootOrigin(window, &x, &y);
  }
  *rect = {x, y + window->height, x + window->width, y};
  return 0;
}

int xfQueryWindowRect(XfWindow* window, XfRectLBRT* rect) {
  if (bad(window)) return 0;
  int32_t x = window->x, y = window->y;
  if (window->kind == XFTYPE_STDFRAME) frame_outer(window, &x, &y);
  *rect = {x, y + window->height, x + window->width, y};
  return 0;
}

void xfSetFrameOrigin(XfWindow* window, int32_t x, int32_t y) {
  if (bad(window) || window->kind != XFTYPE_STDFRAME) return;
  window->k.frame.origin_x = x;
  window->k.frame.origin_y = y;
  xfMoveWindowTo(window, x, y);
}

void xfQueryScreenSize(int32_t* width, int32_t* height) {
  *width = xf().conn.width;
  *height = xf().conn.height;
}

void xfQueryRootPointer(XfWindow*, int32_t* x, int32_t* y) {
  *x = *y = 0;
  Display* d = xf_display();
  if (!d) return;
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (XQueryPointer(d, xf().conn.root, &root, &child, &rx, &ry, &wx, &wy, &mask)) {
    *x = rx;
    *y = ry;
  }
}

void xfQueryPointerPos(XfWindow* window, int32_t point[2]) { xfQueryRootPointer(window, &point[0], &point[1]); }

void xfQueryFrameOuter(XfWindow* frame, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  *x = *y = *width = *height = 0;
  if (bad(frame)) return;
  *x = frame->k.frame.wm_x;
  *y = frame->k.frame.wm_y;
  *width = frame->width;
  *height = frame->height;
}

// ----- the window manager's frame -----

Window xfFindWmFrame(Window xwindow, Window stop, Window* parent_out, int depth) {
  Display* d = xf_display();
  if (parent_out) *parent_out = 0;
  if (!d) return xwindow;
  Window root = 0, parent = 0;
  Window* kids = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, xwindow, &root, &parent, &kids, &n)) return xwindow;
  if (kids) XFree(kids);
  if (parent_out) *parent_out = parent;
  if (parent == root || parent == 0) return xwindow;
  // The manager's own frame would otherwise flash its background over ours.
  if (depth == 0) XSetWindowBackgroundPixmap(d, parent, None);
  if (parent == stop) return stop;
  return xfFindWmFrame(parent, stop, nullptr, depth + 1);
}

void xfMeasureFrame(XfWindow* frame, bool force) {
  Display* d = xf_display();
  if (!d || bad(frame) || frame->kind != XFTYPE_STDFRAME || frame->shown != 1) return;
  XfFrameWords& f = frame->k.frame;
  if (!force && f.wm_frame && f.wm_frame != frame->xwin) return;
  Window parent = 0;
  Window wm = xfFindWmFrame(frame->xwin, f.wm_stop, &parent, 0);
  Window root = 0, child = 0;
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  int rx = 0, ry = 0;
  if (XGetGeometry(d, wm, &root, &x, &y, &w, &h, &border, &depth)) {
    if (wm == frame->xwin) XTranslateCoordinates(d, frame->xwin, xf().conn.root, 0, 0, &x, &y, &child);
    f.wm_frame = wm;
    f.wm_x = x;
    f.wm_y = y;
    f.wm_width = static_cast<int32_t>(w);
    f.wm_height = static_cast<int32_t>(h);
    f.wm_border = static_cast<int32_t>(border);
    f.wm_stop = wm;
  }
  if (XTranslateCoordinates(d, frame->xwin, xf().conn.root, 0, 0, &rx, &ry, &child)) {
    frame->x = rx;
    frame->y = ry;
  }
  if (XGetGeometry(d, frame->xwin, &root, &x, &y, &w, &h, &border, &depth)) {
    frame->width = static_cast<int32_t>(w);
    frame->height = static_cast<int32_t>(h);
  }
  f.deco_left = frame->x - f.wm_x;
  f.deco_top = frame->y - f.wm_y;
}

// ----- states and attributes -----

bool xfIsWindowEnabled(XfWindow* window) {
  for (XfWindow* w = window; w && w != kDesktop; w = w->tree_parent) {
    if (!w->enabled) return false;
    if (w->kind == XFTYPE_STDFRAME) break;
  }
  return true;
}

int xfEnableWindow(XfWindow* window, bool enable) {
  if (bad(window)) return 1;
  window->enabled = enable;
  if (window->kind == XFTYPE_STDFRAME) {
    xf_mdi_title_look(window, enable ? 'a' : 'i');
    if (!enable && window == xfQueryActiveFrame()) {
      xfDeactivateFrames();
      xfActivateTopFrame();
    }
  } else {
    xfInvalidateRect(window, nullptr);
  }
  return 1;
}

bool xfIsWindowShown(XfWindow* window) { return !bad(window) && window->shown == 1; }

int xfSetWindowText(XfWindow* window, const char* text) {
  if (bad(window)) return 0;
  switch (window->kind) {
    case XFTYPE_STDFRAME:
      xfSetWMName(window, text);
      break;
    case XFTYPE_MDITOPFRAME:
      xfMdiSetTitle(window, text);
      break;
    case XFTYPE_GROUPBOX:
    case XFTYPE_3STATEBUTTON:
    case XFTYPE_PUSHBUTTON:
    case XFTYPE_RADIOBUTTON:
      xfSendMsg(window, ZWM_SETTEXT, 0, reinterpret_cast<intptr_t>(text));
      break;
    default:
      break;
  }
  return 0;
}

namespace {

bool is_short_id(uint32_t id) { return id >= kWordId && id <= kWordRestoreY && id != 0x7FFFFF80; }

// Whether `size` bytes at `offset` lie inside the word block.
bool word_fits(const XfWindow* w, uint32_t offset, uint32_t size) {
  return w->words && size <= w->words_size && offset <= w->words_size - size;
}

int32_t* short_field(XfWindow* w, uint32_t id) {
  switch (id) {
    case kWordRestoreX:
      return &w->restore_x;
    case kWordRestoreY:
      return &w->restore_y;
    case kWordRestoreWidth:
      return &w->restore_width;
    case kWordRestoreHeight:
      return &w->restore_height;
    case kWordIconX:
    case kWordIconY:
      if (w->kind == XFTYPE_MDITOPFRAME && w->k.mdi.icon_holder) {
        XfWindow* holder = w->k.mdi.icon_holder;
        return id == kWordIconX ? &holder->x : &holder->y;
      }
      if (w->kind == XFTYPE_STDFRAME) return id == kWordIconX ? &w->k.frame.origin_x : &w->k.frame.origin_y;
      return nullptr;
    default:
      return nullptr;
  }
}

}  // namespace

intptr_t xfQueryWindowULong(XfWindow* window, uint32_t id) {
  if (bad(window)) return 0;
  switch (id) {
    case kWordProc: {
      XfProc p = window->proc ? window->proc : (window->cls ? window->cls->proc : nullptr);
      return reinterpret_cast<intptr_t>(p);
    }
    case kWordStyle:
      return static_cast<intptr_t>(window->style);
    case kWordUser:
      return window->user;
    default:
      break;
  }
  if (is_short_id(id)) return xfQueryWindowUShort(window, id);  // the field whole
  if (!word_fits(window, id, sizeof(intptr_t))) return 0;
  intptr_t v = 0;
  std::memcpy(&v, window->words + id, sizeof v);
  return v;
}

void xfSetWindowULong(XfWindow* window, uint32_t id, intptr_t value) {
  if (bad(window)) return;
  switch (id) {
    case kWordProc:
      window->proc = reinterpret_cast<XfProc>(value);
      return;
    case kWordStyle:
      window->style = static_cast<uint32_t>(value);
      return;
    case kWordUser:
      window->user = value;
      return;
    default:
      break;
  }
  if (is_short_id(id)) {
    xfSetWindowUShort(window, id, static_cast<uint32_t>(value));
    return;
  }
  if (word_fits(window, id, sizeof(intptr_t))) std::memcpy(window->words + id, &value, sizeof value);
}

uint32_t xfQueryWindowUShort(XfWindow* window, uint32_t id) {
  if (bad(window)) return 0;
  if (id == kWordId) return window->id & 0xFFFF;
  if (is_short_id(id)) {
    int32_t* f = short_field(window, id);
    return f ? static_cast<uint32_t>(*f) & 0xFFFF : 0;
  }
  if (!word_fits(window, id, 2)) return 0;
  uint16_t v = 0;
  std::memcpy(&v, window->words + id, 2);
  return v;
}

void xfSetWindowUShort(XfWindow* window, uint32_t id, uint32_t value) {
  if (bad(window)) return;
  if (id == kWordId) {
    window->id = value & 0xFFFF;
    return;
  }
  if (is_short_id(id)) {
    if (int32_t* f = short_field(window, id)) *f = static_cast<int32_t>(value & 0xFFFF);
    return;
  }
  if (!word_fits(window, id, 2)) return;
  auto v = static_cast<uint16_t>(value);
  std::memcpy(window->words + id, &v, 2);
}

void xfSetWindowColors(XfWindow* window, unsigned long background, long foreground) {
  if (bad(window)) return;
  XfShades s = xfQueryShades(background);
  window->bg = background;
  window->fg = s.text;
  window->light = s.light;
  window->dark = s.dark;
  window->medium = s.medium;
  if (foreground != -1) window->fg = static_cast<unsigned long>(foreground);
}

void xfSetWindowForeground(XfWindow* window, unsigned long pixel) {
  if (!bad(window)) window->fg = pixel;
}

int32_t xfQuerySysValue(XfWindow*, int32_t id) {
  switch (id) {
    case 2048:
      return 25;
    case 2049:
    case 2050:
      return 5;
    case 2051:
      return 500;
    case 2052:
      return xf().conn.width;
    case 2053:
      return xf().conn.height;
    case 2054:
    case 2055:
      return 1;
    case 2056:
    case 2057:
      return 2;
    case 2058:
    case 2059:
      return 5;
    case 2060:
    case 2061:
      return 2;
    case 512:
    case 1024:
      return static_cast<int32_t>(xf().values.scrollbar_width);
    default:
      return 0;
  }
}

uint32_t xfQuerySysColorRgb(XfWindow*, int32_t index) {
  Colormap cm = xf().conn.colormap;
  const XfResourceValues& v = xf().values;
  XfShades s = xfQueryShades(v.frame_bg);
  switch (index) {
    case 1:
    case 7:
    case 8:
    case 11:
    case 12:
      return xfPixelToRgb(cm, s.base);
    case 6:
    case 13:
    case 14:
      return xfPixelToRgb(cm, s.text);
    case 3:
      return xfPixelToRgb(cm, s.light);
    case 2:
    case 10:
      return xfPixelToRgb(cm, s.dark);
    case 9:
      return 0xFFFFFF;
    case 4:
      return xfPixelToRgb(cm, v.textbox);
    case 16:
      return xfPixelToRgb(cm, v.textbox2);
    default:
      return 0;
  }
}

// ----- capture and pointers -----

XfWindow* xfQueryCapture() { return xf().query.capture; }

void xfSetCapture(XfWindow* window) { xf().query.capture = window; }

void xfReleaseCapture(XfWindow*) {
  xf().query.capture = nullptr;
  if (XfWindow* under = xf_window_under_pointer())
    xfSendMsg(under, ZWM_SETPOINTER, reinterpret_cast<intptr_t>(under), 1);
}

int xfSetPointer(XfWindow*, Cursor pointer) {
  XfWindow* under = xf_window_under_pointer();
  if (!under) return 0;
  xf().query.pointer = pointer;
  under->pointer = pointer;
  Display* d = xf_display();
  if (d && under->xwin && pointer) {
    XDefineCursor(d, under->xwin, pointer);
    XFlush(d);
  }
  return 1;
}

Cursor xfQueryPointer() { return xf().query.pointer; }

namespace {

constexpr int kPointerSlots = 20;
constexpr int kQuestionSlot = 0;  // the question arrow, for unknown ids

// System pointer id -> cursor-font glyph; 0 marks the image layer's built-in
// pointers (sizing, disabled), which stand in as the question arrow until it
// installs them.
constexpr unsigned kGlyphs[kPointerSlots] = {
    XC_question_arrow,
    XC_left_ptr,
    XC_xterm,
    XC_watch,
    XC_fleur,
    XC_crosshair,
    0,
    0,
    0,
    0,
    XC_question_arrow,
    XC_question_arrow,
    XC_question_arrow,
    0,
    XC_question_arrow,
    0,
    XC_question_arrow,
    XC_question_arrow,
    XC_question_arrow,
    XC_question_arrow,
};

Cursor slot_cursor(int slot) {
  Cursor& c = xf().query.slots[slot];
  if (c) return c;
  Display* d = xf_display();
  if (!d) return 0;
  unsigned glyph = kGlyphs[slot] ? kGlyphs[slot] : XC_question_arrow;
  c = XCreateFontCursor(d, glyph);
  xfRegisterCursor(c);
  return c;
}

}  // namespace

Cursor xfQuerySysPointer(XfWindow*, int32_t id) {
  if (id == 16000) id = 5;
  if (id < 1 || id >= kPointerSlots) id = kQuestionSlot;
  return slot_cursor(id);
}

Cursor xfLoadPointer(void*, XfWindow* window, int32_t id) {
  // Pointer 36 is the image layer's; it rides in the disabled-pointer slot
  // until that layer installs its own.
  return id == 36 ? xfQuerySysPointer(window, 15) : xfQuerySysPointer(window, 0);
}

void xf_set_sys_pointer(int32_t id, Cursor cursor) {
  if (id >= 1 && id < kPointerSlots) xf().query.slots[id] = cursor;
}

// ----- z-order -----

void xfRaiseWindow(XfWindow* window) {
  if (bad(window)) return;
  if (Display* d = xf_display()) XRaiseWindow(d, window->xwin);
  xfMoveToFront(window);
}

void xfLowerWindow(XfWindow* window) {
  if (bad(window)) return;
  if (Display* d = xf_display()) XLowerWindow(d, window->xwin);
  xfMoveToBack(window);
}

void xfRestackBelow(XfWindow* window, XfWindow* above) {
  if (bad(window) || bad(above) || window == above) return;
  if (Display* d = xf_display()) {
    Window list[2] = {above->xwin, window->xwin};
    XRestackWindows(d, list, 2);
  }
  xfMoveAfterSibling(window, above);
}

void xfSetZOrder(XfWindow* window, XfWindow* behind) {
  if (bad(window) || behind == window) return;
  auto code = reinterpret_cast<intptr_t>(behind);
  if (code == 0 || code == 2) {
    xfRaiseWindow(window);
  } else if (code == -1 || code == 4) {
    xfLowerWindow(window);
  } else {
    xfRestackBelow(window, behind);
  }
}

// ----- scroll notifications -----

XfWindow* xfSendToFrameClient(XfWindow* scroll_bar, XfWindow* window) {
  XfWindow* parent = scroll_bar ? scroll_bar->parent : nullptr;
  if (parent && is_frame_kind(parent->kind)) {
    if (XfWindow* client = xfWindowFromId(parent, kPartClient)) return client;
  }
  return window;
}

void xfScrollNotify(XfWindow* scroll_bar, XfWindow* window, int32_t position, int32_t code) {
  if (bad(scroll_bar)) return;
  bool vertical = scroll_bar->kind == XFTYPE_VSB;
  xfSendMsg(xfSendToFrameClient(scroll_bar, window), vertical ? ZWM_VSCROLL : ZWM_HSCROLL,
            vertical ? kPartVsb : kPartHsb, xf_pack(position, code));
}

void xf_wheel_scroll(XfWindow* window, int direction) {
  constexpr int kWheelLines = 3;
  constexpr int32_t kLineUp = 2, kLineDown = 1, kEndScroll = 64;
  XfWindow* bar = nullptr;
  for (XfWindow* w = window; w && w != kDesktop && !bar; w = w->tree_parent) {
    if (is_frame_kind(w->kind)) bar = xfWindowFromId(w, kPartVsb);
  }
  if (!bar) return;
  for (int i = 0; i < kWheelLines; ++i) {
    int32_t pos = xf_low(xfSendMsg(bar, ZWM_SBQUERYPOS, 0, 0));
    xfSendMsg(bar, ZWM_SBSETPOS, xf_pack(pos + (direction < 0 ? -1 : 1), 0), 0);
    int32_t now = xf_low(xfSendMsg(bar, ZWM_SBQUERYPOS, 0, 0));
    if (now != pos) xfScrollNotify(bar, window, now, direction < 0 ? kLineUp : kLineDown);
  }
  xfScrollNotify(bar, window, xf_low(xfSendMsg(bar, ZWM_SBQUERYPOS, 0, 0)), kEndScroll);
}

// ----- pick mode -----

void xfSetPickHook(void (*hook)(void* arg, XfWindow* window), void* arg) {
  XfQueryState& q = xf().query;
  Display* d = xf_display();
  if (hook) {
    q.pick_hook = hook;
    q.pick_arg = arg;
    q.pick_frame = xfFirstShownFrame();
    if (d && q.pick_frame)
      XGrabPointer(d, q.pick_frame->xwin, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                   GrabModeAsync, None, xfQuerySysPointer(nullptr, 5), CurrentTime);
  } else {
    if (d && q.pick_frame) XUngrabPointer(d, CurrentTime);
    q.pick_hook = nullptr;
    q.pick_arg = nullptr;
    q.pick_frame = nullptr;
  }
}

// ----- server resources freed at exit -----

namespace {

template <typename T>
int32_t index_of(DynArray<T>& a, T v) {
  for (int32_t i = 0; i < a.count; ++i) {
    if (a.data[i] == v) return i;
  }
  return -1;
}

}  // namespace

void xfRegisterPixmap(Pixmap p) {
  auto& list = xf().query.pixmaps;
  if (p && index_of(list, p) < 0) dynarray_append(&list, p);
}

void xfRegisterCursor(Cursor c) {
  auto& list = xf().query.cursors;
  if (c && index_of(list, c) < 0) dynarray_append(&list, c);
}

void xfFreePixmap(Pixmap p) {
  auto& list = xf().query.pixmaps;
  int32_t i = index_of(list, p);
  if (i < 0) return;
  dynarray_remove_at(&list, i);
  if (Display* d = xf_display()) XFreePixmap(d, p);
}

void xfFreeAllPixmaps() {
  auto& list = xf().query.pixmaps;
  if (Display* d = xf_display()) {
    for (int32_t i = 0; i < list.count; ++i) XFreePixmap(d, list.data[i]);
  }
  list.count = 0;
}

void xfFreeAllCursors() {
  auto& list = xf().query.cursors;
  if (Display* d = xf_display()) {
    for (int32_t i = 0; i < list.count; ++i) XFreeCursor(d, list.data[i]);
  }
  list.count = 0;
  for (Cursor& c : xf().query.slots) c = 0;
}

// ----- texts with mnemonics -----

namespace {

// Copies text[0..n) without mnemonic marks; stops at a tab when split_tab.
// Answers how far it read.
int32_t strip(const char* text, int32_t n, bool split_tab, char* out, int32_t cap, char* mnemonic, int32_t* length) {
  int32_t i = 0, o = 0;
  *mnemonic = 0;
  auto put = [&](char c) {
    if (o < cap - 1) out[o++] = c;
  };
  for (; i < n && text[i]; ++i) {
    char c = text[i];
    if (split_tab && c == '\t') break;
    if (c != '~') {
      put(c);
      continue;
    }
    char next = i + 1 < n ? text[i + 1] : '\0';
    if (next == '\0' || (split_tab && next == '\t')) continue;  // a final '~' is dropped
    ++i;
    put(next);
    if (next != '~' && !*mnemonic) *mnemonic = next;
  }
  if (cap > 0) out[o] = '\0';
  if (length) *length = o;
  return i;
}

}  // namespace

void xfSplitMnemonicText(const char* text, char* out, char* mnemonic, char* accel, int32_t* length,
                         int32_t* accel_length, int32_t cap, int32_t accel_cap) {
  int32_t i = strip(text, INT32_MAX, true, out, cap, mnemonic, length);
  int32_t a = 0;
  if (text[i] == '\t') {
    for (const char* p = text + i + 1; *p && a < accel_cap - 1; ++p) accel[a++] = *p;
  }
  if (accel && accel_cap > 0) accel[a] = '\0';
  if (accel_length) *accel_length = a;
}

void xfStripMnemonic(const char* text, char* out, char* mnemonic, int32_t n, int32_t cap) {
  strip(text, n < 0 ? INT32_MAX : n, false, out, cap, mnemonic, nullptr);
}

void xfLowerCaseString(const char* in, char* out) {
  while (*in) *out++ = static_cast<char>(std::tolower(static_cast<unsigned char>(*in++)));
  *out = '\0';
}

// ----- clocks and the bell -----

uint32_t xfQueryMicroseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t us = static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
  return static_cast<uint32_t>(us);
}

void xfBeep() {
  ++xf().beeps;
  if (Display* d = xf_display()) {
    XBell(d, 100);
    XFlush(d);  // rung now, also when the program ends next
  }
}
