// Extension libraries. Start reading at dll_declare (the declaration parser),
// then dll_load (a built-in library or dlopen, and the library's init), then
// dll_call (argument conversion, the thunk, the result); the API table
// (kApi) is at the end.
#include "macro/dll.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/bi_edit.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/dll_port.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/curline.h"

namespace {

constexpr std::string_view kTypeWords[] = {"void", "int", "long", "ZXPSZ", "ZXPLSTR", "ZXHVAR", "ZXHREFVAR"};

// Library handles by DLL-module index, function addresses by function index.
std::map<uint32_t, void*> libraries;
std::map<uint32_t, void*> functions;
uint32_t loading_module = 0;
// The modules loaded from libraries built into the program.
std::map<uint32_t, DllBuiltinLibrary> builtin_of;

std::string trim(std::string_view s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  const size_t b = s.find_last_not_of(" \t");
  return std::string(s.substr(a, b - a + 1));
}

std::vector<std::string> words(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

int32_t fatal(ErrorCode code, std::string_view arg) {
  msg_arg.assign(arg);
  vm_raise_fatal(code);
  return code;
}

std::string leaf(std::string_view file) {
  const size_t slash = file.rfind('/');
  return std::string(slash == std::string_view::npos ? file : file.substr(slash + 1));
}

void forget_functions(uint32_t module) {
  for (uint32_t i = 1; i < 32768; ++i) {
    const NameEntry* e = name_entry(i);
    if (!e) continue;
    if ((e->flags & NF_DLL_FUNC) && (e->data >> 16) == module) {
      functions.erase(i);
      name_delete(i, true);
    }
  }
}

void release(uint32_t module) {
  builtin_of.erase(module);
  if (auto it = libraries.find(module); it != libraries.end()) {
    dlclose(it->second);
    libraries.erase(it);
  }
  if (NameEntry* e = name_entry(module)) e->data = 0;
}

// Runs a library's init with the API table, its declarations going to the
// module.
template <class Init>
void run_init(uint32_t module, Init init) {
  const uint32_t saved = loading_module;
  loading_module = module;
  init(&dll_api_table());
  loading_module = saved;
}

// Loads the library of a DLL module (a built-in one by its name, else with
// dlopen) and runs its init with the API table. 0 or -2.
int32_t open_library(uint32_t module, const std::string& file) {
  if (const DllBuiltinLibrary* b = dll_builtin_library(file)) {
    builtin_of[module] = *b;
    if (NameEntry* e = name_entry(module)) e->data = 1;
    if (b->init) run_init(module, b->init);
    return 0;
  }
  void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) return -2;
  libraries[module] = h;
  if (NameEntry* e = name_entry(module)) e->data = 1;
  using Init = int (*)(const ApiVector*);
  if (auto init = reinterpret_cast<Init>(dlsym(h, "zvx_dll_init"))) run_init(module, init);
  return 0;
}

// ---- calls -------------------------------------------------------------------

using Word = intptr_t;

template <size_t... I>
Word call_with(void* f, const Word* a, std::index_sequence<I...>) {
  using Fn = Word (*)(decltype(I, Word{})...);
  return reinterpret_cast<Fn>(f)(a[I]...);
}

template <size_t... N>
constexpr auto make_thunks(std::index_sequence<N...>) {
  using Thunk = Word (*)(void*, const Word*);
  return std::array<Thunk, sizeof...(N)>{
      [](void* f, const Word* a) { return call_with(f, a, std::make_index_sequence<N>{}); }...};
}
// One thunk per parameter count 0..14.
constexpr auto kThunks = make_thunks(std::make_index_sequence<kDllMaxParams + 1>{});

// The slot word of the argument at stack index i (from the first argument).
uint32_t slot_word(int32_t stack_index) {
  return var_slots.slots[static_cast<size_t>(var_slots.local_base + stack_index)];
}

}  // namespace

uint8_t dll_type_index(std::string_view word) {
  for (uint8_t i = 0; i < 7; ++i)
    if (kTypeWords[i] == word) return i;
  return DT_UNKNOWN;
}

