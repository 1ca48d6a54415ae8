// The disassembler: module file -> text form that assembles to the same bytes.
//
// It pins the strings and constants areas (.strings, .constants), declares
// every link in link-table order, then prints the event tables, the form
// templates (each record with all its words) and each
// procedure from its header on. Operands it cannot name unambiguously are
// printed as raw numbers (#n), and bytes that do not decode as instructions
// as .raw, so the round trip holds for any module the assembler wrote.
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "base/le.h"
#include "forms/prop_table.h"
#include "forms/templates.h"
#include "macro/event_codes.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/opcodes.h"
#include "macro/rle.h"
#include "macro/state.h"
#include "zozu.h"

namespace {

std::string quote(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 32 || c >= 127 || c == ';') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

// prefix followed by a number. Built by appending: GCC 12 at -O3 takes
// "lit" + std::to_string(v) for an overlapping copy (-Wrestrict).
std::string tagged(std::string_view prefix, long v) {
  std::string out(prefix);
  out += std::to_string(v);
  return out;
}

// A constant that is the key text of a named key: key:"NAME", which
// assembles to the same bytes; nullopt for any other string.
std::optional<std::string> key_constant(std::string_view s) {
  const bool two = s.size() == 2 && s[0] == 0 && s[1] != 0;
  const bool three = s.size() == 3 && s[0] == 0 && s[1] == 0 && s[2] != 0;
  if (!two && !three) return std::nullopt;
  const EventCode code = keyrec_to_event(s);
  const std::string_view name = event_name(code, kStyleSource);
  if (name.empty() || event_key_text(code) != s || event_from_name(name, kStyleSource) != code) return std::nullopt;
  return "key:" + quote(name);
}

std::string quote_constant(std::string_view s) {
  std::optional<std::string> k = key_constant(s);
  return k ? *k : quote(s);
}

// An event-table index as the assembler reads it back: the key's name, bare
// when it reads as one identifier, else key:"NAME"; a number for indexes
// of unnamed codes.
std::string key_ref(uint32_t index) {
  const EventCode code = key_index_to_event(int32_t(index));
  const std::string_view name = event_name(code, kStyleSource);
  if (name.empty() || event_from_name(name, kStyleSource) != code || event_to_key_index(code) != int32_t(index))
    return std::to_string(index);
  bool bare = std::isalpha(static_cast<unsigned char>(name[0])) && name.back() != ':';
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ':' || c == '!' ||
          c == '?'))
      bare = false;
  return bare ? std::string(name) : "key:" + quote(name);
}

std::string fold(std::string_view in) {
  std::string s(in);
  for (char& c : s) c = c == '_' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A name the tokenizer reads back as one identifier.
bool plain_name(std::string_view s) {
  if (s.empty() || s.back() == ':') return false;
  bool digits = true;
  for (char c : s) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ':' || c == '!' ||
          c == '?'))
      return false;
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-') digits = false;
  }
  return !digits && s != "end";
}

struct Decoded {
  uint32_t offset, length;
  bool ext;
  uint8_t slot;
};

struct Module {
  std::vector<uint8_t> strings, image;
  bool startup = false;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> tables;  // name offset, expanded form
  std::vector<std::vector<TplModuleRecord>> templates;
};

bool parse_file(const std::vector<uint8_t>& f, Module& m, std::string& error) {
  size_t pos = 0;
  uint32_t table_name = 0;
  bool have_table_name = false;  // a plain flag: g++ -O2 misreads an optional here
  bool have_image = false;
  while (pos < f.size()) {
    if (f.size() - pos < kStateHeaderSize) return error = "truncated record header", false;
    const uint8_t* h = f.data() + pos;
    uint32_t len = le::get_u32(h + 4);
    if (le::get_i16(h) != kStateVersion || h[2] != 1 || len > f.size() - pos - kStateHeaderSize)
      return error = "not a module file of this version", false;
    std::vector<uint8_t> data(h + kStateHeaderSize, h + kStateHeaderSize + len);
    pos += kStateHeaderSize + len;
    switch (h[3]) {
      case SR_STRINGS:
        m.strings = std::move(data);
        break;
      case SR_MODULE:
      case SR_STARTUP_MODULE:
        if (have_image) return error = "two images in one module", false;
        m.image = std::move(data);
        m.startup = h[3] == SR_STARTUP_MODULE;
        have_image = true;
        break;
      case SR_TABLE_NAME:
        if (len != 4) return error = "bad table-name record", false;
        table_name = le::get_u32(data.data());
        have_table_name = true;
        break;
      case SR_EVENT_TABLE: {
        if (!have_table_name) return error = "event table without a name record", false;
        std::vector<uint8_t> form(kEventTableBytes);
        if (rle_expand(form.data(), kEventTableBytes, data) != int64_t(kEventTableBytes))
          return error = "corrupt event table", false;
        m.tables.push_back({table_name, std::move(form)});
        have_table_name = false;
        break;
      }
      case SR_TEMPLATE: {
        const int64_t n = rle_expand(nullptr, 0, data);
        if (n < 0 || n > 0xFFFFF) return error = "corrupt form template", false;
        std::vector<uint8_t> form(static_cast<size_t>(n));
        if (rle_expand(form.data(), uint32_t(n), data) != n) return error = "corrupt form template", false;
        m.templates.emplace_back();
        if (!tpl_module_parse(form, &m.templates.back())) return error = "corrupt form template", false;
        break;
      }
      default:
        return error = "record type " + std::to_string(h[3]) + " is not supported in a module", false;
    }
  }
  if (!have_image) return error = "no module image", false;
  if (module_verify(m.image, m.strings) != 0) return error = "the module does not pass verification", false;
  return true;
}

