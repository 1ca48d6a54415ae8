// Undo and redo: every buffer keeps a log of typed records in undo blocks.
//
// An undo block is a block of the text store that belongs to no buffer's
// chain: its page is paged like text (evicted to the spill file and read back
// by store_get_page), so a block is known by its block number alone. The page
// image starts with an UndoBlockHeader; records fill the rest from the end
// downwards, so the newest record has the lowest offset and replay walks
// upwards. The edits on the store (store_edit.h) write a record before each
// change through the store's undo hooks, which undo_install sets. A record
// that cannot be written stops the change: the log never has a hole, because
// replaying older records after a missing one would change the wrong lines.
//
// A step runs from one checkpoint to the next (undo_checkpoint, called before
// every command). Undoing a step replays its records backwards through the
// same store edits, which log the inverse records; those close as a new step,
// and redo is undoing that step again.
//
// Start reading at undo_install, undo_checkpoint and undo_step.
#pragma once

#include <cstdint>

#include "text/buffer_rec.h"
#include "text/cursor.h"

// Record kinds (low 5 bits of a record's first byte) and marks.
enum class UndoKind : uint8_t {
  kColumn = 0,       // old column
  kColumnWord = 1,   // old column and first display word
  kLine = 2,         // old point and row
  kLineZero = 3,     // old point, row and zero-line count
  kSelection = 4,    // the active selection as it was
  kSelAppeared = 5,  // a selection appeared in this buffer
  kInserted = 6,     // a line was inserted after the recorded point
  kDeleted = 7,      // a line was deleted: its raw text and flags
  kChanged = 8,      // part of a line changed: the old bytes
  kChangedZero = 9,  // the same for a line addressed with a zero-line count
  kModified = 10,    // the old modified-at-checkpoint value
  kCopied = 11,      // lines were copied in
  kWords = 12,       // old display words 2 and 3
  kWord4 = 13,       // old display word 4
  kFlags = 14,       // a line's old flags
  kMarker = 15,      // end of a multi-line deletion
};
inline constexpr uint8_t kUndoKindMask = 0x1f;
inline constexpr uint8_t kUndoStepEnd = 0x80;     // the newest record of a step
inline constexpr uint8_t kUndoCursorOnly = 0x20;  // with 0x80: a step of cursor records only
inline constexpr uint8_t kUndoStop = 0x40;        // replay stops here (older steps were dropped)

// Header of an undo block's page image; the record area follows it.
struct UndoBlockHeader {
  int32_t newer;       // block number of the next newer undo block, -1 none
  int32_t older;       // next older, -1 none
  int32_t steps;       // steps whose closing record lies in this block
  int32_t free;        // bytes still free; records occupy [free, area size)
  int32_t first_step;  // free when the block's first step was closed
};

inline constexpr int32_t kUndoDefaultSteps = 32000;

// The undo state of one buffer.
struct UndoState {
  int32_t reading = -1;          // block that replay reads
  int32_t reading_off = 0;       // offset of the next record to replay in its area
  int32_t oldest = -1;           // oldest block, -1 when the buffer has none
  int32_t oldest_steps = 0;      // steps that start in the oldest block
  int32_t newest = -1;           // block where records are written
  int32_t redo = 0;              // 0 after a change; >0 undo runs that can be redone; <0 during redos
  int32_t total_steps = 0;       // steps recorded in all blocks
  uint8_t step_has_changes = 0;  // a record was written since the last checkpoint
  int32_t saved_column = 0;      // the cursor at the last checkpoint
  int32_t saved_row = 0;
  int64_t saved_point = 0;
  int32_t saved_zero = 0;
  int32_t saved_words[4] = {};  // the view's display words
  uint8_t saved_valid = 0;
  // The newest record, so that a change that failed after its record was
  // written can take the record back.
  int32_t last_block = -1;
  int32_t last_off = 0;
  int32_t last_size = 0;
  // Saves to the buffer's own file: a kind-10 record written before the
  // last save no longer tells whether the buffer equals its file.
  uint32_t saves = 0;
};

