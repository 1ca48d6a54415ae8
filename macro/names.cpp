// Names table: entries, lookup, insert, create, delete and the state-file
// images of the table. The name texts live in the name pool (name_pool.h);
// data blocks live in the code cache (code_cache.h).
#include "macro/names.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "base/le.h"
#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/name_pool.h"
#include "macro/templates_port.h"

namespace {

struct Table {
  std::vector<NameEntry> entries;  // size() == capacity
  int count = 0;                   // 0 until the first insert, then >= 2
  uint16_t free_head = 0;
};
Table t;
uint64_t generation = 1;
std::vector<uintptr_t> picture_cache;  // by names index

// Lookup index: folded name -> indexes in ascending order, and for file
// names the exact text -> indexes. It only speeds name_find up: the answer
// is the same first match in index order that a scan gives.
std::unordered_map<std::string, std::vector<uint32_t>> by_folded, by_exact;

std::string folded_key(std::string_view s) {
  std::string k(s);
  for (char& c : k) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : (c == '_' ? '-' : c);
  return k;
}

void index_add(uint32_t i) {
  const NameEntry& e = t.entries[i];
  std::string_view text = namepool::get(e.name_id);
  auto add = [i](std::vector<uint32_t>& v) { v.insert(std::lower_bound(v.begin(), v.end(), i), i); };
  add(by_folded[folded_key(text)]);
  if (e.flags & NF_FILE_NAMED) add(by_exact[std::string(text)]);
}

void index_remove(uint32_t i) {
  const NameEntry& e = t.entries[i];
  std::string_view text = namepool::get(e.name_id);
  auto drop = [i](auto& map, const std::string& key) {
    auto it = map.find(key);
    if (it == map.end()) return;
    auto& v = it->second;
    v.erase(std::remove(v.begin(), v.end(), i), v.end());
    if (v.empty()) map.erase(it);
  };
  drop(by_folded, folded_key(text));
  if (e.flags & NF_FILE_NAMED) drop(by_exact, std::string(text));
}

void index_rebuild() {
  by_folded.clear();
  by_exact.clear();
  for (int i = 1; i < t.count; ++i)
    if (t.entries[i].flags) index_add(uint32_t(i));
}

char fold(char c) {
  if (c >= 'A' && c <= 'Z') return char(c - 'A' + 'a');
  if (c == '_') return '-';
  return c;
}

bool folded_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

bool folded_prefix(std::string_view s, std::string_view prefix, bool exact) {
  if (s.size() < prefix.size()) return false;
  return exact ? s.substr(0, prefix.size()) == prefix : folded_equal(s.substr(0, prefix.size()), prefix);
}

bool live(uint32_t index) { return index >= 1 && int(index) < t.count && t.entries[index].flags != 0; }

// Refers a control handle's template part to its index.
uint32_t handle_index(uint32_t handle) { return handle >> 16 ? handle >> 16 : handle; }

// Grows the array by one step; false at the limit or when memory runs out.
bool grow() {
  size_t cap = t.entries.size() + kNamesGrowStep;
  if (cap > size_t(kNamesMaxEntries)) cap = kNamesMaxEntries;
  if (cap <= t.entries.size()) return false;
  try {
    t.entries.resize(cap);
  } catch (...) {
    return false;
  }
  return true;
}

// One type per entry: callables, variables and data entries never mix, and
// the bits that only link kinds use never appear in an entry.
bool sane_flags(uint32_t f) {
  constexpr uint32_t kLinkOnly = NF_EXTERN_PROC | NF_PRIVATE_VAR | NF_PRIVATE_PROC | NF_BINDING;
  if (f & kLinkOnly) return false;
  int types = 0;
  for (uint32_t group : {uint32_t(NF_CALLABLE), uint32_t(NF_GLOBAL), uint32_t(NF_EVENT_TABLE), uint32_t(NF_MODULE),
                         uint32_t(NF_PICTURE), uint32_t(NF_BUFLOCAL), uint32_t(NF_TEMPLATE), uint32_t(NF_DLL_MODULE)})
    types += (f & group) != 0;
  if (types != 1) return false;
  return !(f & NF_DLL_FUNC) || (f & NF_CALLABLE);
}

}  // namespace

uint64_t name_table_generation() { return generation; }

