// Native windows of forms and controls (see obj_window.h).
#include "forms/obj_window.h"

#include <string>

// The macro runtime first: the window system's headers bring in Xlib.
#include "forms/bi_objects.h"
#include "macro/command_exec.h"
#include "macro/screen_port.h"
#include "macro/stack.h"

#include "display/redraw_port.h"
#include "display/refresh_port.h"
#include "forms/app_port.h"
#include "forms/ctl_classes.h"
#include "forms/ctl_common.h"
#include "forms/ctl_list.h"
#include "forms/ctl_props.h"
#include "forms/geometry.h"
#include "forms/input_field.h"
#include "forms/modal.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "winsys/draw.h"
#include "winsys/focus.h"
#include "winsys/fonts.h"
#include "winsys/frame_sysmenu.h"
#include "winsys/mdi.h"
#include "winsys/mdi_winapi.h"
#include "winsys/menu_api.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/winapi_scroll.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/x_event_codes.h"

namespace {

int32_t prop(const WindowObject* o, uint32_t id) { return ctl_prop(o, id); }

bool is_combo_part(const WindowObject* o) { return o->owner != 0 && o->type != kObjCombo; }

uint32_t border_bits(int32_t border, uint32_t bit) { return border >= 1 && border <= 3 ? bit : 0; }

// The window of `o`'s parent object that its window goes into; null for a
// top-level window. *ok is false when the parent should have a window and
// has none yet.
XfWindow* parent_window(const WindowObject* o, bool* ok) {
  *ok = true;
  const WindowObject* p = o->parent;
  if (o->type == kObjForm) return nullptr;  // forms are top-level windows of their own
  if (!p || !p->client_window) {
    *ok = false;
    return nullptr;
  }
  // A combo box's drop-down list lies in the combo's container, above the rest.
  if (o->type == kObjList && is_combo_part(o)) {
    if (const WindowObject* combo = obj_get(o->owner); combo && combo->parent && combo->parent->client_window)
      return combo->parent->client_window;
  }
  return p->client_window;
}

void clear_windows(WindowObject* o) { o->frame_window = o->client_window = nullptr; }

// The geometry in pixels, or the window system's default for a form whose
// x is the default marker (or missing, -1).
void pixel_geometry(const WindowObject* o, int32_t r[4]) {
  const int32_t x = prop(o, 40);
  if (x == 0x7FFFFFFF || (o->type == kObjForm && x == -1)) {
    r[0] = r[1] = r[2] = r[3] = kWinDefaultPos;
    return;
  }
  const int32_t unit = obj_container_unit(o, kContainerScale);
  r[0] = ctl_twips_to_pixels_x(unit, x);
  r[1] = ctl_twips_to_pixels_y(unit, prop(o, 41));
  r[2] = ctl_twips_to_pixels_x(unit, prop(o, 39));
  r[3] = ctl_twips_to_pixels_y(unit, prop(o, 36));
}

void set_field_text(WindowObject* o, std::string_view text) {
  if (InputField* f = ctl_text_field(o)) {
    ifield_set_text(*f, text);  // the model alone: no change event
    ifield_invalidate(*f);
  }
}

// What each type needs once its window exists.
void finish_window(WindowObject* o) {
  switch (o->type) {
    case kObjText:
      set_field_text(o, prop_block_string(o->props, 52));
      break;
    case kObjCheck:
    case kObjRadio:
      if (o->client_window) WinSendMsg(o->client_window, ZWM_BTNSETCHECK, prop(o, 42), 0);
      break;
    default:
      break;
  }
  o->show_state = 'N';
}

int32_t create_children(WindowObject* o);

int32_t g_menubar_offset = 0;  // the frame's menu-bar offset, from the MDI form made last

// The designer's entries of a form's system menu: one outside design mode,
// four in it.
struct DesignerEntry {
  uint32_t id;
  const char* text;
};
constexpr DesignerEntry kRunEntries[] = {{1, "Edit Form\tShift+Space bar"}};
constexpr DesignerEntry kDesignEntries[] = {
    {2, "Save Form\tCtrl+S"}, {3, "Load and Run\tShift+Space bar"}, {4, "Load Form\tCtrl+L"}, {5, "Show Properties"}};

void add_designer_entries(XfMenu* menu, bool design) {
  auto add = [menu](const auto& rows) {
    for (const DesignerEntry& e : rows) WinInsertMenuItem(menu, -1, e.id, e.text, kMiSysCommand);
  };
  if (design)
    add(kDesignEntries);
  else
    add(kRunEntries);
}

// The designer's system-menu entries run their form commands on the form.
constexpr std::string_view kDesignerCommands[] = {"-on-edit-form", "-on-save-form", "-on-run", "-on-load-form",
                                                  "-on-show-properties"};
bool designer_command(XfWindow* w, intptr_t mp1) {
  const intptr_t code = mp1 & 0xFFFF;
  if (code < 1 || code > 5) return false;
  if (WindowObject* o = obj_find_by_window(w))
    cmd_call_name_on_object(o, kDesignerCommands[static_cast<size_t>(code - 1)], true, {});
  return true;
}

// The client area of a free form with a system menu: the designer's entries
// run their commands, the rest goes to the form's own procedure.
XfProc g_free_form_proc = nullptr;
intptr_t free_form_area_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  if (m == ZWM_SYSCOMMAND && designer_command(w, mp1)) return 0;
  return g_free_form_proc ? g_free_form_proc(w, m, mp1, mp2) : WinDefWindowProc(w, m, mp1, mp2);
}

