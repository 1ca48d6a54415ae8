// Selections: see selection.h.
//
// Every operation works line by line through the store edits (so each line
// change is logged for undo) on positions it links into the buffer's ring for
// the length of the operation, so that page splits and removals move them as
// they move every other position.

#include "text/selection.h"
#include "text/selection_detail.h"

#include <algorithm>
#include <cctype>

#include "base/messages.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/search.h"
#include "text/store_edit.h"
#include "text/tabs.h"
#include "text/undo.h"

namespace sel_detail {

std::vector<SelectionMarks*> g_sels;  // every live selection
SelectionMarks* g_active = nullptr;

bool same_line(const PosRecord* a, const PosRecord* b) { return a->block == b->block && a->index == b->index; }
bool on_top(const PosRecord* p) { return p->buffer && p->block == p->buffer->first_block && p->index == 0; }
bool is_set(const SelectionMarks* s) { return s && s->begin->kind[1] != kSelNone; }
bool single(const SelectionMarks* s) { return s->begin == s->end; }

SelectionMarks* owner_of(const PosRecord* q) {
  for (SelectionMarks* s : g_sels)
    if (is_set(s) && (s->begin == q || s->end == q)) return s;
  return nullptr;
}

TabStops stops(const BufferRec* b) { return tab_stops_of(b); }

int32_t width_of(const std::string& s, const BufferRec* b) { return tab_convert_column(s, 0, 'L', stops(b)); }

// 0-based byte index of 0-based display column col; a tab covering col is
// turned into blanks first. Past the end the line is padded with blanks when
// `pad`, else the line's length is returned.
int32_t col_to_byte(std::string& s, int32_t col, const BufferRec* b, bool pad) {
  int32_t width = width_of(s, b);
  if (col >= width) {
    if (!pad) return static_cast<int32_t>(s.size());
    s.append(static_cast<size_t>(col - width), ' ');
    return static_cast<int32_t>(s.size());
  }
  int32_t off = tab_convert_column(s, col + 1, 'T', stops(b));
  if (off > 0) return off - 1;
  int32_t t = -off - 1;  // the tab's byte
  int32_t start = tab_convert_column(s, t + 1, 'I', stops(b)) - 1;
  int32_t next = tab_convert_column(s, t + 2, 'I', stops(b)) - 1;
  s.replace(static_cast<size_t>(t), 1, static_cast<size_t>(next - start), ' ');
  return t + (col - start);
}

// Display column (0-based) of byte index i.
int32_t byte_to_col(const std::string& s, int32_t i, const BufferRec* b) {
  return tab_convert_column(s, i + 1, 'I', stops(b)) - 1;
}

int32_t put_line(PosRecord* p, const std::string& s) {
  return line_replace_text(s.data(), static_cast<int32_t>(s.size()), p, p->buffer);
}

// Number of lines from a to b (both included); -1 when b lies before a.
int32_t count_lines(const PosRecord* a, const PosRecord* b) {
  PosRecord w{};
  pos_copy_place(&w, a);
  w.buffer = a->buffer;
  int32_t n = 1;
  while (!same_line(&w, b)) {
    if (pos_next_line(&w, a->buffer) != 0) return -1;
    ++n;
  }
  return n;
}

void link_marks(SelectionMarks* s, BufferRec* b) {
  pos_link_to_buffer(s->begin, b);
  if (!single(s)) pos_link_to_buffer(s->end, b);
}
void unlink_marks(SelectionMarks* s) {
  if (s->begin->buf_next) pos_unlink_from_buffer(s->begin);
  s->begin->buf_next = s->begin->buf_prev = nullptr;
  if (!single(s)) {
    if (s->end->buf_next) pos_unlink_from_buffer(s->end);
    s->end->buf_next = s->end->buf_prev = nullptr;
  }
}

// Puts a selection of `kind` over [b, e] with the given columns, keeping the
// state byte and mark flags of the old one.
void set_marks(SelectionMarks* s, uint8_t kind, const PosRecord* b, int32_t bc, const PosRecord* e, int32_t ec) {
  uint8_t state = is_set(s) ? s->begin->kind[2] : kSelNewState;
  uint8_t flags = is_set(s) ? s->begin->kind[3] : kMarkPair;
  sel_clear(s);
  sel_start(s, kind, b);
  s->begin->column = bc;
  pos_copy_place(s->end, e);
  s->end->column = ec;
  s->begin->kind[2] = state;
  s->begin->kind[3] = flags;
}

}  // namespace sel_detail

using namespace sel_detail;

