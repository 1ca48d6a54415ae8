// What every control shares: the object events of focus changes, scroll-bar
// values, button clicks and their recursion limit, the gauge's bar, and the
// natural sizes of lists and combo boxes. The window procedures of the
// control classes (ctl_classes.h) call these; each works on objects alone,
// so the rules run without windows.
#pragma once

#include <cstdint>
#include <string>

#include "macro/event_codes.h"
#include "text/buffer.h"

struct XfWindow;

inline constexpr EventCode kEvLButtonDblClk = 597;
inline constexpr EventCode kEvLButtonUp = 603;
inline constexpr EventCode kEvOnGotFocus = 637;
inline constexpr EventCode kEvOnLostFocus = 638;
inline constexpr EventCode kEvOnScroll = 671;
// Nesting of object events and button clicks before -3010.
inline constexpr int32_t kObjEventDepthLimit = 20;

// How the controls raise object events: obj_raise_event by default (the
// object's binding, when it has one); tests record them instead.
using CtlEventRaiser = void (*)(WindowObject* obj, EventCode event);
void ctl_set_event_raiser(CtlEventRaiser raiser);
void ctl_raise(WindowObject* obj, EventCode event);

// ---- focus events ----

// The focus-event state: ON-GOT-FOCUS and ON-LOST-FOCUS exactly once per
// change of focus.
struct FocusEvents {
  int32_t holder = 0;   // the object that last received ON-GOT-FOCUS
  int32_t pending = 0;  // an object whose ON-GOT-FOCUS was deferred
  int32_t raising = 0;  // the object whose ON-GOT-FOCUS runs now
  bool error = false;   // a macro error was reported while it ran
  bool deferred = false;
  bool lost_running = false;
  int32_t quiet = 0;
  const XfWindow* silent = nullptr;  // focus moves here without events
  int32_t objevent_depth = 0;
  int32_t click_depth = 0;
};
FocusEvents& focus_events();
void focus_events_reset();
// The focus arrived at obj's window w / left it.
void ctl_focus_got(WindowObject* obj, const XfWindow* w);
void ctl_focus_lost(WindowObject* obj, const XfWindow* w);
// Deferred events: ON-LOST-FOCUS on the holder, ON-GOT-FOCUS on the pending object.
void ctl_deliver_focus_events();

// The next stop of the tab order after `from` (before it, backwards):
// tab stops of the same top-level object (tab-stop set, visible, enabled,
// a tab index of 1 or more) in tab-index order, wrapping at the ends. Null
// when there is none other. The dialog keys of the default macros walk
// this order themselves; this is its reference for the forms' code.
WindowObject* ctl_next_tab_stop(WindowObject* from, bool backwards);

// ---- scroll bars ----

// The scroll code's new value for a scroll-bar control (line steps by the
// small change, pages by the large change, clamped to min..max). False when
// nothing changes; *event is ON-CHANGE, or ON-SCROLL for thumb tracking.
bool ctl_scroll_value(const WindowObject* sb, int32_t code, int32_t position, int32_t* value, EventCode* event);
// Applies a scroll notification to the control: stores the value and raises
// its event. True when something was raised.
bool ctl_scroll_notify(WindowObject* sb, int32_t code, int32_t position);

// ---- buttons ----

// The value after a click on a check box of the style.
int32_t check_next_value(int32_t style, int32_t value);
// A click notification of a check box, radio button or command button
// (notification: 1 click, 2 double click in the high 16 bits for command
// buttons). set_check tells a window its new check state; null: none.
using SetCheckFn = void (*)(WindowObject* obj, int32_t value);
void btn_click(WindowObject* obj, int32_t notification, SetCheckFn set_check);
// LBUTTON-UP on obj; past 20 nested clicks -3010 instead.
void btn_raise_click(WindowObject* obj);

// ---- gauge ----

struct GaugeBar {
  std::string text;                                  // "25%"; empty for the styles without text
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // the filled part inside the frame
  bool drawn = true;                                 // false: only the frame
};
// The bar of a gauge of inner size w x h (inside its frame).
GaugeBar gauge_bar(int32_t minimum, int32_t maximum, int32_t value, int32_t style, int32_t w, int32_t h);

// ---- natural sizes ----

// A list's height for a wanted height: whole rows of `line` pixels plus its
// extra (borders, horizontal bar, 3 pixels unless editor-style); at least one row.
int32_t list_natural_height(int32_t wanted, int32_t line, int32_t border, bool border_on, int32_t hbar_height,
                            bool editor_style);

struct ComboLayout {
  int32_t combo_height = 0;
  int32_t button_x = 0, button_y = 0, button_w = 0, button_h = 0;
  int32_t edit_x = 0, edit_y = 0, edit_w = 0, edit_h = 0;
  int32_t list_x = 0, list_y = 0, list_w = 0, list_h = 0;
};
// The parts of a combo box W x H pixels at (x, y) in its container: style 1
// shows its list below the text, 0 and 2 drop it down below the box.
ComboLayout combo_layout_compute(int32_t style, int32_t x, int32_t y, int32_t w, int32_t h, int32_t text_height,
                                 int32_t list_row, int32_t button_picture_w, int32_t pixels_per_inch);
