// The message boxes' answers to the text engine: the script's, or cancel.
#include "tests/support/headless/mark.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/ui_port.h"

bool ui_ask_spill_retry() {
  ++uitest::ui.spill_asked;
  return uitest::ui.spill_answer && uitest::ui.spill_answer();
}

bool ui_ask_save_changed_file(const char* name) {
  ++uitest::ui.changed_asked;
  return uitest::ui.changed_answer && uitest::ui.changed_answer(name);
}
