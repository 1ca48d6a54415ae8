// Counted strings: see lstr.h for the contract of every function.
//
// Every length that comes in is clamped before it is used as a byte count, so
// a negative length or capacity acts as 0 and a sum is computed in 64 bits.
#include "base/lstr.h"

#include <algorithm>
#include <climits>

#include "base/messages.h"

int32_t lstr_number_error = 0;
LStrField lstr_field = {0, 0, 1, 0};
int32_t lstr_strip_exact = 0;
char lstr_cstr_buf[LSTR_CSTR_BUF_SIZE];

namespace {

constexpr char kBlank = ' ';
constexpr char kTab = '\t';

// Membership table of lstr_verify: all zero between calls.
uint8_t verify_table[256];

int32_t clamp0(int32_t v) { return v < 0 ? 0 : v; }
int32_t len_of(const LStr* s) { return clamp0(s->len); }

bool is_blank_or_tab(char c) { return c == kBlank || c == kTab; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

uint8_t ub(char c) { return static_cast<uint8_t>(c); }

// Byte difference of the first mismatch in n bytes, unsigned, a minus b; 0 if none.
int32_t first_diff(const char* a, const char* b, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<int32_t>(ub(a[i])) - static_cast<int32_t>(ub(b[i]));
  }
  return 0;
}

int32_t cmp_bytes(const char* a, int32_t alen, const char* b, int32_t blen) {
  const int32_t n = std::min(alen, blen);
  // The library compare finds equality fast; the difference needs the byte itself.
  if (std::memcmp(a, b, static_cast<size_t>(n)) != 0) return first_diff(a, b, n);
  if (alen == blen) return 0;
  return alen < blen ? -1 : 1;
}

bool ieq_bytes(const char* a, const char* b, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

int32_t cstr_len32(const char* c) {
  size_t n = std::strlen(c);
  return n > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

// Appends n bytes at p, cut so that dst stays within cap.
void append_cut(LStr* dst, const void* p, int32_t n, int32_t cap) {
  int32_t len = len_of(dst);
  if (len >= cap || n <= 0) return;  // already full?
  int32_t k = std::min(n, cap - len);
  std::memmove(dst->text + len, p, static_cast<size_t>(k));
  dst->len = len + k;
}

// Decimal digits of v, most significant first, into out (at least 11 bytes).
int32_t format_int(int32_t v, char* out) {
  char tmp[12];
  int32_t n = 0;
  // Work on the magnitude as unsigned so that INT32_MIN needs no special case.
  uint32_t m = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  do {
    tmp[n++] = static_cast<char>('0' + m % 10);
    m /= 10;
  } while (m != 0);
  int32_t k = 0;
  if (v < 0) out[k++] = '-';
  while (n > 0) out[k++] = tmp[--n];
  return k;
}

bool in_delims(char b, const char* delims, size_t dlen) { return std::memchr(delims, b, dlen) != nullptr; }

}  // namespace

// ---------------------------------------------------------------------------
// Building, copying and converting

void lstr_copy(LStr* dst, const LStr* src, int32_t cap) {
  int32_t n = std::min(len_of(src), clamp0(cap));
  std::memmove(dst->text, src->text, static_cast<size_t>(n));
  dst->len = n;
}

void lstr_append(LStr* dst, const LStr* src, int32_t cap) { append_cut(dst, src->text, len_of(src), cap); }

void lstr_set_mem(LStr* dst, const void* p, int32_t n, int32_t cap) {
  int32_t k = std::min(clamp0(n), clamp0(cap));
  if (k > 0) std::memmove(dst->text, p, static_cast<size_t>(k));
  dst->len = k;
}

void lstr_append_mem(LStr* dst, const void* p, int32_t n, int32_t cap) { append_cut(dst, p, n, cap); }

void lstr_set_cstr(LStr* dst, const char* c) {
  int32_t n = cstr_len32(c);
  std::memmove(dst->text, c, static_cast<size_t>(n));
  dst->len = n;
}

void lstr_set_cstr_max(LStr* dst, const char* c, int32_t n) {
  int32_t k = static_cast<int32_t>(strnlen(c, static_cast<size_t>(clamp0(n))));
  std::memmove(dst->text, c, static_cast<size_t>(k));
  dst->len = k;
}

void lstr_append_cstr(LStr* dst, const char* c, int32_t cap) {
  int64_t len = len_of(dst);
  int64_t n = static_cast<int64_t>(std::strlen(c));
  if (len + n > cap) return;  // would not fit whole?
  std::memmove(dst->text + len, c, static_cast<size_t>(n));
  dst->len = static_cast<int32_t>(len + n);
}

void lstr_append_cstr_upto(LStr* dst, const char* c, int32_t limit) {
  int32_t len = len_of(dst);
  while (*c != '\0' && len < limit) dst->text[len++] = *c++;
  dst->len = len;
}

char* lstr_to_cstr(char* buf, const LStr* s, int32_t n) {
  if (n <= 0) return buf;
  int32_t k = std::min(len_of(s), n - 1);
  std::memmove(buf, s->text, static_cast<size_t>(k));
  buf[k] = '\0';
  return buf;
}

char* lstr_as_cstr(const LStr* s) { return lstr_to_cstr(lstr_cstr_buf, s, LSTR_CSTR_BUF_SIZE); }

int32_t lstr_to_long(const LStr* s) {
  const char* p = s->text;
  int32_t n = len_of(s);
  int32_t i = 0;
  auto fail = [] {
    lstr_number_error = 1;
    return 0;
  };
  auto skip_blanks = [&] {
    while (i < n && is_blank_or_tab(p[i])) ++i;
  };
  if (n == 0) return fail();
  skip_blanks();
  if (i == n) return fail();
  bool negative = false;
  if (p[i] == '-' || p[i] == '+') {
    negative = p[i] == '-';
    ++i;
    if (i == n) return fail();
  }
  skip_blanks();
  if (i == n) return fail();
  // Wraps modulo 2^32 by design; unsigned arithmetic keeps that defined.
  uint32_t value = 0;
  bool digits = false;
  for (; i < n && !is_blank_or_tab(p[i]); ++i) {
    if (p[i] < '0' || p[i] > '9') return fail();
    value = value * 10u + static_cast<uint32_t>(p[i] - '0');
    digits = true;
  }
  if (!digits) return fail();
  skip_blanks();
  if (i != n) return fail();  // trailing text?
  lstr_number_error = 0;
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

int32_t lstr_from_int(int32_t v, LStr* dst) {
  dst->len = format_int(v, dst->text);
  return dst->len;
}

void lstr_from_int_u(int32_t v, LStr* dst) { lstr_from_int(v, dst); }

void lstr_from_int_width(LStr* dst, int32_t width, int32_t v) {
  lstr_from_int(v, dst);
  lstr_pad_left_blank(dst, width);
}

// ---------------------------------------------------------------------------
// Substrings and editing in place

void lstr_substr(LStr* dst, const LStr* src, int32_t start, int32_t count, int32_t cap) {
  int32_t len = len_of(src);
  if (start < 1 || start > len) {
    dst->len = 0;
    return;
  }
  int32_t avail = len - start + 1;
  int32_t n = (count < 0 || count > avail) ? avail : count;
  n = std::min(n, clamp0(cap));
  std::memmove(dst->text, src->text + start - 1, static_cast<size_t>(n));
  dst->len = n;
}

void lstr_delete(LStr* s, int32_t start, int32_t count) {
  int32_t len = len_of(s);
  if (start < 1 || start > len || count < 0) return;
  int32_t tail = len - start + 1;  // bytes from start to the end
  if (count >= tail) {
    s->len = start - 1;
    return;
  }
  std::memmove(s->text + start - 1, s->text + start - 1 + count, static_cast<size_t>(tail - count));
  s->len = len - count;
}

void lstr_put_field(const LStr* src, LStr* dst, int32_t col, int32_t cap) {
  if (col < 1) return;  // no column 0 to put at
  cap = clamp0(cap);
  int64_t w = clamp0(lstr_field.width);
  if (col > static_cast<int64_t>(cap) + 1) {
    // Past the end of the buffer: even the blanks before the field would not fit.
    if (w > 0) lstr_field.overflow = -1;
    return;
  }
  if (col + w > static_cast<int64_t>(cap) + 1) {
    lstr_field.overflow = -1;
    w = cap - col + 1;
  }
  const int32_t width = static_cast<int32_t>(w);
  int32_t len = len_of(dst);
  char* d = dst->text;
  if (len < col) {
    std::memset(d + len, kBlank, static_cast<size_t>(col - 1 - len));
    len = col + width - 1;
  } else if (lstr_field.insert == 1) {
    int32_t tail = len - col + 1;
    if (static_cast<int64_t>(len) + width > cap) {
      lstr_field.overflow = -1;
      tail = cap - (col - 1) - width;  // the moved tail loses its last bytes
      len = cap;
    } else {
      len += width;
    }
    std::memmove(d + col - 1 + width, d + col - 1, static_cast<size_t>(tail));
  } else {
    len = std::max(len, col + width - 1);
  }
  int32_t s = lstr_field.src_col;
  int32_t slen = len_of(src);
  int32_t k = 0;
  if (s >= 1 && slen >= s) k = std::min(width, slen - s + 1);
  if (k > 0) std::memmove(d + col - 1, src->text + s - 1, static_cast<size_t>(k));
  std::memset(d + col - 1 + k, kBlank, static_cast<size_t>(width - k));
  dst->len = len;
}

void lstr_pad_left(LStr* s, int32_t width, char fill) {
  int32_t len = len_of(s);
  if (len >= width) return;
  int32_t shift = width - len;
  std::memmove(s->text + shift, s->text, static_cast<size_t>(len));
  std::memset(s->text, fill, static_cast<size_t>(shift));
  s->len = width;
}

void lstr_pad_left_blank(LStr* s, int32_t width) { lstr_pad_left(s, width, kBlank); }

void lstr_strip(LStr* s, char mode, char ch) {
  const bool with_tabs = ch == kBlank && lstr_strip_exact == 0;
  lstr_strip_exact = 0;
  auto strips = [&](char b) { return b == ch || (with_tabs && b == kTab); };
  int32_t len = len_of(s);
  int32_t first = 0;
  if (mode != 'T') {
    while (first < len && strips(s->text[first])) ++first;
  }
  int32_t end = len;
  if (mode != 'L') {
    while (end > first && strips(s->text[end - 1])) --end;
  }
  std::memmove(s->text, s->text + first, static_cast<size_t>(end - first));
  s->len = end - first;
}

void lstr_translate(LStr* s, const LStr* out, const LStr* in, char pad) {
  int32_t len = len_of(s);
  for (int32_t i = 0; i < len; ++i) {
    char b = s->text[i];
    int32_t index = ub(b);
    if (in != nullptr) {
      const void* hit = std::memchr(in->text, b, static_cast<size_t>(len_of(in)));
      if (hit == nullptr) continue;  // not in the input table: unchanged
      index = static_cast<int32_t>(static_cast<const char*>(hit) - in->text);
    }
    if (out != nullptr) {
      s->text[i] = index < len_of(out) ? out->text[index] : pad;
    } else {
      s->text[i] = upper(b);
    }
  }
}

void lstr_upcase(LStr* s) {
  for (int32_t i = 0, n = len_of(s); i < n; ++i) s->text[i] = upper(s->text[i]);
}

void lstr_lowcase(LStr* s) {
  for (int32_t i = 0, n = len_of(s); i < n; ++i) s->text[i] = lower(s->text[i]);
}

// ---------------------------------------------------------------------------
// Comparisons

int32_t lstr_cmp(const LStr* a, const LStr* b) { return cmp_bytes(a->text, len_of(a), b->text, len_of(b)); }

int32_t lstr_cmp_cstr(const LStr* s, const char* c) { return cmp_bytes(s->text, len_of(s), c, cstr_len32(c)); }

int32_t lstr_eq(const LStr* a, const LStr* b) { return lstr_cmp(a, b) == 0 ? 1 : 0; }

int32_t lstr_ieq(const LStr* a, const LStr* b) {
  return len_of(a) == len_of(b) && ieq_bytes(a->text, b->text, len_of(a)) ? 1 : 0;
}

int32_t lstr_ieq_cstr(const LStr* s, const char* c) {
  int32_t n = cstr_len32(c);
  return len_of(s) == n && ieq_bytes(s->text, c, n) ? 1 : 0;
}

int32_t lstr_eq_mem(const LStr* s, const void* p, int32_t n) {
  return len_of(s) == clamp0(n) && std::memcmp(s->text, p, static_cast<size_t>(len_of(s))) == 0 ? 1 : 0;
}

int32_t lstr_ieq_mem(const LStr* s, const void* p, int32_t n) {
  return len_of(s) == clamp0(n) && ieq_bytes(s->text, static_cast<const char*>(p), len_of(s)) ? 1 : 0;
}

int32_t lstr_prefix_apply(LStr* a, const LStr* b, LStrCompareFn fn) {
  if (len_of(b) > len_of(a)) return 0;
  int32_t saved = a->len;
  a->len = len_of(b);
  int32_t r = fn(a, b);
  a->len = saved;
  return r;
}

int32_t mem_compare(const void* a, const void* b, int32_t n) {
  return first_diff(static_cast<const char*>(a), static_cast<const char*>(b), clamp0(n));
}

// ---------------------------------------------------------------------------
// Words, tokens and fields

int32_t lstr_word_at(int32_t start, const LStr* src, LStr* dst) {
  int32_t len = len_of(src);
  if (start < 1) {
    dst->len = 0;
    return 0;
  }
  int32_t i = start - 1;
  while (i < len && is_blank_or_tab(src->text[i])) ++i;
  if (i >= len) {
    dst->len = 0;
    return 0;
  }
  int32_t word = i;
  while (i < len && !is_blank_or_tab(src->text[i])) ++i;
  int32_t n = std::min(i - word, LSTR_CAP_LINE);
  std::memmove(dst->text, src->text + word, static_cast<size_t>(n));
  dst->len = n;
  while (i < len && is_blank_or_tab(src->text[i])) ++i;
  return i < len ? i + 1 : 0;
}

void lstr_take_word(LStr* src, LStr* dst) {
  int32_t next = lstr_word_at(1, src, dst);
  if (next == 0) {
    src->len = 0;
    return;
  }
  lstr_delete(src, 1, next - 1);
}

void lstr_take_token(LStr* src, LStr* dst, const char* delims) {
  const size_t dlen = std::strlen(delims);
  int32_t len = len_of(src);
  int32_t i = 0;
  while (i < len && in_delims(src->text[i], delims, dlen)) ++i;
  if (i >= len) {
    dst->len = 0;
    src->len = 0;
    return;
  }
  int32_t tok = i;
  while (i < len && !in_delims(src->text[i], delims, dlen)) ++i;
  int32_t n = std::min(i - tok, LSTR_CAP_LINE);
  std::memmove(dst->text, src->text + tok, static_cast<size_t>(n));
  dst->len = n;
  while (i < len && in_delims(src->text[i], delims, dlen)) ++i;
  std::memmove(src->text, src->text + i, static_cast<size_t>(len - i));
  src->len = len - i;
}

void lstr_take_field(LStr* src, LStr* dst, int32_t cap, int32_t keep, char delim) {
  int32_t len = len_of(src);
  const void* hit = std::memchr(src->text, delim, static_cast<size_t>(len));
  int32_t end = hit ? static_cast<int32_t>(static_cast<const char*>(hit) - src->text) : len;
  if (dst != nullptr) {
    int32_t first = 0;
    if (!keep) {
      while (first < end && src->text[first] == kBlank) ++first;
    }
    int32_t n = std::min(end - first, clamp0(cap - 1));
    std::memmove(dst->text, src->text + first, static_cast<size_t>(n));
    if (!keep) {
      while (n > 0 && dst->text[n - 1] == kBlank) --n;
    }
    dst->len = n;
  }
  int32_t rest = hit ? end + 1 : len;  // past the delimiter
  std::memmove(src->text, src->text + rest, static_cast<size_t>(len - rest));
  src->len = len - rest;
}

// ---------------------------------------------------------------------------
// Searching

const char* mem_find(const void* needle, int32_t nlen, const void* hay, int32_t hlen, int32_t start) {
  if (nlen <= 0 || hlen <= 0) return nullptr;
  if (start < 1) start = 1;
  const char* n = static_cast<const char*>(needle);
  const char* h = static_cast<const char*>(hay);
  int64_t i = start - 1;
  const int64_t last = static_cast<int64_t>(hlen) - nlen;  // last index a match can start at
  while (i <= last) {
    const void* c = std::memchr(h + i, n[0], static_cast<size_t>(last - i + 1));
    if (c == nullptr) return nullptr;
    i = static_cast<const char*>(c) - h;
    if (std::memcmp(h + i, n, static_cast<size_t>(nlen)) == 0) return h + i;
    ++i;
  }
  return nullptr;
}

int32_t mem_pos(const void* needle, int32_t nlen, const void* hay, int32_t hlen, int32_t start) {
  const char* p = mem_find(needle, nlen, hay, hlen, start);
  return p ? static_cast<int32_t>(p - static_cast<const char*>(hay)) + 1 : 0;
}

int32_t lstr_pos(const LStr* needle, const LStr* hay, int32_t start) {
  return mem_pos(needle->text, len_of(needle), hay->text, len_of(hay), start);
}

int32_t lstr_pos_char(char ch, const LStr* s, int32_t start) { return mem_pos(&ch, 1, s->text, len_of(s), start); }

int32_t cstr_pos(const char* needle, const char* hay, int32_t start) {
  return mem_pos(needle, cstr_len32(needle), hay, cstr_len32(hay), start);
}

const char* cstr_find(const char* needle, const char* hay, int32_t start) {
  return mem_find(needle, cstr_len32(needle), hay, cstr_len32(hay), start);
}

int32_t cstr_pos_char(char ch, const char* str, int32_t start) { return mem_pos(&ch, 1, str, cstr_len32(str), start); }

int32_t lstr_skip_char(const LStr* s, char ch, int32_t start) {
  int32_t len = len_of(s);
  if (start > len) return start;
  int32_t i = start < 1 ? 0 : start - 1;
  while (i < len && s->text[i] == ch) ++i;
  return i + 1;
}

int32_t lstr_verify(const void* p, int32_t n, const LStr* set, int32_t mode, int32_t start) {
  if (start < 1 || start > n) return 0;
  const char* bytes = static_cast<const char*>(p);
  const int32_t slen = len_of(set);
  for (int32_t i = 0; i < slen; ++i) verify_table[ub(set->text[i])] = 1;
  int32_t found = 0;
  if (mode != 0) {
    const char* hit = mem_scan_set(verify_table, bytes + start - 1, n - start + 1);
    if (hit) found = static_cast<int32_t>(hit - bytes) + 1;
  } else {
    for (int32_t i = start - 1; i < n; ++i) {
      if (verify_table[ub(bytes[i])] == 0) {
        found = i + 1;
        break;
      }
    }
  }
  for (int32_t i = 0; i < slen; ++i) verify_table[ub(set->text[i])] = 0;
  return found;
}

const char* mem_scan_set(const uint8_t* table, const void* p, int32_t n) {
  const char* b = static_cast<const char*>(p);
  for (int32_t i = 0; i < n; ++i) {
    if (table[ub(b[i])] != 0) return b + i;
  }
  return nullptr;
}

const char* mem_scan_set_back(const uint8_t* table, const void* p, int32_t n) {
  const char* b = static_cast<const char*>(p);
  for (int32_t i = 0; i < n; ++i) {
    if (table[ub(*(b - i))] != 0) return b - i;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Raw memory and NUL-terminated strings

void mem_copy_back(void* dst_last, const void* src_last, int32_t n) {
  if (n <= 0) return;
  std::memmove(static_cast<char*>(dst_last) - (n - 1), static_cast<const char*>(src_last) - (n - 1),
               static_cast<size_t>(n));
}

void mem_replace_char(void* p, int32_t n, char new_ch, char old_ch) {
  char* b = static_cast<char*>(p);
  for (int32_t i = 0; i < n; ++i) {
    if (b[i] == old_ch) b[i] = new_ch;
  }
}

char* cstr_copy(char* dst, const char* src, int32_t n) {
  if (n <= 0) return dst;
  size_t k = strnlen(src, static_cast<size_t>(n - 1));
  std::memmove(dst, src, k);
  dst[k] = '\0';
  return dst;
}

void cstr_append(char* dst, const char* src, int32_t n) {
  if (n <= 0) return;
  size_t have = strnlen(dst, static_cast<size_t>(n));
  if (have >= static_cast<size_t>(n)) {  // not terminated inside the buffer?
    dst[n - 1] = '\0';
    return;
  }
  size_t k = strnlen(src, static_cast<size_t>(n) - 1 - have);
  std::memmove(dst + have, src, k);
  dst[have + k] = '\0';
}

int32_t cstr_ieq(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (upper(*a) != upper(*b)) return 0;
  }
  return *a == *b ? 1 : 0;
}

void cstr_take_field(char* src, char* dst, int32_t n, int32_t keep, char delim) {
  size_t len = std::strlen(src);
  const char* hit = delim != '\0' ? static_cast<const char*>(std::memchr(src, delim, len)) : nullptr;
  size_t end = hit ? static_cast<size_t>(hit - src) : len;
  if (dst != nullptr && n > 0) {
    size_t first = 0;
    if (!keep) {
      while (first < end && src[first] == kBlank) ++first;
    }
    size_t k = std::min(end - first, static_cast<size_t>(n - 1));
    std::memmove(dst, src + first, k);
    if (!keep) {
      while (k > 0 && dst[k - 1] == kBlank) --k;
    }
    dst[k] = '\0';
  }
  size_t rest = hit ? end + 1 : len;
  std::memmove(src, src + rest, len - rest + 1);  // with the NUL
}

namespace {

// Removes the first `cut` characters of line, then the blanks that follow.
void drop_front(char* line, size_t cut) {
  size_t len = std::strlen(line);
  while (cut < len && line[cut] == kBlank) ++cut;
  std::memmove(line, line + cut, len - cut + 1);
}

// Copies k bytes at p into dst of size n (at most n - 1), terminated.
void copy_cut(char* dst, int32_t n, const char* p, size_t k) {
  if (n <= 0) return;
  k = std::min(k, static_cast<size_t>(n - 1));
  std::memmove(dst, p, k);
  dst[k] = '\0';
}

}  // namespace

void cstr_take_word(char* line, char* dst, int32_t n) {
  size_t i = 0;
  while (line[i] == kBlank) ++i;
  size_t word = i;
  while (line[i] != '\0' && line[i] != kBlank) ++i;
  copy_cut(dst, n, line + word, i - word);
  drop_front(line, i);
}

void cstr_take_word_quoted(char* line, char* dst, int32_t n) {
  size_t i = 0;
  while (line[i] == kBlank) ++i;
  if (line[i] != '"') {
    cstr_take_word(line, dst, n);
    return;
  }
  size_t word = ++i;
  while (line[i] != '\0' && line[i] != '"') ++i;
  copy_cut(dst, n, line + word, i - word);
  if (line[i] == '"') ++i;  // over the closing quote
  drop_front(line, i);
}

void cstr_strip(char* s, char mode, char ch) {
  size_t len = std::strlen(s);
  size_t first = 0;
  if (mode != 'T') {
    while (first < len && s[first] == ch) ++first;
  }
  size_t end = len;
  if (mode != 'L') {
    while (end > first && s[end - 1] == ch) --end;
  }
  std::memmove(s, s + first, end - first);
  s[end - first] = '\0';
}

void cstr_substr(char* dst, const char* src, int32_t start, int32_t count, int32_t n) {
  if (n <= 0) return;
  int32_t len = cstr_len32(src);
  if (start < 1 || start > len) {
    dst[0] = '\0';
    return;
  }
  int32_t avail = len - start + 1;
  int32_t k = (count < 0 || count > avail) ? avail : count;
  copy_cut(dst, n, src + start - 1, static_cast<size_t>(k));
}

char cstr_last_char(const char* str) {
  size_t len = std::strlen(str);
  return len == 0 ? kBlank : str[len - 1];
}

void cstr_replace_char(char* str, char new_ch, char old_ch) {
  for (; *str != '\0'; ++str) {
    if (*str == old_ch) *str = new_ch;
  }
}

char* cstr_lower(char* str) {
  for (char* p = str; *p != '\0'; ++p) *p = lower(*p);
  return str;
}

char* cstr_upper(char* str) {
  for (char* p = str; *p != '\0'; ++p) *p = upper(*p);
  return str;
}

// ---------------------------------------------------------------------------
// Varint lengths

int32_t varint_get_length(VarintResult* out, const uint8_t* p, const uint8_t* end) {
  uint64_t value = 0;
  for (int32_t i = 0; i < VARINT_MAX_BYTES; ++i) {
    if (i >= end - p) return ERR_INCORRECT_VERSION;  // length bytes cut off?
    uint8_t b = p[i];
    value |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
    if ((b & 0x80) == 0) {
      if (value > static_cast<uint64_t>(INT32_MAX)) return ERR_INCORRECT_VERSION;
      out->length = static_cast<int32_t>(value);
      out->next = p + i + 1;
      return 0;
    }
  }
  return ERR_INCORRECT_VERSION;  // a sixth length byte: not ours
}

int32_t varint_get(VarintResult* out, const uint8_t* p, const uint8_t* end) {
  VarintResult r;
  int32_t rc = varint_get_length(&r, p, end);
  if (rc != 0) return rc;
  if (r.length > end - r.next) return ERR_INCORRECT_VERSION;  // string bytes missing?
  *out = r;
  return 0;
}

int32_t varint_put(uint8_t* p, int32_t cap, int32_t length) {
  if (length < 0) return 0;
  uint8_t tmp[VARINT_MAX_BYTES];
  int32_t n = 0;
  uint32_t v = static_cast<uint32_t>(length);
  do {
    uint8_t b = v & 0x7F;
    v >>= 7;
    tmp[n++] = v != 0 ? static_cast<uint8_t>(b | 0x80) : b;
  } while (v != 0);
  if (n > cap) return 0;
  std::memcpy(p, tmp, static_cast<size_t>(n));
  return n;
}

// ---------------------------------------------------------------------------
// Dates

void lstr_format_date_time(LStr* date, LStr* time, int32_t year, int32_t month, int32_t day, int32_t hour,
                           int32_t minute, const char* sep, int32_t pad) {
  char num[12];
  auto append_int = [&](LStr* dst, int32_t v, int32_t cap) {
    num[format_int(v, num)] = '\0';
    lstr_append_cstr(dst, num, cap);
  };
  if (date != nullptr) {
    date->len = 0;
    append_int(date, month, LSTR_CAP_LINE);
    lstr_append_cstr(date, sep, LSTR_CAP_LINE);
    if (pad && day <= 9) lstr_append_cstr(date, "0", LSTR_CAP_LINE);
    append_int(date, day, LSTR_CAP_LINE);
    lstr_append_cstr(date, sep, LSTR_CAP_LINE);
    int32_t yy = year % 100;
    if (yy < 0) yy = -yy;
    const char two[3] = {static_cast<char>('0' + yy / 10), static_cast<char>('0' + yy % 10), '\0'};
    lstr_append_cstr(date, two, LSTR_CAP_LINE);
  }
  if (time != nullptr) {
    time->len = 0;
    int32_t h12 = hour == 0 ? 12 : (hour >= 13 && hour <= 23 ? hour - 12 : hour);
    append_int(time, h12, LSTR_CAP_TIME);
    lstr_append_cstr(time, minute <= 9 ? ":0" : ":", LSTR_CAP_TIME);
    append_int(time, minute, LSTR_CAP_TIME);
    lstr_append_cstr(time, hour >= 12 && hour <= 23 ? "p" : "a", LSTR_CAP_TIME);
  }
}
