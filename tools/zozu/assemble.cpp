// The assembler: text form -> module file.
//
// Two passes over the parsed lines. Pass 1 makes the link entries of every
// declaration in source order (so a disassembly that declares its links first
// reproduces the link table) and records where procedures start. Pass 2
// encodes the instructions, creating an extern link for a call to a name
// nothing declared; then entry points, bindings and declared procedures get
// their code offsets, and each procedure's stack effect is checked.
#include <algorithm>
#include <cctype>
#include <climits>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "base/le.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "forms/templates.h"
#include "macro/event_codes.h"
#include "macro/module_build.h"
#include "macro/names.h"
#include "macro/opcodes.h"
#include "zozu.h"

namespace {

// ---- tokens ---------------------------------------------------------------------

enum class Tok { Ident, String, Number, Var, Label, Raw, Punct, Key };

struct Token {
  Tok kind;
  std::string text;     // identifier, string contents, variable or label name; a key's key text
  long long value = 0;  // number; a key's event code
  char punct = 0;
};

bool ident_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ':' || c == '!' ||
         c == '?';
}

// A double-quoted string with the escapes \" \\ \n \t \xHH; i is at the
// opening quote and ends past the closing one.
bool read_string(const std::string& line, size_t& i, std::string& s, std::string& err) {
  ++i;
  for (;;) {
    if (i >= line.size()) {
      err = "unterminated string";
      return false;
    }
    char d = line[i++];
    if (d == '"') return true;
    if (d != '\\') {
      s += d;
      continue;
    }
    if (i >= line.size()) {
      err = "unterminated string";
      return false;
    }
    char e = line[i++];
    if (e == 'n')
      s += '\n';
    else if (e == 't')
      s += '\t';
    else if (e == 'x') {
      if (i + 2 > line.size() || !std::isxdigit(static_cast<unsigned char>(line[i])) ||
          !std::isxdigit(static_cast<unsigned char>(line[i + 1]))) {
        err = "bad \\x escape";
        return false;
      }
      s += char(std::stoi(line.substr(i, 2), nullptr, 16));
      i += 2;
    } else
      s += e;
  }
}

bool tokenize(const std::string& line, std::vector<Token>& out, std::string& err) {
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == ';') {
      break;
    } else if (c == '"') {
      std::string s;
      if (!read_string(line, i, s, err)) return false;
      out.push_back({Tok::String, s});
    } else if (line.compare(i, 5, "key:\"") == 0) {
      // key:"NAME": the key text of the event with that macro-source name
      std::string name;
      i += 4;
      if (!read_string(line, i, name, err)) return false;
      std::optional<EventCode> code = event_from_name(name, kStyleSource);
      if (!code) {
        err = "unknown key name \"" + name + "\"";
        return false;
      }
      out.push_back({Tok::Key, event_key_text(*code), static_cast<long long>(*code)});
    } else if (c == '$' || c == '@') {
      size_t j = i + 1;
      while (j < line.size() && ident_char(line[j])) ++j;
      if (j == i + 1) {
        err = std::string("name expected after '") + c + "'";
        return false;
      }
      out.push_back({c == '$' ? Tok::Var : Tok::Label, line.substr(i + 1, j - i - 1)});
      i = j;
    } else if (c == '#') {
      size_t j = i + 1;
      while (j < line.size() && std::isdigit(static_cast<unsigned char>(line[j]))) ++j;
      if (j == i + 1 || j - i > 8) {
        err = "number expected after '#'";
        return false;
      }
      out.push_back({Tok::Raw, line.substr(i, j - i), std::stoll(line.substr(i + 1, j - i - 1))});
      i = j;
    } else if (ident_char(c)) {
      size_t j = i;
      while (j < line.size() && ident_char(line[j])) ++j;
      std::string w = line.substr(i, j - i);
      bool number = !w.empty();
      for (size_t k = (w[0] == '-' && w.size() > 1) ? 1 : 0; k < w.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(w[k]))) number = false;
      if (w == "-") number = false;
      if (number && w.size() < 12)
        out.push_back({Tok::Number, w, std::stoll(w)});
      else
        out.push_back({Tok::Ident, w});
      i = j;
    } else if (std::string_view("(),&=[]").find(c) != std::string_view::npos) {
      out.push_back({Tok::Punct, std::string(1, c), 0, c});
      ++i;
    } else {
      err = std::string("unexpected character '") + c + "'";
      return false;
    }
  }
  return true;
}

// An event-table index written as a number 0..553, a macro-source key name
// (C-X, F2, ENTER, a) or key:"NAME"; false with a message otherwise.
bool key_index(const Token& t, long long& index, std::string& err) {
  if (t.kind == Tok::Number) {
    index = t.value;
  } else if (t.kind == Tok::Key) {
    index = event_to_key_index(static_cast<EventCode>(t.value));
  } else if (t.kind == Tok::Ident) {
    std::optional<EventCode> code = event_from_name(t.text, kStyleSource);
    if (!code) {
      err = "unknown key name '" + t.text + "'";
      return false;
    }
    index = event_to_key_index(*code);
  } else {
    err = "a key name or a binding index expected";
    return false;
  }
  if (index < 0 || index >= kEventBindings) {
    err = "binding index must be 0..553";
    return false;
  }
  return true;
}

// ---- the assembler ----------------------------------------------------------------

struct Line {
  int number;
  std::vector<Token> toks;
  bool from_source = false;  // made from a recorded statement
};

// ---- statements as the source recorder writes them ----------------------------------

// The lines a recorded keyboard macro holds: keyin 'text' (or keyin "'"),
// name(), 'name', execute('text'), and last_event(name2event('KEY'));
// before one of them. Each becomes the instructions that do the same: the
// text typed with keyin, the command called, the quoted command line run,
// the key's text given to last_event.
class RecordedStatement {
 public:
  explicit RecordedStatement(const std::string& line) : s_(line) {}

