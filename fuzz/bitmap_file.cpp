// Fuzz target: the bitmap-file classifier and converter over arbitrary
// bytes, every kind asked for. The data lies in a block of exactly its
// length, so a read past the end shows under the address sanitizer; any
// text produced must be terminated and as long as it says.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "winsys/bitmap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::unique_ptr<unsigned char[]> bytes(new unsigned char[size > 0 ? size : 1]);
  std::memcpy(bytes.get(), data, size);
  int kind = 0;
  int r = xfImageFileKind(&kind, bytes.get(), size);
  if (r != 0 && r != kErrInvalidBitmap && r != kErrUnsupportedGraphics) std::abort();
  if (r == 0 && (kind < 2 || kind > 5)) std::abort();
  for (int asked : {kImageBmpInfo, kImageBmp40, kImageXpmText, kImageBmp12, kImageBmp64}) {
    std::vector<char> out;
    size_t length = 0;
    int c = xfBitmapToXpm(&out, &length, bytes.get(), size, asked, "fuzz", 3);
    if (c == 0) {
      // Converted only what classifies as an uncompressed 40- or 64-byte file.
      if (r != 0 || (kind != kImageBmp40 && kind != kImageBmp64)) std::abort();
      if (out.size() != 3 + length + 1 || out.back() != 0) std::abort();
      if (std::memchr(out.data() + 3, 0, length)) std::abort();
      if (xf_xpm_check(out.data() + 3, length) != 0) std::abort();
    } else if (c != kErrInvalidBitmap && c != kErrUnsupportedGraphics && c != kErrNoMemory) {
      std::abort();
    } else if (length != 0) {
      std::abort();
    }
  }
  return 0;
}
