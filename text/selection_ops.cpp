// Selections, second part: handles and the active selection, following the
// cursor, kinds, going to a mark, selecting the search match, overlaying a
// block, and the clipboard text of a selection. See selection.h.

#include <algorithm>
#include <string>
#include <vector>

#include "base/messages.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/search.h"
#include "text/selection.h"
#include "text/selection_detail.h"
#include "text/store_edit.h"
#include "text/undo.h"

using namespace sel_detail;

// ---- handles and the active selection -------------------------------------------------

SelectionMarks* sel_find(int32_t handle) {
  if (handle <= 0) return nullptr;
  for (SelectionMarks* s : g_sels)
    if (s->begin->handle == handle) return s;
  return nullptr;
}

void sel_shutdown() {
  while (!g_sels.empty()) sel_free(g_sels.back());
  g_active = nullptr;
}

int32_t sel_handle(const SelectionMarks* sel) { return sel ? sel->begin->handle : 0; }

bool sel_single(const SelectionMarks* sel) { return sel && single(sel); }

void sel_make_active(SelectionMarks* sel) {
  if (!sel || sel == g_active) return;
  if (SelectionMarks* old = g_active; old && is_set(old) && old->begin->buffer) old->begin->buffer->redraw = 1;
  g_active = sel;
  if (is_set(sel)) sel->begin->buffer->redraw = 1;
  redraw_bits |= kRedrawOthers | kRedrawWindow;
}

void sel_update_active(PosRecord* view) {
  SelectionMarks* s = g_active;
  if (!is_set(s) || !(s->begin->kind[3] & kMarkFollow)) return;
  if (!view || view->buffer != s->begin->buffer || view->row < 0) return;
  const uint32_t saved_bits = redraw_bits;
  const bool differed = sel_changed_since_saved();
  const PosRecord b = *s->begin, e = *s->end;
  if (sel_extend(s, s->begin->kind[1], view) != 0) return;
  if (!differed) sel_save_copy();
  if (pos_same_place(&b, s->begin) && pos_same_place(&e, s->end) && b.column == s->begin->column &&
      e.column == s->end->column)
    redraw_bits = saved_bits;  // nothing moved: no redraw
}

void sel_stop_following(SelectionMarks* sel) {
  if (!sel || !(sel->begin->kind[3] & kMarkFollow)) return;
  sel->begin->kind[3] = static_cast<uint8_t>(kMarkPair | (sel->begin->kind[3] & kMarkP));
}

void sel_set_options(SelectionMarks* sel, bool follow, bool p_flag, bool inclusive) {
  if (!is_set(sel) || single(sel)) return;
  uint8_t flags = follow ? kMarkFollow : kMarkPair;
  if (p_flag) flags |= kMarkP;
  sel->begin->kind[3] = flags;
  if (inclusive)
    sel->begin->kind[2] &= static_cast<uint8_t>(~kSelExclusive);
  else
    sel->begin->kind[2] |= kSelExclusive;
}

void sel_place_single(SelectionMarks* sel, uint8_t kind, const PosRecord* view) {
  sel_clear(sel);
  sel_start(sel, kind, view);
  sel->begin->display[0] = view->display[0];
}

int32_t sel_set_kind(SelectionMarks* sel, uint8_t kind, bool narrow) {
  if (!is_set(sel)) return ERR_INVALID_ARGUMENT;
  if (narrow && !single(sel) && sel->begin->column != sel->end->column) {
    PosRecord* hi = sel->begin->column > sel->end->column ? sel->begin : sel->end;
    --hi->column;
  }
  sel->begin->kind[1] = kind;
  sel->begin->kind[0] = sel->end->kind[0] = kind & kSelChar;
  sel->begin->buffer->redraw = 1;
  redraw_bits |= kRedrawOthers | kRedrawWindow;
  return 0;
}

// ---- going to a mark, the search match ---------------------------------------------------

int32_t sel_goto_mark(SelectionMarks* sel, bool end_mark) {
  if (sel_kind(sel) == kSelNone) return ERR_TEXT_NOT_SELECTED;
  line_flush_current();
  const PosRecord* mark = end_mark ? sel->end : sel->begin;
  BufferRec* b = mark->buffer;
  if (buf_current() != b) {
    int32_t rc = view_show_buffer(b, 0);
    if (rc) return rc;
  }
  PosRecord* v = view_current();
  if (!v) return ERR_NOT_ALLOWED_ON_OBJECT;
  pos_copy_place(v, mark);
  v->row = mark->row;
  v->display[0] = mark->display[0];
  if (sel->begin->kind[1] != kSelLine) v->column = std::max(mark->column, 0);
  view_fix_rows(v, b);
  view_check_row(v);
  b->redraw = 1;
  redraw_bits |= 0x201a;
  return 0;
}

