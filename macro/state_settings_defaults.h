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

// Colour pairs by slot: foreground, background, as 0x00BBGGRR. These are
// the display's own defaults: a state file written with them shows what the
// display shows without one.
struct ColourPair {
  uint32_t fg, bg;
};
constexpr ColourPair kColours[26] = {
    {0x000000, 0xc0c0c0}, {0x000000, 0xffffff}, {0xff0000, 0xffffff}, {0xff0000, 0xc0c0c0}, {0x000000, 0xc0c0c0},
    {0x000000, 0xc0c0c0}, {0x000000, 0xffffff}, {0x000000, 0xc0c0c0}, {0xffffff, 0xff0000}, {0xffffff, 0xff0000},
    {0x000000, 0xffffff}, {0x000000, 0xffffff}, {0x0000ff, 0xffffff}, {0x000080, 0xffffff}, {0x000000, 0xffffff},
    {0x000000, 0xffffff}, {0x800080, 0xffffff}, {0x000000, 0xffffff}, {0x808000, 0xffffff}, {0x808000, 0xffffff},
    {0x008000, 0xffffff}, {0x008080, 0xffffff}, {0x000000, 0xffffff}, {0x000000, 0xffffff}, {0x000000, 0xffffff},
    {0x000000, 0xffffff},
};

}  // namespace settings_default
