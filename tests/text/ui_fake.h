// The text engine's user interface in tests: the codes it reports are
// recorded for the test to read, and the spill question is answered by a
// script (cancel without one) and counted.
#pragma once

#include <cstdint>

#include "text/ui_seam.h"

namespace uitest {

struct FakeUi {
  int32_t last_error = 0;  // the last code reported
  int error_count = 0;     // codes reported since install or reset_errors
  bool (*spill_answer)() = nullptr;  // true: retry; null: cancel
  int spill_asked = 0;               // times the spill question was asked
};
inline FakeUi ui;

inline void show_error(int32_t code) {
  ui.last_error = code;
  ++ui.error_count;
}

inline bool ask_spill_retry() {
  ++ui.spill_asked;
  return ui.spill_answer && ui.spill_answer();
}

inline void reset_errors() {
  ui.last_error = 0;
  ui.error_count = 0;
}

// Installs the fake, with nothing reported or asked yet.
inline void install() {
  ui = FakeUi{};
  text_ui_hooks() = TextUiHooks{show_error, ask_spill_retry};
}

}  // namespace uitest
