#include "app/app_main.h"
#include "forms/macro_menu.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_editor.h"
#include "app/app_frame.h"
#include "app/app_glue.h"
#include "app/signal_recovery.h"
#include "base/le.h"
#include "base/messages.h"
#include "display/colours.h"
#include "display/lexer.h"
#include "display/msgline.h"
#include "display/refresh.h"
#include "display/textctl.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/timers.h"
#include "macro/dll.h"
#include "macro/exit_path.h"
#include "macro/startup.h"
#include "winsys/focus.h"
#include "winsys/fonts.h"
#include "winsys/message_numbers.h"
#include "winsys/msgbox.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/x_event_codes.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

constexpr uint32_t kFrameFlags = kFrameTitle | kFrameSysMenu | kFrameMinButton | kFrameMaxButton | kFrameSizeBorder;
constexpr int32_t kFrameWidth = 800, kFrameHeight = 600;

// The editor's text font: the window system's fixed face at its size.
const FontAttrs* editor_font() {
  const XfDefaultFonts& f = xf_defaults();
  FontDescription d = font_description(f.fixed_name.c_str(), static_cast<int32_t>(f.size / 10), 0);
  const int32_t slot = font_cache_find(&d);
  const FontAttrs* a = slot >= 0 ? font_cache_attrs(slot) : nullptr;
  if (!a) return nullptr;
  // The cache hands out one shared record that the next lookup (the message
  // and status lines' fonts) overwrites: the editor keeps its own copy.
  static FontAttrs kept;
  kept = *a;
  return &kept;
}

}  // namespace

void app_release_for_exit() {
  dll_unload_all();      // extension libraries first: they may hold the rest
  obj_timer_free_all();  // no macro timer fires while the editor goes
  app_release_gui();     // pictures, menus and the frame's bar
}

void app_apply_settings(const SettingsBlock& s) {
  // Fonts 504 and 506: the window system's elements 3 and 4 and the
  // records the font built-in reports.
  for (int k = 0; k < 2; ++k) {
    const std::string_view face = settings_font_face(s, k + 1);
    if (face.empty()) continue;
    const uint8_t* f = s.data() + (k == 0 ? SET_FONT1 : SET_FONT2) + kSettingsFontFace;
    const int32_t points = le::get_u16(f);
    const uint32_t style = le::get_u16(f + 2);
    const std::string name(face.substr(0, 63));
    if (xf_display()) WinSetSysFont(k == 0 ? 3 : 4, name.c_str(), points * 10, style);  // fonts need the server
    if (DefaultFont* rec = default_font(k == 0 ? 252 : 253)) {
      std::snprintf(rec->face, sizeof rec->face, "%s", name.c_str());
      rec->size = points;
      rec->flags = style;
    }
  }
  EditorOptions& o = editor_options();
  o.frame_border = s[SET_OPTION_D];
  o.fill_char = static_cast<char>(s[SET_OPTION_N]);
  for (int i = 0; i < kSettingsColourPairs; ++i)
    colour_pair_set(i, ColourPair{settings_colour(s, i, false), settings_colour(s, i, true)});
  lex_default_class_attrs();  // the twelve colour classes on their slots
  evt_last_event().double_click_time = static_cast<uint16_t>(std::min<uint32_t>(settings_double_click_ms(s), 0xFFFF));
  startup_insert_mode = settings_insert_mode(s) ? 1 : 0;
}

int app_main(StartupConfig* cfg) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fputs("zorvex: no X display (DISPLAY is not set)\n", stderr);
    return 1;
  }
  xfInitX();
  app_install_signal_recovery();
  app_install_glue();
  // The lexers beside the program colour the files by their names; a file
  // there that cannot be used is said on standard error, and the editor
  // goes on without colours.
  const std::string lexers = cfg->install_dir + "zorvex.zlx";
  if (const int32_t e = lex_load_file(lexers.c_str()); e != 0 && e != ERR_FILE_NOT_FOUND) {
    const std::string_view why = msg_text(e);
    std::fprintf(stderr, "zorvex: %s: %.*s\n", lexers.c_str(), static_cast<int>(why.size()), why.data());
  }

  WinRegisterClass(kFrameClass, app_mdiframe_proc, 0, 0x10000);
  WinRegisterClass(kEditorClass, app_mdichild_proc, 0, static_cast<int32_t>(0x80010000u));
  const FontAttrs* font = editor_font();
  app_set_editor_font(font);
  app_frame_set_startup(cfg);

  // The dialog font, the search path and the frame where the restore file
  // left it (the default place and size when it says nothing for this
  // screen).
  Display* dpy = xf_display();
  const RestoreScreen rs =
      startup_restore_screen(*cfg, DisplayWidth(dpy, DefaultScreen(dpy)), DisplayHeight(dpy, DefaultScreen(dpy)));
  if (rs.dialog_font) {
    WinSetSysFont(2, rs.dialog_face.c_str(), rs.dialog_size * 10, static_cast<uint32_t>(rs.dialog_style));
    if (DefaultFont* rec = default_font(251)) {
      std::snprintf(rec->face, sizeof rec->face, "%s", rs.dialog_face.c_str());
      rec->size = rs.dialog_size;
      rec->flags = static_cast<uint32_t>(rs.dialog_style);
    }
  }
  const bool restored = rs.state != 0 && rs.width > 0 && rs.height > 0;
  // An iconic frame is shown normal: the frame is waited for on the screen.
  const uint32_t create = rs.state == 'M' ? kCreateMaximised : 0;
  XfWindow* frame = WinCreateStdWindow(create, kFrameFlags, kFrameClass, "Zorvex", 0, restored ? rs.x : kWinDefaultPos,
                                       restored ? rs.y : kWinDefaultPos, restored ? rs.width : kFrameWidth,
                                       restored ? rs.height : kFrameHeight, nullptr, 1, nullptr, nullptr);
  if (!frame) {
    std::fputs("zorvex: the editor's frame could not be made\n", stderr);
    return 1;
  }
  xfSetAppFrame(frame);
  XfWindow* client = WinQueryFrameClient(frame);
  app_frame_set_client(client, font);
  WinSendMsg(client, ZWM_SIZE, 0, 0);
  xfShowFrameAndWait(frame);
  app_frame_start();  // when the first paint has not come yet

  XfMessage m{};
  for (;;) {
    if (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  }
}
