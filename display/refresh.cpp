#include "display/refresh.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "display/colours.h"
#include "display/lexer.h"
#include "display/msgline.h"
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
constexpr uint16_t kCursorLineSlot = 2, kCursorLineSelSlot = 3;
constexpr uint16_t kChangedSlot = 12, kInsertedSlot = 13;

// The redraw requests this refresh reads.
constexpr uint32_t kOthers = 0x0001, kWhole = 0x0002, kLineField = 0x0008, kColField = 0x0010, kCaption = 0x0020,
                   kCursorLine = 0x0040, kModeField = 0x0080, kStatusAll = 0x0200, kCaret = 0x2000,
                   kAllOnBuffer = 0x8000;

// Byte points at or below this count lines on the vertical bar; above it, bytes.
constexpr int64_t kLineModeLimit = 7999;
constexpr int32_t kBarLimit = 32000;
// Files up to this size have their lines counted for the status line.
constexpr int64_t kCountedStatusBytes = 16 << 20;

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

bool is_top_of_file(const PosRecord* p, const BufferRec* buf) { return p->block == buf->first_block && p->index == 0; }

// A working copy of a place in the buffer (not linked into its ring).
PosRecord place_of(const PosRecord* src, BufferRec* buf) {
  PosRecord p{};
  pos_copy_place(&p, src);
  p.buffer = buf;
  return p;
}

// The line's text as the current-line buffer holds it, when it does.
bool in_current_line(const PosRecord* pos, const BufferRec* buf) {
  return current_line.dirty && current_line.buffer == buf && current_line.view &&
         pos_same_place(pos, current_line.view);
}

// One row from the line at pos (null: past the end of the buffer).
void build_row(EditorDisplay* ed, int32_t row, PosRecord* pos, BufferRec* buf, bool is_cursor, const SelDraw& sel) {
  TextDisplay* d = &ed->disp;
  disp_begin_line(d, row, d->text_left, 0);
  disp_set_line_attr(d, row, kTextSlot);
  ++ed->rows_built;
  if (!pos) return;
  // The top-of-file line: its own text in the text colour, never coloured.
  if (is_top_of_file(pos, buf)) {
    const std::string_view t(kTopOfFileText);
    const int32_t first = std::min<int32_t>(ed->first_col, static_cast<int32_t>(t.size()));
    disp_put_text(d, row, t.data() + first, static_cast<int32_t>(t.size()) - first, kTextSlot);
    return;
  }
  const uint8_t* t = nullptr;
  LineInfo info;
  int32_t len = line_get_ptr(t, pos, buf, &info);
  if (len < 0) return;
  uint16_t flags = info.flags;
  const int start_state = flags & 15;
  if (in_current_line(pos, buf)) {
    t = reinterpret_cast<const uint8_t*>(current_line.text.text);
    len = current_line.text.len;
    flags |= kLineChanged;
  }
  uint16_t text_attr = kTextSlot, sel_attr = kSelectionSlot;
  if (is_cursor && (buf->display_byte & kDispCursorLine)) text_attr = kCursorLineSlot, sel_attr = kCursorLineSelSlot;
  bool coded = buf->lexer && buf->record_len < 2;
  // Marked lines show in their own colour, without colour coding.
  if (buf->display_byte & kDispChangedLines) {
    if (flags & kLineInserted)
      text_attr = kInsertedSlot;
    else if (flags & kLineChanged)
      text_attr = kChangedSlot;
    if (text_attr == kInsertedSlot || text_attr == kChangedSlot) coded = false;
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
  if (coded) {
    lex_set_class_attr(0, text_attr);
    lex_select(buf->lexer);
    end_state = lex_colour_line(reinterpret_cast<const uint8_t*>(text.text), text.len, attrs, start_state);
    lex_set_class_attr(0, kTextSlot);
  } else {
    std::fill(attrs, attrs + text.len, text_attr);
  }
  // A row that ends inside a comment or a string keeps its colour to the edge.
  uint16_t row_attr = text_attr;
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
    if (to < 0) row_attr = sel_attr;  // the highlight runs to the row's end
    // Selected columns past the text show as selected blanks.
    const int32_t want = std::min<int32_t>(to < 0 ? from : to + 1, LSTR_CAP_LINE);
    while (text.len < want) {
      attrs[text.len] = text_attr;
      text.text[text.len++] = ' ';
    }
    const int32_t end = to < 0 ? text.len : std::min(to + 1, text.len);
    for (int32_t c = std::max(from, 0); c < end; ++c) attrs[c] = sel_attr;
  }
  const int32_t first = std::min(ed->first_col, text.len);
  disp_put_cells(d, row, text.text + first, text.len - first, attrs + first);
  if (row_attr != kTextSlot) disp_set_line_attr(d, row, row_attr);
}

