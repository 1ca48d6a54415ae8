// The delay built-in's wait (macro/proc_port.h): the processes beside the
// editor are polled while it lasts, the break key ends it, and with "K" so
// does a key or mouse button the user presses.
#include <chrono>

#include "base/os.h"
#include "macro/proc_port.h"
#include "services/proc.h"
#include "text/ui_port.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/xfsys.h"

namespace {

constexpr int kDelaySliceMs = 10;  // how often the wait looks at the keyboard and the queue
constexpr int kProcPollMs = 100;   // how often it polls the processes, as the frame's timer does

// A key, or a mouse button going down (a click or a double click): what a
// user does to interrupt. Button releases and pointer motion are not.
bool is_input(uint32_t number) {
  return number == ZWM_CHAR || (number >= ZWM_LBUTTONDOWN && number <= ZWM_MBUTTONDOWN) ||
         (number >= ZWM_LBUTTONDBLCLK && number <= ZWM_MBUTTONDBLCLK);
}

}  // namespace

bool proc_input_pending() {
  if (!xf().events.pending) return false;  // no display: nothing can arrive
  // What lies before the input in the queue (paints, focus changes, pointer
  // motion) is handled as the main loop would, so a key behind it is seen;
  // the input itself stays for its reader.
  for (;;) {
    XfMessage m{};
    if (!WinPeekMsg(&m, nullptr, 0, 0, 0)) return false;
    if (is_input(m.number)) return true;
    if (!WinPeekMsg(&m, nullptr, m.number, m.number, 1)) return false;
    WinDispatchMsg(&m);
  }
}

void proc_delay(int32_t hundredths, bool stop_on_input) {
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  const auto end = start + std::chrono::milliseconds(static_cast<int64_t>(hundredths) * 10);
  auto next_poll = start + std::chrono::milliseconds(kProcPollMs);
  for (;;) {
    ui_poll_break_soon();
    if (ui_break_pressed()) return;
    if (stop_on_input && proc_input_pending()) return;
    const auto now = clock::now();
    if (hundredths >= 0 && now >= end) return;
    if (now >= next_poll && proc_count() > 0) {
      proc_poll();
      next_poll = now + std::chrono::milliseconds(kProcPollMs);
    }
    os_sleep_ms(kDelaySliceMs);
  }
}
