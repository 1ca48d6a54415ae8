// Loading files into a buffer's chain of blocks.
//
// By default only the file's size and its last three bytes are read at load
// time: the file is cut into page-sized blocks that remember their offset in
// the file, and each block is read and its lines counted when a position first
// needs it. Options read the whole file at once, count its lines, stop at a
// Ctrl-Z, keep it raw or expand tabs while reading.
#pragma once

#include <cstdint>

#include "text/buffer_rec.h"
#include "text/cursor.h"

struct StoreLoadOptions {
  bool whole = false;       // read every block now
  bool ctrlz_stop = false;  // the text ends at the first Ctrl-Z
  int mode = 0;             // 0 normal, 1 count lines while reading the whole file, 2 raw
  bool eol_given = false;   // the buffer's end-of-line bytes are already set
};

// Loads the file open on buf->source_fd (-1: a new buffer without a file) and
// puts pos on the first line. Returns 0 or a negative code (-33 "Error reading
// file", -2029); on failure the buffer's storage is released.
int32_t store_load_file(PosRecord* pos, BufferRec* buf, const StoreLoadOptions& opt);
// Reads every block of the buffer into pages (counting them when asked) and
// lets the source file go; pages then spill instead of being read again.
int32_t store_read_all(BufferRec* buf, bool count);
// Makes the buffer independent of its source file before it is overwritten.
int32_t store_detach_source(BufferRec* buf);
// Text bytes of one lazily read block (the first covers the top-of-file line too).
int64_t store_lazy_block_bytes(const BufferRec* buf);
