// Selection built-ins. The selection argument is optional and defaults to
// the active selection; it is a handle (the begin mark's position handle):
// a value that is not a number gives -3009, a handle that names no selection
// (or a single mark where none is allowed) -2036. Errors other than -2073
// are raised without stopping the macro unless their message stops it; a
// built-in that pushes a result pushes an empty string after such an error,
// so the stack stays as its row says.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/window_port.h"
#include "text/curline.h"
#include "text/selection.h"

namespace {

constexpr uint8_t kAnyKind = kSelLine | kSelChar | kSelBlock;

// Raises code; unless that stopped the macro, pushes an empty result.
void fail_push(ErrorCode code) {
  if (!core_raise_stops(code)) vm_push_view({});
}

// The selection named by argument i of n (the active one when absent).
// Null after the error was raised (the arguments are dropped).
SelectionMarks* sel_arg(int32_t n, int32_t i, bool single_ok) {
  if (i >= n) return sel_active();
  int32_t h = 0;
  if (!bi_arg_int(n, i, &h)) return nullptr;
  SelectionMarks* s = sel_find(h);
  if (!s || (!single_ok && sel_single(s))) {
    bi_fail(n, ERR_INVALID_SELECTION_HANDLE);
    return nullptr;
  }
  return s;
}

// The common head of the [sel] built-ins: count 0..1, the selection.
SelectionMarks* only_sel(bool single_ok) {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return nullptr;
  SelectionMarks* s = sel_arg(n, 0, single_ok);
  if (s) core_drop(n);
  return s;
}

// only_sel for a built-in that pushes a result: after an error that did
// not stop the macro, an empty result is pushed.
SelectionMarks* only_sel_push(bool single_ok) {
  const uint32_t before = vm_catch.unwinds;
  SelectionMarks* s = only_sel(single_ok);
  if (!s && vm_catch.unwinds == before) vm_push_view({});
  return s;
}

// What every operation does first: the active selection catches up with the
// cursor and, unless kept, stops following it; then the kind is checked
// (raised, not fatal).
bool prepare(SelectionMarks* sel, uint8_t allowed, bool keep_following = false) {
  sel_update_active(view_current());
  if (sel == sel_active_peek() && !keep_following) sel_stop_following(sel);
  const int32_t rc = sel_check_kind(sel, allowed);
  if (rc == 0) return true;
  vm_raise_error(rc);
  return false;
}

// After an operation that changed text: rc, the views' rows and redraw.
void finish(SelectionMarks* sel, BufferRec* buf, int32_t rc) {
  if (buf) {
    view_fix_rows(nullptr, buf);
    buf->redraw = 1;
  }
  redraw_bits |= kRedrawOthers | kRedrawWindow | kRedrawCaption;
  (void)sel;
  vm_set_rc_or_raise(rc);
}

// An operation of the [sel] form that changes text.
template <typename Op>
void operate(uint8_t allowed, bool needs_view, Op op) {
  SelectionMarks* s = only_sel(false);
  if (!s) return;
  PosRecord* v = view_current();
  if (needs_view && !(v = bi_need_view())) return;
  if (!prepare(s, allowed)) return;
  BufferRec* b = sel_buffer(s);
  const int32_t rc = op(s, v);
  finish(s, b, rc);
}

// Main 160-162: [sel [, options "INCEP"]]; rc.
void select_kind(uint8_t kind) {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  SelectionMarks* s = sel_arg(n, 0, true);
  if (!s) return;
  int32_t opts = 0;
  if (n == 2 && !bi_arg_options(n, 1, "INCEP", &opts)) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  if (sel_single(s)) {
    sel_place_single(s, kind, v);
    vm_set_rc(0);
    return;
  }
  const int32_t rc = sel_extend(s, kind, v);
  if (rc) {
    vm_raise_error(rc);
    return;
  }
  sel_set_options(s, opts & 4, opts & 16, opts & 1);  // C follows, P flag 8, I inclusive
  vm_set_rc(0);
}

const char* kind_name(uint8_t k) {
  switch (k) {
    case kSelLine:
      return "LINE";
    case kSelChar:
      return "CHAR";
    case kSelBlock:
      return "BLOCK";
    default:
      return "";
  }
}

// The order of the cursor and a mark: -1, 0 or 1; -1 (before the begin) and
// 1 (after the end) when the selection is empty or in another buffer.
void compare_with(bool end_mark) {
  SelectionMarks* s = only_sel_push(true);
  if (!s) return;
  sel_update_active(view_current());
  const PosRecord* v = view_current();
  int order = end_mark ? 1 : -1;
  if (v && sel_kind(s) != kSelNone && sel_buffer(s) == v->buffer) {
    const int c = pos_compare(v, end_mark ? s->end : s->begin);
    order = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  vm_push_int(order);
}

}  // namespace

// Main 157: ["B"] -> the handle of a new selection ("B": a single mark).
void bi_alloc_selection() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 0;
  if (n == 1 && !bi_arg_letter(n, 0, "B", &letter)) return;
  core_drop(n);
  SelectionMarks* s = sel_alloc_pair(letter == 'B');
  if (!s) {
    fail_push(ERR_TOO_MANY_SELECTIONS);
    return;
  }
  vm_push_int(sel_handle(s));
}