  // Whether the line has the shape of a recorded statement (no assembly
  // line has: those never start with a quote or a call).
  bool looks_like() const {
    size_t i = blanks(0);
    if (i < s_.size() && (s_[i] == '\'' || s_[i] == '"')) return true;
    size_t j = word_end(i);
    if (j == i) return false;
    if (s_.compare(i, j - i, "keyin") == 0 && blanks(j) > j && blanks(j) < s_.size() &&
        (s_[blanks(j)] == '\'' || s_[blanks(j)] == '"'))
      return true;
    return blanks(j) < s_.size() && s_[blanks(j)] == '(';
  }

  // The instructions, one token line each; false with err.
  bool translate(std::vector<std::vector<Token>>& out, std::string& err) {
    size_t i = blanks(0);
    while (i < s_.size()) {
      std::string q;
      if (s_.compare(i, 22, "last_event(name2event(") == 0) {
        i += 22;
        if (!quoted(i, q) || !literal(i, "))")) return fail(err);
        std::optional<EventCode> code = event_from_name(q, kStyleSource);
        if (!code) {
          err = "unknown key name '" + q + "'";
          return false;
        }
        out.push_back({{Tok::Ident, "push_const"}, {Tok::Key, event_key_text(*code), static_cast<long long>(*code)}});
        out.push_back({{Tok::Ident, "last_event"}, {Tok::Number, "1", 1}});
        out.push_back({{Tok::Ident, "pop"}});
      } else if (s_.compare(i, 5, "keyin") == 0 && i + 5 < s_.size() && (s_[i + 5] == ' ' || s_[i + 5] == '\t')) {
        i = blanks(i + 5);
        if (!quoted(i, q)) return fail(err);
        out.push_back({{Tok::Ident, "push_const"}, {Tok::String, q}});
        out.push_back({{Tok::Ident, "keyin"}});
      } else if (s_.compare(i, 8, "execute(") == 0) {
        i += 8;
        if (!quoted(i, q) || !literal(i, ")")) return fail(err);
        run_line(out, q);
      } else if (s_[i] == '\'' || s_[i] == '"') {
        if (!quoted(i, q)) return fail(err);
        run_line(out, q);
      } else {
        size_t j = word_end(i);
        std::string name = s_.substr(i, j - i);
        i = j;
        if (name.empty() || !literal(i, "(") || !literal(i, ")")) return fail(err);
        out.push_back(
            {{Tok::Ident, "call_link"}, {Tok::Number, "0", 0}, {Tok::Punct, ",", 0, ','}, {Tok::Ident, name}});
      }
      i = blanks(i);
      if (i < s_.size() && s_[i] == ';') i = blanks(i + 1);
    }
    return true;
  }

 private:
  const std::string& s_;

  size_t blanks(size_t i) const {
    while (i < s_.size() && (s_[i] == ' ' || s_[i] == '\t' || s_[i] == '\r')) ++i;
    return i;
  }
  size_t word_end(size_t i) const {
    while (i < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i])) || s_[i] == '_')) ++i;
    return i;
  }
  bool literal(size_t& i, std::string_view text) const {
    i = blanks(i);
    if (s_.compare(i, text.size(), text) != 0) return false;
    i += text.size();
    return true;
  }
  // Text between single or double quotes, taken as it stands.
  bool quoted(size_t& i, std::string& out) const {
    i = blanks(i);
    if (i >= s_.size() || (s_[i] != '\'' && s_[i] != '"')) return false;
    size_t end = s_.find(s_[i], i + 1);
    if (end == std::string::npos) return false;
    out = s_.substr(i + 1, end - i - 1);
    i = end + 1;
    return true;
  }
  static void run_line(std::vector<std::vector<Token>>& out, const std::string& text) {
    out.push_back({{Tok::Ident, "push_const"}, {Tok::String, text}});
    out.push_back({{Tok::Ident, "execute"}});
  }
  static bool fail(std::string& err) {
    err = "cannot read this statement";
    return false;
  }
};

struct Proc {
  std::string name;
  int line;
  std::vector<std::pair<std::string, bool>> params;  // name, by reference
  int locals = 0;
  std::vector<std::string> local_names;
  uint32_t offset = 0;  // image offset of its header
  size_t first_line = 0, end_line = 0;
  bool raw = false;  // holds .raw bytes: not stack-checked
};

struct Fixup {
  enum Kind { LinkC, Entry, Jump } kind;
  size_t at;           // link index (LinkC), header field (Entry) or code position (Jump)
  std::string target;  // procedure or label name
  int line;
};

struct Insn {  // for the stack check
  uint32_t offset;
  const OpcodeInfo* info;
  int count = -1;                  // value of the count operand
  std::vector<std::string> jumps;  // label targets
  int line;
  int extra_pops = 0;  // a `z` operand of 0 pops one value more
};

class Assembler {
 public:
  Assembler(const std::string& file, std::vector<ZozuDiag>& diags) : file_(file), diags_(diags) {}

  bool run(const std::string& text, std::vector<uint8_t>& out);

 private:
  std::string file_;
  std::vector<ZozuDiag>& diags_;
  ModuleBuilder m_;
  std::vector<Line> lines_;
  std::vector<Proc> procs_;
  std::map<std::string, size_t> proc_index_;  // definition name -> procs_
  std::map<std::string, uint32_t> labels_;
  std::vector<Fixup> fixups_;
  std::map<std::string, std::vector<uint16_t>> callable_links_, var_links_;  // folded name -> link indexes
  std::map<std::string, uint16_t> table_links_;                              // "k:name" -> link
  std::vector<Insn> insns_;

