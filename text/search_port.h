// What the search needs of the macro runtime above it: the search runs
// inside the search built-ins, and a break there stops the running macro
// the way the interpreter's own break check does.
//
// The macro runtime answers. A program without it has no macro to stop:
// the break key alone ends the search.
#pragma once

#include "base/messages.h"

// Polls the break key for a search built-in: 0 to go on, or the break's
// code (-3020, already raised in a running macro) to stop. Without
// the macro runtime: the break key's code when the key is down, else 0.
ErrorCode search_check_break();