int32_t dll_declare(const char* declaration, const char* info, int32_t flags) {
  const std::string_view d = declaration ? declaration : "";
  const size_t open = d.find('(');
  std::vector<std::string> head = words(d.substr(0, open));
  if (head.empty()) return fatal(-3064, "dllexport");
  std::string name = head.back();
  head.pop_back();
  bool command = false;
  uint8_t ret = DT_VOID;
  for (const std::string& w : head) {
    if (w == "_command") {
      command = true;
      continue;
    }
    ret = dll_type_index(w);
    if (ret == DT_UNKNOWN) return fatal(-3061, d);
  }
  std::vector<uint8_t> params;
  if (open != std::string_view::npos) {
    std::string_view list = d.substr(open + 1);
    while (!list.empty()) {
      const size_t end = list.find_first_of(",)");
      const std::string item = trim(list.substr(0, end));
      if (item.empty()) break;
      const uint8_t t = dll_type_index(words(item).front());
      if (t == DT_UNKNOWN) return fatal(-3061, d);
      if (params.size() == kDllMaxParams) return fatal(-3064, "dllexport");
      params.push_back(t);
      if (end == std::string_view::npos || list[end] == ')') break;
      list.remove_prefix(end + 1);
    }
  }
  // The library: a "lib:" prefix, else the one being loaded.
  uint32_t module = loading_module;
  if (const size_t colon = name.find(':'); colon != std::string::npos) {
    std::string lib = name.substr(0, colon);
    name = name.substr(colon + 1);
    if (lib.find('.') == std::string::npos) lib += ".dll";
    module = name_find(lib, NF_DLL_MODULE);
    if (!module) {
      NameEntry img;
      img.flags = NF_DLL_MODULE;
      const int32_t m = name_insert(lib, img);
      if (m < 0) return fatal(-3002, lib);
      module = static_cast<uint32_t>(m);
    }
  }
  std::optional<std::string> info_text;
  if ((info && *info) || flags) info_text = std::string(info ? info : "") + "," + std::to_string(flags);
  if (!command) info_text.reset();
  const uint32_t kind = (command ? NF_COMMAND : NF_PROC) | NF_DLL_FUNC;
  std::string rec;
  rec += static_cast<char>(params.size());
  rec += static_cast<char>(ret);
  for (uint8_t t : params) rec += static_cast<char>(t);
  const uint16_t rec_id = namepool::put(rec);
  if (!rec_id) return fatal(-3002, name);
  int32_t index = static_cast<int32_t>(name_find(name, NF_CALLABLE));
  if (!index) {
    NameEntry img;
    img.flags = kind;
    index = info_text ? name_insert(name, img, *info_text) : name_insert(name, img);
    if (index < 0) {
      namepool::drop(rec_id);
      return fatal(-3002, name);
    }
  } else {
    name_set_info(static_cast<uint32_t>(index), info_text);
  }
  NameEntry* e = name_entry(static_cast<uint32_t>(index));
  if ((e->flags & NF_DLL_FUNC) && e->stored) namepool::drop(static_cast<uint16_t>(e->stored));
  e->flags = kind | (info_text ? static_cast<uint32_t>(NF_INFO) : 0u);
  e->data = module << 16 | rec_id;
  e->stored = rec_id;  // the record's pool handle, kept to free it on a new declaration
  e->state = 0;
  functions.erase(static_cast<uint32_t>(index));
  return 0;
}

int32_t dll_load(const char* file_name, char op) {
  const std::string file = file_name ? file_name : "";
  const std::string name = leaf(file);
  uint32_t module = name_find(name, NF_DLL_MODULE);
  if (op == 'U') {
    if (!module) return -2;
    release(module);
    forget_functions(module);
    name_delete(module, true);
    return 0;
  }
  if (module) {
    release(module);
    forget_functions(module);
  } else {
    NameEntry img;
    img.flags = NF_DLL_MODULE;
    const int32_t m = name_insert(name, img);
    if (m < 0) return m;
    module = static_cast<uint32_t>(m);
  }
  return open_library(module, file);
}

