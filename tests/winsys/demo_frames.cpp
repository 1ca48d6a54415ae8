// A program of the window API for the X tests: main -> WinCreateStdWindow
// -> get/dispatch loop. The standard frame "Frames" has a title, system
// menu, buttons, a sizing border and both scroll bars around a client of
// class "zx_frames". It reports on standard output, one line each:
//   ready <frame> <client> <vsb> <hsb> <face> <medium>   X ids and the bar colours
//   proc <number> <mp1> <mp2>    what the client's procedure receives
// Keys typed into the client:
//   z  gives the horizontal bar the range 0..0
//   k  the client claims the scroll bars' mouse input (hit code 1)
//   q  quit
#include <X11/keysym.h>

#include <cstdio>

#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/winapi_scroll.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

bool g_claim = false;
XfWindow* g_frame = nullptr;

void fill_white(XfWindow* w) {
  Display* d = xf_display();
  GC gc = xf_scratch_gc();
  XSetForeground(d, gc, WhitePixel(d, DefaultScreen(d)));
  XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(w->width), static_cast<unsigned>(w->height));
}

intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  if (n != ZWM_MOUSEMOVE && n != ZWM_SETPOINTER && n != ZWM_PAINT)
    std::printf("proc 0x%x %ld %ld\n", n, static_cast<long>(mp1), static_cast<long>(mp2));
  switch (n) {
    case ZWM_HITTEST:
      return g_claim ? 1 : mp1;
    case ZWM_PAINT:
      fill_white(w);
      xfValidateWindow(w);
      return 0;
    case ZWM_CHAR:
      switch (mp1 & 0xFFFF) {
        case 'z':
          WinSetScrollRange(g_frame, 0, 0, 'H');
          break;
        case 'k':
          g_claim = true;
          break;
        case 'q':
          WinExit(0);
          break;
        default:
          break;
      }
      return 0;
    default:
      return WinDefWindowProc(w, n, mp1, mp2);
  }
}

}  // namespace

int main(int, char**) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  xfInitX();
  WinRegisterClass("zx_frames", client_proc, 0, 0);
  constexpr uint32_t kFlags = kFrameTitle | kFrameSysMenu | kFrameMinButton | kFrameMaxButton | kFrameSizeBorder |
                              kFrameHorzScroll | kFrameVertScroll;
  g_frame = WinCreateStdWindow(0, kFlags, "zx_frames", "Frames", kStyleVisible, 50, 60, 400, 300, nullptr, 1, nullptr,
                               nullptr);
  if (!g_frame) return 1;
  XfWindow* client = WinQueryFrameClient(g_frame);
  XfWindow* vsb = WinQueryFramePart(g_frame, kPartVsb);
  XfWindow* hsb = WinQueryFramePart(g_frame, kPartHsb);
  WinSetScrollRange(g_frame, 0, 100, 'V');
  WinSetScrollPage(g_frame, 10, 100, 'V');
  xfShowFrameAndWait(g_frame);
  std::printf("ready %lu %lu %lu %lu %lu %lu\n", g_frame->xwin, client->xwin, vsb->xwin, hsb->xwin, vsb->bg,
              vsb->medium);
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  return 0;
}
