// The variable heap: slot array, string heap, assignment and compaction.
// Start reading at var_assign_bytes_at; var_compact is the only mover.
#include "macro/varheap.h"

#include <cstring>
#include <string>
#include <utility>

#include "macro/catch.h"

VarSlots var_slots;

namespace {

VarSlots& vs = var_slots;

constexpr int32_t kGarbage = -1;

uint32_t rd32(uint32_t off) {
  uint32_t v;
  std::memcpy(&v, vs.heap.data() + off, 4);
  return v;
}
void wr32(uint32_t off, uint32_t v) { std::memcpy(vs.heap.data() + off, &v, 4); }

uint32_t round4(uint32_t n) { return (n + 3u) & ~3u; }

bool is_ref(uint32_t w) { return (w & kSlotRef) != 0; }

bool is_num(uint32_t w) { return (w & (kSlotRef | kSlotNumber)) == kSlotNumber; }

// Offset of the block that a value word points into (the word is the offset
// of the length field, 8 bytes into the block).
uint32_t block_of(uint32_t value) { return (value & kSlotOffset) - 8; }
uint32_t capacity_of(uint32_t value) { return rd32((value & kSlotOffset) - 4); }

// Write a number slot's text into its block (which can hold it).
void make_text(int32_t index) {
  VarNumSlot& n = vs.nums[static_cast<size_t>(index)];
  if (n.text_made) return;
  const uint32_t at = vs.slots[static_cast<size_t>(index)] & kSlotOffset;
  char t[kNumTextMax];
  const int32_t len = var_num_text(VarNum{n.mant, n.scale}, t);
  wr32(at, static_cast<uint32_t>(len));
  std::memcpy(vs.heap.data() + at + 4, t, static_cast<size_t>(len));
  n.text_made = 1;
}

// Give up the number form of a slot: its block holds the text from now on.
void to_text(int32_t index) {
  uint32_t& w = vs.slots[static_cast<size_t>(index)];
  if (!is_num(w)) return;
  make_text(index);
  w &= ~kSlotNumber;
}

bool heap_fits(uint32_t bytes) { return static_cast<uint64_t>(vs.heap_free) + bytes <= vs.heap.size(); }

// Append a block with room for n bytes; the caller made sure it fits.
// Returns the value word (offset of the length field).
uint32_t alloc_block(const void* p, int32_t n) {
  const uint32_t cap = round4(static_cast<uint32_t>(n));
  const uint32_t at = vs.heap_free;
  wr32(at, static_cast<uint32_t>(kGarbage));
  wr32(at + 4, cap);
  wr32(at + 8, static_cast<uint32_t>(n));
  if (n > 0) std::memcpy(vs.heap.data() + at + 12, p, static_cast<size_t>(n));
  vs.heap_free = at + kBlockHeader + cap;
  vs.heap_used += kBlockHeader + cap;
  return at + 8;
}

// Give n consecutive slots from index `at` an empty block each; room was
// checked.
void fill_empty(int32_t at, int32_t n) {
  for (int32_t i = 0; i < n; ++i) vs.slots[static_cast<size_t>(at + i)] = alloc_block(nullptr, 0);
}

const LStr* empty_value() {
  static const int32_t zero = 0;
  return reinterpret_cast<const LStr*>(&zero);
}

}  // namespace

ErrorCode var_init(int32_t slot_capacity, int32_t heap_size) {
  // Slot 0 (the end of the free list) and globals 1 and 2; heap room for
  // their empty blocks.
  if (slot_capacity < 3 || heap_size < 3 * kBlockHeader || heap_size > kMaxHeapSize)
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  vs = VarSlots{};
  vs.slots.assign(static_cast<size_t>(slot_capacity), 0);
  vs.nums.assign(static_cast<size_t>(slot_capacity), VarNumSlot{});
  vs.heap.assign(static_cast<size_t>(heap_size), 0);
  vs.max_slot = slot_capacity - 1;
  fill_empty(0, 3);
  vs.last_slot = 2;
  vs.local_base = 3;
  vs.global_high = 2;
  vs.free_globals = 0;
  return ERR_OK;
}

const LStr* var_value_at(int32_t index) {
  if (index < 0 || index > vs.last_slot) return empty_value();
  uint32_t w = vs.slots[static_cast<size_t>(index)];
  if (is_ref(w)) {
    index = var_index(w & ~kSlotRef);
    if (index < 0) return empty_value();
    w = vs.slots[static_cast<size_t>(index)];
    if (is_ref(w)) return empty_value();  // a reference to a reference?
  }
  if (w & kSlotNumber) make_text(index);
  return reinterpret_cast<const LStr*>(vs.heap.data() + (w & kSlotOffset));
}

const LStr* var_value(uint32_t number) { return var_value_at(var_index(number)); }

