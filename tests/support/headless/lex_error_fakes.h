// The frame in programs without it: the lexer-file error reports posted to
// it are kept here, with the names index of the procedure they are for.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lexerrorfake {

struct FakeFrame {
  std::vector<std::pair<uint32_t, std::string>> posts;
};
inline FakeFrame frame;

// Nothing posted yet.
inline void install() { frame = FakeFrame{}; }

}  // namespace lexerrorfake
