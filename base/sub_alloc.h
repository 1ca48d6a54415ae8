// Sub-allocator: many small and medium blocks that come and go quickly
// (images, help tables, display lines, compiled patterns) served from large
// chunks, so that they do not fragment the system heap.
//
// Requests below 497 bytes go to pool A, below 32753 bytes to pool B, larger
// ones to the system allocator with a size word in front. Every block
// carries its size in the 8-byte word before the user's address, so freeing
// needs only the address.
//
// A pool block is an 8-byte head tag (block size; bit 0 set while free), the
// user's bytes and an 8-byte end tag (the size) in its last word: a block of
// size s gives s - 16 bytes, 8-byte aligned. A free block keeps its RingNode
// in its first user bytes, which is why the smallest block is 32 bytes.
// Invariant: the blocks of a chunk lie back to back between two guard words
// that look like blocks in use; free blocks of exactly min_block + c x
// granularity bytes are in ring c, and bit c of the bitmap is set while ring
// c is not empty. Chunks are never given back to the system.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/hash_chain.h"

struct SubPool {
  uint32_t chunk_size;
  uint32_t granularity;
  uint32_t min_block;
  uint32_t max_block;
  uint32_t classes;
  RingNode** heads = nullptr;  // class ring heads, made on first use
  uint32_t bitmap_bytes;
  uint8_t* bitmap = nullptr;  // bit c: ring c not empty
  uint8_t* chunk = nullptr;   // the current chunk (see sub_alloc.cpp for its layout)
  uint32_t used = 0;          // bytes carved from the current chunk
};

constexpr uint32_t kSubTag = 8;             // head and end tag
constexpr uint32_t kSubPoolALimit = 497;    // requests below go to pool A
constexpr uint32_t kSubPoolBLimit = 32753;  // requests below go to pool B
constexpr uint32_t kSubLargeRound = 1024;   // large blocks round to this
constexpr uint32_t kSubMaxRequest = 0x7fffffff;

// Pool A: 10 KiB chunks of 16-byte granules; pool B: 64 KiB chunks of
// 256-byte granules. Size classes = (max - min) / granularity + 1.
constexpr SubPool kSubPoolA{10240, 16, 32, 512, 31, nullptr, 4};
constexpr SubPool kSubPoolB{65536, 256, 512, 32768, 127, nullptr, 16};

// A block of at least n bytes; null when n > 0x7fffffff or memory runs out.
void* mem_sub_alloc(uint32_t n);
// Null is ignored; the size word before `p` says where the block goes back.
void mem_sub_free(void* p);
// Null when n > 0x7fffffff; like mem_sub_alloc for null `p`; otherwise a new
// block with min(n, old room) bytes copied, the old block freed. When the
// allocation fails it returns null and `p` stays valid.
void* mem_sub_realloc(void* p, uint32_t n);
// The size word of a block: its block size including tags (pool blocks) or
// its total size (large blocks).
uint64_t mem_sub_block_size(const void* p);

// The pool operations; `n` is the user's request, `block` the block start.
void* subpool_alloc(SubPool* pool, uint32_t n);
void subpool_free(SubPool* pool, void* p);
void subpool_link(SubPool* pool, uint8_t* block, uint64_t size);
void subpool_unlink(SubPool* pool, uint8_t* block);

// The two global pools.
SubPool* sub_pool_a();
SubPool* sub_pool_b();
// Gives every chunk and the class arrays of a pool back (tests; the global
// pools are never released while blocks are in use).
void subpool_release(SubPool* pool);
// Consistency check for tests: tags, tiling of the chunks, rings and bitmap.
bool subpool_check(const SubPool* pool);
