// Presentation spaces: the window layer's drawing context. One X GC bound
// to a drawable, with the colours, mixes, line attributes, font and text
// decorations the primitives here apply.
//
// The four GC values last sent (foreground, background, function, fill
// style) are cached per presentation space, and a setter sends a change
// only when the value differs: GC changes are what drawing over the X
// connection costs. The other setters only store; the primitives apply
// them when they draw. Without a connection nothing is sent and the
// bookkeeping still runs.
//
// Rectangles come in two orders, as the callers hand them over: {left,
// top, right, bottom} (fills, outlines) and {left, bottom, right, top}
// (text, regions), bottom being the larger y in both.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>

#include "winsys/window_rec.h"
#include "winsys/xfont.h"

// Line types.
inline constexpr uint32_t kLineSolid = 0;
inline constexpr uint32_t kLineNone = 0xFF00;
inline constexpr uint32_t kLineInsideFrame = 0xFF01;

struct PresentSpace {
  XfWindow* window;  // none for the desktop
  Drawable drawable;
  GC gc;
  Region clip;
  int32_t back_mode;  // 2 opaque, 1 transparent
  unsigned long text_pixel;
  unsigned long fill_pixel;
  int32_t fill_pattern;  // 1 solid, 2..6 stipples
  int32_t fill_mix;      // X function of fills
  unsigned long line_pixel;
  uint32_t line_type;
  int32_t line_width;
  unsigned long gc_fg, gc_bg;
  int32_t gc_function, gc_fill_style;
  XfFont* font;
  bool underline, strike_out;
};

struct XfPoint {
  int32_t x, y;
};
struct XfRect4 {  // the order named by each caller
  int32_t a, b, c, d;
};

// A new presentation space for a window (none or the desktop: the root).
PresentSpace* xfCreatePresentSpace(XfWindow* window);
void xfFreePresentSpace(PresentSpace* ps);
void* xfQueryOwnDrawState(XfWindow* window);
bool xfHasOwnDrawState(XfWindow* window);
// Draws into the window's outermost X window (a frame's manager frame).
void xfBindPresentSpace(PresentSpace* ps, XfWindow* window);
Drawable xfBindPresentSpaceInner(PresentSpace* ps, XfWindow* window);
// 'c' (99) clips by child windows; anything else draws over them.
void xfSetSubwindowMode(PresentSpace* ps, int mode);
void xfSetPlaneMask(PresentSpace* ps, unsigned long mask);

void xfPsSetFunction(PresentSpace* ps, int32_t function);
void xfPsSetForeground(PresentSpace* ps, unsigned long pixel);
void xfPsSetBackground(PresentSpace* ps, unsigned long pixel);
void xfPsSetFillStyle(PresentSpace* ps, int32_t style);
void xfPsSetForegroundColor(PresentSpace* ps, uint32_t bgr);
void xfPsSetBackgroundColor(PresentSpace* ps, uint32_t bgr);
unsigned long xfPsSetTextColor(PresentSpace* ps, uint32_t bgr);
unsigned long xfPsSetFillColor(PresentSpace* ps, uint32_t bgr);
unsigned long xfPsSetLineColor(PresentSpace* ps, uint32_t bgr);
void xfPsSetBackMode(PresentSpace* ps, int32_t mode);
void xfPsSetFillMix(PresentSpace* ps, int32_t function);
void xfPsSetFillPattern(PresentSpace* ps, int32_t pattern);
void xfPsSetLineType(PresentSpace* ps, uint32_t type);
void xfPsSetLineWidth(PresentSpace* ps, int32_t width);
void xfPsSetUnderline(PresentSpace* ps, bool flag);
void xfPsSetStrikeOut(PresentSpace* ps, bool flag);
void xfPsApplyFillPattern(PresentSpace* ps, int32_t pattern);
// Makes the font the presentation space's and sets it on the GC.
void xf_ps_set_font(PresentSpace* ps, XfFont* font);

// Text at `point` (its top-left; the base line is y + ascent). rect is
// {left, bottom, right, top} or none; options 1 opaque (fill the rectangle
// with the GC background first), 2 clip to it. The first `mnemonic` in the
// text is underlined. `extra` (character spacing) is not used.
void xfPsTextOut(PresentSpace* ps, XfPoint point, const XfRect4* rect, uint32_t options, int32_t count,
                 const char* text, int32_t extra, char mnemonic);
int32_t xfPsTextWidth(PresentSpace* ps, const char* text, int32_t count);
// Ascent and descent of "Tg" (each optional); answers their sum.
int32_t xfPsFontHeight(PresentSpace* ps, int32_t* ascent, int32_t* descent);
void xfPsTextExtent(PresentSpace* ps, const char* text, int32_t count, int32_t* width, int32_t* height);
XFontStruct* xfPsFontStruct(PresentSpace* ps);

void xfPsPolyline(PresentSpace* ps, const XfPoint* points, int32_t count);
void xfPsFillPolygon(PresentSpace* ps, const XfPoint* points, int32_t count);
// rect {left, top, right, bottom}, right and bottom included.
void xfPsFillRect(PresentSpace* ps, const XfRect4& rect);
// rect {left, top, right, bottom}: the outline at left, top, (right - left
// - 1) x (bottom - top - 1).
void xfPsRectangle(PresentSpace* ps, const XfRect4& rect);
// The form designer's dot grid; nothing when a step or divisor is 0.
void xfDrawDotGrid(PresentSpace* ps, int32_t dx, int32_t dy, int32_t nx, int32_t ny);

// Inverts rect {left, top, right, bottom} (right and bottom excluded) with
// XOR over all planes, visibly on every visual; the GC as it was after.
void xfInvertRect(PresentSpace* ps, const XfRect4& rect);

// rect {left, bottom, right, top}.
Region xfRegionFromRect(PresentSpace* ps, const XfRect4& rect);
void xfDestroyRegion(PresentSpace* ps, Region region);
void xfPsSelectClipRegion(PresentSpace* ps, Region region);
void xfPsExcludeClipRect(PresentSpace* ps, const XfRect4& rect);
void xfPsIntersectClipRegion(PresentSpace* ps, const XfRect4& rect);
void xfBeginGcPaint(XfWindow* window, GC gc);
void xfEndGcPaint(XfWindow* window, GC gc);

GC xfNewGc();
void xfFreeGc(GC gc);
void xfFreeAllGcs();
int32_t xf_gc_count();
GC xfControlGc();
void xfFreeControlGc();
// The X line width of a pen width: 1 is drawn as X "thin" lines (width 0),
// which light both end points, as every coordinate here means.
unsigned xf_x_line_width(int32_t width);
// GC changes sent by presentation-space setters so far (tests).
uint32_t xf_ps_gc_changes();

// The font new presentation spaces start with: system font 2 when set,
// else the first font of the start-up list that opens. None opening at all
// is fatal.
XfFont* xf_ps_default_font();
