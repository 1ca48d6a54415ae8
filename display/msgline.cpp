#include "display/msgline.h"

#include "base/messages.h"
#include "text/ui_seam.h"

bool msgline_quiet_truncation = false;

namespace {
// What the message line keeps between reports.
struct MsglineState {
  int32_t last_error = 0;
  int error_count = 0;
  MsglineStopHook stop_hook = nullptr;
};
MsglineState state;
}  // namespace

void msgline_show_error(int32_t code) {
  if (code == ERR_LINES_TRUNCATED && msgline_quiet_truncation) return;
  state.last_error = code;
  ++state.error_count;
  if (code != ERR_LINES_TRUNCATED && state.stop_hook) state.stop_hook(code);
}

int32_t msgline_show_error_if(int32_t code) {
  if (code != 0) msgline_show_error(code);
  return code;
}

int32_t msgline_last_error() { return state.last_error; }
int msgline_error_count() { return state.error_count; }
void msgline_reset_errors() {
  state.last_error = 0;
  state.error_count = 0;
}
void msgline_set_stop_hook(MsglineStopHook hook) { state.stop_hook = hook; }
void msgline_install_text_hooks() { text_ui_hooks().show_error = msgline_show_error; }
