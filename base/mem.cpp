// The allocation seam: system allocator, memory given back, fault countdown.
#include "base/mem.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "base/mem_port.h"

namespace {

int fail_countdown = 0;  // 0: no injection armed
bool fail_persist = false;
bool fault_fired = false;
int64_t live_blocks = 0;
bool scribble = false;
constexpr unsigned char kScribble = 0xA5;

// One seam call: true when this call must fail.
bool inject_failure() {
  if (fault_fired && fail_persist) return true;
  if (fail_countdown <= 0) return false;
  if (--fail_countdown > 0) return false;
  fault_fired = true;
  return true;
}

}  // namespace

void* mem_alloc(size_t n) {
  if (inject_failure()) return nullptr;
  void* p = std::malloc(n ? n : 1);
  if (p) {
    ++live_blocks;
    if (scribble) std::memset(p, kScribble, malloc_usable_size(p));
  }
  return p;
}

void* mem_realloc(void* p, size_t n) {
  if (!p) return mem_alloc(n);
  if (inject_failure()) return nullptr;
  size_t old = scribble ? malloc_usable_size(p) : 0;
  void* q = std::realloc(p, n ? n : 1);
  if (q && scribble && n > old) std::memset(static_cast<unsigned char*>(q) + old, kScribble, n - old);
  return q;
}

void mem_free(void* p) {
  if (!p) return;
  --live_blocks;
  std::free(p);
}

void* mem_retry_alloc(size_t n) {
  for (;;) {
    if (void* p = mem_alloc(n)) return p;
    if (!mem_release(n)) return nullptr;
  }
}

void* mem_retry_realloc(void* p, size_t n) {
  for (;;) {
    if (void* q = mem_realloc(p, n)) return q;
    if (!mem_release(n)) return nullptr;
  }
}

void mem_fail_after(int n, bool persist) {
  fail_countdown = n > 0 ? n : 0;
  fail_persist = n > 0 && persist;
  fault_fired = false;
}

void mem_set_scribble(bool on) { scribble = on; }

bool mem_fault_fired() { return fault_fired; }

int64_t mem_live_blocks() { return live_blocks; }
