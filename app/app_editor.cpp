#include "app/app_editor.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/app_frame.h"
#include "display/lexer.h"
#include "display/msgline.h"
#include "display/recolour.h"
#include "display/refresh.h"
#include "display/winsys_surface.h"
#include "forms/input_translate.h"
#include "forms/option_port.h"
#include "forms/options.h"
#include "forms/routing.h"
#include "forms/view_port.h"
#include "macro/command_exec.h"
#include "macro/event_port.h"
#include "macro/exit_path.h"
#include "macro/key_dispatch.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "winsys/focus.h"
#include "winsys/keyboard.h"
#include "winsys/mdi.h"
#include "winsys/mdi_winapi.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/scrollbar.h"
#include "winsys/winapi.h"
#include "winsys/winapi_scroll.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

// One editor window on the screen.
struct EditorPane {
  WindowObject* obj = nullptr;
  XfWindow* child = nullptr;   // the MDI child frame
  XfWindow* window = nullptr;  // its client area, where the text is drawn
  std::unique_ptr<WinsysSurface> surface;
  EditorDisplay ed;
  const BufferRec* coloured = nullptr;  // the buffer whose lexer was chosen
  XfProc frame_proc = nullptr;          // the child frame's own procedure
};

struct EditorState {
  std::vector<std::unique_ptr<EditorPane>> panes;  // the front one last
  const FontAttrs* font = nullptr;
};
// Never destroyed: the process ends from inside the window system, after
// it has let go of the windows these refer to.
EditorState& S = *new EditorState;

EditorPane* pane_of(const WindowObject* obj) {
  for (auto& p : S.panes)
    if (p->obj == obj) return p.get();
  return nullptr;
}
EditorPane* pane_of_window(const XfWindow* w) {
  for (auto& p : S.panes)
    if (p->window == w) return p.get();
  return nullptr;
}

// The grid follows the window's size; the window object learns its rows
// and columns, so that the cursor's row and page keys match the screen.
void layout(EditorPane* p) {
  disp_layout(&p->ed.disp, p->surface.get(), 0, 0, 0);
  const TextDisplay& d = p->ed.disp;
  p->obj->rows = std::max(d.rows, 1);
  p->obj->cols = std::max(d.columns, 1);
  p->obj->line_height = d.line_height;
  if (p->obj->view) p->obj->view->row = std::min(p->obj->view->row, p->obj->rows - 1);
}

// A buffer shown for the first time gets the lexer its file name asks for.
void choose_lexer(EditorPane* p) {
  BufferRec* b = p->obj->view ? p->obj->view->buffer : nullptr;
  if (!b || b == p->coloured) return;
  p->coloured = b;
  if (b->lexer) return;
  std::string name(b->name.view());
  if (LexerDef* lexer = lex_for_file_name(name.c_str())) lex_set_buffer_lexer(b, lexer);
}

EditorPane* pane_of_frame(const XfWindow* w) {
  for (auto& p : S.panes)
    if (p->child == w) return p.get();
  return nullptr;
}

// The scroll bars of the child frame show the view: the vertical one its
// top line (a line number, or a scaled byte point), the horizontal one its
// offset in 1/300 inch.
bool set_bars(EditorDisplay* ed, const ScrollBar& v, const ScrollBar& h) {
  auto* p = static_cast<EditorPane*>(ed->owner);
  if (!p || !p->child) return false;
  const ScrollInfo vi{sizeof(ScrollInfo), kSifRange | kSifPage | kSifPos, v.min, v.max, v.page, v.pos};
  WinSetScrollInfo(p->child, &vi, kSelectVert);
  const ScrollInfo hi{sizeof(ScrollInfo), kSifRange | kSifPage | kSifPos, h.min, h.max, h.page, h.pos};
  WinSetScrollInfo(p->child, &hi, kSelectHorz);
  return false;  // the bars are made with the window: showing them never resizes it
}
void set_caption(EditorDisplay* ed, const std::string& text) {
  auto* p = static_cast<EditorPane*>(ed->owner);
  if (p && p->child) xfMdiSetTitle(p->child, text.c_str());
}
char window_state(const EditorDisplay* ed) {
  auto* p = static_cast<const EditorPane*>(ed->owner);
  return p && p->child ? xfMdiQueryState(p->child) : 'N';
}
const EditorChrome kChrome{set_bars, set_caption, window_state, 75};

void draw(EditorPane* p, bool all) {
  if (!p->window || !p->window->shown) return;
  choose_lexer(p);
  if (all && disp_needs_layout(&p->ed.disp)) layout(p);  // tab stops came or went: the rows' height follows
  if (all) disp_invalidate_rows(&p->ed.disp, 0, p->ed.disp.area_height + p->ed.disp.line_height);
  // The caret keeps the pixels it covers; it goes before the text changes
  // under it, or it would put back what was there.
  disp_caret_hide(&p->ed.disp);
  disp_draw_window(&p->ed, false);
}

