// The environment without the macro runtime's copy: the process's own, or
// the test's lookup.
#include <cstdlib>

#include "base/env_port.h"
#include "tests/support/headless/env_fakes.h"
#include "tests/support/headless/mark.h"

const char* env_lookup(const char* name) { return envtest::env.lookup ? envtest::env.lookup(name) : std::getenv(name); }
