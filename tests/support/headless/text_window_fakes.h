// The windows of the text built-ins in programs without them: one window of
// 25 rows and 80 columns answers every request for a new edit window (unless
// a test gives its own answer), a window's rows are 16 pixels unless it says
// otherwise, and the focus and the clipboard are recorded for a test to read.
#pragma once

#include <cstdint>
#include <string>

#include "text/buffer.h"

struct EditPlacement;

namespace textwintest {

inline constexpr int32_t kRows = 25;
inline constexpr int32_t kCols = 80;
inline constexpr int32_t kLineHeight = 16;

struct FakeTextWindows {
  // When set, answers edit_window_new; null: the one window, made current.
  WindowObject* (*make)(const EditPlacement& place) = nullptr;
  WindowObject* window = nullptr;  // the one window, made on first use
  // Its handle, kept apart: the record may be freed behind our back (a
  // shutdown of the buffers), so it is never read to ask whether it lives.
  int32_t handle = 0;
  int new_windows = 0;              // edit windows asked for
  WindowObject* focused = nullptr;  // the last window given the focus
  int focus_count = 0;              // times the focus was given
  std::string clip_header;          // the last header put on the clipboard
  std::string clip_text;            // and its text
};
inline FakeTextWindows windows;

// The one window (made again once its record was freed); null when the
// window table is full.
inline WindowObject* one_window() {
  if (windows.window && window_record(windows.handle) == windows.window) return windows.window;
  WindowObject* w = window_alloc_record();
  windows.window = w;
  windows.handle = w ? w->handle : 0;
  if (!w) return nullptr;
  w->rows = kRows;
  w->cols = kCols;
  w->line_height = kLineHeight;
  w->prop19 = 3;
  return w;
}

// Nothing asked or recorded yet, no window made.
inline void install() { windows = FakeTextWindows{}; }

// install(), then the one window becomes current when none is, as the
// editor's first window does at start-up.
inline void start() {
  install();
  if (!window_current())
    if (WindowObject* w = one_window()) window_set_current(w, 0);
}

}  // namespace textwintest
