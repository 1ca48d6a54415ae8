// Modules: verification, linking, unlinking, unloading, the compile check
// and the default variable-slot table.
#include "macro/module.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/le.h"
#include "base/lstr.h"
#include "base/os.h"
#include "macro/code_cache.h"
#include "macro/names.h"
#include "macro/state.h"
#include "macro/templates_port.h"
#include "text/buffer.h"

bool (*module_code_verifier)(std::span<const uint8_t>, uint32_t) = nullptr;

namespace {

// ---- default variable-slot table -----------------------------------------
struct PlainSlots {
  std::vector<std::string> values{"", ""};  // slot 0 unused, slot 1 is rc
  std::vector<int32_t> free_list;
};

// What the module layer keeps between calls.
struct ModuleKept {
  std::string source_ext = ".e";
  std::string compiled_ext = ".ex";
  std::vector<PendingReplacement> pending;
  PlainSlots slots;
  VarHooks var_hooks;
};
ModuleKept g;

int32_t plain_alloc() {
  if (!g.slots.free_list.empty()) {
    int32_t s = g.slots.free_list.back();
    g.slots.free_list.pop_back();
    g.slots.values[size_t(s)].clear();
    return s;
  }
  if (g.slots.values.size() > size_t(kMaxGlobalSlot)) return ERR_OUT_OF_STRING_SPACE;
  g.slots.values.emplace_back();
  return int32_t(g.slots.values.size() - 1);
}

LinkEntry get_link(const uint8_t* image, uint32_t i) {
  const uint8_t* p = image + le::get_u16(image + MH_LINKS) + kLinkEntrySize * i;
  return {le::get_u16(p), le::get_u16(p + 2), le::get_u16(p + 4), le::get_u16(p + 6)};
}

void put_link(uint8_t* image, uint32_t i, const LinkEntry& l) {
  uint8_t* p = image + le::get_u16(image + MH_LINKS) + kLinkEntrySize * i;
  le::put_u16(p, l.a);
  le::put_u16(p + 2, l.kind);
  le::put_u16(p + 4, l.b);
  le::put_u16(p + 6, l.c);
}

int last_link(const uint8_t* image) { return le::get_i16(image + MH_LAST_LINK); }

std::span<const uint8_t> constants_of(const uint8_t* image) {
  uint16_t size = le::get_u16(image + MH_SIZE);
  uint16_t off = le::get_u16(image + MH_CONSTANTS);
  return {image + off, size_t(size - off)};
}

bool code_offset_ok(uint32_t off, uint32_t size) { return off >= kModuleHeaderSize && off + kProcHeaderSize <= size; }

uint32_t base_kind(uint16_t kind) { return kind >= 128 ? kind - 128u : kind; }

}  // namespace

// ---- variable slots -----------------------------------------------------------

VarHooks& var_hooks() { return g.var_hooks; }

void var_plain_slots_reset() { g.slots = PlainSlots{}; }

int32_t var_alloc_global() { return g.var_hooks.alloc_global ? g.var_hooks.alloc_global() : plain_alloc(); }

void var_free_slot(int32_t slot) {
  if (slot <= 0) return;
  if (g.var_hooks.free_slot) return g.var_hooks.free_slot(slot);
  if (size_t(slot) < g.slots.values.size() && slot != 1) g.slots.free_list.push_back(slot);
}

int var_assign_slot(int32_t slot, std::string_view value) {
  if (g.var_hooks.assign) return g.var_hooks.assign(slot, value);
  if (slot <= 0 || size_t(slot) >= g.slots.values.size()) return ERR_OUT_OF_STRING_SPACE;
  g.slots.values[size_t(slot)].assign(value);
  return 0;
}

std::string var_slot_value(int32_t slot) {
  if (g.var_hooks.value) return g.var_hooks.value(slot);
  if (slot <= 0 || size_t(slot) >= g.slots.values.size()) return {};
  return g.slots.values[size_t(slot)];
}

int32_t var_create_global(std::string_view name, std::optional<std::string_view> value) {
  int32_t slot = var_alloc_global();
  if (slot < 0) return slot;
  NameEntry image;
  image.flags = NF_GLOBAL;
  image.data = uint32_t(uint16_t(slot));
  int32_t index = name_insert(name, image);
  if (index < 0) {
    var_free_slot(slot);
    return index;
  }
  if (value && var_assign_slot(slot, *value) != 0) {
    name_delete(uint32_t(index), true);
    return ERR_OUT_OF_STRING_SPACE;
  }
  return index;
}

