// The text engine's user interface in tests: the codes it reports are
// recorded for the test to read, the spill question is answered by a script
// (cancel without one) and counted, and the break key is a flag, or a key
// held down that a poll sees only when its countdown runs out (or at once
// after poll_break_soon), as the window system's poll does.
#pragma once

#include <cstdint>

#include "text/ui_seam.h"

namespace uitest {

// Polls between two looks at the keyboard.
inline constexpr int kPollInterval = 400;

struct FakeUi {
  int32_t last_error = 0;            // the last code reported
  int error_count = 0;               // codes reported since install or reset_errors
  bool (*spill_answer)() = nullptr;  // true: retry; null: cancel
  int spill_asked = 0;               // times the spill question was asked
  bool break_flagged = false;        // seen by the next poll, until cleared
  bool key_down = false;             // seen when a poll looks at the keyboard
  int countdown = kPollInterval;     // polls until the next look
};
inline FakeUi ui;

inline void show_error(int32_t code) {
  ui.last_error = code;
  ++ui.error_count;
}

inline bool break_pressed() {
  if (ui.break_flagged) return true;
  if (--ui.countdown > 0) return false;
  ui.countdown = kPollInterval;
  return ui.key_down;
}
inline void poll_break_soon() { ui.countdown = 1; }
inline void clear_break() { ui.break_flagged = false; }

inline bool ask_spill_retry() {
  ++ui.spill_asked;
  return ui.spill_answer && ui.spill_answer();
}

inline void reset_errors() {
  ui.last_error = 0;
  ui.error_count = 0;
}

// Installs the fake, with nothing reported or asked yet and no break.
inline void install() {
  ui = FakeUi{};
  text_ui_hooks() = TextUiHooks{show_error, break_pressed, poll_break_soon, clear_break, ask_spill_retry, nullptr};
}

}  // namespace uitest
