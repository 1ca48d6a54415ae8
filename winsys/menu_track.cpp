// Menu windows and the modal tracking loop. A run keeps a stack of open
// levels: level 0 is the tracked menu (a popup or a frame's bar), level
// n + 1 the submenu opened from level n's highlighted cascade item. The
// current item is the deepest highlighted one. Input comes from a small
// private stack first (button pairs the run posts to itself for keys and
// for releases read while a menu window waited for its exposure), then
// straight from X.
#include "winsys/menu_track.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <vector>

#include "winsys/caret.h"
#include "winsys/keyboard.h"
#include "winsys/menu_internal.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"

namespace {

// At most a button pair is pending at once; a few more do no harm.
constexpr int kPrivateStack = 8;
// How long a menu window may take to be exposed before it is drawn anyway.
constexpr uint32_t kExposeWaitMs = 2000;
// Another client's grab is usually short (a window manager's drag): try a
// few times before giving up.
constexpr int kGrabTries = 10;
constexpr int kGrabRetryMs = 20;
constexpr unsigned kPointerMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
constexpr uint32_t kSysValueDoubleClick = 0x803;

struct Level {
  XfMenu* menu;
  XfMenuItem* item;  // highlighted
  bool open;         // its submenu is shown as the next level
};

struct Run {
  XfMenu* root = nullptr;
  bool bar = false;
  XfWindow* owner = nullptr;  // hears ZWM_MENUSELECT and the command
  XfWindow* exclusion = nullptr;
  int32_t ex_left = 0, ex_top = 0, ex_right = 0, ex_bottom = 0;
  int32_t click_time = kNoClickTime;
  uint32_t repeat_id = kNoRepeatId;
  std::vector<Level> levels;
  bool motion = false;
  bool pressed = false;  // a press was seen in this run
  uint32_t press_time = 0;
  XfMenuItem* press_item = nullptr;
  uint32_t last_release = 0;
  bool done = false;
  XfMenuItem* chosen = nullptr;
  bool help = false;
  uint32_t help_id = 0;
};

struct TrackState {
  bool tracking = false;
  bool grabbed = false;
  XfMessage stack[kPrivateStack] = {};
  int depth = 0;
  Run* run = nullptr;
  bool other_key = false;  // a non-modifier key went down while Alt was held
};

TrackState& T() {
  static TrackState t;
  return t;
}

void post_self(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2, uint32_t time) {
  TrackState& t = T();
  if (t.depth >= kPrivateStack) return;
  t.stack[t.depth++] = XfMessage{window, number, mp1, mp2, time};
}

// A button down and up for an item, taken in that order.
void post_click(XfMenuItem* item) {
  uint32_t now = xfQueryMilliseconds();
  post_self(nullptr, ZWM_LBUTTONUP, reinterpret_cast<intptr_t>(item), kItemInMp1, now);
  post_self(nullptr, ZWM_LBUTTONDOWN, reinterpret_cast<intptr_t>(item), kItemInMp1, now);
}

bool next_message(XfMessage* m) {
  TrackState& t = T();
  if (t.depth > 0) {
    *m = t.stack[--t.depth];
    return true;
  }
  if (!xf_display()) return false;
  xfWaitInputMsg(m);
  return true;
}

XfWindow* command_target(XfWindow* w) {
  if (!w) return nullptr;
  if (w->kind == XFTYPE_STDFRAME && w->k.frame.client) return w->k.frame.client;
  if (w->kind == XFTYPE_MDITOPFRAME && w->k.mdi.client) return w->k.mdi.client;
  return w;
}

void send_select(Run& r, XfMenuItem* item) {
  if (!r.owner) return;
  if (item)
    xfSendMsg(r.owner, ZWM_MENUSELECT, item->id, reinterpret_cast<intptr_t>(item->menu));
  else
    xfSendMsg(r.owner, ZWM_MENUSELECT, 0, 0);
}

int level_of(const Run& r, const XfMenuItem* item) {
  if (!item) return -1;
  for (int i = static_cast<int>(r.levels.size()) - 1; i >= 0; --i)
    if (r.levels[static_cast<size_t>(i)].menu == item->menu) return i;
  return -1;
}

int current_level(const Run& r) {
  for (int i = static_cast<int>(r.levels.size()) - 1; i >= 0; --i)
    if (r.levels[static_cast<size_t>(i)].item) return i;
  return -1;
}

XfMenuItem* current_item(const Run& r) {
  int l = current_level(r);
  return l < 0 ? nullptr : r.levels[static_cast<size_t>(l)].item;
}

// Closes every level below `level`, deepest first.
void close_below(Run& r, int level) {
  while (static_cast<int>(r.levels.size()) > level + 1) {
    Level top = r.levels.back();
    r.levels.pop_back();
    if (top.item) xfMenuDrawItem(top.menu, top.item, false);
    xfHideMenuWindow(top.menu, r.levels.back().menu);
  }
  if (level >= 0 && level < static_cast<int>(r.levels.size())) r.levels[static_cast<size_t>(level)].open = false;
}

void highlight(Run& r, int level, XfMenuItem* item) {
  if (level < 0) return;
  Level& l = r.levels[static_cast<size_t>(level)];
  if (l.item == item && item) return;
  close_below(r, level);
  Level& at = r.levels[static_cast<size_t>(level)];
  if (at.item) xfMenuDrawItem(at.menu, at.item, false);
  at.item = item;
  if (item) {
    xfMenuDrawItem(at.menu, item, true);
    send_select(r, item);
  }
}

void open_submenu(Run& r, int level) {
  Level& l = r.levels[static_cast<size_t>(level)];
  XfMenuItem* item = l.item;
  if (!item || !item->submenu || l.open) return;
  XfMenu* sub = item->submenu;
  if (sub->notify) xfSendMsg(sub->notify, ZWM_INITMENU, 0, 0);
  xfShowMenuWindow(sub, 0, 0, item);
  r.levels[static_cast<size_t>(level)].open = true;
  r.levels.push_back(Level{sub, nullptr, false});
  highlight(r, level + 1, xf_menu_first_selectable(sub));
}

void end_with(Run& r, XfMenuItem* chosen) {
  r.done = true;
  r.chosen = chosen;
}

void click(Run& r, XfMenuItem* item) {
  int level = level_of(r, item);
  if (level < 0) return;
  if (item->disabled) {
    xfBeep();
    return;
  }
  if (item->kind != kItemText && item->kind != kItemSysMenu && item->kind != kItemRestore) return;
  if (item->submenu) {
    Level& l = r.levels[static_cast<size_t>(level)];
    if (l.item == item && l.open) {
      if (!r.levels[static_cast<size_t>(level + 1)].item)
        highlight(r, level + 1, xf_menu_first_selectable(item->submenu));
      return;
    }
    highlight(r, level, item);
    open_submenu(r, level);
    return;
  }
  end_with(r, item);
}

XfMenuItem* hit(Run& r, int32_t x, int32_t y) {
  for (auto it = r.levels.rbegin(); it != r.levels.rend(); ++it)
    if (XfMenuItem* found = xfMenuItemFromPoint(it->menu, x, y)) return found;
  return nullptr;
}

bool in_exclusion(const Run& r, int32_t x, int32_t y) {
  return r.exclusion && x >= r.ex_left && x < r.ex_right && y >= r.ex_top && y < r.ex_bottom;
}

// ----- pointer -----

void on_motion(Run& r, const XfMessage& m) {
  if (!r.motion) return;
  int32_t x = xf_low(m.mp2), y = xf_high(m.mp2);
  if (in_exclusion(r, x, y)) return;
  XfMenuItem* it = hit(r, x, y);
  if (!it) return;
  int level = level_of(r, it);
  bool was_open = level == 0 && r.bar && r.levels[0].open;
  highlight(r, level, it);
  if (was_open && it->submenu && !it->disabled) open_submenu(r, 0);
}

void on_press(Run& r, const XfMessage& m) {
  r.motion = true;
  r.pressed = true;
  XfMenuItem* given = m.mp2 == kItemInMp1 ? reinterpret_cast<XfMenuItem*>(m.mp1) : nullptr;
  int32_t x = xf_low(m.mp2), y = xf_high(m.mp2);
  if (!given && in_exclusion(r, x, y)) return;
  XfMenuItem* it = given ? given : hit(r, x, y);
  r.press_time = m.time;
  r.press_item = it;
  if (it) highlight(r, level_of(r, it), it);
}

void on_release(Run& r, const XfMessage& m) {
  XfMenuItem* target = m.mp2 == kItemInMp1 ? reinterpret_cast<XfMenuItem*>(m.mp1) : nullptr;
  int32_t x = xf_low(m.mp2), y = xf_high(m.mp2);
  bool given = target != nullptr;
  if (!given && r.press_item && m.time - r.press_time < kPressReleaseMs) target = r.press_item;
  if (!given && !target) target = hit(r, x, y);
  if (!target && in_exclusion(r, x, y)) {
    r.motion = false;
    close_below(r, 0);
    if (!r.levels[0].item) highlight(r, 0, xf_menu_first_selectable(r.root));
    auto dbl = static_cast<uint32_t>(xfQuerySysValue(nullptr, static_cast<int32_t>(kSysValueDoubleClick)));
    if (r.click_time != kNoClickTime && r.repeat_id != kNoRepeatId && r.last_release &&
        m.time - r.last_release <= dbl) {
      if (XfMenuItem* rep = xfMenuFindItem(r.root, r.repeat_id)) post_click(rep);
    }
    r.last_release = m.time;
    return;
  }
  r.last_release = m.time;
  if (!target && !r.pressed) return;  // the opening click's release: the pointer still leads
  r.motion = false;
  if (!target) {
    end_with(r, nullptr);
    return;
  }
  click(r, target);
}

// ----- keys -----

unsigned long ctrl_arrow(unsigned long keysym) {
  switch (keysym) {
    case 'i':
      return XK_Up;
    case 'k':
      return XK_Down;
    case 'j':
      return XK_Left;
    case 'l':
      return XK_Right;
    default:
      return keysym;
  }
}

void key_vertical(Run& r, int level, XfMenuItem* cur, int direction) {
  if (r.bar && level == 0) {
    if (cur->submenu) click(r, cur);
    return;
  }
  highlight(r, level, xf_menu_step(r.levels[static_cast<size_t>(level)].menu, cur, direction));
}

// Opens the bar item next to the current one with its first item.
void bar_neighbour(Run& r, int direction, bool open) {
  XfMenuItem* next = xf_menu_step(r.root, r.levels[0].item, direction);
  if (!next) return;
  highlight(r, 0, next);
  if (open && next->submenu && !next->disabled) open_submenu(r, 0);
}

void key_left(Run& r, int level) {
  if (level == 0) {
    if (r.bar) bar_neighbour(r, -1, false);
    return;
  }
  if (r.bar && level == 1) {
    bar_neighbour(r, -1, true);
    return;
  }
  close_below(r, level - 1);
}

void key_right(Run& r, int level, XfMenuItem* cur) {
  if (r.bar && level == 0) {
    bar_neighbour(r, 1, false);
    return;
  }
  if (cur->submenu) {
    click(r, cur);
    return;
  }
  if (r.bar) bar_neighbour(r, 1, true);
}

void key_letter(Run& r, int level, unsigned long keysym, uint32_t state) {
  XfMenu* menu = r.levels[static_cast<size_t>(level)].menu;
  if (r.bar && (state & xfAltMask())) menu = r.root;
  if (XfMenuItem* it = xf_menu_mnemonic_item(menu, static_cast<char>(keysym)))
    post_click(it);
  else
    xfBeep();
}

void on_key(Run& r, const XfMessage& m) {
  unsigned long keysym = xf_key_keysym(m.mp1);
  uint32_t state = xf_key_state(m.mp1);
  if (keysym == XK_Num_Lock) {
    if (xf_keymap_table().simulate_numlock) xfToggleNumLock();
    return;
  }
  XfMenuItem* cur = current_item(r);
  int level = current_level(r);
  // Escape always closes a level, and the arrows start a keyboard session
  // in a menu opened by a click: a menu that ignored every key until the
  // next click could not be left from the keyboard.
  if (keysym == XK_Escape) {
    if (level <= 0)
      end_with(r, nullptr);
    else
      close_below(r, level - 1);
    return;
  }
  if (!cur && !r.motion && (keysym == XK_Down || keysym == XK_Up)) {
    XfMenu* deepest = r.levels.back().menu;
    highlight(r, static_cast<int>(r.levels.size()) - 1, xf_menu_step(deepest, nullptr, keysym == XK_Down ? 1 : -1));
    return;
  }
  if (r.motion || !cur) return;
  if (state & ControlMask) keysym = ctrl_arrow(keysym < 0x100 ? std::tolower(static_cast<int>(keysym)) : keysym);
  switch (keysym) {
    case XK_Up:
    case XK_KP_Up:
      key_vertical(r, level, cur, -1);
      break;
    case XK_Down:
    case XK_KP_Down:
      key_vertical(r, level, cur, 1);
      break;
    case XK_Left:
    case XK_KP_Left:
      key_left(r, level);
      break;
    case XK_Right:
    case XK_KP_Right:
      key_right(r, level, cur);
      break;
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
      post_click(cur);
      break;
    case XK_F1:
      r.help = true;
      r.help_id = cur->id;
      end_with(r, nullptr);
      break;
    default:
      if (keysym < 0x100 && std::isalnum(static_cast<int>(keysym))) key_letter(r, level, keysym, state);
      break;
  }
}

// ----- grab -----

bool grab(XfWindow* owner) {
  Display* d = xf_display();
  if (!d) return true;
  Window w = owner && owner->xwin ? owner->xwin : xf().conn.root;
  Cursor c = xfQuerySysPointer(owner, 1);
  int p = GrabNotViewable, k = GrabNotViewable;
  for (int i = 0; i < kGrabTries; ++i) {
    if (p != GrabSuccess)
      p = XGrabPointer(d, w, True, kPointerMask, GrabModeAsync, GrabModeAsync, None, c, CurrentTime);
    if (k != GrabSuccess) k = XGrabKeyboard(d, w, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (p == GrabSuccess && k == GrabSuccess) {
      T().grabbed = true;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kGrabRetryMs));
  }
  if (p == GrabSuccess) XUngrabPointer(d, CurrentTime);
  if (k == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
  XFlush(d);
  return false;
}

void ungrab() {
  Display* d = xf_display();
  if (!d || !T().grabbed) return;
  XUngrabPointer(d, CurrentTime);
  XUngrabKeyboard(d, CurrentTime);
  XFlush(d);
  T().grabbed = false;
}

// ----- the run -----

bool start(Run& r) {
  TrackState& t = T();
  t.depth = 0;
  t.tracking = true;
  t.run = &r;
  xfSuspendCaret('h');
  xfPaintAllNow();
  if (!grab(r.owner ? r.owner : xf().main_window)) {
    xfBeep();
    return false;
  }
  return true;
}

void finish(Run& r) {
  TrackState& t = T();
  if (!r.levels.empty()) {
    close_below(r, 0);
    Level& top = r.levels[0];
    if (top.item) xfMenuDrawItem(top.menu, top.item, false);
    top.item = nullptr;
    if (!r.bar) xfHideMenuWindow(r.root, nullptr);
  }
  ungrab();
  send_select(r, nullptr);
  t.tracking = false;
  t.run = nullptr;
  t.depth = 0;
  xfSuspendCaret('s');
  if (r.chosen) {
    uint32_t number = r.chosen->sys_command ? ZWM_SYSCOMMAND : ZWM_COMMAND;
    xfPostMsg(r.owner, number, r.chosen->id, 0x10001);
  } else if (r.help && r.owner) {
    xfPostMsg(r.owner, ZWM_MENUKEY, r.help_id, 0);
  }
}

void loop(Run& r) {
  XfMessage m{};
  while (!r.done && next_message(&m)) {
    switch (m.number) {
      case ZWM_MOUSEMOVE:
        on_motion(r, m);
        break;
      case ZWM_LBUTTONDOWN:
      case ZWM_RBUTTONDOWN:
      case ZWM_MBUTTONDOWN:
        on_press(r, m);
        break;
      case ZWM_LBUTTONUP:
      case ZWM_RBUTTONUP:
      case ZWM_MBUTTONUP:
        on_release(r, m);
        break;
      case ZWM_CHAR:
        on_key(r, m);
        break;
      default:
        break;
    }
  }
}

Window root_window() { return xf().conn.root; }

void screen_size(int32_t* w, int32_t* h) {
  Display* d = xf_display();
  *w = d ? DisplayWidth(d, DefaultScreen(d)) : 1024;
  *h = d ? DisplayHeight(d, DefaultScreen(d)) : 768;
}

GC copy_gc() {
  static Display* made_for = nullptr;
  static GC gc = nullptr;
  Display* d = xf_display();
  if (made_for != d || !gc) {
    XGCValues v{};
    v.subwindow_mode = IncludeInferiors;  // the screen as seen, our windows included
    v.graphics_exposures = False;
    gc = XCreateGC(d, root_window(), GCSubwindowMode | GCGraphicsExposures, &v);
    made_for = d;
  }
  return gc;
}

void save_screen(XfMenu* menu) {
  Display* d = xf_display();
  if (menu->save_under && (menu->save_width < menu->width || menu->save_height < menu->height)) {
    xfFreePixmap(menu->save_under);
    menu->save_under = 0;
  }
  if (!menu->save_under) {
    menu->save_width = std::max(menu->width, 1);
    menu->save_height = std::max(menu->height, 1);
    menu->save_under = XCreatePixmap(d, root_window(), static_cast<unsigned>(menu->save_width),
                                     static_cast<unsigned>(menu->save_height),
                                     static_cast<unsigned>(DefaultDepth(d, DefaultScreen(d))));
    xfRegisterPixmap(menu->save_under);
  }
  XCopyArea(d, root_window(), menu->save_under, copy_gc(), menu->x, menu->y, static_cast<unsigned>(menu->width),
            static_cast<unsigned>(menu->height), 0, 0);
}

void place_window(XfMenu* menu) {
  Display* d = xf_display();
  if (!menu->xwin) {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.event_mask = ExposureMask;
    a.background_pixmap = None;
    a.save_under = True;
    menu->xwin = XCreateWindow(d, root_window(), menu->x, menu->y, static_cast<unsigned>(menu->width),
                               static_cast<unsigned>(menu->height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWEventMask | CWBackPixmap | CWSaveUnder, &a);
  } else if (menu->win_x != menu->x || menu->win_y != menu->y || menu->win_width != menu->width ||
             menu->win_height != menu->height) {
    XMoveResizeWindow(d, menu->xwin, menu->x, menu->y, static_cast<unsigned>(menu->width),
                      static_cast<unsigned>(menu->height));
  }
  menu->win_x = menu->x;
  menu->win_y = menu->y;
  menu->win_width = menu->width;
  menu->win_height = menu->height;
}

}  // namespace

// ----- placement -----

// Reads events until the menu window is exposed; others keep their turn,
// and a release goes on the private stack for the run.
void xf_menu_wait_expose(Window window, uint32_t timeout_ms) {
  XfEventSource& src = xf().events;
  uint32_t start_ms = xfQueryMilliseconds();
  while (xfQueryMilliseconds() - start_ms < timeout_ms) {
    if (src.pending(src.ctx) <= 0) {
      src.wait(src.ctx, 20);
      continue;
    }
    XEvent ev;
    src.next(src.ctx, &ev);
    if (ev.type == Expose && ev.xexpose.window == window) return;
    if (ev.type == ButtonRelease) {
      XfMessage* records[2];
      int count = 0;
      XfWindow* w = nullptr;
      xfTranslateEvent(&ev, &w, records, &count, false);
      for (int i = 0; i < count; ++i) {
        XfMessage* rec = records[i];
        if (rec->number >= ZWM_LBUTTONUP && rec->number <= ZWM_MBUTTONUP)
          post_self(rec->window ? rec->window : xf().main_window, ZWM_LBUTTONUP, rec->mp1, rec->mp2, rec->time);
        xfFreeMsg(rec);
      }
      continue;
    }
    xf_queue_event(&ev);
  }
}

bool xf_menu_take_posted(XfMessage* out) {
  TrackState& t = T();
  if (t.depth == 0) return false;
  *out = t.stack[--t.depth];
  return true;
}

XfMenuPlace xf_menu_place(int32_t x, int32_t y, int32_t width, int32_t height, int32_t screen_width,
                          int32_t screen_height, const XfMenuItem* from, bool from_bar) {
  if (x + width > screen_width) x = (from && !from_bar) ? from->left - (width - 5) : screen_width - width;
  if (y + height > screen_height) y = (from && from_bar) ? from->top - height : screen_height - height;
  // Last, so that a menu larger than the screen keeps its top-left corner on it.
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  return {x, y};
}

void xfShowMenuWindow(XfMenu* menu, int32_t x, int32_t y, XfMenuItem* from) {
  if (!menu) return;
  bool from_bar = from && from->menu && from->menu->type == kMenuBar && from->menu->own_window;
  if (from) {
    x = from_bar ? from->left : from->right - 5;
    y = from_bar ? from->bottom : from->top + 5;
  }
  xfLayoutPopupMenu(menu, x, y, false);
  int32_t sw = 0, sh = 0;
  screen_size(&sw, &sh);
  XfMenuPlace p = xf_menu_place(x, y, menu->width, menu->height, sw, sh, from, from_bar);
  if (p.x != menu->x || p.y != menu->y) xfLayoutPopupMenu(menu, p.x, p.y, true);
  menu->state = kMenuShown;
  Display* d = xf_display();
  if (!d) return;
  save_screen(menu);
  place_window(menu);
  XRaiseWindow(d, menu->xwin);
  XMapWindow(d, menu->xwin);
  XFlush(d);
  xf_menu_wait_expose(menu->xwin, kExposeWaitMs);
  xfPaintPopupMenu(menu);
  XFlush(d);
}

void xfHideMenuWindow(XfMenu* menu, XfMenu*) {
  if (!menu) return;
  menu->state = kMenuHidden;
  Display* d = xf_display();
  if (!d || !menu->xwin) return;
  XUnmapWindow(d, menu->xwin);
  // The saved pixels hold whatever lay under the menu, a parent menu's
  // own pixels included, so they go back whole.
  if (menu->save_under)
    XCopyArea(d, menu->save_under, root_window(), copy_gc(), 0, 0, static_cast<unsigned>(menu->width),
              static_cast<unsigned>(menu->height), menu->x, menu->y);
  XFlush(d);
}

// ----- the decisions -----

XfMenuItem* xf_menu_step(XfMenu* menu, XfMenuItem* from, int32_t direction) {
  if (!menu || menu->count == 0) return nullptr;
  int32_t n = menu->count;
  int32_t at = xfMenuItemPos(menu, from);
  if (at < 0) at = direction > 0 ? n - 1 : 0;
  for (int32_t k = 1; k <= n; ++k) {
    int32_t i = ((at + direction * k) % n + n) % n;
    if (xfMenuItemSelectable(menu->items[i])) return menu->items[i];
  }
  return nullptr;
}

XfMenuItem* xf_menu_first_selectable(XfMenu* menu) {
  if (!menu) return nullptr;
  for (int32_t i = 0; i < menu->count; ++i)
    if (xfMenuItemSelectable(menu->items[i])) return menu->items[i];
  return nullptr;
}

XfMenuItem* xf_menu_mnemonic_item(XfMenu* menu, char c) {
  if (!menu || !c) return nullptr;
  int u = std::toupper(static_cast<unsigned char>(c));
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (xfMenuItemSelectable(it) && it->mnemonic && it->mnemonic_upper == u) return it;
  }
  return nullptr;
}

XfMenuItem* xf_menu_bar_highlight(XfMenu* bar) {
  Run* r = T().run;
  if (!r || !r->bar || r->root != bar || r->levels.empty()) return nullptr;
  return r->levels[0].item;
}

// ----- tracking -----

bool xfMenuTracking() { return T().tracking; }

void xfTrackMenu(XfMenu* menu, char mode, XfWindow* exclusion, int32_t x, int32_t y, int32_t dx, int32_t dy,
                 int32_t click_time, uint32_t repeat_id, XfWindow* owner) {
  if (!menu || T().tracking) return;
  Run r;
  r.root = menu;
  r.owner = command_target(owner ? owner : menu->owner);
  r.motion = mode == kTrackFollow;
  r.click_time = click_time;
  r.repeat_id = repeat_id;
  if (exclusion) {
    r.exclusion = exclusion;
    int32_t ex = 0, ey = 0;
    if (xf_display()) xfWindowRootOrigin(exclusion, &ex, &ey);
    r.ex_left = ex;
    r.ex_top = ey;
    r.ex_right = ex + exclusion->width;
    r.ex_bottom = ey + exclusion->height;
    xfLayoutPopupMenu(menu, ex + dx, r.ex_bottom + dy, false);
    int32_t sw = 0, sh = 0;
    screen_size(&sw, &sh);
    x = ex + dx;
    y = r.ex_bottom + dy;
    if (y + menu->height > sh) y = ey - menu->height;
  }
  if (start(r)) {
    xfShowMenuWindow(menu, x, y, nullptr);
    r.levels.push_back(Level{menu, nullptr, false});
    if (mode == kTrackClick) highlight(r, 0, xf_menu_first_selectable(menu));
    loop(r);
  }
  finish(r);
}

void xfTrackMenuBar(XfMenu* bar, XfMenuItem* item, bool by_key) {
  if (!bar || T().tracking) return;
  Run r;
  r.root = bar;
  r.bar = true;
  r.owner = command_target(bar->owner);
  r.motion = !by_key;
  xfUpdateMenuBar(bar);
  if (start(r)) {
    r.levels.push_back(Level{bar, nullptr, false});
    if (item && item->menu == bar) {
      click(r, item);
      if (!r.levels[0].item) highlight(r, 0, item);
    } else {
      highlight(r, 0, xf_menu_first_selectable(bar));
    }
    loop(r);
  }
  finish(r);
}

void xfOpenMenuBar(XfMenu* bar, XfMenuItem* item, bool by_key) {
  if (!bar || bar->state != kMenuShown) return;
  xfMenuOpenItem(bar, item, by_key);
}

intptr_t xfMenuKeyHook(XfWindow* frame, intptr_t mp1, bool alt_up) {
  XfWindow* barw = frame && frame->kind == XFTYPE_STDFRAME ? frame->k.frame.menubar : nullptr;
  XfMenu* bar = xfMenuOfBar(barw);
  if (!bar) return 0;
  unsigned long keysym = xf_key_keysym(mp1);
  TrackState& t = T();
  if (alt_up) {
    // Alt released as part of a chord (Ctrl or Shift still held, as in the
    // break keys) is no request for the bar.
    bool other = t.other_key || (xf_key_state(mp1) & (ShiftMask | ControlMask)) != 0;
    t.other_key = false;
    if (other) return 0;
    xfOpenMenuBar(bar, nullptr, true);
    return 1;
  }
  if (keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L || keysym == XK_Meta_R) {
    t.other_key = false;  // Alt went down afresh
    return 0;
  }
  if (keysym == XK_F10) {
    xfOpenMenuBar(bar, nullptr, true);
    return 1;
  }
  if (xfIsAltDown() || (xf_key_state(mp1) & xfAltMask())) {
    t.other_key = true;
    if (keysym < 0x100 && std::isalnum(static_cast<int>(keysym))) {
      if (XfMenuItem* it = xf_menu_mnemonic_item(bar, static_cast<char>(keysym))) {
        xfOpenMenuBar(bar, it, true);
        return 1;
      }
    }
  }
  return 0;
}
