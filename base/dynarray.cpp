// DynArray's fatal stop and the queue node.
#include "base/dynarray.h"

#include <cstdio>
#include <cstdlib>

void dynarray_out_of_memory() {
  std::fprintf(stderr, "%s\n", "Virtual memory exceeded in `new'");
  std::fflush(stderr);
  std::exit(-1);
}

XfQueueNode* list_node_init(XfQueueNode* node, void* value) {
  node->next = nullptr;
  node->prev = nullptr;
  node->value = value;
  return node;
}
