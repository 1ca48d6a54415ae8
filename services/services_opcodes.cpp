// The services layer's bindings: each built-in it builds, at its slot.
#include "services/services_opcodes.h"

#include "services/print_bi.h"

namespace {

// clang-format off
constexpr OpcodeBinding kServicesOpcodes[] = {
    // print_bi.cpp: printing into a buffer.
    {opcode_slot("print_text"), bi_print_text},
};
// clang-format on

}  // namespace

BindResult services_register_opcodes(OpcodeDispatch& d) {
  return opcodes_register(d, Layer::Services, kServicesOpcodes);
}