namespace {

// The store's rule for marks on lines that go (count lines from P's on): an
// end mark goes to the line above them (a CHAR end to that line's end); a
// begin mark whose end goes too vanishes (column -1); another begin mark
// stays with the following line (a CHAR begin at column 0). Views and single
// marks take the default.
bool mark_remove(PosRecord* q, const PosRecord* P, int32_t count, const PosRecord*, bool, BufferRec* buf) {
  SelectionMarks* s = owner_of(q);
  if (!s || single(s)) return false;
  auto removed = [&](const PosRecord* m) {
    return m->block == P->block && m->index <= P->index && m->index > P->index - count;
  };
  uint8_t kind = s->begin->kind[1];
  if (q == s->begin) {
    if (removed(s->end)) {
      s->begin->column = -1;
      s->end->column = -1;
    } else if (kind == kSelChar) {
      q->column = 0;
    }
    return false;
  }
  if (removed(s->begin) || s->begin->column < 0) {
    q->column = -1;
    return false;
  }
  PosRecord a{};
  pos_copy_place(&a, P);
  a.buffer = buf;
  if (pos_prev_line(&a, buf) != 0) return false;
  pos_copy_place(q, &a);
  if (kind == kSelChar) {
    std::string t = line_get_string(&a, buf);
    int32_t c = width_of(t, buf) + ((s->begin->kind[2] & kSelExclusive) ? 1 : 0);
    q->column = std::min(c, kSelMaxColumn);
  }
  return true;
}

void clear_buffer_hook(BufferRec* b) { sel_clear_buffer_marks(b); }

// The active selection as the search sees it: CHAR end columns exclusive.
bool search_selection(const BufferRec* buf, SearchSelection* out) {
  SelectionMarks* s = g_active;
  uint8_t k = sel_kind(s);
  if (k == kSelNone || s->begin->buffer != buf) return false;
  out->kind = k;
  out->first = s->begin;
  out->last = s->end;
  out->begin_col = s->begin->column;
  out->end_col = s->end->column + (k == kSelChar && !(s->begin->kind[2] & kSelExclusive) ? 1 : 0);
  return true;
}

// A replacement changed the width of pos's line at a 1-based display column.
// Marks past the match start move with the text; a selection that begins at
// the match begins at the replacement, so its begin mark stays.
void search_shift_marks(const PosRecord* pos, int32_t display_col, int32_t delta) {
  PosRecord p{};
  pos_copy_place(&p, pos);
  p.buffer = pos->buffer;
  if (!p.buffer) return;
  const int32_t col = display_col - 1;
  std::vector<PosRecord*> at_match;
  for (SelectionMarks* s : g_sels)
    if (is_set(s) && s->begin->kind[0] && s->begin->buffer == p.buffer && same_line(s->begin, &p) &&
        s->begin->column == col)
      at_match.push_back(s->begin);
  marks_adjust_columns(col, delta, 0, &p, p.buffer);
  for (PosRecord* q : at_match) q->column = col;
}

// The extent of a CHAR selection as lines and byte-free columns: from column
// bc of b's line to (exclusive) column ec of e's line; a selection that takes
// the end line's break ends at column 0 of the following line instead.
struct CharSpan {
  int32_t bc;
  int32_t ec;
  bool to_next;  // e is the line after the end mark's line
  bool at_end;   // the break of the buffer's last line: nothing follows
};

int32_t char_span(const SelectionMarks* s, PosRecord* e, CharSpan& sp) {
  BufferRec* b = s->begin->buffer;
  sp.bc = s->begin->column;
  sp.ec = s->end->column + ((s->begin->kind[2] & kSelExclusive) ? 0 : 1);
  sp.to_next = false;
  sp.at_end = false;
  pos_copy_place(e, s->end);
  e->buffer = b;
  std::string t = line_get_string(e, b);
  int32_t w = width_of(t, b);
  if (sp.ec > w) {
    PosRecord n = *e;
    if (pos_next_line(&n, b) == 0) {
      pos_copy_place(e, &n);
      sp.ec = 0;
      sp.to_next = true;
    } else {
      sp.ec = w;
      sp.at_end = true;
    }
  }
  return 0;
}

int32_t delete_lines(PosRecord* from, int32_t n, BufferRec* buf) {
  undo_set_deletion_sign(-1);
  int32_t rc = lines_delete_run(from, n, buf);
  if (rc == ERR_BOTTOM_OF_FILE) rc = 0;
  undo_set_deletion_sign(1);
  if (rc == 0) rc = undo_record_marker(buf);
  return rc;
}

// Inserts the pieces of a CHAR text at column c of p's line.
int32_t insert_char_text(PosRecord* p, int32_t c, const std::vector<std::string>& pieces, PosRecord* end_out,
                         int32_t& end_col) {
  BufferRec* buf = p->buffer;
  std::string line = line_get_string(p, buf);
  int32_t cb = col_to_byte(line, c, buf, true);
  std::string head = line.substr(0, static_cast<size_t>(cb)), tail = line.substr(static_cast<size_t>(cb));
  if (pieces.size() == 1) {
    std::string nl = head + pieces[0] + tail;
    int32_t rc = put_line(p, nl);
    if (rc) return rc;
    end_col = byte_to_col(nl, cb + static_cast<int32_t>(pieces[0].size()), buf);
    marks_adjust_columns(c, end_col - c, 0, p, buf);
    pos_copy_place(end_out, p);
    return 0;
  }
  // Split first, so that marks after the cursor column follow the tail.
  RingPos q(p, buf);
  int32_t rc = put_line(&q.p, head);
  if (rc) return rc;
  RingPos t(&q.p, buf);
  rc = line_insert_text(tail.data(), static_cast<int32_t>(tail.size()), &t.p, buf);
  if (rc) return rc;
  rc = marks_adjust_columns(c, 0, +1, &q.p, buf);
  if (rc) return rc;
  rc = put_line(&q.p, head + pieces[0]);
  if (rc) return rc;
  RingPos m(&q.p, buf);
  for (size_t i = 1; i + 1 < pieces.size(); ++i) {
    rc = line_insert_text(pieces[i].data(), static_cast<int32_t>(pieces[i].size()), &m.p, buf);
    if (rc) return rc;
  }
  std::string last = pieces.back() + tail;
  rc = put_line(&t.p, last);
  if (rc) return rc;
  end_col = byte_to_col(last, static_cast<int32_t>(pieces.back().size()), buf);
  marks_adjust_columns(0, end_col, 0, &t.p, buf);
  pos_copy_place(end_out, &t.p);
  return 0;
}

// Inserts the rows of a BLOCK text at column c, one per line from w down,
// adding lines past the end of the buffer; w is left on the last row.
int32_t insert_block_rows(PosRecord* w, int32_t c, const std::vector<std::string>& text, BufferRec* buf) {
  int32_t rc = 0;
  for (size_t i = 0; i < text.size() && rc == 0; ++i) {
    if (i > 0) {
      rc = pos_next_line(w, buf);
      if (rc == ERR_BOTTOM_OF_FILE) rc = line_insert_text("", 0, w, buf);
      if (rc) break;
    }
    std::string line = line_get_string(w, buf);
    int32_t cb = col_to_byte(line, c, buf, true);
    line.insert(static_cast<size_t>(cb), text[i]);
    rc = put_line(w, line);
  }
  return rc;
}

// Calls f(line text, position) for every line of a LINE or BLOCK selection,
// writing the line back when f changed it.
template <typename F>
int32_t walk_lines(SelectionMarks* s, F f) {
  BufferRec* buf = s->begin->buffer;
  int32_t n = count_lines(s->begin, s->end);
  if (n < 0) return ERR_TEXT_NOT_SELECTED;
  RingPos w(s->begin, buf);
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0) {
      int32_t rc = pos_next_line(&w.p, buf);
      if (rc) return rc;
    }
    std::string line = line_get_string(&w.p, buf);
    std::string before = line;
    f(line, &w.p);
    if (line != before) {
      int32_t rc = put_line(&w.p, line);
      if (rc) return rc;
    }
  }
  return 0;
}

}  // namespace

