// What the menu files share among themselves and nobody else uses.
#pragma once

#include <vector>

#include "winsys/menu.h"

// The window that hears ZWM_INITMENU for a menu of this owner: the frame's
// client, or the main frame's when there is no owner.
XfWindow* xf_menu_notify_window(XfWindow* owner);
// The menu colour and its shades, for a new menu.
void xf_menu_init_colours(XfMenu* menu);
// Frees a menu's pixmaps, a popup's X window, and (unless keep_window) a
// bar's window tree.
void xf_menu_free_x(XfMenu* menu, bool keep_window);
// The built-in image of a system-menu or restore item, made on first use.
void xf_menu_item_image(XfMenuItem* item);
int32_t xf_menu_char_width(unsigned char c);
void xf_menu_place_underline(XfMenu* menu, XfMenuItem* item);
const std::vector<XfMenu*>& xf_menu_registry();
// The frame whose bar shows a bar menu (none).
XfWindow* xf_menu_frame_of(XfMenu* bar);
// The highlighted item of a bar that is being tracked (none).
XfMenuItem* xf_menu_bar_highlight(XfMenu* bar);
