// GrowArray: a growable array of fixed-size elements that grows by a fixed
// step. Elements move when it grows (vec_push may move every element), so
// holders keep indexes and fetch addresses again after a push.
#pragma once

#include <cstddef>
#include <cstdint>

struct GrowArray {
  void* data = nullptr;      // null until the first push
  int32_t capacity = 0;      // elements allocated
  int32_t count = 0;         // elements in use
  int32_t element_size = 0;  // bytes
  int32_t grow_step = 0;     // elements added at a time
};

constexpr GrowArray grow_array_make(int32_t element_size, int32_t grow_step) {
  GrowArray a;
  a.element_size = element_size;
  a.grow_step = grow_step;
  return a;
}

// Appends one zeroed element and returns its address; null when memory runs
// out or the array would pass the i32 range (the array is then unchanged).
void* vec_push(GrowArray* array);
// Drops the last element when there is one.
void vec_pop(GrowArray* array);
// 1 when 0 <= index < count, else 0.
int vec_valid_index(const GrowArray* array, int32_t index);
// The element at a valid index, else null.
void* vec_at(const GrowArray* array, int32_t index);
// Gives the elements back; the array is empty again (sizes kept).
void vec_release(GrowArray* array);
