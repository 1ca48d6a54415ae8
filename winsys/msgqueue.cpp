#include "winsys/msgqueue.h"

#include <X11/Xatom.h>

#include <cstring>

#include "base/mem.h"
#include "winsys/caret.h"
#include "winsys/focus.h"
#include "winsys/frame_sysmenu.h"
#include "winsys/mdi.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

XfQueues& Q() { return xf().queues; }

bool in_range(uint32_t n, uint32_t first, uint32_t last) { return n >= first && n <= last; }

// ----- the idle wait -----
// The first idle pass waits 5 ms and every further pass of the same call
// 5 ms longer, up to 990 ms: a long-idle editor costs almost nothing, and
// the wait ends at once when X input arrives (the event source's wait), or
// when the next timer falls due.
constexpr uint32_t kFirstSleepUs = 5000;
constexpr uint32_t kSleepStepUs = 5000;
constexpr uint32_t kLongestSleepUs = 990000;

void idle_wait(uint32_t interval_us) {
  uint32_t ms = interval_us / 1000;
  uint32_t due = xf_next_timer_due();
  if (due < ms) ms = due;
  XfIdleLog& log = Q().idle;
  if (log.count < static_cast<int>(sizeof log.waits / sizeof log.waits[0])) log.waits[log.count++] = ms;
  XfEventSource& ev = xf().events;
  ev.wait(ev.ctx, ms);
}

// ----- the idle mark -----
// When the queues run dry after something came in, everything that came in
// has been handled and its drawing sent: one more idle turn is counted in the
// "_ZORVEX_IDLE" property of the application's frame, as two CARDINALs: the
// count, and the token of the last "_ZORVEX_SYNC" client message seen. It is
// written after the drawing on the same connection, so the server has both.
// Whoever drives the editor (a test) sends a sync message after its input
// and waits for the token to come back, instead of waiting for time. The
// property's own PropertyNotify makes no message, so it cannot keep the
// editor busy.
void mark_idle() {
  XfQueues& q = Q();
  q.busy = false;
  ++q.idle_marks;
  Display* d = xf_display();
  XfWindow* frame = xf().focus.app_frame;
  const Atom atom = xf().atoms.zorvex_idle;
  if (!d || !frame || !frame->xwin || !atom) return;
  const long values[2] = {static_cast<long>(q.idle_marks), q.sync_token};
  XChangeProperty(d, frame->xwin, atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), 2);
  XFlush(d);
}

// ----- X events -----
int events_pending() {
  XfEventSource& ev = xf().events;
  return ev.pending(ev.ctx);
}

// Takes the next event; a run of motion for one window collapses into its last.
void take_event(XEvent* out) {
  XfEventSource& ev = xf().events;
  ev.next(ev.ctx, out);
  if (out->type != MotionNotify) return;
  while (ev.pending(ev.ctx) > 0) {
    XEvent next;
    ev.peek(ev.ctx, &next);
    if (next.type != MotionNotify || next.xmotion.window != out->xmotion.window) break;
    ev.next(ev.ctx, out);
  }
}

// The records of one translated event: paints to the paint queue, nothing
// messages back to the pool; the others are left in `kept` (at most two).
int sort_records(XfMessage* records[2], int count, XfMessage* kept[2]) {
  int n = 0;
  for (int i = 0; i < count; ++i) {
    XfMessage* r = records[i];
    if (r->number == ZWM_PAINT) {
      xfQueuePaintMsg(&Q().paint, r);
    } else if (r->number == ZWM_NULL) {
      xfFreeMsg(r);
    } else {
      kept[n++] = r;
    }
  }
  return n;
}

// Copies a record out and returns it to the pool.
void deliver(XfMessage* out, XfMessage* r) {
  Q().busy = true;
  *out = *r;
  xfFreeMsg(r);
}

bool take_timer_head(XfMessage* out) {
  XfMessage* r = xf_queue_take_head(&Q().timer);
  if (!r) return false;
  xfTimerMsgTaken(r);
  deliver(out, r);
  return true;
}

// ----- dispatch filters -----
using Filter = int (*)(XfMessage* m, XfWindow** target);

int filter_null(XfMessage*, XfWindow**) { return 0; }

int filter_paint(XfMessage* m, XfWindow** target) {
  *target = m->window;
  if (!m->window || m->window == kDesktop) return 0;
  xfAddUpdateRectPacked(m->window, m->mp1, m->mp2, nullptr);
  xfMergePendingPaints(m->window, &Q().paint);
  return 1;
}

