// The portable window API: Win-prefixed calls that the layers above use
// instead of the window layer's own. Most translate arguments (rectangle
// order, flags) and call one window-layer operation.
//
// Rectangles of the API are {left, top, right, bottom}, right and bottom
// exclusive. Window words: every class registered here gets the same block,
// large enough for the built-in classes' words, the saved procedure of a
// sub-classed window at the common offset, and the slots the forms layer
// keeps after it (WinFormsWordOffset). The common offset is derived here at
// the first registration, never left to a caller to set.
#pragma once

#include <cstdint>

#include "winsys/msgqueue.h"
#include "winsys/window_rec.h"

struct WinRect {
  int32_t left, top, right, bottom;
};
struct WinClassInfo {
  int32_t style;
  XfProc proc;
  uint32_t word_bytes;
};

// ----- window words -----
inline constexpr uint32_t kWinWordSlot = sizeof(intptr_t);
inline constexpr int kFormsWordSlots = 2;  // the object index and the help viewer
uint32_t WinCommonOffset();
// Bytes of window words every class registered through the API gets.
uint32_t WinClassWordBytes();
// The byte offset of the forms layer's word slot n (0 or 1).
uint32_t WinFormsWordOffset(int n);

int32_t WinRegisterClass(const char* name, XfProc procedure, uint32_t word_bytes, int32_t style);
int32_t WinRegisterSubclass(const char* base_name, const char* name, XfProc procedure, uint32_t word_bytes,
                            int32_t style);
void WinRegisterBuiltinClasses();
int WinQueryClassInfo(const char* name, WinClassInfo* info);

// Shuts the window layer down and ends the process with the code.
[[noreturn]] void WinExit(int code);
// Answers 1; the main loop calls it once it has sent the exit request.
int WinTerminate();

// ----- messages -----
int WinGetMsg(XfMessage* m, XfWindow* window, uint32_t first, uint32_t last);
int WinPeekMsg(XfMessage* m, XfWindow* window, uint32_t first, uint32_t last, uint32_t flags);
intptr_t WinDispatchMsg(XfMessage* m);
intptr_t WinSendMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
void WinPostMsg(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
intptr_t WinCallDefProc(XfProc procedure, XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
intptr_t WinDefWindowProc(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
void WinMouseMsgPos(XfWindow* window, intptr_t mp1, intptr_t mp2, int32_t* x, int32_t* y);
// Where the menu layer takes a key for a frame's menu bar (F10, Alt and
// Alt-up): the frame's menu, the window whose default processing saw the
// key, the key's mp1 and its message (ZWM_CHAR or ZWM_ALTUP). The menu
// code installs it.
using WinMenuKeyEntry = intptr_t (*)(void* menu, XfWindow* window, intptr_t mp1, intptr_t number);
void WinSetMenuKeyEntry(WinMenuKeyEntry entry);

// ----- windows -----
int WinDestroyWindow(XfWindow* window);
int WinShowWindow(XfWindow* window, int32_t command);
int WinMoveWindow(XfWindow* window, int32_t x, int32_t y, int32_t cx, int32_t cy, int redraw);
int WinSetWindowState(XfWindow* window, int32_t state);
int32_t WinQueryWindowState(XfWindow* window);
int WinSetActiveWindow(XfWindow* window);
int WinQueryWindowRect(XfWindow* window, WinRect* rect);
int WinGetWindowRect(XfWindow* window, WinRect* rect);
int WinQueryUpdateRect(XfWindow* window, WinRect* rect);
void WinInvalidateRect(XfWindow* window, const WinRect* rect);
int WinPtInRect(const WinRect* rect, int32_t x, int32_t y);
void WinMapWindowPoints(XfWindow* from, XfWindow* to, int32_t* points, int32_t count);

// ----- related windows -----
XfWindow* WinQueryParent(XfWindow* window);
XfWindow* WinGetWindow(XfWindow* window, int32_t command);
int WinIsTopLevelWindow(XfWindow* window);
XfWindow* WinFrameFromClient(XfWindow* window);
XfWindow* WinQueryFrameClient(XfWindow* frame);
XfWindow* WinQueryFramePart(XfWindow* frame, uint32_t id);

// ----- words -----
intptr_t WinQueryWindowULong(XfWindow* window, uint32_t offset);
void WinSetWindowULong(XfWindow* window, uint32_t offset, intptr_t value);
intptr_t WinQueryWindowLong(XfWindow* window, int32_t index);
void WinSetWindowLong(XfWindow* window, int32_t index, intptr_t value);
int WinQueryRestoreRect(XfWindow* window, WinRect* rect);
int WinSetRestoreRect(XfWindow* window, int32_t x, int32_t y, int32_t cx, int32_t cy);
int WinSetIconPos(XfWindow* window, int32_t x, int32_t y);
int WinQueryIconPos(XfWindow* window, int32_t* x, int32_t* y);

// ----- values, timers, capture -----
int32_t WinQuerySysValue(int32_t id);
uint32_t WinStartTimer(XfWindow* window, uint32_t id, uint32_t ms);
int WinStopTimer(XfWindow* window, uint32_t id);
intptr_t WinSetCapture(XfWindow* window);
int WinReleaseCapture();

// ----- standard frames -----
inline constexpr uint32_t kCreateChild = 0x400;
inline constexpr uint32_t kCreateMinimised = 0x800;
inline constexpr uint32_t kCreateMaximised = 0x1000;
inline constexpr uint32_t kFrameMinMax = 0x2000;
inline constexpr int32_t kWinDefaultPos = static_cast<int32_t>(0x80000000u);
XfWindow* WinCreateStdWindow(uint32_t create_flags, uint32_t frame_flags, const char* class_name, const char* title,
                             uint32_t style, int32_t x, int32_t y, int32_t cx, int32_t cy, XfWindow* parent,
                             uint32_t id, void* create_data, const char* frame_class);
intptr_t WinStdWindowProc(XfWindow* window, uint32_t number, intptr_t mp1, intptr_t mp2);
XfProc WinSubclassFrame(XfWindow* frame);
intptr_t WinFrameSubclassProc(XfWindow* frame, uint32_t number, intptr_t mp1, intptr_t mp2);
intptr_t WinMouseToClient(XfWindow* part, XfWindow* client, uint32_t number, intptr_t mp1, intptr_t mp2, int32_t hit);
intptr_t WinPartMouse(XfWindow* part, XfWindow* client, uint32_t number, intptr_t mp1, intptr_t mp2, int32_t hit,
                      XfProc old);
// The creation data of the window being created (read during ZWM_CREATE).
void* WinCreateParams();
void WinSetCreateParams(void* data);
// Sub-classes a frame's part of one kind (frame flag kFrameVertScroll and
// the like) as standard windows do.
void WinSubclassFramePart(XfWindow* frame, uint32_t frame_flag);
