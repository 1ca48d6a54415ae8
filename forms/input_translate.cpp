// Input translation and the macro runtime's event reader. Start at
// app_translate_input: keys, mouse, Alt release, scroll bars, timers; then
// evt_get and evt_test, which read the queue themselves while a macro waits.
#include "forms/input_translate.h"

#include <X11/keysym.h>

#include "display/key_feedback.h"
#include "forms/input_port.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/routing.h"
#include "forms/timers.h"
#include "macro/key_dispatch.h"
#include "text/buffer.h"
#include "winsys/app_port.h"
#include "winsys/break_key.h"
#include "winsys/focus.h"
#include "winsys/key_alias_port.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/timers.h"
#include "winsys/winapi.h"
#include "winsys/winquery.h"
#include "winsys/x_event_codes.h"
#include "winsys/xevents.h"

// The window layer speaks in plain numbers; they are the macro layer's codes.
static_assert(kXeShiftSpace == kEvShiftSpace && kXeCtrlDot == kEvCtrlDot && kXeCtrlComma == kEvCtrlComma);
static_assert(kXeAltChar == kEvAltChar && kXeCtrlSpace == kEvCtrlSpace && kXeNamed == kEvNamed);
static_assert(kXeAltNamed == kEvAltNamed && kXeCtrlNamed == kEvCtrlNamed && kXeShiftNamed == kEvShiftNamed);
static_assert(kXeCtrlAltNamed == kEvCtrlAltNamed && kXeCtrlShiftNamed == kEvCtrlShiftNamed);
static_assert(kXeF1 == kEvF1 && kXeShiftF1 == kEvShiftF1 && kXeAltF1 == kEvAltF1 && kXeCtrlF1 == kEvCtrlF1);
static_assert(kXeCtrlShiftF1 == kEvCtrlShiftF1 && kXeCtrlShiftA == kEvCtrlShiftA);
static_assert(kXeCtrlShift0 == kEvCtrlShift0 && kXeCtrl0 == kEvCtrl0);
static_assert(kXeMouse == kEvMouse && kXeShiftMouse == kEvShiftMouse && kXeAltMouse == kEvAltMouse);
static_assert(kXeCtrlMouse == kEvCtrlMouse && kXeMouseMove == kEvMouseMove && kXeEsc == kEvEsc);
static_assert(kXeOnTimer == kEvOnTimer && kXeNamedKeys == kNamedKeyCount && kXeFunctionKeys == kFunctionKeyCount);

