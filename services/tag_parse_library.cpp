// The tag parser as the built-in library "cparse.dll": macros load it by
// that name and call its four entry points as they would a shared library's.
// Its receiver takes the editor API table as any library's init does and
// adapts the entries the parser uses to its own table; operations a window
// id names run with that window current.
#include <algorithm>
#include <cstring>

#include "base/lstr.h"
#include "macro/dll_port.h"
#include "services/tag_parse.h"

namespace {

const ApiVector* table = nullptr;

// Runs fn with the window of id `window` current (0: the current window),
// through the table's own push and pop; the push's error when it cannot.
template <class Fn>
int32_t in_window(int32_t window, Fn fn) {
  if (window == 0) return fn();
  alignas(8) char save[kDllSaveArea];
  if (const int32_t e = table->push_window(window, save); e != 0) return e;
  const int32_t r = fn();
  table->pop_window(save);
  return r;
}

int32_t export_fn(const char* d, const char* info, int32_t flags) { return table->declare(d, info, flags); }
int32_t get_property_int(int32_t window, int32_t property) { return table->get_property_int(window, property); }
int32_t set_property_int(int32_t window, int32_t property, int32_t value) {
  return table->set_property_int(window, property, value);
}
int32_t insert_line(int32_t window, const char* text, int32_t length) {
  return in_window(window, [&] { return table->insert_line(text, length); });
}
int32_t get_text(int32_t window, int32_t offset, int32_t count, char* out) {
  if (count > 0 && out) out[0] = '\0';  // left empty when the window cannot be made current
  return in_window(window, [&] { return table->get_text(offset, count, out); });
}
int32_t var_value(int32_t var, char* out, int32_t size) {
  const LStr* v = table->var_value(var);
  const int32_t len = v ? v->len : 0;
  if (size > 0) {
    const int32_t n = std::min(len, size - 1);
    if (n > 0) std::memcpy(out, v->bytes(), static_cast<size_t>(n));
    out[n] = '\0';
  }
  return len;
}
int32_t var_int(int32_t var) { return table->var_int(var); }
void var_set_cstr(int32_t var, const char* text) { table->var_set_cstr(var, text); }
int32_t arg(int32_t n) { return table->arg(n); }
int32_t file_open(const char* path, int32_t mode) { return table->file_open(path, mode); }
int32_t file_read(int32_t h, void* out, int32_t count) { return static_cast<int32_t>(table->file_read(h, out, count)); }
int32_t file_close(int32_t h) { return table->file_close(h); }

int init(const ApiVector* api) {
  table = api;
  TagEditorApi a;
  a.export_fn = export_fn;
  a.get_property_int = get_property_int;
  a.set_property_int = set_property_int;
  a.insert_line = insert_line;
  a.get_text = get_text;
  // The parser hands a found procedure's offset to the command line as
  // "seek N"; the editor's macros have no such command, so it goes without
  // (the table's command-line entry would only answer "Unknown command").
  a.var_value = var_value;
  a.var_int = var_int;
  a.var_set_cstr = var_set_cstr;
  a.arg = arg;
  a.file_open = file_open;
  a.file_read = file_read;
  a.file_close = file_close;
  tag_api_bind(a);
  return tag_register_prototypes();
}

void* proc(const char* name) {
  const TagEntry e = tag_library_proc(name);
  if (e.kind == TagEntryKind::Search) return reinterpret_cast<void*>(e.search);
  if (e.kind == TagEntryKind::List) return reinterpret_cast<void*>(e.list);
  return nullptr;
}

constexpr DllBuiltinLibrary kLibrary = {"cparse.dll", init, proc};

}  // namespace

// The extension-library layer finds the tag parser here by its file name.
const DllBuiltinLibrary* dll_builtin_library(std::string_view file_name) {
  return tag_library_names(file_name) ? &kLibrary : nullptr;
}
