// Editing the line under the cursor: see curline.h.

#include "text/curline.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/mem.h"
#include "base/messages.h"
#include "text/process_port.h"
#include "text/selection.h"
#include "text/store_edit.h"
#include "text/tabs.h"
#include "text/ui_port.h"

uint32_t redraw_bits = 0;
EditSettings edit_settings;
CurrentLine current_line{};
ViewSnapshot view_snap{};

namespace {

bool on_top_line(const PosRecord* p, const BufferRec* b) { return p->block == b->first_block && p->index == 0; }

void set_redraw(BufferRec* b, uint32_t bits) {
  if (b) b->redraw = 1;
  redraw_bits |= bits;
}

// Margin and style of the snapshot's window (a window that is not a full
// editor window scrolls to no margin).
int32_t margin_of(const WindowObject* w) { return w && w->prop19 == 3 ? edit_settings.scroll_margin : 0; }
char style_of(const WindowObject* w) { return w && w->prop19 == 3 ? edit_settings.scroll_style : 'S'; }

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
  PosRecord* v = view_current();
  if (current_line.dirty && current_line.view == v) return 0;
  if (current_line.dirty) line_flush_current();  // another view's edits first
  if (current_line.dirty) return ERR_NOT_ALLOWED_ON_OBJECT;
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
    ui_show_error(rc);
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

// ---- cursor column and rows ---------------------------------------------------------------

namespace {

bool blank(uint8_t c) { return c == ' ' || c == '\t'; }

int step_dir(PosStepFn step) { return step == pos_prev_line ? -1 : 1; }

std::string_view line_view() { return current_line.text.view(); }

// Display width of a text under the stops that apply.
int32_t width_of(std::string_view t) { return tab_convert_column(t, 0, 'L', tab_stops_current()); }

// Whether a line qualifies for the column stop of a line move.
bool stop_here(std::string_view t, LineStop stop) {
  if (stop.mode == 1) return width_of(t) >= stop.col;
  LStrLine e;
  tab_expand_range(e, e.cap, t, 1, stop.col, 'E', tab_stops_current());
  for (char c : e.view())
    if (c != ' ') return true;
  return false;
}

// An indentation of n columns: tabs and blanks when the buffer indents with
// tabs, else blanks.
std::string make_indent(int32_t n, const BufferRec* b) {
  std::string s;
  if (n <= 0) return s;
  int32_t col = 1;
  if (b->indent_tabs && b->record_len == 0 && b->no_tab_expand != 1) {
    TabStops ts = tab_stops_of(b);
    for (;;) {
      int idx = 0;
      int32_t next = tab_next_stop(col, ts, idx);
      if (next - 1 > n) break;
      s += '\t';
      col = next;
    }
  }
  s.append(static_cast<size_t>(std::max(n - col + 1, 0)), ' ');
  return s;
}

}  // namespace

BufferRec* view_set_cursor_col(int32_t col) {
  // The current window's view, never an older snapshot: a window switch
  // between two moves must not move the cursor of the window left behind.
  PosRecord* v = view_current();
  if (!v) return nullptr;
  v->column = std::clamp(col, 0, kMaxColumn);
  set_redraw(v->buffer, kRedrawCaret | kRedrawColField);
  return v->buffer;
}

void view_place_row(int32_t row, int direction, PosRecord* pos) {
  WindowObject* w = view_snap.window;
  const int32_t H = std::max(view_snap.height, 1), M = margin_of(w), mid = H / 2;
  const char S = style_of(w);
  set_redraw(pos->buffer, kRedrawCaret | kRedrawLineField);
  if (row >= 0 && (direction >= 0 || row >= M)) {
    const int32_t limit = std::max(H - M - 1, mid);
    if ((row > limit && direction > 0) || row >= H) {
      redraw_bits |= kRedrawWindow;
      row = S == 'C' ? mid : limit;
    } else if (redraw_bits & kRedrawCursorLine) {
      redraw_bits |= kRedrawWindow;
    }
    pos->row = row;
  } else {
    redraw_bits |= kRedrawWindow;
    pos->row = S == 'C' ? mid : std::min(mid, M);
    view_fix_rows(pos, pos->buffer);
    if (S == 'C') redraw_bits |= kRedrawCaret | kRedrawLineField;
  }
  if (redraw_bits & kRedrawCursorLine) redraw_bits |= kRedrawLines;
}

void view_show_row(PosRecord* view, int direction) {
  const ViewSnapshot saved = view_snap;
  if (view_select(window_record(view->owner)) && view_snap.view == view) view_place_row(view->row, direction, view);
  view_snap = saved;
}

void view_set_cursor_row(int32_t row, int direction) {
  if (view_snap.view) view_place_row(row, direction, view_snap.view);
}

// ---- line moves --------------------------------------------------------------------------

int32_t view_step_lines(PosStepFn step, int32_t n, int32_t* moved, LineStop stop) {
  PosRecord* v = view_snap.view;
  BufferRec* b = view_snap.buffer;
  if (!v) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord c = *v;
  const int dir = step_dir(step);
  int32_t rc = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (stop.mode && !on_top_line(&c, b)) {
      const uint8_t* t = nullptr;
      int32_t len = line_get_ptr(t, &c, b);
      if (len < 0) {
        rc = len;
        break;
      }
      if (stop_here(std::string_view(reinterpret_cast<const char*>(t), static_cast<size_t>(len)), stop)) break;
    }
    rc = step(&c, b);
    if (rc) break;
    if (moved) *moved += dir;
  }
  pos_copy_place(v, &c);
  return rc;
}

