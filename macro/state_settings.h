// The editor settings block: record 9 of the state file, 1280 bytes.
//
// Layout (little-endian; every byte not listed is reserved and written as 0):
//
// | offset | width | field                                                   |
// |--------|-------|---------------------------------------------------------|
// | 0      | u32   | layout version, 1                                       |
// | 4      | u32   | code cache limit in bytes (0 = inactive, 0xFFFFFFFF none)|
// | 8      | i16   | text-store memory limit in KB (-1 = none)               |
// | 10     | u8    | insert mode: 1 insert, 0 overwrite                      |
// | 11     | u8    | undo option: 1 on, 0 off                                |
// | 12     | u32   | double-click time in milliseconds                       |
// | 16     | u8    | editor option D                                         |
// | 17     | u8    | editor option N character (0 = off)                     |
// | 20     | 4xu32 | names indexes of the spell checker's file-name variables|
// |        |       | (common list, main dictionary, user 1, user 2; 0 unset) |
// | 36     | 68    | font 1 (system font 504): face 64 bytes NUL-padded,     |
// |        |       | u16 size in points, u16 style                           |
// | 104    | 68    | font 2 (system font 506), same layout                   |
// | 172    | 256   | spill directory, NUL-padded (empty = default)           |
// | 428    | 26x8  | colour pairs 0..25: u32 foreground, u32 background,     |
// |        |       | each 0x00RRGGBB                                         |
// | 636    | u32   | form designer's horizontal grid spacing in twips        |
// | 640    | u32   | form designer's vertical grid spacing in twips          |
// | 644    | 2xi32 | two integers handed to the frame's display hook         |
// | 652    | 628   | reserved                                                |
//
// The compiled-in defaults are in state_settings_defaults.h; a state file
// without record 9 (or a module file booted as state) leaves them in force.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

constexpr uint32_t kSettingsBytes = 1280;
constexpr int kSettingsColourPairs = 26;

enum SettingsOffset : uint32_t {
  SET_VERSION = 0,
  SET_CACHE_LIMIT = 4,
  SET_STORE_LIMIT_KB = 8,
  SET_INSERT_MODE = 10,
  SET_UNDO = 11,
  SET_DOUBLE_CLICK_MS = 12,
  SET_OPTION_D = 16,
  SET_OPTION_N = 17,
  SET_SPELL_VARS = 20,
  SET_FONT1 = 36,
  SET_FONT2 = 104,
  SET_SPILL_DIR = 172,
  SET_COLOURS = 428,
  SET_END_OF_FIELDS = 636,
  SET_GRID_X = 636,
  SET_GRID_Y = 640,
  SET_DISPLAY_INTS = 644,
};
constexpr uint32_t kSettingsFontFace = 64;
constexpr uint32_t kSettingsSpillDir = 256;

using SettingsBlock = std::array<uint8_t, kSettingsBytes>;

// The block holding the compiled-in defaults.
SettingsBlock settings_defaults();
// The running editor's block: the defaults until a state file restores it.
SettingsBlock& settings_live();

// Field readers of a block.
int64_t settings_cache_limit(const SettingsBlock& b);  // -1 = none
int settings_store_limit_kb(const SettingsBlock& b);
bool settings_insert_mode(const SettingsBlock& b);
uint32_t settings_double_click_ms(const SettingsBlock& b);
uint32_t settings_colour(const SettingsBlock& b, int pair, bool background);
std::string_view settings_font_face(const SettingsBlock& b, int font);  // font 1 or 2

static_assert(SET_COLOURS + kSettingsColourPairs * 8 == SET_END_OF_FIELDS);
static_assert(SET_FONT2 + 68 == SET_SPILL_DIR && SET_SPILL_DIR + kSettingsSpillDir == SET_COLOURS);
