// Form templates as the property layer sees them: a names entry of type
// NF_TEMPLATE whose data block is a row of 120-byte control records, each a
// PropertyBlock in its stored little-endian form. Record 0 is the form.
// String properties of a record hold name-pool handles.
//
// Records are read into and written back from a copy, never addressed in
// the block, since the code cache may drop an unlocked block at any load.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "text/prop_block.h"

inline constexpr uint32_t kTemplateRecordSize = 120;

// Whether the names index is a form template.
bool tpl_is_template(uint32_t index);
// Number of records; 0 when the block cannot be loaded.
uint32_t tpl_record_count(uint32_t index);
// Reads record `control`: false when past the end or unreadable.
bool tpl_read(uint32_t index, uint32_t control, PropertyBlock* out);
// Writes it back and pins the block, so that the change is kept and goes
// into the state file. False when the record is gone.
bool tpl_write(uint32_t index, uint32_t control, const PropertyBlock& b);
// A string of a template record; updating replaces the pool handle in the
// block (-2029 when the pool is full).
std::string_view tpl_string(const PropertyBlock& b, uint32_t id);
int32_t tpl_update_string(PropertyBlock& b, uint32_t id, std::string_view s);
// A new template of the given records (tests and form saving); its index,
// or a negative code.
int32_t tpl_create(std::string_view name, std::span<const PropertyBlock> records);