  bool error(int line, const std::string& msg) {
    diags_.push_back({file_, line, msg});
    return false;
  }
  static std::string fold(std::string s) {
    for (char& c : s) c = c == '_' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  LinkEntry& link(uint16_t index) { return m_.links[index - kFirstLink]; }

  bool pass1();
  bool declaration(const Line& l, size_t& i);
  bool form_block(const Line& l, size_t& i);
  bool menu_block(const Line& l, size_t& i);
  bool finish_template(const Line& l, std::vector<TplModuleRecord>& recs,
                       const std::vector<std::vector<uint32_t>>& children);
  bool record_statement(const Line& l, TplModuleRecord& r);
  bool parse_proc_header(const Line& l, size_t start, Proc& p);
  bool pass2();
  bool instruction(const Line& l, Proc& p);
  bool operand(const Line& l, const Proc& p, char kind, const Token& t, Insn& insn);
  bool fix();
  bool check_stack(const Proc& p, size_t first, size_t last);
  uint16_t callable_link(const std::string& name);
};

bool Assembler::run(const std::string& text, std::vector<uint8_t>& out) {
  std::istringstream in(text);
  std::string s;
  int n = 0;
  while (std::getline(in, s)) {
    ++n;
    Line l{n, {}};
    std::string err;
    RecordedStatement st(s);
    if (st.looks_like()) {
      std::vector<std::vector<Token>> insns;
      if (!st.translate(insns, err)) error(n, err);
      for (auto& toks : insns) lines_.push_back({n, std::move(toks), true});
    } else if (!tokenize(s, l.toks, err)) {
      error(n, err);
    } else if (!l.toks.empty()) {
      lines_.push_back(std::move(l));
    }
  }
  if (!diags_.empty()) return false;
  if (!pass1() || !pass2() || !fix()) return false;
  out = m_.file();
  if (out.empty()) return error(n, "module image larger than 65535 bytes");
  std::vector<uint8_t> img = m_.image();
  if (module_verify(img, m_.strings) != 0) return error(n, "the module does not pass verification");
  return diags_.empty();
}

// Pass 1: declarations and the extent of each procedure.
bool Assembler::pass1() {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (!declaration(l, i)) continue;
  }
  return diags_.empty();
}

bool Assembler::parse_proc_header(const Line& l, size_t start, Proc& p) {
  const auto& t = l.toks;
  size_t i = start;
  if (i < t.size() && t[i].kind == Tok::Punct && t[i].punct == '(') {
    ++i;
    while (i < t.size() && !(t[i].kind == Tok::Punct && t[i].punct == ')')) {
      bool ref = false;
      if (t[i].kind == Tok::Punct && t[i].punct == '&') {
        ref = true;
        ++i;
      }
      if (i >= t.size() || t[i].kind != Tok::Ident) return error(l.number, "parameter name expected");
      p.params.push_back({t[i].text, ref});
      ++i;
      if (i < t.size() && t[i].kind == Tok::Punct && t[i].punct == ',') ++i;
    }
    if (i >= t.size()) return error(l.number, "')' expected");
    ++i;
  }
  if (i < t.size() && t[i].kind == Tok::Ident && t[i].text == "locals") {
    if (i + 1 >= t.size() || t[i + 1].kind != Tok::Number || t[i + 1].value < 0 || t[i + 1].value > 255)
      return error(l.number, "locals needs a count 0..255");
    p.locals = int(t[i + 1].value);
    i += 2;
  }
  if (i != t.size()) return error(l.number, "unexpected '" + t[i].text + "' after the procedure header");
  if (p.params.size() > 255) return error(l.number, "more than 255 parameters");
  return true;
}

