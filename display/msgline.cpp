#include "display/msgline.h"

#include "base/messages.h"
#include "text/ui_seam.h"

bool msgline_quiet_truncation = false;

namespace {
int32_t last_error = 0;
int error_count = 0;
MsglineStopHook stop_hook = nullptr;
}  // namespace

void msgline_show_error(int32_t code) {
  if (code == ERR_LINES_TRUNCATED && msgline_quiet_truncation) return;
  last_error = code;
  ++error_count;
  if (code != ERR_LINES_TRUNCATED && stop_hook) stop_hook(code);
}

int32_t msgline_show_error_if(int32_t code) {
  if (code != 0) msgline_show_error(code);
  return code;
}

int32_t msgline_last_error() { return last_error; }
int msgline_error_count() { return error_count; }
void msgline_reset_errors() {
  last_error = 0;
  error_count = 0;
}
void msgline_set_stop_hook(MsglineStopHook hook) { stop_hook = hook; }
void msgline_install_text_hooks() { text_ui_hooks().show_error = msgline_show_error; }
