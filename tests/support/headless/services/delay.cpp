// The delay built-in's wait without the editor services: a sleep that the
// break key (and, when asked, input a test reports) ends early; no
// processes run beside such a program, so none are polled.
#include <chrono>

#include "base/os.h"
#include "macro/proc_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/proc_fakes.h"
#include "text/ui_port.h"

bool proc_input_pending() { return proctest::proc.input_pending && proctest::proc.input_pending(); }

void proc_delay(int32_t hundredths, bool stop_on_input) {
  if (proctest::proc.delay) return proctest::proc.delay(hundredths, stop_on_input);
  using clock = std::chrono::steady_clock;
  const auto end = clock::now() + std::chrono::milliseconds(static_cast<int64_t>(hundredths) * 10);
  for (;;) {
    ui_poll_break_soon();
    if (ui_break_pressed()) return;
    if (stop_on_input && proc_input_pending()) return;
    if (hundredths >= 0 && clock::now() >= end) return;
    os_sleep_ms(10);
  }
}
