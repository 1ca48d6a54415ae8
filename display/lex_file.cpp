// Lexer definition files: loading, the lexer registry and the deferred parse
// of a section.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <new>

#include "base/ini.h"
#include "base/messages.h"
#include "base/os.h"
#include "base/regular_file.h"
#include "display/lex_error_port.h"
#include "display/lex_internal.h"
#include "display/lexer.h"
#include "macro/names.h"

namespace {

// Lexer files are a few kilobytes of keyword lists; even the largest set of
// languages stays far below this, and a larger file is no lexer file.
constexpr int64_t kLexFileMax = 4 << 20;

// Records are never freed: buffers keep pointers to them.
std::deque<LexerDef>& registry() {
  static std::deque<LexerDef> r;
  return r;
}

std::array<uint16_t, kLexClassCount> class_attrs = {1, 11, 16, 18, 19, 20, 21, 17, 22, 23, 24, 25};

uint8_t upper(uint8_t c) { return static_cast<uint8_t>(std::toupper(c)); }

bool ieq(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upper(static_cast<uint8_t>(a[i])) != upper(static_cast<uint8_t>(b[i]))) return false;
  return true;
}

std::string_view strip_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Words separated by blanks; with quotes, a word in double quotes may hold
// blanks; with escapes, a backslash keeps the next character in the word.
std::vector<std::string> split_words(std::string_view v, bool quotes, bool escapes) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < v.size()) {
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
    if (i >= v.size()) break;
    std::string w;
    if (quotes && v[i] == '"') {
      ++i;
      while (i < v.size() && v[i] != '"') w += v[i++];
      if (i < v.size()) ++i;
    } else {
      while (i < v.size() && v[i] != ' ' && v[i] != '\t') {
        if (escapes && v[i] == '\\' && i + 1 < v.size()) w += v[i++];
        w += v[i++];
      }
    }
    out.push_back(std::move(w));
  }
  return out;
}

// A character set: characters and ranges "a-z"; a backslash takes the next
// character literally.
std::bitset<256> parse_set(std::string_view s) {
  std::bitset<256> set;
  size_t i = 0;
  auto next_char = [&](int& c) {
    if (i >= s.size()) return false;
    if (s[i] == '\\' && i + 1 < s.size()) ++i;
    c = static_cast<uint8_t>(s[i++]);
    return true;
  };
  int c = 0;
  while (next_char(c)) {
    int hi = c;
    if (i + 1 < s.size() && s[i] == '-') {
      ++i;
      if (!next_char(hi)) hi = c;
    }
    for (int k = c; k <= hi; ++k) set.set(static_cast<size_t>(k));  // int: a range may end at 255
    if (hi < c) set.set(static_cast<size_t>(c));
  }
  return set;
}

bool parse_int(std::string_view s, int32_t* out) {
  if (s.empty()) return false;
  int64_t v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
    if (v > kLexColMax) v = kLexColMax;
  }
  *out = static_cast<int32_t>(v);
  return true;
}

struct StyleWord {
  const char* word;
  uint32_t value;
  bool second;
};
constexpr StyleWord kStyles[] = {
    {"DQUOTE", 0x1, false},
    {"DQBACKSLASH", 0x3, false},
    {"DQDOUBLES", 0x5, false},
    {"DQLEN1", 0x9, false},
    {"SQUOTE", 0x10, false},
    {"SQBACKSLASH", 0x30, false},
    {"SQDOUBLES", 0x50, false},
    {"SQLEN1", 0x90, false},
    {"LAZYNUM", 0x100, false},
    {"HEXH", 0x200, false},
    {"XHEX", 0x400, false},
    {"ZEROOCT", 0x800, false},
    {"EFLOAT", 0x1000, false},
    {"BINB", 0x2000, false},
    {"DASHKWDS", 0x4000, false},
    {"DFLOAT", 0x8000, false},
    {"OCTB", 0x10000, false},
    {"UNDERLINEINT", 0x20000, false},
    {"POUNDBASE", 0x40000, false},
    {"LINENUM", 0x80000, false},
    {"AMPOOCT", 0x100000, false},
    {"AMPHHEX", 0x200000, false},
    {"OCTO", 0x400000, false},
    {"OCTQ", 0x800000, false},
    {"ZQHEX", 0x1000000, false},
    {"DQMULTILINE", 0x2000000, false},
    {"SQMULTILINE", 0x4000000, false},
    {"DQBACKSLASHML", 0x8000000, false},
    {"SQBACKSLASHML", 0x10000000, false},
    {"DOLLARHEX", 0x20000000, false},
    {"NONUMBERS", 0x40000000, false},
    {"REXXHEX", 0x80000000u, false},
    {"DQTERMINATE", 0x1, true},
    {"SQTERMINATE", 0x2, true},
};

