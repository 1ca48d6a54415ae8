#include "winsys/bitmap_file.h"

#include <X11/Xutil.h>
#include <X11/xpm.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/fd.h"
#include "base/os.h"
#include "base/regular_file.h"
#include "winsys/gfx.h"
#include "winsys/images.h"
#include "winsys/xfsys.h"

namespace {

// ----- little-endian fields, each read only inside the buffer -----

uint32_t u16(const unsigned char* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t u32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
int32_t i32(const unsigned char* p) { return static_cast<int32_t>(u32(p)); }

constexpr size_t kFileHeader = 14;

struct BmpInfo {
  uint32_t header_size;
  int64_t width, height;
  uint32_t planes, bpp, compression, image_size, colours_used;
  uint32_t offset;
  int64_t table_entries;  // full table
  int64_t row_bytes;      // stored row length, uncompressed
  int64_t data_size;      // expected pixel bytes
};

// The header fields and the sizes they imply; 0, -2550 or -2551.
int read_info(const unsigned char* d, size_t size, BmpInfo* b) {
  if (size < 54) return kErrInvalidBitmap;
  *b = BmpInfo{};
  b->offset = u32(d + 10);
  b->header_size = u32(d + 14);
  if (b->header_size == 12) return 0;
  if (b->header_size != 40 && b->header_size != 64) return kErrUnsupportedGraphics;
  if (kFileHeader + b->header_size > size) return kErrInvalidBitmap;
  b->width = i32(d + 18);
  b->height = i32(d + 22);
  b->planes = u16(d + 26);
  b->bpp = u16(d + 28);
  b->compression = u32(d + 30);
  b->image_size = u32(d + 34);
  b->colours_used = u32(d + 46);
  if (b->planes != 1) return kErrUnsupportedGraphics;
  // Top-down (negative) heights, empty and absurd pictures: refused before
  // any size is computed from them.
  if (b->width <= 0 || b->height <= 0) return kErrInvalidBitmap;
  if (b->width > kMaxPictureSide || b->height > kMaxPictureSide || b->width * b->height > kMaxPicturePixels)
    return kErrUnsupportedGraphics;
  int64_t w = b->width, words = 0;
  switch (b->compression) {
    case 0:
      switch (b->bpp) {
        case 1:
          b->table_entries = 2, words = (w - 1) / 32 + 1;
          break;
        case 4:
          b->table_entries = 16, words = (w - 1) / 8 + 1;
          break;
        case 8:
          b->table_entries = 256, words = (w - 1) / 4 + 1;
          break;
        case 24:
          b->table_entries = 0, words = (3 * w - 1) / 4 + 1;
          break;
        default:
          return kErrUnsupportedGraphics;
      }
      b->row_bytes = 4 * words;
      b->data_size = b->height * b->row_bytes;
      break;
    case 1:
    case 2:
      if (b->image_size == 0) return kErrInvalidBitmap;
      if (b->bpp == 4) {
        b->table_entries = 16;
      } else if (b->bpp == 8) {
        b->table_entries = 256;
      } else {
        return kErrUnsupportedGraphics;
      }
      b->data_size = b->image_size;
      break;
    case 3:
      if (b->bpp == 16) {
        words = (2 * w - 1) / 4 + 1;
      } else if (b->bpp == 32) {
        words = (4 * w - 1) / 4 + 1;
      } else {
        return kErrUnsupportedGraphics;
      }
      b->table_entries = 3;  // three 4-byte masks
      b->row_bytes = 4 * words;
      b->data_size = b->height * b->row_bytes;
      break;
    default:
      return kErrUnsupportedGraphics;
  }
  int64_t head = static_cast<int64_t>(b->header_size) + 4 * b->table_entries;
  if (head != static_cast<int64_t>(b->offset) - static_cast<int64_t>(kFileHeader)) return kErrInvalidBitmap;
  if (static_cast<int64_t>(size) - static_cast<int64_t>(b->offset) != b->data_size) return kErrInvalidBitmap;
  return 0;
}

const char kXpmMagic[] = "/* XPM */";

// The 2^24-bit set of 24-bit colours seen.
struct ColourSet {
  std::unique_ptr<uint64_t[]> bits;
  bool make() {
    bits.reset(new (std::nothrow) uint64_t[(1u << 24) / 64]());
    return bits != nullptr;
  }
  bool add(uint32_t c) {  // true when new
    uint64_t& w = bits[c >> 6];
    uint64_t m = uint64_t{1} << (c & 63);
    if (w & m) return false;
    w |= m;
    return true;
  }
};

char hex_digit(uint32_t v) { return "0123456789abcdef"[v & 15]; }

void append_colour_line(std::string* out, const std::string& code, uint32_t rgb) {
  *out += '"';
  *out += code;
  *out += " c #";
  for (int shift = 20; shift >= 0; shift -= 4) *out += hex_digit(rgb >> shift);
  *out += "\",\n";
}

}  // namespace

int xfReadImageFile(const char* path, std::vector<char>* out, size_t* size, size_t head_room) {
  *size = 0;
  RegularFile file = regular_file_open(path, kMaxPictureFileBytes);
  if (file.refused == RegularFileRefusal::TooLarge) return kErrInvalidBitmap;  // no picture shown is that large
  if (file.error) return file.error;
  std::vector<char> buf;
  try {
    buf.assign(head_room + static_cast<size_t>(file.size) + 1, 0);  // a NUL after: XPM text reaches libXpm terminated
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
  const int64_t got = fd_pread_all(file.fd.get(), buf.data() + head_room, static_cast<size_t>(file.size), 0);
  if (got < 0) return os_errno_code(errno, -31);
  buf.resize(head_room + static_cast<size_t>(got) + 1);
  *size = static_cast<size_t>(got);
  *out = std::move(buf);
  return 0;
}

int xfImageFileKind(int* kind, const unsigned char* data, size_t size) {
  *kind = 0;
  if (size > 8 && std::memcmp(data, kXpmMagic, sizeof kXpmMagic - 1) == 0) {
    *kind = kImageXpmText;
    return 0;
  }
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return kErrInvalidBitmap;
  BmpInfo b{};
  int r = read_info(data, size, &b);
  if (r) return r;
  *kind = b.header_size == 12 ? kImageBmp12 : (b.header_size == 40 ? kImageBmp40 : kImageBmp64);
  return 0;
}

std::string xf_xpm_name(const char* name) {
  std::string out = name && *name ? name : "_";
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$'; };
  for (size_t i = 0; i < out.size(); ++i) {
    bool ok = letter(out[i]) || (i > 0 && out[i] >= '0' && out[i] <= '9');
    if (!ok) out[i] = '_';
  }
  return out;
}

std::string xpm_code(uint32_t value, int width) {
  std::string s(static_cast<size_t>(width), '#');
  for (int i = width - 1; i >= 0 && value; --i) {
    s[static_cast<size_t>(i)] = static_cast<char>('#' + value % 57);
    value /= 57;
  }
  return s;
}

int xfBitmapToXpm(std::vector<char>* out, size_t* length, const unsigned char* data, size_t size, int kind,
                  const char* name, size_t head_room) {
  *length = 0;
  if (kind != kImageBmpInfo && kind != kImageBmp40 && kind != kImageBmp64) return kErrUnsupportedGraphics;
  // Whatever the caller says the data is, it is checked as a file here.
  int real = 0;
  int r = xfImageFileKind(&real, data, size);
  if (r) return r;
  if (real != kImageBmp40 && real != kImageBmp64)
    return real == kImageXpmText ? kErrInvalidBitmap : kErrUnsupportedGraphics;
  BmpInfo b{};
  read_info(data, size, &b);
  if (b.compression != 0) return kErrUnsupportedGraphics;
  const int64_t w = b.width, h = b.height;
  const unsigned char* table = data + kFileHeader + b.header_size;
  const unsigned char* pixels = data + b.offset;
  auto palette = [&](uint32_t i) {
    const unsigned char* e = table + 4 * i;
    return static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0];
  };
  // The pixel at (x, y), y from the top: a palette index, or the colour.
  auto at = [&](int64_t x, int64_t y) -> uint32_t {
    const unsigned char* row = pixels + (h - 1 - y) * b.row_bytes;
    switch (b.bpp) {
      case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
      case 4:
        return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      case 8:
        return row[x];
      default: {
        const unsigned char* p = row + 3 * x;
        return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
      }
    }
  };
  try {
    // The colour count as estimated, never above what the bits can name.
    int64_t estimate = int64_t{1} << b.bpp;
    uint32_t largest = 0;
    ColourSet seen;
    if (b.bpp == 24) {
      if (!seen.make()) return kErrNoMemory;
      estimate = 0;
      for (int64_t y = 0; y < h; ++y)
        for (int64_t x = 0; x < w; ++x) estimate += seen.add(at(x, y));
      seen.bits.reset();
    } else {
      if (b.header_size > 35 && b.colours_used) estimate = std::min<int64_t>(b.colours_used, estimate);
      for (int64_t y = 0; y < h; ++y)
        for (int64_t x = 0; x < w; ++x) largest = std::max(largest, at(x, y));
    }
    // Characters per pixel from what the codes must name: the estimate
    // and every index that actually occurs.
    int cpp = 5;
    if (b.bpp != 24) cpp = std::max<int64_t>(estimate, largest + 1) <= 55 || b.bpp < 8 ? 1 : 2;
    std::string colours, rows;
    int64_t listed = 0;
    if (b.bpp == 1) {
      int64_t n = std::max<int64_t>(estimate, largest + 1);
      for (uint32_t i = 0; i < n; ++i) append_colour_line(&colours, xpm_code(i, cpp), palette(i));
      listed = n;
    }
    if (b.bpp == 24 && !seen.make()) return kErrNoMemory;
    bool listed_index[256] = {};
    rows.reserve(static_cast<size_t>(h * (w * cpp + 4)));
    for (int64_t y = 0; y < h; ++y) {
      rows += '"';
      for (int64_t x = 0; x < w; ++x) {
        uint32_t v = at(x, y);
        std::string code = xpm_code(v, cpp);
        if (b.bpp == 24) {
          if (seen.add(v)) {
            append_colour_line(&colours, code, v);
            ++listed;
          }
        } else if (b.bpp != 1 && !listed_index[v]) {
          listed_index[v] = true;
          append_colour_line(&colours, code, palette(v));
          ++listed;
        }
        rows += code;
      }
      rows += y + 1 < h ? "\",\n" : "\"};\n";
    }
    char first[96], values[96];
    std::snprintf(first, sizeof first, "\"%lld %lld %lld %d\",", static_cast<long long>(w), static_cast<long long>(h),
                  static_cast<long long>(std::max(estimate, listed)), cpp);
    int n = std::snprintf(values, sizeof values, "\"%lld %lld %lld %d\",", static_cast<long long>(w),
                          static_cast<long long>(h), static_cast<long long>(listed), cpp);
    std::string values_line = values;
    // Blanks keep the line as long as the first version (the text after
    // it does not move).
    if (static_cast<size_t>(n) < std::strlen(first))
      values_line.append(std::strlen(first) - static_cast<size_t>(n), ' ');
    std::string text = "/* XPM */\nstatic char *" + xf_xpm_name(name) + "[]={\n" + values_line + "\n";
    text += colours;
    text += rows;
    out->assign(head_room, 0);
    out->insert(out->end(), text.begin(), text.end());
    out->push_back(0);
    *length = text.size();
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
  return 0;
}

int xf_xpm_check(const char* text, size_t length) {
  if (std::memchr(text, 0, length)) return kErrInvalidBitmap;  // an embedded NUL
  const char* end = text + length;
  const char* brace = static_cast<const char*>(std::memchr(text, '{', length));
  if (!brace) return kErrInvalidBitmap;
  const char* quote = static_cast<const char*>(std::memchr(brace, '"', static_cast<size_t>(end - brace)));
  if (!quote) return kErrInvalidBitmap;
  long long v[4] = {};
  const char* p = quote + 1;
  for (long long& n : v) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p >= end || *p < '0' || *p > '9') return kErrInvalidBitmap;
    n = 0;
    while (p < end && *p >= '0' && *p <= '9' && n < (1LL << 40)) n = n * 10 + (*p++ - '0');
  }
  long long w = v[0], h = v[1], colours = v[2], cpp = v[3];
  if (w <= 0 || h <= 0 || colours <= 0 || cpp <= 0 || cpp > 8) return kErrInvalidBitmap;
  if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels || colours > kMaxPicturePixels)
    return kErrUnsupportedGraphics;
  // The text must be able to hold what it announces.
  if (static_cast<long long>(length) < h * w * cpp || static_cast<long long>(length) < colours * (cpp + 4))
    return kErrInvalidBitmap;
  return 0;
}

