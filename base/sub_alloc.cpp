// Sub-allocator: two boundary-tagged pools with size-class rings, and large
// blocks straight from the system allocator.
//
// Chunk layout: [link to the previous chunk: 8][guard: 8][chunk_size bytes
// of blocks][guard: 8]. A guard holds the value 8, which reads as a block in
// use both as a head tag (after a block) and as an end tag (before one), so
// coalescing stops at the chunk's edges without a bounds check. After each
// carve the word following the new block holds a guard as well.
#include "base/sub_alloc.h"

#include <cstring>

#include "base/mem.h"

namespace {

constexpr uint64_t kGuard = kSubTag;
constexpr uint64_t kFreeBit = 1;
constexpr uint32_t kChunkHead = 16;  // link + leading guard

uint64_t rd(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
void wr(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

uint8_t* region(uint8_t* chunk) { return chunk + kChunkHead; }
uint8_t* chunk_link(uint8_t* chunk) {
  uint8_t* prev;
  std::memcpy(&prev, chunk, sizeof prev);
  return prev;
}

RingNode* node_of(uint8_t* block) { return reinterpret_cast<RingNode*>(block + kSubTag); }
uint8_t* block_of(RingNode* node) { return reinterpret_cast<uint8_t*>(node) - kSubTag; }

uint32_t class_of(const SubPool* pool, uint64_t size) {
  return static_cast<uint32_t>((size - pool->min_block) / pool->granularity);
}

void set_bit(SubPool* pool, uint32_t c) { pool->bitmap[c / 8] |= static_cast<uint8_t>(1u << (c % 8)); }
void clear_bit(SubPool* pool, uint32_t c) { pool->bitmap[c / 8] &= static_cast<uint8_t>(~(1u << (c % 8))); }

// The smallest non-empty class at or above c, or -1.
int64_t find_class(const SubPool* pool, uint32_t c) {
  uint32_t byte = c / 8;
  uint32_t bits = pool->bitmap[byte] & (0xFFu << (c % 8));
  for (;;) {
    if (bits) return int64_t{byte} * 8 + __builtin_ctz(bits);
    if (++byte >= pool->bitmap_bytes) return -1;
    bits = pool->bitmap[byte];
  }
}

bool first_use(SubPool* pool) {
  if (pool->heads) return true;
  auto* heads = static_cast<RingNode**>(mem_alloc(sizeof(RingNode*) * pool->classes));
  auto* bitmap = static_cast<uint8_t*>(mem_alloc(pool->bitmap_bytes));
  if (!heads || !bitmap) {
    mem_free(heads);
    mem_free(bitmap);
    return false;
  }
  for (uint32_t c = 0; c < pool->classes; ++c) heads[c] = nullptr;
  std::memset(bitmap, 0, pool->bitmap_bytes);
  pool->heads = heads;
  pool->bitmap = bitmap;
  return true;
}

// Starts a new chunk; the rest of the current one becomes a free block
// when it can hold one.
bool new_chunk(SubPool* pool) {
  auto* chunk = static_cast<uint8_t*>(mem_alloc(size_t{pool->chunk_size} + kChunkHead + kSubTag));
  if (!chunk) return false;
  if (pool->chunk) {
    uint64_t rest = pool->chunk_size - pool->used;
    if (rest >= pool->min_block) subpool_link(pool, region(pool->chunk) + pool->used, rest);
  }
  std::memcpy(chunk, &pool->chunk, sizeof pool->chunk);
  wr(chunk + 8, kGuard);
  wr(region(chunk), kGuard);
  wr(region(chunk) + pool->chunk_size, kGuard);
  pool->chunk = chunk;
  pool->used = 0;
  return true;
}

void set_tags(uint8_t* block, uint64_t size) {
  wr(block, size);
  wr(block + size - kSubTag, size);
}

SubPool pool_a = kSubPoolA;
SubPool pool_b = kSubPoolB;

}  // namespace

void subpool_link(SubPool* pool, uint8_t* block, uint64_t size) {
  wr(block + size - kSubTag, size);
  wr(block, size | kFreeBit);
  uint32_t c = class_of(pool, size);
  ring_push_front(&pool->heads[c], node_of(block));
  set_bit(pool, c);
}

void subpool_unlink(SubPool* pool, uint8_t* block) {
  uint64_t size = rd(block) & ~kFreeBit;
  wr(block, size);
  uint32_t c = class_of(pool, size);
  ring_unlink(&pool->heads[c], node_of(block));
  if (!pool->heads[c]) clear_bit(pool, c);
}

void* subpool_alloc(SubPool* pool, uint32_t n) {
  if (n > pool->max_block - 2 * kSubTag) return nullptr;
  uint64_t size = uint64_t{n} + 2 * kSubTag;
  if (size < pool->min_block) size = pool->min_block;
  size = (size + pool->granularity - 1) / pool->granularity * pool->granularity;
  if (!first_use(pool)) return nullptr;
  int64_t c = find_class(pool, class_of(pool, size));
  uint8_t* block;
  if (c >= 0) {
    block = block_of(pool->heads[c]);
    subpool_unlink(pool, block);
    uint64_t have = rd(block);
    if (have - size < pool->min_block) {  // too little left to split?
      size = have;
    } else {
      subpool_link(pool, block + size, have - size);
    }
    set_tags(block, size);
  } else {
    if (!pool->chunk || pool->used + size > pool->chunk_size) {
      if (!new_chunk(pool)) return nullptr;
    }
    block = region(pool->chunk) + pool->used;
    set_tags(block, size);
    wr(block + size, kGuard);
    pool->used += static_cast<uint32_t>(size);
  }
  return block + kSubTag;
}

void subpool_free(SubPool* pool, void* p) {
  uint8_t* block = static_cast<uint8_t*>(p) - kSubTag;
  uint64_t size = rd(block) & ~kFreeBit;
  uint8_t* next = block + size;
  uint64_t next_head = rd(next);
  if ((next_head & kFreeBit) && size + (next_head & ~kFreeBit) <= pool->max_block) {
    subpool_unlink(pool, next);
    size += next_head & ~kFreeBit;
  }
  uint64_t prev_size = rd(block - kSubTag);
  uint8_t* prev = block - prev_size;
  if ((rd(prev) & kFreeBit) && prev_size + size <= pool->max_block) {
    subpool_unlink(pool, prev);
    block = prev;
    size += prev_size;
  }
  subpool_link(pool, block, size);
}

void* mem_sub_alloc(uint32_t n) {
  if (n > kSubMaxRequest) return nullptr;
  if (n < kSubPoolALimit) return subpool_alloc(&pool_a, n);
  if (n < kSubPoolBLimit) return subpool_alloc(&pool_b, n);
  uint64_t total = (uint64_t{n} + 2 * kSubTag + kSubLargeRound - 1) / kSubLargeRound * kSubLargeRound;
  auto* p = static_cast<uint8_t*>(mem_alloc(total));
  if (!p) return nullptr;
  wr(p, total);
  return p + kSubTag;
}

uint64_t mem_sub_block_size(const void* p) { return rd(static_cast<const uint8_t*>(p) - kSubTag) & ~kFreeBit; }

void mem_sub_free(void* p) {
  if (!p) return;
  uint64_t size = mem_sub_block_size(p);
  if (size <= pool_a.max_block)
    subpool_free(&pool_a, p);
  else if (size <= pool_b.max_block)
    subpool_free(&pool_b, p);
  else
    mem_free(static_cast<uint8_t*>(p) - kSubTag);
}

void* mem_sub_realloc(void* p, uint32_t n) {
  if (n > kSubMaxRequest) return nullptr;
  if (!p) return mem_sub_alloc(n);
  void* q = mem_sub_alloc(n);
  if (!q) return nullptr;
  uint64_t room = mem_sub_block_size(p) - 2 * kSubTag;
  std::memcpy(q, p, n < room ? n : room);
  mem_sub_free(p);
  return q;
}

SubPool* sub_pool_a() { return &pool_a; }
SubPool* sub_pool_b() { return &pool_b; }

void subpool_release(SubPool* pool) {
  for (uint8_t* c = pool->chunk; c;) {
    uint8_t* prev = chunk_link(c);
    mem_free(c);
    c = prev;
  }
  mem_free(pool->heads);
  mem_free(pool->bitmap);
  pool->heads = nullptr;
  pool->bitmap = nullptr;
  pool->chunk = nullptr;
  pool->used = 0;
}

bool subpool_check(const SubPool* pool) {
  if (!pool->heads) return !pool->chunk;
  // Every free block found by walking the chunks must be in its ring.
  uint64_t free_blocks = 0;
  for (uint8_t* c = pool->chunk; c; c = chunk_link(c)) {
    uint8_t* r = region(c);
    if (rd(r - kSubTag) != kGuard || rd(r + pool->chunk_size) != kGuard) return false;
    uint64_t limit = c == pool->chunk ? pool->used : pool->chunk_size;
    uint64_t off = 0;
    while (off < limit) {
      uint64_t head = rd(r + off);
      if (head == kGuard) break;  // end of the carved part of an old chunk
      uint64_t size = head & ~kFreeBit;
      if (size < pool->min_block || size > pool->max_block || size % pool->granularity) return false;
      if (off + size > pool->chunk_size || rd(r + off + size - kSubTag) != size) return false;
      if (head & kFreeBit) {
        ++free_blocks;
        bool found = false;
        RingNode* h = pool->heads[class_of(pool, size)];
        RingNode* n = h;
        if (n) {
          do {
            if (n == node_of(r + off)) found = true;
            n = n->next;
          } while (n != h);
        }
        if (!found) return false;
      }
      off += size;
    }
    if (c == pool->chunk && off != pool->used) return false;
  }
  uint64_t ringed = 0;
  for (uint32_t k = 0; k < pool->classes; ++k) {
    bool bit = pool->bitmap[k / 8] & (1u << (k % 8));
    if (bit != (pool->heads[k] != nullptr)) return false;
    if (RingNode* h = pool->heads[k]) {
      RingNode* n = h;
      do {
        if (n->next->prev != n) return false;
        uint64_t head = rd(block_of(n));
        if (!(head & kFreeBit) || class_of(pool, head & ~kFreeBit) != k) return false;
        ++ringed;
        n = n->next;
      } while (n != h);
    }
  }
  return ringed == free_blocks;
}
