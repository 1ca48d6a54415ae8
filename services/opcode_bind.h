// The services layer's built-ins, bound after the macro layer's.
#pragma once

#include "macro/opcodes.h"

// Binds every built-in the services layer has built: the spell checker's,
// the processes', printing, external help and DDE requests. All or
// nothing, like each part's own binding. The tag parser's library
// "cparse.dll" is registered with the extension libraries too.
BindResult services_register_opcodes(OpcodeDispatch& d);
