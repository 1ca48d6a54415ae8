// Menus drawn by the window layer itself: a menu bar is a child window of a
// standard frame; pull-downs, cascades and context menus are popup menus,
// each an override-redirect X window mapped only while it is open.
//
// An XfMenu holds its items in order; a cascade item owns its submenu, and
// the submenu points back at it (owning item) and at its parent menu. A
// menu is created hidden and marked for measuring and layout; every change
// of items, texts, font or shown state marks it again, and the next layout
// or paint recomputes it. Bars are laid out at their window's root origin
// and popups at their root position, so every item rectangle is in screen
// coordinates and one hit test serves the whole open-menu chain.
//
// Records come from pools of 30 menus and 300 items; every live menu is in
// one registry. Start reading at xfNewMenu and xfInsertMenuItem; opening
// and tracking menus is in winsys/menu_track.h, the portable calls in
// winsys/menu_api.h.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "winsys/window_rec.h"

struct XfMenuItem;

// Menu states and types; item kinds and shown states.
inline constexpr char kMenuHidden = 'h', kMenuShown = 's';
inline constexpr char kMenuBar = 'm', kMenuPopup = 'p';
inline constexpr char kItemText = 'b', kItemSeparator = 's', kItemSysMenu = 'm', kItemRestore = 'r';

// Item template bits.
inline constexpr uint16_t kTplSeparator = 1, kTplText = 2, kTplCascade = 4, kTplSysCommand = 8, kTplFlag10 = 0x10,
                          kTplFlag20 = 0x20;
inline constexpr uint16_t kTplChecked = 2, kTplDisabled = 4;
inline constexpr uint16_t kTplAppend = 9999;

// Ids and messages of the menu layer.
inline constexpr uint32_t kRestoreItemId = 16898;
inline constexpr uint32_t ZWM_INITMENU = 35;
inline constexpr uint32_t ZWM_MENUSELECT = 44;  // mp1 the item id, mp2 its menu; 0, 0 when tracking ends
inline constexpr uint32_t ZWM_MENUKEY = 0x2202;

// Growth of a menu's item array.
inline constexpr int32_t kMenuFirstCapacity = 40;
// Records per pool block.
inline constexpr int32_t kMenuBlock = 30, kMenuItemBlock = 300;

struct XfMenu {
  char state;  // kMenuHidden, kMenuShown
  int32_t depth;
  char type;         // kMenuBar, kMenuPopup (a cascade takes its parent's)
  XfWindow* window;  // bar: its bar window; popup: the first shown top-level frame
  Window xwin;       // bar: its window's X window; popup: its own, 0 before first shown
  XfMenuItem** items;
  int32_t count, capacity;
  XfMenu* parent;
  XfMenuItem* owning_item;
  int32_t x, y, width, height, right, bottom;  // the last layout, screen coordinates
  int32_t origin_x, origin_y;                  // bar: its window's root origin
  unsigned long background, text, light, dark;
  bool needs_layout, needs_measuring;
  XfWindow* owner;
  XfWindow* notify;  // receives ZWM_INITMENU
  Pixmap save_under, save_spare;
  int32_t save_width, save_height;  // of save_under
  int32_t track[3];
  bool own_window;
  GC gc;
  int32_t win_x, win_y, win_width, win_height;  // of a popup's X window; -1 for a bar
  XfMenu* next_free;                            // pool link while free
};

struct XfMenuItem {
  char kind;  // kItemText, kItemSeparator, kItemSysMenu, kItemRestore
  uint32_t id;
  char shown;  // kMenuShown, kMenuHidden
  std::string text, accel, full_text;
  char mnemonic, mnemonic_upper;  // 0 when none
  Pixmap image, mask;
  int32_t image_width, image_height;
  bool flag10, sys_command, flag20;  // template kind bits 0x10, 0x8, 0x20
  bool checked, disabled;
  XfMenu* menu;
  XfMenu* submenu;
  int32_t left, top, width, height, right, bottom;
  int32_t text_x, baseline;
  int32_t image_x, image_y;
  int32_t accel_x;
  int32_t text_length, text_width;    // width -1: to be measured
  int32_t accel_length, accel_width;  // width -1: to be measured
  int32_t ul_x1, ul_y, ul_x2;         // mnemonic underline; x2 <= x1: none
  int32_t pre_mnemonic_width;         // -1: to be measured
  XfMenuItem* next_free;
};

// The template of xfInsertMenuItem and xfMenuSetItemState.
struct XfMenuTemplate {
  uint16_t position;  // kTplAppend: at the end
  uint16_t kind;
  uint16_t state;
  uint32_t id;
  XfMenu* submenu;
};

// ----- records -----
XfMenu* xfNewMenu(XfMenu* parent, XfWindow* owner, char type, XfWindow* window);
XfMenuItem* xfNewMenuItem(char kind, uint32_t id, const char* text, const char* accel, char mnemonic, Pixmap image,
                          Pixmap mask, bool flag10, bool flag8, bool flag20, bool checked, bool disabled,
                          XfMenu* submenu, const char* full_text);
void xfFreeMenuItem(XfMenuItem* item);
// Frees submenus first, then the items; detaches from the owning item;
// a bar's window tree goes too unless keep_window.
void xfFreeMenu(XfMenu* menu, bool keep_window);
// Whether a menu is live (registered); a freed menu is not.
bool xfMenuIsLive(const XfMenu* menu);
int32_t xfMenuCount();
// Live records of the two pools (for the leak checks of the tests).
int32_t xf_menu_live_records();
int32_t xf_menu_item_live_records();

