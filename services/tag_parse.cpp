// The tag parser's rules and entry points. Start reading at walk_top_level;
// every rule works on the current token and leaves the next one current.
#include "services/tag_parse.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <new>
#include <string>
#include <vector>

#include "services/tag_scan.h"

namespace {

// Token codes of the keyword rows.
enum : int32_t {
  kTypedef = 10,
  kClass = 11,
  kStruct = 12,
  kEnum = 13,
  kOperator = 14,
  kUnion = 15,
  kExtern = 16,
  kConst = 17,
  kLBrace = 20,
  kRBrace = 21,
  kLParen = 22,
  kRParen = 23,
  kSemi = 25,
  kScope = 26,
  kLBracket = 27,
  kRBracket = 28,
  kComma = 29,
  kTilde = 30,
  kStar = 40,
  kAssign = 41,
  kPackage = 51,
  kImport = 52,
  kPublic = 53,
  kFinal = 54,
  kDefine = 60,
  kIf = 70,
  kFor = 71,
  kWhile = 72,
  kSwitch = 73,
};

enum TagType : int {
  kTagDefine,
  kTagEnum,
  kTagEnumc,
  kTagClass,
  kTagProto,
  kTagProc,
  kTagGvar,
  kTagStruct,
  kTagTypedef,
  kTagUnion
};

// columns: text, code, kind. The Java words stand after "const".
constexpr KeywordRow kJavaRows[] = {
    {"typedef", kTypedef, KeywordKind::Word},
    {"class", kClass, KeywordKind::Word},
    {"enum", kEnum, KeywordKind::Word},
    {"struct", kStruct, KeywordKind::Word},
    {"operator", kOperator, KeywordKind::Word},
    {"union", kUnion, KeywordKind::Word},
    {"extern", kExtern, KeywordKind::Word},
    {"const", kConst, KeywordKind::Word},
    {"package", kPackage, KeywordKind::Word},
    {"import", kImport, KeywordKind::Word},
    {"public", kPublic, KeywordKind::Word},
    {"final", kFinal, KeywordKind::Word},
    {"{", kLBrace, KeywordKind::Operator},
    {"}", kRBrace, KeywordKind::Operator},
    {"(", kLParen, KeywordKind::Operator},
    {")", kRParen, KeywordKind::Operator},
    {";", kSemi, KeywordKind::Operator},
    {"::", kScope, KeywordKind::Operator},
    {"[", kLBracket, KeywordKind::Operator},
    {"]", kRBracket, KeywordKind::Operator},
    {",", kComma, KeywordKind::Operator},
    {"~", kTilde, KeywordKind::Operator},
    {"*", kStar, KeywordKind::Operator},
    {"=", kAssign, KeywordKind::Operator},
    {"#define", kDefine, KeywordKind::Directive},
    {"if", kIf, KeywordKind::Word},
    {"for", kFor, KeywordKind::Word},
    {"while", kWhile, KeywordKind::Word},
    {"switch", kSwitch, KeywordKind::Word},
};
constexpr int kJavaRowCount = 29;
constexpr int kJavaOnlyFirst = 8, kJavaOnlyCount = 4;
static_assert(sizeof kJavaRows / sizeof kJavaRows[0] == kJavaRowCount);

constexpr uint32_t kTagScanOptions = 0x2000433;
constexpr int kWantedNameMax = 49;
constexpr int kWantedClassTypeMax = 99;
constexpr int kValueMax = 255;

struct Parser {
  TagEditorApi api;
  bool search = false;
  bool found = false;
  std::string wanted_name, wanted_ct, result;
  int64_t reader_offset = 0;
  int32_t output_window = 0;
  int32_t file = -1;
  TokenScanner c_cfg, java_cfg;
  TokenScanner* active = &c_cfg;
  bool java = false;
  TagScan scan;
  std::vector<std::string> pending;  // list lines, inserted once the scan is done
};

Parser& parser() {
  static Parser p;
  return p;
}

// ------------------------------------------------------------------ emitting

void tag_emit(Parser& P, int32_t line, const std::string& name, int type, const std::string* cls, int64_t offset) {
  std::string ct;
  if (cls) ct = *cls + ":";
  ct += kTagTypeNames[type];
  if (!P.search) {
    P.pending.push_back((P.output_window ? " " : "") + name + "(" + ct + ")");
    return;
  }
  if (P.found) return;
  if (!P.wanted_name.empty() && P.wanted_name != name) return;
  if (!P.wanted_ct.empty() && P.wanted_ct != ct) return;
  if (type == kTagProc && offset >= 0) {
    const std::string cmd = "seek " + std::to_string(offset);
    if (P.api.prompt) P.api.prompt(0, cmd.c_str(), "");
  } else if (P.api.set_property_int) {
    P.api.set_property_int(0, 107, line);
    P.api.set_property_int(0, 109, 1);
  }
  P.result = name + "(" + ct + ")";
  P.found = true;
}

// ------------------------------------------------------------------ skipping

int32_t tok(Parser& P) { return P.scan.token(); }
int32_t next(Parser& P) { return P.scan.next(); }
std::string text(Parser& P) { return std::string(P.scan.text()); }

// From a "{" to its matching "}" (left current); a "}" in the first column
// ends the block whatever the depth.
void skip_block(Parser& P) {
  int depth = 1;
  for (;;) {
    const int32_t t = next(P);
    if (t == kTokEnd) return;
    if (t == kLBrace) ++depth;
    if (t == kRBrace && (--depth == 0 || P.scan.first_column())) return;
  }
}

// From a "(" to its matching ")" (left current); stops early at "{", "}"
// or the end.
void skip_parens(Parser& P) {
  int depth = 1;
  for (;;) {
    const int32_t t = next(P);
    if (t == kTokEnd || t == kLBrace || t == kRBrace) return;
    if (t == kLParen) ++depth;
    if (t == kRParen && --depth == 0) return;
  }
}

void skip_brackets(Parser& P) {
  int depth = 1;
  for (;;) {
    const int32_t t = next(P);
    if (t == kTokEnd || t == kLBrace || t == kRBrace) return;
    if (t == kLBracket) ++depth;
    if (t == kRBracket && --depth == 0) return;
  }
}

int32_t skip_to(Parser& P, int32_t a, int32_t b = -1) {
  int32_t t = tok(P);
  while (t != a && t != b && t != kTokEnd) t = next(P);
  return t;
}

// The name of an operator after "operator" (consumed when understood).
std::string operator_name(Parser& P) {
  const int32_t t = tok(P);
  if (t == kLBracket) {
    if (next(P) == kRBracket) next(P);
    return "[]";
  }
  if (t == kTokChar) {
    const char c = static_cast<char>(P.scan.token_char());
    next(P);
    return std::string(1, c);
  }
  if (t == kStar || t == kAssign) {
    next(P);
    return t == kStar ? "*" : "=";
  }
  return "?operator?";
}

bool is_base_type(const std::string& n) { return n == "char" || n == "long" || n == "int" || n == "unsigned"; }

// ------------------------------------------------------------------ rules

// One declaration of one or more declarators, from its first token.
void declaration(Parser& P, int type, const std::string* cls_in) {
  const int64_t offset = tok(P) == kTokIdent ? P.scan.token_offset() : -1;
  for (;;) {
    int depth = 0;
    bool base = false, tilde = false, after_parens = false;
    std::string F, V, cls = cls_in ? *cls_in : std::string();
    bool has_cls = cls_in != nullptr;
    int32_t fline = 0, vline = 0;
    int32_t t = tok(P);
    // 1. the declarator
    for (;;) {
      if (t == kTokEnd) return;
      if (t == kTilde) {
        tilde = true;
        t = next(P);
        continue;
      }
      const bool op = t == kOperator && depth == 0 && !base;
      if (t == kTokIdent || op) {
        const std::string name = text(P);
        const int32_t nline = P.scan.line();
        t = next(P);
        if (op) {
          F = operator_name(P);
          fline = nline;
          t = tok(P);
          continue;
        }
        if (t == kLParen && depth == 0 && !base) {
          if (is_base_type(name)) {
            base = true;
          } else {
            F = (tilde ? "~" : "") + name;
            fline = nline;
          }
          continue;
        }
        if (F.empty() && (t == kSemi || t == kLBracket || t == kRParen || t == kComma || t == kAssign)) {
          V = name;
          vline = nline;
          break;
        }
        if (t == kScope && depth == 0 && !has_cls) {
          cls = name;
          has_cls = true;
          t = next(P);
          if (t == kTilde) {
            tilde = true;
            t = next(P);
          }
          if (t == kTokIdent || t == kOperator) {
            std::string fn;
            const int32_t fl = P.scan.line();
            if (t == kTokIdent) {
              fn = text(P);
              t = next(P);
            } else {
              next(P);
              fn = operator_name(P);
              t = tok(P);
            }
            if (t == kLParen) {
              F = (tilde ? "~" : "") + fn;
              fline = fl;
              break;
            }
          }
          cls.clear();
          has_cls = false;
        }
        continue;
      }
      if (t == kLParen) {
        ++depth;
      } else if (t == kRParen) {
        if (depth == 1 && !F.empty()) {
          after_parens = true;
          break;
        }
        if (depth > 0) --depth;
      } else if (t == kLBrace) {
        skip_block(P);
        next(P);
        return;
      } else if (t == kSemi) {
        next(P);
        return;
      }
      t = next(P);
    }
    // 2. after the declarator
    for (;;) {
      if (after_parens) {
        after_parens = false;
        t = next(P);
        if (t == kConst) t = next(P);
        if (t == kLParen) {  // F named a pointer to a function
          F.clear();
          continue;
        }
        if (t == kAssign || t == kComma || t == kSemi) break;
        V.clear();  // old-style parameter declarations, or words after the list
        t = skip_to(P, kLBrace);
        if (t == kTokEnd) return;
        break;
      }
      t = tok(P);
      if (t == kTokEnd) return;
      if (t == kLParen) {
        skip_parens(P);
        if (tok(P) != kRParen) return;
        if (!F.empty()) {
          after_parens = true;
          continue;
        }
      } else if (t == kLBracket) {
        skip_brackets(P);
        if (tok(P) != kRBracket) continue;
      } else if (t == kLBrace) {
        skip_block(P);
        if (tok(P) != kRBrace) continue;
      } else if (t == kComma || t == kSemi || t == kRBrace) {
        break;
      }
      next(P);
    }
    // 3. emit
    const std::string* c = has_cls ? &cls : nullptr;
    if (F.empty()) {
      if (!V.empty() && !c) tag_emit(P, vline, V, type, nullptr, offset);
    } else if (tok(P) == kLBrace) {
      tag_emit(P, fline, F, type == kTagTypedef ? kTagTypedef : kTagProc, c, offset);
      skip_block(P);
    } else {
      tag_emit(P, fline, F, type == kTagTypedef ? kTagTypedef : kTagProto, c, offset);
      if (tok(P) == kAssign && next(P) == kLBrace) skip_block(P);
    }
    // 4. the next declarator, or the end
    t = tok(P);
    if (t == kTokEnd) return;
    next(P);
    if (t == kSemi || t == kRBrace) return;
  }
}

void enum_rule(Parser& P, const std::string* cls) {
  int32_t t = next(P);
  if (t == kTokIdent) {
    tag_emit(P, P.scan.line(), text(P), kTagEnum, cls, -1);
    t = next(P);
  }
  if (t != kLBrace) return;
  for (;;) {
    t = next(P);
    if (t == kTokIdent) tag_emit(P, P.scan.line(), text(P), kTagEnumc, cls, -1);
    while (t != kComma && t != kRBrace && t != kTokEnd) {
      if (t == kLParen) {
        skip_parens(P);
        if (tok(P) != kRParen) break;
      }
      t = next(P);
    }
    t = tok(P);
    if (t == kComma) continue;
    if (t == kRBrace) next(P);
    return;
  }
}

void aggregate_rule(Parser& P, int type, bool is_typedef) {
  const int dtype = is_typedef ? kTagTypedef : kTagGvar;
  int32_t t = next(P);
  std::string tag;
  int32_t tline = 0;
  if (t == kTokIdent) {
    tag = text(P);
    tline = P.scan.line();
    t = next(P);
    if (t == kTokIdent) {
      declaration(P, dtype, nullptr);
      return;
    }
  }
  if (t == kStar || t == kLParen) {
    declaration(P, dtype, nullptr);
    return;
  }
  t = skip_to(P, kLBrace, kSemi);
  if (t == kLBrace) {
    skip_block(P);
    if (tok(P) == kRBrace) {
      next(P);
      declaration(P, dtype, nullptr);
    }
  }
  if (!tag.empty()) tag_emit(P, tline, tag, type, nullptr, -1);
}

void skip_nested_aggregate(Parser& P) {
  if (skip_to(P, kLBrace) == kLBrace) skip_block(P);
  if (tok(P) == kRBrace) next(P);
  skip_to(P, kSemi);
}

void class_rule(Parser& P) {
  int32_t t = next(P);
  if (t != kTokIdent) {
    skip_nested_aggregate(P);
    return;
  }
  const std::string name = text(P);
  tag_emit(P, P.scan.line(), name, kTagClass, nullptr, -1);
  next(P);
  t = skip_to(P, kLBrace, kSemi);
  if (t != kLBrace || P.found) return;
  t = next(P);
  while (!P.found) {
    if (t == kTokEnd) return;
    if (t == kRBrace) {
      next(P);
      return;
    }
    if (t == kTokIdent || t == kTilde) {
      declaration(P, kTagGvar, &name);
    } else if (t == kClass || t == kStruct || t == kUnion) {
      skip_nested_aggregate(P);
    } else if (t == kEnum) {
      enum_rule(P, &name);
      skip_to(P, kSemi);
    } else if (t == kOperator) {
      if (skip_to(P, kLBrace, kSemi) == kLBrace) {
        skip_block(P);
        if (tok(P) == kRBrace) next(P);
      }
    } else if (t == kLBrace) {
      skip_block(P);
      if (tok(P) == kRBrace) next(P);
    } else {
      next(P);
    }
    t = tok(P);
  }
}

void typedef_rule(Parser& P) {
  const int32_t t = next(P);
  if (t == kStruct || t == kUnion || t == kClass) {
    aggregate_rule(P, t == kStruct ? kTagStruct : t == kUnion ? kTagUnion : kTagClass, true);
  } else if (t == kEnum) {
    enum_rule(P, nullptr);
    declaration(P, kTagTypedef, nullptr);
  } else {
    next(P);
    declaration(P, kTagTypedef, nullptr);
  }
}

void walk_top_level(Parser& P) {
  while (!P.found) {
    switch (tok(P)) {
      case kTokEnd:
        return;
      case kTokIdent:
        declaration(P, kTagGvar, nullptr);
        break;
      case kTypedef:
        typedef_rule(P);
        break;
      case kClass:
        class_rule(P);
        break;
      case kStruct:
        aggregate_rule(P, kTagStruct, false);
        break;
      case kUnion:
        aggregate_rule(P, kTagUnion, false);
        break;
      case kEnum:
        enum_rule(P, nullptr);
        declaration(P, kTagGvar, nullptr);
        break;
      case kExtern:
        if (next(P) == kTokLiteral && next(P) == kLBrace) next(P);
        break;
      case kLBrace:
        skip_block(P);
        if (tok(P) == kRBrace) next(P);
        break;
      case kLParen:
        skip_parens(P);
        if (tok(P) == kRParen) next(P);
        break;
      case kPackage:
      case kImport:
        skip_to(P, kSemi);
        break;
      default:
        next(P);
        break;
    }
  }
}

// The "#define" handler: tags the macro's name, then reads the rest of the
// definition, continued over lines that end in a backslash, through its
// line end.
void define_handler(TagScan& scan, void* user) {
  Parser& P = *static_cast<Parser*>(user);
  const bool old_mode = scan.set_line_mode(true);
  int32_t t = scan.next();
  if (t == kTokIdent) {
    tag_emit(P, scan.line(), std::string(scan.text()), kTagDefine, nullptr, -1);
    t = scan.next();
  }
  const uint8_t directive = scan.directive_char();
  scan.set_directive_char(0);
  while (t != kTokLineEnd && t != kTokEnd) {
    if (t == kTokChar && scan.token_char() == '\\' && (scan.peek_byte() == '\n' || scan.peek_byte() == '\r'))
      scan.next();  // the continued line end
    t = scan.next();
  }
  scan.set_directive_char(directive);
  scan.set_line_mode(old_mode);
}

// ------------------------------------------------------------------ set-up and readers

int32_t set_up(Parser& P) {
  TokenScanner& cfg = *P.active;
  if (cfg.set_up()) return 0;
  if (tag_scan_config(cfg, P.java, define_handler)) {
    cfg = TokenScanner{};
    return -2029;
  }
  return 0;
}

int32_t buffer_reader(void* handle, uint8_t* dst, int32_t cap) {
  Parser& P = *static_cast<Parser*>(handle);
  if (!P.api.get_text || P.reader_offset > INT32_MAX) return 0;
  const int32_t n = P.api.get_text(0, static_cast<int32_t>(P.reader_offset), cap, reinterpret_cast<char*>(dst));
  if (n <= 0) return 0;
  P.reader_offset += n;
  return n;
}

int32_t file_reader(void* handle, uint8_t* dst, int32_t cap) {
  Parser& P = *static_cast<Parser*>(handle);
  return P.api.file_read ? P.api.file_read(P.file, dst, cap) : 0;
}

void start_scan(Parser& P, ScanReader reader) {
  P.scan.set_user(&P);
  P.scan.start(P.active, reader, &P);
}

int32_t proc_search(Parser& P, int32_t name_var, int32_t find_first) {
  if (!P.active->set_up()) find_first = 1;
  const int32_t argc = P.api.arg ? P.api.arg(0) : 3;
  int64_t start = 0;
  if (find_first && argc > 3 && P.api.var_int) start = P.api.var_int(P.api.arg(4));
  if (start < 0) start = 0;
  P.search = true;
  P.found = false;
  P.result.clear();
  if (find_first) {
    P.reader_offset = start;
    if (set_up(P)) return -2029;
    start_scan(P, buffer_reader);
    if (argc > 3) {
      if (P.api.get_property_int) P.scan.set_line(P.api.get_property_int(0, 107));
      P.scan.set_base_offset(start);
    }
  }
  char value[kValueMax + 1] = {};
  int32_t len = P.api.var_value ? P.api.var_value(name_var, value, sizeof value) : 0;
  len = len < 0 ? 0 : len > kValueMax ? kValueMax : len;
  const std::string v(value, static_cast<size_t>(len));
  const size_t open = v.find('(');
  if (open == std::string::npos) {
    P.wanted_name = v.substr(0, kWantedNameMax);
    P.wanted_ct.clear();
  } else {
    const size_t close = v.find(')', open + 1);
    if (close == std::string::npos) return -3022;
    P.wanted_name = v.substr(0, std::min<size_t>(open, kWantedNameMax));
    P.wanted_ct = v.substr(open + 1, std::min<size_t>(close - open - 1, kWantedClassTypeMax));
  }
  if (find_first) P.scan.first();
  walk_top_level(P);
  if (!P.found) return -3022;
  if (P.api.var_set_cstr) P.api.var_set_cstr(name_var, P.result.c_str());
  return 0;
}

int32_t list_tags(Parser& P, int32_t window, const char* file) {
  P.search = false;
  P.output_window = 0;
  if (set_up(P)) return -2029;
  P.found = false;
  P.pending.clear();
  const bool from_file = file && *file;
  if (from_file) {
    const int32_t h = P.api.file_open ? P.api.file_open(file, 0) : -2;
    if (h < 0) return h;
    P.file = h;
    start_scan(P, file_reader);
  } else {
    P.output_window = window;
    P.reader_offset = 0;
    start_scan(P, buffer_reader);
  }
  P.scan.first();
  walk_top_level(P);
  if (from_file) {
    if (P.api.file_close) P.api.file_close(P.file);
    P.file = -1;
  }
  // Inserted only now: lines put into the buffer being read would move the
  // text under the reader.
  if (P.api.insert_line)
    for (const auto& line : P.pending)
      P.api.insert_line(P.output_window, line.c_str(), static_cast<int32_t>(line.size()));
  P.pending.clear();
  return 0;
}

// Runs fn with the Java configuration current, then brings C back.
template <class Fn>
int32_t with_java(Fn fn) {
  Parser& P = parser();
  P.active = &P.java_cfg;
  P.java = true;
  const int32_t r = fn(P);
  P.active = &P.c_cfg;
  P.java = false;
  return r;
}

}  // namespace