namespace {

int map_xpm_status(int status) {
  if (status >= 0) return 0;  // XpmColorError is a warning
  return status == XpmNoMemory ? kErrNoMemory : kErrInvalidBitmap;
}

}  // namespace

int xfXpmToPicture(Display* display, XfPicture** out, const void* data, size_t size, int kind) {
  *out = nullptr;
  if (kind != kImageXpmText && kind != kImageXpmData) return kErrUnsupportedGraphics;
  if (!display) return kErrInvalidBitmap;
  XImage* image = nullptr;
  XImage* shape = nullptr;
  XpmAttributes a{};
  a.valuemask = 0;
  int status = 0;
  if (kind == kImageXpmText) {
    auto* text = static_cast<const char*>(data);
    if (int r = xf_xpm_check(text, size)) return r;
    std::string copy(text, size);  // terminated for libXpm
    status = xfXpmImageFromBuffer(display, copy.data(), &image, &shape, &a);
  } else {
    auto** lines = static_cast<char**>(const_cast<void*>(data));
    if (size < 1 || !lines || !lines[0]) return kErrInvalidBitmap;
    int w = 0, h = 0, n = 0, cpp = 0;
    if (std::sscanf(lines[0], "%d %d %d %d", &w, &h, &n, &cpp) != 4 || w <= 0 || h <= 0 || n <= 0 || cpp <= 0 ||
        cpp > 8 || static_cast<size_t>(n) + static_cast<size_t>(h) + 1 > size)
      return kErrInvalidBitmap;
    if (w > kMaxPictureSide || h > kMaxPictureSide || static_cast<int64_t>(w) * h > kMaxPicturePixels)
      return kErrUnsupportedGraphics;
    status = xfXpmImageFromData(display, lines, &image, &shape, &a);
  }
  XpmFreeAttributes(&a);
  if (int r = map_xpm_status(status)) {
    if (image) XDestroyImage(image);
    if (shape) XDestroyImage(shape);
    return r;
  }
  auto* p = new (std::nothrow) XfPicture{image, shape};
  if (!p) {
    if (image) XDestroyImage(image);
    if (shape) XDestroyImage(shape);
    return kErrNoMemory;
  }
  *out = p;
  return 0;
}