ErrorCode var_assign_bytes_at(int32_t index, const void* p, int32_t n) {
  if (index < 0 || index > vs.last_slot || n < 0) return ERR_ILLEGAL_OPCODE;
  uint32_t& w = vs.slots[static_cast<size_t>(index)];
  if (!is_ref(w) && capacity_of(w) >= static_cast<uint32_t>(n)) {
    w &= ~kSlotNumber;  // the value is text from here on
    wr32(w, static_cast<uint32_t>(n));
    if (n > 0) std::memmove(vs.heap.data() + w + 4, p, static_cast<size_t>(n));
    return ERR_OK;
  }
  const uint32_t need = kBlockHeader + round4(static_cast<uint32_t>(n));
  if (!heap_fits(need)) {
    // Compaction moves heap values, and the source may be one of them.
    std::string copy(static_cast<const char*>(p), static_cast<size_t>(n));
    if (var_room(0, static_cast<int32_t>(need)) != 0) {
      vm_raise_error(ERR_OUT_OF_STRING_SPACE);
      return ERR_OUT_OF_STRING_SPACE;
    }
    vs.slots[static_cast<size_t>(index)] = alloc_block(copy.data(), n);
    return ERR_OK;
  }
  w = alloc_block(p, n);
  return ERR_OK;
}

namespace {

// Largest integer >= 0 whose text has c bytes (c < kNumTextMax); a minus
// sign takes one more.
constexpr int64_t kUpTo[kNumTextMax] = {-1,
                                        9,
                                        99,
                                        999,
                                        9999,
                                        99999,
                                        999999,
                                        9999999,
                                        99999999,
                                        999999999,
                                        9999999999,
                                        99999999999,
                                        999999999999,
                                        9999999999999,
                                        99999999999999,
                                        999999999999999,
                                        9999999999999999,
                                        kNumMantMax,
                                        kNumMantMax};
int64_t fit_hi(uint32_t cap) { return cap >= static_cast<uint32_t>(kNumTextMax) ? kNumMantMax : kUpTo[cap]; }
int64_t fit_lo(uint32_t cap) {
  return cap >= static_cast<uint32_t>(kNumTextMax) ? -kNumMantMax : cap > 0 ? -kUpTo[cap - 1] : 1;
}

// The number form of slot index with a block of capacity cap.
void set_num(int32_t index, VarNum v, uint32_t cap, bool text_made) {
  VarNumSlot& n = vs.nums[static_cast<size_t>(index)];
  n.mant = v.mant;
  n.scale = static_cast<uint8_t>(v.scale);
  n.text_made = text_made;
  n.cap = cap;
  n.fit_hi = fit_hi(cap);
  n.fit_lo = fit_lo(cap);
  vs.slots[static_cast<size_t>(index)] |= kSlotNumber;
}

}  // namespace

bool var_set_num_scaled(int32_t index, VarNum v) {
  VarNumSlot& n = vs.nums[static_cast<size_t>(index)];
  if (var_num_length(v) > static_cast<int32_t>(n.cap)) return false;
  n.mant = v.mant;
  n.scale = static_cast<uint8_t>(v.scale);
  n.text_made = 0;
  return true;
}

ErrorCode var_assign_num_slow(int32_t index, VarNum v) {
  if (index < 0 || index > vs.last_slot || !var_num_ok(v)) return ERR_ILLEGAL_OPCODE;
  char t[kNumTextMax];
  const int32_t len = var_num_text(v, t);
  const uint32_t w = vs.slots[static_cast<size_t>(index)];
  if (!is_ref(w) && capacity_of(w) >= static_cast<uint32_t>(len)) {
    set_num(index, v, capacity_of(w), false);
    return ERR_OK;
  }
  // A new block, allocated as for the text (and with it).
  const ErrorCode rc = var_assign_bytes_at(index, t, len);
  if (rc == ERR_OK) set_num(index, v, capacity_of(vs.slots[static_cast<size_t>(index)]), true);
  return rc;
}

ErrorCode var_copy_at(int32_t dst, int32_t src) {
  VarNum v;
  if (src >= 0 && src <= vs.last_slot && var_num_at(src, &v)) return var_assign_num_at(dst, v);
  const LStr* s = var_value_at(src);
  return var_assign_bytes_at(dst, s->text, s->len);
}

void var_swap_at(int32_t a, int32_t b) {
  std::swap(vs.slots[static_cast<size_t>(a)], vs.slots[static_cast<size_t>(b)]);
  std::swap(vs.nums[static_cast<size_t>(a)], vs.nums[static_cast<size_t>(b)]);
}

ErrorCode var_assign_bytes(uint32_t number, const void* p, int32_t n) {
  return var_assign_bytes_at(var_index(number), p, n);
}