bool Assembler::declaration(const Line& l, size_t& i) {
  if (l.from_source) return error(l.number, "a statement outside a procedure");
  const auto& t = l.toks;
  const std::string& w = t[0].kind == Tok::Ident ? t[0].text : std::string();
  auto str_at = [&](size_t k) { return k < t.size() && t[k].kind == Tok::String; };
  auto name_at = [&](size_t k) { return k < t.size() && t[k].kind == Tok::Ident; };
  auto optional_init = [&](size_t k, uint16_t& off) -> int {  // 0 none, 1 given, -1 error
    if (k == t.size()) return 0;
    if (k + 2 == t.size() && t[k].kind == Tok::Punct && t[k].punct == '=' && str_at(k + 1)) {
      off = m_.add_string(t[k + 1].text);
      return 1;
    }
    return -1;
  };
  if (w == ".strings" || w == ".constants") {
    for (size_t k = 1; k < t.size(); ++k) {
      if (!str_at(k) && t[k].kind != Tok::Key) return error(l.number, w + " takes strings");
      if (w == ".strings")
        m_.add_string(t[k].text);
      else
        m_.add_constant(t[k].text);
    }
  } else if (w == ".module") {
  } else if (w == ".startup") {
    m_.startup = true;
  } else if (w == ".main" || w == ".init" || w == ".load") {
    if (t.size() != 2 || !name_at(1)) return error(l.number, w + " needs a procedure name");
    fixups_.push_back({Fixup::Entry,
                       size_t(w == ".main"   ? MH_MAIN
                              : w == ".init" ? MH_INIT
                                             : MH_LOAD),
                       t[1].text, l.number});
  } else if (w == "declare") {
    if (t.size() < 3 || !name_at(1) || !name_at(2)) return error(l.number, "declare needs a kind and a name");
    const std::string& kind = t[1].text;
    size_t k = 3;
    uint16_t info = 0;
    bool has_info = false;
    if (kind == "command" && str_at(k)) {
      info = m_.add_constant(t[k].text);
      has_info = true;
      ++k;
    }
    std::string target = t[2].text;
    if (k + 1 < t.size() && name_at(k) && t[k].text == "at" && name_at(k + 1)) {
      target = t[k + 1].text;
      k += 2;
    }
    if (k != t.size()) return error(l.number, "unexpected text after the declaration");
    uint16_t kindno = kind == "proc"      ? LK_PROC
                      : kind == "command" ? (has_info ? LK_COMMAND_INFO : LK_COMMAND)
                      : kind == "private" ? LK_PRIVATE_PROC
                                          : 0;
    if (!kindno) return error(l.number, "declare: kind must be proc, command or private");
    uint16_t li = m_.add_link(kindno, m_.add_string(t[2].text), info);
    callable_links_[fold(t[2].text)].push_back(li);
    fixups_.push_back({Fixup::LinkC, li, target, l.number});
  } else if (w == "extern") {
    if (t.size() != 2 || !name_at(1)) return error(l.number, "extern needs a name");
    callable_links_[fold(t[1].text)].push_back(m_.add_link(LK_EXTERN, m_.add_string(t[1].text)));
  } else if (w == "global" || w == "bufvar" || w == "static") {
    if (t.size() < 2 || !name_at(1)) return error(l.number, w + " needs a name");
    uint16_t init = 0;
    int r = optional_init(2, init);
    if (r < 0) return error(l.number, "expected '= \"value\"' after the name");
    uint16_t base = w == "global" ? LK_GLOBAL : w == "bufvar" ? LK_BUFLOCAL : LK_PRIVATE_VAR;
    uint16_t li = m_.add_link(uint16_t(base + (r ? 128 : 0)), m_.add_string(t[1].text), init);
    var_links_[fold(t[1].text)].push_back(li);
  } else if (w == "usetable") {
    if (t.size() != 2 || !str_at(1)) return error(l.number, "usetable needs a table name string");
    table_links_["t:" + fold(t[1].text)] = m_.add_link(LK_TABLE, m_.add_constant(t[1].text));
  } else if (w == "useform") {
    if (t.size() != 3 || t[1].kind != Tok::Number || t[1].value < 0 || t[1].value > LK_TEMPLATE_LAST || !str_at(2))
      return error(l.number, "useform needs an object type 0..19 and a name string");
    table_links_[std::to_string(t[1].value) + ":" + fold(t[2].text)] =
        m_.add_link(uint16_t(t[1].value), m_.add_constant(t[2].text));
  } else if (w == ".link") {
    if (t.size() != 5) return error(l.number, ".link needs kind a b c");
    for (size_t k = 1; k < 5; ++k)
      if (t[k].kind != Tok::Number || t[k].value < 0 || t[k].value > 0xFFFF)
        return error(l.number, ".link fields are numbers 0..65535");
    m_.add_link(uint16_t(t[1].value), uint16_t(t[2].value), uint16_t(t[3].value), uint16_t(t[4].value));
  } else if (w == "bind") {
    if (t.size() != 4 || !str_at(1) || !name_at(3))
      return error(l.number, "bind needs a table name string, a key and a procedure");
    long long index = 0;
    std::string err;
    if (!key_index(t[2], index, err)) return error(l.number, err);
    uint16_t li = m_.add_link(LK_BINDING, m_.add_string(t[1].text), uint16_t(index));
    fixups_.push_back({Fixup::LinkC, li, t[3].text, l.number});
  } else if (w == "form") {
    return form_block(l, i);
  } else if (w == "menu") {
    return menu_block(l, i);
  } else if (w == "table") {
    if (t.size() < 2 || !str_at(1)) return error(l.number, "table needs a name string");
    ModuleBuilder::Table tb;
    tb.name = m_.add_string(t[1].text);
    tb.form.assign(1 + kEventBindings, 0);
    if (t.size() == 4 && name_at(2) && t[2].text == "inherits") {
      if (name_at(3) && t[3].text == "none")
        tb.form[0] = 0xFFFF;
      else if (str_at(3))
        tb.form[0] = m_.add_string(t[3].text);
      else
        return error(l.number, "inherits needs a table name string or none");
    } else if (t.size() != 2) {
      return error(l.number, "expected 'inherits \"name\"' after the table name");
    }
    for (++i; i < lines_.size(); ++i) {
      const Line& b = lines_[i];
      if (b.toks[0].kind == Tok::Ident && b.toks[0].text == "end" && b.toks.size() == 1) break;
      long long index = 0;
      std::string err;
      if (b.toks.size() != 2) return error(b.number, "binding line: a key and a command, \"table:name\" or remove");
      if (!key_index(b.toks[0], index, err)) return error(b.number, err);
      uint32_t& word = tb.form[1 + size_t(index)];
      if (b.toks[1].kind == Tok::Ident && b.toks[1].text == "remove")
        word = 0xFFFF;
      else if (b.toks[1].kind == Tok::Ident || b.toks[1].kind == Tok::String)
        word = m_.add_string(b.toks[1].text);
      else
        return error(b.number, "binding target expected");
      if (word == 0 || word == 0xFFFF) {
        if (b.toks[1].kind != Tok::Ident || b.toks[1].text != "remove")
          return error(b.number, "strings area too large for a binding");
      }
    }
    if (i == lines_.size()) return error(l.number, "table without end");
    m_.tables.push_back(std::move(tb));
  } else if (w == "proc" || w == "command" || w == "private" || w == "code") {
    if (t.size() < 2 || !name_at(1)) return error(l.number, w + " needs a name");
    Proc p;
    p.name = t[1].text;
    p.line = l.number;
    size_t k = 2;
    uint16_t info = 0;
    bool has_info = false;
    if (w == "command" && str_at(k)) {
      info = m_.add_constant(t[k].text);
      has_info = true;
      ++k;
    }
    if (!parse_proc_header(l, k, p)) return false;
    if (proc_index_.count(fold(p.name))) return error(l.number, "procedure " + p.name + " defined twice");
    if (w != "code") {
      uint16_t kindno = w == "proc"      ? LK_PROC
                        : w == "private" ? LK_PRIVATE_PROC
                        : has_info       ? LK_COMMAND_INFO
                                         : LK_COMMAND;
      uint16_t li = m_.add_link(kindno, m_.add_string(p.name), info);
      callable_links_[fold(p.name)].push_back(li);
      fixups_.push_back({Fixup::LinkC, li, p.name, l.number});
    }
    p.first_line = i + 1;
    for (++i; i < lines_.size(); ++i) {
      const Line& b = lines_[i];
      if (b.toks[0].kind == Tok::Ident && b.toks.size() == 1 && b.toks[0].text == "end") break;
    }
    if (i == lines_.size()) return error(l.number, "procedure without end");
    p.end_line = i;
    proc_index_[fold(p.name)] = procs_.size();
    procs_.push_back(std::move(p));
  } else if (w == ".raw") {
    // Top-level bytes are emitted in pass 2.
  } else {
    return error(l.number, "unknown statement '" + t[0].text + "'");
  }
  return true;
}

uint16_t Assembler::callable_link(const std::string& name) {
  auto it = callable_links_.find(fold(name));
  if (it != callable_links_.end()) return it->second.front();
  uint16_t li = m_.add_link(LK_EXTERN, m_.add_string(name));
  callable_links_[fold(name)].push_back(li);
  return li;
}

