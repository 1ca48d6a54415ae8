// What the MDI layer's sources share: the layer's state and the procedures
// of the decoration parts. Only winsys/mdi*.cpp include this.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "winsys/mdi.h"
#include "winsys/mdi_menu.h"

// Tracking: the zone dragged, the keyboard phase and the rectangles.
struct XfMdiTrack {
  int32_t zone = 0;  // 0 none, 1..8
  bool dragging = false;
  bool moved = false;
  int32_t phase = 0;  // keyboard sizing: 1 choose a side
  int32_t side = 0;   // 5 top, 6 bottom, 7 left, 8 right
  int32_t corner = 0;
  XfMdiRect start{};        // the frame in its client at the press
  XfMdiRect client_root{};  // the MDI client in root coordinates
  int32_t press_x = 0, press_y = 0;
  XfMdiRect now{};
};

struct XfMdiButtons {
  bool pressed[3] = {};  // sysmenu, minimise, maximise
  bool inside[3] = {};
  uint32_t sys_release_time = 0;
  XfWindow* sys_release_window = nullptr;
  uint32_t title_release_time = 0;
  XfWindow* title_release_window = nullptr;
};

struct XfMdi {
  XfMdiMetrics m;
  XfMdiMenuIds ids;
  std::vector<XfWindow*> children;  // creation order
  void* create_param = nullptr;     // for the client area being made
  GC outline_gc = nullptr, fill_gc = nullptr;
  XfMdiRect outline{0x7FFFFFFF, 0, 0, 0};  // drawn outline in the MDI client
  XfWindow* outline_in = nullptr;
  XfMdiButtons buttons;
  XfMdiTrack track;
  Pixmap icon = 0;  // the default icon picture
  int32_t icon_w = 32, icon_h = 32;
  uint32_t keyboard_size_pending = 0;
};

XfMdi& xf_mdi();

// Part procedures.
intptr_t xfMdiFrameProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiTopFormProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiSysMenuButtonProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiMinButtonProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiMaxButtonProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiTitleProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiIconHolderProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiIconLabelProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiIconImageProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2);

// Decoration.
void xfMdiDrawDecoration(XfWindow* frame);
void xf_mdi_invalidate_decoration(XfWindow* frame);
void xfCreateMdiIcon(XfWindow* frame, XfWindow** holder, XfWindow** label, XfWindow** image);
void xfMdiSizeIconLabel(XfWindow* frame, const char* title);
void xfMdiPlaceIcon(XfWindow* frame, int32_t x, int32_t y);
void xf_mdi_free_draw_state();
// Text width and ascent + descent in a font record (the fixed 6 x 13
// guess without a font).
int32_t xf_mdi_text_width(void* font, const char* text);
int32_t xf_mdi_font_height(void* font);

// Tracking.
intptr_t xfMdiTrackFrame(XfWindow* frame, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiTrackTitle(XfWindow* title, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t xfMdiTrackIcon(XfWindow* image, uint32_t message, intptr_t mp1, intptr_t mp2);

// Lays the parts of a child frame out for its current size.
void xf_mdi_layout(XfWindow* frame);
