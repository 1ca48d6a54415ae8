// The system menu of free-standing frames (see frame_sysmenu.h).
#include "winsys/frame_sysmenu.h"

#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/menu_track.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace {

constexpr unsigned long kKeySpace = 0x20;
constexpr uint32_t kShift = 1, kCtrl = 4, kAlt = 8;  // key message states

bool is_std_frame(const XfWindow* w) {
  return w && xf_is_live_window(w) && w->kind == XFTYPE_STDFRAME && !w->k.frame.outer_of_ctlframe;
}

}  // namespace

void xfFrameSysMenuFill(XfMenu* menu) {
  for (const XfFrameSysMenuRow& r : kFrameSysMenuRows) {
    const bool separator = r.text[0] == '-' && r.text[1] == 0;
    XfMenuTemplate t{kTplAppend, static_cast<uint16_t>(separator ? kTplSeparator : (kTplText | kTplSysCommand)), 0,
                     r.id, nullptr};
    xfInsertMenuItem(menu, &t, r.text);
  }
}

XfMenu* xfFrameSysMenuCreate(XfWindow* frame) {
  if (!is_std_frame(frame)) return nullptr;
  if (frame->k.frame.sysmenu) return static_cast<XfMenu*>(frame->k.frame.sysmenu);
  XfMenu* menu = WinCreateMenu(0, frame->k.frame.client ? frame->k.frame.client : frame);
  if (!menu) return nullptr;
  xfFrameSysMenuFill(menu);
  frame->k.frame.sysmenu = menu;
  return menu;
}

XfWindow* xfFrameSysMenuFrame(XfWindow* window) {
  for (XfWindow* w = window; w && w != kDesktop; w = w->tree_parent) {
    if (!xf_is_live_window(w) || w->kind == XFTYPE_MDITOPFRAME) return nullptr;  // an MDI child's own
    if (w->kind == XFTYPE_STDFRAME) {
      if (w->k.frame.mdi_client || !w->k.frame.sysmenu) return nullptr;
      return w;
    }
  }
  return nullptr;
}

XfMenu* xfFrameSysMenu(XfWindow* window) {
  XfWindow* frame = xfFrameSysMenuFrame(window);
  return frame ? static_cast<XfMenu*>(frame->k.frame.sysmenu) : nullptr;
}

bool xfFrameSysMenuOpen(XfWindow* window) {
  XfWindow* frame = xfFrameSysMenuFrame(window);
  if (!frame) return false;
  XfWindow* client = frame->k.frame.client ? frame->k.frame.client : frame;
  auto* menu = static_cast<XfMenu*>(frame->k.frame.sysmenu);
  int32_t x = 0, y = 0;
  xfWindowRootOrigin(client, &x, &y);
  menu->owner = client;
  xfTrackMenu(menu, kTrackClick, nullptr, x, y, 0, 0, kNoClickTime, kNoRepeatId, client);
  return true;
}

bool xf_frame_sysmenu_key(XfWindow* focus, intptr_t mp1) {
  if (xf_key_keysym(mp1) != kKeySpace) return false;
  const uint32_t state = xf_key_state(mp1);
  if (!(state & kAlt) || (state & (kShift | kCtrl))) return false;
  return xfFrameSysMenuOpen(focus);
}

int xfFrameSysCommand(XfWindow* client, uint32_t command) {
  XfWindow* frame = xfFrameSysMenuFrame(client);
  if (!frame) return 0;
  switch (command & 0xFFFF) {
    case 0x4001:  // minimise
      WinSetWindowState(frame, 'I');
      return 1;
    case 0x4002:  // maximise
      WinSetWindowState(frame, 'M');
      return 1;
    case 0x4003:  // restore
      WinSetWindowState(frame, 'N');
      return 1;
    case kSysCmdHide:
      WinShowWindow(frame, 0);
      return 1;
    case 0x4007:  // close
      if (frame->k.frame.client) xfSendMsg(frame->k.frame.client, ZWM_CLOSE, 0, 0);
      return 1;
    case 0x4004:  // size and move: the window manager's
    case 0x4005:
      return 1;
    default:
      return 0;
  }
}

void xf_frame_sysmenu_release(XfWindow* frame) {
  if (!frame || frame->kind != XFTYPE_STDFRAME || !frame->k.frame.sysmenu) return;
  auto* menu = static_cast<XfMenu*>(frame->k.frame.sysmenu);
  frame->k.frame.sysmenu = nullptr;
  xfFreeMenu(menu, false);
}
