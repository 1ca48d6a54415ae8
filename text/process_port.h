// What the buffers need of the editor services above them: the buffer the
// concurrent process writes into, and its process mark.
//
// The editor services run the process; a program without them has none, so
// no buffer is a process buffer and there is no mark to keep.
#pragma once

struct BufferRec;

// True when there is a process mark and it lies in buf (such a buffer is
// never closed under the process). Without the services: never.
bool proc_is_process_buffer(const BufferRec* buf);
// Lines were deleted: the process mark keeps a line of its own after the
// top-of-file line. Without the services there is no mark.
void proc_reset_mark();
