// What the view properties need of the text display and the colour coder,
// as one seam: the display owns pixel metrics and scrolling, the colour
// coder owns the loaded lexers. The default treats every text display as a
// grid of fixed cells of char_width x line_height pixels that starts at
// column 0, and knows no lexers.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/buffer.h"

struct ViewDisplayOps {
  // Pixels: the horizontal offset of the text after keeping the cursor
  // visible, and the cursor's x within the window.
  int32_t (*h_offset)(WindowObject* w);
  int32_t (*cursor_x)(WindowObject* w);
  // Width of the text area, pixels.
  int32_t (*area_width)(const WindowObject* w);
  // Number of characters of the cursor line that fit up to x (a character
  // counts when more than half of it fits).
  int32_t (*column_at_x)(WindowObject* w, int32_t x);
  int32_t (*char_width)(const WindowObject* w);
  bool (*fixed_pitch)(const WindowObject* w);
  int32_t (*extra_widths)(const WindowObject* w);  // the sum of the two further widths
  // Maxima of the window's scroll bars.
  int32_t (*v_scroll_max)(const WindowObject* w);
  int32_t (*h_scroll_max)(const WindowObject* w);
};

ViewDisplayOps& view_display_ops();
void view_display_reset();
// The cell width of the default grid, pixels.
inline constexpr int32_t kGridCharWidth = 8;