int32_t view_move_lines(PosStepFn step, int32_t n, LineStop stop) {
  if (!view_snap.view) return ERR_NOT_ALLOWED_ON_OBJECT;
  int32_t moved = view_snap.view->row;
  int32_t rc = view_step_lines(step, n, &moved, stop);
  view_set_cursor_row(moved, step_dir(step));
  return rc;
}

int32_t view_cursor_lines(PosStepFn step, int32_t n, LineStop stop) {
  line_flush_current();
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  const int32_t row = view_snap.view->row;
  int32_t rc = view_move_lines(step, n, stop);
  if (!stop.mode && rc == 0 && n >= 0 && view_snap.view->row == row && view_snap.window) {
    view_snap.window->scroll_count += step_dir(step) * n;
    view_snap.window->scroll_row = row;
  }
  return rc;
}

int32_t view_page(PosStepFn step) {
  line_flush_current();
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord* v = view_snap.view;
  BufferRec* b = view_snap.buffer;
  const int32_t H = view_snap.height;
  int32_t moved = 0;
  int32_t rc = view_step_lines(step, std::max(H - 1, 1), &moved);
  if (rc == ERR_BOTTOM_OF_FILE) {
    v->row = std::min(v->row + moved, H - 1);
    set_redraw(b, kRedrawCaret);
  } else if (rc == 0 || rc == ERR_TOP_OF_FILE) {
    if (rc) set_redraw(b, kRedrawCaret);
    if (step == pos_prev_line && on_top_line(v, b)) {
      if (pos_next_line(v, b) == 0) {
        v->row = 1;
      } else {
        v->row = 0;
      }
      set_redraw(b, kRedrawCaret);
    }
    view_fix_rows(v, b);
  }
  set_redraw(b, kRedrawWindow | kRedrawLineField);
  return rc;
}

int32_t view_top_of_buffer() {
  line_flush_current();
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord* v = view_snap.view;
  BufferRec* b = view_snap.buffer;
  int32_t rc = pos_first_line(v, b);
  const bool top = on_top_line(v, b);
  if (view_shows_top_line(v))
    v->row = top ? 0 : 1;
  else
    v->row = top ? -1 : 0;
  cursor_begin_line();
  set_redraw(b, kRedrawWindow | kRedrawLineField);
  return rc == ERR_BOTTOM_OF_FILE ? 0 : rc;
}

