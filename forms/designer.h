// The form designer's part in the program: the selection mark, sizing
// handles (their places, painting and hit test), snapping to the grid, and
// the tracking of a drag that shows outlines while the pointer moves and
// moves the objects when it ends.
//
// Geometry is in pixels of the top-level object's client unless said
// otherwise; the grid and the positions a drag works with are twips. The
// geometry functions at the top are pure and take everything they need as
// arguments; the ones on objects read stored positions (the block is kept
// in step with the native windows) so that they also work without windows.
//
// Start reading at design_op (the drag) and obj_hit_handles.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "text/buffer.h"
#include "winsys/win_rect.h"

struct Brush;
struct DrawContext;

// Fills exactly the rectangle (right and bottom excluded) with the brush,
// its raster code included.
void design_fill_rect(DrawContext* dc, const WinRect& r, const Brush& brush);

// Handle hit codes: 0 none, then clockwise from the top-left corner.
enum : int32_t {
  kHandleNone = 0,
  kHandleTopLeft = 1,
  kHandleTop = 2,
  kHandleTopRight = 3,
  kHandleRight = 4,
  kHandleBottomRight = 5,
  kHandleBottom = 6,
  kHandleBottomLeft = 7,
  kHandleLeft = 8,
};

// ---- pure geometry ----

// The handle size in pixels: 75 twips at the given twips per pixel.
int32_t design_handle_size(int32_t twips_per_pixel);

// The eight handle squares of a rectangle in hit-code order (index 0 is
// code 1). A control's handles are centred on its corners and edge middles;
// a form's lie inside its client.
std::array<WinRect, 8> design_handle_rects(const WinRect& r, bool form, int32_t w, int32_t h);

// The hit code at (x, y): the first handle in code order that contains the
// point, each handle cut to `clip` when given (a handle wholly outside it
// cannot be hit).
int32_t design_hit_handle(const WinRect& r, bool form, int32_t w, int32_t h, const WinRect* clip, int32_t x, int32_t y);

// Snapping with spacing g (twips): round to the nearest grid line, and the
// half-way rule for a value moved from `start` (an object off the grid stays
// where it was until dragged half-way to a line). g < 2: no snapping.
int32_t obj_grid_round(int32_t v, int32_t g);
int32_t obj_grid_snap(int32_t v, int32_t start, int32_t g);

// The smallest rectangle holding all the rectangles (empty for none).
WinRect design_bounds(const std::vector<WinRect>& rects);

// ---- on objects ----

// The handle size (pixels, from 75 twips at start-up). The grid spacing is
// the settings block's (the grid built-ins set it).
struct DesignerSettings {
  int32_t handle_w = 5;
  int32_t handle_h = 5;
};
DesignerSettings& designer_settings();
// Handle size from the screen's twips per pixel.
void designer_init_metrics();
// The grid spacing in twips, horizontal and vertical.
int32_t designer_grid_x();
int32_t designer_grid_y();

// The object's rectangle in its top-level object's client (pixels), from the
// stored geometry; a top-level object gives its client.
WinRect design_object_rect(const WindowObject* obj);
// The clip of a control's handles: its parent's client when the parent is
// neither a form nor the frame. False when there is none.
bool design_handle_clip(const WindowObject* obj, WinRect* clip);
// The hit code of one object's handles at (x, y).
int32_t obj_hit_grab_handle(const WindowObject* obj, int32_t x, int32_t y);
// Over the top-level tree of obj: the handle under the point (0 with two or
// more selected objects, and for forms), the object hit (else the last
// selected one seen, 0 when none) and the count of selected design-mode
// objects. The application form, the frame object, editor windows and the
// command line give 0 and count 0.
int32_t obj_hit_handles(WindowObject* obj, int32_t x, int32_t y, int32_t* id, int32_t* count);

// Sets `selected` on a tree; every object whose value changes has its handle
// area invalidated.
void obj_tree_set_selected(WindowObject* obj, uint8_t value);
// Invalidates the handle area of a selected design-mode object so the next
// paint draws or clears its handles.
void obj_draw_grab_handles(WindowObject* obj);
// Draws (inverts) the handles of a selected design-mode object while its
// top-level form paints, clipped to `clip` (top-level client pixels).
void obj_paint_grab_handles(DrawContext* dc, const WindowObject* obj, const WinRect& clip);
// Refreshes each child of parent (and its children) whose stored rectangle,
// or with by_window its window rectangle, meets the rectangle (pixels in
// the parent's client).
void obj_refresh_children_in_rect(WindowObject* parent, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool by_window);
// The first visible child without a native window (an image) under (x, y),
// pixels in the parent's client; null when none.
WindowObject* obj_windowless_child_at(WindowObject* parent, int32_t x, int32_t y);

// ---- the drag ----

// The tracking state: one drag at a time.
struct DesignTrack {
  char phase = 0;   // 'I', 'M', 'T' or 'C'
  int32_t hit = 0;  // the handle under the pointer at the start
  int32_t selected = 0;
  int32_t pointer_x = 0, pointer_y = 0;  // at the start, pixels
  int32_t id = 0;
  uint32_t serial = 0;
  int32_t start_x = 0, start_y = 0;  // twips
  uint32_t colour = 0x808080;
  bool shown = false;
  // One object: the snapped position (twips); several: the offset (twips).
  // Meaningful also while nothing is shown.
  int32_t shown_x = 0, shown_y = 0;
  std::vector<WinRect> outlines;  // several objects: top-level client pixels
  bool erasing = false;
};
DesignTrack& design_track();
// 'H' while the result of a drag is applied, else 0.
extern uint8_t design_handles_hidden;

struct DesignOpResult {
  int32_t hit = 0;
  int32_t count = 0;
  int32_t id = 0;
};
// One step of a drag on the current object, the pointer at (px, py) in
// screen pixels: 'I' starts it, 'M' follows the pointer, 'T' ends it and
// moves, 'C' cancels. 0 or an error code (-2073, -3015).
int32_t design_op(char letter, uint32_t colour, int32_t px, int32_t py, DesignOpResult* out);

// Where the pointer is (screen pixels; by default asked of the window
// system); tests install their own.
using DesignPointerFn = void (*)(int32_t* x, int32_t* y);
void designer_set_pointer_source(DesignPointerFn fn);

// Ext 142: letter [colour], variables hit count id.
void bi_form_design_op();
