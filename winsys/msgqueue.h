// Message records, the three queues, and the get / peek / send / post /
// dispatch calls of the window layer.
//
// The get call merges four sources into one sequence: the posted queue's
// head, then X events while any are pending (a run of pointer motion for one
// window collapses into its last; paints go to the paint queue, merged per
// window), then due timers, the paint queue and the timer queue. With nothing
// to do it waits on the connection, 5 ms the first time and 5 ms longer each
// further idle pass up to 990 ms, but wakes at once when X input arrives and
// never sleeps past the next due timer.
//
// Start reading at xfGetMsg, then xfDispatchMsg and its filter table.
#pragma once

#include <cstdint>

#include <X11/Xlib.h>

#include "base/dynarray.h"
#include "winsys/window_rec.h"

struct XfMessage {
  XfWindow* window;
  uint32_t number;
  intptr_t mp1;
  intptr_t mp2;
  uint32_t time;  // milliseconds (X time for input; 0 for move, size, crossing)
};

struct XfMsgQueue {
  XfQueueNode* head = nullptr;
  XfQueueNode* tail = nullptr;
  int32_t count = 0;
};

// Message records come from blocks of this many, never given back.
inline constexpr int kMessageBlock = 500;

// ----- records -----
XfMessage* xfAllocMsg();
XfMessage* xfNewMsg(XfWindow* window);
// A record for the window, timed with the X event's time when it has one.
XfMessage* xfNewEventMsg(const XEvent* event, XfWindow* window);
void xfFreeMsg(XfMessage* m);

// ----- queue maintenance -----
void xf_queue_append(XfMsgQueue* q, XfMessage* m);
// Unlinks the head and returns its record (the node is freed); none when empty.
XfMessage* xf_queue_take_head(XfMsgQueue* q);
void xfQueuePaintMsg(XfMsgQueue* q, XfMessage* m);
void xfMergePendingPaints(XfWindow* window, XfMsgQueue* q);
void xfPurgeTimerMsgs(XfWindow* window, XfMsgQueue* q, uint32_t id);
void xfPurgeWindowMsgs(XfWindow* window, XfMsgQueue* q);
XfMsgQueue* xf_posted_queue();
XfMsgQueue* xf_paint_queue();
XfMsgQueue* xf_timer_queue();

// ----- the calls -----
// Waits for the next message numbered first..last (last 0: 0x0FFFFFFF);
// 1 with `out` filled, 0 when an X event made a message outside the range.
int xfGetMsg(XfMessage* out, XfWindow* window, uint32_t first, uint32_t last);
// The same without waiting; flag bit 0 removes what it finds. 1 or 0.
int xfPeekMsg(XfMessage* out, XfWindow* window, uint32_t first, uint32_t last, uint32_t flags);
// Calls the window's procedure (else its class's); 0 when neither exists.
intptr_t xfSendMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
// Queues a message: paints to the paint queue, everything else posted.
void xfPostMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
void xfPostPaintQueueMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
void xfPostTimerMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
// Filter, hook, procedure. The procedure's result, or 0 when dropped.
intptr_t xfDispatchMsg(XfMessage* m);
// Modal menu tracking's source: the next key, button or motion message
// straight from X. Other events are not lost: they are translated and
// queued (paints merged) for after the tracking.
int xfWaitInputMsg(XfMessage* out);

// Takes the X event that comes next, collapsing a run of motion for one
// window into its last, and translates it; paints go to the paint queue,
// nothing-messages are freed, the rest are appended to the posted queue.
// Returns false when no event was pending.
bool xf_pump_one_event();
// The same for an event already taken from the source (a wait that looks
// at raw events hands back the ones it does not want).
void xf_queue_event(XEvent* event);

// ----- repeated messages -----
int xfTakeRepeatedMsgs(const XfMessage* probe, bool any_window);
int xfCountRepeatedMsgs(uint32_t number, XfWindow* window);
int xfTakeRepeatedKeys(intptr_t mp1);

// ----- window operations routed through here -----
int xfSetWindowPos(XfWindow* window, XfWindow* insert_behind, int32_t x, int32_t y, int32_t cx, int32_t cy,
                   uint32_t flags);
uint32_t xfQueryWindowState(XfWindow* window);
void xfQueryWindowPos(XfWindow* window, int32_t out[5]);
XfProc xfSubclassWindow(XfWindow* window, XfProc procedure);
void* xfQueryFrameMenu(XfWindow* window);

// The property of the application's frame that counts idle turns (two
// CARDINALs: the count, which grows each time the queues run dry after the
// editor handled something, and the token of the last sync message), and the
// client message (format 32, the token in l[0]) that asks for the token back
// once everything sent before it is handled.
inline constexpr const char* kIdleProperty = "_ZORVEX_IDLE";
inline constexpr const char* kSyncMessage = "_ZORVEX_SYNC";
// Idle turns so far (also without a display).
uint32_t xf_idle_marks();

// The idle waits of the last get call that slept (milliseconds, in order);
// kept for the tests of the sleep sequence.
struct XfIdleLog {
  uint32_t waits[64];
  int count;
};
const XfIdleLog& xf_idle_log();
