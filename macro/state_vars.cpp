// Records 2 and 6 of the state file: the global variables and their strings.
//
// Record 2 is the 36-byte header of the slot array; record 6 the used global
// slots, the heap's used-bytes word and the heap. In the file a slot that
// refers to another slot (a free global's link) holds that slot's byte
// offset from the start of the slot array, and a value holds the offset of
// its block's length word counted from the same start as if the heap
// followed the last used slot directly (the unused slots, "the gap", are
// not stored). The stack is empty whenever the state is written, so only
// the global scope is saved; a restore leaves the stack empty.
//
// The restore checks every field against the records and the area: a slot
// word that is neither a link inside the globals nor the length word of a
// heap block, a heap that does not tile, or a free list that leaves the
// globals gives -3000, and the variables stay as they were.
#include "macro/names_vm.h"

#include <cstring>

#include "base/le.h"
#include "macro/state.h"
#include "macro/varheap.h"

namespace {

constexpr uint32_t kHeaderBytes = 36;
constexpr uint32_t kRestoreSpare = 4000;  // room the restored area must keep free

uint32_t area_size() { return uint32_t(var_slots.slots.size() * 4 + var_slots.heap.size() + 4); }

bool save(std::vector<uint8_t>& rec2, std::vector<uint8_t>& rec6) {
  var_compact();
  const VarSlots& v = var_slots;
  const uint32_t globals = uint32_t(v.local_base);  // slots 0 .. local_base-1
  const uint32_t heap_at = globals * 4 + 4;         // where the heap starts in record 6
  const uint32_t gap = uint32_t(v.max_slot + 1 - int32_t(globals)) * 4;
  rec2.clear();
  le::append_u32(rec2, v.free_globals * 4);
  le::append_u32(rec2, heap_at + v.heap_free);
  le::append_u32(rec2, area_size() - gap);
  le::append_u16(rec2, uint16_t(v.local_base));
  le::append_u16(rec2, uint16_t(globals - 1));  // last used slot: the stack is empty
  le::append_u16(rec2, uint16_t(v.max_slot));
  le::append_u16(rec2, 1);  // two scopes
  le::append_u16(rec2, v.global_high);
  le::append_u16(rec2, 0);
  le::append_u16(rec2, 0);  // scope 0: the globals
  le::append_u16(rec2, uint16_t(globals));
  le::append_u16(rec2, uint16_t(globals));  // scope 1: the (empty) stack
  le::append_u16(rec2, uint16_t(globals));
  le::append_u32(rec2, area_size());
  rec6.clear();
  rec6.reserve(heap_at + v.heap_free);
  for (uint32_t i = 0; i < globals; ++i) {
    uint32_t w = v.slots[i];
    le::append_u32(rec6, (w & kSlotRef) ? (w & ~kSlotRef) * 4 : heap_at + w);
  }
  le::append_u32(rec6, v.heap_free);
  rec6.insert(rec6.end(), v.heap.begin(), v.heap.begin() + v.heap_free);
  return true;
}

int restore(std::span<const uint8_t> rec2, std::span<const uint8_t> rec6) {
  if (rec2.size() != kHeaderBytes) return ERR_INCORRECT_VERSION;
  const uint8_t* h = rec2.data();
  uint32_t free_off = le::get_u32(h), heap_free_off = le::get_u32(h + 4);
  int32_t local_base = le::get_i16(h + 12), last_slot = le::get_i16(h + 14);
  uint16_t global_high = le::get_u16(h + 20);
  if (local_base < 3 || local_base - 1 > kLastGlobalNumber || last_slot != local_base - 1) return ERR_INCORRECT_VERSION;
  const uint32_t globals = uint32_t(local_base), heap_at = globals * 4 + 4;
  if (rec6.size() < heap_at || heap_free_off != rec6.size() || free_off % 4 || free_off / 4 >= globals ||
      global_high >= globals)
    return ERR_INCORRECT_VERSION;
  const uint32_t heap_bytes = uint32_t(rec6.size()) - heap_at;
  if (le::get_u32(rec6.data() + globals * 4) != heap_bytes) return ERR_INCORRECT_VERSION;
  // Does it fit this area, with room to spare?
  if (uint64_t(globals) + 1 > var_slots.slots.size() || heap_bytes > var_slots.heap.size() ||
      uint64_t(globals) * 4 + heap_bytes + kRestoreSpare > area_size())
    return ERR_INSUFFICIENT_MEMORY;

  const uint8_t* heap = rec6.data() + heap_at;
  std::vector<uint8_t> block_start(heap_bytes + 1, 0);
  for (uint32_t at = 0; at < heap_bytes;) {  // blocks must tile the heap
    if (heap_bytes - at < uint32_t(kBlockHeader)) return ERR_INCORRECT_VERSION;
    uint32_t cap = le::get_u32(heap + at + 4), len = le::get_u32(heap + at + 8);
    if (le::get_i32(heap + at) != -1 || cap % 4 || len > cap || cap > heap_bytes - at - kBlockHeader)
      return ERR_INCORRECT_VERSION;
    block_start[at] = 1;
    at += kBlockHeader + cap;
  }
  VarSlots saved = var_slots;
  VarSlots& v = var_slots;
  std::vector<uint8_t> owned(heap_bytes + 1, 0);
  for (uint32_t i = 0; i < globals; ++i) {
    uint32_t off = le::get_u32(rec6.data() + 4 * i);
    if (off < globals * 4) {  // a link to another global slot
      if (off % 4) return ERR_INCORRECT_VERSION;
      v.slots[i] = kSlotRef | (off / 4);
    } else {
      uint32_t w = off - heap_at;  // the block's length word, 8 bytes into it
      if (off < heap_at + 8 || w - 8 >= heap_bytes || !block_start[w - 8] || owned[w - 8]) {
        var_slots = saved;
        return ERR_INCORRECT_VERSION;
      }
      owned[w - 8] = 1;
      v.slots[i] = w;
    }
  }
  // The free list must stay inside the globals and end.
  uint32_t steps = 0;
  for (uint32_t f = free_off / 4; f != 0; f = v.slots[f] & ~kSlotRef) {
    if (f >= globals || !(v.slots[f] & kSlotRef) || ++steps > globals) {
      var_slots = saved;
      return ERR_INCORRECT_VERSION;
    }
  }
  std::memcpy(v.heap.data(), heap, heap_bytes);
  v.heap_free = heap_bytes;
  v.heap_used = heap_bytes;
  v.local_base = local_base;
  v.last_slot = local_base - 1;
  v.global_high = global_high;
  v.free_globals = free_off / 4;
  if (var_check() != nullptr) {  // a free list that loops or leaves the globals
    var_slots = saved;
    return ERR_INCORRECT_VERSION;
  }
  return ERR_OK;
}

}  // namespace

void state_attach_var_heap() {
  state_var_hooks().save = save;
  state_var_hooks().restore = restore;
}
