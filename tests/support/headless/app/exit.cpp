// The program's answers to the exit path: nothing to release, and the
// process ends with std::exit (or the code is recorded for a test).
#include <cstdlib>

#include "macro/exit_port.h"
#include "tests/support/headless/exit_fakes.h"
#include "tests/support/headless/mark.h"

void exit_release() { ++exittest::exits.releases; }
void exit_leave(int32_t code) {
  if (!exittest::exits.stay) std::exit(code);
  exittest::exits.left = code;
}
