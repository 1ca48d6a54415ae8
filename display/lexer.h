// Lexers for colour coding: definition files (.zlx), the lexer records, and
// the line lexer that colours a line or computes the state at its end.
//
// A file holds one lexer per section. Loading only registers the sections;
// a section is parsed on the first use of its lexer (lex_parse, called by
// every entry point), and its errors are reported then through the
// "_clex_error" macro procedure (lex_error_port.h).
//
// The lexer state carried from line to line is 4 bits: 0 text, 1..7 inside
// multi-line comment 1 at that depth, 9..12 inside comment 2 (8 + depth),
// 13/14 inside a continued double/single-quoted string. Comment 2 keeps its
// depth at most 4 so that it never reads as a string state, and comment 1 at
// most 7; colouring and the state computation use the same caps. Colouring
// returns 8 for a line that ends in a line comment; the state computation
// gives 0 there.
//
// Start reading at lex_load_file, lex_parse and lex_colour_line.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kLexNameCap = 19;     // characters of a section name
inline constexpr int kLexValueCap = 1023;  // characters of a value
inline constexpr int kLexKeywordCap = 49;  // characters of a keyword
inline constexpr int kLexDelimCap = 9;     // characters of a comment delimiter
inline constexpr int kLexWordBuckets = 1500;
inline constexpr int kLexBuckets = 1628;  // 1500 word buckets + 128 symbol buckets
inline constexpr int kLexMaxCheckFirst = 5;
inline constexpr int32_t kLexColMax = 0x7fffffff;
inline constexpr int kLexClassCount = 12;

// Colour classes.
enum LexClass : uint16_t {
  kClassText = 0,
  kClassKeyword = 2,
  kClassNumber = 3,
  kClassString = 4,
  kClassComment = 5,
  kClassPreproc = 6,
  kClassLineNum = 7,
  kClassSymbol1 = 8,
};

// Keyword kinds (also the classes they are drawn in, except 5).
inline constexpr int32_t kKindKeyword = 2;
inline constexpr int32_t kKindComment = 5;
inline constexpr int32_t kKindPreproc = 6;

// States.
inline constexpr int kStateLineComment = 8;
inline constexpr int kStateDqString = 13;
inline constexpr int kStateSqString = 14;

// char_flags bit values.
inline constexpr uint8_t kCfMlDelim = 1;    // first character of a multi-line delimiter
inline constexpr uint8_t kCfCommentKw = 2;  // first character of a comment-delimiter keyword
inline constexpr uint8_t kCfQuote = 4;      // quote of an enabled string style

// STYLES bits (styles1).
inline constexpr uint32_t kStDquote = 0x1, kStDqBackslash = 0x2, kStDqDoubles = 0x4, kStDqLen1 = 0x8;
inline constexpr uint32_t kStSquote = 0x10, kStSqBackslash = 0x20, kStSqDoubles = 0x40, kStSqLen1 = 0x80;
inline constexpr uint32_t kStHexH = 0x200, kStXHex = 0x400, kStEFloat = 0x1000, kStDFloat = 0x8000;
inline constexpr uint32_t kStUnderlineInt = 0x20000, kStPoundBase = 0x40000, kStLineNum = 0x80000;
inline constexpr uint32_t kStAmpOOct = 0x100000, kStAmpHHex = 0x200000, kStOctO = 0x400000, kStOctQ = 0x800000;
inline constexpr uint32_t kStZqHex = 0x1000000, kStDqMultiline = 0x2000000, kStSqMultiline = 0x4000000;
inline constexpr uint32_t kStDqBackslashMl = 0x8000000, kStSqBackslashMl = 0x10000000;
inline constexpr uint32_t kStDollarHex = 0x20000000, kStNoNumbers = 0x40000000, kStRexxHex = 0x80000000u;
// styles2
inline constexpr uint32_t kSt2DqTerminate = 0x1, kSt2SqTerminate = 0x2;

// The scanning routine of a character.
enum class LexHandler : uint8_t { Default, Ident, Number, Dot, Dollar, Amp, Symbol, DQuote, SQuote };

struct LexKeyword {
  int32_t next;     // index of the next entry of the bucket chain, -1 none
  int32_t kind;     // 2, 5, 6, 8..11
  int32_t comment;  // kind 5: 0 line comment, 1/2 start of that multi-line comment
  int32_t start_col;
  int32_t end_col;
  int32_t length;
  uint8_t as_given;  // compared exactly even in a case-insensitive lexer
  char text[kLexKeywordCap + 1];
};

