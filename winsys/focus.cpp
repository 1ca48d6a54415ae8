#include "winsys/focus.h"

#include "winsys/colours.h"
#include "winsys/mdi.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"

namespace {

XfFocus& F() { return xf().focus; }

// The application goes inactive this long after its last frame lost the X
// focus, so that moving between our own frames never deactivates it.
constexpr uint32_t kDeactivateDelayMs = 1000;
// The window manager's title colour is polled this often while active.
constexpr uint32_t kTitlePollMs = 500;

XfWindow*& focus_child_of(XfWindow* frame) { return frame->k.frame.focus_child; }

bool is_stdframe(XfWindow* w) { return w && w->kind == XFTYPE_STDFRAME; }

void define_pointer(XfWindow* frame, Cursor c) {
  Display* d = xf_display();
  if (d && frame && frame->xwin && c) {
    XDefineCursor(d, frame->xwin, c);
    XFlush(d);
  }
}

void mdi_title_looks(bool active) {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = 0; i < frames.count; ++i) {
    if (frames.data[i]->k.frame.mdi_mark) {
      xf_mdi_title_look(frames.data[i], active ? 'a' : 'i');
      return;
    }
  }
}

intptr_t deactivate_delay_done(XfWindow* window, void*, intptr_t) {
  xfStopTimer(window, kDeactivateTimer);
  xfSetAppActive(false);
  if (xf().main_window) xfStopTimer(xf().main_window, kTitlePollTimer);
  return 0;
}

intptr_t poll_title_color(XfWindow* window, void*, intptr_t) {
  XfFocus& f = F();
  if (f.last_focus_frame != f.polled_frame) {
    f.poll_repeat = 0;
    f.poll_last_color = -1;
  }
  f.polled_frame = f.last_focus_frame;
  if (f.polled_frame) {
    long color = static_cast<long>(xfSampleTitleColor(f.polled_frame));
    if (color != f.poll_last_color) {
      f.poll_last_color = color;
      f.poll_repeat = 0;
    } else if (f.poll_repeat++ > 1) {
      // Three equal samples in a row: the colour has settled.
      xfStopTimer(window, kTitlePollTimer);
      xf().values.mdi_active = static_cast<unsigned long>(color);
      f.poll_repeat = 0;
      mdi_title_looks(true);
      return 0;
    }
  }
  xfStartTimer(window, kTitlePollTimer, kTitlePollMs, poll_title_color, nullptr);
  return 0;
}

void start_title_poll() {
  if (XfWindow* main = xf().main_window) xfStartTimer(main, kTitlePollTimer, kTitlePollMs, poll_title_color, nullptr);
}

}  // namespace

XfWindow* xfQueryFocus() { return F().focus; }
XfWindow* xfQueryActiveFrame() { return F().active_frame; }

void xfSetFocus(XfWindow* window) {
  XfFocus& f = F();
  if (!f.active_frame) {
    if (f.focus && f.focus != window) xfKillFocus();
    xfRememberFocusChild(window);
    return;
  }
  if (window == f.focus) return;
  xfKillFocus();
  xfRememberFocusChild(window);
  f.focus = window;
  if (window) xfSendMsg(window, ZWM_SETFOCUS, 0, 0);
  if (f.under_pointer) xfPointerEnter(f.under_pointer);
}

void xfKillFocus() {
  XfFocus& f = F();
  XfWindow* old = f.focus;
  if (!old) return;
  f.focus = nullptr;
  xfSendMsg(old, ZWM_KILLFOCUS, 0, 0);
}

bool xfHasFocus(XfWindow* window) { return F().active_frame && F().focus == window; }

void xfKillFocusIfOn(XfWindow* window, XfWindow* target) {
  (void)window;
  if (target && F().focus == target) xfKillFocus();
}

void xfRememberFocusChild(XfWindow* window) {
  XfWindow* frame = xfFrameOfWindow(window);
  if (frame) focus_child_of(frame) = window;
}

void xfForgetFocusChild(XfWindow* window) {
  XfWindow* frame = xfFrameOfWindow(window);
  if (frame && focus_child_of(frame) == window) focus_child_of(frame) = nullptr;
}

void xfActivateFrame(XfWindow* frame) {
  XfFocus& f = F();
  f.active_frame = nullptr;
  if (is_stdframe(frame)) {
    XfWindow*& child = focus_child_of(frame);
    if (!child) child = frame->k.frame.client;
    f.active_frame = frame;
    f.focus = child;
    if (child) xfSendMsg(child, ZWM_SETFOCUS, 0, 0);
  }
  if (f.under_pointer) xfPointerEnter(f.under_pointer);
}

