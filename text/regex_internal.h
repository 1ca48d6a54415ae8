// Shared between the regular-expression compiler and matcher only.
#pragma once

#include <cstddef>

// Allocation through the engine's seam (re_set_allocator).
void* re_alloc_bytes(void* p, size_t bytes);
void re_free_bytes(void* p);
