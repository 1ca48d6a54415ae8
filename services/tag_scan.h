// The tag parser's token scanner: a table-driven scanner set up once from
// character classes and keyword rows, then fed source text in pieces by a
// reader callback.
//
// A configuration (TokenScanner) says how each byte starts a token, which
// bytes continue words, the keywords and operators (hashed into 1628
// buckets: 0-1499 for words and directives by the sum of their bytes, 1500
// and up for operators by their first byte), the comment delimiters and the
// directive character with its handler. The running scan (TagScan) owns the
// input buffer: at most 3999 source bytes and a NUL, refilled from the
// reader and cut after the last line end, so a token never straddles two
// fills unless one line is longer than the buffer. The scan never recurses:
// blank lines and directive lines are walked in a loop, so no input can
// exhaust the stack.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Token codes; keyword rows give codes of 10 and up.
inline constexpr int32_t kTokIdent = 0;
inline constexpr int32_t kTokEnd = 1;
inline constexpr int32_t kTokNumber = 2;
inline constexpr int32_t kTokLiteral = 3;
inline constexpr int32_t kTokLineEnd = 4;
inline constexpr int32_t kTokChar = 5;

// Option bits of scan_set_options.
inline constexpr uint32_t kScanDquoteString = 0x1;
inline constexpr uint32_t kScanDquoteEscapes = 0x2;
inline constexpr uint32_t kScanDquoteDoubling = 0x4;
inline constexpr uint32_t kScanDquoteAlone = 0x8;
inline constexpr uint32_t kScanSquoteString = 0x10;
inline constexpr uint32_t kScanSquoteEscapes = 0x20;
inline constexpr uint32_t kScanSquoteDoubling = 0x40;
inline constexpr uint32_t kScanSquoteAlone = 0x80;
inline constexpr uint32_t kScanHexPrefix = 0x400;
inline constexpr uint32_t kScanPeriodNumber = 0x1000 | 0x8000;
inline constexpr uint32_t kScanSkipUnknownDirectives = 0x2000000;

// Kinds of keyword rows.
enum class KeywordKind : uint8_t { Word = 2, Comment = 5, Directive = 6, Operator = 8 };

struct KeywordRow {
  std::string_view text;
  int32_t code;
  KeywordKind kind;
};

struct TagKeyword {
  std::string text;
  int32_t code;
  KeywordKind kind;
  uint8_t comment;  // 0 the line comment, n + 1 block pair n
};

// What a byte does when a token begins with it.
enum class ScanKind : uint8_t {
  Single,
  Blank,
  LineFeed,
  CarriageReturn,
  Nul,
  Word,
  Digit,
  Period,
  Dquote,
  Squote,
  Operator,
};

class TagScan;
// Called with the directive's token current; consumes the directive's
// line(s), line end included, and returns. `user` is the scan's user pointer.
using DirectiveHandler = void (*)(TagScan& scan, void* user);

inline constexpr int kKeywordBuckets = 1628;
inline constexpr int kWordBuckets = 1500;
inline constexpr int kMaxCommentPairs = 2;

struct CommentPair {
  std::string start, end;
  bool nested = false;
};

// One configuration. Set up when it has a keyword table (buckets not empty).
struct TokenScanner {
  std::array<ScanKind, 256> handlers{};
  std::array<uint8_t, 256> word_map{};
  std::vector<std::vector<TagKeyword>> buckets;  // kKeywordBuckets once set up
  uint32_t options = 0;
  bool case_sensitive = true;
  std::array<CommentPair, kMaxCommentPairs> pairs;
  uint8_t pair_count = 0;
  std::array<uint8_t, 256> comment_attention{};
  std::array<uint8_t, 256> string_stop{};
  uint8_t directive_char = 0;
  DirectiveHandler directive = nullptr;

  bool set_up() const { return !buckets.empty(); }
};

