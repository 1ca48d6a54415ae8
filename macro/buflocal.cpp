#include "macro/buflocal.h"

#include "macro/module.h"
#include "macro/names.h"

ErrorCode var_list_init(VarList& list, uint32_t mask)
{
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

ErrorCode var_list_add(VarList& list, uint32_t index, std::string_view value)
{
    try {
        if (list.entries.size() == list.entries.capacity()) list.entries.reserve(list.entries.size() + kVarListGrowStep);
        list.entries.push_back({index, std::string(value)});
    } catch (...) {
        return ERR_OUT_OF_STRING_SPACE;
    }
    return ERR_OK;
}

ErrorCode var_list_save(VarList& list)
{
    for (VarListEntry& e : list.entries) {
        try {
            e.value = var_slot_value(var_slot_of(e.index));
        } catch (...) {
            return ERR_OUT_OF_STRING_SPACE;
        }
    }
    return ERR_OK;
}

void var_list_load(const VarList& list)
{
    for (const VarListEntry& e : list.entries) {
        int32_t slot = var_slot_of(e.index);
        if (slot > 0) var_assign_slot(slot, e.value);
    }
}

void var_list_free(VarList& list)
{
    list.entries.clear();
    list.entries.shrink_to_fit();
}
