// The variable heap: the slot array of every macro variable and the string
// heap that holds their values.
//
// Slot numbers name variables everywhere: 1 .. 8000 are globals (slot 1 is
// rc) and 8001 + i is entry i of the expression stack (arguments, locals,
// temporaries). Slot indexes address the array: globals sit at their own
// number, the stack scope starts at index local_base.
//
// A value may also be kept as a number (VarNum) without its text: the slot
// word then carries kSlotNumber beside its block's offset, the number sits
// in the parallel array `nums`, and the block's text is written only when
// something reads the value (var_value_at). Assigning a number to a slot in
// number form whose block can hold its text touches nothing but the slot;
// a block too small is replaced exactly as for the text, so the heap grows,
// compacts and runs out of room as it would if the text were stored.
//
// Invariants (var_check tests them):
// - every slot word is either a value, the heap offset of the length word of
//   a block that this slot alone owns (with kSlotNumber when the value is a
//   number whose text fits the block), or a reference (kSlotRef | the slot
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
// A value word with this bit set holds a number; the low bits (kSlotOffset)
// are its block's offset all the same. Heap offsets stay below 2^30.
inline constexpr uint32_t kSlotNumber = 0x40000000u;
inline constexpr uint32_t kSlotOffset = 0x3FFFFFFFu;
inline constexpr int32_t kMaxHeapSize = 0x3FFFFFF0;

// A number kept without its text: mant / 10^scale. Only numbers whose text
// the decimal rules write back unchanged are kept so (var_num_ok): at most
// 16 significant digits, scale 0..16, and zero only with scale 0. Their
// text is "-"? digits with a point `scale` digits from the right ("12",
// "-0.05", "1.50") and at most kNumTextMax bytes.
struct VarNum {
  int64_t mant;
  int32_t scale;
};
inline constexpr int64_t kNumMantMax = 9999999999999999;  // 16 digits
inline constexpr int32_t kNumScaleMax = 16;
inline constexpr int32_t kNumTextMax = 19;

inline bool var_num_ok(VarNum v) {
  return v.mant >= -kNumMantMax && v.mant <= kNumMantMax && v.scale >= 0 && v.scale <= kNumScaleMax &&
         (v.mant != 0 || v.scale == 0);
}
// The text of a number that var_num_ok accepts; returns its length.
int32_t var_num_text(VarNum v, char* out);
int32_t var_num_length(VarNum v);
// Whether s is exactly the text of a number var_num_ok accepts.
bool var_num_from_text(std::string_view s, VarNum* out);

// The number form of a slot: its value, and the capacity of its block
// (mirrored, so that assigning a number reads nothing from the heap) with
// the range of integers whose text fits it.
struct VarNumSlot {
  int64_t mant = 0;
  int64_t fit_lo = 1;  // integers fit the block from fit_lo to fit_hi
  int64_t fit_hi = -1;
  uint32_t cap = 0;
  uint8_t scale = 0;
  uint8_t text_made = 0;  // the block holds the number's text
};

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
  std::vector<uint32_t> slots;   // slot_capacity words; [0, last_slot] in use
  std::vector<VarNumSlot> nums;  // beside slots: the number of a kSlotNumber slot
  std::vector<uint8_t> heap;     // heap_size bytes
  uint32_t heap_free = 0;        // offset of the first free heap byte
  uint32_t heap_used = 0;        // bytes of blocks allocated since the last compaction
  int32_t local_base = 0;        // index of slot number 8001
  int32_t last_slot = -1;        // highest index in use (end of the stack scope)
  int32_t max_slot = -1;         // highest index the array may hold
  uint16_t global_high = 0;      // highest global slot handed out so far
  uint32_t free_globals = 0;     // first free global slot (0 ends the list)
  int32_t compactions = 0;       // how often the heap was compacted (for tests)
};

extern VarSlots var_slots;

// Set up an empty area of the given size: globals 1 .. 2 (rc is 1), an
// empty stack scope. Returns 0 or -3002 when the sizes cannot hold that (or
// the heap passes kMaxHeapSize).
ErrorCode var_init(int32_t slot_capacity = kDefaultSlotCapacity, int32_t heap_size = kDefaultHeapSize);

