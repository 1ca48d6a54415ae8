// Buffers, views and the current window.
//
// Three handle tables hold the records (records never move, so rings keep
// plain pointers): window objects, buffers and positions. Every live buffer
// is in the ring of all buffers and owns one PosRecord of its own, the
// template from which new views are made; its place is saved there while no
// window shows the buffer. A view is a PosRecord owned by a window object and
// linked into two rings: the views of its window (win_next/win_prev) and the
// positions of its buffer (buf_next/buf_prev), so that it follows every edit.
//
// The current window is the object the editor works in; its shown view is the
// current view and that view's buffer the current buffer. The current line
// (curline.h) is flushed before the current window or its buffer changes.
//
// Start reading at buf_new, view_attach_buffer and buf_close.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/buffer_rec.h"
#include "text/cursor.h"
#include "text/prop_block.h"

struct XfWindow;  // a native window of the window system

// ---- window objects --------------------------------------------------------

// The fields of a window object that the text engine reads and writes. The
// forms layer owns the full record and will grow this one in place.
struct WindowObject {
  int32_t handle;
  int32_t type;             // 2 editor window (given when a view is first attached), 3 text box, 12 combo box
  PosRecord* view;          // the shown view (the window's cursor), null for windows without text
  WindowObject* edit_next;  // ring of windows that show buffers
  WindowObject* edit_prev;
  int32_t owner;         // owning object's handle, 0 none
  int32_t rows;          // height in text rows
  int32_t cols;          // width in columns
  int32_t line_height;   // pixels per text row
  int32_t prop19;        // 3 = a full editor window (top-of-file line, scroll margin)
  int32_t flags;         // kWinHidden
  int32_t scroll_count;  // lines a cursor move scrolled, consumed by the refresh
  int32_t scroll_row;
  uint8_t edit_mode;
  int32_t group;  // arrangement group number of an edit window, 0 none

  // The forms layer's part of the record (window objects, forms and
  // controls). Tree links are plain pointers: records never move.
  XfWindow* frame_window;   // outer native window, null while none
  XfWindow* client_window;  // inner native window (drawing and text)
  WindowObject* next;       // ring of one parent's children
  WindowObject* prev;
  WindowObject* parent;  // null for top-level objects
  WindowObject* first_child;
  PropertyBlock props;     // props.type repeats `type`
  int32_t layout_rect[4];  // x, y, width, height of the normal rectangle
  int32_t property58;      // combo box: the part that last had a mouse message
  int32_t list_part;       // combo box: its list part's id
  int32_t edit_part;       // combo box: its edit part's id
  int32_t colour_slot;
  int32_t focus_child;     // top level: the object inside that last had the focus
  int32_t last_mdi_form;   // frame object: the MDI child form made last
  int32_t scroll_scale;    // editor window: lines per vertical scroll unit
  int32_t name_index;      // top-level form: heap block of its name hash, 0 none
  int32_t template_index;  // names index of the form's template, 0 none
  int32_t free_string[2];  // heap handles of properties 152 and 153, 0 none
  int32_t owner_form_id;   // form: the object whose frame owns its window
  int32_t property88;
  int32_t menu;  // macro menu bar attached, 0 none
  int32_t v_scroll_range[2];
  int32_t h_scroll_range[2];
  uint32_t serial;   // creation serial: tells a reused id from the object it named
  bool* modal_done;  // the modal loop's end flag while it runs
  uint8_t mdi_form;
  uint8_t resizing;
  uint8_t changed;
  uint8_t modal_level;  // nesting level + 1 while shown modally
  uint8_t show_state;   // 'N', 'M' or 'I'
  uint8_t shows_default;
  uint8_t design_mode;
  uint8_t selected;
  uint8_t design_changed;
  uint8_t design_visible;
  uint8_t colour_set;
  uint8_t byte_property154;
  uint8_t redraw_on;
};

inline constexpr int32_t kWinHidden = 32;          // the placeholder editor window
inline constexpr int32_t kWinCreateEvents = 0x40;  // creation events were sent
inline constexpr int32_t kObjTypeEditor = 2;
inline constexpr int32_t kObjTypeTextBox = 3;
inline constexpr int32_t kObjTypeCombo = 12;

// Handle tables' grow steps: records come in blocks of this many.
inline constexpr int32_t kWindowGrow = 50;
inline constexpr int32_t kBufferGrow = 16;
inline constexpr int32_t kPosGrow = 64;

WindowObject* window_alloc_record();          // zeroed, or null when the table is full
void window_free_record(WindowObject* w);     // frees its views too
WindowObject* window_record(int32_t handle);  // null for a handle that is not live
// Slots of the window table ever handed out (never decreases): walks over all
// objects run over handles 0 to count - 1.
int32_t window_table_count();
PosRecord* pos_record(int32_t handle);
BufferRec* buf_record(int32_t handle);

