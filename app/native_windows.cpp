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

template <size_t N>
std::span<const WiringSlot> slots_of(const NativeWindowOps& o, std::array<WiringSlot, N>& out) {
  out = {{
      {"create", reinterpret_cast<const void*>(o.create)},
      {"destroy", reinterpret_cast<const void*>(o.destroy)},
      {"show", reinterpret_cast<const void*>(o.show)},
      {"enable", reinterpret_cast<const void*>(o.enable)},
      {"get_rect", reinterpret_cast<const void*>(o.get_rect)},
      {"set_rect", reinterpret_cast<const void*>(o.set_rect)},
      {"client_size", reinterpret_cast<const void*>(o.client_size)},
      {"get_state", reinterpret_cast<const void*>(o.get_state)},
      {"set_state", reinterpret_cast<const void*>(o.set_state)},
      {"repaint", reinterpret_cast<const void*>(o.repaint)},
      {"relayout", reinterpret_cast<const void*>(o.relayout)},
      {"set_text", reinterpret_cast<const void*>(o.set_text)},
      {"set_pointer", reinterpret_cast<const void*>(o.set_pointer)},
  }};
  return out;
}

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

std::array<WiringTable, 3> native_window_wiring() {
  static std::array<WiringSlot, 13> editor, control, help;
  return {{
      {"native windows: editor", slots_of(kEditorWindowOps, editor)},
      {"native windows: control", slots_of(kControlWindowOps, control)},
      {"native windows: help", slots_of(kHelpControlWindowOps, help)},
  }};
}
