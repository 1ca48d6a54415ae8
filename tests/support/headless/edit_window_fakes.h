// Editor windows in programs without forms: how often the buffers asked
// for a native window and closed a window, and a test's own answer to the
// making (a failure, say).
#pragma once

#include <cstdint>

struct WindowObject;

namespace editwintest {

struct FakeEditWindows {
  // When set, answers edit_window_create; null: made (0), nothing shown.
  int32_t (*make)(WindowObject* w, bool first_edit_window) = nullptr;
  int created = 0;  // native windows asked for
  int closed = 0;   // windows closed at their last view
};
inline FakeEditWindows windows;

// Nothing asked yet, every window made.
inline void install() { windows = FakeEditWindows{}; }

}  // namespace editwintest
