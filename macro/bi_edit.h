// The edit and save built-ins, and the edit command's entry of the editor
// API that libraries call.
#pragma once

#include <cstdint>

// The edit command from a library (a NUL-terminated command line): the
// result is returned; with option Q a negative one is also raised.
int32_t api_edit(const char* command_line);
