// What the command line's field needs of the application: the command line
// itself. The field edits its text; what keys and clicks mean there (Enter
// runs the line, Up and Down browse the history, Esc gives the keys back
// to the editor window) is the application's.
#pragma once

#include <cstdint>

struct XfWindow;

// A key or click that reached the command line's field: true when the
// command line took it. A program without a command line of its own says
// no, and the field edits alone.
bool cmdline_field_input(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