// Main 158: sel: deselected, and freed unless it is the active selection.
void bi_free_selection() {
  if (!core_have(1)) return;
  SelectionMarks* s = sel_arg(1, 0, true);
  if (!s) return;
  core_drop(1);
  sel_clear(s);
  if (s != sel_active_peek()) sel_free(s);
}

// Main 159: [sel].
void bi_deselect() {
  if (SelectionMarks* s = only_sel(true)) sel_clear(s);
}

void bi_select_block() { select_kind(kSelBlock); }
void bi_select_char() { select_kind(kSelChar); }
void bi_select_line() { select_kind(kSelLine); }

// Main 163: [sel [, letter "STPIWU" [, value]]] -> a property of the selection.
void bi_select_type() {
  int32_t n = 0;
  if (!bi_count(0, 3, &n)) return;
  SelectionMarks* s = sel_active();
  if (n >= 1) {
    lstr_number_error = 0;
    const int32_t h = lstr_to_long(core_value(n - 1));
    if (lstr_number_error) {  // stops without a message
      core_drop(n);
      vm_raise_error(0);
      return;
    }
    s = sel_find(h);
  }
  char letter = 'T';
  if (n >= 2 && !bi_arg_letter(n, 1, "STPIWU", &letter)) return;
  LStrLine value;
  if (n >= 3) bi_arg_copy(n, 2, &value);
  core_drop(n);
  if (!s) {
    vm_push_view({});
    return;
  }
  sel_update_active(view_current());
  const uint8_t kind = sel_kind(s);
  if (letter == 'T' && n >= 3) {
    std::string v(value.view());
    for (char& c : v) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const uint8_t k = v == "LINE" ? kSelLine : v == "CHAR" ? kSelChar : (v == "BLOCK" || v == "NBLOCK") ? kSelBlock : 0;
    if (k == 0 || kind == kSelNone) {
      fail_push(ERR_INVALID_ARGUMENT);
      return;
    }
    sel_set_kind(s, k, v == "NBLOCK");
  }
  char out[16] = {};  // a short answer; the empty string when nothing applies
  const PosRecord* b = s->begin;
  auto put = [&out](std::string_view v) { v.copy(out, sizeof out - 1); };
  switch (letter) {
    case 'T':
      put(kind_name(sel_kind(s)));
      break;
    case 'I':
      if (kind) put((b->kind[2] & kSelExclusive) ? "0" : "1");
      break;
    case 'P':
      if (kind) {
        out[0] = (b->kind[2] & kSelBeginAnchor) ? 'B' : 'E';
        out[1] = (b->kind[2] & kSelBeginColAnchor) ? 'B' : 'E';
      }
      break;
    case 'S':
      if (kind) put(sel_single(s) ? "B" : (b->kind[3] & kMarkFollow) ? "C" : "E");
      break;
    case 'U':
      if (kind && (b->kind[3] & kMarkP)) put("P");
      break;
    case 'W':
      std::snprintf(out, sizeof out, "%d", kind ? sel_buffer(s)->record_len : 0);
      break;
  }
  vm_push_cstr(out);
}

// Main 164 and 165: [sel]: the cursor to the begin or end mark; rc.
void bi_begin_select() {
  SelectionMarks* s = only_sel(true);
  if (!s || !bi_need_view()) return;
  sel_update_active(view_current());
  vm_set_rc_or_raise(sel_goto_mark(s, false));
}
void bi_end_select() {
  SelectionMarks* s = only_sel(true);
  if (!s || !bi_need_view()) return;
  sel_update_active(view_current());
  vm_set_rc_or_raise(sel_goto_mark(s, true));
}

// Main 166: [sel], then a group of three or four variables: begin column,
// end column, buffer handle [, buffer name]; rc.
void bi_get_selinfo() {
  int32_t n = 0, nvars = 0;
  uint32_t vars[4] = {};
  if (!bi_count(0, 1, &n)) return;
  if (!bi_var_group(3, 4, vars, &nvars)) return;
  SelectionMarks* s = sel_arg(n, 0, true);
  if (!s) return;
  core_drop(n);
  sel_update_active(view_current());
  if (sel_kind(s) == kSelNone) {
    vm_raise_error(ERR_TEXT_NOT_SELECTED);
    return;
  }
  const BufferRec* b = sel_buffer(s);
  var_store_int(vars[0], s->begin->column + 1);
  var_store_int(vars[1], (sel_single(s) ? s->begin : s->end)->column + 1);
  var_store_int(vars[2], b->handle);
  if (nvars == 4) var_store_bytes(vars[3], b->name.text, b->name.len);
  vm_set_rc(0);
}

