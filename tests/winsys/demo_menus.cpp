// A program with a menu bar for the X tests: main -> WinCreateStdWindow ->
// WinCreateMenu/WinSetMenu -> get/dispatch loop. The frame "Menus" stands
// at (20, 20), 400 x 300; its client is painted black. It reports on
// standard output, one line each:
//   ready <frame> <client> <font>         X ids and the menu font's name
//   bar <height>                          the bar's height after a layout
//   baritem <id> <l> <t> <r> <b>          each bar item (screen coordinates)
//   item <id> <l> <t> <r> <b>             the items of a menu, before its first
//   select <id> <x> <y> <w> <h> <xwin>    an item highlighted, with its menu
//   end <beeps>                           tracking ended; bell rings so far
//   command <id> | syscommand <id> | help <id> | initmenu | paint
// Keys typed into the client:
//   p  the context menu at (600, 400), tracked from the keyboard
//   l  report the bar
//   n  the frame 130 wide;  w  the frame 400 wide again
//   h  the frame without its menu;  m  the menu back
//   x  the context menu under the client (the client excluded, moved 10
//      right), a double click on the client choosing Alpha
//   q  quit
// The right button in the client opens the context menu at the pointer.
#include <X11/keysym.h>

#include <cstdio>
#include <set>

#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/menu_track.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

XfWindow* g_frame = nullptr;
XfMenu* g_bar = nullptr;
XfMenu* g_context = nullptr;
std::set<XfMenu*> g_reported;

void fill_black(XfWindow* w) {
  Display* d = xf_display();
  GC gc = xf_scratch_gc();
  XSetForeground(d, gc, BlackPixel(d, DefaultScreen(d)));
  XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(w->width), static_cast<unsigned>(w->height));
}

void report_bar() {
  XfMenu* bar = WinQueryFrameMenu(g_frame);
  if (!bar) return;
  xfUpdateMenuBar(bar);
  std::printf("bar %d\n", bar->height);
  for (int32_t i = 0; i < bar->count; ++i) {
    XfMenuItem* it = bar->items[i];
    if (it->shown == kMenuShown && it->kind == kItemText)
      std::printf("baritem %u %d %d %d %d\n", it->id, it->left, it->top, it->right, it->bottom);
  }
}

void report_select(intptr_t mp1, intptr_t mp2) {
  if (mp1 == 0 && mp2 == 0) {
    std::printf("end %u\n", xf().beeps);
    return;
  }
  auto* m = reinterpret_cast<XfMenu*>(mp2);
  if (g_reported.insert(m).second) {
    for (int32_t i = 0; i < m->count; ++i) {
      XfMenuItem* it = m->items[i];
      if (it->shown == kMenuShown)
        std::printf("item %u %d %d %d %d\n", it->id, it->left, it->top, it->right, it->bottom);
    }
  }
  std::printf("select %ld %d %d %d %d %lu\n", static_cast<long>(mp1), m->x, m->y, m->width, m->height, m->xwin);
}

intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  switch (n) {
    case ZWM_PAINT:
      fill_black(w);
      xfValidateWindow(w);
      std::printf("paint\n");
      return 0;
    case ZWM_COMMAND:
      std::printf("command %ld\n", static_cast<long>(mp1));
      return 0;
    case ZWM_SYSCOMMAND:
      std::printf("syscommand %ld\n", static_cast<long>(mp1));
      return 0;
    case ZWM_MENUKEY:
      std::printf("help %ld\n", static_cast<long>(mp1));
      return 0;
    case ZWM_INITMENU:
      std::printf("initmenu\n");
      return 0;
    case ZWM_MENUSELECT:
      report_select(mp1, mp2);
      return 0;
    case ZWM_RBUTTONDOWN:
      WinTrackPopupMenu(g_context, kTpmButton3, xf_low(mp2), xf_high(mp2), w);
      return 0;
    case ZWM_CHAR:
      switch (xf_key_keysym(mp1)) {
        case 'p':
          WinTrackPopupMenu(g_context, 0, 600, 400, w);
          return 0;
        case 'l':
          report_bar();
          return 0;
        case 'n':
          WinMoveWindow(g_frame, 20, 20, 130, 300, 1);
          return 0;
        case 'w':
          WinMoveWindow(g_frame, 20, 20, 400, 300, 1);
          return 0;
        case 'x':
          xfTrackMenu(g_context, kTrackClick, w, 0, 0, 10, 0, 0, 501, w);
          return 0;
        case 'h':
          WinSetMenu(g_frame, nullptr);
          return 0;
        case 'm':
          WinSetMenu(g_frame, g_bar);
          return 0;
        case 'q':
          WinExit(0);
        default:
          break;
      }
      break;
    default:
      break;
  }
  return WinDefWindowProc(w, n, mp1, mp2);
}

XfMenu* popup(std::initializer_list<std::pair<uint32_t, const char*>> items) {
  XfMenu* m = WinCreateMenu(kMenuKindPopup, g_frame);
  for (auto [id, text] : items) WinInsertMenuItem(m, -1, id, text, 0);
  return m;
}

void build_menus() {
  XfMenu* bar = WinCreateMenu(kMenuKindBar, g_frame);
  XfMenu* file = popup({{101, "&New\tCtrl+N"}, {102, "&Open"}, {0, "-"}});
  XfMenu* recent = popup({{111, "&One"}, {112, "&Two"}});
  WinInsertSubmenu(file, -1, 110, "&Recent", 0, recent);
  WinInsertMenuItem(file, -1, 103, "&Disabled", kMiDisabled);
  WinInsertMenuItem(file, -1, 104, "E&xit", 0);
  XfMenu* edit = popup({{201, "&Undo"}, {202, "&Redo"}});
  WinInsertMenuItem(edit, -1, 203, "&Checked", kMiChecked);
  WinInsertMenuItem(edit, -1, 204, "Sys&tem", kMiSysCommand);
  XfMenu* view = popup({{301, "&Zoom"}});
  XfMenu* help = popup({{401, "&About"}});
  WinInsertSubmenu(bar, -1, 100, "&File", 0, file);
  WinInsertSubmenu(bar, -1, 200, "&Edit", 0, edit);
  WinInsertSubmenu(bar, -1, 300, "&View", 0, view);
  WinInsertSubmenu(bar, -1, 400, "&Help", 0, help);
  WinSetMenu(g_frame, bar);
  g_bar = bar;

  g_context = popup({{501, "&Alpha"}, {502, "&Beta"}, {503, "&Gamma"}});
  XfMenu* more = popup({{511, "&Delta"}, {512, "&Epsilon"}});
  WinInsertSubmenu(g_context, -1, 510, "&More", 0, more);
}

}  // namespace

int main(int, char**) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  xfInitX();
  WinRegisterClass("zx_menus", client_proc, 0, 0);
  constexpr uint32_t kFlags = kFrameTitle | kFrameSysMenu | kFrameSizeBorder;
  g_frame =
      WinCreateStdWindow(0, kFlags, "zx_menus", "Menus", kStyleVisible, 20, 20, 400, 300, nullptr, 1, nullptr, nullptr);
  if (!g_frame) return 1;
  build_menus();
  xfShowFrameAndWait(g_frame);
  XfWindow* client = WinQueryFrameClient(g_frame);
  auto* font = static_cast<XfFont*>(xf().values.menu_font);
  std::printf("ready %lu %lu %s\n", g_frame->xwin, client->xwin, font ? font->name : "-");
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  return 0;
}
