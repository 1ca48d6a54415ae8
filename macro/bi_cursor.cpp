// Built-ins of the current-line layer: cursor moves, typing keys, whole-line
// operations, points, reading text and undo. Each is thin: it takes its
// arguments off the stack, makes sure there is a view (the fatal -2073
// otherwise) and calls one operation of text/curline.h.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "macro/window_port.h"
#include "text/curline.h"
#include "text/tabs.h"
#include "text/undo.h"

namespace {

// The caret built-ins take an editor window with a view, or a text box
// through the window layer; any other object gives the fatal -2073. True
// when the editor path is to run.
bool editor_or_text_box(TextBoxKey key) {
  WindowObject* w = window_current();
  if (w && w->view && w->view->buffer) return true;
  if (w && window_is_text_box(w)) {
    const int32_t rc = window_textbox_key(w, key);
    if (rc < 0) vm_raise_fatal(rc);
    return false;
  }
  vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  return false;
}

// What the key dispatch does before a command: the current line goes to the
// store and the open undo step closes.
void prepare_command() {
  line_flush_current();
  if (PosRecord* v = view_current()) undo_checkpoint(v, v->buffer);
}

bool on_top_line(const PosRecord* v) { return v->block == v->buffer->first_block && v->index == 0; }

// The line moves: count (decimal, default 1) and an optional stop column.
void cursor_lines(PosStepFn step) {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  int32_t count = 1, stop = 0;
  if (n >= 1 && !bi_arg_int_decimal(n, 0, &count)) return;
  if (n >= 2 && !bi_arg_int(n, 1, &stop)) return;
  core_drop(n);
  if (!bi_need_view()) return;
  LineStop at;
  if (n >= 2 && stop != 0) at = LineStop{stop > 0 ? 1 : 2, std::abs(stop)};
  vm_set_rc(view_cursor_lines(step, count, at));
}

}  // namespace

// ---- whole lines ---------------------------------------------------------------------

// Main 146: text.
void bi_insert_line() {
  if (!core_have(1)) return;
  LStrLine text;
  text.assign(core_view(0));
  core_drop(1);
  if (!bi_need_view()) return;
  line_insert_after_cursor(text.text, text.len);  // a failed insert is not reported
}

// Main 147: variable operand.
void bi_get_line() {
  const uint32_t var = vm_fetch_var_operand();
  if (var == 0 || !bi_need_view()) return;
  LStrLine text;
  if (line_load_current() == 0) text.assign(current_line.text.view());
  var_store_bytes(var, text.text, text.len);
}

// Main 148.
void bi_delete_line() {
  if (!bi_need_view()) return;
  vm_set_rc(line_delete_current());
}

// Main 149: text.
void bi_replace_line() {
  if (!core_have(1)) return;
  LStrLine text;
  text.assign(core_view(0));
  core_drop(1);
  if (!bi_need_view()) return;
  line_replace_current(text.text, text.len);
}

// ---- moves -----------------------------------------------------------------------------

// Main 177.
void bi_top_of_buffer() {
  if (!bi_need_view()) return;
  view_top_of_buffer();
}

// Main 178.
void bi_bottom_of_buffer() {
  if (!bi_need_view()) return;
  view_bottom_of_buffer();
}

// Main 179 and 180: [count [, stop column]]; rc.
void bi_cursor_up() { cursor_lines(pos_prev_line); }
void bi_cursor_down() { cursor_lines(pos_next_line); }

// Main 186 and 185; rc.
void bi_page_up() {
  if (!bi_need_view()) return;
  vm_set_rc(view_page(pos_prev_line));
}
void bi_page_down() {
  if (!bi_need_view()) return;
  vm_set_rc(view_page(pos_next_line));
}

// Main 181, 182, 187 and 188.
void bi_begin_line() {
  if (editor_or_text_box(TextBoxKey::Home)) cursor_begin_line();
}
void bi_end_line() {
  if (editor_or_text_box(TextBoxKey::End)) cursor_end_line();
}
void bi_cursor_left() {
  if (editor_or_text_box(TextBoxKey::Left)) cursor_left();
}
void bi_cursor_right() {
  if (editor_or_text_box(TextBoxKey::Right)) cursor_right();
}

// Main 190 and 189.
void bi_backspace() {
  if (editor_or_text_box(TextBoxKey::Backspace)) line_backspace();
}
void bi_delete_char() {
  if (editor_or_text_box(TextBoxKey::Delete)) line_delete_char();
}

// Main 184 and 183.
void bi_next_tab_stop() {
  if (bi_need_view()) cursor_next_tab_stop();
}
void bi_prev_tab_stop() {
  if (bi_need_view()) cursor_prev_tab_stop();
}

// Main 249: offset, y. The row is the pixel y in text rows of the window.
void bi_set_line_col() {
  if (!core_have(2)) return;
  int32_t offset = 0, y = 0;
  if (!bi_arg_int(2, 0, &offset) || !bi_arg_int(2, 1, &y)) return;
  core_drop(2);
  PosRecord* v = bi_need_view();
  if (!v) return;
  WindowObject* w = window_current();
  const int32_t height = std::max(w->rows, 1);
  const int32_t lh = std::max(window_line_height(w), 1);
  v->row = y < 0 ? 0 : std::clamp(y / lh, 0, height - 1);
  v->display[0] = std::max(offset, 0);
  view_fix_rows(v, v->buffer);
  v->buffer->redraw = 1;
  redraw_bits |= 0x2002;
}

