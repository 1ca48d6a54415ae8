// The program's part of the exit path: the layers above the macro runtime
// let go of what they hold, and the window system ends the process.
#include <cstdio>
#include <cstdlib>

#include "app/app_main.h"
#include "macro/exit_port.h"

// These bring in Xlib, whose macros would spoil the headers above.
#include "winsys/xinit.h"

void exit_release() { app_release_for_exit(); }

// The window system lets go of the display; the process then ends without
// running static destructors, which would only free memory the system takes
// back anyway.
void exit_leave(int32_t code) {
  xfShutdownX();
  std::fflush(nullptr);
  std::_Exit(code);
}
