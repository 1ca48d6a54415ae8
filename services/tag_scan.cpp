// The token scanner: configuration set-up, buffer refills and the token
// handlers. See tag_scan.h for the shape of the scan.
#include "services/tag_scan.h"

#include <cctype>
#include <cstring>
#include <new>

namespace {

// Expands a bracket-style set ("a-zA-Z_$", "\-" for a literal minus).
std::vector<uint8_t> expand_set(std::string_view set) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < set.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(set[i]);
    if (c == '\\' && i + 1 < set.size()) {
      out.push_back(static_cast<uint8_t>(set[++i]));
      continue;
    }
    if (i + 2 < set.size() && set[i + 1] == '-') {
      const uint8_t hi = static_cast<uint8_t>(set[i + 2]);
      for (int b = c; b <= hi; ++b) out.push_back(static_cast<uint8_t>(b));
      i += 2;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

bool is_hex_or_period(uint8_t b) { return std::isxdigit(b) || b == '.'; }

}  // namespace

// ------------------------------------------------------------------ set-up

int scan_init(TokenScanner& s, bool case_sensitive, std::string_view word_start, std::string_view word_chars) {
  s = TokenScanner{};
  s.case_sensitive = case_sensitive;
  s.handlers.fill(ScanKind::Single);
  try {
    s.buckets.assign(kKeywordBuckets, {});
  } catch (const std::bad_alloc&) {
    s.buckets.clear();
    return 1;
  }
  auto add_word = [&](std::string_view set, bool starts) {
    for (uint8_t b : expand_set(set)) {
      s.word_map[b] = case_sensitive ? b : static_cast<uint8_t>(std::toupper(b));
      if (starts) s.handlers[b] = ScanKind::Word;
    }
  };
  add_word(word_start, true);
  add_word(word_chars, false);
  for (int d = '0'; d <= '9'; ++d) s.handlers[d] = ScanKind::Digit;
  s.handlers[0] = ScanKind::Nul;
  s.handlers['\n'] = ScanKind::LineFeed;
  s.handlers['\r'] = ScanKind::CarriageReturn;
  s.handlers[uint8_t{' '}] = ScanKind::Blank;
  s.handlers['\t'] = ScanKind::Blank;
  s.string_stop[0] = s.string_stop['\n'] = s.string_stop['\r'] = 1;
  s.comment_attention[0] = s.comment_attention['\n'] = s.comment_attention['\r'] = 1;
  return 0;
}

void scan_set_options(TokenScanner& s, uint32_t options) {
  s.options = options;
  if (options & kScanDquoteString) {
    s.handlers['"'] = ScanKind::Dquote;
    s.string_stop['"'] = 1;
  }
  if (options & kScanSquoteString) {
    s.handlers['\''] = ScanKind::Squote;
    s.string_stop['\''] = 1;
  }
  if (options & (kScanDquoteEscapes | kScanSquoteEscapes)) s.string_stop['\\'] = 1;
  if ((options & kScanPeriodNumber) && s.handlers['.'] == ScanKind::Single) s.handlers['.'] = ScanKind::Period;
}

void scan_set_directive_handler(TokenScanner& s, uint8_t directive_char, DirectiveHandler h) {
  s.directive_char = directive_char;
  s.directive = h;
}

namespace {

int keyword_hash(const TokenScanner& s, std::string_view text) {
  int sum = 0;
  for (char ch : text) {
    const uint8_t b = static_cast<uint8_t>(ch);
    sum += s.word_map[b] ? s.word_map[b] : b;
  }
  return sum;
}

int add_keyword(TokenScanner& s, std::string_view text, int32_t code, KeywordKind kind, uint8_t comment) {
  if (text.empty() || !s.set_up()) return 1;
  TagKeyword k{std::string(text), code, kind, comment};
  for (auto& ch : k.text) {
    const uint8_t b = static_cast<uint8_t>(ch);
    if (s.word_map[b]) ch = static_cast<char>(s.word_map[b]);
  }
  const uint8_t first = static_cast<uint8_t>(text[0]);
  int bucket = 0;
  if (kind == KeywordKind::Operator || kind == KeywordKind::Comment) {
    bucket = kWordBuckets + (first & 127);
    s.handlers[first] = ScanKind::Operator;
  } else {
    bucket = keyword_hash(s, text) % kWordBuckets;
  }
  try {
    s.buckets[bucket].push_back(std::move(k));
  } catch (const std::bad_alloc&) {
    return 1;
  }
  return 0;
}

}  // namespace

int scan_add_keywords(TokenScanner& s, const KeywordRow* rows, int count) {
  int fault = 0;
  for (int i = 0; i < count; ++i) fault |= add_keyword(s, rows[i].text, rows[i].code, rows[i].kind, 0);
  return fault;
}

int scan_add_block_comment(TokenScanner& s, std::string_view start, std::string_view end, bool nested) {
  if (s.pair_count >= kMaxCommentPairs || start.empty() || end.empty() || start.size() > 2 || end.size() > 2) return 1;
  if (s.word_map[static_cast<uint8_t>(start[0])] || s.word_map[static_cast<uint8_t>(end[0])]) return 1;
  const uint8_t n = s.pair_count;
  if (add_keyword(s, start, 0, KeywordKind::Comment, static_cast<uint8_t>(n + 1))) return 1;
  s.pairs[n] = CommentPair{std::string(start), std::string(end), nested};
  s.comment_attention[static_cast<uint8_t>(end[0])] = 1;
  if (nested) s.comment_attention[static_cast<uint8_t>(start[0])] = 1;
  ++s.pair_count;
  return 0;
}

int scan_add_line_comment(TokenScanner& s, std::string_view start) {
  if (start.empty() || start.size() > 2 || s.word_map[static_cast<uint8_t>(start[0])]) return 1;
  return add_keyword(s, start, 0, KeywordKind::Comment, 0);
}

// ------------------------------------------------------------------ buffer

void TagScan::start(const TokenScanner* cfg, ScanReader reader, void* handle) {
  cfg_ = cfg;
  reader_ = reader;
  handle_ = handle;
  before_ = 0;
  delivered_ = 0;
  tail_len_ = 0;
  next_tail_ = 0;
  eof_ = false;
  line_ = 1;
  line_mode_ = false;
  directive_char_ = cfg->directive_char;
  token_ = kTokEnd;
  text_len_ = 0;
  text_[0] = 0;
  token_start_ = 0;
  buf_[0] = 0;
  pos_ = end_ = line_start_ = buf_.data();
  refill();
}

// Moves the tail to the front, reads until the buffer is full or the
// reader has no more, and cuts after the last line end. False when the
// buffer is empty: the end of the input.
bool TagScan::refill() {
  uint8_t* const b = buf_.data();
  const int32_t tail = next_tail_;
  if (tail > 0) {
    *end_ = saved_;
    std::memmove(b, end_, static_cast<size_t>(tail));
  }
  before_ += delivered_;
  tail_len_ = tail;
  const int32_t want = kScanMaxFill - tail;
  int32_t got = 0;
  while (got < want && !eof_) {
    int32_t n = reader_ ? reader_(handle_, b + tail + got, want - got) : 0;
    if (n <= 0) {
      eof_ = true;
      break;
    }
    got += n < want - got ? n : want - got;
  }
  delivered_ = got;
  const int32_t total = tail + got;
  const bool full = got == want;
  int32_t cut = total;
  for (int32_t i = total - 1; i >= 0; --i) {
    if (b[i] == '\n') {
      cut = i + 1;
      break;
    }
    if (b[i] == '\r') {
      if (i == total - 1 && full) continue;  // its line feed may come next
      cut = i + 1;
      break;
    }
  }
  next_tail_ = total - cut;
  saved_ = b[cut];
  b[cut] = 0;
  end_ = b + cut;
  pos_ = b;
  line_start_ = b;
  return cut > 0;
}

int64_t TagScan::offset() const { return before_ + (pos_ - buf_.data()) - tail_len_; }

// ------------------------------------------------------------------ tokens

int32_t TagScan::first() {
  if (line_start()) return token_;
  token_ = scan_token();
  return token_;
}

int32_t TagScan::next() {
  token_ = scan_token();
  return token_;
}

const TagKeyword* TagScan::lookup_word(int bucket, std::string_view word, KeywordKind a, KeywordKind b) const {
  for (const auto& k : cfg_->buckets[static_cast<size_t>(bucket)])
    if ((k.kind == a || k.kind == b) && k.text == word) return &k;
  return nullptr;
}

void TagScan::scan_word(uint8_t first) {
  const auto& map = cfg_->word_map;
  int sum = 0;
  size_t len = 0;
  text_len_ = 0;
  uint8_t m = map[first];
  for (;;) {
    sum += m;
    if (text_len_ < kTokenTextMax) text_[text_len_++] = static_cast<char>(m);
    ++len;
    m = map[*pos_];
    if (!m) break;
    ++pos_;
  }
  text_[text_len_] = 0;
  token_ = kTokIdent;
  if (len <= kTokenTextMax)
    if (const TagKeyword* k = lookup_word(sum % kWordBuckets, text(), KeywordKind::Word, KeywordKind::Word))
      token_ = k->code;
}

void TagScan::scan_number(uint8_t first) {
  bool hex = false;
  if (first == '0' && (cfg_->options & kScanHexPrefix) && (*pos_ == 'x' || *pos_ == 'X')) {
    ++pos_;
    hex = true;
  }
  bool signed_once = false;
  uint8_t prev = first;
  for (;;) {
    const uint8_t c = *pos_;
    if (!hex && !signed_once && (prev == 'e' || prev == 'E') && (c == '+' || c == '-')) {
      signed_once = true;
    } else if (!is_hex_or_period(c)) {
      break;
    }
    prev = c;
    ++pos_;
  }
  token_ = kTokNumber;
}

void TagScan::scan_literal(uint8_t quote, uint32_t escapes_bit, uint32_t doubling_bit) {
  const uint32_t opt = cfg_->options;
  token_ = kTokLiteral;
  for (;;) {
    const uint8_t c = *pos_;
    if (c == quote) {
      ++pos_;
      if ((opt & doubling_bit) && *pos_ == quote) {
        ++pos_;
        continue;
      }
      return;
    }
    if (c == '\n' || c == '\r' || c == 0) return;  // unterminated: ends before the line end
    if (c == '\\' && (opt & escapes_bit)) {
      const uint8_t after = pos_[1];
      ++pos_;
      if (after == '\n' || after == '\r' || after == 0) return;
      ++pos_;
      continue;
    }
    ++pos_;
  }
}

// The longest operator or comment delimiter at pos_ - 1; its code, or a
// comment skipped (code -1). False when none matches.
bool TagScan::scan_operator(uint8_t first, int32_t* code) {
  const uint8_t* at = pos_ - 1;
  const TagKeyword* best = nullptr;
  for (const auto& k : cfg_->buckets[static_cast<size_t>(kWordBuckets + (first & 127))]) {
    if (best && k.text.size() <= best->text.size()) continue;
    size_t i = 0;
    while (i < k.text.size() && at[i] == static_cast<uint8_t>(k.text[i])) ++i;
    if (i == k.text.size()) best = &k;
  }
  if (!best) return false;
  pos_ = const_cast<uint8_t*>(at) + best->text.size();
  if (best->kind != KeywordKind::Comment) {
    *code = best->code;
    return true;
  }
  *code = -1;
  if (best->comment == 0) {
    skip_line_comment();
    return true;
  }
  if (!skip_block_comment(cfg_->pairs[best->comment - 1u])) *code = kTokEnd;
  return true;
}

void TagScan::skip_line_comment() {
  for (;;) {
    const uint8_t c = *pos_;
    if (c == '\n' || c == '\r') return;
    if (c == 0 && at_buffer_end(pos_)) {
      if (!refill()) return;
      continue;
    }
    ++pos_;
  }
}

// False when the input ends inside the comment.
bool TagScan::skip_block_comment(const CommentPair& p) {
  const auto& attention = cfg_->comment_attention;
  auto here = [&](const std::string& t) {
    for (size_t i = 0; i < t.size(); ++i)
      if (pos_[i] != static_cast<uint8_t>(t[i])) return false;
    return true;
  };
  int depth = 1;
  for (;;) {
    const uint8_t c = *pos_;
    if (!attention[c]) {
      ++pos_;
      continue;
    }
    if (c == 0) {
      if (at_buffer_end(pos_)) {
        if (!refill()) return false;
      } else {
        ++pos_;
      }
    } else if (c == '\n') {
      ++line_;
      ++pos_;
    } else if (c == '\r') {
      ++line_;
      ++pos_;
      if (*pos_ == '\n') ++pos_;
    } else if (here(p.end)) {
      pos_ += p.end.size();
      if (--depth == 0) return true;
    } else if (p.nested && here(p.start)) {
      pos_ += p.start.size();
      ++depth;
    } else {
      ++pos_;
    }
  }
}

// Skips a directive line that nobody handles, and the lines a backslash
// at their end continues it onto; stops before the last line end.
void TagScan::skip_directive_line() {
  uint8_t prev = 0;
  for (;;) {
    const uint8_t c = *pos_;
    if (c == 0 && at_buffer_end(pos_)) {
      if (!refill()) return;
      continue;
    }
    if (c == '\n' || c == '\r') {
      if (prev != '\\') return;
      ++line_;
      ++pos_;
      if (c == '\r' && *pos_ == '\n') ++pos_;
      prev = 0;
      continue;
    }
    prev = c;
    ++pos_;
  }
}

// The line-start scan: handles directive lines. True when it left a token
// (a directive handler's or the end of the input); false when the caller
// scans a token from the position.
bool TagScan::line_start() {
  for (;;) {
    line_start_ = pos_;
    if (!directive_char_) return false;
    for (;;) {
      const uint8_t c = *pos_;
      if (c == ' ' || c == '\t') {
        ++pos_;
      } else if (c == 0 && at_buffer_end(pos_)) {
        if (!refill()) {
          token_start_ = offset();
          token_ = kTokEnd;
          return true;
        }
      } else {
        break;
      }
    }
    if (*pos_ != directive_char_) return false;
    uint8_t* const at = pos_;
    token_start_ = offset();
    const auto& map = cfg_->word_map;
    int sum = directive_char_;
    text_len_ = 0;
    text_[text_len_++] = static_cast<char>(directive_char_);
    size_t len = 1;
    uint8_t* p = at + 1;
    while (map[*p]) {
      sum += map[*p];
      if (text_len_ < kTokenTextMax) text_[text_len_++] = static_cast<char>(map[*p]);
      ++len;
      ++p;
    }
    text_[text_len_] = 0;
    const TagKeyword* k = len <= kTokenTextMax
                              ? lookup_word(sum % kWordBuckets, text(), KeywordKind::Directive, KeywordKind::Directive)
                              : nullptr;
    if (k && cfg_->directive) {
      pos_ = p;
      token_ = k->code;
      cfg_->directive(*this, user_);
      if (token_ == kTokEnd) return true;
      continue;  // the handler ate the line end: the next line starts
    }
    if (!k && (cfg_->options & kScanSkipUnknownDirectives)) {
      pos_ = p;
      skip_directive_line();
      return false;
    }
    pos_ = at;
    return false;
  }
}

int32_t TagScan::scan_token() {
  const auto& handlers = cfg_->handlers;
  for (;;) {
    uint8_t* const at = pos_;
    token_start_ = before_ + (at - buf_.data()) - tail_len_;
    first_column_ = at == line_start_;
    const uint8_t c = *pos_++;
    switch (handlers[c]) {
      case ScanKind::Blank:
        while (*pos_ == ' ' || *pos_ == '\t') ++pos_;
        continue;
      case ScanKind::CarriageReturn:
        if (*pos_ == '\n') ++pos_;
        [[fallthrough]];
      case ScanKind::LineFeed:
        ++line_;
        if (line_mode_) return kTokLineEnd;
        if (line_start()) return token_;
        continue;
      case ScanKind::Nul:
        if (at_buffer_end(at)) {
          pos_ = at;
          if (!refill()) {
            token_start_ = offset();
            return kTokEnd;
          }
          continue;
        }
        token_char_ = 0;
        return kTokChar;
      case ScanKind::Word:
        scan_word(c);
        return token_;
      case ScanKind::Digit:
        scan_number(c);
        return token_;
      case ScanKind::Period:
        if (!std::isdigit(*pos_)) break;
        scan_number(c);
        return token_;
      case ScanKind::Dquote:
        if (cfg_->options & kScanDquoteAlone) return kTokLiteral;
        scan_literal('"', kScanDquoteEscapes, kScanDquoteDoubling);
        return token_;
      case ScanKind::Squote:
        if (cfg_->options & kScanSquoteAlone) return kTokLiteral;
        scan_literal('\'', kScanSquoteEscapes, kScanSquoteDoubling);
        return token_;
      case ScanKind::Operator: {
        int32_t code = 0;
        if (!scan_operator(c, &code)) continue;  // a lone byte no operator starts with
        if (code == -1) continue;                // a comment
        return code;
      }
      case ScanKind::Single:
        break;
    }
    token_char_ = c;
    return kTokChar;
  }
}
