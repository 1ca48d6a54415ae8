// The control lookup of the push_control instruction without forms: no
// form is shown, so no control is found.
#include "macro/form_port.h"
#include "tests/support/headless/mark.h"

int32_t form_find_control_by_name(std::string_view, uint8_t, int32_t) { return 0; }
