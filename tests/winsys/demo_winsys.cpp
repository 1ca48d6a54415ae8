// A small program on the window core for the X tests to drive.
//
// It opens the display the way the editor does, creates a frame "Zorvex"
// (menu bar, both scroll bars, a push button in the client) and a transient
// tool frame "Tool", and then runs the get/dispatch loop. It reports on
// standard output, one line each:
//   ready <frame> <client> <button> <tool> <vsb> <hsb>   X window ids
//   resources scrollbar=<n> caret=<pixel or -1>
//   get <window> <number> <mp1> <mp2>    every message out of the get call
//   proc <window> <number> <mp1> <mp2>   what the demo's procedures receive
//   paint <window> <left> <top> <right> <bottom>   the update region painted
// Keys typed into the client are commands:
//   p  busy for 600 ms (the test makes X events meanwhile)
//   t  three timers of 600, 200 and 400 ms; each reports "timer <id> <ms>"
//   c  a caret at (10, 10); h / s hide and show it ("caret <hide count>")
//   o  take the PRIMARY selection
//   d  build a frame with children, timers, a pushed focus, the capture and
//      a caret, destroy it, and report what is left ("destroyed ...")
//   x  report the state ("state ...")
//   q  quit
#include <X11/keysym.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "winsys/caret.h"
#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/peer.h"
#include "winsys/resources.h"
#include "winsys/timers.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace {

std::map<const XfWindow*, std::string> g_names;
XfWindow* g_frame = nullptr;
XfWindow* g_client = nullptr;
XfWindow* g_tool = nullptr;
XfProc g_button_proc = nullptr;
uint32_t g_timer_start = 0;

const char* name_of(const XfWindow* w) {
  auto it = g_names.find(w);
  return it == g_names.end() ? "?" : it->second.c_str();
}

void report(const char* what, const XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  std::printf("%s %s 0x%x %ld %ld\n", what, name_of(w), n, static_cast<long>(mp1), static_cast<long>(mp2));
}

void sleep_ms(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

void fill_white(XfWindow* w) {
  Display* d = xf_display();
  GC gc = xf_scratch_gc();
  XSetForeground(d, gc, WhitePixel(d, DefaultScreen(d)));
  XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(w->width), static_cast<unsigned>(w->height));
}

intptr_t report_timer(XfWindow* w, void* data, intptr_t) {
  auto id = static_cast<uint32_t>(reinterpret_cast<intptr_t>(data));
  std::printf("timer %u %u\n", id, xfQueryMilliseconds() - g_timer_start);
  xfStopTimer(w, id);
  return 0;
}

intptr_t never_called(XfWindow*, void*, intptr_t) {
  std::printf("ERROR timer of a destroyed window ran\n");
  return 0;
}

