// Control window procedures and the creation of controls' native windows.
#include "forms/ctl_classes.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "base/messages.h"
#include "forms/ctl_combo.h"
#include "forms/ctl_common.h"
#include "forms/ctl_layout.h"
#include "forms/ctl_list.h"
#include "forms/ctl_props.h"
#include "forms/designer.h"
#include "forms/geometry.h"
#include "forms/input_field.h"
#include "forms/input_translate.h"
#include "forms/objects.h"
#include "forms/picture.h"
#include "forms/prop_dispatch.h"
#include "forms/routing.h"
#include "macro/catch.h"
#include "macro/key_dispatch.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "winsys/bitmap_file.h"
#include "winsys/classes.h"
#include "winsys/draw.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/present.h"
#include "winsys/scrollbar.h"
#include "winsys/winapi.h"
#include "winsys/winapi_scroll.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

constexpr const char* kFormClass = "zx_form";
constexpr const char* kControlClass = "zx_control";
constexpr const char* kTextClass = "zx_text";
constexpr const char* kLabelClass = "zx_label";
constexpr const char* kFrameClass = "zx_frame";
constexpr const char* kGaugeClass = "zx_guage";
constexpr const char* kSpinClass = "zx_spin";
constexpr const char* kScrollClass = "zx_scroll";
constexpr const char* kPictureClass = "zx_picture";
constexpr const char* kListClass = "zx_list";
constexpr const char* kComboClass = "zx_combo";
constexpr const char* kCbListClass = "zx_cblist";
constexpr uint32_t kChildVisible = 0x800000;
constexpr unsigned long kKeyAltL = 0xFFE9, kKeyF10 = 0xFFC7;
constexpr uint32_t kShiftMask = 1, kControlMask = 4, kAltMask = 8;  // key message states

intptr_t call_default(XfProc d, XfWindow* w, uint32_t m, intptr_t a, intptr_t b) { return d ? d(w, m, a, b) : 0; }

void set_check(WindowObject* o, int32_t v) {
  if (o->client_window) WinSendMsg(o->client_window, ZWM_BTNSETCHECK, v, 0);
}

WindowObject* object_of(XfWindow* w) { return obj_find_by_window(w); }

void fill(DrawContext* dc, const WinRect& r, uint32_t colour) {
  Brush b{};
  WinMakeSolidBrush(&b, colour);
  WinFillRect(dc, &r, &b);
}

void frame_rect(DrawContext* dc, const WinRect& r, uint32_t colour) {
  fill(dc, WinRect{r.left, r.top, r.right, r.top + 1}, colour);
  fill(dc, WinRect{r.left, r.bottom - 1, r.right, r.bottom}, colour);
  fill(dc, WinRect{r.left, r.top, r.left + 1, r.bottom}, colour);
  fill(dc, WinRect{r.right - 1, r.top, r.right, r.bottom}, colour);
}

uint32_t fg_of(const WindowObject* o) { return ctl_colour(static_cast<uint32_t>(ctl_prop(o, 35))); }
uint32_t bg_of(const WindowObject* o) { return ctl_colour(static_cast<uint32_t>(ctl_prop(o, 31))); }

}  // namespace

