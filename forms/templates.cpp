// Form templates in the names table (see templates.h).
#include "forms/templates.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "base/filename.h"
#include "base/le.h"
#include "base/lstr.h"
#include "base/messages.h"
#include "forms/objects.h"
#include "forms/picture.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/module_build.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/state.h"
#include "macro/templates_port.h"

namespace {

// The block each template had when it last passed its check: a block that
// was replaced, reloaded, swapped or belongs to a table read since is
// checked again.
struct Checked {
  const uint8_t* block = nullptr;
  uint32_t size = 0;
  uint64_t generation = 0;
};
std::vector<Checked> g_checked;

bool is_checked(uint32_t index, const uint8_t* block, uint32_t size) {
  if (index >= g_checked.size()) return false;
  const Checked& c = g_checked[index];
  return c.block == block && c.size == size && c.generation == name_table_generation();
}

void set_checked(uint32_t index, const uint8_t* block, uint32_t size) {
  if (index >= g_checked.size()) g_checked.resize(index + 32);
  g_checked[index] = {block, size, name_table_generation()};
}

void set_checked(uint32_t index, bool) {
  if (index < g_checked.size()) g_checked[index] = {};
}

bool valid_record_type(uint32_t parent_type, uint32_t type) {
  if (parent_type == kObjMenu || parent_type == kObjMenuItem) return type == kObjMenu || type == kObjMenuItem;
  return type >= kObjText && type <= kObjSpin;
}

uint32_t record_count_of(size_t bytes) { return static_cast<uint32_t>(bytes / kTemplateRecordSize); }

// String handles of a record must be live pool handles that no names entry
// and no other record owns: a damaged block could otherwise make a later
// release free a name's text.
bool strings_owned(std::span<const uint8_t> block) {
  std::unordered_set<uint16_t> seen;
  for (int i = 1; i < name_count(); ++i) {
    const NameEntry* e = name_entry(static_cast<uint32_t>(i));
    if (!e || !e->flags) continue;
    seen.insert(e->name_id);
    if (e->info_id) seen.insert(e->info_id);
  }
  const uint32_t n = record_count_of(block.size());
  for (uint32_t r = 0; r < n; ++r) {
    PropertyBlock b;
    tpl_decode(block.data() + size_t{r} * kTemplateRecordSize, &b);
    if (b.type == 0) continue;
    for (uint32_t id : kTemplateStringProps) {
      if (!tpl_is_string_prop(b.type, id)) continue;
      const uint16_t h = static_cast<uint16_t>(prop_get_field(b, id));
      if (h == 0) continue;
      if (!namepool::live(h) || !seen.insert(h).second) return false;
    }
  }
  return true;
}

// The block and its size, resident and checked; null when it cannot be
// loaded or is damaged (*err says which).
uint8_t* block_of(uint32_t index, uint32_t* size, int32_t* err = nullptr) {
  int32_t dummy = 0;
  int32_t& e = err ? *err : dummy;
  if (!tpl_is_template(index)) {
    e = ERR_INVALID_ARGUMENT;
    return nullptr;
  }
  if (const int r = name_load_data(index); r != 0) {
    e = r;
    return nullptr;
  }
  const NameEntry* entry = name_entry(index);
  uint8_t* p = name_block(index);
  if (!entry || !p) {
    e = ERR_READING_FILE;
    return nullptr;
  }
  *size = entry->size;
  if (!is_checked(index, p, entry->size)) {
    const std::span<const uint8_t> block(p, entry->size);
    if (tpl_check_records(block) != 0 || !strings_owned(block)) {
      e = ERR_INCORRECT_VERSION;
      return nullptr;
    }
    set_checked(index, p, entry->size);
  }
  e = 0;
  return p;
}

// A varint-counted string at a 1-based offset of a module strings area.
bool module_string(std::span<const uint8_t> strings, uint32_t off, std::string_view* out) {
  if (off == 0) {
    *out = {};
    return true;
  }
  return module_string_at(strings, off - 1, *out);
}

bool has_prefix_nocase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a == '_') a = '-';
    if (b == '_') b = '-';
    if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(b))) return false;
  }
  return true;
}

