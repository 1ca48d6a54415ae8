// The command line's window as the macro timers use it.
#pragma once

#include <cstdint>

// The macro timers run on the command line's window (timers.h): starts one
// (false without the window, or when the window system refuses) and stops
// one.
bool cmdline_timer_start(uint16_t id, uint32_t ms);
void cmdline_timer_stop(uint16_t id);
