#include "winsys/winapi.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>

#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/frame_sysmenu.h"
#include "winsys/keyboard.h"
#include "winsys/mdi.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winapi_ctlframe.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

constexpr uint32_t kFocusChange = 10;
constexpr uint32_t kQueryTrackInfo = 32;
constexpr uint32_t kMsg21 = 33;
constexpr uint32_t kPartMinMax = 0xFF00;
constexpr uint32_t kPartSysMenu = 0xFF01;
constexpr uint32_t kPartTitle = 0xFF04;
constexpr uint32_t kNoSubclass = 0x200000;

bool is_mouse(uint32_t n) { return n >= ZWM_MOUSEMOVE && n <= ZWM_MBUTTONDBLCLK; }
bool live(XfWindow* w) { return w && w != kDesktop && xf_is_live_window(w); }

struct ApiState {
  WinMenuKeyEntry menu_key = nullptr;
  void* create_params = nullptr;
  // Saved procedures of the sub-classed part kinds and of frames.
  XfProc saved_minmax = xfNullProc, saved_sysmenu = xfNullProc, saved_hsb = xfNullProc, saved_vsb = xfNullProc,
         saved_title = xfNullProc, saved_menu = xfNullProc, saved_frame = xfDefWindowProc;
};
ApiState& api() {
  static ApiState s;
  return s;
}

XfWindow* part_of(XfWindow* frame, uint32_t id) { return live(frame) ? xfWindowFromId(frame, id) : nullptr; }

// The client of the frame a part belongs to.
XfWindow* client_of_part(XfWindow* part) {
  XfWindow* frame = part && part->parent ? part->parent : nullptr;
  return part_of(frame, kPartClient);
}

}  // namespace

// ----- words -----

uint32_t WinCommonOffset() {
  uint32_t most = 0;
  for (const char* name : {kButtonClass, kScrollBarClass, kStaticClass}) {
    XfClassInfo info{};
    if (xfQueryClassInfo(name, &info)) most = std::max(most, info.word_bytes);
  }
  // Rounded to a whole slot so the saved procedure is aligned.
  most = (most + kWinWordSlot - 1) / kWinWordSlot * kWinWordSlot;
  return most + 8;
}

uint32_t WinClassWordBytes() { return WinCommonOffset() + kWinWordSlot * (1 + kFormsWordSlots); }

uint32_t WinFormsWordOffset(int n) {
  return WinCommonOffset() + kWinWordSlot * (1 + static_cast<uint32_t>(std::clamp(n, 0, kFormsWordSlots - 1)));
}

int32_t WinRegisterClass(const char* name, XfProc procedure, uint32_t, int32_t style) {
  WinRegisterBuiltinClasses();
  return xfRegisterClass(name, procedure, style | 0x80000, WinClassWordBytes(), nullptr);
}

int32_t WinRegisterSubclass(const char* base_name, const char* name, XfProc procedure, uint32_t, int32_t style) {
  WinRegisterBuiltinClasses();
  return xfRegisterClass(name, procedure, style & ~0x300000, WinClassWordBytes(), base_name);
}

void WinRegisterBuiltinClasses() {
  // Group boxes made directly keep the layer's own procedure; the control
  // frames get theirs here.
  XfClass* found = nullptr;
  if (xfFindClass(kCtlFrameClass, &found) == 0) return;
  xfRegisterClass(kCtlFrameClass, WinCtlFrameProc, 0, 0, nullptr);
  xfRegisterClass(kStaticClass, WinCtlFrameProc, 0, 0, nullptr);
}

int WinQueryClassInfo(const char* name, WinClassInfo* info) {
  XfClassInfo i{};
  int r = xfQueryClassInfo(name, &i);
  if (info) *info = WinClassInfo{i.style, i.proc, i.word_bytes};
  return r;
}

// ----- program -----

void WinExit(int code) {
  xfShutdownX();
  std::exit(code);
}

