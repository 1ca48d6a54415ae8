// The text engine's user interface in programs without one: the codes it
// reports are recorded for a test to read, the questions are answered by a
// script (cancel without one) and counted, and the break key is a flag, or
// a key held down that a poll sees only when its countdown runs out (or at
// once after ui_poll_break_soon), as the window system's poll does.
#pragma once

#include <cstdint>

namespace uitest {

// Polls between two looks at the keyboard.
inline constexpr int kPollInterval = 400;

struct FakeUi {
  int32_t last_error = 0;                              // the last code reported
  int error_count = 0;                                 // codes reported since install or reset_errors
  bool (*spill_answer)() = nullptr;                    // true: retry; null: cancel
  int spill_asked = 0;                                 // times the spill question was asked
  bool (*changed_answer)(const char* name) = nullptr;  // true: save anyway; null: no
  int changed_asked = 0;                               // times the changed-file question was asked
  bool break_flagged = false;                          // seen by the next poll, until cleared
  bool key_down = false;                               // seen when a poll looks at the keyboard
  int countdown = kPollInterval;                       // polls until the next look
  bool (*break_source)() = nullptr;                    // when set, the keyboard's answer at every poll
};
inline FakeUi ui;

inline void reset_errors() {
  ui.last_error = 0;
  ui.error_count = 0;
}

// Nothing reported or asked yet, no break, no scripted answers.
inline void install() { ui = FakeUi{}; }

}  // namespace uitest