// ---- points ----------------------------------------------------------------------------

// Main 238: ["P" or "L"] -> the cursor line's point (and zero-line count), or
// its line number.
void bi_point() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 'P';
  if (n == 1 && !bi_arg_letter(n, 0, "PL", &letter)) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  line_flush_current();
  if (letter == 'L') {
    if (v->line < 0) pos_line_number(v, v->buffer, 1);
    vm_push_int(v->line);
    return;
  }
  int64_t point = 0;
  int32_t zero = 0;
  const int32_t rc = pos_get_point(point, zero, v);
  if (rc < 0) {
    vm_raise_fatal(rc);
    return;
  }
  char text[40];
  const int len = zero != 0 ? std::snprintf(text, sizeof text, "%lld %d", static_cast<long long>(point), zero)
                            : std::snprintf(text, sizeof text, "%lld", static_cast<long long>(point));
  vm_push_bytes(text, len);
}

// Main 239: point text [, line number]; rc.
void bi_goto_point() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  LStrLine text;
  bi_arg_copy(n, 0, &text);
  int32_t line_no = -1;
  if (n == 2 && !bi_arg_int(n, 1, &line_no)) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  // The words: the point, then the zero-line count.
  const std::string t(text.view());
  char* end = nullptr;
  const long long point = std::strtoll(t.c_str(), &end, 10);
  const long zero = std::strtol(end, &end, 10);
  while (*end == ' ' || *end == '\t') ++end;
  if (end == t.c_str() || *end != '\0' || point < 0 || zero < 0) {
    vm_raise_error(ERR_INVALID_POINT);
    return;
  }
  line_flush_current();
  BufferRec* b = v->buffer;
  if (!view_select_current()) return;
  if (v->line < 0) pos_line_number(v, b, 0);
  const int32_t old_line = v->line, old_row = v->row;
  PosRecord q = *v;
  q.buf_next = q.buf_prev = q.win_next = q.win_prev = nullptr;
  int32_t rc = pos_goto_point(&q, point, static_cast<int32_t>(zero));
  pos_copy_place(v, &q);
  if (v->line < 0) pos_line_number(v, b, 0);
  // The row follows the lines moved; an unknown distance places it afresh.
  if (old_line >= 0 && v->line >= 0)
    view_set_cursor_row(old_row + (v->line - old_line), v->line >= old_line ? 1 : -1);
  else
    view_set_cursor_row(-1, -1);
  b->redraw = 1;
  redraw_bits |= 0x201a;
  if (rc == 0) {
    const std::string line = on_top_line(v) ? std::string() : line_get_string(v, b);
    const int64_t byte = point - (v->base + v->offset);  // the point's byte within its line
    v->column = std::max(tab_convert_column(line, static_cast<int32_t>(byte) + 1, 'I', tab_stops_of(b)) - 1, 0);
    if (line_no >= 0) v->line = line_no;
  }
  vm_set_rc_or_raise(rc);
}

// Main 202: [count [, offset]] -> up to count bytes of text.
void bi_get_text() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  int32_t count = 1, offset = 0x7fffffff;
  if (n >= 1 && !bi_arg_int(n, 0, &count)) return;
  if (n >= 2 && !bi_arg_int(n, 1, &offset)) return;
  core_drop(n);
  if (!bi_need_view()) return;
  count = std::clamp(count, 0, LSTR_CAP_LINE);
  char out[LSTR_CAP_LINE + 1];
  const int32_t got = buf_get_text_at(count, offset, out);
  vm_push_bytes(out, got < 0 ? 0 : got);
}

// Main 203: reserved.
void bi_reserved_203() { vm_raise_error(ERR_ILLEGAL_OPCODE); }

// ---- undo ------------------------------------------------------------------------------

// Main 215: ["U", "R", "S" or "C"]; rc.
void bi_undo() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char mode = 'U';
  if (n == 1 && !bi_arg_letter(n, 0, "URSC", &mode)) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  BufferRec* b = v->buffer;
  if (mode == 'S') {
    prepare_command();
    vm_set_rc(0);
    return;
  }
  if (!b->undo_enable && mode != 'R') {
    // Undo off: only the current line's pending edits go.
    if (current_line.dirty && current_line.buffer == b) {
      current_line.dirty = 0;
      if (!b->modified) redraw_bits |= kRedrawCaption;
      b->redraw = 1;
      redraw_bits |= kRedrawCursorLine;
    }
    vm_set_rc(0);
    return;
  }
  prepare_command();
  v = view_current();
  const int32_t rc = undo_step(mode, v, v->buffer);
  if (rc >= 0 || rc == ERR_NOTHING_TO_UNDO || rc == ERR_NOTHING_TO_REDO)
    vm_set_rc(rc);  // the result mask, or nothing to undo (redo)
  else
    vm_raise_error(rc);
}

// Ext 126: ["U" or "R"] -> 0 when a step can be undone (redone), else the code.
void bi_undo_query() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char mode = 'U';
  if (n == 1 && !bi_arg_letter(n, 0, "UR", &mode)) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  BufferRec* b = v->buffer;
  if (b->undo_enable && current_line.dirty && current_line.buffer == b) {
    vm_push_int(mode == 'U' ? 0 : ERR_NOTHING_TO_REDO);
    return;
  }
  prepare_command();
  vm_push_int(undo_can_step(mode, view_current()->buffer));
}
