// The text controls' side of the text-control built-ins (the display's
// port, display/textctl_port.h): their input fields' text, selection and
// insert mode, the focus, and the frame's active editor window.
#include <string>

#include "display/textctl_port.h"
#include "forms/input_field.h"
#include "forms/objects.h"
#include "macro/window_port.h"
#include "winsys/winapi.h"

namespace {

// Changes go through the field's window when it has one, so that ON-CHANGE
// is raised and the field repaints; headless, the model changes alone.
void send_or_apply(InputField* f, uint32_t message, intptr_t mp1, intptr_t mp2) {
  if (f->window) {
    WinSendMsg(f->window, message, mp1, mp2);
    return;
  }
  if (message == ZWM_EDIT_SETTEXT) ifield_set_text(*f, reinterpret_cast<const LStr*>(mp2)->view());
  if (message == ZWM_EDIT_SETSEL) ifield_set_sel(*f, static_cast<int32_t>(mp1), static_cast<int32_t>(mp2));
  if (message == ZWM_EDIT_SETINSERTMODE && mp1) f->insert_mode = mp2 ? 1 : 0;
}

}  // namespace

std::string textctl_get_text(WindowObject* c) {
  InputField* f = ctl_text_field(c);
  return f ? std::string(ifield_text(*f)) : std::string();
}
void textctl_get_sel(WindowObject* c, int32_t* anchor, int32_t* caret) {
  InputField* f = ctl_text_field(c);
  if (!f) return;
  *anchor = ifield_query_sel(*f, caret);
}
void textctl_set_text(WindowObject* c, std::string_view text) {
  InputField* f = ctl_text_field(c);
  if (!f) return;
  LStrLine t;
  t.assign(text);
  send_or_apply(f, ZWM_EDIT_SETTEXT, 0, reinterpret_cast<intptr_t>(&t));
}
void textctl_set_sel(WindowObject* c, int32_t anchor, int32_t caret) {
  if (InputField* f = ctl_text_field(c)) send_or_apply(f, ZWM_EDIT_SETSEL, anchor, caret);
}
uint8_t textctl_get_insert(WindowObject* c) {
  InputField* f = ctl_text_field(c);
  return f ? f->insert_mode : 1;
}
void textctl_set_insert(WindowObject* c, uint8_t mode) {
  if (InputField* f = ctl_text_field(c)) send_or_apply(f, ZWM_EDIT_SETINSERTMODE, 1, mode);
}
void textctl_focus_current() { window_focus(window_current()); }
// The topmost editor window: the first of the ring of windows with a view
// whose parent is the frame object.
WindowObject* textctl_active_editor() {
  WindowObject* head = window_edit_list_head();
  for (WindowObject* w = head; w;) {
    if (obj_is_frame_child(w) && w->view) return w;
    w = w->edit_next;
    if (w == head) break;
  }
  return nullptr;
}
