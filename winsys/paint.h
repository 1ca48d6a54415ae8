// Window procedures and painting: update regions, invalidation, painting
// now, and the built-in procedures (default, client area, null, button,
// group box, standard frame, and the hook of control frames).
//
// Each window keeps an update region (inclusive bounds) that paint messages
// fill and painting empties. Every paint a procedure gets is bracketed by
// hiding and showing the window's caret, so the caret never puts stale
// pixels back over what the paint drew.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

// {left, top, right, bottom}, right and bottom exclusive.
struct XfRectLTRB {
  int32_t left, top, right, bottom;
};

void xfAddUpdateRect(XfWindow* window, int32_t x, int32_t y, int32_t width, int32_t height, XfWindow* target);
void xfAddUpdateRectPacked(XfWindow* window, intptr_t mp1, intptr_t mp2, XfWindow* target);
void xfInvalidateRect(XfWindow* window, const XfRectLTRB* rect);
void xfValidateWindow(XfWindow* window);
void xfQueryUpdateRect(XfWindow* window, XfRectLTRB* out);
// The same as {left, bottom + 1, right + 1, top}.
void xfQueryUpdateBounds(XfWindow* window, int32_t out[4]);
void xfQueryUpdateBox(XfWindow* window, int32_t* x, int32_t* y, int32_t* width, int32_t* height);
void xfMergeRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t* x2, int32_t* y2, int32_t* w2, int32_t* h2);
int xfPaintNow(XfWindow* window);
int xfUpdateWindow(XfWindow* window);
int xfPaintAllNow();
void xfPumpXEvents();

// Sends a paint to a window with its caret hidden around it.
intptr_t xf_send_paint(XfWindow* window, intptr_t mp1, intptr_t mp2);

intptr_t xfDefWindowProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfClientAreaProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfNullProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfButtonProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfStaticProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfFrameProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfCtlFrameHook(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

void xfPaintGroupBox(XfWindow* window, XfWindow* source);
void xfRepaintCtlFrame(XfWindow* window);

// The layer's scratch graphics context (made on first use).
GC xf_scratch_gc();
