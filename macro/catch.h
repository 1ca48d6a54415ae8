// Errors of the macro runtime and the error-catch contexts.
#pragma once

// Report a run-time error; a code whose message stops macros unwinds to the
// innermost error-catch context.
void vm_raise_error(int code);
// Report an error that always stops the running macro.
void vm_raise_fatal(int code);
