// The MDI layer: the MDI client inside an application frame and its child
// frames, which the layer decorates itself (no window manager frames them):
// system-menu button, title, minimise and maximise buttons, optional scroll
// bars and the client area, the editor window that macros see.
//
// A child is normal, minimised (an icon in the MDI client) or maximised
// (its decoration pushed outside the client, so only its client area shows;
// the application frame's title reads "<frame> - <child>"). At most one
// child is maximised; activating another while it is maximises the new one.
//
// Everything works without a server too (the records are made all the
// same), which is how the state machine is tested.
#pragma once

#include <cstdint>
#include <vector>

#include "winsys/mdi_geometry.h"
#include "winsys/window_rec.h"

// Child states (the state word).
inline constexpr int32_t kMdiNormal = 1, kMdiMinimised = 2, kMdiMaximised = 3;

// Messages of the layer.
inline constexpr uint32_t ZWM_MDIACTIVATE = 0x1007;      // to a client area: mp1 1, mp2 the active client area
inline constexpr uint32_t ZWM_MDITITLE = 0x200E;         // to the MDI client: mp1 the child title or 0
inline constexpr uint32_t ZWM_MDIMAXIMISE = 0x200A;      // to a maximise button
inline constexpr uint32_t ZWM_MDISHOW = 0x2010;          // to a child frame
inline constexpr uint32_t ZWM_MDIHIDE = 0x2011;          // to a child frame
inline constexpr uint32_t ZWM_MDIKEYBOARDSIZE = 0x2014;  // to a child frame
inline constexpr uint32_t ZWM_MDIUNDEFPOINTER = 0x2006;  // to a child frame: back to the default pointer

// System commands (ZWM_SYSCOMMAND mp1) of a child, and the client's commands.
inline constexpr uint32_t kMdiCmdMinimise = 0x4001, kMdiCmdMaximise = 0x4002, kMdiCmdRestore = 0x4003,
                          kMdiCmdSize = 0x4004, kMdiCmdMove = 0x4005, kMdiCmdNext = 0x4006, kMdiCmdClose = 0x4007;
inline constexpr uint32_t kMdiCascade = 0x4101, kMdiTileV = 0x4102, kMdiTileH = 0x4103, kMdiArrange = 0x4104,
                          kMdiNextChild = 0x4105, kMdiPrevChild = 0x4106, kMdiCloseActive = 0x4107;
inline constexpr uint32_t kMdiClientId = 0xC001;
inline constexpr uint32_t kMdiWindowMenuItem = 0x4201;  // the menu-bar item whose pop-up is the Window menu
inline constexpr uint32_t kMdiSysCascadeId = 0x4200;    // the merged system menu's cascade in a menu bar
inline constexpr uint32_t kMdiRestoreItem = 0x4202;     // the menu bar's item of the maximised child

// The layer's metrics (set when an MDI client is made).
XfMdiMetrics xf_mdi_metrics();

// Creates the MDI client (kind 44) in a frame's client area (or in the
// client of the standard frame given) at (0, 0, 600, 600); `first_menu_id`
// is the Window menu's first id.
XfWindow* xfCreateMdiClient(XfWindow* frame_client, uint32_t id, uint32_t first_menu_id);
// Creates a child frame; frame flags 4 and 2 ask for the vertical and the
// horizontal scroll bar; the client area gets the class and, in its create
// message, `create_param` (WinCreateParams). The child ends active.
XfWindow* xfCreateMdiChild(const char* title, uint32_t style, uint32_t frame_flags, const char* class_name, int32_t x,
                           int32_t y, int32_t width, int32_t height, XfWindow* client, void* create_param);
void xfMdiActivate(XfWindow* child);
void xfMdiDeactivate(XfWindow* child);
void xfMdiActivateOrMaximize(XfWindow* child);
void xfMdiMaximize(XfWindow* child);
void xfMdiMinimize(XfWindow* child);
void xfMdiRestore(XfWindow* child, bool keep_active);
void xfMdiNext(XfWindow* child);
void xfMdiPrevious(XfWindow* child);
void xfMdiDestroy(XfWindow* child);
void xfMdiSetGeometry(XfWindow* child, int32_t x, int32_t y, int32_t width, int32_t height);
int xfMdiSetWindowPos(XfWindow* child, XfWindow* after, int32_t x, int32_t y, int32_t width, int32_t height,
                      uint32_t flags);
// 'I' minimised, 'M' maximised, 'N' normal and any other window.
char xfMdiQueryState(XfWindow* window);
// A command of the frame's menu (cascade, tile, next, ... or a Window-menu
// entry); answers 0 when it activated a child in place of a maximised one.
int xfMdiClientCommand(XfWindow* client, uint32_t command);
void xfMdiSetTitle(XfWindow* child, const char* text);
void xfMdiSetScrollBars(XfWindow* child, bool vertical, bool horizontal);
XfWindow* xfMdiGetActive(XfWindow* client);
void xfMdiSetWindowMenu(XfWindow* client, void* menu);
void* xfMdiWindowMenu(XfWindow* client);
// The child's system menu.
void* xfMdiSysMenu(XfWindow* child);
intptr_t xfMdiChildDefProc(XfWindow* client_area, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiClientProc(XfWindow* client, uint32_t message, intptr_t mp1, intptr_t mp2);
void xfMdiComposeFrameTitle(XfWindow* frame, const char* child_title);
// 'c' shows the maximised child's system menu and item in the frame's menu
// bar; 'd' hides and drops them.
void xfMdiMergeSysMenu(XfWindow* child, char mode);
uint32_t xfMdiMoreWindowsId();

// The child frame of a part (client area, button, scroll bar, icon) or the
// frame itself; none for other windows.
XfWindow* xf_mdi_frame_of(XfWindow* window);
// The MDI client of a child frame.
XfWindow* xf_mdi_client_of(XfWindow* child);
// The application frame that holds an MDI client.
XfWindow* xf_mdi_app_frame(XfWindow* client);
// Children in creation order.
const std::vector<XfWindow*>& xf_mdi_children();
// Gives every child the active or inactive look anew (the application
// gained or lost the focus).
void xf_mdi_title_look(XfWindow* frame, char look);

// ----- arrangement -----
void xfMdiTile(XfWindow* client, bool side_by_side);
void xfMdiCascade(XfWindow* client);
void xfMdiArrangeIcons(XfWindow* client);
// The normal children, topmost first; a maximised one is restored first
// and collected. `icons` counts the minimised ones.
std::vector<XfWindow*> xfMdiCollectChildren(XfWindow* client, int32_t* icons);

// The creation data of the child whose client area is being made.
void* xf_mdi_create_param();

// A window record of an MDI child frame or MDI client is about to go.
void xf_mdi_window_gone(XfWindow* window);
