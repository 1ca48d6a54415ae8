// Built-ins of buffers, windows and views: switching, closing, window ids,
// lookup by name, and closing the current object with a result.
#include <string>

#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/window_port.h"
#include "text/buffer.h"
#include "text/curline.h"

namespace {

// A code the text layer gives back: -2073 is fatal, the rest is raised.
void raise_result(int32_t rc) {
  if (rc == ERR_NOT_ALLOWED_ON_OBJECT)
    vm_raise_fatal(rc);
  else if (rc < 0)
    vm_raise_error(rc);
}

// Options of the next/previous built-ins: [letters] from `allowed`.
bool options(const char* allowed, int32_t* mask) {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return false;
  *mask = 0;
  if (n == 1 && !bi_arg_options(n, 0, allowed, mask)) return false;
  core_drop(n);
  return true;
}

void switch_buffer(int dir) {
  int32_t m = 0;
  if (!options("HNR", &m)) return;  // H hidden too, N re-point (flag 2), R keep the redraw byte
  if (!bi_need_view()) return;
  raise_result(buf_switch(dir, m & 1, (m & 2) ? 2 : 0, m & 4));
}

// The next or previous window of the ring of windows that show buffers,
// skipping hidden ones unless H.
void switch_window(int dir) {
  int32_t m = 0;
  if (!options("HROF", &m)) return;  // O is accepted and changes nothing
  const bool hidden = m & 1, keep = m & 2, no_focus = m & 8;
  WindowObject* cur = window_current();
  WindowObject* start = cur && cur->edit_next ? cur : window_edit_list_head();
  if (!start) return;
  WindowObject* w = start;
  do {
    w = dir > 0 ? w->edit_next : w->edit_prev;
    if (!w) return;
    if (hidden || !(w->flags & kWinHidden)) break;
  } while (w != start);
  if (w == cur || (!hidden && (w->flags & kWinHidden))) return;
  window_set_current(w, keep ? 2 : 0);
  if (!keep && !no_focus) window_focus(w);
}

// Whether a restart argument asks to start over: a number, not 0.
bool restart_arg(int32_t n, int32_t i, bool* restart) {
  int32_t v = 0;
  if (!bi_arg_int(n, i, &v)) return false;
  *restart = v != 0;
  return true;
}

}  // namespace

// Main 250 and 251: [options "HNR"].
void bi_next_buffer() { switch_buffer(1); }
void bi_prev_buffer() { switch_buffer(-1); }

// Main 153 and 152: [options "HROF"].
void bi_next_window() { switch_window(1); }
void bi_prev_window() { switch_window(-1); }

// Main 154 and 155.
void bi_next_view() {
  if (bi_need_view()) raise_result(view_switch(1));
}
void bi_prev_view() {
  if (bi_need_view()) raise_result(view_switch(-1));
}

// Main 156.
void bi_quit_view() {
  if (bi_need_view()) raise_result(view_quit());
}

// Main 253.
void bi_delete_buffer() {
  if (bi_need_view()) raise_result(buf_delete_current());
}

// Main 144: window id.
void bi_activate_window() {
  if (!core_have(1)) return;
  int32_t id = 0;
  if (!bi_arg_int(1, 0, &id)) return;
  core_drop(1);
  raise_result(window_id_activate(id));
}

// Main 145: variable = the current window's id.
void bi_window_id_to_var() {
  const uint32_t var = vm_fetch_var_operand();
  if (var == 0) return;
  var_store_int(var, window_id_of(window_current()));
}

// Ext 130: the smallest arrangement number no window of the ring uses.
void bi_next_window_number() {
  int32_t n = 1;
  for (bool used = true; used; ++n) {
    used = false;
    WindowObject* head = window_edit_list_head();
    for (WindowObject* w = head; w;) {
      if (w->group == n) used = true;
      w = w->edit_next;
      if (w == head) break;
    }
    if (!used) break;
  }
  vm_push_int(n);
}

// Main 224: name, restart [, options "HEVX"] -> the next matching buffer's
// name (V: handle, modified byte, flags byte and name); rc 0 or -3022.
void bi_buf_match() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  LStrLine name;
  bi_arg_copy(n, 0, &name);
  bool restart = false;
  if (!restart_arg(n, 1, &restart)) return;
  int32_t m = 0;
  if (n == 3 && !bi_arg_options(n, 2, "HEVX", &m)) return;
  core_drop(n);
  int flags = 0;
  if (m & 1) flags |= kMatchHidden;
  if (m & (2 | 8)) flags |= kMatchExact;
  BufferRec* b = buf_match_next(name.view(), restart, flags);
  if (!b) {
    vm_push_view({});
    vm_set_rc(ERR_STRING_NOT_FOUND);
    return;
  }
  std::string out;
  if (m & 4) out = std::to_string(b->handle) + " " + std::to_string(b->modified) + " " + std::to_string(b->flags) + " ";
  out += b->name.view();
  vm_push_view(out);
  vm_set_rc(0);
}

// Ext 188: name, restart [, options "IXHENA"] -> the next window whose
// buffer's name matches, or 0.
void bi_buf_match_opts() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  LStrLine name;
  bi_arg_copy(n, 0, &name);
  bool restart = false;
  if (!restart_arg(n, 1, &restart)) return;
  int32_t m = 0;  // the letters' bits are the flags of window_match_next
  if (n == 3 && !bi_arg_options(n, 2, "IXHENA", &m)) return;
  core_drop(n);
  WindowObject* w = window_match_next(name.view(), restart, m);
  vm_push_int(w ? w->handle : 0);
}

// Ext 135: [result [, close flag]]: closes the current object.
void bi_object_show() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  std::string result;
  int32_t flag = -1;
  if (n >= 1) result.assign(bi_arg(n, 0));
  if (n >= 2 && !bi_arg_int(n, 1, &flag)) return;
  core_drop(n);
  line_flush_current();
  const int32_t rc = window_close_result(n >= 1 ? &result : nullptr, flag);
  if (rc == ERR_NOT_ALLOWED_ON_OBJECT)
    vm_raise_fatal(rc);
  else if (rc < 0)
    vm_raise_error(rc);
}