// Main 167: fill [, sel]: the selected text overwritten with fill's first byte.
void bi_fill_selection() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  const std::string_view f = bi_arg(n, 0);
  if (f.empty()) {
    bi_fail(n, ERR_INVALID_ARGUMENT);
    return;
  }
  const uint8_t fill = static_cast<uint8_t>(f[0]);
  SelectionMarks* s = sel_arg(n, 1, false);
  if (!s) return;
  core_drop(n);
  if (!prepare(s, kAnyKind)) return;
  BufferRec* b = sel_buffer(s);
  finish(s, b, sel_fill(s, fill));
}

// Main 168: [sel].
void bi_delete_selection() {
  operate(kAnyKind, false, [](SelectionMarks* s, PosRecord* v) {
    const int32_t rc = sel_delete(s, v);
    redraw_bits |= kRedrawLineField;
    return rc;
  });
}

// Main 169 and 170: [sel].
void bi_shift_selection_left() {
  operate(kAnyKind, false, [](SelectionMarks* s, PosRecord*) { return sel_shift(s, -1); });
}
void bi_shift_selection_right() {
  operate(kAnyKind, false, [](SelectionMarks* s, PosRecord*) { return sel_shift(s, 1); });
}

// Main 171: [sel]: a selection that follows the cursor with flag 8 keeps
// its mark flags.
void bi_copy_to_cursor() {
  SelectionMarks* s = only_sel(false);
  if (!s) return;
  PosRecord* v = bi_need_view();
  if (!v) return;
  const bool keep = (s->begin->kind[3] & (kMarkFollow | kMarkP)) == (kMarkFollow | kMarkP);
  if (!prepare(s, kAnyKind, keep)) return;
  finish(s, v->buffer, sel_copy_to_cursor(s, v));
}

// Main 172 and 173: [sel]: a BLOCK over the cursor, its old place blanked
// (overlay) or kept (adjust).
void bi_overlay_block_selection() {
  operate(kSelBlock, true, [](SelectionMarks* s, PosRecord* v) { return block_overlay(s, v, true); });
}
void bi_adjust_block_selection() {
  operate(kSelBlock, true, [](SelectionMarks* s, PosRecord* v) { return block_overlay(s, v, false); });
}

// Main 174: [sel] -> the handle of a copy (an empty argument: the active
// selection's own handle); rc.
void bi_duplicate_selection() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  if (n == 1 && bi_arg(n, 0).empty()) {
    core_drop(n);
    vm_set_rc(0);
    vm_push_int(sel_handle(sel_active()));
    return;
  }
  const uint32_t before = vm_catch.unwinds;
  SelectionMarks* s = sel_arg(n, 0, true);
  if (!s) {
    if (vm_catch.unwinds == before) vm_push_view({});
    return;
  }
  core_drop(n);
  SelectionMarks* d = sel_duplicate(s);
  if (!d) {
    vm_set_rc(ERR_TOO_MANY_SELECTIONS);
    vm_push_view({});
    return;
  }
  vm_set_rc(0);
  vm_push_int(sel_handle(d));
}

// Main 175: [sel]: it becomes the active selection; rc.
void bi_show_selection() {
  SelectionMarks* s = only_sel(true);
  if (!s) return;
  sel_make_active(s);
  vm_set_rc(0);
}

// Main 176: [sel].
void bi_move_to_cursor() {
  operate(kAnyKind, true, [](SelectionMarks* s, PosRecord* v) { return sel_move_to_cursor(s, v); });
}

// Main 232: [sel]: the last search match becomes the selection.
void bi_select_match() {
  SelectionMarks* s = only_sel(false);
  if (!s) return;
  PosRecord* v = bi_need_view();
  if (!v) return;
  line_flush_current();
  sel_select_match(s, v);
}

// Main 242 and 243: [sel] -> the order of the cursor and the mark.
void bi_begin_select_compare() { compare_with(false); }
void bi_end_select_compare() { compare_with(true); }

// Ext 147: [sel]: the selection's text to the clipboard; rc.
void bi_copy_to_clipboard() {
  SelectionMarks* s = only_sel(true);
  if (!s) return;
  if (!prepare(s, kAnyKind, true)) return;
  line_flush_if(sel_buffer(s));
  int64_t size = 0;
  int32_t lines = 0;
  int32_t rc = sel_clip_size(s, &size, &lines);
  std::string text;
  if (rc == 0) rc = sel_clip_text(s, text, size);
  if (rc == 0) {
    char header[48];
    const uint8_t k = sel_kind(s);
    if (k == kSelBlock)
      std::snprintf(header, sizeof header, "pid=%d block %d", static_cast<int>(getpid()),
                    static_cast<int>(s->end->column - s->begin->column + 1));
    else
      std::snprintf(header, sizeof header, "pid=%d %s", static_cast<int>(getpid()), k == kSelLine ? "line" : "char");
    rc = clip_put_text(header, text);
  }
  vm_set_rc_or_raise(rc);
}
