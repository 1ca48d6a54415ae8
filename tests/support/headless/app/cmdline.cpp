// Without the application the command line's field edits alone.
#include "forms/cmdline_port.h"
#include "tests/support/headless/mark.h"

bool cmdline_field_input(XfWindow*, uint32_t, intptr_t, intptr_t) { return false; }
