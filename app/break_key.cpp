// The text engine's break key (and the macro runtime's, through it) is the
// window system's: the window system stands on the foundation alone and
// cannot see the text engine's port, so the program hands it over here.
#include "winsys/break_key.h"
#include "text/ui_port.h"

bool ui_break_pressed() { return evt_break_pressed(); }
void ui_poll_break_soon() { evt_set_break_poll_count(1); }
void ui_clear_break() { evt_clear_break(); }