// ---- lifecycle ----

void sel_install() {
  store_set_mark_remove_hook(mark_remove);
  buf_hooks().deselect_buffer = clear_buffer_hook;
  buf_hooks().reextend_selection = [] { sel_update_active(view_current()); };
  search_hooks().selection = search_selection;
  search_hooks().shift_marks = search_shift_marks;
}

void sel_uninstall() {
  store_set_mark_remove_hook(nullptr);
  buf_hooks().deselect_buffer = nullptr;
  buf_hooks().reextend_selection = nullptr;
  search_hooks().selection = nullptr;
  search_hooks().shift_marks = nullptr;
}

SelectionMarks* sel_alloc_pair(bool single_mark) {
  PosRecord* b = pos_alloc();
  if (!b) return nullptr;
  PosRecord* e = b;
  if (!single_mark) {
    e = pos_alloc();
    if (!e) {
      pos_free(b);
      return nullptr;
    }
  }
  auto* s = new SelectionMarks{b, e};
  b->kind[1] = kSelNone;
  b->kind[3] = single_mark ? kMarkSingle : kMarkPair;
  g_sels.push_back(s);
  return s;
}

void sel_free(SelectionMarks* sel) {
  if (!sel) return;
  sel_clear(sel);
  g_sels.erase(std::remove(g_sels.begin(), g_sels.end(), sel), g_sels.end());
  if (g_active == sel) {
    g_active = nullptr;
    undo_forget_selection();
  }
  if (!single(sel)) pos_free(sel->end);
  pos_free(sel->begin);
  delete sel;
}