void xfDeactivateFrames() {
  F().active_frame = nullptr;
  xfKillFocus();
}

XfWindow* xf_top_most_frame() {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = frames.count - 1; i >= 0; --i) {
    XfWindow* w = frames.data[i];
    if (w->shown == 1 && w->enabled) return w;
  }
  return nullptr;
}

void xfActivateTopFrame() {
  XfWindow* top = xf_top_most_frame();
  if (!top) return;
  xfActivateFrame(top);
  if (F().under_pointer) xfPointerEnter(F().under_pointer);
}

void xfFrameFocusIn(XfWindow* frame) {
  XfFocus& f = F();
  if (!is_stdframe(frame) || frame->shown == 2) return;
  if (f.sample_once && frame->k.frame.mdi_mark) {
    f.sample_once = false;
    xf().values.mdi_active = xfSampleTitleColor(frame);
  }
  xfAppFocusIn();
  f.last_focus_frame = frame;
  if (frame == f.active_frame) return;
  if (frame->enabled && !frame->k.frame.outer_of_ctlframe) {
    xfActivateFrame(frame);
  } else if (!f.active_frame) {
    xfActivateTopFrame();
  }
}

void xfFrameFocusOut(XfWindow* window) {
  if (xf().query.pick_hook || !is_stdframe(window)) return;
  xfStartDeactivateDelay();
  F().last_focus_frame = nullptr;
  xfDeactivateFrames();
}

void xfPushFocus() {
  XfFocus& f = F();
  if (f.depth >= kFocusStackDepth) return;
  f.stack[f.depth++] = f.focus;
  xfKillFocus();
}

void xfPopFocus() {
  XfFocus& f = F();
  if (f.depth <= 0) return;
  XfWindow* w = f.stack[--f.depth];
  // Only a window that still lives gets the focus back.
  if (w && xf_is_live_window(w) && !w->dying) xfSetFocus(w);
}

int32_t xf_focus_stack_depth() { return F().depth; }

namespace {

int compare_address(XfWindow* const* a, XfWindow* const* b) { return *a < *b ? -1 : (*a > *b ? 1 : 0); }

}  // namespace

void xfAddTopFrame(XfWindow* frame) {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = 0; i < frames.count; ++i) {
    if (frames.data[i] == frame) return;
  }
  frames.compare = compare_address;
  dynarray_insert_sorted(&frames, frame);
}

void xfRemoveTopFrame(XfWindow* frame) {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = 0; i < frames.count; ++i) {
    if (frames.data[i] == frame) {
      dynarray_remove_at(&frames, i);
      return;
    }
  }
}

XfWindow* xfFirstShownFrame() {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = 0; i < frames.count; ++i) {
    if (frames.data[i]->shown == 1) return frames.data[i];
  }
  return nullptr;
}

int32_t xf_top_frame_count() { return F().top_frames.count; }

void xfDisableAllFrames(bool* saved) {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = 0; i < frames.count; ++i) {
    XfWindow* w = frames.data[i];
    saved[i] = w->enabled;
    w->enabled = false;
    xf_mdi_title_look(w, 'i');
  }
}

void xfRestoreAllFrames(const bool* saved) {
  DynArray<XfWindow*>& frames = F().top_frames;
  for (int32_t i = 0; i < frames.count; ++i) {
    XfWindow* w = frames.data[i];
    w->enabled = saved[i];
    xf_mdi_title_look(w, w->enabled ? 'a' : 'i');
  }
}

bool xfBlockDisabledInput(XfWindow* window, uint32_t message) {
  if (xfIsWindowEnabled(window)) return false;
  if (message == ZWM_LBUTTONDOWN || message == ZWM_RBUTTONDOWN || message == ZWM_MBUTTONDOWN || message == ZWM_CHAR)
    xfBeep();
  return true;
}

bool xfBlockDisabledMouse(XfWindow* window, uint32_t message) {
  bool mouse = message >= kMouseFirst && message <= kMouseLast;
  bool crossing = message >= ZWM_POINTERENTER && message <= ZWM_POINTERLEAVE;
  if (!mouse && !crossing) return false;
  return xfBlockDisabledInput(window, message);
}

