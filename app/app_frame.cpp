// The macro runtime and the processes first: the window system's headers bring in Xlib.
#include "macro/interp.h"
#include "services/proc.h"
#include "services/proc_port.h"

#include "app/app_frame.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/app_editor.h"
#include "base/messages.h"
#include "display/cmd_history.h"
#include "display/cmdline_port.h"
#include "display/colours.h"
#include "display/msgline.h"
#include "display/textctl.h"
#include "display/winsys_surface.h"
#include "forms/cmdline_port.h"
#include "forms/input_field.h"
#include "forms/input_translate.h"
#include "forms/macro_menu.h"
#include "forms/menu_res.h"
#include "forms/objects.h"
#include "forms/picture_services.h"
#include "macro/command_exec.h"
#include "macro/event_codes.h"
#include "macro/exit_path.h"
#include "macro/exit_port.h"
#include "macro/key_dispatch.h"
#include "macro/names.h"
#include "macro/startup.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "text/store.h"
#include "winsys/focus.h"
#include "winsys/mdi_winapi.h"
#include "winsys/menu.h"
#include "winsys/menu_track.h"
#include "winsys/message_numbers.h"
#include "winsys/msgbox.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace {

constexpr uint16_t kDesktopSlot = 0;  // the client area behind the editor windows

struct FrameState {
  StartupConfig* cfg = nullptr;
  bool started = false;
  XfWindow* client = nullptr;
  XfWindow* mdi_client = nullptr;
  std::unique_ptr<WinsysSurface> surface;
  int32_t width = 0, height = 0;
  uint8_t idle_retries = 0;  // times a posted procedure was posted again while the editor was busy
};
// Never destroyed, as the editor windows' state (the process ends inside
// the window system).
FrameState& F = *new FrameState;

// What the message and status lines keep at the bottom of the client.
int32_t bands_height() { return msgline_message_window() ? msgline_bands_height() : 0; }

void layout(XfWindow* w) {
  WinRect r{};
  WinQueryWindowRect(w, &r);
  F.width = r.right - r.left, F.height = r.bottom - r.top;
  if (msgline_message_window()) msgline_layout(w);
  const int32_t bottom = bands_height();
  if (F.mdi_client) xfMoveSizeWindow(F.mdi_client, 0, 0, std::max(F.width, 1), std::max(F.height - bottom, 1), nullptr);
}

// The editor window in front takes the keys again.
void back_to_editor() {
  if (WindowObject* a = app_active_editor()) app_editor_activate(a);
}

// Runs what the command line holds; the command's own errors show on the
// message line, and the editor window in front gets the keys back.
void run_command_line() {
  // A prompt's answer completes the command the prompt keeps out of sight.
  std::string line = cmdline_prompt_command() + cmdline_get_text();
  cmdline_prompt_end();
  if (line.empty()) return;
  back_to_editor();
  if (const int32_t rc = disp_execute_command_line(&line, {}); rc < 0) app_show_error(rc);
  exit_if_requested();
  app_refresh();
}

// Empties the command line: its text, a prompt and what the prompt hid.
void clear_command_line() {
  cmdline_prompt_end();
  cmdline_set_text({});
}

// One step through the history into the command line (a prompt ends).
void history_step(bool previous) {
  std::string line;
  if (previous ? cmd_history_prev(&line) : cmd_history_next(&line)) {
    cmdline_prompt_end();
    cmdline_set_text(line);
  }
}

// A character that types itself: ASCII and the Latin-1 letters and signs.
bool is_text(EventCode e) { return (e >= 0x20 && e < 0x7F) || (e >= 0xA0 && e <= 0xFF); }

constexpr EventCode shifted(EventCode named) { return kEvShiftNamed + (named - kEvNamed); }

// Whether the command line's field handles an event itself.
bool field_event(EventCode e) {
  switch (e) {
    case kEvEnter:
    case kEvEsc:
    case kEvBackspace:
    case kEvDel:
    case kEvLeft:
    case kEvRight:
    case kEvHome:
    case kEvEnd:
    case shifted(kEvLeft):
    case shifted(kEvRight):
    case shifted(kEvHome):
    case shifted(kEvEnd):
    case kEvUp:
    case kEvDown:
      return true;
    default:
      return is_text(e);
  }
}

