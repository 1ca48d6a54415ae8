// The C, C++ and Java tag parser: the built-in library "cparse.dll".
//
// The parser walks the scanner's tokens with a handful of rules (top level,
// class bodies, aggregates, enumerations, typedefs, declarators and the
// "#define" handler) and writes each definition as a tag line
// "name(class:type)". It is a heuristic, not a compiler: everything between
// braces that is not a class body is skipped.
//
// Like any extension library it reaches the editor only through the editor
// API table, which the library's receiver (tag_api_bind) copies in when the
// library is first offered it. The four entry points take their arguments
// as the library call passes them: variable handles and ints as numbers,
// strings as NUL-terminated text.
#pragma once

#include <cstdint>
#include <string_view>

// The part of the editor API table the parser calls. Operations marked
// "window" take a window id first (0: the current window).
struct TagEditorApi {
  int32_t (*export_fn)(const char* declaration, const char* info, int32_t flags) = nullptr;
  int32_t (*get_property_int)(int32_t handle, int32_t property) = nullptr;
  int32_t (*set_property_int)(int32_t handle, int32_t property, int32_t value) = nullptr;
  // window; the line goes after the cursor line.
  int32_t (*insert_line)(int32_t window, const char* text, int32_t length) = nullptr;
  // window; count bytes of the buffer text from a byte offset; count or code.
  int32_t (*get_text)(int32_t window, int32_t offset, int32_t count, char* out) = nullptr;
  // window; the command-line prompt given a text and options.
  int32_t (*prompt)(int32_t window, const char* text, const char* options) = nullptr;
  // The value of a variable, copied into out (at most size - 1 bytes); its length.
  int32_t (*var_value)(int32_t var, char* out, int32_t size) = nullptr;
  int32_t (*var_int)(int32_t var) = nullptr;
  void (*var_set_cstr)(int32_t var, const char* text) = nullptr;
  // n >= 1: the variable handle of argument n; n < 1: the argument count.
  int32_t (*arg)(int32_t n) = nullptr;
  int32_t (*file_open)(const char* path, int32_t mode) = nullptr;
  int32_t (*file_read)(int32_t handle, void* out, int32_t count) = nullptr;
  int32_t (*file_close)(int32_t handle) = nullptr;
};

// The library's receiver: keeps a copy of the table. Returns 0.
int32_t tag_api_bind(const TagEditorApi& api);

// Entry points.
int32_t c_proc_search(int32_t name_var, int32_t find_first, int32_t unused_var);
int32_t java_proc_search(int32_t name_var, int32_t find_first, int32_t unused_var);
int32_t zxc_list_tags(int32_t window, const char* file, const char* unused);
int32_t zxjava_list_tags(int32_t window, const char* file, const char* unused);

// Declares the four functions through the table's export operation; the
// first non-zero result, else 0.
int32_t tag_register_prototypes();

// The library layer's view of the built-in library: whether a file name
// (any directory, any case) names it, and its entry points by name (any
// case); null for any other name.
bool tag_library_names(std::string_view file_name);
enum class TagEntryKind : uint8_t { None, Search, List };
struct TagEntry {
  TagEntryKind kind = TagEntryKind::None;
  int32_t (*search)(int32_t, int32_t, int32_t) = nullptr;
  int32_t (*list)(int32_t, const char*, const char*) = nullptr;
};
TagEntry tag_library_proc(std::string_view name);

// Sets up a configuration as the parser does (the C or the Java keyword
// table), with the given "#define" handler. 0, or 1 when memory runs out.
struct TokenScanner;
class TagScan;
int tag_scan_config(TokenScanner& cfg, bool java, void (*define)(TagScan&, void*));

// Forgets both configurations and the scan (tests; the next call sets up again).
void tag_parser_reset();

// Tag type names by index.
inline constexpr std::string_view kTagTypeNames[] = {"define", "enum", "enumc",  "class",   "proto",
                                                     "proc",   "gvar", "struct", "typedef", "union"};