// ------------------------------------------------------------------ entry points

int32_t tag_api_bind(const TagEditorApi& api) {
  parser().api = api;
  return 0;
}

int32_t c_proc_search(int32_t name_var, int32_t find_first, int32_t) {
  return proc_search(parser(), name_var, find_first);
}

int32_t java_proc_search(int32_t name_var, int32_t find_first, int32_t) {
  return with_java([&](Parser& P) { return proc_search(P, name_var, find_first); });
}

int32_t zxc_list_tags(int32_t window, const char* file, const char*) { return list_tags(parser(), window, file); }

int32_t zxjava_list_tags(int32_t window, const char* file, const char*) {
  return with_java([&](Parser& P) { return list_tags(P, window, file); });
}

int32_t tag_register_prototypes() {
  static const char* const kDeclarations[] = {
      "int c_proc_search(ZXHREFVAR,int,ZXHVAR)",
      "int zxc_list_tags(int,ZXPSZ,ZXPSZ)",
      "int java_proc_search(ZXHREFVAR,int,ZXHVAR)",
      "int zxjava_list_tags(int,ZXPSZ,ZXPSZ)",
  };
  const auto& api = parser().api;
  if (!api.export_fn) return 0;
  for (const char* d : kDeclarations)
    if (const int32_t r = api.export_fn(d, nullptr, 0)) return r;
  return 0;
}

