// Colours of the window API: the six system colour pixels, the API's
// system colours, window colours, and the window manager's title colour.
//
// Colours are 0x00BBGGRR in the API and 0x00RRGGBB in the window layer
// (winsys/pixels.h turns them into pixels through a 256-entry cache).
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "winsys/window_rec.h"

Colormap xfQueryColormap();
uint32_t xfPixelToBgr(Colormap colormap, unsigned long pixel);

// Index 0..5 gets the pixel of the colour (5 the dialog colour and its
// copy); answers the pixel.
unsigned long WinSetSysColorPixel(int32_t index, uint32_t bgr);
// The colour of system pixel 0..5 as 0x00BBGGRR; other indexes give the
// dialog colour's pixel unconverted.
void WinQuerySysColorPixel(int32_t index, uint32_t* out);
uint32_t WinQueryMdiClientRgb();
uint32_t WinQueryMenuRgb();
// The API's system colour (computed once, from the dialog colour's copy).
uint32_t WinQuerySysColor(int32_t index);

// which 1 text, 2 background; scroll bars take the colour as background
// with its shades; buttons, group boxes and plain windows are repainted.
void WinSetWindowColor(XfWindow* window, int32_t which, uint32_t bgr);

// The colour of the window manager's title bar above a frame, or system
// pixel 0 when the resources fix it or nothing can be read.
unsigned long xfSampleTitleColor(XfWindow* frame);
// The sampling rule on a row of pixels read back: the most frequent of ten
// samples (counted by the whole pixel value; the first to reach the highest
// count wins).
unsigned long xf_dominant_of_samples(const unsigned long* row, int32_t width);
// A colour within 16 of the MDI client colour in each channel is pushed 64
// away; 0x00RRGGBB in and out.
uint32_t xf_title_colour_apart(uint32_t rgb, uint32_t mdi_client_rgb);