namespace {
bool is_input(uint32_t m) { return m == ZWM_CHAR || (m >= kMouseFirst && m <= kMouseLast); }

// A key or mouse message as the object's event: the command bound to it
// runs and the message is done (true). Nothing bound: the message goes on
// as an ordinary one; no "key-not-defined" runs for controls.
bool run_input_binding(WindowObject* o, XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  if (app_translate_input(w, m, mp1, mp2, kMenuOwnObject, kReaderWindowProc) != kInputEvent) return false;
  WindowObject* target = o;
  if (o->owner) {
    // A part of a combo box: the combo box remembers which part had input
    // last, and in design mode the combo box takes the event itself.
    WindowObject* owner = o->type == kObjCombo ? o : obj_get(o->owner);
    if (owner) {
      owner->property58 = o->handle;
      if (o->design_mode) target = owner;
    }
  }
  WindowObject* found = target;
  uint32_t binding = 0;
  const int32_t r = obj_find_binding(target, &found, key_globals.last_event, &binding, false, 1, false);
  if (r > 0) return false;
  if (r == 0) key_run_binding(found, binding, true);
  return true;
}
// Controls that never take the focus from a click of their own: frames,
// scroll bars, pictures, gauges and spin controls.
bool passive_on_click(const WindowObject* o) {
  switch (o->type) {
    case kObjGroup:
    case kObjHScroll:
    case kObjVScroll:
    case kObjPicture:
    case kObjGauge:
    case kObjSpin:
      return true;
    default:
      return false;
  }
}

// Focus for a click in design mode: a form takes it itself, any other
// object with its top-level frame window as the silent focus window.
void design_focus(WindowObject* o, XfWindow* w) {
  if (xfHasFocus(w)) return;
  WindowObject* top = o->type == kObjForm ? nullptr : obj_top_level(o);
  FocusEvents& f = focus_events();
  const XfWindow* silent = f.silent;
  if (top) f.silent = top->frame_window;
  xfSetFocus(w);
  f.silent = silent;
}

// The answer to a mouse activation (1 activate, 3 pass the click on), or 0
// for the default procedure.
intptr_t mouse_activate(WindowObject* o, XfWindow* w, int32_t code) {
  if (passive_on_click(o)) {
    if (code == 0) return 1;
    if (code != 1) return 0;
    if (o->design_mode)
      design_focus(o, w);
    else
      ctl_focus_on_click(o);
    return 1;
  }
  if (code == 0) {
    if (!xfHasFocus(w)) xfSetFocus(w);
    return 3;
  }
  if (code != 1) return 0;
  if (o->design_mode) {
    design_focus(o, w);
    return 1;
  }
  if (!xfHasFocus(w)) {
    if (o->type == kObjForm)
      ctl_focus_on_click(o);
    else
      design_focus(o, w);  // a control takes it, its form's frame moving silently
  }
  return 3;
}
}  // namespace

void ctl_focus_on_click(WindowObject* o) {
  if (!o || o->design_mode || (o->type != kObjForm && ctl_prop(o, 12))) return;
  WindowObject* top = obj_top_level(o);
  if (!top || !top->client_window) return;
  for (XfWindow* f = xfQueryFocus(); f; f = f->parent)
    if (f == top->client_window) return;  // the focus is inside already
  switch (top->type) {
    case kObjForm:
    case kObjGroup:
    case kObjHScroll:
    case kObjVScroll:
    case kObjPicture:
    case kObjGauge:
    case kObjSpin: {
      // The control that had the focus last, or the top level itself.
      WindowObject* last = obj_get(top->focus_child);
      xfSetFocus(last && last->client_window && obj_top_level(last) == top ? last->client_window : top->client_window);
      break;
    }
    default:
      break;
  }
}

intptr_t ctl_common_proc(XfProc dflt, XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (!o) return call_default(dflt, w, m, mp1, mp2);
  if (is_input(m)) {
    const int32_t id = o->handle;
    const uint32_t serial = o->serial;
    if (run_input_binding(o, w, m, mp1, mp2)) return 0;
    if (!obj_same(id, serial)) return 0;  // closed?
  }
  switch (m) {
    case ZWM_COMMAND:
      if ((mp2 & 0xFFFF) == 0) {
        // A button's notification: the child with that id takes the click.
        XfWindow* child = xfWindowFromId(w, static_cast<uint32_t>(mp1 & 0xFFFF));
        btn_click(child ? object_of(child) : nullptr, static_cast<int32_t>(mp2), set_check);
      }
      return 0;
    case ZWM_CLOSE:
      ctl_raise(o, kEvOnClose);
      return 0;
    case ZWM_KILLFOCUS:
      ctl_focus_lost(o, w);
      break;
    case ZWM_SETFOCUS:
      if (!o->design_mode) obj_default_button_focus(o);
      ctl_focus_got(o, w);
      break;
    case ZWM_MOUSEACTIVATE:
      if (const intptr_t r = mouse_activate(o, w, mp2 & 0xFFFF)) return r;
      break;
    case ZWM_LBUTTONDOWN:
    case ZWM_LBUTTONUP:
    case ZWM_LBUTTONDBLCLK:
      if (o->design_mode) return 0;  // the designer's, not the control's
      break;
    case ZWM_HITTEST:
      if (o->design_mode && o->type != kObjFrame && o->type != kObjForm) return 1;
      break;
    case ZWM_CHAR: {
      const unsigned long keysym = xf_key_keysym(mp1);
      if (o->design_mode) {
        // Only the menu keys reach a control in design mode.
        if (keysym != kKeyAltL && keysym != kKeyF10) return 0;
        break;
      }
      // Focus movement is the dialog manager's table's, in the macros.
      if (keysym == ' ' && (xf_key_state(mp1) & (kShiftMask | kControlMask | kAltMask))) return 0;
      break;
    }
    case ZWM_OBJEVENT: {
      FocusEvents& f = focus_events();
      if (f.objevent_depth >= kObjEventDepthLimit) {
        vm_raise_error(ERR_RECURSION_TOO_DEEP);
        return 0;
      }
      ++f.objevent_depth;
      if (mp1 == kEvOnChange) ctl_raise(o, obj_is_part(o) ? kEvOnChange2 : kEvOnChange);
      --f.objevent_depth;
      return 0;
    }
    default:
      break;
  }
  return call_default(dflt, w, m, mp1, mp2);
}

