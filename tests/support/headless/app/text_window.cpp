// The editor windows of the text built-ins without a program to make them:
// the one window of the fakes record answers every request (or a test's own
// answer), rows are 16 pixels unless the window says otherwise, and the
// focus is only recorded.
#include "macro/window_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/text_window_fakes.h"
#include "text/buffer.h"
#include "text/edit_window_port.h"

WindowObject* edit_window_new(const EditPlacement& place) {
  ++textwintest::windows.new_windows;
  if (const auto make = textwintest::windows.make) return make(place);
  WindowObject* w = textwintest::one_window();
  if (w && w != window_current()) window_set_current(w, 0);
  return w;
}

int32_t window_line_height(const WindowObject* w) {
  return w && w->line_height > 0 ? w->line_height : textwintest::kLineHeight;
}

void window_focus(WindowObject* w) {
  textwintest::windows.focused = w;
  ++textwintest::windows.focus_count;
}
