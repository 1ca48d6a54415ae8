// Handle tables: slot array, record blocks that never move, LIFO free list.
#include "base/handle_table.h"

#include <cstring>

#include "base/mem.h"

namespace {

int32_t record_handle(const void* record) {
  int32_t h;
  std::memcpy(&h, record, 4);
  return h;
}

// Adds up to grow_step slots and one block of records for them; false (table
// unchanged) when memory runs out or the handle limit is reached.
bool grow(HandleTable* t) {
  int32_t step = t->grow_step > 0 ? t->grow_step : 1;
  int32_t limit = kHandleTableMaxHandle + 1;
  if (t->capacity >= limit) return false;
  if (step > limit - t->capacity) step = limit - t->capacity;
  size_t rs = static_cast<size_t>(t->record_size);
  auto* slots = static_cast<HandleSlot*>(mem_retry_alloc(sizeof(HandleSlot) * (t->capacity + step)));
  if (!slots) return false;
  auto* block = static_cast<unsigned char*>(mem_retry_alloc(rs * step));
  if (!block) {
    mem_free(slots);
    return false;
  }
  if (t->capacity) std::memcpy(slots, t->slots, sizeof(HandleSlot) * t->capacity);
  for (int32_t k = 0; k < step; ++k) {
    slots[t->capacity + k] = HandleSlot{block + rs * k, 0, -1, 0};
  }
  mem_free(t->slots);
  t->slots = slots;
  t->capacity += step;
  return true;
}

}  // namespace

void* htab_alloc(HandleTable* table) {
  if (table->record_size < 4) return nullptr;  // no room for the handle word?
  int32_t h;
  if (table->free_head != -1) {  // a freed handle to reuse?
    h = table->free_head;
    table->free_head = table->slots[h].next_free;
  } else {
    if (table->count >= table->capacity && !grow(table)) return nullptr;
    h = table->count++;
  }
  HandleSlot& s = table->slots[h];
  std::memset(s.record, 0, static_cast<size_t>(table->record_size));
  std::memcpy(s.record, &h, 4);
  s.live = 1;
  s.next_free = -1;
  ++table->live;
  return s.record;
}

int htab_is_valid(const HandleTable* table, int32_t handle) {
  return handle >= 0 && handle < table->capacity && table->slots[handle].live ? 1 : 0;
}

void htab_free(HandleTable* table, void* record) {
  if (!record) return;
  int32_t h = record_handle(record);
  if (!htab_is_valid(table, h) || table->slots[h].record != record) return;
  HandleSlot& s = table->slots[h];
  s.live = 0;
  s.next_free = static_cast<int16_t>(table->free_head);
  ++s.generation;
  table->free_head = h;
  --table->live;
}

void* htab_record(const HandleTable* table, int32_t handle) {
  return htab_is_valid(table, handle) ? table->slots[handle].record : nullptr;
}

uint32_t htab_generation(const HandleTable* table, int32_t handle) {
  return handle >= 0 && handle < table->capacity ? table->slots[handle].generation : 0;
}

void htab_release(HandleTable* table) {
  // Record blocks begin at every multiple of the grow step (only the last
  // block can be shorter, at the handle limit).
  int32_t step = table->grow_step > 0 ? table->grow_step : 1;
  for (int32_t i = 0; i < table->capacity; i += step) mem_free(table->slots[i].record);
  mem_free(table->slots);
  *table = handle_table_make(table->record_size, table->grow_step);
}

bool htab_check(const HandleTable* t) {
  if (t->count < 0 || t->count > t->capacity || (t->capacity && !t->slots)) return false;
  int32_t live = 0;
  for (int32_t i = 0; i < t->capacity; ++i) {
    const HandleSlot& s = t->slots[i];
    if (s.live > 1 || !s.record) return false;
    if (s.live) {
      if (i >= t->count || record_handle(s.record) != i) return false;
      ++live;
    }
  }
  if (live != t->live) return false;
  int32_t steps = 0;
  for (int32_t h = t->free_head; h != -1; h = t->slots[h].next_free) {
    if (h < 0 || h >= t->count || t->slots[h].live || ++steps > t->count) return false;
  }
  return steps == t->count - live;
}
