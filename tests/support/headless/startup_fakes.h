// The macro start-up in programs without a screen: its boxes are recorded
// (and still written to standard error), the settings it hands over are
// kept, the screen start answers what a test sets (0 by default), and there
// is no frame, so "-firstinit" runs as the current window unless a test
// names a first child.
#pragma once

#include <string>
#include <vector>

#include "macro/state_settings.h"

struct WindowObject;

namespace startuptest {

struct FakeStartup {
  std::vector<std::string> boxes;  // every start-up failure shown
  int settings_calls = 0;          // times the settings were handed over
  SettingsBlock settings{};        // the last settings handed over
  int screen_starts = 0;
  int screen_answer = 0;  // what the screen start answers
  WindowObject* first_child = nullptr;
};
inline FakeStartup startup;

// Nothing shown or handed over, a screen start that succeeds, no frame.
inline void install() { startup = FakeStartup{}; }

}  // namespace startuptest
