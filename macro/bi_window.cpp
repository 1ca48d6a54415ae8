// The window seam of the text built-ins and its stand-in (see bi_window.h).
#include "macro/bi_window.h"

#include "base/messages.h"
#include "text/buffer.h"
#include "text/curline.h"

namespace {

WindowObject* g_window = nullptr;
// Its handle, kept apart: the record may be freed behind our back (a
// shutdown of the buffers), so it is never read to ask whether it lives.
int32_t g_window_handle = 0;
std::string g_clip_header, g_clip_text;

int32_t standin_line_height(const WindowObject* w) {
  return w && w->line_height > 0 ? w->line_height : kStandinLineHeight;
}

bool standin_is_text_box(const WindowObject*) { return false; }

int32_t standin_textbox_key(WindowObject*, TextBoxKey) { return ERR_NOT_ALLOWED_ON_OBJECT; }

WindowObject* standin_new_edit_window(const EditPlacement&) {
  WindowObject* w = bi_standin_window();
  if (w && w != window_current()) window_set_current(w, 0);
  return w;
}

// The one window has no modal shows and no owner: closing it quits its
// views, as the last view's quit closes a window.
int32_t standin_close_current(const std::string*, int32_t) {
  WindowObject* w = window_current();
  if (!w) return 0;
  if (w->owner > 0 && w->type != kObjTypeCombo) return ERR_NOT_ALLOWED_ON_OBJECT;
  while (w->view && window_current() == w)
    if (view_quit() != 0) break;
  return 0;
}

void standin_focus(WindowObject*) {}

int32_t standin_clipboard_put(std::string_view header, std::string_view text) {
  g_clip_header.assign(header);
  g_clip_text.assign(text);
  return 0;
}

constexpr BiWindowSeam kStandin = {standin_line_height,     standin_is_text_box,   standin_textbox_key,
                                   standin_new_edit_window, standin_close_current, standin_focus,
                                   standin_clipboard_put};
BiWindowSeam g_seam = kStandin;

WindowObject* edit_window_hook(const EditPlacement& place) { return g_seam.new_edit_window(place); }

}  // namespace

BiWindowSeam& bi_window_seam() { return g_seam; }

void bi_window_reset() {
  g_seam = kStandin;
  g_window = nullptr;
  g_window_handle = 0;
  g_clip_header.clear();
  g_clip_text.clear();
}

void bi_window_install() {
  edit_set_window_hook(edit_window_hook);
  if (!window_current()) {
    if (WindowObject* w = bi_standin_window()) window_set_current(w, 0);
  }
}

WindowObject* bi_standin_window() {
  if (g_window && window_record(g_window_handle) == g_window) return g_window;
  g_window = window_alloc_record();
  if (!g_window) return nullptr;
  g_window_handle = g_window->handle;
  g_window->rows = kStandinRows;
  g_window->cols = kStandinCols;
  g_window->line_height = kStandinLineHeight;
  g_window->prop19 = 3;
  return g_window;
}

const std::string& bi_standin_clipboard_header() { return g_clip_header; }
const std::string& bi_standin_clipboard_text() { return g_clip_text; }