int32_t var_slot_of(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e || !(e->flags & (NF_GLOBAL | NF_BUFLOCAL))) return 0;
  return int16_t(e->data & 0xFFFF);
}

// ---- verification ---------------------------------------------------------------

bool module_string_at(std::span<const uint8_t> area, uint32_t off, std::string_view& out) {
  if (off >= area.size()) return false;
  VarintResult v;
  if (varint_get(&v, area.data() + off, area.data() + area.size()) != 0) return false;
  out = std::string_view(reinterpret_cast<const char*>(v.next), size_t(v.length));
  return true;
}

int module_verify(std::span<const uint8_t> image, std::span<const uint8_t> strings, bool linked) {
  constexpr int bad = ERR_INCORRECT_VERSION;
  if (image.size() < kModuleHeaderSize || image.size() > 0xFFFF) return bad;
  const uint8_t* p = image.data();
  uint32_t size = le::get_u16(p + MH_SIZE);
  if (size != image.size()) return bad;
  uint32_t links = le::get_u16(p + MH_LINKS);
  int last = le::get_i16(p + MH_LAST_LINK);
  uint32_t consts = le::get_u16(p + MH_CONSTANTS);
  if (consts < kModuleHeaderSize || consts > size) return bad;
  if (last >= int(kFirstLink)) {
    if (links < kModuleHeaderSize || uint64_t(links) + uint64_t(last + 1) * kLinkEntrySize > size) return bad;
  } else if (last < -1) {
    return bad;
  }
  for (uint32_t field : {MH_MAIN, MH_INIT, MH_LOAD}) {
    uint32_t off = le::get_u16(p + field);
    if (off && !code_offset_ok(off, size)) return bad;
    if (off && module_code_verifier && !module_code_verifier(image, off)) return bad;
  }
  std::span<const uint8_t> constants = image.subspan(consts);
  // A name of the strings area; in a linked image the field is an index.
  auto named = [&](uint16_t off) {
    std::string_view s;
    if (linked) return off >= 1 && int(off) < name_count();
    return module_string_at(strings, off, s) && !s.empty();
  };
  std::string_view s;
  for (int i = int(kFirstLink); i <= last; ++i) {
    LinkEntry l = get_link(p, uint32_t(i));
    uint32_t k = base_kind(l.kind);
    bool info = l.kind >= 128;
    if (l.kind <= LK_TEMPLATE_LAST) {
      if (!module_string_at(constants, l.a, s)) return bad;
      continue;
    }
    switch (k) {
      case LK_TABLE:
        if (info || !module_string_at(constants, l.a, s)) return bad;
        break;
      case LK_PROC:
      case LK_COMMAND:
      case LK_PRIVATE_PROC:
      case LK_EXTERN:
        if (k != LK_PRIVATE_PROC && !named(l.a)) return bad;  // a private procedure keeps no names entry
        if (k == LK_PRIVATE_PROC && !linked && !module_string_at(strings, l.a, s)) return bad;
        if (k != LK_EXTERN && !code_offset_ok(l.c, size)) return bad;
        if (k != LK_EXTERN && module_code_verifier && !module_code_verifier(image, l.c)) return bad;
        if (info && k != LK_COMMAND) return bad;
        if (info && !linked && !module_string_at(constants, l.b, s)) return bad;
        break;
      case LK_GLOBAL:
      case LK_PRIVATE_VAR:
      case LK_BUFLOCAL:
        if (k != LK_PRIVATE_VAR && !named(l.a)) return bad;
        if (k == LK_PRIVATE_VAR && !linked && !module_string_at(strings, l.a, s)) return bad;
        if (info && !linked && !module_string_at(strings, l.b, s)) return bad;
        if (linked && l.c > kMaxGlobalSlot) return bad;
        break;
      case LK_BINDING:
        if (info || !named(l.a)) return bad;
        if (l.b >= kEventBindings || !code_offset_ok(l.c, size)) return bad;
        break;
      case 41:
      case 42:
        break;  // nothing is done with these
      default:
        return bad;
    }
  }
  return 0;
}

// ---- linking ---------------------------------------------------------------------