// Consecutive varint strings of an area from `from` to `to`: offset -> text.
std::map<uint32_t, std::string> strings_of(std::span<const uint8_t> area, uint32_t from, uint32_t to) {
  std::map<uint32_t, std::string> out;
  uint32_t off = from;
  while (off < to) {
    std::string_view s;
    if (!module_string_at(area.first(to), off, s)) break;
    out[off] = std::string(s);
    off = uint32_t(reinterpret_cast<const uint8_t*>(s.data()) - area.data() + s.size());
  }
  return out;
}

// Decodes one instruction at `off`; false when it is not a usable opcode or
// its operands run past `end`.
bool decode(const std::vector<uint8_t>& img, uint32_t off, uint32_t end, Decoded& d) {
  if (off >= end) return false;
  d.offset = off;
  d.ext = img[off] == kExtPrefix;
  uint32_t p = off + 1;
  if (d.ext) {
    if (p >= end || img[p] >= kExtSlots) return false;
    d.slot = img[p++];
  } else {
    d.slot = img[off];
  }
  const OpcodeInfo& info = opcode_info(d.ext, d.slot);
  if (!opcode_has_function(info)) return false;
  for (char k : info.operands) {
    if (k == 'n') {
      if (p >= end) return false;
      p += 1 + 2u * img[p];
    } else {
      p += uint32_t(operand_width(*operand_kind(k)));
    }
    if (p > end) return false;
  }
  d.length = p - off;
  return true;
}

class Disassembler {
 public:
  explicit Disassembler(Module& m) : m_(m), img_(m.image) {}
  std::string run();

 private:
  Module& m_;
  const std::vector<uint8_t>& img_;
  std::ostringstream out_;
  std::map<uint32_t, std::string> strings_, constants_;
  std::map<uint32_t, std::string> code_names_;       // code start -> canonical name
  std::map<uint32_t, std::pair<int, int>> headers_;  // start -> locals, params
  std::set<uint32_t> boundaries_, labels_;
  std::map<std::string, uint16_t> first_callable_, first_var_, first_table_;
  uint32_t code_end_ = 0;

  LinkEntry link(uint32_t i) const {
    const uint8_t* p = img_.data() + le::get_u16(img_.data() + MH_LINKS) + kLinkEntrySize * i;
    return {le::get_u16(p), le::get_u16(p + 2), le::get_u16(p + 4), le::get_u16(p + 6)};
  }
  int last_link() const { return le::get_i16(img_.data() + MH_LAST_LINK); }
  std::string str(uint16_t off) const {
    std::string_view s;
    module_string_at(m_.strings, off, s);
    return std::string(s);
  }
  std::string constant(uint16_t off) const {
    std::string_view s;
    module_string_at(std::span<const uint8_t>(img_).subspan(le::get_u16(img_.data() + MH_CONSTANTS)), off, s);
    return std::string(s);
  }
  std::string operand(char kind, uint32_t& p, uint32_t proc_start);
  void form(const std::vector<TplModuleRecord>& recs, uint32_t r, int depth);
  void procedure(uint32_t start, uint32_t end);
};