int32_t window_rows(const EditorDisplay* ed) { return std::max(ed->disp.rows, 1); }

// The first line a window may show at its top.
void first_shown(PosRecord* p, BufferRec* buf, bool tof) {
  if (tof)
    pos_top(p, buf);
  else
    pos_first_line(p, buf);
}

// The top line of the buffer's last page.
PosRecord last_page_top(EditorDisplay* ed, BufferRec* buf, bool tof) {
  PosRecord p{};
  p.buffer = buf;
  pos_last_line(&p, buf);
  for (int32_t k = 1; k < window_rows(ed); ++k) {
    PosRecord q = p;
    if (pos_prev_line(&q, buf) != 0 || (!tof && is_top_of_file(&q, buf))) break;
    p = q;
  }
  return p;
}

int64_t point_of(PosRecord* p, int32_t* zeros = nullptr) {
  int64_t point = 0;
  int32_t z = 0;
  pos_get_point(point, z, p);
  if (zeros) *zeros = z;
  return point;
}

// The cursor's row among the rows from top, -1 when it is not there.
int32_t cursor_row_from(EditorDisplay* ed, const PosRecord* top, BufferRec* buf) {
  const PosRecord* v = ed->window->view;
  PosRecord p = *top;
  for (int32_t r = 0; r < window_rows(ed); ++r) {
    if (pos_same_place(&p, v)) return r;
    if (pos_next_line(&p, buf) != 0) break;
  }
  return -1;
}

// The vertical bar of a window whose top line is top, and the horizontal one.
void set_scroll_bars(EditorDisplay* ed, PosRecord* top, BufferRec* buf, bool tof) {
  if (!ed->chrome || !ed->chrome->set_scroll_bars) return;
  ScrollBar v{0, 0, 0, 0, 1};
  const int32_t rows = window_rows(ed);
  if (rows > 2) {
    PosRecord last = last_page_top(ed, buf, tof);
    const int64_t last_point = point_of(&last);
    VScrollInput in{};
    in.rows = rows;
    in.top_of_file = tof;
    in.record_len = buf->record_len;
    in.top_point = point_of(top);
    if (last_point > kLineModeLimit) {
      in.last_page_point = last_point;
    } else {
      // A short buffer: the bar counts lines.
      pos_line_number(&last, buf, 1);
      PosRecord t = *top;
      pos_line_number(&t, buf, 1);
      PosRecord end{};
      end.buffer = buf;
      pos_last_line(&end, buf);
      pos_line_number(&end, buf, 1);
      in.last_page_point = last.line;
      in.top_line = t.line;
      in.line_count = end.line;
      PosRecord p = *top;
      in.visible = 1;
      while (in.visible < rows && pos_next_line(&p, buf) == 0) ++in.visible;
    }
    v = disp_vscroll_range(in);
  }
  const int32_t hpos = disp_hscroll_pos(ed->first_col * std::max(ed->disp.char_width, 1), ed->chrome->pixels_per_inch);
  const ScrollBar h{0, kBarLimit, 1, hpos, 1};
  const bool same = ed->bars_set && v.min == ed->vbar.min && v.max == ed->vbar.max && v.page == ed->vbar.page &&
                    v.pos == ed->vbar.pos && v.scale == ed->vbar.scale && h.pos == ed->hbar.pos;
  ed->vbar = v;
  ed->hbar = h;
  if (same) return;
  ed->bars_set = true;
  ed->chrome->set_scroll_bars(ed, v, h);
}

}  // namespace

