// The application's side of the processes in programs without one: the
// poll timer starts (unless a test refuses it) and is counted, and the
// screen's refreshes are counted.
#pragma once

#include <cstdint>

namespace prochosttest {

struct FakeProcHost {
  bool refuse_timer = false;  // the timer cannot start
  bool timer_running = false;
  int timer_starts = 0;
  int refreshes = 0;
  uint32_t refreshed_bits = 0;  // every bit a refresh was asked with
};
inline FakeProcHost host;

// No timer, nothing refreshed, nothing refused.
inline void install() { host = FakeProcHost{}; }

}  // namespace prochosttest
