// The native windows of window objects (see native_windows.h).
#include "app/native_windows.h"

#include "app/app_editor.h"
#include "app/app_frame.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "services/help_view_win.h"
#include "winsys/window_rec.h"

namespace {

// Objects with an editor view get an MDI child; the fixed objects and the
// command line have windows of their own making.
int32_t editor_create(WindowObject* obj) {
  if (!obj->view || obj == obj_command_line()) return 0;
  XfWindow* parent = app_mdi_client();
  if (!parent) return 0;
  return app_editor_create(obj, parent);
}
void editor_destroy(WindowObject* obj) {
  app_editor_destroy(obj);
  obj->frame_window = obj->client_window = nullptr;
}
bool editor_get_rect(const WindowObject* obj, int32_t rect[4]) {
  const XfWindow* w = obj->frame_window;
  if (!w) return false;
  rect[0] = w->x, rect[1] = w->y, rect[2] = w->width, rect[3] = w->height;
  return true;
}
void editor_client_size(const WindowObject* obj, int32_t* width, int32_t* height) {
  const XfWindow* w = obj->client_window;
  *width = w ? w->width : 0;
  *height = w ? w->height : 0;
}
// Editor windows are shown maximised.
char editor_get_state(const WindowObject* obj) { return obj->frame_window ? 'M' : 0; }
void editor_repaint(WindowObject*) { app_refresh(); }

}  // namespace

// Moving, showing and captions of editor windows go through the text
// display and the MDI client, not through here.
const NativeWindowOps kEditorWindowOps = {
    .create = editor_create,
    .destroy = editor_destroy,
    .show = native_show_none,
    .enable = native_enable_none,
    .get_rect = editor_get_rect,
    .set_rect = native_set_rect_none,
    .client_size = editor_client_size,
    .get_state = editor_get_state,
    .set_state = native_set_state_none,
    .repaint = editor_repaint,
    .relayout = native_paint_none,
    .set_text = native_set_text_none,
    .set_pointer = native_set_pointer_none,
};

void app_set_native_windows() {
  help_register_class();  // forms may hold help controls from their first show on
  native_set_table({.editor = &kEditorWindowOps, .control = &kControlWindowOps, .help = &kHelpControlWindowOps});
}
