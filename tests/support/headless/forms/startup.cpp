// The objects' answer to the macro start-up: the first child the test named,
// else none.
#include "macro/startup_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/startup_fakes.h"

WindowObject* startup_first_child() { return startuptest::startup.first_child; }
