// Refresh of editor windows: the wanted lines of a window's text display are
// built from its buffer (colour coded when the buffer has a lexer) and the
// display is updated. A refresh of the cursor line rebuilds only the rows
// where the cursor line is and was; a change of the line states of other
// lines makes it a refresh of the whole window.
#pragma once

#include <cstdint>

#include "display/text_display.h"

struct WindowObject;

struct EditorDisplay {
  WindowObject* window = nullptr;
  TextDisplay disp;
  int32_t first_col = 0;         // first visible column (horizontal scroll, in columns)
  int32_t last_cursor_row = -1;  // the row where the cursor line was last drawn
  int32_t rows_built = 0;        // wanted rows rebuilt by the last draw
  bool selection_drawn = false;  // the last draw showed a selection
};

// Follows the cursor horizontally: true when the first visible column moved.
bool view_scroll_to_cursor(EditorDisplay* ed);
// Draws the window: whole (or only the cursor line's rows when cursor_only
// and nothing else changed), then places the caret.
void disp_draw_window(EditorDisplay* ed, bool cursor_only);
