// Fuzz target: stored picture resources (a 4-byte head, then XPM text or a
// bitmap file). The head is checked against the data; a resource that
// converts gives XPM text that passes the check before libXpm and that
// libXpm reads (no display needed), for a bitmap at the width its header
// gives; anything else is refused with a code and nothing handed back.
#include <X11/xpm.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "forms/picture.h"
#include "winsys/bitmap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 18)) return 0;
  PictureResource r;
  if (ctl_picture_parse(std::span<const uint8_t>(data, size), &r) != 0) {
    if (size >= kPictureHeadSize && data[2] == 0 && data[3] == 0) std::abort();  // a good head was refused
    return 0;
  }
  if (r.image.data() != data + kPictureHeadSize || r.image.size() != size - kPictureHeadSize) std::abort();
  std::string xpm = "left over";
  const int32_t rc = ctl_picture_to_xpm(r, &xpm);
  if (rc != 0) {
    if (rc > 0 || !xpm.empty()) std::abort();
    return 0;
  }
  if (r.kind != kPictureKindXpm && r.kind != kPictureKindBitmap) std::abort();
  if (xf_xpm_check(xpm.data(), xpm.size()) != 0) std::abort();
  XpmImage image{};
  std::string text = xpm;
  const int parsed = XpmCreateXpmImageFromBuffer(text.data(), &image, nullptr);
  if (parsed == XpmSuccess) {
    for (unsigned i = 0; i < image.width * image.height; ++i)
      if (image.data[i] >= image.ncolors) std::abort();
    if (r.kind == kPictureKindBitmap && r.image.size() >= 22) {
      const uint8_t* w = r.image.data() + 18;
      const uint32_t width = w[0] | w[1] << 8 | w[2] << 16 | static_cast<uint32_t>(w[3]) << 24;
      if (image.width != width) std::abort();
    }
    XpmFreeXpmImage(&image);
  } else if (r.kind == kPictureKindBitmap) {
    std::abort();  // our own conversion must read back
  }
  return 0;
}