void xfFreePicture(XfPicture* picture) {
  if (!picture) return;
  if (picture->image) XDestroyImage(picture->image);
  if (picture->mask) XDestroyImage(picture->mask);
  delete picture;
}

int32_t xfPictureWidth(const XfPicture* p) { return p && p->image ? p->image->width : 0; }
int32_t xfPictureHeight(const XfPicture* p) { return p && p->image ? p->image->height : 0; }

XImage* xfScaleImage(Display* display, const XImage* image, int32_t width, int32_t height) {
  if (!display || !image || width <= 0 || height <= 0) return nullptr;
  XImage* src = const_cast<XImage*>(image);
  int bitmap_pad = image->depth == 1 ? 8 : (image->bits_per_pixel > 16 ? 32 : (image->bits_per_pixel > 8 ? 16 : 8));
  XImage* out = XCreateImage(display, DefaultVisual(display, DefaultScreen(display)),
                             static_cast<unsigned>(image->depth), image->format, 0, nullptr,
                             static_cast<unsigned>(width), static_cast<unsigned>(height), bitmap_pad, 0);
  if (!out) return nullptr;
  out->data = static_cast<char*>(std::calloc(static_cast<size_t>(out->bytes_per_line), static_cast<size_t>(height)));
  if (!out->data) {
    XDestroyImage(out);
    return nullptr;
  }
  for (int32_t y = 0; y < height; ++y) {
    int sy = static_cast<int>(static_cast<int64_t>(y) * image->height / height);
    for (int32_t x = 0; x < width; ++x) {
      int sx = static_cast<int>(static_cast<int64_t>(x) * image->width / width);
      XPutPixel(out, x, y, XGetPixel(src, sx, sy));
    }
  }
  return out;
}

