// The colour coder's recolour range of a buffer: the byte range whose lines
// must be coloured again because they changed. Every edit of the store widens
// it here; the colour coder of the display reads it and starts it afresh.
#pragma once

#include <cstdint>

struct BufferRec;

// Widens the buffer's recolour range for a change of count bytes at offset:
// the first offset becomes at most offset; for count >= 0 an end beyond
// offset + count moves by count (at most 0x7fffffff), else the end becomes
// offset + count; for count < 0 an end at or before the offset becomes the offset.
void lex_mark_dirty_lines(BufferRec* buf, int64_t offset, int64_t count);
