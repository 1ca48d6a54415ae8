#include "display/text_display.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "display/colours.h"

namespace {

constexpr int32_t kDefaultCaretWidth = 2;  // 35 twips at the screen's scale

bool valid_row(const TextDisplay* d, int32_t row) { return !d->lines.empty() && row >= 0 && row < d->line_count; }

void widen(TextDisplay* d, int32_t row) {
  d->dirty_first = std::min(d->dirty_first, row);
  d->dirty_last = std::max(d->dirty_last, row);
}

void slot_colours(uint16_t attr, uint32_t* fg, uint32_t* bg) {
  if (const ColourSlot* s = colour_slot(attr)) {
    *fg = s->fg;
    *bg = s->bg;
  } else {
    *fg = 0;
    *bg = 0xffffff;
  }
}

int32_t cells_width(const TextDisplay* d, const uint8_t* chars, int32_t count) {
  if (count <= 0) return 0;
  if (d->fixed_pitch) return count * d->char_width;
  int32_t w = 0;
  for (int32_t i = 0; i < count; ++i) w += static_cast<int32_t>(d->char_widths[chars[i]]);
  return w;
}

int32_t right_limit(const TextDisplay* d) { return d->area_width + disp_border_inset(d->border_style); }

constexpr uint8_t kTab = 9;
constexpr uint32_t kGridColour = 0x000000;

// What a layout makes room for: 1 tab stops, 3 tab stops with grid lines.
uint8_t tab_layout(const TextDisplay* d) {
  if (!d->tab_stops) return 0;
  return d->tab_option & 1 ? 1 : 3;
}

// A byte the font has no glyph for shows as '?'.
uint8_t plain_glyph(const TextDisplay* d, int b) {
  return d->char_widths[b] || d->fixed_pitch ? static_cast<uint8_t>(b) : uint8_t{'?'};
}

// Tab-stop mode: the whole line in the colours of its default attribute,
// one column per tab-separated piece; column k is tab_stops[k] wide and the
// last one reaches the right limit. Grid lines take the pixel between two
// columns and the one below the band, which the layout added to the row.
void draw_tab_row(TextDisplay* d, int32_t r) {
  const DisplayLine& w = d->lines[static_cast<size_t>(r)];
  DrawSurface* ps = d->surface;
  const int32_t top = d->text_top + r * d->line_height;
  const int32_t bottom = top + d->base_line_height;
  const int32_t y = top + d->text_top_offset;
  const int32_t limit = right_limit(d);
  const bool grid = !(d->tab_option & 1);
  uint32_t fg, bg;
  slot_colours(w.default_attr, &fg, &bg);
  int32_t x = w.start_x;
  int32_t i = 0;
  for (int32_t k = 0; x < limit; ++k) {
    int32_t j = i;
    while (j < w.length && w.chars[j] != kTab) ++j;
    const bool last = j >= w.length;
    const int32_t right = last ? limit : x + (k < kDispTabStops ? d->tab_stops[static_cast<size_t>(k)] : 0);
    const int32_t left = std::max(x, d->text_left);
    const int32_t clip = std::min(right, limit);
    if (left < clip)
      ps->draw_text(x, y, std::string_view(reinterpret_cast<const char*>(w.chars + i), static_cast<size_t>(j - i)), fg,
                    bg, left, top, clip, bottom, true);
    if (last) break;
    if (grid && right >= d->text_left && right < limit)
      ps->line(right, top, right, top + d->line_height - 1, kGridColour);
    x = right + (grid ? 1 : 0);
    i = j + 1;
  }
  if (grid && d->line_height > d->base_line_height && d->text_left < limit)
    ps->line(d->text_left, bottom, limit - 1, bottom, kGridColour);
}

// Copies cells start .. end-1 of wanted row r into the shown line.
void copy_shown(TextDisplay* d, int32_t r, int32_t start, int32_t end) {
  if (end <= start) return;
  const DisplayLine& w = d->lines[static_cast<size_t>(r)];
  DisplayLine& s = d->shown[static_cast<size_t>(r)];
  std::memcpy(s.chars + start, w.chars + start, static_cast<size_t>(end - start));
  std::memcpy(s.attrs + start, w.attrs + start, static_cast<size_t>(end - start) * sizeof(uint16_t));
}

// The end of a final run: the strip left of the line's start in its
// default background, and the shown line takes the wanted one's measures.
void settle_row(TextDisplay* d, int32_t r, uint32_t bg) {
  const DisplayLine& w = d->lines[static_cast<size_t>(r)];
  DisplayLine& s = d->shown[static_cast<size_t>(r)];
  const int32_t top = d->text_top + r * d->line_height;
  if (w.start_x > d->text_left) d->surface->fill_rect(d->text_left, top, w.start_x, top + d->line_height, bg);
  s.length = w.length;
  s.start_x = w.start_x;
  s.default_attr = w.default_attr;
  s.state = w.state;
}

// Draws cells start .. start+count-1 of wanted row r and copies them into the
// shown line; final also clears the rest of the row and settles the line.
// With tab stops every column depends on the tabs before it: the row is
// always drawn whole.
void draw_run(TextDisplay* d, int32_t r, int32_t start, int32_t count, bool final) {
  DisplayLine& w = d->lines[static_cast<size_t>(r)];
  uint32_t fg, bg;
  if (d->tab_stops) {
    draw_tab_row(d, r);
    copy_shown(d, r, 0, w.length);
    slot_colours(w.default_attr, &fg, &bg);
    return settle_row(d, r, bg);
  }
  DrawSurface* ps = d->surface;
  const int32_t top = d->text_top + r * d->line_height;
  const int32_t bottom = top + d->line_height;
  const int32_t y = top + d->text_top_offset;
  const int32_t limit = right_limit(d);
  const bool opaque = d->line_height != d->font_height;
  int32_t x = w.start_x + cells_width(d, w.chars, start);
  int32_t i = start;
  const int32_t end = std::min(start + count, w.length);
  while (i < end) {
    int32_t j = i + 1;
    while (j < end && w.attrs[j] == w.attrs[i]) ++j;
    slot_colours(w.attrs[i], &fg, &bg);
    const int32_t width = cells_width(d, w.chars + i, j - i);
    const int32_t left = std::max(x, d->text_left);
    const int32_t right = std::clamp(x + width, d->text_left, limit);
    if (left < right)
      ps->draw_text(x, y, std::string_view(reinterpret_cast<const char*>(w.chars + i), static_cast<size_t>(j - i)), fg,
                    bg, left, top, right, bottom, opaque);
    x += width;
    i = j;
  }
  copy_shown(d, r, start, end);
  if (!final) return;
  slot_colours(w.default_attr, &fg, &bg);
  const int32_t text_end = std::max(w.start_x + cells_width(d, w.chars, w.length), d->text_left);
  if (text_end < limit) ps->fill_rect(text_end, top, limit, bottom, bg);
  settle_row(d, r, bg);
}

bool same_cells(const DisplayLine& a, const DisplayLine& b) {
  return a.length == b.length && std::memcmp(a.chars, b.chars, static_cast<size_t>(a.length)) == 0 &&
         std::memcmp(a.attrs, b.attrs, static_cast<size_t>(a.length) * sizeof(uint16_t)) == 0;
}

void update_row(TextDisplay* d, int32_t r) {
  DisplayLine& w = d->lines[static_cast<size_t>(r)];
  DisplayLine& s = d->shown[static_cast<size_t>(r)];
  if (s.start_x != w.start_x) return draw_run(d, r, 0, w.length, true);
  if (d->whole_lines || d->guide_column || d->tab_stops) {
    if (same_cells(w, s) && w.default_attr == s.default_attr && d->hscroll == d->shown_hscroll) return;
    return draw_run(d, r, 0, w.length, true);
  }
  if (same_cells(w, s)) {
    if (w.default_attr != s.default_attr) draw_run(d, r, 0, 0, true);
    return;
  }
  const int32_t n = std::min(w.length, s.length);
  int32_t run_first = -1, run_last = -1;
  for (int32_t c = 0; c < n; ++c) {
    if (w.chars[c] != s.chars[c]) {
      if (run_first >= 0) draw_run(d, r, run_first, run_last - run_first + 1, false);
      return draw_run(d, r, c, w.length - c, true);
    }
    if (w.attrs[c] != s.attrs[c]) {
      if (run_first < 0) run_first = c;
      run_last = c;
    }
  }
  bool run_final = false;
  if (run_first >= 0) {
    run_final = s.length > w.length;
    draw_run(d, r, run_first, run_last - run_first + 1, run_final);
  }
  if (w.length > s.length) {
    draw_run(d, r, s.length, w.length - s.length, true);
  } else if (run_first < 0 || (!run_final && w.default_attr != s.default_attr)) {
    draw_run(d, r, 0, 0, true);
  } else if (!run_final) {
    s.length = w.length;
  }
}

}  // namespace