bool xfPointerEnter(XfWindow* window) {
  XfFocus& f = F();
  XfWindow* frame = xfFrameOfWindow(window);
  if (xfBlockDisabledInput(window, ZWM_POINTERENTER)) {
    Cursor c = frame && !frame->enabled ? xfQuerySysPointer(window, 13) : xfQuerySysPointer(window, 1);
    define_pointer(frame, c);
    f.pointer_window = frame;
    f.under_pointer = window;
    return true;
  }
  f.pointer_window = frame;
  // Under the pointer already while its procedure picks the pointer, so
  // that xfSetPointer finds it.
  f.under_pointer = window;
  XfQueryState& q = xf().query;
  bool captured = q.capture != nullptr;
  if (!captured) xfSendMsg(window, ZWM_SETPOINTER, reinterpret_cast<intptr_t>(window), 1);
  if (!q.pointer) q.pointer = xfQuerySysPointer(window, 1);
  if (frame) frame->pointer = q.pointer;
  define_pointer(frame, q.pointer);
  f.under_pointer = window;
  return captured && q.capture != window;
}

bool xfPointerLeave(XfWindow* window) {
  if (!xfIsWindowEnabled(window)) return true;
  XfFocus& f = F();
  f.under_pointer = nullptr;
  XfQueryState& q = xf().query;
  if (!q.capture) {
    XfWindow* frame = f.pointer_window;
    q.pointer = xfQuerySysPointer(window, 1);
    if (frame) frame->pointer = q.pointer;
    define_pointer(frame, q.pointer);
    return false;
  }
  return window != q.capture;
}

void xfPointerGone(XfWindow* window) {
  XfFocus& f = F();
  if (f.release_at_exit || (f.under_pointer && xfIsInside(window, f.under_pointer))) f.under_pointer = nullptr;
  if (f.release_at_exit || f.pointer_window == window) f.pointer_window = nullptr;
}

XfWindow* xf_window_under_pointer() { return F().under_pointer; }

// ----- application activation -----

void xfSetAppFrame(XfWindow* frame) { F().app_frame = frame; }
bool xf_app_active() { return F().app_active; }
void xfSetReleaseAtExit(bool on) { F().release_at_exit = on; }

void xfAppFocusIn() {
  XfFocus& f = F();
  if (!f.app_frame) return;
  if (!f.app_active) start_title_poll();
  xfStopTimer(f.app_frame, kDeactivateTimer);
  xfSetAppActive(true);
}

void xfStartDeactivateDelay() {
  if (XfWindow* app = F().app_frame)
    xfStartTimer(app, kDeactivateTimer, kDeactivateDelayMs, deactivate_delay_done, nullptr);
}

void xfSetAppActive(bool active) {
  XfFocus& f = F();
  if (!is_stdframe(f.app_frame) || f.app_active == active) return;
  f.app_active = active;
  if (XfWindow* client = f.app_frame->k.frame.client) xfSendMsg(client, ZWM_ACTIVATE, active ? 1 : 0, 0);
  xfDeactivateFrames();
  mdi_title_looks(active);
}

void xfTakeInputFocus(XfWindow* window) {
  Display* d = xf_display();
  if (!d || !window || window->shown != 1) return;
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(d, window->xwin, &attrs) || attrs.map_state != IsViewable) return;
  XSetInputFocus(d, window->xwin, RevertToNone, xfLastEventTime());
}

void xf_focus_forget_tree(XfWindow* w) {
  XfFocus& f = F();
  if (f.focus && xfIsInside(w, f.focus)) f.focus = nullptr;
  for (int32_t i = 0; i < f.depth; ++i) {
    if (f.stack[i] && xfIsInside(w, f.stack[i])) f.stack[i] = nullptr;
  }
  xf_for_each_window(
      [](XfWindow* frame, void* tree) {
        if (frame->kind != XFTYPE_STDFRAME) return;
        XfWindow*& child = focus_child_of(frame);
        if (child && xfIsInside(static_cast<XfWindow*>(tree), child)) child = nullptr;
      },
      w);
  if (f.under_pointer && xfIsInside(w, f.under_pointer)) f.under_pointer = nullptr;
  if (f.pointer_window && xfIsInside(w, f.pointer_window)) f.pointer_window = nullptr;
  if (f.active_frame && xfIsInside(w, f.active_frame)) f.active_frame = nullptr;
  if (f.last_focus_frame && xfIsInside(w, f.last_focus_frame)) f.last_focus_frame = nullptr;
  if (f.polled_frame && xfIsInside(w, f.polled_frame)) f.polled_frame = nullptr;
  if (f.app_frame && xfIsInside(w, f.app_frame)) f.app_frame = nullptr;
}
