#include "forms/app_main.h"

#include "forms/clipboard.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/lexer.h"
#include "forms/app_editor.h"
#include "forms/app_frame.h"
#include "forms/app_glue.h"
#include "macro/startup.h"
#include "winsys/focus.h"
#include "winsys/fonts.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
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

int app_main(StartupConfig* cfg) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fputs("zorvex: no X display (DISPLAY is not set)\n", stderr);
    return 1;
  }
  xfInitX();
  app_install_glue();
  // Copies and pastes go through the X selections, so other programs see them.
  clip_backend_install(clip_backend_x());
  // The lexers beside the program colour the files by their names.
  lex_load_file((cfg->install_dir + "zorvex.zlx").c_str());

  WinRegisterClass(kFrameClass, app_mdiframe_proc, 0, 0x10000);
  WinRegisterClass(kEditorClass, app_mdichild_proc, 0, static_cast<int32_t>(0x80010000u));
  const FontAttrs* font = editor_font();
  app_set_editor_font(font);
  app_frame_set_startup(cfg);

  XfWindow* frame = WinCreateStdWindow(0, kFrameFlags, kFrameClass, "Zorvex", 0, kWinDefaultPos, kWinDefaultPos,
                                       kFrameWidth, kFrameHeight, nullptr, 1, nullptr, nullptr);
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
