// Whether a lazily loaded buffer may still read its source file.
//
// A buffer reads unread ranges of its file long after loading it. Another
// program may have changed the file meanwhile; the old offsets then hold
// other text, and splicing it in would corrupt the buffer and, through a
// save, the file. So the file open as the source is stamped when loading
// starts and checked before every read of a source range. Once it differs
// the buffer never reads it again: what the buffer already holds stays, the
// unread ranges are lost, and no save writes what is left in place of the
// whole text. A read is checked before and after, so that a change while it
// runs is seen too.
#pragma once

#include <cstdint>

#include "text/buffer_rec.h"

// Loading starts: stamps the file open on buf->source_fd (or, without one,
// whatever is at the buffer's name) and forgets any earlier change.
void store_source_opened(BufferRec* buf);

// 0 when the source file is unchanged (or the buffer has none); -33 "Error
// reading file" when its device, inode, size or modification time differ
// from the stamp, and from then on.
int32_t store_source_check(BufferRec* buf);

// True when the block's text exists only in a source file that changed.
bool store_block_lost(const BufferRec* buf, int32_t block);
// True when some of the buffer's text exists only in a source file that
// changed: the buffer no longer holds a whole text.
bool store_text_lost(const BufferRec* buf);
