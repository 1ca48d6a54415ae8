// The text engine's user-interface hooks: see ui_seam.h.

#include "text/ui_seam.h"

namespace {
TextUiHooks hooks{};
}  // namespace

TextUiHooks& text_ui_hooks() { return hooks; }

void ui_show_error(int32_t code) {
  if (hooks.show_error) hooks.show_error(code);
}
bool ui_break_pressed() { return hooks.break_pressed && hooks.break_pressed(); }
void ui_poll_break_soon() {
  if (hooks.poll_break_soon) hooks.poll_break_soon();
}
void ui_clear_break() {
  if (hooks.clear_break) hooks.clear_break();
}
bool ui_ask_spill_retry() { return hooks.ask_spill_retry && hooks.ask_spill_retry(); }
bool ui_ask_save_changed_file(const char* name) {
  return hooks.ask_save_changed_file && hooks.ask_save_changed_file(name);
}
