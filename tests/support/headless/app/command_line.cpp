// The command line without the application: its text in memory, no window.
#include "display/cmdline_port.h"
#include "tests/support/headless/cmdline_fakes.h"
#include "tests/support/headless/mark.h"

XfWindow* cmdline_create(XfWindow*, int32_t, int32_t, int32_t, int32_t) {
  ++cmdlinefake::cmdline.creates;
  return nullptr;
}
std::string cmdline_get_text() { return cmdlinefake::cmdline.text; }
void cmdline_set_text(std::string_view text) { cmdlinefake::cmdline.text = std::string(text.substr(0, 1024)); }
