// Selections: line, character and block selections as pairs of positions in
// a buffer's ring, so that every edit of the store moves them with the text.
//
// A selection is a begin and an end PosRecord. While nothing is selected the
// pair is detached from every ring; once set, both marks are linked into the
// buffer's ring of positions (a single-mark selection uses one record). The
// begin's kind bytes hold the selection's state:
//   kind[0] column-tracking byte (CHAR marks 2, LINE and BLOCK marks 0)
//   kind[1] kind: 0 nothing selected, 1 LINE, 2 CHAR, 4 BLOCK
//   kind[2] state: bit 0 the end is exclusive, bit 1 the begin is the anchor
//           (the end follows the cursor), bit 2 the begin column is the anchor's
//   kind[3] mark flags: 1 single mark, 2 pair, 4 follows the cursor, 8 option "P"
// Columns are 0-based display columns, at most 1023.
//
// What a selection covers: LINE the lines from the begin's to the end's; CHAR
// the stream from the begin column of the begin line up to the end column of
// the end line (exclusive with state bit 0, else inclusive), a column past the
// end of the end line taking its line break too; BLOCK the display columns
// from the begin column to the end column (both inclusive) of each line.
//
// The operations take the cursor as an explicit view (a PosRecord in some
// buffer's ring, or unlinked), so that they work without a window. Each line
// they change goes through the store edits and so into the undo log.
//
// Start reading at sel_alloc_pair, sel_extend and sel_delete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/buffer_rec.h"
#include "text/cursor.h"

inline constexpr uint8_t kSelNone = 0;
inline constexpr uint8_t kSelLine = 1;
inline constexpr uint8_t kSelChar = 2;
inline constexpr uint8_t kSelBlock = 4;

inline constexpr uint8_t kSelExclusive = 0x01;
inline constexpr uint8_t kSelBeginAnchor = 0x02;
inline constexpr uint8_t kSelBeginColAnchor = 0x04;
inline constexpr uint8_t kSelNewState = 0x07;

inline constexpr uint8_t kMarkSingle = 0x01;
inline constexpr uint8_t kMarkPair = 0x02;
inline constexpr uint8_t kMarkFollow = 0x04;
inline constexpr uint8_t kMarkP = 0x08;

inline constexpr int32_t kSelMaxColumn = 1023;

struct SelectionMarks {
  PosRecord* begin;
  PosRecord* end;
};

// Installs the store's mark-removal hook, the search's selection hooks and
// the buffer's deselect hook; sel_uninstall takes them out again.
void sel_install();
void sel_uninstall();

// ---- lifecycle ----

// A new selection (two positions, or one with `single`); null when the position table is full.
SelectionMarks* sel_alloc_pair(bool single = false);
void sel_free(SelectionMarks* sel);
// The active selection (made on first use); peek: null while none was made.
SelectionMarks* sel_active();
SelectionMarks* sel_active_peek();
// Starts a selection of `kind` at pos (its place and column); state 7, mark flags 2.
void sel_start(SelectionMarks* sel, uint8_t kind, const PosRecord* pos);
// Extends the selection to the cursor (starts it when nothing is selected).
// 0, -2013 on the top-of-file line, -2012 for another kind or buffer.
int32_t sel_extend(SelectionMarks* sel, uint8_t kind, const PosRecord* cursor);
void sel_clear(SelectionMarks* sel);
// Deselects every selection in the buffer (before it is closed or reloaded).
void sel_clear_buffer_marks(BufferRec* buf);
// A new selection with the same marks; null when none is left.
SelectionMarks* sel_duplicate(const SelectionMarks* sel);
uint8_t sel_kind(const SelectionMarks* sel);
BufferRec* sel_buffer(const SelectionMarks* sel);
// Deselects a selection whose text vanished, or whose marks no longer make
// sense (on the top-of-file line, or an end before the begin on one line).
void sel_check_after_adjust(SelectionMarks* sel);

// ---- following edits ----

// Columns on pos's line after a change inside it: direction 0, delta < 0:
// |delta| bytes deleted at col; delta >= 0: inserted; +1: the line was split
// at col and the text from col starts the next line at column delta; -1: the
// line was joined to the line above at column delta. Returns 0 or a store error.
int32_t marks_adjust_columns(int32_t col, int32_t delta, int direction, PosRecord* pos, BufferRec* buf);

