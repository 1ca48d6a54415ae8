// Purge of unused names, and renaming of tables, templates and pictures.
// Both walk the links of loaded modules, so they live beside the table
// rather than in it.
#include <algorithm>
#include <string>

#include "base/le.h"
#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/templates_port.h"

namespace {

// Calls fn(link) for every link of every loaded module that can be loaded.
template <class Fn>
void for_each_link(Fn fn) {
  for (int m = 1; m < name_count(); ++m) {
    if (!(name_is_valid(uint32_t(m)) & NF_MODULE) || name_load_data(uint32_t(m)) != 0) continue;
    const uint8_t* image = name_block(uint32_t(m));
    uint32_t links = le::get_u16(image + MH_LINKS);
    int last = le::get_i16(image + MH_LAST_LINK);
    for (int i = int(kFirstLink); i <= last; ++i) {
      const uint8_t* p = image + links + kLinkEntrySize * uint32_t(i);
      fn(LinkEntry{le::get_u16(p), le::get_u16(p + 2), le::get_u16(p + 4), le::get_u16(p + 6)});
    }
  }
}

bool has_definition(const NameEntry& e) { return (e.flags & NF_DLL_FUNC) || (e.data >> 16) != 0; }

}  // namespace

int name_purge_unused() {
  // 1. Mark the candidates.
  for (int i = 1; i < name_count(); ++i) {
    NameEntry* e = name_entry(uint32_t(i));
    if (!e) continue;
    bool candidate = ((e->flags & NF_CALLABLE) && !has_definition(*e)) || (e->flags & (NF_GLOBAL | NF_BUFLOCAL)) ||
                     (e->flags & NF_PICTURE);
    if (candidate) e->flags |= NF_PURGE_MARK;
  }
  // 2. Keep what a loaded module's links refer to, and pictures in use.
  for_each_link([](const LinkEntry& l) {
    switch (l.kind) {
      case LK_PROC:
      case LK_EXTERN:
      case LK_GLOBAL:
      case LK_COMMAND:
      case LK_BUFLOCAL:
      case LK_GLOBAL_INIT:
      case LK_COMMAND_INFO:
      case LK_BUFLOCAL_INIT:
        if (NameEntry* e = name_entry(l.a)) e->flags &= ~NF_PURGE_MARK;
        break;
      default:
        break;
    }
  });
  for (int i = 1; i < name_count(); ++i)
    if (NameEntry* e = name_entry(uint32_t(i)); e && (e->flags & NF_PICTURE) && templates_picture_in_use(uint32_t(i)))
      e->flags &= ~NF_PURGE_MARK;
  // 3. Delete the marked entries; "rc" and pictures named "_..." stay.
  int deleted = 0;
  bool callable_gone = false;
  for (int i = 1; i < name_count(); ++i) {
    NameEntry* e = name_entry(uint32_t(i));
    if (!e || !(e->flags & NF_PURGE_MARK)) continue;
    e->flags &= ~NF_PURGE_MARK;
    if (i == 1) continue;
    if ((e->flags & NF_PICTURE) && name_text(uint32_t(i)).substr(0, 1) == "_") continue;
    callable_gone |= (e->flags & NF_CALLABLE) != 0;
    name_delete(uint32_t(i), true);
    ++deleted;
  }
  // 4. Bindings that named a deleted callable (no module part) are cleared.
  if (callable_gone) {
    for (int i = 1; i < name_count(); ++i) {
      if (!(name_is_valid(uint32_t(i)) & NF_EVENT_TABLE) || name_load_data(uint32_t(i)) != 0) continue;
      uint8_t* b = name_block(uint32_t(i));
      bool changed = false;
      for (int k = 0; k < kEventBindings; ++k) {
        uint32_t w = le::get_u32(b + 4 + 4 * k);
        if (w && !(w >> 16) && !name_is_valid(w)) {
          le::put_u32(b + 4 + 4 * k, 0);
          changed = true;
        }
      }
      if (changed) name_pin_data(uint32_t(i));
    }
  }
  return deleted;
}

int name_rename(std::string_view new_name, uint32_t handle, std::optional<std::string_view> info, bool flag) {
  uint32_t index = handle >> 16 ? handle >> 16 : handle;
  uint32_t flags = name_is_valid(index);
  if (!(flags & (NF_TEMPLATE | NF_EVENT_TABLE | NF_PICTURE)) || new_name.empty()) return ERR_INVALID_ARGUMENT;
  std::string old(name_text(index));
  if (!flag && (flags & (NF_TEMPLATE | NF_EVENT_TABLE))) {
    if ((flags & NF_TEMPLATE) && ((flags >> 11) & 0x1F) != 18) {
      // The form's event tables follow: "old" and "old.control" take
      // the new form name; a table of the new name already there wins.
      for (int i = 1; i < name_count(); ++i) {
        if (!(name_is_valid(uint32_t(i)) & NF_EVENT_TABLE)) continue;
        std::string t(name_text(uint32_t(i)));
        std::string rest;
        if (name_equal(t, old, 0))
          rest = "";
        else if (t.size() > old.size() && t[old.size()] == '.' && name_equal(t.substr(0, old.size()), old, 0))
          rest = t.substr(old.size());
        else
          continue;
        std::string renamed = std::string(new_name) + rest;
        if (name_find(renamed, NF_EVENT_TABLE))
          name_delete(uint32_t(i), false);
        else if (int r = name_set_text_info(uint32_t(i), renamed, name_info(uint32_t(i))); r)
          return r;
      }
    }
    return name_set_text_info(index, new_name, info);
  }
  // By exchange: a new entry of the same type takes the new name, the two
  // swap contents, and the entry at the new index (now holding the old
  // name) goes, so the old index lives on under the new name.
  int r = name_load_data(index);
  if (r) return r;
  name_pin_data(index);
  // A picture is made by reading the file the new name gives; a template
  // comes back as a handle.
  const uint32_t kind = flags & ~(NF_INFO | NF_PURGE_MARK);
  int32_t fresh = 0;
  if (flags & NF_TEMPLATE)  // a copy of the old records, as a table copies its bindings below
    fresh = templates_create_object(new_name, kind, info, index << 16);
  else
    fresh = name_create(new_name, kind, info);
  if (fresh < 0) return fresh;
  if (flags & NF_TEMPLATE) fresh >>= 16;
  if (!fresh) return ERR_INVALID_ARGUMENT;
  if ((flags & NF_EVENT_TABLE) && name_load_data(uint32_t(fresh)) == 0 && name_load_data(index) == 0) {
    // Like a template made from its source, the new table starts as a
    // copy of the old one, so the bindings survive the exchange.
    std::copy(name_block(index), name_block(index) + kEventTableBytes, name_block(uint32_t(fresh)));
    name_pin_data(uint32_t(fresh));
  }
  if (uint32_t(fresh) != index) {
    cache_swap(index, uint32_t(fresh));
    name_swap_texts(index, uint32_t(fresh));
    name_delete(uint32_t(fresh), true);
  }
  if (flags & NF_PICTURE) name_picture_release(index);  // its image was made of the old file
  return 0;
}
