// Editing the line under the cursor of the current window.
//
// The cursor line is edited in one current-line buffer. While `dirty` is 0
// its text is only a scratch copy, read again before every use; while 1 it is
// the truth and line_flush_current writes it back to the store before anything
// else reads or changes the buffer. Every operation here flushes first, and so
// do buffer switching and closing; a command that goes to the store directly
// calls line_flush_if(buffer) before it computes any position (a flush may
// move the lines after the cursor line within their page).
//
// Nothing here draws: a change sets the buffer's redraw byte and bits of
// redraw_bits, which the text display reads once the outermost command is done.
// Columns here are 0-based cursor columns (the cursor stands before display
// column column + 1); the tab routines take 1-based columns.
//
// Start reading at view_select, line_type_char and view_step_lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "text/buffer.h"
#include "text/tabs.h"

// ---- redraw bits ---------------------------------------------------------------

extern uint32_t redraw_bits;
inline constexpr uint32_t kRedrawOthers = 0x0001;      // with 0x0002: other windows of changed buffers
inline constexpr uint32_t kRedrawWindow = 0x0002;      // every text row of the current window
inline constexpr uint32_t kRedrawLineField = 0x0008;   // status line: line number
inline constexpr uint32_t kRedrawColField = 0x0010;    // status line: column
inline constexpr uint32_t kRedrawCaption = 0x0020;     // modified state in the caption
inline constexpr uint32_t kRedrawCursorLine = 0x0040;  // the text of the cursor line changed
inline constexpr uint32_t kRedrawCaret = 0x2000;       // the cursor moved
inline constexpr uint32_t kRedrawLines = 0x8000;       // several lines changed

inline constexpr int32_t kMaxWrapColumn = 1022;  // typed text past this column always wraps

// ---- settings read here ------------------------------------------------------------

struct EditSettings {
  int16_t scroll_margin = 0;       // rows kept between the cursor and the window edge
  char scroll_style = 'S';         // 'C' centres the cursor, 'S' scrolls to the margin
  uint8_t insert_mode = 1;         // 1 insert, 0 overwrite
  bool show_top_line = false;      // editor option "T": the top-of-file line is row 0
  int32_t line_count_display = 0;  // negative: loading counts no lines
  int32_t tab_stops[kTabStopCount] = {1,   9,   17,  25,  33,  41,  49,  57,  65,  73,  81,  89,  97,  105, 113,
                                      121, 129, 137, 145, 153, 161, 169, 177, 185, 193, 201, 209, 217, 225, 233};
  int32_t margins[3] = {1, 72, 1};  // left, right, new paragraph
};
extern EditSettings edit_settings;

// ---- the current line ------------------------------------------------------------------

struct CurrentLine {
  uint8_t dirty;      // the text holds edits not yet in the store
  BufferRec* buffer;  // the buffer the dirty text belongs to
  PosRecord* view;    // the view whose line it is
  LStrLine text;      // the line without end-of-line bytes
};
extern CurrentLine current_line;

// The view snapshot every primitive below works on.
struct ViewSnapshot {
  WindowObject* window;
  PosRecord* view;
  BufferRec* buffer;
  int32_t height;  // rows, at least 1
  int32_t width;   // columns
};
extern ViewSnapshot view_snap;

// Snapshots the window's view; false when it has none.
bool view_select(WindowObject* w);
bool view_select_current();
int32_t window_height_current();

// Reads the cursor line into the current-line text unless it is dirty.
int32_t line_load_current();
// First change of a clean line in an unmodified buffer: redraw byte, 0x0020.
void line_mark_dirty();
// Writes a dirty line back (line_replace_text); 0 or the store's error, after
// which the text stays dirty so nothing is lost.
int32_t line_flush_current();
// Flushes when the dirty line belongs to buf.
void line_flush_if(const BufferRec* buf);

// ---- cursor column and rows ---------------------------------------------------------------

BufferRec* view_set_cursor_col(int32_t col);
void view_set_cursor_row(int32_t row, int direction);
void view_place_row(int32_t row, int direction, PosRecord* pos);
// Places a window's view on the row its row field asks for (a row outside
// the window scrolls it), as the cursor moves do; the snapshot of the view
// being edited is left as it was.
void view_show_row(PosRecord* view, int direction);
void view_check_row(PosRecord* view);
void view_check_row_obj(WindowObject* w);
void view_clamp_row(PosRecord* view);
// Makes rows consistent with line numbers for one view, or (null) for every
// position of the buffer's ring.
void view_fix_rows(PosRecord* view, BufferRec* buf);
// Whether the window of a position shows the top-of-file line as row 0.
bool view_shows_top_line(const PosRecord* pos);

// ---- line moves --------------------------------------------------------------------------

using PosStepFn = int32_t (*)(PosRecord*, BufferRec*);
// Where a line move stops before its count: mode 1 at the first line whose
// width reaches col, mode 2 at the first with a non-blank within its first
// col columns; mode 0 never.
struct LineStop {
  int mode = 0;
  int32_t col = 0;
};
int32_t view_step_lines(PosStepFn step, int32_t n, int32_t* moved, LineStop stop = {});
int32_t view_move_lines(PosStepFn step, int32_t n, LineStop stop = {});
int32_t view_page(PosStepFn step);
int32_t view_cursor_lines(PosStepFn step, int32_t n, LineStop stop = {});
int32_t view_top_of_buffer();
int32_t view_bottom_of_buffer();

// ---- cursor within the line ---------------------------------------------------------------

void cursor_begin_line();
void cursor_end_line();
void cursor_left();
void cursor_right();
void cursor_next_tab_stop();
void cursor_prev_tab_stop();

// ---- typing and deleting ------------------------------------------------------------------

// Types one byte at the cursor (insert or overwrite, word wrap at the right
// margin). 0, or a store error (already shown, not fatal).
int32_t line_type_char(uint8_t ch);
void line_backspace();
void line_delete_char();
void line_delete_char_at(int32_t old_length, int32_t q);

// ---- whole-line operations ----------------------------------------------------------------

int32_t line_insert_after_cursor(const void* text, int32_t length);
// A negative length means a NUL-terminated text.
void line_replace_current(const void* text, int32_t length);
int32_t line_delete_current();
int32_t line_get_current_cstr(char* out, int32_t size);
int32_t buf_get_text_at(int32_t n, int64_t offset, char* out);

// ---- editor-API entries ---------------------------------------------------------------------

int32_t api_top_of_buffer();
int32_t api_bottom_of_buffer();
int32_t api_cursor_up(int32_t n);
int32_t api_cursor_down(int32_t n);

// Memory through the store's evicting allocator; freeing null does nothing.
void* store_alloc(size_t size);
void store_free(void* p);

// ---- redraw helpers ------------------------------------------------------------------------

void redraw_view_words();
void redraw_view_full();
void redraw_cursor_line();

// ---- undo ----------------------------------------------------------------------------------

// The undo log's part in deleting one byte with undo on: the change of the
// one old byte at 1-based q is recorded here, and the store then writes the
// line with undo off, so that each deletion is one undo step. Null: the
// store's own change record is written instead.
struct CurlineUndoHooks {
  void (*char_deleted)(BufferRec* buf, PosRecord* view, int32_t q, uint8_t old_byte);
};
CurlineUndoHooks& curline_undo_hooks();