std::string Disassembler::run() {
  const uint8_t* h = img_.data();
  uint32_t consts = le::get_u16(h + MH_CONSTANTS);
  uint32_t links = le::get_u16(h + MH_LINKS);
  uint32_t consts_end = last_link() >= int(kFirstLink) ? links : uint32_t(img_.size());
  if (consts_end < consts) consts_end = uint32_t(img_.size());
  code_end_ = consts;
  strings_ = strings_of(m_.strings, 1, uint32_t(m_.strings.size()));
  constants_ = strings_of(std::span<const uint8_t>(img_).subspan(consts), 0, consts_end - consts);

  // Code starts and their names.
  std::set<uint32_t> starts;
  for (uint32_t f : {MH_MAIN, MH_INIT, MH_LOAD})
    if (le::get_u16(h + f)) starts.insert(le::get_u16(h + f));
  std::set<std::string> taken;
  for (int i = int(kFirstLink); i <= last_link(); ++i) {
    LinkEntry l = link(uint32_t(i));
    uint32_t k = l.kind >= 128 ? l.kind - 128u : l.kind;
    if (l.kind > LK_TEMPLATE_LAST && (k == LK_PROC || k == LK_COMMAND || k == LK_PRIVATE_PROC || k == LK_BINDING))
      starts.insert(l.c);
    if (l.kind > LK_TEMPLATE_LAST && (k == LK_PROC || k == LK_COMMAND || k == LK_PRIVATE_PROC) &&
        !code_names_.count(l.c)) {
      std::string n = str(l.a);
      if (plain_name(n) && taken.insert(fold(n)).second) code_names_[l.c] = n;
    }
  }
  for (uint32_t s : starts)
    if (!code_names_.count(s)) code_names_[s] = tagged("P", s);

  // Instruction boundaries and jump targets.
  std::vector<uint32_t> sorted(starts.begin(), starts.end());
  for (size_t i = 0; i < sorted.size(); ++i) {
    uint32_t end = i + 1 < sorted.size() ? sorted[i + 1] : code_end_;
    Decoded d;
    for (uint32_t p = sorted[i] + kProcHeaderSize; p < end && decode(img_, p, end, d); p += d.length) {
      boundaries_.insert(p);
      const OpcodeInfo& info = opcode_info(d.ext, d.slot);
      uint32_t q = p + (d.ext ? 2 : 1);
      for (char k : info.operands) {
        if (k == 'j') labels_.insert(le::get_u16(img_.data() + q));
        q += k == 'n' ? 1 + 2u * img_[q] : uint32_t(operand_width(*operand_kind(k)));
      }
    }
  }

  out_ << "; zozu disassembly\n";
  if (m_.startup) out_ << ".startup\n";
  if (!strings_.empty()) {
    out_ << ".strings";
    for (auto& [off, s] : strings_) out_ << ' ' << quote(s);
    out_ << '\n';
  }
  if (!constants_.empty()) {
    out_ << ".constants";
    for (auto& [off, s] : constants_) out_ << ' ' << quote_constant(s);
    out_ << '\n';
  }
  for (int i = int(kFirstLink); i <= last_link(); ++i) {
    LinkEntry l = link(uint32_t(i));
    uint32_t k = l.kind >= 128 ? l.kind - 128u : l.kind;
    std::string name = l.kind <= LK_TEMPLATE_LAST || k == LK_TABLE ? constant(l.a) : str(l.a);
    bool simple = plain_name(name);
    auto raw = [&] { out_ << ".link " << l.kind << ' ' << l.a << ' ' << l.b << ' ' << l.c << '\n'; };
    if (l.kind <= LK_TEMPLATE_LAST) {
      std::string key = std::to_string(l.kind) + ":" + fold(name);
      if (!first_table_.count(key)) first_table_[key] = uint16_t(i);
      out_ << "useform " << l.kind << ' ' << quote(name) << '\n';
      continue;
    }
    switch (k) {
      case LK_PROC:
      case LK_COMMAND:
      case LK_PRIVATE_PROC: {
        if (!simple) {
          raw();
          break;
        }
        out_ << "declare " << (k == LK_PROC ? "proc " : k == LK_COMMAND ? "command " : "private ") << name;
        if (l.kind == LK_COMMAND_INFO) out_ << ' ' << quote(constant(l.b));
        if (fold(code_names_[l.c]) != fold(name)) out_ << " at " << code_names_[l.c];
        out_ << '\n';
        first_callable_.emplace(fold(name), uint16_t(i));
        break;
      }
      case LK_EXTERN:
        if (!simple) {
          raw();
          break;
        }
        out_ << "extern " << name << '\n';
        first_callable_.emplace(fold(name), uint16_t(i));
        break;
      case LK_GLOBAL:
      case LK_BUFLOCAL:
      case LK_PRIVATE_VAR:
        if (!simple) {
          raw();
          break;
        }
        out_ << (k == LK_GLOBAL ? "global " : k == LK_BUFLOCAL ? "bufvar " : "static ") << name;
        if (l.kind >= 128) out_ << " = " << quote(str(l.b));
        out_ << '\n';
        first_var_.emplace(fold(name), uint16_t(i));
        break;
      case LK_TABLE:
        out_ << "usetable " << quote(name) << '\n';
        first_table_.emplace("t:" + fold(name), uint16_t(i));
        break;
      case LK_BINDING:
        out_ << "bind " << quote(name) << ' ' << key_ref(l.b) << ' ' << code_names_[l.c] << '\n';
        break;
      default:
        raw();
    }
  }
  if (le::get_u16(h + MH_MAIN)) out_ << ".main " << code_names_[le::get_u16(h + MH_MAIN)] << '\n';
  if (le::get_u16(h + MH_INIT)) out_ << ".init " << code_names_[le::get_u16(h + MH_INIT)] << '\n';
  if (le::get_u16(h + MH_LOAD)) out_ << ".load " << code_names_[le::get_u16(h + MH_LOAD)] << '\n';

  for (auto& [name_off, form] : m_.tables) {
    out_ << "\ntable " << quote(str(uint16_t(name_off)));
    uint32_t parent = le::get_u32(form.data()) & 0xFFFF;
    if (parent == 0xFFFF)
      out_ << " inherits none";
    else if (parent)
      out_ << " inherits " << quote(str(uint16_t(parent)));
    out_ << '\n';
    for (int i = 0; i < kEventBindings; ++i) {
      uint32_t w = le::get_u32(form.data() + 4 + 4 * i);
      if (w == 0) continue;
      out_ << "  " << key_ref(uint32_t(i)) << ' ' << (w == 0xFFFF ? std::string("remove") : quote(str(uint16_t(w))))
           << '\n';
    }
    out_ << "end\n";
  }

  for (const auto& recs : m_.templates) form(recs, 0, 0);

  uint32_t first = sorted.empty() ? code_end_ : sorted.front();
  if (first > kModuleHeaderSize) {
    out_ << "\n.raw";
    for (uint32_t p = kModuleHeaderSize; p < first; ++p) {
      char b[4];
      std::snprintf(b, sizeof b, " %02x", img_[p]);
      out_ << b;
    }
    out_ << '\n';
  }
  for (size_t i = 0; i < sorted.size(); ++i) procedure(sorted[i], i + 1 < sorted.size() ? sorted[i + 1] : code_end_);
  return out_.str();
}

