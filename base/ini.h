// Reading ini text: section lines ("[name]") followed by entry lines
// ("key=value"), plus small readers of unsigned decimal numbers.
//
// The parser never opens a file: the caller passes the whole text with its
// length (it need not end with a NUL; a NUL is an ordinary byte) and keeps a
// byte offset between calls. A section is read with one ini_find_section and
// then ini_next_key / ini_next_line / ini_next_pair until they return -1.
//
// Grammar: a line ends at CR or LF, and any run of CR and LF is one line end
// (so empty lines vanish). Blanks (space, tab) are skipped at the start of a
// line. A line whose first non-blank is '[' begins a section; its name runs
// to ']' or to the end of the text and what follows ']' is ignored. A line
// whose first non-blank is ';' is a comment; elsewhere ';' is plain text. Any
// other line is an entry: the key runs to '=' or the line end and the value
// from '=' to the line end; nothing is trimmed. There are no errors: what does
// not fit a buffer is dropped.
#pragma once

#include <cstdint>

#include "base/lstr.h"

// Key and section-name buffers hold 1023 characters and the NUL.
inline constexpr int32_t INI_NAME_SIZE = 1024;

// Offset of the line after section name's line (name compared ignoring case),
// or -1 when the text has no such section.
int32_t ini_find_section(const char* text, int32_t length, const char* name);

// From position (a pointer into text), finds the next section line whatever
// its name, copies the name into name (INI_NAME_SIZE bytes, terminated) and
// returns the position of the line after it; null at the end of the text.
const char* ini_next_section(const char* position, const char* text, int32_t length, char* name);

// Reads the next entry from *offset. Returns 0 with key (INI_NAME_SIZE bytes,
// upper-cased, terminated) and value (value_size bytes, terminated; empty
// without '='), and *offset on the next line. Returns -1 at the end of the
// text or at the next section line, with *offset left there. Comment lines are
// skipped; a line of blanks gives an empty key and value. A key longer than
// its buffer is cut, and the value after its '=' is still read.
int32_t ini_next_key(const char* text, int32_t length, int32_t* offset, char* key, char* value, int32_t value_size);

// As ini_next_key, but copies the whole line from its first non-blank
// character (at most size - 1 bytes, terminated).
int32_t ini_next_line(const char* text, int32_t length, int32_t* offset, char* line, int32_t size);

// As ini_next_key, into two counted strings of capacity 1024, keeping the
// key's case.
int32_t ini_next_pair(const char* text, int32_t length, int32_t* offset, LStr* key, LStr* value);

// Sets *value to 0, skips leading spaces (not tabs) and accumulates decimal
// digits (no sign; wraps modulo 2^32). Returns 1 when a digit was read, else 0.
int32_t cstr_scan_uint(const char* text, uint32_t* value);
// Reads a first number as cstr_scan_uint; without a digit returns 0. Then
// skips spaces and reads a second: returns 2 when it had a digit, else 1.
// Both values are set to 0 first.
int32_t cstr_scan_two_uints(const char* text, uint32_t* first, uint32_t* second);
// The same operations under the names other subsystems use.
int32_t cstr_read_uint(const char* text, uint32_t* value);
int32_t cstr_read_two_uints(const char* text, uint32_t* first, uint32_t* second);
