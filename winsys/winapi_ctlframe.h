// Control frames of the window API: a child window of class "ctlframe"
// that frames a control (its client) with a plain or sunken border and
// optional scroll bars. The window API's standard-window creation hands a
// frame class its WinFrameCreateData; the control-frame procedure creates
// the bars and the client from it.
#pragma once

#include <cstdint>

#include "winsys/winapi.h"

// Style bits of a control frame.
inline constexpr uint32_t kCtlPlainBorder = 0x2;
inline constexpr uint32_t kCtlSunkenBorder = 0xC;  // either bit
inline constexpr uint32_t kCtlHorzScroll = 0x1000;
inline constexpr uint32_t kCtlVertScroll = 0x2000;

// The creation data a frame class receives (WinCreateParams during its
// ZWM_CREATE): size 16, the caller's data, the client class and style.
struct WinFrameCreateData {
  uint16_t size;
  void* create_data;
  const char* class_name;
  uint32_t style;
};

// The client's and the bars' rectangles in a frame rectangle; a bar that
// is not there gets {0, 0, 0, 0}.
void WinCtlFrameRects(const WinRect* rect, uint32_t style, WinRect* client, WinRect* vertical, WinRect* horizontal);
void WinCtlFrameLayout(XfWindow* window, uint32_t style, WinRect* client, WinRect* vertical, WinRect* horizontal);
// The procedure of the classes "ctlframe" and "StaticWindowClass".
intptr_t WinCtlFrameProc(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
// The scroll bars of `bits` (0x1000, 0x2000) and no others; the client gets
// the rest. Answers 1.
int WinSetFrameScrollBars(XfWindow* frame, uint32_t bits);
