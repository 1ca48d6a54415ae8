#include "macro/state_settings.h"

#include "base/le.h"
#include "macro/state_settings_defaults.h"

SettingsBlock settings_defaults() {
  namespace d = settings_default;
  SettingsBlock b{};
  uint8_t* p = b.data();
  le::put_u32(p + SET_VERSION, 1);
  le::put_u32(p + SET_CACHE_LIMIT, d::kCacheLimit);
  le::put_i16(p + SET_STORE_LIMIT_KB, d::kStoreLimitKb);
  p[SET_INSERT_MODE] = d::kInsertMode;
  p[SET_UNDO] = d::kUndo;
  le::put_u32(p + SET_DOUBLE_CLICK_MS, d::kDoubleClickMs);
  p[SET_OPTION_D] = d::kOptionD;
  p[SET_OPTION_N] = d::kOptionN;
  for (uint32_t font : {uint32_t(SET_FONT1), uint32_t(SET_FONT2)}) {
    le::put_u16(p + font + kSettingsFontFace, d::kFontSize);
    le::put_u16(p + font + kSettingsFontFace + 2, d::kFontStyle);
  }
  for (int i = 0; i < kSettingsColourPairs; ++i) {
    le::put_u32(p + SET_COLOURS + 8 * i, d::kColours[i].fg);
    le::put_u32(p + SET_COLOURS + 8 * i + 4, d::kColours[i].bg);
  }
  le::put_u32(p + SET_GRID_X, d::kGridTwips);
  le::put_u32(p + SET_GRID_Y, d::kGridTwips);
  return b;
}

SettingsBlock& settings_live() {
  static SettingsBlock live = settings_defaults();
  return live;
}

int64_t settings_cache_limit(const SettingsBlock& b) {
  uint32_t v = le::get_u32(b.data() + SET_CACHE_LIMIT);
  return v == 0xFFFFFFFFu ? -1 : int64_t(v);
}

int settings_store_limit_kb(const SettingsBlock& b) { return le::get_i16(b.data() + SET_STORE_LIMIT_KB); }
bool settings_insert_mode(const SettingsBlock& b) { return b[SET_INSERT_MODE] != 0; }
uint32_t settings_double_click_ms(const SettingsBlock& b) { return le::get_u32(b.data() + SET_DOUBLE_CLICK_MS); }

uint32_t settings_colour(const SettingsBlock& b, int pair, bool background) {
  if (pair < 0 || pair >= kSettingsColourPairs) return 0;
  return le::get_u32(b.data() + SET_COLOURS + 8 * pair + (background ? 4 : 0));
}

std::string_view settings_font_face(const SettingsBlock& b, int font) {
  const char* p = reinterpret_cast<const char*>(b.data() + (font == 2 ? SET_FONT2 : SET_FONT1));
  size_t n = 0;
  while (n < kSettingsFontFace && p[n]) ++n;
  return {p, n};
}
