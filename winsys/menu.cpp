// Menu and item records, their pools and registry, the item operations and
// the layout of bars and popups. Drawing and the bar's procedure are in
// menu_draw.cpp; opening and tracking in menu_track.cpp.
#include "winsys/menu.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "winsys/menu_internal.h"
#include "winsys/winquery.h"

namespace {

// Records are cut from blocks that are never given back; a freed record
// goes on a free list and comes back cleared.
template <typename T, int Block>
struct Pool {
  std::vector<std::unique_ptr<T[]>> blocks;
  int taken = Block;
  T* free_list = nullptr;
  int32_t live = 0;

  T* alloc() {
    T* p = free_list;
    if (p) {
      free_list = p->next_free;
    } else {
      if (taken >= Block) {
        blocks.push_back(std::make_unique<T[]>(Block));
        taken = 0;
      }
      p = &blocks.back()[taken++];
    }
    *p = T{};
    ++live;
    return p;
  }
  void release(T* p) {
    *p = T{};  // gives the texts' memory back at once
    p->next_free = free_list;
    free_list = p;
    --live;
  }
};

struct Records {
  Pool<XfMenu, kMenuBlock> menus;
  Pool<XfMenuItem, kMenuItemBlock> items;
  std::vector<XfMenu*> registry;  // every live menu
  Records() = default;
  Records(const Records&) = delete;
  Records& operator=(const Records&) = delete;
  // The pools go at exit with the menus still live in them: their item
  // arrays go too.
  ~Records() {
    for (XfMenu* m : registry) delete[] m->items;
  }
};

Records& R() {
  static Records r;
  return r;
}

void mark(XfMenu* menu) {
  if (menu) menu->needs_layout = true;
}

void grow(XfMenu* menu) {
  if (menu->count < menu->capacity) return;
  int32_t cap = menu->capacity ? menu->capacity * 2 : kMenuFirstCapacity;
  auto* items = new XfMenuItem*[static_cast<size_t>(cap)];
  if (menu->count) std::copy(menu->items, menu->items + menu->count, items);
  delete[] menu->items;
  menu->items = items;
  menu->capacity = cap;
}

// The display text, mnemonic and accelerator of a full text.
struct Split {
  std::string text, accel;
  char mnemonic = 0;
};

Split split_text(const char* full) {
  Split s;
  if (!full) return s;
  auto cap = static_cast<int32_t>(std::strlen(full)) + 1;
  std::vector<char> out(static_cast<size_t>(cap)), accel(static_cast<size_t>(cap));
  int32_t len = 0, accel_len = 0;
  xfSplitMnemonicText(full, out.data(), &s.mnemonic, accel.data(), &len, &accel_len, cap, cap);
  s.text.assign(out.data());
  s.accel.assign(accel.data());
  return s;
}

void set_mnemonic(XfMenuItem* item, char c) {
  item->mnemonic = c;
  item->mnemonic_upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// A cascade's submenu, and every menu below it (they may have been built
// before it was attached), takes its new parent's owner, type and depth.
void adopt(XfMenu* parent, XfMenu* sub) {
  if (!sub) return;
  sub->owner = parent->owner;
  sub->notify = parent->notify;
  sub->type = parent->type;
  sub->depth = parent->depth + 1;
  for (int32_t i = 0; i < sub->count; ++i) adopt(sub, sub->items[i]->submenu);
}

}  // namespace

// ----- records -----

XfMenu* xfNewMenu(XfMenu* parent, XfWindow* owner, char type, XfWindow* window) {
  XfMenu* m = R().menus.alloc();
  m->state = kMenuHidden;
  m->depth = parent ? parent->depth + 1 : 0;
  m->type = type;
  m->window = window;
  m->parent = parent;
  m->needs_layout = m->needs_measuring = true;
  m->owner = owner;
  m->notify = xf_menu_notify_window(owner);
  m->track[2] = 1;
  m->own_window = type == kMenuBar;
  xf_menu_init_colours(m);
  if (type == kMenuBar) {
    m->win_x = m->win_y = m->win_width = m->win_height = -1;
  } else {
    m->win_width = m->win_height = 10;
  }
  auto& reg = R().registry;
  if (std::find(reg.begin(), reg.end(), m) == reg.end()) reg.push_back(m);
  return m;
}

XfMenuItem* xfNewMenuItem(char kind, uint32_t id, const char* text, const char* accel, char mnemonic, Pixmap image,
                          Pixmap mask, bool flag10, bool flag8, bool flag20, bool checked, bool disabled,
                          XfMenu* submenu, const char* full_text) {
  XfMenuItem* it = R().items.alloc();
  it->kind = kind;
  it->id = id;
  it->shown = (kind == kItemSysMenu || kind == kItemRestore) ? kMenuHidden : kMenuShown;
  it->text = text ? text : "";
  it->accel = accel ? accel : "";
  it->full_text = full_text ? full_text : "";
  set_mnemonic(it, mnemonic);
  it->image = image;
  it->mask = mask;
  it->flag10 = flag10;
  it->sys_command = flag8;
  it->flag20 = flag20;
  it->checked = checked;
  it->disabled = disabled;
  it->submenu = submenu;
  if (submenu) submenu->owning_item = it;
  it->text_length = static_cast<int32_t>(it->text.size());
  it->accel_length = static_cast<int32_t>(it->accel.size());
  it->text_width = it->accel_width = it->pre_mnemonic_width = -1;
  return it;
}

void xfFreeMenuItem(XfMenuItem* item) {
  if (!item) return;
  // The submenu outlives a deleted item; it must not point at a freed one.
  if (item->submenu && item->submenu->owning_item == item) item->submenu->owning_item = nullptr;
  R().items.release(item);
}

void xfFreeMenu(XfMenu* menu, bool keep_window) {
  if (!xfMenuIsLive(menu)) return;
  for (int32_t i = 0; i < menu->count; ++i)
    if (XfMenu* sub = menu->items[i]->submenu) xfFreeMenu(sub, keep_window);
  for (int32_t i = 0; i < menu->count; ++i) xfFreeMenuItem(menu->items[i]);
  if (menu->owning_item && menu->owning_item->submenu == menu) menu->owning_item->submenu = nullptr;
  delete[] menu->items;
  xf_menu_free_x(menu, keep_window);
  auto& reg = R().registry;
  reg.erase(std::remove(reg.begin(), reg.end(), menu), reg.end());
  R().menus.release(menu);
}

bool xfMenuIsLive(const XfMenu* menu) {
  if (!menu) return false;
  auto& reg = R().registry;
  return std::find(reg.begin(), reg.end(), menu) != reg.end();
}

int32_t xfMenuCount() { return static_cast<int32_t>(R().registry.size()); }
int32_t xf_menu_live_records() { return R().menus.live; }
int32_t xf_menu_item_live_records() { return R().items.live; }
const std::vector<XfMenu*>& xf_menu_registry() { return R().registry; }

// ----- items -----

void xfMenuAddItem(XfMenu* menu, XfMenuItem* item, int32_t position) {
  if (!menu || !item) return;
  grow(menu);
  int32_t at = position;
  if (at < 0 || at > menu->count) {
    at = menu->count;
    if (at > 0 && menu->items[at - 1]->kind == kItemRestore) --at;  // the restore item stays last
  }
  std::copy_backward(menu->items + at, menu->items + menu->count, menu->items + menu->count + 1);
  menu->items[at] = item;
  ++menu->count;
  item->menu = menu;
  if (item->submenu) item->submenu->parent = menu;
  mark(menu);
}

void xfInsertMenuItem(XfMenu* menu, const XfMenuTemplate* tpl, const char* text) {
  if (!menu || !tpl) return;
  int32_t pos = tpl->position == kTplAppend ? -1 : tpl->position;
  bool checked = tpl->state & kTplChecked, disabled = tpl->state & kTplDisabled;
  XfMenuItem* item = nullptr;
  if (tpl->kind & kTplSeparator) {
    item = xfNewMenuItem(kItemSeparator, tpl->id, "", "", 0, 0, 0, false, false, false, false, false, nullptr, "");
  } else if (tpl->kind & kTplCascade) {
    Split s = split_text(text);
    XfMenu* sub = tpl->submenu;
    item = xfNewMenuItem(kItemText, tpl->id, s.text.c_str(), "", s.mnemonic, 0, 0, false, false, false, checked,
                         disabled, sub, text);
    adopt(menu, sub);
  } else {
    Split s = split_text(text);
    item = xfNewMenuItem(kItemText, tpl->id, s.text.c_str(), s.accel.c_str(), s.mnemonic, 0, 0, tpl->kind & kTplFlag10,
                         tpl->kind & kTplSysCommand, tpl->kind & kTplFlag20, checked, disabled, nullptr, text);
  }
  xfMenuAddItem(menu, item, pos);
}

XfMenuItem* xfMenuRemoveItemAt(XfMenu* menu, int32_t index) {
  if (!menu || menu->count == 0) return nullptr;
  if (index == -1) index = menu->count - 1;
  if (index < 0 || index >= menu->count) return nullptr;
  XfMenuItem* item = menu->items[index];
  std::copy(menu->items + index + 1, menu->items + menu->count, menu->items + index);
  --menu->count;
  mark(menu);
  return item;
}

void xfMenuDeleteItem(XfMenu* menu, uint32_t id) {
  XfMenuItem* item = xfMenuFindItem(menu, id);
  if (!item) return;
  XfMenu* home = item->menu;
  xfFreeMenuItem(xfMenuRemoveItemAt(home, xfMenuItemPos(home, item)));
}

void xfMenuDeleteItemAt(XfMenu* menu, int32_t index) { xfFreeMenuItem(xfMenuRemoveItemAt(menu, index)); }

XfMenuItem* xfMenuItemAt(XfMenu* menu, int32_t index) {
  if (!menu || menu->count == 0) return nullptr;
  if (index == -1) index = menu->count - 1;
  if (index < 0 || index >= menu->count) return nullptr;
  return menu->items[index];
}

XfMenuItem* xfMenuFindItem(XfMenu* menu, uint32_t id) {
  if (!menu) return nullptr;
  for (int32_t i = 0; i < menu->count; ++i)
    if (menu->items[i]->id == id && menu->items[i]->kind != kItemSeparator) return menu->items[i];
  for (int32_t i = 0; i < menu->count; ++i)
    if (XfMenuItem* found = xfMenuFindItem(menu->items[i]->submenu, id)) return found;
  return nullptr;
}

int32_t xfMenuItemIndex(XfMenu* menu, uint32_t id) {
  if (!menu) return -2;
  for (int32_t i = 0; i < menu->count; ++i)
    if (menu->items[i]->id == id) return i;
  return -2;
}

int32_t xfMenuItemPos(XfMenu* menu, const XfMenuItem* item) {
  if (!menu) return -2;
  for (int32_t i = 0; i < menu->count; ++i)
    if (menu->items[i] == item) return i;
  return -2;
}

int32_t xfMenuItemCount(XfMenu* menu) { return menu ? menu->count : 0; }

void xfSetMenuItemText(XfMenuItem* item, const char* full_text) {
  if (!item) return;
  const char* full = full_text ? full_text : "";
  if (item->full_text == full) return;
  item->full_text = full;
  Split s = split_text(full);
  if (s.text != item->text) {
    item->text = s.text;
    item->text_length = static_cast<int32_t>(s.text.size());
    item->text_width = item->pre_mnemonic_width = -1;
  }
  if (s.accel != item->accel) {
    item->accel = s.accel;
    item->accel_length = static_cast<int32_t>(s.accel.size());
    item->accel_width = -1;
  }
  if (s.mnemonic != item->mnemonic) {
    set_mnemonic(item, s.mnemonic);
    item->pre_mnemonic_width = -1;
  }
  mark(item->menu);
}

void xfMenuSetItemText(XfMenu* menu, uint32_t id, const char* full_text) {
  xfSetMenuItemText(xfMenuFindItem(menu, id), full_text);
}

const char* xfMenuQueryItemText(XfMenu* menu, uint32_t id) {
  XfMenuItem* item = xfMenuFindItem(menu, id);
  return item ? item->text.c_str() : "";
}

void xfMenuSetItemChecked(XfMenu* menu, uint32_t id, bool flag) {
  if (XfMenuItem* item = xfMenuFindItem(menu, id)) item->checked = flag;
}

void xfMenuSetItemDisabled(XfMenu* menu, uint32_t id, bool flag) {
  if (XfMenuItem* item = xfMenuFindItem(menu, id)) item->disabled = flag;
}

void xfMenuSetItemState(XfMenu* menu, const XfMenuTemplate* tpl) {
  if (!tpl) return;
  if (XfMenuItem* item = xfMenuFindItem(menu, tpl->id)) {
    item->checked = tpl->state & kTplChecked;
    item->disabled = tpl->state & kTplDisabled;
  }
}

void xfMenuAddSysMenuItem(XfMenu* menu, XfMenuItem* item) {
  if (!menu || !item || xfMenuSysMenuItem(menu)) return;
  xfMenuAddItem(menu, item, 0);
}

void xfMenuAddRestoreItem(XfMenu* menu, XfMenuItem* item) {
  if (!menu || !item || xfMenuRestoreItem(menu)) return;
  grow(menu);
  menu->items[menu->count++] = item;  // at the very end, past any append rule
  item->menu = menu;
  mark(menu);
}

XfMenuItem* xfMenuSysMenuItem(XfMenu* menu) {
  XfMenuItem* first = xfMenuItemAt(menu, 0);
  return first && first->kind == kItemSysMenu ? first : nullptr;
}

XfMenuItem* xfMenuRestoreItem(XfMenu* menu) {
  XfMenuItem* last = xfMenuItemAt(menu, -1);
  return last && last->kind == kItemRestore ? last : nullptr;
}

namespace {
void show_item(XfMenu* menu, XfMenuItem* item, char state) {
  if (!item) return;
  char s = state == kMenuShown ? kMenuShown : kMenuHidden;
  if (item->shown == s) return;
  item->shown = s;
  mark(menu);
}
}  // namespace

void xfMenuShowSysMenuItem(XfMenu* menu, char state) { show_item(menu, xfMenuSysMenuItem(menu), state); }
void xfMenuShowRestoreItem(XfMenu* menu, char state) { show_item(menu, xfMenuRestoreItem(menu), state); }

bool xfMenuItemSelectable(const XfMenuItem* item) {
  return item && item->kind == kItemText && item->shown == kMenuShown;
}

// ----- layout -----

namespace {

int32_t text_width(XfMenu* menu, XfMenuItem* it) {
  if (menu->needs_measuring || it->text_width < 0) it->text_width = xfMenuTextWidth(it->text.c_str(), -1);
  return it->text_width;
}

int32_t accel_width(XfMenu* menu, XfMenuItem* it) {
  if (it->accel.empty()) return 0;
  if (menu->needs_measuring || it->accel_width < 0) it->accel_width = xfMenuTextWidth(it->accel.c_str(), -1);
  return it->accel_width;
}

void image_item(XfMenuItem* it, int32_t row) {
  xf_menu_item_image(it);
  it->width = it->image_width + 12;
  it->bottom = it->top + row;
  it->image_x = it->left + 6;
  it->image_y = it->top + (row - it->image_height) / 2;
}

}  // namespace

void xf_menu_place_underline(XfMenu* menu, XfMenuItem* it) {
  it->ul_x1 = it->ul_x2 = 0;
  it->ul_y = it->baseline + 2;
  if (!it->mnemonic) return;
  auto at = it->text.find(it->mnemonic);
  if (at == std::string::npos) return;
  if (menu->needs_measuring || it->pre_mnemonic_width < 0)
    it->pre_mnemonic_width = xfMenuTextWidth(it->text.c_str(), static_cast<int32_t>(at));
  it->ul_x1 = it->text_x + it->pre_mnemonic_width;
  it->ul_x2 = it->ul_x1 + xf_menu_char_width(static_cast<unsigned char>(it->mnemonic));
}

void xfLayoutMenuBar(XfMenu* menu, int32_t x, int32_t y, int32_t width, bool force) {
  if (!menu) return;
  if (!force && !menu->needs_layout && !menu->needs_measuring && x == menu->x && y == menu->y && width == menu->width)
    return;
  const int32_t a = xfMenuAscent();
  int32_t row = a + 12;
  if (XfMenuItem* first = xfMenuItemAt(menu, 0); first && first->kind == kItemSysMenu) {
    xf_menu_item_image(first);
    row = std::max(row, first->image_height + 8);
  }
  const int32_t b = (row - a) / 2 + a;
  int32_t cx = x + 2, cy = y + 2;
  bool row_start = true;
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->shown != kMenuShown) continue;
    it->left = cx;
    it->top = cy;
    it->height = row;
    if (it->kind == kItemSysMenu) {
      image_item(it, row);
      cx += it->width;
      it->right = cx;
      row_start = false;
      continue;
    }
    if (it->kind == kItemRestore) {
      xf_menu_item_image(it);
      it->width = it->image_width + 12;
    } else {
      bool fresh = menu->needs_measuring || it->text_width < 0 || it->width <= 0;
      int32_t tw = text_width(menu, it);
      if (fresh) it->width = tw + 12;
    }
    cx += it->width;
    if (!row_start && cx > x + width - 2) {  // past the bar's right end?
      cy += row;
      it->left = x + 2;
      it->top = cy;
      cx = it->left + it->width;
    }
    row_start = false;
    if (it->kind == kItemRestore) {
      it->left = x + width - (it->width + 2);
      it->right = x + width - 2;
      image_item(it, row);
      continue;
    }
    it->right = cx;
    it->bottom = it->top + row;
    it->text_x = it->left + 6;
    it->baseline = it->top + b - 1;
    xf_menu_place_underline(menu, it);
  }
  menu->x = x;
  menu->y = y;
  menu->width = width;
  menu->height = cy + row + 2 - y;
  menu->right = x + width;
  menu->bottom = y + menu->height;
  menu->needs_layout = menu->needs_measuring = false;
}

