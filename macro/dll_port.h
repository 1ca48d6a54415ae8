// What the extension-library layer needs of the layers above it: the
// editor API table's window, property, message and command entries, and
// the libraries built into the program.
//
// A library reaches window objects and their properties (the forms'), the
// message line and the command line (the display's) through the API table,
// and the tag parser is a library built into the program (the services').
// Those are declared here and the program defines each once. A program
// without them has no objects (every handle is invalid: gets answer 0 or
// empty, sets and pushes -2088), shows no message, runs no command line
// (an option letter outside "WARZL" still gives -3015) and has no built-in
// library.
#pragma once

#include <cstdint>
#include <string_view>

#include "macro/dll.h"
#include "text/buffer.h"

// A property of the object the handle names (0: the current object; a
// template control's handle: its record) as an integer; 0 when the get
// fails.
int32_t dll_property_get_int(int32_t handle, int32_t id);
// The same parsed as a decimal number; 0 when the get fails.
int32_t dll_property_get_number(int32_t handle, int32_t id);
// The value as text into out, at most size - 1 bytes and a NUL; its length.
// Empty and 0 when the get fails.
int32_t dll_property_get_cstr(int32_t handle, int32_t id, char* out, int32_t size);
// At most count bytes of the value, no terminator; the count copied, 0 when
// the get fails.
int32_t dll_property_get_bytes(int32_t handle, int32_t id, char* out, int32_t count);
// Sets a property from an integer: 0 or the error code (-2088 for an
// invalid handle).
int32_t dll_property_set_int(int32_t handle, int32_t id, int32_t value);
// Sets it from a NUL-terminated text.
int32_t dll_property_set_cstr(int32_t handle, int32_t id, const char* text);
// The common form: the text when one is given (its first `value` bytes
// when value is positive, else up to its NUL), else the integer.
int32_t dll_property_set(int32_t handle, int32_t id, int32_t value, const char* text);
// Makes the object of a window id current, the one before kept in save for
// window_pop_current: 0, -2082 for a template control's handle, -2088 for
// anything else.
int32_t dll_push_window(int32_t handle, WindowSave* save);
// Shows a NUL-terminated text (at most 1023 bytes) on the message line.
void dll_show_message(const char* text);
// Runs a command text as the command line's built-in does with the option
// letters ("WARZL"): with A, Z or L the text rc then holds, else the result
// in decimal ("-3015" for another letter: nothing runs). The text stays
// until the next call.
const char* dll_execute_command(const char* command, const char* options);
// The library built into the program under the file name (any directory,
// any case), or null.
const DllBuiltinLibrary* dll_builtin_library(std::string_view file_name);
