// The frame's editor windows arranged by the macros: tile, cascade and the
// icons of minimised windows on the MDI client, and the layout record
// each window object keeps of the arrangement.
#pragma once

#include <cstdint>

// After a tile (mode 0: every window in group 1) or a cascade (mode 1:
// groups 1, 2, 3 ... in ring order), each visible editor window records
// its arrangement group and its rectangle (the units of the window-rect
// built-ins) as its normal rectangle.
void window_save_child_layout(int32_t mode);
