// Macro timers.
//
// Macros start periodic timers that call a procedure (with an optional
// string), and one "current" timer that only ends a wait with ON-TIMER.
// Records live in a pool that grows by 10; a record's native timer id is
// its index + 1, a 16-bit number, so index 65535 (id 0) cannot start
// (-2074). The native timers come through a seam; the default is a polled
// list on the clock seam, which tests drive with a fake clock.
#pragma once

#include <cstdint>

struct TimerOps {
  // Starts (or restarts) native timer id with the interval; false when it
  // cannot.
  bool (*start)(uint16_t id, uint32_t ms);
  void (*stop)(uint16_t id);
  // The clock, milliseconds.
  uint32_t (*now)();
};
TimerOps& timer_ops();
void timer_ops_reset();

// Stops and frees every timer; the pool is empty afterwards.
void obj_timer_free_all();
// Stops and frees one; false when the index is not live.
bool obj_timer_free(int32_t index);
// A native timer fired (the input translation calls this).
void obj_timer_fired(uint16_t native_id);
// The current timer fired since the flag was last cleared (a wait for
// ON-TIMER looks at it).
bool obj_timer_current_fired(bool clear);
// Whether a native id is the current timer's.
bool obj_timer_is_current(uint16_t native_id);
// Timer procedures held back (message boxes, the activation handler).
void obj_timers_hold(bool hold);
// Live timers, the current index (-1 none), the running timer + 1.
int32_t obj_timer_count();
int32_t obj_timer_current_index();
int32_t obj_timer_running();

// The default native timers: fires every timer due on the clock (each at
// most once per call). Returns the number fired.
int32_t obj_timers_run_due();

// Built-ins.
void bi_set_timer();   // ext 129
void bi_kill_timer();  // ext 161
