// Literal search with a skip table: see plain_search.h.

#include "text/plain_search.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct Tables {
  int direction = 1;
  int fold = 0;
  bool chained = false;  // the pattern fitted the chain table
  std::array<int32_t, 256> occ{};
  std::array<int32_t, kPlainMaxPattern> chain{};
};
Tables g;

constexpr std::array<uint8_t, 256> make_upper() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i >= 'a' && i <= 'z' ? i - 32 : i);
  return t;
}
constexpr std::array<uint8_t, 256> kUpper = make_upper();

inline uint8_t fold_byte(uint8_t c) { return g.fold ? kUpper[c] : c; }

bool equal_at(const uint8_t* t, const uint8_t* p, int32_t n) {
  if (!g.fold) return t[0] == p[0] && std::memcmp(t, p, static_cast<size_t>(n)) == 0;
  for (int32_t i = 0; i < n; ++i)
    if (kUpper[t[i]] != p[i]) return false;
  return true;
}

// Direct comparison at every start, for patterns the chain table cannot hold.
int32_t scan_forward(int32_t p, const uint8_t* pat, int32_t n, const uint8_t* text, int32_t len) {
  for (; p + n <= len; ++p)
    if (equal_at(text + p, pat, n)) return p + 1;
  return 0;
}
int32_t scan_backward(int32_t p, const uint8_t* pat, int32_t n, const uint8_t* text) {
  for (; p >= 0; --p)
    if (equal_at(text + p, pat, n)) return p + 1;
  return 0;
}

}  // namespace

int32_t search_plain_prepare(const LStr* pattern, int direction, int fold) {
  g.direction = direction < 0 ? -1 : 1;
  g.fold = fold ? 1 : 0;
  g.occ.fill(-1);
  const int32_t n = pattern->len;
  g.chained = n > 0 && n <= kPlainMaxPattern;
  if (!g.chained) return 0;
  const auto* s = reinterpret_cast<const uint8_t*>(pattern->text);
  if (g.direction > 0) {
    for (int32_t i = 0; i < n; ++i) {
      int32_t& o = g.occ[s[i]];
      g.chain[i] = o < 0 ? i + 1 : i - o;
      o = i;
    }
  } else {
    for (int32_t i = n - 1; i >= 0; --i) {
      int32_t& o = g.occ[s[i]];
      g.chain[i] = o < 0 ? n - i : o - i;
      o = i;
    }
  }
  return 0;
}

int32_t search_plain_compare(const uint8_t* text, const uint8_t* pattern, int32_t count) {
  const int step = g.direction;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t t = fold_byte(*text), p = *pattern;
    if (t != p) return static_cast<int32_t>(t) - static_cast<int32_t>(p);
    text += step;
    pattern += step;
  }
  return 0;
}

namespace {

// The forward skip loop, with the fold decided once per call.
template <bool Fold>
int32_t forward_chained(int32_t p, const uint8_t* pat, int32_t n, const uint8_t* text, int32_t length) {
  const int32_t m = n - 1;
  const uint8_t last = pat[m];
  const int32_t* occ = g.occ.data();
  const int32_t* chain = g.chain.data();
  while (p + m < length) {
    const uint8_t c = Fold ? kUpper[text[p + m]] : text[p + m];
    int32_t j;
    if (c == last) {
      j = m;
    } else {
      j = occ[c];
      if (j < 0) {
        p += m + 1;
        continue;
      }
      p += m - j;
    }
    for (;;) {  // the alignments that put an occurrence of c under that byte
      if (p + m >= length) return 0;
      if (equal_at(text + p, pat, n)) return p + 1;
      const int32_t d = chain[j];
      p += d;
      j -= d;
      if (j < 0) break;
    }
  }
  return 0;
}

}  // namespace

int32_t search_plain_forward(int32_t start_column, const LStr* pattern, const uint8_t* text, int32_t length) {
  const int32_t n = pattern->len;
  if (n <= 0 || length < n) return 0;
  const auto* pat = reinterpret_cast<const uint8_t*>(pattern->text);
  const int32_t p = std::max(start_column, 1) - 1;
  if (!g.chained) return scan_forward(p, pat, n, text, length);
  return g.fold ? forward_chained<true>(p, pat, n, text, length) : forward_chained<false>(p, pat, n, text, length);
}

int32_t search_plain_backward(int32_t start_column, const LStr* pattern, const uint8_t* text, int32_t length) {
  const int32_t n = pattern->len;
  if (n <= 0 || start_column < 1 || length < n) return 0;
  const auto* pat = reinterpret_cast<const uint8_t*>(pattern->text);
  const int32_t m = n - 1;
  int32_t p = std::min(start_column, length) - 1;
  if (p + m >= length) p = length - 1 - m;
  if (!g.chained) return scan_backward(p, pat, n, text);
  const uint8_t first = pat[0];
  while (p >= 0) {
    const uint8_t c = fold_byte(text[p]);
    int32_t j;
    if (c == first) {
      j = 0;
    } else {
      j = g.occ[c];
      if (j < 0) {
        p -= m + 1;
        continue;
      }
      p -= j;
    }
    for (;;) {
      if (p < 0) return 0;
      if (equal_at(text + p, pat, n)) return p + 1;
      const int32_t d = g.chain[j];
      p -= d;
      j += d;
      if (j > m) break;
    }
  }
  return 0;
}

int32_t search_plain_backward_lstr(const LStr* pattern, const LStr* text, int32_t start_column) {
  search_plain_prepare(pattern, -1, 0);
  return search_plain_backward(start_column, pattern, reinterpret_cast<const uint8_t*>(text->text), text->len);
}
