// Natural sizes, label auto-size, windowless images and the designer's
// outline (see ctl_layout.h).
#include "forms/ctl_layout.h"

#include <algorithm>
#include <string>

#include "forms/ctl_common.h"
#include "forms/ctl_props.h"
#include "forms/designer.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/picture.h"
#include "forms/prop_dispatch.h"
#include "winsys/bitmap_file.h"
#include "winsys/draw.h"
#include "winsys/message_numbers.h"
#include "winsys/present.h"
#include "winsys/winapi.h"
#include "winsys/window.h"

namespace {

// A drawing context on the object's window, or the frame's client for a
// windowless object; closed on leaving the scope.
struct MeasureContext {
  DrawContext dc{};
  bool open = false;
  explicit MeasureContext(const WindowObject* o) {
    XfWindow* w = o ? o->client_window : nullptr;
    if (!w) {
      const WindowObject* f = obj_frame_object();
      w = f ? f->client_window : nullptr;
    }
    if (!w && o) {
      const WindowObject* top = obj_top_level(const_cast<WindowObject*>(o));
      w = top ? top->client_window : nullptr;
    }
    open = w && WinGetPS(&dc, w);
  }
  ~MeasureContext() {
    if (open) WinReleasePS(&dc);
  }
  MeasureContext(const MeasureContext&) = delete;
  MeasureContext& operator=(const MeasureContext&) = delete;
};

void x_font_metrics(const WindowObject* o, int32_t* height, int32_t* leading) {
  *height = 16;
  *leading = 0;
  MeasureContext c(o);
  if (!c.open) return;
  FontMetrics m{};
  WinQueryFontMetrics(&c.dc, &m);
  *height = m.height;
  *leading = m.external_leading;
}

int32_t x_list_row_height(const WindowObject* o) {
  int32_t h = 0, lead = 0;
  x_font_metrics(o, &h, &lead);
  return std::max(1, h + lead);
}

void x_measure_text(const WindowObject* o, std::string_view text, int32_t width, uint32_t flags, int32_t* w,
                    int32_t* h) {
  *w = *h = 0;
  MeasureContext c(o);
  if (!c.open) return;
  WinRect r{0, 0, width, 0};
  WinDrawText(&c.dc, text.data(), static_cast<int32_t>(text.size()), &r, flags | 0x1000 | 0x2000);
  *w = r.right - r.left;
  *h = r.bottom - r.top;
}

bool x_picture_size(uint32_t picture, int32_t* w, int32_t* h) {
  *w = *h = 0;
  const XfPicture* p = picture ? ctl_picture_get(picture) : nullptr;
  if (!p) return false;
  *w = xfPictureWidth(p);
  *h = xfPictureHeight(p);
  return true;
}

constexpr LayoutMetrics kXMetrics = {x_font_metrics, x_list_row_height, x_measure_text, x_picture_size,
                                     WinQuerySysValue};
LayoutMetrics g_metrics = kXMetrics;

int32_t unit_of(const WindowObject* o) { return obj_container_unit(o, kContainerScale); }
int32_t px_w(const WindowObject* o, int32_t v) { return ctl_twips_to_pixels_x(unit_of(o), v); }
int32_t px_h(const WindowObject* o, int32_t v) { return ctl_twips_to_pixels_y(unit_of(o), v); }
void store_w(WindowObject* o, int32_t px) { ctl_prop_set(o, 39, ctl_pixels_to_twips_x(unit_of(o), px)); }
void store_h(WindowObject* o, int32_t px) { ctl_prop_set(o, 36, ctl_pixels_to_twips_y(unit_of(o), px)); }

WinRect rect_in_parent(const WindowObject* o) {
  const int32_t x = px_w(o, ctl_prop(o, 40)), y = px_h(o, ctl_prop(o, 41));
  return {x, y, x + px_w(o, ctl_prop(o, 39)), y + px_h(o, ctl_prop(o, 36))};
}

bool meets(const WinRect& a, const WinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void fill(DrawContext* dc, const WinRect& r, uint32_t colour) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  Brush b{};
  WinMakeSolidBrush(&b, colour);
  design_fill_rect(dc, r, b);
}

// The outline being drawn, while obj_draw_design_outline runs.
struct OutlineState {
  bool active = false;
  DrawContext* dc = nullptr;
  int32_t origin_x = 0, origin_y = 0;
  WinRect bounds{};
  uint32_t colour = 0;
};
OutlineState g_outline;

}  // namespace

LayoutMetrics& layout_metrics() { return g_metrics; }
void layout_metrics_reset() { g_metrics = kXMetrics; }

