// Search and replace in the current buffer: find a literal string or a
// regular expression from the cursor forward or backward, optionally as a
// whole word or only inside the selection, move the cursor to the match,
// replace it, replace every match, and repeat the last search.
//
// One global SearchState holds the options and the last match, so that
// "find next" and "replace" go on from what the last search found. The line
// walk steps a working position through the buffer (linked into the buffer's
// ring while it runs, so edits move it) and calls the plain search or the
// regular-expression search on each line through one function slot, polling
// the break key between lines.
//
// The cores of the six search built-ins are here as plain functions; the
// interpreter's handlers pop their operands, call them and set rc (raising a
// negative result unless the outcome says not to).
//
// Start reading at search_find, search_start and search_lines.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "text/buffer.h"
#include "text/regex.h"

// Option flags (search_state.flags).
inline constexpr uint32_t kSearchFlagIgnoreCase = 0x1;
inline constexpr uint32_t kSearchFlagInSelection = 0x2;
inline constexpr uint32_t kSearchFlagCursorAfter = 0x4;
inline constexpr uint32_t kSearchFlagSavedBackward = 0x8;  // only in the saved form
inline constexpr uint32_t kSearchFlagRegex = 0x10;         // own syntax
inline constexpr uint32_t kSearchFlagWholeWord = 0x20;
inline constexpr uint32_t kSearchFlagV1 = 0x40;       // own syntax, V1 replacements
inline constexpr uint32_t kSearchFlagUnix = 0x80;     // Unix syntax
inline constexpr uint32_t kSearchFlagRcOnly = 0x100;  // errors go to rc only
inline constexpr uint32_t kSearchFlagShiftMarks = 0x800;

inline constexpr int32_t kSearchPatternCap = 1024;
inline constexpr int32_t kSearchWordCharsCap = 80;
inline constexpr int32_t kSearchLineCap = 1024;
inline constexpr int32_t kSearchLastColumn = 1024;  // backward walks start lines here
inline constexpr int kSearchBreakEvery = 4;         // built-in calls between break checks

using SearchLineFn = int32_t (*)(int32_t start_column, const LStr* pattern, const uint8_t* text, int32_t length);
using SearchStepFn = int32_t (*)(PosRecord* pos, BufferRec* buf);

struct SearchState {
  uint32_t flags = 0;
  SearchStepFn line_step = nullptr;
  int32_t direction = 0;  // +1, -1; 0 before the first search (taken as +1)
  SearchLineFn search_fn = nullptr;
  int32_t next_line_start = 1;  // column each later line is searched from
  int32_t col_low = 1;          // display-column limits (block selections)
  int32_t col_high = kSearchLastColumn;
  PosRecord work{};  // the walk's position, in the ring while a search runs
  int32_t match_length = 0;
  int32_t cursor_offset = 0;  // cursor column minus match column
  int32_t match_column = 0;   // 1-based byte column of the last match
  int32_t cursor_column = 0;  // 1-based byte column the cursor was put at
  LStrBuf<kSearchWordCharsCap> word_chars{std::string_view("[A-Za-z0-9_$]")};
};

extern SearchState search_state;
// The pattern as the user gave it. Ignoring case never changes it: the plain
// search gets an upper-cased copy, the regular expression folds by itself.
extern LStrBuf<kSearchPatternCap> search_pattern;

// ---- the selections (the text engine's own install these; each may stay
// null). The break check of the built-ins is the macro runtime's
// (search_port.h); a found line is placed in its window by view_show_row.

// The active selection as the search needs it: kind 1 line, 2 character,
// 4 block; first and last line places; 0-based begin and end columns.
struct SearchSelection {
  int kind;
  const PosRecord* first;
  const PosRecord* last;
  int32_t begin_col;
  int32_t end_col;
};
struct SearchHooks {
  // The active selection when it lies in buf; false when there is none.
  bool (*selection)(const BufferRec* buf, SearchSelection* out);
  // Shifts the selection marks on pos's line at a display column by delta.
  void (*shift_marks)(const PosRecord* pos, int32_t display_col, int32_t delta);
};
SearchHooks& search_hooks();

// ---- the parts ----

// Applies option letters left to right; 0, or -3030 "Invalid option" at a
// letter outside the table (the letters before it stay applied).
ErrorCode search_parse_options(std::string_view options);

// Prepares a search of the current view's buffer and runs the walk from the
// 1-based byte column. 0 with the cursor on the match; -3022 "String not
// found"; -2038 "Command cancelled"; -2500 or -8 from compiling (the
// pattern stays marked for compiling); -2073 without a view. The working
// position stays linked; search_finish unlinks it.
ErrorCode search_start(int32_t start_column);
// The walk from the working position's line. keep_cursor_column: the cursor
// goes to the match line but its column is left alone (between replacements).
ErrorCode search_lines(int32_t start_column, bool keep_cursor_column);
// Replaces the last match in the working position's line. -2500 for a bad
// escape in the replacement (nothing changed), or the store's error.
ErrorCode search_replace_match(std::string_view replacement);
// Expands group references and escapes of a replacement for a regular
// expression match in line (the columns of the current RegexState), as the
// flags' syntax says. -2500 for a bad escape.
ErrorCode search_expand_replacement(std::string_view replacement, const uint8_t* line, int32_t length,
                                    LStrBuf<kSearchLineCap>& out);
// Unlinks the working position from its buffer's ring.
void search_finish();

// ---- the built-ins' cores ----

// What a built-in hands back: rc, and whether a negative rc is raised.
struct SearchOutcome {
  ErrorCode rc = 0;
  bool raise = false;
};

// bi_search: a new search (flags 0, direction +1, the options) from the
// cursor. With a replacement every match from there on is replaced and
// *count gets their number. An empty pattern gives rc 0 and does nothing.
SearchOutcome search_find(std::string_view pattern, std::string_view options, const std::string_view* replacement,
                          int32_t* count);
// bi_repeat_search: the saved pattern and flags with more options on top;
// start_column a display column of the cursor line, or -1 to start next to
// the last match. A failed search keeps the previous match.
SearchOutcome search_repeat(std::string_view options, int32_t start_column);
// bi_search_replace: replaces the last match; search_on ("R") then searches
// on from the match column plus the direction. Always raises a failure.
SearchOutcome search_replace_last(std::string_view replacement, bool search_on);
// bi_save_search / bi_restore_search: the pattern, the flags as a decimal
// number (0x8 set when backward), the word characters and the match as
// " length column offset".
struct SearchSaved {
  LStrBuf<kSearchPatternCap> pattern;
  LStrBuf<16> flags;
  LStrBuf<kSearchWordCharsCap> word_chars;
  LStrBuf<48> match;
};
void search_save(SearchSaved& out);
// A bad flags number gives its error and changes nothing.
ErrorCode search_restore(std::string_view pattern, std::string_view flags, std::string_view word_chars,
                         const std::string_view* match);
// bi_match_info: "" length, digit group length, "S" buffer offset of the
// match ("S" and a digit: of that group), "C" the cursor offset. -3015 for
// another option.
ErrorCode search_match_info(std::string_view option, int64_t* value);

// Forgets everything (tests).
void search_reset();