namespace {

// What linking changed, so that a failure can put the table back.
struct LinkJournal {
  struct Saved {
    uint32_t index;
    NameEntry entry;
    std::optional<std::string> info;
  };
  struct Word {
    uint32_t table;
    int binding;
    uint32_t old;
  };
  std::vector<Saved> saved;       // existing entries a definition changed
  std::vector<uint32_t> created;  // entries linking inserted
  std::vector<Word> words;        // binding words overwritten

  void save(uint32_t index) {
    for (const Saved& s : saved)
      if (s.index == index) return;
    std::optional<std::string> info;
    if (name_is_valid(index) & NF_INFO) info = std::string(name_info(index));
    saved.push_back({index, *name_entry(index), info});
  }
  void note_new(uint32_t index, bool existed) {
    if (!existed) created.push_back(index);
  }
};

struct LinkContext {
  uint8_t* image;
  uint32_t module;
  std::span<const uint8_t> strings;
  std::span<const uint8_t> constants;
  uint32_t last_table = 0;
  std::string last_table_name;
  LinkJournal journal;
};

std::string_view str(std::span<const uint8_t> area, uint16_t off) {
  std::string_view s;
  module_string_at(area, off, s);  // verified before linking
  return s;
}

// Finds or creates an event table; its index or a negative code.
int32_t table_index(LinkContext& cx, std::string_view name) {
  uint32_t i = name_find(name, NF_EVENT_TABLE);
  if (i) return int32_t(i);
  int32_t made = name_create(name, NF_EVENT_TABLE, std::nullopt);
  if (made > 0) cx.journal.note_new(uint32_t(made), false);
  return made;
}

// Resolves a procedure or command link; the names index or a code.
int32_t resolve_callable(LinkContext& cx, const LinkEntry& l, uint32_t type, bool define) {
  std::string_view name = str(cx.strings, l.a);
  std::optional<std::string_view> info;
  if (l.kind == LK_COMMAND_INFO) info = str(cx.constants, l.b);
  uint32_t index = name_find(name, NF_CALLABLE);
  if (!index) {
    NameEntry image;
    image.flags = type;
    if (define) image.data = (cx.module << 16) | l.c;
    int32_t r = name_insert(name, image, info);
    if (r > 0) cx.journal.note_new(uint32_t(r), false);
    return r;
  }
  if (define) {
    cx.journal.save(index);
    NameEntry* e = name_entry(index);
    e->flags = (e->flags & ~(NF_CALLABLE | NF_DLL_FUNC | NF_INFO)) | type;
    e->data = (cx.module << 16) | l.c;
    int r = name_set_info(index, info);
    if (r) return r;
  }
  return int32_t(index);
}

int link_one(LinkContext& cx, uint32_t i) {
  LinkEntry l = get_link(cx.image, i);
  uint32_t k = base_kind(l.kind);
  if (l.kind <= LK_TEMPLATE_LAST) {
    uint32_t h = name_find(str(cx.constants, l.a), NF_TEMPLATE | (uint32_t(l.kind) << 11));
    l.c = uint16_t(h >> 16);
    put_link(cx.image, i, l);
    return 0;
  }
  switch (k) {
    case LK_PROC:
    case LK_COMMAND:
    case LK_EXTERN: {
      uint32_t type = k == LK_COMMAND ? NF_COMMAND : NF_PROC;
      int32_t r = resolve_callable(cx, l, type, k != LK_EXTERN);
      if (r < 0) return r;
      l.a = uint16_t(r);
      l.b = uint16_t(cx.module);
      break;
    }
    case LK_GLOBAL: {
      std::string_view name = str(cx.strings, l.a);
      uint32_t index = name_find(name, NF_GLOBAL);
      if (!index) {
        std::optional<std::string_view> init;
        if (l.kind == LK_GLOBAL_INIT) init = str(cx.strings, l.b);
        int32_t r = var_create_global(name, init);
        if (r < 0) return r;
        index = uint32_t(r);
        cx.journal.note_new(index, false);
      }
      l.a = uint16_t(index);
      l.c = uint16_t(var_slot_of(index));
      break;
    }
    case LK_TABLE: {
      int32_t r = table_index(cx, str(cx.constants, l.a));
      if (r < 0) return r;
      l.c = uint16_t(r);
      break;
    }
    case LK_PRIVATE_VAR: {
      int32_t slot = var_alloc_global();
      if (slot < 0) return slot;
      l.c = uint16_t(slot);
      put_link(cx.image, i, l);
      if (l.kind == LK_PRIVATE_VAR_INIT && var_assign_slot(slot, str(cx.strings, l.b)) != 0)
        return ERR_OUT_OF_STRING_SPACE;
      return 0;
    }
    case LK_PRIVATE_PROC:
      l.b = uint16_t(cx.module);
      break;
    case LK_BUFLOCAL: {
      std::string_view name = str(cx.strings, l.a);
      std::optional<std::string_view> def;
      if (l.kind == LK_BUFLOCAL_INIT) def = str(cx.strings, l.b);
      uint32_t index = name_find(name, NF_BUFLOCAL);
      if (!index) {
        int32_t slot = var_alloc_global();
        if (slot < 0) return slot;
        NameEntry image;
        image.flags = NF_BUFLOCAL;
        image.data = uint16_t(slot);
        int32_t r = name_insert(name, image, def);
        if (r < 0) {
          var_free_slot(slot);
          return r;
        }
        index = uint32_t(r);
        cx.journal.note_new(index, false);
        if (def && var_assign_slot(slot, *def) != 0) return ERR_OUT_OF_STRING_SPACE;
        const std::string_view value = def.value_or(std::string_view{});
        buf_add_local_var_all(int32_t(index), value.data(), int32_t(value.size()));
      } else if (def) {
        cx.journal.save(index);
        int r = name_set_info(index, def);
        if (r) return r;
      }
      l.a = uint16_t(index);
      l.c = uint16_t(var_slot_of(index));
      break;
    }
    case LK_BINDING: {
      std::string_view name = str(cx.strings, l.a);
      uint32_t table = 0;
      if (cx.last_table && name_is_valid(cx.last_table) && name_equal(cx.last_table_name, name, 0)) {
        table = cx.last_table;
      } else {
        int32_t r = table_index(cx, name);
        if (r < 0) return r;
        table = uint32_t(r);
        cx.last_table = table;
        cx.last_table_name.assign(name);
      }
      int r = name_load_data(table);
      if (r) return r;
      uint8_t* block = name_block(table);
      uint32_t word = (cx.module << 16) | l.c;
      uint8_t* w = block + 4 + 4 * l.b;
      if (le::get_u32(w) != word) {
        cx.journal.words.push_back({table, l.b, le::get_u32(w)});
        le::put_u32(w, word);
        name_pin_data(table);
      }
      l.a = uint16_t(table);
      templates_table_bound(table, name);
      break;
    }
    default:
      return 0;
  }
  put_link(cx.image, i, l);
  return 0;
}

// Puts the names table back as it was before a failed link: the module's
// definitions and bindings go, the entries they replaced come back, and
// what linking created is deleted again.
void undo_link(uint32_t module, const LinkJournal& j) {
  mod_unlink(module);
  for (auto w = j.words.rbegin(); w != j.words.rend(); ++w) {
    if (!(name_is_valid(w->table) & NF_EVENT_TABLE) || name_load_data(w->table) != 0) continue;
    le::put_u32(name_block(w->table) + 4 + 4 * w->binding, w->old);
    name_pin_data(w->table);
  }
  for (auto s = j.saved.rbegin(); s != j.saved.rend(); ++s) {
    NameEntry* e = name_entry(s->index);
    if (!e) continue;
    name_set_info(s->index, s->info);
    uint32_t info_bit = e->flags & NF_INFO;
    e->flags = (s->entry.flags & ~NF_INFO) | info_bit;
    e->data = s->entry.data;
  }
  for (auto c = j.created.rbegin(); c != j.created.rend(); ++c) name_delete(*c, true);
  name_delete(module, true);
}

}  // namespace