void obj_single_line_height(const WindowObject* o, int32_t* total, int32_t* text) {
  int32_t h = 0, lead = 0;
  g_metrics.font_metrics(o, &h, &lead);
  if (lead == 0) lead = twips_to_pixels(70, screen_metrics().twips_y);
  int32_t border = 0;
  if (ctl_prop(o, 16)) border = 2 * g_metrics.sys_value(o == obj_command_line() ? kSysCmdlineBorder : kSysTextBorder);
  int32_t t = h + lead + border;
  if (t < 1) t = 16;
  if (o->parent && o->parent->type == kObjCombo) t = std::max(t, 20);
  *total = t;
  *text = h;
}

int32_t obj_picture_frame_count(const WindowObject* o) {
  if (o->type == kObjPicture && ctl_prop(o, 15) == 1) return 1;
  const int32_t n = ctl_prop(o, 83);
  return n >= 1 && n <= 200 ? n : 1;
}

bool obj_picture_width(const WindowObject*, uint32_t picture, int32_t* w, int32_t* h) {
  if (!g_metrics.picture_size(picture, w, h)) return false;
  *w += 4;
  return true;
}

void obj_label_autosize(WindowObject* label) {
  const std::string caption(prop_block_string(label->props, 29));
  if (caption.empty()) return;
  const int32_t border = ctl_prop(label, 16) ? 2 : 0;
  const int32_t width = std::max(0, px_w(label, ctl_prop(label, 39)) - border);
  const int32_t align = ctl_prop(label, 22) & 3;
  uint32_t flags = align == 1 ? 8 : align == 2 ? 4 : 0;
  if (ctl_prop(label, 70)) flags |= 0x40;
  int32_t w = 0, h = 0;
  g_metrics.measure_text(label, caption, width, flags, &w, &h);
  // Wrapped lines were laid out in the label's width, which it keeps (the
  // measure gives the widest line, which would narrow it at every call).
  if (flags & 0x40) w = width;
  store_w(label, border + w);
  store_h(label, border + h);
}

void obj_natural_size(WindowObject* o, int32_t* w, int32_t* h, bool erase_handles) {
  if (erase_handles && o->selected && o->design_mode) obj_draw_grab_handles(o);
  const bool autosize = ctl_prop(o, 61) != 0;
  switch (o->type) {
    case kObjText:
      if (autosize) {
        int32_t total = 0, text = 0;
        obj_single_line_height(o, &total, &text);
        store_h(o, total);
      }
      break;
    case kObjLabel:
      if (autosize) obj_label_autosize(o);
      break;
    case kObjList:
      if (autosize) {
        const int32_t border = g_metrics.sys_value(kSysTextBorder);
        const bool hbar = (ctl_prop(o, 18) & 1) != 0;
        const int32_t line = g_metrics.list_row_height(o);
        const int32_t wanted = px_h(o, *h);
        store_h(o, list_natural_height(wanted, line, border, ctl_prop(o, 16) != 0,
                                       hbar ? g_metrics.sys_value(kSysHScrollHeight) : 0, ctl_prop(o, 19) == 3));
      }
      break;
    case kObjHScroll:
      if (autosize) store_h(o, g_metrics.sys_value(kSysHScrollHeight));
      break;
    case kObjVScroll:
      if (autosize) store_w(o, g_metrics.sys_value(kSysVScrollWidth));
      break;
    case kObjCombo: {
      int32_t total = 0, text = 0;
      obj_single_line_height(o, &total, &text);
      // Rows of the list part are its text height (the combo's own
      // without one).
      WindowObject* list = obj_get(o->list_part);
      int32_t list_total = 0, row = text;
      if (list) obj_single_line_height(list, &list_total, &row);
      // The arrow button's width is its picture's plus 4.
      int32_t bw = 0, bh = 0;
      const int32_t style = ctl_prop(o, 15);
      const WindowObject* arrow = obj_get(o->owner);
      const uint32_t arrow_picture = arrow ? static_cast<uint32_t>(ctl_prop(arrow, 57)) : 0;
      if (style != 1 && !obj_picture_width(o, arrow_picture, &bw, &bh)) bw = 0;
      const ComboLayout l = combo_layout_compute(style, 0, 0, px_w(o, ctl_prop(o, 39)), px_h(o, ctl_prop(o, 36)), total,
                                                 row, bw, screen_metrics().ppi);
      store_h(o, l.combo_height);
      break;
    }
    case kObjPicture:
    case kObjImage: {
      const uint32_t picture = static_cast<uint32_t>(ctl_prop(o, 57));
      int32_t pw = 0, ph = 0;
      if (!picture || !autosize || ctl_prop(o, 59) || obj_is_part(o) || !g_metrics.picture_size(picture, &pw, &ph))
        break;
      if (ctl_prop(o, 16)) {
        const bool image = o->type == kObjImage;
        pw += 2 * (image ? 1 : g_metrics.sys_value(kSysTextBorder));
        ph += 2 * (image ? 1 : g_metrics.sys_value(kSysTextBorder));
      }
      pw /= obj_picture_frame_count(o);
      store_w(o, pw);
      store_h(o, ph);
      break;
    }
    default:
      return;
  }
  *w = ctl_prop(o, 39);
  *h = ctl_prop(o, 36);
}

