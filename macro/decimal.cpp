// Decimal arithmetic on macro values (see decimal.h for the rules).
//
// Working numbers are DecNumber records (eight base-10000 limbs). Products
// and long divisions need more room and use Big, a plain unsigned integer in
// base-10000 limbs. Exponents are computed in 64 bits and checked against
// DEC_EXPONENT_MAX before they are stored, so no arithmetic here can wrap.
#include "macro/decimal.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

constexpr uint32_t kBase = 10000;
constexpr uint32_t kPow10[5] = {1, 10, 100, 1000, 10000};
// Exponents of overflowed results are kept within this bound so that later
// sums of exponents stay far from 64-bit limits.
constexpr int64_t kExponentClamp = 2 * int64_t{DEC_EXPONENT_MAX};

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

int digits_of(uint64_t v) {
  int d = 1;
  while (v >= 10) {
    v /= 10;
    ++d;
  }
  return d;
}

// Stores e into x.exponent; an out-of-range exponent sets *overflow.
void set_exponent(DecNumber* x, int64_t e, bool* overflow) {
  if (e > DEC_EXPONENT_MAX || e < -DEC_EXPONENT_MAX) *overflow = true;
  x->exponent = static_cast<int32_t>(std::clamp(e, -kExponentClamp, kExponentClamp));
}

bool is_zero(const DecNumber& x) {
  for (uint32_t l : x.limbs)
    if (l != 0) return false;
  return true;
}

// Number of digits of the significand; 0 for zero. The top limb may be large.
int sig_digits(const DecNumber& x) {
  for (int i = DEC_LIMBS - 1; i >= 0; --i)
    if (x.limbs[i] != 0) return 4 * i + digits_of(x.limbs[i]);
  return 0;
}

int unused_digits(const DecNumber& x) { return DEC_PRECISION - sig_digits(x); }

void set_zero(DecNumber* x) { std::memset(x->limbs, 0, sizeof x->limbs); }

// Multiplies the significand by 10^k; the caller guarantees it stays within
// 32 digits.
void shift_left(DecNumber* x, int k) {
  int q = k / 4, r = k % 4;
  if (q > 0) {
    for (int i = DEC_LIMBS - 1; i >= 0; --i) x->limbs[i] = i >= q ? x->limbs[i - q] : 0;
  }
  if (r > 0) {
    uint32_t carry = 0;
    for (uint32_t& l : x->limbs) {
      uint32_t v = l * kPow10[r] + carry;
      l = v % kBase;
      carry = v / kBase;
    }
  }
}

// Divides the significand by 10^k (k >= 0), truncating; returns the last
// digit dropped (0 when k is 0).
uint32_t shift_right(DecNumber* x, int k) {
  if (k <= 0) return 0;
  if (k > 4 * DEC_LIMBS) {
    set_zero(x);
    return 0;
  }
  int q = (k - 1) / 4, r = (k - 1) % 4;
  if (q > 0)
    for (int i = 0; i < DEC_LIMBS; ++i) x->limbs[i] = i + q < DEC_LIMBS ? x->limbs[i + q] : 0;
  uint32_t rem = 0;
  if (r > 0) {
    for (int i = DEC_LIMBS - 1; i >= 0; --i) {
      uint64_t v = uint64_t{rem} * kBase + x->limbs[i];
      x->limbs[i] = static_cast<uint32_t>(v / kPow10[r]);
      rem = static_cast<uint32_t>(v % kPow10[r]);
    }
  }
  // One more digit: the one that decides rounding.
  rem = 0;
  for (int i = DEC_LIMBS - 1; i >= 0; --i) {
    uint64_t v = uint64_t{rem} * kBase + x->limbs[i];
    x->limbs[i] = static_cast<uint32_t>(v / 10);
    rem = static_cast<uint32_t>(v % 10);
  }
  return rem;
}

// Adds 1 to the significand; a carry out of the top limb stays in it.
void increment(uint32_t* limbs, int n) {
  for (int i = 0; i < n; ++i) {
    if (++limbs[i] < kBase || i == n - 1) return;
    limbs[i] = 0;
  }
}

