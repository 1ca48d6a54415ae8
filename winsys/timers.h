// Timers of the window layer: polled, never signalled.
//
// The get and peek calls scan the timers whenever no X event is pending. A
// timer is due when now - last expiry, as an unsigned 32-bit difference, is
// at least its interval, so the wrap-around of the millisecond clock stops
// nothing. A timer with a callback runs it (at most one callback per scan);
// one without posts ZWM_TIMER to the timer queue, one message outstanding
// at a time. A timer is named by (window, 16-bit id).
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

// (window, data, 0) -> result.
using XfTimerProc = intptr_t (*)(XfWindow* window, void* data, intptr_t zero);

struct XfTimer {
  uint32_t id;
  XfWindow* window;
  uint32_t interval;  // milliseconds
  bool pending;       // a ZWM_TIMER of it waits in the timer queue
  uint32_t last;      // last expiry
  XfTimerProc callback;
  void* data;
};

// Ids the window layer uses itself.
inline constexpr uint32_t kCaretTimer = 32767;
inline constexpr uint32_t kDeactivateTimer = 32766;
inline constexpr uint32_t kTitlePollTimer = 32765;

// Replaces any timer of (window, id), dropping its waiting message, and
// appends the new one due `interval` ms from now. Returns the id.
uint32_t xfStartTimer(XfWindow* window, uint32_t id, uint32_t interval, XfTimerProc callback, void* data);
// Removes the timer and drops its waiting messages; nothing when absent.
void xfStopTimer(XfWindow* window, uint32_t id);
// Stops every timer of the window (its destruction).
void xf_stop_window_timers(XfWindow* window);
// Runs one scan; the callback's result when one ran, else 0.
intptr_t xfScanTimers();
// A ZWM_TIMER left the timer queue: its timer may post again.
void xfTimerMsgTaken(const struct XfMessage* m);
// Milliseconds until the earliest timer that would act is due (0 when one
// is due now); UINT32_MAX when none.
uint32_t xf_next_timer_due();
// The current time of the layer's clock.
uint32_t xfQueryMilliseconds();
// Whether (window, id) runs.
bool xf_timer_exists(XfWindow* window, uint32_t id);
int32_t xf_timer_count();