// The client area of an MDI form: the form's own procedure, with what an
// MDI child's client does by default (its system commands, activation on a
// click) in front of it.
XfProc g_form_area_proc = nullptr;
intptr_t mdi_form_area_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  XfProc form = g_form_area_proc ? g_form_area_proc : WinDefWindowProc;
  switch (m) {
    case ZWM_SYSCOMMAND:
      if ((mp1 & 0xFFFF) >= 1 && (mp1 & 0xFFFF) <= 5) return form(w, m, mp1, mp2);  // the designer's
      return WinDefMDIChildProc(w, m, mp1, mp2);
    case ZWM_MOUSEACTIVATE:
      if (XfWindow* child = xf_mdi_frame_of(w); child && xfMdiGetActive(xf_mdi_client_of(child)) != child)
        xfMdiActivateOrMaximize(child);
      return form(w, m, mp1, mp2);
    case ZWM_SETFOCUS:
      if (WindowObject* o = obj_find_by_window(w); o && window_current() != o) window_set_current(o, 0);
      return form(w, m, mp1, mp2);
    default:
      return form(w, m, mp1, mp2);
  }
}

// The window an MDI form asks for: its place in the MDI client, and a
// child frame sized so that its client area has the form's size.
void mdi_form_geometry(const WindowObject* o, int32_t r[4]) {
  pixel_geometry(o, r);
  if (r[0] == kWinDefaultPos) return;
  const XfMdiMetrics m = xf_mdi_metrics();
  r[2] += 2 * m.border;
  r[3] += m.title + 2 * m.border;
}

// An MDI form lives in a child frame of the MDI client beside the editor
// windows: listed in the Window menu, activated, minimised, maximised and
// closed as they are.
int32_t create_mdi_form(WindowObject* o, uint32_t mode) {
  WindowObject* frame = obj_frame_object();
  XfWindow* client = frame && frame->client_window && frame->client_window->kind == XFTYPE_MDICLIENT
                         ? frame->client_window
                         : app_mdi_client();
  if (!client) return 0;  // no frame on the screen: the form stays a record
  const ObjWindowStyle s = obj_style_for_type(o, mode);
  int32_t r[4];
  mdi_form_geometry(o, r);
  // The form's height less the border is the frame's new menu-bar offset.
  if (r[0] != kWinDefaultPos) g_menubar_offset = r[3] - WinQuerySysValue(0x807);
  const int32_t state = prop(o, 23);  // the state letter asked for
  const uint32_t style = state == 'M' ? 0x1000u : state == 'I' ? 0x800u : 0u;
  const std::string caption(prop_block_string(o->props, 29));
  XfWindow* child =
      WinCreateMDIChild(client, style, s.frame_flags, s.cls, caption.c_str(), r[0], r[1], r[2], r[3], 0, nullptr, o);
  if (!child) {
    clear_windows(o);
    return ERR_NOT_ENOUGH_MEMORY;
  }
  XfWindow* area = child->k.mdi.client ? child->k.mdi.client : child;
  o->frame_window = child;
  o->client_window = area;
  if (area->proc != mdi_form_area_proc) {
    g_form_area_proc = area->proc;
    area->proc = mdi_form_area_proc;
  }
  if (!(s.style & kObjStyleVisible)) WinShowWindow(child, 0);
  if (s.style & kObjStyleDisabled) xfEnableWindow(child, false);
  finish_window(o);
  o->show_state = static_cast<uint8_t>(xfMdiQueryState(child));
  if (frame) frame->last_mdi_form = o->handle;  // the parent's MDI form
  return 0;
}

