// The poll timer and the screen of the processes without an application.
#include "services/proc_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/proc_fakes.h"

bool proc_start_poll_timer() {
  if (proctest::host.refuse_timer) return false;
  proctest::host.timer_running = true;
  ++proctest::host.timer_starts;
  return true;
}
void proc_stop_poll_timer() { proctest::host.timer_running = false; }
void proc_refresh_screen(uint32_t redraw_bits) {
  ++proctest::host.refreshes;
  proctest::host.refreshed_bits |= redraw_bits;
}
