#include "forms/ctl_cmdline.h"

#include "forms/objects.h"
#include "winsys/winapi.h"

bool cmdline_timer_start(uint16_t id, uint32_t ms) {
  XfWindow* w = obj_command_line() ? obj_command_line()->client_window : nullptr;
  return w && WinStartTimer(w, id, ms) != 0;
}
void cmdline_timer_stop(uint16_t id) {
  if (XfWindow* w = obj_command_line() ? obj_command_line()->client_window : nullptr) WinStopTimer(w, id);
}