int WinTerminate() { return 1; }

// ----- messages -----

int WinGetMsg(XfMessage* m, XfWindow* w, uint32_t first, uint32_t last) { return xfGetMsg(m, w, first, last); }
int WinPeekMsg(XfMessage* m, XfWindow* w, uint32_t first, uint32_t last, uint32_t flags) {
  return xfPeekMsg(m, w, first, last, flags);
}
intptr_t WinDispatchMsg(XfMessage* m) { return xfDispatchMsg(m); }
intptr_t WinSendMsg(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) { return xfSendMsg(w, n, mp1, mp2); }
void WinPostMsg(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) { xfPostMsg(w, n, mp1, mp2); }

void WinSetMenuKeyEntry(WinMenuKeyEntry entry) { api().menu_key = entry; }

intptr_t WinCallDefProc(XfProc procedure, XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  switch (number) {
    case ZWM_SETPOINTER:
      xfSetPointer(window, xfQuerySysPointer(window, 1));
      return 0;
    case ZWM_CHAR:
    case ZWM_ALTUP: {
      bool alt = xfIsAltDown();
      if (number == ZWM_ALTUP || (mp1 & 0xFFFF) == 0xFFC7 || alt) {
        void* menu = xfQueryFrameMenu(window);
        if (!menu) menu = xfQueryFrameMenu(xfFrameOfWindow(window));  // a client's keys reach its frame's bar
        if (menu && api().menu_key) api().menu_key(menu, window, mp1, number);
        return 0;
      }
      break;
    }
    case ZWM_HITTEST:
      return mp1;
    case ZWM_MOUSEACTIVATE: {
      XfWindow* up = live(window) ? window->parent : nullptr;
      if (live(window) && window->id == kPartClient && up) up = up->parent;
      if (WinIsTopLevelWindow(up)) return 1;
      return xfSendMsg(up, number, mp1, mp2);
    }
    default:
      break;
  }
  return procedure ? procedure(window, number, mp1, mp2) : 0;
}

intptr_t WinDefWindowProc(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  if (is_mouse(number)) return 0;
  return WinCallDefProc(xfDefWindowProc, window, number, mp1, mp2);
}

void WinMouseMsgPos(XfWindow*, intptr_t mp1, intptr_t, int32_t* x, int32_t* y) {
  *x = xf_low(mp1);
  *y = xf_high(mp1);
}

// ----- windows -----

int WinDestroyWindow(XfWindow* window) {
  if (live(window) && window->kind == XFTYPE_MDITOPFRAME) {
    xfMdiDestroy(window);  // out of the Window menu, another child activated
    return 1;
  }
  xfDestroyWindow(window);
  return 1;
}

int WinShowWindow(XfWindow* window, int32_t command) {
  uint32_t flags = 0;
  switch (command) {
    case 0:
      flags = 0x20;
      break;
    case 1:
    case 9:
      flags = 0x200;
      break;
    case 2:
      flags = 0x94;
      break;
    case 3:
      flags = 0x98;
      break;
    case 4:
      flags = 0x80;
      break;
    case 5:
      flags = 0x90;
      break;
    default:
      flags = 0;
      break;
  }
  return xfSetWindowPos(window, reinterpret_cast<XfWindow*>(2), 0, 0, 0, 0, flags);
}

int WinMoveWindow(XfWindow* window, int32_t x, int32_t y, int32_t cx, int32_t cy, int redraw) {
  xfSetWindowPos(window, nullptr, x, y, cx, cy, redraw ? 3 : 0x803);
  return 1;
}

int WinSetWindowState(XfWindow* window, int32_t state) {
  uint32_t flags = state == 'I' ? 4 : state == 'M' ? 8 : 0x200;
  return xfSetWindowPos(window, nullptr, 0, 0, 0, 0, flags);
}

int32_t WinQueryWindowState(XfWindow* window) { return static_cast<int32_t>(xfQueryWindowState(window)); }