intptr_t ctl_button_base_proc(XfProc dflt, XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  const bool button = o && o->type >= kObjCheck && o->type <= kObjRadio && !o->design_mode;
  WindowObject* combo = o && o->owner && !o->design_mode ? obj_get(o->owner) : nullptr;
  switch (m) {
    case ZWM_KILLFOCUS:
      if (combo) {
        // A part of a combo box losing the focus redraws the box and closes
        // a drop-down list.
        const int32_t id = o->handle;
        const uint32_t serial = o->serial;
        const int32_t type = o->type;
        const intptr_t r = ctl_common_proc(dflt, w, m, mp1, mp2);
        if (!obj_same(id, serial) || !(combo = obj_get(o->owner))) return r;
        if (combo->client_window) WinInvalidateRect(combo->client_window, nullptr);
        if (ctl_prop(combo, 15) != 1)
          if (WindowObject* list = obj_get(combo->list_part); list && ctl_prop(list, 11))
            combo_show_dropdown(list, false);
        return type == kObjText ? r : 0;
      }
      break;
    case ZWM_SETFOCUS:
      if (combo && combo->client_window) WinInvalidateRect(combo->client_window, nullptr);
      break;
    case ZWM_MOUSEMOVE:
    case ZWM_LBUTTONDOWN:
    case ZWM_LBUTTONUP:
    case ZWM_LBUTTONDBLCLK:
      // A button tracks its click itself.
      if (button) return call_default(dflt, w, m, mp1, mp2);
      break;
    case ZWM_MOUSEACTIVATE:
      if (o && o->type != kObjText && !o->design_mode) {
        const int32_t code = mp2 & 0xFFFF;
        if (code == 0) return 1;
        if (code == 1) {
          ctl_focus_on_click(o);
          return 1;
        }
        return call_default(dflt, w, m, mp1, mp2);
      }
      break;
    default:
      break;
  }
  return ctl_common_proc(dflt, w, m, mp1, mp2);
}

intptr_t ctl_text_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  return ctl_button_base_proc(ctl_input_field_proc, w, m, mp1, mp2);
}

namespace {
// The window system's button behind the common default processing (hit
// test, activation, the menu keys).
intptr_t ctl_button_default(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  return WinCallDefProc(xfButtonProc, w, m, mp1, mp2);
}
}  // namespace

intptr_t ctl_control_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  return ctl_button_base_proc(ctl_button_default, w, m, mp1, mp2);
}

namespace {
// The window system's group box behind the common default processing; the
// mouse goes through to the form underneath.
intptr_t ctl_static_default(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  if (m >= ZWM_MOUSEMOVE && m <= ZWM_MBUTTONDBLCLK) return 0;
  return WinCallDefProc(xfStaticProc, w, m, mp1, mp2);
}
}  // namespace

intptr_t ctl_frame_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  if (m == ZWM_PAINT) {
    // The groove and caption in the frame's own colours (background 31,
    // caption 35).
    if (const WindowObject* o = object_of(w)) {
      const Colormap cm = xf().conn.colormap;
      xfSetWindowColors(w, xfColorToPixel(cm, bg_of(o)), static_cast<long>(xfColorToPixel(cm, fg_of(o))));
    }
  }
  return ctl_button_base_proc(ctl_static_default, w, m, mp1, mp2);
}

namespace {
// What a form paints over its background: its windowless images and, in
// design mode, the grid and the sizing handles of the selected objects.
int32_t paint_handles(WindowObject* o, void* arg) {
  const auto* p = static_cast<std::pair<DrawContext*, WinRect>*>(arg);
  obj_paint_grab_handles(p->first, o, p->second);
  return 0;
}
void form_paint_design(DrawContext* dc, WindowObject* form, const WinRect& update) {
  // The grid first: the images stand on it, the handles over everything.
  const ScreenMetrics& sm = screen_metrics();
  const int32_t gx = designer_grid_x(), gy = designer_grid_y();
  if (form->design_mode && gx >= 2 * sm.twips_x && gy >= 2 * sm.twips_y)
    xfDrawDotGrid(dc->state->ps, gx, gy, sm.twips_x, sm.twips_y);
  obj_paint_windowless_children(dc, form, update);
  if (!form->design_mode) return;
  std::pair<DrawContext*, WinRect> arg{dc, update};
  obj_visit_preorder(form, &arg, paint_handles, true);
}
}  // namespace