int32_t disp_border_inset(int style) {
  switch (style) {
    case 2:
      return 1;
    case 4:
    case 8:
      return 2;
    case 16:
      return 5;
    case 32:
      return 3;
    default:
      return 0;
  }
}

int disp_layout(TextDisplay* d, DrawSurface* surface, int32_t left_margin, int32_t top_margin, int border_style) {
  if (!surface) return 1;
  d->surface = surface;
  const SurfaceMetrics m = surface->metrics();
  surface->char_widths(d->char_widths);
  d->font_height = std::max(m.height, 2);
  d->char_width = std::max(m.avg_width, 2);
  d->line_height = d->font_height;
  d->base_line_height = d->line_height;
  d->laid_tabs = tab_layout(d);
  if (d->laid_tabs == 3) ++d->line_height;  // the grid line below each row
  d->text_top_offset = 0;
  d->fixed_pitch = m.fixed_pitch ? 1 : 0;
  d->whole_lines = m.overhang_italic ? 1 : 0;
  d->border_style = static_cast<uint8_t>(border_style);
  const int32_t inset = disp_border_inset(border_style);
  const int32_t right = std::max(surface->client_width() - inset, inset);
  const int32_t bottom = std::max(surface->client_height() - inset, inset);
  d->area_width = right - inset;
  d->area_height = bottom - inset;
  d->text_top = top_margin + inset;
  d->text_left = left_margin + inset;
  d->rows = std::max((bottom - d->text_top) / d->line_height, 1);
  d->columns = std::max((right - d->text_left) / d->char_width, 2);
  if (d->fixed_pitch) {
    d->line_capacity = d->area_width / d->char_width + 1;
  } else {
    int32_t w = std::max<int32_t>(
        1, static_cast<int32_t>(
               std::min({d->char_widths[uint8_t{':'}], d->char_widths[uint8_t{'i'}], d->char_widths[uint8_t{'l'}]})));
    d->line_capacity = d->area_width / w * 2 + 2;
  }
  if (d->tab_stops) d->line_capacity *= 2;  // a column cuts its text: more of it may be held than shows
  d->line_capacity = std::max(d->line_capacity, 2);
  d->line_count = d->rows + 1;
  const size_t cap = static_cast<size_t>(d->line_capacity);
  const size_t per_line = cap * 2 + ((cap + 1) & ~size_t{1});  // attributes first, kept 2-byte aligned
  d->cells.assign(per_line * static_cast<size_t>(d->line_count) * 2, 0);
  d->lines.assign(static_cast<size_t>(d->line_count), DisplayLine{});
  d->shown.assign(static_cast<size_t>(d->line_count), DisplayLine{});
  uint8_t* p = d->cells.data();
  for (auto* arr : {&d->lines, &d->shown}) {
    for (auto& l : *arr) {
      l.attrs = reinterpret_cast<uint16_t*>(p);
      l.chars = p + cap * 2;
      p += per_line;
    }
  }
  for (auto& s : d->shown) s.start_x = kForceRedraw;
  for (int b = 0; b < 256; ++b) d->glyphs[b] = plain_glyph(d, b);
  if (d->tab_stops) d->glyphs[kTab] = kTab;  // the column separator stays
  d->dirty_first = 0;
  d->dirty_last = d->line_count - 1;
  return 0;
}

