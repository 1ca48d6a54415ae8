// Keys typed into the controls of forms: through the input translation to
// the binding search of the objects, where an unbound character is typed
// into the text box (see obj_window.h).
#include <string>

#include "forms/input_field.h"
#include "forms/input_translate.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "forms/routing.h"
#include "macro/bi_window.h"
#include "macro/event_seam.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "text/curline.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"

namespace {

EventSeam g_prev{};
BiWindowSeam g_prev_bi{};

// A control of a form (not an editor window, the command line or a fixed object).
bool form_control(const WindowObject* o) {
  return o && o->handle > kCommandLineId && !obj_is_frame_child(o) && o != obj_command_line() && o->type >= kObjForm &&
         !(o->view && o->prop19 == 3);
}

bool is_text_box(const WindowObject* o) { return o && (o->type == kObjText || o->type == kObjCombo); }

int32_t find_binding(WindowObject* o, EventCode event, int32_t level, bool second, uint32_t* binding) {
  if (!form_control(o)) return g_prev.windows.find_binding(o, event, level, second, binding);
  WindowObject* target = nullptr;
  return obj_find_binding(o, &target, event, binding, false, level, false);
}

int32_t text_insert(WindowObject* o, const LStr* text) {
  if (!is_text_box(o)) return g_prev.windows.text_insert(o, text);
  InputField* f = ctl_text_field(o);
  if (!f) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_INSERT, 0, reinterpret_cast<intptr_t>(text));
  else
    ifield_insert(*f, text->view());
  return 0;
}

bool seam_is_text_box(const WindowObject* o) { return is_text_box(o) || g_prev_bi.is_text_box(o); }

int32_t textbox_key(WindowObject* o, TextBoxKey key) {
  if (!is_text_box(o)) return g_prev_bi.textbox_key(o, key);
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

// The binding of a key for a control runs outside the editor windows'
// dispatch: an unbound character is typed, other unbound keys run
// "key-not-defined".
void control_key_event(WindowObject* o, EventCode event, int32_t repeat) {
  key_globals.last_event = event;
  key_globals.repeat_count = repeat;
  key_globals.key_arg_count = 0;
  kbdmac_add_key(event);
  uint32_t binding = 0;
  const int32_t r = find_binding(o, event, 1, false, &binding);
  if (r < 0 || binding == 0xFFFFFFFFu) return;
  if (r != 0) {
    if (event == kEvMouseMove) return;
    binding = static_cast<uint32_t>(vm_key_not_defined_index);
    evtab_set_pending_command(binding, 0);
  } else if (binding == 0 || (binding >> 16) != 0) {
    evtab_set_pending_command(binding, 0);
  }
  evtab_commit_pending();
  key_run_binding(o, binding, true);
}

// A key in a form's text box runs its binding with the text box current.
bool control_keys(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  if (message != ZWM_CHAR) return false;
  WindowObject* o = obj_find_by_window(w);
  if (!form_control(o)) return false;
  if (app_translate_input(w, message, mp1, mp2, kMenuOwnObject, kReaderWindowProc) != kInputEvent) return true;
  const EventCode event = key_globals.last_event;
  if (window_current() != o) window_set_current(o, 0);
  control_key_event(o, event, key_globals.repeat_count);
  return true;
}

}  // namespace

void obj_window_install_input() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  g_prev = event_seam();
  EventSeam s = g_prev;
  s.windows.find_binding = find_binding;
  s.windows.text_insert = text_insert;
  event_seam_install(s);
  BiWindowSeam& b = bi_window_seam();
  g_prev_bi = b;
  b.is_text_box = seam_is_text_box;
  b.textbox_key = textbox_key;
  ifield_set_control_keys(control_keys);
}
