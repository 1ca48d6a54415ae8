// A drawing surface that records what is drawn: a fixed-pitch font of 8x16
// pixels (or a table of widths), a client area of a given size, and focus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/drawing.h"

namespace disptest {

struct TextCall {
  int32_t x, y;
  std::string text;
  uint32_t fg, bg;
  int32_t left, top, right, bottom;
  bool opaque;
};

struct LineCall {
  int32_t x0, y0, x1, y1;
  uint32_t colour;
  bool operator==(const LineCall&) const = default;
};

class RecordingSurface : public DrawSurface {
 public:
  RecordingSurface(int32_t width, int32_t height) : width_(width), height_(height) {
    for (auto& w : widths) w = 8;
  }
  SurfaceMetrics metrics() override { return {16, 8, fixed, false}; }
  void char_widths(uint32_t out[256]) override {
    for (int i = 0; i < 256; ++i) out[i] = widths[i];
  }
  void draw_text(int32_t x, int32_t y, std::string_view text, uint32_t fg, uint32_t bg, int32_t left, int32_t top,
                 int32_t right, int32_t bottom, bool opaque) override {
    texts.push_back({x, y, std::string(text), fg, bg, left, top, right, bottom, opaque});
  }
  void fill_rect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) override {
    ++fills;
    fill_calls.push_back({left, top, right, bottom, colour});
  }
  void line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) override {
    ++lines;
    line_calls.push_back({x0, y0, x1, y1, colour});
  }
  bool has_focus() override { return focus; }
  void caret_create(int32_t, int32_t, int) override { ++caret_creates; }
  void caret_move(int32_t x, int32_t y) override {
    caret_x = x;
    caret_y = y;
  }
  void caret_show() override { ++caret_shows; }
  void caret_hide() override { ++caret_hides; }
  void caret_destroy() override {}
  int32_t client_width() override { return width_; }
  int32_t client_height() override { return height_; }

  void clear() {
    texts.clear();
    fill_calls.clear();
    line_calls.clear();
    fills = lines = caret_creates = caret_shows = caret_hides = 0;
  }
  // Rows (by y / 16) that got text.
  std::vector<int32_t> rows_drawn() const {
    std::vector<int32_t> r;
    for (const auto& t : texts)
      if (r.empty() || r.back() != t.top / 16) r.push_back(t.top / 16);
    return r;
  }

  uint32_t widths[256];
  bool fixed = true;
  bool focus = true;
  std::vector<TextCall> texts;
  struct FillCall {
    int32_t left, top, right, bottom;
    uint32_t colour;
  };
  std::vector<FillCall> fill_calls;
  std::vector<LineCall> line_calls;
  int fills = 0, lines = 0, caret_creates = 0, caret_shows = 0, caret_hides = 0;
  int32_t caret_x = -1, caret_y = -1;

 private:
  int32_t width_, height_;
};

}  // namespace disptest