intptr_t form_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  if (m == ZWM_MOVE) {
    // A form that moves closes the drop-down lists of its combo boxes.
    if (WindowObject* o = object_of(w))
      obj_visit_preorder(
          o, o,
          [](WindowObject* c, void* form) {
            if (c != form && c->frame_window) WinSendMsg(c->frame_window, ZWM_CLOSEDROPDOWN, 0, 0);
            return 0;
          },
          true);
  }
  if (m == ZWM_PAINT) {
    if (WindowObject* o = object_of(w)) {
      DrawContext dc{};
      WinRect update{};
      if (WinBeginPaint(&dc, w, &update)) {
        WinRect all{};
        WinQueryWindowRect(w, &all);
        fill(&dc, all, bg_of(o));
        // The whole client: the background was filled through the same clip.
        form_paint_design(&dc, o, all);
        WinEndPaint(&dc, w);
      }
      if (o->design_mode && o->selected) obj_draw_design_outline(o);
      return 0;
    }
  }
  return ctl_common_proc(WinDefWindowProc, w, m, mp1, mp2);
}

// A control that paints itself: on a paint message the body draws into the
// client rectangle; everything else goes to the common procedure.
template <class Body>
intptr_t painted_control(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2, Body body) {
  WindowObject* o = object_of(w);
  if (!o || m != ZWM_PAINT) return ctl_common_proc(WinDefWindowProc, w, m, mp1, mp2);
  DrawContext dc{};
  WinRect update{};
  if (WinBeginPaint(&dc, w, &update)) {
    WinRect r{};
    WinQueryWindowRect(w, &r);
    body(dc, o, r);
    WinEndPaint(&dc, w);
  }
  return 0;
}

intptr_t ctl_label_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (o && m == ZWM_MOUSEACTIVATE && !o->design_mode) return 2;  // a label never takes the focus
  if (o && m == ZWM_PAINT) {
    DrawContext dc{};
    WinRect update{};
    if (WinBeginPaint(&dc, w, &update)) {
      WinRect r{};
      WinQueryWindowRect(w, &r);
      fill(&dc, r, bg_of(o));
      if (ctl_prop(o, 16)) {
        frame_rect(&dc, r, 0x000000);
        r = WinRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
      }
      const std::string caption(prop_block_string(o->props, 29));
      const int32_t align = ctl_prop(o, 22);
      uint32_t flags = (align & 3) == 1 ? 8 : (align & 3) == 2 ? 4 : 0;
      if (ctl_prop(o, 70)) flags |= 0x40;
      WinSetBkMode(&dc, 57);
      WinSetTextColor(&dc, ctl_prop(o, 2) ? fg_of(o) : 0x808080);
      if (align & 4) {
        WinRect m = r;
        WinDrawText(&dc, caption.data(), static_cast<int32_t>(caption.size()), &m, flags | 0x1000);
        const int32_t th = m.bottom - m.top;
        r.top = std::max(r.top, (r.bottom - r.top - th) / 2);
      }
      WinDrawText(&dc, caption.data(), static_cast<int32_t>(caption.size()), &r, flags | 0x2000);
      WinEndPaint(&dc, w);
    }
    return 0;
  }
  return ctl_common_proc(WinDefWindowProc, w, m, mp1, mp2);
}