// Keys go to the focus window, and nowhere while no frame is active.
int filter_key(XfMessage* m, XfWindow**) {
  XfFocus& f = xf().focus;
  if (!f.active_frame || !f.focus) return 0;
  m->window = f.focus;
  // Alt+Space opens a free-standing frame's system menu before any window sees it.
  if (m->number == ZWM_CHAR && xf_frame_sysmenu_key(f.focus, m->mp1)) return 0;
  return 1;
}

int filter_enter(XfMessage* m, XfWindow**) { return m->window && !xfPointerEnter(m->window); }
int filter_leave(XfMessage* m, XfWindow**) { return m->window && !xfPointerLeave(m->window); }

int filter_focus_in(XfMessage* m, XfWindow**) {
  if (m->window) xfFrameFocusIn(m->window);
  return 0;
}

int filter_focus_out(XfMessage* m, XfWindow**) {
  if (m->window) xfFrameFocusOut(m->window);
  return 0;
}

bool picks_through(XfWindow* w) {
  if (w->kind == XFTYPE_VSB || w->kind == XFTYPE_HSB) return false;
  if (w->kind == XFTYPE_CLIENTAREA && w->parent && w->parent->kind == XFTYPE_CTLFRAME && w->parent->k.ctl.outer)
    return false;
  return true;
}

int filter_default(XfMessage* m, XfWindow** target) {
  *target = m->window;
  if (!in_range(m->number, kMouseFirst, kMouseLast)) return 1;
  XfQueryState& q = xf().query;
  if (q.pick_hook && (m->number == ZWM_LBUTTONDOWN || m->number == ZWM_RBUTTONDOWN)) {
    if (m->window && picks_through(m->window)) q.pick_hook(q.pick_arg, m->window);
    return 1;
  }
  if (q.capture) {
    m->window = q.capture;
    *target = q.capture;
  }
  return 1;
}

// Slots 0x2101..0x2108; every other number uses filter_default.
constexpr uint32_t kFirstFiltered = ZWM_NULL;
constexpr Filter kFilters[] = {
    filter_null,   // ZWM_NULL
    filter_paint,  // ZWM_PAINT
    filter_key,    // ZWM_CHAR
    filter_key,    // ZWM_ALTUP
    filter_enter,  // ZWM_POINTERENTER
    filter_leave,  // ZWM_POINTERLEAVE
    filter_focus_in, filter_focus_out,
};
static_assert(sizeof kFilters / sizeof kFilters[0] == ZWM_XFOCUSOUT - ZWM_NULL + 1);

Filter filter_for(uint32_t number) {
  if (number >= kFirstFiltered && number <= ZWM_XFOCUSOUT) return kFilters[number - kFirstFiltered];
  return filter_default;
}

XfProc procedure_of(XfWindow* w) {
  if (w->proc) return w->proc;
  return w->cls ? w->cls->proc : nullptr;
}

bool is_client_kind(uint32_t kind) {
  return kind == XFTYPE_CLIENTAREA || kind == XFTYPE_MDICLIENTAREA || kind == XFTYPE_MDICLIENT;
}

// Mouse messages to client areas: hit test, pointer, activation.
intptr_t client_mouse_msg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2, XfProc proc) {
  if (xfBlockDisabledInput(window, number)) return 0;
  intptr_t hit = xfSendMsg(window, ZWM_HITTEST, 1, mp1);
  if (number == ZWM_MOUSEMOVE && hit == 1 && !xf().query.capture)
    proc(window, ZWM_SETPOINTER, reinterpret_cast<intptr_t>(window), 1);
  if (hit == 0 || hit == -2) return 0;
  if (hit != 1) return proc(window, number, mp1, mp2);
  if (number == ZWM_MOUSEMOVE || number == ZWM_LBUTTONUP || number == ZWM_RBUTTONUP || number == ZWM_MBUTTONUP)
    return proc(window, number, mp1, mp2);
  intptr_t r =
      xfSendMsg(window, ZWM_MOUSEACTIVATE, 0, xf_pack(static_cast<int32_t>(hit), static_cast<int32_t>(number)));
  if (r == 1 || r == 2) {
    XfWindow* frame = xfFrameOfWindow(window);
    bool met = false;
    for (XfWindow* w = xf().focus.focus; w; w = w->parent) {
      if (w == frame) {
        met = true;
        break;
      }
      if (w->kind == XFTYPE_STDFRAME) break;
    }
    if (frame && !met) {
      if (XfWindow* client = xfWindowFromId(frame, kPartClient)) xfSetFocus(client);
    }
  }
  if (r == 1 || r == 3) return proc(window, number, mp1, mp2);
  return 0;
}

}  // namespace

