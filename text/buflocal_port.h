// What the buffers need of the macro runtime above them: each buffer's own
// copies of the buffer-local macro variables.
//
// A buffer carries a list of its copies (BufferRec::locals.vars); the macro
// runtime makes, swaps and frees it, since the variables are its own. A
// program without the macro runtime has no such variables: every buffer
// works without copies.
#pragma once

#include <cstdint>

struct BufferRec;

// Gives a new buffer its copies of every buffer-local variable, at their
// defaults. Without the macro runtime: none.
void buflocal_init(BufferRec* buf);
// The buffer stops being current: its copies take the variables' values.
void buflocal_save(BufferRec* buf);
// The buffer becomes current: its copies go back into the variables.
void buflocal_load(BufferRec* buf);
// Frees the buffer's copies; its list is null afterwards.
void buflocal_free(BufferRec* buf);
// Adds a copy of a newly declared variable with its value: 0, or -2029 when
// memory runs out. Without the macro runtime: 0, nothing is kept.
int32_t buflocal_add(BufferRec* buf, int32_t names_index, const void* value, int32_t length);