// A template record and, indented below it, its children in ring order.
void Disassembler::form(const std::vector<TplModuleRecord>& recs, uint32_t r, int depth) {
  const TplModuleRecord& m = recs[r];
  const std::string pad(size_t(depth) * 2, ' ');
  if (r == 0)
    out_ << "\nform " << quote(m.strings[2]) << " type " << m.block.type << '\n';
  else
    out_ << pad << "control " << m.block.type << ' ' << quote(m.strings[2]) << '\n';
  out_ << pad << "  words";
  for (uint32_t w : m.block.words) out_ << ' ' << w;
  out_ << '\n';
  if (m.block.link3) out_ << pad << "  link3 " << m.block.link3 << '\n';
  for (size_t k = 0; k < kTemplateStringProps.size(); ++k)
    if (k != 2 && !m.strings[k].empty())
      out_ << pad << "  prop " << prop_record(kTemplateStringProps[k]).name << ' ' << quote(m.strings[k]) << '\n';
  if (!m.table.empty()) out_ << pad << "  table " << quote(m.table) << '\n';
  if (!m.table2.empty()) out_ << pad << "  table2 " << quote(m.table2) << '\n';
  if (!m.picture.empty()) out_ << pad << "  picture " << quote(m.picture) << '\n';
  if (const uint32_t first = m.block.child) {
    uint32_t c = first;
    do {  // the reader checked the rings
      form(recs, c, depth + 1);
      c = recs[c].block.next;
    } while (c != first);
  }
  out_ << pad << "end\n";
}

