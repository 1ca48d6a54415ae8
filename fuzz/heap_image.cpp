// Fuzz target: arbitrary bytes read as a handle heap's file image.
//
// Input: the 36-byte descriptor, then the table (count x 4 bytes, count from
// the descriptor), then the area. A load must either refuse the image or give
// a heap that passes its check and takes further work: every handle is read,
// rewritten, freed and reallocated, then the heap is compacted.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "base/handle_heap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeapDescriptorBytes) return 0;
  std::span<const uint8_t> in(data, size);
  auto desc = in.first(kHeapDescriptorBytes);
  uint32_t count;
  std::memcpy(&count, data + 8, 4);  // descriptor word 2, little-endian host
  size_t table_bytes = size_t{count} * 4;
  size_t rest = size - kHeapDescriptorBytes;
  if (table_bytes > rest) table_bytes = rest;
  auto table = in.subspan(kHeapDescriptorBytes, table_bytes);
  auto area = in.subspan(kHeapDescriptorBytes + table_bytes);

  HandleHeap heap;
  if (heap_load(&heap, desc, table, area) != 0) return 0;
  if (!heap_check(&heap) || heap_swizzle(&heap, 'A') != 0) std::abort();
  for (uint32_t i = 1; i < heap.count; ++i) {
    auto h = static_cast<HeapHandle>(i);
    uint32_t len = heap_length(&heap, h);
    if (const uint8_t* p = heap_data(&heap, h)) {
      volatile uint8_t sink = 0;
      for (uint32_t k = 0; k < len; ++k) sink = sink + p[k];
      // Store the block's bytes again from its own address.
      if (heap_set(&heap, h, p, len) != 0) std::abort();
    }
  }
  HeapHandle extra = heap_alloc(&heap, "fuzz", 4);
  heap_free(&heap, extra);
  heap_compact(&heap);
  if (!heap_check(&heap)) std::abort();
  heap_release(&heap);
  return 0;
}
