// The owners of the default fonts the font built-in sets and reads back
// (the display's port, display/default_font_port.h): the frame's menus
// (500), the window system's font elements 2, 3 and 4 (502, 504, 506), and
// the message, status and command lines (8, 10, 12), which the frame lays
// out again in the new font.
#include <string>

#include "display/colours.h"
#include "display/default_font_port.h"
#include "display/msgline.h"
#include "forms/app_port.h"
#include "forms/macro_menu.h"
#include "forms/objects.h"
#include "winsys/fonts.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/xfsys.h"

namespace {

constexpr int32_t kMenuFont = kMenuFontId * 2;

int32_t frame_menu() {
  const WindowObject* f = obj_frame_object();
  return f ? f->menu : 0;
}

// The window system's element of ids 502, 504 and 506; -1 for others.
int32_t sys_element(int32_t id) { return id == 502 || id == 504 || id == 506 ? (id - 498) / 2 : -1; }

}  // namespace

void default_font_changed(int32_t id) {
  const DefaultFont* f = default_font(id / 2);
  if (!f) return;
  if (id == kMenuFont) {
    if (frame_menu()) menu_set_font(frame_menu(), f->face, f->size * 10, f->flags);
  } else if (const int32_t e = sys_element(id); e >= 0) {
    if (xf_display()) WinSetSysFont(e, f->face, f->size * 10, f->flags);  // fonts need the server
  } else if (XfWindow* client = app_frame_client(); client && msgline_message_window()) {
    // The bands' heights follow their fonts: the frame's client lays them
    // and the windows above them out again, then they repaint.
    WinSendMsg(client, ZWM_SIZE, 0, 0);
    msgline_redraw_bands();
  }
}

bool default_font_query(int32_t id, std::string* face, int32_t* tenths, uint32_t* flags) {
  if (id == kMenuFont) return frame_menu() && menu_get_font(frame_menu(), face, tenths, flags) == 0;
  const int32_t e = sys_element(id);
  if (e < 0 || !xf_sys_font_record(e)) return false;  // an element never set has nothing to tell
  WinQuerySysFont(e, face, tenths, flags);
  return true;
}
