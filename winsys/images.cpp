#include "winsys/images.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "winsys/gfx.h"
#include "winsys/pixels.h"
#include "winsys/pointers.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

// X bitmap bit order: the lowest bit is the leftmost pixel.
const unsigned char kStippleRows[7][8] = {
    {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA},  // 50 percent
    {0x24, 0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x92},  // light grey
    {0xEE, 0x77, 0xEE, 0x77, 0xEE, 0x77, 0xEE, 0x77},  // dark grey
    {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00},  // horizontal hatch
    {0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55},  // vertical hatch
    {0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x92, 0x49},  // rising diagonal hatch
    {0x49, 0x92, 0x24, 0x49, 0x92, 0x24, 0x49, 0x92},  // falling diagonal hatch
};

namespace {

XfImages& I() { return xg().images; }

constexpr unsigned kCloseness[] = {1000, 5000, 10000, 20000, 40000, 65535};

void set_closeness(XpmAttributes* a, unsigned closeness) {
  a->valuemask |= XpmExactColors | XpmCloseness;
  a->exactColors = False;
  a->closeness = closeness;
}

// The check mark of check boxes, and its greyed form (every other pixel).
const char* kCheckXpm[] = {
    "16 16 2 1",        "  c None",         ". c #000000",      "                ", "                ",
    "            ..  ", "           ...  ", "          ...   ", "  ..     ...    ", "  ...   ...     ",
    "   ... ...      ", "    .....       ", "     ...        ", "      .         ", "                ",
    "                ", "                ", "                ", "                ",
};
const char* kCheckOffXpm[] = {
    "16 16 2 1",        "  c None",         ". c #000000",      "                ", "                ",
    "            . . ", "           . .  ", "          . .   ", "  .      . .    ", "   .    . .     ",
    "  . .  . .      ", "   . . . .      ", "    . . .       ", "     . .        ", "      .         ",
    "                ", "                ", "                ", "                ",
};

void make_xpm(const char* const* text, Pixmap* pixmap, Pixmap* mask) {
  Display* d = xf_display();
  XpmAttributes a{};
  a.valuemask = 0;
  if (xfXpmPixmap(d, xf().conn.root, const_cast<char**>(text), pixmap, mask, &a) < 0) {
    *pixmap = *mask = 0;
    return;
  }
  if (*pixmap) xfRegisterPixmap(*pixmap);
  if (*mask) xfRegisterPixmap(*mask);
}

GC scratch_gc() {
  XfImages& im = I();
  Display* d = xf_display();
  if (!im.scratch_gc && d) {
    XGCValues v{};
    v.function = GXcopy;
    v.plane_mask = AllPlanes;
    v.subwindow_mode = IncludeInferiors;
    v.graphics_exposures = False;
    im.scratch_gc = XCreateGC(d, xf().conn.root, GCFunction | GCPlaneMask | GCSubwindowMode | GCGraphicsExposures, &v);
  }
  return im.scratch_gc;
}

unsigned long complement_xor(unsigned long dominant) {
  Colormap cm = xf().conn.colormap;
  uint32_t comp = xfComplementRgb(xfPixelToRgb(cm, dominant));
  return xfRgbToPixel(cm, comp) ^ dominant;
}

}  // namespace

void xfInitImages() {
  XfImages& im = I();
  Display* d = xf_display();
  if (im.done || !d) return;
  im.done = true;
  make_xpm(kCheckXpm, &im.check, &im.check_mask);
  make_xpm(kCheckOffXpm, &im.check_off, &im.check_off_mask);
  for (int i = 0; i < 7; ++i) {
    im.stipples[i] = XCreateBitmapFromData(d, xf().conn.root, reinterpret_cast<const char*>(kStippleRows[i]), 8, 8);
    xfRegisterPixmap(im.stipples[i]);
  }
  xf_make_pointers();
}

Pixmap xf_stipple(int slot) {
  xfInitImages();
  return slot >= 0 && slot < 7 ? I().stipples[slot] : 0;
}

