// Tab stops: converting between byte offsets and display columns of a line.
//
// Lines are stored with their tab characters; columns are display columns.
// Columns and offsets here are 1-based. A tab at column c spans c up to the
// next stop - 1. The stops are the buffer's explicit ones (rising, ended by
// 1024 or 0, at most 30), then every 8 columns: 9, 17, 25, ... Tabs are one
// column each in a buffer of fixed-length records or whose tab-expansion
// switch is 1.
//
// The buffer whose stops apply is the buffer being processed when one is set
// (saving, sorting and the like set it), else the current view's buffer, else
// the defaults (every 8 columns).
#pragma once

#include <cstdint>

#include "base/lstr.h"
#include "text/buffer_rec.h"

inline constexpr int32_t kTabWidth = 8;         // stops beyond the explicit ones
inline constexpr int32_t kTabMaxColumns = 1024;  // most columns an expansion writes

// The store-wide buffer being processed, null none.
extern BufferRec* tab_buffer_processed;
// The buffer whose tab stops apply now (may be null).
BufferRec* tab_buffer();
// False when tabs are single columns in the buffer that applies.
bool tab_expands();

// 1-based offset of the first tab at or after start, or 0 (also 0 when tabs
// are not expanded or start is past the end).
int32_t tab_find_next(const void* text, int32_t length, int32_t start);
// The next tab stop after a column; `index` remembers where the search of the
// explicit stops stands (start with 0).
int32_t tab_next_stop(int32_t column, int32_t& index);
// Modes 'T'/'P': column to offset (inside the blanks of a tab 'T' gives the
// tab's offset negated, 'P' the offset); 'L': display width of the line; any
// other letter ('I'): offset to column. Past the end one byte is one column.
// A value below 1 is returned unchanged (except for 'L').
int32_t tab_convert_column(const void* text, int32_t length, int32_t value, char mode);
// The display columns start..end (end -1: to the end of the line) of the line,
// tabs turned into blanks, at most 1024 columns, cut at cap. Mode 'S' keeps a
// tab whose whole span lies in the range. With a given end the result is
// padded with blanks when the line ends first. While tab_show_tabs is set a
// covered tab is written as a tab followed by blanks.
void tab_expand_range(LStr* out, int32_t cap, const void* text, int32_t length, int32_t start, int32_t end,
                      char mode);

// The text display's show-tabs flag (set while drawing).
extern bool tab_show_tabs;
