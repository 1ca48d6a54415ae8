// The key readers' world in programs without windows: the events a test
// queues (then none: a wait that nothing can end flags the break key after
// a number of empty reads, one unless a test allows more), the focus, what
// the message line and the screen were asked to do, and the window objects'
// answers a test sets. By default nothing arrives, the focus is on an
// editor window, no object is iconized or takes typed text, and no window
// option is set.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "macro/event_codes.h"

struct WindowObject;
struct XfWindow;

namespace evtest {

struct FakeEvents {
  std::deque<EventCode> events;       // what the event source delivers, then 0
  int starved_limit = 1;              // empty reads in a row that flag the break key
  int starved = 0;                    // empty reads in a row so far
  bool focus = true;                  // on an editor window or the command line
  std::vector<std::string> prefixes;  // every key-prefix text shown
  int message_clears = 0;
  int refreshes = 0;
  int cursor_keeps = 0;                   // the current view asked to follow its cursor
  WindowObject* active_editor = nullptr;  // null: the current window when it shows a view
  std::set<const WindowObject*> iconic;
  bool text_controls = false;                       // objects without a view take typed text
  std::vector<std::string> control_text;            // the text they took
  std::vector<const WindowObject*> scroll_points;   // views sent back to their scroll point
  std::vector<const WindowObject*> pointer_resets;  // objects whose pointer was reset
  int32_t window_options = 0;
  bool (*app_timer)(XfWindow* window, uint32_t id) = nullptr;  // null: no timer is the application's
};
inline FakeEvents events;

// Nothing queued or shown, the defaults above.
inline void install() { events = FakeEvents{}; }

}  // namespace evtest
