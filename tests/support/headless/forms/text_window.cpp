// The controls, modal forms and clipboard of the text built-ins without
// forms: nothing is a text box, closing the current object closes it as an
// editor window, and the clipboard is the fakes record's.
#include <string>
#include <string_view>

#include "base/messages.h"
#include "macro/bi_window.h"
#include "macro/window_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/text_window_fakes.h"

bool window_is_text_box(const WindowObject*) { return false; }

int32_t window_textbox_key(WindowObject*, TextBoxKey) { return ERR_NOT_ALLOWED_ON_OBJECT; }

int32_t window_close_result(const std::string*, int32_t) { return bi_close_editor_window(); }

int32_t clip_put_text(std::string_view header, std::string_view text) {
  textwintest::windows.clip_header.assign(header);
  textwintest::windows.clip_text.assign(text);
  return 0;
}
