// A program of the window API with an MDI client, for the X tests:
// main -> WinCreateStdWindow -> WinCreateMDIClient -> five children ->
// get/dispatch loop. The frame is "App"; the children "child1".."child5"
// (class "zx_mdichild", both scroll bars); the frame's menu bar holds the
// Window menu start at (10 + 30i, 10 + 30i),
// 250 x 180. It reports on standard output, one line each:
//   ready <frame> <mdi client>                    X ids
//   child <i> <frame> <state> <x> <y> <w> <h> <area> <title> <sysmenu> <min> <max> <holder> <face> <light> <dark>
//   title <the frame's title>
//   menu <id> <checked> <text>                   the Window menu's items
//   metrics <T> <B> <S>
//   xerr <protocol errors survived>
//   closed <child title>, frameclose, activate <child title>
//   done <key>                                    after a key's command
// Keys typed into a child's client area (the active one has the focus):
//   x maximise, n minimise (the next normal child becomes active), r restore
//   (the active child); t tile side by side,
//   h tile stacked, c cascade, a arrange icons, 1..9 activate that child,
//   k size with the keyboard, w report, z fifteen more children in a
//   300-pixel client, then tile; q quit.
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

#include "winsys/focus.h"
#include "winsys/mdi.h"
#include "winsys/mdi_winapi.h"
#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

XfWindow* g_frame = nullptr;
XfWindow* g_client = nullptr;

unsigned long xid(XfWindow* w) { return w ? w->xwin : 0; }

void report() {
  const auto& kids = xf_mdi_children();
  for (size_t i = 0; i < kids.size(); ++i) {
    XfWindow* f = kids[i];
    const XfMdiChildWords& c = f->k.mdi;
    std::printf("child %zu %lu %c %d %d %d %d %lu %lu %lu %lu %lu %lu %lu %lu %lu\n", i + 1, xid(f), xfMdiQueryState(f),
                f->x, f->y, f->width, f->height, xid(c.client), xid(c.title), xid(c.sysmenu), xid(c.min_button),
                xid(c.max_button), xid(c.icon_holder), f->bg, f->light, f->dark);
  }
  std::printf("title %s\n", g_frame->text ? g_frame->text : "");
  if (auto* menu = static_cast<XfMenu*>(xfMdiWindowMenu(g_client))) {
    for (int32_t i = 0; i < WinQueryMenuItemCount(menu); ++i) {
      char text[128];
      WinQueryMenuItemText(menu, static_cast<uint32_t>(i), text, sizeof text, 1);
      XfMenuItem* item = xfMenuItemAt(menu, i);
      std::printf("menu %u %d %s\n", item ? item->id : 0, item && item->checked ? 1 : 0, text);
    }
  }
  XfMdiMetrics m = xf_mdi_metrics();
  std::printf("metrics %d %d %d\n", m.title, m.border, m.scroll);
  std::printf("xerr %u\n", xf_x_error_count());
}

void fill_white(XfWindow* w) {
  Display* d = xf_display();
  GC gc = xf_scratch_gc();
  XSetForeground(d, gc, WhitePixel(d, DefaultScreen(d)));
  XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(w->width), static_cast<unsigned>(w->height));
}

XfWindow* make_child(int i, int32_t x, int32_t y, int32_t w, int32_t h) {
  std::string title = "child" + std::to_string(i);
  return WinCreateMDIChild(g_client, 0, 6, "zx_mdichild", title.c_str(), x, y, w, h, 0, nullptr, nullptr);
}

