// Plugs the names table, the code cache and the modules into the
// interpreter: resolving a callable names index to its module image, the
// module of a callable, module names, whether a module's code is running
// (the cache never drops it then), and running module entry procedures.
#pragma once

// Installs the hooks; call after vm_reset. Safe to call more than once.
void names_attach_vm();
