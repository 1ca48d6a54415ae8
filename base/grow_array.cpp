// GrowArray: fixed-step growth through the allocation seam.
#include "base/grow_array.h"

#include <cstring>

#include "base/mem.h"

void* vec_push(GrowArray* a) {
  if (a->count == a->capacity) {  // full (or never used)?
    int64_t step = a->grow_step > 0 ? a->grow_step : 1;
    int64_t cap = int64_t{a->capacity} + step;
    if (cap * a->element_size > INT32_MAX) return nullptr;
    void* p = mem_realloc(a->data, static_cast<size_t>(cap * a->element_size));
    if (!p) return nullptr;
    a->data = p;
    a->capacity = static_cast<int32_t>(cap);
  }
  auto* e = static_cast<unsigned char*>(a->data) + static_cast<size_t>(a->count) * a->element_size;
  ++a->count;
  std::memset(e, 0, static_cast<size_t>(a->element_size));
  return e;
}

void vec_pop(GrowArray* a) {
  if (a->count > 0) --a->count;
}

int vec_valid_index(const GrowArray* a, int32_t index) { return index >= 0 && index < a->count ? 1 : 0; }

void* vec_at(const GrowArray* a, int32_t index) {
  if (!vec_valid_index(a, index)) return nullptr;
  return static_cast<unsigned char*>(a->data) + static_cast<size_t>(index) * a->element_size;
}

void vec_release(GrowArray* a) {
  mem_free(a->data);
  *a = grow_array_make(a->element_size, a->grow_step);
}