bool Assembler::operand(const Line& l, const Proc& p, char kind, const Token& t, Insn& insn) {
  auto put16 = [&](long long v) { le::append_u16(m_.code, uint16_t(v)); };
  auto range = [&](long long v, long long lo, long long hi) {
    if (v < lo || v > hi)
      return error(l.number,
                   "operand " + std::to_string(v) + " out of range " + std::to_string(lo) + ".." + std::to_string(hi));
    return true;
  };
  const bool byte_kind = kind == 'c' || kind == 'b' || kind == 'o' || kind == 'p' || kind == 'd' || kind == 'z';
  if (t.kind == Tok::Raw && !byte_kind) {
    if (!range(t.value, 0, 0xFFFF)) return false;
    put16(t.value);
    return true;
  }
  switch (kind) {
    case 'p':
      // A property by its name in the property table, or by its id.
      if (t.kind == Tok::String) {
        const int id = prop_find_name(t.text);
        if (id < 0) return error(l.number, "unknown property \"" + t.text + "\"");
        m_.code.push_back(uint8_t(id));
        return true;
      }
      [[fallthrough]];
    case 'c':
    case 'b':
    case 'd':
    case 'z':
      if (t.kind != Tok::Number && t.kind != Tok::Raw) return error(l.number, "number expected");
      if (!range(t.value, 0, 255)) return false;
      if (kind == 'c') insn.count = int(t.value);
      if (kind == 'z' && t.value == 0) insn.extra_pops = 1;
      m_.code.push_back(uint8_t(t.value));
      return true;
    case 'o':
      if (t.kind == Tok::String && t.text.size() == 1)
        m_.code.push_back(uint8_t(t.text[0]));
      else if ((t.kind == Tok::Number || t.kind == Tok::Raw) && t.value >= 0 && t.value <= 255)
        m_.code.push_back(uint8_t(t.value));
      else
        return error(l.number, "operator character expected, as \"+\"");
      return true;
    case 'u':
      if (t.kind != Tok::Number || !range(t.value, 0, 0xFFFF)) return error(l.number, "number 0..65535 expected");
      put16(t.value);
      return true;
    case 'w':
      if (t.kind != Tok::Number || !range(t.value, -32768, 32767)) return error(l.number, "column delta expected");
      put16(t.value);
      return true;
    case 'k':
      if (t.kind != Tok::String && t.kind != Tok::Key) return error(l.number, "string constant expected");
      put16(m_.add_constant(t.text));
      return true;
    case 'j':
      if (t.kind != Tok::Label) return error(l.number, "jump target @label expected");
      insn.jumps.push_back(t.text);
      fixups_.push_back({Fixup::Jump, m_.code.size(), t.text, l.number});
      put16(0);
      return true;
    case 'v': {
      if (t.kind != Tok::Var) return error(l.number, "variable $name expected");
      for (size_t a = 0; a < p.params.size(); ++a)
        if (fold(p.params[a].first) == fold(t.text)) return put16(9000 + 2 * long(a)), true;
      for (size_t a = 0; a < p.local_names.size(); ++a)
        if (fold(p.local_names[a]) == fold(t.text)) return put16(8001 + p.locals + long(a)), true;
      if (t.text.size() > 1 && t.text[0] == 'l' && std::all_of(t.text.begin() + 1, t.text.end(), ::isdigit)) {
        long a = std::stol(t.text.substr(1));
        if (a < p.locals) return put16(8001 + a), true;
      }
      auto it = var_links_.find(fold(t.text));
      if (it == var_links_.end()) return error(l.number, "unknown variable $" + t.text);
      if (it->second.front() > kMaxGlobalSlot) return error(l.number, "too many links");
      put16(it->second.front());
      return true;
    }
    case 'l': {
      if (t.kind != Tok::Ident) return error(l.number, "procedure name or table:\"name\" expected");
      put16(callable_link(t.text));
      return true;
    }
    default:
      return error(l.number, std::string("operand kind '") + kind + "' cannot be written");
  }
}

bool Assembler::instruction(const Line& l, Proc& p) {
  const auto& t = l.toks;
  if (t[0].kind != Tok::Ident) return error(l.number, "instruction expected");
  const std::string& w = t[0].text;
  if (w == ".raw") {
    for (size_t k = 1; k < t.size(); ++k) {
      if (t[k].kind != Tok::Number && t[k].kind != Tok::Ident) return error(l.number, ".raw takes hex bytes");
      const std::string& h = t[k].text;
      if (h.size() != 2 || !std::isxdigit(static_cast<unsigned char>(h[0])) ||
          !std::isxdigit(static_cast<unsigned char>(h[1])))
        return error(l.number, ".raw takes two-digit hex bytes");
      m_.code.push_back(uint8_t(std::stoi(h, nullptr, 16)));
    }
    p.raw = true;
    return true;
  }
  if (w == "var") {
    if (t.size() != 2 || t[1].kind != Tok::Ident) return error(l.number, "var needs a name");
    p.local_names.push_back(t[1].text);
    return true;
  }
  if (t.size() == 1 && w.size() > 1 && w.back() == ':') {
    std::string name = w.substr(0, w.size() - 1);
    if (!labels_.emplace(name, m_.here()).second) return error(l.number, "label " + name + " defined twice");
    insns_.push_back({m_.here(), nullptr, -1, {name}, l.number});  // a label marker
    return true;
  }
  std::optional<OpcodeRef> op = opcode_find(w);
  if (!op) return error(l.number, "unknown instruction '" + w + "'");
  const OpcodeInfo& info = *op->info;
  if (!opcode_has_function(info) || (!op->ext && op->slot == kExtPrefix))
    return error(l.number, "'" + w + "' is not a usable opcode");
  Insn insn{m_.here(), &info, -1, {}, l.number};
  if (op->ext) m_.code.push_back(kExtPrefix);
  m_.code.push_back(op->slot);
  // Operands, comma separated; a variable group is [ $a $b ... ].
  size_t k = 1;
  for (size_t n = 0; n < info.operands.size(); ++n) {
    char kind = info.operands[n];
    if (n > 0) {
      if (k >= t.size() || t[k].kind != Tok::Punct || t[k].punct != ',')
        return error(l.number, w + " takes " + std::to_string(info.operands.size()) + " operands");
      ++k;
    }
    if (kind == 'n') {
      if (k >= t.size() || t[k].punct != '[') return error(l.number, "variable group [ $a $b ] expected");
      size_t count_at = m_.code.size();
      m_.code.push_back(0);
      int count = 0;
      for (++k; k < t.size() && t[k].punct != ']'; ++k) {
        if (!operand(l, p, 'v', t[k], insn)) return false;
        ++count;
      }
      if (k >= t.size() || count > 255) return error(l.number, "']' expected");
      m_.code[count_at] = uint8_t(count);
      ++k;
      continue;
    }
    if (k >= t.size()) return error(l.number, w + " takes " + std::to_string(info.operands.size()) + " operands");
    if (kind == 'l' && t[k].kind == Tok::Ident && t[k].text.back() == ':' && k + 1 < t.size() &&
        t[k + 1].kind == Tok::String) {
      // table:"name" or form<K>:"name": an event-table or template link.
      std::string prefix = t[k].text.substr(0, t[k].text.size() - 1);
      int kindno = -1;
      if (prefix == "table")
        kindno = LK_TABLE;
      else if (prefix.rfind("form", 0) == 0 && prefix.size() > 4 && prefix.size() < 7 &&
               std::all_of(prefix.begin() + 4, prefix.end(), ::isdigit))
        kindno = std::stoi(prefix.substr(4));
      if (kindno < 0 || (kindno > LK_TEMPLATE_LAST && kindno != LK_TABLE))
        return error(l.number, "link operand: table:\"name\" or form0..form19:\"name\"");
      std::string key = (kindno == LK_TABLE ? std::string("t") : std::to_string(kindno)) + ":" + fold(t[k + 1].text);
      auto it = table_links_.find(key);
      uint16_t li = it != table_links_.end()
                        ? it->second
                        : (table_links_[key] = m_.add_link(uint16_t(kindno), m_.add_constant(t[k + 1].text)));
      le::append_u16(m_.code, li);
      k += 2;
      continue;
    }
    if (!operand(l, p, kind, t[k], insn)) return false;
    ++k;
  }
  if (k != t.size()) return error(l.number, w + " takes " + std::to_string(info.operands.size()) + " operands");
  insns_.push_back(std::move(insn));
  return true;
}