// Event tables of a form: the one named after it and those named the form's
// name, "." and a control's name.
template <class Fn>
void form_tables_apply(std::string_view form, Fn fn) {
  std::string dotted(form);
  dotted += '.';
  for (int i = 1; i < name_count(); ++i) {
    if (!(name_is_valid(static_cast<uint32_t>(i)) & NF_EVENT_TABLE)) continue;
    const std::string_view n = name_text(static_cast<uint32_t>(i));
    if (name_equal(n, form, 0) || (n.size() > dotted.size() && has_prefix_nocase(n, dotted)))
      fn(static_cast<uint32_t>(i));
  }
}

// The event table named after a record (the form's name, or the form's
// name, "." and the record's), 0 when none.
uint32_t table_named_after(std::string_view form, const PropertyBlock& b, bool is_form) {
  if (is_form) return name_find(form, NF_EVENT_TABLE);
  const std::string_view control = tpl_string(b, kTplName);
  if (control.empty()) return 0;
  std::string n(form);
  n += '.';
  n += control;
  return name_find(n, NF_EVENT_TABLE);
}

int32_t find_or_create_table(std::string_view name, uint32_t* out) {
  uint32_t t = name_find(name, NF_EVENT_TABLE);
  if (!t) {
    const int32_t r = name_create(name, NF_EVENT_TABLE, std::nullopt);
    if (r < 0) return r;
    t = static_cast<uint32_t>(r);
  }
  if (const int r = name_load_data(t); r != 0) return r;
  *out = t;
  return 0;
}

void release_record_strings(PropertyBlock& b) {
  for (uint32_t id : kTemplateStringProps) {
    if (!tpl_is_string_prop(b.type, id)) continue;
    namepool::drop(static_cast<uint16_t>(prop_get_field(b, id)));
    prop_set_field(b, id, 0);
  }
}

void release_all(std::vector<PropertyBlock>& records) {
  for (PropertyBlock& b : records) release_record_strings(b);
}

}  // namespace

// ---- what the names table asks of templates (macro/templates_port.h) ----

int templates_control_type(uint32_t index, uint32_t control) {
  PropertyBlock b;
  if (!tpl_read(index, control, &b) || b.type == 0) return -1;
  return b.type;
}

int templates_find_control(uint32_t index, std::string_view name) { return tpl_find_control(index, name); }

std::string templates_control_name(uint32_t index, uint32_t control) {
  PropertyBlock b;
  if (!tpl_read(index, control, &b)) return {};
  return std::string(tpl_string(b, kTplName));
}

void templates_release(uint32_t index) {
  const std::string form(name_text(index));
  tpl_release_strings(index);
  set_checked(index, false);
  mod_unresolve_template(index);
  if (!form.empty()) {
    std::vector<uint32_t> tables;
    form_tables_apply(form, [&](uint32_t t) { tables.push_back(t); });
    for (uint32_t t : tables) name_delete(t, true);
  }
}

bool templates_picture_in_use(uint32_t index) {
  for (int i = 1; i < name_count(); ++i) {
    std::vector<PropertyBlock> recs;
    if (!tpl_is_template(static_cast<uint32_t>(i)) || !tpl_read_all(static_cast<uint32_t>(i), &recs)) continue;
    for (const PropertyBlock& b : recs)
      if (b.type != 0 && prop_get_field(b, kTplPicture) == index) return true;
  }
  return false;
}

// A deleted event table or picture leaves no record naming it: the index
// would otherwise come to name whatever entry takes it next.
void templates_entry_deleted(uint32_t index, uint32_t flags) {
  if (!(flags & (NF_EVENT_TABLE | NF_PICTURE))) return;
  for (int i = 1; i < name_count(); ++i) {
    const uint32_t t = static_cast<uint32_t>(i);
    std::vector<PropertyBlock> recs;
    if (t == index || !tpl_is_template(t) || !tpl_read_all(t, &recs)) continue;
    for (uint32_t r = 0; r < recs.size(); ++r) {
      PropertyBlock& b = recs[r];
      if (b.type == 0) continue;
      bool changed = false;
      for (uint32_t id : {kTplEventTable, kTplEventTable2, kTplPicture}) {
        const bool kind_matches = (id == kTplPicture) == ((flags & NF_PICTURE) != 0);
        if (kind_matches && prop_get_field(b, id) == index) {
          prop_set_field(b, id, 0);
          changed = true;
        }
      }
      if (changed) tpl_write(t, r, b);
    }
  }
}

