// The poll timer and the screen of the processes without an application.
#include "services/proc_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/proc_host_fakes.h"

bool proc_start_poll_timer() {
  if (prochosttest::host.refuse_timer) return false;
  prochosttest::host.timer_running = true;
  ++prochosttest::host.timer_starts;
  return true;
}
void proc_stop_poll_timer() { prochosttest::host.timer_running = false; }
void proc_refresh_screen(uint32_t redraw_bits) {
  ++prochosttest::host.refreshes;
  prochosttest::host.refreshed_bits |= redraw_bits;
}
