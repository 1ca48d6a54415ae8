#include "display/refresh.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "display/colours.h"
#include "display/lexer.h"
#include "display/recolour.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/selection.h"
#include "text/tab_columns.h"
#include "text/tabs.h"

namespace {

constexpr uint16_t kTextSlot = 1;
constexpr uint16_t kCommentSlot = 20;
constexpr uint16_t kStringSlot = 19;
constexpr uint16_t kSelectionSlot = 0;

// The active selection as rows draw it: its kind, its first and last lines
// and the columns on them (display columns from 0, the last inclusive).
struct SelDraw {
  uint8_t kind = kSelNone;
  const PosRecord* first = nullptr;
  const PosRecord* last = nullptr;
  int32_t first_col = 0, last_col = 0;
};

SelDraw selection_in(const BufferRec* buf) {
  SelDraw s;
  SelectionMarks* sel = sel_active_peek();
  if (!sel || !sel->begin || sel_buffer(sel) != buf) return s;
  const uint8_t kind = sel_kind(sel);
  if (kind == kSelNone) return s;
  const PosRecord* a = sel->begin;
  const PosRecord* b = sel->end ? sel->end : sel->begin;
  if (pos_compare(a, b) > 0 || (pos_compare(a, b) == 0 && a->column > b->column)) std::swap(a, b);
  s.kind = kind;
  s.first = a;
  s.last = b;
  s.first_col = a->column;
  s.last_col = b->column;
  if (kind == kSelChar && (sel->begin->kind[2] & kSelExclusive)) --s.last_col;
  if (kind == kSelBlock && s.first_col > s.last_col) std::swap(s.first_col, s.last_col);
  return s;
}

// One row from the line at pos (null: past the end of the buffer).
void build_row(EditorDisplay* ed, int32_t row, PosRecord* pos, BufferRec* buf, bool is_cursor, const SelDraw& sel) {
  TextDisplay* d = &ed->disp;
  disp_begin_line(d, row, d->text_left, 0);
  disp_set_line_attr(d, row, kTextSlot);
  ++ed->rows_built;
  if (!pos) return;
  const uint8_t* t = nullptr;
  LineInfo info;
  int32_t len = line_get_ptr(t, pos, buf, &info);
  if (len < 0) return;
  const int start_state = info.flags & 15;
  if (is_cursor && current_line.dirty && current_line.buffer == buf) {
    t = reinterpret_cast<const uint8_t*>(current_line.text.text);
    len = current_line.text.len;
  }
  LStrBuf<LSTR_CAP_LINE> text;
  const std::string_view raw(reinterpret_cast<const char*>(t), static_cast<size_t>(len));
  const TabStops ts = tab_stops_of(buf);
  if (ts.expand && raw.find('\t') != std::string_view::npos)
    tab_expand_range(reinterpret_cast<LStr*>(&text), LSTR_CAP_LINE, raw, 1, -1, 'E', ts);
  else
    text.assign(raw);
  uint16_t attrs[LSTR_CAP_LINE];
  int end_state = 0;
  if (buf->lexer && buf->record_len < 2) {
    lex_set_class_attr(0, kTextSlot);
    lex_select(buf->lexer);
    end_state = lex_colour_line(reinterpret_cast<const uint8_t*>(text.text), text.len, attrs, start_state);
  } else {
    std::fill(attrs, attrs + text.len, kTextSlot);
  }
  // A row that ends inside a comment or a string keeps its colour to the edge.
  uint16_t row_attr = kTextSlot;
  if (end_state >= 13)
    row_attr = kStringSlot;
  else if (end_state != 0 && end_state != kStateLineComment)
    row_attr = kCommentSlot;
  if (sel.kind != kSelNone && pos_compare(pos, sel.first) >= 0 && pos_compare(pos, sel.last) <= 0) {
    const bool on_first = pos_compare(pos, sel.first) == 0, on_last = pos_compare(pos, sel.last) == 0;
    int32_t from = 0, to = -1;  // to -1: to the row's end
    if (sel.kind == kSelBlock) {
      from = sel.first_col;
      to = sel.last_col;
    } else if (sel.kind == kSelChar) {
      from = on_first ? sel.first_col : 0;
      to = on_last ? sel.last_col : -1;
    }
    if (to < 0) row_attr = kSelectionSlot;  // the highlight runs to the row's end
    // Selected columns past the text show as selected blanks.
    const int32_t want = std::min<int32_t>(to < 0 ? from : to + 1, LSTR_CAP_LINE);
    while (text.len < want) {
      attrs[text.len] = kTextSlot;
      text.text[text.len++] = ' ';
    }
    const int32_t end = to < 0 ? text.len : std::min(to + 1, text.len);
    for (int32_t c = std::max(from, 0); c < end; ++c) attrs[c] = kSelectionSlot;
  }
  const int32_t first = std::min(ed->first_col, text.len);
  disp_put_cells(d, row, text.text + first, text.len - first, attrs + first);
  if (row_attr != kTextSlot) disp_set_line_attr(d, row, row_attr);
}

}  // namespace

