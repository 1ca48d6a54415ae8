// Buffer-local variables without the macro runtime: there are none, so a
// buffer keeps no copies (a test may script adding one).
#include "tests/support/headless/buflocal_fakes.h"
#include "tests/support/headless/mark.h"
#include "text/buflocal_port.h"

void buflocal_init(BufferRec*) {}
void buflocal_save(BufferRec*) {}
void buflocal_load(BufferRec*) {}
void buflocal_free(BufferRec*) {}

int32_t buflocal_add(BufferRec* buf, int32_t names_index, const void* value, int32_t length) {
  const auto add = buflocaltest::locals.add;
  return add ? add(buf, names_index, value, length) : 0;
}
