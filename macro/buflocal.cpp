#include "macro/buflocal.h"

#include <new>

#include "macro/module.h"
#include "macro/names.h"
#include "text/buffer.h"
#include "text/buflocal_port.h"

ErrorCode var_list_init(VarList& list, uint32_t mask) {
  var_list_free(list);
  list.event_table = name_find("default-keys", NF_EVENT_TABLE);
  list.mode_name = "Fundamental";
  for (int i = 1; i < name_count(); ++i) {
    if (!(name_is_valid(uint32_t(i)) & mask)) continue;
    ErrorCode e = var_list_add(list, uint32_t(i), name_info(uint32_t(i)));
    if (e) return e;
  }
  return ERR_OK;
}

ErrorCode var_list_add(VarList& list, uint32_t index, std::string_view value) {
  try {
    if (list.entries.size() == list.entries.capacity()) list.entries.reserve(list.entries.size() + kVarListGrowStep);
    list.entries.push_back({index, std::string(value)});
  } catch (...) {
    return ERR_OUT_OF_STRING_SPACE;
  }
  return ERR_OK;
}

ErrorCode var_list_save(VarList& list) {
  for (VarListEntry& e : list.entries) {
    try {
      e.value = var_slot_value(var_slot_of(e.index));
    } catch (...) {
      return ERR_OUT_OF_STRING_SPACE;
    }
  }
  return ERR_OK;
}

void var_list_load(const VarList& list) {
  for (const VarListEntry& e : list.entries) {
    int32_t slot = var_slot_of(e.index);
    if (slot > 0) var_assign_slot(slot, e.value);
  }
}

void var_list_free(VarList& list) {
  list.entries.clear();
  list.entries.shrink_to_fit();
}

namespace {

VarList* list_of(const BufferRec* b) { return static_cast<VarList*>(b->locals.vars); }

}  // namespace

// ---- each buffer's copies (text/buflocal_port.h) ----

void buflocal_init(BufferRec* b) {
  VarList* l = new (std::nothrow) VarList;
  if (!l) return;                  // the buffer works without its own copies
  var_list_init(*l, NF_BUFLOCAL);  // on -3012 the entries made so far stay
  b->locals.vars = l;
}

void buflocal_save(BufferRec* b) {
  if (VarList* l = list_of(b)) var_list_save(*l);
}

void buflocal_load(BufferRec* b) {
  if (const VarList* l = list_of(b)) var_list_load(*l);
}

void buflocal_free(BufferRec* b) {
  delete list_of(b);
  b->locals.vars = nullptr;
}

int32_t buflocal_add(BufferRec* b, int32_t index, const void* value, int32_t length) {
  VarList* l = list_of(b);
  if (!l) return 0;
  std::string_view v(static_cast<const char*>(value), size_t(length > 0 ? length : 0));
  return var_list_add(*l, uint32_t(index), v) ? ERR_NOT_ENOUGH_MEMORY : 0;
}
