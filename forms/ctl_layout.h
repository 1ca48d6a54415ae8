// Control layout: the natural size of controls with auto-size, the auto-
// size of labels, and the windowless image controls with the designer's
// outline that their parents and forms paint.
//
// Sizes are computed in pixels and stored in the object's unit. What needs
// fonts, pictures or the window system comes through LayoutMetrics, whose
// default measures with the window layer (in the font controls are drawn
// with), so the arithmetic runs in tests with metrics of their own.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/buffer.h"
#include "winsys/win_rect.h"

struct DrawContext;

struct LayoutMetrics {
  // Font height and external leading of the object's font, pixels.
  void (*font_metrics)(const WindowObject* o, int32_t* height, int32_t* leading);
  // Height of one row of a list's text display, pixels.
  int32_t (*list_row_height)(const WindowObject* o);
  // The extent of text laid out within `width` with WinDrawText flags
  // (alignment, wrap; mnemonics stripped), pixels.
  void (*measure_text)(const WindowObject* o, std::string_view text, int32_t width, uint32_t flags, int32_t* w,
                       int32_t* h);
  // The size of a picture (names index), pixels; false when it has none.
  bool (*picture_size)(uint32_t picture, int32_t* w, int32_t* h);
  // A system value of the window system.
  int32_t (*sys_value)(int32_t id);
};
LayoutMetrics& layout_metrics();
void layout_metrics_reset();

// System values used here: text-box borders (the command line has its own),
// the horizontal scroll bar's height and the vertical one's width.
inline constexpr int32_t kSysTextBorder = 2054;
inline constexpr int32_t kSysCmdlineBorder = 2056;
inline constexpr int32_t kSysHScrollHeight = 512;
inline constexpr int32_t kSysVScrollWidth = 1024;

// The height of a single-line text box of o and its text height, pixels.
void obj_single_line_height(const WindowObject* o, int32_t* total, int32_t* text);
// Frames of the picture strip of a picture or image: property 83 when 1 to
// 200, else 1; a picture of style 1 shows one.
int32_t obj_picture_frame_count(const WindowObject* o);
// The picture's size with 4 added to the width (button pictures).
bool obj_picture_width(const WindowObject* o, uint32_t picture, int32_t* w, int32_t* h);

// Sizes a label to its caption: a wrapping label keeps its width and takes
// the height its lines need; an empty caption changes nothing.
void obj_label_autosize(WindowObject* label);
// The natural size of the object by its type (nothing for types without a
// rule, or without auto-size where the rule needs it); for a list `h` is
// also the wanted height. Outputs in the object's unit; with erase_handles
// the sizing handles of a selected design-mode object are cleared first.
void obj_natural_size(WindowObject* o, int32_t* w, int32_t* h, bool erase_handles);

// ---- windowless images ----

// Where an image control draws: the frame of the picture strip shown, the
// source rectangle within the picture and the destination, and the parts
// of the object's rectangle the picture leaves uncovered (to the right and
// below). All pixels in the parent's client.
struct ImagePlan {
  int32_t frame = 0;
  WinRect source{};  // in the picture
  WinRect dest{};
  WinRect right{}, below{};  // empty when covered
  int32_t inset = 0;
  int32_t frame_style = -1;  // -1 none, 0 solid, 2 dotted
};
// rect: the object in its parent; pw x ph: the picture (0 x 0 none).
ImagePlan image_plan(const WinRect& rect, bool design_mode, bool border, int32_t pw, int32_t ph, int32_t frames,
                     int32_t value, bool stretch);

// Paints every shown windowless child of o that meets the rectangle.
void obj_paint_windowless_children(DrawContext* dc, WindowObject* o, const WinRect& area);
// Paints one image control; with no context one is opened on the parent's
// window. for_paint: a paint message (the uncovered parts are filled).
void obj_paint_image(DrawContext* dc, WindowObject* o, bool for_paint);
// The default-button look: an image is repainted, another control told
// (control message 63) when its look changes.
void obj_set_default_look(WindowObject* o, bool on);

// In design mode: the outline and sizing handles of o over its top-level
// window, in the highlight colour.
void obj_draw_design_outline(WindowObject* o);
// Mode 'D' fills the rectangle on the outline context (offset by the
// outline origin, cut to the clip and the outline bounds); 'I' invalidates
// it in the window.
void design_handle_rect(WindowObject* o, int32_t left, int32_t top, int32_t right, int32_t bottom, char mode,
                        XfWindow* window, const WinRect* clip);
