// Memory given back to the allocator in programs without the text store:
// nothing, unless a test scripts an answer; every request is counted.
#pragma once

#include <cstddef>

namespace memtest {

struct FakeRelease {
  bool (*answer)(size_t n) = nullptr;  // true: something was released; null: nothing to give
  int asked = 0;                       // requests since install
};
inline FakeRelease release;

// Nothing to give back, nothing asked yet.
inline void install() { release = FakeRelease{}; }

}  // namespace memtest
