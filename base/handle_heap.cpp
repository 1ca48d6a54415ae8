// Handle heap: blocks behind handles, compaction, area growth, file image.
#include "base/handle_heap.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/le.h"
#include "base/lstr.h"
#include "base/mem.h"

namespace {

constexpr uint32_t kNoBlock = ~0u;  // ~(4 x 0): refers to entry 0

bool env_stress() {
  const char* v = std::getenv("ZVX_HEAP_STRESS");
  return v && v[0] == '1';
}
bool stress = env_stress();

uint32_t rd32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
void wr32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

bool refers_to_table(uint32_t entry) { return static_cast<int32_t>(entry) < 0; }

// Offset of the reference word inside a block.
uint32_t ref_delta(const HandleHeap* h) { return h->word_aligned ? 8 : 4; }

uint32_t block_size_for(const HandleHeap* h, uint32_t length) {
  uint32_t size = kHeapBlockHeader + length;
  return h->word_aligned ? (size + 3) & ~3u : size;
}

// Block start of a live handle's entry.
uint32_t block_start(const HandleHeap* h, uint32_t entry) { return entry - ref_delta(h); }

bool handle_in_table(const HandleHeap* h, HeapHandle handle) {
  uint32_t i = static_cast<uint32_t>(handle);
  return i != 0 && i < h->count;
}

int32_t init_heap(HandleHeap* heap, uint32_t area_bytes, uint32_t entries, bool word_aligned) {
  if (entries == 0) entries = 1;
  if (entries > kHeapMaxEntries || area_bytes > kHeapMaxArea) return -1;
  auto* table = static_cast<uint32_t*>(mem_alloc(size_t{entries} * 4));
  if (!table) return -1;
  auto* base = static_cast<uint8_t*>(mem_alloc(area_bytes));
  if (!base) {
    mem_free(table);
    return -1;
  }
  *heap = HandleHeap{};
  heap->table = table;
  heap->table[0] = kNoBlock;
  heap->free_head = 0;
  heap->count = 1;
  heap->capacity = entries;
  heap->base = base;
  heap->top = 0;
  heap->end = area_bytes;
  heap->word_aligned = word_aligned;
  return 0;
}

// Table growth: threefold while small, then to 2.25 times the size.
bool grow_table(HandleHeap* heap) {
  uint64_t add = heap->capacity <= 30 ? 2ull * heap->capacity : heap->capacity + heap->capacity / 4;
  if (add == 0) add = 1;
  uint64_t cap = heap->capacity + add;
  if (cap > kHeapMaxEntries) cap = kHeapMaxEntries;
  if (cap <= heap->capacity) return false;  // at the limit?
  auto* table = static_cast<uint32_t*>(mem_realloc(heap->table, cap * 4));
  if (!table) return false;
  heap->table = table;
  heap->capacity = static_cast<uint32_t>(cap);
  return true;
}

// Moves the blocks into a new area of `size` bytes (size >= top).
bool move_area(HandleHeap* heap, uint64_t size) {
  if (size > kHeapMaxArea) return false;
  auto* base = static_cast<uint8_t*>(mem_alloc(size));
  if (!base) return false;
  if (heap->top) std::memcpy(base, heap->base, heap->top);
  mem_free(heap->base);
  heap->base = base;
  heap->end = static_cast<uint32_t>(size);
  ++heap->area_moves;
  return true;
}

// Checks a heap's table and area; used on every image read from a file.
bool check_heap(const HandleHeap* h) {
  if (!h->table || !h->base) return false;
  if (h->count < 1 || h->count > h->capacity || h->capacity > kHeapMaxEntries) return false;
  if (h->top > h->end || h->end > kHeapMaxArea) return false;
  if (h->table[0] != kNoBlock) return false;
  // Blocks tile [0, top).
  std::vector<uint32_t> starts;
  for (uint32_t off = 0; off < h->top;) {
    if (h->top - off < kHeapBlockHeader) return false;
    uint32_t owner = rd32(h->base + off);
    uint32_t cap = rd32(h->base + off + 4);
    uint32_t len = rd32(h->base + off + 8);
    if (owner != 0 || len > cap) return false;
    if (cap > h->top - off - kHeapBlockHeader) return false;
    uint32_t size = kHeapBlockHeader + cap;
    if (h->word_aligned && size % 4 != 0) return false;
    starts.push_back(off);
    off += size;
  }
  // Live entries name distinct blocks; table references stay in the table.
  std::vector<bool> used(starts.size(), false);
  std::vector<bool> on_free_list(h->count, false);
  for (uint32_t i = 1; i < h->count; ++i) {
    uint32_t e = h->table[i];
    if (refers_to_table(e)) {
      uint32_t bytes = ~e;
      if (bytes % 4 != 0 || bytes / 4 >= h->count) return false;
      continue;
    }
    if (e < ref_delta(h)) return false;
    uint32_t start = block_start(h, e);
    auto it = std::lower_bound(starts.begin(), starts.end(), start);
    if (it == starts.end() || *it != start) return false;
    size_t k = static_cast<size_t>(it - starts.begin());
    if (used[k]) return false;
    used[k] = true;
  }
  // The free list is finite, avoids entry 0 and links only table references.
  if (h->free_head % 4 != 0) return false;
  uint32_t idx = h->free_head / 4;
  for (uint32_t steps = 0; idx != 0; ++steps) {
    if (steps >= h->count || idx >= h->count) return false;
    uint32_t e = h->table[idx];
    if (!refers_to_table(e) || on_free_list[idx]) return false;
    on_free_list[idx] = true;
    idx = (~e) / 4;
  }
  // A handle in use without a block refers to entry 0; only free entries
  // link to others.
  for (uint32_t i = 1; i < h->count; ++i) {
    if (refers_to_table(h->table[i]) && h->table[i] != kNoBlock && !on_free_list[i]) return false;
  }
  return true;
}

}  // namespace