namespace {
bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}
}  // namespace

bool tag_library_names(std::string_view file_name) {
  const size_t slash = file_name.find_last_of('/');
  if (slash != std::string_view::npos) file_name.remove_prefix(slash + 1);
  return same_ignoring_case(file_name, "cparse.dll");
}

TagEntry tag_library_proc(std::string_view name) {
  TagEntry e;
  if (same_ignoring_case(name, "c_proc_search")) e = {TagEntryKind::Search, c_proc_search, nullptr};
  if (same_ignoring_case(name, "java_proc_search")) e = {TagEntryKind::Search, java_proc_search, nullptr};
  if (same_ignoring_case(name, "zxc_list_tags")) e = {TagEntryKind::List, nullptr, zxc_list_tags};
  if (same_ignoring_case(name, "zxjava_list_tags")) e = {TagEntryKind::List, nullptr, zxjava_list_tags};
  return e;
}

int tag_scan_config(TokenScanner& cfg, bool java, DirectiveHandler define) {
  if (scan_init(cfg, true, "a-zA-Z_$", "0-9")) return 1;
  scan_set_options(cfg, kTagScanOptions);
  scan_set_directive_handler(cfg, '#', define);
  int fault = 0;
  if (java) {
    fault = scan_add_keywords(cfg, kJavaRows, kJavaRowCount);
  } else {
    fault = scan_add_keywords(cfg, kJavaRows, kJavaOnlyFirst) |
            scan_add_keywords(cfg, kJavaRows + kJavaOnlyFirst + kJavaOnlyCount,
                              kJavaRowCount - kJavaOnlyFirst - kJavaOnlyCount);
  }
  return fault | scan_add_block_comment(cfg, "/*", "*/", false) | scan_add_line_comment(cfg, "//");
}

void tag_parser_reset() {
  Parser& P = parser();
  const TagEditorApi api = P.api;
  P.~Parser();
  new (&P) Parser();
  P.api = api;
}
