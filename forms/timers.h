// Macro timers.
//
// Macros start periodic timers that call a procedure (with an optional
// string), and one "current" timer that only ends a wait with ON-TIMER.
// Records live in a pool that grows by 10; a record's native timer id is
// its index + 1, a 16-bit number, so index 65535 (id 0) cannot start
// (-2074). The native timers are the window system's, on the command line's
// window, whose input translation fires them; a program without that window
// keeps them in a list that obj_timers_run_due polls on the clock.
#pragma once

#include <cstdint>

struct XfWindow;

// The window that owns the macro timers: the command line's, once it has
// one.
XfWindow* obj_timer_window();

// The clock of the polled timers and of the elapsed-time built-in,
// milliseconds: the system's monotonic clock, or the one a test puts in its
// place (null: the system's again; the polled list is emptied).
uint32_t obj_timers_now();
void obj_timers_use_clock(uint32_t (*now)());

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

// The polled timers: fires every timer due on the clock (each at most once
// per call). Returns the number fired.
int32_t obj_timers_run_due();

// Built-ins.
void bi_set_timer();   // ext 129
void bi_kill_timer();  // ext 161