int cmp_mag(const DecNumber& a, const DecNumber& b) {
  for (int i = DEC_LIMBS - 1; i >= 0; --i)
    if (a.limbs[i] != b.limbs[i]) return a.limbs[i] < b.limbs[i] ? -1 : 1;
  return 0;
}

// ---- Big: unsigned integers for products and long division ----------------

constexpr int kBigLimbs = 40;  // 160 digits

struct Big {
  uint32_t l[kBigLimbs];
  int n = 0;  // limbs in use; l[n-1] != 0 unless n == 0
};

void big_trim(Big* b) {
  while (b->n > 0 && b->l[b->n - 1] == 0) --b->n;
}

Big big_from(const DecNumber& x) {
  Big b;
  uint32_t carry = 0;
  for (int i = 0; i < DEC_LIMBS; ++i) {
    uint32_t v = x.limbs[i] + carry;
    b.l[i] = v % kBase;
    carry = v / kBase;
  }
  b.n = DEC_LIMBS;
  while (carry) {
    b.l[b.n++] = carry % kBase;
    carry /= kBase;
  }
  big_trim(&b);
  return b;
}

int big_digits(const Big& b) { return b.n == 0 ? 0 : 4 * (b.n - 1) + digits_of(b.l[b.n - 1]); }

// Multiplies by 10^k; false when the result would not fit.
bool big_shift_left(Big* b, int k) {
  if (b->n == 0) return true;
  if (big_digits(*b) + k > 4 * kBigLimbs) return false;
  int q = k / 4, r = k % 4;
  if (q > 0) {
    for (int i = b->n - 1; i >= 0; --i) b->l[i + q] = b->l[i];
    for (int i = 0; i < q; ++i) b->l[i] = 0;
    b->n += q;
  }
  if (r > 0) {
    uint32_t carry = 0;
    for (int i = 0; i < b->n; ++i) {
      uint32_t v = b->l[i] * kPow10[r] + carry;
      b->l[i] = v % kBase;
      carry = v / kBase;
    }
    if (carry) b->l[b->n++] = carry;
  }
  return true;
}

// Divides by a small d (< 10000); returns the remainder.
uint32_t big_div_small(Big* b, uint32_t d) {
  uint32_t rem = 0;
  for (int i = b->n - 1; i >= 0; --i) {
    uint32_t v = rem * kBase + b->l[i];
    b->l[i] = v / d;
    rem = v % d;
  }
  big_trim(b);
  return rem;
}

void big_mul_small_add(Big* b, uint32_t m, uint32_t add) {
  uint32_t carry = add;
  for (int i = 0; i < b->n; ++i) {
    uint32_t v = b->l[i] * m + carry;
    b->l[i] = v % kBase;
    carry = v / kBase;
  }
  while (carry) {
    b->l[b->n++] = carry % kBase;
    carry /= kBase;
  }
}

int big_cmp(const Big& a, const Big& b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i)
    if (a.l[i] != b.l[i]) return a.l[i] < b.l[i] ? -1 : 1;
  return 0;
}

void big_sub(Big* a, const Big& b) {  // a >= b
  int32_t borrow = 0;
  for (int i = 0; i < a->n; ++i) {
    int32_t v = static_cast<int32_t>(a->l[i]) - (i < b.n ? static_cast<int32_t>(b.l[i]) : 0) - borrow;
    borrow = v < 0;
    a->l[i] = static_cast<uint32_t>(v + (borrow ? static_cast<int32_t>(kBase) : 0));
  }
  big_trim(a);
}

// Long division by repeated subtraction, one decimal quotient digit at a
// time: *q = a / d, a becomes the remainder. d must not be zero.
void big_divmod(Big* a, const Big& d, Big* q) {
  q->n = 0;
  int shift = big_digits(*a) - big_digits(d);
  if (shift < 0) return;
  Big dd = d;
  big_shift_left(&dd, shift);
  for (int j = shift; j >= 0; --j) {
    uint32_t digit = 0;
    while (big_cmp(*a, dd) >= 0) {
      big_sub(a, dd);
      ++digit;
    }
    big_mul_small_add(q, 10, digit);
    if (j > 0) big_div_small(&dd, 10);
  }
  big_trim(q);
}

