// What the buffers need of the macro runtime's keyboard-macro recorder: the
// buffer that receives a recording as macro source is never closed under
// it. A program without the macro runtime records nothing.
#pragma once

struct BufferRec;

// True while `buffer` receives a recording. Without the macro runtime: never.
bool kbdmac_is_target_buffer(const BufferRec* buffer);
