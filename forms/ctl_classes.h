// The window classes of controls: their procedures, and the native window
// a control gets. Each procedure handles what is particular to its kind
// (painting, activation) and hands the rest to ctl_common_proc, which turns
// window messages into object events.
#pragma once

#include <cstdint>

#include "text/buffer.h"

struct XfWindow;

// Sent to the children of a form that moves: an open drop-down list closes.
inline constexpr uint32_t ZWM_CLOSEDROPDOWN = 0x102F;

using XfProc = intptr_t (*)(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

// Registers the control classes ("zx_form", "zx_control", "zx_text",
// "zx_label", "zx_frame", "zx_guage", "zx_spin", ...); 0.
int32_t ctl_register_classes();
// Makes the native window of obj inside parent at its stored geometry
// (pixels); null when the type has no class here or the window fails.
XfWindow* ctl_create_window(WindowObject* obj, XfWindow* parent);

// The common control procedure: default gets what it does not consume (a
// null default answers 0).
intptr_t ctl_common_proc(XfProc dflt, XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_button_base_proc(XfProc dflt, XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t form_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_text_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_control_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_label_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
// Frames (group boxes): the window system's group box, drawn in the
// frame's colours.
intptr_t ctl_frame_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_gauge_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_spin_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_scroll_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
// A scroll-bar control's bar takes its range (minimum to maximum, one past
// it with a thumb of 1) and its value again; nothing for other objects or
// without a window.
void ctl_scroll_sync(WindowObject* obj);
intptr_t ctl_picture_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_list_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_combo_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t ctl_cblist_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

// After a click on a control: the focus goes to the control's top-level
// object (its last focused control, or itself) unless it is inside it
// already. Nothing in design mode, or for a control other than a form that
// is a tab stop.
void ctl_focus_on_click(WindowObject* obj);

// Opens or closes a combo box's drop-down list part: while open, the list
// holds the pointer capture, and a press outside it closes it again.
void combo_show_dropdown(WindowObject* list, bool show);
// Makes a combo box's three parts (edit, arrow button, list) as objects and
// windows; the combo box's window must exist. 0 or -1.
int32_t combo_create_parts(WindowObject* combo, XfWindow* container);