void disp_destroy(TextDisplay* d) {
  disp_caret_hide(d);
  d->lines.clear();
  d->shown.clear();
  d->cells.clear();
  d->tab_stops.reset();
  d->surface = nullptr;
}

void disp_begin_line(TextDisplay* d, int32_t row, int32_t start_x, int32_t state) {
  if (!valid_row(d, row)) return;
  DisplayLine& l = d->lines[static_cast<size_t>(row)];
  l.length = 0;
  l.start_x = start_x;
  l.state = state;
  widen(d, row);
}

void disp_set_line_attr(TextDisplay* d, int32_t row, uint16_t attr) {
  if (!valid_row(d, row)) return;
  d->lines[static_cast<size_t>(row)].default_attr = attr;
  widen(d, row);
}

void disp_put_text(TextDisplay* d, int32_t row, const char* text, int32_t count, uint16_t attr) {
  if (!valid_row(d, row) || count == 0) return;
  DisplayLine& l = d->lines[static_cast<size_t>(row)];
  const bool repeat = count < 0;
  int32_t n = std::min(repeat ? -count : count, d->line_capacity - l.length);
  for (int32_t i = 0; i < n; ++i) {
    l.chars[l.length + i] = d->glyphs[static_cast<uint8_t>(text[repeat ? 0 : i])];
    l.attrs[l.length + i] = attr;
  }
  l.length += std::max(n, 0);
  widen(d, row);
}

