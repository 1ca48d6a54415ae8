// What the delay built-in may count on from the editor services, whoever
// answers: no input arrives where no display is open, a wait lasts its
// time, and the break key ends even an endless one.
#include <gtest/gtest.h>

#include <chrono>

#include "macro/proc_port.h"
#include "text/ui_port.h"

#ifdef ZVX_CONTRACT_real
#include "winsys/break_key.h"
#else
#include "tests/support/headless/text_ui_fakes.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

TEST(MacroProcPort, NoInputWithoutADisplay) { EXPECT_FALSE(proc_input_pending()); }

TEST(MacroProcPort, AWaitLastsItsTime) {
  ui_clear_break();
  const auto t0 = Clock::now();
  proc_delay(5, false);
  proc_delay(5, true);
  const auto waited = Clock::now() - t0;
  EXPECT_GE(waited, std::chrono::milliseconds(100));
  EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST(MacroProcPort, TheBreakKeyEndsAnEndlessWait) {
  // The user presses the break key (set-up: each side has its own key).
#ifdef ZVX_CONTRACT_real
  evt_flag_break();
#else
  uitest::ui.break_flagged = true;
#endif
  const auto t0 = Clock::now();
  proc_delay(-1, false);
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
  ui_clear_break();
}

}  // namespace