bool view_scroll_to_cursor(EditorDisplay* ed) {
  const PosRecord* v = ed->window ? ed->window->view : nullptr;
  if (!v) return false;
  const int32_t cols = std::max(ed->disp.columns, 1);
  const int32_t old = ed->first_col;
  if (v->column < ed->first_col)
    ed->first_col = v->column;
  else if (v->column >= ed->first_col + cols)
    ed->first_col = v->column - cols + 1;
  return ed->first_col != old;
}

void disp_draw_window(EditorDisplay* ed, bool cursor_only) {
  TextDisplay* d = &ed->disp;
  PosRecord* view = ed->window ? ed->window->view : nullptr;
  ed->rows_built = 0;
  if (!view || !view->buffer || d->lines.empty()) return;
  BufferRec* buf = view->buffer;
  if (buf->lexer && buf->record_len < 2 && lex_recolour(buf) == 0) cursor_only = false;
  if (view_scroll_to_cursor(ed)) cursor_only = false;
  // A selection, or one just gone, can change rows the cursor never visited.
  const SelDraw sel = selection_in(buf);
  if (sel.kind != kSelNone || ed->selection_drawn) cursor_only = false;
  ed->selection_drawn = sel.kind != kSelNone;
  // The top row's line: the cursor row's lines above the cursor line. With
  // fewer lines above than the row, the row follows the lines there are and
  // the window is still drawn.
  PosRecord top{};
  pos_copy_place(&top, view);
  top.buffer = buf;
  int32_t row = std::clamp(view->row, 0, d->rows - 1);
  int32_t above = 0;
  while (above < row && pos_prev_line(&top, buf) == 0) {
    int64_t point = 0;
    int32_t zeros = 0;
    if (pos_get_point(point, zeros, &top) == 0 && point < 0) {  // the top-of-file line is not shown here
      pos_next_line(&top, buf);
      break;
    }
    ++above;
  }
  if (above < row) {
    row = above;
    view->row = row;
  }
  if (cursor_only && ed->last_cursor_row >= 0) {
    const int32_t last = ed->last_cursor_row;
    build_row(ed, row, view, buf, true, sel);
    if (last != row && last >= 0 && last < d->line_count) {
      PosRecord p{};
      pos_copy_place(&p, view);
      p.buffer = buf;
      bool ok = true;
      for (int32_t k = row; k < last && ok; ++k) ok = pos_next_line(&p, buf) == 0;
      for (int32_t k = row; k > last && ok; --k) ok = pos_prev_line(&p, buf) == 0;
      build_row(ed, last, ok ? &p : nullptr, buf, false, sel);
    }
  } else {
    bool more = true;
    for (int32_t r = 0; r < d->line_count; ++r) {
      build_row(ed, r, more ? &top : nullptr, buf, r == row, sel);
      if (more) more = pos_next_line(&top, buf) == 0;
    }
  }
  ed->last_cursor_row = row;
  disp_caret_defer_begin(d);
  disp_update(d, d->line_count);
  d->caret_x = d->text_left + (view->column - ed->first_col) * d->char_width;
  d->caret_y = d->text_top + row * d->line_height;
  disp_caret_create(d, 0, 0);
  disp_caret_defer_end(d);
}
