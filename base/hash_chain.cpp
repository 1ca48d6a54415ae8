// Hash chains and rings.
#include "base/hash_chain.h"

#include <cstring>

#include "base/mem.h"

int chain_table_create(ChainNode*** out, uint32_t n) {
  size_t bytes = sizeof(ChainNode*) * (n ? n : 1);
  auto* heads = static_cast<ChainNode**>(mem_retry_alloc(bytes));
  if (!heads) return 1;
  for (size_t k = 0; k < (n ? n : 1); ++k) heads[k] = nullptr;
  *out = heads;
  return 0;
}

void chain_table_free(ChainNode** heads) { mem_free(heads); }

void chain_push(ChainNode* node, ChainNode** heads, uint32_t i) {
  node->next = heads[i];
  heads[i] = node;
}

ChainNode* chain_find(const void* key, ChainPredicate predicate, ChainNode* const* heads, uint32_t i) {
  for (ChainNode* n = heads[i]; n; n = n->next) {
    if (predicate(key, n)) return n;
  }
  return nullptr;
}

ChainNode* chain_remove(ChainNode** heads, uint32_t i, ChainPredicate predicate, const void* key) {
  for (ChainNode** link = &heads[i]; *link; link = &(*link)->next) {
    ChainNode* n = *link;
    if (predicate(key, n)) {
      *link = n->next;
      n->next = nullptr;
      return n;
    }
  }
  return nullptr;
}

void ring_push_front(RingNode** head, RingNode* node) {
  RingNode* first = *head;
  if (!first) {  // empty ring?
    node->next = node->prev = node;
  } else {
    node->next = first;
    node->prev = first->prev;
    first->prev->next = node;
    first->prev = node;
  }
  *head = node;
}

void ring_unlink(RingNode** head, RingNode* node) {
  if (!*head) return;
  if (node->next == node) {  // the only node?
    if (*head == node) *head = nullptr;
  } else {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    if (*head == node) *head = node->next;
  }
  node->next = node->prev = nullptr;
}