// A module bound keys in the table named after a template: the form's
// record 0 takes the table.
void templates_table_bound(uint32_t table, std::string_view table_name) {
  const uint32_t h = name_find(table_name, NF_TEMPLATE);
  if (!h || (h & 0xFFFF)) return;
  PropertyBlock b;
  if (!tpl_read(h >> 16, 0, &b)) return;
  if (prop_get_field(b, kTplEventTable) == table) return;
  prop_set_field(b, kTplEventTable, table);
  tpl_write(h >> 16, 0, b);
}

int32_t templates_create_object(std::string_view name, uint32_t flags, std::optional<std::string_view> info,
                                uint32_t source) {
  const uint32_t kinds = flags & (NF_PROC | NF_COMMAND | NF_EVENT_TABLE | NF_PICTURE | NF_TEMPLATE);
  if (name.empty() || kinds == 0 || (kinds & (kinds - 1))) return ERR_INVALID_ARGUMENT;
  if (flags & NF_PICTURE) {
    const int32_t r = tpl_picture_from_file(name);
    if (r > 0 && info && !info->empty()) name_set_info(static_cast<uint32_t>(r), info);
    return r;
  }
  return tpl_create_named(name, std::nullopt, (flags >> 11) & 0x1F, source, info);
}

int templates_store_module(std::span<const uint8_t> form) {
  const int32_t r = tpl_store_module(form);
  return r < 0 ? r : 0;
}

void templates_picture_release(uint32_t index) { ctl_picture_release(index); }

// ---- records ----

bool tpl_is_string_prop(uint32_t type, uint32_t id) {
  if (type == 0 || type >= kObjTypeCount ||
      std::find(kTemplateStringProps.begin(), kTemplateStringProps.end(), id) == kTemplateStringProps.end())
    return false;  // a free record owns nothing
  // Font name and text are freed with every object, as objects free them;
  // menu records keep other strings in those words (categories in text's).
  if ((id == 30 || id == 52) && type != kObjMenu && type != kObjMenuItem) return true;
  return (prop_record(id).type_mask & obj_type_bit(type)) != 0;
}

void tpl_decode(const uint8_t* p, PropertyBlock* b) {
  b->type = le::get_u16(p);
  b->next = le::get_u16(p + 2);
  b->child = le::get_u16(p + 4);
  b->link3 = le::get_u16(p + 6);
  for (int i = 0; i < kPropWords; ++i) b->words[i] = le::get_u32(p + 8 + 4 * i);
}

void tpl_encode(const PropertyBlock& b, uint8_t* p) {
  le::put_u16(p, b.type);
  le::put_u16(p + 2, b.next);
  le::put_u16(p + 4, b.child);
  le::put_u16(p + 6, b.link3);
  for (int i = 0; i < kPropWords; ++i) le::put_u32(p + 8 + 4 * i, b.words[i]);
}

int32_t tpl_check_records(std::span<const uint8_t> block) {
  constexpr int32_t bad = ERR_INCORRECT_VERSION;
  if (block.empty() || block.size() % kTemplateRecordSize != 0) return bad;
  const uint64_t n = block.size() / kTemplateRecordSize;
  if (n > kTemplateMaxRecords) return bad;
  auto type_of = [&](uint32_t r) { return le::get_u16(block.data() + size_t{r} * kTemplateRecordSize); };
  auto next_of = [&](uint32_t r) { return le::get_u16(block.data() + size_t{r} * kTemplateRecordSize + 2); };
  auto child_of = [&](uint32_t r) { return le::get_u16(block.data() + size_t{r} * kTemplateRecordSize + 4); };
  const uint32_t top = type_of(0);
  if (top < kObjForm || top > kObjMenuItem) return bad;
  std::vector<uint8_t> seen(n, 0);
  seen[0] = 1;
  // Parents whose rings are still to walk; each record is pushed once at most.
  std::vector<uint32_t> todo{0};
  while (!todo.empty()) {
    const uint32_t parent = todo.back();
    todo.pop_back();
    const uint32_t first = child_of(parent);
    if (first == 0) continue;
    uint32_t r = first;
    do {
      if (r >= n || seen[r] || !valid_record_type(type_of(parent), type_of(r))) return bad;
      seen[r] = 1;
      todo.push_back(r);
      r = next_of(r);
    } while (r != first);
  }
  return 0;
}