// The bar of a frame: a child window of `parent` (the frame's inner
// window) of kind XFTYPE_MENUBAR with xfMenuBarProc, unmapped, holding a
// new bar menu with the restore item; *window_out its window.
XfMenu* xfCreateMenuBarMenu(XfWindow* frame, XfWindow* parent, XfWindow* owner, XfWindow** window_out, int32_t x,
                            int32_t y, int32_t width, int32_t height);
// The menu a bar window holds (none for other windows).
XfMenu* xfMenuOfBar(XfWindow* bar);

// ----- items (a null menu: nothing happens) -----
void xfMenuAddItem(XfMenu* menu, XfMenuItem* item, int32_t position);
void xfInsertMenuItem(XfMenu* menu, const XfMenuTemplate* tpl, const char* text);
XfMenuItem* xfMenuRemoveItemAt(XfMenu* menu, int32_t index);
void xfMenuDeleteItem(XfMenu* menu, uint32_t id);
void xfMenuDeleteItemAt(XfMenu* menu, int32_t index);
XfMenuItem* xfMenuItemAt(XfMenu* menu, int32_t index);
// Searches submenus too, so an id of a cascade's item is found from the bar.
XfMenuItem* xfMenuFindItem(XfMenu* menu, uint32_t id);
int32_t xfMenuItemIndex(XfMenu* menu, uint32_t id);
int32_t xfMenuItemPos(XfMenu* menu, const XfMenuItem* item);
int32_t xfMenuItemCount(XfMenu* menu);
void xfSetMenuItemText(XfMenuItem* item, const char* full_text);
void xfMenuSetItemText(XfMenu* menu, uint32_t id, const char* full_text);
const char* xfMenuQueryItemText(XfMenu* menu, uint32_t id);
void xfMenuSetItemChecked(XfMenu* menu, uint32_t id, bool flag);
void xfMenuSetItemDisabled(XfMenu* menu, uint32_t id, bool flag);
void xfMenuSetItemState(XfMenu* menu, const XfMenuTemplate* tpl);
void xfMenuAddSysMenuItem(XfMenu* menu, XfMenuItem* item);
void xfMenuAddRestoreItem(XfMenu* menu, XfMenuItem* item);
XfMenuItem* xfMenuSysMenuItem(XfMenu* menu);
XfMenuItem* xfMenuRestoreItem(XfMenu* menu);
void xfMenuShowSysMenuItem(XfMenu* menu, char state);
void xfMenuShowRestoreItem(XfMenu* menu, char state);
// An item that keys and the mouse can choose: a shown text item.
bool xfMenuItemSelectable(const XfMenuItem* item);

// ----- font, colours, layout, painting -----
// The menu font's metrics without a font (a display-less layout): the
// 256 character widths and the ascent. xfSetMenuFont fills them from X.
void xfMenuSetMetrics(const int32_t widths[256], int32_t ascent);
int32_t xfMenuAscent();
int32_t xfMenuRowHeight();
void xfSetMenuFont(XFontStruct* font, uint32_t style);
void xfQueryMenuFont(std::string* name, int32_t* size, uint32_t* style);
void xfSetMenuColor(XfMenu* menu, unsigned long pixel);
void xfShowMenuBar(XfMenu* menu, char state);
void xfUpdateMenuBar(XfMenu* menu);
void xfLayoutMenuBar(XfMenu* menu, int32_t x, int32_t y, int32_t width, bool force);
void xfLayoutPopupMenu(XfMenu* menu, int32_t x, int32_t y, bool force);
// Lays the submenu of every item out below the item (a bar's pull-downs).
void xfRelayoutSubmenus(XfMenu* menu);
void xfPaintMenuBar(XfMenu* menu);
void xfPaintPopupMenu(XfMenu* menu);
// Draws one item of a shown menu, highlighted or not.
void xfMenuDrawItem(XfMenu* menu, XfMenuItem* item, bool highlighted);
XfMenuItem* xfMenuItemFromPoint(XfMenu* menu, int32_t x, int32_t y);
int32_t xfMenuTextWidth(const char* text, int32_t n);
void xfMenuOpenItem(XfMenu* menu, XfMenuItem* item, bool by_key);
intptr_t xfMenuBarProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

// The hook of the bar for keys it does not use (ZWM_MENUKEY).
using XfMenuKeyHook = intptr_t (*)(intptr_t mp1);
void xfSetMenuKeyHook(XfMenuKeyHook hook);

// The menu bar of a standard frame, made inside its inner window and laid
// out over `width`; answers the bar's window and its height.
XfWindow* xfCreateFrameMenuBar(XfWindow* frame, XfWindow* inner, int32_t width, int32_t* height);
// Lays a frame's menu bar out again for `width`; answers its height.
int32_t xfLayoutFrameMenuBar(XfWindow* bar, int32_t width);
// Frees the menu shown in a menu bar whose window is being destroyed.
void xfFreeFrameMenuBarMenu(XfWindow* bar);
// A popup menu (type 'p') of the owner (null or the desktop: none).
XfMenu* xfCreatePopupMenu(XfWindow* owner);

// Installs the menu bar's key entry (F10 and Alt keys). Safe to call more
// than once.
void xfInstallMenus();
