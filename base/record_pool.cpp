// Record pool: one array, LIFO free list, growth by a step or a percentage.
#include "base/record_pool.h"

#include <cstring>

#include "base/mem.h"

namespace {

PoolRecordHead* head_at(const RecordPool* pool, int32_t index) {
  return reinterpret_cast<PoolRecordHead*>(pool->records + static_cast<size_t>(index) * pool->record_size);
}

// Reallocates the array to hold `add` more records; false (pool unchanged)
// when memory runs out or the count would pass the i32 range.
bool grow(RecordPool* pool, int64_t add) {
  int64_t cap = pool->capacity + add;
  if (cap > INT32_MAX / pool->record_size) return false;
  unsigned char* old = pool->records;
  auto* p = static_cast<unsigned char*>(mem_realloc(old, static_cast<size_t>(cap * pool->record_size)));
  if (!p) return false;
  // New records are zeroed so that nothing beyond `count` can look live.
  std::memset(p + static_cast<size_t>(pool->capacity) * pool->record_size, 0,
              static_cast<size_t>(add * pool->record_size));
  pool->records = p;
  pool->capacity = static_cast<int32_t>(cap);
  if (old && p != old && pool->relocate) {
    pool->relocate(static_cast<intptr_t>(reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(old)));
  }
  return true;
}

}  // namespace

void* pool_alloc(RecordPool* pool) {
  if (pool->record_size < static_cast<int32_t>(sizeof(PoolRecordHead))) return nullptr;
  int32_t index;
  if (pool->free_head != -1) {  // a freed record to reuse?
    index = pool->free_head;
    pool->free_head = head_at(pool, index)->next_free;
  } else {
    if (pool->count >= pool->capacity) {
      int64_t step = pool->initial > 0 ? pool->initial : 1;
      int64_t add = step;
      if (pool->records && pool->growth_percent > 0) {
        add = int64_t{pool->growth_percent} * pool->capacity / 100;
        if (add < 1) add = step;  // a percentage too small for one record
      }
      if (!grow(pool, add)) return nullptr;
    }
    index = pool->count++;
  }
  void* rec = head_at(pool, index);
  std::memset(rec, 0, static_cast<size_t>(pool->record_size));
  head_at(pool, index)->live = 1;
  ++pool->live;
  return rec;
}

int pool_is_live(const RecordPool* pool, int32_t index) {
  return index >= 0 && index < pool->count && head_at(pool, index)->live != 0 ? 1 : 0;
}

int32_t pool_index(const RecordPool* pool, const void* record) {
  if (!pool->records || !record) return -1;
  auto a = reinterpret_cast<uintptr_t>(record);
  auto b = reinterpret_cast<uintptr_t>(pool->records);
  if (a < b) return -1;
  uintptr_t off = a - b;
  if (off % static_cast<uintptr_t>(pool->record_size) != 0) return -1;
  uintptr_t index = off / static_cast<uintptr_t>(pool->record_size);
  return index < static_cast<uintptr_t>(pool->count) ? static_cast<int32_t>(index) : -1;
}

void pool_free(RecordPool* pool, void* record) {
  int32_t index = pool_index(pool, record);
  if (!pool_is_live(pool, index)) return;
  PoolRecordHead* h = head_at(pool, index);
  h->live = 0;
  h->next_free = pool->free_head;
  pool->free_head = index;
  --pool->live;
}

void* pool_record(const RecordPool* pool, int32_t index) {
  return index >= 0 && index < pool->count ? head_at(pool, index) : nullptr;
}

void pool_release(RecordPool* pool) {
  mem_free(pool->records);
  RecordPool fresh = record_pool_make(pool->record_size, pool->initial);
  fresh.growth_percent = pool->growth_percent;
  fresh.relocate = pool->relocate;
  *pool = fresh;
}

bool pool_check(const RecordPool* pool) {
  if (pool->count < 0 || pool->count > pool->capacity || (pool->capacity && !pool->records)) return false;
  int32_t live = 0;
  for (int32_t i = 0; i < pool->count; ++i) {
    int32_t flag = head_at(pool, i)->live;
    if (flag != 0 && flag != 1) return false;
    live += flag;
  }
  if (live != pool->live) return false;
  int32_t free_records = 0;
  for (int32_t i = pool->free_head; i != -1; i = head_at(pool, i)->next_free) {
    if (i < 0 || i >= pool->count || head_at(pool, i)->live || ++free_records > pool->count) return false;
  }
  return free_records == pool->count - live;
}
