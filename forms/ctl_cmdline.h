// The command line's input field: what the message line reaches through its
// command-line seam.
#pragma once

#include <cstdint>

// Makes the command line's field through the input field class (the
// command-line object, id 3, owns it) and keeps its text in that field;
// headless, the object's field keeps the text. Called once at start-up.
void ctl_install_cmdline();

// The macro timers run on the command line's window (timers.h): starts one
// (false without the window, or when the window system refuses) and stops
// one.
bool cmdline_timer_start(uint16_t id, uint32_t ms);
void cmdline_timer_stop(uint16_t id);
