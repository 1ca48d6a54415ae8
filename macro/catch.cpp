#include "macro/catch.h"

namespace {
int g_last_raised = 0;
}

void vm_raise_error(int code) { g_last_raised = code; }
void vm_raise_fatal(int code) { g_last_raised = code; }