bool tpl_is_template(uint32_t index) { return index > 0 && (name_is_valid(index) & NF_TEMPLATE) != 0; }

int32_t tpl_load(uint32_t index) {
  uint32_t size = 0;
  int32_t err = 0;
  block_of(index, &size, &err);
  return err;
}

uint32_t tpl_record_count(uint32_t index) {
  uint32_t size = 0;
  return block_of(index, &size) ? record_count_of(size) : 0;
}

bool tpl_read(uint32_t index, uint32_t control, PropertyBlock* out) {
  uint32_t size = 0;
  const uint8_t* p = block_of(index, &size);
  if (!p || control >= record_count_of(size)) return false;
  tpl_decode(p + size_t{control} * kTemplateRecordSize, out);
  return true;
}

bool tpl_read_all(uint32_t index, std::vector<PropertyBlock>* out) {
  uint32_t size = 0;
  const uint8_t* p = block_of(index, &size);
  if (!p) return false;
  out->resize(record_count_of(size));
  for (size_t r = 0; r < out->size(); ++r) tpl_decode(p + r * kTemplateRecordSize, &(*out)[r]);
  return true;
}

bool tpl_write(uint32_t index, uint32_t control, const PropertyBlock& b) {
  uint32_t size = 0;
  uint8_t* p = block_of(index, &size);
  if (!p || control >= record_count_of(size)) return false;
  // Links written here are our own: editors of templates (menu resources)
  // pass through states a whole-tree check would refuse, so walks of
  // records check the tree they walk themselves.
  tpl_encode(b, p + size_t{control} * kTemplateRecordSize);
  name_pin_data(index);
  return true;
}

int32_t tpl_add_control(uint32_t index) {
  uint32_t size = 0;
  int32_t err = 0;
  uint8_t* p = block_of(index, &size, &err);
  if (!p) return err;
  const uint32_t n = record_count_of(size);
  for (uint32_t r = 1; r < n; ++r) {
    if (le::get_u16(p + size_t{r} * kTemplateRecordSize) == 0) {
      std::memset(p + size_t{r} * kTemplateRecordSize, 0, kTemplateRecordSize);
      name_pin_data(index);
      return static_cast<int32_t>(r);
    }
  }
  if (n + 4 > kTemplateMaxRecords) return ERR_NOT_ENOUGH_MEMORY;
  const uint32_t grown = (n + 4) * kTemplateRecordSize;
  // The allocation may drop the old block: keep a copy first.
  const std::vector<uint8_t> old(p, p + size);
  uint8_t* block = nullptr;
  if (name_data_alloc(&block, grown) != 0) return ERR_NOT_ENOUGH_MEMORY;
  std::memcpy(block, old.data(), size);
  std::memset(block + size, 0, grown - size);
  name_data_replace(index, block, grown);
  name_pin_data(index);
  return static_cast<int32_t>(n);
}

int32_t tpl_find_control(uint32_t index, std::string_view name) {
  std::vector<PropertyBlock> recs;
  if (!tpl_read_all(index, &recs)) return -1;
  for (uint32_t r = 0; r < recs.size(); ++r)
    if (recs[r].type != 0 && name_equal(tpl_string(recs[r], kTplName), name, 0)) return static_cast<int32_t>(r);
  return -1;
}

// ---- strings ----

std::string_view tpl_string(const PropertyBlock& b, uint32_t id) {
  return namepool::get(static_cast<uint16_t>(prop_get_field(b, id)));
}

