// The frame's MDI client as the layers below ask for it: the arrangement
// built-ins of the display tile, cascade and arrange the editor windows on
// it (display/mdi_arrange_port.h), and the window system's Window menu
// names each editor window by its file, shortened for a menu
// (winsys/mdi_port.h).
#include "app/app_frame.h"
#include "app/app_mdi.h"
#include "display/mdi_arrange_port.h"
#include "display/view_scroll.h"
#include "forms/objects.h"
#include "text/buffer_rec.h"
#include "winsys/mdi_port.h"
#include "winsys/mdi_winapi.h"

WindowObject* app_mdi_frame_object() { return obj_frame_object(); }

void app_mdi_tile(uint32_t flags) {
  if (XfWindow* c = app_mdi_client()) WinMDITile(c, flags);
}
void app_mdi_cascade() {
  if (XfWindow* c = app_mdi_client()) WinMDICascade(c);
}
void app_mdi_arrange_icons() {
  if (XfWindow* c = app_mdi_client()) WinMDIIconArrange(c);
}
void app_mdi_save_child_layout(int32_t mode) { window_save_child_layout(mode); }

std::string mdi_menu_name(XfWindow* child) {
  const WindowObject* w = obj_find_by_window(child);
  const BufferRec* b = w && w->view ? w->view->buffer : nullptr;
  if (!b || b->name.view().empty()) return {};
  return disp_menu_path(b->name.view());
}