// A free form's system menu: the items its buttons and border do not allow
// go, and the designer's entries come after the rest.
void trim_form_system_menu(WindowObject* o) {
  XfMenu* menu = o->frame_window ? xfFrameSysMenu(o->frame_window) : nullptr;
  if (!menu) return;
  const bool sizable = prop(o, 16) == 2 || o->design_mode;
  form_trim_system_menu(menu, prop(o, 10) != 0, prop(o, 9) != 0, sizable);
  add_designer_entries(menu, o->design_mode != 0);
  if (XfWindow* area = o->client_window; area && area->proc != free_form_area_proc) {
    g_free_form_proc = area->proc;
    area->proc = free_form_area_proc;
  }
}

int32_t create_window(WindowObject* o, uint32_t mode) {
  if (o->frame_window) return 0;
  if (o->type == kObjForm && o->mdi_form) return create_mdi_form(o, mode);
  bool ok = true;
  XfWindow* parent = parent_window(o, &ok);
  if (!ok) return 0;  // made later, with its parent
  if (o->type == kObjImage) {
    o->show_state = 'N';  // painted on its parent
    return 0;
  }
  if (o->parent && o->type != kObjForm) {
    mode |= kCreateModeChild;
    o->design_mode = o->parent->design_mode;
  }
  if (o->type == kObjHScroll || o->type == kObjVScroll || o->type == kObjCombo) {
    // Scroll bars and combo boxes keep their own makers (a scroll bar of the
    // window system; a combo box's three part objects).
    if (!ctl_create_window(o, parent)) {
      clear_windows(o);
      return ERR_NOT_ENOUGH_MEMORY;
    }
    if (o->type == kObjCombo && !o->edit_part && combo_create_parts(o, parent) != 0) return ERR_NOT_ENOUGH_MEMORY;
    if (o->type == kObjCombo) {
      if (WindowObject* e = obj_get(o->edit_part)) set_field_text(e, prop_block_string(o->props, 52));
    }
    if (!(obj_style_for_type(o, mode).style & kObjStyleVisible)) WinShowWindow(o->frame_window, 0);
    o->show_state = 'N';
    return 0;
  }
  if (const int32_t rc = list_create_buffer(o); rc != 0) return rc;
  const ObjWindowStyle s = obj_style_for_type(o, mode);
  int32_t r[4];
  pixel_geometry(o, r);
  const std::string caption(prop_block_string(o->props, 29));
  XfWindow* w = WinCreateStdWindow(s.create_flags, s.frame_flags, s.cls, caption.c_str(), s.style, r[0], r[1], r[2],
                                   r[3], parent, static_cast<uint32_t>(o->handle), o, s.outer);
  if (!w) {
    clear_windows(o);
    return ERR_NOT_ENOUGH_MEMORY;
  }
  o->frame_window = w;
  XfWindow* client = (s.outer || !(s.create_flags & kCreateChild)) ? WinQueryFrameClient(w) : nullptr;
  if (!o->client_window) o->client_window = client ? client : w;
  if (s.style & kObjStyleDisabled) xfEnableWindow(w, false);
  if (o->type == kObjForm && o != obj_app_form()) trim_form_system_menu(o);
  finish_window(o);
  return 0;
}

int32_t create_children(WindowObject* o) {
  WindowObject* first = o->first_child;
  if (!first || !o->client_window) return 0;
  WindowObject* c = first;
  do {
    WindowObject* next = c->next;
    if (!is_combo_part(c) && !c->frame_window)
      if (const int32_t r = obj_create_native(c, kCreateModeChild); r != 0) return r;
    c = next;
  } while (c && c != first);
  return 0;
}

// ---- the native-window functions of forms and controls ----