// ----- records -----

XfMessage* xfAllocMsg() {
  XfQueues& q = Q();
  XfMessage* m;
  if (q.free_list) {
    m = q.free_list;
    q.free_list = reinterpret_cast<XfMessage*>(m->window);  // the link is the first word
  } else {
    if (q.taken_in_block >= kMessageBlock) {
      auto* block = static_cast<XfMessage*>(mem_alloc(sizeof(XfMessage) * kMessageBlock));
      if (!block) dynarray_out_of_memory();
      std::memset(static_cast<void*>(block), 0, sizeof(XfMessage) * kMessageBlock);
      q.blocks.push_back(block);
      q.taken_in_block = 0;
    }
    m = q.blocks.back() + q.taken_in_block++;
  }
  return m;
}

XfMessage* xfNewMsg(XfWindow* window) {
  XfMessage* m = xfAllocMsg();
  *m = XfMessage{};
  m->window = window;
  return m;
}

XfMessage* xfNewEventMsg(const XEvent* event, XfWindow* window) {
  XfMessage* m = xfNewMsg(window);
  switch (event->type) {
    case KeyPress:
    case KeyRelease:
      m->time = static_cast<uint32_t>(event->xkey.time);
      break;
    case ButtonPress:
    case ButtonRelease:
      m->time = static_cast<uint32_t>(event->xbutton.time);
      break;
    case MotionNotify:
      m->time = static_cast<uint32_t>(event->xmotion.time);
      break;
    default:
      break;
  }
  return m;
}

void xfFreeMsg(XfMessage* m) {
  XfQueues& q = Q();
  m->window = reinterpret_cast<XfWindow*>(q.free_list);
  q.free_list = m;
}

// ----- queues -----

XfMsgQueue* xf_posted_queue() { return &Q().posted; }
XfMsgQueue* xf_paint_queue() { return &Q().paint; }
XfMsgQueue* xf_timer_queue() { return &Q().timer; }

void xf_queue_append(XfMsgQueue* q, XfMessage* m) {
  auto* node = static_cast<XfQueueNode*>(mem_alloc(sizeof(XfQueueNode)));
  if (!node) dynarray_out_of_memory();
  list_node_init(node, m);
  node->prev = q->tail;
  if (q->tail) {
    q->tail->next = node;
  } else {
    q->head = node;
  }
  q->tail = node;
  ++q->count;
}

namespace {

XfMessage* unlink_node(XfMsgQueue* q, XfQueueNode* node) {
  if (node->prev) {
    node->prev->next = node->next;
  } else {
    q->head = node->next;
  }
  if (node->next) {
    node->next->prev = node->prev;
  } else {
    q->tail = node->prev;
  }
  --q->count;
  auto* m = static_cast<XfMessage*>(node->value);
  mem_free(node);
  return m;
}

// Unlinks and frees every message the predicate picks.
template <typename Pred>
void purge(XfMsgQueue* q, Pred pick) {
  for (XfQueueNode* n = q->head; n;) {
    XfQueueNode* next = n->next;
    auto* m = static_cast<XfMessage*>(n->value);
    if (pick(m)) xfFreeMsg(unlink_node(q, n));
    n = next;
  }
}

}  // namespace

XfMessage* xf_queue_take_head(XfMsgQueue* q) { return q->head ? unlink_node(q, q->head) : nullptr; }

void xfQueuePaintMsg(XfMsgQueue* q, XfMessage* m) {
  for (XfQueueNode* n = q->head; n; n = n->next) {
    auto* p = static_cast<XfMessage*>(n->value);
    if (p->number != ZWM_PAINT || p->window != m->window) continue;
    int32_t x = xf_low(p->mp1), y = xf_high(p->mp1), w = xf_low(p->mp2), h = xf_high(p->mp2);
    int32_t x2 = xf_low(m->mp1), y2 = xf_high(m->mp1), w2 = xf_low(m->mp2), h2 = xf_high(m->mp2);
    xfMergeRect(x2, y2, w2, h2, &x, &y, &w, &h);
    p->mp1 = xf_pack(x, y);
    p->mp2 = xf_pack(w, h);
    xfFreeMsg(m);
    return;
  }
  xf_queue_append(q, m);
}

