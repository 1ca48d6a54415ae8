#include "winsys/xfsys.h"

#include <X11/Xutil.h>
#include <poll.h>
#include <time.h>

#include <memory>

#include "base/mem.h"
#include "base/sub_alloc.h"

namespace {

std::unique_ptr<XfSystem> g_sys;

uint32_t monotonic_ms(void*) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

int display_pending(void* ctx) { return XPending(static_cast<Display*>(ctx)); }
void display_next(void* ctx, XEvent* out) { XNextEvent(static_cast<Display*>(ctx), out); }
void display_peek(void* ctx, XEvent* out) { XPeekEvent(static_cast<Display*>(ctx), out); }

// Xlib may already hold events it read during a round trip; poll() on the
// socket would not see those, so look at its queue first.
void display_wait(void* ctx, uint32_t ms) {
  auto* d = static_cast<Display*>(ctx);
  if (XEventsQueued(d, QueuedAlready) > 0) return;
  XFlush(d);
  pollfd p{ConnectionNumber(d), POLLIN, 0};
  poll(&p, 1, static_cast<int>(ms));
}

unsigned long display_keysym(void*, XKeyEvent* key) {
  KeySym sym = NoSymbol;
  XLookupString(key, nullptr, 0, &sym, nullptr);
  return sym;
}

// Without any source there is never an event; the wait still passes time.
int none_pending(void*) { return 0; }
void none_event(void*, XEvent* out) { *out = XEvent{}; }
void none_wait(void*, uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}
unsigned long none_keysym(void*, XKeyEvent*) { return NoSymbol; }

// Pool blocks of 64 bytes go with their chunks; larger ones came from the
// sub-allocator.
void free_window_data(XfWindow* w) {
  mem_free(w->text);
  if (w->words && w->words_size > kWordBlock) mem_sub_free(w->words);
  w->text = nullptr;
  w->words = nullptr;
}

void free_queue_nodes(XfMsgQueue* q) {
  for (XfQueueNode* n = q->head; n;) {
    XfQueueNode* next = n->next;
    mem_free(n);
    n = next;
  }
  *q = XfMsgQueue{};
}

}  // namespace

XfClock xf_monotonic_clock() { return XfClock{monotonic_ms, nullptr}; }

XfEventSource xf_display_event_source(Display* display) {
  return XfEventSource{display_pending, display_next, display_peek, display_wait, display_keysym, display};
}

XfSystem::XfSystem() {
  clock = xf_monotonic_clock();
  events = XfEventSource{none_pending, none_event, none_event, none_wait, none_keysym, nullptr};
  xf_free_resources(&res);
}

XfSystem::~XfSystem() {
  if (gfx && free_gfx) free_gfx(gfx);
  if (sel && free_sel) free_sel(sel);
  if (mdi && free_mdi) free_mdi(mdi);
  for (XfWindow* block : windows.blocks) {
    for (int i = 0; i < kWindowBlock; ++i) {
      if (block[i].live) free_window_data(&block[i]);
    }
    mem_free(block);
  }
  for (uint8_t* chunk : words.chunks) mem_free(chunk);
  for (XfMessage* block : queues.blocks) mem_free(block);
  free_queue_nodes(&queues.posted);
  free_queue_nodes(&queues.paint);
  free_queue_nodes(&queues.timer);
  for (int32_t i = 0; i < classes.registry.count; ++i) {
    XfClass* c = classes.registry.data[i];
    mem_free(c->name);
    mem_free(c->base_name);
    mem_free(c);
  }
  xf_free_resources(&res);
  if (keyboard.modmap) XFreeModifiermap(keyboard.modmap);
  mem_free(app_name);
  mem_free(app_class);
}

XfSystem& xf() {
  if (!g_sys) g_sys = std::make_unique<XfSystem>();
  return *g_sys;
}

Display* xf_display() { return xf().conn.display; }

void xf_reset() { g_sys = std::make_unique<XfSystem>(); }

void xf_set_clock(const XfClock& clock) { xf().clock = clock; }

void xf_set_event_source(const XfEventSource& source) { xf().events = source; }
