// The help viewer as a window of the window system: the class "zx_hthelp",
// whose windows each own a HelpView drawn through the window system's
// drawing contexts, fonts, pictures, scroll bars and clipboard.
#pragma once

#include <cstdint>

#include "forms/native.h"
#include "services/help_view.h"

struct XfWindow;

inline constexpr const char* kHelpViewClass = "zx_hthelp";
// The class of help-control windows: object events through the common
// control procedure, scrolling and painting by the viewer's own.
inline constexpr const char* kHelpHookClass = "zx_hthelp_hook";

// Registers the class and its control sub-class (once).
void help_register_class();
intptr_t help_viewer_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t help_hook_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
// The viewer of a window of the class or one of its sub-classes, or null.
HelpView* help_window_view(XfWindow* window);
// The native windows of help controls (NativeKind::Help, type 13): made
// as every control's, in a control frame, with a viewer of the control
// sub-class inside once the class is registered; every entry set.
extern const NativeWindowOps kHelpControlWindowOps;

// A help viewer window (of the class named, the viewer's own by default)
// with both scroll bars inside a frame under parent (null: top level); its
// client window in *client; create_data reaches the client's creation.
// Null on failure.
XfWindow* help_create_window(XfWindow* parent, const char* title, int32_t x, int32_t y, int32_t cx, int32_t cy,
                             XfWindow** client, const char* class_name = kHelpViewClass, void* create_data = nullptr);
