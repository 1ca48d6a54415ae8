// Handle tables: records of one fixed size named by small integer handles.
//
// Invariant: records never move. They are allocated in blocks of `grow_step`
// records that are kept until the table is released, so a holder may keep a
// record's address as long as its handle is live. Word 0 of every record
// holds its own handle. Freed handles are reused last freed, first out.
// Handles run from 0 to kHandleTableMaxHandle because the free-list link is
// a signed 16-bit value.
//
// Memory comes from the retrying allocator (mem_retry_alloc), which lets the
// text store give pages back when memory runs short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

struct HandleSlot {
  void* record;       // the slot's record (always set, live or not)
  uint16_t live;      // 1 live, 0 free or never used
  int16_t next_free;  // next handle of the free list while free; -1 ends it
  // Bumped on every release: a holder that keeps a handle across calls can
  // remember it and assert that its record was not freed and reused meanwhile.
  uint32_t generation;
};

struct HandleTable {
  HandleSlot* slots = nullptr;  // created on the first allocation
  int32_t free_head = -1;       // most recently freed handle, -1 when none
  int32_t capacity = 0;         // slots
  int32_t count = 0;            // slots ever handed out (never decreases)
  int32_t record_size = 0;      // bytes per record, at least 4
  int32_t grow_step = 0;        // slots and records added at a time
  int32_t live = 0;             // records live now (leak checks)
};

constexpr int32_t kHandleTableMaxHandle = 32767;

// A table for records of `record_size` bytes, growing by `grow_step`.
constexpr HandleTable handle_table_make(int32_t record_size, int32_t grow_step) {
  HandleTable t;
  t.record_size = record_size;
  t.grow_step = grow_step;
  return t;
}

// A zeroed record whose word 0 (an int32) is its handle; null when memory
// runs out or all handles 0..32767 are in use. On null the table is as before.
void* htab_alloc(HandleTable* table);
// 1 when 0 <= handle < capacity and the slot is live, else 0.
int htab_is_valid(const HandleTable* table, int32_t handle);
// Releases the record's slot, found by the handle in its word 0. A record
// whose slot is not live (or that names no slot) is left alone.
void htab_free(HandleTable* table, void* record);
// The record of a live handle, null for any other handle.
void* htab_record(const HandleTable* table, int32_t handle);
// The slot's generation (0 for a handle outside the table).
uint32_t htab_generation(const HandleTable* table, int32_t handle);
// Gives every record block and the slot array back; the table is empty
// again (record size and grow step kept). Records must no longer be used.
void htab_release(HandleTable* table);
// Consistency check for tests: free list, live flags and handles in word 0.
bool htab_check(const HandleTable* table);

// A typed view: records of type R (whose first member is the int32 handle)
// named by the enum class H. Use it where handles cross module boundaries so
// that a buffer handle can never be passed for a window handle.
template <typename R, typename H>
struct TypedHandleTable {
  static_assert(std::is_enum_v<H>, "handles are enum classes");
  static_assert(std::is_trivially_copyable_v<R> && sizeof(R) >= 4, "records are plain data");

  HandleTable table;

  explicit constexpr TypedHandleTable(int32_t grow_step)
      : table(handle_table_make(static_cast<int32_t>(sizeof(R)), grow_step)) {}

  R* alloc() { return static_cast<R*>(htab_alloc(&table)); }
  bool valid(H h) const { return htab_is_valid(&table, static_cast<int32_t>(h)) != 0; }
  R* get(H h) const { return static_cast<R*>(htab_record(&table, static_cast<int32_t>(h))); }
  void free(R* r) { htab_free(&table, r); }
  static H handle_of(const R* r) { return static_cast<H>(*reinterpret_cast<const int32_t*>(r)); }
  void release() { htab_release(&table); }
};