intptr_t ctl_gauge_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  return painted_control(w, m, mp1, mp2, [&](DrawContext& dc, WindowObject* o, WinRect& r) {
    frame_rect(&dc, r, 0x808080);
    const WinRect in{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    const GaugeBar g = gauge_bar(ctl_prop(o, 77), ctl_prop(o, 78), ctl_prop(o, 42), ctl_prop(o, 15), in.right - in.left,
                                 in.bottom - in.top);
    const uint32_t fg = fg_of(o), bg = bg_of(o);
    fill(&dc, WinRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, bg);
    if (g.drawn) {
      const int32_t tw =
          g.text.empty() ? 0 : WinQueryTextWidth(&dc, g.text.data(), static_cast<int32_t>(g.text.size()));
      const int32_t th = WinQueryFontHeight(&dc);
      const int32_t tx = in.left + (in.right - in.left - tw) / 2, ty = in.top + (in.bottom - in.top - th) / 2;
      // The text in the background colours over the whole bar, then again
      // clipped to the filled part with the colours exchanged.
      WinSetTextColor(&dc, fg);
      WinSetBkColor(&dc, bg);
      WinExtTextOut(&dc, tx, ty, 3, &in, g.text.data(), static_cast<int32_t>(g.text.size()), nullptr);
      const WinRect bar{in.left + g.left, in.top + g.top, in.left + g.right, in.top + g.bottom};
      if (bar.right > bar.left && bar.bottom > bar.top) {
        WinSetTextColor(&dc, bg);
        WinSetBkColor(&dc, fg);
        WinExtTextOut(&dc, tx, ty, 3, &bar, g.text.data(), static_cast<int32_t>(g.text.size()), nullptr);
      }
    }
  });
}

intptr_t ctl_spin_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  return painted_control(w, m, mp1, mp2, [&](DrawContext& dc, WindowObject* o, WinRect& r) {
    fill(&dc, r, bg_of(o));
    Brush b{}, old{};
    WinMakeSolidBrush(&b, fg_of(o));
    WinSelectBrush(&old, &dc, &b);
    Pen p{}, oldp{};
    WinMakePen(&p, 0, 1, fg_of(o));
    WinSelectPen(&oldp, &dc, &p);
    const int32_t W = r.right, H = r.bottom, half = H / 2;
    if (ctl_prop(o, 15) == 0) {
      const XfPoint up[3] = {{2, half - 2}, {W - 3, half - 2}, {W / 2, 2}};
      const XfPoint down[3] = {{2, half + 2}, {W - 3, half + 2}, {W / 2, H - 3}};
      WinPolygon(&dc, up, 3);
      WinPolygon(&dc, down, 3);
      const XfPoint line[2] = {{0, half}, {W, half}};
      WinPolyline(&dc, line, 2);
    } else {
      const int32_t mid = W / 2;
      const XfPoint left[3] = {{mid - 2, 2}, {mid - 2, H - 3}, {2, H / 2}};
      const XfPoint right[3] = {{mid + 2, 2}, {mid + 2, H - 3}, {W - 3, H / 2}};
      WinPolygon(&dc, left, 3);
      WinPolygon(&dc, right, 3);
      const XfPoint line[2] = {{mid, 0}, {mid, H}};
      WinPolyline(&dc, line, 2);
    }
    WinSelectPen(nullptr, &dc, &oldp);
    WinSelectBrush(nullptr, &dc, &old);
  });
}

namespace {
// Background, and a one-pixel border when property 16 is set; `inside`
// then draws the contents in the same paint.
using PaintInside = void (*)(DrawContext& dc, WindowObject* o, const WinRect& r);
void paint_box(XfWindow* w, WindowObject* o, PaintInside inside = nullptr) {
  DrawContext dc{};
  WinRect update{};
  if (!WinBeginPaint(&dc, w, &update)) return;
  WinRect r{};
  WinQueryWindowRect(w, &r);
  fill(&dc, r, bg_of(o));
  if (ctl_prop(o, 16) || o->type == kObjCombo) frame_rect(&dc, r, 0x000000);
  const XfPicture* arrow = nullptr;
  if (o->type == kObjPicture && o->owner && ctl_prop(o, 57))
    arrow = ctl_picture_get(static_cast<uint32_t>(ctl_prop(o, 57)));
  if (arrow) {
    // The drop-down button of a combo box: its arrow picture, centred.
    const int32_t pw = xfPictureWidth(arrow), ph = xfPictureHeight(arrow);
    xfDrawPicture(&dc, arrow, (r.right - pw) / 2, (r.bottom - ph) / 2, pw, ph, 0, 0, 0, 0, 0);
  } else if (o->type == kObjPicture && o->owner) {
    // No picture: a triangle pointing down.
    Brush b{}, old{};
    WinMakeSolidBrush(&b, 0x000000);
    WinSelectBrush(&old, &dc, &b);
    const XfPoint arrow[3] = {{3, r.bottom / 3}, {r.right - 4, r.bottom / 3}, {r.right / 2, r.bottom * 2 / 3}};
    WinPolygon(&dc, arrow, 3);
    WinSelectBrush(nullptr, &dc, &old);
  }
  if (inside) inside(dc, o, r);
  WinEndPaint(&dc, w);
}

WindowObject* combo_of(WindowObject* part) { return part && part->owner ? obj_get(part->owner) : nullptr; }

// The built-in bar of a scroll-bar control shows the control's value. Its
// range runs one past the maximum with a thumb of 1, so every value from
// the minimum to the maximum is a position the bar can step to (a thumb as
// long as the range left it no room, and its arrows no step). The bar keeps
// 16-bit positions: a maximum at the top of that range is not passed.
void sync_scroll_bar(XfWindow* bar, const WindowObject* o) {
  const int32_t lo = std::min(ctl_prop(o, 77), ctl_prop(o, 78)), hi = std::max(ctl_prop(o, 77), ctl_prop(o, 78));
  const int32_t end = hi < INT16_MAX ? hi + 1 : hi;
  WinSetScrollRange(bar, lo, end, 0);
  WinSetScrollPage(bar, 1, end, 0);
  WinSetScrollPos(bar, ctl_prop(o, 42), 0);
}
}  // namespace