// A scroll-bar message: a macro bound to its event (ON-VSB-LINE-DOWN ...)
// runs as for a key; without one the window scrolls its view, leaving the
// cursor where it is.
void scroll_message(EditorPane* p, uint32_t message, intptr_t mp1, intptr_t mp2) {
  if (app_translate_input(p->window, message, mp1, mp2, kMenuActiveEditor, kReaderWindowProc) != kInputEvent) return;
  const EventCode event = key_globals.last_event;
  uint32_t binding = 0;
  if (evt_find_binding(p->obj, event, 1, false, &binding) == 0 && binding != 0) {
    app_editor_input(p->obj, p->window, message, mp1, mp2);
    return;
  }
  const int32_t code = static_cast<uint16_t>(xf_high(mp2));
  const int32_t pos = static_cast<int16_t>(xf_low(mp2));
  const int32_t times = std::max(key_globals.repeat_count, 1);
  EditorDisplay* ed = &p->ed;
  const bool vertical = message == ZWM_VSCROLL;
  const int32_t page = std::max((vertical ? ed->disp.rows : ed->disp.columns) - 1, 1);
  int32_t step = 0;
  switch (code) {
    case kSbLineDown:
      step = times;
      break;
    case kSbLineUp:
      step = -times;
      break;
    case kSbPageDown:
      step = page * times;
      break;
    case kSbPageUp:
      step = -page * times;
      break;
    case kSbThumbPos:
    case kSbThumbPos * 2:  // thumb tracking
      if (vertical)
        view_scroll_to_bar(ed, pos);
      else
        view_hscroll_to_bar(ed, pos);
      break;
    default:
      return;
  }
  if (step != 0) {
    if (vertical)
      view_scroll_lines(ed, step);
    else
      view_hscroll_columns(ed, step);
  }
  draw(p, false);
}

intptr_t editor_frame_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  EditorPane* p = pane_of_frame(w);
  if (p && (message == ZWM_VSCROLL || message == ZWM_HSCROLL)) {
    scroll_message(p, message, mp1, mp2);
    return 0;
  }
  XfProc own = p ? p->frame_proc : nullptr;
  return own ? own(w, message, mp1, mp2) : WinDefWindowProc(w, message, mp1, mp2);
}

}  // namespace

// Options that change what editor windows show: the Top of File line (T)
// and the scroll bars (V, H).
void option_changed(char letter) {
  const uint32_t opts = editor_options().flags;
  if (letter == 'T') {
    edit_settings.show_top_line = (opts & kOptTopLine) != 0;
  } else if (letter == 'V' || letter == 'H') {
    for (auto& p : S.panes)
      if (p->child) xfMdiSetScrollBars(p->child, opts & kOptVScroll, opts & kOptHScroll);
  } else {
    return;
  }
  for (auto& p : S.panes) {
    p->ed.whole_pending = true;
    p->ed.bars_set = false;
  }
  redraw_bits |= 0x8000 | 0x0002 | 0x0001;
}

void app_set_editor_font(const FontAttrs* font) { S.font = font; }

int32_t app_editor_create(WindowObject* obj, XfWindow* mdi_client) {
  if (pane_of(obj)) return 0;
  auto p = std::make_unique<EditorPane>();
  p->obj = obj;
  std::string title = obj->view && obj->view->buffer ? std::string(obj->view->buffer->name.view()) : "";
  // The scroll bars the editor options ask for (frame flags 4 vertical, 2 horizontal).
  const uint32_t opts = editor_options().flags;
  const uint32_t bars = ((opts & kOptVScroll) ? 4u : 0u) | ((opts & kOptHScroll) ? 2u : 0u);
  p->child = WinCreateMDIChild(mdi_client, 0, bars, kEditorClass, title.c_str(), kWinDefaultPos, kWinDefaultPos,
                               kWinDefaultPos, kWinDefaultPos, 0, nullptr, nullptr);
  if (!p->child) return -8;
  // The bars notify the child frame: it hands their messages to the window.
  p->frame_proc = p->child->proc;
  p->child->proc = editor_frame_proc;
  p->window = p->child->k.mdi.client ? p->child->k.mdi.client : p->child;
  obj->frame_window = p->child;
  obj->client_window = p->window;
  p->surface = std::make_unique<WinsysSurface>(p->window, S.font);
  p->ed.window = obj;
  p->ed.chrome = &kChrome;
  p->ed.owner = p.get();
  EditorPane* raw = p.get();
  S.panes.push_back(std::move(p));
  xfMdiMaximize(raw->child);  // editor windows start maximised
  layout(raw);
  app_editor_activate(obj);
  return 0;
}