int32_t tpl_set_string(PropertyBlock& b, uint32_t id, std::string_view s) {
  uint16_t h = 0;
  if (!s.empty()) {
    h = namepool::put(s);
    if (h == 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  prop_set_field(b, id, h);
  return 0;
}

int32_t tpl_update_string(PropertyBlock& b, uint32_t id, std::string_view s) {
  const uint16_t old = static_cast<uint16_t>(prop_get_field(b, id));
  uint16_t h = 0;
  if (!s.empty()) {
    h = namepool::put(s);
    if (h == 0) return ERR_NOT_ENOUGH_MEMORY;
  }
  namepool::drop(old);
  prop_set_field(b, id, h);
  return 0;
}

void tpl_clear_strings(PropertyBlock& b) {
  release_record_strings(b);
  b.type = 0;
}

int32_t tpl_copy_records(std::span<PropertyBlock> dest, std::span<const PropertyBlock> src) {
  const size_t n = std::min(dest.size(), src.size());
  for (size_t r = 0; r < n; ++r) {
    dest[r] = src[r];
    for (uint32_t id : kTemplateStringProps) {
      if (!tpl_is_string_prop(src[r].type, id)) continue;
      if (tpl_set_string(dest[r], id, tpl_string(src[r], id)) != 0) {
        for (size_t k = 0; k <= r; ++k) {
          if (k == r) prop_set_field(dest[k], id, 0);  // the ones after id still name src's strings
          for (uint32_t j : kTemplateStringProps) {
            if (k == r && j == id) break;
            if (tpl_is_string_prop(dest[k].type, j)) namepool::drop(static_cast<uint16_t>(prop_get_field(dest[k], j)));
            prop_set_field(dest[k], j, 0);
          }
        }
        for (size_t k = r; k < n; ++k)
          for (uint32_t j : kTemplateStringProps)
            if (tpl_is_string_prop(dest[k].type, j)) prop_set_field(dest[k], j, 0);
        return ERR_INTERPRETER_OUT_OF_MEMORY;
      }
    }
  }
  return 0;
}

void tpl_release_strings(uint32_t index) {
  std::vector<PropertyBlock> recs;
  if (!tpl_read_all(index, &recs)) return;  // a damaged block owns nothing we can trust
  for (uint32_t r = 0; r < recs.size(); ++r) {
    release_record_strings(recs[r]);
    tpl_write(index, r, recs[r]);
  }
}

// ---- storing ----

namespace {

// Resolves the references of records stored from memory: a table property
// that names no event table becomes 0, and 0 takes the table named after
// the record when there is one.
void resolve_memory(std::string_view form, std::vector<PropertyBlock>& records) {
  for (size_t r = 0; r < records.size(); ++r) {
    PropertyBlock& b = records[r];
    if (b.type == 0) continue;
    for (uint32_t id : {kTplEventTable, kTplEventTable2}) {
      if (!(name_is_valid(prop_get_field(b, id)) & NF_EVENT_TABLE)) prop_set_field(b, id, 0);
    }
    if (prop_get_field(b, kTplEventTable) == 0) prop_set_field(b, kTplEventTable, table_named_after(form, b, r == 0));
    if (prop_get_field(b, kTplPicture) && !(name_is_valid(prop_get_field(b, kTplPicture)) & NF_PICTURE))
      prop_set_field(b, kTplPicture, 0);
  }
}

// Deletes the form's tables that no record refers to any more.
void drop_orphan_tables(std::string_view form, const std::vector<PropertyBlock>& records) {
  std::unordered_set<uint32_t> used;
  for (const PropertyBlock& b : records) {
    if (b.type == 0) continue;
    used.insert(prop_get_field(b, kTplEventTable));
    used.insert(prop_get_field(b, kTplEventTable2));
  }
  std::vector<uint32_t> orphans;
  form_tables_apply(form, [&](uint32_t t) {
    if (!used.count(t)) orphans.push_back(t);
  });
  for (uint32_t t : orphans) name_delete(t, true);
}

}  // namespace

int32_t tpl_store(std::vector<PropertyBlock> records) {
  std::vector<uint8_t> block(records.size() * kTemplateRecordSize);
  for (size_t r = 0; r < records.size(); ++r) tpl_encode(records[r], block.data() + r * kTemplateRecordSize);
  if (records.empty() || tpl_check_records(block) != 0) {
    release_all(records);
    return ERR_INVALID_ARGUMENT;
  }
  const std::string form(tpl_string(records[0], kTplName));
  if (form.empty()) {
    release_all(records);
    return ERR_NO_NAME;
  }
  resolve_memory(form, records);
  for (size_t r = 0; r < records.size(); ++r) tpl_encode(records[r], block.data() + r * kTemplateRecordSize);
  uint8_t* data = nullptr;
  if (name_data_alloc(&data, static_cast<uint32_t>(block.size())) != 0) {
    release_all(records);
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  std::memcpy(data, block.data(), block.size());
  const uint32_t flags = obj_type_to_name_flags(records[0].type);
  uint32_t index = name_find(form, NF_TEMPLATE) >> 16;
  if (index && (name_find(form, NF_TEMPLATE) & 0xFFFF)) index = 0;
  if (index) {
    std::optional<std::string> info;
    if (!name_info(index).empty()) info = std::string(name_info(index));
    tpl_release_strings(index);
    name_data_replace(index, data, static_cast<uint32_t>(block.size()));
    NameEntry* e = name_entry(index);
    e->flags = (e->flags & ~(0x1Fu << 11)) | flags;
    if (info) name_set_info(index, *info);
  } else {
    NameEntry image;
    image.flags = flags;
    const int32_t r = name_insert(form, image);
    if (r <= 0) {
      name_data_block_free(data);
      release_all(records);
      return r < 0 ? r : ERR_INTERPRETER_OUT_OF_MEMORY;
    }
    index = static_cast<uint32_t>(r);
    cache_register(index, data, 0, static_cast<uint32_t>(block.size()), 0, NS_RESIDENT | NS_LOCKED);
  }
  set_checked(index, false);
  drop_orphan_tables(form, records);
  return static_cast<int32_t>(index << 16);
}

namespace {

// Reads a module form into records whose references are still texts.
bool parse_module(std::span<const uint8_t> form, std::vector<TplModuleRecord>* out) {
  if (form.size() < kTemplateRecordSize) return false;
  PropertyBlock r0;
  tpl_decode(form.data(), &r0);
  const uint32_t bytes = prop_get_field(r0, kTplName);
  if (bytes == 0 || bytes % kTemplateRecordSize != 0 || bytes > form.size()) return false;
  if (tpl_check_records(form.first(bytes)) != 0) return false;
  const std::span<const uint8_t> strings = form.subspan(bytes);
  const uint32_t n = bytes / kTemplateRecordSize;
  out->assign(n, {});
  for (uint32_t r = 0; r < n; ++r) {
    TplModuleRecord& m = (*out)[r];
    tpl_decode(form.data() + size_t{r} * kTemplateRecordSize, &m.block);
    if (m.block.type == 0) {  // free: nothing of it is kept
      m.block = PropertyBlock{};
      continue;
    }
    std::string_view s;
    for (size_t k = 0; k < kTemplateStringProps.size(); ++k) {
      const uint32_t id = kTemplateStringProps[k];
      if (!tpl_is_string_prop(m.block.type, id)) continue;
      // Record 0's name is always the first string.
      const uint32_t off = (r == 0 && id == kTplName) ? 1 : prop_get_field(m.block, id);
      if (!module_string(strings, off, &s)) return false;
      m.strings[k] = std::string(s);
      prop_set_field(m.block, id, 0);
    }
    for (uint32_t id : {kTplEventTable, kTplEventTable2, kTplPicture}) {
      if (!module_string(strings, prop_get_field(m.block, id), &s)) return false;
      (id == kTplEventTable ? m.table : id == kTplEventTable2 ? m.table2 : m.picture) = std::string(s);
      prop_set_field(m.block, id, 0);
    }
  }
  return !(*out)[0].strings[2].empty();  // the form's name
}

}  // namespace

bool tpl_module_parse(std::span<const uint8_t> form, std::vector<TplModuleRecord>* out) {
  return parse_module(form, out);
}

int32_t tpl_store_module(std::span<const uint8_t> form) {
  std::vector<TplModuleRecord> parsed;
  if (!parse_module(form, &parsed)) return ERR_INCORRECT_VERSION;
  std::vector<PropertyBlock> records(parsed.size());
  for (size_t r = 0; r < parsed.size(); ++r) records[r] = parsed[r].block;
  // Strings first: nothing named is made until they all fit.
  for (size_t r = 0; r < parsed.size(); ++r) {
    if (records[r].type == 0) continue;
    for (size_t k = 0; k < kTemplateStringProps.size(); ++k) {
      if (!tpl_is_string_prop(records[r].type, kTemplateStringProps[k])) continue;
      if (tpl_set_string(records[r], kTemplateStringProps[k], parsed[r].strings[k]) != 0) {
        release_all(records);
        return ERR_INTERPRETER_OUT_OF_MEMORY;
      }
    }
  }
  const std::string form_name = parsed[0].strings[2];
  for (size_t r = 0; r < parsed.size(); ++r) {
    PropertyBlock& b = records[r];
    if (b.type == 0) continue;
    uint32_t t = 0;
    if (!parsed[r].table.empty()) {
      if (const int32_t e = find_or_create_table(parsed[r].table, &t); e != 0) {
        release_all(records);
        return e;
      }
    } else {
      t = table_named_after(form_name, b, r == 0);
    }
    prop_set_field(b, kTplEventTable, t);
    t = 0;
    if (!parsed[r].table2.empty()) {
      if (const int32_t e = find_or_create_table(parsed[r].table2, &t); e != 0) {
        release_all(records);
        return e;
      }
    }
    prop_set_field(b, kTplEventTable2, t);
    if (!parsed[r].picture.empty()) {
      const int32_t p = tpl_picture_from_file(parsed[r].picture);
      prop_set_field(b, kTplPicture, p > 0 ? static_cast<uint32_t>(p) : 0);
    }
  }
  return tpl_store(std::move(records));
}

bool tpl_module_form(std::span<const TplModuleRecord> records, std::vector<uint8_t>* out, std::string* err) {
  if (records.empty()) return *err = "a template needs at least the form's record", false;
  const size_t bytes = records.size() * kTemplateRecordSize;
  if (bytes > 0xFFFF) return *err = "too many records for a module template (at most 546)", false;
  std::vector<uint8_t> strings;
  auto add = [&](std::string_view s) -> uint32_t {
    if (s.empty()) return 0;
    const uint32_t off = static_cast<uint32_t>(strings.size()) + 1;
    varint_append(strings, s);
    return off;
  };
  if (records[0].strings[2].empty()) return *err = "the form needs a name", false;
  add(records[0].strings[2]);  // the form's name comes first, at offset 1
  std::vector<PropertyBlock> blocks(records.size());
  for (size_t r = 0; r < records.size(); ++r) {
    PropertyBlock b = records[r].block;
    for (size_t k = 0; k < kTemplateStringProps.size(); ++k) {
      const uint32_t id = kTemplateStringProps[k];
      if (!tpl_is_string_prop(b.type, id)) continue;
      if (r == 0 && id == kTplName) continue;
      const uint32_t off = add(records[r].strings[k]);
      if (prop_set_field(b, id, off) >> (prop_record(id).shift) != off) return *err = "strings area too large", false;
    }
    for (uint32_t id : {kTplEventTable, kTplEventTable2, kTplPicture}) {
      const std::string& s = id == kTplEventTable    ? records[r].table
                             : id == kTplEventTable2 ? records[r].table2
                                                     : records[r].picture;
      const uint32_t off = add(s);
      if (prop_set_field(b, id, off) >> (prop_record(id).shift) != off) return *err = "strings area too large", false;
    }
    blocks[r] = b;
  }
  prop_set_field(blocks[0], kTplName, static_cast<uint32_t>(bytes));
  out->assign(bytes, 0);
  for (size_t r = 0; r < blocks.size(); ++r) tpl_encode(blocks[r], out->data() + r * kTemplateRecordSize);
  if (tpl_check_records(*out) != 0) return *err = "the records' links or types do not form a tree", false;
  out->insert(out->end(), strings.begin(), strings.end());
  return true;
}

TplModuleRecord tpl_default_record(uint32_t type) {
  TplModuleRecord m;
  obj_init_type_defaults(m.block, static_cast<int32_t>(type));
  m.block.type = static_cast<uint16_t>(type);
  // The initialiser's strings are the live heap's: give them back as texts.
  for (size_t k = 0; k < kTemplateStringProps.size(); ++k) {
    const uint32_t id = kTemplateStringProps[k];
    if (tpl_is_string_prop(type, id)) m.strings[k] = std::string(prop_block_string(m.block, id));
    prop_block_set_string(m.block, id, std::nullopt);
    prop_set_field(m.block, id, 0);
  }
  return m;
}

int32_t tpl_create(std::string_view name, std::span<const PropertyBlock> records) {
  NameEntry e;
  e.flags = NF_TEMPLATE | (records.empty() ? 0u : (uint32_t{records[0].type} & 0x1F) << 11);
  const int32_t index = name_insert(name, e);
  if (index <= 0) return index < 0 ? index : ERR_NOT_ENOUGH_MEMORY;
  const uint32_t size = static_cast<uint32_t>(records.size()) * kTemplateRecordSize;
  uint8_t* block = nullptr;
  if (name_data_alloc(&block, size ? size : 1) != 0) return ERR_NOT_ENOUGH_MEMORY;
  for (size_t i = 0; i < records.size(); ++i) tpl_encode(records[i], block + i * kTemplateRecordSize);
  cache_register(static_cast<uint32_t>(index), block, 0, size, size, NS_RESIDENT);
  name_pin_data(static_cast<uint32_t>(index));
  set_checked(static_cast<uint32_t>(index), false);
  return index;
}

int32_t tpl_create_named(std::string_view name, std::optional<std::string_view> display, uint32_t type,
                         uint32_t source_handle, std::optional<std::string_view> info) {
  if (type < kObjForm || type > kObjMenuItem) return ERR_INVALID_ARGUMENT;
  std::vector<PropertyBlock> records;
  if (source_handle) {
    if ((source_handle & 0xFFFF) || !tpl_is_template(source_handle >> 16)) return ERR_INVALID_ARGUMENT;
    std::vector<PropertyBlock> src;
    if (!tpl_read_all(source_handle >> 16, &src)) return ERR_INCORRECT_VERSION;
    records.resize(src.size());
    if (const int32_t r = tpl_copy_records(records, src); r != 0) return r;
  } else {
    const TplModuleRecord d = tpl_default_record(type);
    PropertyBlock b = d.block;
    for (size_t k = 0; k < kTemplateStringProps.size(); ++k) {
      if (d.strings[k].empty() || !tpl_is_string_prop(type, kTemplateStringProps[k])) continue;
      if (tpl_set_string(b, kTemplateStringProps[k], d.strings[k]) != 0) {
        release_record_strings(b);
        return ERR_INTERPRETER_OUT_OF_MEMORY;
      }
    }
    records.push_back(b);
  }
  if (tpl_update_string(records[0], kTplName, display ? *display : name) != 0) {
    release_all(records);
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  const int32_t h = tpl_store(std::move(records));
  if (h > 0 && info) name_set_info(static_cast<uint32_t>(h) >> 16, info);
  return h;
}

// ---- pictures ----

int32_t tpl_picture_from_file(std::string_view name) {
  LStrLine in(name), out;
  int flag = 0, extra = 0;
  if (const ErrorCode e = file_search_path(out, in, 0, LSTR_CAP_LINE, &flag, &extra); e != 0) return e;
  std::string path(out.view());
  if (!path.empty() && path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
  }
  std::vector<uint8_t> data;
  if (const int32_t e = ctl_picture_read_file(path.c_str(), &data); e != 0) return e;
  const size_t slash = path.rfind('/');
  const std::string file = path.substr(slash + 1);
  uint8_t* block = nullptr;
  if (name_data_alloc(&block, static_cast<uint32_t>(data.size())) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
  std::memcpy(block, data.data(), data.size());
  if (const uint32_t old = name_find(file, NF_PICTURE)) {
    // Read again: the entry keeps its index, its image is made anew.
    name_data_replace(old, block, static_cast<uint32_t>(data.size()));
    name_pin_data(old);
    name_picture_release(old);
    return static_cast<int32_t>(old);
  }
  NameEntry image;
  image.flags = NF_PICTURE;
  const int32_t r = name_insert(file, image);
  if (r <= 0) {
    name_data_block_free(block);
    return r < 0 ? r : ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  cache_register(static_cast<uint32_t>(r), block, 0, static_cast<uint32_t>(data.size()), 0, NS_RESIDENT | NS_LOCKED);
  return r;
}
