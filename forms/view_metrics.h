// Pixel metrics of the text in an object's window, for the view properties
// and the column built-ins. An editor window's come from its text display
// (which the application keeps, forms/view_port.h); any other object's text
// is a grid of fixed cells, kGridCharWidth pixels wide, that starts at
// column 0.
#pragma once

#include <cstdint>

#include "text/buffer.h"

// The horizontal offset of the text (what is scrolled out on the left) and
// the cursor's x within the window, pixels.
int32_t view_h_offset(WindowObject* w);
int32_t view_cursor_x(WindowObject* w);
// Width of the text area, pixels.
int32_t view_area_width(const WindowObject* w);
// Number of characters of the cursor line that fit up to x, counted from
// the text's start (a character counts when more than half of it fits).
int32_t view_column_at_x(WindowObject* w, int32_t x);
int32_t view_char_width(const WindowObject* w);
bool view_fixed_pitch(const WindowObject* w);
// The sum of the display's two further widths.
int32_t view_extra_widths(const WindowObject* w);
// Maxima of the window's scroll bars.
int32_t view_v_scroll_max(const WindowObject* w);
int32_t view_h_scroll_max(const WindowObject* w);

// The cell width of the grid, pixels.
inline constexpr int32_t kGridCharWidth = 8;
