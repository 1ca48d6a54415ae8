// Colours to pixels, and the shades of a base pixel, as the window core
// needs them for its resources and window colours.
//
// Colours are 0x00RRGGBB here (0x00BBGGRR for the window API's forms).
// Without a display every colour is pixel 1, and shades are the base.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

uint32_t WinRgbSwap(uint32_t colour);
// Allocates the cell's colour, or fills the cell with the nearest existing
// colour of the colormap (without allocating); answers 1.
int xfAllocColorNearest(Display* display, Colormap colormap, XColor* cell);
unsigned long xfRgbToPixel(Colormap colormap, uint32_t rgb);
unsigned long xfColorToPixel(Colormap colormap, uint32_t bgr);
uint32_t xfPixelToRgb(Colormap colormap, unsigned long pixel);
// The resource text (or `default_text` for "none") parsed by X and
// allocated; *pixel 1 when X cannot parse it, and the answer false.
bool xfParseColorResource(const char* text, unsigned long* pixel, const char* default_text);

struct XfShades {
  unsigned long base, text, light, dark, medium;
};
// The rule: text black when fewer than two channels of the complement are
// above 128, else white; light +40, dark -80 per channel, medium the average
// of base and dark.
struct XfShadeRgb {
  uint32_t text, light, dark, medium;
};
XfShadeRgb xf_shade_rgb(uint32_t base_rgb);
XfShades xfQueryShades(unsigned long base);
// The complement (255 - each channel).
uint32_t xfComplementRgb(uint32_t rgb);
