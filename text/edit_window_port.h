// What the buffers need of the windows above them: a new edit window for the
// edit command, the native window of an editor window, made when the window
// first shows a buffer, and the window closed when its last view is quit.
//
// Window objects are the forms layer's, so it answers the native window and
// the close; the program makes its editor windows. A program without them
// has one window of 25 rows and 80 columns that answers every request for a
// new one, makes no native windows, and a window whose last view is quit
// just gives its views back and leaves the ring of editor windows.
#pragma once

#include <cstdint>

struct EditPlacement;
struct WindowObject;

// A new edit window at the place the edit command asks for (or at start-up,
// when no window is current), made current; null when none can be made.
// Without windows: the one window, made on first use.
WindowObject* edit_window_new(const EditPlacement& place);

// The window w (current, just given its first view) becomes an editor
// window and gets its native window: full-screen for the first, hidden edit
// window, else a child of the frame. 0, or nonzero when it cannot be made.
// Without forms: nothing is made (0).
int32_t edit_window_create(WindowObject* w, bool first_edit_window);
// The last view of the current window w is being quit, or closing the only
// buffer w showed left it without a view: the window is closed with its
// views. A window that may not be closed (the frame's own objects, the
// hidden first edit window) keeps its view.
void edit_window_close(WindowObject* w);
