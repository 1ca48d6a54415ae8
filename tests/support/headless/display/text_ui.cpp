// The message line's answer to the text engine: the code is recorded.
#include "tests/support/headless/mark.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/ui_port.h"

void ui_show_error(int32_t code) {
  uitest::ui.last_error = code;
  ++uitest::ui.error_count;
}
