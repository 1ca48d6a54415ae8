// The defaults of the event seam: an editor without windows.
#include "macro/event_seam.h"

#include "base/messages.h"
#include "macro/key_dispatch.h"
#include "text/buffer.h"
#include "text/ui_port.h"

namespace {

// A wait that nothing can end stops as a break would: the break it flags is
// seen with the user's own break key (the text engine's) until cleared.
bool no_event_break = false;

EventCode get_nothing() {
  no_event_break = true;
  return 0;
}
EventCode get_wait_once() { return event_seam().source.get(); }
EventCode test_nothing() { return 0; }
bool break_key() { return no_event_break || ui_break_pressed(); }
void clear_break_key() {
  no_event_break = false;
  ui_clear_break();
}

bool focus_always() { return true; }
void show_nothing(const LStr*) {}
void nothing() {}

WindowObject* no_command_line() { return nullptr; }
WindowObject* current_editor() {
  WindowObject* w = window_current();
  return w && w->view ? w : nullptr;
}
bool never_iconized(WindowObject*) { return false; }
int32_t no_text_control(WindowObject*, const LStr*) { return ERR_NOT_ALLOWED_ON_OBJECT; }
void no_scroll_point(WindowObject*) {}
void no_pointer(WindowObject*) {}
int32_t no_options() { return 0; }

constexpr EventSeam kDefaults = {
    {get_nothing, get_wait_once, test_nothing, break_key, clear_break_key},
    {focus_always, show_nothing, nothing, nothing},
    {no_command_line, current_editor, never_iconized, key_find_binding_default, no_text_control, no_scroll_point,
     nothing, no_pointer, no_options},
};

EventSeam seam = kDefaults;

template <typename F>
void take(F& slot, F given, F fallback) {
  slot = given ? given : fallback;
}

}  // namespace

void event_seam_install(const EventSeam& s) {
  const EventSeam& d = kDefaults;
  take(seam.source.get, s.source.get, d.source.get);
  take(seam.source.get_wait, s.source.get_wait, d.source.get_wait);
  take(seam.source.test, s.source.test, d.source.test);
  take(seam.source.break_pressed, s.source.break_pressed, d.source.break_pressed);
  take(seam.source.clear_break, s.source.clear_break, d.source.clear_break);
  take(seam.feedback.focus_on_editor, s.feedback.focus_on_editor, d.feedback.focus_on_editor);
  take(seam.feedback.show_key_prefix, s.feedback.show_key_prefix, d.feedback.show_key_prefix);
  take(seam.feedback.clear_message, s.feedback.clear_message, d.feedback.clear_message);
  take(seam.feedback.refresh, s.feedback.refresh, d.feedback.refresh);
  take(seam.windows.command_line, s.windows.command_line, d.windows.command_line);
  take(seam.windows.active_editor, s.windows.active_editor, d.windows.active_editor);
  take(seam.windows.iconized, s.windows.iconized, d.windows.iconized);
  take(seam.windows.find_binding, s.windows.find_binding, d.windows.find_binding);
  take(seam.windows.text_insert, s.windows.text_insert, d.windows.text_insert);
  take(seam.windows.restore_scroll_point, s.windows.restore_scroll_point, d.windows.restore_scroll_point);
  take(seam.windows.scroll_to_cursor, s.windows.scroll_to_cursor, d.windows.scroll_to_cursor);
  take(seam.windows.reset_pointer, s.windows.reset_pointer, d.windows.reset_pointer);
  take(seam.windows.window_options, s.windows.window_options, d.windows.window_options);
}

const EventSeam& event_seam() { return seam; }
