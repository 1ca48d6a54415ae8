#include "app/app_glue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// The macro runtime and text engine first: the window system's headers bring in Xlib.
#include "macro/bi_small.h"
#include "macro/bi_window.h"
#include "macro/catch.h"
#include "macro/exit_path.h"
#include "macro/startup.h"
#include "macro/state_settings.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/edit_cmd.h"

#include "app/app_editor.h"
#include "app/app_frame.h"
#include "app/app_mdi.h"
#include "app/native_windows.h"
#include "display/cmd_history.h"
#include "display/display_settings.h"
#include "display/msgline.h"
#include "display/refresh.h"
#include "forms/macro_menu.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "winsys/mdi.h"
#include "winsys/winapi.h"
#include "winsys/x_event_codes.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

// ---- the window of the text built-ins

int32_t line_height_of(const WindowObject* w) {
  if (const EditorDisplay* ed = app_editor_display(w); ed && ed->disp.line_height > 0) return ed->disp.line_height;
  return w && w->line_height > 0 ? w->line_height : kStandinLineHeight;
}

// Every edit window request gets a record of its own; its native window
// follows when the first view is attached.
WindowObject* new_edit_window(const EditPlacement&) {
  WindowObject* cur = window_current();
  WindowObject* w = window_alloc_record();
  if (!w) return nullptr;
  w->rows = cur ? cur->rows : kStandinRows;
  w->cols = cur ? cur->cols : kStandinCols;
  w->line_height = cur ? cur->line_height : kStandinLineHeight;
  w->prop19 = 3;
  window_set_current(w, 0);
  return w;
}

void focus_window(WindowObject* w) {
  if (app_editor_display(w)) app_editor_activate(w);
}

// ---- messages

void show_code(int code, bool) { app_show_error(code); }

// ---- the screen and the pointer, from the X server

int32_t screen_extent(bool height, char) {
  Display* d = xf_display();
  if (!d) return height ? 768 : 1024;
  const int s = DefaultScreen(d);
  return height ? DisplayHeight(d, s) : DisplayWidth(d, s);
}
void set_pointer(int32_t x, int32_t y) {
  if (Display* d = xf_display()) {
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
    XFlush(d);
  }
}
void get_pointer(int32_t* x, int32_t* y) {
  *x = *y = 0;
  Display* d = xf_display();
  if (!d) return;
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask)) *x = rx, *y = ry;
}

}  // namespace

void app_install_glue() {
  app_set_native_windows();

  BiWindowSeam& b = bi_window_seam();
  b.line_height = line_height_of;
  b.new_edit_window = new_edit_window;
  b.focus = focus_window;

  SmallSeam sm{};
  sm.screen_extent = screen_extent;
  sm.set_pointer = set_pointer;
  sm.get_pointer = get_pointer;
  sm.refresh = app_refresh;
  small_seam_install(sm);
  // The input layer counts double clicks with the editor's own setting.
  evt_last_event().double_click_time = static_cast<uint16_t>(settings_double_click_ms(settings_live()));

  VmErrorHooks h{};
  h.show = show_code;
  vm_set_error_hooks(h);
  // Errors of the text engine outside a macro show on the message line too.
  msgline_set_stop_hook([](int32_t code) { app_show_error(code); });
  // Last, over the seams above: forms and controls get windows of the
  // control classes, their text boxes take keys, modal shows wait here.
  obj_window_setup();
}