ErrorCode var_assign(uint32_t number, const LStr* v) {
  const std::string_view s = lstr_view(v);
  return var_assign_bytes(number, s.data(), static_cast<int32_t>(s.size()));
}

void var_set_ref_at(int32_t index, uint32_t target) {
  if (index < 0 || index > vs.last_slot) return;
  vs.slots[static_cast<size_t>(index)] = kSlotRef | target;
}

int32_t var_room(int32_t slots, int32_t bytes) {
  if (static_cast<int64_t>(vs.last_slot) + slots > vs.max_slot) return -1;
  if (bytes < 0) return -1;
  if (heap_fits(static_cast<uint32_t>(bytes))) return 0;
  var_compact();
  return heap_fits(static_cast<uint32_t>(bytes)) ? 0 : -1;
}

void var_compact() {
  for (int32_t i = 0; i <= vs.last_slot; ++i) to_text(i);
  // Mark: each live block learns its owner.
  for (int32_t i = 0; i <= vs.last_slot; ++i) {
    const uint32_t w = vs.slots[static_cast<size_t>(i)];
    if (!is_ref(w)) wr32(block_of(w), static_cast<uint32_t>(i));
  }
  // Slide live blocks down, shrunk to their length.
  uint32_t src = 0, dst = 0;
  while (src < vs.heap_free) {
    const int32_t owner = static_cast<int32_t>(rd32(src));
    const uint32_t cap = rd32(src + 4);
    const uint32_t next = src + kBlockHeader + cap;
    if (owner != kGarbage) {
      const uint32_t len = rd32(src + 8);
      const uint32_t newcap = round4(len);
      if (dst != src) std::memmove(vs.heap.data() + dst + 8, vs.heap.data() + src + 8, 4 + len);
      wr32(dst, static_cast<uint32_t>(kGarbage));
      wr32(dst + 4, newcap);
      vs.slots[static_cast<size_t>(owner)] = dst + 8;
      dst += kBlockHeader + newcap;
    }
    src = next;
  }
  vs.heap_free = dst;
  vs.heap_used = dst;
  ++vs.compactions;
}

int32_t var_grow(int32_t n, Scope scope, int32_t min) {
  if (n <= 0) return 0;
  if (var_room(n, n * kBlockHeader) != 0) {
    n = min;
    if (n <= 0 || var_room(n, n * kBlockHeader) != 0) return -1;
  }
  if (scope == Scope::Stack) {
    fill_empty(vs.last_slot + 1, n);
    vs.last_slot += n;
    return 0;
  }
  // Globals end at local_base: shift the stack scope up by n.
  const int32_t at = vs.local_base;
  std::memmove(&vs.slots[static_cast<size_t>(at + n)], &vs.slots[static_cast<size_t>(at)],
               sizeof(uint32_t) * static_cast<size_t>(vs.last_slot - at + 1));
  std::memmove(&vs.nums[static_cast<size_t>(at + n)], &vs.nums[static_cast<size_t>(at)],
               sizeof(VarNumSlot) * static_cast<size_t>(vs.last_slot - at + 1));
  fill_empty(at, n);
  vs.local_base += n;
  vs.last_slot += n;
  return 0;
}

void var_trim_stack(int32_t keep) {
  if (keep < 0) keep = 0;
  if (keep < var_stack_capacity()) vs.last_slot = vs.local_base + keep - 1;
}

int32_t var_heap_alloc_global() {
  if (vs.free_globals == 0) {
    const int32_t room = kLastGlobalNumber - (vs.local_base - 1);
    if (room <= 0) return ERR_OUT_OF_STRING_SPACE;
    const int32_t first = vs.local_base;
    const int32_t n = room < kGlobalGrowStep ? room : kGlobalGrowStep;
    if (var_grow(n, Scope::Globals, 1) != 0) return ERR_OUT_OF_STRING_SPACE;
    // Chain the new slots into the free list, lowest first.
    const int32_t got = vs.local_base - first;
    for (int32_t i = got - 1; i >= 0; --i) {
      vs.slots[static_cast<size_t>(first + i)] = kSlotRef | vs.free_globals;
      vs.free_globals = static_cast<uint32_t>(first + i);
    }
  }
  const uint32_t g = vs.free_globals;
  vs.free_globals = vs.slots[g] & ~kSlotRef;
  if (var_assign_bytes_at(static_cast<int32_t>(g), "", 0) != ERR_OK) {
    vs.slots[g] = kSlotRef | vs.free_globals;
    vs.free_globals = g;
    return ERR_OUT_OF_STRING_SPACE;
  }
  if (g > vs.global_high) vs.global_high = static_cast<uint16_t>(g);
  return static_cast<int32_t>(g);
}

void var_heap_free_global(uint32_t number) {
  if (number == 0 || number >= static_cast<uint32_t>(vs.local_base)) return;
  vs.slots[number] = kSlotRef | vs.free_globals;
  vs.free_globals = number;
}

