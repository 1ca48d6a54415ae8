// Drawing contexts of the window API: open one for a window (or for
// painting it), select a pen, a brush, a font, colours and a raster
// operation, draw rectangles, polygons and text, close it.
//
// A DrawContext (usually on the caller's stack) wraps a DrawState, which
// owns a presentation space. Windows whose class keeps a drawing state per
// window lend theirs: settings stay between uses. Colours are 0x00BBGGRR;
// rectangles are {left, top, right, bottom}.
//
// The display draws a row of coloured text with WinGetPS, WinSelectFont,
// then per run WinSetTextColor / WinSetBkColor and WinExtTextOut (option 1
// fills the run's cell box), and WinReleasePS.
#pragma once

#include <cstdint>
#include <string>

#include "winsys/fonts.h"
#include "winsys/present.h"
#include "winsys/win_rect.h"
#include "winsys/window_rec.h"

struct Pen {
  int32_t style;  // 0 solid, 1..3 dashed, 4 second dashed, 5 none, 6 inside frame
  int32_t width;
  uint32_t colour;
  uint32_t flag;
};

struct Brush {
  uint32_t colour;
  int32_t style;  // 2 filled, 1 hollow
  uint16_t mix;   // raster code, 13 copy
  uint16_t visible;
  int32_t pattern;  // 100 solid, 0..3 hatches, 18 the 50 percent stipple
};

struct DrawState {
  PresentSpace* ps;
  int32_t opened;
  int32_t ascent;
  int32_t window_height;
  Pen pen;
  Brush brush;
  FontAttrs font;
  int32_t rop;
  uint32_t text_colour, back_colour;
  int16_t back_mode;  // 57 transparent, else opaque
  PresentSpace* ps2;
  Region clip;
};

struct DrawContext {
  bool own;  // the window's own state
  DrawState* state;
  DrawState inline_state;
};

// Tables.
int32_t WinMapPenStyle(int32_t style);
int32_t xf_rop_function(int32_t code);
int32_t xf_brush_pattern(int32_t pattern);

// Contexts.
PresentSpace* WinGetPS(DrawContext* context, XfWindow* window);
PresentSpace* WinGetWindowPS(DrawContext* context, XfWindow* window);
PresentSpace* WinBeginPaint(DrawContext* context, XfWindow* window, WinRect* rect);
void WinEndPaint(DrawContext* context, XfWindow* window);
void WinReleasePS(DrawContext* context);
void WinInitDrawState(DrawContext* context, PresentSpace* ps, XfWindow* window);
// Gives a window its own drawing state for its lifetime, and frees it.
void xf_give_own_draw_state(XfWindow* window);
void xf_free_own_draw_state(XfWindow* window);

// Settings; each answers the previous value.
uint32_t WinSetTextColor(DrawContext* context, uint32_t colour);
uint32_t WinSetBkColor(DrawContext* context, uint32_t colour);
int32_t WinSetBkMode(DrawContext* context, int32_t mode);
int32_t WinSetRop2(DrawContext* context, int32_t code);
Pen* WinSelectPen(Pen* previous, DrawContext* context, const Pen* pen);
Brush* WinSelectBrush(Brush* previous, DrawContext* context, const Brush* brush);
Pen* WinMakePen(Pen* pen, int32_t style, int32_t width, uint32_t colour);
Pen* WinGetStockPen(Pen* pen, int32_t index);
Brush* WinMakeSolidBrush(Brush* brush, uint32_t colour);
Brush* WinMakeHatchBrush(Brush* brush, uint32_t colour, int32_t pattern);
Brush* WinGetStockBrush(Brush* brush, int32_t index);

// Fonts of a context.
FontAttrs* WinSelectFont(FontAttrs* previous, DrawContext* context, const FontAttrs* attrs);
void WinApplyFont(DrawContext* context);
void WinSetWindowFont(XfWindow* window, const FontAttrs* attrs, int32_t size, intptr_t redraw);
void WinQueryFontMetrics(DrawContext* context, FontMetrics* metrics);
int32_t WinQueryFontHeight(DrawContext* context);
int32_t WinQueryTextWidth(DrawContext* context, const char* text, int32_t length);
void WinGetTextExtent(DrawContext* context, const char* text, int32_t length, int32_t size[2]);
int32_t WinGetTextWidth(DrawContext* context, const char* text, int32_t length, int32_t* overhang);
int WinQueryCharWidths(DrawContext* context, int32_t table[256]);
int WinIsFixedPitchFont(DrawContext* context);
int WinFontSizeMatches(const FontRequest* request, const FontFaceEntry* entry, const FontAttrs* attrs);

// Drawing.
void WinRectangle(DrawContext* context, int32_t left, int32_t top, int32_t right, int32_t bottom);
void WinPaintRect(DrawContext* context, const WinRect* rect);
void WinFillRect(DrawContext* context, const WinRect* rect, const Brush* brush);
// Inverts with XOR over all planes (black ^ white), visible on every visual.
void WinInvertRect(DrawContext* context, const WinRect* rect);
void WinPolyline(DrawContext* context, const XfPoint* points, int32_t count);
void WinPolygon(DrawContext* context, const XfPoint* points, int32_t count);
void WinPolyPolygon(DrawContext* context, const XfPoint* points, const int32_t* counts, int32_t figures);
void WinPolyDraw(DrawContext* context, const XfPoint* points, int32_t count, bool closed);
// The inside-frame adjustment of a closed five-point figure (in place).
void xf_inside_frame_adjust(XfPoint p[5], int32_t width);
void WinTextOut(DrawContext* context, int32_t x, int32_t y, const char* text, int32_t count);
// options 1 opaque rectangle, 2 clip to it.
void WinExtTextOut(DrawContext* context, int32_t x, int32_t y, uint32_t options, const WinRect* rect, const char* text,
                   int32_t count, const int32_t* spacing);
void WinDrawTextLine(DrawContext* context, const char* text, int32_t count, const WinRect* rect, uint32_t flags);
// flags: 4 centre, 8 right, 0x40 word wrap, 0x1000 measure only (rect gets
// the extent), 0x2000 strip mnemonics. At most 1000 lines (then three
// beeps). Answers the number of lines laid out.
int32_t WinDrawText(DrawContext* context, const char* text, int32_t count, WinRect* rect, uint32_t flags);
int32_t WinMnemonicTextWidth(DrawContext* context, const char* text, int32_t count);
int32_t WinFlipY(DrawContext* context, int32_t y);
// The layout of WinDrawText over a width function (lines as [start, end)).
struct XfTextLine {
  int32_t start, end;
};
std::vector<XfTextLine> xf_layout_text(const char* text, int32_t count, int32_t width, bool wrap,
                                       int32_t (*measure)(void* ctx, const char* text, int32_t n), void* ctx,
                                       bool* capped);

// Clip regions.
Region WinCreateRectRegion(DrawContext* context, int32_t left, int32_t top, int32_t right, int32_t bottom);
void WinSelectClipRegion(DrawContext* context, Region region);
void WinDestroyRegion(DrawContext* context, Region region);
void WinExcludeClipRect(DrawContext* context, int32_t left, int32_t top, int32_t right, int32_t bottom);
void WinIntersectClipRegion(DrawContext* context, int32_t left, int32_t top, int32_t right, int32_t bottom);
