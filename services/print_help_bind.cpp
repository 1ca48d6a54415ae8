// The bindings of printing, external help and DDE requests.
#include "services/print_help_bind.h"

#include "services/dde.h"
#include "services/help_ext.h"
#include "services/print_bi.h"
#include "services/print_page.h"

namespace {

// clang-format off
constexpr OpcodeBinding kPrintHelpOpcodes[] = {
    // print_bi.cpp: printing into a buffer.
    {opcode_slot("print_text"), bi_print_text},
    // print_page.cpp: page printing.
    {opcode_slot("print"), bi_print},
    {opcode_slot("printer_setup"), bi_printer_setup},
    {opcode_slot("set_flag_ext184"), bi_set_flag_ext184},
    // help_ext.cpp and dde.cpp: external help and DDE requests.
    {opcode_slot("help"), bi_help},
    {opcode_slot("dde_execute"), bi_dde_execute},
    {opcode_slot("dde_request"), bi_dde_request},
};
// clang-format on

}  // namespace

BindResult print_help_register_opcodes(OpcodeDispatch& d) {
  return opcodes_register(d, Layer::Services, kPrintHelpOpcodes);
}