void xfMergePendingPaints(XfWindow* window, XfMsgQueue* q) {
  for (XfQueueNode* n = q->head; n;) {
    XfQueueNode* next = n->next;
    auto* m = static_cast<XfMessage*>(n->value);
    if (m->number == ZWM_PAINT && m->window == window) {
      xfAddUpdateRectPacked(window, m->mp1, m->mp2, nullptr);
      xfFreeMsg(unlink_node(q, n));
    }
    n = next;
  }
}

void xfPurgeTimerMsgs(XfWindow* window, XfMsgQueue* q, uint32_t id) {
  purge(q, [&](XfMessage* m) {
    return m->number == ZWM_TIMER && m->window == window && static_cast<uint32_t>(m->mp1) == (id & 0xFFFF);
  });
}

void xfPurgeWindowMsgs(XfWindow* window, XfMsgQueue* q) {
  purge(q, [&](XfMessage* m) { return m->window == window; });
}

// ----- get, peek, send, post -----

bool xf_pump_one_event() {
  if (events_pending() <= 0) return false;
  XEvent ev;
  take_event(&ev);
  xf_queue_event(&ev);
  return true;
}

void xf_queue_event(XEvent* event) {
  XEvent& ev = *event;
  XfMessage* records[2];
  int count = 0;
  XfWindow* w = nullptr;
  xfTranslateEvent(&ev, &w, records, &count, false);
  XfMessage* kept[2];
  int n = sort_records(records, count, kept);
  for (int i = 0; i < n; ++i) xf_queue_append(&Q().posted, kept[i]);
}

int xfGetMsg(XfMessage* out, XfWindow*, uint32_t first, uint32_t last) {
  if (last == 0) last = kLastMessage;
  XfQueues& q = Q();
  if (q.posted.head && in_range(static_cast<XfMessage*>(q.posted.head->value)->number, first, last)) {
    deliver(out, xf_queue_take_head(&q.posted));
    return 1;
  }
  q.idle.count = 0;
  uint32_t interval = kFirstSleepUs;
  for (;;) {
    if (events_pending() > 0) {
      XEvent ev;
      take_event(&ev);
      XfMessage* records[2];
      int count = 0;
      XfWindow* w = nullptr;
      xfTranslateEvent(&ev, &w, records, &count, false);
      XfMessage* kept[2];
      int n = sort_records(records, count, kept);
      if (n == 0) continue;
      if (in_range(kept[0]->number, first, last)) {
        deliver(out, kept[0]);
        if (n == 2) xf_queue_append(&q.posted, kept[1]);
        return 1;
      }
      for (int i = 0; i < n; ++i) xf_queue_append(&q.posted, kept[i]);
      return 0;
    }
    xfScanTimers();
    if (q.paint.head && in_range(static_cast<XfMessage*>(q.paint.head->value)->number, first, last)) {
      deliver(out, xf_queue_take_head(&q.paint));
      return 1;
    }
    if (q.timer.head && in_range(static_cast<XfMessage*>(q.timer.head->value)->number, first, last)) {
      take_timer_head(out);
      return 1;
    }
    if (q.busy) mark_idle();
    idle_wait(interval);
    if (interval < kLongestSleepUs) interval += kSleepStepUs;
  }
}