int32_t heap_init(HandleHeap* heap, uint32_t area_bytes, uint32_t entries) {
  return init_heap(heap, area_bytes, entries, true);
}

void heap_release(HandleHeap* heap) {
  mem_free(heap->table);
  mem_free(heap->base);
  bool word_aligned = heap->word_aligned;
  *heap = HandleHeap{};
  heap->word_aligned = word_aligned;
}

HeapHandle heap_new_handle(HandleHeap* heap) {
  uint32_t index;
  if (heap->free_head != 0) {  // free list not empty?
    index = heap->free_head / 4;
    heap->free_head = ~heap->table[index];
  } else {
    if (heap->count >= heap->capacity && !grow_table(heap)) return HeapHandle::none;
    index = heap->count++;
  }
  heap->table[index] = kNoBlock;
  return static_cast<HeapHandle>(index);
}

HeapHandle heap_alloc(HandleHeap* heap, const void* data, uint32_t length) {
  HeapHandle h = heap_new_handle(heap);
  if (h == HeapHandle::none) return h;
  if (heap_set(heap, h, data, length) != 0) {
    heap_free(heap, h);
    return HeapHandle::none;
  }
  return h;
}

void heap_free(HandleHeap* heap, HeapHandle handle) {
  if (!handle_in_table(heap, handle)) return;
  uint32_t i = static_cast<uint32_t>(handle);
  if (heap->free_head == i * 4) return;  // freed just now?
  heap->table[i] = ~heap->free_head;
  heap->free_head = i * 4;
}