int32_t view_bottom_of_buffer() {
  line_flush_current();
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  int32_t rc = pos_last_line(view_snap.view, view_snap.buffer);
  if (rc) return rc;
  const int32_t H = view_snap.height;
  rc = view_move_lines(pos_prev_line, H);
  if (rc && rc != ERR_TOP_OF_FILE && rc != ERR_BOTTOM_OF_FILE) return rc;
  rc = view_move_lines(pos_next_line, H);
  if (rc && rc != ERR_TOP_OF_FILE && rc != ERR_BOTTOM_OF_FILE) return rc;
  cursor_end_line();
  return 0;
}

// ---- cursor within the line ---------------------------------------------------------------

void cursor_begin_line() { view_set_cursor_col(0); }

void cursor_end_line() {
  if (line_load_current()) return;
  view_set_cursor_col(width_of(line_view()));
}

void cursor_left() {
  if (line_load_current()) return;
  PosRecord* v = view_current();
  view_set_cursor_col(line_col_char_start(line_view(), v->column, tab_stops_current()));
}

void cursor_right() {
  if (line_load_current()) return;
  PosRecord* v = view_current();
  view_set_cursor_col(line_col_next_char(line_view(), v->column, tab_stops_current()));
}

namespace {
// The stops the stop built-ins walk: up to a 0 entry or the 30th; 1024 counts.
int stop_count(const BufferRec* b) {
  int n = 0;
  while (n < kTabStopCount && b->tab_stops[n] > 0) ++n;
  return n;
}
}  // namespace

void cursor_next_tab_stop() {
  PosRecord* v = view_current();
  if (!v || !v->buffer) return;
  const BufferRec* b = v->buffer;
  const int n = stop_count(b);
  for (int i = 0; i < n; ++i)
    if (b->tab_stops[i] > v->column + 1) {
      view_set_cursor_col(b->tab_stops[i] - 1);
      return;
    }
}

void cursor_prev_tab_stop() {
  PosRecord* v = view_current();
  if (!v || !v->buffer) return;
  const BufferRec* b = v->buffer;
  const int n = stop_count(b);
  if (n == 0) return;
  int32_t stop = b->tab_stops[n - 1];
  for (int i = 1; i < n; ++i)
    if (b->tab_stops[i] >= v->column + 1) {
      stop = b->tab_stops[i - 1];
      break;
    }
  view_set_cursor_col(stop - 1);
}

// ---- typing ---------------------------------------------------------------------------------