int32_t op_create(WindowObject* o) { return obj_create_native(o, 0); }
void op_destroy(WindowObject* o) { obj_destroy_native_window(o); }
void op_show(WindowObject* o, bool on) {
  if (!o->frame_window) return;
  WinShowWindow(o->frame_window, on ? 5 : 0);
  if (on && o->mdi_form) {
    // Shown, it is the active child, its first tab stop holding the focus.
    WinMDIActivate(nullptr, o->frame_window, 1);
    WindowObject* first = obj_first_tab_stop(o);
    xfSetFocus(first && first->client_window ? first->client_window : o->client_window);
    return;
  }
  if (on && o->type == kObjForm && !o->parent) {
    // A form shown takes the focus to its first tab stop.
    WinSetActiveWindow(o->frame_window);
    if (WindowObject* first = obj_first_tab_stop(o); first && first->client_window) xfSetFocus(first->client_window);
  }
}
void op_enable(WindowObject* o, bool on) {
  if (o->frame_window) xfEnableWindow(o->frame_window, on);
}
bool op_get_rect(const WindowObject* o, int32_t r[4]) {
  const XfWindow* w = o->frame_window;
  if (!w) return false;
  r[0] = w->x, r[1] = w->y, r[2] = w->width, r[3] = w->height;
  return true;
}
void op_set_rect(WindowObject* o, const int32_t r[4]) {
  if (o->frame_window) WinMoveWindow(o->frame_window, r[0], r[1], r[2], r[3], 1);
}
void op_client_size(const WindowObject* o, int32_t* w, int32_t* h) {
  const XfWindow* c = o->client_window;
  *w = c ? c->width : 0;
  *h = c ? c->height : 0;
}
char op_get_state(const WindowObject* o) {
  if (!o->frame_window) return o->type == kObjImage ? 'N' : 0;
  if (o->mdi_form) return xfMdiQueryState(o->frame_window);
  return static_cast<char>(WinQueryWindowState(o->frame_window));
}
void op_set_state(WindowObject* o, char state) {
  if (!o->frame_window || o->type != kObjForm) return;
  if (o->mdi_form) {
    if (state == 'M') return xfMdiMaximize(o->frame_window);
    if (state == 'I') return xfMdiMinimize(o->frame_window);
    return xfMdiRestore(o->frame_window, true);
  }
  WinSetWindowState(o->frame_window, state);
}
void op_repaint(WindowObject* o) {
  if (o->type == kObjCheck || o->type == kObjRadio) {
    if (o->client_window) WinSendMsg(o->client_window, ZWM_BTNSETCHECK, prop(o, 42), 0);
  }
  if (o->frame_window) WinInvalidateRect(o->frame_window, nullptr);
  if (o->client_window && o->client_window != o->frame_window) WinInvalidateRect(o->client_window, nullptr);
}
void op_relayout(WindowObject* o) { op_repaint(o); }
void op_set_text(WindowObject* o, const char* text, int32_t length) {
  XfWindow* w = o->type == kObjForm ? o->frame_window : o->client_window;
  if (!w) return;
  const std::string t(text, static_cast<size_t>(length > 0 ? (length > 1024 ? 1024 : length) : 0));
  if (o->mdi_form) return xfMdiSetTitle(w, t.c_str());  // the title bar and the Window menu's entry
  xfSetWindowText(w, t.c_str());
  if (o->frame_window && o->frame_window != w) WinInvalidateRect(o->frame_window, nullptr);
}
void op_set_pointer(WindowObject* o, int32_t shape) {
  const int32_t sys = obj_pointer_system_id(shape);
  if (o->client_window && sys >= 0) xfSetPointer(o->client_window, xfQuerySysPointer(o->client_window, sys));
}

// ---- what the built-ins on window objects ask of the window system ----

// The window an object's drawing and measuring use: its own client, else
// its top level's.
XfWindow* drawing_window(WindowObject* o) {
  if (o->client_window) return o->client_window;
  const WindowObject* top = obj_top_level(o);
  return top ? top->client_window : nullptr;
}

// Measures with the object's font in a drawing context of its window;
// false without a window or font.
template <class F>
bool with_font(WindowObject* o, F f) {
  XfWindow* w = drawing_window(o);
  if (!w) return false;
  FontDescription d{};
  obj_get_font(o, &d);
  const int32_t slot = font_cache_find(&d);
  const FontAttrs* attrs = slot >= 0 ? font_cache_attrs(slot) : nullptr;
  if (!attrs) return false;
  const FontAttrs mine = *attrs;  // the cache's record is shared with the next lookup
  DrawContext dc{};
  if (!WinGetPS(&dc, w)) return false;
  FontAttrs previous{};
  WinSelectFont(&previous, &dc, &mine);
  f(dc);
  WinReleasePS(&dc);
  return true;
}

// Without windows the text is measured in cells, and points map through
// the objects' stored geometry: each ancestor's position in its container's
// unit, in pixels.
constexpr int32_t kHeadlessCellWidth = 8, kHeadlessFontHeight = 12;
void stored_origin(const WindowObject* o, int32_t* x, int32_t* y) {
  *x = *y = 0;
  for (; o; o = o->parent) {
    const int32_t unit = obj_container_unit(o, kContainerScale);
    *x += ctl_twips_to_pixels_x(unit, prop_field_value(o->props, 40));
    *y += ctl_twips_to_pixels_y(unit, prop_field_value(o->props, 41));
  }
}
void stored_map(WindowObject* from, WindowObject* to, int32_t* x, int32_t* y) {
  int32_t fx = 0, fy = 0, tx = 0, ty = 0;
  if (from) stored_origin(from, &fx, &fy);
  if (to) stored_origin(to, &tx, &ty);
  *x += fx - tx;
  *y += fy - ty;
}

}  // namespace

