// The concurrent process's buffer, as far as the text engine needs it.
//
// The process runner comes with the editor services; until then this keeps
// only which buffer is attached to the process, so that closing buffers and
// windows can leave that buffer alone. proc_install_text_hooks() connects it
// to the buffer layer (the application calls it once at start-up).
#pragma once

struct BufferRec;

// Attaches a buffer to the process (null detaches).
void proc_attach_buffer(BufferRec* buf);
// True when the buffer is the one attached to the process.
bool proc_is_process_buffer(const BufferRec* buf);
// After lines were deleted: the process mark follows. No process runs yet, so
// this only counts the calls (tests read the count).
void proc_reset_mark();
int proc_reset_mark_count();
// Installs the process-buffer test and the mark reset as the buffer layer's hooks.
void proc_install_text_hooks();