void disp_put_cells(TextDisplay* d, int32_t row, const char* text, int32_t count, const uint16_t* attrs) {
  if (!valid_row(d, row) || count <= 0) return;
  DisplayLine& l = d->lines[static_cast<size_t>(row)];
  const int32_t n = std::min(count, d->line_capacity - l.length);
  for (int32_t i = 0; i < n; ++i) {
    l.chars[l.length + i] = d->glyphs[static_cast<uint8_t>(text[i])];
    l.attrs[l.length + i] = attrs[i];
  }
  l.length += std::max(n, 0);
  widen(d, row);
}

void disp_set_cell_attr(TextDisplay* d, int32_t column, int32_t row, uint16_t attr) {
  if (!valid_row(d, row) || column < 0 || column >= d->line_capacity) return;
  DisplayLine& l = d->lines[static_cast<size_t>(row)];
  while (l.length <= column) {
    l.chars[l.length] = ' ';
    l.attrs[l.length++] = l.default_attr;
  }
  l.attrs[column] = attr;
  widen(d, row);
}

void disp_update(TextDisplay* d, int32_t line_count) {
  if (d->lines.empty() || !d->surface) return;
  d->dirty_last = std::min(d->dirty_last, std::min(line_count, d->line_count) - 1);
  d->dirty_first = std::max(d->dirty_first, 0);
  if (d->dirty_first > d->dirty_last) return;
  const bool caret = d->caret_shown && !d->caret_defer;
  if (caret) d->surface->caret_hide();
  for (int32_t r = d->dirty_first; r <= d->dirty_last; ++r) update_row(d, r);
  if (d->guide_column) {
    const DisplayLine& first = d->lines[static_cast<size_t>(d->dirty_first)];
    const int32_t x = d->text_left + d->guide_column * d->char_width - d->hscroll - 1;
    if (x >= first.start_x)
      d->surface->line(x, d->text_top + d->dirty_first * d->line_height, x,
                       d->text_top + (d->dirty_last + 1) * d->line_height - 1, 0x808080);
  }
  d->shown_hscroll = d->hscroll;
  d->dirty_first = d->line_count;
  d->dirty_last = d->line_count - 1;
  if (caret) d->surface->caret_show();
}

void disp_invalidate_rows(TextDisplay* d, int32_t top, int32_t bottom) {
  if (d->lines.empty() || d->line_height <= 0 || bottom <= top) return;
  for (int32_t r = 0; r < d->line_count; ++r) {
    const int32_t rt = d->text_top + r * d->line_height;
    if (rt < bottom && rt + d->line_height > top) {
      d->shown[static_cast<size_t>(r)].start_x = kForceRedraw;
      widen(d, r);
    }
  }
}

