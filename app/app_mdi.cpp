#include "app/app_mdi.h"

#include "app/app_frame.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "text/buffer.h"
#include "winsys/mdi_winapi.h"

void window_save_child_layout(int32_t mode) {
  WindowObject* head = window_edit_list_head();
  int32_t group = 1;
  for (WindowObject* w = head; w;) {
    int32_t px[4];
    if (!(w->flags & kWinHidden) && w->frame_window && native_ops(w).get_rect(w, px)) {
      const int32_t unit = obj_container_unit(w, kContainerScale);
      w->layout_rect[0] = ctl_pixels_to_twips_x(unit, px[0]), w->layout_rect[1] = ctl_pixels_to_twips_y(unit, px[1]);
      w->layout_rect[2] = ctl_pixels_to_twips_x(unit, px[2]), w->layout_rect[3] = ctl_pixels_to_twips_y(unit, px[3]);
      w->group = mode == 0 ? 1 : group++;
    }
    w = w->edit_next;
    if (w == head) break;
  }
}