int xfXpmPixmap(Display* display, Drawable drawable, char** data, Pixmap* pixmap, Pixmap* mask,
                XpmAttributes* attributes) {
  int status = XpmColorFailed;
  for (unsigned c : kCloseness) {
    set_closeness(attributes, c);
    status = XpmCreatePixmapFromData(display, drawable, data, pixmap, mask, attributes);
    if (status >= 0) break;
  }
  return status;
}

int xfXpmImageFromData(Display* display, char** data, XImage** image, XImage** shape, XpmAttributes* attributes) {
  int status = XpmColorFailed;
  for (unsigned c : kCloseness) {
    set_closeness(attributes, c);
    status = XpmCreateImageFromData(display, data, image, shape, attributes);
    if (status >= 0) break;
  }
  return status;
}

int xfXpmImageFromBuffer(Display* display, char* buffer, XImage** image, XImage** shape, XpmAttributes* attributes) {
  int status = XpmColorFailed;
  for (unsigned c : kCloseness) {
    set_closeness(attributes, c);
    status = XpmCreateImageFromBuffer(display, buffer, image, shape, attributes);
    if (status >= 0) break;
  }
  return status;
}

int xf_xpm_replace_none(char** data, int32_t lines, std::string* replaced, const char* colour) {
  int w = 0, h = 0, n = 0, cpp = 0;
  if (lines < 1 || std::sscanf(data[0], "%d %d %d %d", &w, &h, &n, &cpp) != 4 || n < 0) return -1;
  int32_t last = std::min<int32_t>(lines - 1, n);
  for (int32_t i = 0; i <= last; ++i) {
    std::string line = data[i];
    bool found = false;
    for (const char* word : {"None", "none"}) {
      for (size_t at = line.find(word); at != std::string::npos; at = line.find(word, at)) {
        line.replace(at, 4, colour);
        at += std::strlen(colour);
        found = true;
      }
    }
    if (found) {
      *replaced = line;
      return i;
    }
  }
  return -1;
}

int xfXpmPixmapReplaceNone(Drawable drawable, char** data, Pixmap* pixmap, Pixmap* mask, XpmAttributes* attributes,
                           const char* colour) {
  int w = 0, h = 0, n = 0, cpp = 0;
  std::sscanf(data[0], "%d %d %d %d", &w, &h, &n, &cpp);
  std::string copy;
  int at = xf_xpm_replace_none(data, n + 1, &copy, colour);
  char* saved = nullptr;
  if (at >= 0) {
    saved = data[at];
    data[at] = copy.data();
  }
  int status = xfXpmPixmap(xf_display(), drawable, data, pixmap, mask, attributes);
  if (at >= 0) data[at] = saved;  // the text is the caller's again
  if (status >= 0) {
    if (*pixmap) xfRegisterPixmap(*pixmap);
    if (mask && *mask) xfRegisterPixmap(*mask);
  }
  return status;
}

