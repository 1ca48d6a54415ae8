// A small program for the input tests: a frame "Zorvex" whose client turns
// every key and mouse message it receives into the editor's event code, as
// an editor window does, and reports it on standard output:
//   ready <frame> <client>           X window ids
//   focus                            the client has the keyboard focus
//   event <code> <repeat> <value>    an input event (value -1: none)
// It runs until it is killed.
#include <cstdio>

#include "forms/input_translate.h"
#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/x_event_codes.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace {

intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  if (n == ZWM_SETFOCUS) std::printf("focus\n");
  int r = app_translate_input(w, n, mp1, mp2, kMenuNever, kReaderWindowProc);
  if (r == kInputEvent) {
    const XfLastEvent& le = evt_last_event();
    std::printf("event %u %u %ld\n", le.event, le.repeat_count, le.has_value ? static_cast<long>(le.event_value) : -1L);
  }
  return r == kInputDefault ? WinDefWindowProc(w, n, mp1, mp2) : 0;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  xfInitX();
  xfRegisterClass("zx_input", client_proc, 0, 16, nullptr);
  XfWindow* client = nullptr;
  XfWindow* frame = xfCreateFrame(nullptr, 0, kFrameTitle | kFrameSizeBorder, "zx_input", "Zorvex", nullptr, nullptr, 1,
                                  &client, 40, 40, 300, 200);
  xfSetAppFrame(frame);
  xfSetWindowPos(frame, nullptr, 0, 0, 0, 0, 0x80);
  std::printf("ready %lu %lu\n", frame->xwin, client->xwin);
  std::fflush(stdout);
  XfMessage m{};
  while (xfGetMsg(&m, nullptr, 0, 0)) xfDispatchMsg(&m);
  return 0;
}