namespace {

// Scroll codes of the scroll bars and the events they give (vertical,
// horizontal); twins: queued repeats are counted; thumb: the position is the
// event's value.
struct ScrollRow {
  uint32_t code;
  EventCode vertical, horizontal;
  bool twins, thumb;
};
constexpr ScrollRow kScrollRows[] = {
    {1, 644, 652, true, false},  {2, 643, 651, true, false},  {4, 645, 653, true, false},   {8, 646, 654, true, false},
    {16, 647, 655, false, true}, {32, 648, 656, false, true}, {64, 659, 659, false, false},
};

// Alt with a letter, upper and lower case: the menu bar's mnemonics.
constexpr EventCode kAltUpperFirst = kEvAltChar + 'A', kAltUpperLast = kEvAltChar + 'Z';
constexpr EventCode kAltLowerFirst = kEvAltChar + 'a', kAltLowerLast = kEvAltChar + 'z';
// Native timer ids above this belong to the window layer itself.
constexpr uint32_t kLastMacroTimerId = 0xEFFF;
// Thumb tracking skips this many programmatic position updates.
constexpr uint8_t kThumbSkips = 2;

struct State {
  bool other_key = false;
  uint8_t scroll_skip = 0;
  uint32_t last_input_time = 0;
};

State& S() {
  static State s;
  return s;
}

void note_input_time() { S().last_input_time = xfLastEventTime(); }

// The event is ready: the dispatcher's globals follow the window layer's.
int publish(uint32_t repeat) {
  XfLastEvent& le = evt_last_event();
  le.repeat_count = repeat;
  key_globals.last_event = le.event;
  key_globals.repeat_count = static_cast<int32_t>(repeat);
  key_globals.key_arg_count = le.has_value ? 1 : 0;
  key_globals.key_args[0] = le.has_value ? static_cast<int32_t>(le.event_value) : 0;
  return kInputEvent;
}

// The window a queued key message reaches: keys go to the focus window.
XfWindow* key_target(const XfMessage& m) {
  XfWindow* focus = xfQueryFocus();
  return focus ? focus : m.window;
}

// Takes the queued twins of a message: the same number, the same first
// word and the same window. Keys with other modifiers, or meant for
// another window, are never swallowed.
uint32_t take_twins(XfWindow* window, uint32_t number, intptr_t mp1, bool scroll, intptr_t mp2) {
  uint32_t n = 0;
  XfMessage m{};
  while (WinPeekMsg(&m, nullptr, 0, 0, 0) && m.number == number) {
    bool same = scroll ? xf_high(m.mp2) == xf_high(mp2) && m.window == window : m.mp1 == mp1 && key_target(m) == window;
    if (!same) break;
    WinGetMsg(&m, nullptr, number, number);
    ++n;
  }
  return n;
}

WindowObject* menu_object(XfWindow* window, int menu_mode) {
  return menu_mode == kMenuOwnObject ? obj_find_by_window(window) : evt_active_editor();
}

// Whether the menu bar gets the key: no object, or its bindings leave it.
bool menu_takes(XfWindow* window, int menu_mode, EventCode event) {
  WindowObject* obj = menu_object(window, menu_mode);
  return !obj || obj_menu_key_binding(event, obj) != 0;
}

bool is_wait_key(unsigned long keysym) {
  return keysym == XK_Meta_L || keysym == XK_Meta_R || keysym == XK_Alt_L || keysym == XK_Alt_R ||
         keysym == XK_Mode_switch;
}

int translate_key(XfWindow* window, intptr_t mp1, intptr_t mp2, int menu_mode, int reader_mode) {
  note_input_time();
  const unsigned long keysym = xf_key_keysym(mp1);
  if (is_wait_key(keysym)) {
    S().other_key = false;
    return kInputNone;
  }
  uint32_t repeat = 1;
  if (reader_mode != kReaderMacro) repeat += take_twins(window, ZWM_CHAR, mp1, false, 0);
  XfLastEvent& le = evt_last_event();
  le.has_value = 0;
  le.scroll_event = 0;
  const EventCode event = evt_from_key_msg(keysym, static_cast<unsigned>(mp2 & 0xFFFF), xf_key_state(mp1), true);
  if (!event) return kInputNone;
  S().other_key = true;
  if (menu_mode != kMenuNever) {
    bool menu_key = keysym == XK_F10;
    bool mnemonic =
        (event >= kAltUpperFirst && event <= kAltUpperLast) || (event >= kAltLowerFirst && event <= kAltLowerLast);
    if ((menu_key || mnemonic) && menu_takes(window, menu_mode, event)) {
      if (menu_key) disp_activate_menu();
      return kInputDefault;
    }
  }
  return publish(repeat);
}

int translate_mouse(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2, int reader_mode) {
  XfLastEvent& le = evt_last_event();
  if (reader_mode == kReaderWindowProc) le.wait_for_button = 0;
  const uint32_t time = xf_mouse_time(mp2);
  if (time)
    S().last_input_time = time;
  else
    note_input_time();
  bool count_moves = reader_mode == kReaderWindowProc || le.wait_for_button;
  if (!evt_from_mouse_msg(message, count_moves, xf_low(mp1), xf_high(mp1), window, xf_mouse_state(mp1), time))
    return kInputNone;
  le.has_value = 0;
  le.scroll_event = 0;
  publish(1);
  // A mouse event comes with where it happened, in the window's pixels: the
  // bound command gets x and y as its arguments.
  key_globals.key_arg_count = 2;
  key_globals.key_args[0] = le.mouse_x;
  key_globals.key_args[1] = le.mouse_y;
  return kInputEvent;
}

int translate_scroll(XfWindow* window, uint32_t message, intptr_t mp2) {
  XfLastEvent& le = evt_last_event();
  const uint32_t code = static_cast<uint16_t>(xf_high(mp2));
  const ScrollRow* row = nullptr;
  for (const ScrollRow& r : kScrollRows)
    if (r.code == code) row = &r;
  if (!row) return kInputDefault;
  le.has_value = 0;
  le.scroll_event = 1;
  le.event = message == ZWM_VSCROLL ? row->vertical : row->horizontal;
  uint32_t repeat = 1;
  if (row->twins) repeat += take_twins(window, message, 0, true, mp2);
  if (row->thumb) {
    le.event_value = static_cast<uint16_t>(xf_low(mp2));
    le.has_value = 1;
    S().scroll_skip = kThumbSkips;
  }
  return publish(repeat);
}

int translate_timer(XfWindow* window, intptr_t mp1, int reader_mode) {
  const uint32_t id = static_cast<uint32_t>(mp1) & 0xFFFF;
  if (id > kLastMacroTimerId) return kInputDefault;
  XfWindow* owner = obj_timer_window();
  // A message whose timer was stopped or restarted since it was queued is stale.
  if (owner && window == owner && reader_mode == kReaderWindowProc && xf_timer_exists(window, id))
    obj_timer_fired(static_cast<uint16_t>(id));
  return kInputNone;
}

}  // namespace