// ---- windowless images ----

ImagePlan image_plan(const WinRect& rect, bool design_mode, bool border, int32_t pw, int32_t ph, int32_t frames,
                     int32_t value, bool stretch) {
  ImagePlan p;
  if (design_mode) {
    p.frame_style = border ? 0 : 2;
    p.inset = border ? 0 : 1;
  } else if (border) {
    p.frame_style = 0;
  }
  const int32_t x = rect.left + p.inset, y = rect.top + p.inset;
  if (pw <= 0 || ph <= 0) {
    p.right = {rect.left, rect.top, rect.right, rect.bottom};
    return p;
  }
  frames = std::max(frames, 1);
  // A value outside the strip shows its last (or first) frame.
  p.frame = frames > 1 ? std::clamp(value, 0, frames - 1) : 0;
  const int32_t fw = pw / frames;
  p.source = {p.frame * fw, 0, p.frame * fw + fw, ph};
  if (stretch)
    p.dest = {x, y, rect.right - p.inset, rect.bottom - p.inset};
  else
    p.dest = {x, y, x + fw, y + ph};
  // Nothing is drawn outside the object: a picture larger than it is cut.
  const int32_t cut_w = std::max(0, p.dest.right - (rect.right - p.inset));
  const int32_t cut_h = std::max(0, p.dest.bottom - (rect.bottom - p.inset));
  if (!stretch && (cut_w || cut_h)) {
    p.dest.right -= cut_w;
    p.dest.bottom -= cut_h;
    p.source.right -= cut_w;
    p.source.bottom -= cut_h;
  }
  if (p.dest.right < rect.right) p.right = {p.dest.right, rect.top, rect.right, rect.bottom};
  if (p.dest.bottom < rect.bottom)
    p.below = {rect.left, p.dest.bottom, std::min(p.dest.right, rect.right), rect.bottom};
  return p;
}

void obj_paint_windowless_children(DrawContext* dc, WindowObject* o, const WinRect& area) {
  if (!o || !o->first_child) return;
  WindowObject* c = o->first_child;
  do {
    const bool shown = c->design_mode ? c->design_visible != 0 : ctl_prop(c, 11) != 0;
    if (!c->frame_window && !c->client_window && c->type == kObjImage && shown && meets(rect_in_parent(c), area))
      obj_paint_image(dc, c, true);
    c = c->next;
  } while (c && c != o->first_child);
}

void obj_paint_image(DrawContext* given, WindowObject* o, bool for_paint) {
  if (!o || !o->parent) return;
  DrawContext own{};
  DrawContext* dc = given;
  if (!dc) {
    if (!o->parent->client_window || !WinGetPS(&own, o->parent->client_window)) return;
    dc = &own;
  }
  const WinRect r = rect_in_parent(o);
  const uint32_t picture = static_cast<uint32_t>(ctl_prop(o, 57));
  const XfPicture* pic = picture ? ctl_picture_get(picture) : nullptr;
  const std::string caption(prop_block_string(o->props, 29));
  const bool text = !pic && !caption.empty();
  const ImagePlan p =
      image_plan(r, o->design_mode, ctl_prop(o, 16) != 0, pic ? xfPictureWidth(pic) : 0, pic ? xfPictureHeight(pic) : 0,
                 obj_picture_frame_count(o), ctl_prop(o, 42), ctl_prop(o, 59) != 0);
  if (p.frame_style >= 0 && !text) {
    const int32_t old_rop = WinSetRop2(dc, 13);
    const uint32_t old_bg = WinSetBkColor(dc, 0xFFFFFF);
    const int32_t old_mode = WinSetBkMode(dc, 58);
    Pen pen{}, old_pen{};
    WinMakePen(&pen, p.frame_style, 1, 0x000000);
    WinSelectPen(&old_pen, dc, &pen);
    Brush hollow{}, old_brush{};
    WinGetStockBrush(&hollow, 5);
    WinSelectBrush(&old_brush, dc, &hollow);
    WinRectangle(dc, r.left, r.top, r.right, r.bottom);
    WinSelectBrush(nullptr, dc, &old_brush);
    WinSelectPen(nullptr, dc, &old_pen);
    WinSetBkMode(dc, old_mode);
    WinSetBkColor(dc, old_bg);
    WinSetRop2(dc, old_rop);
  }
  if (pic) {
    xfDrawPicture(dc, pic, p.dest.left, p.dest.top, p.dest.right - p.dest.left, p.dest.bottom - p.dest.top,
                  p.source.left, p.source.top, p.source.right - p.source.left, p.source.bottom - p.source.top, 0);
  } else if (text) {
    WinRect tr = r;
    WinSetBkMode(dc, 57);
    WinSetTextColor(dc, ctl_colour(static_cast<uint32_t>(ctl_prop(o, 35))));
    WinDrawText(dc, caption.data(), static_cast<int32_t>(caption.size()), &tr, 0x2000);
  }
  if (for_paint && !text && (!pic || (!ctl_prop(o, 61) && !ctl_prop(o, 59)))) {
    const uint32_t bg = ctl_colour(static_cast<uint32_t>(ctl_prop(o, 31)));
    const int32_t in = p.frame_style >= 0 ? 1 : 0;  // keep the frame
    WinRect a = p.right, b = p.below;
    if (a.right > a.left) a = {std::max(a.left, r.left + in), r.top + in, r.right - in, r.bottom - in};
    if (b.right > b.left)
      b = {r.left + in, std::max(b.top, r.top + in), std::min(b.right, r.right - in), r.bottom - in};
    fill(dc, a, bg);
    fill(dc, b, bg);
  }
  if (dc == &own) WinReleasePS(&own);
}