namespace {

// The bytes of the next line for a join, and its trailing blanks kept aside.
struct NextLine {
  bool present = false;
  std::string text, kept;
  int32_t join = -1;  // first byte that is not a blank or tab, -1 none
};

int32_t read_next_line(PosRecord& nx, BufferRec* b, NextLine& out) {
  int32_t rc = pos_next_line(&nx, b);
  if (rc == ERR_BOTTOM_OF_FILE) return 0;
  if (rc) return rc;
  out.present = true;
  out.text = line_get_string(&nx, b);
  std::string& t = out.text;
  if (b->record_len == 0) {
    size_t e = t.size();
    while (e > 0 && blank(static_cast<uint8_t>(t[e - 1]))) --e;
    out.kept = t.substr(e);
    t.resize(e);
  } else {
    if (!t.empty() && static_cast<uint8_t>(t.back()) == b->eol[1]) t.pop_back();
    if (!t.empty() && static_cast<uint8_t>(t.back()) == b->eol[0]) t.pop_back();
  }
  const int32_t lm = b->margins[0];
  for (size_t i = 0; i < t.size(); ++i) {
    if (b->record_len != 0 && static_cast<int32_t>(i) >= lm - 1) {
      out.join = static_cast<int32_t>(i);
      break;
    }
    if (!blank(static_cast<uint8_t>(t[i]))) {
      out.join = static_cast<int32_t>(i);
      break;
    }
  }
  return 0;
}

// 0-based display column of the 1-based byte offset i (i = length + 1: the end).
int32_t col_of(std::string_view t, int32_t i) { return tab_convert_column(t, i, 'I', tab_stops_current()) - 1; }

// Positions that track columns on the cursor line (selection marks, other
// views) follow a change of it: `old` became `now`, and the bytes of `old`
// from byte `tail` (1-based) on are the end of `now` unchanged. Each run of
// text between tabs moves by its own amount (a tab may take up or give back
// the change), so the runs are adjusted from the last one to the first, each
// by what it moves more than the run before it.
void follow_change(std::string_view old, std::string_view now, int32_t tail) {
  PosRecord* at = current_line.view;
  BufferRec* buf = current_line.buffer;
  if (!at || !buf || !buf->pos_ring) return;
  bool any = false;  // most lines have no marks: skip the column walks
  const PosRecord* q = buf->pos_ring;
  do {
    any = q != at && q->kind[0] && q->block == at->block && q->index == at->index;
    q = q->buf_next;
  } while (!any && q != buf->pos_ring);
  if (!any) return;
  const int32_t grow = static_cast<int32_t>(now.size()) - static_cast<int32_t>(old.size());
  struct Run {
    int32_t col, shift;  // old display column of its first byte, and how far it moves
  };
  std::vector<Run> runs;
  auto add = [&](int32_t k) { runs.push_back({col_of(old, k), col_of(now, k + grow) - col_of(old, k)}); };
  add(tail);
  for (int32_t k = tail; k <= static_cast<int32_t>(old.size()); ++k)
    if (old[static_cast<size_t>(k - 1)] == '\t') add(k + 1);
  for (size_t i = runs.size(); i-- > 0;) {
    const int32_t d = runs[i].shift - (i ? runs[i - 1].shift : 0);
    if (d > 0) marks_adjust_columns(runs[i].col, d, 0, at, buf);
    if (d < 0) marks_adjust_columns(runs[i].col + d, d, 0, at, buf);  // columns before the run went
  }
}

// Pads a short line with tabs (then blanks) up to the cursor column.
void pad_with_tabs(LStrLine& L, int32_t col) {
  std::string padded(L.view());
  padded.append(static_cast<size_t>(std::max(col, 0) / kTabDefaultWidth + 1), '\t');
  LStrLine out;
  tab_expand_range(out, out.cap, padded, 1, col, 'S', tab_stops_current());
  L = out;
}

// Wraps the current line at the right margin after a typed byte at p.
int32_t wrap_line(int32_t p, int32_t right, bool has_tabs) {
  PosRecord* V = view_snap.view;
  BufferRec* B = view_snap.buffer;
  LStrLine& L = current_line.text;
  const int32_t lm = B->margins[0];
  const int32_t col = V->column;

  PosRecord nx = *V;
  nx.buf_next = nx.buf_prev = nx.win_next = nx.win_prev = nullptr;
  NextLine next;
  int32_t rc = read_next_line(nx, B, next);
  if (rc) {
    ui_show_error(rc);
    return rc;
  }

  // Break point: the start of the word that crosses the margin.
  const std::string_view t = L.view();
  const int32_t len = static_cast<int32_t>(t.size());
  int32_t b0 = has_tabs ? tab_convert_column(t, right + 1, 'P', tab_stops_current()) - 1 : right;
  b0 = std::clamp(b0, 0, len);
  int32_t b = b0;
  if (B->record_len == 0) {
    while (b < len && blank(static_cast<uint8_t>(t[b]))) ++b;
    if (b > lm) {
      int32_t w = b;
      while (w > 0 && !blank(static_cast<uint8_t>(t[w - 1]))) --w;
      b = w > lm ? w : b0;
    }
  }

  const std::string indent = make_indent(lm - 1, B);
  std::string nl = indent + std::string(t.substr(static_cast<size_t>(b)));
  const int32_t break_col = col_of(t, b + 1);
  L.len = b;
  if ((B->wrap_flags & 5) && B->record_len == 0)
    while (nl.size() > indent.size() && blank(static_cast<uint8_t>(nl.back()))) nl.pop_back();
  bool added_blank = false;
  if (B->record_len == 0 && (nl.empty() || !blank(static_cast<uint8_t>(nl.back())))) {
    nl += ' ';
    added_blank = true;
  }

  bool joined = false;
  if (next.present && next.join >= 0 && edit_settings.insert_mode == 1 &&
      nl.size() + (next.text.size() - static_cast<size_t>(next.join) + 1) + next.kept.size() + 1 < kMaxLineBytes) {
    std::string cand = nl + next.text.substr(static_cast<size_t>(next.join));
    if (width_of(cand) <= right) {
      nl = cand + next.kept;
      joined = true;
    }
  }
  if (!joined && added_blank) nl.pop_back();

  if (joined) {
    rc = line_replace_text(nl.data(), static_cast<int32_t>(nl.size()), &nx, B);
  } else {
    PosRecord at = *V;
    at.buf_next = at.buf_prev = at.win_next = at.win_prev = nullptr;
    rc = line_insert_text(nl.data(), static_cast<int32_t>(nl.size()), &at, B);
  }
  if (rc == 0) {
    // Marks on the next line follow its text behind the carried words (its
    // leading blanks went); then marks from the break on go down with the words.
    if (joined) {
      const int32_t jcol = col_of(next.text, next.join + 1);
      const int32_t carried =
          width_of(std::string_view(nl).substr(0, nl.size() - next.kept.size() - (next.text.size() - next.join)));
      const int32_t d = carried - jcol;
      if (d > 0) marks_adjust_columns(jcol, d, 0, &nx, B);
      if (d < 0) marks_adjust_columns(jcol + d, d, 0, &nx, B);
    }
    marks_adjust_columns(break_col, width_of(indent), +1, V, B);
  }
  set_redraw(B, kRedrawLines);

  if (p <= b) {  // the typed byte stayed on this line
    if (has_tabs)
      cursor_right();
    else
      view_set_cursor_col(col + 1);
  } else {
    line_flush_current();
    view_move_lines(pos_next_line, 1);
    const int32_t idx = static_cast<int32_t>(indent.size()) + p - b;
    view_set_cursor_col(tab_convert_column(nl, idx, 'I', tab_stops_current()) - 1);
    if (idx != 0) cursor_right();
  }
  if (rc) ui_show_error(rc);
  return rc;
}

}  // namespace

