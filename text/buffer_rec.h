// The buffer record: one text with its file, end-of-line convention and the
// ring of positions that point into it.
//
// Only the fields that the text store, loading, the line cursor and the edits
// on the store read or write are here; buffers and views add the rest of the
// record (name, tab stops, undo state, locals, ...) to this struct.
// Records live in a handle table and start zeroed: call buf_store_defaults()
// on a fresh record before the store sees it.
#pragma once

#include <cstdint>

struct PosRecord;

struct BufferRec {
  int32_t handle;
  int32_t record_len;       // 0 = lines end with end-of-line bytes; else fixed-length records
  uint8_t eol[2];           // first and second end-of-line byte; equal = a one-byte convention
  int32_t first_block;      // first block of the text chain, -1 none
  int source_fd;            // file still read lazily, -1 none
  int32_t keep_open;        // bit 31: keep the file open as a lock after a whole read; low bits the descriptor
  uint8_t modified;         // text changed since loading or saving
  uint8_t modified_at_checkpoint;
  uint8_t no_reread;        // pages may not be re-read from the source (they spill instead)
  uint8_t load_state;       // 1 when a page had to be loaded
  uint8_t trunc_reported;   // "Lines truncated" already shown for this buffer
  uint8_t backup_state;     // 1 after loading, 0 after a save, 2 after a rename
  int32_t expand_tabs_load; // the text was loaded with tabs expanded
  int32_t undo_enable;      // undo records are written while nonzero
  int64_t bytes;            // text bytes, end-of-line bytes included, top-of-file line excluded
  PosRecord* pos_ring;      // one record of the ring of positions in this buffer
  int64_t recolour_first;   // recolour range of the colour coder (byte offsets)
  int64_t recolour_last;
  int32_t saved_display[6]; // column, row and display words of the own position
  int64_t saved_top_point;
  int32_t saved_top_zero;
};

// Sets the store's fields of a zeroed record: no text, no file, LF LF.
inline void buf_store_defaults(BufferRec* b) {
  b->first_block = -1;
  b->source_fd = -1;
  b->eol[0] = '\n';
  b->eol[1] = '\n';
  b->recolour_first = 0;
  b->recolour_last = 0x7fffffff;
}
