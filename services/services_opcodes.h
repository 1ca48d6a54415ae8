// The services layer's built-ins, bound to their opcode slots.
#pragma once

#include "macro/opcodes.h"

// Binds every built-in the services library builds (app/main.cpp, after the
// layers below).
BindResult services_register_opcodes(OpcodeDispatch& d);
