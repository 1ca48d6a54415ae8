// Settings the display built-ins keep and the rest of the editor reads:
// caret shapes and the screen mode.
#pragma once

#include <cstdint>

struct CaretShapes {
  // (top, bottom) pairs in thousandths of the row height: insert, overwrite,
  // insert past the end of the line, overwrite past the end.
  uint16_t shape[8] = {450, 1000, 750, 1000, 450, 1000, 750, 1000};
  bool vertical_bar = true;
};
CaretShapes& caret_shapes();

struct DisplayModes {
  char screen_mode = 'C';  // 'C' colour, 'M' monochrome
};
DisplayModes& display_modes();

// Raised around a refresh the built-in runs (what it runs: refresh_port.h).
extern int32_t refresh_builtin_depth;

// Back to the start-up values (tests).
void display_settings_reset();