// Removes trailing zero digits, raising *e by their number.
void big_strip_zeros(Big* b, int64_t* e) {
  if (b->n == 0) return;
  while (b->l[0] % 10 == 0) {
    big_div_small(b, 10);
    ++*e;
  }
}

// Drops low digits (truncating) until at most `keep` digits remain.
void big_truncate(Big* b, int keep, int64_t* e) {
  int drop = big_digits(*b) - keep;
  while (drop-- > 0) {
    big_div_small(b, 10);
    ++*e;
  }
}

// A Big of at most 32 digits (or exactly 10^32) into a DecNumber.
void big_to_dec(const Big& b, int32_t sign, int64_t e, DecNumber* out, bool* overflow) {
  set_zero(out);
  out->sign = sign;
  for (int i = 0; i < b.n && i < DEC_LIMBS; ++i) out->limbs[i] = b.l[i];
  if (b.n > DEC_LIMBS) out->limbs[DEC_LIMBS - 1] += b.l[DEC_LIMBS] * kBase;  // 10^32 after a round-up
  set_exponent(out, e, overflow);
}

// ---- small integers ------------------------------------------------------------

// Plain integers of up to 16 digits take a shortcut through 64-bit
// arithmetic; their results are the same as through the limbs.
constexpr int kSmallDigits = 16;

// The value of s when it is a plain integer (blanks, sign, blanks, at most
// 16 digits, blanks) and nothing else.
bool small_int(std::string_view s, int64_t* out) {
  size_t i = 0, n = s.size();
  while (i < n && is_blank(s[i])) ++i;
  bool neg = false;
  if (i < n && (s[i] == '-' || s[i] == '+')) {
    neg = s[i++] == '-';
    while (i < n && is_blank(s[i])) ++i;
  }
  size_t first = i;
  int64_t v = 0;
  while (i < n && is_digit(s[i])) {
    if (i - first >= static_cast<size_t>(kSmallDigits)) return false;
    v = v * 10 + (s[i++] - '0');
  }
  if (i == first) return false;
  while (i < n && is_blank(s[i])) ++i;
  if (i != n) return false;
  *out = neg ? -v : v;
  return true;
}

// ---- text -----------------------------------------------------------------

void put(DecText* out, char c) { out->text[out->len++] = c; }
void put_n(DecText* out, char c, int64_t n) {
  while (n-- > 0) put(out, c);
}
void put_int(DecText* out, int64_t v) {
  auto r = std::to_chars(out->text + out->len, out->text + DEC_TEXT_CAP, v);
  out->len = static_cast<int32_t>(r.ptr - out->text);
}

// Parses a, or reports -3009.
ErrorCode parse_operand(std::string_view s, DecNumber* x, bool* overflow) {
  return dec_parse(s, x, DEC_PRECISION, overflow) == 0 ? ERR_OK : ERR_INVALID_NUMBER_ARGUMENT;
}

ErrorCode finish(DecText* out, const DecNumber& x, bool overflow) {
  ErrorCode fe = dec_format(out, x);
  return overflow ? ERR_NUMERIC_OVERFLOW : fe;
}

// ---- aligned addition and comparison ----------------------------------------

