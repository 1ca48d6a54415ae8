// String built-ins of the macro language: searching forwards and backwards
// (plain text or regular expressions, with a query form for the last match
// and its groups), substrings, stripping, centring, translation,
// verification against a character set, length, case, character codes and
// the two number tests. The handlers are opcode-table rows (opcodes.h).
//
// Arguments are on the expression stack, the last one on top; a u8 operand
// gives the number passed where arguments are optional. A bad option letter
// or argument raises -3015 "Invalid argument"; a non-integer where an
// integer is needed raises -3009. Results longer than 1024 bytes are cut at
// 1024 (centring into a wider field included); an empty pad argument means
// a blank.
#pragma once

#include <cstdint>
#include <string_view>

struct RegexState;  // text/regex.h

// Search option letters; their 1-based position is their bit (I ignore
// case, R the editor's regular expressions, W E V accepted without effect,
// U Unix regular expressions).
inline constexpr const char* kSearchOptions = "IRWEVU";
inline constexpr int32_t kSearchIgnoreCase = 1 << 0;
inline constexpr int32_t kSearchRegex = 1 << 1;
inline constexpr int32_t kSearchUnix = 1 << 5;

// What a search found besides its position.
struct StrMatch {
  int32_t length = 0;  // match length (plain text: the needle's)
  int32_t cursor = 0;  // column of a regular expression's cursor mark, 0 if none
};

// Finds needle in text, forwards from the 1-based column start (the first
// match at or after it) or backwards (the last match that begins at or
// before it). mask holds the option bits above; regular expressions are
// compiled into *rx, which keeps the match's groups. Returns the column,
// 0 when nothing was found (and for an empty needle), -1 when the
// expression does not compile, or the engine's error (-2038 break, -8).
int32_t str_search(std::string_view needle, std::string_view text, int32_t start, bool forward, int32_t mask,
                   RegexState* rx, StrMatch* m);

// The parse statement's own regular-expression state (core_ops.cpp).
RegexState& core_parse_regex();

// The state of the last bi_pos / bi_lastpos search, for the query form.
struct StrSearchState {
  int32_t options = 0;   // option mask of the last call
  int32_t position = 0;  // position of the last match, 0 if none
  int32_t length = 0;    // its length
};
extern StrSearchState str_last_search;
