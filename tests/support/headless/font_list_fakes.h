// The font list in programs without a window system: no font unless a test
// lists some. Faces are listed when no face is named, sizes for any face;
// a face's kind flags are what the test set (8 fixed pitch, 256 scalable).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fonttest {

struct FakeFonts {
  std::vector<std::string> faces;  // lines listed without a face (each begins with a blank)
  std::vector<std::string> sizes;  // lines listed for a face
  std::map<std::string, int32_t> kinds;
  uint32_t flags = 0;  // what the last enumeration was asked
  std::string face;
};
inline FakeFonts fonts;

// No font known.
inline void install() { fonts = FakeFonts{}; }

}  // namespace fonttest
