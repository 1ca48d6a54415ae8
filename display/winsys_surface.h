// The text display's drawing surface over a real window: each call opens a
// drawing context on the window, selects the display's font, draws and
// closes it again, so nothing is held between refreshes. Colours arrive
// already resolved from the cells' colour slots (0x00BBGGRR).
#pragma once

#include <cstdint>

#include "display/drawing.h"
#include "winsys/fonts.h"
#include "winsys/window_rec.h"

class WinsysSurface : public DrawSurface {
 public:
  // font may be null: the window's default font.
  WinsysSurface(XfWindow* window, const FontAttrs* font) : window_(window), font_(font) {}
  ~WinsysSurface() override;
  WinsysSurface(const WinsysSurface&) = delete;
  WinsysSurface& operator=(const WinsysSurface&) = delete;

  SurfaceMetrics metrics() override;
  void char_widths(uint32_t out[256]) override;
  void draw_text(int32_t x, int32_t y, std::string_view text, uint32_t fg, uint32_t bg, int32_t left, int32_t top,
                 int32_t right, int32_t bottom, bool opaque) override;
  void fill_rect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) override;
  void line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) override;
  bool has_focus() override;
  void caret_create(int32_t width, int32_t height, int shape) override;
  void caret_move(int32_t x, int32_t y) override;
  void caret_show() override;
  void caret_hide() override;
  void caret_destroy() override;
  int32_t client_width() override;
  int32_t client_height() override;

  XfWindow* window() const { return window_; }

 private:
  XfWindow* window_;
  const FontAttrs* font_;
  bool has_caret_ = false;
};