void obj_set_default_look(WindowObject* o, bool on) {
  if (!o) return;
  if (o->type == kObjImage) {
    obj_paint_image(nullptr, o, false);
    return;
  }
  if ((o->shows_default != 0) == on) return;
  o->shows_default = on ? 1 : 0;
  if (o->client_window) WinSendMsg(o->client_window, ZWM_BTNSETDEFAULT, on ? 1 : 0, 0);
}

void design_handle_rect(WindowObject* o, int32_t left, int32_t top, int32_t right, int32_t bottom, char mode,
                        XfWindow* window, const WinRect* clip) {
  (void)o;
  WinRect r{left, top, right, bottom};
  if (mode == 'I') {
    if (window) WinInvalidateRect(window, &r);
    return;
  }
  if (mode != 'D' || !g_outline.active) return;
  if (clip)
    r = {std::max(r.left, clip->left), std::max(r.top, clip->top), std::min(r.right, clip->right),
         std::min(r.bottom, clip->bottom)};
  r = {r.left + g_outline.origin_x, r.top + g_outline.origin_y, r.right + g_outline.origin_x,
       r.bottom + g_outline.origin_y};
  const WinRect& b = g_outline.bounds;
  r = {std::max(r.left, b.left), std::max(r.top, b.top), std::min(r.right, b.right), std::min(r.bottom, b.bottom)};
  fill(g_outline.dc, r, g_outline.colour);
}

void obj_draw_design_outline(WindowObject* o) {
  if (!o || !o->design_mode || g_outline.active) return;
  WindowObject* t = obj_top_level(o);
  if (!t || !t->frame_window || !t->client_window) return;
  int32_t origin[2] = {0, 0};
  WinMapWindowPoints(t->client_window, t->frame_window, origin, 1);
  WinRect client{};
  WinQueryWindowRect(t->client_window, &client);
  DrawContext dc{};
  if (!WinGetPS(&dc, t->frame_window)) return;
  xfSetSubwindowMode(dc.state->ps, 0);  // over the child windows
  g_outline = OutlineState{true,
                           &dc,
                           origin[0],
                           origin[1],
                           WinRect{origin[0], origin[1], origin[0] + client.right, origin[1] + client.bottom},
                           ctl_colour(0x8000000du)};
  const WinRect r = design_object_rect(o);
  const bool form = o->type == kObjForm || o->type == kObjFrame;
  WinRect clip{};
  const bool clipped = design_handle_clip(o, &clip);
  const WinRect* cp = clipped ? &clip : nullptr;
  if (!form) {
    // The outline: one pixel along each edge.
    design_handle_rect(o, r.left, r.top - 1, r.right, r.top, 'D', nullptr, cp);
    design_handle_rect(o, r.left, r.bottom, r.right, r.bottom + 1, 'D', nullptr, cp);
    design_handle_rect(o, r.left - 1, r.top, r.left, r.bottom, 'D', nullptr, cp);
    design_handle_rect(o, r.right, r.top, r.right + 1, r.bottom, 'D', nullptr, cp);
  }
  if (o->selected) {
    const DesignerSettings& s = designer_settings();
    for (const WinRect& h : design_handle_rects(r, form, s.handle_w, s.handle_h))
      design_handle_rect(o, h.left, h.top, h.right, h.bottom, 'D', nullptr, cp);
  }
  xfSetSubwindowMode(dc.state->ps, 99);
  WinReleasePS(&dc);
  g_outline = OutlineState{};
}