int32_t sel_select_match(SelectionMarks* sel, PosRecord* view) {
  sel_clear(sel);
  if (search_state.match_column < 1 || !view || !view->buffer || on_top(view)) return 0;
  BufferRec* b = view->buffer;
  TabScope ts(b);
  const std::string line = line_get_string(view, b);
  const int32_t first = search_state.match_column - 1;
  const int32_t after = first + std::max(search_state.match_length, 0);
  PosRecord at{};
  pos_copy_place(&at, view);
  at.buffer = b;
  at.row = view->row;
  at.column = std::min(byte_to_col(line, first, b), kSelMaxColumn);
  sel_start(sel, kSelChar, &at);
  sel->end->column = std::min(byte_to_col(line, after, b), kSelMaxColumn);
  return 0;
}

// ---- overlaying a block ---------------------------------------------------------------------

namespace {

// Writes a row of block text over the display columns c .. c + width - 1.
void overlay_row(std::string& line, int32_t c, int32_t width, const std::string& row, const BufferRec* b) {
  const int32_t b0 = col_to_byte(line, c, b, true);
  const int32_t b1 = col_to_byte(line, c + width, b, true);
  line.replace(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0), row);
}

// Blanks the display columns bc .. ec of a line (nothing past its end).
void blank_cols(std::string& line, int32_t bc, int32_t ec, const BufferRec* b) {
  const int32_t w = width_of(line, b);
  if (w <= bc) return;
  const int32_t to = std::min(ec + 1, w);
  const int32_t b0 = col_to_byte(line, bc, b, false);
  const int32_t b1 = col_to_byte(line, to, b, false);
  line.replace(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0), static_cast<size_t>(to - bc), ' ');
}

}  // namespace

int32_t block_overlay(SelectionMarks* sel, PosRecord* cursor, bool blank_source) {
  if (sel_kind(sel) != kSelBlock) return sel_check_kind(sel, kSelBlock);
  if (on_top(cursor)) return ERR_SOURCE_DESTINATION_CONFLICT;
  BufferRec* sbuf = sel->begin->buffer;
  BufferRec* dbuf = cursor->buffer;
  line_flush_if(sbuf);
  line_flush_if(dbuf);
  // Every row is read first, so overlapping source lines are never read
  // after they were written.
  std::vector<std::string> rows;
  int32_t rc = sel_text(sel, rows);
  if (rc) return rc;
  const int32_t n = static_cast<int32_t>(rows.size());
  const int32_t bc = sel->begin->column, ec = sel->end->column, width = ec - bc + 1;
  const int32_t c = cursor->column;
  TabScope ts(dbuf);
  RingPos top(cursor, dbuf);
  RingPos dw(cursor, dbuf);
  for (int32_t i = 1; i < n; ++i) {  // the destination lines, appended past the end
    rc = pos_next_line(&dw.p, dbuf);
    if (rc == ERR_BOTTOM_OF_FILE) rc = line_insert_text("", 0, &dw.p, dbuf);
    if (rc) return rc;
  }
  RingPos sw(sel->end, sbuf);
  // Lines are walked away from the direction the block moves, so that a
  // source line is blanked before it is written as a destination.
  const bool same = sbuf == dbuf;
  const bool bottom_up = same && pos_compare(cursor, sel->begin) > 0;
  if (!bottom_up) {
    pos_copy_place(&dw.p, cursor);
    pos_copy_place(&sw.p, sel->begin);
  }
  for (int32_t k = 0; k < n && rc == 0; ++k) {
    const std::string& row = rows[static_cast<size_t>(bottom_up ? n - 1 - k : k)];
    std::string line = line_get_string(&dw.p, dbuf);
    if (same && same_line(&dw.p, &sw.p)) {  // one line edit: the source goes first
      if (blank_source) blank_cols(line, bc, ec, dbuf);
      overlay_row(line, c, width, row, dbuf);
      rc = put_line(&dw.p, line);
    } else {
      overlay_row(line, c, width, row, dbuf);
      rc = put_line(&dw.p, line);
      if (rc == 0 && blank_source) {
        std::string src = line_get_string(&sw.p, sbuf);
        const std::string before = src;
        blank_cols(src, bc, ec, sbuf);
        if (src != before) rc = put_line(&sw.p, src);
      }
    }
    if (rc || k + 1 == n) break;
    rc = bottom_up ? pos_prev_line(&dw.p, dbuf) : pos_next_line(&dw.p, dbuf);
    if (rc == 0) rc = bottom_up ? pos_prev_line(&sw.p, sbuf) : pos_next_line(&sw.p, sbuf);
  }
  if (rc) return rc;
  RingPos last(&top.p, dbuf);
  for (int32_t i = 1; i < n; ++i)
    if (pos_next_line(&last.p, dbuf) != 0) break;
  set_marks(sel, kSelBlock, &top.p, c, &last.p, c + width - 1);
  return 0;
}