struct ColourWord {
  const char* word;
  uint16_t cls;
};
constexpr ColourWord kColourWords[] = {
    {"KEYWORDCOLOR", 2}, {"NUMBERCOLOR", 3},  {"STRINGCOLOR", 4},  {"COMMENTCOLOR", 5},  {"PPKEYWORDCOLOR", 6},
    {"LINENUMCOLOR", 7}, {"SYMBOL1COLOR", 8}, {"SYMBOL2COLOR", 9}, {"SYMBOL3COLOR", 10}, {"SYMBOL4COLOR", 11},
};

std::string upper_str(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(upper(static_cast<uint8_t>(c)));
  return u;
}

void clear_record(LexerDef& lx) {
  const int32_t handle = lx.handle;
  std::string name = lx.name;
  auto pending = std::move(lx.pending);
  const int32_t body = lx.pending_body, end = lx.pending_end;
  const uint32_t gen = lx.generation;
  lx.~LexerDef();
  new (&lx) LexerDef{};
  lx.handle = handle;
  std::snprintf(lx.name, sizeof lx.name, "%s", name.c_str());
  lx.pending = std::move(pending);
  lx.pending_body = body;
  lx.pending_end = end;
  lx.generation = gen;
  lx.handler.fill(LexHandler::Default);
  for (auto& m : lx.ml) {
    m.start_col_min = 1;
    m.start_col_max = kLexColMax;
    m.colour_class = kClassComment;
  }
}

// The parse of one section.
class SectionParser {
 public:
  SectionParser(LexerDef& lx, const LexFileText& file) : lx_(lx), file_(file) {}

  void run(int32_t body, int32_t end) {
    const char* text = file_.text.data();
    int32_t offset = body;
    std::string key(INI_NAME_SIZE, '\0');
    std::string value(kLexValueCap + 1, '\0');
    bool seen_id = false, seen_case = false, reset = false;
    std::bitset<256> start_set, follow_set;
    bool case_flag = false;
    while (offset < end && ini_next_key(text, end, &offset, key.data(), value.data(), kLexValueCap + 1) == 0) {
      key_ = std::string_view(key.c_str());
      value_ = std::string_view(value.c_str());
      if (key_.empty() && value_.empty()) continue;
      if (key_ == "IDCHARS") {
        if (reset) continue;  // the sets apply from the first other key on
        auto w = split_words(value_, false, true);
        start_set = parse_set(w.size() > 0 ? w[0] : "");
        follow_set = parse_set(w.size() > 1 ? w[1] : "");
        seen_id = true;
        continue;
      }
      if (key_ == "CASE-SENSITIVE") {
        if (reset) continue;
        case_flag = !value_.empty() && upper(static_cast<uint8_t>(value_[0])) == 'Y';
        seen_case = true;
        continue;
      }
      if (!seen_id || !seen_case) {
        report(ERR_LEX_IDCHARS_FIRST);
        return;
      }
      if (!reset) {
        apply_sets(start_set, follow_set, case_flag);
        reset = true;
      }
      if (!handle_key()) return;
    }
  }

 private:
  void apply_sets(const std::bitset<256>& start, const std::bitset<256>& follow, bool cs) {
    lx_.case_sensitive = cs ? 1 : 0;
    for (int c = 0; c < 256; ++c) {
      if (start.test(c) || follow.test(c)) lx_.idmap[c] = cs ? static_cast<uint8_t>(c) : upper(static_cast<uint8_t>(c));
      if (start.test(c)) lx_.handler[c] = LexHandler::Ident;
    }
    for (int c = '0'; c <= '9'; ++c) lx_.handler[c] = LexHandler::Number;
  }

