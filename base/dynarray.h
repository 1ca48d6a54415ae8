// DynArray: the window system's growable array of plain records, whose
// capacity doubles when full, optionally kept sorted by a comparison.
//
// Invariant: 0 <= count <= capacity and capacity >= 1 once constructed; the
// elements 0 .. count-1 are in use. Any append or insertion may move every
// element, so holders keep indexes or copies, never addresses, across one.
//
// Growth has no failure result: when memory runs out the fatal hook runs
// (by default it writes "Virtual memory exceeded in `new'" to standard error
// and ends the process with status -1).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/mem.h"

// Called when an array cannot grow: the message on standard error, and the
// process ends.
[[noreturn]] void dynarray_out_of_memory();

template <typename T>
struct DynArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are copied word by word");
  // compare(new element, existing element) < 0 when the existing one sorts
  // after the new one.
  using Compare = int (*)(const T* new_element, const T* existing);

  T* data = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
  Compare compare = nullptr;

  DynArray() = default;
  explicit DynArray(int32_t initial_capacity, Compare cmp = nullptr);
  ~DynArray() { mem_free(data); }
  DynArray(const DynArray&) = delete;
  DynArray& operator=(const DynArray&) = delete;
};

// Allocates the element array for the capacity (at least 1); count 0,
// compare none. Any earlier elements are given back.
template <typename T>
void dynarray_construct(DynArray<T>* a, int32_t initial_capacity) {
  int32_t cap = initial_capacity > 0 ? initial_capacity : 1;
  T* p = static_cast<T*>(mem_alloc(sizeof(T) * static_cast<size_t>(cap)));
  if (!p) dynarray_out_of_memory();
  mem_free(a->data);
  a->data = p;
  a->count = 0;
  a->capacity = cap;
  a->compare = nullptr;
}

template <typename T>
DynArray<T>::DynArray(int32_t initial_capacity, Compare cmp) {
  dynarray_construct(this, initial_capacity);
  compare = cmp;
}

// Makes room for one more element, doubling the capacity when full. The
// window system's grow operations (dynarray_grow_timer, _window, _class and
// the others) are this function at their element type. May move elements.
template <typename T>
void dynarray_grow(DynArray<T>* a) {
  if (a->capacity >= a->count + 1) return;
  if (a->capacity > INT32_MAX / 2) dynarray_out_of_memory();
  int32_t cap = a->capacity > 0 ? a->capacity * 2 : 1;
  T* p = static_cast<T*>(mem_alloc(sizeof(T) * static_cast<size_t>(cap)));
  if (!p) dynarray_out_of_memory();
  if (a->count) std::memcpy(static_cast<void*>(p), a->data, sizeof(T) * static_cast<size_t>(a->count));
  mem_free(a->data);
  a->data = p;
  a->capacity = cap;
}

template <typename T>
void dynarray_append(DynArray<T>* a, const T& element) {
  T copy = element;  // `element` may live in the array
  dynarray_grow(a);
  a->data[a->count++] = copy;
}

namespace dynarray_detail {
// Without a compare function elements order by their leading word, unsigned.
template <typename T>
uint64_t leading_word(const T& e) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<uintptr_t>(e);
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<std::make_unsigned_t<std::underlying_type_t<T>>>(e);
  } else if constexpr (std::is_integral_v<T>) {
    return static_cast<std::make_unsigned_t<T>>(e);
  } else {
    uint32_t w = 0;
    std::memcpy(&w, &e, sizeof(T) < 4 ? sizeof(T) : 4);
    return w;
  }
}
}  // namespace dynarray_detail

// Inserts keeping the order; an element equal to existing ones goes after
// them. Returns the new count. May move elements.
template <typename T>
int32_t dynarray_insert_sorted(DynArray<T>* a, const T& element) {
  T copy = element;
  dynarray_grow(a);
  int32_t i = a->count;
  for (; i > 0; --i) {
    const T& existing = a->data[i - 1];
    bool after = a->compare ? a->compare(&copy, &existing) < 0
                            : dynarray_detail::leading_word(existing) > dynarray_detail::leading_word(copy);
    if (!after) break;
    a->data[i] = existing;
  }
  a->data[i] = copy;
  return ++a->count;
}

// Removes the element at `index` when 0 <= index < count; any other index
// (negative ones included) changes nothing.
template <typename T>
void dynarray_remove_at(DynArray<T>* a, int32_t index) {
  if (index < 0 || index >= a->count) return;
  std::memmove(static_cast<void*>(a->data + index), a->data + index + 1,
               sizeof(T) * static_cast<size_t>(a->count - index - 1));
  --a->count;
}

// The node of the window system's doubly linked message queues.
struct XfQueueNode {
  XfQueueNode* next;
  XfQueueNode* prev;
  void* value;  // the message record
};

// Sets next and previous to none and copies the value; returns the node.
XfQueueNode* list_node_init(XfQueueNode* node, void* value);
