// Counted strings (LStr) and helpers for NUL-terminated strings and raw bytes.
//
// An LStr is a signed 32-bit length followed by that many bytes, with no
// terminator; the bytes may hold any value, NUL included. The capacity is not
// stored: whoever owns the buffer declares it as a length word plus capacity
// bytes (LStrBuf<Cap> below) and passes the capacity to every writing call.
// Nothing here allocates. Results that do not fit are cut at the capacity as
// each function's comment says, never written past it.
//
// Positions count from 1; a returned position of 0 means "not found".
// A blank is the space (32); where tabs count as blanks the comment says so.
// Case mapping changes ASCII letters only.
//
// Using it from C++:
//   LStrBuf<LSTR_CAP_LINE> line;          // owner: length word + 1024 bytes
//   lstr_set_mem(line, "abc", 3, line.cap);  // converts to LStr* implicitly
//   std::string_view v = line.view();
//   const LStr* s = line;                 // what functions take and pass on
//   s->view(), s->bytes()                 // header access from any LStr*
// A bare LStr is never declared by value: it is a header over someone's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// The usual capacities: text lines, macro values, messages and command lines;
// file names; the time text of the date-and-time formatter.
inline constexpr int32_t LSTR_CAP_LINE = 1024;
inline constexpr int32_t LSTR_CAP_NAME = 256;
inline constexpr int32_t LSTR_CAP_TIME = 10;

struct LStr {
  int32_t len;
  char text[];  // len bytes follow the length word; the owner knows the room

  char* bytes() { return text; }
  const char* bytes() const { return text; }
  // Empty for a negative length, so a damaged header cannot make a huge view.
  std::string_view view() const { return std::string_view(text, len > 0 ? static_cast<size_t>(len) : 0); }
};

// An owned counted string of capacity Cap: the same layout as LStr.
template <int32_t Cap>
struct LStrBuf {
  static_assert(Cap > 0, "an LStr buffer needs room");
  static constexpr int32_t cap = Cap;

  int32_t len = 0;
  char text[Cap];

  LStrBuf() = default;
  // Copies s, cut at Cap.
  explicit LStrBuf(std::string_view s) { assign(s); }
  LStrBuf(const LStrBuf& o) : len(o.len) { std::memcpy(text, o.text, static_cast<size_t>(o.size())); }
  LStrBuf& operator=(const LStrBuf& o) {
    if (this != &o) {
      len = o.len;
      std::memcpy(text, o.text, static_cast<size_t>(o.size()));
    }
    return *this;
  }

  LStr* ls() { return reinterpret_cast<LStr*>(this); }
  const LStr* ls() const { return reinterpret_cast<const LStr*>(this); }
  operator LStr*() { return ls(); }
  operator const LStr*() const { return ls(); }

  // Length clamped to 0..Cap.
  int32_t size() const { return len < 0 ? 0 : (len > Cap ? Cap : len); }
  std::string_view view() const { return std::string_view(text, static_cast<size_t>(size())); }
  // Replaces the contents with s, cut at Cap.
  void assign(std::string_view s) {
    len = s.size() > static_cast<size_t>(Cap) ? Cap : static_cast<int32_t>(s.size());
    if (len > 0) std::memcpy(text, s.data(), static_cast<size_t>(len));  // empty views may carry no pointer
  }
  void clear() { len = 0; }
};

static_assert(offsetof(LStr, text) == sizeof(int32_t));
static_assert(offsetof(LStrBuf<1>, text) == offsetof(LStr, text));
static_assert(alignof(LStrBuf<16>) == alignof(LStr));

using LStrLine = LStrBuf<LSTR_CAP_LINE>;
using LStrName = LStrBuf<LSTR_CAP_NAME>;

// ---------------------------------------------------------------------------
// Globals (one instance each; the program has one thread)

// Outcome of the last lstr_to_long: 1 when the text was not a number, else 0.
extern int32_t lstr_number_error;

// Settings of lstr_put_field. A put that had to be cut sets overflow to -1 and
// no put clears it: clear it before a series of puts, test it after.
struct LStrField {
  int32_t insert;    // 1 inserts the field, any other value overlays it
  int32_t width;     // field width in bytes
  int32_t src_col;   // 1-based column of the field in the source
  int32_t overflow;  // -1 after a cut
};
extern LStrField lstr_field;

