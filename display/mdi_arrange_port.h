// What the MDI arrangement built-ins need of the application above the
// display: the frame object they work on, the frame's MDI client to tile,
// cascade or arrange, and the record each editor window keeps of the
// arrangement.
//
// A program without the application has no frame object, so every
// arrangement built-in is refused with -2073; the others then do nothing.
#pragma once

#include <cstdint>

struct WindowObject;

// The frame object; null when there is none.
WindowObject* app_mdi_frame_object();
// Tiles the frame's editor windows; flags are bits of "VHS" (1 side by
// side, 2 stacked, 4 passed on).
void app_mdi_tile(uint32_t flags);
void app_mdi_cascade();
// Arranges the icons of the minimised editor windows.
void app_mdi_arrange_icons();
// Records each visible editor window's arrangement group and rectangle:
// mode 0 one group for all, mode 1 a group of its own for each.
void app_mdi_save_child_layout(int32_t mode);