// Result mask of undo_step.
inline constexpr int32_t kUndoLinesRestored = 1;
inline constexpr int32_t kUndoCursorRestored = 2;
inline constexpr int32_t kUndoSelRestored = 4;
inline constexpr int32_t kUndoTextRestored = 8;
inline constexpr int32_t kUndoLinesRemoved = 16;
inline constexpr int32_t kUndoUnmodified = 32;
inline constexpr int32_t kUndoFlagsRestored = 64;

// Sets the store's undo hooks to the writers below. Idempotent.
void undo_install();
// The buffer's undo state (created on first use).
UndoState& undo_state(BufferRec* buf);
// Turns undo on with a step limit (0 turns it off and frees the log).
void undo_enable(BufferRec* buf, int32_t steps);
// The buffer was saved to its own file (the caller then clears its modified
// byte): undoing back past this point leaves it modified, and the save
// makes no undo step of its own.
void undo_note_save(BufferRec* buf);
// Frees every undo block of the buffer and resets its state.
void undo_free_blocks(BufferRec* buf);
// When 0, a step that holds only cursor records does not count towards the limit.
extern int32_t undo_cursor_steps;

// ---- writers: 0, or -2031 when no block could be had (the change must not go ahead) ----

int32_t undo_record_text_change(int32_t first, const uint8_t* old_bytes, int32_t old_len, int32_t new_len,
                                int64_t point, int32_t zero, uint16_t old_flags, BufferRec* buf);
// Records only the middle that differs between the old and the new text.
int32_t undo_record_replace_line(const uint8_t* old_text, int32_t old_len, const uint8_t* new_text, int32_t new_len,
                                 int64_t point, int32_t zero, uint16_t old_flags, BufferRec* buf);
int32_t undo_record_delete_line(int64_t point, int32_t zero, const uint8_t* raw, int32_t len, uint16_t flags,
                                BufferRec* buf);
// Deleted lines (raw text and their table entries in page order), as many
// records as the blocks need, each holding whole lines and the same point.
int32_t undo_record_delete_lines(int64_t point, int32_t zero, const uint8_t* raw, int32_t len, const LineEntry* entries,
                                 int32_t count, BufferRec* buf);
int32_t undo_record_insert_line(int64_t point, int32_t zero, BufferRec* buf);
// A run of count lines went in after the line at (point, zero).
int32_t undo_record_copy_lines(int64_t point, int32_t zero, int32_t count, int64_t last_point, int32_t last_zero,
                               BufferRec* buf);
// A line's flags are about to change.
int32_t undo_record_line_flags(int64_t point, int32_t zero, uint16_t old_flags, BufferRec* buf);
int32_t undo_record_marker(BufferRec* buf);
// The count written into kind-7 records: -1 while the lines of one deletion
// go one by one (a selection), 1 otherwise.
void undo_set_deletion_sign(int32_t sign);
// Takes back the newest record: the change it was written for did not happen.
void undo_forget_newest(BufferRec* buf);

// ---- checkpoints and steps ----

// The selection half of a checkpoint: when the active selection changed
// since the last one, its old state goes into the log (kind 4, in the buffer
// it was in; kind 5 when one appeared). 0 or -2031.
int32_t undo_record_selection();
bool sel_changed_since_saved();
void sel_save_copy();
// Forgets the saved copy (tests, and when the active selection is freed).
void undo_forget_selection();

// Closes the open step: the modified byte and the view's cursor (view may be
// null) as they were, then the closing mark, then the step limit. 0, a
// negative code, or 1 when a cursor record found no room.
int32_t undo_checkpoint(PosRecord* view, BufferRec* buf);
// Mode 'U' undoes one step, 'C' a run of cursor-only steps, 'R' redoes. The
// result mask, or -2033 / -2034 or another negative code.
int32_t undo_step(char mode, PosRecord* view, BufferRec* buf);
// 0 when a step can be undone (or redone), else -2033 / -2034.
int32_t undo_can_step(char mode, BufferRec* buf);

// ---- checks ----

// Number of undo blocks of the buffer (walking the older links).
int32_t undo_block_count(BufferRec* buf);
