// The window system's application in programs without one: the other-key
// flag a closing frame sets is kept here for a test to read.
#pragma once

namespace appfake {

struct FakeApp {
  bool other_key_flag = false;  // the last value set
  int other_key_sets = 0;       // times it was set
};
inline FakeApp app;

// Nothing set yet.
inline void install() { app = FakeApp{}; }

}  // namespace appfake
