// The menus the MDI layer keeps: each child's system menu and the
// application's Window menu (the numbered list of children), as the window
// layer's own menus (XfMenu) behind an untyped handle. Texts are in the menu
// layer's form: '~' marks the mnemonic and "~~" is a literal tilde.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winsys/window_rec.h"

struct XfMdiMenuItem {
  uint32_t id = 0;
  std::string text;  // "-" for a separator
  XfWindow* data = nullptr;
  bool checked = false;
  bool grayed = false;
  bool sys_command = false;  // chosen, it sends ZWM_SYSCOMMAND
};

// ----- the menu operations (over the window layer's menus) -----
// A new popup menu, and freeing one.
void* xf_mdi_menu_create();
void xf_mdi_menu_destroy(void* menu);
int32_t xf_mdi_menu_count(void* menu);
// The item at pos (an empty item when there is none).
XfMdiMenuItem xf_mdi_menu_item(void* menu, int32_t pos);
// pos -1 appends.
void xf_mdi_menu_insert(void* menu, int32_t pos, const XfMdiMenuItem& item);
void xf_mdi_menu_remove(void* menu, int32_t pos);
void xf_mdi_menu_set_text(void* menu, int32_t pos, const char* text);
void xf_mdi_menu_set_id(void* menu, int32_t pos, uint32_t id);
void xf_mdi_menu_set_check(void* menu, int32_t pos, bool on);
void xf_mdi_menu_set_gray(void* menu, int32_t pos, bool on);
// The maximised child's items in its application frame's menu bar: 'c'
// shows them, 'd' hides and drops them.
void xf_mdi_menu_merge(XfWindow* child, char mode);
// The pop-up of a frame's menu-bar item 0x4201 (the Window menu), or none.
void* xf_mdi_window_menu_of_bar(XfWindow* frame);
// Opens a child's system menu under the window `at`.
void xf_mdi_open_sys_menu(XfWindow* child, XfWindow* at, void* menu);

// The position of the item with the id, or -1.
int32_t xf_mdi_menu_find(void* menu, uint32_t id);

// A text in the menu layer's form: a literal '~' doubled.
std::string xf_mdi_menu_literal(const char* text);

// The system menu of a child: Restore (grayed), Move, Size, Minimize,
// Maximize, a separator, Close, a separator, Next.
void* xf_mdi_create_sys_menu();
// Grays exactly the items with the ids in `gray`, enables the others.
void xf_mdi_gray_sys_menu(void* menu, std::initializer_list<uint32_t> gray);

// ----- the Window menu -----
// Ids from the first id F: separator F - 1, entry k (1..9) F - 1 + k,
// "More Windows..." F + 10, every child without an entry F + 11.
struct XfMdiMenuIds {
  uint32_t first = 0;
  uint32_t separator() const { return first - 1; }
  uint32_t entry(int32_t k) const { return first - 1 + static_cast<uint32_t>(k); }
  uint32_t more() const { return first + 10; }
  uint32_t unlisted() const { return first + 11; }
  bool is_entry(uint32_t id) const { return id >= first && id <= first + 8; }
};

// The children the Window menu lists and the child list it falls back on
// (creation order).
void xfMdiMenuAdd(void* menu, const XfMdiMenuIds& ids, XfWindow* child);
void xfMdiMenuRemove(void* menu, const XfMdiMenuIds& ids, XfWindow* child, const std::vector<XfWindow*>& children);
void xfMdiMenuCheck(void* menu, XfWindow* child);
void xfMdiMenuUncheckAll(void* menu, const XfMdiMenuIds& ids);
void xfMdiMenuSetText(void* menu, XfWindow* child, const char* title);
// The entry text "~<digit>  <name>".
std::string xf_mdi_entry_text(int32_t digit, const std::string& name);