// A keyword hash table: chain heads over the lexer's entry array.
struct LexKeywordTable {
  std::array<int32_t, kLexBuckets> heads;
  std::vector<LexKeyword> entries;
  LexKeywordTable() { heads.fill(-1); }
};

struct MlCommentDef {
  char start[kLexDelimCap + 1];
  char end[kLexDelimCap + 1];
  int32_t start_len, end_len;
  int32_t start_col_min, start_col_max;
  uint8_t position;  // 0 anywhere, 1 CHECKFIRST, 2 LEADING
  uint8_t lastchar;  // the end delimiter must end the line
  uint8_t nesting;
  uint16_t colour_class;
  bool has_followedby;
  std::bitset<256> followedby;
  std::unique_ptr<LexKeywordTable> mlc_keywords;
};

struct CheckFirstEntry {
  char text[kLexDelimCap + 1];
  int32_t length;
  int32_t start_col;
  int32_t end_col;
  uint8_t kind;  // 1 CHECKFIRST, 2 LEADING
  uint8_t is_ml;
  uint8_t ml_number;
};

// The text of one loaded file: shared by the sections still waiting for their
// parse, so it lives as long as any of them refers to it.
struct LexFileText {
  std::string text;
  std::string name;
};

struct LexerDef {
  int32_t handle;
  std::array<LexHandler, 256> handler;
  std::array<uint8_t, 256> idmap;
  std::unique_ptr<LexKeywordTable> keywords;
  uint32_t styles1, styles2;
  char name[kLexNameCap + 1];
  uint8_t case_sensitive;
  uint8_t pp_char;
  MlCommentDef ml[2];
  uint8_t ml_count;
  CheckFirstEntry checkfirst[kLexMaxCheckFirst];
  int32_t comment_column;
  uint8_t checkfirst_count;
  std::array<uint8_t, 256> char_flags;
  // The section waiting for its parse: body offset in the file text.
  std::shared_ptr<const LexFileText> pending;
  int32_t pending_body;
  int32_t pending_end;
  uint32_t generation;  // raised by every parse; buffers compare it
};

// ---- registry and files ----

// Loads a lexer definition file: registers its sections (a known name reuses
// its record, which is parsed again on its next use). 0, an open's code (-5
// for a name that is no regular file: a directory, FIFO or device), or -3547
// (also for a file over a few megabytes).
int32_t lex_load_file(const char* path);
// The same over text in memory; name is the file name shown in reports.
int32_t lex_load_text(std::string_view text, std::string_view name);
// The lexer of that name (without regard to case), or null.
LexerDef* lex_find(std::string_view name);
LexerDef* lex_by_handle(int32_t handle);
// Parses a pending section; nothing for a parsed one.
void lex_parse(LexerDef* lexer);
// Forgets every lexer (tests).
void lex_reset_all();

// The table of 12 class attributes (colour-slot numbers).
void lex_set_class_attr(int32_t cls, uint16_t attr);
uint16_t lex_get_class_attr(int32_t cls);
// Class 0 = slot 1, 1 = 11, 2 = 16, 3 = 18, 4 = 19, 5 = 20, 6 = 21, 7 = 17, 8..11 = 22..25.
void lex_default_class_attrs();

// ---- parse errors ----

// A parse error goes to the macro procedure "_clex_error" when it exists
// (display/lex_error_port.h); without it nothing is reported.
// The report text: file name, NUL, code, " ", lexer name, "]", key, "=",
// value, cut at 1024 bytes.
std::string lex_error_text(std::string_view file, int32_t code, std::string_view lexer, std::string_view key,
                           std::string_view value);

// ---- the line lexer ----

// Makes a lexer current (parsing it first).
void lex_select(LexerDef* lexer);
LexerDef* lex_current();
// Colours one line with the current lexer: attrs receives length class
// attributes; returns the end state. The text is not written.
int lex_colour_line(const uint8_t* text, int32_t length, uint16_t* attrs, int start_state);
// The state at the end of a line; selects the lexer itself and colours nothing.
int lex_line_state(LexerDef* lexer, const uint8_t* text, int32_t length, int start_state);

// Highest depth of comment m (1 or 2).
int lex_depth_cap(const LexerDef& lx, int m);
