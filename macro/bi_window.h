// Closing an editor window from the text built-ins: what closing the
// current object does when it is neither a form nor a control (the windows
// above answer those, macro/window_port.h).
#pragma once

#include <cstdint>

// Closes the current window as an editor window: its views are quit, as the
// last view's quit closes a window. 0, or -2073 for a part of another object
// (a combo box's part is closed with it).
int32_t bi_close_editor_window();
