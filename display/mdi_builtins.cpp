// Ext 112..114: the frame's editor windows tiled, cascaded, or their icons
// arranged. They work only on the frame object; the MDI client and the
// window objects' layout record belong to the application
// (display/mdi_arrange_port.h).
#include "base/messages.h"
#include "display/mdi_arrange_port.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "text/buffer.h"

namespace {

// The current object is the frame object? Otherwise the arguments go and
// -2073 stops the macro.
bool on_frame(int32_t n) {
  WindowObject* f = app_mdi_frame_object();
  if (f && window_current() == f) return true;
  bi_fail(n, ERR_NOT_ALLOWED_ON_OBJECT, true);
  return false;
}
}  // namespace

// Ext 112: [letters of "VHS"]: tiles the children, one arrangement group.
void bi_tile_windows() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n) || !on_frame(n)) return;
  int32_t mask = 0;
  if (n == 1 && !bi_arg_options(n, 0, "VHS", &mask)) return;
  core_drop(n);
  app_mdi_tile(static_cast<uint32_t>(mask));
  app_mdi_save_child_layout(0);
}

// Ext 113: ["S"]: cascades the children, each its own group.
void bi_cascade_windows() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n) || !on_frame(n)) return;
  int32_t mask = 0;
  if (n == 1 && !bi_arg_options(n, 0, "S", &mask)) return;
  core_drop(n);
  app_mdi_cascade();
  app_mdi_save_child_layout(1);
}

// Ext 114: arranges the icons of the minimised children.
void bi_arrange_icons() {
  if (!on_frame(0)) return;
  app_mdi_arrange_icons();
}