// One-shot: when nonzero, lstr_strip with a blank strips blanks only. Every
// lstr_strip resets it to 0.
extern int32_t lstr_strip_exact;

// What lstr_as_cstr fills: 1024 characters and the NUL.
inline constexpr int32_t LSTR_CSTR_BUF_SIZE = LSTR_CAP_LINE + 1;
extern char lstr_cstr_buf[LSTR_CSTR_BUF_SIZE];

// ---------------------------------------------------------------------------
// Building, copying and converting. Negative capacities count as 0.

// dst = src, length min(src length, cap).
void lstr_copy(LStr* dst, const LStr* src, int32_t cap);
// Appends min(src length, cap - dst length) bytes; nothing when dst is already
// at or past cap.
void lstr_append(LStr* dst, const LStr* src, int32_t cap);
// dst = the n bytes at p, cut at cap.
void lstr_set_mem(LStr* dst, const void* p, int32_t n, int32_t cap);
// Appends the n bytes at p, cut as lstr_append.
void lstr_append_mem(LStr* dst, const void* p, int32_t n, int32_t cap);
// dst = the characters of c. No capacity: the caller guarantees the room.
void lstr_set_cstr(LStr* dst, const char* c);
// dst = at most n characters of c.
void lstr_set_cstr_max(LStr* dst, const char* c, int32_t n);
// All or nothing: appends c only when dst length + strlen(c) <= cap, else
// leaves dst unchanged.
void lstr_append_cstr(LStr* dst, const char* c, int32_t cap);
// Appends characters of c one by one until its NUL or until dst's length
// reaches limit.
void lstr_append_cstr_upto(LStr* dst, const char* c, int32_t limit);
// s as a NUL-terminated string in buf of size n: all bytes when length < n,
// else the first n - 1. Always terminated (when n >= 1). Returns buf.
char* lstr_to_cstr(char* buf, const LStr* s, int32_t n);
// Copies s into lstr_cstr_buf, terminates and returns it. Longer than 1024
// bytes is cut at 1024. The next call overwrites the buffer.
char* lstr_as_cstr(const LStr* s);
// Signed decimal: blanks/tabs, one optional sign, blanks/tabs, digits,
// blanks/tabs. Sets lstr_number_error; 0 on failure. Overflow wraps modulo 2^32.
int32_t lstr_to_long(const LStr* s);
// dst = v in decimal ("-2147483648" for the most negative value); returns the
// length. dst must hold 11 bytes.
int32_t lstr_from_int(int32_t v, LStr* dst);
// The same text as lstr_from_int; returns nothing.
void lstr_from_int_u(int32_t v, LStr* dst);
// v in decimal, right-justified with blanks to width; a longer number is not
// cut. dst must hold max(width, 11) bytes.
void lstr_from_int_width(LStr* dst, int32_t width, int32_t v);

// ---------------------------------------------------------------------------
// Substrings and editing in place

// dst = count bytes of src from position start. A negative count, or one that
// runs past the end, takes the rest; empty when start < 1 or start > src
// length; cut at cap.
void lstr_substr(LStr* dst, const LStr* src, int32_t start, int32_t count, int32_t cap);
// Removes count bytes at start. When start + count passes the end, s is cut to
// start - 1 bytes; unchanged when start < 1, start > length or count < 0.
void lstr_delete(LStr* s, int32_t start, int32_t count);
// Puts a field of src into dst at column col as lstr_field says (insert or
// overlay, width, source column). A field that would pass cap is cut and
// sets lstr_field.overflow to -1; with col past cap + 1 (or below 1) nothing
// is put. Never writes past cap.
void lstr_put_field(const LStr* src, LStr* dst, int32_t col, int32_t cap);
// Right-justifies s in width bytes, filling the left with fill. Unchanged when
// s is already width bytes or longer. The caller guarantees the room.
void lstr_pad_left(LStr* s, int32_t width, char fill);
void lstr_pad_left_blank(LStr* s, int32_t width);
// Removes runs of ch: mode 'L' leading, 'T' trailing, anything else ('B') both.
// A blank ch also strips tabs unless lstr_strip_exact is set; always resets
// lstr_strip_exact to 0.
void lstr_strip(LStr* s, char mode, char ch);
// Translates every byte b of s in place: its index is its 0-based position in
// in (b kept when absent), or its code when in is null; b becomes out[index],
// or pad past out's end; without out, b is upper-cased.
void lstr_translate(LStr* s, const LStr* out, const LStr* in, char pad);
void lstr_upcase(LStr* s);
void lstr_lowcase(LStr* s);

