// The message built-ins, command execution with history, and printing to
// standard output.
#include <cstdio>
#include <string>

#include "base/messages.h"
#include "display/cmd_history.h"
#include "display/cmdline_port.h"
#include "display/msgline.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "text/curline.h"

namespace {
// The command line is object 3 of the window table.
constexpr int32_t kCommandLineHandle = 3;

bool on_command_line() {
  const WindowObject* w = window_current();
  return w && w->handle == kCommandLineHandle;
}

void show_history_line(const std::string& line) { cmdline_set_text(line); }
}  // namespace

// Main 128: text.
void bi_message() {
  if (!core_have(1)) return;
  const std::string t(bi_arg(1, 0));
  core_drop(1);
  msgline_show(t);
}

// Main 211: text, kept through the next key.
void bi_sticky_message() {
  if (!core_have(1)) return;
  const std::string t(bi_arg(1, 0));
  core_drop(1);
  msgline_show(t);
  message_state().keep = true;
}

// Main 129: [code] -> its message text, or the text on the message line.
void bi_get_message() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  int32_t code = 0;
  if (n == 1 && !bi_arg_int(1, 0, &code)) return;
  core_drop(n);
  if (n == 1)
    vm_push_view(msg_code_text(code));
  else
    vm_push_view(msgline_get_text());
}

// Main 130.
void bi_clear_message() {
  redraw_bits &= ~kRedrawMessage;
  msgline_set_text({});
  MessageState& m = message_state();
  m.pending_code = 0;
  m.pending.clear();
  m.clear_on_next_key = false;
}

// Main 141: [text [options WARZL]]; rc = the command's result.
void bi_execute_command_line() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  std::string text, options;
  if (n >= 1) text = std::string(bi_arg(n, 0).substr(0, kMessageCapacity));
  if (n == 2) options = std::string(bi_arg(n, 1));
  core_drop(n);
  if (!exec_options_valid(options)) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  vm_set_rc(disp_execute_command_line(n >= 1 ? &text : nullptr, options));
}

// Ext 117 and 118: step through the history on the command line.
void bi_cmdline_history_prev() {
  if (!on_command_line()) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  std::string line;
  if (cmd_history_prev(&line)) show_history_line(line);
}
void bi_cmdline_history_next() {
  if (!on_command_line()) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  std::string line;
  if (cmd_history_next(&line)) show_history_line(line);
}

// Ext 33: text and a newline on standard output.
void bi_stdout_print() {
  if (!core_have(1)) return;
  const std::string t(bi_arg(1, 0));
  core_drop(1);
  std::fwrite(t.data(), 1, t.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
