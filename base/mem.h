// The one allocation seam of the foundation.
//
// Every allocator of the program (record pools, handle heaps, handle tables,
// growable and dynamic arrays, the sub-allocator, chain tables) gets its
// memory here, so that tests can make any allocation fail and check that the
// structure is left as it was.
//
// Two families:
//  - mem_alloc / mem_realloc / mem_free: the system allocator, no retry.
//  - mem_retry_alloc / mem_retry_realloc: on failure they ask for memory
//    to be given back (base/mem_port.h: the text store evicts pages) and
//    try again while some was.
#pragma once

#include <cstddef>
#include <cstdint>

// The system allocator through the seam. A size of 0 is served as 1 byte so
// that a null result always means "out of memory".
void* mem_alloc(size_t n);
// Like realloc: on failure returns null and `p` stays valid and unchanged.
void* mem_realloc(void* p, size_t n);
void mem_free(void* p);  // null is ignored

// Allocators that retry after memory was given back (mem_release); null
// when nothing more can be released. mem_retry_realloc leaves `p` valid on failure.
void* mem_retry_alloc(size_t n);
void* mem_retry_realloc(void* p, size_t n);

// ---- fault injection (tests) -------------------------------------------
// The countdown counts calls of mem_alloc and mem_realloc (also those made by
// the retrying functions). mem_fail_after(n) makes the n-th call from now fail
// (n = 1: the very next one); with `persist` every call after it fails too.
// mem_fail_after(0) switches injection off.
void mem_fail_after(int n, bool persist = false);
// True when an injected failure happened since the last mem_fail_after.
bool mem_fault_fired();

// When on, every new block and the new part of a grown block is filled with
// 0xA5 bytes, so that code relying on fresh memory being zero shows up.
void mem_set_scribble(bool on);

// Blocks obtained through the seam and not yet given back (leak checks).
int64_t mem_live_blocks();

// RAII guard for tests: arms the countdown and disarms it on scope exit.
struct MemFaultGuard {
  explicit MemFaultGuard(int n, bool persist = false) { mem_fail_after(n, persist); }
  ~MemFaultGuard() { mem_fail_after(0); }
  MemFaultGuard(const MemFaultGuard&) = delete;
  MemFaultGuard& operator=(const MemFaultGuard&) = delete;
};
