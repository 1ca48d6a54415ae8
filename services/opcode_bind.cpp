// The services layer's built-ins: see opcode_bind.h.
#include "services/opcode_bind.h"

#include "services/help_view_host.h"
#include "services/print_help_bind.h"
#include "services/proc.h"
#include "services/spell_bi.h"

BindResult services_register_opcodes(OpcodeDispatch& d) {
  using Bind = BindResult (*)(OpcodeDispatch&);
  const OpcodeDispatch before = d;
  for (Bind bind :
       {spell_register_opcodes, proc_register_opcodes, print_help_register_opcodes, help_view_register_opcodes}) {
    if (const BindResult r = bind(d); !r) {
      d = before;
      return r;
    }
  }
  return {};
}