int WinSetActiveWindow(XfWindow* window) {
  xfSetWindowPos(window, reinterpret_cast<XfWindow*>(2), 0, 0, 0, 0, 0x410);
  return 1;
}

int WinQueryWindowRect(XfWindow* window, WinRect* rect) {
  if (window == kDesktop) {
    int32_t w = 0, h = 0;
    xfQueryScreenSize(&w, &h);
    *rect = {0, 0, w, h};
    return 1;
  }
  *rect = live(window) ? WinRect{0, 0, window->width, window->height} : WinRect{0, 0, 0, 0};
  return 1;
}

int WinGetWindowRect(XfWindow* window, WinRect* rect) {
  XfRectLBRT r{};
  int result = xfQueryWindowBounds(window, &r);
  *rect = {r.left, r.top, r.right, r.bottom};
  return result;
}

int WinQueryUpdateRect(XfWindow* window, WinRect* rect) {
  *rect = {0, 0, 0, 0};
  if (!live(window) || !window->update.valid) return 0;
  const XfUpdateRegion& u = window->update;
  *rect = {u.left, u.top, u.right + 1, u.bottom + 1};
  return 1;
}

void WinInvalidateRect(XfWindow* window, const WinRect* rect) {
  if (!live(window)) return;
  if (!rect) {
    xfInvalidateRect(window, nullptr);
    return;
  }
  XfRectLTRB r{rect->left, rect->top, rect->right, rect->bottom};
  xfInvalidateRect(window, &r);
}

int WinPtInRect(const WinRect* r, int32_t x, int32_t y) {
  return r && x >= r->left && x < r->right && y >= r->top && y < r->bottom;
}

void WinMapWindowPoints(XfWindow* from, XfWindow* to, int32_t* points, int32_t count) {
  for (int32_t i = 0; i < count; ++i) xfMapPoint(from, to, points + 2 * i);
}

// ----- related windows -----

XfWindow* WinQueryParent(XfWindow* w) { return live(w) ? xfQueryWindow(w, 1) : nullptr; }

XfWindow* WinGetWindow(XfWindow* w, int32_t command) {
  if (!live(w)) return nullptr;
  switch (command) {
    case 2:
      return xfQueryWindow(w, 5);
    case 3:
      return xfQueryWindow(w, 6);
    case 4:
      return xfQueryWindow(w, 1);
    case 5:
      return xfQueryWindow(w, 2);
    default:
      return nullptr;
  }
}

int WinIsTopLevelWindow(XfWindow* w) { return !w || w == kDesktop || !xfQueryWindow(w, 1); }

XfWindow* WinFrameFromClient(XfWindow* w) { return live(w) && w->id == kPartClient ? w->parent : w; }
XfWindow* WinQueryFrameClient(XfWindow* frame) { return part_of(frame, kPartClient); }
XfWindow* WinQueryFramePart(XfWindow* frame, uint32_t id) { return part_of(frame, id); }

// ----- words -----

intptr_t WinQueryWindowULong(XfWindow* w, uint32_t offset) {
  if (offset >= 0x7FFFFF00u) return xfQueryWindowULong(w, offset);
  return static_cast<intptr_t>(xfQueryWindowUShort(w, offset) | (xfQueryWindowUShort(w, offset + 2) << 16));
}

void WinSetWindowULong(XfWindow* w, uint32_t offset, intptr_t value) {
  if (offset >= 0x7FFFFF00u) return xfSetWindowULong(w, offset, value);
  xfSetWindowUShort(w, offset, static_cast<uint32_t>(value) & 0xFFFF);
  xfSetWindowUShort(w, offset + 2, (static_cast<uint32_t>(value) >> 16) & 0xFFFF);
}