int xfPeekMsg(XfMessage* out, XfWindow*, uint32_t first, uint32_t last, uint32_t flags) {
  if (last == 0) last = kLastMessage;
  bool remove = flags & 1;
  XfQueues& q = Q();
  if (q.posted.head) {
    auto* head = static_cast<XfMessage*>(q.posted.head->value);
    if (in_range(head->number, first, last)) {
      if (remove) {
        deliver(out, xf_queue_take_head(&q.posted));
      } else {
        *out = *head;
      }
      return 1;
    }
  }
  XfEventSource& src = xf().events;
  while (src.pending(src.ctx) > 0) {
    XEvent ev;
    src.peek(src.ctx, &ev);
    XfMessage* records[2];
    int count = 0;
    XfWindow* w = nullptr;
    xfTranslateEvent(&ev, &w, records, &count, !remove);
    uint32_t number = records[0]->number;
    if (number == ZWM_PAINT || number == ZWM_NULL) {
      src.next(src.ctx, &ev);
      XfMessage* kept[2];
      int n = sort_records(records, count, kept);
      for (int i = 0; i < n; ++i) xf_queue_append(&q.posted, kept[i]);
      continue;
    }
    if (!in_range(number, first, last)) {
      for (int i = 0; i < count; ++i) xfFreeMsg(records[i]);
      return 0;
    }
    *out = *records[0];
    xfFreeMsg(records[0]);
    if (remove) {
      src.next(src.ctx, &ev);
      if (count == 2) xf_queue_append(&q.posted, records[1]);
    } else if (count == 2) {
      xfFreeMsg(records[1]);
    }
    return 1;
  }
  xfScanTimers();
  for (XfMsgQueue* queue : {&q.paint, &q.timer}) {
    if (!queue->head) continue;
    auto* head = static_cast<XfMessage*>(queue->head->value);
    if (!in_range(head->number, first, last)) continue;
    if (!remove) {
      *out = *head;
    } else if (queue == &q.timer) {
      take_timer_head(out);
    } else {
      deliver(out, xf_queue_take_head(queue));
    }
    return 1;
  }
  return 0;
}

intptr_t xfSendMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  // A destroyed window's record may be held by someone still: it answers 0.
  if (!window || window == kDesktop || !window->live) return 0;
  XfProc proc = procedure_of(window);
  return proc ? proc(window, number, mp1, mp2) : 0;
}

namespace {

void post_to(XfMsgQueue* q, XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  XfMessage* m = xfNewMsg(window);
  m->number = number;
  m->mp1 = mp1;
  m->mp2 = mp2;
  xf_queue_append(q, m);
}

}  // namespace

void xfPostMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  post_to(number == ZWM_PAINT ? &Q().paint : &Q().posted, window, number, mp1, mp2);
}

void xfPostPaintQueueMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  post_to(&Q().paint, window, number, mp1, mp2);
}

void xfPostTimerMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2) {
  post_to(&Q().timer, window, number, mp1, mp2);
}

intptr_t xfDispatchMsg(XfMessage* m) {
  if (!m->window || m->window == kDesktop) return 0;
  if (m->number == ZWM_WHEEL) {
    if (!xfBlockDisabledInput(m->window, m->number)) xf_wheel_scroll(m->window, static_cast<int>(m->mp1));
    return 0;
  }
  XfWindow* target = nullptr;
  if (!filter_for(m->number)(m, &target)) return 0;
  if (!target) target = m->window;
  if (!target || target == kDesktop || !target->live || !m->window->live) return 0;
  if (target->hook) target->hook(m->window, m->number, m->mp1, m->mp2);
  XfProc proc = procedure_of(target);
  if (!proc) return 0;
  if (is_client_kind(target->kind) && in_range(m->number, kMouseFirst, kMouseLast))
    return client_mouse_msg(m->window, m->number, m->mp1, m->mp2, proc);
  if (m->number == ZWM_PAINT) {
    // The caret is off the screen while the procedure paints.
    bool caret_on = m->window->caret.hide == 0 && xfIsWindowEnabled(m->window);
    if (caret_on) xfHideCaret(m->window);
    intptr_t r = proc(m->window, m->number, m->mp1, m->mp2);
    if (caret_on && xf_is_live_window(m->window)) xfShowCaret(m->window);
    return r;
  }
  return proc(m->window, m->number, m->mp1, m->mp2);
}

int xfWaitInputMsg(XfMessage* out) {
  for (;;) {
    while (events_pending() <= 0) idle_wait(kLongestSleepUs);
    XEvent ev;
    take_event(&ev);
    XfMessage* records[2];
    int count = 0;
    XfWindow* w = nullptr;
    xfTranslateEvent(&ev, &w, records, &count, false);
    bool input = ev.type == KeyPress || ev.type == ButtonPress || ev.type == ButtonRelease || ev.type == MotionNotify;
    XfMessage* kept[2];
    int n = sort_records(records, count, kept);
    if (!input) {
      // Not for the tracker, but not lost either: it waits its turn.
      for (int i = 0; i < n; ++i) xf_queue_append(&Q().posted, kept[i]);
      continue;
    }
    if (n == 0) continue;
    deliver(out, kept[0]);
    if (n == 2) xfFreeMsg(kept[1]);
    return 1;
  }
}

// ----- repeated messages -----