// Brings a and b to one exponent as addition needs (see decimal.h).
void align(DecNumber* a, DecNumber* b) {
  if (is_zero(*b) || a->exponent == b->exponent) return;
  DecNumber* hi = a->exponent > b->exponent ? a : b;
  DecNumber* lo = hi == a ? b : a;
  if (is_zero(*hi)) {  // a zero shifts left without limit: 0E50 + 1 is 1
    hi->exponent = lo->exponent;
    return;
  }
  int64_t k = int64_t{hi->exponent} - lo->exponent;
  int s = static_cast<int>(std::min<int64_t>(k, unused_digits(*hi)));
  if (k - s >= DEC_PRECISION) {  // too far apart: the smaller one counts as zero
    set_zero(lo);
    lo->exponent = hi->exponent;
    return;
  }
  shift_left(hi, s);
  hi->exponent -= s;
  k -= s;
  if (k > 0) {
    uint32_t last = shift_right(lo, static_cast<int>(k));
    if (last >= 5) increment(lo->limbs, DEC_LIMBS);
    lo->exponent = hi->exponent;
  }
}

// a + b on parsed numbers.
void add_numbers(DecNumber a, DecNumber b, DecNumber* out) {
  align(&a, &b);
  *out = a;
  if (is_zero(b)) return;
  if (a.sign == b.sign) {
    uint32_t carry = 0;
    for (int i = 0; i < DEC_LIMBS; ++i) {
      uint32_t v = a.limbs[i] + b.limbs[i] + carry;
      if (i < DEC_LIMBS - 1) {
        out->limbs[i] = v % kBase;
        carry = v / kBase;
      } else {
        out->limbs[i] = v;  // the top limb may pass 9999
      }
    }
    return;
  }
  const DecNumber* big = &a;
  const DecNumber* small = &b;
  if (cmp_mag(a, b) < 0) std::swap(big, small);
  out->sign = big->sign;
  int32_t borrow = 0;
  for (int i = 0; i < DEC_LIMBS; ++i) {
    int32_t v = static_cast<int32_t>(big->limbs[i]) - static_cast<int32_t>(small->limbs[i]) - borrow;
    borrow = v < 0;
    out->limbs[i] = static_cast<uint32_t>(v + (borrow ? static_cast<int32_t>(kBase) : 0));
  }
}

int compare_numbers(DecNumber a, DecNumber b) {
  align(&a, &b);
  int m = cmp_mag(a, b);
  if (m > 0) return a.sign > 0 ? 1 : -1;
  if (m < 0) return b.sign > 0 ? -1 : 1;
  if (a.sign == b.sign || is_zero(a)) return 0;
  return a.sign > 0 ? 1 : -1;
}

