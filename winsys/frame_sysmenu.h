// The system menu of a free-standing frame: a top-level standard frame made
// with the system-menu frame flag that holds no MDI client (the children of
// an MDI client have their own, winsys/mdi.h). The window manager draws the
// frame's decoration, so the menu has no button of its own: Alt+Space opens
// it below the top left of the frame's client. A chosen item is sent to the
// client as ZWM_SYSCOMMAND with the same command ids as an MDI child's
// system menu, and the client's default processing carries it out.
//
// Texts are in the menu layer's form ('~' marks the mnemonic). The menu
// lives as long as its frame: the window core frees it with the record.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

struct XfMenu;

// Hiding the frame; the other commands are those of an MDI child
// (kMdiCmdMinimise ... kMdiCmdClose).
inline constexpr uint32_t kSysCmdHide = 0x400B;

// One item of the standard menu; text "-" is a separator.
struct XfFrameSysMenuRow {
  uint32_t id;
  const char* text;
};
// The standard items, in menu order.
inline constexpr XfFrameSysMenuRow kFrameSysMenuRows[] = {
    {0x4003, "~Restore\tAlt+F5"},
    {0x4005, "~Move\tAlt+F7"},
    {0x4004, "~Size\tAlt+F8"},
    {0x4001, "Mi~nimize\tAlt+F9"},
    {0x4002, "Ma~ximize\tAlt+F10"},
    {kSysCmdHide, "~Hide\tAlt+F11"},
    {0x4009, "-"},
    {0x4007, "~Close\tAlt+F4"},
};

// Appends the standard items to a menu.
void xfFrameSysMenuFill(XfMenu* menu);
// Gives a standard frame its system menu with the standard items (once;
// the menu it has already otherwise). Null for other windows.
XfMenu* xfFrameSysMenuCreate(XfWindow* frame);
// The system menu of the free-standing frame that holds `window` (the
// frame itself or any window inside it); null when that frame has none,
// holds an MDI client, or the window lies inside an MDI child.
XfMenu* xfFrameSysMenu(XfWindow* window);
// The frame a system menu serves, found as for xfFrameSysMenu.
XfWindow* xfFrameSysMenuFrame(XfWindow* window);
// Opens the menu of the frame holding `window` and tracks it; false when
// there is none. Returns once the menu has closed.
bool xfFrameSysMenuOpen(XfWindow* window);
// The key filter: a key message for `focus` that is Alt+Space (no Shift or
// Ctrl) opens the menu; true when it did, and the key is used up.
bool xf_frame_sysmenu_key(XfWindow* focus, intptr_t mp1);
// What the default processing of a frame's client does with a system
// command: minimise, maximise and restore set the window state, hide unmaps
// the frame, close sends ZWM_CLOSE to the client; move and size are the
// window manager's and do nothing here. 1 when the command was one of them.
int xfFrameSysCommand(XfWindow* client, uint32_t command);
// Called by the window core when a frame record goes.
void xf_frame_sysmenu_release(XfWindow* frame);
