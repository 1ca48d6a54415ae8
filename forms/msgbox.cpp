#include "forms/msgbox.h"

#include "text/ui_seam.h"

namespace {
SpillErrorBoxHook spill_hook = nullptr;
int spill_shown = 0;
}  // namespace

bool app_spill_error_box() {
  ++spill_shown;
  return spill_hook ? spill_hook() : false;
}

void app_set_spill_error_box_hook(SpillErrorBoxHook hook) { spill_hook = hook; }
int app_spill_error_box_count() { return spill_shown; }
void msgbox_install_text_hooks() { text_ui_hooks().ask_spill_retry = app_spill_error_box; }
