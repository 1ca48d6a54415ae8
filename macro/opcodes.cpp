// Registration of handlers into the dispatch arrays, and the handlers that
// stand for "no function here".
#include "macro/opcodes.h"

#include "macro/catch.h"

namespace {
constexpr int kIllegalOpcode = -3014;
}

void op_illegal() { vm_raise_error(kIllegalOpcode); }

// Built-ins that exist in the numbering but not on this platform stop the
// macro whatever the message flags say.
void op_unavailable() { vm_raise_fatal(kIllegalOpcode); }

BindResult opcodes_register(OpcodeDispatch& d, Layer layer, std::span<const OpcodeBinding> bindings) {
  OpcodeDispatch next = d;  // bound into a copy, kept only when all fit
  for (const OpcodeBinding& b : bindings) {
    if (b.handler == nullptr || b.handler == op_illegal) return {BindFault::NoHandler, b.op};
    const bool in_table = b.op.ext ? b.op.slot < kExtSlots : true;
    if (!in_table || layer == Layer::None || opcode_info(b.op.ext, b.op.slot).layer != layer)
      return {BindFault::OtherLayer, b.op};
    OpHandler& h = b.op.ext ? next.ext[b.op.slot] : next.main[b.op.slot];
    if (h != op_illegal) return {BindFault::Taken, b.op};
    h = b.handler;
  }
  d = next;
  return {};
}

void opcodes_clear(OpcodeDispatch& d) { d = OpcodeDispatch{}; }
