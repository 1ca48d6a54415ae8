// The command line's input field: what the message line reaches through its
// port (display/cmdline_port.h). The command-line object (id 3) owns the
// field; before the window is made, the object's own field keeps the text.
#include <string>

#include "display/cmdline_port.h"
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

}  // namespace

XfWindow* cmdline_create(XfWindow* parent, int32_t x, int32_t y, int32_t cx, int32_t cy) {
  ctl_input_field_register();
  return ctl_input_field_create(parent, obj_command_line(), x, y, cx, cy, kCommandLineId);
}

std::string cmdline_get_text() {
  InputField* f = cmdline_field();
  return f ? std::string(ifield_text(*f)) : std::string();
}

void cmdline_set_text(std::string_view text) {
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
