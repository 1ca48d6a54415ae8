// The owners of the default fonts in programs without them: the ids set are
// recorded, and a query is answered only for an id a test gave an answer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fontfake {

struct Answer {
  std::string face;
  int32_t tenths = 0;
  uint32_t flags = 0;
};

struct FakeFonts {
  std::vector<int32_t> changed;       // internal ids, in order
  std::map<int32_t, Answer> answers;  // what an owner tells on a query
};
inline FakeFonts fonts;

// Nothing changed, nobody to ask.
inline void install() { fonts = FakeFonts{}; }

}  // namespace fontfake
