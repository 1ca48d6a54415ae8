// Control operations: the thin calls that built-ins and properties use on
// an object's native windows. Text boxes are driven through their input
// field's edit messages (the field's model alone when the box has no
// window yet), positions 1-based as macros see them; scroll-bar ranges;
// the window state; small queries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/buffer.h"

// ---- text boxes (a combo box: its edit part) ----
void ctl_text_insert(WindowObject* obj, std::string_view text);
void ctl_text_delete_char(WindowObject* obj);
void ctl_text_cursor_left(WindowObject* obj);
void ctl_text_cursor_right(WindowObject* obj);
void ctl_text_backspace(WindowObject* obj);
void ctl_text_set_insert_mode(WindowObject* obj, bool insert);
bool ctl_text_get_insert_mode(WindowObject* obj);
// Mode 0: the pixel x of column `value`; mode 77: the column at pixel x
// `value`. Results + 1, negative ones as they are.
inline constexpr int32_t kColToX = 0;
inline constexpr int32_t kXToCol = 77;
int32_t ctl_text_col_to_x(WindowObject* obj, int32_t value, int32_t mode);
// Selection from start to end (1-based).
void ctl_text_set_sel(WindowObject* obj, int32_t start, int32_t end);
void ctl_text_get_sel(WindowObject* obj, int32_t* start, int32_t* end);
// At most 1024 bytes.
std::string ctl_text_get_text(WindowObject* obj);
// Sets the text; with start 1 or more selects start to end (end below 0: start).
void ctl_text_set_text(WindowObject* obj, std::string_view text, int32_t start, int32_t end);
// The outer window's text, at most 1024 bytes.
std::string ctl_window_text(WindowObject* obj);

// ---- scroll bars ----

// What setting a range does to a bar whose range is cur_min..cur_max: the
// mask of the change (1 range, 2 page; 0: nothing is sent) and the values.
struct ScrollRangeChange {
  uint32_t mask = 0;
  int32_t min = 0, max = 0, page = 0;
};
ScrollRangeChange scroll_range_change(int32_t cur_min, int32_t cur_max, int32_t min, int32_t max, int32_t page,
                                      bool force);
// bar 'H' / 'V': the frame's bar parts of the object's window; otherwise
// the object's own window.
void ctl_scroll_set_range(WindowObject* obj, int32_t min, int32_t max, int32_t bar, int32_t page, bool force);

// ---- window state and small queries ----
char obj_window_state(WindowObject* obj);            // 'N', 'I' or 'M'
void obj_set_window_state(WindowObject* obj, char);  // 'I' minimises, 'M' maximises, else restores
// Frames of the picture strip: property 83 in 1..200, else 1; a picture
// of style 1 always one.
int32_t obj_picture_frame_count(const WindowObject* obj);
bool obj_is_changed(const WindowObject* obj);
// Marks the object changed (once) and invalidates a band at half its height.
void obj_mark_changed_band(WindowObject* obj);
