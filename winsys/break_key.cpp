#include "winsys/break_key.h"

#include <algorithm>

namespace {

bool break_flagged = false;
int poll_countdown = kBreakPollInterval;
BreakProbe key_probe = nullptr;

}  // namespace

bool evt_break_pressed() {
  if (break_flagged) return true;
  if (--poll_countdown > 0) return false;
  poll_countdown = kBreakPollInterval;
  return key_probe != nullptr && key_probe();
}

int evt_set_break_poll_count(int n) {
  poll_countdown = std::max(1, std::min(poll_countdown, n));
  return n;
}

void evt_flag_break() { break_flagged = true; }

void evt_clear_break() { break_flagged = false; }

BreakProbe evt_set_break_probe(BreakProbe probe) {
  BreakProbe old = key_probe;
  key_probe = probe;
  poll_countdown = kBreakPollInterval;
  return old;
}
