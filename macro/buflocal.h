// Buffer-local variables: every buffer keeps its own value of each.
//
// A buffer-local variable (NF_BUFLOCAL) has one global slot. Each buffer
// carries a VarList with a private copy of every such variable; when a buffer
// stops being current its list takes the slots' current values
// (var_list_save), and when it becomes current its copies go back into the
// slots (var_list_load). The list also holds the buffer's event table and
// mode name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/messages.h"

struct VarListEntry {
  uint32_t index = 0;  // names index of the variable
  std::string value;   // the buffer's copy
};

struct VarList {
  std::vector<VarListEntry> entries;
  uint32_t event_table = 0;  // names index; "default-keys" at first
  std::string mode_name;     // "Fundamental" at first
};

constexpr size_t kVarListGrowStep = 5;  // entries added when the list is full

// One entry per names entry whose flags meet `mask` (the buffer layer passes
// NF_BUFLOCAL), with the variable's default value (its info string). 0 or
// -3012.
ErrorCode var_list_init(VarList& list, uint32_t mask);
// Appends an entry with a copy of `value`; 0 or -3012.
ErrorCode var_list_add(VarList& list, uint32_t index, std::string_view value);
// Copies the slots' current values into the entries; 0 or -3012 (the entries
// before the failing one are saved).
ErrorCode var_list_save(VarList& list);
// Assigns each entry's copy to its variable's slot.
void var_list_load(const VarList& list);
// Frees every copy; the list is empty afterwards.
void var_list_free(VarList& list);

// Every buffer has its list (the buffers ask through text/buflocal_port.h):
// one is made for each new buffer, saved and loaded when the current buffer
// changes and freed with the buffer; a module that declares a buffer-local
// variable adds it to every live buffer's list.
