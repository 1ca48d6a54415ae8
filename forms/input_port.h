// What the input translation needs of the application above the forms.
//
// While a macro waits for a key, the wait reads the window system's queue
// itself, so the timer that polls the application's child processes would
// never reach its window. The application defines this; a program without
// it has no such timer.
#pragma once

#include <cstdint>

struct XfWindow;

// A timer message that belongs to the application itself, met during a
// wait: true when it was taken care of (the wait goes on), false when it
// is someone else's.
bool input_app_timer(XfWindow* window, uint32_t id);