int32_t obj_text_width(WindowObject* o, std::string_view text) {
  int32_t width = static_cast<int32_t>(text.size()) * kHeadlessCellWidth;
  with_font(o, [&](DrawContext& dc) {
    int32_t overhang = 0;
    width = WinGetTextWidth(&dc, text.data(), static_cast<int32_t>(text.size()), &overhang);
  });
  return width;
}
int32_t obj_font_height(WindowObject* o) {
  int32_t height = kHeadlessFontHeight;
  with_font(o, [&](DrawContext& dc) {
    FontMetrics m{};
    WinQueryFontMetrics(&dc, &m);
    height = m.ascent + m.descent;
  });
  return height;
}
void obj_map_point(WindowObject* from, WindowObject* to, int32_t* x, int32_t* y) {
  XfWindow* a = from ? from->client_window : nullptr;
  XfWindow* b = to ? to->client_window : nullptr;
  if ((from && !a) || (to && !b)) return stored_map(from, to, x, y);
  int32_t pts[2] = {*x, *y};
  WinMapWindowPoints(a ? a : kDesktop, b ? b : kDesktop, pts, 1);
  *x = pts[0], *y = pts[1];
}
void obj_set_zorder(WindowObject* o, int32_t where, WindowObject* behind) {
  XfWindow* w = o->frame_window;
  if (!w) return;
  if (where == 0) return xfSetZOrder(w, nullptr);
  if (where == -1) return xfSetZOrder(w, reinterpret_cast<XfWindow*>(intptr_t{-1}));
  if (behind && behind->frame_window) xfSetZOrder(w, behind->frame_window);
}
int32_t obj_focus_id() {
  const WindowObject* o = obj_find_by_window(xfQueryFocus());
  return o ? o->handle : 0;
}
void obj_set_native_focus(WindowObject* o) {
  WindowObject* target = o;
  if (o->type == kObjCombo || is_combo_part(o)) {
    WindowObject* combo = o->type == kObjCombo ? o : obj_get(o->owner);
    if (WindowObject* edit = combo ? obj_get(combo->edit_part) : nullptr) target = edit;
  }
  if (o->type == kObjImage) target = obj_top_level(o);
  if (target && target->client_window && !xfHasFocus(target->client_window)) xfSetFocus(target->client_window);
}
void obj_capture(WindowObject* o) {
  if (!o) return (void)WinReleaseCapture();
  if (XfWindow* w = drawing_window(o)) WinSetCapture(w);
}
void obj_set_pointer_all(int32_t shape) {
  const int32_t sys = obj_pointer_system_id(shape);
  if (sys < 0) return;
  for (int32_t id = 1; id <= obj_last_id(); ++id)
    if (WindowObject* o = obj_get(id); o && o->client_window)
      xfSetPointer(o->client_window, xfQuerySysPointer(o->client_window, sys));
}
int32_t obj_activate(WindowObject* o) {
  if (!o->frame_window) return ERR_SYSTEM_CALL_FAILED;
  WinSetActiveWindow(o->frame_window);
  return 0;
}
void obj_draw_rect(WindowObject* o, const int32_t r[4], uint32_t colour, bool whole, const ShapePen& pen) {
  XfWindow* w = whole && o->frame_window ? o->frame_window : o->client_window;
  if (!w) return;
  DrawContext dc{};
  if (!WinGetPS(&dc, w)) return;
  Pen p{}, old{};
  WinMakePen(&p, pen.style, std::max(pen.width, 1), colour);
  WinSelectPen(&old, &dc, &p);
  if (pen.mode >= 1 && pen.mode <= 16) WinSetRop2(&dc, pen.mode);
  const XfPoint outline[5] = {{r[0], r[1]}, {r[2], r[1]}, {r[2], r[3]}, {r[0], r[3]}, {r[0], r[1]}};
  WinPolyline(&dc, outline, 5);
  WinReleasePS(&dc);
}
void obj_mark_changed(WindowObject* o) {
  XfWindow* w = o->client_window;
  if (!w) return;
  const WinRect band{0, w->height / 2, w->width, w->height / 2 + 1};
  WinInvalidateRect(w, &band);
}

void obj_repaint_client(WindowObject* o) {
  if (o->client_window) WinInvalidateRect(o->client_window, nullptr);
}

namespace {

// The MDI child frame whose system menu serves an object: an editor
// window's or MDI form's own, the frame object's active child.
XfWindow* mdi_child_of(WindowObject* o) {
  if (obj_is_frame_child(o) || o->mdi_form) return o->frame_window;
  if (o != obj_frame_object()) return nullptr;
  XfWindow* client = app_mdi_client();
  return client ? xfMdiGetActive(client) : nullptr;
}
// A free form's own frame when it has a system menu.
XfWindow* free_frame_of(WindowObject* o) {
  if (o->type != kObjForm || o->mdi_form || obj_is_frame_child(o) || !o->frame_window) return nullptr;
  return xfFrameSysMenu(o->frame_window) ? o->frame_window : nullptr;
}
}  // namespace