void xfDrawPicture(DrawContext* context, const XfPicture* picture, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t sx, int32_t sy, int32_t iw, int32_t ih, int32_t raster) {
  Display* d = xf_display();
  if (!picture || !picture->image || !d) return;
  PresentSpace* ps = context->state->ps;
  XImage* image = picture->image;
  XImage* mask = picture->mask;
  XImage* scaled = nullptr;
  XImage* scaled_mask = nullptr;
  if (width > 0 && height > 0 && (width != image->width || height != image->height)) {
    scaled = xfScaleImage(d, image, width, height);
    if (mask) scaled_mask = xfScaleImage(d, mask, width, height);
    if (!scaled || (mask && !scaled_mask)) {
      if (scaled) XDestroyImage(scaled);
      if (scaled_mask) XDestroyImage(scaled_mask);
      return;
    }
    image = scaled;
    mask = scaled_mask;
    sx = sy = 0;
    iw = width;
    ih = height;
  }
  sx = std::clamp(sx, 0, image->width);
  sy = std::clamp(sy, 0, image->height);
  if (iw <= 0 || iw > image->width - sx) iw = image->width - sx;
  if (ih <= 0 || ih > image->height - sy) ih = image->height - sy;
  int function = raster == 0 ? GXcopy : (raster == 1 ? GXor : (raster == 2 ? GXand : GXclear));
  if (iw > 0 && ih > 0) {
    if (mask) {
      Pixmap clip =
          XCreatePixmap(d, xf().conn.root, static_cast<unsigned>(mask->width), static_cast<unsigned>(mask->height), 1);
      GC bit_gc = XCreateGC(d, clip, 0, nullptr);
      XPutImage(d, clip, bit_gc, mask, 0, 0, 0, 0, static_cast<unsigned>(mask->width),
                static_cast<unsigned>(mask->height));
      XFreeGC(d, bit_gc);
      XGCValues saved{};
      XGetGCValues(d, ps->gc, GCFunction | GCClipXOrigin | GCClipYOrigin, &saved);
      XSetFunction(d, ps->gc, function);
      XSetClipOrigin(d, ps->gc, x - sx, y - sy);
      XSetClipMask(d, ps->gc, clip);
      XPutImage(d, ps->drawable, ps->gc, image, sx, sy, x, y, static_cast<unsigned>(iw), static_cast<unsigned>(ih));
      XFreePixmap(d, clip);
      XSetClipMask(d, ps->gc, None);
      if (ps->clip) XSetRegion(d, ps->gc, ps->clip);
      XSetClipOrigin(d, ps->gc, saved.clip_x_origin, saved.clip_y_origin);
      XSetFunction(d, ps->gc, saved.function);
    } else {
      XfImages& im = xg().images;
      if (!im.picture_gc) {
        XGCValues v{};
        v.graphics_exposures = False;
        im.picture_gc = XCreateGC(d, xf().conn.root, GCGraphicsExposures, &v);
      }
      // The raster code of this call, not the first call's.
      XSetFunction(d, im.picture_gc, function);
      XPutImage(d, ps->drawable, im.picture_gc, image, sx, sy, x, y, static_cast<unsigned>(iw),
                static_cast<unsigned>(ih));
    }
  }
  if (scaled) XDestroyImage(scaled);
  if (scaled_mask) XDestroyImage(scaled_mask);
}
