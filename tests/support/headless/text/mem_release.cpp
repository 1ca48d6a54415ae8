// The allocator's request for memory back without the text store: counted,
// and answered by the test's script (nothing to give without one).
#include "base/mem_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/mem_fakes.h"

bool mem_release(size_t n) {
  ++memtest::release.asked;
  return memtest::release.answer && memtest::release.answer(n);
}
