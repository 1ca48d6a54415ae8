#include "forms/msgbox.h"

#include "text/ui_seam.h"

namespace {
// What the message boxes keep between calls.
struct MsgboxState {
  SpillErrorBoxHook spill_hook = nullptr;
  FileChangedBoxHook changed_hook = nullptr;
};
MsgboxState state;
}  // namespace

bool app_spill_error_box() { return state.spill_hook ? state.spill_hook() : false; }
void app_set_spill_error_box_hook(SpillErrorBoxHook hook) { state.spill_hook = hook; }

bool app_file_changed_box(const char* name) { return state.changed_hook ? state.changed_hook(name) : false; }
void app_set_file_changed_box_hook(FileChangedBoxHook hook) { state.changed_hook = hook; }

void msgbox_install_text_hooks() {
  TextUiHooks& ui = text_ui_hooks();
  ui.ask_spill_retry = app_spill_error_box;
  ui.ask_save_changed_file = app_file_changed_box;
}
