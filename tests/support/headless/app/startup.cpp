// The screen's answers to the macro start-up: a box is one line on standard
// error (and recorded), the settings are kept, the screen start answers
// what the test set.
#include <cstdio>

#include "macro/startup_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/startup_fakes.h"

void startup_message_box(std::string_view text) {
  startuptest::startup.boxes.emplace_back(text);
  std::fprintf(stderr, "zorvex: %.*s\n", static_cast<int>(text.size()), text.data());
}
void startup_apply_settings(const SettingsBlock& settings) {
  startuptest::startup.settings = settings;
  ++startuptest::startup.settings_calls;
}
int startup_screen_start() {
  ++startuptest::startup.screen_starts;
  return startuptest::startup.screen_answer;
}