bool view_scroll_to_cursor(EditorDisplay* ed) {
  const PosRecord* v = ed->window ? ed->window->view : nullptr;
  if (!v || ed->scrolled) return false;
  const int32_t cols = std::max(ed->disp.columns, 1);
  const int32_t old = ed->first_col;
  if (v->column < ed->first_col)
    ed->first_col = v->column;
  else if (v->column >= ed->first_col + cols)
    ed->first_col = v->column - cols + 1;
  return ed->first_col != old;
}

void view_top_position(EditorDisplay* ed, PosRecord* top) {
  PosRecord* view = ed->window->view;
  BufferRec* buf = view->buffer;
  const bool tof = view_shows_top_line(view);
  *top = place_of(view, buf);
  if (ed->scrolled) {
    if (pos_goto_point(top, ed->saved_point, ed->saved_zeros) != 0) *top = place_of(view, buf);
    if (!tof && is_top_of_file(top, buf)) pos_next_line(top, buf);
    return;
  }
  // The cursor row's lines above the cursor line. With fewer lines above
  // than the row, the row follows the lines there are.
  const int32_t row = std::clamp(view->row, 0, window_rows(ed) - 1);
  int32_t above = 0;
  while (above < row && pos_prev_line(top, buf) == 0) {
    if (!tof && is_top_of_file(top, buf)) {
      pos_next_line(top, buf);
      break;
    }
    ++above;
  }
  if (above < row) view->row = above;
}

void disp_draw_window(EditorDisplay* ed, bool cursor_only) {
  TextDisplay* d = &ed->disp;
  PosRecord* view = ed->window ? ed->window->view : nullptr;
  ed->rows_built = 0;
  if (!view || !view->buffer || d->lines.empty()) return;
  BufferRec* buf = view->buffer;
  const bool tof = view_shows_top_line(view);
  if (ed->whole_pending) cursor_only = false;
  ed->whole_pending = false;
  if (buf->lexer && buf->record_len < 2 && lex_recolour(buf) == 0) cursor_only = false;
  if (view_scroll_to_cursor(ed)) cursor_only = false;
  // A selection, or one just gone, can change rows the cursor never visited.
  const SelDraw sel = selection_in(buf);
  if (sel.kind != kSelNone || ed->selection_drawn) cursor_only = false;
  ed->selection_drawn = sel.kind != kSelNone;
  PosRecord top{};
  view_top_position(ed, &top);
  int32_t top_zeros = 0;
  const int64_t top_point = point_of(&top, &top_zeros);
  if (top_point != ed->top_point || top_zeros != ed->top_zeros) cursor_only = false;
  const int32_t row = ed->scrolled ? cursor_row_from(ed, &top, buf) : std::clamp(view->row, 0, window_rows(ed) - 1);
  if (cursor_only && ed->last_cursor_row >= 0 && row >= 0) {
    const int32_t last = ed->last_cursor_row;
    build_row(ed, row, view, buf, true, sel);
    if (last != row && last < d->line_count) {
      PosRecord p = place_of(view, buf);
      bool ok = true;
      for (int32_t k = row; k < last && ok; ++k) ok = pos_next_line(&p, buf) == 0;
      for (int32_t k = row; k > last && ok; --k) ok = pos_prev_line(&p, buf) == 0;
      build_row(ed, last, ok ? &p : nullptr, buf, false, sel);
    }
  } else {
    ed->top_point = top_point;
    ed->top_zeros = top_zeros;
    set_scroll_bars(ed, &top, buf, tof);
    PosRecord p = top;
    bool more = true;
    for (int32_t r = 0; r < d->line_count; ++r) {
      build_row(ed, r, more ? &p : nullptr, buf, r == row, sel);
      if (more) more = pos_next_line(&p, buf) == 0;
    }
  }
  ed->last_cursor_row = row;
  ed->cursor_row_shown = row;
  disp_caret_defer_begin(d);
  disp_update(d, d->line_count);
  if (row >= 0 && view->column >= ed->first_col) {
    d->caret_x = d->text_left + (view->column - ed->first_col) * d->char_width;
    d->caret_y = d->text_top + row * d->line_height;
    disp_caret_create(d, 0, 0);
  } else {
    disp_caret_hide(d);  // the cursor is scrolled out of sight
  }
  disp_caret_defer_end(d);
}