void command(XfWindow* area, int key) {
  XfWindow* child = xf_mdi_frame_of(area);
  XfWindow* active = xfMdiGetActive(g_client);
  switch (key) {
    case 'x':
      if (active) WinShowWindow(active, 3);
      break;
    case 'n':
      if (active) WinSetWindowState(active, 'I');
      break;
    case 'r':
      if (active) WinShowWindow(active, 1);
      break;
    case 't':
      WinMDITile(g_client, 0);
      break;
    case 'h':
      WinMDITile(g_client, 2);
      break;
    case 'c':
      WinMDICascade(g_client);
      break;
    case 'a':
      WinMDIIconArrange(g_client);
      break;
    case 'k':
      if (child) WinPostMsg(area, ZWM_SYSCOMMAND, kMdiCmdSize, 0);
      break;
    case 'w':
      report();
      break;
    case 'z': {
      for (int i = 0; i < 15; ++i) make_child(6 + i, 5 * i, 5 * i, 200, 150);
      // The frame's client becomes 300 x 300.
      WinMoveWindow(g_frame, kDefault, kDefault, 300, 300, 1);
      WinMDITile(g_client, 0);
      WinMDITile(g_client, 2);
      break;
    }
    case 'q':
      WinExit(0);
    default:
      if (key >= '1' && key <= '9') {
        size_t n = static_cast<size_t>(key - '1');
        if (n < xf_mdi_children().size()) WinMDIActivate(nullptr, xf_mdi_children()[n], 1);
      }
      break;
  }
  if (Display* d = xf_display()) XSync(d, False);
  std::printf("done %c\n", key);
}

intptr_t child_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  switch (n) {
    case ZWM_PAINT:
      fill_white(w);
      xfValidateWindow(w);
      return 0;
    case ZWM_CHAR:
      command(w, static_cast<int>(mp1 & 0xFFFF));
      return 0;
    case ZWM_CLOSE: {
      XfWindow* child = xf_mdi_frame_of(w);
      std::printf("closed %s\n", child && child->text ? child->text : "?");
      WinMDIDestroy(nullptr, child);
      return 0;
    }
    case ZWM_MDIACTIVATE:
      if (mp2 == reinterpret_cast<intptr_t>(w)) {
        XfWindow* child = xf_mdi_frame_of(w);
        std::printf("activate %s\n", child && child->text ? child->text : "?");
      }
      return 0;
    default:
      return WinDefMDIChildProc(w, n, mp1, mp2);
  }
}

intptr_t frame_client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  switch (n) {
    case ZWM_SIZE:
      if (g_client) xfMoveSizeWindow(g_client, 0, 0, w->width, w->height, nullptr);
      return 0;
    case ZWM_CLOSE:
      std::printf("frameclose\n");
      return 0;
    case ZWM_COMMAND:
      return WinMDIFrameCommand(nullptr, g_client, n, mp1, mp2);
    case ZWM_PAINT:
      xfValidateWindow(w);
      return 0;
    default:
      return WinDefWindowProc(w, n, mp1, mp2);
  }
}

}  // namespace

int main(int, char**) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  xfInitX();
  WinRegisterClass("zx_mdiframe", frame_client_proc, 0, 0);
  WinRegisterClass("zx_mdichild", child_proc, 0, 0);
  constexpr uint32_t kFlags =
      kFrameTitle | kFrameSysMenu | kFrameMinButton | kFrameMaxButton | kFrameSizeBorder | kFrameMenuBar;
  g_frame = WinCreateStdWindow(0, kFlags, "zx_mdiframe", "App", kStyleVisible, 20, 20, 640, 480, nullptr, 1, nullptr,
                               nullptr);
  if (!g_frame) return 1;
  xfSetAppFrame(g_frame);
  // A menu bar with the Window menu (item 0x4201) that lists the children.
  XfMenu* bar = WinCreateMenu(kMenuKindBar, g_frame);
  XfMenu* window_menu = WinCreateMenu(kMenuKindPopup, g_frame);
  WinInsertMenuItem(window_menu, -1, kMdiTileV, "&Tile", 0);
  WinInsertMenuItem(window_menu, -1, kMdiCascade, "&Cascade", 0);
  WinInsertSubmenu(bar, -1, kMdiWindowMenuItem, "&Window", 0, window_menu);
  WinSetMenu(g_frame, bar);
  XfWindow* inner = WinQueryFrameClient(g_frame);
  g_client = WinCreateMDIClient(inner, 1000, 0);
  xfMoveSizeWindow(g_client, 0, 0, inner->width, inner->height, nullptr);
  xfShowFrameAndWait(g_frame);
  for (int i = 0; i < 5; ++i) make_child(i + 1, 10 + 30 * i, 10 + 30 * i, 250, 180);
  if (Display* d = xf_display()) XSync(d, False);
  std::printf("ready %lu %lu\n", g_frame->xwin, g_client->xwin);
  report();
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  return 0;
}