  // False when the parse ends.
  bool handle_key() {
    if (key_ == "KEYWORDS") return add_list(kKindKeyword, false);
    if (key_ == "CSKEYWORDS") return add_list(kKindKeyword, true);
    if (key_ == "PPKEYWORDS") return add_list(kKindPreproc, false);
    if (key_.size() == 7 && key_.substr(0, 6) == "SYMBOL" && key_[6] >= '1' && key_[6] <= '4')
      return add_list(8 + (key_[6] - '1'), false);
    if (key_ == "MLCKEYWORDS") return add_mlc_keywords();
    if (key_ == "STYLES") return styles();
    if (key_ == "MLCOMMENT") return mlcomment();
    if (key_ == "LINECOMMENT") return linecomment();
    report(ERR_LEX_INVALID_NAME);
    return false;
  }

  bool add_list(int32_t kind, bool as_given) {
    for (const auto& w : split_words(value_, true, false)) {
      if (w.empty()) continue;
      if (kind == kKindPreproc) lx_.pp_char = static_cast<uint8_t>(w[0]);
      if (lex_add_keyword(lx_, w, kind, 0, 1, kLexColMax, as_given) != 0) break;  // rest of the line dropped
    }
    return true;
  }

  bool add_mlc_keywords() {
    MlCommentDef& m = lx_.ml[lx_.ml_count > 0 ? lx_.ml_count - 1 : 0];
    if (!m.mlc_keywords) m.mlc_keywords = std::make_unique<LexKeywordTable>();
    for (const auto& w : split_words(value_, true, false)) {
      if (w.empty()) continue;
      std::string t = lx_.case_sensitive ? w : upper_str(w);
      if (t.size() > kLexKeywordCap) t.resize(kLexKeywordCap);
      int sum = 0;
      for (char c : t) sum += static_cast<uint8_t>(c);
      LexKeyword k{};
      k.kind = kKindKeyword;
      k.length = static_cast<int32_t>(t.size());
      std::memcpy(k.text, t.data(), t.size());
      auto& tab = *m.mlc_keywords;
      k.next = tab.heads[static_cast<size_t>(sum % kLexBuckets)];
      tab.heads[static_cast<size_t>(sum % kLexBuckets)] = static_cast<int32_t>(tab.entries.size());
      tab.entries.push_back(k);
    }
    return true;
  }

  bool styles() {
    uint32_t s1 = 0, s2 = 0;
    for (const auto& w : split_words(value_, false, false)) {
      const std::string u = upper_str(w);
      const StyleWord* found = nullptr;
      for (const auto& sw : kStyles)
        if (u == sw.word) found = &sw;
      if (!found) {
        report(ERR_LEX_INVALID_STYLE);
        break;
      }
      (found->second ? s2 : s1) |= found->value;
    }
    lx_.styles1 = s1;
    lx_.styles2 = s2;
    if (s1 & kStDquote) {
      lx_.handler['"'] = LexHandler::DQuote;
      lx_.char_flags['"'] |= kCfQuote;
    }
    if (s1 & kStSquote) {
      lx_.handler['\''] = LexHandler::SQuote;
      lx_.char_flags['\''] |= kCfQuote;
    }
    if (s1 & kStPoundBase) lx_.handler['#'] = LexHandler::Number;
    if (s1 & (kStAmpOOct | kStAmpHHex)) lx_.handler['&'] = LexHandler::Amp;
    if (s1 & kStDollarHex) lx_.handler['$'] = LexHandler::Dollar;
    if (s1 & (kStEFloat | kStDFloat)) lx_.handler['.'] = LexHandler::Dot;
    if (s1 & kStNoNumbers)
      for (int c = '0'; c <= '9'; ++c) lx_.handler[c] = LexHandler::Default;
    return true;
  }

  bool is_ident_start(char c) const { return lx_.handler[static_cast<uint8_t>(c)] == LexHandler::Ident; }

