// What the exit path needs of the layers above the macro runtime.
//
// Leaving the editor lets go of what the layers above hold (libraries,
// timers, pictures, menus) before the spill file goes, and the process ends
// through the window system, which lets go of the display first. Those are
// declared here and the program defines each once. A program with nothing
// above releases nothing and ends with std::exit.
#pragma once

#include <cstdint>

// Releases what the layers above hold (extension libraries first).
void exit_release();
// Ends the process with the code.
void exit_leave(int32_t code);
