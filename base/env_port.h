// What the foundation's environment lookups need of the macro runtime.
//
// Once a macro changes a variable the runtime keeps the environment as a
// copy of its own, and every lookup (PATH for programs, SHELL, the editor's
// own variables) must read that copy. The runtime lies above, so the lookup
// is declared here and the program defines it once. A program without the
// runtime reads the process environment.
#pragma once

// The value of a variable (the text after '='), or null when it is not set.
const char* env_lookup(const char* name);