void obj_system_command(WindowObject* o, uint32_t command) {
  XfWindow* child = mdi_child_of(o);
  if (!child) {
    if (free_frame_of(o) && o->client_window) WinSendMsg(o->client_window, ZWM_SYSCOMMAND, command, 2);
    return;
  }
  XfWindow* client = WinQueryFrameClient(child);
  WinSendMsg(client ? client : child, ZWM_SYSCOMMAND, static_cast<intptr_t>(command), 2);
}
void obj_set_system_menu_text(WindowObject* o, uint32_t command, std::string_view text) {
  XfWindow* child = mdi_child_of(o);
  auto* menu = child ? static_cast<XfMenu*>(xfMdiSysMenu(child)) : nullptr;
  if (!child)
    if (XfWindow* f = free_frame_of(o)) menu = xfFrameSysMenu(f);
  if (!menu) return;
  const std::string t(text);
  WinSetMenuItemText(menu, command, t.c_str(), 0);
}
void obj_menu_mnemonic(WindowObject* o, char c) {
  XfWindow* frame = o->frame_window;
  if (o == obj_frame_object())
    if (XfWindow* client = app_mdi_client()) frame = xf_mdi_app_frame(client);
  if (frame) WinMenuSelectMnemonic(frame, nullptr, c);
}

void form_trim_system_menu(XfMenu* menu, bool minimise, bool maximise, bool sizable) {
  if (!menu) return;
  struct Rule {
    const char* text;
    bool goes;
  };
  const Rule rules[] = {{"~Restore\tAlt+F5", !minimise && !maximise},
                        {"~Size\tAlt+F8", !sizable},
                        {"Mi~nimize\tAlt+F9", !minimise},
                        {"Ma~ximize\tAlt+F10", !maximise},
                        {"~Hide\tAlt+F11", true}};
  char text[256];
  for (int32_t pos = 0; pos < WinQueryMenuItemCount(menu);) {
    text[0] = 0;
    WinQueryMenuItemText(menu, static_cast<uint32_t>(pos), text, sizeof text, 1);
    bool goes = false;
    for (const Rule& r : rules) goes = goes || (r.goes && std::string_view(text) == r.text);
    if (goes)
      WinDeleteMenuItem(menu, static_cast<uint32_t>(pos), 1);
    else
      ++pos;  // the items that stay advance the position
  }
}

int32_t obj_mdi_menubar_offset() { return g_menubar_offset; }

ObjWindowStyle obj_style_for_type(WindowObject* o, uint32_t mode) {
  ObjWindowStyle s;
  const bool design = o->design_mode != 0;
  const bool part = is_combo_part(o);
  const int32_t border = prop(o, 16);
  const bool design_shows = design && !(o->type == kObjPicture && part);
  if (!(mode & kCreateModeHidden) && (design_shows || prop(o, 11) != 0)) s.style |= kObjStyleVisible;
  if (!design && prop(o, 2) == 0) s.style |= kObjStyleDisabled;
  if (prop(o, 12)) s.style |= kObjStyleTabStop;
  switch (o->type) {
    case kObjForm:
      s.cls = "zx_form";
      s.create_flags = (!design && border == 3) ? 0x300 : 0x200;
      if (o->mdi_form) {
        s.frame_flags = 1;
        s.create_flags = 0x200;
      } else if (design) {
        s.frame_flags = 0xC8;
      } else if (o == obj_app_form()) {
        s.frame_flags = 0x1F9;
      } else {
        s.frame_flags = (prop(o, 13) ? 0x40u : 0) | (prop(o, 10) ? 0x20u : 0) | (prop(o, 9) ? 0x10u : 0);
        if (border == 0) s.frame_flags = 0;
        if (border == 1) s.frame_flags |= 9;
        if (border == 2) s.frame_flags |= 0x88;
        if (border == 3) s.frame_flags |= 8;
      }
      break;
    case kObjText:
      s.cls = "zx_text";
      if (border == 1) s.style |= part ? 4 : 0x10;
      break;
    case kObjCheck:
      s.cls = "zx_control";
      s.style |= 2;
      break;
    case kObjCommand:
      s.cls = "zx_control";
      s.style |= (!design && prop(o, 1)) ? 12 : 4;
      break;
    case kObjRadio:
      s.cls = "zx_control";
      s.style |= 0x10;
      break;
    case kObjGroup:
      // A group box: its groove with the caption in it.
      s.cls = "zx_frame";
      ctl_prop_set(o, 69, 1);
      s.style = (s.style & ~kObjStyleTabStop) | 0x2001;
      break;
    case kObjLabel:
      s.cls = "zx_label";
      break;
    case kObjList:
      s.cls = part ? "zx_cblist" : "zx_list";
      s.outer = "ctlframe";
      if (mode & kCreateModeForm) {
        s.style &= ~kObjStyleVisible;
        ctl_prop_set(o, 11, 0);
      }
      s.style |= border_bits(border, 4);
      if (const int32_t bars = prop(o, 18); bars >= 1 && bars <= 3) s.style |= static_cast<uint32_t>(bars) << 12;
      break;
    case kObjHScroll:
      s.cls = "zx_scroll";
      s.style |= 4;
      break;
    case kObjVScroll:
      s.cls = "zx_scroll";
      s.style |= 2;
      break;
    case kObjCombo:
      s.cls = "zx_combo";
      s.frame_flags = border >= 1 && border <= 3 ? 1 : 0;
      break;
    case kObjHelp:
      s.cls = "zx_hthelp_hook";
      s.outer = "ctlframe";
      s.style |= border_bits(border, 4) | 0x3000;
      break;
    case kObjPicture:
      s.cls = "zx_picture";
      if (!part) {
        s.outer = "ctlframe";
        s.style |= border_bits(border, 2);
      }
      s.frame_flags = border == 0 ? 0 : 1;
      break;
    case kObjGauge:
      s.cls = "zx_guage";
      break;
    case kObjSpin:
      s.cls = "zx_spin";
      s.outer = "ctlframe";
      s.style |= 8;
      break;
    default:
      s.cls = "zx_form";
      break;
  }
  if (mode & kCreateModeChild) {
    s.create_flags |= kCreateChild;
    if (design) s.style |= o->type == kObjCombo ? 0x440000 : kObjStyleDesign;
  }
  return s;
}

