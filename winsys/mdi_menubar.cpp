// The MDI layer on the window layer's own menus: the Window menu and the
// system menus as XfMenu records, the system menu opened under its button,
// and the maximised child's items in the application frame's menu bar.
#include <cstring>

#include "winsys/mdi_internal.h"
#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/menu_track.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

XfMenu* M(void* menu) { return static_cast<XfMenu*>(menu); }

// The child an entry of the Window menu stands for: the one holding its id.
XfWindow* child_with_entry(uint32_t id) {
  if (!id) return nullptr;
  for (XfWindow* w : xf_mdi_children()) {
    if (w->k.mdi.menu_id == id) return w;
  }
  return nullptr;
}

XfMdiMenuItem read_item(void* menu, int32_t pos) {
  XfMdiMenuItem out;
  XfMenuItem* it = xfMenuItemAt(M(menu), pos);
  if (!it) return out;
  out.id = it->id;
  out.text = it->kind == kItemSeparator ? "-" : it->full_text;
  out.checked = it->checked;
  out.grayed = it->disabled;
  out.sys_command = it->sys_command;
  out.data = child_with_entry(it->id);
  return out;
}

void insert_item(void* menu, int32_t pos, const XfMdiMenuItem& item) {
  XfMenuTemplate t{};
  t.position = pos < 0 ? kTplAppend : static_cast<uint16_t>(pos);
  t.kind = item.text == "-" ? kTplSeparator : kTplText;
  if (item.sys_command) t.kind |= kTplSysCommand;
  t.state = static_cast<uint16_t>((item.checked ? kTplChecked : 0) | (item.grayed ? kTplDisabled : 0));
  t.id = item.id;
  xfInsertMenuItem(M(menu), &t, item.text.c_str());
}

XfMenu* bar_menu(XfWindow* child) {
  XfWindow* app = xf_mdi_app_frame(child->parent);
  return app ? WinQueryFrameMenu(app) : nullptr;
}

void refresh(XfMenu* bar) {
  xfUpdateMenuBar(bar);
  if (bar->window) xfInvalidateRect(bar->window, nullptr);
}

void merge_items(XfWindow* child, char mode) {
  XfMenu* bar = bar_menu(child);
  if (!bar) return;
  if (mode == 'd') {
    xfMenuShowSysMenuItem(bar, kMenuHidden);
    xfMenuShowRestoreItem(bar, kMenuHidden);
    if (XfMenuItem* item = xfMenuSysMenuItem(bar)) {
      xfMenuRemoveItemAt(bar, xfMenuItemPos(bar, item));
      XfMenu* sub = item->submenu;
      item->submenu = nullptr;
      if (sub) xfFreeMenu(sub, false);
      xfFreeMenuItem(item);
    }
    refresh(bar);
    return;
  }
  XfMenuItem* item = xfMenuSysMenuItem(bar);
  if (!item) {
    XfMenu* pop = xfNewMenu(bar, nullptr, kMenuPopup, xf().main_window);
    for (auto [id, text] :
         {std::pair{kMdiCmdMove, "~Move"}, std::pair{kMdiCmdSize, "~Size"}, std::pair{kMdiCmdMaximise, "Ma~ximize"}}) {
      XfMenuTemplate t{kTplAppend, static_cast<uint16_t>(kTplText | kTplSysCommand), kTplDisabled, id, nullptr};
      xfInsertMenuItem(pop, &t, text);
    }
    item = xfNewMenuItem(kItemSysMenu, kMdiSysCascadeId, "", "", 0, 0, 0, false, false, false, false, false, pop, "");
    pop->owning_item = item;
    xfMenuAddSysMenuItem(bar, item);
  }
  if (item->submenu) item->submenu->owner = child->k.mdi.client;
  xfMenuShowSysMenuItem(bar, kMenuShown);
  xfMenuShowRestoreItem(bar, kMenuShown);
  refresh(bar);
}

}  // namespace

void* xf_mdi_menu_create() {
  XfMenu* m = WinCreateMenu(kMenuKindPopup, nullptr);
  xfSetMenuColor(m, xf().values.mdi_active);
  return m;
}
void xf_mdi_menu_destroy(void* menu) {
  if (xfMenuIsLive(M(menu))) WinDestroyMenu(M(menu));
}
int32_t xf_mdi_menu_count(void* menu) { return xfMenuItemCount(M(menu)); }
XfMdiMenuItem xf_mdi_menu_item(void* menu, int32_t pos) { return read_item(menu, pos); }
void xf_mdi_menu_insert(void* menu, int32_t pos, const XfMdiMenuItem& item) { insert_item(menu, pos, item); }
void xf_mdi_menu_remove(void* menu, int32_t pos) { xfMenuDeleteItemAt(M(menu), pos); }
void xf_mdi_menu_set_text(void* menu, int32_t pos, const char* text) {
  if (XfMenuItem* it = xfMenuItemAt(M(menu), pos)) {
    xfSetMenuItemText(it, text);
    M(menu)->needs_layout = M(menu)->needs_measuring = true;
  }
}
void xf_mdi_menu_set_id(void* menu, int32_t pos, uint32_t id) {
  if (XfMenuItem* it = xfMenuItemAt(M(menu), pos)) it->id = id;
}
void xf_mdi_menu_set_check(void* menu, int32_t pos, bool on) {
  if (XfMenuItem* it = xfMenuItemAt(M(menu), pos)) it->checked = on;
}
void xf_mdi_menu_set_gray(void* menu, int32_t pos, bool on) {
  if (XfMenuItem* it = xfMenuItemAt(M(menu), pos)) it->disabled = on;
}
void xf_mdi_menu_merge(XfWindow* child, char mode) { merge_items(child, mode); }
void* xf_mdi_window_menu_of_bar(XfWindow* frame) {
  XfMenu* bar = WinQueryFrameMenu(frame);
  XfMenuItem* it = bar ? xfMenuFindItem(bar, kMdiWindowMenuItem) : nullptr;
  return it ? it->submenu : nullptr;
}

void xf_mdi_open_sys_menu(XfWindow* child, XfWindow* at, void* menu) {
  if (!menu || !child->k.mdi.client) return;
  int32_t x = 0, y = 0;
  xfWindowRootOrigin(at, &x, &y);
  M(menu)->owner = child->k.mdi.client;
  // Below the button, which keeps the menu open on the opening click and
  // makes a second click choose Close.
  xfTrackMenu(M(menu), kTrackClick, at, x, y + at->height, 0, 0, static_cast<int32_t>(xfQueryMilliseconds()),
              kMdiCmdClose, child->k.mdi.client);
}
