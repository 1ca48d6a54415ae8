// What the macro runtime's delay built-in needs of the editor services
// above it: waiting while the processes beside the editor are polled, and
// whether input from the user waits to be read.
//
// The editor services answer: they poll the child processes and look at
// the window system's queue. A program without them sleeps, and no input
// ever arrives in it.
#pragma once

#include <cstdint>

// Waits the time in hundredths of a second (-1: until ended), polling the
// processes; the break key ends it, and with stop_on_input so does pending
// input. Without the services: a sleep that only the break key ends early.
void proc_delay(int32_t hundredths, bool stop_on_input);
// True while a key or a mouse-button press waits to be read (it stays for
// whoever reads it). Without the services: never.
bool proc_input_pending();
