// Moving and sizing MDI children with a rubber-band outline, under a
// pointer and keyboard grab, by mouse or by the arrow keys.
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <algorithm>

#include "winsys/focus.h"
#include "winsys/mdi_internal.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

constexpr uint32_t kDoubleClickMs = 500;
constexpr int32_t kNoOutline = 0x7FFFFFFF;

enum class Mode { Size, Move, Icon };

struct Loop {
  Mode mode = Mode::Size;
  XfWindow* frame = nullptr;   // the child frame
  XfWindow* target = nullptr;  // what moves: the frame or its icon holder
  XfWindow* client = nullptr;  // the MDI client
  XfWindow* part = nullptr;    // the title or icon image for moves
  bool done = false;
  bool cancel = false;
  bool keyboard = false;
  int32_t warp_back_x = 0, warp_back_y = 0;
};

XfMdiTrack& T() { return xf_mdi().track; }

GC outline_gc() {
  XfMdi& s = xf_mdi();
  Display* d = xf_display();
  if (!s.outline_gc && d) {
    XGCValues v{};
    v.function = GXxor;
    v.plane_mask = AllPlanes;
    v.foreground = 1;
    v.line_width = 1;
    v.line_style = LineSolid;
    v.subwindow_mode = IncludeInferiors;
    s.outline_gc = XCreateGC(d, xf().conn.root,
                             GCFunction | GCPlaneMask | GCForeground | GCLineWidth | GCLineStyle | GCSubwindowMode, &v);
  }
  return s.outline_gc;
}

void xor_rect(XfWindow* in, const XfMdiRect& r) {
  Display* d = xf_display();
  if (!d || !in) return;
  XDrawRectangle(d, in->xwin, outline_gc(), r.x + 1, r.y + 1, static_cast<unsigned>(std::max(r.width - 3, 0)),
                 static_cast<unsigned>(std::max(r.height - 3, 0)));
}

void erase_outline() {
  XfMdi& s = xf_mdi();
  if (s.outline.x != kNoOutline) xor_rect(s.outline_in, s.outline);
  s.outline.x = kNoOutline;
}

void draw_outline(XfWindow* in, const XfMdiRect& r) {
  XfMdi& s = xf_mdi();
  if (s.outline.x != kNoOutline && s.outline == r && s.outline_in == in) return;
  erase_outline();
  s.outline = r;
  s.outline_in = in;
  xor_rect(in, r);
  if (Display* d = xf_display()) XFlush(d);
}

XfMdiRect root_rect(XfWindow* w) {
  int32_t x = 0, y = 0;
  xfWindowRootOrigin(w, &x, &y);
  return {x, y, w->width, w->height};
}

void grab(XfWindow* on, Cursor cursor) {
  Display* d = xf_display();
  if (!d) return;
  XGrabPointer(d, on->xwin, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, None, cursor, CurrentTime);
  XGrabKeyboard(d, on->xwin, False, GrabModeAsync, GrabModeAsync, CurrentTime);
}

void ungrab() {
  Display* d = xf_display();
  if (!d) return;
  XUngrabPointer(d, CurrentTime);
  XUngrabKeyboard(d, CurrentTime);
  XFlush(d);
}

void warp_to(int32_t x, int32_t y) {
  if (Display* d = xf_display()) {
    XWarpPointer(d, None, xf().conn.root, 0, 0, 0, 0, x, y);
    XFlush(d);
  }
}

void pointer_now(int32_t* x, int32_t* y) {
  Display* d = xf_display();
  if (!d) return;
  Window r = 0, c = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(d, xf().conn.root, &r, &c, &rx, &ry, &wx, &wy, &mask);
  *x = rx;
  *y = ry;
}

// The cursor of a zone (the frame's procedure made them).
Cursor zone_cursor(int32_t zone) {
  static const unsigned kGlyphs[9] = {
      XC_fleur,    XC_top_left_corner, XC_top_right_corner, XC_bottom_left_corner, XC_bottom_right_corner,
      XC_top_side, XC_bottom_side,     XC_left_side,        XC_right_side};
  static Cursor cache[9] = {};
  static Display* made_on = nullptr;
  Display* d = xf_display();
  if (!d) return 0;
  if (made_on != d) {
    std::fill(std::begin(cache), std::end(cache), 0);
    made_on = d;
  }
  if (zone < 0 || zone > 8) zone = 0;
  if (!cache[zone]) {
    cache[zone] = XCreateFontCursor(d, kGlyphs[zone]);
    xfRegisterCursor(cache[zone]);
  }
  return cache[zone];
}

