// The text display layer: a grid of character cells per window, as the owner
// wants it shown and as it was last drawn. The owner rebuilds the wanted
// lines of the rows that changed and calls disp_update, which compares each
// dirty row with what is on the screen and draws only the differing runs,
// each in the colours of its cells' colour slots.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "display/drawing.h"

inline constexpr int32_t kForceRedraw = 0x7fffffff;  // a shown start_x that matches no wanted line
inline constexpr int32_t kDispTabStops = 200;

struct DisplayLine {
  int32_t length = 0;
  int32_t start_x = 0;
  uint16_t default_attr = 1;
  uint8_t* chars = nullptr;
  uint16_t* attrs = nullptr;
  int32_t state = 0;
};

struct TextDisplay {
  std::vector<DisplayLine> lines;  // wanted
  std::vector<DisplayLine> shown;  // last drawn
  std::vector<uint8_t> cells;      // the character and attribute storage of both arrays
  int32_t dirty_first = 0, dirty_last = -1;
  int32_t line_count = 0;  // rows + 1: the last row is partly visible
  int32_t rows = 0;
  int32_t columns = 0;
  int32_t area_width = 0, area_height = 0;
  int32_t font_height = 0;
  int32_t line_height = 0;
  int32_t base_line_height = 0;  // the band text fills: line_height less the grid line
  int32_t char_width = 0;
  uint32_t char_widths[256] = {};
  int32_t caret_x = 0, caret_y = 0, caret_y_offset = 0;
  int32_t text_left = 0, text_top = 0;
  int32_t line_capacity = 0;
  int32_t text_top_offset = 0;
  uint8_t caret_shown = 0;
  uint8_t fixed_pitch = 1;
  uint8_t whole_lines = 0;
  uint8_t caret_defer = 0;
  uint8_t guide_column = 0;
  uint8_t border_style = 0;
  int32_t hscroll = 0, shown_hscroll = 0;
  // Column widths in pixels: a line is drawn as columns split at its tab
  // characters. Null: no tab stops.
  std::unique_ptr<uint16_t[]> tab_stops;
  uint8_t tab_option = 0;  // bit 0: no grid lines between the columns
  uint8_t laid_tabs = 0;   // what the last layout made room for (see disp_needs_layout)
  uint8_t glyphs[256] = {};
  DrawSurface* surface = nullptr;
};

// Lays the grid out on a surface (after a resize or a font change); every
// row is drawn by the next update. 0, or 1 when the surface is missing.
int disp_layout(TextDisplay* d, DrawSurface* surface, int32_t left_margin, int32_t top_margin, int border_style);
void disp_destroy(TextDisplay* d);

// ---- building the wanted lines (rows outside 0..line_count-1 are ignored) ----
void disp_begin_line(TextDisplay* d, int32_t row, int32_t start_x, int32_t state);
void disp_set_line_attr(TextDisplay* d, int32_t row, uint16_t attr);
// A negative count repeats the first character -count times; cut at line_capacity.
void disp_put_text(TextDisplay* d, int32_t row, const char* text, int32_t count, uint16_t attr);
void disp_put_cells(TextDisplay* d, int32_t row, const char* text, int32_t count, const uint16_t* attrs);
// Pads with blanks in the default attribute up to the column first.
void disp_set_cell_attr(TextDisplay* d, int32_t column, int32_t row, uint16_t attr);

// The comparison update.
void disp_update(TextDisplay* d, int32_t line_count);
// Forces the rows that meet a pixel band to be drawn again.
void disp_invalidate_rows(TextDisplay* d, int32_t top, int32_t bottom);

// ---- measuring ----
int32_t disp_text_width(const TextDisplay* d, const char* text, int32_t count);
// Column under window x for a line scrolled by `scroll` pixels; *out_x the x
// at which that column's cell starts.
int32_t disp_col_from_x(const TextDisplay* d, const char* text, int32_t length, int32_t scroll, int32_t x,
                        int32_t* out_x);
int32_t disp_border_inset(int style);
void disp_set_guide_column(TextDisplay* d, int32_t column);

// ---- tab stops ----
// n -1 sets the option byte; 0..kDispTabStops-1 sets that column's width
// (0..65535 pixels), making the table on first use. Other n are ignored.
void disp_set_tab_stop(TextDisplay* d, int32_t n, int32_t width);
// n -1 gives the option byte, 0..kDispTabStops-1 that column's width (0
// without a table); n -2 drops the table and gives 0.
int32_t disp_get_tab_stop(TextDisplay* d, int32_t n);
// True when tab stops or their grid lines came or went since the last
// layout: the row height and the line capacity follow them only then.
bool disp_needs_layout(const TextDisplay* d);

// ---- caret ----
void disp_caret_create(TextDisplay* d, int32_t width, int shape_flag);
void disp_caret_move(TextDisplay* d, int32_t x, int32_t y);
void disp_caret_hide(TextDisplay* d);
// Starts and ends a refresh: caret creations in between show the caret once, at the end.
void disp_caret_defer_begin(TextDisplay* d);
void disp_caret_defer_end(TextDisplay* d);