SelectionMarks* sel_active_peek() { return g_active; }

SelectionMarks* sel_active() {
  if (!g_active) g_active = sel_alloc_pair(false);
  return g_active;
}

void sel_start(SelectionMarks* sel, uint8_t kind, const PosRecord* pos) {
  sel_clear(sel);
  BufferRec* b = pos->buffer;
  for (PosRecord* m : {sel->begin, sel->end}) {
    pos_copy_place(m, pos);
    m->buffer = b;
    m->column = pos->column;
    m->row = pos->row;
    m->kind[0] = kind & kSelChar;
  }
  sel->begin->kind[1] = kind;
  sel->begin->kind[2] = kSelNewState;
  sel->begin->kind[3] = single(sel) ? kMarkSingle : kMarkPair;
  link_marks(sel, b);
  b->redraw = 1;
  redraw_bits |= kRedrawLines;
}

int32_t sel_extend(SelectionMarks* sel, uint8_t kind, const PosRecord* cursor) {
  if (cursor->buffer) cursor->buffer->redraw = 1;
  redraw_bits |= kRedrawLines;
  if (on_top(cursor)) return ERR_TEXT_NOT_SELECTED;
  sel_check_after_adjust(sel);
  if (!is_set(sel)) {
    sel_start(sel, kind, cursor);
    return 0;
  }
  if (sel->begin->kind[1] != kind || sel->begin->buffer != cursor->buffer) return ERR_TEXT_ALREADY_SELECTED;
  PosRecord* b = sel->begin;
  PosRecord* e = sel->end;
  uint8_t& state = b->kind[2];
  PosRecord anchor{};
  const PosRecord* am = (state & kSelBeginAnchor) ? b : e;
  pos_copy_place(&anchor, am);
  anchor.buffer = am->buffer;
  anchor.row = am->row;
  int32_t acol = (state & kSelBeginColAnchor) ? b->column : e->column;
  int32_t ccol = cursor->column;
  int order = pos_compare(&anchor, cursor);
  if (order < 0) {
    pos_copy_place(b, &anchor);
    b->row = anchor.row;
    pos_copy_place(e, cursor);
    e->row = cursor->row;
    state |= kSelBeginAnchor;
  } else {
    pos_copy_place(b, cursor);
    b->row = cursor->row;
    pos_copy_place(e, &anchor);
    e->row = anchor.row;
    state &= static_cast<uint8_t>(~kSelBeginAnchor);
  }
  bool one_line = same_line(&anchor, cursor);
  if (kind == kSelBlock || one_line) {
    b->column = std::min(acol, ccol);
    e->column = std::max(acol, ccol);
    if (b->column == acol)
      state |= kSelBeginColAnchor;
    else
      state &= static_cast<uint8_t>(~kSelBeginColAnchor);
  } else if (order < 0) {
    b->column = acol;
    e->column = ccol;
    state |= kSelBeginColAnchor;
  } else {
    b->column = ccol;
    e->column = acol;
    state &= static_cast<uint8_t>(~kSelBeginColAnchor);
  }
  cursor->buffer->redraw = 1;
  return 0;
}

void sel_clear(SelectionMarks* sel) {
  if (!sel || !is_set(sel)) return;
  if (sel->begin->buffer) sel->begin->buffer->redraw = 1;
  if (sel == g_active) redraw_bits |= kRedrawWindow | kRedrawCaption;
  unlink_marks(sel);
  sel->begin->kind[1] = kSelNone;
}

void sel_clear_buffer_marks(BufferRec* buf) {
  undo_forget_selection();  // its saved copy may name this buffer
  for (SelectionMarks* s : g_sels)
    if (is_set(s) && s->begin->buffer == buf) sel_clear(s);
}

SelectionMarks* sel_duplicate(const SelectionMarks* sel) {
  SelectionMarks* d = sel_alloc_pair(single(sel));
  if (!d || !is_set(sel)) return d;
  BufferRec* b = sel->begin->buffer;
  pos_copy(d->begin, sel->begin);
  if (!single(sel)) pos_copy(d->end, sel->end);
  link_marks(d, b);
  return d;
}

