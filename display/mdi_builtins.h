// The MDI arrangement built-ins: tile, cascade and arrange icons of the
// frame's editor windows. They work only on the frame object; the MDI
// client and the window objects' layout record belong to the layers
// above, which install them here at start-up.
#pragma once

#include <cstdint>

struct WindowObject;

// What the arrangement built-ins call. Null members: nothing there (no
// frame object, so every call is refused with -2073).
struct MdiArrangeHooks {
  WindowObject* (*frame_object)() = nullptr;
  // flags: bits of "VHS" (1 side by side, 2 stacked, 4 passed on).
  void (*tile)(uint32_t flags) = nullptr;
  void (*cascade)() = nullptr;
  void (*arrange_icons)() = nullptr;
  // Records each visible child's arrangement group and rectangle: mode 0
  // one group for all, mode 1 a group of its own for each.
  void (*save_child_layout)(int32_t mode) = nullptr;
};
MdiArrangeHooks& mdi_arrange_hooks();
