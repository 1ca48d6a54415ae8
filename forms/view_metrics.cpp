// Pixel metrics of an object's text (see view_metrics.h).
#include "forms/view_metrics.h"

#include <algorithm>

#include "display/refresh.h"
#include "forms/view_port.h"
#include "text/cursor.h"

namespace {

// The text display of an editor window once it is laid out; null otherwise.
const TextDisplay* display_of(const WindowObject* w) {
  const EditorDisplay* ed = view_editor_display(w);
  return ed && ed->disp.char_width > 0 ? &ed->disp : nullptr;
}

}  // namespace

int32_t view_h_offset(WindowObject* w) {
  const EditorDisplay* ed = view_editor_display(w);
  return ed && ed->disp.char_width > 0 ? ed->first_col * ed->disp.char_width : 0;
}

int32_t view_cursor_x(WindowObject* w) {
  if (!w->view) return 0;
  const TextDisplay* d = display_of(w);
  if (!d) return w->view->column * kGridCharWidth;
  return d->text_left + w->view->column * d->char_width - view_h_offset(w);
}

int32_t view_area_width(const WindowObject* w) {
  const TextDisplay* d = display_of(w);
  return d ? d->area_width : w->cols * kGridCharWidth;
}

// x counts from the start of the text (the window's x plus the offset).
int32_t view_column_at_x(WindowObject* w, int32_t x) {
  const TextDisplay* d = display_of(w);
  if (!d) return (x + kGridCharWidth / 2 - 1) / kGridCharWidth;
  return std::max(0, x - d->text_left + d->char_width / 2 - 1) / d->char_width;
}

int32_t view_char_width(const WindowObject* w) {
  const TextDisplay* d = display_of(w);
  return d ? d->char_width : kGridCharWidth;
}

bool view_fixed_pitch(const WindowObject* w) {
  const TextDisplay* d = display_of(w);
  return !d || d->fixed_pitch != 0;
}

int32_t view_extra_widths(const WindowObject*) { return 0; }
int32_t view_v_scroll_max(const WindowObject*) { return 0; }
int32_t view_h_scroll_max(const WindowObject*) { return 0; }
