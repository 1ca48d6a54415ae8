// What the refresh built-ins need of the frame above the display: painting
// the windows of the current object's tree, the display refresh the frame
// runs after commands, and making the current object follow its cursor.
//
// The editor windows, the forms' windows and the frame's refresh belong to
// the forms and the application, which define these. A program without
// them has no windows: each call does nothing.
#pragma once

#include "text/buffer.h"

// Paints the pending updates of every window in the current object's tree.
void refresh_update_tree();
// The screen refresh after commands: editor windows brought up to date,
// the status fields and the message line, then deferred focus events.
void refresh_screen();
// The object follows its cursor: a text box scrolls its field to the caret,
// an object with a view scrolls the view sideways to the cursor.
void refresh_scroll_to_cursor(WindowObject* obj);
