// The variable heap: the slot array of every macro variable and the string
// heap that holds their values.
//
// Slot numbers name variables everywhere: 1 .. 8000 are globals (slot 1 is
// rc) and 8001 + i is entry i of the expression stack (arguments, locals,
// temporaries). Slot indexes address the array: globals sit at their own
// number, the stack scope starts at index local_base.
//
// Invariants (var_check tests them):
// - every slot word is either a value, the heap offset of the length word of
//   a block that this slot alone owns, or a reference (kSlotRef | the slot
//   number it refers to); a slot never holds nothing;
// - heap blocks are {i32 marker (-1), u32 capacity, i32 length, bytes[capacity]}
//   back to back from offset 0 to heap_free; capacity is a multiple of 4 and
//   at least the length; blocks no slot owns are garbage;
// - global slot numbers stay below 8001, so they never alias stack numbers.
// Values are LStr views into the heap: any call that may allocate (assign,
// grow, compact) may move them, so fetch the value again after such a call.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/lstr.h"
#include "base/messages.h"

// A slot word with this bit set is a reference; the low bits are the slot
// number it refers to.
inline constexpr uint32_t kSlotRef = 0x80000000u;

inline constexpr int32_t kFirstStackNumber = 8001;
inline constexpr int32_t kLastGlobalNumber = 8000;
// Default size of the area: slots and heap bytes.
inline constexpr int32_t kDefaultSlotCapacity = 10000;
inline constexpr int32_t kDefaultHeapSize = 200000;
// Globals are handed out in steps of this many slots.
inline constexpr int32_t kGlobalGrowStep = 50;
// A block header: marker, capacity, length.
inline constexpr int32_t kBlockHeader = 12;

enum class Scope : uint8_t { Globals = 0, Stack = 1 };

struct VarSlots {
  std::vector<uint32_t> slots;  // slot_capacity words; [0, last_slot] in use
  std::vector<uint8_t> heap;    // heap_size bytes
  uint32_t heap_free = 0;       // offset of the first free heap byte
  uint32_t heap_used = 0;       // bytes of blocks allocated since the last compaction
  int32_t local_base = 0;       // index of slot number 8001
  int32_t last_slot = -1;       // highest index in use (end of the stack scope)
  int32_t max_slot = -1;        // highest index the array may hold
  uint16_t global_high = 0;     // highest global slot handed out so far
  uint32_t free_globals = 0;    // first free global slot (0 ends the list)
  int32_t compactions = 0;      // how often the heap was compacted (for tests)
};

extern VarSlots var_slots;

// Set up an empty area of the given size: globals 1 .. 2 (rc is 1), an
// empty stack scope. Returns 0 or -3002 when the sizes cannot hold that.
ErrorCode var_init(int32_t slot_capacity = kDefaultSlotCapacity,
                   int32_t heap_size = kDefaultHeapSize);

// Index of a slot number, or -1 when it names no slot of the area (a global
// number at or past the stack scope, a stack number past the array).
int32_t var_index(uint32_t number);

// The value of a slot index, following one reference. A reference to a slot
// that itself holds a reference reads as the empty string. The pointer lives
// in the heap: it is valid until the next allocation.
const LStr* var_value_at(int32_t index);
// The same for a slot number; the empty string for a number var_index refuses.
const LStr* var_value(uint32_t number);

// Assign a copy of (p, n) to the slot (a value slot; a reference slot gets a
// block of its own). Reuses the slot's block when it is big enough, else
// allocates, compacting when the heap is full. On no room raises and returns
// -3012 "Out of string space" with the slot unchanged. p may point into the
// heap itself.
ErrorCode var_assign_bytes_at(int32_t index, const void* p, int32_t n);
ErrorCode var_assign_bytes(uint32_t number, const void* p, int32_t n);
ErrorCode var_assign(uint32_t number, const LStr* v);
// Make the slot a reference to slot number target (its block becomes garbage).
void var_set_ref_at(int32_t index, uint32_t target);

// Whether `slots` more slots and `bytes` more heap bytes fit, compacting
// once when the heap is short. 0 or -1.
int32_t var_room(int32_t slots, int32_t bytes);
// Mark-and-slide compaction: drops blocks no slot owns, shrinks live blocks
// to their length rounded up to 4. Moves every value.
void var_compact();

// Insert n empty slots at the end of a scope (min of them when n do not
// fit); 0, or -1 when not even min fit. Growing the globals moves the stack
// scope up; references hold slot numbers, so none needs fixing.
int32_t var_grow(int32_t n, Scope scope, int32_t min);
// Remove the unused top of the stack scope down to `keep` slots.
void var_trim_stack(int32_t keep);
// Number of slots in the stack scope.
int32_t var_stack_capacity();

// Hand out a global slot (its value empty), growing the globals by 50 when
// none is free. Returns the slot number, or -3012 when the globals would
// pass slot 8000 or the area is full. vm_reset installs these as the
// variable hooks of the module linker, so var_alloc_global reaches them.
int32_t var_heap_alloc_global();
// Return a global slot to the free list.
void var_heap_free_global(uint32_t number);

// Test support: 0 when the invariants above hold, else a short reason.
const char* var_check();
