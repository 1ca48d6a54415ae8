#include "winsys/mdi_winapi.h"

#include "winsys/focus.h"
#include "winsys/mdi.h"
#include "winsys/mdi_internal.h"
#include "winsys/menu_api.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

constexpr int32_t kDefaultPlace = static_cast<int32_t>(0x80000000u);
constexpr int32_t kCascadeStep = 25;

struct Place {
  int32_t x = 0, y = 0;
};
Place& place() {
  static Place p;
  return p;
}

bool live_client(XfWindow* w) { return w && xf_is_live_window(w) && w->kind == XFTYPE_MDICLIENT; }

}  // namespace

XfWindow* WinCreateMDIClient(XfWindow* frame_client, uint32_t first_id, intptr_t) {
  place() = Place{};
  return xfCreateMdiClient(frame_client, kMdiClientId, first_id);
}

XfWindow* WinQueryMDIClient(XfWindow* window) { return xfWindowFromId(window, kMdiClientId); }

XfWindow* WinCreateMDIChild(XfWindow* client, uint32_t style, uint32_t frame_flags, const char* class_name,
                            const char* title, int32_t x, int32_t y, int32_t cx, int32_t cy, intptr_t, void*,
                            void* data) {
  if (!live_client(client)) return nullptr;
  if (x == kDefaultPlace) {
    cx = client->width * 27 / 40;
    cy = client->height * 27 / 40;
    Place& p = place();
    if (client->width < cx + p.x || client->height < cy + p.y) p = Place{};
    x = p.x;
    y = p.y;
    p.x += kCascadeStep;
    p.y += kCascadeStep;
  }
  XfWindow* child =
      xfCreateMdiChild(title, (style & 0x1800) | 0x800000, frame_flags | 248, class_name, x, y, cx, cy, client, data);
  if (!child) return nullptr;
  if (XfWindow* area = child->k.mdi.client) xfSetFocus(area);
  int32_t command = (style & 0x1000) ? 3 : (style & 0x800) ? 2 : 5;
  WinShowWindow(child, command);
  return xf_is_live_window(child) ? child : nullptr;
}

int WinMDIActivate(XfWindow*, XfWindow* child, int activate) {
  if (activate) {
    xfMdiActivateOrMaximize(child);
  } else {
    xfMdiDeactivate(child);
  }
  return 1;
}

int WinMDIDestroy(XfWindow*, XfWindow* child) {
  xfMdiDestroy(child);
  return 1;
}

XfWindow* WinMDIGetActive(XfWindow* client) { return xfMdiGetActive(client); }

int WinMDISetMenu(XfWindow* client, void* menu, void* window_menu) {
  if (!live_client(client)) return 0;
  XfWindow* app = xf_mdi_app_frame(client);
  if (app && menu) WinSetMenu(app, static_cast<XfMenu*>(menu));
  xfMdiSetWindowMenu(client, window_menu);
  XfWindow* a = xfMdiGetActive(client);
  if (a && xfMdiQueryState(a) == 'M') xfMdiMergeSysMenu(a, 'c');
  if (XfWindow* frame = xf_mdi_app_frame(client)) xfLayoutFrame(frame);
  return 1;
}

int WinMDITile(XfWindow* client, uint32_t flags) {
  xfMdiTile(client, !(flags & 2));
  return 1;
}

int WinMDICascade(XfWindow* client) {
  xfMdiCascade(client);
  return 1;
}

int WinMDIIconArrange(XfWindow* client) {
  xfMdiArrangeIcons(client);
  return 1;
}

uint32_t WinMDIMoreWindowsId(XfWindow*) { return xfMdiMoreWindowsId(); }

intptr_t WinMDIFrameCommand(XfWindow*, XfWindow* client, uint32_t number, intptr_t mp1, intptr_t) {
  if (number == ZWM_COMMAND) xfMdiClientCommand(client, static_cast<uint32_t>(mp1 & 0xFFFF));
  return 1;
}

int WinMDIMenuMerge(XfWindow*, XfWindow* child) {
  xfMdiMergeSysMenu(child, 'c');
  return 1;
}

int WinMDIMenuUnmerge(XfWindow* frame) {
  if (!frame || !xf_is_live_window(frame) || frame->kind != XFTYPE_STDFRAME) return 0;
  XfWindow* a = xfMdiGetActive(frame->k.frame.mdi_client);
  if (a) xfMdiMergeSysMenu(a, 'd');
  return 1;
}

intptr_t WinDefMDIChildProc(XfWindow* area, uint32_t number, intptr_t mp1, intptr_t mp2) {
  if (number == ZWM_SYSCOMMAND && (mp1 & 0xFFFF) == kMdiCmdClose) {
    xfSendMsg(area, ZWM_CLOSE, 0, 0);
    return 0;
  }
  // The child's own activation; the API's default would ask the MDI client,
  // which asks the active child again.
  if (number == ZWM_MOUSEACTIVATE || number == ZWM_HITTEST) return xfMdiChildDefProc(area, number, mp1, mp2);
  return WinCallDefProc(xfMdiChildDefProc, area, number, mp1, mp2);
}

void* WinQueryMDISysMenu(XfWindow* window) {
  return window && xf_is_live_window(window) && window->kind == XFTYPE_MDITOPFRAME ? xfMdiSysMenu(window) : nullptr;
}
