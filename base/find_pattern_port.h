// What the foundation's directory searches need of the text engine.
//
// A search turns its wildcard into a regular expression ("*.c" becomes
// "^?*.c$") and asks whether each name fits. The editor's own expression
// engine lies above, so the matcher is declared here and the program
// defines it once: the engine where there is one, the foundation's interim
// matcher (base/wildcard.h) in a program without it.
#pragma once

#include <string_view>

#include "base/messages.h"

// Compiles an expression: an opaque compiled form, or null with *error set
// (-2500 for a bad expression, -8 for no memory).
void* find_pattern_compile(std::string_view expr, ErrorCode* error);
// 1 when the name fits, else 0.
int find_pattern_match(const void* compiled, std::string_view name);
// Frees a compiled form (null is fine).
void find_pattern_release(void* compiled);
