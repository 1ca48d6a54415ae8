// Regular expressions: a compiler that turns a pattern into an array of small
// nodes, and a backtracking matcher that runs the nodes over one line.
//
// Two syntaxes: the editor's own (`?` any byte, `{...}` capturing groups,
// `*`/`+` lazy and `@`/`#` greedy closures, `X:n,m` counted repeats, `~X`
// negation, `:a`..`:w` named classes, `\gN` back-references) and a Unix-style
// one (`.`, `(...)`, `*` `+` `?` greedy with a `?` suffix for lazy, `X{n,m}`,
// `(?:...)`, `(?!...)`, `(?#...)`, `(?n...)`, `\N`, `\:a`). Start reading at
// re_compile (regex_compile.cpp) and re_search (regex_match.cpp).
//
// Invariants the compiler guarantees and the matcher relies on:
// - no loop can repeat without consuming a byte: a pass through a closure
//   body that consumed nothing leaves the closure (the "empty paths" of the
//   body jump past the loop node), so every match attempt ends;
// - every choice point is recorded: when the choice stack cannot grow the
//   search fails with -8 rather than answering without it;
// - the matcher polls the break key (ui_break_pressed) while it backtracks,
//   so a pattern with exponential backtracking can be stopped (-2038).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "base/os.h"

// Node kinds; the low byte of a node's first word.
enum RegexKind : uint8_t {
  RX_CHAR = 0,          // literal byte (stored upper-cased when folding)
  RX_SPLIT_LAZY = 1,    // choice: go on at b, resume at a
  RX_SPLIT = 2,         // choice: go on at a, resume at b
  RX_JUMP = 3,          // go on at b
  RX_ANY = 4,           // any one byte
  RX_CURSOR = 5,        // cursor mark: remember the column
  RX_BOL = 6,           // column 1 only
  RX_EOL = 7,           // just past the last byte only
  RX_GROUP_START = 8,   // a = group
  RX_GROUP_END = 9,     // a = group
  RX_NOT = 10,          // negated item follows; b leads past its RX_END
  RX_END = 11,          // end of the match or of a negated item
  RX_CLASS = 12,        // 256-bit set in the two nodes that follow
  RX_COUNT_RESET = 13,  // counter = 0
  RX_REPEAT = 14,       // counted repeat, most passes first
  RX_REPEAT_LAZY = 15,  // counted repeat, fewest passes first
  RX_BACKREF = 16,      // a = group; b = where an empty group goes on
};
inline constexpr int kRegexKinds = 17;

// One node: five 32-bit words. op holds the kind in its low byte and the
// literal character or counter index in its second byte; a and b are targets
// relative to this node (+1 is the next node) or a group number.
struct RegexNode {
  uint32_t op;
  int32_t a;
  int32_t b;
  int32_t min;
  int32_t max;
};
static_assert(sizeof(RegexNode) == 20, "a node is five 32-bit words");

inline constexpr int kRegexGroups = 10;                // groups 0..9 capture
inline constexpr int kRegexNoCaptureGroup = 10;        // a numbered group that captures nothing
inline constexpr int kRegexMaxLevel = 19;              // nesting: the whole pattern is level 1
inline constexpr int kRegexCounters = 20;              // one per nesting level
inline constexpr int32_t kRegexMaxCount = 2147483646;  // largest written repeat bound
inline constexpr int kRegexNodeStep = 40;              // node array: first size and growth
// Duplicated emission of possibly-empty items can multiply the nodes of a
// deeply nested pattern; past this many the compile gives -8 instead of
// taking all memory.
inline constexpr int32_t kRegexMaxNodes = 1 << 20;

// Group positions are 1-based columns of the line; end is exclusive.
struct RegexGroup {
  int32_t start;
  int32_t end;
};

// A compiled pattern and the result of its last match. It owns its node array
// and first-character table (both reused by later compiles into it; taken
// with mem_retry_realloc, so the text store can give pages back first), so it
// is move-only; holders of a private state swap it with the current one.
struct RegexState {
  uint8_t ignore_case = 0;  // ASCII a-z fold to upper case
  int32_t direction = 0;    // +1, -1; 0: no usable pattern, compile first
  RegexNode* nodes = nullptr;
  int32_t last_node = -1;
  int32_t node_capacity = 0;
  uint32_t group_mask = 0;  // bit g: group g has an end in the last match
  RegexGroup groups[kRegexGroups] = {};
  int32_t match_length = 0;
  int32_t cursor_column = 0;  // column of the cursor mark passed, 0 if none
  uint8_t first_valid = 0;
  uint8_t* first = nullptr;  // 256 entries: a match can begin with byte b
  // A byte every match contains (-1: none known); a line without it is
  // passed over without trying a match.
  int32_t required = -1;
  // Bytes every match holds one right after another, chain_len of them (0:
  // none known): bit k of chain[b] says byte b may be the k-th. A line
  // without such a run is passed over; the scan looks for the element
  // chain_anchor, the one fewest bytes may be.
  uint8_t chain_len = 0;
  uint8_t chain_anchor = 0;
  uint8_t chain[256] = {};
  // The bytes the anchor element may be, when there are at most eight of
  // them (anchor_count 0: more), for a scan of many bytes at once.
  uint8_t anchor_count = 0;
  uint8_t anchor_bytes[8] = {};

  RegexState() = default;
  RegexState(RegexState&& o) noexcept;
  RegexState& operator=(RegexState&& o) noexcept;
  RegexState(const RegexState&) = delete;
  RegexState& operator=(const RegexState&) = delete;
  ~RegexState();
};

void re_swap(RegexState& x, RegexState& y) noexcept;

// The current state, used by the function-slot forms below.
RegexState& re_current();

// Compiles pattern into st. direction is +1 or -1; unix_syntax nonzero
// selects the Unix syntax. Returns 0; -2500 for any syntax error; -8 when the
// node array or table cannot be had. After a failure st.direction is 0: the
// state holds no usable pattern and must be compiled again.
ErrorCode re_compile(RegexState& st, std::string_view pattern, int direction, uint8_t ignore_case, int unix_syntax);
ErrorCode re_compile(const LStr* pattern, int direction, uint8_t ignore_case, int unix_syntax);

// Where in text[0..n) the first run of bytes that every match holds (the
// chain above) starts, or -1 when there is none or no run is known. A match
// can only lie where such a run lies.
int32_t re_find_chain(const RegexState& st, const uint8_t* text, int32_t n);

// Searches text[0..length) in the compiled direction from a 1-based column.
// Returns the 1-based column where the match starts, or 0 for none (also
// when st holds no usable pattern). On a match the state's match length,
// group mask, group positions and cursor column describe it. Returns -2038
// when the break key stopped a long backtrack, -8 when the choice stack could
// not grow; the match fields are then cleared.
int re_search(RegexState& st, int start_column, const uint8_t* text, int length);
// The search-slot form: the pattern is not used (the current state holds the
// compiled one); it shares its signature with the plain searches.
int re_search(int start_column, const LStr* pattern, const uint8_t* text, int length);

// Decodes the escape after a backslash: *cursor points after the backslash,
// remaining bytes follow it. Stores the byte in *out and moves *cursor past
// the escape. Returns 0, or -2500 (backslash at the end, a decimal escape
// above 255 or without a digit, \x without a hexadecimal digit) leaving
// *cursor and *out unchanged.
ErrorCode re_decode_escape(const uint8_t** cursor, int remaining, uint8_t* out, int unix_syntax);

// Frees the engine's working storage (the choice stack); the next search
// takes it again. For tests that check for leaks.
void re_release_working_storage();
