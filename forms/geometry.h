// Object geometry and units.
//
// Macros see positions and sizes in the unit of the object's container:
// twips (scale mode 1, 1440 per inch) or pixels (any other scale mode).
// Twips per pixel are measured once from the display (1440 / pixels per
// inch) and every conversion uses them: twips to pixels rounds a remainder
// of at least half the divisor up, and truncates toward zero, so a negative
// value is never rounded away from zero.
#pragma once

#include <cstdint>

#include "text/buffer.h"

// What start-up measured of the screen.
struct ScreenMetrics {
  int32_t twips_x = 15;  // twips per pixel
  int32_t twips_y = 15;
  int32_t width = 1024;  // pixels
  int32_t height = 768;
  int32_t ppi = 96;       // horizontal pixels per inch
  uint32_t start_ms = 0;  // the window layer's clock at start-up
};
ScreenMetrics& screen_metrics();

inline constexpr int32_t kScaleTwips = 1;
inline constexpr int32_t kScalePixels = 3;

// Conversions in a unit: unit 1 converts, any other passes through.
int32_t ctl_twips_to_pixels_x(int32_t unit, int32_t v);
int32_t ctl_twips_to_pixels_y(int32_t unit, int32_t v);
int32_t ctl_pixels_to_twips_x(int32_t unit, int32_t v);
int32_t ctl_pixels_to_twips_y(int32_t unit, int32_t v);
// With an explicit divisor (the rounding rule alone).
int32_t twips_to_pixels(int32_t twips, int32_t twips_per_pixel);

// Property 158 (which = 83): the scale mode of the object's container;
// property 159 (which = 80): the container's id.
inline constexpr int32_t kContainerScale = 83;
inline constexpr int32_t kContainerHandle = 80;
int32_t obj_container_unit(const WindowObject* obj, int32_t which);