// An object type by its number or its word ("form", "text", ...).
bool object_type(const Token& t, uint32_t& type) {
  if (t.kind == Tok::Number) {
    if (t.value < kObjForm || t.value > kObjMenuItem) return false;
    type = uint32_t(t.value);
    return true;
  }
  for (int32_t k = kObjForm; k <= kObjMenuItem; ++k) {
    if (t.kind == Tok::Ident && !obj_type_name(k).empty() && obj_type_name(k) == t.text) {
      type = uint32_t(k);
      return true;
    }
  }
  return false;
}

// One statement of a template record.
bool Assembler::record_statement(const Line& l, TplModuleRecord& r) {
  const auto& t = l.toks;
  const std::string& w = t[0].text;
  auto str_at = [&](size_t k) { return k < t.size() && t[k].kind == Tok::String; };
  if (w == "table" || w == "table2" || w == "picture") {
    if (t.size() != 2 || !str_at(1)) return error(l.number, w + " needs a name string");
    (w == "table" ? r.table : w == "table2" ? r.table2 : r.picture) = t[1].text;
    return true;
  }
  if (w == "link3") {
    if (t.size() != 2 || t[1].kind != Tok::Number || t[1].value < 0 || t[1].value > 0xFFFF)
      return error(l.number, "link3 needs a number 0..65535");
    r.block.link3 = uint16_t(t[1].value);
    return true;
  }
  if (w == "words") {
    if (t.size() != 1 + kPropWords) return error(l.number, "words needs 28 numbers");
    for (int k = 0; k < kPropWords; ++k) {
      if (t[1 + k].kind != Tok::Number || t[1 + k].value < INT32_MIN || t[1 + k].value > UINT32_MAX)
        return error(l.number, "words needs 28 numbers");
      r.block.words[k] = uint32_t(t[1 + k].value);
    }
    // A raw record: no default strings either, only those given.
    for (size_t k = 0; k < r.strings.size(); ++k)
      if (k != 2) r.strings[k].clear();
    return true;
  }
  if (w != "prop") return error(l.number, "in a form: prop, table, table2, picture, link3, words, control or end");
  if (t.size() != 3) return error(l.number, "prop needs a property and a value");
  int id = -1;
  if (t[1].kind == Tok::Number && t[1].value >= 0 && t[1].value < kPropCount)
    id = int(t[1].value);
  else if (t[1].kind == Tok::Ident || t[1].kind == Tok::String)
    id = prop_find_name(t[1].text);
  if (id < 0) return error(l.number, "unknown property " + t[1].text);
  const PropertyRecord& row = prop_record(uint32_t(id));
  if (id == int(kTplEventTable) || id == int(kTplEventTable2) || id == int(kTplPicture))
    return error(l.number, "name the event tables and the picture with table, table2 and picture");
  const auto k = std::find(kTemplateStringProps.begin(), kTemplateStringProps.end(), uint32_t(id));
  if (k != kTemplateStringProps.end()) {
    if (!str_at(2)) return error(l.number, std::string(row.name) + " takes a string");
    if (!tpl_is_string_prop(r.block.type, uint32_t(id)))
      return error(l.number, "an object of type " + std::to_string(r.block.type) + " has no " + std::string(row.name));
    r.strings[size_t(k - kTemplateStringProps.begin())] = t[2].text;
    return true;
  }
  if (row.word >= kPropWords || !(row.type_mask & obj_type_bit(r.block.type)))
    return error(l.number, "an object of type " + std::to_string(r.block.type) + " stores no " + std::string(row.name));
  if (t[2].kind != Tok::Number || t[2].value < INT32_MIN || t[2].value > UINT32_MAX)
    return error(l.number, std::string(row.name) + " takes a number");
  const uint32_t v = uint32_t(t[2].value);
  if (prop_set_field(r.block, uint32_t(id), v) >> row.shift != (v & (row.mask >> row.shift)) ||
      (row.mask >> row.shift) < v)
    return error(l.number, "value too wide for " + std::string(row.name));
  return true;
}

