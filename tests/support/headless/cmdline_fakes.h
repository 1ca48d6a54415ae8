// The command line's field in programs without the forms: its text is kept
// here, and no field window is ever made (the requests are counted).
#pragma once

#include <string>

namespace cmdlinefake {

struct FakeCmdline {
  std::string text;
  int creates = 0;  // field windows asked for
};
inline FakeCmdline cmdline;

// An empty command line.
inline void install() { cmdline = FakeCmdline{}; }

}  // namespace cmdlinefake
