// The built-ins of printing, external help and DDE requests.
#pragma once

#include "macro/opcodes.h"

// Binds them (services_register_opcodes calls it). All or nothing.
BindResult print_help_register_opcodes(OpcodeDispatch& d);
