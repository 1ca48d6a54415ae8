// Searching one line for a literal pattern with a skip table.
//
// search_plain_prepare builds, for the pattern and a direction, a table of
// the last (forward) or first (backward) occurrence of every byte and a table
// that chains each pattern position to the previous (forward) or next
// (backward) occurrence of the same byte. The search looks at the byte under
// the candidate's far end: a byte absent from the pattern moves the candidate
// by the whole pattern length, otherwise it tries exactly the alignments that
// put an occurrence of the byte under it. With folding the text's ASCII
// letters are upper-cased; the caller passes the pattern upper-cased already.
//
// The tables are global and hold the last preparation (one thread).
// A pattern longer than the chain table (kPlainMaxPattern bytes) is searched
// by direct comparison at every start, with the same results; the tables are
// never written past their end.
#pragma once

#include <cstdint>

#include "base/lstr.h"

inline constexpr int32_t kPlainMaxPattern = 1025;  // chain-table entries

// Builds the tables for the pattern; direction +1 or -1; fold nonzero folds
// the text. Returns 0.
int32_t search_plain_prepare(const LStr* pattern, int direction, int fold);
// The leftmost occurrence starting at or after the 1-based start column
// (below 1 counts as 1): its column, or 0. 0 for an empty pattern.
int32_t search_plain_forward(int32_t start_column, const LStr* pattern, const uint8_t* text, int32_t length);
// The rightmost occurrence starting at or before the start column (past the
// text: the last column where the pattern fits); 0 when none, for an empty
// pattern or a start column below 1.
int32_t search_plain_backward(int32_t start_column, const LStr* pattern, const uint8_t* text, int32_t length);
// Compares count bytes stepping in the prepared direction from the two given
// bytes, folding the text bytes when prepared so; 0 when equal, else the
// (folded) text byte minus the pattern byte at the first difference.
int32_t search_plain_compare(const uint8_t* text, const uint8_t* pattern, int32_t count);
// Prepares backward without folding and searches the counted string.
int32_t search_plain_backward_lstr(const LStr* pattern, const LStr* text, int32_t start_column);
