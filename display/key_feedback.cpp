// The keys of a multi-key binding on the message line, and the menu bar's
// activation.
#include "display/key_feedback.h"

#include "display/msgline.h"
#include "display/refresh_port.h"
#include "macro/command_exec.h"
#include "macro/command_port.h"
#include "macro/event_port.h"
#include "text/buffer.h"
#include "text/curline.h"

namespace {

// The redraw bit of the status line's mode field, which is left as it is
// while the command line is current.
constexpr uint32_t kRedrawStatusMode = 0x0004;

}  // namespace

void evt_show_key_prefix(const LStr* text) { msgline_show_key_prefix(text->view()); }

void disp_activate_menu() {
  cmd_call_name_on_object(evt_active_editor(), "-on-activate-menu", false, {});
  if (window_current() == cmd_command_line()) redraw_bits &= ~kRedrawStatusMode;
  refresh_screen();
}
