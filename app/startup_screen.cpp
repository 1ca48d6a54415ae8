// The screen's part of the macro start-up: its failure box, the settings the
// state file carried, and the command line's hidden ".command" buffer.
#include <cstdio>
#include <string>

#include "app/app_main.h"
#include "display/cmd_history.h"
#include "forms/objects.h"
#include "macro/startup_port.h"
#include "text/buffer.h"
#include "text/edit_cmd.h"

// These bring in Xlib, whose macros would spoil the headers above.
#include "winsys/msgbox.h"

// A box the user answers before the editor ends (once the window system is
// up); the line on standard error stays for logs and a terminal.
void startup_message_box(std::string_view text) {
  const std::string t(text);
  std::fprintf(stderr, "zorvex: %s\n", t.c_str());
  std::fflush(stderr);
  if (xf_msgbox_can_show()) xfMessageBox(nullptr, t.c_str(), "Zorvex", 0x10, kMbCentre, kMbCentre);
}

void startup_apply_settings(const SettingsBlock& settings) { app_apply_settings(settings); }

// Before the start-up macro runs: the command line holds the hidden
// ".command" buffer, so the macros start with a current view; the files
// they edit open in editor windows of their own.
int startup_screen_start() {
  WindowObject* cl = obj_command_line();
  if (!cl) return 0;
  window_set_current(cl, 0);
  const ErrorCode rc = buf_edit_command("+t");
  // The view made it look like an editor window: it stays the text box the
  // text-control built-ins work on.
  cl->type = kObjText;
  cl->props.type = kObjText;
  if (rc >= 0) {
    if (PosRecord* v = view_current(); v && v->buffer) {
      v->buffer->name.assign(".command");
      v->buffer->flags |= kBufHidden;
      buf_cmdline = v->buffer;        // never closed, switched to or saved as a file
      cmd_history_attach(v->buffer);  // the commands typed on the command line
    }
  }
  // A view attached to an object makes it a form: the command line stays a
  // text box with a text box's defaults, so the prompts reach it.
  obj_set_type(cl, kObjText);
  return rc < 0 ? rc : 0;
}