int32_t line_type_char(uint8_t ch) {
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord* V = view_snap.view;
  BufferRec* B = view_snap.buffer;
  if (on_top_line(V, B)) return 0;
  int32_t rc = line_load_current();
  if (rc) return rc;
  LStrLine& L = current_line.text;
  const TabStops ts = tab_stops_current();
  bool has_tabs = ch == '\t' || L.view().find('\t') != std::string_view::npos;
  const int32_t col = V->column;
  int32_t p = has_tabs ? line_col_to_pos_split_tab(L, col, ts) : col + 1;
  if (L.len < p - 1 && B->indent_tabs) {
    pad_with_tabs(L, col);
    p = L.len + 1;
    has_tabs = true;
  }

  LStrBuf<1> one;
  one.len = 1;
  one.text[0] = static_cast<char>(ch);
  const bool inserting = edit_settings.insert_mode == 1;
  // The line as the put sees it (a short line is padded with blanks first).
  std::string before(L.view());
  if (static_cast<int32_t>(before.size()) < p - 1) before.append(static_cast<size_t>(p - 1) - before.size(), ' ');
  lstr_field = LStrField{inserting ? 1 : 0, 1, 1, 0};
  lstr_put_field(one, L, p, LSTR_CAP_LINE);
  if (lstr_field.overflow == -1) {
    ui_show_error(ERR_LINES_TRUNCATED);
    // An insert into a full line pushed its last byte out.
    if (inserting && p <= L.len && before.size() >= L.view().size()) before.resize(L.view().size() - 1);
  }
  if (p <= L.len) follow_change(before, L.view(), inserting ? p : p + 1);
  line_mark_dirty();
  set_redraw(B, kRedrawCursorLine);

  // Width of the line without its trailing blanks.
  std::string_view t = L.view();
  if (B->record_len == 0)
    while (!t.empty() && blank(static_cast<uint8_t>(t.back()))) t.remove_suffix(1);
  const int32_t width = has_tabs ? width_of(t) : static_cast<int32_t>(t.size());
  const int32_t right = std::min(B->margins[1], kMaxWrapColumn);
  const bool wrap =
      B->record_len < 2 ? width > right && ((B->wrap_flags & 2) || width > kMaxWrapColumn) : width > kMaxWrapColumn;
  if (!wrap) {
    if (has_tabs)
      cursor_right();
    else
      view_set_cursor_col(col + 1);
    return 0;
  }
  return wrap_line(p, right, has_tabs);
}