// form "name" [type K] ... end, with control K "name" ... end inside.
bool Assembler::form_block(const Line& l, size_t& i) {
  const auto& t = l.toks;
  uint32_t type = kObjForm;
  if (t.size() < 2 || t[1].kind != Tok::String || t[1].text.empty()) return error(l.number, "form needs a name string");
  if (t.size() == 4 && t[2].kind == Tok::Ident && t[2].text == "type") {
    if (!object_type(t[3], type)) return error(l.number, "type: an object type 2..19 or its word");
  } else if (t.size() != 2) {
    return error(l.number, "expected 'type K' after the form's name");
  }
  std::vector<TplModuleRecord> recs{tpl_default_record(type)};
  recs[0].strings[2] = t[1].text;
  std::vector<uint32_t> parents{0};
  std::vector<std::vector<uint32_t>> children(1);
  for (++i; i < lines_.size(); ++i) {
    const Line& b = lines_[i];
    const auto& bt = b.toks;
    const std::string w = bt[0].kind == Tok::Ident ? bt[0].text : std::string();
    if (w == "end" && bt.size() == 1) {
      parents.pop_back();
      if (parents.empty()) break;
      continue;
    }
    if (w == "control") {
      uint32_t ct = 0;
      if (bt.size() != 3 || !object_type(bt[1], ct) || bt[2].kind != Tok::String)
        return error(b.number, "control needs a type (2..19 or its word) and a name string");
      if (ct == kObjForm) return error(b.number, "a form cannot sit inside a form");
      const uint32_t r = uint32_t(recs.size());
      if (r * kTemplateRecordSize > 0xFFFF) return error(b.number, "too many controls for one template");
      recs.push_back(tpl_default_record(ct));
      recs[r].strings[2] = bt[2].text;
      children[parents.back()].push_back(r);
      children.emplace_back();
      parents.push_back(r);
      continue;
    }
    if (!record_statement(b, recs[parents.back()])) return false;
  }
  if (i == lines_.size()) return error(l.number, "form without end");
  return finish_template(l, recs, children);
}

// Children form rings under their parent's first child; the records then
// become one template of the module.
bool Assembler::finish_template(const Line& l, std::vector<TplModuleRecord>& recs,
                                const std::vector<std::vector<uint32_t>>& children) {
  for (uint32_t p = 0; p < recs.size(); ++p) {
    const auto& c = children[p];
    if (c.empty()) continue;
    recs[p].block.child = uint16_t(c[0]);
    for (size_t k = 0; k < c.size(); ++k) recs[c[k]].block.next = uint16_t(c[(k + 1) % c.size()]);
  }
  std::vector<uint8_t> form;
  std::string err;
  if (!tpl_module_form(recs, &form, &err)) return error(l.number, err);
  m_.templates.push_back(std::move(form));
  return true;
}

// menu "name" ... end: a menu resource, the same records as a form
// template (a menu record of type 18 at the root), with inside it
//   submenu "caption" [options] ... end    a menu record of its own
//   item "caption" "command" [options]     an item (type 19)
//   separator                              an item captioned "-"
// and the options: categories "a|b", help "message", help-command "cmd".
bool Assembler::menu_block(const Line& l, size_t& i) {
  const auto& t = l.toks;
  if (t.size() != 2 || t[1].kind != Tok::String || t[1].text.empty())
    return error(l.number, "menu needs a name string");
  auto string_slot = [](uint32_t id) {
    return size_t(std::find(kTemplateStringProps.begin(), kTemplateStringProps.end(), id) -
                  kTemplateStringProps.begin());
  };
  std::vector<TplModuleRecord> recs{tpl_default_record(kObjMenu)};
  recs[0].strings[2] = t[1].text;
  std::vector<uint32_t> parents{0};
  std::vector<std::vector<uint32_t>> children(1);
  // A new record under the innermost submenu: enabled, unchecked, as an
  // insert with no flags makes it.
  auto add = [&](uint32_t type, const std::string& caption) {
    const uint32_t r = uint32_t(recs.size());
    recs.push_back(tpl_default_record(type));
    prop_set_field(recs[r].block, 2, 1);
    prop_set_field(recs[r].block, 95, 0);
    recs[r].strings[string_slot(29)] = caption;
    children[parents.back()].push_back(r);
    children.emplace_back();
    return r;
  };
  // The options from token k on.
  auto options = [&](const Line& b, size_t k, TplModuleRecord& r) {
    const auto& bt = b.toks;
    for (; k < bt.size(); k += 2) {
      const std::string& o = bt[k].text;
      const uint32_t id = o == "categories" ? 94 : o == "help" ? 93 : o == "help-command" ? 162 : 0;
      if (bt[k].kind != Tok::Ident || id == 0 || k + 1 >= bt.size() || bt[k + 1].kind != Tok::String)
        return error(b.number, "expected categories, help or help-command and a string");
      r.strings[string_slot(id)] = bt[k + 1].text;
    }
    return true;
  };
  for (++i; i < lines_.size(); ++i) {
    const Line& b = lines_[i];
    const auto& bt = b.toks;
    const std::string w = bt[0].kind == Tok::Ident ? bt[0].text : std::string();
    if (recs.size() * kTemplateRecordSize > 0xFFFF) return error(b.number, "too many items for one menu");
    if (w == "end" && bt.size() == 1) {
      parents.pop_back();
      if (parents.empty()) break;
    } else if (w == "submenu") {
      if (bt.size() < 2 || bt[1].kind != Tok::String) return error(b.number, "submenu needs a caption string");
      const uint32_t r = add(kObjMenu, bt[1].text);
      if (!options(b, 2, recs[r])) return false;
      parents.push_back(r);
    } else if (w == "item") {
      if (bt.size() < 3 || bt[1].kind != Tok::String || bt[2].kind != Tok::String)
        return error(b.number, "item needs a caption and a command string");
      const uint32_t r = add(kObjMenuItem, bt[1].text);
      recs[r].strings[string_slot(92)] = bt[2].text;
      if (!options(b, 3, recs[r])) return false;
    } else if (w == "separator" && bt.size() == 1) {
      add(kObjMenuItem, "-");
    } else {
      return error(b.number, "in a menu: submenu, item, separator or end");
    }
  }
  if (i == lines_.size()) return error(l.number, "menu without end");
  return finish_template(l, recs, children);
}

