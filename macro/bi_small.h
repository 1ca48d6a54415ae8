// Small built-ins: permissions by a symbolic mode, the screen size, a few
// integer settings, the mouse pointer, and waiting for a key or an event.
//
// The screen, the pointer, the designer's forms and the input layer belong
// to the layers above: macro/screen_port.h.
#pragma once

#include <cstdint>
#include <string_view>

// The refresh before a wait for a key where no screen answers
// (macro/screen_port.h): the key source's refresh.
void small_refresh_default();

// A symbolic mode ("u+x,go-w", "a=r") applied to a mode: the new mode, or
// -3030 "Invalid option" for a malformed text.
int32_t chmod_apply(std::string_view mode_text, uint32_t mode);
// The built-in's work on its one argument "mode file": rc 0 or the error.
int32_t chmod_parse(std::string_view argument);

// The integer kept only for macros (ext 175), for start-up and tests.
int32_t& small_macro_int();