XImage* xfReadArea(Drawable drawable, int32_t x, int32_t y, int32_t width, int32_t height) {
  Display* d = xf_display();
  if (!d || width <= 0 || height <= 0) return nullptr;
  XfImages& im = I();
  if (!im.scratch || im.scratch_w < width || im.scratch_h < height) {
    if (im.scratch) XFreePixmap(d, im.scratch);
    im.scratch_w = std::max(width, im.scratch_w);
    im.scratch_h = std::max(height, im.scratch_h);
    im.scratch = XCreatePixmap(d, xf().conn.root, static_cast<unsigned>(im.scratch_w),
                               static_cast<unsigned>(im.scratch_h), static_cast<unsigned>(xf().conn.depth));
  }
  // Parts of the area off the screen come back as whatever the pixmap held
  // (black): a read through the pixmap never fails the way a window read can.
  GC gc = scratch_gc();
  XSetForeground(d, gc, BlackPixel(d, xf().conn.screen));
  XFillRectangle(d, im.scratch, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XCopyArea(d, drawable, im.scratch, gc, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0);
  return XGetImage(d, im.scratch, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                   ZPixmap);
}

int32_t xf_sample_step(int32_t extent) {
  int32_t s = extent / 10;
  return s < 1 ? 1 : (s > 10 ? 10 : s);
}

unsigned long xf_dominant_pixel(XImage* image, int32_t x0, int32_t y0, int32_t width, int32_t height, int32_t sx,
                                int32_t sy, int32_t* sampled) {
  std::map<unsigned long, int> counts;
  unsigned long best = 0;
  int best_count = 0;
  int32_t n = 0;
  for (int32_t y = 0; y < height; y += sy) {
    for (int32_t x = 0; x < width; x += sx) {
      unsigned long p = XGetPixel(image, x0 + x, y0 + y);
      ++n;
      int c = ++counts[p];
      if (c > best_count) {
        best_count = c;
        best = p;
      }
    }
  }
  if (sampled) *sampled = n;
  return best;
}

unsigned long xfContrastPixel(Drawable drawable, int32_t x, int32_t y, int32_t width, int32_t height) {
  XImage* image = xfReadArea(drawable, x, y, width, height);
  if (!image) return 0;
  unsigned long dominant =
      xf_dominant_pixel(image, 0, 0, width, height, xf_sample_step(width), xf_sample_step(height), nullptr);
  XDestroyImage(image);
  return complement_xor(dominant);
}

unsigned long xfBorderContrastPixel(XfWindow* window, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || !xf_is_live_window(window) || !xfIsWindowShown(window)) return 0;
  bool top = true, bottom = true, left = true, right = true;
  int32_t ww = window->width, wh = window->height;
  if (x < 0) {
    width += x;
    x = 0;
    left = false;
  }
  if (y < 0) {
    height += y;
    y = 0;
    top = false;
  }
  if (x > ww - 1 || y > wh - 1) {
    x = std::min(x, ww - 1);
    y = std::min(y, wh - 1);
    top = bottom = left = right = false;
  }
  if (x + width > ww) {
    width = ww - x;
    right = false;
  }
  if (y + height > wh) {
    height = wh - y;
    bottom = false;
  }
  if (width <= 0 || height <= 0) return 0;
  int32_t sx = xf_sample_step(width), sy = xf_sample_step(height);
  std::map<unsigned long, int> counts;
  unsigned long best = 0;
  int best_count = 0;
  auto edge = [&](bool keep, int32_t ex, int32_t ey, int32_t ew, int32_t eh, int32_t stepx, int32_t stepy) {
    if (!keep) return;
    XImage* image = xfReadArea(window->xwin, ex, ey, ew, eh);
    if (!image) return;
    for (int32_t j = 0; j < eh; j += stepy) {
      for (int32_t i = 0; i < ew; i += stepx) {
        unsigned long p = XGetPixel(image, i, j);
        int c = ++counts[p];
        if (c > best_count) {
          best_count = c;
          best = p;
        }
      }
    }
    XDestroyImage(image);
  };
  edge(top, x, y, width, 1, sx, 1);
  edge(bottom, x, y + height - 1, width, 1, sx, 1);
  edge(left, x, y, 1, height, 1, sy);
  edge(right, x + width - 1, y, 1, height, 1, sy);
  if (!best_count) return 0;
  return complement_xor(best);
}

bool xfFindContrastEntry(Drawable d, int32_t x, int32_t y, int32_t w, int32_t h, unsigned long* pixel, bool take) {
  auto& v = I().contrast;
  for (auto it = v.begin(); it != v.end(); ++it) {
    if (it->d == d && it->x == x && it->y == y && it->w == w && it->h == h) {
      *pixel = it->pixel;
      if (take) v.erase(it);
      return true;
    }
  }
  return false;
}

void xfAddContrastEntry(Drawable d, int32_t x, int32_t y, int32_t w, int32_t h, unsigned long pixel) {
  I().contrast.push_back({d, x, y, w, h, pixel});
}

int32_t xf_contrast_entry_count() { return static_cast<int32_t>(I().contrast.size()); }