  // Fills comment n (ml_count) and registers it; false with the error reported.
  bool define_ml(const std::string& start, const std::string& end, uint8_t position, int32_t col, uint8_t lastchar,
                 uint8_t nesting, uint16_t cls, const std::bitset<256>* followedby) {
    if (is_ident_start(start[0]) || (position == 0 && is_ident_start(end[0]))) {
      report(ERR_LEX_IDENT_MLCOMMENTS);
      return false;
    }
    if (lx_.ml_count >= 2 || (position != 0 && lx_.checkfirst_count >= kLexMaxCheckFirst)) {
      report(ERR_LEX_TOO_MANY_MLCOMMENTS);
      return false;
    }
    const int n = lx_.ml_count + 1;
    MlCommentDef& m = lx_.ml[n - 1];
    std::snprintf(m.start, sizeof m.start, "%s", start.c_str());
    std::snprintf(m.end, sizeof m.end, "%s", end.c_str());
    m.start_len = static_cast<int32_t>(start.size());
    m.end_len = static_cast<int32_t>(end.size());
    m.start_col_min = position ? std::max(col, 1) : 1;
    m.start_col_max = kLexColMax;
    m.position = position;
    m.lastchar = lastchar;
    m.nesting = nesting;
    m.colour_class = cls;
    m.has_followedby = followedby != nullptr;
    if (followedby) m.followedby = *followedby;
    lx_.char_flags[static_cast<uint8_t>(start[0])] |= kCfMlDelim;
    lx_.char_flags[static_cast<uint8_t>(end[0])] |= kCfMlDelim;
    if (position) {
      CheckFirstEntry& e = lx_.checkfirst[lx_.checkfirst_count++];
      e = CheckFirstEntry{};
      const std::string t = lx_.case_sensitive ? start : upper_str(start);
      std::snprintf(e.text, sizeof e.text, "%s", t.c_str());
      e.length = static_cast<int32_t>(t.size());
      e.start_col = m.start_col_min;
      e.end_col = kLexColMax;
      e.kind = position;
      e.is_ml = 1;
      e.ml_number = static_cast<uint8_t>(n);
    } else {
      // Found anywhere: the symbol routine looks for the start delimiter.
      lex_add_keyword(lx_, start, kKindComment, n, 1, kLexColMax, false);
    }
    lx_.ml_count = static_cast<uint8_t>(n);
    return true;
  }

