// The exit path in programs without the layers above the macro runtime:
// nothing is held to release (the releases are counted), and leaving ends
// the process with std::exit unless a test asks to stay, when the code is
// recorded and the exit path returns.
#pragma once

#include <cstdint>

namespace exittest {

struct FakeExit {
  int releases = 0;   // times the layers above were asked to release
  bool stay = false;  // record the code instead of ending the process
  int32_t left = -1;  // the code of the last exit while staying, -1 none
};
inline FakeExit exits;

// Nothing released, no exit recorded; leaving ends the process.
inline void install() { exits = FakeExit{}; }

}  // namespace exittest