int app_translate_input(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2, int menu_mode,
                        int reader_mode) {
  if (message == ZWM_CHAR) return translate_key(window, mp1, mp2, menu_mode, reader_mode);
  if (message >= kMouseFirst && message <= kMouseLast) return translate_mouse(window, message, mp1, mp2, reader_mode);
  if (message == ZWM_ALTUP) {
    note_input_time();
    if (S().other_key) return kInputNone;
    return (editor_options().flags & kOptAltMenu) ? kInputDefault : kInputNone;
  }
  if (message == ZWM_VSCROLL || message == ZWM_HSCROLL) return translate_scroll(window, message, mp2);
  if (message == ZWM_TIMER) return translate_timer(window, mp1, reader_mode);
  return kInputDefault;
}

int32_t obj_menu_key_binding(EventCode event, WindowObject* object) {
  if (!object) return 1;
  if (object->parent != obj_frame_object() && object->menu == 0) return 0;
  // The lookup must leave the dispatcher as it found it: a key may be
  // half-way through a multi-key binding.
  const KeyDispatchGlobals saved = key_globals;
  WindowObject* target = object;
  uint32_t binding = 0;
  int32_t rc = obj_find_binding(object, &target, event, &binding, false, 1, true);
  key_globals = saved;
  return rc;
}

void app_set_other_key_flag(bool value) { S().other_key = value; }
bool app_other_key_flag() { return S().other_key; }
uint8_t app_scroll_updates_to_skip() { return S().scroll_skip; }
void app_set_scroll_updates_to_skip(uint8_t n) { S().scroll_skip = n; }
bool app_take_scroll_skip() {
  if (!S().scroll_skip) return false;
  --S().scroll_skip;
  return true;
}
uint32_t app_last_input_time() { return S().last_input_time; }

void input_translate_reset() {
  S() = State{};
  evt_reset_state();
}

// The window layer's named keys become the raw two-byte codes of the keypad
// and the Shift+navigation keys.
uint32_t evt_key_alias(uint32_t code) { return event_pair_lookup(code, 1); }

// ----- the macro runtime's event reader -----

