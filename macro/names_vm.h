// Plugs the names table, the code cache and the modules into the
// interpreter: resolving a callable names index to its module image, the
// module of a callable, module names, whether a module's code is running
// (the cache never drops it then), and running module entry procedures.
#pragma once

// Installs the hooks (and the state file's variable records, below); call
// after vm_reset. Safe to call more than once.
void names_attach_vm();

// The state file saves and restores the global variables of the variable
// heap as its records 2 and 6 (state_vars.cpp).
void state_attach_var_heap();
