// The frame's MDI client in programs without the application: no frame
// object unless a test names one; the arrangements asked for are recorded
// in order ("tile 5", "cascade", "arrange", "save 0").
#pragma once

#include <string>
#include <vector>

struct WindowObject;

namespace mdiarrangefake {

struct FakeArrange {
  WindowObject* frame = nullptr;
  std::vector<std::string> calls;
};
inline FakeArrange arrange;

// No frame object, nothing arranged.
inline void install() { arrange = FakeArrange{}; }

}  // namespace mdiarrangefake