// ---------------------------------------------------------------------------
// Comparisons

// At the first differing position below both lengths: byte of a minus byte
// of b, unsigned; else 0 for equal lengths, -1 when a is shorter, 1 when b is.
int32_t lstr_cmp(const LStr* a, const LStr* b);
int32_t lstr_cmp_cstr(const LStr* s, const char* c);
int32_t lstr_eq(const LStr* a, const LStr* b);
// 1 when the lengths match and the bytes match after upper-casing.
int32_t lstr_ieq(const LStr* a, const LStr* b);
int32_t lstr_ieq_cstr(const LStr* s, const char* c);
int32_t lstr_eq_mem(const LStr* s, const void* p, int32_t n);
int32_t lstr_ieq_mem(const LStr* s, const void* p, int32_t n);
using LStrCompareFn = int32_t (*)(const LStr*, const LStr*);
// 0 when b is longer than a; else fn(a, b) with a's length set to b's for the
// call and restored after. With lstr_eq/lstr_ieq: "a begins with b".
int32_t lstr_prefix_apply(LStr* a, const LStr* b, LStrCompareFn fn);
// 0 when the n bytes are equal (also for n <= 0), else the unsigned difference
// of the first differing bytes, a minus b.
int32_t mem_compare(const void* a, const void* b, int32_t n);

// ---------------------------------------------------------------------------
// Words, tokens and fields

// From position start skips blanks and tabs and copies the next word (up to a
// blank, tab or the end) into dst (capacity 1024). Returns the position of the
// following word, or 0 when none follows. start < 1 or no word: dst empty, 0.
int32_t lstr_word_at(int32_t start, const LStr* src, LStr* dst);
// dst = first word of src (capacity 1024); src keeps the text from the
// following word on, or becomes empty.
void lstr_take_word(LStr* src, LStr* dst);
// Skips leading bytes of src found in delims, copies the token up to the next
// such byte into dst (capacity 1024) and removes the token and the delimiters
// after it from src. No token: dst and src both emptied.
void lstr_take_token(LStr* src, LStr* dst, const char* delims);
// Copies the bytes of src before the first delim into dst (may be null) and
// removes them and the delim from src. At most cap - 1 bytes are stored; the
// rest of the field is skipped. Unless keep, leading blanks are skipped and
// trailing blanks trimmed from dst (blanks only).
void lstr_take_field(LStr* src, LStr* dst, int32_t cap, int32_t keep, char delim);

// ---------------------------------------------------------------------------
// Searching. start below 1 counts as 1.

// First occurrence of needle in hay at or after start; null when absent or
// nlen <= 0.
const char* mem_find(const void* needle, int32_t nlen, const void* hay, int32_t hlen, int32_t start);
int32_t mem_pos(const void* needle, int32_t nlen, const void* hay, int32_t hlen, int32_t start);
int32_t lstr_pos(const LStr* needle, const LStr* hay, int32_t start);
int32_t lstr_pos_char(char ch, const LStr* s, int32_t start);
int32_t cstr_pos(const char* needle, const char* hay, int32_t start);
const char* cstr_find(const char* needle, const char* hay, int32_t start);
// Position of ch in str at or after start; 0 when absent.
int32_t cstr_pos_char(char ch, const char* str, int32_t start);
// First position at or after start whose byte is not ch; length + 1 when all
// are ch; start itself when start > length.
int32_t lstr_skip_char(const LStr* s, char ch, int32_t start);
// Over the n bytes at p from position start: mode nonzero gives the position
// of the first byte in set, mode 0 the first byte not in set; 0 when none or
// when start is outside 1..n.
int32_t lstr_verify(const void* p, int32_t n, const LStr* set, int32_t mode, int32_t start);
// First of the n bytes at p whose entry in the 256-byte table is nonzero.
const char* mem_scan_set(const uint8_t* table, const void* p, int32_t n);
// The same scanning backwards: p is the last byte looked at, p - n + 1 the first.
const char* mem_scan_set_back(const uint8_t* table, const void* p, int32_t n);

