// Pictures made once at start-up (stipples, the check-mark images), areas
// read back from the screen to choose colours that stand out, and the XPM
// library calls wrapped with a fall-back over colour closeness.
#pragma once

#include <X11/Xlib.h>
#include <X11/xpm.h>

#include <cstdint>
#include <string>

#include "winsys/window_rec.h"

// Stipple slots.
inline constexpr int kStipple50 = 0;
inline constexpr int kStippleLightGrey = 1;
inline constexpr int kStippleDarkGrey = 2;
inline constexpr int kStippleHatchH = 3;   // fill pattern 2
inline constexpr int kStippleHatchV = 4;   // 3
inline constexpr int kStippleRising = 5;   // 4
inline constexpr int kStippleFalling = 6;  // 5

// The 8 x 8 rows of each stipple, in slot order.
extern const unsigned char kStippleRows[7][8];

// Makes the stipples and images once.
void xfInitImages();
Pixmap xf_stipple(int slot);

// The XPM calls, tried with closeness 1000, 5000, 10000, 20000, 40000 and
// 65535 (exact colours off) until one succeeds; answers the last status.
int xfXpmPixmap(Display* display, Drawable drawable, char** data, Pixmap* pixmap, Pixmap* mask,
                XpmAttributes* attributes);
int xfXpmImageFromData(Display* display, char** data, XImage** image, XImage** shape, XpmAttributes* attributes);
int xfXpmImageFromBuffer(Display* display, char* buffer, XImage** image, XImage** shape, XpmAttributes* attributes);
// The XPM text with the first line (values or colour line) that names
// "None"/"none" written with each such word replaced by `colour`; the other
// lines unchanged. Answers the index of the replaced line, -1 for none.
int xf_xpm_replace_none(char** data, int32_t lines, std::string* replaced, const char* colour);
int xfXpmPixmapReplaceNone(Drawable drawable, char** data, Pixmap* pixmap, Pixmap* mask, XpmAttributes* attributes,
                           const char* colour);

// An image of the area (all planes, Z format) read through the scratch
// pixmap, or none for an empty area. The caller destroys it.
XImage* xfReadArea(Drawable drawable, int32_t x, int32_t y, int32_t width, int32_t height);
// The sample step of an extent: extent / 10, at least 1, at most 10.
int32_t xf_sample_step(int32_t extent);
// The pixel that shows the complement of the area's dominant colour when
// drawn with XOR over it.
unsigned long xfContrastPixel(Drawable drawable, int32_t x, int32_t y, int32_t width, int32_t height);
unsigned long xfBorderContrastPixel(XfWindow* window, int32_t x, int32_t y, int32_t width, int32_t height);
// The dominant pixel of an image sampled on the grid (counted by the whole
// pixel value); *sampled gets how many were looked at.
unsigned long xf_dominant_pixel(XImage* image, int32_t x0, int32_t y0, int32_t width, int32_t height, int32_t sx,
                                int32_t sy, int32_t* sampled);
bool xfFindContrastEntry(Drawable d, int32_t x, int32_t y, int32_t w, int32_t h, unsigned long* pixel, bool take);
void xfAddContrastEntry(Drawable d, int32_t x, int32_t y, int32_t w, int32_t h, unsigned long pixel);
int32_t xf_contrast_entry_count();
