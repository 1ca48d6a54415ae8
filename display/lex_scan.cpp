// The line lexer: colouring one line, and the cheaper state at its end.
//
// Both scans work against an explicit line end and never write into the
// text, so a line of the full 1024 columns needs no spare byte.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "display/lex_internal.h"
#include "display/lexer.h"

namespace {

LexerDef* current = nullptr;

inline uint8_t up(uint8_t c) { return static_cast<uint8_t>(std::toupper(c)); }
inline bool is_hex(uint8_t c) { return std::isxdigit(c) != 0; }

class Scan {
 public:
  Scan(const LexerDef& lx, const uint8_t* s, int32_t n, uint16_t* attrs)
      : lx_(lx), s_(s), n_(n), full_(n), attrs_(attrs), cls_(lex_class_attrs()) {}

  int colour(int state);
  int line_state(int state);

 private:
  void fill(int32_t from, int32_t to, int cls) {
    if (!attrs_ || from >= to) return;
    std::fill(attrs_ + from, attrs_ + to, cls_[cls]);
  }
  uint8_t fold(uint8_t c) const { return lx_.case_sensitive ? c : up(c); }
  // Whether stored text t (len) stands at q; exact, or with the line's
  // characters upper-cased.
  bool text_at(int32_t q, const char* t, int32_t len, bool exact) const {
    if (len <= 0 || q + len > n_) return false;
    if (exact) return std::memcmp(s_ + q, t, static_cast<size_t>(len)) == 0;
    for (int32_t i = 0; i < len; ++i)
      if (up(s_[q + i]) != static_cast<uint8_t>(t[i])) return false;
    return true;
  }
  bool entry_at(const LexKeyword& k, int32_t q) const {
    return text_at(q, k.text, k.length, lx_.case_sensitive || k.as_given);
  }
  bool followed_by_ok(const MlCommentDef& m, int32_t q) const {
    if (!m.has_followedby) return true;
    if (q + 1 >= n_) return false;
    return m.followedby.test(s_[q + 1]);
  }
  bool in_cols(const LexKeyword& k, int32_t q) const { return q + 1 >= k.start_col && q + 1 <= k.end_col; }
  // A comment-start entry that may start here.
  bool comment_ok(const LexKeyword& k, int32_t q) const {
    if (k.kind != kKindComment) return true;
    if (k.comment == 0) return in_cols(k, q);
    return k.comment <= lx_.ml_count && followed_by_ok(lx_.ml[k.comment - 1], q);
  }
  int cap(int m) const {
    const int raw = m == 1 ? 7 : 4;
    return lx_.ml[m - 1].mlc_keywords ? raw - 1 : raw;
  }
  // Longest entry of the symbol bucket of s[q] that stands at q; kind 5 only when comments_only.
  const LexKeyword* longest_symbol(int32_t q, bool comments_only) const;
  // 1 when the word after a start delimiter of comment m at q is one of its MLCKEYWORDS.
  int mlc_flag(const MlCommentDef& m, int32_t q) const;
  // Check-first search: the entry matched and where, or -1.
  int check_first(int32_t* where) const;

  void string_scan(int32_t from, int32_t q, bool dq, bool continuing);
  void comment_from(int32_t from, int n, int32_t after);
  void ml_scan(int m, int d, int32_t from, int32_t q);
  void ident();
  void number();
  void symbol();
  void dispatch();

