#include "forms/msgbox.h"

#include <string>

#include "base/messages.h"
#include "text/ui_seam.h"
#include "winsys/msgbox.h"

namespace {
// What the message boxes keep between calls.
struct MsgboxState {
  SpillErrorBoxHook spill_hook = nullptr;
  FileChangedBoxHook changed_hook = nullptr;
};
MsgboxState state;
}  // namespace

// The window layer's box with Retry and Cancel; a scripted answer stands in
// when there is one, and without a display the answer is cancel.
bool app_spill_error_box() {
  if (state.spill_hook) return state.spill_hook();
  if (!xf_msgbox_can_show()) return false;
  std::string text(msg_text(ERR_SPILL_IO));
  return xfMessageBox(nullptr, text.c_str(), "Error", 0x2005, kMbCentre, kMbCentre) == kMbRetry;
}
void app_set_spill_error_box_hook(SpillErrorBoxHook hook) { state.spill_hook = hook; }

bool app_file_changed_box(const char* name) { return state.changed_hook ? state.changed_hook(name) : false; }
void app_set_file_changed_box_hook(FileChangedBoxHook hook) { state.changed_hook = hook; }

void msgbox_install_text_hooks() {
  TextUiHooks& ui = text_ui_hooks();
  ui.ask_spill_retry = app_spill_error_box;
  ui.ask_save_changed_file = app_file_changed_box;
}