// The rectangle of the frame (or icon) for the pointer at root (px, py).
XfMdiRect follow(const Loop& l, int32_t px, int32_t py) {
  XfMdiTrack& t = T();
  const XfMdiMetrics m = xf_mdi_metrics();
  if (l.mode == Mode::Size) {
    xf_mdi_clamp_pointer(t.client_root, t.zone, m.border, &px, &py);
    return xf_mdi_drag_rect(m, t.start, t.zone, t.press_x, t.press_y, px, py);
  }
  xf_mdi_clamp_pointer(t.client_root, 0, 0, &px, &py);
  XfMdiRect r = t.start;
  r.x += px - t.press_x;
  r.y += py - t.press_y;
  return r;
}

void begin(Loop& l, int32_t px, int32_t py, int32_t zone) {
  XfMdiTrack& t = T();
  t.zone = zone;
  t.dragging = true;
  t.moved = false;
  t.start = {l.target->x, l.target->y, l.target->width, l.target->height};
  t.now = t.start;
  t.client_root = root_rect(l.client);
  t.press_x = px;
  t.press_y = py;
  draw_outline(l.client, t.start);
}

void finish(Loop& l) {
  XfMdiTrack& t = T();
  erase_outline();
  l.done = true;
  if (!t.dragging || l.cancel) return;
  t.dragging = false;
  XfMdiRect r = t.now;
  if (r == t.start) return;
  if (l.mode == Mode::Icon) {
    xfMoveWindowTo(l.target, r.x, r.y);
    return;
  }
  bool moved = r.x != t.start.x || r.y != t.start.y;
  xfMdiSetGeometry(l.frame, r.x, r.y, r.width, r.height);
  if (XfWindow* area = l.frame->k.mdi.client) {
    if (l.mode == Mode::Size) xfSendMsg(area, ZWM_SIZE, 0, xf_pack(area->width, area->height));
    if (moved) xfSendMsg(area, ZWM_MOVE, 0, xf_pack(r.x, r.y));
  }
}

void on_motion(Loop& l, int32_t px, int32_t py) {
  XfMdiTrack& t = T();
  if (!t.dragging) return;
  XfMdiRect r = follow(l, px, py);
  if (!(r == t.now)) t.moved = true;
  t.now = r;
  draw_outline(l.client, r);
}

// Arrow keys as directions; Control with i, k, j, l too.
int arrow_of(intptr_t mp1) {
  unsigned long sym = xf_key_keysym(mp1);
  bool ctrl = xf_key_state(mp1) & ControlMask;
  switch (sym) {
    case XK_Up:
    case XK_KP_Up:
      return 'U';
    case XK_Down:
    case XK_KP_Down:
      return 'D';
    case XK_Left:
    case XK_KP_Left:
      return 'L';
    case XK_Right:
    case XK_KP_Right:
      return 'R';
    default:
      break;
  }
  if (!ctrl) return 0;
  switch (sym | 0x20) {
    case 'i':
      return 'U';
    case 'k':
      return 'D';
    case 'j':
      return 'L';
    case 'l':
      return 'R';
    default:
      return 0;
  }
}

void nudge(int arrow, int32_t steps) {
  int32_t d = steps * 5 + 5;
  int32_t dx = arrow == 'L' ? -d : arrow == 'R' ? d : 0, dy = arrow == 'U' ? -d : arrow == 'D' ? d : 0;
  if (Display* disp = xf_display()) {
    XWarpPointer(disp, None, None, 0, 0, 0, 0, dx, dy);
    XFlush(disp);
  }
}

