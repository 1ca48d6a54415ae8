// Editing the line under the cursor: see curline.h.

#include "text/curline.h"

#include <algorithm>
#include <cstring>

#include "base/messages.h"
#include "display/msgline.h"
#include "text/store_edit.h"
#include "text/tabs.h"

uint32_t redraw_bits = 0;
EditSettings edit_settings;
CurrentLine current_line{};
ViewSnapshot view_snap{};
int line_stop_mode = 0;
int32_t line_stop_col = 0;

namespace {

bool on_top_line(const PosRecord* p, const BufferRec* b) { return p->block == b->first_block && p->index == 0; }

void set_redraw(BufferRec* b, uint32_t bits) {
  if (b) b->redraw = 1;
  redraw_bits |= bits;
}

// Margin and style of the snapshot's window (a window that is not a full
// editor window scrolls to no margin).
[[maybe_unused]] int32_t margin_of(const WindowObject* w) { return w && w->prop19 == 3 ? edit_settings.scroll_margin : 0; }
[[maybe_unused]] char style_of(const WindowObject* w) { return w && w->prop19 == 3 ? edit_settings.scroll_style : 'S'; }

// Steps a copy of pos back at most `limit` lines; the number of steps and
// whether it ended on the top-of-file line.
int32_t steps_back(const PosRecord* pos, BufferRec* b, int32_t limit, bool& at_top) {
  PosRecord c = *pos;
  int32_t k = 0;
  while (k < limit && pos_prev_line(&c, b) == 0) ++k;
  at_top = on_top_line(&c, b);
  return k;
}

void fix_one(PosRecord* p, BufferRec* b) {
  int32_t row = p->row;
  if (!view_shows_top_line(p)) {
    if (p->line < 1) {
      bool at_top = false;
      int32_t k = steps_back(p, b, row, at_top);
      if (at_top) --k;
      row = std::max(k, 0);
    } else if (p->line < row + 1) {
      row = p->line - 1;
    }
  } else {
    if (p->line < 0) {
      bool at_top = false;
      row = steps_back(p, b, row, at_top);
    } else if (p->line < row) {
      row = p->line;
    }
  }
  if (row != p->row) {
    p->row = row;
    set_redraw(b, kRedrawCaret);
  }
}

}  // namespace

// ---- snapshot and the current line ------------------------------------------------

bool view_select(WindowObject* w) {
  view_snap = ViewSnapshot{};
  view_snap.window = w;
  if (!w || !w->view || !w->view->buffer) return false;
  view_snap.view = w->view;
  view_snap.buffer = w->view->buffer;
  view_snap.height = std::max(w->rows, 1);
  view_snap.width = w->cols;
  return true;
}

bool view_select_current() { return view_select(window_current()); }

int32_t window_height_current() {
  WindowObject* w = window_current();
  return w ? std::max(w->rows, 1) : 1;
}

int32_t line_load_current() {
  if (current_line.dirty) return 0;
  PosRecord* v = view_current();
  if (!v || !v->buffer) return ERR_NOT_ALLOWED_ON_OBJECT;
  current_line.view = v;
  current_line.buffer = v->buffer;
  if (on_top_line(v, v->buffer)) {
    current_line.text.clear();
    return 0;
  }
  int32_t n = line_get_text_n(current_line.text.text, LSTR_CAP_LINE, v, v->buffer);
  if (n < 0) {
    current_line.text.clear();
    return n;
  }
  current_line.text.len = std::min(n, LSTR_CAP_LINE);
  return 0;
}

void line_mark_dirty() {
  BufferRec* b = current_line.buffer;
  if (b && !b->modified && !current_line.dirty) set_redraw(b, kRedrawCaption);
  current_line.dirty = 1;
}

int32_t line_flush_current() {
  if (!current_line.dirty) return 0;
  PosRecord* v = current_line.view;
  BufferRec* b = current_line.buffer;
  if (!v || !b) {
    current_line.dirty = 0;
    return 0;
  }
  if (!b->modified) {
    WindowObject* w = window_record(v->owner);
    if (w && w->prop19 == 3) set_redraw(b, kRedrawCaption);
  }
  // Clean before the write, so that nothing the store calls flushes again.
  current_line.dirty = 0;
  int32_t rc = line_replace_text(current_line.text.text, current_line.text.size(), v, b);
  if (rc) {
    current_line.dirty = 1;  // keep the edits: nothing is lost
    msgline_show_error(rc);
  }
  return rc;
}

void line_flush_if(const BufferRec* buf) {
  if (current_line.dirty && current_line.buffer == buf) line_flush_current();
}

// ---- rows -----------------------------------------------------------------------------

bool view_shows_top_line(const PosRecord* pos) {
  if (!edit_settings.show_top_line) return false;
  WindowObject* w = pos->owner > 0 ? window_record(pos->owner) : nullptr;
  if (!w || !pos->win_next) return true;
  return w->prop19 == 3;
}

void view_check_row(PosRecord* view) {
  WindowObject* w = window_record(view->owner);
  int32_t h = w ? std::max(w->rows, 1) : window_height_current();
  if (view->row >= h) set_redraw(view->buffer, kRedrawWindow);
}

void view_check_row_obj(WindowObject* w) {
  if (w && w->view) view_check_row(w->view);
}

void view_clamp_row(PosRecord* view) {
  WindowObject* w = window_record(view->owner);
  int32_t h = w ? std::max(w->rows, 1) : window_height_current();
  view->row = std::min(view->row, h - 1);
}

void view_fix_rows(PosRecord* view, BufferRec* buf) {
  if (view) {
    fix_one(view, buf);
    return;
  }
  PosRecord* head = buf->pos_ring;
  if (!head) return;
  PosRecord* p = head;
  do {
    fix_one(p, buf);
    p = p->buf_next;
  } while (p != head);
}