namespace {
XfProc installed(XfWindow* w) { return live(w) ? w->proc : nullptr; }
XfProc saved_proc(XfWindow* w) { return reinterpret_cast<XfProc>(xfQueryWindowULong(w, WinCommonOffset())); }
void save_proc(XfWindow* w, XfProc p) { xfSetWindowULong(w, WinCommonOffset(), reinterpret_cast<intptr_t>(p)); }
}  // namespace

intptr_t WinQueryWindowLong(XfWindow* w, int32_t index) {
  if (!live(w)) return 0;
  switch (index) {
    case 0:
      return reinterpret_cast<intptr_t>(installed(w) == WinStdWindowProc ? saved_proc(w) : installed(w));
    case 1:
      return w->id & 0xFFFF;
    case 2:
      return reinterpret_cast<intptr_t>(installed(w));
    default:
      return 0;
  }
}

void WinSetWindowLong(XfWindow* w, int32_t index, intptr_t value) {
  if (!live(w)) return;
  auto p = reinterpret_cast<XfProc>(value);
  switch (index) {
    case 0:
      if (installed(w) == WinStdWindowProc)
        save_proc(w, p);
      else
        w->proc = p;
      break;
    case 1:
      w->id = static_cast<uint32_t>(value) & 0xFFFF;
      break;
    case 2:
      w->proc = p;
      break;
    default:
      break;
  }
}

int WinQueryRestoreRect(XfWindow* w, WinRect* rect) {
  auto word = [&](uint32_t id) { return static_cast<int32_t>(static_cast<int16_t>(xfQueryWindowUShort(w, id))); };
  int32_t x = word(kWordRestoreX), y = word(kWordRestoreY), cx = word(kWordRestoreWidth), cy = word(kWordRestoreHeight);
  *rect = {x, y, x + cx, y + cy};
  return 1;
}

int WinSetRestoreRect(XfWindow* w, int32_t x, int32_t y, int32_t cx, int32_t cy) {
  xfSetWindowUShort(w, kWordRestoreX, static_cast<uint32_t>(x) & 0xFFFF);
  xfSetWindowUShort(w, kWordRestoreY, static_cast<uint32_t>(y) & 0xFFFF);
  xfSetWindowUShort(w, kWordRestoreWidth, static_cast<uint32_t>(cx) & 0xFFFF);
  xfSetWindowUShort(w, kWordRestoreHeight, static_cast<uint32_t>(cy) & 0xFFFF);
  return 1;
}

int WinSetIconPos(XfWindow* w, int32_t x, int32_t y) {
  xfSetWindowUShort(w, kWordIconX, static_cast<uint32_t>(x) & 0xFFFF);
  if (x == -1 || y == -1) {
    xfSetWindowUShort(w, kWordIconY, 0);
    return 1;
  }
  if (WinQueryWindowState(w) == 'I') xfSetWindowPos(w, nullptr, x, y, 0, 0, 1);
  xfSetWindowUShort(w, kWordIconY, static_cast<uint32_t>(y) & 0xFFFF);
  return 1;
}

int WinQueryIconPos(XfWindow* w, int32_t* x, int32_t* y) {
  *x = static_cast<int32_t>(xfQueryWindowUShort(w, kWordIconX));
  *y = static_cast<int32_t>(xfQueryWindowUShort(w, kWordIconY));
  if (*x == 0xFFFF && *y == 0) *y = -1;
  return 1;
}

// ----- values, timers, capture -----

int32_t WinQuerySysValue(int32_t id) { return xfQuerySysValue(nullptr, id); }

uint32_t WinStartTimer(XfWindow* w, uint32_t id, uint32_t ms) {
  return xfStartTimer(w, id & 0xFFFF, ms, nullptr, nullptr);
}

int WinStopTimer(XfWindow* w, uint32_t id) {
  xfStopTimer(w, id & 0xFFFF);
  return 1;
}

intptr_t WinSetCapture(XfWindow* w) {
  xfSetCapture(w);
  return xfSendMsg(w, ZWM_SETPOINTER, reinterpret_cast<intptr_t>(w), 1);
}