int32_t mod_link(uint8_t* image, std::string_view file_name, std::span<const uint8_t> strings, bool startup) {
  size_t slash = file_name.rfind('/');
  std::string_view base = slash == std::string_view::npos ? file_name : file_name.substr(slash + 1);
  uint32_t size = le::get_u16(image + MH_SIZE);
  NameEntry entry;
  entry.flags = NF_MODULE;
  int32_t index = name_insert(base, entry);
  if (index < 0) {
    name_data_block_free(image);
    return index;
  }
  uint32_t state = NS_LOCKED;
  if (startup) state |= NS_STARTUP;
  if (le::get_u16(image + MH_INIT)) state |= NS_HAS_INIT;
  if (le::get_u16(image + MH_MAIN)) state |= NS_HAS_MAIN;
  cache_register(uint32_t(index), image, 0, size, 0, state);
  le::put_u16(image + MH_PENDING, 0);
  le::put_u32(image + MH_NEXT, 0);
  le::put_u32(image + MH_FILE, 0);
  le::put_u16(image + MH_INDEX, uint16_t(index));
  LinkContext cx{image, uint32_t(index), strings, constants_of(image), 0, {}, {}};
  for (int i = int(kFirstLink); i <= last_link(image); ++i) {
    int r = link_one(cx, uint32_t(i));
    if (r < 0) {
      undo_link(uint32_t(index), cx.journal);
      return r;
    }
  }
  return index;
}

