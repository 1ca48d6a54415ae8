// Record pool: records of one fixed size in a single array that grows by
// reallocation, named by their index.
//
// Invariant: records 0 .. count-1 have been handed out at least once; each
// begins with a PoolRecordHead whose `live` word is 1 while the record is in
// use. Free records form a list through `next_free`, most recently freed
// first. Records move when the array grows: holders keep indexes, or set
// `relocate` to hear of the move.
#pragma once

#include <cstddef>
#include <cstdint>

// The two words every pooled record begins with; the owner's fields follow.
// An owner never clears `live` of a live record.
struct PoolRecordHead {
  int32_t live;       // 1 live, 0 free
  int32_t next_free;  // next free index while free
};
static_assert(sizeof(PoolRecordHead) == 8);

struct RecordPool {
  unsigned char* records = nullptr;               // null until the first allocation
  int32_t free_head = -1;                         // most recently freed index, -1 when none
  int32_t capacity = 0;                           // records in the array
  int32_t count = 0;                              // records handed out so far (high-water mark)
  int32_t record_size = 0;                        // bytes per record, head included
  uint16_t initial = 0;                           // first array size, and the growth step
  int16_t growth_percent = 0;                     // when not 0: grow by percent x capacity / 100
  void (*relocate)(intptr_t distance) = nullptr;  // after the array moved
  int32_t live = 0;                               // records live now (leak checks)
};

constexpr RecordPool record_pool_make(int32_t record_size, uint16_t initial) {
  RecordPool p;
  p.record_size = record_size;
  p.initial = initial;
  return p;
}

// A zeroed record with `live` = 1, or null when memory runs out (the pool is
// then unchanged). May move every record of the pool.
void* pool_alloc(RecordPool* pool);
// 1 when the index names a record that is live now, else 0; an index never
// handed out is never live.
int pool_is_live(const RecordPool* pool, int32_t index);
// Frees a live record; anything else (a free record, an address outside the
// array or between records) is left alone.
void pool_free(RecordPool* pool, void* record);
// The record at `index` (live or not), null outside 0 .. count-1.
void* pool_record(const RecordPool* pool, int32_t index);
// The index of a record of this pool, -1 for any other address.
int32_t pool_index(const RecordPool* pool, const void* record);
// Gives the array back; the pool is empty again (sizes kept).
void pool_release(RecordPool* pool);
// Consistency check for tests: live flags, the free list and the live count.
bool pool_check(const RecordPool* pool);