void sel_check_after_adjust(SelectionMarks* sel) {
  if (!is_set(sel)) return;
  const PosRecord* b = sel->begin;
  const PosRecord* e = sel->end;
  if (b->column < 0 || on_top(b) || on_top(e) || (!single(sel) && same_line(b, e) && e->column < b->column) ||
      pos_compare(b, e) > 0)
    sel_clear(sel);
}

uint8_t sel_kind(const SelectionMarks* sel) {
  if (!is_set(sel)) return kSelNone;
  if (sel->begin->column < 0) return kSelNone;
  return sel->begin->kind[1];
}

BufferRec* sel_buffer(const SelectionMarks* sel) { return is_set(sel) ? sel->begin->buffer : nullptr; }

// ---- following edits ----

int32_t marks_adjust_columns(int32_t col, int32_t delta, int direction, PosRecord* pos, BufferRec* buf) {
  PosRecord to{};
  if (direction != 0) {
    pos_copy_place(&to, pos);
    to.buffer = buf;
    int32_t rc = direction > 0 ? pos_next_line(&to, buf) : pos_prev_line(&to, buf);
    if (rc) return rc;
  }
  PosRecord* h = buf->pos_ring;
  if (!h) return 0;
  PosRecord* q = h;
  do {
    if (q->kind[0] && same_line(q, pos) && q != pos) {
      SelectionMarks* s = owner_of(q);
      bool is_end = s && !single(s) && s->end == q;
      if (is_end ? q->column > col : q->column >= col) {
        if (direction > 0) {
          pos_copy_place(q, &to);
          q->column += delta - col;
        } else if (direction < 0) {
          pos_copy_place(q, &to);
          q->column += delta;
        } else if (delta < 0) {
          q->column = q->column >= col - delta ? q->column + delta : col;
        } else {
          q->column = std::min(q->column + delta, kSelMaxColumn);
        }
      }
    }
    q = q->buf_next;
  } while (q != h);
  return 0;
}

// ---- operations ----

int32_t sel_check_kind(const SelectionMarks* sel, uint8_t allowed) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  if (k & allowed) return 0;
  if (!(allowed & kSelLine)) return ERR_BLOCK_SELECTION_REQUIRED;
  if (allowed & kSelBlock) return ERR_LINE_OR_BLOCK_SELECTION_REQUIRED;
  return ERR_LINE_SELECTION_REQUIRED;
}

int32_t sel_text(const SelectionMarks* sel, std::vector<std::string>& out) {
  out.clear();
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  BufferRec* buf = sel->begin->buffer;
  TabScope ts(buf);
  int32_t n = count_lines(sel->begin, sel->end);
  if (n < 0) return ERR_TEXT_NOT_SELECTED;
  PosRecord w{};
  pos_copy_place(&w, sel->begin);
  w.buffer = buf;
  if (k == kSelChar) {
    PosRecord e{};
    CharSpan sp{};
    char_span(sel, &e, sp);
    n = count_lines(sel->begin, &e);
  }
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0 && pos_next_line(&w, buf) != 0) break;
    std::string line = line_get_string(&w, buf);
    if (k == kSelLine) {
      out.push_back(line);
    } else if (k == kSelBlock) {
      int32_t bc = sel->begin->column, width = sel->end->column - sel->begin->column + 1;
      int32_t b0 = col_to_byte(line, bc, buf, true);
      int32_t b1 = col_to_byte(line, bc + width, buf, true);
      out.push_back(line.substr(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0)));
    } else {
      PosRecord e{};
      CharSpan sp{};
      char_span(sel, &e, sp);
      int32_t from = 0;
      if (i == 0) from = col_to_byte(line, sp.bc, buf, true);
      std::string piece = line.substr(static_cast<size_t>(from));
      if (i == n - 1) {
        int32_t to = col_to_byte(line, sp.ec, buf, false);
        if (i == 0) to = std::max(to, from);
        piece = line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
      }
      out.push_back(piece);
    }
  }
  return 0;
}