std::string Disassembler::operand(char kind, uint32_t& p, uint32_t proc_start) {
  auto u16 = [&] {
    uint16_t v = le::get_u16(img_.data() + p);
    p += 2;
    return v;
  };
  int locals = headers_[proc_start].first, params = headers_[proc_start].second;
  switch (kind) {
    case 'c':
    case 'b':
    case 'p':
    case 'd':
    case 'z':
      return std::to_string(img_[p++]);
    case 'o': {
      uint8_t c = img_[p++];
      if (c > 32 && c < 127 && c != '"' && c != '\\' && c != ';') return std::string("\"") + char(c) + "\"";
      return std::to_string(c);
    }
    case 'u':
      return std::to_string(u16());
    case 'w':
      return std::to_string(int16_t(u16()));
    case 'k': {
      uint16_t v = u16();
      auto it = constants_.find(v);
      return it != constants_.end() ? quote_constant(it->second) : tagged("#", v);
    }
    case 'j': {
      uint16_t v = u16();
      return boundaries_.count(v) ? tagged("@L", v) : tagged("#", v);
    }
    case 'v': {
      uint16_t v = u16();
      if (v >= 9000 && (v - 9000) % 2 == 0 && (v - 9000) / 2 < params) return tagged("$p", (v - 9000) / 2);
      if (v >= 8001 && v < 8001 + locals) return tagged("$l", v - 8001);
      if (v >= kFirstLink && int(v) <= last_link()) {
        LinkEntry l = link(v);
        uint32_t k = l.kind >= 128 ? l.kind - 128u : l.kind;
        std::string name = str(l.a);
        bool shadowed = name.size() > 1 && (name[0] == 'p' || name[0] == 'l' || name[0] == 'P' || name[0] == 'L') &&
                        std::all_of(name.begin() + 1, name.end(), ::isdigit);
        if (l.kind > LK_TEMPLATE_LAST && (k == LK_GLOBAL || k == LK_BUFLOCAL || k == LK_PRIVATE_VAR) && !shadowed &&
            first_var_.count(fold(name)) && first_var_[fold(name)] == v)
          return "$" + name;
      }
      return tagged("#", v);
    }
    case 'l': {
      uint16_t v = u16();
      if (v >= kFirstLink && int(v) <= last_link()) {
        LinkEntry l = link(v);
        uint32_t k = l.kind >= 128 ? l.kind - 128u : l.kind;
        if (l.kind <= LK_TEMPLATE_LAST || k == LK_TABLE) {
          std::string name = constant(l.a);
          std::string key = (k == LK_TABLE && l.kind > LK_TEMPLATE_LAST ? std::string("t") : std::to_string(l.kind)) +
                            ":" + fold(name);
          if (first_table_.count(key) && first_table_[key] == v)
            return (k == LK_TABLE && l.kind > LK_TEMPLATE_LAST ? std::string("table:") : tagged("form", l.kind) + ":") +
                   quote(name);
        } else if (k == LK_PROC || k == LK_COMMAND || k == LK_PRIVATE_PROC || k == LK_EXTERN) {
          std::string name = str(l.a);
          if (first_callable_.count(fold(name)) && first_callable_[fold(name)] == v) return name;
        }
      }
      return tagged("#", v);
    }
  }
  return "?";
}

void Disassembler::procedure(uint32_t start, uint32_t end) {
  if (end < start + kProcHeaderSize) {
    out_ << "\n; " << code_names_[start] << ": header cut short\n";
    return;
  }
  int locals = img_[start], params = img_[start + 1];
  uint16_t mask = le::get_u16(img_.data() + start + 2);
  headers_[start] = {locals, params};
  out_ << "\ncode " << code_names_[start] << '(';
  for (int a = 0; a < params; ++a) {
    int bit = params - 1 - a;  // bit 0 = last parameter
    bool by_value = bit < 16 && (mask >> bit) & 1;
    out_ << (a ? ", " : "") << (by_value ? "" : "&") << 'p' << a;
  }
  out_ << ')';
  if (locals) out_ << " locals " << locals;
  out_ << '\n';
  uint32_t p = start + kProcHeaderSize;
  Decoded d;
  while (p < end && decode(img_, p, end, d)) {
    if (labels_.count(p)) out_ << "L" << p << ":\n";
    const OpcodeInfo& info = opcode_info(d.ext, d.slot);
    out_ << "  " << info.mnemonic;
    uint32_t q = p + (d.ext ? 2 : 1);
    bool first_op = true;
    for (char k : info.operands) {
      out_ << (first_op ? " " : ", ");
      first_op = false;
      if (k == 'n') {
        int n = img_[q++];
        out_ << '[';
        for (int i = 0; i < n; ++i) out_ << ' ' << operand('v', q, start);
        out_ << " ]";
      } else {
        out_ << operand(k, q, start);
      }
    }
    out_ << '\n';
    p += d.length;
  }
  if (p < end) {
    out_ << "  .raw";
    for (; p < end; ++p) {
      char b[4];
      std::snprintf(b, sizeof b, " %02x", img_[p]);
      out_ << b;
    }
    out_ << '\n';
  }
  out_ << "end\n";
}

}  // namespace

bool zozu_disassemble(const std::vector<uint8_t>& module, std::string& text, std::string& error) {
  Module m;
  if (!parse_file(module, m, error)) return false;
  Disassembler d(m);
  text = d.run();
  return true;
}