// Keys while sizing with the keyboard.
void size_key(Loop& l, intptr_t mp1) {
  XfMdiTrack& t = T();
  unsigned long sym = xf_key_keysym(mp1);
  if (sym == XK_Escape) {
    l.cancel = true;
    warp_to(l.warp_back_x, l.warp_back_y);
    finish(l);
    return;
  }
  if (sym == XK_Return || sym == XK_KP_Enter || sym == XK_space) {
    // The motion of the last warps may still be on its way: the pointer
    // itself says where the edge is.
    if (xf_display() && t.dragging) {
      int32_t px = 0, py = 0;
      pointer_now(&px, &py);
      on_motion(l, px, py);
    }
    finish(l);
    return;
  }
  int a = arrow_of(mp1);
  if (!a) return;
  XfMdiRect f = root_rect(l.frame);
  int32_t cx = f.x + f.width / 2, cy = f.y + f.height / 2;
  if (t.phase == 1) {
    t.side = a == 'L' ? 7 : a == 'R' ? 8 : a == 'U' ? 5 : 6;
    t.phase = 0;
    int32_t ex = t.side == 7 ? f.x : t.side == 8 ? f.x + f.width - 1 : cx;
    int32_t ey = t.side == 5 ? f.y : t.side == 6 ? f.y + f.height - 1 : cy;
    warp_to(ex, ey);
    grab(l.frame, zone_cursor(t.side));
    begin(l, ex, ey, t.side);
    return;
  }
  bool horizontal_side = t.side == 5 || t.side == 6;
  bool perpendicular = !t.corner && (horizontal_side ? (a == 'L' || a == 'R') : (a == 'U' || a == 'D'));
  if (perpendicular) {
    int32_t corner = 0;
    if (t.side == 5) corner = a == 'L' ? 1 : 2;
    if (t.side == 6) corner = a == 'L' ? 3 : 4;
    if (t.side == 7) corner = a == 'U' ? 1 : 3;
    if (t.side == 8) corner = a == 'U' ? 2 : 4;
    t.corner = corner;
    // Whatever was dragged so far stays; the corner starts from there.
    XfMdiRect r = t.now;
    int32_t x0 = 0, y0 = 0;
    xfWindowRootOrigin(l.client, &x0, &y0);
    int32_t px = x0 + r.x + ((corner == 2 || corner == 4) ? r.width - 1 : 0);
    int32_t py = y0 + r.y + ((corner == 3 || corner == 4) ? r.height - 1 : 0);
    warp_to(px, py);
    grab(l.frame, zone_cursor(corner));
    XfMdiRect keep = t.now;
    XfMdiRect start = t.start;
    begin(l, px, py, corner);
    t.start = keep;
    t.now = keep;
    (void)start;
    return;
  }
  nudge(a, xfTakeRepeatedKeys(mp1));
}

void move_key(Loop& l, intptr_t mp1) {
  unsigned long sym = xf_key_keysym(mp1);
  if (sym == XK_Escape) {
    l.cancel = true;
    erase_outline();
    T().now = T().start;
    return;
  }
  if (int a = arrow_of(mp1)) nudge(a, xfTakeRepeatedKeys(mp1));
}

bool is_input(uint32_t n) { return (n >= kMouseFirst && n <= kMouseLast) || n == ZWM_CHAR; }

// The loop: input goes to the tracker, everything else is dispatched.
void run(Loop& l) {
  XfMessage m{};
  while (!l.done) {
    if (!xf_display() && xfPeekMsg(&m, nullptr, 0, 0, 0) == 0 && xf().events.pending &&
        xf().events.pending(xf().events.ctx) <= 0)
      break;  // nothing can end it without a server
    if (!xfGetMsg(&m, nullptr, 0, 0)) break;
    if (!is_input(m.number)) {
      xfDispatchMsg(&m);
      if (!xf_is_live_window(l.frame) || l.frame->kind != XFTYPE_MDITOPFRAME) {
        l.done = true;
        erase_outline();
        T().dragging = false;
      }
      continue;
    }
    int32_t px = xf_low(m.mp2), py = xf_high(m.mp2);
    switch (m.number) {
      case ZWM_MOUSEMOVE:
        on_motion(l, px, py);
        break;
      case ZWM_LBUTTONUP:
        if (l.mode == Mode::Move && l.cancel) {
          erase_outline();
          T().dragging = false;
          l.done = true;
        } else {
          finish(l);
        }
        break;
      case ZWM_CHAR:
        if (l.mode == Mode::Size) {
          size_key(l, m.mp1);
        } else {
          move_key(l, m.mp1);
        }
        break;
      default:
        break;
    }
  }
}

struct Session {
  explicit Session(Loop& l) : loop(l) {
    xfPushFocus();
    xfPaintAllNow();
  }
  ~Session() {
    ungrab();
    XfMdiTrack& t = T();
    t.dragging = false;
    t.phase = t.side = t.corner = 0;
    t.zone = 0;
    xfPopFocus();
    if (xf_is_live_window(loop.frame) && loop.frame->kind == XFTYPE_MDITOPFRAME) xfMdiActivate(loop.frame);
  }
  Loop& loop;
};

}  // namespace

