// The window layer without a server: a fresh state per test, a fake clock
// that only moves when the layer waits, and a fake event source that hands
// out X events built by hand (some of them only once the clock reaches
// their time). Procedures record what they receive.
#pragma once

// gtest before Xlib: X.h defines None as a macro.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace wstest {

struct FakeInput {
  uint32_t now = 1000;
  std::deque<XEvent> queue;
  std::multimap<uint32_t, XEvent> later;  // appear when the clock reaches the key
  std::vector<uint32_t> waits;
  std::map<unsigned, unsigned long> keysyms;  // keycode -> keysym

  void release_due() {
    while (!later.empty() && static_cast<int32_t>(now - later.begin()->first) >= 0) {
      queue.push_back(later.begin()->second);
      later.erase(later.begin());
    }
  }
};

inline uint32_t fake_now(void* ctx) { return static_cast<FakeInput*>(ctx)->now; }
inline int fake_pending(void* ctx) {
  auto* f = static_cast<FakeInput*>(ctx);
  f->release_due();
  return static_cast<int>(f->queue.size());
}
inline void fake_next(void* ctx, XEvent* out) {
  auto* f = static_cast<FakeInput*>(ctx);
  *out = f->queue.front();
  f->queue.pop_front();
}
inline void fake_peek(void* ctx, XEvent* out) { *out = static_cast<FakeInput*>(ctx)->queue.front(); }
inline void fake_wait(void* ctx, uint32_t ms) {
  auto* f = static_cast<FakeInput*>(ctx);
  f->waits.push_back(ms);
  // Input that arrives during the wait ends it at that moment.
  uint32_t until = f->now + ms;
  if (!f->later.empty() && static_cast<int32_t>(until - f->later.begin()->first) >= 0 &&
      static_cast<int32_t>(f->later.begin()->first - f->now) >= 0)
    until = f->later.begin()->first;
  f->now = until;
}
inline unsigned long fake_keysym(void* ctx, XKeyEvent* key) {
  auto* f = static_cast<FakeInput*>(ctx);
  auto it = f->keysyms.find(key->keycode);
  return it == f->keysyms.end() ? NoSymbol : it->second;
}

// A message as a procedure saw it.
struct Seen {
  XfWindow* window;
  uint32_t number;
  intptr_t mp1, mp2;
};

inline std::vector<Seen>& seen() {
  static std::vector<Seen> log;
  return log;
}

inline intptr_t recording_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  seen().push_back({w, n, mp1, mp2});
  return 0;
}

// The numbers a window received, in order.
inline std::vector<uint32_t> numbers_for(XfWindow* w) {
  std::vector<uint32_t> out;
  for (const auto& s : seen()) {
    if (s.window == w) out.push_back(s.number);
  }
  return out;
}

class WinsysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    xf_reset();
    seen().clear();
    xf_set_clock(XfClock{fake_now, &input});
    xf_set_event_source(XfEventSource{fake_pending, fake_next, fake_peek, fake_wait, fake_keysym, &input});
  }
  void TearDown() override { xf_reset(); }

  // A bare window record with a recording procedure.
  XfWindow* window(XfWindow* parent = nullptr, uint32_t kind = XFTYPE_ANY);

  XEvent expose(XfWindow* w, int x, int y, int width, int height) {
    XEvent e{};
    e.xexpose = XExposeEvent{Expose, 0, False, nullptr, w->xwin, x, y, width, height, 0};
    return e;
  }
  XEvent motion(XfWindow* w, int x, int y) {
    XEvent e{};
    e.type = MotionNotify;
    e.xmotion.window = w->xwin;
    e.xmotion.x = x;
    e.xmotion.y = y;
    e.xmotion.x_root = x + 100;
    e.xmotion.y_root = y + 200;
    e.xmotion.time = 77;
    return e;
  }
  XEvent key(XfWindow* w, unsigned keycode, unsigned state = 0, bool press = true) {
    XEvent e{};
    e.type = press ? KeyPress : KeyRelease;
    e.xkey.window = w->xwin;
    e.xkey.keycode = keycode;
    e.xkey.state = state;
    e.xkey.time = 5;
    return e;
  }
  XEvent button(XfWindow* w, unsigned b, bool press = true, int x = 3, int y = 4) {
    XEvent e{};
    e.type = press ? ButtonPress : ButtonRelease;
    e.xbutton.window = w->xwin;
    e.xbutton.button = b;
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.x_root = x + 10;
    e.xbutton.y_root = y + 20;
    return e;
  }
  void push(const XEvent& e) { input.queue.push_back(e); }

  FakeInput input;
};

inline XfWindow* WinsysTest::window(XfWindow* parent, uint32_t kind) {
  XfWindow* w = xfCreateChildWindow(parent, 0, 0, 50, 40, 0, 'u');
  w->kind = kind;
  w->proc = recording_proc;
  return w;
}

}  // namespace wstest
