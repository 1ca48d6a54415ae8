// The break key without a keyboard: a flag, or a key held down that a poll
// sees when its countdown runs out.
#include "tests/support/headless/mark.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/ui_port.h"

bool ui_break_pressed() {
  uitest::FakeUi& ui = uitest::ui;
  if (ui.break_flagged) return true;
  if (ui.break_source) return ui.break_source();
  if (--ui.countdown > 0) return false;
  ui.countdown = uitest::kPollInterval;
  return ui.key_down;
}
void ui_poll_break_soon() { uitest::ui.countdown = 1; }
void ui_clear_break() { uitest::ui.break_flagged = false; }