const char* var_check() {
  if (vs.last_slot > vs.max_slot || vs.local_base > vs.last_slot + 1) return "scopes";
  if (vs.local_base - 1 > kLastGlobalNumber) return "globals past 8000";
  if (vs.heap_free > vs.heap.size()) return "heap_free";
  std::vector<int32_t> owner_count;
  // Walk the blocks; remember where each starts.
  std::vector<uint8_t> starts(vs.heap.size() + 1, 0);
  uint32_t at = 0;
  while (at < vs.heap_free) {
    if (at + kBlockHeader > vs.heap_free) return "block header past heap_free";
    const uint32_t cap = rd32(at + 4), len = rd32(at + 8);
    if (cap % 4 != 0 || len > cap) return "block capacity";
    if (static_cast<int32_t>(rd32(at)) != kGarbage) return "block marker";
    starts[at] = 1;
    at += kBlockHeader + cap;
  }
  if (at != vs.heap_free) return "blocks do not end at heap_free";
  std::vector<uint8_t> owned(vs.heap.size() + 1, 0);
  for (int32_t i = 0; i <= vs.last_slot; ++i) {
    const uint32_t w = vs.slots[static_cast<size_t>(i)];
    if (is_ref(w)) continue;
    const uint32_t off = w & kSlotOffset;
    if (off < 8 || off >= vs.heap_free || !starts[block_of(w)]) return "slot points outside a block";
    if (owned[block_of(w)]++) return "two slots own one block";
    if (w & kSlotNumber) {
      const VarNumSlot& n = vs.nums[static_cast<size_t>(i)];
      const VarNum v{n.mant, n.scale};
      if (!var_num_ok(v)) return "a number out of range";
      if (n.cap != capacity_of(w) || n.fit_lo != fit_lo(n.cap) || n.fit_hi != fit_hi(n.cap))
        return "a number's capacity";
      if (var_num_length(v) > static_cast<int32_t>(n.cap)) return "a number's text does not fit its block";
      char t[kNumTextMax];
      const std::string_view text(t, static_cast<size_t>(var_num_text(v, t)));
      if (n.text_made && lstr_view(reinterpret_cast<const LStr*>(vs.heap.data() + off)) != text)
        return "a number's text";
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------- numbers

int32_t var_num_length(VarNum v) {
  uint64_t m = v.mant < 0 ? 0 - static_cast<uint64_t>(v.mant) : static_cast<uint64_t>(v.mant);
  int32_t digits = 1;
  while (m >= 10) m /= 10, ++digits;
  const int32_t sign = v.mant < 0;
  if (v.scale == 0) return sign + digits;
  // "0." and leading zeros when the number is below 1.
  return sign + (digits > v.scale ? digits + 1 : v.scale + 2);
}

int32_t var_num_text(VarNum v, char* out) {
  char d[24];
  int32_t nd = 0;
  uint64_t m = v.mant < 0 ? 0 - static_cast<uint64_t>(v.mant) : static_cast<uint64_t>(v.mant);
  do d[nd++] = static_cast<char>('0' + m % 10), m /= 10;  // reversed
  while (m != 0);
  int32_t len = 0;
  if (v.mant < 0) out[len++] = '-';
  if (v.scale >= nd) {  // below 1
    out[len++] = '0';
    out[len++] = '.';
    for (int32_t i = nd; i < v.scale; ++i) out[len++] = '0';
  }
  for (int32_t i = nd - 1; i >= 0; --i) {
    out[len++] = d[i];
    if (i == v.scale && i > 0) out[len++] = '.';
  }
  return len;
}

bool var_num_from_text(std::string_view s, VarNum* out) {
  size_t i = 0, n = s.size();
  const bool neg = n > 0 && s[0] == '-';
  i = neg;
  const size_t int_start = i;
  while (i < n && s[i] >= '0' && s[i] <= '9') ++i;
  const size_t int_digits = i - int_start;
  if (int_digits == 0 || (int_digits > 1 && s[int_start] == '0')) return false;  // none, or a leading zero
  size_t frac = 0;
  if (i < n && s[i] == '.') {
    const size_t f0 = ++i;
    while (i < n && s[i] >= '0' && s[i] <= '9') ++i;
    frac = i - f0;
    if (frac == 0) return false;
  }
  if (i != n || frac > static_cast<size_t>(kNumScaleMax) || int_digits + frac > 17) return false;
  int64_t m = 0;
  for (size_t k = int_start; k < n; ++k)
    if (s[k] != '.') m = m * 10 + (s[k] - '0');
  VarNum v{neg ? -m : m, static_cast<int32_t>(frac)};
  if (!var_num_ok(v) || (neg && m == 0)) return false;  // "-0" and "0.0" are not written back so
  *out = v;
  return true;
}
