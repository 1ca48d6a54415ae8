// The application's answers to the key readers and the key dispatch
// (macro/event_port.h) and to the input translation (forms/input_port.h):
// the focus, the message line, the screen refresh, and the editor windows
// with their MDI children and views.
// The macro runtime and text engine first: the window system's headers bring in Xlib.
#include "macro/event_port.h"
#include "text/buffer.h"

#include "app/app_editor.h"
#include "app/app_frame.h"
#include "display/msgline.h"
#include "display/refresh.h"
#include "display/refresh_port.h"
#include "forms/app_port.h"
#include "forms/input_port.h"
#include "forms/obj_window_ctl.h"
#include "forms/objects.h"
#include "winsys/focus.h"

// Before the frame is made nothing else could hold the focus.
bool evt_focus_on_editor() {
  XfWindow* focus = xfQueryFocus();
  if (!focus) return app_frame_client() == nullptr;
  if (focus == msgline_command_window()) return true;
  const WindowObject* obj = obj_find_by_window(focus);
  return obj && (obj == obj_command_line() || app_editor_display(obj) != nullptr);
}

void evt_clear_message() { app_clear_message(); }

void evt_refresh() { refresh_screen(); }

WindowObject* evt_active_editor() { return app_active_editor(); }

// An editor window is iconized when its MDI child is; other objects say so
// themselves.
bool evt_iconized(WindowObject* obj) {
  if (!obj) return false;
  if (const EditorDisplay* ed = app_editor_display(obj)) return ed->chrome && ed->chrome->state(ed) == 'I';
  return obj_window_state(obj) == 'I';
}

void evt_restore_scroll_point(WindowObject* obj) {
  if (EditorDisplay* ed = app_editor_display(obj)) view_restore_scroll_point(ed);
}

void evt_scroll_to_cursor() { refresh_scroll_to_cursor(window_current()); }

bool input_app_timer(XfWindow* window, uint32_t id) { return app_process_poll_tick(window, id); }
