// The macro runtime's error report in programs without the layers above:
// the codes it shows are recorded (boxed or not) for a test to read, an
// optional watcher sees each as it comes (a demo prints them), and the
// positions of errors that do not stop a macro are recorded only when a
// test turns the editor option on here.
#pragma once

#include <cstdint>
#include <vector>

namespace errtest {

struct Shown {
  int32_t code;
  bool boxed;
};

struct FakeErrors {
  std::vector<Shown> shown;                           // every code shown, oldest first
  void (*watch)(int32_t code, bool boxed) = nullptr;  // also told of each code shown
  bool positions = false;                             // the editor option E
};
inline FakeErrors errors;

// Nothing shown, nobody watching, positions not recorded.
inline void install() { errors = FakeErrors{}; }

}  // namespace errtest
