// The control lookup of the push_control instruction without forms: no
// form is shown, so no control is found (unless a test scripts one).
#include "macro/form_port.h"
#include "tests/support/headless/form_fakes.h"
#include "tests/support/headless/mark.h"

int32_t form_find_control_by_name(std::string_view name, uint8_t bucket, int32_t excluded) {
  const auto find = formtest::forms.find_control;
  return find ? find(name, bucket, excluded) : 0;
}