intptr_t xfMdiTrackFrame(XfWindow* frame, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfMdiTrack& t = T();
  if (t.dragging) return 0;  // a nested press while the loop runs
  if (frame->k.mdi.state != kMdiNormal) {
    if (message == ZWM_LBUTTONDOWN) xfMdiActivate(frame);
    return 0;
  }
  Loop l;
  l.frame = l.target = frame;
  l.client = frame->parent;
  if (message == ZWM_LBUTTONDOWN) {
    const int32_t z = xf_mdi_metrics().zone();
    int32_t zone = xf_mdi_hit_zone(xf_low(mp1), xf_high(mp1), frame->width, frame->height,
                                   xf_mdi_zone_size(frame->width, z), xf_mdi_zone_size(frame->height, z));
    if (zone == 0) {
      xfMdiActivate(frame);
      return 0;
    }
    Session s(l);
    grab(frame, zone_cursor(zone));
    begin(l, xf_low(mp2), xf_high(mp2), zone);
    run(l);
    return 0;
  }
  if (message == ZWM_MDIKEYBOARDSIZE) {
    Session s(l);
    pointer_now(&l.warp_back_x, &l.warp_back_y);
    XfMdiRect f = root_rect(frame);
    warp_to(f.x + f.width / 2, f.y + f.height / 2);
    grab(frame, zone_cursor(0));
    t.phase = 1;
    t.side = t.corner = 0;
    t.start = t.now = {frame->x, frame->y, frame->width, frame->height};
    l.keyboard = true;
    run(l);
    return 0;
  }
  return 0;
}

namespace {

intptr_t track_move(XfWindow* part, XfWindow* frame, XfWindow* target, Mode mode, intptr_t mp2) {
  Loop l;
  l.mode = mode;
  l.frame = frame;
  l.target = target;
  l.client = frame->parent;
  l.part = part;
  Session s(l);
  grab(part, zone_cursor(0));
  begin(l, xf_low(mp2), xf_high(mp2), -1);
  if (mode == Mode::Move) xfInvalidateRect(part, nullptr);
  run(l);
  if (xf_is_live_window(part)) xfInvalidateRect(part, nullptr);
  return T().moved ? 1 : 0;
}

}  // namespace

intptr_t xfMdiTrackTitle(XfWindow* title, uint32_t message, intptr_t mp1, intptr_t mp2) {
  (void)mp1;
  XfWindow* frame = xf_mdi_frame_of(title);
  if (!frame) return 0;
  XfMdiButtons& b = xf_mdi().buttons;
  if (message == ZWM_SYSCOMMAND) {
    // Keyboard move: a press posted at the centre of the title (of the icon
    // when minimised) starts the loop.
    bool icon = frame->k.mdi.state == kMdiMinimised && frame->k.mdi.icon_image;
    XfWindow* at = icon ? frame->k.mdi.icon_image : title;
    XfMdiRect r = root_rect(at);
    int32_t cx = r.x + r.width / 2, cy = r.y + r.height / 2;
    warp_to(cx, cy);
    xfPostMsg(at, ZWM_LBUTTONDOWN, xf_pack(r.width / 2, r.height / 2), xf_pack(cx, cy));
    return 0;
  }
  if (message == ZWM_LBUTTONUP) {
    // A release outside the loop: the second click of a double click.
    uint32_t now = xfQueryMilliseconds();
    if (b.title_release_window == title && now - b.title_release_time < kDoubleClickMs) {
      b.title_release_window = nullptr;
      xfPostMsg(frame->k.mdi.max_button, ZWM_MDIMAXIMISE, 0, 0);
    } else {
      b.title_release_window = title;
      b.title_release_time = now;
    }
    return 0;
  }
  if (message != ZWM_LBUTTONDOWN || T().dragging) return 0;
  if (frame->k.mdi.state == kMdiMaximised) {
    xfMdiActivate(frame);
    return 0;
  }
  xfMdiActivate(frame);
  uint32_t before = b.title_release_time;
  XfWindow* before_w = b.title_release_window;
  track_move(title, frame, frame, Mode::Move, mp2);
  uint32_t now = xfQueryMilliseconds();
  if (before_w == title && now - before < kDoubleClickMs && !T().moved) {
    b.title_release_window = nullptr;
    xfPostMsg(frame->k.mdi.max_button, ZWM_MDIMAXIMISE, 0, 0);
  } else {
    b.title_release_window = title;
    b.title_release_time = now;
  }
  return 0;
}

intptr_t xfMdiTrackIcon(XfWindow* image, uint32_t message, intptr_t mp1, intptr_t mp2) {
  (void)mp1;
  XfWindow* frame = xf_mdi_frame_of(image);
  if (!frame || message != ZWM_LBUTTONDOWN || T().dragging) return 0;
  XfWindow* holder = frame->k.mdi.icon_holder;
  if (!holder) return 0;
  xfMdiActivate(frame);
  if (track_move(image, frame, holder, Mode::Icon, mp2) == 0) xf_mdi_open_sys_menu(frame, image, xfMdiSysMenu(frame));
  return 0;
}
