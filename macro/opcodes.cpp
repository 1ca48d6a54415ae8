// The three handlers that stand for "no function here". Each raises
// -3014 "Illegal opcode" through the ordinary error path.
#include "macro/opcodes.h"

#include "macro/catch.h"

namespace {
constexpr int kIllegalOpcode = -3014;
}

void op_illegal() { vm_raise_error(kIllegalOpcode); }

void op_unbuilt() { vm_raise_error(kIllegalOpcode); }

// Built-ins that exist in the numbering but not on this platform stop the
// macro whatever the message flags say.
void op_unavailable() { vm_raise_fatal(kIllegalOpcode); }
