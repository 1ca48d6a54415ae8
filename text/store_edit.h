// Edits on the store: insert, replace, delete and copy whole lines.
//
// They keep the page layout consistent (splitting full pages, unlinking
// emptied blocks), keep block and buffer byte counts exact, flag lines
// (0x20 inserted or copied, 0x10 changed), mark pages dirty and the buffer
// modified, and move every position in the buffer's ring with the text
// (marks_adjust). A position passed to an edit moves as a ring member would,
// whether or not it is linked. Editing inside a line is the current-line
// layer's business; it writes the finished line back with line_replace_text.
#pragma once

#include <cstdint>

#include "base/lstr.h"
#include "text/cursor.h"

// Inserts a line after pos's line (the buffer's end of line is appended; text
// longer than 1022 bytes is cut with -2011 once per buffer); pos moves to it.
int32_t line_insert_text(const void* text, int32_t len, PosRecord* pos, BufferRec* buf);
// The same for counted strings.
int32_t line_insert(const LStr* text, PosRecord* pos, BufferRec* buf);
int32_t line_replace(const LStr* text, PosRecord* pos, BufferRec* buf);
// Inserts raw bytes as a line (their own end of line, if any; at most 1024).
int32_t line_insert_raw(const void* raw, int32_t len, PosRecord* pos, BufferRec* buf);
// Replaces the text of pos's line; a line continued over pages becomes one line.
int32_t line_replace_text(const void* text, int32_t len, PosRecord* pos, BufferRec* buf);
// Deletes pos's line. pos goes to the following line, or to the line above
// with -2024 "Bottom of file" when the last line was deleted. The top-of-file
// line cannot be deleted (-3015).
int32_t line_delete(PosRecord* pos, BufferRec* buf);
// Copies the lines from src through end (same buffer or another) to after
// dst. dst moves to the last copied line, src to the line after the range;
// first_line, when given, receives the place of the first copied line. End of
// line bytes are converted to the destination's convention; every copied
// line keeps its flags and gets 0x20. The lines go in as one run (below):
// one undo record and one marks adjustment however many lines are copied.
int32_t lines_copy(PosRecord* dst, PosRecord* src, PosRecord* end, PosRecord* first_line, BufferRec* dst_buf);

// One line a run takes from its source: its text, and whether that text
// already holds its end-of-line bytes (lines of the undo log, with the
// flags they had) or not (lines of a buffer: the destination's end of line
// is added and 0x20 set on the flags).
struct RunLine {
  const uint8_t* text;
  int32_t len;
  uint16_t flags;
  bool raw;
};
// Where the lines of a run come from: next gives 1 with a line (valid until
// the next call), 0 at the end, or a negative code.
class LineSource {
 public:
  virtual int32_t next(RunLine& line) = 0;

 protected:
  ~LineSource() = default;
};

// Inserts the source's lines after dst's line as one run: the page is split
// once after dst's line and the lines are appended to the end of its page
// and to new pages after it, then every position moves at once. dst moves to
// the last inserted line; first_line (may be null) gets the first one;
// *lines counts them. With undo on, one record (kind 11) holds the whole
// run; when it cannot be written the lines are taken out again and its code
// returned. 0 or a negative code (lines inserted before a store error stay).
int32_t lines_insert_run(PosRecord* dst, BufferRec* buf, LineSource& src, PosRecord* first_line, int32_t* lines);

// Deletes n lines from pos's line on, page by page: each page's part goes in
// one edit, one undo record (kind 7 with all its lines) and one marks
// adjustment. pos goes to the line after the deleted ones, or to the line
// above with -2024 when they were the last. The top-of-file line cannot be
// deleted (-3015).
int32_t lines_delete_run(PosRecord* pos, int32_t n, BufferRec* buf);

// End-of-line count (0 for fixed records, 1 or 2) for a text of len bytes; len
// is cut to 1022 when text and end of line would pass 1024 (-2011 once per
// buffer). Returns len + count.
int32_t line_eol_length(int32_t& eol_count, int32_t& len, BufferRec* buf);

// Moves every position of the buffer's ring after a change at P:
// lines +1 / bytes after an inserted line; lines 0 / the byte difference after
// a line changed length; block = the new block (lines, bytes 0) after a page
// split at P. Removals go through marks_adjust_remove.
void marks_adjust(int32_t lines, int64_t bytes, int32_t block, const PosRecord* P, BufferRec* buf);
// Before the line at P (bytes long) is removed: positions on it go to dest
// (the place that holds the following line after the removal, or the line
// above when dest_above is set).
void marks_adjust_remove(int64_t bytes, const PosRecord* P, const PosRecord* dest, bool dest_above, BufferRec* buf);
// The same for count lines from P's line on, all in P's page, bytes long together.
void marks_adjust_remove_run(int64_t bytes, const PosRecord* P, int32_t count, const PosRecord* dest, bool dest_above,
                             BufferRec* buf);

// Moves a position that stands on one of the count lines being removed from
// P's line on (all in P's page); false leaves it to the rule above (dest).
// The selection layer sets it for its marks.
using MarkRemoveHook = bool (*)(PosRecord* Q, const PosRecord* P, int32_t count, const PosRecord* dest, bool dest_above,
                                BufferRec* buf);
void store_set_mark_remove_hook(MarkRemoveHook hook);

// Hooks for the undo log; each is called only while the buffer's undo is on,
// before the change. A nonzero result (the record could not be written) stops
// the change with that code, so the log never misses one. When the change
// fails after its record was written, `dropped` takes the record back.
struct StoreUndoHooks {
  int32_t (*inserted)(BufferRec* buf, int64_t point, int32_t zero_lines);
  // Lines deleted: their raw text (end-of-line bytes included) and their
  // table entries in page order; one line from line_delete, a page's run
  // from lines_delete_run.
  int32_t (*deleted)(BufferRec* buf, int64_t point, int32_t zero_lines, const uint8_t* raw, int32_t len,
                     const LineEntry* entries, int32_t count);
  // A run of lines was inserted after the line at (point, zero): count
  // lines, the last at (last_point, last_zero). Written after the run.
  int32_t (*copied)(BufferRec* buf, int64_t point, int32_t zero_lines, int32_t count, int64_t last_point,
                    int32_t last_zero);
  // A line's flags are about to change.
  int32_t (*flags)(BufferRec* buf, int64_t point, int32_t zero_lines, uint16_t old_flags);
  int32_t (*changed)(BufferRec* buf, int64_t point, int32_t zero_lines, const uint8_t* old_text, int32_t old_len,
                     const uint8_t* new_text, int32_t new_len, uint16_t old_flags);
  void (*dropped)(BufferRec* buf);
};
StoreUndoHooks& store_undo_hooks();