int xfTakeRepeatedMsgs(const XfMessage* probe, bool any_window) {
  int count = 0;
  XfMessage m;
  while (xfPeekMsg(&m, nullptr, 0, 0, 0) && m.number == probe->number && (any_window || m.window == probe->window)) {
    xfGetMsg(&m, nullptr, probe->number, probe->number);
    ++count;
  }
  return count;
}

int xfCountRepeatedMsgs(uint32_t number, XfWindow* window) {
  XfMessage probe{};
  probe.number = number;
  probe.window = window;
  return xfTakeRepeatedMsgs(&probe, window == nullptr);
}

int xfTakeRepeatedKeys(intptr_t mp1) {
  int count = 0;
  XfMessage m;
  while (xfPeekMsg(&m, nullptr, 0, 0, 0) && m.number == ZWM_CHAR && m.mp1 == mp1) {
    xfGetMsg(&m, nullptr, ZWM_CHAR, ZWM_CHAR);
    ++count;
  }
  return count;
}

const XfIdleLog& xf_idle_log() { return Q().idle; }
uint32_t xf_idle_marks() { return Q().idle_marks; }

// ----- window operations -----

int xfSetWindowPos(XfWindow* window, XfWindow* insert_behind, int32_t x, int32_t y, int32_t cx, int32_t cy,
                   uint32_t flags) {
  if (!window) return 1;
  if (window->kind == XFTYPE_MDITOPFRAME) return xfMdiSetWindowPos(window, insert_behind, x, y, cx, cy, flags);
  if (x || y || cx || cy) xfMoveSizeWindow(window, x, y, cx, cy, nullptr);
  XfFocus& f = xf().focus;
  XfWindow* outer = window->kind == XFTYPE_CTLFRAME ? window->k.ctl.outer : nullptr;
  if (flags & 0x20) {
    if (window->kind == XFTYPE_STDFRAME) {
      xfUnmapWindow(window);
      if (window == f.active_frame) {
        if (window == f.last_focus_frame) xfStartDeactivateDelay();
        xfDeactivateFrames();
        xfActivateTopFrame();
      }
      if (f.last_focus_frame == window) f.last_focus_frame = nullptr;
    } else {
      xfUnmapWindow(outer ? outer : window);
    }
  } else if (flags & 0x80) {
    if (window->kind == XFTYPE_STDFRAME) {
      xfShowFrameAndWait(window);
    } else if (outer) {
      xfRaiseWindow(outer);
      xfMapWindow(outer);
    } else {
      xfMapWindow(window);
    }
  }
  bool restacked = false;
  if (flags & 0x8) {
    // Maximising is the MDI layer's.
  } else if (flags & 0x4) {
    Display* d = xf_display();
    if (window->kind == XFTYPE_STDFRAME && d) XIconifyWindow(d, window->xwin, xf().conn.screen);
  } else if (flags & 0x200) {
    if (window->kind == XFTYPE_STDFRAME && xf_display()) XMapWindow(xf_display(), window->xwin);
  } else if (flags & 0x400) {
    xfSetZOrder(outer ? outer : window, insert_behind);
    restacked = true;
  }
  if (restacked && (flags & 0x10) && window->kind == XFTYPE_STDFRAME && window->shown == 1) xfTakeInputFocus(window);
  return 1;
}

uint32_t xfQueryWindowState(XfWindow* window) {
  if (window && window->kind == XFTYPE_MDITOPFRAME) return static_cast<uint32_t>(xfMdiQueryState(window));
  return 'N';
}

void xfQueryWindowPos(XfWindow* window, int32_t out[5]) {
  if (!window) return;
  bool frame = window->kind == XFTYPE_STDFRAME;
  out[1] = window->height;
  out[2] = window->width;
  out[3] = frame ? window->k.frame.origin_y : window->y;
  out[4] = frame ? window->k.frame.origin_x : window->x;
}

XfProc xfSubclassWindow(XfWindow* window, XfProc procedure) {
  if (!window) return xfNullProc;
  XfProc old = window->proc ? window->proc : (window->cls && window->cls->proc ? window->cls->proc : xfDefWindowProc);
  window->proc = procedure;
  return old;
}

void* xfQueryFrameMenu(XfWindow* window) {
  if (!window || window->kind != XFTYPE_STDFRAME || !window->k.frame.menubar) return nullptr;
  return window->k.frame.menubar->k.menubar.menu;
}
