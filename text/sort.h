// Sorting the lines of a selection.
//
// The lines from the begin mark's line to the end mark's are read into one
// table (their text and key packed in a byte area, a small entry per line,
// all through the store's evicting allocator, so running out of memory gives
// -2029), ordered, and written as new lines after a destination line;
// the caller removes the old lines. Keys compare as bytes (exact or ignoring
// case), as decimal numbers or as file names, over whole lines or a column
// range (block selections; columns after tab expansion). Equal keys keep their
// buffer order in both directions. Reading everything first means the
// insertions can never disturb a line still to be written.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/messages.h"
#include "text/buffer_rec.h"
#include "text/cursor.h"
#include "text/selection.h"

enum class SortMode : uint8_t { Bytes = 0, Decimal = 1, FileName = 2 };

struct SortOptions {
  int direction = 1;         // 1 ascending, -1 descending
  bool ignore_case = false;  // "I"; "E" is exact
  SortMode mode = SortMode::Bytes;
  int32_t key_col = 0;    // 0-based start column of the key after tab expansion
  int32_t key_width = 0;  // 0: to the end of the line
};

// Parses the option letters: blanks ignored, A D E I, "-N", "-F"; -3030 for
// anything else (a "-" must be followed by N or F).
ErrorCode sort_parse_options(std::string_view text, SortOptions& opt);

// The decimal comparison; the macro runtime plugs its decimal numbers in.
// The default reads plain numbers: blanks, sign, digits with one point and
// an optional exponent.
struct SortDecimalHooks {
  bool (*valid)(std::string_view key);
  int (*compare)(std::string_view a, std::string_view b);  // <0, 0, >0
};
void sort_set_decimal_hooks(const SortDecimalHooks* hooks);  // null: the default

// Upper-cased byte difference at the first difference (or at the last byte
// compared); 0 for n = 0.
int32_t mem_icompare(const void* a, const void* b, int32_t n);
// File names: directory parts first (bytewise, then by length; no directory
// first), then the name parts (bytewise over the shorter, then by length).
int32_t path_compare(std::string_view a, std::string_view b);

// Sorts the lines begin..end of buf and inserts them after dest (which moves
// to the last inserted line; dest may be in another buffer). 0, -2080 "Invalid sort data" (decimal key that
// does not parse; nothing inserted), -2029, or a store error (insertion stops
// where it stands).
ErrorCode sort_lines(PosRecord* begin, PosRecord* end, const SortOptions& opt, PosRecord* dest, BufferRec* buf);

// The sort built-in's core: sorts a selection (CHAR as LINE; BLOCK by its
// columns) and inserts the lines after its end mark when the view is in the
// selection's buffer, else after the view's line. -3030 for bad options,
// -2013 when nothing is selected, else as sort_lines.
ErrorCode sort_selection(std::string_view options, const SelectionMarks* sel, const PosRecord* view);
