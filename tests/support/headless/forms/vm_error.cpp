// The editor option E without the editor options: off unless a test turns
// it on.
#include "macro/error_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/vm_error_fakes.h"

bool vm_error_positions_wanted() { return errtest::errors.positions; }