// ---- operations (the cursor is a view; 0 or a negative code) ----

// Kinds allowed: bit 1 LINE, 2 CHAR, 4 BLOCK.
int32_t sel_check_kind(const SelectionMarks* sel, uint8_t allowed);
// The selected text: LINE one entry per line; CHAR pieces separated by line
// breaks; BLOCK one field per line, padded with blanks to the block's width.
int32_t sel_text(const SelectionMarks* sel, std::vector<std::string>& out);
int32_t sel_delete(SelectionMarks* sel, PosRecord* cursor);
// Copies the selected text to the cursor (LINE: after the cursor line; CHAR:
// at the cursor column; BLOCK: inserted at the cursor column of successive
// lines); the selection then covers the copy. -2015 when the cursor lies in
// the selection, or stands on the top-of-file line and the kind is not LINE.
int32_t sel_copy_to_cursor(SelectionMarks* sel, PosRecord* cursor);
// Moves the selected text to the cursor; the selection covers it afterwards.
int32_t sel_move_to_cursor(SelectionMarks* sel, PosRecord* cursor);
// Overwrites the selected columns with `fill` (LINE: the whole display width).
int32_t sel_fill(SelectionMarks* sel, uint8_t fill);
// Deletes (dir < 0) or inserts a blank column (dir > 0) at the left edge of
// every selected line (LINE and CHAR: column 0; BLOCK: the begin column).
int32_t sel_shift(SelectionMarks* sel, int dir);
// Upper-cases ('U') or lower-cases ('L') the ASCII letters of the selected text.
int32_t sel_change_case(SelectionMarks* sel, char mode);

// ---- handles and the active selection (selection_ops.cpp) ----

// A selection is known by its begin mark's position handle; null for a
// handle that names no selection.
SelectionMarks* sel_find(int32_t handle);
// Frees every selection (before the buffers go at shutdown, and in tests).
void sel_shutdown();
int32_t sel_handle(const SelectionMarks* sel);
bool sel_single(const SelectionMarks* sel);
// The selection the display shows and the built-ins default to.
void sel_make_active(SelectionMarks* sel);
// When the active selection follows the cursor (mark flag 4) and lies in the
// view's buffer, it is extended to the view; when its marks come out where
// they were, redraw_bits are left as they were.
void sel_update_active(PosRecord* view);
// Mark flags 4 become 2 (flag 8 kept): the selection no longer follows.
void sel_stop_following(SelectionMarks* sel);
// The options of the select built-ins: follow the cursor ("C"), flag 8
// ("P"), inclusive end ("I").
void sel_set_options(SelectionMarks* sel, bool follow, bool p_flag, bool inclusive);
// A single mark is deselected and placed at the view: place, column, row,
// first display word and kind.
void sel_place_single(SelectionMarks* sel, uint8_t kind, const PosRecord* view);
// A new kind for a set selection (-3015 when nothing is selected); narrow
// (NBLOCK) takes one column off the larger mark column when they differ.
int32_t sel_set_kind(SelectionMarks* sel, uint8_t kind, bool narrow);

// The current window's view goes to the begin (or end) mark, showing the
// selection's buffer first when it is another; LINE selections keep the
// view's column. 0, -2013, or the error of showing the buffer.
int32_t sel_goto_mark(SelectionMarks* sel, bool end_mark);
// Deselects, then selects the last search match (CHAR, on the view's line)
// when there is one.
int32_t sel_select_match(SelectionMarks* sel, PosRecord* view);
// Writes a BLOCK selection over the columns at the cursor (lines past the end
// of the buffer are added); with blank_source its old columns become blanks
// first where they are not overwritten. The selection covers the copy
// afterwards. -2018 for another kind, -2015 on the top-of-file line.
int32_t block_overlay(SelectionMarks* sel, PosRecord* cursor, bool blank_source);

// The clipboard text of a selection: LINE every line and a line feed;
// BLOCK each line's columns (tabs kept) and a line feed; CHAR the stream,
// with a line feed after the last line only when the end lies past its end.
int32_t sel_clip_size(const SelectionMarks* sel, int64_t* bytes, int32_t* lines);
int32_t sel_clip_text(const SelectionMarks* sel, std::string& out, int64_t size);
