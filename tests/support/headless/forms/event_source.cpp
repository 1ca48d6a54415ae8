// The forms' answers to the key readers without a window system: the queued
// events of the test, the macro layer's own binding search, and the text
// controls, pointer and window options the test set.
#include "base/messages.h"
#include "macro/event_port.h"
#include "macro/key_dispatch.h"
#include "tests/support/headless/event_fakes.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/text_ui_fakes.h"

// A wait that nothing can end stops as a break would: the break key it
// flags is seen, and cleared, as the user's own.
EventCode evt_get() {
  evtest::FakeEvents& f = evtest::events;
  if (f.events.empty()) {
    if (++f.starved >= f.starved_limit) uitest::ui.break_flagged = true;
    return 0;
  }
  f.starved = 0;
  const EventCode e = f.events.front();
  f.events.pop_front();
  return e;
}
EventCode evt_get_wait() { return evt_get(); }
EventCode evt_test() { return evtest::events.events.empty() ? 0 : evtest::events.events.front(); }

int32_t evt_find_binding(WindowObject* obj, EventCode event, int32_t level, bool second_events, uint32_t* binding) {
  return key_find_binding_default(obj, event, level, second_events, binding);
}

int32_t evt_text_insert(WindowObject*, const LStr* text) {
  if (!evtest::events.text_controls) return ERR_NOT_ALLOWED_ON_OBJECT;
  evtest::events.control_text.emplace_back(text->view());
  return 0;
}

void evt_reset_pointer(WindowObject* obj) { evtest::events.pointer_resets.push_back(obj); }

int32_t evt_window_options() { return evtest::events.window_options; }
