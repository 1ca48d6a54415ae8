// The native windows of window objects, by kind: the application's MDI
// children for editor windows (and the fixed objects), the control classes
// for forms and controls, help viewers for help controls (forms/native.h).
#pragma once

#include "forms/native.h"

// Editor windows: an MDI child of the frame's MDI client with its text
// display; every entry set.
extern const NativeWindowOps kEditorWindowOps;

// Hands the forms the table of every kind, once the window system is open.
void app_set_native_windows();
