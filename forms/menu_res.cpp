// Menu resources (see menu_res.h).
#include "forms/menu_res.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "forms/templates.h"
#include "macro/code_cache.h"
#include "macro/names.h"

namespace {

// Properties of menu records.
constexpr uint32_t kPropEnabled = 2, kPropCaption = 29, kPropCommand = 92, kPropHelpMessage = 93, kPropCategories = 94,
                   kPropChecked = 95, kPropHelpCommand = 162;
// Record numbers are 16 bits.
constexpr uint32_t kMaxRecords = 0xFFFF;

uint32_t index_of(int64_t handle) { return static_cast<uint32_t>(handle >> 16) & 0xFFFF; }
uint32_t record_of(int64_t handle) { return static_cast<uint32_t>(handle) & 0xFFFF; }

struct Menu {
  uint32_t index = 0, record = 0, count = 0;
  PropertyBlock b{};
};

// The menu record a handle names, read; false when it names none.
bool menu_of(int64_t handle, Menu* m) {
  if (handle < kMenuResourceHandleMin || handle > 0xFFFFFFFFll) return false;
  m->index = index_of(handle);
  m->record = record_of(handle);
  if (!tpl_is_template(m->index)) return false;
  m->count = tpl_record_count(m->index);
  return tpl_read(m->index, m->record, &m->b) && m->b.type == kObjMenu;
}

// The children of a menu record in ring order; false when a link leaves
// the records or the ring does not come back within the record count.
bool children(uint32_t index, const PropertyBlock& parent, uint32_t count, std::vector<uint32_t>* out) {
  out->clear();
  if (parent.child == 0) return true;
  uint32_t r = parent.child;
  for (uint32_t steps = 0; steps <= count; ++steps) {
    PropertyBlock c;
    if (r >= count || !tpl_read(index, r, &c) || c.type == 0) return false;
    out->push_back(r);
    r = c.next;
    if (r == parent.child) return true;
  }
  return false;
}

void set_next(uint32_t index, uint32_t record, uint32_t next) {
  PropertyBlock b;
  if (!tpl_read(index, record, &b)) return;
  b.next = static_cast<uint16_t>(next);
  tpl_write(index, record, b);
}

void set_child(uint32_t index, uint32_t record, uint32_t child) {
  PropertyBlock b;
  if (!tpl_read(index, record, &b)) return;
  b.child = static_cast<uint16_t>(child);
  tpl_write(index, record, b);
}

// Links record r as child number p of the menu record.
bool link(uint32_t index, uint32_t parent, uint32_t r, int32_t p) {
  PropertyBlock pb;
  std::vector<uint32_t> kids;
  if (!tpl_read(index, parent, &pb) || !children(index, pb, tpl_record_count(index), &kids)) return false;
  if (kids.empty()) {
    set_next(index, r, r);
    set_child(index, parent, r);
    return true;
  }
  const size_t n = kids.size();
  if (p == 0) {  // the new first child
    set_next(index, r, kids[0]);
    set_next(index, kids[n - 1], r);
    set_child(index, parent, r);
    return true;
  }
  const size_t at = p < 0 || static_cast<size_t>(p) > n ? n : static_cast<size_t>(p);  // inserted after kids[at - 1]
  set_next(index, r, kids[at % n]);
  set_next(index, kids[at - 1], r);
  return true;
}

// A free record (type 0, past record 0), or a new one at the end.
int32_t alloc_record(uint32_t index) {
  const uint32_t count = tpl_record_count(index);
  for (uint32_t r = 1; r < count; ++r) {
    PropertyBlock b;
    if (tpl_read(index, r, &b) && b.type == 0) return static_cast<int32_t>(r);
  }
  if (count >= kMaxRecords || name_load_data(index) != 0) return ERR_NOT_ENOUGH_MEMORY;
  const uint32_t size = count * kTemplateRecordSize;
  uint8_t* grown = static_cast<uint8_t*>(std::calloc(size + kTemplateRecordSize, 1));
  if (!grown) return ERR_NOT_ENOUGH_MEMORY;
  if (size) std::memcpy(grown, name_block(index), size);
  name_data_replace(index, grown, size + kTemplateRecordSize);
  return static_cast<int32_t>(count);
}

void set_string(PropertyBlock& b, uint32_t id, const std::string& s) {
  if (!s.empty()) tpl_update_string(b, id, s);
}

// Frees a record and its subtree; `seen` bounds the walk on a damaged ring.
void free_tree(uint32_t index, uint32_t r, uint32_t count, std::vector<bool>& seen) {
  if (r >= count || seen[r]) return;
  seen[r] = true;
  PropertyBlock b;
  if (!tpl_read(index, r, &b)) return;
  std::vector<uint32_t> kids;
  if (b.type == kObjMenu && children(index, b, count, &kids))
    for (uint32_t k : kids) free_tree(index, k, count, seen);
  for (uint32_t id : {kPropCaption, kPropCommand, kPropHelpMessage, kPropCategories, kPropHelpCommand})
    tpl_update_string(b, id, {});
  std::memset(&b, 0, sizeof b);
  tpl_write(index, r, b);
}

// Whether record `inner` lies in the subtree of `outer`.
bool inside(uint32_t index, uint32_t outer, uint32_t inner, uint32_t count, std::vector<bool>& seen) {
  if (outer == inner) return true;
  if (outer >= count || seen[outer]) return false;
  seen[outer] = true;
  PropertyBlock b;
  std::vector<uint32_t> kids;
  if (!tpl_read(index, outer, &b) || b.type != kObjMenu || !children(index, b, count, &kids)) return false;
  for (uint32_t k : kids)
    if (inside(index, k, inner, count, seen)) return true;
  return false;
}

MenuStrings strings_of(const PropertyBlock& b) {
  MenuStrings s;
  s.caption = std::string(tpl_string(b, kPropCaption));
  s.command = std::string(tpl_string(b, kPropCommand));
  s.help_message = std::string(tpl_string(b, kPropHelpMessage));
  s.categories = std::string(tpl_string(b, kPropCategories));
  s.help_command = std::string(tpl_string(b, kPropHelpCommand));
  return s;
}

// Fills the live menu with the children of a menu record; depth is bounded
// by the record count, so a record that is its own ancestor ends the load.
int32_t fill(uint32_t index, uint32_t record, int32_t menu, uint32_t depth) {
  const uint32_t count = tpl_record_count(index);
  if (count == 0) return ERR_READING_FILE;
  if (depth > count) return ERR_INVALID_ARGUMENT;
  PropertyBlock b;
  if (!tpl_read(index, record, &b)) return ERR_READING_FILE;
  std::vector<uint32_t> kids;
  if (!children(index, b, count, &kids)) return ERR_INVALID_ARGUMENT;
  for (uint32_t k : kids) {
    PropertyBlock c;
    if (!tpl_read(index, k, &c)) return ERR_READING_FILE;  // read again: loading may move the data
    if (c.type != kObjMenu && c.type != kObjMenuItem) return ERR_INVALID_ARGUMENT;
    MenuStrings s = strings_of(c);
    if (c.type == kObjMenu) {
      s.command.clear();
      const int32_t sub = menu_insert(menu, -1, kMenuStored | kMenuCascade, s);
      if (sub < 0) return ERR_NOT_ENOUGH_MEMORY;
      if (const int32_t r = fill(index, k, sub, depth + 1); r < 0) return r;
    } else if (menu_insert(menu, -1, kMenuStored, s) < 0) {
      return ERR_NOT_ENOUGH_MEMORY;
    }
  }
  return 0;
}

}  // namespace

