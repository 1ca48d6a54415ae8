// Modal forms and modal waits (see modal.h).
#include "forms/modal.h"

#include "forms/ctl_props.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/routing.h"
#include "macro/bi_args.h"
#include "macro/bi_window.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/screen_port.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"

namespace {

// The window system's queue.
int32_t x_dispatch_one(bool wait) {
  XfMessage m{};
  if (wait ? !WinGetMsg(&m, nullptr, 0, 0) : !WinPeekMsg(&m, nullptr, 0, 0, 1)) return 0;
  WinDispatchMsg(&m);
  return m.number == ZWM_TIMER ? 2 : 1;
}
ModalPump g_pump{x_dispatch_one};
std::string g_result;
int32_t g_wait_depth = 0;
int32_t g_last_modal = 0;

constexpr int32_t kWaitNesting = 10;
constexpr int32_t kWaitTimers = 20;

bool fixed_or_editor(const WindowObject* o) {
  return o->handle <= kCommandLineId || (obj_is_frame_child(o) && !o->mdi_form) || o == obj_command_line();
}

void set_shown(WindowObject* o, bool on) {
  ctl_prop_set(o, 11, on ? 1 : 0);
  native_ops(o).show(o, on);
}
void set_enabled(WindowObject* o, bool on) {
  ctl_prop_set(o, 2, on ? 1 : 0);
  native_ops(o).enable(o, on);
}

// The outer modal form becomes usable again and current.
void restore_outer(WindowObject* next) {
  if (!ctl_prop(next, 11)) set_shown(next, true);
  set_enabled(next, true);
  window_set_current(next, 0);
}

}  // namespace

ModalPump& modal_pump() { return g_pump; }
void modal_pump_reset() { g_pump = ModalPump{x_dispatch_one}; }
const std::string& modal_result() { return g_result; }
void modal_reset() {
  g_result.clear();
  g_wait_depth = 0;
  g_last_modal = 0;
}

void forms_find_modal(int32_t* level, WindowObject** top, WindowObject** next) {
  int32_t best = 0, second = 0;
  WindowObject *t = nullptr, *n = nullptr;
  for (int32_t id = 1; id <= obj_last_id(); ++id) {
    WindowObject* o = obj_get(id);
    if (!o || o->type != kObjForm || !o->modal_level) continue;
    const int32_t l = o->modal_level;
    if (l > best) {
      second = best, n = t;
      best = l, t = o;
    } else if (l > second) {
      second = l, n = o;
    }
  }
  if (level) *level = best;
  if (top) *top = t;
  if (next) *next = n;
}

void windows_enable_all(bool enable, WindowObject* except) {
  WindowObject* frame = obj_frame_object();
  for (int32_t id = 1; id <= obj_last_id(); ++id) {
    WindowObject* o = obj_get(id);
    if (!o || !(o->type == kObjFrame || (o->type == kObjForm && (!frame || o->parent != frame)))) continue;
    if (!ctl_prop(o, 11) || (!enable && o == except)) continue;
    set_enabled(o, enable);
  }
}

void modal_hold_windows(bool hold) {
  WindowObject* top = nullptr;
  forms_find_modal(nullptr, &top, nullptr);
  if (top)
    set_enabled(top, !hold);
  else
    windows_enable_all(!hold, nullptr);
}

// The text built-ins' close (macro/window_port.h).
int32_t window_close_result(const std::string* result, int32_t close_flag) {
  WindowObject* o = window_current();
  if (!o) return 0;
  if (o->owner > 0 && o->type != kObjCombo) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (fixed_or_editor(o) || (o->view && o->type != kObjList && o->type != kObjText)) return bi_close_editor_window();
  line_flush_current();
  if (close_flag < 0) close_flag = o->design_mode;
  if (!o->modal_level) {
    const int32_t r = obj_destroy(o);
    return r < 0 ? r : 0;
  }
  WindowObject *top = nullptr, *next = nullptr;
  forms_find_modal(nullptr, &top, &next);
  if (top != o) return ERR_INVALID_ARGUMENT;
  if (next)
    restore_outer(next);
  else
    windows_enable_all(true, nullptr);
  const int32_t back = next ? next->handle : 0;
  const uint32_t back_serial = next ? next->serial : 0;
  if (result) g_result = *result;
  if (!close_flag && (ctl_prop(o, 20) & 6)) {
    // A form kept for showing again: hidden, its modal state ended.
    const int32_t id = o->handle;
    const uint32_t serial = o->serial;
    obj_send_destroy_events(o);
    if (obj_same(id, serial)) {
      set_shown(o, false);
      o->modal_level = 0;
      if (o->modal_done) *o->modal_done = true;
      o->modal_done = nullptr;
    }
  } else {
    obj_destroy(o);
  }
  if (back && obj_same(back, back_serial)) window_set_current(obj_get(back), 0);
  return 0;
}