int32_t mod_find(std::string_view file_name) {
  uint32_t i = name_find(file_name, NF_MODULE);
  return i ? int32_t(i) : ERR_FILE_NOT_FOUND;
}

void mod_unlink(uint32_t index) {
  NameEntry* me = name_entry(index);
  if (!me || !(me->flags & NF_MODULE)) return;
  for (int i = 1; i < name_count(); ++i) {
    NameEntry* e = name_entry(uint32_t(i));
    if (e && (e->flags & NF_CALLABLE) && !(e->flags & NF_DLL_FUNC) && (e->data >> 16) == index) e->data = 0;
  }
  if (name_load_data(index) != 0) return;
  uint8_t* image = name_block(index);
  for (int i = int(kFirstLink); i <= last_link(image); ++i) {
    LinkEntry l = get_link(image, uint32_t(i));
    uint32_t k = base_kind(l.kind);
    if (l.kind > LK_TEMPLATE_LAST && k == LK_PRIVATE_VAR) {
      var_free_slot(l.c);
    } else if (l.kind == LK_BINDING && name_is_valid(l.a) & NF_EVENT_TABLE) {
      if (name_load_data(l.a) != 0) continue;
      uint8_t* w = name_block(l.a) + 4 + 4 * l.b;
      image = name_block(index);  // loading may have moved nothing, but refetch
      if (le::get_u32(w) == ((index << 16) | l.c)) {
        le::put_u32(w, 0);
        name_pin_data(l.a);
      }
    }
  }
}

bool mod_can_unload(uint32_t index) {
  for (const PendingReplacement& p : g.pending)
    if (p.module_index == index) return false;
  return !(cache_module_in_use && cache_module_in_use(index));
}

int mod_unload(uint32_t index, bool replace, std::string_view file_name) {
  if (!(name_is_valid(index) & NF_MODULE)) return ERR_FILE_NOT_FOUND;
  int r = name_load_data(index);
  if (r) return r;
  if (replace) {
    for (const PendingReplacement& p : g.pending)
      if (p.module_index == index) return 0;  // the first request holds
    g.pending.push_back({index, std::string(file_name)});
    le::put_u16(name_block(index) + MH_PENDING, uint16_t(index));
    return 0;
  }
  if (!mod_can_unload(index)) return ERR_CANT_REMOVE_MODULE;
  mod_unlink(index);
  name_delete(index, true);
  return 0;
}

bool mod_link_refers(uint32_t index) {
  for (int m = 1; m < name_count(); ++m) {
    if (!(name_is_valid(uint32_t(m)) & NF_MODULE)) continue;
    if (name_load_data(uint32_t(m)) != 0) continue;
    const uint8_t* image = name_block(uint32_t(m));
    for (int i = int(kFirstLink); i <= last_link(image); ++i) {
      LinkEntry l = get_link(image, uint32_t(i));
      if (l.kind == LK_EXTERN && l.a == index) return true;
    }
  }
  return false;
}

void mod_unresolve_template(uint32_t index) {
  for (int m = 1; m < name_count(); ++m) {
    if (!(name_is_valid(uint32_t(m)) & NF_MODULE)) continue;
    uint8_t* image = name_block(uint32_t(m));  // a module on disk is linked again when it loads
    if (!image) continue;
    bool changed = false;
    for (int i = int(kFirstLink); i <= last_link(image); ++i) {
      LinkEntry l = get_link(image, uint32_t(i));
      if (l.kind <= LK_TEMPLATE_LAST && l.c == index) {
        l.c = 0;
        put_link(image, uint32_t(i), l);
        changed = true;
      }
    }
    if (changed) name_pin_data(uint32_t(m));
  }
}

std::vector<PendingReplacement>& mod_pending() { return g.pending; }

