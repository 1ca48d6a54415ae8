// Interim expression matcher for file-name wildcards: a recursive-descent
// parser that emits a small instruction list, run by a Thompson simulation
// (a set of live instruction indexes per input position).
#include "base/wildcard.h"

#include <bitset>
#include <new>
#include <vector>

namespace wildcard {

namespace {

constexpr int32_t kBadExpression = -2500;
constexpr int32_t kNoMemory = -8;
// Deepest nesting of groups; the full engine refuses more than 19 levels.
constexpr int kMaxLevel = 19;

enum class Op : uint8_t { Char, Any, Class, Bol, Eol, Split, Jmp, Match };

struct Inst {
  Op op;
  uint8_t ch = 0;
  int x = 0;  // Split/Jmp target, or class index
  int y = 0;  // Split second target
};

struct ParseError {};

class Compiler {
 public:
  Compiler(std::string_view text, std::vector<Inst>& code, std::vector<std::bitset<256>>& classes)
      : text_(text), code_(code), classes_(classes) {}

  void run() {
    alternation(0, 1);
    if (pos_ != text_.size()) throw ParseError{};  // stray closing character?
    emit({Op::Match});
  }

 private:
  bool at_end() const { return pos_ >= text_.size(); }
  uint8_t peek() const { return static_cast<uint8_t>(text_[pos_]); }
  uint8_t next() {
    if (at_end()) throw ParseError{};
    return static_cast<uint8_t>(text_[pos_++]);
  }
  int emit(Inst i) {
    code_.push_back(i);
    return static_cast<int>(code_.size()) - 1;
  }
  int here() const { return static_cast<int>(code_.size()); }

  // One level: sequences separated by '|' up to `close` (0 for the whole text).
  void alternation(uint8_t close, int level) {
    if (level > kMaxLevel) throw ParseError{};
    std::vector<int> jumps;
    for (;;) {
      int split = emit({Op::Split});
      sequence(close);
      if (at_end() || peek() != '|') {
        // Last alternative: the split is not needed; turn it into a no-op jump.
        code_[split] = {Op::Jmp, 0, split + 1, 0};
        break;
      }
      ++pos_;  // '|'
      jumps.push_back(emit({Op::Jmp}));
      code_[split].x = split + 1;
      code_[split].y = here();
    }
    for (int j : jumps) code_[j].x = here();
    if (close != 0) {
      if (at_end() || peek() != close) throw ParseError{};  // missing closing character
      ++pos_;
    }
  }

  void sequence(uint8_t close) {
    while (!at_end()) {
      uint8_t c = peek();
      if (c == '|' || (close != 0 && c == close)) return;
      if (c == ')' || c == '}') throw ParseError{};
      item();
    }
  }

  static bool is_postfix(uint8_t c) { return c == '*' || c == '@' || c == '+' || c == '#'; }

  void item() {
    if (is_postfix(peek())) {  // an operator without an atom does nothing
      ++pos_;
      return;
    }
    int start = here();
    atom();
    if (at_end() || !is_postfix(peek())) return;
    uint8_t op = next();
    std::vector<Inst> body(code_.begin() + start, code_.end());
    code_.resize(start);
    if (op == '*' || op == '@') {
      // L: split body, out; body; jmp L; out:
      int split = emit({Op::Split});
      append_shifted(body, start, here());
      emit({Op::Jmp, 0, split, 0});
      code_[split].x = split + 1;
      code_[split].y = here();
    } else {
      // L: body; split L, out
      int body_start = here();
      append_shifted(body, start, body_start);
      emit({Op::Split, 0, body_start, here() + 1});
    }
  }

  // Re-emits an instruction block that was compiled at `from` so that it now
  // starts at `to`, moving its internal jump targets along.
  void append_shifted(const std::vector<Inst>& block, int from, int to) {
    for (Inst i : block) {
      if (i.op == Op::Split || i.op == Op::Jmp) {
        i.x += to - from;
        if (i.op == Op::Split) i.y += to - from;
      }
      code_.push_back(i);
    }
  }

  int level_ = 1;

  void atom() {
    uint8_t c = next();
    switch (c) {
      case '?':
        emit({Op::Any});
        return;
      case '^':
        emit({Op::Bol});
        return;
      case '$':
        emit({Op::Eol});
        return;
      case '[':
        klass();
        return;
      case '(':
      case '{': {
        if (c == '{' && !at_end() && peek() == '#') throw ParseError{};  // explicit group numbers
        ++level_;
        alternation(c == '(' ? ')' : '}', level_);
        --level_;
        return;
      }
      case '~':
      case ':':
        throw ParseError{};  // negation, counted repeats, named classes: not handled here
      case '\\': {
        int b = escape();
        if (b >= 0) emit({Op::Char, static_cast<uint8_t>(b)});
        return;
      }
      default:
        emit({Op::Char, c});
        return;
    }
  }