// The caret one step on; with `extend` the selection grows from where it
// was anchored, as Shift and a cursor key do in the editor.
enum class FieldStep { Start, Left, Right, End };
void field_move(XfWindow* w, FieldStep step, bool extend) {
  int32_t caret = 0;
  const auto anchor = static_cast<int32_t>(WinSendMsg(w, ZWM_EDIT_QUERYSEL, 0, reinterpret_cast<intptr_t>(&caret)));
  const auto len = static_cast<int32_t>(cmdline_get_text().size());
  int32_t to = step == FieldStep::Start ? 0 : step == FieldStep::End ? len : caret;
  if (step == FieldStep::Left) --to;
  if (step == FieldStep::Right) ++to;
  to = std::clamp(to, 0, len);
  WinSendMsg(w, ZWM_EDIT_SETSEL, extend ? anchor : to, to);
}

// An event in the command line: it edits its text, Enter runs it, Up and
// Down browse the history and Esc gives the keys back to the editor window.
void field_key(XfWindow* w, EventCode e) {
  app_clear_message();
  switch (e) {
    case kEvEnter:
      run_command_line();
      break;
    case kEvEsc:
      // Esc cancels: what was typed goes, with a prompt, so that the next
      // command starts on an empty line.
      clear_command_line();
      back_to_editor();
      break;
    case kEvBackspace:
      WinSendMsg(w, ZWM_EDIT_BACKSPACE, 0, 0);
      break;
    case kEvDel:
      WinSendMsg(w, ZWM_EDIT_DELETE, 0, 0);
      break;
    case kEvLeft:
      WinSendMsg(w, ZWM_EDIT_LEFT, 0, 0);
      break;
    case kEvRight:
      WinSendMsg(w, ZWM_EDIT_RIGHT, 0, 0);
      break;
    case kEvHome:
    case shifted(kEvHome):
      field_move(w, FieldStep::Start, e != kEvHome);
      break;
    case kEvEnd:
    case shifted(kEvEnd):
      field_move(w, FieldStep::End, e != kEvEnd);
      break;
    case shifted(kEvLeft):
      field_move(w, FieldStep::Left, true);
      break;
    case shifted(kEvRight):
      field_move(w, FieldStep::Right, true);
      break;
    case kEvUp:
    case kEvDown:
      history_step(e == kEvUp);
      break;
    default:
      if (is_text(e)) {
        LStrLine t;
        t.assign(std::string(1, static_cast<char>(e)));
        WinSendMsg(w, ZWM_EDIT_INSERT, 0, reinterpret_cast<intptr_t>(&t));
      }
      break;
  }
  if (w->shown) WinInvalidateRect(w, nullptr);
}

}  // namespace

// Keys in the command line: those of the field edit its text, Enter runs
// it, Up and Down browse the history, Esc empties it and gives the keys
// back to the editor window; without an editor window the others run their
// bindings, as in the empty frame.
bool cmdline_field_input(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_LBUTTONDOWN:
      xfSetFocus(w);  // a click gives the command line the keys
      return false;
    case ZWM_CHAR: {
      if (app_translate_input(w, message, mp1, mp2, kMenuNever, kReaderWindowProc) != kInputEvent) return true;
      const EventCode e = event_pair_lookup(key_globals.last_event, 0);  // a keypad key's raw code as its key
      if (field_event(e))
        field_key(w, e);
      else if (!app_active_editor() && obj_command_line())
        app_run_event(obj_command_line(), e, true);  // as in the empty frame: New, Open, leaving
      return true;
    }
    default:
      return false;
  }
}