int WinReleaseCapture() {
  XfWindow* held = xfQueryCapture();
  xfReleaseCapture(held);
  return 1;
}

// ----- standard frames -----

void* WinCreateParams() {
  if (void* p = xf_mdi_create_param()) return p;
  return api().create_params;
}

void WinSetCreateParams(void* data) { api().create_params = data; }

intptr_t WinStdWindowProc(XfWindow* w, uint32_t number, intptr_t mp1, intptr_t mp2) {
  XfProc p = saved_proc(w);
  if (number == kFocusChange) {
    if (p) p(w, (mp2 & 0xFFFF) ? ZWM_SETFOCUS : ZWM_KILLFOCUS, mp1, mp2);
    return 0;
  }
  if (is_mouse(number)) return WinMouseToClient(w, w, number, mp1, mp2, 1);
  return p ? p(w, number, mp1, mp2) : 0;
}

namespace {

XfProc effective(XfWindow* w) {
  auto p = reinterpret_cast<XfProc>(WinQueryWindowLong(w, 0));
  return p ? p : xfDefWindowProc;
}

// Whether the focus lies inside the client's standard frame.
bool focus_inside(XfWindow* client) {
  XfWindow* frame = xfFrameOfWindow(client);
  for (XfWindow* f = xfQueryFocus(); live(f); f = f->parent) {
    if (f == frame) return true;
    if (f->kind == XFTYPE_STDFRAME) return false;
  }
  return false;
}

}  // namespace

intptr_t WinMouseToClient(XfWindow* part, XfWindow* client, uint32_t number, intptr_t mp1, intptr_t mp2, int32_t hit) {
  if (!live(client)) return 0;
  for (XfWindow* w = client; live(w); w = w->parent) {
    if (xfBlockDisabledInput(w, number)) return 0;
    if (w->kind == XFTYPE_STDFRAME) break;
  }
  intptr_t r = xfSendMsg(client, ZWM_HITTEST, hit, mp1);
  if (number == ZWM_MOUSEMOVE && r == 1 && !xfQueryCapture())
    effective(client)(client, ZWM_SETPOINTER, reinterpret_cast<intptr_t>(client), 1);
  if (r <= 0) return 0;
  XfWindow* frame = part->kind == XFTYPE_STDFRAME ? part : part->parent;
  if (r == 1) {
    if (part != client && number <= ZWM_MBUTTONDOWN) {
      int32_t pt[2] = {xf_low(mp1), xf_high(mp1)};
      xfMapPoint(part, client, pt);
      mp1 = xf_mouse_moved(mp1, pt[0], pt[1]);
    }
    if (number == ZWM_MOUSEMOVE || (number >= ZWM_LBUTTONUP && number <= ZWM_MBUTTONUP))
      return effective(client)(client, number, mp1, mp2);
    intptr_t a =
        xfSendMsg(client, ZWM_MOUSEACTIVATE, 0, xf_pack(static_cast<int32_t>(hit), static_cast<int32_t>(number)));
    if ((a == 1 || a == 2) && !focus_inside(client)) xfSetFocus(WinQueryFrameClient(xfFrameOfWindow(client)));
    if (a == 1 || a == 3) return effective(client)(client, number, mp1, mp2);
    return 0;
  }
  struct Route {
    int32_t hit;
    uint32_t id;
    XfProc ApiState::*saved;
  };
  static const Route kRoutes[] = {
      {2, kPartTitle, &ApiState::saved_title},   {3, kPartSysMenu, &ApiState::saved_sysmenu},
      {5, kPartMenu, &ApiState::saved_menu},     {6, kPartHsb, &ApiState::saved_hsb},
      {7, kPartVsb, &ApiState::saved_vsb},       {8, kPartMinMax, &ApiState::saved_minmax},
      {9, kPartMinMax, &ApiState::saved_minmax},
  };
  if (r == 18) {
    if (!live(frame)) return 0;
    return api().saved_frame ? api().saved_frame(frame, number, mp1, mp2) : 0;
  }
  for (const Route& route : kRoutes) {
    if (route.hit != r) continue;
    XfWindow* target = part_of(frame, route.id);
    XfProc proc = api().*route.saved;
    return target && proc ? proc(target, number, mp1, mp2) : 0;
  }
  return 0;
}