// ---- the clipboard text ----------------------------------------------------------------------

namespace {

// Byte index where display column col starts: a tab covering col counts
// from the tab itself. At most the line's length.
int32_t byte_at(const std::string& line, int32_t col, const BufferRec* b) {
  if (col <= 0) return 0;
  const int32_t t = tab_convert_column(line, col + 1, 'T', stops(b));
  const int32_t i = t > 0 ? t - 1 : -t - 1;
  return std::clamp(i, 0, static_cast<int32_t>(line.size()));
}

// Byte index just past display column col - 1: a tab that begins before col
// and covers it is taken whole.
int32_t byte_after(const std::string& line, int32_t col, const BufferRec* b) {
  if (col <= 0) return 0;
  const int32_t t = tab_convert_column(line, col + 1, 'T', stops(b));
  const int32_t i = t > 0 ? t - 1 : -t;
  return std::clamp(i, 0, static_cast<int32_t>(line.size()));
}

// Walks the clipboard text of a selection piece by piece: each line's part
// and whether a line feed follows it.
template <typename Sink>
int32_t clip_walk(const SelectionMarks* sel, Sink sink) {
  const uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  BufferRec* b = sel->begin->buffer;
  TabScope ts(b);
  const int32_t n = count_lines(sel->begin, sel->end);
  if (n < 0) return ERR_TEXT_NOT_SELECTED;
  PosRecord w{};
  pos_copy_place(&w, sel->begin);
  w.buffer = b;
  const int32_t bc = sel->begin->column;
  const int32_t ec = sel->end->column + ((k == kSelChar && !(sel->begin->kind[2] & kSelExclusive)) ? 1 : 0);
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0) {
      int32_t rc = pos_next_line(&w, b);
      if (rc) return rc;
    }
    const std::string line = line_get_string(&w, b);
    const int32_t len = static_cast<int32_t>(line.size());
    std::string_view v(line);
    if (k == kSelLine) {
      sink(v, true);
    } else if (k == kSelBlock) {
      const int32_t b0 = byte_at(line, bc, b), b1 = std::max(byte_after(line, sel->end->column + 1, b), b0);
      sink(v.substr(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0)), true);
    } else {
      const int32_t from = i == 0 ? byte_at(line, bc, b) : 0;
      if (i < n - 1) {
        sink(v.substr(static_cast<size_t>(from)), true);
      } else if (ec > width_of(line, b)) {  // past the end: the whole rest and its break
        sink(v.substr(static_cast<size_t>(from)), true);
      } else {
        const int32_t to = std::max(byte_after(line, ec, b), from);
        sink(v.substr(static_cast<size_t>(from), static_cast<size_t>(std::min(to, len) - from)), false);
      }
    }
  }
  return 0;
}

}  // namespace

int32_t sel_clip_size(const SelectionMarks* sel, int64_t* bytes, int32_t* lines) {
  int64_t n = 0;
  int32_t l = 0;
  const int32_t rc = clip_walk(sel, [&](std::string_view piece, bool lf) {
    n += static_cast<int64_t>(piece.size()) + (lf ? 1 : 0);
    ++l;
  });
  *bytes = n;
  *lines = l;
  return rc;
}

int32_t sel_clip_text(const SelectionMarks* sel, std::string& out, int64_t size) {
  out.clear();
  out.reserve(static_cast<size_t>(size));
  return clip_walk(sel, [&](std::string_view piece, bool lf) {
    out.append(piece);
    if (lf) out.push_back('\n');
  });
}
