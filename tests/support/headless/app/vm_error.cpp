// The macro errors' box and message line without them: each code shown is
// recorded.
#include "macro/error_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/vm_error_fakes.h"

void vm_show_error(int32_t code, bool boxed) {
  errtest::errors.shown.push_back({code, boxed});
  if (errtest::errors.watch) errtest::errors.watch(code, boxed);
}