ErrorCode dll_call(int32_t index, int32_t argc) {
  NameEntry* e = name_entry(static_cast<uint32_t>(index));
  if (!e || !(e->flags & NF_DLL_FUNC)) return fatal(ERR_INVALID_ARGUMENT, "");
  const uint32_t module = e->data >> 16;
  const bool as_command = (e->flags & NF_COMMAND) != 0;
  void* fn = nullptr;
  if (auto it = functions.find(static_cast<uint32_t>(index)); it != functions.end()) fn = it->second;
  if (!fn) {
    if (!libraries.count(module) && !builtin_of.count(module)) {
      const std::string lib(name_text(module));
      if (open_library(module, lib) != 0) return fatal(-3055, lib);
    }
    std::string sym(name_text(static_cast<uint32_t>(index)));
    for (char& c : sym)
      if (c == '-') c = '_';
    if (auto b = builtin_of.find(module); b != builtin_of.end())
      fn = b->second.proc ? b->second.proc(sym.c_str()) : nullptr;
    else
      fn = dlsym(libraries[module], sym.c_str());
    if (!fn) return fatal(-3058, sym);  // the call ends here: there is nothing to call
    functions[static_cast<uint32_t>(index)] = fn;
    name_entry(static_cast<uint32_t>(index))->state = 1;
    e = name_entry(static_cast<uint32_t>(index));
  }
  const std::string_view rec = namepool::get(static_cast<uint16_t>(e->data & 0xffff));
  if (rec.size() < 2) return fatal(ERR_INVALID_ARGUMENT, "");
  const int count = static_cast<uint8_t>(rec[0]);
  const uint8_t ret = static_cast<uint8_t>(rec[1]);
  const int32_t first = vm_stack.top - argc + 1;  // stack index of the first argument
  if (argc < count) {
    core_drop(argc);
    vm_raise_error(ERR_PROCEDURE_NEEDS_ARGUMENTS);
    return ERR_PROCEDURE_NEEDS_ARGUMENTS;
  }
  // Copies of the string arguments live until the call returns.
  std::vector<std::string> texts(static_cast<size_t>(count));
  std::vector<std::vector<char>> counted(static_cast<size_t>(count));
  Word words_[kDllMaxParams] = {};
  for (int i = 0; i < count; ++i) {
    const int32_t s = first + i;
    const uint32_t w = slot_word(s);
    const bool ref = (w & kSlotRef) != 0;
    const std::string value(lstr_view(var_value(vm_stack_number(s))));
    switch (static_cast<uint8_t>(rec[2 + i])) {
      case DT_VOID:
        break;
      case DT_INT:
      case DT_LONG: {
        int32_t v = 0;
        if (val_to_int_decimal(var_value(vm_stack_number(s)), &v) != ERR_OK) {
          core_drop(argc);
          return ERR_INVALID_NUMBER_ARGUMENT;
        }
        words_[i] = v;
        break;
      }
      case DT_PSZ:
        texts[static_cast<size_t>(i)] = value;
        words_[i] = reinterpret_cast<Word>(texts[static_cast<size_t>(i)].c_str());
        break;
      case DT_PLSTR: {
        std::vector<char>& c = counted[static_cast<size_t>(i)];
        const int32_t n = static_cast<int32_t>(value.size());
        c.resize(4 + value.size());
        std::memcpy(c.data(), &n, 4);
        std::memcpy(c.data() + 4, value.data(), value.size());
        words_[i] = reinterpret_cast<Word>(c.data());
        break;
      }
      case DT_HVAR:
        if (ref) var_assign_bytes(vm_stack_number(s), value.data(), static_cast<int32_t>(value.size()));
        words_[i] = static_cast<Word>(vm_stack_number(s));
        break;
      case DT_HREFVAR:
        if (!ref) {
          core_drop(argc);
          vm_raise_error(ERR_INVALID_CALL_BY_REFERENCE);
          return ERR_INVALID_CALL_BY_REFERENCE;
        }
        words_[i] = static_cast<Word>(w & ~kSlotRef);
        break;
    }
  }
  if (const ErrorCode b = vm_check_break(); b != 0) {  // raised unless breaks are ignored
    core_drop(argc);
    return b;
  }
  // The library's arg entry sees this call's arguments.
  const VmRegs saved = vm.regs;
  vm.regs.native_frame = 1;
  vm.regs.arg_count = argc;
  vm.regs.arg_base = first;
  const int32_t top = vm_stack.top;
  const Word result = kThunks[static_cast<size_t>(count)](fn, words_);
  const bool failed = vm.regs.native_frame == 2;
  vm.regs.native_frame = saved.native_frame;
  vm.regs.arg_count = saved.arg_count;
  vm.regs.arg_base = saved.arg_base;
  core_drop(vm_stack.top - top + argc);  // the arguments and what the library pushed
  std::string out;
  switch (ret) {
    case DT_PSZ:
      out = result ? reinterpret_cast<const char*>(result) : "";
      break;
    case DT_PLSTR:
      if (result) {
        int32_t n = 0;
        std::memcpy(&n, reinterpret_cast<const void*>(result), 4);
        out.assign(reinterpret_cast<const char*>(result) + 4, static_cast<size_t>(std::max(n, 0)));
      }
      break;
    case DT_HVAR:
      out = std::string(lstr_view(var_value(static_cast<uint32_t>(result))));
      if (as_command && result == 1) out.clear();  // rc's own slot: rc already holds it
      break;
    case DT_LONG:
      out = std::to_string(static_cast<uint32_t>(result));
      break;
    default:
      out = std::to_string(static_cast<int32_t>(result));
      break;
  }
  if (as_command) {
    if (!(ret == DT_HVAR && result == 1)) var_assign_bytes(1, out.data(), static_cast<int32_t>(out.size()));
  } else {
    vm_push_view(out);
  }
  if (failed) vm_report_error(0, false);
  return ERR_OK;
}