void destroy_everything() {
  XfWindow* client = nullptr;
  XfWindow* doomed = xfCreateFrame(nullptr, 0, kFrameTitle | kFrameVertScroll | kStyleVisible, nullptr, "Doomed",
                                   nullptr, nullptr, 3, &client, 500, 400, 200, 150);
  xfShowFrameAndWait(doomed);
  XfWindow* child = xfCreateWindow(client, nullptr, nullptr, kStyleVisible, 5, 5, 50, 50, nullptr, nullptr, 1);
  XfWindow* grandchild = xfCreateWindow(child, nullptr, nullptr, kStyleVisible, 1, 1, 20, 20, nullptr, nullptr, 2);
  XfWindow* button = xfCreateWindow(client, kButtonClass, "~Go", kStyleVisible, 60, 5, 50, 20, nullptr, nullptr, 3);
  XfWindow* old_focus = xfQueryFocus();
  xfActivateFrame(doomed);
  xfSetFocus(child);
  xfPushFocus();
  xfSetFocus(grandchild);
  xfPushFocus();
  xfSetCapture(grandchild);
  xfStartTimer(child, 1, 30, never_called, nullptr);
  xfStartTimer(grandchild, 2, 30, nullptr, nullptr);
  xfStartTimer(button, 3, 10, nullptr, nullptr);
  xfCreateCaret(child, 2, 10, 0);
  xfShowCaret(child);
  xfPostMsg(grandchild, ZWM_COMMAND, 9, 0);
  xfInvalidateRect(child, nullptr);
  g_frame->k.frame.focus_child = grandchild;  // another frame remembers one of them
  xfDestroyWindow(doomed);
  bool scrubbed = g_frame->k.frame.focus_child == nullptr && xfQueryCapture() == nullptr;
  // Give anything left behind the time to go off.
  uint32_t start = xfQueryMilliseconds();
  XfMessage m{};
  while (xfQueryMilliseconds() - start < 400) {
    if (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
    sleep_ms(5);
  }
  xfPopFocus();
  xfPopFocus();
  int dangling = 0;
  for (int32_t i = 0; i < xf().timers.count; ++i) dangling += !xf_is_live_window(xf().timers.data[i].window);
  g_frame->k.frame.focus_child = g_client;
  xfActivateFrame(g_frame);
  (void)old_focus;
  std::printf("destroyed dangling=%d capture=%d scrubbed=%d\n", dangling, xfQueryCapture() != nullptr, scrubbed);
}

void state() {
  std::printf("state live=%d timers=%d errors=%u focus=%s peers=%zu\n", xf_live_window_count(), xf_timer_count(),
              xf_x_error_count(), name_of(xfQueryFocus()), xf_peer_list().size());
}

void command(unsigned long keysym) {
  switch (keysym) {
    case 'p':
      std::printf("busy\n");
      std::fflush(stdout);
      sleep_ms(600);
      break;
    case 't':
      g_timer_start = xfQueryMilliseconds();
      xfStartTimer(g_client, 1, 600, report_timer, reinterpret_cast<void*>(1));
      xfStartTimer(g_client, 2, 200, report_timer, reinterpret_cast<void*>(2));
      xfStartTimer(g_client, 3, 400, report_timer, reinterpret_cast<void*>(3));
      break;
    case 'c':
      xfCreateCaret(g_client, 4, 14, 0);
      xfSetCaretPos(g_client, 10, 10);
      xfShowCaret(g_client);
      std::printf("caret %d\n", g_client->caret.hide);
      break;
    case 'h':
      xfHideCaret(g_client);
      std::printf("caret %d\n", g_client->caret.hide);
      break;
    case 's':
      xfShowCaret(g_client);
      std::printf("caret %d\n", g_client->caret.hide);
      break;
    case 'o':
      xfOwnPrimary(g_frame);
      xfFlush();
      std::printf("primary\n");
      break;
    case 'd':
      destroy_everything();
      break;
    case 'x':
      state();
      break;
    case 'q':
      xfShutdownX();
      std::printf("bye\n");
      std::exit(0);
    default:
      break;
  }
}

intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  report("proc", w, n, mp1, mp2);
  switch (n) {
    case ZWM_PAINT: {
      XfRectLTRB r{};
      xfQueryUpdateRect(w, &r);
      std::printf("paint %s %d %d %d %d\n", name_of(w), r.left, r.top, r.right, r.bottom);
      fill_white(w);
      xfValidateWindow(w);
      break;
    }
    case ZWM_CHAR:
      if (w == g_client) command(xf_key_keysym(mp1));
      break;
    case ZWM_COMMAND:
      std::printf("command %ld\n", static_cast<long>(mp1));
      break;
    default:
      break;
  }
  std::fflush(stdout);
  return 0;
}

intptr_t button_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  if (n != ZWM_MOUSEMOVE) report("proc", w, n, mp1, mp2);
  return g_button_proc(w, n, mp1, mp2);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--app-defaults") == 0) xf_set_app_defaults_dir(argv[i + 1]);
  }
  xfInitX();
  xfRegisterClass("zx_demo", client_proc, 0, 16, nullptr);

  constexpr uint32_t kFlags = kFrameTitle | kFrameSysMenu | kFrameMinButton | kFrameMaxButton | kFrameSizeBorder |
                              kFrameMenuBar | kFrameHorzScroll | kFrameVertScroll;
  XfWindow* client = nullptr;
  g_frame = xfCreateFrame(nullptr, 0, kFlags, "zx_demo", "Zorvex", nullptr, nullptr, 1, &client, 50, 60, 400, 300);
  g_client = client;
  g_names[g_frame] = "frame";
  if (XfWindow* bar = g_frame->k.frame.menubar) g_names[bar] = "menubar";
  g_names[client] = "client";
  XfWindow* button = xfCreateWindow(client, kButtonClass, "~OK", kStyleVisible, 20, 30, 80, 24, nullptr, nullptr, 101);
  g_names[button] = "button";
  g_button_proc = xfSubclassWindow(button, button_proc);
  XfWindow* vsb = xfWindowFromId(g_frame, kPartVsb);
  XfWindow* hsb = xfWindowFromId(g_frame, kPartHsb);
  g_names[vsb] = "vsb";
  g_names[hsb] = "hsb";
  xfSetAppFrame(g_frame);
  xfSetWindowPos(g_frame, nullptr, 0, 0, 0, 0, 0x80);

  XfWindow* tool_client = nullptr;
  g_tool = xfCreateFrame(g_frame, 0, kFrameTitle | kFrameBorder, "zx_demo", "Tool", nullptr, nullptr, 2, &tool_client,
                         600, 60, 160, 100);
  g_names[g_tool] = "tool";
  g_names[tool_client] = "toolclient";
  xfSetWindowPos(g_tool, nullptr, 0, 0, 0, 0, 0x80);

  std::printf("ready %lu %lu %lu %lu %lu %lu\n", g_frame->xwin, client->xwin, button->xwin, g_tool->xwin, vsb->xwin,
              hsb->xwin);
  std::printf("resources scrollbar=%u caret=%ld\n", xf().values.scrollbar_width, xf().values.caret);

  XfMessage m{};
  while (xfGetMsg(&m, nullptr, 0, 0)) {
    if (m.number != ZWM_MOUSEMOVE) report("get", m.window, m.number, m.mp1, m.mp2);
    xfDispatchMsg(&m);
  }
  return 0;
}