  const LexerDef& lx_;
  const uint8_t* s_;
  int32_t n_;
  const int32_t full_;
  uint16_t* attrs_;
  const uint16_t* cls_;
  int32_t p_ = 0;
  int state_ = 0;
};

const LexKeyword* Scan::longest_symbol(int32_t q, bool comments_only) const {
  if (!lx_.keywords) return nullptr;
  const auto& tab = *lx_.keywords;
  const LexKeyword* best = nullptr;
  for (int32_t i = tab.heads[static_cast<size_t>(kLexWordBuckets + (s_[q] & 127))]; i >= 0;) {
    const LexKeyword& k = tab.entries[static_cast<size_t>(i)];
    i = k.next;
    if (comments_only && k.kind != kKindComment) continue;
    if ((!best || k.length > best->length) && entry_at(k, q) && comment_ok(k, q)) best = &k;
  }
  return best;
}

int Scan::mlc_flag(const MlCommentDef& m, int32_t q) const {
  if (!m.mlc_keywords) return 0;
  int32_t e = q;
  while (e < n_ && s_[e] != ' ' && s_[e] != 0 && s_[e] != static_cast<uint8_t>(m.end[0])) ++e;
  const int32_t len = e - q;
  if (len <= 0 || len > kLexKeywordCap) return 0;
  int sum = 0;
  for (int32_t i = q; i < e; ++i) sum += fold(s_[i]);
  const auto& tab = *m.mlc_keywords;
  for (int32_t i = tab.heads[static_cast<size_t>(sum % kLexBuckets)]; i >= 0;) {
    const LexKeyword& k = tab.entries[static_cast<size_t>(i)];
    i = k.next;
    if (k.length == len && text_at(q, k.text, len, lx_.case_sensitive != 0)) return 1;
  }
  return 0;
}

int Scan::check_first(int32_t* where) const {
  for (int i = 0; i < lx_.checkfirst_count; ++i) {
    const CheckFirstEntry& e = lx_.checkfirst[i];
    const int32_t lo = e.start_col - 1;
    const int32_t hi = std::min<int64_t>(n_, e.end_col);  // exclusive, 0-based
    if (lo >= hi) continue;
    if (e.kind == 1) {
      for (int32_t q = lo; q < hi; ++q) {
        if ((lx_.case_sensitive ? s_[q] : up(s_[q])) == static_cast<uint8_t>(e.text[0])) {
          *where = q;
          return i;
        }
      }
      continue;
    }
    int32_t q = lo;
    while (q < hi && (s_[q] == ' ' || s_[q] == '\t')) ++q;
    if (q + e.length > hi || !text_at(q, e.text, e.length, lx_.case_sensitive != 0)) continue;
    const int32_t after = q + e.length;
    if (after < n_ && lx_.idmap[s_[after]] && lx_.idmap[s_[after - 1]]) continue;  // cut out of a word
    *where = q;
    return i;
  }
  return -1;
}

void Scan::string_scan(int32_t from, int32_t q, bool dq, bool continuing) {
  const uint32_t s1 = lx_.styles1;
  const bool bs = s1 & (dq ? kStDqBackslash : kStSqBackslash);
  const bool doubles = s1 & (dq ? kStDqDoubles : kStSqDoubles);
  const bool len1 = s1 & (dq ? kStDqLen1 : kStSqLen1);
  const bool ml = s1 & (dq ? kStDqMultiline : kStSqMultiline);
  const bool bsml = s1 & (dq ? kStDqBackslashMl : kStSqBackslashMl);
  const bool term = lx_.styles2 & (dq ? kSt2DqTerminate : kSt2SqTerminate);
  const uint8_t quote = dq ? '"' : '\'';
  const int st = dq ? kStateDqString : kStateSqString;
  bool closed = false, carried = false;
  if (len1 && !continuing) {
    q = std::min(n_, from + 3);
  } else {
    while (q < n_) {
      const uint8_t c = s_[q];
      if (bs && c == '\\') {
        if (q + 1 < n_) {
          q += 2;
          continue;
        }
        carried = bsml;
        ++q;
        break;
      }
      if (c == quote) {
        if (doubles && q + 1 < n_ && s_[q + 1] == quote) {
          q += 2;
          continue;
        }
        ++q;
        closed = true;
        break;
      }
      ++q;
    }
  }
  if (closed && (s1 & kStRexxHex) && q < n_ && (s_[q] == 'x' || s_[q] == 'X')) ++q;
  state_ = !closed && !len1 && (ml || carried) ? st : 0;
  if (len1 && continuing) state_ = 0;
  fill(from, q, !closed && term ? kClassText : kClassString);
  p_ = q;
}

void Scan::comment_from(int32_t from, int n, int32_t after) {
  if (n == 0) {
    fill(from, n_, kClassComment);
    p_ = n_;
    state_ = kStateLineComment;
    return;
  }
  after = std::min(after, n_);
  ml_scan(n, 1 + mlc_flag(lx_.ml[n - 1], after), from, after);
}

void Scan::ml_scan(int m, int d, int32_t from, int32_t q) {
  const MlCommentDef& c = lx_.ml[m - 1];
  int cls = c.colour_class;
  int kw = 0;
  if (c.mlc_keywords && d >= 2) {
    cls = kClassKeyword;
    d = 1;
    kw = 1;
  }
  d = std::min(d, cap(m));
  const uint8_t e0 = static_cast<uint8_t>(c.end[0]), s0 = static_cast<uint8_t>(c.start[0]);
  bool closed = false;
  while (q < n_) {
    const uint8_t ch = s_[q];
    if (ch != e0 && ch != s0) {
      ++q;
      continue;
    }
    if (ch == e0 && text_at(q, c.end, c.end_len, true) && (!c.lastchar || q + c.end_len == n_)) {
      q += c.end_len;
      if (--d == 0) {
        closed = true;
        break;
      }
      continue;
    }
    if (c.nesting && ch == s0 && text_at(q, c.start, c.start_len, true) && followed_by_ok(c, q)) {
      if (d < cap(m)) ++d;
      q += c.start_len;
      continue;
    }
    ++q;
  }
  fill(from, q, cls);
  p_ = q;
  state_ = closed ? 0 : 8 * (m - 1) + d + kw;
}

void Scan::ident() {
  const int32_t p = p_;
  const uint8_t c = s_[p];
  if ((lx_.styles1 & kStZqHex) && (c == 'Z' || c == 'z') && p + 1 < n_ && s_[p + 1] == '\'') {
    int32_t q = p + 2;
    while (q < n_ && (s_[q] == ' ' || is_hex(s_[q]))) ++q;
    if (q < n_ && s_[q] == '\'') ++q;
    fill(p, q, kClassNumber);
    p_ = q;
    return;
  }
  int sum = lx_.idmap[c];
  int32_t q = p + 1;
  while (q < n_ && lx_.idmap[s_[q]]) sum += lx_.idmap[s_[q++]];
  p_ = q;
  const int32_t len = q - p;
  if (lx_.keywords) {
    const auto& tab = *lx_.keywords;
    for (int32_t i = tab.heads[static_cast<size_t>(sum % kLexWordBuckets)]; i >= 0;) {
      const LexKeyword& k = tab.entries[static_cast<size_t>(i)];
      i = k.next;
      if (k.length != len || !entry_at(k, p)) continue;
      if (k.kind != kKindComment) {
        fill(p, q, k.kind);
        return;
      }
      if (k.comment > 0) {
        if (k.comment > lx_.ml_count || !followed_by_ok(lx_.ml[k.comment - 1], p)) continue;
        comment_from(p, k.comment, p + lx_.ml[k.comment - 1].start_len);
        return;
      }
      if (in_cols(k, p))
        comment_from(p, 0, q);
      else
        fill(p, q, kClassText);
      return;
    }
  }
  fill(p, q, kClassText);
}

void Scan::number() {
  const uint32_t s1 = lx_.styles1;
  const int32_t p = p_;
  int32_t q = p + 1;
  bool sign_used = false;
  if (s_[p] == '0' && (s1 & kStXHex) && q < n_ && (s_[q] == 'x' || s_[q] == 'X')) {
    ++q;
    sign_used = true;  // no exponent sign after 0x
  }
  while (q < n_) {
    const uint8_t c = s_[q];
    if (!(is_hex(c) || c == '.' || (c == '_' && (s1 & kStUnderlineInt)) || (c == '#' && (s1 & kStPoundBase)))) break;
    ++q;
    if ((c == 'e' || c == 'E') && !sign_used && q < n_ && (s_[q] == '+' || s_[q] == '-')) {
      ++q;
      sign_used = true;
    }
  }
  if ((s1 & kStHexH) && q < n_ && up(s_[q]) == 'H') ++q;
  if ((s1 & kStOctQ) && q < n_ && up(s_[q]) == 'Q') ++q;
  if ((s1 & kStOctO) && q < n_ && up(s_[q]) == 'O') ++q;
  fill(p, q, kClassNumber);
  p_ = q;
}

void Scan::symbol() {
  const int32_t p = p_;
  const LexKeyword* k = longest_symbol(p, false);
  if (!k) {
    fill(p, p + 1, kClassText);
    p_ = p + 1;
    return;
  }
  if (k->kind == kKindComment) {
    comment_from(p, k->comment, p + (k->comment ? lx_.ml[k->comment - 1].start_len : k->length));
    return;
  }
  fill(p, p + k->length, k->kind);
  p_ = p + k->length;
}

void Scan::dispatch() {
  const uint8_t c = s_[p_];
  const uint32_t s1 = lx_.styles1;
  switch (lx_.handler[c]) {
    case LexHandler::Default:
      fill(p_, p_ + 1, kClassText);
      ++p_;
      return;
    case LexHandler::Ident:
      ident();
      return;
    case LexHandler::Number:
      number();
      return;
    case LexHandler::Dot:
      if (p_ + 1 < n_ && std::isdigit(s_[p_ + 1]))
        number();
      else
        symbol();
      return;
    case LexHandler::Dollar: {
      int32_t q = p_ + 1;
      while (q < n_ && is_hex(s_[q])) ++q;
      fill(p_, q, kClassNumber);
      p_ = q;
      return;
    }
    case LexHandler::Amp: {
      const uint8_t l = p_ + 1 < n_ ? up(s_[p_ + 1]) : 0;
      if ((l == 'O' && (s1 & kStAmpOOct)) || (l == 'H' && (s1 & kStAmpHHex))) {
        int32_t q = p_ + 2;
        while (q < n_ && (l == 'H' ? is_hex(s_[q]) : (s_[q] >= '0' && s_[q] <= '7'))) ++q;
        fill(p_, q, kClassNumber);
        p_ = q;
      } else {
        symbol();
      }
      return;
    }
    case LexHandler::Symbol:
      symbol();
      return;
    case LexHandler::DQuote:
      string_scan(p_, p_ + 1, true, false);
      return;
    case LexHandler::SQuote:
      string_scan(p_, p_ + 1, false, false);
      return;
  }
}

int Scan::colour(int state) {
  if (lx_.comment_column > 0 && lx_.comment_column <= n_) {
    fill(lx_.comment_column - 1, n_, kClassComment);
    n_ = lx_.comment_column - 1;
  }
  const int m = (state & 8) ? 2 : 1;
  const int d = state & 7;
  if (state == kStateDqString || state == kStateSqString) {
    string_scan(0, 0, state == kStateDqString, true);
  } else if (state != 0 && d != 0 && m <= lx_.ml_count) {
    ml_scan(m, d, 0, 0);
  } else {
    int32_t where = 0;
    const int hit = lx_.checkfirst_count ? check_first(&where) : -1;
    if (hit >= 0 && !lx_.checkfirst[hit].is_ml) {
      fill(0, full_, kClassComment);
      return kStateLineComment;
    }
    if (hit >= 0) {
      const int nc = lx_.checkfirst[hit].ml_number;
      fill(0, where, kClassText);
      comment_from(where, nc, where + lx_.ml[nc - 1].start_len);
    } else {
      int32_t q = 0;
      while (q < n_ && (s_[q] == ' ' || s_[q] == '\t')) ++q;
      fill(0, q, kClassText);
      p_ = q;
      if (lx_.pp_char && p_ < n_ && s_[p_] == lx_.pp_char && lx_.keywords) {
        int sum = fold(lx_.pp_char);
        int32_t e = p_ + 1;
        while (e < n_ && lx_.idmap[s_[e]]) sum += lx_.idmap[s_[e++]];
        const int32_t len = e - p_;
        const auto& tab = *lx_.keywords;
        for (int32_t i = tab.heads[static_cast<size_t>(sum % kLexWordBuckets)]; i >= 0;) {
          const LexKeyword& k = tab.entries[static_cast<size_t>(i)];
          i = k.next;
          if (k.length != len || !entry_at(k, p_)) continue;
          if (k.kind == kKindComment && k.comment > 0 && k.comment <= lx_.ml_count) {
            comment_from(p_, k.comment, p_ + lx_.ml[k.comment - 1].start_len);
          } else if (k.kind == kKindComment && k.comment == 0 && in_cols(k, p_)) {
            comment_from(p_, 0, e);
          } else {
            fill(p_, e, k.kind == kKindComment ? kClassText : k.kind);
            p_ = e;
          }
          break;
        }
      }
      if (lx_.styles1 & kStLineNum) {
        int32_t e = p_;
        while (e < n_ && s_[e] >= '0' && s_[e] <= '9') ++e;
        fill(p_, e, kClassLineNum);
        p_ = e;
      }
    }
  }
  while (p_ < n_) {
    if (s_[p_] == 0) {
      fill(p_, p_ + 1, kClassText);
      ++p_;
      continue;
    }
    dispatch();
  }
  return state_;
}

int Scan::line_state(int state) {
  if (lx_.comment_column > 0 && lx_.comment_column <= n_) n_ = lx_.comment_column - 1;
  if (lx_.ml_count == 0) return 0;
  int m = 1, d = 0, kw = 0;
  if (state == kStateDqString || state == kStateSqString) {
    string_scan(0, 0, state == kStateDqString, true);
    if (state_) return state_;
  } else if (state != 0 && (state & 7) != 0 && ((state & 8) ? 2 : 1) <= lx_.ml_count) {
    m = (state & 8) ? 2 : 1;
    d = state & 7;
    if (lx_.ml[m - 1].mlc_keywords && d > 1) {
      d = 1;
      kw = 1;
    }
    d = std::min(d, cap(m));
  } else if (lx_.checkfirst_count) {
    int32_t where = 0;
    const int hit = check_first(&where);
    if (hit >= 0) {
      const CheckFirstEntry& e = lx_.checkfirst[hit];
      if (!e.is_ml) return 0;
      m = e.ml_number;
      p_ = std::min(n_, where + lx_.ml[m - 1].start_len);
      d = 1;
      kw = mlc_flag(lx_.ml[m - 1], p_);
    }
  }
  for (;;) {
    if (d == 0) {
      // Text: only characters that may start a comment or a string matter.
      while (p_ < n_ && !lx_.char_flags[s_[p_]]) ++p_;
      if (p_ >= n_) return 0;
      const uint8_t c = s_[p_];
      const LexHandler h = lx_.handler[c];
      if ((lx_.char_flags[c] & kCfQuote) && (h == LexHandler::DQuote || h == LexHandler::SQuote)) {
        string_scan(p_, p_ + 1, h == LexHandler::DQuote, false);
        if (state_) return state_;
        continue;
      }
      if (!lx_.idmap[c]) {
        const LexKeyword* k = longest_symbol(p_, true);
        if (!k) {
          ++p_;
          continue;
        }
        if (k->comment == 0) return 0;
        m = k->comment;
        p_ = std::min(n_, p_ + lx_.ml[m - 1].start_len);
        d = 1;
        kw = mlc_flag(lx_.ml[m - 1], p_);
        continue;
      }
      const bool word_start = p_ == 0 || !lx_.idmap[s_[p_ - 1]];
      int32_t e = p_ + 1;
      int sum = lx_.idmap[c];
      while (e < n_ && lx_.idmap[s_[e]]) sum += lx_.idmap[s_[e++]];
      if (word_start && lx_.keywords) {
        const auto& tab = *lx_.keywords;
        for (int32_t i = tab.heads[static_cast<size_t>(sum % kLexWordBuckets)]; i >= 0;) {
          const LexKeyword& k = tab.entries[static_cast<size_t>(i)];
          i = k.next;
          if (k.kind == kKindComment && k.comment == 0 && k.length == e - p_ && entry_at(k, p_) && in_cols(k, p_))
            return 0;
        }
      }
      p_ = word_start ? e : p_ + 1;
      continue;
    }
    // Inside comment m.
    const MlCommentDef& c = lx_.ml[m - 1];
    const uint8_t e0 = static_cast<uint8_t>(c.end[0]), s0 = static_cast<uint8_t>(c.start[0]);
    for (;;) {
      const uint8_t* hit = static_cast<const uint8_t*>(std::memchr(s_ + p_, e0, static_cast<size_t>(n_ - p_)));
      if (c.nesting && s0 != e0) {
        const uint8_t* hs = static_cast<const uint8_t*>(std::memchr(s_ + p_, s0, static_cast<size_t>(n_ - p_)));
        if (hs && (!hit || hs < hit)) hit = hs;
      }
      if (!hit) return 8 * (m - 1) + d + kw;
      p_ = static_cast<int32_t>(hit - s_);
      if (*hit == e0 && text_at(p_, c.end, c.end_len, true) && (!c.lastchar || p_ + c.end_len == n_)) {
        p_ += c.end_len;
        if (--d == 0) {
          kw = 0;
          break;
        }
        continue;
      }
      if (c.nesting && *hit == s0 && text_at(p_, c.start, c.start_len, true) && followed_by_ok(c, p_)) {
        if (d < cap(m)) ++d;
        p_ += c.start_len;
        continue;
      }
      ++p_;
    }
  }
}

}  // namespace

int lex_depth_cap(const LexerDef& lx, int m) {
  const int raw = m == 1 ? 7 : 4;
  return lx.ml[m - 1].mlc_keywords ? raw - 1 : raw;
}

void lex_select_parsed(LexerDef* lexer) { current = lexer; }

void lex_select(LexerDef* lexer) {
  if (lexer) lex_parse(lexer);
  current = lexer;
}

LexerDef* lex_current() { return current; }

int lex_colour_line(const uint8_t* text, int32_t length, uint16_t* attrs, int start_state) {
  if (length < 0) length = 0;
  if (!current) {
    if (attrs) std::fill(attrs, attrs + length, lex_class_attrs()[kClassText]);
    return 0;
  }
  return Scan(*current, text, length, attrs).colour(start_state & 15);
}

int lex_line_state(LexerDef* lexer, const uint8_t* text, int32_t length, int start_state) {
  lex_select(lexer);
  if (!lexer) return 0;
  if (length < 0) length = 0;
  return Scan(*lexer, text, length, nullptr).line_state(start_state & 15);
}
