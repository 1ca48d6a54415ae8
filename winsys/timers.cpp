#include "winsys/timers.h"

#include <cstdint>

#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/xfsys.h"

namespace {

DynArray<XfTimer>& T() { return xf().timers; }

int32_t find(XfWindow* window, uint32_t id) {
  DynArray<XfTimer>& t = T();
  for (int32_t i = 0; i < t.count; ++i) {
    if (t.data[i].window == window && t.data[i].id == id) return i;
  }
  return -1;
}

}  // namespace

uint32_t xfQueryMilliseconds() {
  XfClock& c = xf().clock;
  return c.now_ms(c.ctx);
}

uint32_t xfStartTimer(XfWindow* window, uint32_t id, uint32_t interval, XfTimerProc callback, void* data) {
  xfStopTimer(window, id);
  XfTimer t{};
  t.id = id;
  t.window = window;
  t.interval = interval;
  t.pending = false;
  t.last = xfQueryMilliseconds();
  t.callback = callback;
  t.data = data;
  dynarray_append(&T(), t);
  return id;
}

void xfStopTimer(XfWindow* window, uint32_t id) {
  int32_t i = find(window, id);
  if (i < 0) return;
  dynarray_remove_at(&T(), i);
  xfPurgeTimerMsgs(window, xf_timer_queue(), id);
}

void xf_stop_window_timers(XfWindow* window) {
  DynArray<XfTimer>& t = T();
  for (int32_t i = t.count - 1; i >= 0; --i) {
    if (t.data[i].window == window) dynarray_remove_at(&t, i);
  }
  XfMsgQueue* q = xf_timer_queue();
  for (XfQueueNode* n = q->head; n;) {
    XfQueueNode* next = n->next;
    auto* m = static_cast<XfMessage*>(n->value);
    if (m->window == window) xfPurgeTimerMsgs(window, q, static_cast<uint32_t>(m->mp1));
    n = next;
  }
}

intptr_t xfScanTimers() {
  uint32_t now = xfQueryMilliseconds();
  DynArray<XfTimer>& t = T();
  int32_t n = t.count;
  for (int32_t i = 0; i < n && i < t.count; ++i) {
    XfTimer& timer = t.data[i];
    if (static_cast<uint32_t>(now - timer.last) < timer.interval) continue;  // unsigned: wraps cleanly
    timer.last = now;
    if (timer.callback) {
      // The callback may start or stop timers; the scan ends here.
      XfTimerProc cb = timer.callback;
      return cb(timer.window, timer.data, 0);
    }
    if (!timer.pending) {
      timer.pending = true;
      xfPostTimerMsg(timer.window, ZWM_TIMER, static_cast<intptr_t>(timer.id & 0xFFFF), 0);
    }
  }
  return 0;
}

void xfTimerMsgTaken(const XfMessage* m) {
  DynArray<XfTimer>& t = T();
  for (int32_t i = 0; i < t.count; ++i) {
    if (t.data[i].window == m->window && (t.data[i].id & 0xFFFF) == (static_cast<uint32_t>(m->mp1) & 0xFFFF)) {
      t.data[i].pending = false;
      return;
    }
  }
}

uint32_t xf_next_timer_due() {
  uint32_t now = xfQueryMilliseconds();
  uint32_t best = UINT32_MAX;
  DynArray<XfTimer>& t = T();
  for (int32_t i = 0; i < t.count; ++i) {
    const XfTimer& timer = t.data[i];
    if (timer.pending && !timer.callback) continue;  // it waits for its message to be taken
    uint32_t elapsed = now - timer.last;
    uint32_t left = elapsed >= timer.interval ? 0 : timer.interval - elapsed;
    if (left < best) best = left;
  }
  return best;
}

bool xf_timer_exists(XfWindow* window, uint32_t id) { return find(window, id) >= 0; }

int32_t xf_timer_count() { return T().count; }
