// The concurrent process's buffer: see proc.h.

#include "services/proc.h"

#include "text/buffer.h"

namespace {
// What the process runner keeps.
struct ProcState {
  BufferRec* process_buffer = nullptr;
  int reset_marks = 0;
};
ProcState state;
}  // namespace

void proc_attach_buffer(BufferRec* buf) { state.process_buffer = buf; }
bool proc_is_process_buffer(const BufferRec* buf) { return buf && buf == state.process_buffer; }
void proc_reset_mark() { ++state.reset_marks; }
int proc_reset_mark_count() { return state.reset_marks; }
void proc_install_text_hooks() {
  buf_hooks().is_process_buffer = proc_is_process_buffer;
  buf_hooks().reset_process_mark = proc_reset_mark;
}