int32_t sel_delete(SelectionMarks* sel, PosRecord* cursor) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  BufferRec* buf = sel->begin->buffer;
  TabScope ts(buf);
  line_flush_if(buf);
  int32_t rc = 0;
  if (k == kSelLine) {
    int32_t n = count_lines(sel->begin, sel->end);
    if (n < 0) return ERR_TEXT_NOT_SELECTED;
    RingPos w(sel->begin, buf);
    rc = delete_lines(&w.p, n, buf);
  } else if (k == kSelBlock) {
    int32_t bc = sel->begin->column, ec = sel->end->column;
    rc = walk_lines(sel, [&](std::string& line, PosRecord*) {
      if (width_of(line, buf) <= bc) return;
      int32_t b0 = col_to_byte(line, bc, buf, false);
      int32_t b1 = col_to_byte(line, ec + 1, buf, false);
      line.erase(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0));
    });
    if (cursor && cursor->buffer == buf && rc == 0) {
      // A cursor right of the block on its lines keeps its text.
      if (pos_compare(cursor, sel->begin) >= 0 && pos_compare(cursor, sel->end) <= 0 && cursor->column > ec)
        cursor->column -= ec - bc + 1;
    }
  } else {
    RingPos e(sel->end, buf);
    CharSpan sp{};
    char_span(sel, &e.p, sp);
    RingPos b(sel->begin, buf);
    bool cursor_in =
        cursor && cursor->buffer == buf && pos_compare(cursor, &b.p) >= 0 && pos_compare(cursor, &e.p) <= 0;
    bool cursor_after = cursor_in && same_line(cursor, &e.p) && cursor->column >= sp.ec;
    int32_t after_col = cursor_after ? cursor->column - sp.ec : 0;
    if (cursor_in && same_line(cursor, &b.p) && !same_line(&b.p, &e.p) && cursor->column < sp.bc) cursor_in = false;
    if (cursor_in && same_line(&b.p, &e.p) && cursor->column < sp.bc) cursor_in = false;
    std::string first = line_get_string(&b.p, buf);
    std::string last = same_line(&b.p, &e.p) ? first : line_get_string(&e.p, buf);
    int32_t hb = col_to_byte(first, sp.bc, buf, true);
    int32_t tb = col_to_byte(last, sp.ec, buf, false);
    if (same_line(&b.p, &e.p) && !sp.at_end)
      tb = std::max(tb, std::min<int32_t>(hb, static_cast<int32_t>(last.size())));
    std::string joined =
        first.substr(0, static_cast<size_t>(hb)) + last.substr(static_cast<size_t>(std::min<size_t>(tb, last.size())));
    if (same_line(&b.p, &e.p)) {
      rc = put_line(&b.p, joined);
      if (rc == 0) marks_adjust_columns(sp.bc, -(sp.ec - sp.bc), 0, &b.p, buf);
    } else {
      int32_t between = count_lines(&b.p, &e.p) - 2;
      RingPos m(&b.p, buf);
      rc = pos_next_line(&m.p, buf);
      if (rc == 0 && between > 0) rc = delete_lines(&m.p, between, buf);
      if (rc == 0) rc = marks_adjust_columns(sp.ec, sp.bc - sp.ec, -1, &e.p, buf);
      if (rc == 0) rc = put_line(&b.p, joined);
      if (rc == 0) rc = delete_lines(&e.p, 1, buf);
    }
    if (rc == 0 && cursor_in) {
      pos_copy_place(cursor, &b.p);
      cursor->column = sp.bc + after_col;
    }
  }
  sel_clear(sel);
  return rc;
}

int32_t sel_copy_to_cursor(SelectionMarks* sel, PosRecord* cursor) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  if (on_top(cursor) && k != kSelLine) return ERR_SOURCE_DESTINATION_CONFLICT;
  BufferRec* sbuf = sel->begin->buffer;
  BufferRec* dbuf = cursor->buffer;
  line_flush_if(sbuf);
  line_flush_if(dbuf);
  if (sbuf == dbuf) {
    if (k == kSelLine && pos_compare(cursor, sel->begin) >= 0 && pos_compare(cursor, sel->end) < 0)
      return ERR_SOURCE_DESTINATION_CONFLICT;
    if (k == kSelChar) {
      int32_t ecx = sel->end->column + ((sel->begin->kind[2] & kSelExclusive) ? 0 : 1);
      int after_b = pos_compare(cursor, sel->begin);
      int before_e = pos_compare(cursor, sel->end);
      bool past_b = after_b > 0 || (after_b == 0 && cursor->column > sel->begin->column);
      bool before_end = before_e < 0 || (before_e == 0 && cursor->column < ecx);
      if (past_b && before_end) return ERR_SOURCE_DESTINATION_CONFLICT;
    }
  }
  std::vector<std::string> text;
  int32_t rc = k == kSelLine ? 0 : sel_text(sel, text);
  if (rc) return rc;
  TabScope ts(dbuf);
  RingPos at(cursor, dbuf);
  uint8_t tracking = cursor->kind[0];
  cursor->kind[0] = 0;  // the cursor stays before the copy
  int32_t c = cursor->column;
  if (k == kSelLine) {
    // Through the store's copy: no line is held in memory, each keeps its flags.
    RingPos src(sel->begin, sbuf), last(sel->end, sbuf), first(cursor, dbuf);
    rc = lines_copy(&at.p, &src.p, &last.p, &first.p, dbuf);
    if (rc == 0) set_marks(sel, kSelLine, &first.p, sel->begin->column, &at.p, sel->end->column);
  } else if (k == kSelChar) {
    PosRecord end{};
    end.buffer = dbuf;
    int32_t end_col = 0;
    rc = insert_char_text(&at.p, c, text, &end, end_col);
    if (rc == 0) {
      bool excl = sel->begin->kind[2] & kSelExclusive;
      set_marks(sel, kSelChar, &at.p, c, &end, excl ? end_col : end_col - 1);
    }
  } else {
    int32_t width = sel->end->column - sel->begin->column + 1;
    RingPos w(cursor, dbuf);
    rc = insert_block_rows(&w.p, c, text, dbuf);
    if (rc == 0) set_marks(sel, kSelBlock, &at.p, c, &w.p, c + width - 1);
  }
  cursor->kind[0] = tracking;
  return rc;
}