  bool mlcomment() {
    const auto w = split_words(value_, false, false);
    if (w.size() < 2) return bad_ml();
    auto too_long = [](const std::string& d) { return d.empty() || d.size() > kLexDelimCap; };
    if (w[1][0] >= '0' && w[1][0] <= '9') {
      int32_t col = 0;
      if (!parse_int(w[1], &col) || w.size() < 4) return bad_ml();
      const std::string pos = upper_str(w[2]);
      uint8_t position = pos == "CHECKFIRST" ? 1 : pos == "LEADING" ? 2 : 0;
      if (!position || too_long(w[0]) || too_long(w[3])) return bad_ml();
      size_t i = 4;
      uint8_t lastchar = 0;
      if (i < w.size() && upper_str(w[i]) == "LASTCHAR") {
        lastchar = 3;
        ++i;
      }
      if (!define_ml(w[0], w[3], position, col, lastchar, 0, kClassComment, nullptr)) return false;
      if (i < w.size()) report(ERR_LEX_INVALID_MLCOMMENT);  // defined all the same
      return true;
    }
    if (too_long(w[0]) || too_long(w[1])) return bad_ml();
    uint8_t nesting = 0;
    uint16_t cls = kClassComment;
    std::bitset<256> fb;
    bool has_fb = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const std::string u = upper_str(w[i]);
      if (u == "NESTING") {
        nesting = 1;
        continue;
      }
      if (u == "FOLLOWEDBY") {
        if (i + 1 >= w.size()) return bad_ml();
        fb = parse_set(w[++i]);
        has_fb = true;
        continue;
      }
      const ColourWord* cw = nullptr;
      for (const auto& c : kColourWords)
        if (u == c.word) cw = &c;
      if (!cw) return bad_ml();
      cls = cw->cls;
    }
    return define_ml(w[0], w[1], 0, 1, 0, nesting, cls, has_fb ? &fb : nullptr);
  }

  bool bad_ml() {
    report(ERR_LEX_INVALID_MLCOMMENT);
    return false;
  }

  bool linecomment() {
    auto w = split_words(value_, false, false);
    if (w.empty()) {
      lx_.comment_column = 1;
      return true;
    }
    if (w[0][0] >= '0' && w[0][0] <= '9') {
      std::string n = w[0];
      if (!n.empty() && n.back() == '+') n.pop_back();
      int32_t col = 1;
      if (!parse_int(n, &col)) {
        report(ERR_LEX_INVALID_LINECOMMENT);
        return true;
      }
      lx_.comment_column = std::max(col, 1);
      return true;
    }
    const std::string& delim = w[0];
    int32_t a = 1, b = kLexColMax;
    size_t i = 1;
    if (i < w.size() && w[i][0] >= '0' && w[i][0] <= '9') {
      const std::string& r = w[i];
      const size_t dash = r.find('-');
      bool ok;
      if (dash != std::string::npos) {
        ok = parse_int(std::string_view(r).substr(0, dash), &a) && parse_int(std::string_view(r).substr(dash + 1), &b);
      } else if (r.back() == '+') {
        ok = parse_int(std::string_view(r).substr(0, r.size() - 1), &a);
      } else {
        ok = parse_int(r, &a);
        b = a;
      }
      if (!ok) {
        report(ERR_LEX_INVALID_LINECOMMENT);
        a = 1;
        b = kLexColMax;
      }
      ++i;
    }
    uint8_t kind = 0;
    if (i < w.size()) {
      const std::string u = upper_str(w[i]);
      if (u == "CHECKFIRST") {
        kind = 1;
      } else if (u == "LEADING") {
        kind = 2;
      } else {
        report(ERR_LEX_INVALID_LINECOMMENT);
        kind = 2;
      }
      ++i;
      if (i < w.size()) report(ERR_LEX_INVALID_LINECOMMENT);
    }
    a = std::max(a, 1);
    if (kind == 0) {
      lex_add_keyword(lx_, delim, kKindComment, 0, a, b, false);
      return true;
    }
    if (delim.size() > kLexDelimCap) {
      report(ERR_LEX_INVALID_LINECOMMENT);  // a check-first entry holds 9 characters
      return true;
    }
    if (lx_.checkfirst_count >= kLexMaxCheckFirst) {
      report(ERR_LEX_TOO_MANY_CHECKFIRST);
      return false;
    }
    CheckFirstEntry& e = lx_.checkfirst[lx_.checkfirst_count++];
    e = CheckFirstEntry{};
    const std::string t = lx_.case_sensitive ? delim : upper_str(delim);
    std::snprintf(e.text, sizeof e.text, "%s", t.c_str());
    e.length = static_cast<int32_t>(t.size());
    e.start_col = a;
    e.end_col = b;
    e.kind = kind;
    return true;
  }

  void report(int32_t code) { lex_report_error(file_.name, code, lx_.name, key_, value_); }

  LexerDef& lx_;
  const LexFileText& file_;
  std::string_view key_, value_;
};

}  // namespace

std::string lex_error_text(std::string_view file, int32_t code, std::string_view lexer, std::string_view key,
                           std::string_view value) {
  std::string s(file);
  s += '\0';
  s += std::to_string(code);
  s += ' ';
  s += lexer;
  s += ']';
  s += key;
  s += '=';
  s += value;
  if (s.size() > 1024) s.resize(1024);
  return s;
}

void lex_report_error(std::string_view file, int32_t code, std::string_view lexer, std::string_view key,
                      std::string_view value) {
  const uint32_t index = name_find("_clex_error", NF_CALLABLE);
  if (index) lex_error_post(index, lex_error_text(file, code, lexer, key, value));
}

int32_t lex_add_keyword(LexerDef& lx, std::string_view word, int32_t kind, int32_t comment, int32_t start_col,
                        int32_t end_col, bool as_given) {
  if (word.empty()) return 0;
  if (!lx.keywords) lx.keywords = std::make_unique<LexKeywordTable>();
  std::string copy(word.substr(0, kLexKeywordCap));
  std::string folded = lx.case_sensitive ? copy : upper_str(copy);
  const uint8_t first = static_cast<uint8_t>(copy[0]);
  size_t bucket;
  if (kind == kKindPreproc || lx.handler[first] == LexHandler::Ident) {
    int sum = 0;
    for (char c : folded) sum += static_cast<uint8_t>(c);
    bucket = static_cast<size_t>(sum % kLexWordBuckets);
  } else {
    bucket = static_cast<size_t>(kLexWordBuckets + (first & 127));
    lx.handler[first] = LexHandler::Symbol;
  }
  if (kind == kKindComment) {
    lx.char_flags[first] |= kCfCommentKw;
    if (!lx.case_sensitive) {
      lx.char_flags[upper(first)] |= kCfCommentKw;
      lx.char_flags[static_cast<uint8_t>(std::tolower(first))] |= kCfCommentKw;
    }
  }
  LexKeyword k{};
  k.kind = kind;
  k.comment = comment;
  k.start_col = start_col;
  k.end_col = end_col;
  k.as_given = as_given ? 1 : 0;
  const std::string& stored = as_given ? copy : folded;
  k.length = static_cast<int32_t>(stored.size());
  std::memcpy(k.text, stored.data(), stored.size());
  auto& tab = *lx.keywords;
  k.next = tab.heads[bucket];
  tab.heads[bucket] = static_cast<int32_t>(tab.entries.size());
  tab.entries.push_back(k);
  return 0;
}

