// Opening, closing and tracking menus: the modal loop that follows the
// pointer and the keyboard while a menu is open.
//
// A tracking run owns the pointer and the keyboard (grabbed on the owner's
// X window) and reads input straight from X; every other event (exposures,
// selection requests, window-manager messages) is kept in the layer's
// queues and handled after the run, never dropped. When the grab cannot be
// had the run does not start: the bell rings and the owner hears the end
// of a selection (ZWM_MENUSELECT 0, 0) as after any run.
//
// Each open menu saves the screen under it in a pixmap of its own and puts
// it back when it closes, deepest menu first, so the screen under a closed
// menu is what it was before it opened.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "winsys/menu.h"

// Tracking modes: 'S' the pointer highlights until the first release (the
// button was up when the menu opened), 'C' the first item is highlighted
// and keys work at once.
inline constexpr char kTrackFollow = 'S', kTrackClick = 'C';
// No click time, and no repeat id, for xfTrackMenu.
inline constexpr int32_t kNoClickTime = -1;
inline constexpr uint32_t kNoRepeatId = 0x7FFFFFFF;
// mp2 of a button message that carries an item pointer in mp1.
inline constexpr intptr_t kItemInMp1 = 0xFFFFF;
// Time within which a release chooses the item of its press.
inline constexpr uint32_t kPressReleaseMs = 500;

// The modal loop for a popup menu at (x, y) on the screen; with an
// exclusion window (the button that opened it) the menu goes below it,
// moved by dx, dy. Returns when the menu closes; the chosen item's command
// is posted to the owner (or the menu's owner): ZWM_COMMAND, or
// ZWM_SYSCOMMAND for a system-command item, mp1 its id, mp2 0x10001.
void xfTrackMenu(XfMenu* menu, char mode, XfWindow* exclusion, int32_t x, int32_t y, int32_t dx, int32_t dy,
                 int32_t click_time, uint32_t repeat_id, XfWindow* owner);
// The same for a frame's menu bar; `item` the bar item opened (none: the
// first is highlighted), by_key when a key opened it.
void xfTrackMenuBar(XfMenu* bar, XfMenuItem* item, bool by_key);
// Opens a frame's bar: F10, Alt alone, or the item of a mnemonic.
void xfOpenMenuBar(XfMenu* bar, XfMenuItem* item, bool by_key);

// Whether a run is going on (the window layer holds its paints meanwhile).
bool xfMenuTracking();

// Shows a popup menu's window at (x, y), or under/beside `from` (the item
// that opens it), clamped to the screen; saves what it covers.
void xfShowMenuWindow(XfMenu* menu, int32_t x, int32_t y, XfMenuItem* from);
// Unmaps it and puts the saved screen back.
void xfHideMenuWindow(XfMenu* menu, XfMenu* parent);

// Where a menu of the given size goes on a screen of the given size: the
// placement and clamping rule of xfShowMenuWindow.
struct XfMenuPlace {
  int32_t x, y;
};
XfMenuPlace xf_menu_place(int32_t x, int32_t y, int32_t width, int32_t height, int32_t screen_width,
                          int32_t screen_height, const XfMenuItem* from, bool from_bar);

// The key hook of frames: F10 and Alt alone open the bar; Alt with a letter
// or digit opens the bar item with that mnemonic. Answers 1 when used.
intptr_t xfMenuKeyHook(XfWindow* frame, intptr_t mp1, bool alt_up);

// Reads X events until `window` is exposed (at most timeout_ms): every
// other event keeps its turn in the layer's queues, and a button release
// becomes a ZWM_LBUTTONUP for the next tracking step.
void xf_menu_wait_expose(Window window, uint32_t timeout_ms);
// Takes the newest message the tracker posted to itself.
bool xf_menu_take_posted(struct XfMessage* out);

// ----- the decisions of the loop, without X (for the tests) -----
// The selectable item before or after `from` in its menu, wrapping; none
// when the menu has no selectable item.
XfMenuItem* xf_menu_step(XfMenu* menu, XfMenuItem* from, int32_t direction);
XfMenuItem* xf_menu_first_selectable(XfMenu* menu);
// The item of a menu with that mnemonic, compared without case.
XfMenuItem* xf_menu_mnemonic_item(XfMenu* menu, char c);
