// DynArray's fatal stop and the queue node.
#include "base/dynarray.h"

#include <cstdio>
#include <cstdlib>

namespace {

void default_fatal(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  std::fflush(stderr);
  std::exit(-1);
}

DynArrayFatalHook fatal_hook = default_fatal;

}  // namespace

DynArrayFatalHook dynarray_set_fatal_hook(DynArrayFatalHook hook) {
  DynArrayFatalHook old = fatal_hook;
  fatal_hook = hook ? hook : default_fatal;
  return old;
}

void dynarray_out_of_memory() {
  fatal_hook("Virtual memory exceeded in `new'");
  std::abort();  // a hook must not return
}

XfQueueNode* list_node_init(XfQueueNode* node, void* value) {
  node->next = nullptr;
  node->prev = nullptr;
  node->value = value;
  return node;
}