// Ext 146: window id -> the result text of its modal show.
void bi_show_modal() {
  int32_t id = 0;
  if (vm_pop_int(&id) != 0) return;
  if (static_cast<uint32_t>(id) >> kHandleTemplateShift) return vm_raise_error(ERR_REQUIRES_DISPLAYED_OBJECT);
  WindowObject* o = obj_get(id);
  if (!o) return vm_raise_error(ERR_INVALID_ARGUMENT);
  if (o->type != kObjForm || o->modal_level || o->mdi_form || fixed_or_editor(o))
    return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  // Errors of the form's handlers end here, in a context of its own: the
  // modal show ends with them.
  if (const ErrorCode e = vm_push_catch(); e != ERR_OK) return vm_raise_error(e);
  vm_set_catch_status(kCatchKeyCommand);
  const int32_t catch_depth = vm_catch.depth;
  const int32_t last_stop = vm_catch.last_stop;
  int32_t level = 0;
  WindowObject* top = nullptr;
  forms_find_modal(&level, &top, nullptr);
  if (top)
    set_enabled(top, false);
  else
    windows_enable_all(false, o);
  o->modal_level = static_cast<uint8_t>(level + 1);
  g_last_modal = id;
  const uint32_t serial = o->serial;
  bool done = false;
  o->modal_done = &done;
  set_shown(o, true);
  window_set_current(o, 0);
  auto stopped = [&] { return vm_catch.depth < catch_depth || vm_catch.contexts[catch_depth].stops != 0; };
  while (!done && !stopped()) {
    if (g_pump.dispatch_one(true) == 0) break;
  }
  const bool failed = stopped();
  while (vm_catch.depth >= catch_depth && vm_catch.depth > 0) vm_pop_catch();
  const bool alive = obj_same(id, serial);
  if (alive && o->modal_done == &done) o->modal_done = nullptr;
  if (!done && alive) {
    // An error in a handler, or the end of the queue, with the form still
    // modal: its state ends here and what it disabled is usable again.
    o->modal_level = 0;
    WindowObject* outer = nullptr;
    forms_find_modal(nullptr, &outer, nullptr);
    if (outer)
      restore_outer(outer);
    else
      windows_enable_all(true, nullptr);
  } else if (!alive) {
    // Closed without a result (the window manager's close): what it
    // disabled is usable again.
    WindowObject* outer = nullptr;
    forms_find_modal(nullptr, &outer, nullptr);
    if (outer)
      restore_outer(outer);
    else
      windows_enable_all(true, nullptr);
  }
  // The show took the error: the macro that showed the form goes on, with
  // the empty text, as no result was kept, so that its stack stays whole.
  if (failed) {
    vm_catch.last_stop = last_stop;
    vm_push_bytes("", 0);
    return;
  }
  vm_push_bytes(g_result.data(), static_cast<int32_t>(g_result.size()));
}

// Ext 173: [text]: ends the current form's modal state.
void bi_end_modal() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  const std::string text = n ? bi_arg_str(n, 0) : std::string();
  core_drop(n);
  WindowObject* o = window_current();
  if (!o || !o->modal_level || fixed_or_editor(o)) return vm_raise_fatal(ERR_INVALID_ARGUMENT);
  WindowObject *top = nullptr, *next = nullptr;
  forms_find_modal(nullptr, &top, &next);
  if (top != o) return vm_raise_error(ERR_INVALID_ARGUMENT);
  if (!next) windows_enable_all(true, nullptr);
  g_result = text;
  o->modal_level = 0;
  if (o->modal_done) *o->modal_done = true;
  o->modal_done = nullptr;
  if (next) restore_outer(next);
}

// Ext 152: [text]: ends and closes every modal form, innermost first.
void bi_end_all_modal() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  g_result = n ? bi_arg_str(n, 0) : std::string();
  core_drop(n);
  WindowObject* start = window_current();
  const int32_t start_id = start ? start->handle : 0;
  const uint32_t start_serial = start ? start->serial : 0;
  windows_enable_all(true, nullptr);
  for (;;) {
    WindowObject *top = nullptr, *next = nullptr;
    forms_find_modal(nullptr, &top, &next);
    if (!top) break;
    const int32_t next_id = next ? next->handle : 0;
    const uint32_t next_serial = next ? next->serial : 0;
    top->modal_level = 0;  // closed whatever its handlers do
    obj_destroy(top);
    if (next_id && obj_same(next_id, next_serial)) {
      obj_get(next_id)->modal_level = 0;
      obj_destroy(obj_get(next_id));
    }
  }
  if (start_id && obj_same(start_id, start_serial)) window_set_current(obj_get(start_id), 0);
}

// The messages waiting now, for the key wait's P option
// (macro/screen_port.h); timers that keep coming end it as in wait_var.
void input_dispatch_waiting() {
  for (int32_t timers = 0;;) {
    const int32_t r = g_pump.dispatch_one(false);
    if (r == 0 || (r == 2 && ++timers >= kWaitTimers)) break;
  }
}

// Ext 190: variable: serves waiting messages until it is no longer "0".
void bi_wait_var() {
  const uint32_t var = vm_fetch_var_operand();
  if (!var || g_wait_depth >= kWaitNesting) return;
  ++g_wait_depth;
  int32_t timers = 0;
  while (lstr_view(var_value(var)) == "0") {
    if (vm_check_break() != ERR_OK) break;
    const int32_t r = g_pump.dispatch_one(false);
    if (r == 0 || (r == 2 && ++timers >= kWaitTimers)) break;
  }
  --g_wait_depth;
}
