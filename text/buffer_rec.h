// The buffer record: one text with its file, settings, undo state and the
// ring of positions that point into it.
//
// Records live in the buffer handle table (buffer.h) and start as a
// value-initialised BufferRec; buf_new() also sets the store's defaults and
// the editing defaults. A record that the store alone uses (tests) needs only
// buf_store_defaults().
//
// Invariant: a live buffer is in the ring of all buffers (ring_next/ring_prev)
// and its own position (own_pos) is in its ring of positions.
#pragma once

#include <cstdint>

#include "base/file_node.h"
#include "base/lstr.h"
#include "base/os.h"
#include "text/tab_columns.h"

struct PosRecord;
struct LexerDef;  // the display's colour coder

inline constexpr int32_t kTabStopEnd = 1024;  // ends the list of explicit stops
inline constexpr int32_t kModeNameCap = 20;   // the mode name of the buffer-local block
inline constexpr int32_t kWordCharsCap = 80;  // word characters, as the search reads them

// Buffer flags.
inline constexpr uint8_t kBufHidden = 0x01;            // skipped by switching and name matching
inline constexpr uint8_t kBufDeleteWithWindow = 0x40;  // closed with its window

// The buffer-local macro variables; the macro runtime fills and swaps them.
struct BufLocals {
  void* vars;           // the runtime's variable list, null none
  int32_t event_table;  // names index of the buffer's event table, 0 none
  LStrBuf<kModeNameCap> mode_name;
};

struct BufferRec {
  int32_t handle;
  int32_t record_len;   // 0 = lines end with end-of-line bytes; else fixed-length records
  uint8_t eol[2];       // first and second end-of-line byte; equal = a one-byte convention
  int32_t first_block;  // first block of the text chain, -1 none
  int source_fd;        // file still read lazily, -1 none
  int32_t keep_open;    // bit 31: keep the file open as a lock after a whole read; low bits the descriptor
  uint8_t modified;     // text changed since loading or saving
  uint8_t modified_at_checkpoint;
  uint8_t no_reread;         // pages may not be re-read from the source (they spill instead)
  uint8_t load_state;        // 1 when a page had to be loaded; at creation the read-only state
  uint8_t trunc_reported;    // "Lines truncated" already shown for this buffer
  uint8_t backup_state;      // 1 after loading, 0 after a save, 2 after a rename
  int32_t expand_tabs_load;  // the text was loaded with tabs expanded
  int32_t undo_enable;       // undo records are written while nonzero
  int32_t undo_limit;        // undo step limit, 0 = no undo
  int64_t bytes;             // text bytes, end-of-line bytes included, top-of-file line excluded
  PosRecord* pos_ring;       // one record of the ring of positions in this buffer
  int64_t recolour_first;    // recolour range of the colour coder (byte offsets)
  int64_t recolour_last;
  int32_t lex_state;         // colour coder's state word, 0 at load
  int32_t saved_display[6];  // column, row and display words of the own position
  int64_t saved_top_point;
  int32_t saved_top_zero;

  // ---- buffers and views ----
  LStrBuf<LSTR_CAP_NAME> name;         // file name of the buffer
  LStrBuf<LSTR_CAP_NAME> source_name;  // file the unread blocks come from when not `name`
  int32_t tab_stops[kTabStopCount];    // rising 1-based columns, kTabStopEnd (or 0) ends the list
  int32_t margins[kMarginCount];       // left, right and new-paragraph margin (1-based columns)
  uint8_t wrap_flags;                  // 2 wraps typed text at the right margin; mask 5 strips carried blanks
  uint8_t indent_tabs;                 // indentation is made of tabs and blanks
  uint8_t edit_state;                  // 3 at creation
  uint8_t no_tab_expand;               // 1 = tabs are one column each
  uint8_t edit_state2;                 // 0 at creation
  uint8_t redraw;                      // the buffer's views must be redrawn
  uint8_t flags;                       // kBufHidden, kBufDeleteWithWindow
  BufLocals locals;
  int32_t own_pos;       // handle of the buffer's own PosRecord (template for new views)
  BufferRec* ring_next;  // ring of all buffers
  BufferRec* ring_prev;
  FileTime file_time;                 // of the file at the last load or save
  FileStamp source_stamp;             // the file open on source_fd, as it was loaded
  FileStamp disk_stamp;               // the file at `name` after the last load or save
  uint8_t source_changed;             // 1: the source changed after loading, so its unread ranges
                                      // are lost
  LStrBuf<kWordCharsCap> word_chars;  // characters that form words
  int32_t inherit[2];                 // heap handles of settings a replacing buffer inherits, 0 none
  LexerDef* lexer;                    // colour coding with this lexer, null none

  // Settings macros keep with a buffer through the window properties.
  int32_t user_word;      // a word a macro stores with the buffer
  int32_t key_handler;    // names index of the buffer's own key handler, 0 none
  int32_t char_table;     // heap handle of a 256-byte character table, 0 none
  int32_t second_string;  // heap handle of a string a macro stores, 0 none
  uint8_t user_byte;      // byte options a macro stores with the buffer
  uint8_t display_byte;   //   (the second one redraws when set)
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