// ---------------------------------------------------------------------------
// Raw memory and NUL-terminated strings. n is a buffer size.

// Copies n bytes ending at src_last to the n bytes ending at dst_last (a move
// to the right inside one buffer).
void mem_copy_back(void* dst_last, const void* src_last, int32_t n);
void mem_replace_char(void* p, int32_t n, char new_ch, char old_ch);
// At most n - 1 characters, always terminated (n >= 1). Returns dst.
char* cstr_copy(char* dst, const char* src, int32_t n);
// Appends src to dst in a buffer of size n: at most n - 1 characters in all.
void cstr_append(char* dst, const char* src, int32_t n);
int32_t cstr_ieq(const char* a, const char* b);
// lstr_take_field over NUL-terminated strings: dst has size n (or is null) and
// is terminated; the rest of src moves to its start.
void cstr_take_field(char* src, char* dst, int32_t n, int32_t keep, char delim);
// Skips blanks, copies the word up to the next blank into dst (size n), then
// removes the word and the blanks after it from line.
void cstr_take_word(char* line, char* dst, int32_t n);
// As cstr_take_word, but a word that begins with '"' runs to the next '"',
// may hold blanks and loses both quotes; unclosed, it runs to the end.
void cstr_take_word_quoted(char* line, char* dst, int32_t n);
// Removes runs of ch (never tabs): 'L' leading, 'T' trailing, else both.
void cstr_strip(char* s, char mode, char ch);
// lstr_substr into a buffer of size n: at most n - 1 bytes, terminated.
void cstr_substr(char* dst, const char* src, int32_t start, int32_t count, int32_t n);
// Last character of str; a blank for an empty string.
char cstr_last_char(const char* str);
void cstr_replace_char(char* str, char new_ch, char old_ch);
char* cstr_lower(char* str);
char* cstr_upper(char* str);

// ---------------------------------------------------------------------------
// Varint lengths of compiled code: 7 bits per byte, least significant group
// first, bit 7 set on every byte but the last (300 is 0xAC 0x02).

// A 32-bit length never needs more than five groups.
inline constexpr int32_t VARINT_MAX_BYTES = 5;

struct VarintResult {
  int32_t length;       // the decoded length
  const uint8_t* next;  // first byte after the length bytes
};
// Reads a varint at p, where end is one past the last readable byte. Returns 0
// with out filled, or -3000 (and out unchanged) when the length bytes run past
// end or past five bytes, the value exceeds INT32_MAX, or fewer than length
// bytes follow before end (the string's bytes follow the length directly).
int32_t varint_get(VarintResult* out, const uint8_t* p, const uint8_t* end);
// The same without the check of the bytes that follow: only the length bytes
// themselves must lie before end.
int32_t varint_get_length(VarintResult* out, const uint8_t* p, const uint8_t* end);
// Writes length (>= 0) at p, a buffer of cap bytes. Returns the number of
// bytes written, or 0 when length is negative or it does not fit.
int32_t varint_put(uint8_t* p, int32_t cap, int32_t length);

// ---------------------------------------------------------------------------
// Dates

// date (capacity 1024, may be null): month, sep, day (a leading "0" when pad is
// set and day <= 9), sep, the last two digits of year, each piece appended
// whole or not at all. time (capacity 10, may be null): 12-hour clock, ":"
// and two-digit minute, then "a" (hours 0-11) or "p". 1996-3-7 13:05 with sep
// "-" and pad: "3-07-96" and "1:05p".
void lstr_format_date_time(LStr* date, LStr* time, int32_t year, int32_t month, int32_t day, int32_t hour,
                           int32_t minute, const char* sep, int32_t pad);

// std::string_view of any counted string (empty for null).
inline std::string_view lstr_view(const LStr* s) { return s ? s->view() : std::string_view(); }