int32_t heap_set(HandleHeap* heap, HeapHandle handle, const void* data, uint32_t length) {
  if (!handle_in_table(heap, handle)) return -1;
  uint32_t i = static_cast<uint32_t>(handle);
  uint32_t e = heap->table[i];
  if (!refers_to_table(e)) {
    uint8_t* block = heap->base + block_start(heap, e);
    if (rd32(block + 4) >= length) {  // fits in place?
      if (data) std::memmove(block + kHeapBlockHeader, data, length);
      wr32(block + 8, length);
      return 0;
    }
  }
  if (length > kHeapMaxArea - 16) return -1;
  uint32_t need = block_size_for(heap, length);
  const auto* src = static_cast<const uint8_t*>(data);
  uint32_t copy = length;
  if (!src) {  // resize only: the new room starts with the old bytes
    src = heap_data(heap, handle);
    copy = std::min(length, heap_length(heap, handle));
  }
  void* scratch = nullptr;
  if (stress || uint64_t{heap->end} <= uint64_t{heap->top} + need) {  // free room not above need?
    // Compaction moves the source if it lies in our area: remember it by
    // handle and offset. A source in garbage (or running past its block) is
    // copied aside first, since compaction overwrites it.
    HeapHandle src_h = HeapHandle::none;
    uint32_t src_off = 0;
    if (src && src >= heap->base && src < heap->base + heap->end) {
      src_h = heap_find_block(heap, src, &src_off);
      if (src_h == HeapHandle::none || uint64_t{src_off} + copy > heap_length(heap, src_h)) {
        src_h = HeapHandle::none;
        scratch = mem_alloc(copy);
        if (!scratch) return -1;
        std::memcpy(scratch, src, copy);
        src = static_cast<const uint8_t*>(scratch);
      }
    }
    heap_compact(heap);
    uint64_t used = heap->top;
    // Regrow (or shrink) to a quarter of headroom over the live data.
    if (stress || uint64_t{heap->end} <= used + used + used / 4 + need) {
      if (!move_area(heap, used + used / 4 + need)) {
        mem_free(scratch);
        return -1;
      }
    }
    if (src_h != HeapHandle::none) src = heap_data(heap, src_h) + src_off;
  }
  uint32_t start = heap->top;
  uint8_t* block = heap->base + start;
  wr32(block, 0);
  wr32(block + 4, need - kHeapBlockHeader);
  wr32(block + 8, length);
  if (src && copy) std::memmove(block + kHeapBlockHeader, src, copy);
  heap->table[i] = start + ref_delta(heap);
  heap->top += need;
  mem_free(scratch);
  return 0;
}

uint8_t* heap_data(const HandleHeap* heap, HeapHandle handle) {
  if (!handle_in_table(heap, handle)) return nullptr;
  uint32_t e = heap->table[static_cast<uint32_t>(handle)];
  if (refers_to_table(e)) return nullptr;
  return heap->base + block_start(heap, e) + kHeapBlockHeader;
}

LStr* heap_lstr(const HandleHeap* heap, HeapHandle handle) {
  static_assert(offsetof(LStr, len) == 0 && sizeof(LStr::len) == 4, "length word, then bytes");
  if (!heap->word_aligned) return nullptr;
  uint8_t* data = heap_data(heap, handle);
  return data ? reinterpret_cast<LStr*>(data - 4) : nullptr;
}

uint32_t heap_length(const HandleHeap* heap, HeapHandle handle) {
  if (!handle_in_table(heap, handle)) return 0;
  uint32_t e = heap->table[static_cast<uint32_t>(handle)];
  if (refers_to_table(e)) return 0;
  return rd32(heap->base + block_start(heap, e) + 8);
}

HeapHandle heap_find_block(const HandleHeap* heap, const void* address, uint32_t* offset) {
  const auto* a = static_cast<const uint8_t*>(address);
  if (!heap->base || a < heap->base || a >= heap->base + heap->top) return HeapHandle::none;
  for (uint32_t i = 1; i < heap->count; ++i) {
    uint32_t e = heap->table[i];
    if (refers_to_table(e)) continue;
    const uint8_t* block = heap->base + block_start(heap, e);
    const uint8_t* data = block + kHeapBlockHeader;
    if (a >= data && a < data + rd32(block + 8)) {
      if (offset) *offset = static_cast<uint32_t>(a - data);
      return static_cast<HeapHandle>(i);
    }
  }
  return HeapHandle::none;
}

void heap_compact(HandleHeap* heap) {
  if (!heap->base) return;
  uint8_t* base = heap->base;
  // Mark live blocks with their handle; unmarked blocks are garbage.
  for (uint32_t i = 1; i < heap->count; ++i) {
    uint32_t e = heap->table[i];
    if (!refers_to_table(e)) wr32(base + block_start(heap, e), i);
  }
  uint32_t dst = 0;
  for (uint32_t off = 0; off < heap->top;) {
    uint32_t owner = rd32(base + off);
    uint32_t cap = rd32(base + off + 4);
    uint32_t len = rd32(base + off + 8);
    uint32_t size = kHeapBlockHeader + cap;
    if (owner != 0) {
      uint32_t trimmed = block_size_for(heap, len);
      if (dst != off) std::memmove(base + dst, base + off, kHeapBlockHeader + len);
      wr32(base + dst, 0);
      wr32(base + dst + 4, trimmed - kHeapBlockHeader);
      heap->table[owner] = dst + ref_delta(heap);
      dst += trimmed;
    }
    off += size;
  }
  heap->top = dst;
  ++heap->compactions;
}

