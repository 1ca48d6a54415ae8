#include "forms/ctl_textops.h"

#include <string>

#include "display/textctl.h"
#include "forms/input_field.h"
#include "forms/objects.h"
#include "macro/bi_window.h"
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

std::string get_text(WindowObject* c) {
  InputField* f = ctl_text_field(c);
  return f ? std::string(ifield_text(*f)) : std::string();
}
void get_sel(WindowObject* c, int32_t* anchor, int32_t* caret) {
  InputField* f = ctl_text_field(c);
  if (!f) return;
  *anchor = ifield_query_sel(*f, caret);
}
void set_text(WindowObject* c, std::string_view text) {
  InputField* f = ctl_text_field(c);
  if (!f) return;
  LStrLine t;
  t.assign(text);
  send_or_apply(f, ZWM_EDIT_SETTEXT, 0, reinterpret_cast<intptr_t>(&t));
}
void set_sel(WindowObject* c, int32_t anchor, int32_t caret) {
  if (InputField* f = ctl_text_field(c)) send_or_apply(f, ZWM_EDIT_SETSEL, anchor, caret);
}
uint8_t get_insert(WindowObject* c) {
  InputField* f = ctl_text_field(c);
  return f ? f->insert_mode : 1;
}
void set_insert(WindowObject* c, uint8_t mode) {
  if (InputField* f = ctl_text_field(c)) send_or_apply(f, ZWM_EDIT_SETINSERTMODE, 1, mode);
}
void focus_current() {
  if (bi_window_seam().focus) bi_window_seam().focus(window_current());
}
// The topmost editor window: the first of the ring of windows with a view
// whose parent is the frame object.
WindowObject* active_editor() {
  WindowObject* head = window_edit_list_head();
  for (WindowObject* w = head; w;) {
    if (obj_is_frame_child(w) && w->view) return w;
    w = w->edit_next;
    if (w == head) break;
  }
  return nullptr;
}

}  // namespace

void ctl_install_text_ops() {
  TextCtlSeam& s = textctl_seam();
  s.get_text = get_text;
  s.get_sel = get_sel;
  s.set_text = set_text;
  s.set_sel = set_sel;
  s.get_insert = get_insert;
  s.set_insert = set_insert;
  s.focus_current = focus_current;
  s.active_editor = active_editor;
}