int32_t disp_text_width(const TextDisplay* d, const char* text, int32_t count) {
  return cells_width(d, reinterpret_cast<const uint8_t*>(text), count);
}

int32_t disp_col_from_x(const TextDisplay* d, const char* text, int32_t length, int32_t scroll, int32_t x,
                        int32_t* out_x) {
  const int32_t vis = d->text_left;
  const int32_t skip = std::max(scroll, 0);
  x = std::clamp(x, vis, std::max(vis, d->area_width - 1));
  const int32_t p = x + skip - vis;
  if (d->fixed_pitch) {
    if (out_x) *out_x = vis - skip % d->char_width;
    return p / d->char_width;
  }
  // Cells past the text count as blanks; a blank of width 0 would never
  // reach p, so the walk is bounded.
  const int32_t blank = static_cast<int32_t>(d->char_widths[uint8_t{' '}]);
  int32_t col = 0, w = 0;
  const int32_t bound = length + p + 1;
  while (col < bound) {
    const int32_t cw = col < length ? static_cast<int32_t>(d->char_widths[static_cast<uint8_t>(text[col])]) : blank;
    if (p < w + cw || (col >= length && cw == 0)) break;
    w += cw;
    ++col;
  }
  if (out_x) *out_x = vis - (p - w);
  return col;
}

void disp_set_guide_column(TextDisplay* d, int32_t column) {
  d->guide_column = d->fixed_pitch && column >= 1 && column <= 255 ? static_cast<uint8_t>(column) : 0;
}

void disp_set_tab_stop(TextDisplay* d, int32_t n, int32_t width) {
  if (n == -1) {
    d->tab_option = static_cast<uint8_t>(width);
    return;
  }
  if (n < 0 || n >= kDispTabStops) return;
  if (!d->tab_stops) {
    d->tab_stops.reset(new (std::nothrow) uint16_t[kDispTabStops]());
    if (!d->tab_stops) return;
    d->glyphs[kTab] = kTab;
  }
  d->tab_stops[static_cast<size_t>(n)] = static_cast<uint16_t>(std::clamp(width, 0, 0xffff));
}

int32_t disp_get_tab_stop(TextDisplay* d, int32_t n) {
  if (n == -1) return d->tab_option;
  if (n == -2) {
    d->tab_stops.reset();
    d->glyphs[kTab] = plain_glyph(d, kTab);
    return 0;
  }
  if (n < 0 || n >= kDispTabStops || !d->tab_stops) return 0;
  return d->tab_stops[static_cast<size_t>(n)];
}

bool disp_needs_layout(const TextDisplay* d) { return !d->lines.empty() && tab_layout(d) != d->laid_tabs; }

void disp_caret_create(TextDisplay* d, int32_t width, int shape_flag) {
  if (d->lines.empty() || !d->surface || !d->surface->has_focus()) return;
  if (d->caret_shown) {
    d->surface->caret_hide();
    d->surface->caret_destroy();
  }
  d->caret_y_offset = 0;
  d->surface->caret_create(width ? width : kDefaultCaretWidth, d->line_height, shape_flag ? 1 : 2);
  d->surface->caret_move(d->caret_x, d->caret_y);
  if (d->caret_defer)
    ++d->caret_defer;
  else
    d->surface->caret_show();
  d->caret_shown = 1;
}

void disp_caret_move(TextDisplay* d, int32_t x, int32_t y) {
  if (d->lines.empty() || !d->surface || y < 0) return;
  d->surface->caret_move(x, y + d->caret_y_offset);
  d->caret_x = x;
  d->caret_y = y;
}

void disp_caret_hide(TextDisplay* d) {
  if (!d->caret_shown || !d->surface) return;
  d->surface->caret_hide();
  d->surface->caret_destroy();
  d->caret_shown = 0;
}

void disp_caret_defer_begin(TextDisplay* d) { d->caret_defer = 1; }

void disp_caret_defer_end(TextDisplay* d) {
  if (d->caret_defer > 1 && d->caret_shown && d->surface) d->surface->caret_show();
  d->caret_defer = 0;
}
