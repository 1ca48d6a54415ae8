// The display's refresh built-ins as the program runs them
// (display/refresh_port.h): the frame's refresh of the editor windows, and
// the current object following its cursor; and the editor windows drawn
// again when the colours change (display/redraw_port.h).
#include "app/app_editor.h"
#include "display/redraw_port.h"
#include "display/refresh.h"
#include "display/refresh_port.h"
#include "forms/input_field.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "winsys/paint.h"

void refresh_screen() {
  app_refresh();
  app_flush_focus_events();  // focus changes deferred meanwhile
}

void refresh_scroll_to_cursor(WindowObject* obj) {
  if (!obj) return;
  if (!obj->view) {
    if (obj->type == kObjText) ctl_text_scroll_to_caret(obj);
    return;
  }
  EditorDisplay* ed = app_editor_display(obj);
  if (!ed || !view_scroll_to_cursor(ed)) return;
  ed->whole_pending = true;
  if (obj->view->buffer) obj->view->buffer->redraw = 1;
  redraw_bits |= 0x2002;
}

void redraw_views() {
  WindowObject* head = window_edit_list_head();
  for (WindowObject* w = head; w;) {
    if (EditorDisplay* ed = app_editor_display(w)) {
      ed->whole_pending = true;
      if (w->client_window) xfInvalidateRect(w->client_window, nullptr);  // its paint draws every row anew
    }
    w = w->edit_next;
    if (w == head) break;
  }
}
