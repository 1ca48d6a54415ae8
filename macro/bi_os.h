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
// The font list belongs to the window system; it plugs in through
// os_bi_set_font_hooks. Until it does, no font is known: the list is empty
// and every face is neither scalable nor fixed-pitch.
#pragma once

#include <cstdint>
#include <string_view>

// Receives one line of a font list (it begins with a blank); 0 or an
// insertion error.
using FontLineFn = int32_t (*)(std::string_view line, void* user);

struct FontListHooks {
  // Lists the faces (face empty) or the sizes of one face, under the option
  // bits S 1, P 2, F 4, X 8; returns the enumeration's result.
  int32_t (*enumerate)(uint32_t flags, std::string_view face, FontLineFn line, void* user);
  // 1 when the face has a scalable font, else 0.
  int32_t (*is_scalable)(std::string_view face);
  // The face's kind flags: 8 fixed-pitch, 256 scalable, both, or 0.
  int32_t (*type_flags)(std::string_view face);
};
// Installs the window system's font list; null members keep the defaults.
void os_bi_set_font_hooks(const FontListHooks& hooks);

// The option letters of the font built-ins, in bit order.
inline constexpr const char* kFontOptions = "SPFX";