namespace {

// A key in a frame without editor windows: what the command line edits
// starts a command there; the rest runs its binding with the command line
// current, so that New, Open, the menus and leaving still work.
void empty_frame_key(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  WindowObject* cl = obj_command_line();
  if (!cl) return;
  const int input = app_translate_input(w, message, mp1, mp2, kMenuActiveEditor, kReaderWindowProc);
  if (input == kInputDefault) app_frame_menu_key(mp1);  // F10 or a mnemonic: the bar's
  if (input != kInputEvent) return;
  const EventCode e = event_pair_lookup(key_globals.last_event, 0);
  if (XfWindow* field = msgline_command_window(); field && field_event(e)) {
    xfSetFocus(field);
    field_key(field, e);
    return;
  }
  app_run_event(cl, e, true);
}

// The frame's menu bar: the macros' "-frame-menu" fills the menu resource
// "frame-menu" (made empty when the state has none), loads and attaches it,
// running on the frame object.
void build_menu_bar() {
  WindowObject* f = obj_frame_object();
  if (!f || name_find("-frame-menu", NF_COMMAND) == 0) return;
  uint32_t index = name_find(kFrameMenuResource, obj_type_to_name_flags(kObjMenu)) >> 16;
  if (index == 0) {
    const int32_t h = menu_resource_create(kFrameMenuResource);
    if (h < 0) return;
    index = static_cast<uint32_t>(h) >> 16;
  }
  const std::string handle = std::to_string(index << 16);
  const std::string_view args[] = {handle};
  cmd_call_name_on_object(f, "-frame-menu", false, args);
}

// A menu item chosen: the frame's bar names ids up to 15999, which run the
// item's command; the window list and the MDI commands take the rest.
void menu_command(intptr_t mp1, intptr_t mp2) {
  const uint32_t id = static_cast<uint32_t>(mp1 & 0xFFFF);
  if (id > kMenuLastMacroId) {
    WinMDIFrameCommand(nullptr, F.mdi_client, ZWM_COMMAND, mp1, mp2);
    return;
  }
  WindowObject* f = obj_frame_object();
  WindowObject* target = app_active_editor() ? app_active_editor() : window_current();
  MenuStrings s;
  int32_t popup_object = 0, popup = 0;
  menu_popup_tracking(&popup_object, &popup);
  if (f && f->menu && menu_get_item_info(f->menu, id, &s) == 0) {
    // an item of the frame's bar
  } else if (popup && menu_get_item_info(popup, id, &s) == 0) {
    // an item of the popup a macro showed last: it runs for the object that
    // showed it, or for the frame's first window when that one is gone
    if (WindowObject* o = obj_get(popup_object))
      target = o;
    else if (f && f->first_child)
      target = f->first_child;
  } else {
    return;
  }
  if (s.command.empty()) return;
  app_clear_message();
  if (const int32_t rc = cmd_execute_text(target, s.command, 0x20, false); rc < 0) app_show_error(rc);
  exit_if_requested();
  app_refresh();
  // A command that asks for more in the command line gives it the keys.
  const bool asks = !cmdline_prompt().empty() || !cmdline_get_text().empty();
  if (XfWindow* field = msgline_command_window(); field && window_current() == obj_command_line() && asks)
    xfSetFocus(field);
}

// A procedure posted to run once the editor is idle (message 4142: mp1 its
// names index, mp2 a heap std::string for its argument, or null). While a
// macro runs or a window holds the mouse it is posted again, the mouse let
// go; after 21 tries it is dropped, so a macro that never ends cannot fill
// the queue.
void run_posted(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  constexpr uint8_t kRetries = 21;
  XfWindow* capture = xfQueryCapture();
  const bool busy = vm.frame_depth > 0 || capture;
  if (busy && F.idle_retries < kRetries) {
    ++F.idle_retries;
    if (capture)
      for (uint32_t up : {ZWM_LBUTTONUP, ZWM_RBUTTONUP, ZWM_MBUTTONUP}) WinPostMsg(capture, up, 0, 0);
    WinPostMsg(w, message, mp1, mp2);  // the text goes with it
    return;
  }
  F.idle_retries = 0;
  const std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(mp2));
  const NameEntry* e = busy ? nullptr : name_entry(static_cast<uint32_t>(mp1));
  if (e && (e->flags & NF_CALLABLE)) {
    const std::string_view arg[1] = {text ? std::string_view(*text) : std::string_view()};
    cmd_call_index_on_object(window_current(), static_cast<int32_t>(mp1), true,
                             std::span<const std::string_view>(arg, text ? 1 : 0));
    exit_if_requested();
  }
}

// The highlighted item's help message on the message line.
void menu_select(intptr_t mp1) {
  WindowObject* f = obj_frame_object();
  MenuStrings s;
  if (mp1 == 0 || !f || !f->menu) return;
  if (menu_get_item_info(f->menu, static_cast<uint32_t>(mp1 & 0xFFFF), &s) == 0 && !s.help_message.empty())
    app_show_message(s.help_message);
}

// Leaving without "-on-exit": the user said the changes are not wanted.
[[noreturn]] void leave_without_saving() {
  exit_release();
  store_close_spill();
  exit_leave(0);
  std::_Exit(0);  // exit_leave does not return
}

}  // namespace

void app_frame_set_startup(StartupConfig* cfg) { F.cfg = cfg; }
bool app_frame_started() { return F.started; }