// Clears the scanner and sets up its classes (sets written as in a bracket
// expression: "a-z" ranges, a backslash takes the next byte literally).
// 0, or 1 when memory runs out.
int scan_init(TokenScanner& s, bool case_sensitive, std::string_view word_start, std::string_view word_chars);
void scan_set_options(TokenScanner& s, uint32_t options);
void scan_set_directive_handler(TokenScanner& s, uint8_t directive_char, DirectiveHandler h);
// 0, or 1 when a row was not added.
int scan_add_keywords(TokenScanner& s, const KeywordRow* rows, int count);
// 1 for a third pair or a delimiter that begins with a word byte.
int scan_add_block_comment(TokenScanner& s, std::string_view start, std::string_view end, bool nested);
int scan_add_line_comment(TokenScanner& s, std::string_view start);

// Gives up to cap bytes of source; the count (negative counts as 0, and 0
// means the end of the source).
using ScanReader = int32_t (*)(void* handle, uint8_t* dst, int32_t cap);

inline constexpr int kScanBufferSize = 4000;
inline constexpr int kScanMaxFill = kScanBufferSize - 1;
inline constexpr int kTokenTextMax = 79;

// The running scan: one per parser, shared by its configurations.
class TagScan {
 public:
  // Makes cfg current, resets offsets and the line to 1, and fills the buffer.
  void start(const TokenScanner* cfg, ScanReader reader, void* handle);
  // The line-start scan, then the first token.
  int32_t first();
  int32_t next();

  int32_t token() const { return token_; }
  std::string_view text() const { return {text_, text_len_}; }
  uint8_t token_char() const { return token_char_; }
  int32_t line() const { return line_; }
  void set_line(int32_t l) { line_ = l; }
  // The byte offset in the source of the position.
  int64_t offset() const;
  // The source offset where the current token began.
  int64_t token_offset() const { return token_start_; }
  // Offset bookkeeping as if the source began at `base`.
  void set_base_offset(int64_t base) { before_ = base; }
  bool set_line_mode(bool on) {
    const bool old = line_mode_;
    line_mode_ = on;
    return old;
  }
  uint8_t peek_byte() const { return *pos_; }
  // Whether the current token began in the first column of its line.
  bool first_column() const { return first_column_; }
  // The directive character of the current configuration, changed for the
  // rest of a directive line (0: none).
  uint8_t directive_char() const { return directive_char_; }
  void set_directive_char(uint8_t c) { directive_char_ = c; }
  const TokenScanner* config() const { return cfg_; }
  void set_user(void* user) { user_ = user; }

 private:
  bool refill();
  bool at_buffer_end(const uint8_t* p) const { return p == end_; }
  int32_t scan_token();
  bool line_start();
  void scan_word(uint8_t first);
  void scan_number(uint8_t first);
  void scan_literal(uint8_t quote, uint32_t escapes_bit, uint32_t doubling_bit);
  bool scan_operator(uint8_t first, int32_t* code);
  bool skip_block_comment(const CommentPair& p);
  void skip_line_comment();
  void skip_directive_line();
  const TagKeyword* lookup_word(int bucket, std::string_view word, KeywordKind a, KeywordKind b) const;

  const TokenScanner* cfg_ = nullptr;
  ScanReader reader_ = nullptr;
  void* handle_ = nullptr;
  void* user_ = nullptr;
  std::array<uint8_t, kScanBufferSize + 1> buf_{};
  uint8_t* pos_ = buf_.data();
  uint8_t* end_ = buf_.data();  // where the fill was cut (a NUL stands there)
  uint8_t* line_start_ = buf_.data();
  int32_t line_ = 1;
  int32_t token_ = kTokEnd;
  char text_[kTokenTextMax + 1] = {};
  uint32_t text_len_ = 0;
  uint8_t token_char_ = 0;
  int64_t token_start_ = 0;
  int64_t before_ = 0;     // bytes delivered before the current fill
  int32_t delivered_ = 0;  // bytes the current fill delivered
  int32_t tail_len_ = 0;   // bytes carried into the current fill
  int32_t next_tail_ = 0;  // bytes after the cut, carried into the next
  uint8_t saved_ = 0;      // the byte the cut replaced
  bool eof_ = false;       // the reader gave its last byte
  bool line_mode_ = false;
  bool first_column_ = false;
  uint8_t directive_char_ = 0;
};
