// The objects, designer and input of the small built-ins without forms: the
// fakes record's type check and twips, and the repaints, click count resets
// and dispatches counted (there is nothing to repaint, count or dispatch).
#include "macro/screen_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/screen_fakes.h"

bool object_has_type_bit() { return screentest::screen.typed; }

int32_t screen_twips_per_pixel(bool vertical) {
  return vertical ? screentest::screen.twips_y : screentest::screen.twips_x;
}

void forms_repaint_design() { ++screentest::screen.repaints; }

void input_reset_click_count() { ++screentest::screen.click_resets; }

void input_dispatch_waiting() { ++screentest::screen.dispatches; }
