// What the font built-ins need of the window system's font list.
//
// The list belongs to the window system, which cannot see the macro
// runtime, so it is declared here and the program defines it once, from
// the X server's fonts. A program with no window system knows no font: the
// list is empty and every face is neither scalable nor fixed-pitch.
#pragma once

#include <cstdint>
#include <string_view>

#include "macro/bi_os.h"

// Lists the faces (face empty) or the sizes of one face under the option
// bits S 1, P 2, F 4, X 8, one line (beginning with a blank) at a time to
// `line`; returns the enumeration's result (0).
int32_t font_list_enumerate(uint32_t flags, std::string_view face, FontLineFn line, void* user);
// 1 when the face has a scalable font, else 0.
int32_t font_list_is_scalable(std::string_view face);
// The face's kind flags: 8 fixed-pitch, 256 scalable, both, or 0.
int32_t font_list_type_flags(std::string_view face);