// ---- records -----------------------------------------------------------------

// A zeroed PosRecord (column-tracking byte 1, display word 3 = -1, owner -1,
// line unknown) or null when the table is full.
PosRecord* pos_alloc();
// Unlinks the record from its rings and frees it.
void pos_free(PosRecord* pos);
// Copies place, cursor and display state; the destination keeps its handle,
// its ring links and its owner, so a linked record stays correctly linked.
void pos_copy(PosRecord* dst, const PosRecord* src);
// Copies the whole record but the handle, the ring links and the own position.
void buf_copy_record(BufferRec* dst, const BufferRec* src);
// Links a position into its buffer's ring and makes it a window ring of one.
void pos_link_new(PosRecord* pos, BufferRec* buf);
// Window rings of views.
void view_link_after(PosRecord* view, PosRecord* after);
void view_unlink_from_window(PosRecord* view);
// The ring of windows that show buffers.
void window_link_edit_list(WindowObject* w);
void window_unlink_edit_list(WindowObject* w);
WindowObject* window_edit_list_head();

// A new buffer (no text yet, store defaults, editing defaults) with its own
// position, linked into the ring after the buffer the current window shows
// (else after the first buffer shown by any window, else alone). Null when a
// table is full.
BufferRec* buf_new();
// Frees the buffer-local block, the own position and the record and unlinks
// it from the ring. The store must have released the text first.
void buf_free(BufferRec* buf);
BufferRec* buf_ring_head();
int buf_live_count();

// ---- the current window ---------------------------------------------------------

WindowObject* window_current();
// The current view's buffer, or null.
BufferRec* buf_current();
PosRecord* view_current();

// The view's window becomes current with the view shown; a buffer's own
// position takes the current window as owner. Swaps buffer-local variables.
void view_activate(PosRecord* view);
// Flushes the current line and makes the object current: an object with a
// view activates it (flag 2 keeps the buffer's redraw byte), one without
// saves the old buffer's locals. Null makes no window current.
void window_set_current(WindowObject* obj, int flags);
// window_set_current with a full redraw requested.
void window_make_current_redraw(WindowObject* obj);
// Saves the previous buffer's locals and loads the current one's when they
// differ; nothing while an edit command or a close runs (nested-edit byte).
void buf_swap_locals(BufferRec* previous);

// A nested switch for a macro that acts on another window.
struct WindowSave {
  int32_t current;      // handle of the window current before, 0 none
  uint32_t generation;  // its slot generation, to notice a destroyed window
  int32_t object;
  uint32_t bits;  // update bits at the push
};
void window_push_current(WindowObject* obj, WindowSave& save);
// Restores the saved window if it is still live and merges the saved update
// bits back (all but 0x100).
void window_pop_current(const WindowSave& save);

// ---- showing buffers --------------------------------------------------------------

// Shows a buffer in the current window. Flags 0 and 2 re-point the window's
// shown view (flag 2: without saving its place into the old buffer's own
// position); any other flags, or a window without a view, make a new view from
// the template. keep_window: the window's type, native window and rows are
// left alone. Returns 0; -2073 without a current window; -2010 "Too many
// selections" when no position is free; -2028 "Too many windows" when the
// window cannot be created (the new view is taken back).
int32_t view_attach_buffer(const PosRecord* tmpl, BufferRec* buf, PosRecord** view_out, int flags, bool keep_window);
// view_attach_buffer with the buffer's own position as template; the current
// line is flushed first and locals are swapped after.
int32_t view_show_buffer(BufferRec* buf, int flags);

// ---- window ids ------------------------------------------------------------------

// A window object's handle (> 0) or the complement of a view's handle (< 0).
int32_t window_id_of(const WindowObject* obj);
bool window_id_is_valid(int32_t id);
// The view a window id names (a window's shown view), or null.
PosRecord* window_id_view(int32_t id);
// Makes the window or view current; -3015 for a bad id.
int32_t window_id_activate(int32_t id);

// ---- lookup by name -----------------------------------------------------------------

inline constexpr int kMatchHidden = 1;  // include hidden buffers
inline constexpr int kMatchExact = 2;   // whole file name, not a prefix
// The next live buffer after the saved cursor (restart: from the first) whose
// name, blanks stripped from both ends, matches; null when none is left.
BufferRec* buf_match_next(std::string_view name, bool restart, int flags);
// The own position of the first buffer whose name is exactly that file name,
// hidden buffers included; the cursor of buf_match_next is left as it was.
PosRecord* buf_find(std::string_view name);