void dll_unload_all() {
  for (auto& [module, h] : libraries) dlclose(h);
  libraries.clear();
  builtin_of.clear();
  functions.clear();
  loading_module = 0;
}

namespace {

// Library-side shapes of the editor operations: plain C calls with the
// arguments the table's columns name.
int api_declare(const char* d, const char* info, int flags) { return dll_declare(d, info, flags); }
// A negative length: the text runs to its NUL.
int api_insert_line(const char* t, int n) {
  return line_insert_after_cursor(t, n < 0 && t ? static_cast<int>(std::strlen(t)) : n);
}
int api_get_line(char* out, int size) { return line_get_current_cstr(out, size); }
int api_get_text(int offset, int count, char* out) { return buf_get_text_at(count, offset, out); }
int api_edit_line(const char* line) { return api_edit(line); }
int api_find_name(const char* name, int mask) { return static_cast<int>(name_find(name, static_cast<uint32_t>(mask))); }
const LStr* api_var_value(int h) { return var_value(static_cast<uint32_t>(h)); }
int api_var_int(int h) { return var_int(static_cast<uint32_t>(h)); }
void api_var_set_int(int h, int v) { var_store_int(static_cast<uint32_t>(h), v); }
void api_var_set_bytes(int h, const void* p, int n) { var_store_bytes(static_cast<uint32_t>(h), p, n); }
void api_var_set_cstr(int h, const char* s) { var_store_cstr(static_cast<uint32_t>(h), s); }
// The save area is the library's: kDllSaveArea bytes, 8-byte aligned.
static_assert(sizeof(WindowSave) <= kDllSaveArea && alignof(WindowSave) <= 8);
int api_push_window(int id, void* save) { return dll_push_window(id, static_cast<WindowSave*>(save)); }
void api_pop_window(const void* save) { window_pop_current(*static_cast<const WindowSave*>(save)); }
int api_top() { return api_top_of_buffer(); }
int api_bottom() { return api_bottom_of_buffer(); }
int api_up(int n) { return api_cursor_up(n); }
int api_down(int n) { return api_cursor_down(n); }
int api_open(const char* p, int mode) { return os_open(p, mode); }
int api_close(int h) { return os_close(h); }
long api_read(int h, void* b, long n) { return static_cast<long>(os_read(h, b, static_cast<size_t>(n))); }
long api_write(int h, const void* b, long n) { return static_cast<long>(os_write(h, b, static_cast<size_t>(n))); }
long api_seek(int h, long off, int origin) { return static_cast<long>(os_seek(h, off, origin)); }
int api_var_slot(int index) { return var_slot_of(static_cast<uint32_t>(index)); }
char* api_lstr_to_cstr(char* buf, const LStr* s, int n) { return lstr_to_cstr(buf, s, n); }
int api_arg(int n) { return vm_arg_slot(n); }
void* api_alloc(long n) { return store_alloc(static_cast<size_t>(n)); }
void api_free(void* p) { store_free(p); }
void api_replace_line(const char* t, int n) { line_replace_current(t, n); }
int api_delete_line() { return line_delete_current(); }

// Every word that holds an operation is set; the window, property, message
// and command-line entries are the layers above's (dll_port.h).
constexpr ApiVector kApi = {
    .declare = api_declare,
    .activate_window = window_id_activate,
    .get_property_int = dll_property_get_int,
    .get_property_cstr = dll_property_get_cstr,
    .set_property_int = dll_property_set_int,
    .set_property_cstr = dll_property_set_cstr,
    .set_property = dll_property_set,
    .insert_line = api_insert_line,
    .get_line = api_get_line,
    .get_text = api_get_text,
    .edit = api_edit_line,
    .prompt = dll_execute_command,
    .find_name = api_find_name,
    .reserved_52 = nullptr,
    .var_value = api_var_value,
    .var_int = api_var_int,
    .var_set_int = api_var_set_int,
    .var_set_bytes = api_var_set_bytes,
    .var_set_cstr = api_var_set_cstr,
    .push_window = api_push_window,
    .pop_window = api_pop_window,
    .get_property_bytes = dll_property_get_bytes,
    .top = api_top,
    .bottom = api_bottom,
    .up = api_up,
    .down = api_down,
    .file_open = api_open,
    .file_close = api_close,
    .file_read = api_read,
    .file_write = api_write,
    .file_seek = api_seek,
    .reserved_124 = {},
    .var_slot = api_var_slot,
    .lstr_to_cstr = api_lstr_to_cstr,
    .arg = api_arg,
    .alloc = api_alloc,
    .release = api_free,
    .replace_line = api_replace_line,
    .delete_line = api_delete_line,
    .message = dll_show_message,
    .get_property_number = dll_property_get_number,
    .set_property_int2 = dll_property_set_int,
};

template <typename F>
const void* addr(F* f) {
  return reinterpret_cast<const void*>(f);
}

const DllApiEntry kEntries[kDllApiEntries] = {
    {"+0 declare", addr(kApi.declare)},
    {"+4 activate_window", addr(kApi.activate_window)},
    {"+8 get_property_int", addr(kApi.get_property_int)},
    {"+12 get_property_cstr", addr(kApi.get_property_cstr)},
    {"+16 set_property_int", addr(kApi.set_property_int)},
    {"+20 set_property_cstr", addr(kApi.set_property_cstr)},
    {"+24 set_property", addr(kApi.set_property)},
    {"+28 insert_line", addr(kApi.insert_line)},
    {"+32 get_line", addr(kApi.get_line)},
    {"+36 get_text", addr(kApi.get_text)},
    {"+40 edit", addr(kApi.edit)},
    {"+44 prompt", addr(kApi.prompt)},
    {"+48 find_name", addr(kApi.find_name)},
    {"+56 var_value", addr(kApi.var_value)},
    {"+60 var_int", addr(kApi.var_int)},
    {"+64 var_set_int", addr(kApi.var_set_int)},
    {"+68 var_set_bytes", addr(kApi.var_set_bytes)},
    {"+72 var_set_cstr", addr(kApi.var_set_cstr)},
    {"+76 push_window", addr(kApi.push_window)},
    {"+80 pop_window", addr(kApi.pop_window)},
    {"+84 get_property_bytes", addr(kApi.get_property_bytes)},
    {"+88 top", addr(kApi.top)},
    {"+92 bottom", addr(kApi.bottom)},
    {"+96 up", addr(kApi.up)},
    {"+100 down", addr(kApi.down)},
    {"+104 file_open", addr(kApi.file_open)},
    {"+108 file_close", addr(kApi.file_close)},
    {"+112 file_read", addr(kApi.file_read)},
    {"+116 file_write", addr(kApi.file_write)},
    {"+120 file_seek", addr(kApi.file_seek)},
    {"+172 var_slot", addr(kApi.var_slot)},
    {"+176 lstr_to_cstr", addr(kApi.lstr_to_cstr)},
    {"+180 arg", addr(kApi.arg)},
    {"+184 alloc", addr(kApi.alloc)},
    {"+188 release", addr(kApi.release)},
    {"+192 replace_line", addr(kApi.replace_line)},
    {"+196 delete_line", addr(kApi.delete_line)},
    {"+200 message", addr(kApi.message)},
    {"+204 get_property_number", addr(kApi.get_property_number)},
    {"+208 set_property_int2", addr(kApi.set_property_int2)},
};

}  // namespace

const ApiVector& dll_api_table() { return kApi; }
const DllApiEntry* dll_api_entries() { return kEntries; }

// Ext 41: [option "L" or "U"] file name; -3015 from the option is fatal,
// other results go to rc.
void bi_dll_load() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n, true)) return;
  char op = 'L';
  LStrLine file;
  if (n == 2 && !bi_arg_letter(n, 0, "LU", &op)) return;
  bi_arg_copy(n, n - 1, &file);
  core_drop(n);
  vm_set_rc(dll_load(std::string(file.view()).c_str(), op));
}

// Ext 42: declaration [, info [, flags]]; rc = the result.
void bi_dllexport() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  LStrLine decl, info;
  int32_t flags = 0;
  bi_arg_copy(n, 0, &decl);
  if (n >= 2) bi_arg_copy(n, 1, &info);
  if (n == 3 && !bi_arg_int(n, 2, &flags)) return;
  core_drop(n);
  const int32_t r =
      dll_declare(std::string(decl.view()).c_str(), n >= 2 ? std::string(info.view()).c_str() : nullptr, flags);
  vm_set_rc(r);
}
