// Handle heap: byte strings of varying length behind small integer handles,
// kept in one contiguous area.
//
// Invariant: the area holds blocks back to back from offset 0 to `top`; each
// block is a 12-byte header {owner, capacity, length} and `capacity` bytes of
// room. A live handle's entry holds the offset of its block's reference word;
// every other block is garbage, reclaimed by compaction, which keeps the
// order of the surviving blocks. Entries and the heap's own fields hold
// offsets, never addresses, so a heap's table and area can be written to a
// file as they are and read back on any machine.
//
// Blocks move on compaction and when the area is reallocated: holders keep
// the handle and ask for the address each time. A handle stays valid (and
// keeps its data) across any compaction until it is freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct LStr;

enum class HeapHandle : uint32_t { none = 0 };

struct HandleHeap {
  // Entry i: ~(4 x j) when it refers to table entry j (a free handle linked to
  // j, or a handle with no block when j = 0; entry 0 refers to itself), else
  // the area offset of the block's reference word: its `length` word in
  // word-aligned heaps, its `capacity` word in byte-packed ones.
  uint32_t* table = nullptr;
  uint32_t free_head = 0;  // byte offset of the first free entry; 0: list empty
  uint32_t count = 0;      // entries handed out so far (entry 0 included)
  uint32_t capacity = 0;   // entries allocated
  uint8_t* base = nullptr;
  uint32_t top = 0;  // offset of the first byte after the last block
  uint32_t end = 0;  // size of the area
  // Word-aligned heaps (all heaps given by pointer) round every block to a
  // multiple of 4 bytes so that a block's length word and bytes form an LStr.
  // The global heap packs blocks exactly.
  bool word_aligned = true;
  // Statistics, for tests and benchmarks.
  uint64_t compactions = 0;
  uint64_t area_moves = 0;
};

// Header of a block: owner (0 except during a compaction), capacity, length.
constexpr uint32_t kHeapBlockHeader = 12;
// Entries are stored as ~(4 x index), which must stay negative as an i32.
constexpr uint32_t kHeapMaxEntries = 1u << 29;
// Block offsets must stay non-negative as an i32.
constexpr uint32_t kHeapMaxArea = 0x7ffffff0u;
// The global heap starts tiny and grows on demand.
constexpr uint32_t kGlobalHeapArea = 20;
constexpr uint32_t kGlobalHeapEntries = 2;

// Sets up a word-aligned heap. 0, or -1 when memory runs out (nothing stays
// allocated). An entry count of 0 is taken as 1 (entry 0 is reserved).
int32_t heap_init(HandleHeap* heap, uint32_t area_bytes, uint32_t entries);
// Gives the table and the area back; the heap is empty afterwards.
void heap_release(HandleHeap* heap);

// A handle with no block; HeapHandle::none when memory runs out or the table
// would pass kHeapMaxEntries (the heap is unchanged then).
HeapHandle heap_new_handle(HandleHeap* heap);
// A new handle holding a copy of `length` bytes of `data` (room left as it is
// when `data` is null); none on failure, with the handle released again.
// May compact or move the area: earlier data addresses become invalid.
HeapHandle heap_alloc(HandleHeap* heap, const void* data, uint32_t length);
// The handle goes back to the free list; its block becomes garbage.
// HeapHandle::none, handles never handed out and the handle freed last are
// ignored. Freeing any other handle twice is a caller error.
void heap_free(HandleHeap* heap, HeapHandle handle);
// Stores `length` bytes of `data` under the handle. With null `data` it
// only resizes: the room keeps the handle's old bytes (as many as fit). `data` may point into this heap's own area. 0,
// or -1 when memory runs out or the handle is not in use; on -1 the handle keeps its old data. May compact or move the
// area unless the block already has room.
int32_t heap_set(HandleHeap* heap, HeapHandle handle, const void* data, uint32_t length);
// The address of the handle's data, null for none, for a handle with no
// block and for one never handed out. Valid until the next heap_set,
// heap_alloc or compaction of this heap.
uint8_t* heap_data(const HandleHeap* heap, HeapHandle handle);
// The block's length word and bytes as a counted string, in word-aligned
// heaps only; null for none, a handle with no block, or the global heap.
// Valid as long as heap_data would be.
LStr* heap_lstr(const HandleHeap* heap, HeapHandle handle);
// The length of the handle's data (0 when it has no block).
uint32_t heap_length(const HandleHeap* heap, HeapHandle handle);
// The handle whose data [data, data + length) contains `address`, with the
// offset into the data; none when no block's data contains it.
HeapHandle heap_find_block(const HandleHeap* heap, const void* address, uint32_t* offset);
// Drops garbage blocks and trims the live ones; moves blocks, keeps order.
void heap_compact(HandleHeap* heap);
uint32_t heap_used(const HandleHeap* heap);

// ---- file image ---------------------------------------------------------
// In memory a heap already has its file form (offsets), so turning it into
// offsets ('O') changes nothing. Any other direction validates a loaded heap
// against its own table and area and returns 0, or -1 when the image is
// corrupt (an entry outside the table or the blocks, a broken free list).
int32_t heap_swizzle(HandleHeap* heap, char direction);

// The 36-byte descriptor of the state file, little-endian words: table (0),
// free head, count, capacity, base (0), top, end, two unused words (0).
constexpr size_t kHeapDescriptorBytes = 36;
void heap_write_descriptor(const HandleHeap* heap, std::span<uint8_t, kHeapDescriptorBytes> out);
// The table image: count little-endian words.
std::span<const uint32_t> heap_table_image(const HandleHeap* heap);
// The area image: the `top` bytes of the blocks.
std::span<const uint8_t> heap_area_image(const HandleHeap* heap);
// Builds a word-aligned heap from a descriptor, `table` (count x 4 bytes)
// and `area` (top bytes) read from a file. The heap gets capacity = count
// and end = top. 0 on success; -1 when memory runs out; -2 when the image is
// corrupt or the parts disagree. On failure `heap` is left as it was.
int32_t heap_load(HandleHeap* heap, std::span<const uint8_t> descriptor, std::span<const uint8_t> table,
                  std::span<const uint8_t> area);

// Stress mode: every heap_set that needs a new block compacts and moves the
// area first, so that an address kept across a call that may move blocks
// points into freed memory at once (ASan reports it). On when set here, or
// when the environment variable ZVX_HEAP_STRESS is set to 1 at start-up.
void heap_set_stress(bool on);

// Full consistency check (tests run it after every step): blocks tile the
// area, live entries name distinct blocks, owners are 0, the free list is
// finite and stays in the table.
bool heap_check(const HandleHeap* heap);

// ---- the global heap ----------------------------------------------------
// One byte-packed instance for the strings of buffers, window objects,
// timers and property slots; the same operations without a heap argument.
// It sets itself up with the default sizes on first use when hheap_init was
// not called.
// (Re)creates the global heap, discarding earlier contents; -1 when memory
// runs out (the old heap is kept then).
int32_t hheap_init(uint32_t area_bytes = kGlobalHeapArea, uint32_t entries = kGlobalHeapEntries);
void hheap_release();
HandleHeap* hheap_instance();
HeapHandle hheap_new_handle();
HeapHandle hheap_alloc(const void* data, uint32_t length);
void hheap_free(HeapHandle handle);
int32_t hheap_set(HeapHandle handle, const void* data, uint32_t length);
uint8_t* hheap_data(HeapHandle handle);
uint32_t hheap_length(HeapHandle handle);
HeapHandle hheap_find_block(const void* address, uint32_t* offset);
void hheap_compact();
