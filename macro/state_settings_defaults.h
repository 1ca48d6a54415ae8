// Compiled-in defaults of the settings block (data only; the layout is in
// state_settings.h).
#pragma once

#include <cstdint>

namespace settings_default {

constexpr uint32_t kCacheLimit = 1024 * 1024;  // bytes; above the 150 KB floor
constexpr int16_t kStoreLimitKb = 16384;       // 16 MB of text pages in memory, then spill
constexpr uint8_t kInsertMode = 1;             // insert mode on
constexpr uint8_t kUndo = 1;
constexpr uint32_t kDoubleClickMs = 500;
constexpr uint8_t kOptionD = 0;
constexpr uint8_t kOptionN = 0;
constexpr uint16_t kFontSize = 10;  // points, used only with a face
constexpr uint16_t kFontStyle = 0;
constexpr uint32_t kGridTwips = 120;  // the form designer's grid: 8 pixels at 96 per inch

// Colour pairs by slot: foreground, background (0x00RRGGBB). Every pair is
// readable: dark text on a light ground, or light text on a dark one.
struct ColourPair {
  uint32_t fg, bg;
};
constexpr ColourPair kColours[26] = {
    // fg        bg
    {0x000000, 0xFFFFFF},  //  0 text
    {0x000000, 0xFFFFFF},  //  1 plain text (colour class 0)
    {0xFFFFFF, 0x000080},  //  2 selection
    {0x000000, 0xC0C0C0},  //  3 status line
    {0x000000, 0xFFFFFF},  //  4 message line
    {0x800000, 0xFFFFFF},  //  5 error messages
    {0x000000, 0xFFFFFF},  //  6 command line
    {0xFFFFFF, 0x008080},  //  7 current line marker
    {0x000000, 0xFFFF80},  //  8 highlight
    {0x000000, 0xE0E0E0},  //  9 hidden / inactive
    {0x000000, 0xFFFFFF},  // 10
    {0x0000C0, 0xFFFFFF},  // 11 keywords
    {0x000000, 0xFFFFFF},  // 12
    {0x000000, 0xFFFFFF},  // 13
    {0x000000, 0xFFFFFF},  // 14
    {0x000000, 0xFFFFFF},  // 15
    {0x008000, 0xFFFFFF},  // 16 comments
    {0x800080, 0xFFFFFF},  // 17 preprocessor
    {0xA00000, 0xFFFFFF},  // 18 strings
    {0x806000, 0xFFFFFF},  // 19 numbers
    {0x000080, 0xFFFFFF},  // 20 operators
    {0x008080, 0xFFFFFF},  // 21 user words 1
    {0x804000, 0xFFFFFF},  // 22 user words 2
    {0x404040, 0xFFFFFF},  // 23 identifiers
    {0xC00000, 0xFFFFFF},  // 24 errors
    {0x606060, 0xFFFFFF},  // 25 other
};

}  // namespace settings_default