uint32_t heap_used(const HandleHeap* heap) { return heap->top; }

int32_t heap_swizzle(HandleHeap* heap, char direction) {
  if (direction == 'O') return 0;
  return check_heap(heap) ? 0 : -1;
}

void heap_write_descriptor(const HandleHeap* heap, std::span<uint8_t, kHeapDescriptorBytes> out) {
  const uint32_t words[9] = {0, heap->free_head, heap->count, heap->capacity, 0, heap->top, heap->end, 0, 0};
  for (int k = 0; k < 9; ++k) le::put_u32(out.data() + k * 4, words[k]);
}

std::span<const uint32_t> heap_table_image(const HandleHeap* heap) {
  return {heap->table, heap->table ? heap->count : 0};
}

std::span<const uint8_t> heap_area_image(const HandleHeap* heap) { return {heap->base, heap->base ? heap->top : 0}; }

int32_t heap_load(HandleHeap* heap, std::span<const uint8_t> descriptor, std::span<const uint8_t> table,
                  std::span<const uint8_t> area) {
  if (descriptor.size() != kHeapDescriptorBytes) return -2;
  uint32_t w[9];
  for (int k = 0; k < 9; ++k) {
    w[k] = le::get_u32(descriptor.data() + k * 4);
  }
  uint32_t free_head = w[1], count = w[2], top = w[5];
  if (count < 1 || count > kHeapMaxEntries || table.size() != size_t{count} * 4) return -2;
  if (top > kHeapMaxArea || area.size() != top) return -2;
  HandleHeap loaded;
  loaded.word_aligned = true;
  loaded.table = static_cast<uint32_t*>(mem_alloc(size_t{count} * 4));
  loaded.base = static_cast<uint8_t*>(mem_alloc(top));
  if (!loaded.table || !loaded.base) {
    mem_free(loaded.table);
    mem_free(loaded.base);
    return -1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    loaded.table[i] = le::get_u32(table.data() + size_t{i} * 4);
  }
  if (top) std::memcpy(loaded.base, area.data(), top);
  loaded.free_head = free_head;
  loaded.count = count;
  loaded.capacity = count;
  loaded.top = top;
  loaded.end = top;
  if (!check_heap(&loaded)) {
    mem_free(loaded.table);
    mem_free(loaded.base);
    return -2;
  }
  mem_free(heap->table);
  mem_free(heap->base);
  *heap = loaded;
  return 0;
}

bool heap_check(const HandleHeap* heap) { return check_heap(heap); }

void heap_set_stress(bool on) { stress = on; }

// ---- the global heap ----------------------------------------------------

namespace {
HandleHeap global_heap{.word_aligned = false};

HandleHeap* global() {
  if (!global_heap.table) hheap_init();
  return &global_heap;
}
}  // namespace

int32_t hheap_init(uint32_t area_bytes, uint32_t entries) {
  HandleHeap fresh;
  if (init_heap(&fresh, area_bytes, entries, false) != 0) return -1;
  heap_release(&global_heap);
  global_heap = fresh;
  return 0;
}
void hheap_release() { heap_release(&global_heap); }
HandleHeap* hheap_instance() { return global(); }
HeapHandle hheap_new_handle() { return heap_new_handle(global()); }
HeapHandle hheap_alloc(const void* data, uint32_t length) { return heap_alloc(global(), data, length); }
void hheap_free(HeapHandle handle) { heap_free(global(), handle); }
int32_t hheap_set(HeapHandle handle, const void* data, uint32_t length) {
  return heap_set(global(), handle, data, length);
}
uint8_t* hheap_data(HeapHandle handle) { return heap_data(global(), handle); }
uint32_t hheap_length(HeapHandle handle) { return heap_length(global(), handle); }
HeapHandle hheap_find_block(const void* address, uint32_t* offset) {
  return heap_find_block(global(), address, offset);
}
void hheap_compact() { heap_compact(global()); }