// Index of a slot number, or -1 when it names no slot of the area (a global
// number at or past the stack scope, a stack number past the array).
inline int32_t var_index(uint32_t number) {
  if (number < static_cast<uint32_t>(kFirstStackNumber))
    return number < static_cast<uint32_t>(var_slots.local_base) ? static_cast<int32_t>(number) : -1;
  const int64_t idx = static_cast<int64_t>(number - kFirstStackNumber) + var_slots.local_base;
  return idx <= var_slots.last_slot ? static_cast<int32_t>(idx) : -1;
}

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

// The number a slot index holds (following one reference), if it holds one
// in number form; a value kept as text is not read.
inline bool var_num_at(int32_t index, VarNum* out) {
  uint32_t w = var_slots.slots[static_cast<size_t>(index)];
  if (w & kSlotRef) {
    index = var_index(w & ~kSlotRef);
    if (index < 0) return false;
    w = var_slots.slots[static_cast<size_t>(index)];
  }
  if ((w & (kSlotNumber | kSlotRef)) != kSlotNumber) return false;
  const VarNumSlot& n = var_slots.nums[static_cast<size_t>(index)];
  *out = VarNum{n.mant, n.scale};
  return true;
}

// Assign a number to a slot in number form when its block can hold the
// text; false (nothing done) otherwise.
bool var_set_num_scaled(int32_t index, VarNum v);
inline bool var_set_num_fast(int32_t index, VarNum v) {
  if ((var_slots.slots[static_cast<size_t>(index)] & (kSlotNumber | kSlotRef)) != kSlotNumber) return false;
  VarNumSlot& n = var_slots.nums[static_cast<size_t>(index)];
  if (v.scale != 0) return var_set_num_scaled(index, v);
  if (v.mant < n.fit_lo || v.mant > n.fit_hi) return false;
  n.mant = v.mant;
  n.scale = 0;
  n.text_made = 0;
  return true;
}

// Assign a number (var_num_ok) to a slot index: the slot keeps it in
// number form. Fails, raises and allocates as var_assign_bytes_at would
// with the number's text.
ErrorCode var_assign_num_slow(int32_t index, VarNum v);
inline ErrorCode var_assign_num_at(int32_t index, VarNum v) {
  if (index >= 0 && index <= var_slots.last_slot && var_set_num_fast(index, v)) return ERR_OK;
  return var_assign_num_slow(index, v);
}
// Copy the value of slot index src (following one reference) to slot index
// dst, keeping a number a number.
ErrorCode var_copy_at(int32_t dst, int32_t src);
// Swap two value slots (with their number forms).
void var_swap_at(int32_t a, int32_t b);

// Whether `slots` more slots and `bytes` more heap bytes fit, compacting
// once when the heap is short. 0 or -1.
int32_t var_room(int32_t slots, int32_t bytes);
// Mark-and-slide compaction: drops blocks no slot owns, shrinks live blocks
// to their length rounded up to 4. Moves every value. Numbers get their
// text first and are kept as text from then on.
void var_compact();

// Insert n empty slots at the end of a scope (min of them when n do not
// fit); 0, or -1 when not even min fit. Growing the globals moves the stack
// scope up; references hold slot numbers, so none needs fixing.
int32_t var_grow(int32_t n, Scope scope, int32_t min);
// Remove the unused top of the stack scope down to `keep` slots.
void var_trim_stack(int32_t keep);
// Number of slots in the stack scope.
inline int32_t var_stack_capacity() { return var_slots.last_slot - var_slots.local_base + 1; }

// Hand out a global slot (its value empty), growing the globals by 50 when
// none is free. Returns the slot number, or -3012 when the globals would
// pass slot 8000 or the area is full. vm_reset installs these as the
// variable hooks of the module linker, so var_alloc_global reaches them.
int32_t var_heap_alloc_global();
// Return a global slot to the free list.
void var_heap_free_global(uint32_t number);

// Test support: 0 when the invariants above hold, else a short reason.
const char* var_check();
