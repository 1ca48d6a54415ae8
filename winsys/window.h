// Window creation and destruction: child windows of a class, standard
// frames with their inner window, menu bar, scroll bars and client, top-level
// control frames; moving and sizing; destroying window trees.
//
// Destroying a window leaves nothing that points at it: its timers stop, its
// messages leave every queue, and the focus, the focus stack, the frames'
// remembered focus children, the pointer state, the capture and the pick
// hook let go of it before its record returns to the pool.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

// Frame flags.
inline constexpr uint32_t kFrameBorder = 0x1;
inline constexpr uint32_t kFrameHorzScroll = 0x2;
inline constexpr uint32_t kFrameVertScroll = 0x4;
inline constexpr uint32_t kFrameTitle = 0x8;
inline constexpr uint32_t kFrameMaxButton = 0x10;
inline constexpr uint32_t kFrameMinButton = 0x20;
inline constexpr uint32_t kFrameSysMenu = 0x40;
inline constexpr uint32_t kFrameSizeBorder = 0x80;
inline constexpr uint32_t kFrameDlgBorder = 0x400;
inline constexpr uint32_t kFrameMenuBar = 0x1000;
inline constexpr uint32_t kStyleVisible = 0x800000;

// Special positions and sizes of the window API.
inline constexpr int32_t kDefault = 0x7FFFFFFF;
bool xfIsDefaultPos(int32_t v);
bool xfIsDefaultSize(int32_t v);

// Window-manager hints of frame flags.
uint32_t xf_frame_decorations(uint32_t flags);
uint32_t xf_frame_functions(uint32_t flags);

XfWindow* xfCreateWindow(XfWindow* parent, const char* class_name, const char* text, uint32_t style, int32_t x,
                         int32_t y, int32_t cx, int32_t cy, XfWindow* owner, void* ignored, uint32_t id);
XfWindow* xfCreateFrame(XfWindow* parent, uint32_t style, uint32_t flags, const char* class_name, const char* title,
                        void* ignored1, void* ignored2, uint32_t id, XfWindow** client_out, int32_t x, int32_t y,
                        int32_t cx, int32_t cy);
XfWindow* xfCreateScrollBar(XfWindow* parent, XfWindow* owner, uint32_t style, const char* class_name, uint32_t id,
                            int32_t x, int32_t y, int32_t w, int32_t h);
XfWindow* xfCreateMenuBar(XfWindow* frame);
void xfSetWindowClass(uint32_t kind, XfWindow* window, XfWindow* parent, XfClass* cls);
void xfGiveOwnPS(XfWindow* window, XfClass* cls, bool force);
void xfSetFrameMenuBar(XfWindow* frame, XfWindow* bar);
void xfLayoutFrame(XfWindow* frame);
void xfMoveSizeWindow(XfWindow* window, int32_t x, int32_t y, int32_t cx, int32_t cy, XfWindow* target);
int32_t xfDefaultPos(XfWindow* parent, int32_t cx, int32_t cy, char axis);
void xfAddFrameOffsets(XfWindow* window, int32_t* x, int32_t* y, char code);
int xfDestroyWindow(XfWindow* window);
// Maps a frame that is not shown and reads X events until it is mapped
// (at most a few seconds), then sends it ZWM_MAPPED.
void xfShowFrameAndWait(XfWindow* frame);
