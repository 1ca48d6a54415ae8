#include "forms/app_frame.h"

#include <algorithm>
#include <memory>

#include "base/messages.h"
#include "display/colours.h"
#include "display/winsys_surface.h"
#include "forms/app_editor.h"
#include "forms/objects.h"
#include "macro/exit_path.h"
#include "macro/startup.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "text/store.h"
#include "winsys/focus.h"
#include "winsys/mdi_winapi.h"
#include "winsys/message_numbers.h"
#include "winsys/msgbox.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"

namespace {

constexpr uint16_t kMessageSlot = 1;  // the message line in the text colours
constexpr uint16_t kDesktopSlot = 0;  // the client area behind the editor windows

struct FrameState {
  StartupConfig* cfg = nullptr;
  bool started = false;
  XfWindow* client = nullptr;
  XfWindow* mdi_client = nullptr;
  std::unique_ptr<WinsysSurface> surface;
  std::string message;
  bool message_dirty = true;
  int32_t width = 0, height = 0;
  int32_t line_height = 16;
};
// Never destroyed, as the editor windows' state (the process ends inside
// the window system).
FrameState& F = *new FrameState;

int32_t message_height() {
  if (F.surface) F.line_height = std::max<int32_t>(F.surface->metrics().height, 8);
  return F.line_height + 4;
}

void layout(XfWindow* w) {
  WinRect r{};
  WinQueryWindowRect(w, &r);
  F.width = r.right - r.left, F.height = r.bottom - r.top;
  const int32_t bottom = message_height();
  if (F.mdi_client) xfMoveSizeWindow(F.mdi_client, 0, 0, std::max(F.width, 1), std::max(F.height - bottom, 1), nullptr);
  F.message_dirty = true;
}

// Leaving without "-on-exit": the user said the changes are not wanted.
[[noreturn]] void leave_without_saving() {
  exit_seam().release();
  store_close_spill();
  exit_seam().leave(0);
  std::_Exit(0);  // the seam's leave does not return
}

}  // namespace

void app_frame_set_startup(StartupConfig* cfg) { F.cfg = cfg; }
bool app_frame_started() { return F.started; }

void app_frame_start() {
  if (F.started || !F.client) return;
  F.started = true;  // a message that arrives while the start-up macro runs does not start it again
  if (F.cfg) {
    if (const int code = startup_macros(F.cfg); code != 0) exit_seam().leave(code);
  }
  exit_if_requested();
  app_refresh();
}

XfWindow* app_frame_client() { return F.client; }
XfWindow* app_mdi_client() { return F.mdi_client; }
void app_frame_set_client(XfWindow* client, const FontAttrs* font) {
  F.client = client;
  // The editor windows live in the MDI client, above the message line.
  F.mdi_client = client ? WinCreateMDIClient(client, 16000, 35) : nullptr;
  F.surface = client ? std::make_unique<WinsysSurface>(client, font) : nullptr;
}

void app_show_message(std::string_view text) {
  F.message.assign(text);
  F.message_dirty = true;
}
void app_show_error(int32_t code) { app_show_message(msg_text(code)); }
void app_clear_message() {
  if (F.message.empty()) return;
  F.message.clear();
  F.message_dirty = true;
}
const std::string& app_message_text() { return F.message; }

void app_paint_message() {
  if (!F.message_dirty || !F.surface || !F.client || !F.client->shown) return;
  F.message_dirty = false;
  const int32_t h = message_height(), top = std::max(F.height - h, 0);
  const ColourPair c = colour_pair(kMessageSlot);
  F.surface->fill_rect(0, top, F.width, F.height, c.bg);
  F.surface->line(0, top, F.width, top, c.fg);
  if (!F.message.empty()) F.surface->draw_text(4, top + 2, F.message, c.fg, c.bg, 0, top + 1, F.width, F.height, true);
}

bool app_unsaved_changes() {
  line_flush_current();
  WindowObject* w = window_current();
  BufferRec* first = w && w->view ? w->view->buffer : nullptr;
  if (!first) return false;
  BufferRec* b = first;
  do {
    if (b->modified && !(b->flags & kBufHidden)) return true;
    b = b->ring_next;
  } while (b && b != first);
  return false;
}

void app_close_request() {
  app_frame_start();
  if (app_unsaved_changes()) {
    XfWindow* frame = F.client ? WinFrameFromClient(F.client) : nullptr;
    switch (xfMessageBox(frame, kSaveQuestion, kSaveQuestionTitle, 0x2003, kMbCentre, kMbCentre)) {
      case kMbYes:
        break;  // "-on-exit" saves every modified buffer, or refuses
      case kMbNo:
        leave_without_saving();
      default:
        return;
    }
  }
  if (!exit_editor(0)) app_refresh();  // "-on-exit" kept the editor open: rc says why
}

intptr_t app_mdiframe_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_CREATE:
      return 0;
    case ZWM_SIZE:
      if (w == F.client) layout(w);
      return 0;
    case ZWM_PAINT:
      app_frame_start();
      // The area no editor window covers.
      if (F.surface && !app_active_editor())
        F.surface->fill_rect(0, 0, F.width, std::max(F.height - message_height(), 0), colour_pair(kDesktopSlot).bg);
      F.message_dirty = true;
      app_paint_message();
      xfValidateWindow(w);
      return 0;
    case ZWM_CLOSE:
      app_close_request();
      return 0;
    case ZWM_SETFOCUS:
    case ZWM_LBUTTONDOWN:
      if (WindowObject* a = app_active_editor()) app_editor_activate(a);
      return 0;
    case ZWM_CHAR:
      // A key while no editor window holds the focus goes to the one in front.
      // Without one, the command line takes it: the leaving keys still work.
      if (WindowObject* a = app_active_editor() ? app_active_editor() : obj_command_line())
        app_editor_input(a, w, message, mp1, mp2);
      return 0;
    default:
      return WinDefWindowProc(w, message, mp1, mp2);
  }
}