void ctl_scroll_sync(WindowObject* o) {
  if (o && (o->type == kObjHScroll || o->type == kObjVScroll) && o->client_window) sync_scroll_bar(o->client_window, o);
}

intptr_t ctl_scroll_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (o && (m == ZWM_VSCROLL || m == ZWM_HSCROLL)) {
    // The bar notifies itself: the control's value follows (line steps by
    // the small change, the trough by the large one), then its event; the
    // bar then shows the value, whatever step it took itself.
    const int32_t id = o->handle;
    const uint32_t serial = o->serial;
    ctl_scroll_notify(o, xf_high(mp2), xf_low(mp2));
    if (obj_same(id, serial) && o->client_window == w) WinSetScrollPos(w, ctl_prop(o, 42), 0);  // not closed?
    return 0;
  }
  if (m == ZWM_MOUSEMOVE || m == ZWM_LBUTTONDOWN || m == ZWM_LBUTTONUP) return xfScrollBarProc(w, m, mp1, mp2);
  return ctl_common_proc(xfScrollBarProc, w, m, mp1, mp2);
}

intptr_t ctl_picture_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (o && m == ZWM_PAINT) {
    paint_box(w, o);
    return 0;
  }
  if (o && o->owner && m == ZWM_LBUTTONDOWN) {
    // The arrow of a combo box opens or closes its list.
    if (WindowObject* c = combo_of(o))
      if (WindowObject* list = obj_get(c->list_part)) combo_show_dropdown(list, !ctl_prop(list, 11));
    return 0;
  }
  if (o && o->owner && m == ZWM_MOUSEACTIVATE) {
    // The drop-down button gives the focus to the combo box's text part.
    const int32_t code = mp2 & 0xFFFF;
    if (code != 0 && code != 1) return WinDefWindowProc(w, m, mp1, mp2);
    if (WindowObject* c = combo_of(o))
      if (WindowObject* edit = obj_get(c->edit_part); edit && edit->client_window && !xfHasFocus(edit->client_window))
        xfSetFocus(edit->client_window);
    return 3;
  }
  return ctl_common_proc(WinDefWindowProc, w, m, mp1, mp2);
}

namespace {
// The items of a list are the lines of its view's buffer, one row of the
// font's height each inside the border, the cursor line (the chosen item)
// in the colours exchanged. The top row keeps the cursor on its window row
// when it can, but the rows are filled from the first line up to the last
// and the cursor line is always among them.
int32_t list_top_line(PosRecord* p, BufferRec* b, int32_t cursor_row, int32_t rows) {
  int32_t total = 0;
  if (pos_count_lines(p, b, total) != 0) return 1;
  const int32_t n = std::max(p->line, 1);
  int32_t top = std::min(n - cursor_row, total - rows + 1);
  if (n >= top + rows) top = n - rows + 1;
  return std::max(top, 1);
}

void paint_list_items(DrawContext& dc, WindowObject* o, const WinRect& r) {
  PosRecord* view = o->view;
  BufferRec* b = view ? view->buffer : nullptr;
  if (!b) return;
  line_flush_if(b);
  const int32_t inset = ctl_prop(o, 16) ? 1 : 0;
  const WinRect inner{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
  const int32_t h = std::max(WinQueryFontHeight(&dc), 1);
  const int32_t rows = std::max((inner.bottom - inner.top + h - 1) / h, 1);
  PosRecord p{};
  p.buffer = b;
  pos_copy_place(&p, view);
  if (pos_goto_line(list_top_line(&p, b, std::max(view->row, 0), rows), &p, b) < 0) return;
  const uint32_t fg = fg_of(o), bg = bg_of(o);
  for (int32_t y = inner.top; y < inner.bottom; y += h) {
    const std::string text = line_get_string(&p, b);
    const bool chosen = pos_same_place(&p, view);
    const WinRect row{inner.left, y, inner.right, std::min(y + h, inner.bottom)};
    WinSetTextColor(&dc, chosen ? bg : fg);
    WinSetBkColor(&dc, chosen ? fg : bg);
    WinExtTextOut(&dc, inner.left + 1, y, 3, &row, text.data(), static_cast<int32_t>(text.size()), nullptr);
    if (pos_next_line(&p, b) != 0) break;
  }
}
}  // namespace

intptr_t ctl_list_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (o && m == ZWM_PAINT) {
    paint_box(w, o, paint_list_items);
    return 0;
  }
  return ctl_common_proc(WinDefWindowProc, w, m, mp1, mp2);
}

