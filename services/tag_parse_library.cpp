// The tag parser offered as the built-in library "cparse.dll" (see
// tag_parse_library.h). Its receiver takes the editor API table as any
// library's init does and adapts the words the parser uses to its own
// table; operations a window id names run with that window current.
#include "services/tag_parse_library.h"

#include <algorithm>
#include <cstring>

#include "base/lstr.h"
#include "macro/dll.h"
#include "services/tag_parse.h"
#include "text/buffer.h"

namespace {

const ApiVector* table = nullptr;

template <class F>
F word(int k) {
  return reinterpret_cast<F>(table->word[k]);
}

// Runs fn with the window of id `window` current (0: the current window);
// -2073 when no live window has that id.
template <class Fn>
int32_t in_window(int32_t window, Fn fn) {
  if (window == 0) return fn();
  WindowObject* w = window_record(window);
  if (!w) return -2073;
  WindowSave save{};
  window_push_current(w, save);
  const int32_t r = fn();
  window_pop_current(save);
  return r;
}

int32_t export_fn(const char* d, const char* info, int32_t flags) {
  return word<int (*)(const char*, const char*, int)>(0)(d, info, flags);
}
int32_t insert_line(int32_t window, const char* text, int32_t length) {
  return in_window(window, [&] { return word<int (*)(const char*, int)>(7)(text, length); });
}
int32_t get_text(int32_t window, int32_t offset, int32_t count, char* out) {
  return in_window(window, [&] { return word<int (*)(int, int, char*)>(9)(offset, count, out); });
}
int32_t var_value(int32_t var, char* out, int32_t size) {
  const LStr* v = word<const LStr* (*)(int)>(14)(var);
  const int32_t len = v ? v->len : 0;
  if (size > 0) {
    const int32_t n = std::min(len, size - 1);
    if (n > 0) std::memcpy(out, v->bytes(), static_cast<size_t>(n));
    out[n] = '\0';
  }
  return len;
}
int32_t var_int(int32_t var) { return word<int (*)(int)>(15)(var); }
void var_set_cstr(int32_t var, const char* text) { word<void (*)(int, const char*)>(18)(var, text); }
int32_t arg(int32_t n) { return word<int (*)(int)>(45)(n); }
int32_t file_open(const char* path, int32_t mode) { return word<int (*)(const char*, int)>(26)(path, mode); }
int32_t file_read(int32_t h, void* out, int32_t count) {
  return static_cast<int32_t>(word<long (*)(int, void*, long)>(28)(h, out, count));
}
int32_t file_close(int32_t h) { return word<int (*)(int)>(27)(h); }

int init(const ApiVector* api) {
  table = api;
  TagEditorApi a;
  a.export_fn = export_fn;
  a.insert_line = insert_line;
  a.get_text = get_text;
  a.var_value = var_value;
  a.var_int = var_int;
  a.var_set_cstr = var_set_cstr;
  a.arg = arg;
  a.file_open = file_open;
  a.file_read = file_read;
  a.file_close = file_close;
  // Properties and the prompt belong to window layers that do not fill the
  // table yet: the parser goes without them.
  tag_api_bind(a);
  return tag_register_prototypes();
}

void* proc(const char* name) {
  const TagEntry e = tag_library_proc(name);
  if (e.kind == TagEntryKind::Search) return reinterpret_cast<void*>(e.search);
  if (e.kind == TagEntryKind::List) return reinterpret_cast<void*>(e.list);
  return nullptr;
}

}  // namespace

void tag_library_register() {
  DllBuiltinLibrary lib;
  lib.file_name = "cparse.dll";
  lib.init = init;
  lib.proc = proc;
  dll_register_builtin(lib);
}