int32_t obj_create_native(WindowObject* o, uint32_t mode) {
  if (!o) return 0;
  if (const int32_t r = create_window(o, mode); r != 0) return r;
  if (o->type == kObjForm || o->type == kObjGroup || o->type == kObjPicture) return create_children(o);
  return 0;
}

void obj_save_edit_text(WindowObject* o) {
  if (o->type == kObjText && o->client_window) {
    if (InputField* f = ctl_text_field(o)) prop_block_set_string(o->props, 52, ifield_text(*f));
  } else if (o->type == kObjCombo) {
    if (WindowObject* e = obj_get(o->edit_part); e && e->client_window)
      if (InputField* f = ctl_text_field(e)) prop_block_set_string(o->props, 52, ifield_text(*f));
  }
}

std::string obj_text_value(WindowObject* o) {
  WindowObject* src = o->type == kObjCombo ? obj_get(o->edit_part) : o;
  if (src && src->client_window)
    if (InputField* f = ctl_text_field(src)) return std::string(ifield_text(*f));
  return std::string(prop_block_string(o->props, 52));
}

void obj_show_text_value(WindowObject* o) {
  if (o->type != kObjText && o->type != kObjCombo) return;
  WindowObject* dst = o->type == kObjCombo ? obj_get(o->edit_part) : o;
  if (dst && dst->client_window) set_field_text(dst, prop_block_string(o->props, 52));
}

void obj_destroy_native_window(WindowObject* o) {
  if (!o) return;
  // Children first: their records hold windows that go with the parent's.
  if (WindowObject* first = o->first_child) {
    WindowObject* c = first;
    do {
      obj_destroy_native_window(c);
      c = c->next;
    } while (c && c != first);
  }
  FocusEvents& f = focus_events();
  if (f.holder == o->handle) f.holder = 0;
  if (f.pending == o->handle) f.pending = 0;
  obj_save_edit_text(o);
  XfWindow* w = o->frame_window ? o->frame_window : o->client_window;
  XfWindow* mdi_client = o->mdi_form && w ? xf_mdi_client_of(w) : nullptr;
  clear_windows(o);
  if (w) WinDestroyWindow(w);  // an MDI child leaves the Window menu, another one becomes active
  if (!o->mdi_form) return;
  if (WindowObject* f = obj_frame_object(); f && f->last_mdi_form == o->handle) f->last_mdi_form = 0;
  // The keys go to the child that is active now.
  if (XfWindow* active = mdi_client ? xfMdiGetActive(mdi_client) : nullptr)
    xfSetFocus(active->k.mdi.client ? active->k.mdi.client : active);
}

int32_t obj_button_shown_value(const WindowObject* o, int32_t value) {
  if (value < 0) return 1;
  if (value > 1 && (o->type == kObjRadio || prop(o, 15) == 0)) return 1;
  return value;
}

