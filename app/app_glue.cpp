#include "app/app_glue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// The macro runtime and text engine first: the window system's headers bring in Xlib.
#include "base/messages.h"
#include "macro/error_port.h"
#include "macro/exit_path.h"
#include "macro/screen_port.h"
#include "macro/startup.h"
#include "macro/state_settings.h"
#include "macro/window_port.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/edit_cmd.h"
#include "text/edit_window_port.h"

#include "app/app_editor.h"
#include "app/app_frame.h"
#include "app/app_mdi.h"
#include "app/native_windows.h"
#include "display/cmd_history.h"
#include "display/display_settings.h"
#include "display/msgline.h"
#include "display/refresh.h"
#include "forms/macro_menu.h"
#include "forms/msgbox.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "winsys/focus.h"
#include "winsys/mdi.h"
#include "winsys/msgbox.h"
#include "winsys/winapi.h"
#include "winsys/x_event_codes.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

// A window made before any other is current: the size the editor starts with.
constexpr int32_t kFirstRows = 25, kFirstCols = 80, kFirstLineHeight = 16;

}  // namespace

// ---- the editor windows of the text built-ins (macro/window_port.h, text/edit_window_port.h)

int32_t window_line_height(const WindowObject* w) {
  if (const EditorDisplay* ed = app_editor_display(w); ed && ed->disp.line_height > 0) return ed->disp.line_height;
  return w && w->line_height > 0 ? w->line_height : kFirstLineHeight;
}

// Every edit window request gets a record of its own; its native window
// follows when the first view is attached.
WindowObject* edit_window_new(const EditPlacement&) {
  WindowObject* cur = window_current();
  WindowObject* w = window_alloc_record();
  if (!w) return nullptr;
  w->rows = cur ? cur->rows : kFirstRows;
  w->cols = cur ? cur->cols : kFirstCols;
  w->line_height = cur ? cur->line_height : kFirstLineHeight;
  w->prop19 = 3;
  window_set_current(w, 0);
  return w;
}

// The command line's field for the command line (a prompt waits there);
// an editor window is activated in the frame.
void window_focus(WindowObject* w) {
  if (w && w == obj_command_line()) {
    if (XfWindow* field = msgline_command_window()) xfSetFocus(field);
    return;
  }
  if (app_editor_display(w)) app_editor_activate(w);
}

// ---- the screen and the pointer of the small built-ins, from the X server (macro/screen_port.h)

int32_t screen_dimension(bool height, char) {
  Display* d = xf_display();
  if (!d) return height ? 768 : 1024;
  const int s = DefaultScreen(d);
  return height ? DisplayHeight(d, s) : DisplayWidth(d, s);
}
void pointer_move(int32_t x, int32_t y) {
  if (Display* d = xf_display()) {
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
    XFlush(d);
  }
}
void pointer_position(int32_t* x, int32_t* y) {
  *x = *y = 0;
  Display* d = xf_display();
  if (!d) return;
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask)) *x = rx, *y = ry;
}
void screen_refresh_before_wait() { app_refresh(); }

// The stop icon and an OK button.
constexpr int32_t kErrorBoxStyle = 0x10;

// A macro error that is to be shown gets its box; the others, and any
// without a display, wait on the message line.
void vm_show_error(int32_t code, bool boxed) {
  if (boxed && xf_msgbox_can_show()) {
    app_message_box_styled(msg_text(code), "Zorvex-C Error", kErrorBoxStyle);
    return;
  }
  app_show_error(code);
}

void app_install_glue() {
  app_set_native_windows();

  // The input layer counts double clicks with the editor's own setting.
  evt_last_event().double_click_time = static_cast<uint16_t>(settings_double_click_ms(settings_live()));

  // Forms and controls get windows of the control classes.
  obj_window_setup();
}
