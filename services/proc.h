// The concurrent process's buffer, as far as the text engine needs it.
//
// The process runner comes with the editor services; until then this keeps
// only which buffer is attached to the process, so that closing buffers and
// windows can leave that buffer alone. The process mark, which follows
// deleted lines, comes with the runner. proc_install_text_hooks() connects
// this to the buffer layer (the application calls it once at start-up).
#pragma once

struct BufferRec;

// Attaches a buffer to the process (null detaches).
void proc_attach_buffer(BufferRec* buf);
// True when the buffer is the one attached to the process.
bool proc_is_process_buffer(const BufferRec* buf);
// Installs the process-buffer test as the buffer layer's hook.
void proc_install_text_hooks();