void xfLayoutPopupMenu(XfMenu* menu, int32_t x, int32_t y, bool force) {
  if (!menu) return;
  if (!force && !menu->needs_layout && !menu->needs_measuring && x == menu->x && y == menu->y) return;
  const int32_t a = xfMenuAscent(), r = a + 12;
  int32_t cy = y + 2, content = 0;
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->shown != kMenuShown) continue;
    it->left = x + 2;
    it->top = cy;
    it->height = r;
    if (it->kind == kItemSeparator) {
      cy += 2;
      continue;
    }
    int32_t tw = text_width(menu, it);
    int32_t right_part = it->submenu ? 15 : accel_width(menu, it);
    content = std::max(content, right_part ? tw + right_part + 70 : tw + 40);
    cy += r;
    it->text_x = it->left + 20;
    it->baseline = it->top + a + 5;
    xf_menu_place_underline(menu, it);
  }
  menu->x = x;
  menu->y = y;
  menu->width = content + 4;
  menu->height = std::max(cy + 2 - y, r);
  menu->right = x + menu->width;
  menu->bottom = y + menu->height;
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->shown != kMenuShown) continue;
    it->width = content;
    it->right = it->left + content;
    if (it->kind == kItemSeparator) {
      it->height = 2;
      it->bottom = it->top + 2;
      continue;
    }
    it->bottom = it->top + r;
    if (it->submenu)
      it->accel_x = x + menu->width - 22 - 15;
    else if (!it->accel.empty())
      it->accel_x = x + menu->width - 22 - accel_width(menu, it);
    else
      it->accel_x = 0;
  }
  menu->needs_layout = menu->needs_measuring = false;
}

void xfRelayoutSubmenus(XfMenu* menu) {
  if (!menu) return;
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->submenu) xfLayoutPopupMenu(it->submenu, it->left, it->bottom, true);
  }
}

XfMenuItem* xfMenuItemFromPoint(XfMenu* menu, int32_t x, int32_t y) {
  if (!menu) return nullptr;
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->shown == kMenuShown && it->left <= x && x < it->right && it->top <= y && y < it->bottom) return it;
  }
  return nullptr;
}
