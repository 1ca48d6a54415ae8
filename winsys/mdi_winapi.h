// The window API's MDI calls: Win-prefixed wrappers over the MDI layer
// (winsys/mdi.h) in the API's argument order.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

XfWindow* WinCreateMDIClient(XfWindow* frame_client, uint32_t first_id, intptr_t ignored);
XfWindow* WinQueryMDIClient(XfWindow* window);
// x = 0x80000000 asks for the default place: 27/40 of the client, on a
// cascade that steps 25 pixels and starts again at (0, 0) when the child
// would not fit.
XfWindow* WinCreateMDIChild(XfWindow* client, uint32_t style, uint32_t frame_flags, const char* class_name,
                            const char* title, int32_t x, int32_t y, int32_t cx, int32_t cy, intptr_t ignored,
                            void* icon, void* data);
int WinMDIActivate(XfWindow* ignored, XfWindow* child, int activate);
int WinMDIDestroy(XfWindow* ignored, XfWindow* child);
XfWindow* WinMDIGetActive(XfWindow* client);
int WinMDISetMenu(XfWindow* client, void* menu, void* window_menu);
int WinMDITile(XfWindow* client, uint32_t flags);
int WinMDICascade(XfWindow* client);
int WinMDIIconArrange(XfWindow* client);
uint32_t WinMDIMoreWindowsId(XfWindow* client);
intptr_t WinMDIFrameCommand(XfWindow* ignored, XfWindow* client, uint32_t number, intptr_t mp1, intptr_t mp2);
int WinMDIMenuMerge(XfWindow* frame, XfWindow* child);
int WinMDIMenuUnmerge(XfWindow* frame);
intptr_t WinDefMDIChildProc(XfWindow* client_area, uint32_t number, intptr_t mp1, intptr_t mp2);
void* WinQueryMDISysMenu(XfWindow* window);
