// The concurrent process's buffer: see proc.h.

#include "services/proc.h"

#include "text/buffer.h"

namespace {
BufferRec* g_process_buffer = nullptr;
}  // namespace

void proc_attach_buffer(BufferRec* buf) { g_process_buffer = buf; }
bool proc_is_process_buffer(const BufferRec* buf) { return buf && buf == g_process_buffer; }
void proc_install_text_hooks() { buf_hooks().is_process_buffer = proc_is_process_buffer; }