namespace {

// Marks a wait or test as running, for the break key.
struct BusyScope {
  bool was = evt_busy();
  BusyScope() { evt_set_busy(true); }
  ~BusyScope() { evt_set_busy(was); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};

EventCode end_wait(EventCode event) {
  XfLastEvent& le = evt_last_event();
  le.event = event;
  le.has_value = 0;
  le.scroll_event = 0;
  publish(1);
  return event;
}

bool is_input(uint32_t number) { return number == ZWM_CHAR || (number >= kMouseFirst && number <= kMouseLast); }

// The current object's window holds the pointer capture while a macro waits.
XfWindow* current_native_window() {
  const WindowObject* cur = window_current();
  return cur ? cur->client_window : nullptr;
}

// A key goes to the focus window, as the dispatch would send it.
XfWindow* input_window(const XfMessage& m) { return m.number == ZWM_CHAR ? key_target(m) : m.window; }

}  // namespace

EventCode evt_get() {
  BusyScope busy;
  XfLastEvent& le = evt_last_event();
  if (le.replay_count > 0) {
    --le.replay_count;
    return end_wait(le.replay_event);
  }
  // The caller's setting comes back after the wait.
  struct Restore {
    XfLastEvent& le;
    uint8_t caller = le.capture_held;
    ~Restore() { le.capture_held = caller; }
  } restore{le};
  const bool held = le.capture_held || xfQueryCapture() != nullptr;
  le.capture_held = held ? 1 : 0;
  if (!held) {
    if (XfWindow* w = current_native_window()) xfSetCapture(w);
  }
  auto release = [&] {
    if (!held) {
      if (XfWindow* w = xfQueryCapture()) xfReleaseCapture(w);
    }
  };
  XfMessage m{};
  for (;;) {
    if (!WinGetMsg(&m, nullptr, 0, 0)) continue;  // queued for the next round
    if (is_input(m.number)) {
      if (app_translate_input(input_window(m), m.number, m.mp1, m.mp2, kMenuNever, kReaderMacro) == kInputEvent) {
        release();
        return le.event;
      }
      continue;
    }
    if (m.number == ZWM_TIMER) {
      uint32_t id = static_cast<uint32_t>(m.mp1) & 0xFFFF;
      if (input_app_timer(m.window, id)) continue;
      if (obj_timer_is_current(static_cast<uint16_t>(id))) {
        release();
        return end_wait(kXeOnTimer);
      }
    }
    // A dialog or a grab that takes the capture away ends the wait: its
    // input would never reach us. Without a capture to lose, wait on.
    const bool had_capture = xfQueryCapture() != nullptr;
    WinDispatchMsg(&m);
    if (had_capture && !xfQueryCapture()) return end_wait(kXeEsc);
  }
}

EventCode evt_get_wait() {
  for (;;) {
    EventCode e = evt_get();
    if (e) return e;
  }
}

EventCode evt_test() {
  BusyScope busy;
  XfLastEvent& le = evt_last_event();
  if (le.replay_count > 0) return end_wait(le.replay_event);
  const uint32_t buttons = le.mouse_buttons;
  const int32_t x = le.mouse_x, y = le.mouse_y;
  const int clicks = evt_click_count();
  for (;;) {
    XfMessage m{};
    if (!le.no_paint && WinPeekMsg(&m, nullptr, ZWM_PAINT, ZWM_PAINT, 1)) WinDispatchMsg(&m);
    bool found = WinPeekMsg(&m, nullptr, ZWM_CHAR, ZWM_CHAR, 0);
    if (!found) {
      if (le.scroll_event) return 0;
      found = WinPeekMsg(&m, nullptr, kMouseFirst, kMouseLast, 0);
      if (!found) return 0;
    }
    int r = app_translate_input(input_window(m), m.number, m.mp1, m.mp2, kMenuNever, kReaderMacro);
    evt_set_click_count(clicks);
    if (r == kInputEvent) {
      le.mouse_buttons = buttons;
      le.mouse_x = x;
      le.mouse_y = y;
      return le.event;
    }
    XfMessage gone{};
    WinGetMsg(&gone, nullptr, m.number, m.number);
  }
}