intptr_t ctl_combo_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (o && m == ZWM_PAINT) {
    paint_box(w, o);
    return 0;
  }
  return ctl_common_proc(WinDefWindowProc, w, m, mp1, mp2);
}

intptr_t ctl_cblist_proc(XfWindow* w, uint32_t m, intptr_t mp1, intptr_t mp2) {
  WindowObject* o = object_of(w);
  if (o && m == ZWM_LBUTTONDOWN) {
    // While dropped the list holds the capture: a press outside closes it.
    // mp2 holds the press's root position: the captured press may lie in
    // another window, whose own coordinates mp1 gives.
    int32_t origin[2] = {0, 0};
    WinMapWindowPoints(w, nullptr, origin, 1);
    WinRect r{};
    WinQueryWindowRect(w, &r);
    if (!WinPtInRect(&r, xf_low(mp2) - origin[0], xf_high(mp2) - origin[1])) combo_show_dropdown(o, false);
    return 0;
  }
  if (o && m == ZWM_MOUSEACTIVATE) return 3;
  if (o && m == ZWM_CLOSEDROPDOWN) {
    if (WindowObject* c = combo_of(o); c && ctl_prop(c, 15) != 1 && ctl_prop(o, 11)) combo_show_dropdown(o, false);
    return 0;
  }
  return ctl_list_proc(w, m, mp1, mp2);
}

void combo_show_dropdown(WindowObject* list, bool show) {
  if (!list || !list->client_window) return;
  if ((ctl_prop(list, 11) != 0) == show) return;
  WindowObject* c = combo_of(list);
  const bool grab = !c || ctl_prop(c, 15) != 1;
  if (!show) {
    if (grab) WinReleaseCapture();
    ctl_prop_set(list, 11, 0);
    WinShowWindow(list->client_window, 0);
    return;
  }
  if (grab) WinSetCapture(list->client_window);
  ctl_prop_set(list, 11, 1);
  WinShowWindow(list->client_window, 4);  // shown without activation
}

int32_t combo_create_parts(WindowObject* c, XfWindow* container) {
  if (!c || !c->client_window) return -1;
  const int32_t style = ctl_prop(c, 15);
  const ComboLayout l =
      combo_layout_compute(style, ctl_prop(c, 40), ctl_prop(c, 41), ctl_prop(c, 39), ctl_prop(c, 36), 26, 15, 12, 75);
  ctl_prop_set(c, 36, l.combo_height);
  WinMoveWindow(c->client_window, ctl_prop(c, 40), ctl_prop(c, 41), ctl_prop(c, 39), l.combo_height, 1);
  struct Part {
    int32_t type;
    int32_t x, y, w, h;
    XfWindow* parent;
  };
  const Part parts[] = {
      {kObjText, l.edit_x, l.edit_y, l.edit_w, l.edit_h, c->client_window},
      {kObjPicture, l.button_x, l.button_y, l.button_w, l.button_h, c->client_window},
      {kObjList, l.list_x, l.list_y, l.list_w, l.list_h, container},
  };
  for (const Part& p : parts) {
    if (p.type == kObjPicture && style == 1) continue;
    WindowObject* o = window_new_child(c);
    if (!o) return -1;
    obj_set_type(o, p.type);
    o->owner = c->handle;
    ctl_prop_set(o, 40, p.x);
    ctl_prop_set(o, 41, p.y);
    ctl_prop_set(o, 39, p.w);
    ctl_prop_set(o, 36, p.h);
    ctl_prop_set(o, 31, ctl_prop(c, 31));
    ctl_prop_set(o, 35, ctl_prop(c, 35));
    ctl_prop_set(o, 16, p.type == kObjList ? 1 : 0);
    const bool hidden_list = p.type == kObjList && style != 1;
    ctl_prop_set(o, 11, hidden_list ? 0 : 1);
    if (p.type == kObjPicture) {
      ctl_prop_set(o, 15, 1);
      ctl_prop_set(o, 57, static_cast<int32_t>(combo_arrow_picture(screen_metrics().width)));
    }
    if (p.type == kObjText) c->edit_part = o->handle;
    if (p.type == kObjList) c->list_part = o->handle;
    if (list_create_buffer(o) != 0) return -1;
    if (!ctl_create_window(o, p.parent)) return -1;
    if (hidden_list) WinShowWindow(o->client_window, 0);
  }
  return 0;
}

