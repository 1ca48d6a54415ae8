// The application's answers to the key readers without windows: the focus,
// the active editor and the iconized objects the test set; the message
// line, the refresh and the views' requests counted.
#include "forms/input_port.h"
#include "macro/event_port.h"
#include "tests/support/headless/event_fakes.h"
#include "tests/support/headless/mark.h"
#include "text/buffer.h"

bool evt_focus_on_editor() { return evtest::events.focus; }
void evt_clear_message() { ++evtest::events.message_clears; }
void evt_refresh() { ++evtest::events.refreshes; }

WindowObject* evt_active_editor() {
  if (evtest::events.active_editor) return evtest::events.active_editor;
  WindowObject* w = window_current();
  return w && w->view ? w : nullptr;
}

bool evt_iconized(WindowObject* obj) { return evtest::events.iconic.count(obj) != 0; }

void evt_restore_scroll_point(WindowObject* obj) { evtest::events.scroll_points.push_back(obj); }
void evt_scroll_to_cursor() { ++evtest::events.cursor_keeps; }

bool input_app_timer(XfWindow* window, uint32_t id) {
  return evtest::events.app_timer && evtest::events.app_timer(window, id);
}