void app_editor_destroy(WindowObject* obj) {
  auto it = std::find_if(S.panes.begin(), S.panes.end(), [&](auto& p) { return p->obj == obj; });
  if (it == S.panes.end()) return;
  EditorPane* p = it->get();
  disp_destroy(&p->ed.disp);
  p->surface.reset();
  XfWindow* child = p->child;
  S.panes.erase(it);
  obj->frame_window = obj->client_window = nullptr;
  if (child) WinMDIDestroy(nullptr, child);
  if (!S.panes.empty())
    app_editor_activate(S.panes.back()->obj);
  else if (XfWindow* client = app_frame_client())
    xfSetFocus(client);  // an empty frame takes the keys: New, Open and the menus still work
}

void app_editor_activate(WindowObject* obj) {
  auto it = std::find_if(S.panes.begin(), S.panes.end(), [&](auto& p) { return p->obj == obj; });
  if (it == S.panes.end()) return;
  std::rotate(it, it + 1, S.panes.end());  // to the front
  EditorPane* p = S.panes.back().get();
  if (p->child && xfMdiGetActive(xf_mdi_client_of(p->child)) != p->child) xfMdiActivate(p->child);
  if (window_current() != obj) window_set_current(obj, 0);
  xfSetFocus(p->window);
}

WindowObject* app_active_editor() { return S.panes.empty() ? nullptr : S.panes.back()->obj; }

EditorDisplay* app_editor_display(const WindowObject* obj) {
  EditorPane* p = pane_of(obj);
  return p ? &p->ed : nullptr;
}
EditorDisplay* view_editor_display(const WindowObject* obj) { return app_editor_display(obj); }

uint32_t app_editor_input(WindowObject* obj, XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  const int input = app_translate_input(window, message, mp1, mp2, kMenuActiveEditor, kReaderWindowProc);
  if (input == kInputDefault && message == ZWM_CHAR) app_frame_menu_key(mp1);  // F10 or a mnemonic: the bar's
  if (input != kInputEvent) return 0;
  return app_run_event(obj, key_globals.last_event, message == ZWM_CHAR);
}

uint32_t app_run_event(WindowObject* obj, uint32_t event, bool key) {
  if (window_current() != obj) window_set_current(obj, 0);
  if (key) app_clear_message();
  key_feed_event(obj, event, key_globals.repeat_count,
                 std::span<const int32_t>(key_globals.key_args, static_cast<size_t>(key_globals.key_arg_count)));
  exit_if_requested();  // F3 and the exit built-in end here, unless "-on-exit" refuses
  app_refresh();
  return event;
}

void app_refresh() {
  // An editor window the last command made current comes to the front.
  if (WindowObject* cur = window_current(); cur && cur != app_active_editor() && pane_of(cur)) app_editor_activate(cur);
  std::vector<EditorDisplay*> shown;
  EditorDisplay* current = nullptr;
  EditorPane* cur = pane_of(window_current());
  if (!cur && !S.panes.empty()) cur = S.panes.back().get();
  for (auto& p : S.panes) {
    if (!p->window || !p->window->shown) continue;
    choose_lexer(p.get());
    // The caret keeps the pixels it covers; it goes before the text changes.
    disp_caret_hide(&p->ed.disp);
    shown.push_back(&p->ed);
    if (p.get() == cur) current = &p->ed;
  }
  disp_refresh_windows(shown, current);
  if (XfWindow* status = msgline_status_window()) xfUpdateWindow(status);
  app_paint_message();
}

intptr_t app_mdichild_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  EditorPane* p = pane_of_window(w);
  switch (message) {
    case ZWM_PAINT:
      if (p) draw(p, true);
      xfValidateWindow(w);
      return 0;
    case ZWM_SIZE:
      if (p) {
        layout(p);
        draw(p, true);
      }
      return 0;
    case ZWM_CHAR:
      if (p) app_editor_input(p->obj, w, message, mp1, mp2);
      return 0;
    case ZWM_VSCROLL:  // the wheel scrolls through the bar's messages too
    case ZWM_HSCROLL:
      if (p) scroll_message(p, message, mp1, mp2);
      return 0;
    case ZWM_LBUTTONDOWN:
    case ZWM_RBUTTONDOWN:
    case ZWM_MBUTTONDOWN:
      if (p) app_editor_activate(p->obj);
      [[fallthrough]];
    case ZWM_MOUSEMOVE:
    case ZWM_LBUTTONUP:
    case ZWM_RBUTTONUP:
    case ZWM_MBUTTONUP:
      // The bindings of the mouse events place the cursor and select.
      if (p) app_editor_input(p->obj, w, message, mp1, mp2);
      return 0;
    case ZWM_CLOSE:
      // The system menu's Close: the macro bound to ON-CLOSE decides
      // whether the window goes (and asks about unsaved changes).
      if (p) {
        app_clear_message();
        cmd_call_event_handler(p->obj, kEvOnClose, false, 0, {});
        exit_if_requested();
        app_refresh();
      }
      return 0;
    case ZWM_SETFOCUS:
      if (p && window_current() != p->obj) window_set_current(p->obj, 0);
      return WinDefMDIChildProc(w, message, mp1, mp2);
    default:
      return WinDefMDIChildProc(w, message, mp1, mp2);
  }
}
