#include "forms/ctl_cmdline.h"

#include <string>

#include "display/msgline.h"
#include "forms/input_field.h"
#include "forms/objects.h"
#include "winsys/winapi.h"

namespace {

// The field of the command line's window once it is made, else the object's.
InputField* cmdline_field() {
  if (XfWindow* w = msgline_command_window())
    if (InputField* f = ifield_from_hwnd(w)) return f;
  return ctl_text_field(obj_command_line());
}

XfWindow* create(XfWindow* parent, int32_t x, int32_t y, int32_t cx, int32_t cy) {
  ctl_input_field_register();
  return ctl_input_field_create(parent, obj_command_line(), x, y, cx, cy, kCommandLineId);
}

std::string get_text() {
  InputField* f = cmdline_field();
  return f ? std::string(ifield_text(*f)) : std::string();
}

void set_text(std::string_view text) {
  InputField* f = cmdline_field();
  if (!f) return;
  if (f->window) {
    LStrLine t;
    t.assign(text);
    WinSendMsg(f->window, ZWM_EDIT_SETTEXT, 0, reinterpret_cast<intptr_t>(&t));
  } else {
    ifield_set_text(*f, text);
  }
  ifield_set_caret(*f, static_cast<int32_t>(text.size()));
}

}  // namespace

void ctl_install_cmdline() {
  CmdlineSeam& s = cmdline_seam();
  s.create = create;
  s.get_text = get_text;
  s.set_text = set_text;
}

bool cmdline_timer_start(uint16_t id, uint32_t ms) {
  XfWindow* w = obj_command_line() ? obj_command_line()->client_window : nullptr;
  return w && WinStartTimer(w, id, ms) != 0;
}
void cmdline_timer_stop(uint16_t id) {
  if (XfWindow* w = obj_command_line() ? obj_command_line()->client_window : nullptr) WinStopTimer(w, id);
}