int32_t menu_resource_create(std::string_view name) {
  NameEntry e;
  e.flags = obj_type_to_name_flags(kObjMenu);
  const int32_t index = name_insert(name, e);
  if (index <= 0) return index < 0 ? index : ERR_NOT_ENOUGH_MEMORY;
  uint8_t* block = static_cast<uint8_t*>(std::calloc(kTemplateRecordSize, 1));
  if (!block) return ERR_NOT_ENOUGH_MEMORY;
  // The root goes in before the block is registered: a block is checked
  // whole on first use, and an empty record 0 is no template.
  PropertyBlock root{};
  obj_init_type_defaults(root, kObjMenu);
  root.type = kObjMenu;
  tpl_encode(root, block);
  cache_register(static_cast<uint32_t>(index), block, 0, kTemplateRecordSize, kTemplateRecordSize, NS_RESIDENT);
  name_pin_data(static_cast<uint32_t>(index));
  return index << 16;
}

bool menu_resource_is_menu(int64_t handle) {
  Menu m;
  return menu_of(handle, &m);
}

int32_t menu_resource_child_count(int64_t handle) {
  Menu m;
  std::vector<uint32_t> kids;
  if (!menu_of(handle, &m) || !children(m.index, m.b, m.count, &kids)) return ERR_INVALID_MENU_HANDLE;
  return static_cast<int32_t>(kids.size());
}

