// What the processes need of the application above them: the timer that
// polls them while any runs, and the screen that shows their output as it
// arrives. The application's frame defines these.
#pragma once

#include <cstdint>

// Starts the 100 ms timer that calls proc_poll; false when it cannot start.
// A program without a frame says yes: it calls proc_poll itself.
bool proc_start_poll_timer();
// Stops it: no process runs any longer.
void proc_stop_poll_timer();
// Shows the process buffer's change now (its redraw bits are set already).
// A program without a screen shows nothing.
void proc_refresh_screen(uint32_t redraw_bits);