int32_t sel_move_to_cursor(SelectionMarks* sel, PosRecord* cursor) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  if (on_top(cursor) && k != kSelLine) return ERR_SOURCE_DESTINATION_CONFLICT;
  BufferRec* sbuf = sel->begin->buffer;
  if (k == kSelBlock && sbuf == cursor->buffer) {
    // The block's own lines: the cursor may not stand inside its columns.
    bool on_lines = pos_compare(cursor, sel->begin) >= 0 && pos_compare(cursor, sel->end) <= 0;
    int32_t bc = sel->begin->column, ec = sel->end->column;
    if (on_lines && cursor->column > bc && cursor->column <= ec) return ERR_SOURCE_DESTINATION_CONFLICT;
    // Take the block out first, then put it at the cursor (whose column
    // moves left when it stood right of the block).
    std::vector<std::string> text;
    int32_t rc = sel_text(sel, text);
    if (rc) return rc;
    SelectionMarks* dup = sel_duplicate(sel);
    if (!dup) return ERR_TOO_MANY_SELECTIONS;
    RingPos keep(cursor, sbuf);
    rc = sel_delete(dup, cursor);
    sel_free(dup);
    if (rc) return rc;
    // Reinsert through a scratch selection holding the text: insert at cursor.
    TabScope ts(sbuf);
    RingPos w(cursor, sbuf);
    int32_t c = cursor->column;
    rc = insert_block_rows(&w.p, c, text, sbuf);
    if (rc == 0) set_marks(sel, kSelBlock, cursor, c, &w.p, c + ec - bc);
    return rc;
  }
  SelectionMarks* dup = sel_duplicate(sel);
  if (!dup) return ERR_TOO_MANY_SELECTIONS;
  int32_t rc = sel_copy_to_cursor(sel, cursor);
  if (rc == 0) rc = sel_delete(dup, cursor);
  sel_free(dup);
  return rc;
}

int32_t sel_fill(SelectionMarks* sel, uint8_t fill) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  BufferRec* buf = sel->begin->buffer;
  TabScope ts(buf);
  line_flush_if(buf);
  if (k == kSelChar) {
    PosRecord e{};
    CharSpan sp{};
    char_span(sel, &e, sp);
    int32_t n = count_lines(sel->begin, &e);
    RingPos w(sel->begin, buf);
    for (int32_t i = 0; i < n; ++i) {
      if (i > 0 && pos_next_line(&w.p, buf) != 0) break;
      std::string line = line_get_string(&w.p, buf);
      int32_t from = i == 0 ? sp.bc : 0;
      int32_t to = i == n - 1 ? sp.ec : width_of(line, buf);
      if (i == n - 1 && sp.to_next) break;  // only the break of the line above
      if (to <= from) continue;
      int32_t b0 = col_to_byte(line, from, buf, true);
      int32_t b1 = col_to_byte(line, to, buf, true);
      line.replace(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0), static_cast<size_t>(to - from),
                   static_cast<char>(fill));
      int32_t rc = put_line(&w.p, line);
      if (rc) return rc;
    }
    return 0;
  }
  int32_t bc = sel->begin->column, ec = sel->end->column;
  return walk_lines(sel, [&](std::string& line, PosRecord*) {
    int32_t from = k == kSelLine ? 0 : bc;
    int32_t to = k == kSelLine ? width_of(line, buf) : std::min(ec + 1, kSelMaxColumn + 1);
    if (!buf->record_len) to = std::min(to, kSelMaxColumn);  // never past column 1023
    if (to <= from) return;
    int32_t b0 = col_to_byte(line, from, buf, true);
    int32_t b1 = col_to_byte(line, to, buf, true);
    line.replace(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0), static_cast<size_t>(to - from),
                 static_cast<char>(fill));
  });
}

