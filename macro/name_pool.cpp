#include "macro/name_pool.h"

#include <cstring>

#include "base/handle_heap.h"
#include "base/le.h"

namespace namepool {
namespace {

HandleHeap g_heap;
bool g_ready = false;

// Pool handles live in 16-bit fields.
constexpr uint32_t kMaxHandle = 65535;

HeapHandle hh(uint16_t h) { return static_cast<HeapHandle>(h); }

}  // namespace

int init(uint32_t area_bytes, uint32_t handles) {
  if (g_ready) heap_release(&g_heap);
  g_ready = heap_init(&g_heap, area_bytes, handles) == 0;
  return g_ready ? 0 : -1;
}

uint16_t put(std::string_view s) {
  if (!g_ready && init(20000, 1000) != 0) return 0;
  HeapHandle h = heap_alloc(&g_heap, s.data(), uint32_t(s.size()));
  if (h == HeapHandle::none) return 0;
  if (uint32_t(h) > kMaxHandle) {  // would not fit its field: refuse, never wrap
    heap_free(&g_heap, h);
    return 0;
  }
  return uint16_t(h);
}

std::string_view get(uint16_t h) {
  if (!g_ready || h == 0) return {};
  const uint8_t* p = heap_data(&g_heap, hh(h));
  if (!p) return {};
  return {reinterpret_cast<const char*>(p), heap_length(&g_heap, hh(h))};
}

bool live(uint16_t h) { return g_ready && h != 0 && heap_data(&g_heap, hh(h)) != nullptr; }

void drop(uint16_t h) {
  if (live(h)) heap_free(&g_heap, hh(h));
}

void compact() {
  if (g_ready) heap_compact(&g_heap);
}

uint32_t handle_count() { return g_ready ? g_heap.count : 0; }

std::vector<uint8_t> descriptor_record() {
  std::vector<uint8_t> d(kHeapDescriptorBytes, 0);
  if (g_ready) heap_write_descriptor(&g_heap, std::span<uint8_t, kHeapDescriptorBytes>(d.data(), kHeapDescriptorBytes));
  return d;
}

std::vector<uint8_t> area_record() {
  if (!g_ready) return {};
  std::span<const uint8_t> a = heap_area_image(&g_heap);
  return {a.begin(), a.end()};
}

std::vector<uint8_t> table_record() {
  std::vector<uint8_t> t;
  if (!g_ready) return t;
  for (uint32_t w : heap_table_image(&g_heap)) le::append_u32(t, w);
  return t;
}

bool restore(std::span<const uint8_t> rec15, std::span<const uint8_t> rec3, std::span<const uint8_t> rec16) {
  HandleHeap loaded{};
  if (heap_load(&loaded, rec15, rec16, rec3) != 0) return false;
  if (loaded.count > kMaxHandle + 1 || !heap_check(&loaded)) {
    heap_release(&loaded);
    return false;
  }
  if (g_ready) heap_release(&g_heap);
  g_heap = loaded;
  g_ready = true;
  return true;
}

}  // namespace namepool