void name_set_picture_cache(uint32_t index, uintptr_t image) {
  if (!(name_is_valid(index) & NF_PICTURE)) return;
  if (index >= picture_cache.size()) {
    // Grows by 30 past what is needed; the first time past the table's count.
    size_t want = size_t(index) + 30;
    if (picture_cache.empty()) want = std::max(want, size_t(t.count) + 30);
    picture_cache.resize(want, 0);
  }
  picture_cache[index] = image;
}

uintptr_t name_picture_cache(uint32_t index) {
  if (!(name_is_valid(index) & NF_PICTURE) || index >= picture_cache.size()) return 0;
  return picture_cache[index];
}

void name_picture_release(uint32_t index) {
  if (index >= picture_cache.size() || !picture_cache[index]) return;
  templates_picture_release(index);
  picture_cache[index] = 0;
}

int name_pool_init() {
  cache_reset();
  t = Table{};
  ++generation;
  picture_cache.clear();
  by_folded.clear();
  by_exact.clear();
  if (namepool::init(kNamePoolInitBytes, kNamePoolInitHandles) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
  return 0;
}

void name_to_dash_form(std::string& s) {
  for (char& c : s)
    if (c == '_') c = '-';
}

void name_to_underscore_form(std::string& s) {
  for (char& c : s)
    if (c == '-') c = '_';
}

bool name_equal(std::string_view a, std::string_view b, uint32_t flags) {
  return (flags & NF_FILE_NAMED) ? a == b : folded_equal(a, b);
}

uint32_t name_is_valid(uint32_t index) { return live(index) ? t.entries[index].flags : 0; }

NameEntry* name_entry(uint32_t index) { return live(index) ? &t.entries[index] : nullptr; }

int name_count() { return t.count; }
int name_capacity() { return int(t.entries.size()); }
uint16_t name_free_head() { return t.free_head; }

uint32_t name_type(uint32_t handle) {
  uint32_t index = handle_index(handle);
  if (!live(index)) return 0;
  uint32_t flags = t.entries[index].flags;
  if (!(handle >> 16) || !(flags & NF_TEMPLATE)) return (handle >> 16) ? 0 : flags;
  int type = templates_control_type(index, handle & 0xFFFF);
  if (type < 0) return 0;
  return NF_TEMPLATE | (uint32_t(type) << 11);
}

std::string_view name_text(uint32_t handle) {
  uint32_t index = handle_index(handle);
  if (!live(index)) return {};
  std::string_view base = namepool::get(t.entries[index].name_id);
  if (!(handle >> 16) || (handle & 0xFFFF) == 0) return base;
  // A control: "form.control" in one static buffer of 1 KB.
  static std::string joined;
  std::string control = templates_control_name(index, handle & 0xFFFF);
  if (control.empty()) return {};
  joined.assign(base);
  joined += '.';
  joined += control;
  if (joined.size() > 1024) joined.resize(1024);
  return joined;
}

std::string_view name_info(uint32_t handle) {
  if (handle >> 16) return {};
  if (!live(handle) || !(t.entries[handle].flags & NF_INFO)) return {};
  return namepool::get(t.entries[handle].info_id);
}

uint32_t name_find(std::string_view name, uint32_t mask) {
  if (mask & NF_FILE_NAMED) {
    auto it = by_exact.find(std::string(name));
    if (it == by_exact.end()) return 0;
    for (uint32_t i : it->second)
      if (t.entries[i].flags & mask) return i;
    return 0;
  }
  if (!(mask & NF_TEMPLATE)) {
    auto it = by_folded.find(folded_key(name));
    if (it == by_folded.end()) return 0;
    for (uint32_t i : it->second)
      if (t.entries[i].flags & mask) return i;
    return 0;
  }
  std::string_view form = name, control;
  uint32_t wanted_type = 0;
  if (mask & NF_TEMPLATE) {
    size_t dot = name.find('.');
    if (dot != std::string_view::npos) {
      form = name.substr(0, dot);
      control = name.substr(dot + 1);
    }
    wanted_type = (mask >> 11) & 0x1F;
  }
  for (int i = 1; i < t.count; ++i) {
    const NameEntry& e = t.entries[i];
    if (!(e.flags & mask)) continue;
    std::string_view text = namepool::get(e.name_id);
    if (!(e.flags & NF_TEMPLATE) || !(mask & NF_TEMPLATE)) {
      if (folded_equal(text, name)) return uint32_t(i);
      continue;
    }
    if (!folded_equal(text, form)) continue;
    uint32_t handle = uint32_t(i) << 16;
    if (!control.empty() || name.find('.') != std::string_view::npos) {
      int rec = templates_find_control(uint32_t(i), control);
      if (rec < 0) continue;
      handle |= uint32_t(rec);
    }
    if (wanted_type && ((name_type(handle) >> 11) & 0x1F) != wanted_type) continue;
    return handle;
  }
  return 0;
}

uint32_t name_next(std::string_view prefix, uint32_t after, uint32_t mask) {
  uint32_t start = after + 1;
  if (start < 1 || int(start) >= t.count) start = (after == 0) ? 1 : uint32_t(t.count);
  uint32_t wanted_type = (mask & NF_TEMPLATE) ? (mask >> 11) & 0x1F : 0;
  bool exact = mask & NF_PICTURE;
  for (int i = int(start); i < t.count; ++i) {
    const NameEntry& e = t.entries[i];
    if (!(e.flags & mask)) continue;
    if (!folded_prefix(namepool::get(e.name_id), prefix, exact)) continue;
    if (wanted_type && (e.flags & NF_TEMPLATE) && ((e.flags >> 11) & 0x1F) != wanted_type) continue;
    return uint32_t(i);
  }
  return 0;
}

int32_t name_insert(std::string_view name, const NameEntry& image, std::optional<std::string_view> info) {
  std::string text(name);
  if (!(image.flags & NF_FILE_NAMED)) name_to_dash_form(text);
  uint16_t name_id = namepool::put(text);
  if (!name_id) return ERR_INTERPRETER_OUT_OF_MEMORY;
  uint16_t info_id = 0;
  if (info) {
    info_id = namepool::put(*info);
    if (!info_id) {
      namepool::drop(name_id);
      return ERR_INTERPRETER_OUT_OF_MEMORY;
    }
  }
  uint32_t index;
  if (t.free_head) {
    index = t.free_head;
    t.free_head = uint16_t(t.entries[index].data);
  } else {
    if (t.count < 1) t.count = 1;  // entry 0 stays unused
    if (size_t(t.count) >= t.entries.size() && !grow()) {
      namepool::drop(info_id);
      namepool::drop(name_id);
      return ERR_INTERPRETER_OUT_OF_MEMORY;
    }
    index = uint32_t(t.count++);
  }
  NameEntry& e = t.entries[index];
  e = image;
  e.name_id = name_id;
  e.info_id = info_id;
  e.stored = 0;
  e.size = 0;
  if (info) e.flags |= NF_INFO;
  index_add(index);
  return int32_t(index);
}

int32_t name_create(std::string_view name, uint32_t flags, std::optional<std::string_view> info) {
  constexpr uint32_t kNotCreatable =
      NF_EXTERN_PROC | NF_GLOBAL | NF_PRIVATE_VAR | NF_PRIVATE_PROC | NF_MODULE | NF_BUFLOCAL;
  uint32_t kinds = flags & (NF_PROC | NF_COMMAND | NF_EVENT_TABLE | NF_PICTURE | NF_TEMPLATE);
  if (name.empty() || (flags & kNotCreatable) || kinds == 0 || (kinds & (kinds - 1))) return ERR_INVALID_ARGUMENT;
  if (kinds & (NF_PICTURE | NF_TEMPLATE))  // built by the forms layer
    return templates_create_object(name, flags, info, 0);
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  bool has_info = info && !info->empty();
  NameEntry image;
  image.flags = (flags & ~NF_INFO) | (has_info ? uint32_t(NF_INFO) : 0u);
  std::optional<std::string_view> stored_info = has_info ? info : std::nullopt;
  if (kinds & NF_EVENT_TABLE) {
    uint8_t* block = nullptr;
    if (name_data_alloc(&block, kEventTableBytes) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
    std::memset(block, 0, kEventTableBytes);
    int32_t index = name_insert(lower, image, stored_info);
    if (index < 0) {
      name_data_block_free(block);
      return index;
    }
    cache_register(uint32_t(index), block, 0, kEventTableBytes, 0, NS_RESIDENT | NS_LOCKED);
    return index;
  }
  image.data = 0;  // module 0: no code yet
  return name_insert(lower, image, stored_info);
}

void name_delete(uint32_t handle, bool force) {
  uint32_t index = handle_index(handle);
  if (!live(index)) return;
  NameEntry& e = t.entries[index];
  uint32_t f = e.flags;
  if (f & NF_TEMPLATE) {
    templates_release(index);
    name_data_free(index);
  } else if (f & (NF_GLOBAL | NF_BUFLOCAL)) {
    if (index == 1) return;  // "rc" stays
    var_free_slot(int32_t(int16_t(e.data)));
  } else if (f & NF_PICTURE) {
    templates_entry_deleted(index, f);
    name_picture_release(index);
    name_data_free(index);
  } else if (f & NF_EVENT_TABLE) {
    templates_entry_deleted(index, f);
    // Tables that inherit from this one lose their parent.
    for (int i = 1; i < t.count; ++i) {
      if (uint32_t(i) == index || !(t.entries[i].flags & NF_EVENT_TABLE)) continue;
      if (name_load_data(uint32_t(i)) != 0) continue;
      uint8_t* b = name_block(uint32_t(i));
      if (b && le::get_u32(b) == index) {
        le::put_u32(b, 0);
        name_pin_data(uint32_t(i));
      }
    }
    name_data_free(index);
  } else if (f & NF_MODULE) {
    name_data_free(index);
  } else if (f & NF_CALLABLE) {
    if (!force && mod_link_refers(index)) {
      if (!(f & NF_DLL_FUNC)) return;
      e.flags &= ~NF_DLL_FUNC;  // stays as a plain callable
      e.data = 0;
      return;
    }
  }
  index_remove(index);
  namepool::drop(e.name_id);
  namepool::drop(e.info_id);
  e = NameEntry{};
  e.data = t.free_head;
  t.free_head = uint16_t(index);
}

int name_set_info(uint32_t index, std::optional<std::string_view> info) {
  if (!live(index)) return ERR_INVALID_NAME_INDEX;
  NameEntry& e = t.entries[index];
  if (!info || info->empty()) {
    namepool::drop(e.info_id);
    e.info_id = 0;
    e.flags &= ~NF_INFO;
    return 0;
  }
  uint16_t id = namepool::put(*info);
  if (!id) return ERR_INTERPRETER_OUT_OF_MEMORY;
  namepool::drop(e.info_id);
  e.info_id = id;
  e.flags |= NF_INFO;
  return 0;
}

int name_set_text_info(uint32_t index, std::string_view new_name, std::optional<std::string_view> info) {
  if (!live(index)) return ERR_INVALID_NAME_INDEX;
  NameEntry& e = t.entries[index];
  std::string text(new_name.empty() ? namepool::get(e.name_id) : new_name);
  if (!(e.flags & NF_FILE_NAMED)) name_to_dash_form(text);
  uint16_t name_id = namepool::put(text);
  if (!name_id) return ERR_INTERPRETER_OUT_OF_MEMORY;
  uint16_t info_id = 0;
  bool has_info = info && !info->empty();
  if (has_info && !(info_id = namepool::put(*info))) {
    namepool::drop(name_id);
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  index_remove(index);
  namepool::drop(e.name_id);
  namepool::drop(e.info_id);
  e.name_id = name_id;
  e.info_id = info_id;
  index_add(index);
  e.flags = has_info ? (e.flags | NF_INFO) : (e.flags & ~NF_INFO);
  return 0;
}

void name_pool_compact() { namepool::compact(); }

void name_swap_texts(uint32_t a, uint32_t b) {
  if (!live(a) || !live(b)) return;
  index_remove(a);
  index_remove(b);
  NameEntry& x = t.entries[a];
  NameEntry& y = t.entries[b];
  std::swap(x.name_id, y.name_id);
  std::swap(x.info_id, y.info_id);
  uint32_t ix = x.flags & NF_INFO, iy = y.flags & NF_INFO;
  x.flags = (x.flags & ~NF_INFO) | iy;
  y.flags = (y.flags & ~NF_INFO) | ix;
  index_add(a);
  index_add(b);
}

bool name_table_check() {
  if (t.count < 0 || size_t(t.count) > t.entries.size() || t.count > kNamesMaxEntries) return false;
  if (t.count > 0 && t.entries[0].flags != 0) return false;
  std::vector<uint8_t> on_free(size_t(t.count) + 1, 0);
  uint32_t h = t.free_head;
  int steps = 0;
  while (h) {
    if (int(h) >= t.count || t.entries[h].flags != 0 || on_free[h] || ++steps > t.count) return false;
    on_free[h] = 1;
    h = t.entries[h].data & 0xFFFF;
  }
  for (int i = 1; i < t.count; ++i) {
    const NameEntry& e = t.entries[i];
    if (e.flags == 0) {
      if (!on_free[i]) return false;  // a freed entry off the free list?
      continue;
    }
    if (!namepool::live(e.name_id)) return false;
    auto it = by_folded.find(folded_key(namepool::get(e.name_id)));
    if (it == by_folded.end() || !std::binary_search(it->second.begin(), it->second.end(), uint32_t(i)))
      return false;  // the lookup index lost an entry?
    if ((e.flags & NF_INFO) && !namepool::live(e.info_id)) return false;
  }
  return cache_check();
}

// ---- state-file images --------------------------------------------------------

std::vector<uint8_t> name_table_header_record() {
  std::vector<uint8_t> r;
  le::append_u32(r, 0);  // entry array pointer, meaningless on disk
  le::append_u16(r, uint16_t(t.entries.size()));
  le::append_u16(r, uint16_t(t.count));
  le::append_u16(r, t.free_head);
  le::append_u16(r, 0);
  return r;
}

std::vector<uint8_t> name_table_entries_record() {
  std::vector<uint8_t> r;
  r.reserve(t.entries.size() * kNameEntryDiskSize);
  for (size_t i = 0; i < t.entries.size(); ++i) {
    const NameEntry& e = t.entries[i];
    uint32_t data = e.data;
    if ((e.flags & NF_HAS_DATA) && (e.state & NS_RESIDENT)) data = cache_file_offset(uint32_t(i));
    uint32_t state = e.state;
    if (e.flags & NF_DLL_FUNC) state = 0;  // resolved address, rebuilt on use
    le::append_u32(r, e.flags);
    le::append_u16(r, e.name_id);
    le::append_u16(r, e.info_id);
    le::append_u32(r, e.stored);
    le::append_u32(r, e.size);
    le::append_u32(r, (e.flags & NF_DLL_MODULE) ? 0 : data);
    le::append_u32(r, state);
  }
  return r;
}

std::vector<uint8_t> name_pool_descriptor_record() { return namepool::descriptor_record(); }
std::vector<uint8_t> name_pool_area_record() { return namepool::area_record(); }
std::vector<uint8_t> name_pool_table_record() { return namepool::table_record(); }

int name_table_restore(std::span<const uint8_t> rec1, std::span<const uint8_t> rec15, std::span<const uint8_t> rec3,
                       std::span<const uint8_t> rec16, std::span<const uint8_t> rec4) {
  name_pool_init();
  auto fail = [] {
    name_pool_init();
    return ERR_INCORRECT_VERSION;
  };
  if (rec1.size() != 12) return fail();
  int capacity = le::get_i16(rec1.data() + 4);
  int count = le::get_i16(rec1.data() + 6);
  uint16_t free_head = le::get_u16(rec1.data() + 8);
  if (capacity < 0 || count < 0 || count > capacity) return fail();
  if (rec4.size() != size_t(capacity) * kNameEntryDiskSize) return fail();
  if (!namepool::restore(rec15, rec3, rec16)) return fail();
  Table nt;
  nt.entries.resize(size_t(capacity));
  nt.count = count;
  nt.free_head = free_head;
  for (int i = 0; i < capacity; ++i) {
    const uint8_t* p = rec4.data() + size_t(i) * kNameEntryDiskSize;
    NameEntry& e = nt.entries[i];
    e.flags = le::get_u32(p);
    e.name_id = le::get_u16(p + 4);
    e.info_id = le::get_u16(p + 6);
    e.stored = le::get_u32(p + 8);
    e.size = le::get_u32(p + 12);
    e.data = le::get_u32(p + 16);
    e.state = le::get_u32(p + 20);
    if (i >= count || e.flags == 0) continue;
    if (i == 0 || !namepool::live(e.name_id) || !sane_flags(e.flags)) return fail();
    if ((e.flags & NF_INFO) && !namepool::live(e.info_id)) return fail();
    if (e.flags & NF_HAS_DATA) e.state &= ~NS_RESIDENT;  // blocks arrive later
    if ((e.flags & NF_EVENT_TABLE) && e.size != kEventTableBytes) return fail();
    if ((e.flags & NF_MODULE) && e.size > 0xFFFF) return fail();
  }
  t = std::move(nt);
  index_rebuild();
  if (!name_table_check()) return fail();
  return 0;
}
