// Macro timers (see timers.h).
#include "forms/timers.h"

#include <time.h>

#include <string>
#include <vector>

#include "base/record_pool.h"
#include "forms/ctl_cmdline.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/event_tables.h"
#include "macro/exit_path.h"
#include "macro/interp.h"
#include "macro/stack.h"

namespace {

struct MacroTimer {
  PoolRecordHead head;
  uint32_t native_id;  // index + 1 while running, 0 otherwise
  int32_t procedure;   // names index; unused by the current timer
  int32_t argument;    // heap handle of the string argument, 0 none
};

constexpr uint16_t kTimerPoolStep = 10;
RecordPool g_pool = record_pool_make(sizeof(MacroTimer), kTimerPoolStep);
int32_t g_current = -1;
uint16_t g_current_native = 0;
int32_t g_running = 0;
bool g_current_fired = false;
bool g_held = false;

// The polled timers of a program without the command line's window.
struct Polled {
  uint16_t id;
  uint32_t interval, last;
};
std::vector<Polled> g_polled;

uint32_t system_clock_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}
uint32_t (*g_clock)() = system_clock_ms;

void native_stop(uint16_t id) {
  cmdline_timer_stop(id);
  for (size_t i = 0; i < g_polled.size(); ++i)
    if (g_polled[i].id == id) {
      g_polled.erase(g_polled.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
}

// Id 0 is no timer to the window system.
bool native_start(uint16_t id, uint32_t ms) {
  if (id == 0) return false;
  native_stop(id);
  if (obj_timer_window()) return cmdline_timer_start(id, ms);
  g_polled.push_back({id, ms, g_clock()});
  return true;
}

MacroTimer* rec(int32_t index) {
  return pool_is_live(&g_pool, index) ? static_cast<MacroTimer*>(pool_record(&g_pool, index)) : nullptr;
}

void stop(MacroTimer* t) {
  if (t->native_id) native_stop(static_cast<uint16_t>(t->native_id));
  t->native_id = 0;
}

void release(MacroTimer* t) {
  if (t->argument) prop_assign_string_slot(&t->argument, std::nullopt);
  pool_free(&g_pool, t);
}

}  // namespace

XfWindow* obj_timer_window() {
  const WindowObject* cl = obj_command_line();
  return cl ? cl->client_window : nullptr;
}

uint32_t obj_timers_now() { return g_clock(); }
void obj_timers_use_clock(uint32_t (*now)()) {
  g_clock = now ? now : system_clock_ms;
  g_polled.clear();
}

bool obj_timer_free(int32_t index) {
  MacroTimer* t = rec(index);
  if (!t) return false;
  if (index == g_current) {
    g_current = -1;
    g_current_native = 0;
  }
  stop(t);
  release(t);
  return true;
}

void obj_timer_free_all() {
  for (int32_t i = 0; i < g_pool.count; ++i) obj_timer_free(i);
  pool_release(&g_pool);
  g_current = -1;
  g_current_native = 0;
  g_running = 0;
  g_current_fired = false;
}

bool obj_timer_current_fired(bool clear) {
  const bool f = g_current_fired;
  if (clear) g_current_fired = false;
  return f;
}
bool obj_timer_is_current(uint16_t native_id) { return native_id != 0 && native_id == g_current_native; }
void obj_timers_hold(bool hold) { g_held = hold; }
int32_t obj_timer_count() { return g_pool.live; }
int32_t obj_timer_current_index() { return g_current; }
int32_t obj_timer_running() { return g_running; }

void obj_timer_fired(uint16_t native_id) {
  const int32_t index = native_id - 1;
  MacroTimer* t = rec(index);
  if (!t) return;
  if (index == g_current) {  // one-shot: the wait sees ON-TIMER
    stop(t);
    g_current_native = 0;
    g_current_fired = true;
    return;
  }
  if (g_held) return;
  VmCallable c;
  if (vm_resolve_index(t->procedure, &c) != 0 || c.kind == VmCallable::Kind::None) return;  // calls nothing
  const std::string arg(prop_slot_string(t->argument));
  g_running = index + 1;
  const KeyDispatchState saved = key_tables.current;
  if (t->argument) {
    const std::string_view a[1] = {arg};
    vm_call_index(t->procedure, a);
  } else {
    vm_call_index(t->procedure, {});
  }
  key_tables.current = saved;
  g_running = 0;
  // A procedure that asked to leave, run from the main loop: nothing outside
  // it will take the exit.
  if (vm.frame_depth == 0) exit_if_requested();
}

int32_t obj_timers_run_due() {
  const uint32_t now = g_clock();
  std::vector<uint16_t> due;
  for (Polled& n : g_polled)
    if (now - n.last >= n.interval) {
      n.last = now;
      due.push_back(n.id);
    }
  for (uint16_t id : due) obj_timer_fired(id);
  return static_cast<int32_t>(due.size());
}

// Ext 129: milliseconds [procedure [argument]]; rc = the record index.
void bi_set_timer() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  int32_t ms = 0, proc = 0;
  if (!bi_arg_int(n, 0, &ms)) return;
  if (n >= 2 && !bi_arg_int(n, 1, &proc)) return;
  const std::string arg = n >= 3 ? bi_arg_str(n, 2) : std::string();
  core_drop(n);
  MacroTimer* t = nullptr;
  bool fresh = true;
  if (n == 1 && (t = rec(g_current)) != nullptr) {
    stop(t);
    g_current_native = 0;
    fresh = false;
  } else {
    t = static_cast<MacroTimer*>(pool_alloc(&g_pool));
    if (!t) return vm_set_rc(ERR_NOT_ENOUGH_MEMORY);
  }
  const int32_t index = pool_index(&g_pool, t);
  const auto id = static_cast<uint16_t>(index + 1);  // index 65535 gives id 0, which cannot start
  if (!native_start(id, static_cast<uint32_t>(ms < 0 ? 0 : ms))) {
    if (fresh)
      pool_free(&g_pool, t);
    else if (index == g_current)
      g_current = -1;
    return vm_set_rc(ERR_CREATE_TIMER_EDITOR);
  }
  t->native_id = id;
  if (n == 1) {
    g_current = index;
    g_current_native = id;
    g_current_fired = false;
  }
  t->procedure = proc;
  if (n == 3 && prop_assign_string_slot(&t->argument, arg) != 0) {
    stop(t);
    release(t);
    return vm_set_rc(ERR_NOT_ENOUGH_MEMORY);
  }
  vm_set_rc(index);
}

// Ext 161: [index]: stops and frees the timer (the current one without an
// argument); -3015 for an index that is not live.
void bi_kill_timer() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  int32_t index = g_current;
  if (n == 1 && !bi_arg_int(n, 0, &index)) return;
  core_drop(n);
  if (!obj_timer_free(index)) vm_raise_error(ERR_INVALID_ARGUMENT);
}
