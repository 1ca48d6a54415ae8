// The regular-expression compiler: parses a pattern into a small tree, then
// emits the node array from the tree.
//
// The emitter classifies every construct as consuming (each path through it
// consumes a byte), possibly empty (some paths consume nothing; those leave
// through "pending exits" whose targets are filled in later) or empty (it
// never consumes). A closure's loop node is reached only by paths that
// consumed something, so no loop can spin without consuming. In a sequence
// whose items so far may all have been empty, a further item that may be
// empty is emitted twice: one copy for the paths that consumed, one for the
// paths that did not, so the two kinds of path stay apart.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "base/find_pattern_port.h"
#include "base/mem.h"
#include "base/os.h"
#include "text/regex.h"

namespace {

// {=================== helpers

uint8_t fold(uint8_t b) { return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 32) : b; }
uint8_t lower(uint8_t b) { return (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 32) : b; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

int hex_value(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// }===================

// {=================== the tree

enum class Kind : uint8_t { Consuming, PossiblyEmpty, Empty };

enum class Ast : uint8_t {
  Char,
  Any,
  Class,
  Bol,
  Eol,
  Cursor,
  Backref,
  Nothing,
  Group,    // group = 0..9 captures, -1 plain; kid 0 is the level (Alt)
  Not,      // kid 0 is the negated item
  Closure,  // min 0 or 1, lazy; kid 0 the body
  Counted,  // min, max, lazy, counter; kid 0 the body
  Alt,      // kids are the alternatives (Seq)
  Seq,      // kids are the items
};

struct Tree {
  Ast type = Ast::Nothing;
  uint8_t ch = 0;
  bool lazy = false;
  int group = -1;
  int counter = 0;
  int32_t min = 0;
  int32_t max = 0;
  int set = -1;  // index into Parser::sets for a class
  std::vector<int> kids;
};

using ByteSet = std::array<uint8_t, 32>;

void set_add(ByteSet& s, int b) { s[b >> 3] |= static_cast<uint8_t>(1u << (b & 7)); }
void set_remove(ByteSet& s, int b) { s[b >> 3] &= static_cast<uint8_t>(~(1u << (b & 7))); }

// }===================

// {=================== lexer and parser

// Texts compiled in place of the named classes, in the own syntax.
struct NamedClass {
  char letter;
  const char* text;
};
constexpr NamedClass kNamedClasses[] = {
    {'a', "[A-Za-z0-9]"},
    {'b', "([ \t]#)"},
    {'c', "[A-Za-z]"},
    {'d', "[0-9]"},
    {'f', "([~/ \t]#)"},
    {'h', "([0-9A-Fa-f]#)"},
    {'i', "([0-9]#)"},
    {'n', "(([0-9]#(.[0-9]#|)|.[0-9]#)([Ee](\\+|-|)[0-9]#|))"},
    {'p', "((/|)(:f(/))@:f)"},
    {'q', "(\"[~\"]@\"|'[~']@')"},
    {'v', "([A-Za-z_$][A-Za-z0-9_$]@)"},
    {'w', "([A-Za-z]#)"},
};

const char* named_class_text(int letter) {
  int l = lower(static_cast<uint8_t>(letter));
  for (const NamedClass& nc : kNamedClasses)
    if (nc.letter == l) return nc.text;
  return nullptr;
}

constexpr int kEnd = -1;  // the current character once the pattern is exhausted
// Nested class texts: :p uses :f, so two deep is the most a text needs; the
// pattern can name a class only from its own text, so the stack stays short.
constexpr int kExpansionDepth = 8;

class Parser {
 public:
  Parser(std::string_view pattern, bool unix_syntax, bool ignore_case)
      : pos_(reinterpret_cast<const uint8_t*>(pattern.data())),
        end_(pos_ + pattern.size()),
        unix_(unix_syntax),
        ignore_case_(ignore_case) {
    next();
  }

  // Parses the whole pattern; returns the root (an Alt) or -1 with err().
  int parse() {
    int root = parse_level(kEnd);
    if (err_ == 0 && c_ != kEnd) fail();  // cannot happen: level 1 ends at the end
    return err_ ? -1 : root;
  }

  ErrorCode err() const { return err_; }
  const std::vector<Tree>& trees() const { return trees_; }
  const std::vector<ByteSet>& sets() const { return sets_; }

 private:
  struct Frame {
    const uint8_t* pos;
    const uint8_t* end;
    bool unix_syntax;
  };

  std::vector<Tree> trees_;
  std::vector<ByteSet> sets_;
  const uint8_t* pos_;
  const uint8_t* end_;
  bool unix_;
  bool ignore_case_;
  int c_ = kEnd;
  Frame stack_[kExpansionDepth];
  int depth_ = 0;
  int level_ = 0;
  int auto_group_ = 0;
  bool explicit_used_ = false;
  ErrorCode err_ = 0;

  void fail() {
    if (err_ == 0) err_ = ERR_INVALID_REGEX;
  }

  int make(Ast type) {
    Tree t;
    t.type = type;
    trees_.push_back(std::move(t));
    return static_cast<int>(trees_.size()) - 1;
  }

  // Reads the next character; an exhausted class text returns to the text
  // that named it, with that text's syntax.
  void next() {
    while (pos_ == end_ && depth_ > 0) {
      --depth_;
      pos_ = stack_[depth_].pos;
      end_ = stack_[depth_].end;
      unix_ = stack_[depth_].unix_syntax;
    }
    c_ = (pos_ == end_) ? kEnd : *pos_++;
  }

  // The character after the current one, looking through finished texts.
  int peek() const {
    if (pos_ != end_) return *pos_;
    for (int i = depth_ - 1; i >= 0; --i)
      if (stack_[i].pos != stack_[i].end) return *stack_[i].pos;
    return kEnd;
  }

  // Continues in the text of the named class whose letter is current.
  bool enter_named_class() {
    const char* text = (c_ == kEnd) ? nullptr : named_class_text(c_);
    if (text == nullptr || depth_ == kExpansionDepth) {
      fail();
      return false;
    }
    stack_[depth_++] = Frame{pos_, end_, unix_};
    pos_ = reinterpret_cast<const uint8_t*>(text);
    end_ = pos_ + std::strlen(text);
    unix_ = false;
    next();
    return true;
  }

  // Reads one or two decimal digits (the current character must be one).
  int read_number() {
    int n = c_ - '0';
    next();
    if (is_digit(c_)) {
      n = n * 10 + (c_ - '0');
      next();
    }
    return n;
  }

  // Maps a written group number to the internal one; -1 after an error.
  int map_group(int written) {
    int g = written;
    if (unix_) g = (written == 0) ? 9 : written - 1;
    if (g > kRegexNoCaptureGroup) {
      fail();
      return -1;
    }
    return g;
  }

  // The escape whose backslash is the current character; returns the byte.
  int escape_byte() {
    const uint8_t* cur = pos_;
    uint8_t out = 0;
    if (re_decode_escape(&cur, static_cast<int>(end_ - pos_), &out, unix_) != 0) {
      fail();
      return -1;
    }
    pos_ = cur;
    next();
    return out;
  }

  int parse_level(int terminator) {
    if (++level_ > kRegexMaxLevel) {
      fail();
      return -1;
    }
    int alt = make(Ast::Alt);
    for (;;) {
      int seq = parse_seq(terminator);
      if (err_) return -1;
      trees_[alt].kids.push_back(seq);
      if (c_ != '|') break;
      next();
    }
    if (terminator != kEnd) {
      if (c_ != terminator) {  // missing ')' or '}'
        fail();
        return -1;
      }
      next();
    }
    --level_;
    return alt;
  }

  int parse_seq(int terminator) {
    int seq = make(Ast::Seq);
    while (c_ != kEnd && c_ != '|' && c_ != terminator) {
      int item = parse_item(terminator);
      if (err_) return -1;
      if (item >= 0) trees_[seq].kids.push_back(item);
    }
    return seq;
  }

  bool at_postfix() const {
    if (unix_) return c_ == '*' || c_ == '+' || c_ == '?' || (c_ == '{' && peek() != kEnd);
    return c_ == '*' || c_ == '@' || c_ == '+' || c_ == '#' || (c_ == ':' && (is_digit(peek()) || peek() == '*'));
  }

  // An item: in the own syntax an optional '~', then an atom and at most
  // one postfix operator. Returns -1 for an item that matches nothing at
  // all (an operator without an atom, a comment).
  int parse_item(int terminator) {
    bool negate = false;
    if (!unix_ && c_ == '~') {
      negate = true;
      next();
    }
    int atom = parse_atom(terminator);
    if (err_) return -1;
    if (at_postfix()) atom = parse_postfix(atom);
    if (err_) return -1;
    if (negate) {
      int n = make(Ast::Not);
      if (atom < 0) atom = make(Ast::Nothing);
      trees_[n].kids.push_back(atom);
      return n;
    }
    return atom;
  }

  int literal(int b) {
    int t = make(Ast::Char);
    trees_[t].ch = static_cast<uint8_t>(b);
    return t;
  }

  int parse_atom(int terminator) {
    if (c_ == kEnd || c_ == '|' || c_ == terminator || at_postfix()) return -1;
    int c = c_;
    if (c == '^' || c == '$') {
      next();
      return make(c == '^' ? Ast::Bol : Ast::Eol);
    }
    if (c == '[') return parse_class();
    if (c == '\\') return parse_backslash();
    if (unix_) {
      if (c == '.') {
        next();
        return make(Ast::Any);
      }
      if (c == '(') return parse_unix_group();
      next();
      return literal(c);
    }
    if (c == '?') {
      next();
      return make(Ast::Any);
    }
    if (c == '(') {
      next();
      return group(-1, ')');
    }
    if (c == '{') {
      next();
      int g;
      if (c_ == '#') {
        next();
        if (!is_digit(c_)) {
          fail();
          return -1;
        }
        g = map_group(read_number());
        if (g < 0) return -1;
        explicit_used_ = true;
      } else {
        if (explicit_used_) {  // automatic numbering after an explicit number
          fail();
          return -1;
        }
        g = auto_group_++;
        if (g > kRegexNoCaptureGroup) g = kRegexNoCaptureGroup;
      }
      return group(g, '}');
    }
    if (c == ':') {  // not a count (at_postfix said so): a named class
      next();
      if (!enter_named_class()) return -1;
      return parse_atom(terminator);
    }
    next();
    return literal(c);
  }

  // A group numbered g (10: numbered but capturing nothing, -1: plain);
  // the opening character has been read.
  int group(int g, int terminator) {
    int t = make(Ast::Group);
    int level = parse_level(terminator);
    if (err_) return -1;
    trees_[t].group = (g >= 0 && g < kRegexGroups) ? g : -1;
    trees_[t].kids.push_back(level);
    return t;
  }

  int parse_unix_group() {
    next();  // past '('
    if (c_ != '?') {
      int g = -1;
      if (!explicit_used_) {  // after an explicit number '(' only groups
        g = auto_group_++;
        if (g > kRegexNoCaptureGroup) g = kRegexNoCaptureGroup;
      }
      return group(g, ')');
    }
    next();
    if (c_ == ':') {
      next();
      return group(-1, ')');
    }
    if (c_ == '!') {
      next();
      int inner = group(-1, ')');
      if (err_) return -1;
      int n = make(Ast::Not);
      trees_[n].kids.push_back(inner);
      return n;
    }
    if (c_ == '#') {  // comment up to the next ')', read raw
      while (pos_ != end_ && *pos_ != ')') ++pos_;
      if (pos_ == end_) {
        fail();
        return -1;
      }
      ++pos_;
      next();
      return -1;
    }
    if (is_digit(c_)) {
      int g = map_group(read_number());
      if (g < 0) return -1;
      explicit_used_ = true;
      return group(g, ')');
    }
    fail();  // a misplaced (? form
    return -1;
  }

  // The atom whose first character is a backslash.
  int parse_backslash() {
    int nc = (pos_ != end_) ? *pos_ : kEnd;
    if (nc == 'c') {
      next();
      next();
      return make(Ast::Cursor);
    }
    if (unix_ && nc == ':') {
      next();
      next();
      if (!enter_named_class()) return -1;
      return parse_atom(kEnd);  // a class text is a single atom
    }
    if ((unix_ && is_digit(nc)) || (!unix_ && nc == 'g')) {
      next();
      if (!unix_) next();
      if (!is_digit(c_)) {
        fail();
        return -1;
      }
      int g = map_group(read_number());
      if (g < 0) return -1;
      int t = make(Ast::Backref);
      trees_[t].group = g;
      return t;
    }
    int b = escape_byte();
    if (b < 0) return -1;
    return literal(b);
  }

  // A member byte of a class, current character first; -1 after an error.
  int class_byte() {
    if (c_ == '\\') return escape_byte();
    int b = c_;
    next();
    return b;
  }

  void class_apply(ByteSet& s, int lo, int hi, bool negated) {
    if (ignore_case_) {
      lo = fold(static_cast<uint8_t>(lo));
      hi = fold(static_cast<uint8_t>(hi));
    }
    for (int b = lo; b <= hi; ++b) {
      int forms[3] = {b, fold(static_cast<uint8_t>(b)), lower(static_cast<uint8_t>(b))};
      int count = ignore_case_ ? 3 : 1;
      for (int i = 0; i < count; ++i) {
        if (negated)
          set_remove(s, forms[i]);
        else
          set_add(s, forms[i]);
      }
    }
  }

  int parse_class() {
    next();  // past '['
    bool negated = false;
    bool first = true;
    if (unix_) {
      if (c_ == '^' && peek() != ']') {
        negated = true;
        next();
      }
    } else if (c_ == '~' || c_ == '^') {
      negated = true;
      next();
    }
    ByteSet s;
    s.fill(negated ? 0xFF : 0x00);
    for (;;) {
      if (c_ == kEnd) {  // the class reaches the end of the pattern
        fail();
        return -1;
      }
      if (c_ == ']' && !(unix_ && first)) {
        next();
        break;
      }
      first = false;
      int lo = class_byte();
      if (lo < 0) return -1;
      int hi = lo;
      if (c_ == '-' && peek() != ']' && peek() != kEnd) {
        next();
        hi = class_byte();
        if (hi < 0) return -1;
      }
      class_apply(s, lo, hi, negated);
    }
    sets_.push_back(s);
    int t = make(Ast::Class);
    trees_[t].set = static_cast<int>(sets_.size()) - 1;
    return t;
  }

  // Reads digits into *v; false when there are none. Sets the error on a
  // number that does not fit 32 bits.
  bool read_count(int32_t* v) {
    if (!is_digit(c_)) return false;
    int64_t n = 0;
    while (is_digit(c_)) {
      n = n * 10 + (c_ - '0');
      if (n > INT32_MAX) {
        fail();
        return false;
      }
      next();
    }
    *v = static_cast<int32_t>(n);
    return true;
  }

  // The postfix operator at the current character, applied to atom (-1:
  // no atom, so the operator has no effect).
  int parse_postfix(int atom) {
    int c = c_;
    bool counted = unix_ ? c == '{' : c == ':';
    if (!counted) {
      next();
      bool lazy;
      int32_t min = (c == '*' || c == '@' || c == '?') ? 0 : 1;
      if (unix_) {
        lazy = (c_ == '?');
        if (lazy) next();
      } else {
        lazy = (c == '*' || c == '+');
      }
      if (atom < 0) return -1;
      if (c == '?') return make_counted(atom, 0, 1, lazy);
      int t = make(Ast::Closure);
      trees_[t].min = min;
      trees_[t].lazy = lazy;
      trees_[t].kids.push_back(atom);
      return t;
    }
    next();
    bool lazy = false;
    if (!unix_ && c_ == '*') {
      lazy = true;
      next();
    }
    int32_t min = 0;
    int32_t max = 0;
    bool have_min = read_count(&min);
    bool have_max = false;
    bool unbounded = false;
    if (err_) return -1;
    if (c_ == ',') {
      next();
      have_max = read_count(&max);
      if (err_) return -1;
      if (!have_max) {
        max = INT32_MAX;  // no upper bound
        unbounded = true;
      }
    } else {
      max = min;
      have_max = have_min;
    }
    if (!have_min && !have_max) {  // the count is missing
      fail();
      return -1;
    }
    if (unix_) {
      if (c_ != '}') {
        fail();
        return -1;
      }
      next();
      if (c_ == '?') {
        lazy = true;
        next();
      }
    }
    if ((min == 0 && max == 0) || max < min || (!unbounded && max > kRegexMaxCount)) {
      fail();
      return -1;
    }
    if (atom < 0) return -1;
    return make_counted(atom, min, max, lazy);
  }

  int make_counted(int atom, int32_t min, int32_t max, bool lazy) {
    int t = make(Ast::Counted);
    trees_[t].min = min;
    trees_[t].max = max;
    trees_[t].lazy = lazy;
    trees_[t].counter = level_;
    trees_[t].kids.push_back(atom);
    return t;
  }
};

// }===================

// {=================== emitter

struct Result {
  Kind kind;
  std::vector<int32_t> pending;  // nodes whose b is to be filled in
};

class Emitter {
 public:
  Emitter(RegexState& st, const std::vector<Tree>& trees, const std::vector<ByteSet>& sets)
      : st_(st), trees_(trees), sets_(sets) {}

  ErrorCode err() const { return err_; }

  // A literal byte that every match of t contains, or -1.
  int required_byte(int t) const {
    const Tree& n = trees_[t];
    switch (n.type) {
      case Ast::Char:
        // Folding would need both forms of a letter: not worth a second scan.
        if (st_.ignore_case && fold(n.ch) != lower(n.ch)) return -1;
        return n.ch;
      case Ast::Group:
        return required_byte(n.kids[0]);
      case Ast::Closure:
      case Ast::Counted:
        return n.min > 0 ? required_byte(n.kids[0]) : -1;
      case Ast::Alt:
        return n.kids.size() == 1 ? required_byte(n.kids[0]) : -1;
      case Ast::Seq:
        for (int k : n.kids) {
          int b = required_byte(k);
          if (b >= 0) return b;
        }
        return -1;
      default:
        return -1;
    }
  }

  // The longest run of single bytes that every match of t holds one right
  // after another, each as the set of bytes it may be: items of the
  // top-level sequence that take one byte, zero-width items between them,
  // and a repeat of a one-byte item taken at least once, which ends a run
  // (after its first byte) and starts the next (with its last).
  std::vector<ByteSet> required_chain(int t) const {
    for (;;) {  // down to the top-level sequence
      const Tree& n = trees_[t];
      if ((n.type == Ast::Group || n.type == Ast::Alt) && n.kids.size() == 1)
        t = n.kids[0];
      else
        break;
    }
    const Tree& seq = trees_[t];
    std::vector<int> items = seq.type == Ast::Seq ? seq.kids : std::vector<int>{t};
    std::vector<ByteSet> best, cur;
    auto end_run = [&]() {
      if (cur.size() > best.size()) best = cur;
      cur.clear();
    };
    for (int k : items) {
      const Tree& n = trees_[k];
      ByteSet one{};
      bool single = one_byte(k, one);
      if (single) {
        cur.push_back(one);
        continue;
      }
      switch (n.type) {
        case Ast::Bol:
        case Ast::Eol:
        case Ast::Cursor:
        case Ast::Nothing:
          continue;  // takes no byte: the run goes on across it
        case Ast::Closure:
        case Ast::Counted:
          if (n.min >= 1 && one_byte(n.kids[0], one)) {
            cur.push_back(one);
            end_run();
            cur.push_back(one);
            continue;
          }
          break;
        default:
          break;
      }
      end_run();
    }
    end_run();
    return best;
  }
  // The bytes a one-byte item may be; false for any other item.
  bool one_byte(int t, ByteSet& out) const {
    const Tree& n = trees_[t];
    switch (n.type) {
      case Ast::Char:
        out = ByteSet{};
        set_add(out, n.ch);
        if (st_.ignore_case) {
          set_add(out, fold(n.ch));
          set_add(out, lower(n.ch));
        }
        return true;
      case Ast::Class:
        out = sets_[static_cast<size_t>(n.set)];
        return true;
      case Ast::Any:
        out.fill(0xFF);
        return true;
      default:
        return false;
    }
  }

  void emit_pattern(int root) {
    st_.required = required_byte(root);
    std::vector<ByteSet> chain = required_chain(root);
    if (chain.size() > 8) chain.resize(8);
    st_.chain_len = chain.size() >= 2 ? static_cast<uint8_t>(chain.size()) : 0;
    std::fill(std::begin(st_.chain), std::end(st_.chain), uint8_t{0});
    // The anchor is the element text is least likely to hold: blanks and
    // letters are common in text, digits less so, other bytes rare.
    auto weight = [](int b) {
      return b == ' '                                                                           ? 16
             : b == '\t'                                                                        ? 4
             : (lower(static_cast<uint8_t>(b)) >= 'a' && lower(static_cast<uint8_t>(b)) <= 'z') ? 4
             : is_digit(b)                                                                      ? 2
                                                                                                : 1;
    };
    int fewest = INT32_MAX;
    for (int k = 0; k < st_.chain_len; ++k) {
      int members = 0;
      for (int b = 0; b < 256; ++b) {
        if (chain[static_cast<size_t>(k)][static_cast<size_t>(b >> 3)] & (1u << (b & 7))) {
          st_.chain[b] |= static_cast<uint8_t>(1u << k);
          members += weight(b);
        }
      }
      if (members < fewest) {
        fewest = members;
        st_.chain_anchor = static_cast<uint8_t>(k);
      }
    }
    st_.anchor_count = 0;
    if (st_.chain_len) {
      int n = 0;
      for (int b = 0; b < 256 && n <= 8; ++b)
        if (st_.chain[b] >> st_.chain_anchor & 1) {
          if (n < 8) st_.anchor_bytes[n] = static_cast<uint8_t>(b);
          ++n;
        }
      st_.anchor_count = n <= 8 ? static_cast<uint8_t>(n) : 0;
    }
    bool collecting = true;
    Result r = emit(root, collecting);
    int end = append(RX_END);
    patch_all(r.pending, end);
    if (r.kind != Kind::Consuming) st_.first_valid = 0;
  }

 private:
  RegexState& st_;
  const std::vector<Tree>& trees_;
  const std::vector<ByteSet>& sets_;
  ErrorCode err_ = 0;

  int32_t here() const { return st_.last_node + 1; }

  // Appends a node; returns its index (-1 once out of memory: later
  // appends are dropped and the compile fails).
  int32_t append(RegexKind kind, int ch = 0, int32_t a = 0, int32_t b = 1) {
    if (err_) return -1;
    int32_t i = here();
    if (i >= st_.node_capacity) {
      if (st_.node_capacity >= kRegexMaxNodes) {
        err_ = ERR_INSUFFICIENT_MEMORY;
        return -1;
      }
      int32_t cap = st_.node_capacity + kRegexNodeStep;
      void* p = mem_retry_realloc(st_.nodes, static_cast<size_t>(cap) * sizeof(RegexNode));
      if (p == nullptr) {
        err_ = ERR_INSUFFICIENT_MEMORY;
        return -1;
      }
      st_.nodes = static_cast<RegexNode*>(p);
      st_.node_capacity = cap;
    }
    st_.nodes[i] = RegexNode{static_cast<uint32_t>(kind) | (static_cast<uint32_t>(ch & 0xFF) << 8), a, b, 0, 0};
    st_.last_node = i;
    return i;
  }

  void set_b(int32_t node, int32_t target) {
    if (err_ || node < 0) return;
    st_.nodes[node].b = target - node;
  }
  void patch_all(const std::vector<int32_t>& pending, int32_t target) {
    for (int32_t n : pending) set_b(n, target);
  }

  void first_add(int b) {
    st_.first[b] = 1;
    if (st_.ignore_case) {
      st_.first[fold(static_cast<uint8_t>(b))] = 1;
      st_.first[lower(static_cast<uint8_t>(b))] = 1;
    }
  }
  // An item at the possible start of a match that says nothing about the
  // first byte: the table cannot be trusted.
  void first_invalid(bool& collecting) {
    if (collecting) st_.first_valid = 0;
    collecting = false;
  }

  // What emit(t) will report, without emitting.
  Kind classify(int t) const {
    const Tree& n = trees_[t];
    switch (n.type) {
      case Ast::Char:
      case Ast::Any:
      case Ast::Class:
        return Kind::Consuming;
      case Ast::Bol:
      case Ast::Eol:
      case Ast::Cursor:
      case Ast::Nothing:
      case Ast::Not:
        return Kind::Empty;
      case Ast::Backref:
        return Kind::PossiblyEmpty;
      case Ast::Group:
        return classify(n.kids[0]);
      case Ast::Closure:
      case Ast::Counted: {
        Kind body = classify(n.kids[0]);
        if (body == Kind::Empty) return Kind::Empty;
        return n.min == 0 ? Kind::PossiblyEmpty : body;
      }
      case Ast::Alt: {
        if (n.kids.size() == 1) return classify(n.kids[0]);
        for (int k : n.kids)
          if (classify(k) != Kind::Consuming) return Kind::PossiblyEmpty;
        return Kind::Consuming;
      }
      case Ast::Seq: {
        Kind so_far = Kind::Empty;
        for (int k : n.kids) {
          Kind item = classify(k);
          if (so_far == Kind::Empty)
            so_far = item;
          else if (so_far == Kind::PossiblyEmpty && item == Kind::Consuming)
            so_far = Kind::Consuming;
        }
        return so_far;
      }
    }
    return Kind::Consuming;
  }

  Result emit(int t, bool& collecting) {
    const Tree& n = trees_[t];
    switch (n.type) {
      case Ast::Char: {
        uint8_t ch = st_.ignore_case ? fold(n.ch) : n.ch;
        append(RX_CHAR, ch);
        if (collecting) first_add(n.ch);
        collecting = false;
        return {Kind::Consuming, {}};
      }
      case Ast::Any:
        append(RX_ANY);
        if (collecting) std::memset(st_.first, 1, 256);
        collecting = false;
        return {Kind::Consuming, {}};
      case Ast::Class:
        return emit_class(sets_[n.set], collecting);
      case Ast::Bol:
      case Ast::Eol:
        append(n.type == Ast::Bol ? RX_BOL : RX_EOL);
        first_invalid(collecting);
        return {Kind::Empty, {}};
      case Ast::Cursor:
        append(RX_CURSOR);
        return {Kind::Empty, {}};
      case Ast::Nothing:
        return {Kind::Empty, {}};
      case Ast::Backref: {
        // An empty group lets the back-reference succeed without
        // consuming: that path leaves through b, a pending exit.
        int32_t i = append(RX_BACKREF, 0, n.group);
        first_invalid(collecting);
        return {Kind::PossiblyEmpty, {i}};
      }
      case Ast::Group:
        return emit_group(n, collecting);
      case Ast::Not:
        return emit_not(n, collecting);
      case Ast::Closure:
      case Ast::Counted:
        return emit_closure(n, collecting);
      case Ast::Alt:
        return emit_alt(n, collecting);
      case Ast::Seq:
        return emit_seq(n, collecting);
    }
    return {Kind::Empty, {}};
  }

  Result emit_class(const ByteSet& s, bool& collecting) {
    append(RX_CLASS);
    int32_t f1 = append(RX_CHAR);
    int32_t f2 = append(RX_CHAR);
    if (err_) return {Kind::Consuming, {}};
    // The set lives in the first 32 bytes of the two filler nodes.
    static_assert(2 * sizeof(RegexNode) >= sizeof(ByteSet));
    (void)f2;
    std::memcpy(&st_.nodes[f1], s.data(), s.size());
    if (collecting)
      for (int b = 0; b < 256; ++b)
        if (s[b >> 3] & (1u << (b & 7))) st_.first[b] = 1;
    collecting = false;
    return {Kind::Consuming, {}};
  }

  Result emit_group(const Tree& n, bool& collecting) {
    if (n.group < 0) return emit(n.kids[0], collecting);
    append(RX_GROUP_START, 0, n.group);
    Result r = emit(n.kids[0], collecting);
    append(RX_GROUP_END, 0, n.group);
    if (r.kind != Kind::PossiblyEmpty) return r;
    // The paths that consumed nothing must close the group too, and
    // still leave as pending exits: they get their own group end.
    int32_t skip = append(RX_JUMP);
    int32_t end2 = append(RX_GROUP_END, 0, n.group);
    int32_t exit = append(RX_JUMP);
    patch_all(r.pending, end2);
    set_b(skip, here());
    return {Kind::PossiblyEmpty, {exit}};
  }

  Result emit_not(const Tree& n, bool& collecting) {
    first_invalid(collecting);
    int32_t not_node = append(RX_NOT);
    bool inner = false;
    Result r = emit(n.kids[0], inner);
    int32_t end = append(RX_END);
    patch_all(r.pending, end);
    set_b(not_node, here());
    // The negated item never consumes: it only looks ahead.
    return {Kind::Empty, {}};
  }

  Result emit_closure(const Tree& n, bool& collecting) {
    bool counted = n.type == Ast::Counted;
    bool start_collecting = collecting;
    std::vector<int32_t> pending;
    int32_t entry = -1;
    if (n.min == 0) entry = append(n.lazy ? RX_SPLIT_LAZY : RX_SPLIT, 0, 1);
    if (counted) append(RX_COUNT_RESET, n.counter);
    int32_t body_start = here();
    Result body = emit(n.kids[0], collecting);
    if (body.kind == Kind::Empty) {  // no loop node: one pass or none
      set_b(entry, here());
      if (n.min == 0) collecting = start_collecting;
      return {Kind::Empty, {}};
    }
    int32_t loop;
    if (counted) {
      loop = append(n.lazy ? RX_REPEAT_LAZY : RX_REPEAT, n.counter, 0);
      if (loop >= 0) {
        st_.nodes[loop].min = n.min;
        st_.nodes[loop].max = n.max;
      }
    } else {
      loop = append(n.lazy ? RX_SPLIT_LAZY : RX_SPLIT, 0, 0);
    }
    if (loop >= 0) st_.nodes[loop].a = body_start - loop;
    pending = std::move(body.pending);
    if (n.min == 0) {
      pending.push_back(entry);
      collecting = start_collecting;
      return {Kind::PossiblyEmpty, std::move(pending)};
    }
    return {body.kind, std::move(pending)};
  }

  Result emit_alt(const Tree& n, bool& collecting) {
    if (n.kids.size() == 1) return emit(n.kids[0], collecting);
    bool start = collecting;
    bool out = false;
    bool any_empty = false;
    std::vector<int32_t> pending;
    std::vector<int32_t> to_end;
    for (size_t i = 0; i < n.kids.size(); ++i) {
      bool last = i + 1 == n.kids.size();
      int32_t split = last ? -1 : append(RX_SPLIT, 0, 1);
      bool c = start;
      Result r = emit(n.kids[i], c);
      out = out || c;
      if (r.kind != Kind::Consuming) any_empty = true;
      pending.insert(pending.end(), r.pending.begin(), r.pending.end());
      if (!last || r.kind == Kind::Empty) {
        int32_t jump = append(RX_JUMP);
        if (r.kind == Kind::Empty)
          pending.push_back(jump);
        else
          to_end.push_back(jump);
      }
      set_b(split, here());
    }
    patch_all(to_end, here());
    collecting = out;
    return {any_empty ? Kind::PossiblyEmpty : Kind::Consuming, std::move(pending)};
  }

  Result emit_seq(const Tree& n, bool& collecting) {
    Kind so_far = Kind::Empty;
    std::vector<int32_t> pending;  // paths that have consumed nothing yet
    for (int k : n.kids) {
      if (so_far == Kind::Consuming) {
        bool c = false;
        Result r = emit(k, c);
        patch_all(r.pending, here());
        continue;
      }
      if (so_far == Kind::Empty) {
        Result r = emit(k, collecting);
        so_far = r.kind;
        pending = std::move(r.pending);
        continue;
      }
      if (classify(k) == Kind::Consuming) {
        patch_all(pending, here());
        emit(k, collecting);
        so_far = Kind::Consuming;
        pending.clear();
        continue;
      }
      // The item may be empty: one copy for the paths that consumed
      // already, another for those that did not.
      bool c = false;
      Result first = emit(k, c);
      int32_t skip = append(RX_JUMP);
      patch_all(pending, here());
      Result second = emit(k, collecting);
      if (second.kind == Kind::Empty) second.pending.push_back(append(RX_JUMP));
      patch_all(first.pending, here());
      set_b(skip, here());
      pending = std::move(second.pending);
    }
    return {so_far, std::move(pending)};
  }
};

// }===================

}  // namespace

RegexState::RegexState(RegexState&& o) noexcept { re_swap(*this, o); }

RegexState& RegexState::operator=(RegexState&& o) noexcept {
  if (this != &o) {
    RegexState empty;
    re_swap(*this, empty);
    re_swap(*this, o);
  }
  return *this;
}

RegexState::~RegexState() {
  mem_free(nodes);
  mem_free(first);
}

void re_swap(RegexState& x, RegexState& y) noexcept {
  std::swap(x.ignore_case, y.ignore_case);
  std::swap(x.direction, y.direction);
  std::swap(x.nodes, y.nodes);
  std::swap(x.last_node, y.last_node);
  std::swap(x.node_capacity, y.node_capacity);
  std::swap(x.group_mask, y.group_mask);
  std::swap(x.groups, y.groups);
  std::swap(x.match_length, y.match_length);
  std::swap(x.cursor_column, y.cursor_column);
  std::swap(x.first_valid, y.first_valid);
  std::swap(x.first, y.first);
  std::swap(x.required, y.required);
  std::swap(x.chain_len, y.chain_len);
  std::swap(x.chain_anchor, y.chain_anchor);
  std::swap(x.chain, y.chain);
  std::swap(x.anchor_count, y.anchor_count);
  std::swap(x.anchor_bytes, y.anchor_bytes);
}

RegexState& re_current() {
  static RegexState current;
  return current;
}

ErrorCode re_decode_escape(const uint8_t** cursor, int remaining, uint8_t* out, int unix_syntax) {
  if (remaining <= 0) return ERR_INVALID_REGEX;  // a backslash at the end
  const uint8_t* p = *cursor;
  const uint8_t* end = p + remaining;
  int c = *p++;
  int l = lower(static_cast<uint8_t>(c));
  bool decimal = unix_syntax ? l == 'd' : is_digit(c);
  if (decimal) {
    if (unix_syntax) {
      if (p == end || !is_digit(*p)) return ERR_INVALID_REGEX;
    } else {
      --p;  // the digit is the first of the number
    }
    int v = 0;
    for (int i = 0; i < 3 && p != end && is_digit(*p); ++i) v = v * 10 + (*p++ - '0');
    if (v > 255) return ERR_INVALID_REGEX;
    *out = static_cast<uint8_t>(v);
  } else if (l == 'x') {
    if (p == end || hex_value(*p) < 0) return ERR_INVALID_REGEX;
    int v = hex_value(*p++);
    if (p != end && hex_value(*p) >= 0) v = v * 16 + hex_value(*p++);
    *out = static_cast<uint8_t>(v);
  } else if (l == 'n') {
    *out = 10;
  } else if (l == 't') {
    *out = 9;
  } else if (l == 'r') {
    *out = 13;
  } else if (l == 'f') {
    *out = 12;
  } else if (l == 'b' && !unix_syntax) {
    *out = 8;
  } else {
    *out = static_cast<uint8_t>(c);
  }
  *cursor = p;
  return 0;
}

ErrorCode re_compile(RegexState& st, std::string_view pattern, int direction, uint8_t ignore_case, int unix_syntax) {
  st.direction = 0;
  st.last_node = -1;
  st.ignore_case = ignore_case ? 1 : 0;
  if (st.first == nullptr) {
    st.first = static_cast<uint8_t*>(mem_retry_alloc(256));
    if (st.first == nullptr) return ERR_INSUFFICIENT_MEMORY;
  }
  std::memset(st.first, 0, 256);
  st.first_valid = 1;
  try {
    Parser parser(pattern, unix_syntax != 0, st.ignore_case != 0);
    int root = parser.parse();
    if (root < 0) return parser.err();
    Emitter emitter(st, parser.trees(), parser.sets());
    emitter.emit_pattern(root);
    if (emitter.err() != 0) {
      st.last_node = -1;
      return emitter.err();
    }
  } catch (const std::bad_alloc&) {
    st.last_node = -1;
    return ERR_INSUFFICIENT_MEMORY;
  }
  st.direction = direction < 0 ? -1 : 1;
  return 0;
}

ErrorCode re_compile(const LStr* pattern, int direction, uint8_t ignore_case, int unix_syntax) {
  return re_compile(re_current(), lstr_view(pattern), direction, ignore_case, unix_syntax);
}

// {=================== directory-search wildcards

// The operating-system layer turns a find wildcard into an anchored
// expression of the own syntax ("*.c" becomes "^?*.c$") and asks this
// matcher whether a name fits. Each compiled expression is a private state.
void* find_pattern_compile(std::string_view expr, ErrorCode* error) {
  RegexState* st = new (std::nothrow) RegexState;
  if (st == nullptr) {
    *error = ERR_INSUFFICIENT_MEMORY;
    return nullptr;
  }
  *error = re_compile(*st, expr, 1, 0, 0);
  if (*error != 0) {
    delete st;
    return nullptr;
  }
  return st;
}

int find_pattern_match(const void* compiled, std::string_view name) {
  // The search writes its match into the state; the caller's view of it is const.
  RegexState* st = const_cast<RegexState*>(static_cast<const RegexState*>(compiled));
  return re_search(*st, 1, reinterpret_cast<const uint8_t*>(name.data()), static_cast<int>(name.size())) > 0;
}

void find_pattern_release(void* compiled) { delete static_cast<RegexState*>(compiled); }

// }===================
