// The editor services' wait in programs without them: a sleep that the
// break key ends, and no input unless a test says some waits. A test may
// take the wait over to see what it was asked for.
#pragma once

#include <cstdint>

namespace proctest {

struct FakeProc {
  // When set, called instead of the sleep with the delay's arguments.
  void (*delay)(int32_t hundredths, bool stop_on_input) = nullptr;
  // When set, whether input waits; null: never.
  bool (*input_pending)() = nullptr;
};
inline FakeProc proc;

// The plain sleep, no input.
inline void install() { proc = FakeProc{}; }

}  // namespace proctest