LexerDef* lex_find(std::string_view name) {
  for (auto& lx : registry())
    if (ieq(lx.name, name)) return &lx;
  return nullptr;
}

LexerDef* lex_by_handle(int32_t handle) {
  auto& r = registry();
  if (handle < 1 || handle > static_cast<int32_t>(r.size())) return nullptr;
  return &r[static_cast<size_t>(handle - 1)];
}

void lex_reset_all() {
  registry().clear();
  lex_select(nullptr);
}

int32_t lex_load_text(std::string_view text, std::string_view name) {
  auto file = std::make_shared<LexFileText>();
  file->text.assign(text);
  if (!file->text.empty() && file->text.back() == 26) file->text.pop_back();
  file->name.assign(name);
  const char* base = file->text.data();
  const int32_t length = static_cast<int32_t>(std::min<size_t>(file->text.size(), 0x7fffffff));
  std::string sname(INI_NAME_SIZE, '\0');
  const char* pos = base;
  while ((pos = ini_next_section(pos, base, length, sname.data())) != nullptr) {
    std::string_view nm = strip_blanks(std::string_view(sname.c_str()));
    if (nm.size() > kLexNameCap) nm = strip_blanks(nm.substr(0, kLexNameCap));
    LexerDef* lx = lex_find(nm);
    if (!lx) {
      auto& r = registry();
      r.emplace_back();
      lx = &r.back();
      lx->handle = static_cast<int32_t>(r.size());
      std::snprintf(lx->name, sizeof lx->name, "%.*s", static_cast<int>(nm.size()), nm.data());
    }
    lx->pending = file;
    lx->pending_body = static_cast<int32_t>(pos - base);
    lx->pending_end = length;
    lx->handler.fill(LexHandler::Default);
  }
  return 0;
}

int32_t lex_load_file(const char* path) {
  std::string text;
  RegularFileRefusal refused = RegularFileRefusal::NotRefused;
  if (const ErrorCode e = regular_file_read(path, kLexFileMax, &text, &refused))
    return refused == RegularFileRefusal::TooLarge || e == ERR_INSUFFICIENT_MEMORY ? ERR_LEX_NOT_ENOUGH_MEMORY : e;
  return lex_load_text(text, path);
}

void lex_parse(LexerDef* lexer) {
  if (!lexer || !lexer->pending) return;
  // The body pointer goes first: a section is parsed once per load. The
  // whole record starts afresh, so a parse that stops early keeps nothing of
  // an earlier one.
  auto file = std::move(lexer->pending);
  const int32_t body = lexer->pending_body, end = lexer->pending_end;
  lexer->pending.reset();
  clear_record(*lexer);
  ++lexer->generation;
  SectionParser(*lexer, *file).run(body, end);
  if (!lexer->keywords)
    for (auto& h : lexer->handler)
      if (h == LexHandler::Ident) h = LexHandler::Default;
  lex_select_parsed(lexer);
  lex_lexer_reparsed(lexer);
}

void lex_set_class_attr(int32_t cls, uint16_t attr) {
  if (cls >= 0 && cls < kLexClassCount) class_attrs[static_cast<size_t>(cls)] = attr;
}

uint16_t lex_get_class_attr(int32_t cls) {
  return cls >= 0 && cls < kLexClassCount ? class_attrs[static_cast<size_t>(cls)] : 0;
}

const uint16_t* lex_class_attrs() { return class_attrs.data(); }

void lex_default_class_attrs() { class_attrs = {1, 11, 16, 18, 19, 20, 21, 17, 22, 23, 24, 25}; }