void obj_set_value(WindowObject* o, int32_t value) {
  switch (o->type) {
    case kObjCheck:
    case kObjRadio: {
      const int32_t v = obj_button_shown_value(o, value);
      if (o->client_window) WinSendMsg(o->client_window, ZWM_BTNSETCHECK, v, 0);
      if (o->type != kObjRadio || !v || !o->parent) return;
      // One choice per group: the other radio buttons of the parent clear.
      WindowObject* first = o->parent->first_child;
      WindowObject* c = first;
      do {
        if (c != o && c->type == kObjRadio) {
          ctl_prop_set(c, 42, 0);
          if (c->client_window) WinSendMsg(c->client_window, ZWM_BTNSETCHECK, 0, 0);
        }
        c = c->next;
      } while (c && c != first);
      return;
    }
    case kObjHScroll:
    case kObjVScroll:
      if (o->client_window) WinSetScrollPos(o->client_window, value, 0);
      ctl_raise(o, kEvOnChange);
      return;
    case kObjPicture:
    case kObjSpin:
      op_repaint(o);
      return;
    default:
      return;
  }
}

void obj_set_font(const FontDescription& d, WindowObject* o) {
  const size_t n = std::char_traits<char>::length(d.face);
  prop_block_set_string(o->props, 30, std::string_view(d.face, n < sizeof d.face ? n : sizeof d.face - 1));
  ctl_prop_set(o, 5, d.size);
  ctl_prop_set(o, 3, (d.attrs & 1) ? 1 : 0);
  ctl_prop_set(o, 4, (d.attrs & 2) ? 1 : 0);
  ctl_prop_set(o, 8, (d.attrs & 8) ? 1 : 0);
  ctl_prop_set(o, 6, (d.attrs & 4) ? 1 : 0);
  ctl_prop_set(o, 60, (d.attrs & 0x200) ? 1 : 0);
}

void obj_get_font(const WindowObject* o, FontDescription* d) {
  const std::string face(prop_block_string(o->props, 30));
  uint32_t attrs = 0;
  if (prop(o, 3)) attrs |= 1;
  if (prop(o, 4)) attrs |= 2;
  if (prop(o, 6)) attrs |= 4;
  if (prop(o, 8)) attrs |= 8;
  if (prop(o, 60)) attrs |= 0x200;
  *d = font_description(face.c_str(), prop(o, 5), attrs);
}

const NativeWindowOps kControlWindowOps = {
    .create = op_create,
    .destroy = op_destroy,
    .show = op_show,
    .enable = op_enable,
    .get_rect = op_get_rect,
    .set_rect = op_set_rect,
    .client_size = op_client_size,
    .get_state = op_get_state,
    .set_state = op_set_state,
    .repaint = op_repaint,
    .relayout = op_relayout,
    .set_text = op_set_text,
    .set_pointer = op_set_pointer,
};

void obj_window_setup() {
  static bool registered = false;
  if (!registered) {
    ctl_register_classes();
    registered = true;
  }
}

// ---- the small built-ins' objects, designer and input (macro/screen_port.h)

bool object_has_type_bit() {
  const WindowObject* o = window_current();
  return o && obj_type_bit(static_cast<uint32_t>(o->type)) != 0;
}

// The designer's own measure, so the grid a macro sets is the grid it draws.
int32_t screen_twips_per_pixel(bool vertical) {
  const ScreenMetrics& m = screen_metrics();
  return vertical ? m.twips_y : m.twips_x;
}

void forms_repaint_design() {
  for (int32_t h = 1; h < window_table_count(); ++h) {
    WindowObject* o = window_record(h);
    if (o && o->type == kObjForm && o->design_mode) native_ops(o).repaint(o);
  }
}

void input_reset_click_count() { evt_reset_click_count(); }

// ---- repainting the objects' windows (the display's refresh and redraw ports)

void refresh_update_tree() {
  WindowObject* cur = window_current();
  if (!cur) return;
  obj_visit_preorder(
      obj_top_level(cur), nullptr,
      [](WindowObject* o, void*) -> int32_t {
        if (!o->frame_window || (o->flags & kWinHidden)) return 0;
        xfUpdateWindow(o->frame_window);
        // An MDI child's frame paints only itself: its client area too.
        if (o->client_window && o->client_window != o->frame_window) xfUpdateWindow(o->client_window);
        return 0;
      },
      true);
}

void redraw_objects() {
  for (int32_t h = 1; h < window_table_count(); ++h) {
    WindowObject* o = window_record(h);
    if (!o) continue;
    for (XfWindow* w : {o->frame_window, o->client_window})
      if (w) xfInvalidateRect(w, nullptr);
  }
}
