// Focus and activation: the layer's own active frame and focus window,
// driven by the X focus but independent of it.
//
// Key messages go to the focus window; the frame that receives the X focus
// becomes active and hands the focus to the child it remembers. Focus
// changes always arrive as ZWM_KILLFOCUS to the old window, then
// ZWM_SETFOCUS to the new one. The application is active while any frame
// holds the X focus, with a one-second grace period when it leaves.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

inline constexpr int kFocusStackDepth = 256;

XfWindow* xfQueryFocus();
XfWindow* xfQueryActiveFrame();
void xfSetFocus(XfWindow* window);
void xfKillFocus();
bool xfHasFocus(XfWindow* window);
void xfKillFocusIfOn(XfWindow* window, XfWindow* target);
void xfRememberFocusChild(XfWindow* window);
void xfForgetFocusChild(XfWindow* window);
void xfActivateFrame(XfWindow* frame);
void xfDeactivateFrames();
void xfActivateTopFrame();
void xfFrameFocusIn(XfWindow* frame);
void xfFrameFocusOut(XfWindow* window);
void xfPushFocus();
void xfPopFocus();
int32_t xf_focus_stack_depth();
void xfAddTopFrame(XfWindow* frame);
void xfRemoveTopFrame(XfWindow* frame);
XfWindow* xfFirstShownFrame();
XfWindow* xf_top_most_frame();
// Saves and clears every frame's enabled flag (saved[i] for frame i of the
// list); restores them.
int32_t xf_top_frame_count();
void xfDisableAllFrames(bool* saved);
void xfRestoreAllFrames(const bool* saved);
bool xfBlockDisabledInput(XfWindow* window, uint32_t message);
bool xfBlockDisabledMouse(XfWindow* window, uint32_t message);
bool xfPointerEnter(XfWindow* window);
bool xfPointerLeave(XfWindow* window);
void xfPointerGone(XfWindow* window);
XfWindow* xf_window_under_pointer();

// The application frame (the main MDI frame the application records).
void xfSetAppFrame(XfWindow* frame);
bool xf_app_active();
void xfAppFocusIn();
void xfStartDeactivateDelay();
void xfSetAppActive(bool active);
// While the application releases its windows at exit.
void xfSetReleaseAtExit(bool on);
// Takes the X input focus for a shown and viewable window.
void xfTakeInputFocus(XfWindow* window);

// A window tree is going: drop every reference the focus state holds to a
// window inside `w` (focus, focus stack, remembered children, pointer,
// last-focus and polled frames).
void xf_focus_forget_tree(XfWindow* w);
