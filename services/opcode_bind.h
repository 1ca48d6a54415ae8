// The services layer's built-ins, bound after the macro layer's.
#pragma once

#include "macro/opcodes.h"

// Binds every built-in the services layer has built: the spell checker's,
// the processes', printing, external help and DDE requests. All or
// nothing, like each part's own binding. (The tag parser is the library
// "cparse.dll", found by the extension libraries without a binding.)
BindResult services_register_opcodes(OpcodeDispatch& d);
