// The portable menu calls: menus and items with '&' mnemonics, frames'
// menu bars, popup menus tracked at a point.
#pragma once

#include <cstdint>

#include "winsys/menu.h"

// Item flags of the API.
inline constexpr uint32_t kMiChecked = 1, kMiDisabled = 4, kMiSysCommand = 32;
// Kinds of WinCreateMenu.
inline constexpr int32_t kMenuKindBar = 1, kMenuKindPopup = 0;
// Buttons named by WinTrackPopupMenu's flags.
inline constexpr uint32_t kTpmButton3 = 2, kTpmButton2 = 0x1000, kTpmButton1 = 0x2000;

// Kind 1: a menu bar of the owner frame (hidden until WinSetMenu); other
// kinds: a popup menu of the owner (none: the desktop).
XfMenu* WinCreateMenu(int32_t kind, XfWindow* owner);
int WinDestroyMenu(XfMenu* menu);
// position < 0: the end. Text "-": a separator.
int WinInsertMenuItem(XfMenu* menu, int32_t position, uint32_t id, const char* text, uint32_t flags);
int WinInsertSubmenu(XfMenu* menu, int32_t position, uint32_t id, const char* text, uint32_t flags, XfMenu* submenu);
void WinModifyMenuItem(XfMenu* menu, void* ignored, uint32_t id, XfMenu* submenu, const char* text, uint32_t flags);
void WinDeleteMenuItem(XfMenu* menu, uint32_t key, int by_position);
int WinSetMenuItemText(XfMenu* menu, uint32_t key, const char* text, int by_position);
// The item's text in the menu layer's form ('~' mnemonics), at most size - 1
// characters and a NUL.
int WinQueryMenuItemText(XfMenu* menu, uint32_t key, char* buffer, int32_t size, int by_position);
int32_t WinQueryMenuItemCount(XfMenu* menu);
XfMenu* WinQueryFrameMenu(XfWindow* frame);
// Shows `menu` (a bar menu) in the frame's bar; 0 takes the bar away.
int WinSetMenu(XfWindow* frame, XfMenu* menu);
int WinLayoutFrame(XfWindow* frame);
// Tracks a popup at (x, y) on the screen for the owner; 1.
int WinTrackPopupMenu(XfMenu* menu, uint32_t flags, int32_t x, int32_t y, XfWindow* owner);
void WinMenuSelectMnemonic(XfWindow* frame, void* ignored, char c);
void WinSetMenuKeyHook(XfMenuKeyHook hook);
// Tracking mode of WinTrackPopupMenu for the flags and the button state of
// the last input event.
char xf_popup_track_mode(uint32_t flags, uint32_t button_state);
