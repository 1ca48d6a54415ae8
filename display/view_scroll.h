// View scrolling, scroll-bar ranges and captions: the arithmetic, apart from
// the windows and scroll bars it feeds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Horizontal follow of the cursor. x_before: width of the cells before the
// cursor column; x_through: up to and including it; left/right: the text
// area's x range. Returns the new offset.
struct HScrollInput {
  int32_t x_before, x_through;
  int32_t hoffset;
  int32_t left_x, right_x;
  char style;  // 'C' centres
  bool fixed_columns;
  int32_t cursor_col, columns, char_width;
};
int32_t view_hscroll_offset(const HScrollInput& in);

// Vertical scroll bar: from the last page's top point (a line number, or a
// byte point above 7999), the top line and the window.
struct VScrollInput {
  int64_t last_page_point;  // disp_count_lines' result
  int64_t top_point;        // the top line's byte point
  int32_t top_line;         // the top line's number
  int32_t rows;
  int32_t visible;     // lines counted from the top, at most rows
  int32_t line_count;  // lines of the buffer
  bool top_of_file;    // the Top of File line is shown
  int32_t record_len;
};
struct ScrollBar {
  int32_t min, max, page, pos, scale;
};
ScrollBar disp_vscroll_range(const VScrollInput& in);
// The horizontal bar's position in 1/300 inch, at most 32000.
int32_t disp_hscroll_pos(int32_t hoffset, int32_t pixels_per_inch);

// "name", "no-name<b%d>" without a name, the file part for a minimised
// window ('I'), then " *" when modified.
std::string disp_buffer_caption(std::string_view name, int32_t buffer_id, char state, bool modified);
// A path longer than limit with directories after the first replaced by "..".
std::string disp_shorten_path(std::string_view path, size_t limit);
// The shortened path, or the bare file name when that is longer than it.
std::string disp_menu_path(std::string_view path, size_t limit = 40);
