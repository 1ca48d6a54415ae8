// Letting go of the GUI on the way out: cached pictures, the menus and the
// frame's menu bar, then the windows of free forms.
#include "forms/app_port.h"
#include "forms/macro_menu.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/picture.h"
#include "text/buffer.h"
#include "winsys/fonts.h"
#include "winsys/winapi.h"

int32_t app_release_gui() {
  ctl_picture_release_all();
  WindowObject* frame = obj_frame_object();
  if (frame && frame->menu) {
    // The frame keeps an empty bar of its own, so no menu is attached any
    // more and every menu can go.
    const int32_t empty = menu_create(frame, 1);
    if (empty > 0 && menu_attach(frame, empty) != 0) menu_destroy(empty, true);
  }
  menu_destroy_unattached();
  if (XfWindow* client = app_frame_client())
    if (XfWindow* outer = WinFrameFromClient(client)) WinShowWindow(outer, 0);
  // Free forms: not the application's, not in the frame, owned by nobody.
  WindowObject* app = obj_app_form();
  for (int32_t id = 1; id < window_table_count(); ++id) {
    WindowObject* o = obj_get(id);
    if (!o || o->type != 2 || !o->frame_window || o == app || o == frame) continue;
    // Editor windows are the frame's children, whatever their parent link.
    if ((frame && o->parent == frame) || o->view || o->edit_next || o->owner_form_id != 0) continue;
    native_ops(o).show(o, false);
    native_ops(o).destroy(o);
  }
  return font_cache_count();
}