int32_t menu_resource_insert(int64_t handle, int32_t position, uint32_t flags, const MenuStrings& s) {
  Menu m;
  if (!menu_of(handle, &m)) return ERR_INVALID_MENU_HANDLE;
  const int32_t r = alloc_record(m.index);
  if (r < 0) return r;
  PropertyBlock b{};
  const int32_t type = (flags & kMenuCascade) ? kObjMenu : kObjMenuItem;
  obj_init_type_defaults(b, type);
  b.type = static_cast<uint16_t>(type);
  prop_set_field(b, kPropEnabled, (flags & kMenuDisabled) ? 0 : 1);
  prop_set_field(b, kPropChecked, (flags & kMenuChecked) ? 1 : 0);
  set_string(b, kPropCaption, s.caption);
  set_string(b, kPropCommand, s.command);
  set_string(b, kPropHelpMessage, s.help_message);
  set_string(b, kPropHelpCommand, s.help_command);
  set_string(b, kPropCategories, s.categories);
  const uint32_t rr = static_cast<uint32_t>(r);
  if (!tpl_write(m.index, rr, b) || !link(m.index, m.record, rr, position)) {
    std::vector<bool> seen(tpl_record_count(m.index), false);
    free_tree(m.index, rr, tpl_record_count(m.index), seen);
    return ERR_INVALID_MENU_HANDLE;
  }
  return type == kObjMenu ? static_cast<int32_t>((m.index << 16) | rr) : 0;
}

int32_t menu_resource_unlink(int64_t handle, int32_t position) {
  Menu m;
  std::vector<uint32_t> kids;
  if (!menu_of(handle, &m) || !children(m.index, m.b, m.count, &kids)) return ERR_INVALID_MENU_HANDLE;
  if (position < 0 || kids.empty() || static_cast<size_t>(position) >= kids.size()) return ERR_INVALID_ARGUMENT;
  const size_t n = kids.size(), p = static_cast<size_t>(position);
  const uint32_t r = kids[p];
  if (n == 1) {
    set_child(m.index, m.record, 0);
  } else {
    set_next(m.index, kids[(p + n - 1) % n], kids[(p + 1) % n]);
    if (p == 0) set_child(m.index, m.record, kids[1]);
  }
  set_next(m.index, r, r);
  return static_cast<int32_t>(r);
}

int32_t menu_resource_delete(int64_t handle, int32_t position) {
  const int32_t r = menu_resource_unlink(handle, position);
  if (r < 0) return r;
  const uint32_t index = index_of(handle), count = tpl_record_count(index);
  std::vector<bool> seen(count, false);
  free_tree(index, static_cast<uint32_t>(r), count, seen);
  return 0;
}

int32_t menu_resource_move(int64_t source, int32_t source_position, int64_t target, int32_t target_position) {
  Menu s, t;
  if (!menu_of(source, &s) || !menu_of(target, &t)) return ERR_INVALID_MENU_HANDLE;
  if (s.index != t.index || source_position < 0) return ERR_INVALID_ARGUMENT;
  std::vector<uint32_t> kids;
  if (!children(s.index, s.b, s.count, &kids)) return ERR_INVALID_MENU_HANDLE;
  if (static_cast<size_t>(source_position) >= kids.size()) return ERR_INVALID_ARGUMENT;
  // A submenu moved into itself would leave a ring no walk comes back from.
  std::vector<bool> seen(s.count, false);
  if (inside(s.index, kids[static_cast<size_t>(source_position)], t.record, s.count, seen)) return ERR_INVALID_ARGUMENT;
  const int32_t r = menu_resource_unlink(source, source_position);
  if (r < 0) return r;
  return link(t.index, t.record, static_cast<uint32_t>(r), target_position) ? 0 : ERR_INVALID_MENU_HANDLE;
}

int32_t menu_resource_key_text(int64_t handle, std::string_view command, std::string_view key_text, char option) {
  const uint32_t index = handle >= kMenuResourceHandleMin ? index_of(handle) : static_cast<uint32_t>(handle);
  const uint32_t count = tpl_is_template(index) ? tpl_record_count(index) : 0;
  if (count == 0) return ERR_INVALID_NAME_INDEX;
  for (uint32_t r = 0; r < count; ++r) {
    PropertyBlock b;
    if (!tpl_read(index, r, &b) || b.type == kObjMenu || b.type == 0) continue;
    std::string caption;
    if (!key_text_caption(tpl_string(b, kPropCaption), tpl_string(b, kPropCommand), command, key_text, option,
                          &caption))
      continue;
    if (tpl_update_string(b, kPropCaption, caption) == 0) tpl_write(index, r, b);
  }
  return 0;
}

int32_t menu_load_resource(WindowObject* owner, int64_t handle, int32_t kind) {
  const int32_t menu = menu_create(owner, kind == 1 ? 1 : 0);
  if (menu < 0) return ERR_NOT_ENOUGH_MEMORY;
  Menu m;
  int32_t r = 0;
  if (index_of(handle) == 0 || !menu_of(handle, &m))
    r = ERR_INVALID_ARGUMENT;
  else
    r = fill(m.index, m.record, menu, 0);
  if (r < 0) {
    menu_destroy(menu, true);
    return r;
  }
  return menu;
}
