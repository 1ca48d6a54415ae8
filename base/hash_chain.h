// Intrusive lists: hash chains (arrays of singly linked buckets) and rings
// (circular doubly linked lists reached through a head pointer). Nothing is
// allocated here except a chain table's bucket array; the owner's records
// begin with the node and the owner picks the bucket itself.
#pragma once

#include <cstddef>
#include <cstdint>

struct ChainNode {
  uintptr_t owner_word;  // belongs to the owner
  ChainNode* next;       // next node of the bucket, null at the end
};

// Recognises the owner's key in a node: not 0 for a match.
using ChainPredicate = int (*)(const void* key, const ChainNode* node);

// Allocates n zeroed buckets through the retrying allocator and stores the
// array through `out`; 0 on success, 1 when memory runs out (out untouched).
int chain_table_create(ChainNode*** out, uint32_t n);
void chain_table_free(ChainNode** heads);

// The node becomes the first node of bucket i.
void chain_push(ChainNode* node, ChainNode** heads, uint32_t i);
// The first node of bucket i, from the front, that the predicate accepts.
ChainNode* chain_find(const void* key, ChainPredicate predicate, ChainNode* const* heads, uint32_t i);
// Finds like chain_find, unlinks the node and returns it; null when none.
ChainNode* chain_remove(ChainNode** heads, uint32_t i, ChainPredicate predicate, const void* key);

struct RingNode {
  RingNode* next;
  RingNode* prev;  // in a ring of one, both point at the node itself
};

// Inserts the node before the first one (so also after the last) and makes
// it the first; into an empty ring (head null) it goes as a ring of one.
void ring_push_front(RingNode** head, RingNode* node);
// Removes the node; the head moves to its successor when it was the first
// and becomes null when it was the only one. An empty ring is left alone.
void ring_unlink(RingNode** head, RingNode* node);
