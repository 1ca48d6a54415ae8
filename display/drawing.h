// What the text display needs of the window system's drawing: one drawing
// surface per display. The window system's presentation spaces implement it
// for real windows; tests and benchmarks use a recording one.
#pragma once

#include <cstdint>
#include <string_view>

struct SurfaceMetrics {
  int32_t height;  // font height with its leading
  int32_t avg_width;
  bool fixed_pitch;
  bool overhang_italic;  // an italic font whose glyphs overhang their cells
};

class DrawSurface {
 public:
  virtual ~DrawSurface() = default;
  virtual SurfaceMetrics metrics() = 0;
  // Width of each byte value in pixels; 0 = no glyph.
  virtual void char_widths(uint32_t out[256]) = 0;
  // Text at (x, y) in the given colours (0x00BBGGRR), clipped to the
  // rectangle [left, right) x [top, bottom); opaque fills the rectangle first.
  virtual void draw_text(int32_t x, int32_t y, std::string_view text, uint32_t fg, uint32_t bg, int32_t left,
                         int32_t top, int32_t right, int32_t bottom, bool opaque) = 0;
  virtual void fill_rect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) = 0;
  virtual void line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) = 0;
  virtual bool has_focus() = 0;
  virtual void caret_create(int32_t width, int32_t height, int shape) = 0;
  virtual void caret_move(int32_t x, int32_t y) = 0;
  virtual void caret_show() = 0;
  virtual void caret_hide() = 0;
  virtual void caret_destroy() = 0;
  // The client rectangle's size.
  virtual int32_t client_width() = 0;
  virtual int32_t client_height() = 0;
};
