// Editor windows on the screen: the window procedure of the class
// "zx_mdichild", the native window of each editor window object with its
// text display, and the refresh that redraws them after a command.
//
// Each editor window object owns one MDI child of the frame's MDI client
// and one text display drawn on the child's client area. A key message becomes an event
// code, runs through the key dispatch of the macro runtime, and the
// refresh then redraws what changed. Start reading at app_mdichild_proc.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

struct WindowObject;
struct FontAttrs;
struct EditorDisplay;

inline constexpr const char* kEditorClass = "zx_mdichild";

intptr_t app_mdichild_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

// The font of editor windows (set before the first one is made).
void app_set_editor_font(const FontAttrs* font);

// The native window of an editor window object: a maximised MDI child of
// the MDI client with its text display. 0, or -8 when no window can be
// made.
int32_t app_editor_create(WindowObject* obj, XfWindow* mdi_client);
void app_editor_destroy(WindowObject* obj);
// Brings the object's window to the front and gives it the focus.
void app_editor_activate(WindowObject* obj);

// The editor window shown in front (null when none).
WindowObject* app_active_editor();
// The text display of an editor window object (null for other objects).
EditorDisplay* app_editor_display(const WindowObject* obj);

// The input path of the editor window for one message: translation (with
// the queued repeats of a key), dispatch, refresh and a requested exit.
// Answers the event code (0 when the message gave none).
uint32_t app_editor_input(WindowObject* obj, XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

// Redraws every editor window whose buffer or view changed, and the
// message line.
void app_refresh();