// ---- deleting ------------------------------------------------------------------------------

void line_delete_char_at(int32_t old_length, int32_t q) {
  LStrLine& L = current_line.text;
  BufferRec* B = current_line.buffer;
  if (!B || q < 1 || q > L.len) return;
  const uint8_t old_byte = static_cast<uint8_t>(L.text[q - 1]);
  const std::string before(L.view());
  lstr_delete(L, q, 1);
  follow_change(before, L.view(), q + 1);
  if (B->undo_enable && !current_line.dirty && L.len == old_length - 1) {
    // Written through at once: each deletion is one undo step of one byte.
    if (!B->modified) set_redraw(B, kRedrawCaption);
    const int32_t saved = B->undo_enable;
    if (curline_undo_hooks().char_deleted) {
      curline_undo_hooks().char_deleted(B, current_line.view, q, old_byte);
      B->undo_enable = 0;
    }
    int32_t rc = line_replace_text(L.text, L.len, current_line.view, B);
    B->undo_enable = saved;
    if (rc) ui_show_error(rc);
  } else {
    redraw_bits |= kRedrawCaret;
    line_mark_dirty();
  }
  set_redraw(B, kRedrawCursorLine);
}

void line_delete_char() {
  if (!view_select_current()) return;
  PosRecord* V = view_snap.view;
  BufferRec* B = view_snap.buffer;
  if (on_top_line(V, B)) return;
  if (B->undo_enable) line_flush_current();
  if (line_load_current()) return;
  const int32_t old_len = current_line.text.len;
  const int32_t p = line_col_to_pos_split_tab(current_line.text, V->column, tab_stops_current());
  line_delete_char_at(old_len, p);
}

void line_backspace() {
  if (!view_select_current()) return;
  PosRecord* V = view_snap.view;
  BufferRec* B = view_snap.buffer;
  if (on_top_line(V, B) || V->column == 0) return;
  if (B->undo_enable) line_flush_current();
  if (line_load_current()) return;
  LStrLine& L = current_line.text;
  const int32_t old_len = L.len;
  const int32_t p = line_col_to_pos_split_tab(L, V->column, tab_stops_current());
  if (L.len != old_len) {
    line_mark_dirty();
    line_flush_current();
  }
  int32_t col = V->column - 1;
  if (p - 1 >= 1 && p - 1 <= L.len && L.text[p - 2] == '\t')
    col = tab_convert_column(L.view(), p - 1, 'I', tab_stops_current()) - 1;
  view_set_cursor_col(col);
  line_delete_char_at(L.len, p - 1);
}

// ---- whole-line operations ----------------------------------------------------------------

int32_t line_insert_after_cursor(const void* text, int32_t length) {
  line_flush_current();
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord* V = view_snap.view;
  BufferRec* B = view_snap.buffer;
  int32_t rc = line_insert_text(text, length, V, B);
  if (rc) return rc;
  view_set_cursor_row(V->row + 1, 1);
  set_redraw(B, 0xa038);
  std::string_view t(static_cast<const char*>(text), static_cast<size_t>(std::max(length, 0)));
  view_set_cursor_col(width_of(t));
  return 0;
}

