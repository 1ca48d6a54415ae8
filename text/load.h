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

// ---- unread text straight from the source file, without pages ----

// A run of blocks whose text is still only in the source file: consecutive
// blocks not in memory (the first block excepted), their ranges following
// each other in the file, none lost to a changed source.
struct SourceRun {
  int32_t first = -1;
  int32_t last = -1;
  int64_t file_off = 0;  // the first block's offset in the file
  int64_t bytes = 0;     // the run's text bytes
};
// The run starting at block b, at most max_bytes long (its first block
// always); false when b does not start one.
bool store_source_run(int32_t b, const BufferRec* buf, int64_t max_bytes, SourceRun& run);
// A block never read from its file, whose range may still move.
bool store_unread_source(int32_t b);
// Moves the last r bytes of block b's file range to the start of the next
// block's; both unread. Reading the next block does the same when b's range
// ends inside a line.
void store_shift_to_next(int32_t b, int64_t r);
// Reads n bytes of the source file at off into dst after checking that the
// file is the one loaded; 0 or -33 (a short read is an error too).
int32_t store_read_source_bytes(BufferRec* buf, uint8_t* dst, int64_t n, int64_t off);
// Scans raw text for ends of line (their second byte eol) 64 bytes at a
// time, going on from the state of an earlier part: how many, where the
// line after the last one starts, whether a line from line_start on passes
// the line limit, and (when asked) whether a blank comes right before one.
// t must be readable up to the next multiple of 64 past `to` (from on).
struct LineScan {
  bool want_blanks = false;
  int64_t eols = 0;
  int64_t line_start = 0;  // offset in t
  bool over_limit = false;
  bool blank_end = false;
};
void line_scan(LineScan& sc, const uint8_t* t, int64_t from, int64_t to, uint8_t eol);
// Counts the lines of block b, still unread with its predecessor counted,
// and of the unread blocks after it (about a megabyte at a time), from their
// bytes without building pages: each gets exactly the count a read would
// give it. Returns the number of blocks counted; 0 when b has to be read
// the ordinary way (a line over the limit, fixed-length records, a page
// whose table would fill); or a negative code.
int32_t store_count_unread(int32_t b, BufferRec* buf);
