// The portable menu calls: texts come with '&' mnemonics and become the
// menu layer's '~' form; flags become item templates.
#include "winsys/menu_api.h"

#include <algorithm>
#include <cstring>

#include "winsys/menu_track.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/winapi_scroll.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

uint16_t state_of(uint32_t flags) {
  uint16_t s = 0;
  if (flags & kMiChecked) s |= kTplChecked;
  if (flags & kMiDisabled) s |= kTplDisabled;
  return s;
}

uint16_t position_of(int32_t position) {
  return position < 0 || position >= kTplAppend ? kTplAppend : static_cast<uint16_t>(position);
}

const char* converted(const char* text) { return WinMnemonicText(text ? text : ""); }

bool is_frame(XfWindow* w) { return w && w != kDesktop && w->kind == XFTYPE_STDFRAME; }

}  // namespace

XfMenu* WinCreateMenu(int32_t kind, XfWindow* owner) {
  if (owner == nullptr) owner = kDesktop;
  if (kind == kMenuKindBar) {
    if (!is_frame(owner)) return nullptr;
    XfWindow* inner = owner->k.frame.inner ? owner->k.frame.inner : owner;
    return xfCreateMenuBarMenu(owner, inner, owner, nullptr, 10, 100, 80, 30);
  }
  return xfCreatePopupMenu(owner);
}

int WinDestroyMenu(XfMenu* menu) {
  xfFreeMenu(menu, false);
  return 1;
}

int WinInsertMenuItem(XfMenu* menu, int32_t position, uint32_t id, const char* text, uint32_t flags) {
  if (!menu) return 0;
  XfMenuTemplate t{};
  t.position = position_of(position);
  t.kind = (text && std::strcmp(text, "-") == 0) ? kTplSeparator : kTplText;
  if (flags & kMiSysCommand) t.kind |= kTplSysCommand;
  t.state = state_of(flags);
  t.id = id;
  xfInsertMenuItem(menu, &t, converted(text));
  return 1;
}

int WinInsertSubmenu(XfMenu* menu, int32_t position, uint32_t id, const char* text, uint32_t flags, XfMenu* submenu) {
  if (!menu) return 0;
  XfMenuTemplate t{};
  t.position = position_of(position);
  t.kind = kTplText | kTplCascade;
  t.state = (flags & kMiDisabled) ? kTplDisabled : 0;
  t.id = id;
  t.submenu = submenu;
  xfInsertMenuItem(menu, &t, converted(text));
  return 1;
}

void WinModifyMenuItem(XfMenu* menu, void*, uint32_t id, XfMenu* submenu, const char* text, uint32_t flags) {
  if (!menu) return;
  XfMenuTemplate t{};
  t.state = state_of(flags);
  t.id = id;  // the item's own id, also for a cascade: id 0 would change another item
  xfMenuSetItemState(menu, &t);
  XfMenuItem* item = xfMenuFindItem(menu, id);
  if (item && submenu && item->submenu != submenu) {
    if (item->submenu && item->submenu->owning_item == item) item->submenu->owning_item = nullptr;
    item->submenu = submenu;
    submenu->owning_item = item;
    submenu->parent = item->menu;
    if (item->menu) item->menu->needs_layout = true;
  }
  xfSetMenuItemText(item, converted(text));
}

void WinDeleteMenuItem(XfMenu* menu, uint32_t key, int by_position) {
  if (!menu) return;
  if (by_position)
    xfMenuDeleteItemAt(menu, static_cast<int32_t>(key));
  else
    xfMenuDeleteItem(menu, key);
}

int WinSetMenuItemText(XfMenu* menu, uint32_t key, const char* text, int by_position) {
  if (!menu) return 0;
  XfMenuItem* item = by_position ? xfMenuItemAt(menu, static_cast<int32_t>(key)) : xfMenuFindItem(menu, key);
  xfSetMenuItemText(item, converted(text));
  return 0;
}

int WinQueryMenuItemText(XfMenu* menu, uint32_t key, char* buffer, int32_t size, int by_position) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (!menu) return 0;
  XfMenuItem* item = by_position ? xfMenuItemAt(menu, static_cast<int32_t>(key)) : xfMenuFindItem(menu, key);
  if (!item) return 0;
  size_t n = std::min(item->full_text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, item->full_text.data(), n);
  buffer[n] = 0;
  return 0;
}

int32_t WinQueryMenuItemCount(XfMenu* menu) { return xfMenuItemCount(menu); }

XfMenu* WinQueryFrameMenu(XfWindow* frame) {
  if (!is_frame(frame)) return nullptr;
  return xfMenuOfBar(frame->k.frame.menubar);
}

int WinLayoutFrame(XfWindow* frame) {
  if (!is_frame(frame)) return 0;
  xfLayoutFrame(frame);
  return 1;
}

int WinSetMenu(XfWindow* frame, XfMenu* menu) {
  if (!is_frame(frame)) return 0;
  XfMenu* shown = WinQueryFrameMenu(frame);
  if (!menu) {
    if (!shown) return 1;
    xfShowMenuBar(shown, kMenuHidden);
    frame->k.frame.menubar = nullptr;
    xfSendMsg(frame, ZWM_SIZE, 0, 0);
    return 1;
  }
  if (!menu->own_window || !menu->window) return 0;
  if (shown && shown != menu) {
    xfShowMenuBar(shown, kMenuHidden);
    frame->k.frame.menubar = nullptr;
  }
  frame->k.frame.menubar = menu->window;
  WinLayoutFrame(frame);
  xfUpdateMenuBar(menu);
  xfShowMenuBar(menu, kMenuShown);
  xfInvalidateRect(menu->window, nullptr);
  xfSendMsg(frame, ZWM_SIZE, 0, 0);
  return 1;
}

char xf_popup_track_mode(uint32_t flags, uint32_t button_state) {
  struct Named {
    uint32_t flag, mask;
  };
  static constexpr Named kNamed[] = {
      {kTpmButton3, Button3Mask}, {kTpmButton2, Button2Mask}, {kTpmButton1, Button1Mask}};
  for (const Named& n : kNamed)
    if (flags & n.flag) return (button_state & n.mask) ? kTrackClick : kTrackFollow;
  return kTrackClick;
}

int WinTrackPopupMenu(XfMenu* menu, uint32_t flags, int32_t x, int32_t y, XfWindow* owner) {
  char mode = xf_popup_track_mode(flags, xf().xlate.last_state);
  xfTrackMenu(menu, mode, nullptr, x, y, 0, 0, kNoClickTime, kNoRepeatId, owner);
  return 1;
}

void WinMenuSelectMnemonic(XfWindow* frame, void*, char c) {
  XfMenu* bar = WinQueryFrameMenu(frame);
  if (XfMenuItem* item = xf_menu_mnemonic_item(bar, c)) xfOpenMenuBar(bar, item, true);
}

void WinSetMenuKeyHook(XfMenuKeyHook hook) { xfSetMenuKeyHook(hook); }
