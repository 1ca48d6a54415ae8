// A frame with the message, status and command lines, for the X tests:
// prints the windows and the layout when ready and after every size change,
// and each command a click on a status field runs.
#include <cstdio>

#include "display/cmdline_port.h"
#include "display/colours.h"
#include "display/msgline.h"
#include "forms/objects.h"
#include "text/engine.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/window_rec.h"
#include "winsys/xinit.h"

namespace {

XfWindow* g_client = nullptr;

void print_layout(const char* what) {
  const StatusLayout& l = msgline_current_layout();
  WinRect r{};
  WinQueryWindowRect(g_client, &r);
  std::printf("%s %lu %lu %lu %d %d %d %d %d %d %d %d %d %d %d %d %d %d\n", what, msgline_message_window()->xwin,
              msgline_status_window()->xwin, msgline_command_window() ? msgline_command_window()->xwin : 0UL,
              r.right - r.left, r.bottom - r.top, l.cmd_left, l.cmd_right, l.line_label, l.line_end, l.col_label,
              l.col_end, l.mode_left, l.mode_end, l.insert_left, l.insert_end, l.band_height, l.text_top);
}

intptr_t client_proc(XfWindow* w, uint32_t n, intptr_t mp1, intptr_t mp2) {
  if (n == ZWM_SIZE && msgline_message_window()) {
    msgline_layout(w);
    print_layout("layout");
    return 0;
  }
  return WinDefWindowProc(w, n, mp1, mp2);
}

}  // namespace

int main(int, char**) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  text_engine_init();
  xfInitX();
  if (objects_init(1024, 768) != 0) return 2;
  colour_pair_set(4, ColourPair{0x000000, 0x80FFFF});
  colour_pair_set(5, ColourPair{0x000000, 0xE0FFE0});
  WinRegisterClass("zx_lines", client_proc, 0, 0);
  XfWindow* frame = WinCreateStdWindow(0, kFrameTitle | kFrameSizeBorder, "zx_lines", "Lines", kStyleVisible, 20, 20,
                                       700, 300, nullptr, 1, nullptr, nullptr);
  if (!frame) return 1;
  g_client = WinQueryFrameClient(frame);
  if (msgline_create(g_client) != 0) return 3;
  msgline_set_click_runner([](const char* command) { std::printf("click %s\n", command); });
  msgline_layout(g_client);
  status_set_line(1234);
  status_set_column(56);
  status_set_mode("C");
  status_set_insert(1);
  msgline_show("Hello from the message line");
  cmdline_set_text("open-file a.c");
  xfShowFrameAndWait(frame);
  print_layout("ready");
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  return 0;
}
