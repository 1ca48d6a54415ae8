// Template records for the property layer (see templates.h).
#include "forms/templates.h"

#include <cstdlib>

#include "base/le.h"
#include "base/messages.h"
#include "forms/prop_table.h"
#include "macro/code_cache.h"
#include "macro/name_pool.h"
#include "macro/names.h"

namespace {

void decode(const uint8_t* p, PropertyBlock* b) {
  b->type = le::get_u16(p);
  b->next = le::get_u16(p + 2);
  b->child = le::get_u16(p + 4);
  b->link3 = le::get_u16(p + 6);
  for (int i = 0; i < kPropWords; ++i) b->words[i] = le::get_u32(p + 8 + 4 * i);
}

void encode(const PropertyBlock& b, uint8_t* p) {
  le::put_u16(p, b.type);
  le::put_u16(p + 2, b.next);
  le::put_u16(p + 4, b.child);
  le::put_u16(p + 6, b.link3);
  for (int i = 0; i < kPropWords; ++i) le::put_u32(p + 8 + 4 * i, b.words[i]);
}

// The block and its size, resident; null when it cannot be loaded.
uint8_t* block_of(uint32_t index, uint32_t* size) {
  if (!tpl_is_template(index) || name_load_data(index) != 0) return nullptr;
  const NameEntry* e = name_entry(index);
  *size = e ? e->size : 0;
  return name_block(index);
}

}  // namespace

bool tpl_is_template(uint32_t index) { return index > 0 && (name_is_valid(index) & NF_TEMPLATE) != 0; }

uint32_t tpl_record_count(uint32_t index) {
  uint32_t size = 0;
  return block_of(index, &size) ? size / kTemplateRecordSize : 0;
}

bool tpl_read(uint32_t index, uint32_t control, PropertyBlock* out) {
  uint32_t size = 0;
  const uint8_t* p = block_of(index, &size);
  if (!p || control >= size / kTemplateRecordSize) return false;
  decode(p + static_cast<size_t>(control) * kTemplateRecordSize, out);
  return true;
}

bool tpl_write(uint32_t index, uint32_t control, const PropertyBlock& b) {
  uint32_t size = 0;
  uint8_t* p = block_of(index, &size);
  if (!p || control >= size / kTemplateRecordSize) return false;
  encode(b, p + static_cast<size_t>(control) * kTemplateRecordSize);
  name_pin_data(index);
  return true;
}

std::string_view tpl_string(const PropertyBlock& b, uint32_t id) {
  return namepool::get(static_cast<uint16_t>(prop_get_field(b, id)));
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

int32_t tpl_create(std::string_view name, std::span<const PropertyBlock> records) {
  NameEntry e;
  e.flags = NF_TEMPLATE;
  const int32_t index = name_insert(name, e);
  if (index <= 0) return index < 0 ? index : ERR_NOT_ENOUGH_MEMORY;
  const uint32_t size = static_cast<uint32_t>(records.size()) * kTemplateRecordSize;
  uint8_t* block = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
  if (!block) return ERR_NOT_ENOUGH_MEMORY;
  for (size_t i = 0; i < records.size(); ++i) encode(records[i], block + i * kTemplateRecordSize);
  cache_register(static_cast<uint32_t>(index), block, 0, size, size, NS_RESIDENT);
  name_pin_data(static_cast<uint32_t>(index));
  return index;
}
