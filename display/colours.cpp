#include "display/colours.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "display/lexer.h"
#include "macro/state_settings_defaults.h"

namespace {

// The defaults are the settings block's, so a state file and the display
// start from one table.
constexpr std::array<ColourPair, kColourPairs> make_default_pairs() {
  std::array<ColourPair, kColourPairs> a{};
  for (int i = 0; i < kColourPairs; ++i) a[i] = {settings_default::kColours[i].fg, settings_default::kColours[i].bg};
  return a;
}
constexpr std::array<ColourPair, kColourPairs> kDefaultPairs = make_default_pairs();
static_assert(std::size(settings_default::kColours) == kColourPairs);

std::array<ColourPair, kColourPairs> pairs = kDefaultPairs;
std::vector<ColourSlot> slots;
constexpr size_t kSlotGrow = 100;  // records added when the pool is full

void make_default_slots() {
  slots.clear();
  slots.reserve(kSlotGrow);
  for (const auto& p : pairs) slots.push_back({p.fg, p.bg, true, false});
}

struct FontRow {
  int32_t macro_id;
  DefaultFont font;
};
constexpr std::array<FontRow, 8> kDefaultFonts = {{
    {1, {"OEM Fixed Font", 10, 0}},
    {4, {"MS Sans Serif", 10, 0}},
    {5, {"MS Sans Serif", 10, 0}},
    {6, {"System", 10, 0}},
    {250, {"", 10, 0}},
    {251, {"", 10, 0}},
    {252, {"", 10, 0}},
    {253, {"", 10, 0}},
}};
std::array<FontRow, 8> fonts = kDefaultFonts;

bool ensure_slots() {
  if (slots.empty()) make_default_slots();
  return true;
}

// Slot named by each bit of the colour-search mask; 0 = none.
constexpr std::array<uint16_t, 12> kMaskSlots = {1, 0, 16, 18, 19, 20, 21, 17, 22, 23, 24, 25};

}  // namespace

ColourPair colour_pair(int index) {
  return index >= 0 && index < kColourPairs ? pairs[static_cast<size_t>(index)] : ColourPair{0, 0};
}

void colour_pair_set(int index, ColourPair p) {
  if (index < 0 || index >= kColourPairs) return;
  ensure_slots();
  pairs[static_cast<size_t>(index)] = p;
  colour_slot_set(static_cast<uint16_t>(index), p.fg, p.bg);
}

void colours_reset() {
  pairs = kDefaultPairs;
  fonts = kDefaultFonts;
  make_default_slots();
  lex_default_class_attrs();
}

uint16_t colour_slot_new(uint32_t fg, uint32_t bg) {
  ensure_slots();
  for (size_t i = kColourPairs; i < slots.size(); ++i) {
    if (!slots[i].live) {
      slots[i] = {fg, bg, true, false};
      return static_cast<uint16_t>(i);
    }
  }
  if (slots.size() >= 0xffff) return 1;  // attributes are 16 bits: the text slot stands in
  if (slots.size() == slots.capacity()) slots.reserve(slots.size() + kSlotGrow);
  slots.push_back({fg, bg, true, false});
  return static_cast<uint16_t>(slots.size() - 1);
}

void colour_slot_set(uint16_t slot, uint32_t fg, uint32_t bg) {
  ensure_slots();
  if (slot >= slots.size() || !slots[slot].live) return;
  slots[slot].fg = fg;
  slots[slot].bg = bg;
}

const ColourSlot* colour_slot(uint16_t slot) {
  ensure_slots();
  return slot < slots.size() && slots[slot].live ? &slots[slot] : nullptr;
}

int32_t colour_slot_count() {
  ensure_slots();
  return static_cast<int32_t>(slots.size());
}

void lex_mark_slots(int32_t mask, bool on) {
  ensure_slots();
  for (size_t bit = 0; bit < kMaskSlots.size(); ++bit)
    if ((mask >> bit) & 1 && kMaskSlots[bit]) slots[kMaskSlots[bit]].marked = on;
}

void colour_slots_unmark_all() {
  for (auto& s : slots) s.marked = false;
}

bool colour_slot_marked(uint16_t slot) {
  const ColourSlot* s = colour_slot(slot);
  return s && s->marked;
}

DefaultFont* default_font(int32_t macro_id) {
  for (auto& r : fonts)
    if (r.macro_id == macro_id) return &r.font;
  return nullptr;
}

std::string fmt_font_size(int32_t size) {
  if (size < 0) {
    const uint32_t u = static_cast<uint32_t>(size);
    return std::to_string((u >> 16) & 0x7fff) + "x" + std::to_string(u & 0xffff);
  }
  return std::to_string(size);
}

std::string fmt_default_font(const DefaultFont& f) {
  return std::string(f.face) + "," + fmt_font_size(f.size) + "," + std::to_string(f.flags) + ",";
}

namespace {
bool parse_uint(std::string_view t, uint32_t* out) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.empty()) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0x7fffffff) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}
}  // namespace

int32_t parse_font_text(std::string_view text, DefaultFont* out) {
  text = text.substr(0, 63);
  DefaultFont f{};
  f.size = 10;
  std::string_view tok[4];
  int n = 0;
  while (n < 4) {
    const size_t comma = text.find(',');
    tok[n++] = text.substr(0, comma);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  std::snprintf(f.face, sizeof f.face, "%.*s", static_cast<int>(tok[0].size()), tok[0].data());
  if (n > 1 && !tok[1].empty()) {
    uint32_t v = 0;
    if (parse_uint(tok[1], &v)) {
      f.size = static_cast<int32_t>(v);
    } else {
      const size_t x = tok[1].find_first_of("xX");
      uint32_t w = 0, h = 0;
      if (x == std::string_view::npos || !parse_uint(tok[1].substr(0, x), &w) ||
          !parse_uint(tok[1].substr(x + 1), &h) || w > 0x7fff || h > 0xffff)
        return ERR_INVALID_NUMBER_ARGUMENT;
      f.size = static_cast<int32_t>(0x80000000u | w << 16 | h);
    }
  }
  if (n > 2 && !tok[2].empty()) {
    uint32_t v = 0;
    if (!parse_uint(tok[2], &v)) return ERR_INVALID_NUMBER_ARGUMENT;
    f.flags = v;
  }
  *out = f;
  return 0;
}
