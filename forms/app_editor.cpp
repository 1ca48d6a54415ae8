#include "forms/app_editor.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "display/lexer.h"
#include "display/recolour.h"
#include "display/refresh.h"
#include "display/winsys_surface.h"
#include "forms/app_frame.h"
#include "forms/input_translate.h"
#include "macro/exit_path.h"
#include "macro/key_dispatch.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "winsys/focus.h"
#include "winsys/keyboard.h"
#include "winsys/mdi.h"
#include "winsys/mdi_winapi.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
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

void draw(EditorPane* p, bool all) {
  if (!p->window || !p->window->shown) return;
  choose_lexer(p);
  if (all) disp_invalidate_rows(&p->ed.disp, 0, p->ed.disp.area_height + p->ed.disp.line_height);
  // The caret keeps the pixels it covers; it goes before the text changes
  // under it, or it would put back what was there.
  disp_caret_hide(&p->ed.disp);
  disp_draw_window(&p->ed, false);
}

}  // namespace

void app_set_editor_font(const FontAttrs* font) { S.font = font; }

int32_t app_editor_create(WindowObject* obj, XfWindow* mdi_client) {
  if (pane_of(obj)) return 0;
  auto p = std::make_unique<EditorPane>();
  p->obj = obj;
  std::string title = obj->view && obj->view->buffer ? std::string(obj->view->buffer->name.view()) : "";
  p->child = WinCreateMDIChild(mdi_client, 0, 0, kEditorClass, title.c_str(), kWinDefaultPos, kWinDefaultPos,
                               kWinDefaultPos, kWinDefaultPos, 0, nullptr, nullptr);
  if (!p->child) return -8;
  p->window = p->child->k.mdi.client ? p->child->k.mdi.client : p->child;
  obj->frame_window = p->child;
  obj->client_window = p->window;
  p->surface = std::make_unique<WinsysSurface>(p->window, S.font);
  p->ed.window = obj;
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
  if (!S.panes.empty()) app_editor_activate(S.panes.back()->obj);
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

uint32_t app_editor_input(WindowObject* obj, XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  const int input = app_translate_input(window, message, mp1, mp2, kMenuActiveEditor, kReaderWindowProc);
  if (input == kInputDefault && message == ZWM_CHAR) app_frame_menu_key(mp1);  // F10 or a mnemonic: the bar's
  if (input != kInputEvent) return 0;
  const EventCode event = key_globals.last_event;
  if (window_current() != obj) window_set_current(obj, 0);
  if (message == ZWM_CHAR) app_clear_message();
  key_feed_event(obj, event, key_globals.repeat_count);
  exit_if_requested();  // F3 and the exit built-in end here, unless "-on-exit" refuses
  app_refresh();
  return event;
}

void app_refresh() {
  // An editor window the last command made current comes to the front.
  if (WindowObject* cur = window_current(); cur && cur != app_active_editor() && pane_of(cur)) app_editor_activate(cur);
  for (auto& p : S.panes) draw(p.get(), false);
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
    case ZWM_LBUTTONDOWN:
      if (p) app_editor_activate(p->obj);
      return 0;
    case ZWM_SETFOCUS:
      if (p && window_current() != p->obj) window_set_current(p->obj, 0);
      return WinDefMDIChildProc(w, message, mp1, mp2);
    default:
      return WinDefMDIChildProc(w, message, mp1, mp2);
  }
}
