// Keys typed into the controls of forms: the binding search of the objects
// for the key dispatch, where an unbound character is typed into the text
// box; the caret keys of the cursor built-ins on text boxes (macro/window_port.h);
// the pointer while typing and the window options the dispatch reads
// (macro/event_port.h); the delivery of deferred focus changes (see
// obj_window.h).
#include <string>

#include "forms/ctl_common.h"
#include "forms/input_field.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/routing.h"
#include "macro/event_port.h"
#include "macro/key_dispatch.h"
#include "macro/window_port.h"
#include "text/curline.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/window_rec.h"
#include "winsys/winquery.h"

namespace {

// A control of a form (not an editor window, the command line or a fixed object).
bool form_control(const WindowObject* o) {
  return o && o->handle > kCommandLineId && (!obj_is_frame_child(o) || o->mdi_form) && o != obj_command_line() &&
         o->type >= kObjForm && !(o->view && o->prop19 == 3);
}

// The system pointer every window starts with.
constexpr int32_t kArrowPointer = 1;

bool is_text_box(const WindowObject* o) { return o && (o->type == kObjText || o->type == kObjCombo); }

}  // namespace

// ---- the caret keys of text boxes (macro/window_port.h)

bool window_is_text_box(const WindowObject* o) { return is_text_box(o); }

int32_t window_textbox_key(WindowObject* o, TextBoxKey key) {
  if (!is_text_box(o)) return ERR_NOT_ALLOWED_ON_OBJECT;
  InputField* f = ctl_text_field(o);
  if (!f) return ERR_NOT_ALLOWED_ON_OBJECT;
  auto send = [&](uint32_t m, void (*apply)(InputField&)) {
    if (f->window)
      WinSendMsg(f->window, m, 0, 0);
    else
      apply(*f);
  };
  switch (key) {
    case TextBoxKey::Home:
      ifield_set_caret(*f, 0);
      break;
    case TextBoxKey::End:
      ifield_set_caret(*f, static_cast<int32_t>(ifield_text(*f).size()));
      break;
    case TextBoxKey::Left:
      send(ZWM_EDIT_LEFT, ifield_left);
      break;
    case TextBoxKey::Right:
      send(ZWM_EDIT_RIGHT, ifield_right);
      break;
    case TextBoxKey::Backspace:
      send(ZWM_EDIT_BACKSPACE, ifield_backspace);
      break;
    case TextBoxKey::Delete:
      send(ZWM_EDIT_DELETE, ifield_delete);
      break;
  }
  if (f->window) ifield_invalidate(*f);
  return 0;
}

int32_t evt_find_binding(WindowObject* o, EventCode event, int32_t level, bool second, uint32_t* binding) {
  if (!form_control(o)) return key_find_binding_default(o, event, level, second, binding);
  WindowObject* target = nullptr;
  return obj_find_binding(o, &target, event, binding, false, level, false);
}

int32_t evt_text_insert(WindowObject* o, const LStr* text) {
  if (!is_text_box(o)) return ERR_NOT_ALLOWED_ON_OBJECT;
  InputField* f = ctl_text_field(o);
  if (!f) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_INSERT, 0, reinterpret_cast<intptr_t>(text));
  else
    ifield_insert(*f, text->view());
  return 0;
}

void evt_reset_pointer(WindowObject* o) {
  XfWindow* w = o ? o->client_window : nullptr;
  if (!w) return;
  int32_t x = 0, y = 0, at[2] = {};
  xfWindowRootOrigin(w, &x, &y);
  xfQueryPointerPos(w, at);
  const bool inside = at[0] >= x && at[0] < x + w->width && at[1] >= y && at[1] < y + w->height;
  if (inside) xfSetPointer(w, xfQuerySysPointer(w, kArrowPointer));
}

// The option letters T (the top-of-file line shown) and P (typing resets
// the pointer) are the window-option bits 0 and 3.
int32_t evt_window_options() { return static_cast<int32_t>(editor_options().flags & (kOptTopLine | kOptPointer)); }

void app_flush_focus_events() {
  static bool running = false;
  FocusEvents& f = focus_events();
  if (running || f.lost_running) return;
  running = true;
  const int32_t quiet = f.quiet;
  f.deferred = true, f.quiet = 2;  // changes made by the handlers wait for the next flush
  ctl_deliver_focus_events();
  f.quiet = quiet, f.deferred = false;
  running = false;
}
