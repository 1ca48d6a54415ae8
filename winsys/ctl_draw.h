// Control drawing: push buttons, check boxes, radio buttons, their labels
// and focus marks, and the three-dimensional borders of frames, scroll
// bars, menus and forms. The button procedures decide when and in which
// look to paint; this file paints.
//
// Looks: 'o' raised, 'i' sunken, anything else flat. Line width 'w' two
// pixels (outer and inner line), else one. Bevel colours: raised draws the
// upper and left edges light and the lower and right dark; sunken the
// other way round; flat both in the background.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

#include "winsys/present.h"
#include "winsys/window_rec.h"

struct XfSize {
  int32_t width, height;
};

// The two polylines of a bevel: first pass (upper and left edges), then
// second pass (lower and right); 3 points each, 6 for the wide form.
struct XfBevelPasses {
  std::vector<XPoint> first, second;
};
XfBevelPasses xf_bevel_points(int32_t x, int32_t y, int32_t w, int32_t h, bool wide, int32_t inset);
XfBevelPasses xf_check_box_points(int32_t height, int32_t x, bool wide);
XfBevelPasses xf_radio_points(int32_t height, int32_t x, bool wide);

void xfDraw3DBorder(PresentSpace* ps, int32_t x, int32_t y, int32_t width, int32_t height, int32_t thickness,
                    unsigned long light, unsigned long dark);
void xfDraw3DBorderColor(PresentSpace* ps, int32_t x, int32_t y, int32_t width, int32_t height, int32_t thickness,
                         uint32_t light_bgr, uint32_t dark_bgr);
void xfBevel(Drawable drawable, GC gc, int32_t x, int32_t y, int32_t width, int32_t height, unsigned long background,
             unsigned long light, unsigned long dark, char look, char line_width, int32_t inset);
void xfBevelRect(Drawable drawable, GC gc, XfSize size, unsigned long background, unsigned long light,
                 unsigned long dark, char look, char line_width, int32_t inset);
// rect {x, y, width, height} of the control; the box at left x.
void xfBevelCheckBox(Drawable drawable, GC gc, XRectangle rect, unsigned long background, unsigned long light,
                     unsigned long dark, char look, char line_width, int32_t x);
void xfBevelRadio(Drawable drawable, GC gc, XRectangle rect, unsigned long background, unsigned long light,
                  unsigned long dark, char look, char line_width, int32_t x);
void xfDrawFocusFrame(Drawable drawable, XRectangle rect, GC gc, unsigned long pixel, char look);
void xfDrawLabelFocus(Drawable drawable, XRectangle rect, GC gc, unsigned long pixel, const XfFont* font,
                      const char* text, int32_t x, char look);
// Paints the face of a button window in its look ('p' pressed).
void xfPaintButtonFace(XfWindow* window, XfWindow* source, char look);
// x or y 0x7FFFFFFF centres; with keep_end a text wider than the area shows
// its end. y is the base line otherwise.
void xfDrawLabel(Drawable drawable, GC gc, const XfFont* font, const char* text, char mnemonic, int32_t x, int32_t y,
                 int32_t width, int32_t height, bool keep_end, int32_t dx, int32_t dy);
// On a monochrome screen, grey levels stand in for colours (20, 25, 50,
// 70, 75); 100 and any other level draw solid.
void xfSetGreyStipple(GC gc, int32_t level);
