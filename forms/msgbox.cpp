#include "forms/msgbox.h"

#include "text/ui_seam.h"

namespace {
// What the message boxes keep between calls.
struct MsgboxState {
  SpillErrorBoxHook spill_hook = nullptr;
  int spill_shown = 0;
};
MsgboxState state;
}  // namespace

bool app_spill_error_box() {
  ++state.spill_shown;
  return state.spill_hook ? state.spill_hook() : false;
}

void app_set_spill_error_box_hook(SpillErrorBoxHook hook) { state.spill_hook = hook; }
int app_spill_error_box_count() { return state.spill_shown; }
void msgbox_install_text_hooks() { text_ui_hooks().ask_spill_retry = app_spill_error_box; }
