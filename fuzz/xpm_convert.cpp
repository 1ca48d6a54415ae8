// Fuzz target: XPM text. Bitmap files that convert must give text that
// libXpm reads back at the same size with a colour for every pixel; any
// other input goes through the check that stands before libXpm, and what
// passes it is parsed by libXpm (no display needed).
#include <X11/xpm.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "winsys/bitmap_file.h"

namespace {

bool parse(std::string text, unsigned* w, unsigned* h) {
  XpmImage image{};
  if (XpmCreateXpmImageFromBuffer(text.data(), &image, nullptr) != XpmSuccess) return false;
  *w = image.width;
  *h = image.height;
  bool ok = true;
  for (unsigned i = 0; i < image.width * image.height; ++i) ok = ok && image.data[i] < image.ncolors;
  XpmFreeXpmImage(&image);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 18)) return 0;
  std::vector<char> out;
  size_t length = 0;
  if (xfBitmapToXpm(&out, &length, data, size, kImageBmp40, "fuzz") == 0) {
    unsigned w = 0, h = 0;
    if (!parse(std::string(out.data(), length), &w, &h)) std::abort();
    int32_t bw =
        static_cast<int32_t>(data[18] | data[19] << 8 | data[20] << 16 | static_cast<uint32_t>(data[21]) << 24);
    if (w != static_cast<unsigned>(bw) || h == 0) std::abort();
    return 0;
  }
  std::string text(reinterpret_cast<const char*>(data), size);
  if (xf_xpm_check(text.data(), text.size()) == 0) {
    unsigned w = 0, h = 0;
    parse(text, &w, &h);  // libXpm may refuse it; it must not crash
  }
  return 0;
}
