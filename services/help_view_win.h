// The help viewer as a window of the window system: the class "zx_hthelp",
// whose windows each own a HelpView drawn through the window system's
// drawing contexts, fonts, pictures, scroll bars and clipboard.
#pragma once

#include <cstdint>

#include "services/help_view.h"
struct XfWindow;

inline constexpr const char* kHelpViewClass = "zx_hthelp";
// The class of help-control windows: object events through the common
// control procedure, scrolling and painting by the viewer's own.
inline constexpr const char* kHelpHookClass = "zx_hthelp_hook";

// Registers the class and its control sub-class (once) and connects
// help-control objects to them.
void help_register_class();
intptr_t help_viewer_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t help_hook_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
// The viewer of a window of the class or one of its sub-classes, or null.
HelpView* help_window_view(XfWindow* window);
// Help-control objects (type 13) get a viewer window of this class from
// the forms' native-window seam: installed over whatever creates the other
// objects' windows, it makes and destroys the help controls' own windows
// while a display is open and hands every other object on.
void help_install_control_windows();

// A help viewer window (of the class named, the viewer's own by default)
// with both scroll bars inside a frame under parent (null: top level); its
// client window in *client; create_data reaches the client's creation.
// Null on failure.
XfWindow* help_create_window(XfWindow* parent, const char* title, int32_t x, int32_t y, int32_t cx, int32_t cy,
                             XfWindow** client, const char* class_name = kHelpViewClass, void* create_data = nullptr);