void app_frame_start() {
  if (F.started || !F.client) return;
  F.started = true;  // a message that arrives while the start-up macro runs does not start it again
  if (F.cfg) {
    if (const int code = startup_macros(F.cfg); code != 0) exit_leave(code);
    build_menu_bar();
  }
  exit_if_requested();
  app_refresh();
}

XfWindow* app_frame_client() { return F.client; }

// Before the frame exists nothing of the frame polls: whoever runs the
// program calls proc_poll, as a program without a frame does.
bool proc_start_poll_timer() { return !F.client || WinStartTimer(F.client, kProcessPollTimer, 100) != 0; }
void proc_stop_poll_timer() {
  if (F.client) WinStopTimer(F.client, kProcessPollTimer);
}
void proc_refresh_screen(uint32_t) { app_refresh(); }

bool app_process_poll_tick(XfWindow* window, uint32_t id) {
  if (!window || window != F.client || id != kProcessPollTimer) return false;
  proc_poll();
  return true;
}
XfWindow* app_mdi_client() { return F.mdi_client; }
void app_frame_set_client(XfWindow* client, const FontAttrs* font) {
  F.client = client;
  // The editor windows live in the MDI client, above the message line.
  F.mdi_client = client ? WinCreateMDIClient(client, 16000, 35) : nullptr;
  F.surface = client ? std::make_unique<WinsysSurface>(client, font) : nullptr;
  // The message, status and command lines along the bottom.
  if (client && msgline_create(client) == 0) {
    msgline_set_click_runner([](const char* command) {
      const std::string line(command);
      if (const int32_t rc = disp_execute_command_line(&line, "W"); rc < 0) app_show_error(rc);
      app_refresh();
    });
  }
}

// The message stays pending, so the refresh's flush shows it again.
void app_show_message(std::string_view text) {
  MessageState& m = message_state();
  m.pending.assign(text);
  m.pending_code = 0;
  msgline_set_text(text);
}
void app_show_error(int32_t code) {
  app_show_message(msg_text(code));
  message_state().pending_code = code;
}
void app_clear_message() {
  MessageState& m = message_state();
  if (m.keep) return;
  m.pending.clear();
  m.pending_code = 0;
  m.clear_on_next_key = false;
  msgline_set_text({});
}
const std::string& app_message_text() { return message_state().current; }

void app_paint_message() {
  if (XfWindow* w = msgline_message_window()) xfUpdateWindow(w);
}

bool app_frame_menu_key(intptr_t mp1) {
  XfWindow* frame = F.client ? WinFrameFromClient(F.client) : nullptr;
  return frame && xfMenuKeyHook(frame, mp1, false) != 0;
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
  // "-on-exit" asks about each modified buffer itself; without it the
  // frame asks once for all of them.
  if (name_find("-on-exit", NF_CALLABLE) == 0 && app_unsaved_changes()) {
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
        F.surface->fill_rect(0, 0, F.width, std::max(F.height - bands_height(), 0), colour_pair(kDesktopSlot).bg);
      xfValidateWindow(w);
      return 0;
    case ZWM_CLOSE:
      app_close_request();
      return 0;
    case ZWM_COMMAND:
      menu_command(mp1, mp2);
      return 0;
    case ZWM_MENUSELECT:
      menu_select(mp1);
      return 0;
    case ZWM_TIMER:
      // A process's procedure that asked to leave, told from the main loop.
      if (app_process_poll_tick(w, static_cast<uint32_t>(mp1) & 0xFFFF) && vm.frame_depth == 0) exit_if_requested();
      return 0;
    case kMsgFrame4142:
      app_frame_start();
      run_posted(w, message, mp1, mp2);
      return 0;
    case kMsgDestroyMenu:
      menu_destroy_deferred(static_cast<int32_t>(mp2));
      return 0;
    case ZWM_SETFOCUS:
    case ZWM_LBUTTONDOWN:
      if (WindowObject* a = app_active_editor()) app_editor_activate(a);
      return 0;
    case ZWM_CHAR:
      // A key while no editor window holds the focus goes to the one in front.
      if (WindowObject* a = app_active_editor())
        app_editor_input(a, w, message, mp1, mp2);
      else
        empty_frame_key(w, message, mp1, mp2);
      return 0;
    default:
      return WinDefWindowProc(w, message, mp1, mp2);
  }
}