int32_t sel_shift(SelectionMarks* sel, int dir) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  BufferRec* buf = sel->begin->buffer;
  TabScope ts(buf);
  line_flush_if(buf);
  int32_t col = k == kSelBlock ? sel->begin->column : 0;
  // A CHAR selection ending at column 0 of a later line (exclusive) leaves that line out.
  SelectionMarks* s = sel;
  PosRecord saved_end{};
  bool moved_end = false;
  if (k == kSelChar && sel->end->column == 0 && (sel->begin->kind[2] & kSelExclusive) &&
      !same_line(sel->begin, sel->end)) {
    saved_end = *sel->end;
    PosRecord up{};
    pos_copy_place(&up, sel->end);
    up.buffer = buf;
    if (pos_prev_line(&up, buf) == 0) {
      pos_copy_place(sel->end, &up);
      moved_end = true;
    }
  }
  int32_t rc = walk_lines(s, [&](std::string& line, PosRecord*) {
    if (dir < 0) {
      if (width_of(line, buf) <= col) return;
      int32_t b0 = col_to_byte(line, col, buf, false);
      int32_t b1 = col_to_byte(line, col + 1, buf, false);
      line.erase(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0));
    } else {
      if (width_of(line, buf) < col) return;  // nothing at the edge to shift
      int32_t b0 = col_to_byte(line, col, buf, false);
      line.insert(static_cast<size_t>(b0), 1, ' ');
    }
  });
  if (moved_end) {
    PosRecord down{};
    pos_copy_place(&down, sel->end);
    down.buffer = buf;
    if (pos_next_line(&down, buf) == 0) pos_copy_place(sel->end, &down);
    sel->end->column = saved_end.column;
  }
  return rc;
}

int32_t sel_change_case(SelectionMarks* sel, char mode) {
  uint8_t k = sel_kind(sel);
  if (k == kSelNone) return ERR_TEXT_NOT_SELECTED;
  if (mode != 'U' && mode != 'L') return ERR_INVALID_ARGUMENT;
  BufferRec* buf = sel->begin->buffer;
  TabScope ts(buf);
  line_flush_if(buf);
  auto conv = [mode](char ch) {
    unsigned char u = static_cast<unsigned char>(ch);
    if (mode == 'U' && u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
    if (mode == 'L' && u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
    return ch;
  };
  // Tabs are not letters: a tab at either edge is simply taken along.
  auto convert_cols = [&](std::string& line, int32_t from, int32_t to) {
    int32_t w = width_of(line, buf);
    to = std::min(to, w);
    if (to <= from) return;
    int32_t b0 = tab_convert_column(line, from + 1, 'P', stops(buf)) - 1;
    int32_t b1 = to >= w ? static_cast<int32_t>(line.size()) : tab_convert_column(line, to + 1, 'P', stops(buf)) - 1;
    for (int32_t i = std::max(b0, 0); i < b1 && i < static_cast<int32_t>(line.size()); ++i)
      line[static_cast<size_t>(i)] = conv(line[static_cast<size_t>(i)]);
  };
  if (k == kSelChar) {
    PosRecord e{};
    CharSpan sp{};
    char_span(sel, &e, sp);
    int32_t n = count_lines(sel->begin, &e);
    RingPos w(sel->begin, buf);
    for (int32_t i = 0; i < n; ++i) {
      if (i > 0 && pos_next_line(&w.p, buf) != 0) break;
      std::string line = line_get_string(&w.p, buf);
      std::string before = line;
      convert_cols(line, i == 0 ? sp.bc : 0, i == n - 1 ? sp.ec : width_of(line, buf));
      if (line != before) {
        int32_t rc = put_line(&w.p, line);
        if (rc) return rc;
      }
    }
    return 0;
  }
  int32_t bc = sel->begin->column, ec = sel->end->column;
  return walk_lines(sel, [&](std::string& line, PosRecord*) {
    if (k == kSelLine)
      convert_cols(line, 0, width_of(line, buf));
    else
      convert_cols(line, bc, ec + 1);
  });
}
