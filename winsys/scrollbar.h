// Scroll bars: child windows that draw themselves (a sunken trough, an
// arrow box at each end, a raised thumb), keep a range, a position and a
// page, and turn mouse input into scroll notifications to their owner.
//
// A vertical bar is measured along y, a horizontal one along x; the
// geometry below is written for the axis along the bar ("along") and the
// one across it. A range of zero (maximum = minimum) and troughs too short
// for the shortest thumb are guarded: the thumb then fills what trough there
// is and the position stays at the minimum, with no division.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

// Notification codes sent with ZWM_VSCROLL / ZWM_HSCROLL.
inline constexpr int32_t kSbLineDown = 1;
inline constexpr int32_t kSbLineUp = 2;
inline constexpr int32_t kSbPageUp = 4;
inline constexpr int32_t kSbPageDown = 8;
inline constexpr int32_t kSbThumbPos = 16;   // every new place while the thumb moves
inline constexpr int32_t kSbThumbDone = 32;  // the place a moved thumb was let go at
inline constexpr int32_t kSbEndScroll = 64;

// The timer of the auto-repeat, its first delay and the shortest interval.
inline constexpr uint32_t kScrollRepeatTimer = 32511;
inline constexpr uint32_t kScrollFirstDelay = 200;
inline constexpr uint32_t kScrollShortest = 5;
inline constexpr int32_t kMinThumb = 10;

struct XfScrollGeometry {
  int32_t arrow;         // the drawn arrow size
  int32_t box;           // side of the arrow boxes for hit testing
  int32_t trough_start;  // along the bar
  int32_t trough_len;
  int32_t thumb_start;
  int32_t thumb_len;
  int32_t placing_len;  // trough length used to place the thumb
};

// across: the bar's thickness; along: its length.
XfScrollGeometry xf_scroll_geometry(int32_t across, int32_t along, const XfScrollWords& s);
XfScrollGeometry xf_scroll_geometry(const XfWindow* bar);
// Division rounded to nearest, upward only when the remainder exceeds half
// the divisor; a divisor of 0 or below answers 0.
int32_t xf_scroll_round_div(int64_t n, int64_t d);
// The position a thumb starting `offset` pixels into the trough stands for.
int32_t xf_scroll_pos_from_offset(const XfScrollWords& s, const XfScrollGeometry& g, int32_t offset);

intptr_t xfScrollBarProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
// The click of a button press at root position `root` (packed x, y).
void xfScrollBarClick(XfWindow* bar, intptr_t root, bool middle);
// part 'l' or 'r'; mode 'l' line or 'p' page.
void xfScrollRepeat(XfWindow* bar, char part, char mode);
void xfScrollDragThumb(XfWindow* bar, int32_t pointer_along, bool moved = false);
// Redraws the thumb only, clearing what the old one leaves uncovered.
void xfScrollRedrawThumb(XfWindow* bar);
void xfPaintScrollBar(XfWindow* bar);
// A press on a bar of an MDI child that is not the active child activates
// that child first (the MDI code does it; outside an MDI child nothing).
void xf_scroll_bar_activate_mdi(XfWindow* bar);
