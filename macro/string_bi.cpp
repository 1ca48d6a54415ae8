// String built-ins (see string_bi.h). Each handler reads its arguments in
// place on the stack, checks them all, drops them and pushes its result
// from a local buffer, so no value is read after the heap may have moved.
#include "macro/string_bi.h"

#include <algorithm>
#include <cctype>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/decimal.h"
#include "macro/interp.h"
#include "macro/stack.h"
#include "text/plain_search.h"

#if __has_include("text/regex.h")
#include "text/regex.h"
#define ZVX_HAVE_REGEX 1
#else
// Until the text engine's regular expressions are built, no expression
// compiles: searches with R or U give -1.
struct RegexState {};
#endif

StrSearchState str_last_search;

namespace {

// Private regular-expression states: one for bi_pos / bi_lastpos, one for
// the parse statement's pattern elements.
RegexState& pos_regex() {
  static RegexState st;
  return st;
}

// Default start of a backward search: the last column of a value.
constexpr int32_t kLastColumn = LSTR_CAP_LINE;

char upcase(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// ---- argument checks: on failure the arguments are dropped, then raised ----

void fail(int32_t n, ErrorCode code) {
  core_drop(n);
  vm_raise_error(code);
}

// An integer argument (-3009 when it is not one).
bool int_arg(const LStr* v, int32_t* out) {
  lstr_number_error = 0;
  *out = lstr_to_long(v);
  return lstr_number_error == 0;
}

// A one-character argument (-3015 for any other length).
bool char_arg(std::string_view v, char* out) {
  if (v.size() != 1) return false;
  *out = v[0];
  return true;
}

// Reads the argument count and checks it lies in lo..hi (-3015 otherwise).
bool arg_count(int32_t lo, int32_t hi, int32_t* n) {
  uint8_t c = 0;
  if (!vm_fetch_u8(&c) || !core_have(c)) return false;
  *n = c;
  if (c < lo || c > hi) {
    fail(c, ERR_INVALID_ARGUMENT);
    return false;
  }
  return true;
}

// Argument i (0 = first) of n.
const LStr* arg(int32_t n, int32_t i) { return core_value(n - 1 - i); }
std::string_view arg_view(int32_t n, int32_t i) { return lstr_view(arg(n, i)); }

void push_line(const LStrLine& s) { vm_push_bytes(s.text, s.len); }

// ---- searching ------------------------------------------------------------------------

// A group of the last regular-expression match: present, start and length.
bool last_group(int digit, int32_t* start, int32_t* length) {
  const int32_t opts = str_last_search.options;
  if (!(opts & (kSearchRegex | kSearchUnix)) || str_last_search.position <= 0) return false;
  int g = (opts & kSearchUnix) ? (digit == 0 ? 9 : digit - 1) : digit;
#ifdef ZVX_HAVE_REGEX
  const RegexState& st = pos_regex();
  if (!(st.group_mask & (1u << g))) return false;
  *start = st.groups[g].start;
  *length = st.groups[g].end - st.groups[g].start;
  return true;
#else
  (void)g, (void)start, (void)length;
  return false;
#endif
}

// The one-argument form: the last match, or one of its groups.
void pos_query() {
  LStrLine query(core_view(0));
  core_drop(1);
  std::string_view s = query.view();
  int32_t start = 1, length = 0, result = 0;
  char c0 = s.empty() ? 0 : upcase(s[0]);
  if (s.empty()) {
    result = str_last_search.length;
  } else if (c0 == 'S') {
    if (s.size() == 1)
      result = str_last_search.position;
    else
      result = std::isdigit(static_cast<unsigned char>(s[1])) && last_group(s[1] - '0', &start, &length) ? start : 1;
  } else if (std::isdigit(static_cast<unsigned char>(c0))) {
    result = last_group(c0 - '0', &start, &length) ? length : 0;
  }
  vm_push_int(result);
}

void pos_common(bool forward) {
  int32_t n = 0;
  if (!arg_count(1, 4, &n)) return;
  if (n == 1) {
    pos_query();
    return;
  }
  int32_t mask = 0;
  if (n == 4 && (mask = val_parse_options(arg_view(n, 3), kSearchOptions)) < 0) return fail(n, ERR_INVALID_ARGUMENT);
  int32_t start = forward ? 1 : kLastColumn;
  if (n >= 3 && arg(n, 2)->len > 0) {
    if (!int_arg(arg(n, 2), &start)) return fail(n, ERR_INVALID_NUMBER_ARGUMENT);
    if (start < 1) return fail(n, ERR_INVALID_ARGUMENT);
  }
  str_last_search.options = mask;
  StrMatch m;
  int32_t p = str_search(arg_view(n, 0), arg_view(n, 1), start, forward, mask, &pos_regex(), &m);
  core_drop(n);
  if (p < -1) {  // the engine gave up (break key, no memory)
    if (core_raise_stops(p)) return;
    p = 0;
  }
  str_last_search.position = std::max(p, 0);
  str_last_search.length = m.length;
  vm_push_int(p > 0 && m.cursor > 0 ? m.cursor : p);
}

}  // namespace

RegexState& core_parse_regex() {
  static RegexState st;
  return st;
}

int32_t str_search(std::string_view needle, std::string_view text, int32_t start, bool forward, int32_t mask,
                   RegexState* rx, StrMatch* m) {
  const bool fold = (mask & kSearchIgnoreCase) != 0;
  *m = StrMatch{};
  if (mask & (kSearchRegex | kSearchUnix)) {
#ifdef ZVX_HAVE_REGEX
    // The engine folds case itself; upper-casing the pattern would change
    // its escapes and classes.
    if (re_compile(*rx, needle, forward ? 1 : -1, fold, (mask & kSearchUnix) != 0) != ERR_OK) return -1;
    int r = re_search(*rx, start, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
    if (r > 0) {
      m->length = rx->match_length;
      m->cursor = rx->cursor_column;
    }
    return r;
#else
    (void)rx;
    return -1;
#endif
  }
  m->length = static_cast<int32_t>(needle.size());
  LStrLine pattern(needle);  // the folding search wants the pattern upper-cased
  if (fold) lstr_upcase(pattern);
  search_plain_prepare(pattern, forward ? 1 : -1, fold);
  const auto* t = reinterpret_cast<const uint8_t*>(text.data());
  const auto n = static_cast<int32_t>(text.size());
  return forward ? search_plain_forward(start, pattern, t, n) : search_plain_backward(start, pattern, t, n);
}

// Main 74, 64.
void bi_pos() { pos_common(true); }
void bi_lastpos() { pos_common(false); }

// Main 69: s, start [, length [, pad]].
void bi_substr() {
  int32_t n = 0;
  if (!arg_count(2, 4, &n)) return;
  char pad = ' ';
  if (n == 4 && arg(n, 3)->len > 0) pad = arg_view(n, 3)[0];
  int32_t start = 0, length = -1;
  if (!int_arg(arg(n, 1), &start)) return fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  if (n >= 3 && !int_arg(arg(n, 2), &length)) return fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  if (start < 1 || start > LSTR_CAP_LINE || (n >= 3 && length < 0)) return fail(n, ERR_INVALID_ARGUMENT);
  std::string_view s = arg_view(n, 0);
  if (n < 3) length = std::max<int32_t>(0, static_cast<int32_t>(s.size()) - start + 1);
  length = std::min(length, LSTR_CAP_LINE);
  LStrLine r;
  if (static_cast<size_t>(start) <= s.size())
    r.assign(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
  while (r.len < length) r.text[r.len++] = pad;
  core_drop(n);
  push_line(r);
}

// Main 65: s [, option B/T/L [, char]]; the value stays on top, changed.
void bi_strip() {
  int32_t n = 0;
  if (!arg_count(1, 3, &n)) return;
  char mode = 'B', ch = ' ';
  if (n == 3 && !char_arg(arg_view(n, 2), &ch)) return fail(n, ERR_INVALID_ARGUMENT);
  if (n >= 2 && val_option_letter(&mode, "BTL", arg_view(n, 1)) != ERR_OK) return fail(n, ERR_INVALID_ARGUMENT);
  LStrLine s(arg_view(n, 0));
  lstr_strip_exact = n == 3;  // a named blank leaves tabs alone
  lstr_strip(s, mode, ch);
  core_drop(n);
  push_line(s);
}

// Main 86: s, width [, pad].
void bi_center() {
  int32_t n = 0;
  if (!arg_count(2, 3, &n)) return;
  char pad = ' ';
  if (n == 3 && !char_arg(arg_view(n, 2), &pad)) return fail(n, ERR_INVALID_ARGUMENT);
  int32_t width = 0;
  if (!int_arg(arg(n, 1), &width)) return fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  std::string_view s = arg_view(n, 0);
  const int64_t extra = int64_t{width} - static_cast<int64_t>(s.size());
  LStrLine r;
  if (extra >= 0) {  // pads before and after, cut at 1024
    int64_t before = extra / 2;
    for (int64_t i = 0; i < before && r.len < r.cap; ++i) r.text[r.len++] = pad;
    lstr_append_mem(r, s.data(), static_cast<int32_t>(s.size()), r.cap);
    for (int64_t i = 0; i < extra - before && r.len < r.cap; ++i) r.text[r.len++] = pad;
  } else {
    const int64_t front = -extra / 2, back = -extra - front;
    if (front + back < static_cast<int64_t>(s.size()))
      r.assign(
          s.substr(static_cast<size_t>(front), static_cast<size_t>(static_cast<int64_t>(s.size()) - front - back)));
  }
  core_drop(n);
  push_line(r);
}

// Main 82: s [, out [, in [, pad]]]; without tables it upper-cases.
void bi_translate() {
  int32_t n = 0;
  if (!arg_count(1, 4, &n)) return;
  char pad = ' ';
  if (n == 4 && !char_arg(arg_view(n, 3), &pad)) return fail(n, ERR_INVALID_ARGUMENT);
  LStrLine s(arg_view(n, 0)), out, in;
  if (n >= 2) out.assign(arg_view(n, 1));
  if (n >= 3) in.assign(arg_view(n, 2));
  lstr_translate(s, n >= 2 ? out.ls() : nullptr, n >= 3 ? in.ls() : nullptr, pad);
  core_drop(n);
  push_line(s);
}

// Main 75: s, set [, option M [, start]].
void bi_verify() {
  int32_t n = 0;
  if (!arg_count(2, 4, &n)) return;
  int32_t start = 1;
  if (n == 4) {
    if (!int_arg(arg(n, 3), &start)) return fail(n, ERR_INVALID_NUMBER_ARGUMENT);
    if (start < 1) return fail(n, ERR_INVALID_ARGUMENT);
  }
  char opt = 0;
  if (n >= 3 && val_option_letter(&opt, "M", arg_view(n, 2)) != ERR_OK) return fail(n, ERR_INVALID_ARGUMENT);
  const LStr* s = arg(n, 0);
  int32_t r = lstr_verify(s->text, s->len, arg(n, 1), opt == 'M', start);
  core_drop(n);
  vm_push_int(r);
}

// Main 68.
void bi_length() {
  if (!core_have(1)) return;
  int32_t len = core_value(0)->len;
  core_drop(1);
  vm_push_int(len);
}

namespace {
void recase(bool up) {
  if (!core_have(1)) return;
  LStrLine s(core_view(0));
  up ? lstr_upcase(s) : lstr_lowcase(s);
  core_drop(1);
  push_line(s);
}
}  // namespace

// Main 71, 76.
void bi_upcase() { recase(true); }
void bi_lowcase() { recase(false); }

// Main 77: the code of a one-character string.
void bi_char_code() {
  if (!core_have(1)) return;
  char c = 0;
  if (!char_arg(core_view(0), &c)) return fail(1, ERR_INVALID_ARGUMENT);
  core_drop(1);
  vm_push_int(static_cast<unsigned char>(c));
}

// Main 78: the character whose code is the low byte of n.
void bi_char_from_code() {
  if (!core_have(1)) return;
  int32_t v = 0;
  if (!int_arg(core_value(0), &v)) return fail(1, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(1);
  char c = static_cast<char>(v & 0xFF);
  vm_push_bytes(&c, 1);
}

// Ext 186: 1 when v is a decimal number (and adding 1 does not overflow).
void bi_is_number() {
  if (!core_have(1)) return;
  bool t = dec_is_number(core_view(0));
  core_drop(1);
  vm_push_bytes(t ? "1" : "0", 1);
}

// Main 214: 1 when v is an integer as lstr_to_long reads one.
void bi_is_integer() {
  if (!core_have(1)) return;
  int32_t v = 0;
  bool t = int_arg(core_value(0), &v);
  core_drop(1);
  vm_push_bytes(t ? "1" : "0", 1);
}
