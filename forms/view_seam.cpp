// The default text-display metrics (see view_seam.h).
#include "forms/view_seam.h"

#include "text/cursor.h"

namespace {

int32_t grid_h_offset(WindowObject*) { return 0; }
int32_t grid_cursor_x(WindowObject* w) { return w->view ? w->view->column * kGridCharWidth : 0; }
int32_t grid_area_width(const WindowObject* w) { return w->cols * kGridCharWidth; }
int32_t grid_column_at_x(WindowObject*, int32_t x) { return (x + kGridCharWidth / 2 - 1) / kGridCharWidth; }
int32_t grid_char_width(const WindowObject*) { return kGridCharWidth; }
bool grid_fixed(const WindowObject*) { return true; }
int32_t grid_zero(const WindowObject*) { return 0; }

constexpr ViewDisplayOps kGrid = {grid_h_offset, grid_cursor_x, grid_area_width, grid_column_at_x, grid_char_width,
                                  grid_fixed,    grid_zero,     grid_zero,       grid_zero};
ViewDisplayOps g_ops = kGrid;

}  // namespace

ViewDisplayOps& view_display_ops() { return g_ops; }
void view_display_reset() { g_ops = kGrid; }
