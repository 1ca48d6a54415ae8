// Operating-system built-ins: the machine name, the current directory, path
// searches, absolute and relative names, and three built-ins that insert a
// list into the current buffer after the cursor line (a directory listing,
// the available fonts, the names of the names table).
//
// An inserter needs a current window with a view (else -2073, fatal). The
// new lines go in one after another after the cursor line, and the cursor
// follows them: it ends on the last inserted line, its row raised by the
// number of lines.
//
// The font list belongs to the window system (font_list_port.h).
#pragma once

#include <cstdint>
#include <string_view>

// Receives one line of a font list (it begins with a blank); 0 or an
// insertion error.
using FontLineFn = int32_t (*)(std::string_view line, void* user);

// The option letters of the font built-ins, in bit order.
inline constexpr const char* kFontOptions = "SPFX";