int32_t ctl_register_classes() {
  WinRegisterSubclass(kScrollBarClass, kScrollClass, ctl_scroll_proc, 0, 0);
  WinRegisterClass(kPictureClass, ctl_picture_proc, 0, 0);
  WinRegisterClass(kListClass, ctl_list_proc, 0, 0);
  WinRegisterClass(kComboClass, ctl_combo_proc, 0, 0);
  WinRegisterClass(kCbListClass, ctl_cblist_proc, 0, 0);
  WinRegisterClass(kFormClass, form_proc, 0, 0);
  WinRegisterSubclass(kButtonClass, kControlClass, ctl_control_proc, 0, 0);
  WinRegisterClass(kTextClass, ctl_text_proc, 0, static_cast<int32_t>(0x80010000u));
  WinRegisterClass(kLabelClass, ctl_label_proc, 0, 0);
  WinRegisterSubclass(kStaticClass, kFrameClass, ctl_frame_proc, 0, 0);
  WinRegisterClass(kGaugeClass, ctl_gauge_proc, 0, 0);
  WinRegisterClass(kSpinClass, ctl_spin_proc, 0, 0);
  return 0;
}

XfWindow* ctl_create_window(WindowObject* o, XfWindow* parent) {
  if (!o) return nullptr;
  const char* cls = nullptr;
  uint32_t style = kChildVisible;
  switch (o->type) {
    case kObjForm:
      cls = kFormClass;
      break;
    case kObjText:
      cls = kTextClass;
      style |= 4;
      break;
    case kObjCheck:
      cls = kControlClass;
      style |= 2;
      break;
    case kObjCommand:
      cls = kControlClass;
      break;
    case kObjRadio:
      cls = kControlClass;
      style |= 0x10;
      break;
    case kObjLabel:
      cls = kLabelClass;
      break;
    case kObjGauge:
      cls = kGaugeClass;
      break;
    case kObjSpin:
      cls = kSpinClass;
      break;
    case kObjPicture:
      cls = kPictureClass;
      break;
    case kObjList:
      cls = o->owner ? kCbListClass : kListClass;
      break;
    case kObjCombo:
      cls = kComboClass;
      break;
    case kObjHScroll:
    case kObjVScroll: {
      XfWindow* bar = xfCreateScrollBar(parent, nullptr, kChildVisible | (o->type == kObjHScroll ? 4 : 0), kScrollClass,
                                        static_cast<uint32_t>(o->handle), ctl_prop(o, 40), ctl_prop(o, 41),
                                        ctl_prop(o, 39), ctl_prop(o, 36));
      if (!bar) return nullptr;
      bar->owner = bar;  // its notifications come back to its own procedure
      xfSubclassWindow(bar, ctl_scroll_proc);
      o->frame_window = o->client_window = bar;
      sync_scroll_bar(bar, o);
      return bar;
    }
    default:
      return nullptr;
  }
  if (o->type == kObjLabel && ctl_prop(o, 61)) obj_label_autosize(o);  // sized to its caption before it shows
  const std::string caption(prop_block_string(o->props, 29));
  XfWindow* w =
      WinCreateStdWindow(kCreateChild, 0, cls, caption.c_str(), style, ctl_prop(o, 40), ctl_prop(o, 41),
                         ctl_prop(o, 39), ctl_prop(o, 36), parent, static_cast<uint32_t>(o->handle), o, nullptr);
  if (!w) return nullptr;
  o->frame_window = w;
  o->client_window = w;
  if (o->type == kObjCheck || o->type == kObjRadio) set_check(o, ctl_prop(o, 42));
  return w;
}
