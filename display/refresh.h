// Refresh of editor windows: the wanted lines of a window's text display are
// built from its buffer (colour coded when the buffer has a lexer) and the
// display is updated. A refresh of the cursor line rebuilds only the rows
// where the cursor line is and was; a change of the line states of other
// lines, of the top line or of the horizontal scroll makes it a refresh of
// the whole window.
//
// A window normally shows its buffer from the cursor's line moved up by the
// cursor's row. When the user scrolls with the scroll bars the view keeps a
// saved scroll point (the top line's byte point and the zero-length lines
// above it at that point) and is drawn from there until a key returns it to
// the cursor. Start reading at disp_refresh_windows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "display/text_display.h"
#include "display/view_scroll.h"

struct WindowObject;
struct PosRecord;

// The text of the buffer's top-of-file line when the Top of File option is on.
inline constexpr const char* kTopOfFileText = "-------------- Top of File --------------";

// Options of the buffer's display byte: changed lines are marked (slots 12
// and 13), the cursor line is highlighted (slots 2 and 3).
inline constexpr uint8_t kDispChangedLines = 0x02;
inline constexpr uint8_t kDispCursorLine = 0x04;

struct EditorDisplay;

// What a window shows besides its text: its scroll bars and caption. The
// forms install these for windows on the screen; without them nothing is
// shown. set_scroll_bars returns true when showing them changed the
// window's size.
struct EditorChrome {
  bool (*set_scroll_bars)(EditorDisplay* ed, const ScrollBar& vertical, const ScrollBar& horizontal) = nullptr;
  void (*set_caption)(EditorDisplay* ed, const std::string& text) = nullptr;
  // The window is minimised ('I'), maximised ('M') or normal ('N').
  char (*state)(const EditorDisplay* ed) = nullptr;
  // Horizontal pixels per inch of the screen (the horizontal bar counts 1/300 inch).
  int32_t pixels_per_inch = 75;
};

struct EditorDisplay {
  WindowObject* window = nullptr;
  TextDisplay disp;
  int32_t first_col = 0;         // first visible column (horizontal scroll, in columns)
  int32_t last_cursor_row = -1;  // the row where the cursor line was last drawn
  int32_t rows_built = 0;        // wanted rows rebuilt by the last draw
  bool selection_drawn = false;  // the last draw showed a selection
  // The saved scroll point; scrolled is false when the view follows its cursor.
  bool scrolled = false;
  int64_t saved_point = 0;
  int32_t saved_zeros = 0;
  // The top line of the last whole draw: another top rebuilds every row.
  int64_t top_point = INT64_MIN;
  int32_t top_zeros = 0;
  int32_t cursor_row_shown = -1;  // the cursor's row on the screen, -1 when scrolled out of sight
  bool whole_pending = false;     // the next draw rebuilds every row (the view was scrolled)
  // The scroll bars as last set, and the caption last shown.
  ScrollBar vbar{0, 0, 0, 0, 1};
  ScrollBar hbar{0, 0, 0, 0, 1};
  bool bars_set = false;
  std::string caption;
  const EditorChrome* chrome = nullptr;
  void* owner = nullptr;  // the forms' record of the window
};

// Follows the cursor horizontally: true when the first visible column moved.
bool view_scroll_to_cursor(EditorDisplay* ed);
// Draws the window: whole (or only the cursor line's rows when cursor_only
// and nothing else changed), then places the caret.
void disp_draw_window(EditorDisplay* ed, bool cursor_only);

// The refresh after a command: the windows that the redraw mask and the
// buffers' redraw bytes name are drawn (the current one, then every other
// window showing a changed buffer), captions follow their buffers, the
// status-line fields follow the current window's cursor, and the mask's
// window bits are cleared. Windows not shown on the screen are left out by
// the caller.
void disp_refresh_windows(std::span<EditorDisplay* const> windows, EditorDisplay* current);

// The caption of the window's buffer: its name or "no-name<b%d>", " *" when
// modified (or when the current-line buffer holds its unsaved line).
std::string disp_window_caption(const EditorDisplay* ed);
// Shows the caption when it changed.
void disp_update_caption(EditorDisplay* ed);

// ---- scrolling without moving the cursor ----

// Saves the current top line as the scroll point (nothing when one is saved).
void view_save_scroll_point(EditorDisplay* ed);
// Back to the cursor: the cursor keeps its place on the screen when it is
// inside the scrolled view, else the window returns to it. The buffer is
// marked for redraw.
void view_restore_scroll_point(EditorDisplay* ed);
// The top line of the window into top: the saved point's line, or the
// cursor's line moved up by the cursor's row.
void view_top_position(EditorDisplay* ed, PosRecord* top);
// Moves the top line by n lines (negative: up), never above the first line
// shown nor below the top of the last page. True when the top moved.
bool view_scroll_lines(EditorDisplay* ed, int32_t n);
// Puts the top line at a vertical bar position (a line number, or a scaled
// byte point when the bar counts bytes).
bool view_scroll_to_bar(EditorDisplay* ed, int32_t position);
// Horizontal: moves the first visible column by n (negative: left), or to
// the column of a horizontal bar position.
bool view_hscroll_columns(EditorDisplay* ed, int32_t n);
bool view_hscroll_to_bar(EditorDisplay* ed, int32_t position);
