// What the default-font built-in needs of the owners of the fonts it sets:
// the frame's menus (internal id 500), the window system's font elements
// (502, 504, 506) and the message, status and command lines (8, 10, 12).
// The application defines these. A program without it applies nothing and
// has no owner to ask.
#pragma once

#include <cstdint>
#include <string>

// The default font with the internal id was set: its owner applies it.
void default_font_changed(int32_t internal_id);
// Asks the owner of the font for it; false, or an empty face, when it has
// none to tell. The size comes in tenths of a point.
bool default_font_query(int32_t internal_id, std::string* face, int32_t* tenths, uint32_t* flags);