std::string_view strip_blanks(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// ---- multiplication, division, power ----------------------------------------

// a × b, keeping the highest eight limbs of the product.
void mul_numbers(const DecNumber& a, const DecNumber& b, DecNumber* out, bool* overflow) {
  int64_t e = int64_t{a.exponent} + b.exponent;
  set_zero(out);
  out->sign = a.sign * b.sign;
  if (a.exponent == 0 && b.exponent == 0 && sig_digits(a) <= 4 && sig_digits(b) <= 4) {
    uint32_t p = a.limbs[0] * b.limbs[0];  // small integers: one limb each
    out->limbs[0] = p % kBase;
    out->limbs[1] = p / kBase;
    set_exponent(out, e, overflow);
    return;
  }
  uint64_t acc[2 * DEC_LIMBS] = {};
  Big na = big_from(a), nb = big_from(b);
  for (int i = 0; i < na.n; ++i)
    for (int j = 0; j < nb.n; ++j) acc[i + j] += uint64_t{na.l[i]} * nb.l[j];
  uint32_t prod[2 * DEC_LIMBS + 1] = {};
  uint64_t carry = 0;
  for (int i = 0; i < 2 * DEC_LIMBS; ++i) {
    uint64_t v = acc[i] + carry;
    prod[i] = static_cast<uint32_t>(v % kBase);
    carry = v / kBase;
  }
  int top = 2 * DEC_LIMBS - 1;
  while (top > 0 && prod[top] == 0) --top;
  int dropped = top >= DEC_LIMBS ? top - (DEC_LIMBS - 1) : 0;
  for (int i = 0; i < DEC_LIMBS; ++i) out->limbs[i] = prod[i + dropped];
  if (dropped > 0) {
    e += 4 * dropped;
    if (prod[dropped - 1] / 1000 >= 5) increment(out->limbs, DEC_LIMBS);
  }
  set_exponent(out, e, overflow);
}

// mode 0 division of parsed numbers; b is not zero.
void div_numbers(const DecNumber& a, const DecNumber& b, DecNumber* out, bool* overflow) {
  int32_t sign = a.sign * b.sign;
  Big na = big_from(a), nb = big_from(b);
  if (na.n == 0) {
    big_to_dec(na, sign, 0, out, overflow);
    return;
  }
  // Enough digits of the dividend for a quotient of 33 or 34 digits.
  int s = DEC_PRECISION + 1 + big_digits(nb) - big_digits(na);
  big_shift_left(&na, s);
  Big q;
  big_divmod(&na, nb, &q);
  int64_t e = int64_t{a.exponent} - b.exponent - s;
  if (na.n == 0) big_strip_zeros(&q, &e);  // exact: no trailing zeros
  if (big_digits(q) > DEC_PRECISION) {
    big_truncate(&q, DEC_PRECISION + 1, &e);
    uint32_t last = big_div_small(&q, 10);
    ++e;
    if (last >= 5) big_mul_small_add(&q, 1, 1);
  }
  big_to_dec(q, sign, e, out, overflow);
}

// Integer quotient (mode 1) or remainder (mode 2); b is not zero.
ErrorCode int_div_numbers(const DecNumber& a, const DecNumber& b, int mode, DecNumber* out, bool* overflow) {
  int32_t sign = a.sign * b.sign;
  if (a.exponent == 0 && b.exponent == 0 && sig_digits(a) <= 4 && sig_digits(b) <= 4) {
    set_zero(out);
    out->sign = sign;
    out->exponent = 0;
    out->limbs[0] = mode == 1 ? a.limbs[0] / b.limbs[0] : a.limbs[0] % b.limbs[0];
    return ERR_OK;
  }
  Big na = big_from(a), nb = big_from(b), q;
  int64_t adj_a = int64_t{big_digits(na)} + a.exponent, adj_b = int64_t{big_digits(nb)} + b.exponent;
  if (na.n == 0 || adj_a < adj_b) {  // |a| < |b|: quotient 0, remainder a
    if (mode == 1) {
      big_to_dec(Big{}, sign, 0, out, overflow);
    } else {
      int64_t e = a.exponent;
      big_strip_zeros(&na, &e);
      big_to_dec(na, sign, e, out, overflow);
    }
    return ERR_OK;
  }
  int64_t e = std::min(a.exponent, b.exponent);
  // ea < eb: b is scaled up, and stays no longer than a. ea >= eb: a is
  // scaled up, which may not fit when the quotient is very long.
  big_shift_left(&nb, static_cast<int>(b.exponent - e));
  if (!big_shift_left(&na, static_cast<int>(std::min<int64_t>(int64_t{a.exponent} - e, 4 * kBigLimbs + 1)))) {
    if (mode == 2) return ERR_NUMERIC_OVERFLOW;  // the remainder cannot be exact
    // The quotient runs past 32 digits: its leading digits are enough.
    na = big_from(a);
    int s = DEC_PRECISION + 1 + big_digits(nb) - big_digits(na);
    big_shift_left(&na, s);
    big_divmod(&na, nb, &q);
    int64_t qe = int64_t{a.exponent} - e - s;
    big_truncate(&q, DEC_PRECISION, &qe);
    big_to_dec(q, sign, qe, out, overflow);
    return ERR_OK;
  }
  big_divmod(&na, nb, &q);
  if (mode == 1) {
    int64_t qe = 0;
    big_truncate(&q, DEC_PRECISION, &qe);
    big_to_dec(q, sign, qe, out, overflow);
  } else {
    big_strip_zeros(&na, &e);
    big_to_dec(na, sign, e, out, overflow);
  }
  return ERR_OK;
}

void set_one(DecNumber* x) {
  set_zero(x);
  x->sign = 1;
  x->exponent = 0;
  x->limbs[0] = 1;
}

}  // namespace

// ---- parsing and formatting -------------------------------------------------