intptr_t WinPartMouse(XfWindow* part, XfWindow* client, uint32_t number, intptr_t mp1, intptr_t mp2, int32_t hit,
                      XfProc old) {
  if (is_mouse(number)) return WinMouseToClient(part, client, number, mp1, mp2, hit);
  return old ? old(part, number, mp1, mp2) : 0;
}

namespace {

#define ZVX_PART_PROC(name, hit, field)                                             \
  intptr_t name(XfWindow* part, uint32_t n, intptr_t mp1, intptr_t mp2) {           \
    return WinPartMouse(part, client_of_part(part), n, mp1, mp2, hit, api().field); \
  }
ZVX_PART_PROC(minmax_proc, 8, saved_minmax)
ZVX_PART_PROC(sysmenu_proc, 3, saved_sysmenu)
ZVX_PART_PROC(hsb_proc, 6, saved_hsb)
ZVX_PART_PROC(vsb_proc, 7, saved_vsb)
ZVX_PART_PROC(title_proc, 2, saved_title)
#undef ZVX_PART_PROC
intptr_t menu_proc(XfWindow* part, uint32_t n, intptr_t mp1, intptr_t mp2) {
  return api().saved_menu ? api().saved_menu(part, n, mp1, mp2) : 0;
}

struct PartKind {
  uint32_t flag, id;
  XfProc proc;
  XfProc ApiState::*saved;
  bool clear_style;
};
// In the order parts are sub-classed.
const PartKind kPartKinds[] = {
    {kFrameMenuBar, kPartMenu, menu_proc, &ApiState::saved_menu, false},
    {kFrameMinMax, kPartMinMax, minmax_proc, &ApiState::saved_minmax, true},
    {kFrameSysMenu, kPartSysMenu, sysmenu_proc, &ApiState::saved_sysmenu, true},
    {kFrameHorzScroll, kPartHsb, hsb_proc, &ApiState::saved_hsb, true},
    {kFrameVertScroll, kPartVsb, vsb_proc, &ApiState::saved_vsb, true},
    {kFrameTitle, kPartTitle, title_proc, &ApiState::saved_title, false},
};

void subclass_part(XfWindow* frame, const PartKind& k) {
  XfWindow* part = part_of(frame, k.id);
  if (!part) {
    api().*k.saved = xfNullProc;
    return;
  }
  if (k.clear_style) part->style &= ~kNoSubclass;
  api().*k.saved = xfSubclassWindow(part, k.proc);
}

}  // namespace

void WinSubclassFramePart(XfWindow* frame, uint32_t frame_flag) {
  for (const PartKind& k : kPartKinds) {
    if (k.flag == frame_flag) subclass_part(frame, k);
  }
}

namespace {

void give_std_proc(XfWindow* w) {
  if (!live(w)) return;
  XfProc old = xfSubclassWindow(w, WinStdWindowProc);
  save_proc(w, old);
}

}  // namespace

XfProc WinSubclassFrame(XfWindow* frame) {
  XfProc old = xfSubclassWindow(frame, WinFrameSubclassProc);
  api().saved_frame = old;
  return old;
}