// Window lookup by the name of the buffer shown (bit values of the options
// I, X, H, E, N, A). The window records carry no property block yet, so I
// and A change nothing: every window is of the one frame.
inline constexpr int kWinMatchI = 1;
inline constexpr int kWinMatchExact = 2;
inline constexpr int kWinMatchHidden = 4;
inline constexpr int kWinMatchEditMode = 8;
inline constexpr int kWinMatchNotEditMode = 16;
inline constexpr int kWinMatchAllGroups = 32;
// The next window after the saved cursor (restart: from the first) that shows
// a buffer whose name matches; null when none is left.
WindowObject* window_match_next(std::string_view name, bool restart, int flags);
// The first such window; the cursor of window_match_next is left as it was.
WindowObject* window_find(std::string_view name, int flags);

// ---- closing, creating, naming -----------------------------------------------------

// Closes a buffer everywhere: every view that shows it is switched to the
// previous buffer of the ring (hidden ones only when it was the last visible
// buffer), its storage is released and its record freed. Nothing for the
// command-line buffer, the process buffer or the keyboard-macro buffer.
// When it is the only buffer, its views are freed and their windows show
// nothing. Returns 0, or 1 when the buffer was left open.
int32_t buf_close(BufferRec* buf);

struct BufCreateArgs {
  std::string_view name;  // at most 256 bytes are kept
  int fd = -1;            // open file, -1 a new buffer without one
  int32_t record_len = 0;
  bool read_only = false;
  bool expand_tabs = false;
  int32_t undo_steps = 0;
  bool no_reread = false;
  bool ctrlz_stop = false;
  int load_mode = 0;  // 0 normal, 1 count lines while reading, 2 raw
  uint8_t eol[2] = {'\n', '\n'};
  bool eol_given = false;
  int32_t keep_open = 0;
  WindowObject* window = nullptr;  // the window the buffer is made for, if any
  bool count_lines = false;
};
// Creates and loads a buffer. The file is owned by the buffer from the call
// on: on any failure it is closed. -2009 "Too many files" when no record is
// free; the load's error (-33, -2029) with the buffer freed.
int32_t buf_create_from_file(BufferRec** out, const BufCreateArgs& args);
// The mode name, at most 20 bytes (cut); status redraw bit 0x80.
void buf_set_mode_name(BufferRec* buf, std::string_view name);
// Renames the current buffer (at most 256 bytes) unless the name is the same
// file name: buffer redraw, bit 0x20, backup state 2. -2073 without a buffer.
int32_t buf_set_name_current(std::string_view name);

// Adds a buffer-local variable to every live buffer (buflocal_port.h); 0, or
// -2029 at the first failure.
int32_t buf_add_local_var_all(int32_t names_index, const void* value, int32_t length);

// After a key or mouse event on an editor window while no macro runs: makes
// it current and brings the other views of its buffer up to date.
void view_sync_idle(WindowObject* obj);
// Closes the current window when it shows no buffer.
void window_close_if_no_view();

// ---- switching (the cores of the buffer and view built-ins) ---------------------------

// Shows the next (dir > 0) or previous buffer of the ring in the current view,
// skipping hidden ones unless `hidden`; show_flags as view_show_buffer;
// keep_redraw keeps the new buffer's redraw byte. -2073 without a view.
int32_t buf_switch(int dir, bool hidden, int show_flags, bool keep_redraw);
// Activates the next or previous view of the current window's ring; -2073 without a view.
int32_t view_switch(int dir);
// Closes the current view: with more views in the window the next is shown,
// otherwise the window is closed. -2073 without a view, or when the window
// has an owner and is not a combo box.
int32_t view_quit();
// buf_close on the current buffer; -2073 without a view.
int32_t buf_delete_current();

// ---- neighbours ------------------------------------------------------------------------

// The selections' part in closing a buffer and in a key on a view (the
// text engine's own selections install these; each may stay null). What
// the layers above answer is in buflocal_port.h, process_port.h and
// kbdmac_port.h.
struct BufHooks {
  void (*deselect_buffer)(BufferRec* buf);  // selections of a closing buffer
  void (*reextend_selection)();             // the active selection follows the cursor
};
BufHooks& buf_hooks();

// The command-line buffer (never closed here), null none.
extern BufferRec* buf_cmdline;
// 1 while an edit command or a close switches views (no locals swapping).
extern uint8_t buf_nested_edit;

// Frees every window, buffer and position and resets the globals (tests and exit).
void buf_shutdown();
// Checks the rings and tables; an empty string or the first fault found.
std::string buf_check();