void line_replace_current(const void* text, int32_t length) {
  if (!view_select_current()) return;
  if (on_top_line(view_snap.view, view_snap.buffer)) return;
  if (line_load_current()) return;
  if (length < 0) length = static_cast<int32_t>(std::strlen(static_cast<const char*>(text)));
  lstr_set_mem(current_line.text, text, length, LSTR_CAP_LINE);
  line_mark_dirty();
  set_redraw(view_snap.buffer, 0x2040);
}

int32_t line_delete_current() {
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord* V = view_snap.view;
  BufferRec* B = view_snap.buffer;
  if (on_top_line(V, B)) return 0;
  if (current_line.view == V) current_line.dirty = 0;  // pending edits are dropped
  line_flush_current();
  int32_t rc = line_delete(V, B);
  if (rc == ERR_BOTTOM_OF_FILE) rc = 0;
  set_redraw(B, 0x8028);
  view_fix_rows(nullptr, B);
  proc_reset_mark();
  return rc;
}

int32_t line_get_current_cstr(char* out, int32_t size) {
  if (size < 1) return 0;
  out[0] = 0;
  PosRecord* v = view_current();
  if (!v || !v->buffer) {
    ui_show_error(ERR_NOT_ALLOWED_ON_OBJECT);
    return ERR_NOT_ALLOWED_ON_OBJECT;
  }
  if (current_line.dirty && current_line.view == v) {
    int32_t k = std::min(current_line.text.len, size - 1);
    std::memcpy(out, current_line.text.text, static_cast<size_t>(k));
    out[k] = 0;
    return k;
  }
  int32_t n = line_get_text_n(out, size - 1, v, v->buffer);
  out[n < 0 ? 0 : std::min(n, size - 1)] = 0;
  return n;
}

int32_t buf_get_text_at(int32_t n, int64_t offset, char* out) {
  if (n < 0) n = 0;
  out[0] = 0;
  line_flush_current();
  PosRecord* v = view_current();
  if (!v || !v->buffer) return ERR_NOT_ALLOWED_ON_OBJECT;
  BufferRec* b = v->buffer;
  PosRecord at = *v;
  at.buf_next = at.buf_prev = at.win_next = at.win_prev = nullptr;
  if (offset == 0x7fffffff) {
    int64_t point = 0;
    int32_t zero = 0;
    int32_t rc = pos_get_point(point, zero, v);
    if (rc) return rc;
    LineInfo info;
    std::string line = on_top_line(v, b) ? std::string() : line_get_string(v, b, &info);
    int32_t raw = info.raw;
    int32_t k = tab_convert_column(line, v->column + 1, 'P', tab_stops_of(b));
    offset = point + std::min(k, std::max(raw, 1)) - 1;
  }
  if (offset < 0 || pos_seek_offset(&at, offset) != 0) return ERR_INVALID_POINT;
  int64_t got = buf_read_bytes(out, n, at.block, offset - at.base, b);
  if (got < 0) return static_cast<int32_t>(got);
  out[got] = 0;
  return static_cast<int32_t>(got);
}

// ---- editor-API entries ---------------------------------------------------------------------

int32_t api_top_of_buffer() { return view_top_of_buffer(); }
int32_t api_bottom_of_buffer() { return view_bottom_of_buffer(); }
int32_t api_cursor_up(int32_t n) { return view_cursor_lines(pos_prev_line, n); }
int32_t api_cursor_down(int32_t n) { return view_cursor_lines(pos_next_line, n); }

void* store_alloc(size_t size) { return store_malloc(size); }
void store_free(void* p) {
  if (p) mem_free(p);
}

// ---- redraw helpers ------------------------------------------------------------------------

void redraw_view_words() { set_redraw(buf_current(), 0x2002); }
void redraw_view_full() { set_redraw(buf_current(), 0xa038); }
void redraw_cursor_line() { set_redraw(buf_current(), kRedrawCursorLine); }

CurlineUndoHooks& curline_undo_hooks() {
  static CurlineUndoHooks hooks{};
  return hooks;
}