// ---- the refresh of every window ----

std::string disp_window_caption(const EditorDisplay* ed) {
  const PosRecord* v = ed->window ? ed->window->view : nullptr;
  const BufferRec* b = v ? v->buffer : nullptr;
  if (!b) return {};
  const char state = ed->chrome && ed->chrome->state ? ed->chrome->state(ed) : 'N';
  const bool modified = b->modified || (current_line.dirty && current_line.buffer == b);
  return disp_buffer_caption(b->name.view(), b->handle, state, modified);
}

void disp_update_caption(EditorDisplay* ed) {
  std::string c = disp_window_caption(ed);
  if (c == ed->caption) return;
  ed->caption = std::move(c);
  if (ed->chrome && ed->chrome->set_caption) ed->chrome->set_caption(ed, ed->caption);
}

void disp_refresh_windows(std::span<EditorDisplay* const> windows, EditorDisplay* current) {
  const BufferRec* cur_buf =
      current && current->window && current->window->view ? current->window->view->buffer : nullptr;
  const uint32_t bits = redraw_bits;
  // Other windows: those on another buffer that changed, and those on the
  // current buffer when its lines or its caption changed. Their cursor line
  // is not the edited line, so they are drawn whole (only differing cells
  // reach the screen).
  for (EditorDisplay* ed : windows) {
    if (ed == current || !ed->window || !ed->window->view) continue;
    BufferRec* b = ed->window->view->buffer;
    if (!b) continue;
    const bool due =
        b == cur_buf ? (bits & (kAllOnBuffer | kCursorLine | kCaption | kOthers | kWhole)) != 0 : b->redraw != 0;
    if (!due) continue;
    disp_update_caption(ed);
    disp_draw_window(ed, false);
  }
  if (current && current->window && current->window->view) {
    disp_update_caption(current);
    disp_draw_window(current, !(bits & (kWhole | kAllOnBuffer)));
  }
  for (EditorDisplay* ed : windows)
    if (ed->window && ed->window->view && ed->window->view->buffer) ed->window->view->buffer->redraw = 0;
  redraw_bits &= ~(kAllOnBuffer | kCursorLine | kWhole | kOthers | kCaption | kCaret);
  // The status-line fields follow the current window's cursor.
  if (redraw_bits & kStatusAll) redraw_bits |= kLineField | kColField | kModeField;
  const PosRecord* v = current && current->window ? current->window->view : nullptr;
  StatusFields& f = status_fields();
  if (v && v->buffer) {
    PosRecord p = place_of(v, v->buffer);
    p.line = v->line;
    // A line number not known yet is counted, reading what it must, in a
    // file of moderate size; in a larger one only over pages in memory
    // (the field stays empty until they are).
    if (p.line < 0) pos_line_number(&p, v->buffer, v->buffer->bytes <= kCountedStatusBytes ? 1 : 0);
    if (p.line != f.line) status_set_line(p.line);
    if (v->column + 1 != f.column) status_set_column(v->column + 1);
    const std::string_view mode = v->buffer->locals.mode_name.view();
    if (mode != f.mode) status_set_mode(mode);
  }
  if (edit_settings.insert_mode != f.insert) status_set_insert(edit_settings.insert_mode);
  redraw_bits &= ~(kLineField | kColField | kModeField | kStatusAll);
}

// ---- scrolling without moving the cursor ----

void view_save_scroll_point(EditorDisplay* ed) {
  if (ed->scrolled || !ed->window || !ed->window->view || !ed->window->view->buffer) return;
  view_scroll_to_cursor(ed);
  PosRecord top{};
  view_top_position(ed, &top);
  ed->saved_point = point_of(&top, &ed->saved_zeros);
  ed->scrolled = true;
}