int32_t dec_parse(std::string_view s, DecNumber* out, int32_t precision, bool* overflow) {
  bool ovf = false;
  size_t i = 0, n = s.size();
  while (i < n && is_blank(s[i])) ++i;
  int32_t sign = 1;
  if (i < n && (s[i] == '-' || s[i] == '+')) {
    sign = s[i] == '-' ? -1 : 1;
    ++i;
    while (i < n && is_blank(s[i])) ++i;
  }
  if (i >= n) return 1;
  if (int64_t v; precision >= kSmallDigits && small_int(s, &v)) {  // the common case
    set_zero(out);
    out->sign = v < 0 ? -1 : sign;
    out->exponent = 0;
    for (int k = 0; v != 0; ++k, v /= kBase) out->limbs[k] = static_cast<uint32_t>(v < 0 ? -(v % kBase) : v % kBase);
    return 0;
  }
  // The kept digits, most significant first.
  char kept[DEC_PRECISION];
  int nkept = 0;
  int64_t e = 0;
  bool seen_dot = false;
  size_t first = i;
  for (; i < n; ++i) {
    char c = s[i];
    if (is_digit(c)) {
      if (nkept == 0 && c == '0') {  // leading zero: not significant
        if (seen_dot) --e;
      } else if (nkept < precision) {
        kept[nkept++] = c;
        if (seen_dot) --e;
      } else if (!seen_dot) {
        ++e;  // dropped before the point
      }
    } else if (c == '.') {
      if (seen_dot || i + 1 >= n || !is_digit(s[i + 1])) return 1;
      seen_dot = true;
    } else {
      break;
    }
  }
  if (i == first) return 1;  // no digits at all (E cannot come first)
  if (i < n && (s[i] == 'E' || s[i] == 'e')) {
    ++i;
    bool neg = false;
    if (i < n && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    int64_t x = 0;
    int nd = 0;
    for (; i < n && is_digit(s[i]); ++i) {
      if (++nd <= 9)
        x = x * 10 + (s[i] - '0');
      else
        ovf = true;  // a tenth digit is ignored
    }
    e += neg ? -x : x;
  }
  while (i < n && is_blank(s[i])) ++i;
  if (i != n) return 1;
  set_zero(out);
  out->sign = sign;
  for (int k = 0, pos = nkept; pos > 0; ++k, pos -= 4) {
    uint32_t v = 0;
    for (int j = std::max(0, pos - 4); j < pos; ++j) v = v * 10 + static_cast<uint32_t>(kept[j] - '0');
    out->limbs[k] = v;
  }
  set_exponent(out, e, &ovf);
  if (overflow && ovf) *overflow = true;
  return 0;
}

ErrorCode dec_format(DecText* out, const DecNumber& x) {
  out->len = 0;
  if (is_zero(x)) {
    put(out, '0');
    return ERR_OK;
  }
  // The significand's digits; the top limb may hold more than four.
  char dig[4 * DEC_LIMBS + 12];
  int d = 0;
  int top = DEC_LIMBS - 1;
  while (x.limbs[top] == 0) --top;
  {
    auto r = std::to_chars(dig, dig + sizeof dig, x.limbs[top]);
    d = static_cast<int>(r.ptr - dig);
  }
  for (int i = top - 1; i >= 0; --i) {
    uint32_t v = x.limbs[i];
    for (int k = 3; k >= 0; --k) {
      dig[d + k] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    d += 4;
  }
  int64_t e = x.exponent;
  bool ovf = false;
  if (d > DEC_PRECISION) {
    e += d - DEC_PRECISION;
    bool up = dig[DEC_PRECISION] >= '5';
    d = DEC_PRECISION;
    if (up) {
      int k = d - 1;
      while (k >= 0 && dig[k] == '9') dig[k--] = '0';
      if (k >= 0) {
        ++dig[k];
      } else {  // all nines: 1 followed by zeros, one more digit dropped
        dig[0] = '1';
        ++e;
      }
    }
    if (e > DEC_EXPONENT_MAX || e < -DEC_EXPONENT_MAX) ovf = true;
  }
  if (x.sign < 0) put(out, '-');
  if (e == 0) {
    std::memcpy(out->text + out->len, dig, static_cast<size_t>(d));
    out->len += d;
  } else if (d + e <= DEC_PRECISION && e >= -64) {
    if (e > 0) {
      std::memcpy(out->text + out->len, dig, static_cast<size_t>(d));
      out->len += d;
      put_n(out, '0', e);
    } else if (d + e >= 1) {
      int ip = static_cast<int>(d + e);
      std::memcpy(out->text + out->len, dig, static_cast<size_t>(ip));
      out->len += ip;
      put(out, '.');
      std::memcpy(out->text + out->len, dig + ip, static_cast<size_t>(d - ip));
      out->len += d - ip;
    } else {
      put(out, '0');
      put(out, '.');
      put_n(out, '0', -(d + e));
      std::memcpy(out->text + out->len, dig, static_cast<size_t>(d));
      out->len += d;
    }
  } else {
    put(out, dig[0]);
    if (d > 1) {
      put(out, '.');
      std::memcpy(out->text + out->len, dig + 1, static_cast<size_t>(d - 1));
      out->len += d - 1;
    }
    put(out, 'E');
    int64_t shown = d + e - 1;
    put(out, shown < 0 ? '-' : '+');
    put_int(out, shown < 0 ? -shown : shown);
  }
  return ovf ? ERR_NUMERIC_OVERFLOW : ERR_OK;
}

// ---- operations on text -----------------------------------------------------

int32_t dec_add_sub_cmp(DecText* out, std::string_view a, std::optional<std::string_view> b, int op) {
  if (int64_t p, q = 1; small_int(a, &p) && (!b || small_int(*b, &q))) {
    if (op == 2) return (p > q) - (p < q);
    out->len = 0;
    put_int(out, op == 0 ? p + q : p - q);
    return ERR_OK;
  }
  DecNumber x, y;
  bool ovf = false;
  bool a_num = dec_parse(a, &x, DEC_PRECISION, &ovf) == 0;
  bool b_num = b ? dec_parse(*b, &y, DEC_PRECISION, &ovf) == 0 : (set_one(&y), true);
  if (op == 2) {
    if (a_num && b_num) return compare_numbers(x, y);
    std::string_view sa = strip_blanks(a), sb = strip_blanks(b ? *b : std::string_view("1"));
    int c = sa.compare(sb);  // bytes unsigned; a prefix sorts first
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  out->len = 0;
  if (!a_num || !b_num) return ERR_INVALID_NUMBER_ARGUMENT;
  if (op == 1) y.sign = -y.sign;
  DecNumber r;
  add_numbers(x, y, &r);
  return finish(out, r, ovf);
}

ErrorCode dec_mul(DecText* out, std::string_view a, std::string_view b) {
  DecNumber x, y, r;
  bool ovf = false;
  out->len = 0;
  if (parse_operand(a, &x, &ovf) != ERR_OK || parse_operand(b, &y, &ovf) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  mul_numbers(x, y, &r, &ovf);
  return finish(out, r, ovf);
}

ErrorCode dec_div(DecText* out, std::string_view a, std::string_view b, int mode) {
  DecNumber x, y, r;
  bool ovf = false;
  out->len = 0;
  if (parse_operand(a, &x, &ovf) != ERR_OK || parse_operand(b, &y, &ovf) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  if (is_zero(y)) return ERR_DIVIDE_BY_ZERO;
  if (mode == 0) {
    div_numbers(x, y, &r, &ovf);
  } else {
    ErrorCode rc = int_div_numbers(x, y, mode, &r, &ovf);
    if (rc != ERR_OK) return rc;
  }
  return finish(out, r, ovf);
}

ErrorCode dec_power(DecText* out, std::string_view a, std::string_view n) {
  DecNumber x, p;
  bool ovf = false;
  out->len = 0;
  if (parse_operand(a, &x, &ovf) != ERR_OK || parse_operand(n, &p, &ovf) != ERR_OK || p.exponent != 0)
    return ERR_INVALID_NUMBER_ARGUMENT;
  // The binary digits of |n|, least significant first, by halving the limbs.
  uint8_t bits[4 * DEC_PRECISION];
  int nbits = 0;
  while (!is_zero(p)) {
    uint32_t rem = 0;
    for (int i = DEC_LIMBS - 1; i >= 0; --i) {
      uint32_t v = rem * kBase + p.limbs[i];
      p.limbs[i] = v / 2;
      rem = v % 2;
    }
    bits[nbits++] = static_cast<uint8_t>(rem);
  }
  DecNumber r, t;
  set_one(&r);
  for (int i = nbits - 1; i >= 0; --i) {
    if (bits[i]) {
      mul_numbers(r, x, &t, &ovf);
      r = t;
    }
    if (i > 0) {
      mul_numbers(r, r, &t, &ovf);
      r = t;
    }
  }
  if (p.sign < 0 && nbits > 0) {
    if (is_zero(r)) return ERR_DIVIDE_BY_ZERO;
    DecNumber one;
    set_one(&one);
    div_numbers(one, r, &t, &ovf);
    r = t;
  }
  return finish(out, r, ovf);
}

ErrorCode dec_to_int(std::string_view s, int32_t* out) {
  DecNumber x;
  *out = 0;
  if (dec_parse(s, &x, DEC_PRECISION) != 0) return ERR_INVALID_NUMBER_ARGUMENT;
  // The integer part, then its lowest twelve digits.
  if (x.exponent < 0) {
    uint32_t ignored = shift_right(&x, static_cast<int>(std::min<int64_t>(-int64_t{x.exponent}, 4 * DEC_LIMBS + 1)));
    (void)ignored;
  }
  uint64_t v = 0;
  if (x.exponent <= 12) {
    Big b = big_from(x);
    if (x.exponent > 0) big_shift_left(&b, x.exponent);
    for (int i = std::min(b.n, 3) - 1; i >= 0; --i) v = v * kBase + b.l[i];
  }
  uint32_t w = static_cast<uint32_t>(v);
  if (x.sign < 0) w = 0u - w;
  *out = static_cast<int32_t>(w);
  return ERR_OK;
}

namespace {

ErrorCode put_result(DecText* out, int32_t v) {
  out->len = 0;
  put_int(out, v);
  return ERR_OK;
}

ErrorCode two_ints(std::string_view a, std::string_view b, int32_t* x, int32_t* y) {
  if (dec_to_int(a, x) != ERR_OK || dec_to_int(b, y) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  return ERR_OK;
}

}  // namespace

ErrorCode dec_bit_and_or(DecText* out, std::string_view a, std::string_view b, bool is_or) {
  int32_t x, y;
  out->len = 0;
  if (two_ints(a, b, &x, &y) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  return put_result(out, is_or ? (x | y) : (x & y));
}

ErrorCode dec_bit_xor(DecText* out, std::string_view a, std::string_view b) {
  int32_t x, y;
  out->len = 0;
  if (two_ints(a, b, &x, &y) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  return put_result(out, x ^ y);
}

ErrorCode dec_shift(DecText* out, std::string_view a, std::string_view n, bool left) {
  int32_t x, y;
  out->len = 0;
  if (two_ints(a, n, &x, &y) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  int k = y & 31;
  int32_t r = left ? static_cast<int32_t>(static_cast<uint32_t>(x) << k) : (x >> k);
  return put_result(out, r);
}

ErrorCode dec_bit_not(DecText* out, std::string_view a) {
  int32_t x;
  out->len = 0;
  if (dec_to_int(a, &x) != ERR_OK) return ERR_INVALID_NUMBER_ARGUMENT;
  return put_result(out, ~x);
}

bool dec_is_number(std::string_view s) {
  DecText t;
  return dec_add_sub_cmp(&t, s, std::nullopt, 0) == ERR_OK;
}