intptr_t WinFrameSubclassProc(XfWindow* frame, uint32_t number, intptr_t mp1, intptr_t mp2) {
  XfProc f = api().saved_frame ? api().saved_frame : xfDefWindowProc;
  XfWindow* client = part_of(frame, kPartClient);
  if (is_mouse(number)) {
    WinPartMouse(frame, client, number, mp1, mp2, 18, f);
    return 0;
  }
  switch (number) {
    case ZWM_SYSCOMMAND: {
      if (!client) return f(frame, number, mp1, mp2);
      XfWindow* target = client;
      intptr_t cmd = mp1;
      if (mp1 & 0x4000) {
        XfWindow* mdi = part_of(client, kMdiClientId);
        target = mdi ? xfFirstChild(mdi) : nullptr;
        cmd = mp1 & ~0x4000;
      }
      if (live(target) && target->proc) target->proc(target, number, cmd, mp2);
      return 0;
    }
    case kQueryTrackInfo: {
      f(frame, number, mp1, mp2);
      if (mp2) {
        auto* words = reinterpret_cast<int32_t*>(mp2);
        words[14] = 2 * WinQuerySysValue(1);
        words[15] = 2 * WinQuerySysValue(2);
      }
      return 1;
    }
    case kMsg21:
      return 0;
    default:
      return f(frame, number, mp1, mp2);
  }
}

XfWindow* WinCreateStdWindow(uint32_t create_flags, uint32_t frame_flags, const char* class_name, const char* title,
                             uint32_t style, int32_t x, int32_t y, int32_t cx, int32_t cy, XfWindow* parent,
                             uint32_t id, void* create_data, const char* frame_class) {
  WinRegisterBuiltinClasses();
  if (!frame_class && (create_flags & 0x600) == 0x600) {
    frame_class = kCtlFrameClass;
    if (frame_flags & 1) style |= kCtlPlainBorder;
  }
  // A frame class makes the client itself, from this record.
  WinFrameCreateData frame_data{16, create_data, class_name, style};
  api().create_params = frame_class ? &frame_data : create_data;
  bool default_pos = x == kWinDefaultPos;
  int32_t lx = default_pos ? kDefault : x, ly = default_pos ? kDefault : y;
  if (create_flags & kCreateChild) {
    XfWindow* w = xfCreateWindow(parent, frame_class ? frame_class : class_name, title, style, lx, ly, cx, cy, parent,
                                 nullptr, id);
    give_std_proc(frame_class ? part_of(w, kPartClient) : w);
    api().create_params = nullptr;
    return w;
  }
  if (frame_class) {
    XfWindow* client = nullptr;
    XfWindow* frame = xfCreateFrame(parent, style, frame_flags | 0x200, frame_class, title, nullptr, nullptr, id,
                                    &client, lx, ly, default_pos ? kDefault : cx, default_pos ? kDefault : cy);
    api().create_params = nullptr;
    if (!frame) return nullptr;
    give_std_proc(part_of(frame, kPartClient));
    return frame;
  }
  uint32_t flags = frame_flags | 0x200;
  if (create_flags & 0x100) flags |= 0x400;
  if (default_pos) flags |= 0x800;
  XfWindow* client = nullptr;
  XfWindow* frame = xfCreateFrame(parent, style, flags, class_name, title, nullptr, nullptr, id, &client, lx, ly,
                                  default_pos ? kDefault : cx, default_pos ? kDefault : cy);
  if (!frame) return nullptr;
  for (const PartKind& k : kPartKinds) {
    if (frame_flags & k.flag) subclass_part(frame, k);
  }
  give_std_proc(part_of(frame, kPartClient));
  WinSubclassFrame(frame);
  if (frame_flags & kFrameSysMenu) xfFrameSysMenuCreate(frame);
  if (!default_pos) xfSetWindowPos(frame, nullptr, x, y, cx, cy, 3);
  uint32_t show = 0x10;
  if (create_flags & kCreateMinimised) show = 0x14;
  if (create_flags & kCreateMaximised) show += 8;
  if (style & kStyleVisible)
    show |= 0x80;
  else
    show &= ~0x10u;
  if (show) xfSetWindowPos(frame, reinterpret_cast<XfWindow*>(2), 0, 0, 0, 0, show);
  return frame;
}
