// Built-ins of the process buffer and of the processes beside the editor.
#include <signal.h>

#include <cerrno>
#include <string>

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "services/proc.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/ui_port.h"

namespace {

// Main 233: command line: runs it as the current buffer's concurrent
// process (an empty one runs the shell); the cursor's place becomes the
// process mark. rc = the result; a negative one is raised.
void bi_attach_process_buffer() {
  const std::string command(bi_strip_blanks(bi_arg(1, 0)));
  core_drop(1);
  PosRecord* view = bi_need_view();
  if (!view) return;
  line_flush_if(view->buffer);
  PosRecord* mark = pos_alloc();
  if (!mark) return vm_raise_error(ERR_TOO_MANY_SELECTIONS);
  const int32_t rc = proc_start_shell(command);
  if (rc != 0) {
    pos_free(mark);
    return bi_rc_or_raise(rc);
  }
  proc_set_mark(mark, view);
  if (!pos_same_place(view, mark)) {
    // The mark went to a new last line: typing starts there.
    pos_copy_place(view, mark);
    view->column = 0;
    view_check_row(view);
  }
  bi_rc_or_raise(0);
}

// Main 127: [letter of CBRP] -> the concurrent process's state; without an
// argument whether it runs.
void bi_process_info() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 0;
  if (n == 1 && !bi_arg_letter(n, 0, "CBRP", &letter)) return;
  core_drop(n);
  const PosRecord* view = view_current();
  const PosRecord* mark = proc_mark();
  switch (n == 0 ? 0 : letter ? letter : 'C') {
    case 0:
      vm_push_int(proc_running() ? 1 : 0);
      return;
    case 'C':
      vm_push_int(proc_running() && view && mark && pos_same_place(view, mark) ? mark->column + 1 : 0);
      return;
    case 'B':
      vm_push_int(proc_running() && view && proc_is_process_buffer(view->buffer) ? 1 : 0);
      return;
    case 'P':
      vm_push_int(static_cast<int32_t>(proc_pid()));
      return;
    case 'R':
      if (ui_break_pressed()) return vm_raise_error(ERR_BREAK_KEY);
      proc_wait_poll();
      vm_push_int(proc_running() ? 1 : 0);
      return;
  }
}

// Ext 226: command [, P [, callback]], then three variable operands that
// receive the editor's ends of the pipes and the process id -> the start's
// result.
void bi_start_process() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n, true)) return;
  uint32_t vars[3];
  for (uint32_t& v : vars) v = vm_fetch_var_operand();
  if (!vars[0] || !vars[1] || !vars[2]) return core_drop(n);
  char option = 0;
  if (n >= 2 && val_option_letter(&option, "P", bi_arg(n, 1)) != 0) return bi_fail(n, ERR_INVALID_ARGUMENT, true);
  int32_t callback = 0;
  if (n == 3) {
    if (!bi_arg_to_int(n, 2, &callback)) return bi_fail(n, ERR_INVALID_ARGUMENT, true);
    if (callback != 0 && (callback < 0 || (name_type(static_cast<uint32_t>(callback)) & NF_CALLABLE) == 0))
      return bi_fail(n, ERR_INVALID_ARGUMENT, true);
  }
  const std::string command(bi_strip_blanks(bi_arg(n, 0)));
  core_drop(n);
  int from_child = -1, to_child = -1;
  pid_t pid = 0;
  const int32_t rc = proc_start_background(command, callback, &from_child, &to_child, &pid);
  if (rc == 0) {
    var_store_int(vars[0], from_child);
    var_store_int(vars[1], to_child);
    var_store_int(vars[2], static_cast<int32_t>(pid));
  }
  vm_push_int(rc);
}

// Ext 227: pid [, signal (9)] -> 0, or the system's error number. Only the
// editor's own processes can be signalled: any other id answers as one that
// does not exist, and 0 or below (a whole process group) is refused.
void bi_kill_process() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t pid = 0, sig = SIGKILL;
  if (!bi_arg_int(n, 0, &pid)) return;
  if (n == 2 && !bi_arg_int(n, 1, &sig)) return;
  if (pid <= 0 || sig < 0 || sig >= NSIG) return bi_fail(n, ERR_INVALID_ARGUMENT);
  core_drop(n);
  if (!proc_is_ours(pid)) return void(vm_push_int(ESRCH));
  vm_push_int(::kill(pid, sig) == 0 ? 0 : errno);
}

// Ext 103: Ctrl+C for the concurrent process's group.
void bi_process_interrupt() {
  if (proc_running() && proc_pid() > 0) ::kill(-proc_pid(), SIGINT);
}

constexpr OpcodeBinding kProcOpcodes[] = {
    {opcode_slot("attach_process_buffer"), bi_attach_process_buffer},
    {opcode_slot("process_info"), bi_process_info},
    {opcode_slot("start_process"), bi_start_process},
    {opcode_slot("kill_process"), bi_kill_process},
    {opcode_slot("process_interrupt"), bi_process_interrupt},
};

}  // namespace

BindResult proc_register_opcodes(OpcodeDispatch& d) { return opcodes_register(d, Layer::Services, kProcOpcodes); }
