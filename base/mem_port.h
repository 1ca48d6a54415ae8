// What the foundation's allocator needs of the layers above it.
//
// When an allocation fails, the retrying allocators ask for memory to be
// given back and try again while some was. Only the text store holds memory
// it can give back (it writes pages to its spill file), so this is declared
// here and the program defines it once. A program without the store has
// nothing to give back.
#pragma once

#include <cstddef>

// Frees at least `n` bytes somewhere; true when something was released,
// false when nothing more can be. Must not allocate through the retrying
// functions.
bool mem_release(size_t n);