void view_restore_scroll_point(EditorDisplay* ed) {
  if (!ed->scrolled || !ed->window || !ed->window->view) return;
  PosRecord* view = ed->window->view;
  BufferRec* buf = view->buffer;
  line_flush_current();
  PosRecord top{};
  view_top_position(ed, &top);
  const int32_t row = cursor_row_from(ed, &top, buf);
  // Inside the scrolled view the window stays where the user put it;
  // otherwise it goes back to the cursor.
  if (row >= 0) view->row = row;
  ed->scrolled = false;
  ed->whole_pending = true;
  buf->redraw = 1;
  redraw_bits |= kCaret | kWhole;
}

bool view_scroll_lines(EditorDisplay* ed, int32_t n) {
  if (!ed->window || !ed->window->view || !ed->window->view->buffer || n == 0) return false;
  BufferRec* buf = ed->window->view->buffer;
  const bool tof = view_shows_top_line(ed->window->view);
  view_save_scroll_point(ed);
  PosRecord top{};
  view_top_position(ed, &top);
  const int64_t before = point_of(&top);
  if (n > 0) {
    PosRecord last = last_page_top(ed, buf, tof);
    for (int32_t k = 0; k < n && pos_compare(&top, &last) < 0; ++k)
      if (pos_next_line(&top, buf) != 0) break;
  } else {
    for (int32_t k = 0; k < -n; ++k) {
      PosRecord q = top;
      if (pos_prev_line(&q, buf) != 0 || (!tof && is_top_of_file(&q, buf))) break;
      top = q;
    }
  }
  ed->saved_point = point_of(&top, &ed->saved_zeros);
  ed->whole_pending = true;
  return ed->saved_point != before;
}

bool view_scroll_to_bar(EditorDisplay* ed, int32_t position) {
  if (!ed->window || !ed->window->view || !ed->window->view->buffer) return false;
  BufferRec* buf = ed->window->view->buffer;
  const bool tof = view_shows_top_line(ed->window->view);
  view_save_scroll_point(ed);
  const int64_t before = ed->saved_point;
  PosRecord top{};
  top.buffer = buf;
  position = std::clamp(position, ed->vbar.min, std::max(ed->vbar.max, ed->vbar.min));
  if (ed->vbar.max > 0 && point_of(&(top = last_page_top(ed, buf, tof))) > kLineModeLimit) {
    // The bar counts bytes, scaled.
    const int64_t add = tof ? (buf->record_len ? buf->record_len : 1) : 0;
    const int64_t offset = static_cast<int64_t>(position) * std::max(ed->vbar.scale, 1) - add;
    PosRecord last = top;
    if (offset < 0) {
      first_shown(&top, buf, tof);
    } else if (position >= ed->vbar.max) {
      top = last;  // the scaling rounds down: the bottom of the bar is the last page
    } else if (pos_seek_offset(&top, offset) != 0 || pos_compare(&top, &last) > 0) {
      top = last;
    }
  } else {
    first_shown(&top, buf, tof);
    PosRecord last = last_page_top(ed, buf, tof);
    pos_line_number(&last, buf, 1);
    const int32_t line = std::min(position, std::max(last.line, 0));
    if (line > 0) pos_goto_line(line, &top, buf);
  }
  if (!tof && is_top_of_file(&top, buf)) pos_next_line(&top, buf);
  ed->saved_point = point_of(&top, &ed->saved_zeros);
  ed->whole_pending = true;
  return ed->saved_point != before;
}

bool view_hscroll_columns(EditorDisplay* ed, int32_t n) {
  view_save_scroll_point(ed);
  const int32_t old = ed->first_col;
  ed->first_col = std::clamp(ed->first_col + n, 0, kTabStopEnd - 1);
  ed->whole_pending = true;
  return ed->first_col != old;
}

bool view_hscroll_to_bar(EditorDisplay* ed, int32_t position) {
  const int32_t ppi = ed->chrome ? std::max(ed->chrome->pixels_per_inch, 1) : 75;
  const int32_t pixels = static_cast<int32_t>(static_cast<int64_t>(std::max(position, 0)) * ppi / 300);
  return view_hscroll_columns(ed, pixels / std::max(ed->disp.char_width, 1) - ed->first_col);
}