  // After a backslash. Returns the byte, or -1 for the cursor mark (matches
  // the empty string).
  int escape() {
    uint8_t c = next();
    if (c >= '0' && c <= '9') {
      int v = c - '0';
      for (int n = 1; n < 3 && !at_end() && peek() >= '0' && peek() <= '9'; ++n) v = v * 10 + (next() - '0');
      if (v > 255) throw ParseError{};
      return v;
    }
    switch (c | 0x20) {
      case 'n':
        return 10;
      case 't':
        return 9;
      case 'r':
        return 13;
      case 'b':
        return 8;
      case 'f':
        return 12;
      case 'c':
        return -1;
      case 'g':
        throw ParseError{};  // back references are not handled here
      case 'x': {
        int v = hex(next());
        if (v < 0) throw ParseError{};
        if (!at_end() && hex(peek()) >= 0) v = v * 16 + hex(next());
        return v;
      }
      default:
        return c;
    }
  }

  static int hex(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
  }

  int class_member() {
    uint8_t c = next();
    if (c != '\\') return c;
    int b = escape();
    return b < 0 ? 'c' : b;
  }

  void klass() {
    std::bitset<256> set;
    bool negate = false;
    if (!at_end() && (peek() == '~' || peek() == '^')) {
      negate = true;
      ++pos_;
    }
    for (;;) {
      if (at_end()) throw ParseError{};  // class runs to the end
      if (peek() == ']') {
        ++pos_;
        break;
      }
      int lo = class_member();
      if (!at_end() && peek() == '-' && pos_ + 1 < text_.size() && text_[pos_ + 1] != ']') {
        ++pos_;
        int hi = class_member();
        for (int b = lo; b <= hi; ++b) set.set(b);  // a reversed range adds nothing
      } else {
        set.set(lo);
      }
    }
    if (negate) set.flip();
    classes_.push_back(set);
    emit({Op::Class, 0, static_cast<int>(classes_.size()) - 1, 0});
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::vector<Inst>& code_;
  std::vector<std::bitset<256>>& classes_;
};

}  // namespace

struct Program {
  std::vector<Inst> code;
  std::vector<std::bitset<256>> classes;
};

void release(Program* prog) { delete prog; }

Program* compile(std::string_view expr, int32_t* error) {
  try {
    auto prog = std::make_unique<Program>();
    Compiler(expr, prog->code, prog->classes).run();
    *error = 0;
    return prog.release();
  } catch (const ParseError&) {
    *error = kBadExpression;
  } catch (const std::bad_alloc&) {
    *error = kNoMemory;
  }
  return nullptr;
}

namespace {

// Adds instruction pc and everything reachable from it without consuming a
// byte to the list, at text position pos. `mark` holds the generation in which
// each instruction was last added.
bool add_thread(const Program& p, std::vector<int>& list, std::vector<uint32_t>& mark, std::vector<int>& stack,
                uint32_t gen, int pc, size_t pos, size_t len) {
  stack.clear();
  stack.push_back(pc);
  bool matched = false;
  while (!stack.empty()) {
    int i = stack.back();
    stack.pop_back();
    if (mark[i] == gen) continue;
    mark[i] = gen;
    const Inst& in = p.code[i];
    switch (in.op) {
      case Op::Jmp:
        stack.push_back(in.x);
        break;
      case Op::Split:
        stack.push_back(in.y);
        stack.push_back(in.x);
        break;
      case Op::Bol:
        if (pos == 0) stack.push_back(i + 1);
        break;
      case Op::Eol:
        if (pos == len) stack.push_back(i + 1);
        break;
      case Op::Match:
        matched = true;
        break;
      default:
        list.push_back(i);
        break;
    }
  }
  return matched;
}

}  // namespace

int match(const Program* prog, std::string_view name) {
  if (prog == nullptr) return 0;
  const Program& p = *prog;
  std::vector<int> cur, nxt, stack;
  cur.reserve(p.code.size());
  nxt.reserve(p.code.size());
  std::vector<uint32_t> mark(p.code.size(), 0);
  uint32_t gen = 1;
  size_t len = name.size();
  for (size_t pos = 0;; ++pos) {
    // A search: a new attempt starts at every position, beside the threads
    // carried over from the previous byte (same generation, so no duplicates).
    if (add_thread(p, cur, mark, stack, gen, 0, pos, len)) return 1;
    if (pos == len) return 0;
    uint8_t c = static_cast<uint8_t>(name[pos]);
    nxt.clear();
    ++gen;
    bool matched = false;
    for (int i : cur) {
      const Inst& in = p.code[i];
      bool ok = (in.op == Op::Any) || (in.op == Op::Char && in.ch == c) || (in.op == Op::Class && p.classes[in.x][c]);
      if (ok && add_thread(p, nxt, mark, stack, gen, i + 1, pos + 1, len)) matched = true;
    }
    if (matched) return 1;
    cur.swap(nxt);
  }
}

}  // namespace wildcard
