// Tab stops, margins and tab columns.
//
// Lines are stored with their tab characters; columns are display columns.
// These pure helpers convert between 1-based byte offsets and 1-based display
// columns of a line under a set of tab stops, expand a column range into
// blanks, and give the cursor helpers that move by characters over 0-based
// display columns. The buffer whose stops apply is chosen by the caller.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"

inline constexpr int kTabStopCount = 30;  // explicit stops per buffer
inline constexpr int kMarginCount = 3;    // left, right, new paragraph
inline constexpr int32_t kTabDefaultWidth = 8;
inline constexpr int32_t kMaxColumn = 1023;

// The stops that apply: up to 30 rising columns (1-based), ended by 0 or 1024;
// beyond the last one, every 8 columns. expand = false (fixed-length records,
// or tabs shown unexpanded): every tab is one column.
struct TabStops {
  const int32_t* stops = nullptr;  // null: no explicit stops
  bool expand = true;
};

// Set by the text display while it draws a line: an expanded tab keeps the
// tab character in its first column.
extern uint8_t show_tabs_flag;

// The next stop after column col; idx remembers where the search of the
// explicit stops stands (start with 0).
int32_t tab_next_stop(int32_t col, const TabStops& ts, int& idx);
// 1-based offset of the first tab at or after start, or 0 (also when tabs
// are not expanded or start is past the end).
int32_t tab_find_next(std::string_view text, int32_t start, const TabStops& ts);
// Modes: 'T'/'P' a column to the offset of the byte shown there (inside the
// blanks of a tab: 'T' the tab's offset negated, 'P' the tab's offset;
// columns past the end map to offsets past it); 'I' (and other letters) an
// offset to its column; 'L' the display width. A value below 1 comes back
// unchanged (except for 'L').
int32_t tab_convert_column(std::string_view text, int32_t value, char mode, const TabStops& ts);
// The display columns start..end (end -1: to the end of the line, without
// padding) with tabs turned into blanks; mode 'S' keeps a tab whose whole span
// lies in the range. A line that ends before the range is padded with blanks.
// The result is cut at cap bytes.
void tab_expand_range(LStr* out, int32_t cap, std::string_view text, int32_t start, int32_t end, char mode,
                      const TabStops& ts);

// 0-based display column at which the character before the one covering col
// starts (cursor left).
int32_t line_col_char_start(std::string_view line, int32_t col, const TabStops& ts);
// 0-based display column of the character after the one covering col (cursor right).
int32_t line_col_next_char(std::string_view line, int32_t col, const TabStops& ts);
// 1-based byte position for display column col; a tab covering col is first
// turned into blanks in the line itself (capacity 1024).
int32_t line_col_to_pos_split_tab(LStr* line, int32_t col, const TabStops& ts);

// Parses tab stops (n = 30) or margins (any other n) into a. On failure a is
// left as it was and -2006 "Error in tab settings" or -2005 "Error in margin
// settings" is returned (the caller puts it in rc); 0 on success.
int32_t buf_parse_tabs_margins(std::string_view text, int32_t* a, int n);
