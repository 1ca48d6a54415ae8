// The editor options' effects in programs without editor windows: the
// letters of the options set are recorded for a test to read.
#pragma once

#include <string>

namespace opttest {

struct FakeOptions {
  std::string changed;  // the letters set, oldest first
};
inline FakeOptions options;

// Nothing recorded.
inline void install() { options = FakeOptions{}; }

}  // namespace opttest
