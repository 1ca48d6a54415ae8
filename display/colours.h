// Display settings: the 26 colour pairs behind the colour slots, the pool of
// colour slots that cell attributes name, and the eight default fonts.
//
// Colours are 0x00BBGGRR (red in the low byte). A cell attribute is a slot
// index; slots 0..25 are created from the pairs at start-up and follow them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kColourPairs = 26;

struct ColourPair {
  uint32_t fg, bg;
};

struct ColourSlot {
  uint32_t fg, bg;
  bool live;
  bool marked;  // named by the colour search's mask
};

// The pairs as a macro sees them.
ColourPair colour_pair(int index);
// Sets pair index (0..25) and its slot.
void colour_pair_set(int index, ColourPair p);
// Pairs and slots back to their defaults; the class-to-slot mapping too.
void colours_reset();

// ---- the slot pool ----
// A new slot with these colours; its index.
uint16_t colour_slot_new(uint32_t fg, uint32_t bg);
void colour_slot_set(uint16_t slot, uint32_t fg, uint32_t bg);
// Null for an index that is not live.
const ColourSlot* colour_slot(uint16_t slot);
int32_t colour_slot_count();
// Marks (on) or clears the slots the colour-search mask names: bit 0 slot 1,
// bit 2 slot 16, 3 slot 18, 4 slot 19, 5 slot 20, 6 slot 21, 7 slot 17,
// bits 8..11 slots 22..25.
void lex_mark_slots(int32_t mask, bool on);
void colour_slots_unmark_all();
bool colour_slot_marked(uint16_t slot);

// ---- default fonts ----
struct DefaultFont {
  char face[64];
  int32_t size;    // points; bit 31 set: a pixel cell, width in bits 16-30, height in bits 0-15
  uint32_t flags;  // 1 bold, 2 italic, 4 strike-out, 8 underline
};
// The record of a macro id (1, 4, 5, 6, 250..253), or null.
DefaultFont* default_font(int32_t macro_id);
// "face,size,flags," with the size as decimal points or "WxH".
std::string fmt_default_font(const DefaultFont& f);
std::string fmt_font_size(int32_t size);
// Parses "face[,size[,flags[,ignored]]]" (cut at 63 bytes); 0 or -3009.
int32_t parse_font_text(std::string_view text, DefaultFont* out);

// Binds the display's built-ins into the dispatch (once per dispatch).
struct OpcodeDispatch;
struct BindResult;
BindResult display_register_opcodes(OpcodeDispatch& d);
