#include "winsys/pixels.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "winsys/gfx.h"
#include "winsys/xfsys.h"

namespace {

uint32_t channel8(unsigned short c16) { return c16 >> 8; }
unsigned short channel16(uint32_t c8) { return static_cast<unsigned short>(c8 << 8); }

uint32_t rgb_of(const XColor& c) { return channel8(c.red) << 16 | channel8(c.green) << 8 | channel8(c.blue); }

XColor cell_of(uint32_t rgb) {
  XColor c{};
  c.red = channel16((rgb >> 16) & 0xFF);
  c.green = channel16((rgb >> 8) & 0xFF);
  c.blue = channel16(rgb & 0xFF);
  c.flags = DoRed | DoGreen | DoBlue;
  return c;
}

uint32_t clamp_add(uint32_t rgb, int delta) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    int v = static_cast<int>((rgb >> shift) & 0xFF) + delta;
    v = v < 0 ? 0 : (v > 255 ? 255 : v);
    out |= static_cast<uint32_t>(v) << shift;
  }
  return out;
}

}  // namespace

uint32_t WinRgbSwap(uint32_t colour) { return (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF); }

uint32_t xfComplementRgb(uint32_t rgb) { return ~rgb & 0xFFFFFF; }

int xfAllocColorNearest(Display* display, Colormap colormap, XColor* cell) {
  if (XAllocColor(display, colormap, cell)) return 1;
  cell->pixel = 1;
  int n = DefaultVisual(display, DefaultScreen(display))->map_entries;
  if (n <= 0) return 1;
  std::vector<XColor> cells(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) cells[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(i);
  XQueryColors(display, colormap, cells.data(), n);
  uint32_t want = rgb_of(*cell);
  int best = -1;
  int best_distance = 0;
  for (int i = 0; i < n; ++i) {
    uint32_t have = rgb_of(cells[static_cast<size_t>(i)]);
    int d = 0;
    for (int shift = 16; shift >= 0; shift -= 8)
      d += std::abs(static_cast<int>((want >> shift) & 0xFF) - static_cast<int>((have >> shift) & 0xFF));
    if (best < 0 || d < best_distance) {  // the first on ties
      best = i;
      best_distance = d;
    }
  }
  const XColor& chosen = cells[static_cast<size_t>(best)];
  cell->pixel = chosen.pixel;
  cell->red = chosen.red;
  cell->green = chosen.green;
  cell->blue = chosen.blue;
  return 1;
}

unsigned long xfRgbToPixel(Colormap colormap, uint32_t rgb) {
  Display* d = xf_display();
  if (!d) return 1;
  XfColourCache& cc = xg().colours;
  uint32_t key = WinRgbSwap(rgb);
  for (int32_t i = 0; i < cc.count; ++i)
    if (cc.entries[i].key == key) return cc.entries[i].pixel;
  XColor c = cell_of(rgb);
  xfAllocColorNearest(d, colormap, &c);
  ++cc.allocations;
  if (cc.count < 256) cc.entries[cc.count++] = {key, c.pixel};  // a full cache just answers
  return c.pixel;
}

unsigned long xfColorToPixel(Colormap colormap, uint32_t bgr) { return xfRgbToPixel(colormap, WinRgbSwap(bgr)); }

uint32_t xfPixelToRgb(Colormap colormap, unsigned long pixel) {
  Display* d = xf_display();
  if (!d) return 0;
  XColor c{};
  c.pixel = pixel;
  XQueryColor(d, colormap, &c);
  return rgb_of(c);
}

bool xfParseColorResource(const char* text, unsigned long* pixel, const char* default_text) {
  const char* spec = (!text || std::strcmp(text, kResourceNone) == 0) ? default_text : text;
  *pixel = 1;
  Display* d = xf_display();
  if (!d || !spec) return false;
  XColor c{};
  if (!XParseColor(d, xf().conn.colormap, spec, &c)) return false;
  xfAllocColorNearest(d, xf().conn.colormap, &c);
  *pixel = c.pixel;
  return true;
}

XfShadeRgb xf_shade_rgb(uint32_t base) {
  uint32_t comp = xfComplementRgb(base);
  int bright = 0;
  for (int shift = 16; shift >= 0; shift -= 8) bright += ((comp >> shift) & 0xFF) > 128;
  XfShadeRgb s{};
  s.text = bright < 2 ? 0x000000 : 0xFFFFFF;
  s.light = clamp_add(base, 40);
  s.dark = clamp_add(base, -80);
  for (int shift = 16; shift >= 0; shift -= 8) {
    uint32_t b = (base >> shift) & 0xFF, k = (s.dark >> shift) & 0xFF;
    s.medium |= ((b + k) / 2) << shift;
  }
  return s;
}

XfShades xfQueryShades(unsigned long base) {
  XfShades s{base, base, base, base, base};
  Display* d = xf_display();
  if (!d) return s;
  if (xf().server.visual_class == 3) {
    unsigned long black = BlackPixel(d, xf().conn.screen);
    return XfShades{base, black, black, black, black};
  }
  // The table starts with room for 38 and grows: callers may ask for any
  // number of base colours.
  auto& table = xg().colours.shades;
  for (const XfShades& e : table)
    if (e.base == base) return e;
  Colormap cm = xf().conn.colormap;
  XfShadeRgb rgb = xf_shade_rgb(xfPixelToRgb(cm, base));
  s.text = xfRgbToPixel(cm, rgb.text);
  s.light = xfRgbToPixel(cm, rgb.light);
  s.dark = xfRgbToPixel(cm, rgb.dark);
  s.medium = xfRgbToPixel(cm, rgb.medium);
  if (table.capacity() < 38) table.reserve(38);
  table.push_back(s);
  return s;
}