void mod_set_extensions(std::string_view source_ext, std::string_view compiled_ext) {
  g.source_ext.assign(source_ext);
  g.compiled_ext.assign(compiled_ext);
}
const std::string& mod_source_ext() { return g.source_ext; }
const std::string& mod_compiled_ext() { return g.compiled_ext; }

int mod_load_file(std::string_view name, uint32_t* index, bool* module_file, bool check_loaded) {
  std::string abs(name);
  if (!abs.empty() && abs[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) abs = std::string(cwd) + "/" + abs;
  }
  if (check_loaded) {
    size_t slash = abs.rfind('/');
    if (mod_find(std::string_view(abs).substr(slash + 1)) > 0) return ERR_MODULE_ALREADY_LOADED;
  }
  return state_read(abs, index, module_file);
}

// ---- compile check ------------------------------------------------------------

namespace {

std::string replace_ext(std::string_view name, std::string_view ext) {
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  std::string out(name);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) out.resize(dot);
  out += ext;
  return out;
}

int errno_code(int e) {
  switch (e) {
    case ENOENT:
      return -2;
    case ENOTDIR:
      return -3;
    case EACCES:
    case EPERM:
      return -5;
    default:
      return -2;
  }
}

bool older(const struct stat& a, const struct stat& b) {
  if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec < b.st_mtim.tv_sec;
  return a.st_mtim.tv_nsec < b.st_mtim.tv_nsec;
}

// Splits at blanks; double quotes group.
std::vector<std::string> split_command(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

std::string find_program(const std::string& prog) {
  if (prog.find('/') != std::string::npos) return prog;
  for (const char* var : {"ZORVEXPATH", "PATH"}) {
    const char* v = std::getenv(var);
    if (!v) continue;
    std::string path(v);
    size_t start = 0;
    while (start <= path.size()) {
      size_t colon = path.find(':', start);
      std::string dir = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
      if (!dir.empty()) {
        std::string cand = dir + "/" + prog;
        if (access(cand.c_str(), X_OK) == 0) return cand;
      }
      if (colon == std::string::npos) break;
      start = colon + 1;
    }
  }
  return {};
}

}  // namespace

int mod_run_compiler_default(const std::string& line) {
  std::vector<std::string> args = split_command(line);
  if (args.empty()) return ERR_FILE_NOT_FOUND;
  std::string prog = find_program(args[0]);
  if (prog.empty()) return ERR_FILE_NOT_FOUND;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -32;
  if (pid == 0) {
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  return os_wait_child(pid);
}

int (*mod_run_compiler)(const std::string&) = mod_run_compiler_default;

int mod_compile_if_needed(std::string_view name, bool force, std::optional<std::string_view> source_ext) {
  std::string source = source_ext ? replace_ext(name, *source_ext) : std::string(name);
  if (!source.empty() && (source.back() == 'x' || source.back() == 'X')) return 0;
  struct stat src, out;
  if (stat(source.c_str(), &src) != 0) return errno_code(errno);
  std::string compiled = replace_ext(source, g.compiled_ext);
  bool missing = stat(compiled.c_str(), &out) != 0;
  if (!force && !missing && !older(out, src)) return 0;
  std::string line = "zozu -q -w ";
  line += source.find(' ') != std::string::npos ? "\"" + source + "\"" : source;
  return mod_run_compiler(line);
}

int (*mod_call_entry)(uint32_t, uint16_t, std::optional<std::string_view>) = nullptr;

int mod_load_and_init(std::string_view name, uint32_t* index, std::optional<std::string_view> source_ext) {
  bool module_file = false;
  int r = mod_load_file(name, index, &module_file, false);
  if (r == ERR_INCORRECT_VERSION && source_ext) {
    if (mod_compile_if_needed(name, true, source_ext) != 0) return ERR_INCORRECT_VERSION;
    r = mod_load_file(name, index, &module_file, false);
  }
  if (r) return r;
  if (!mod_call_entry) return 0;
  uint8_t* image = name_block(*index);
  uint16_t load = image ? le::get_u16(image + MH_LOAD) : 0;
  uint16_t init = image ? le::get_u16(image + MH_INIT) : 0;
  if ((load && mod_call_entry(*index, load, std::nullopt) != 0) ||
      (init && mod_call_entry(*index, init, std::string_view("L")) != 0)) {
    mod_unload(*index, false, {});
    return -3010;
  }
  return 0;
}