bool Assembler::pass2() {
  size_t next_proc = 0;
  Proc top;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (next_proc < procs_.size() && procs_[next_proc].first_line == i + 1) {
      Proc& p = procs_[next_proc++];
      p.offset = m_.here();
      // Header: locals, parameters, by-value mask (bit 0 = last parameter).
      uint16_t mask = 0;
      for (size_t a = 0; a < p.params.size() && a < 16; ++a)
        if (!p.params[p.params.size() - 1 - a].second) mask |= uint16_t(1u << a);
      size_t first_insn = insns_.size();
      size_t header_at = m_.code.size();
      m_.code.insert(m_.code.end(), {0, uint8_t(p.params.size())});
      le::append_u16(m_.code, mask);
      for (i = p.first_line; i < p.end_line; ++i)
        if (!instruction(lines_[i], p)) return false;
      int locals = p.locals + int(p.local_names.size());
      if (locals > 255) return error(p.line, "more than 255 locals");
      m_.code[header_at] = uint8_t(locals);
      if (!p.raw && !check_stack(p, first_insn, insns_.size())) return false;
      continue;  // i is at the procedure's end line
    }
    const std::string& w = l.toks[0].kind == Tok::Ident ? l.toks[0].text : std::string();
    if (w == ".raw" && !instruction(l, top)) return false;
    if (w == "table")  // skip its body
      while (i < lines_.size() && !(lines_[i].toks[0].text == "end" && lines_[i].toks.size() == 1)) ++i;
    if (w == "form" || w == "menu") {  // skip its body, nested records and all
      int depth = 0;
      for (; i < lines_.size(); ++i) {
        const Line& b = lines_[i];
        if (b.toks[0].kind != Tok::Ident) continue;
        const std::string& bw = b.toks[0].text;
        if (bw == "form" || bw == "control" || bw == "menu" || bw == "submenu") ++depth;
        if (b.toks[0].text == "end" && b.toks.size() == 1 && --depth == 0) break;
      }
    }
  }
  if (m_.here() > 0xFFFF) return error(lines_.empty() ? 0 : lines_.back().number, "code larger than 65535 bytes");
  return diags_.empty();
}

bool Assembler::fix() {
  auto proc_offset = [&](const Fixup& f, uint32_t& off) {
    auto it = proc_index_.find(fold(f.target));
    if (it == proc_index_.end()) return error(f.line, "procedure " + f.target + " is not defined here");
    off = procs_[it->second].offset;
    return true;
  };
  for (const Fixup& f : fixups_) {
    uint32_t off = 0;
    switch (f.kind) {
      case Fixup::LinkC:
        if (!proc_offset(f, off)) return false;
        link(uint16_t(f.at)).c = uint16_t(off);
        break;
      case Fixup::Entry:
        if (!proc_offset(f, off)) return false;
        if (f.at == MH_MAIN)
          m_.main_entry = uint16_t(off);
        else if (f.at == MH_INIT)
          m_.init_entry = uint16_t(off);
        else
          m_.load_entry = uint16_t(off);
        break;
      case Fixup::Jump: {
        auto it = labels_.find(f.target);
        if (it == labels_.end()) return error(f.line, "undefined label @" + f.target);
        le::put_u16(&m_.code[f.at], uint16_t(it->second));
        break;
      }
    }
  }
  return true;
}

// Stack depths as an interval: a call may or may not leave a value, so its
// effect is [0, 1]; only a certain underflow or disjoint depths where paths
// meet are errors.
bool Assembler::check_stack(const Proc& p, size_t first, size_t last) {
  struct Depth {
    int lo, hi;
  };
  std::map<std::string, Depth> at_label;
  std::map<std::string, int> label_line;
  // Iterate to a fixed point: jumps backwards reach labels seen before.
  for (int round = 0; round < 4; ++round) {
    std::optional<Depth> d = Depth{0, 0};
    for (size_t n = first; n < last; ++n) {
      const Insn& in = insns_[n];
      if (!in.info) {  // a label
        const std::string& name = in.jumps[0];
        label_line[name] = in.line;
        auto it = at_label.find(name);
        if (it != at_label.end()) {
          if (d && (d->hi < it->second.lo || d->lo > it->second.hi))
            return error(in.line, "stack depth at " + name + " differs between the paths that reach it");
          d = d ? Depth{std::min(d->lo, it->second.lo), std::max(d->hi, it->second.hi)} : it->second;
        }
        if (d) at_label[name] = *d;
        continue;
      }
      if (!d) d = Depth{0, 0};  // unreachable code: start afresh
      const OpcodeInfo& info = *in.info;
      int pops = (info.pops == kPopCount ? in.count : info.pops) + in.extra_pops;
      if (d->hi < pops)
        return error(in.line, std::string(info.mnemonic) + " needs " + std::to_string(pops) +
                                  " values, the stack has " + std::to_string(d->hi));
      d->lo = std::max(0, d->lo - pops);
      d->hi -= pops;
      if (info.pushes == kVaries)
        d->hi += 1;
      else {
        d->lo += info.pushes;
        d->hi += info.pushes;
      }
      for (const std::string& target : in.jumps) {
        auto it = at_label.find(target);
        if (it != at_label.end() && (d->hi < it->second.lo || d->lo > it->second.hi) && label_line.count(target) &&
            round > 0)
          return error(in.line, "stack depth at " + target + " differs between the paths that reach it");
        if (it == at_label.end())
          at_label[target] = *d;
        else
          it->second = {std::min(d->lo, it->second.lo), std::max(d->hi, it->second.hi)};
      }
      std::string_view mn = info.mnemonic;
      if (mn == "jump" || mn == "return" || mn == "return_rc" || mn == "return_value" || mn == "stop") d.reset();
    }
    if (d) return error(p.line, "procedure " + p.name + " does not end with a return or jump");
  }
  return true;
}

}  // namespace

bool zozu_assemble(const std::string& file, const std::string& text, std::vector<uint8_t>& out,
                   std::vector<ZozuDiag>& diags) {
  Assembler a(file, diags);
  return a.run(text, out);
}
