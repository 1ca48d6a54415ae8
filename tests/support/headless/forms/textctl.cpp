// The text controls without the forms: the fields a test made, else none.
#include "display/textctl_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/textctl_fakes.h"

namespace {
textctlfake::Field* field(WindowObject* ctl) {
  auto it = textctlfake::ctl.fields.find(ctl);
  return it == textctlfake::ctl.fields.end() ? nullptr : &it->second;
}
}  // namespace

std::string textctl_get_text(WindowObject* ctl) {
  const textctlfake::Field* f = field(ctl);
  return f ? f->text : std::string();
}
void textctl_get_sel(WindowObject* ctl, int32_t* anchor, int32_t* caret) {
  if (const textctlfake::Field* f = field(ctl)) *anchor = f->anchor, *caret = f->caret;
}
void textctl_set_text(WindowObject* ctl, std::string_view text) {
  if (textctlfake::Field* f = field(ctl)) {
    f->text = std::string(text.substr(0, 1024));
    f->anchor = f->caret = static_cast<int32_t>(f->text.size());
  }
}
void textctl_set_sel(WindowObject* ctl, int32_t anchor, int32_t caret) {
  if (textctlfake::Field* f = field(ctl)) f->anchor = anchor, f->caret = caret;
}
uint8_t textctl_get_insert(WindowObject* ctl) {
  const textctlfake::Field* f = field(ctl);
  return f ? f->insert : 1;
}
void textctl_set_insert(WindowObject* ctl, uint8_t mode) {
  if (textctlfake::Field* f = field(ctl)) f->insert = mode ? 1 : 0;
}
void textctl_focus_current() { ++textctlfake::ctl.focus_calls; }
WindowObject* textctl_active_editor() { return textctlfake::ctl.active_editor; }
