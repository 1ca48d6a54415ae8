// The decoration of MDI child frames: drawing, the part procedures and the
// icon windows.
#include <X11/cursorfont.h>

#include <algorithm>
#include <cstring>

#include "winsys/focus.h"
#include "winsys/images.h"
#include "winsys/mdi_internal.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

constexpr uint32_t kDoubleClickMs = 500;

// The system-menu images: a bar, solid when the child is active, hollow
// when not.
constexpr int kSysW = 14, kSysH = 4;
constexpr unsigned char kSysActive[kSysH * 2] = {0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F};
constexpr unsigned char kSysInactive[kSysH * 2] = {0xFF, 0x3F, 0x01, 0x20, 0x01, 0x20, 0xFF, 0x3F};

struct DrawState {
  Pixmap sys_active = 0, sys_inactive = 0;
  Cursor zones[9] = {};
};
DrawState& ds() {
  static DrawState s;
  return s;
}

GC fill_gc() {
  XfMdi& s = xf_mdi();
  Display* d = xf_display();
  if (!s.fill_gc && d) {
    XGCValues v{};
    v.function = GXcopy;
    v.line_width = 1;
    v.line_style = LineSolid;
    v.foreground = xf().values.mdi_client;
    s.fill_gc = XCreateGC(d, xf().conn.root, GCFunction | GCLineWidth | GCLineStyle | GCForeground, &v);
  }
  return s.fill_gc;
}

void line(Drawable w, GC gc, int x1, int y1, int x2, int y2) { XDrawLine(xf_display(), w, gc, x1, y1, x2, y2); }

void fill(XfWindow* w, unsigned long pixel, bool stipple) {
  Display* d = xf_display();
  GC gc = fill_gc();
  XSetForeground(d, gc, pixel);
  if (stipple && xf_stipple(kStippleLightGrey)) {
    XSetStipple(d, gc, xf_stipple(kStippleLightGrey));
    XSetFillStyle(d, gc, FillOpaqueStippled);
    XSetBackground(d, gc, WhitePixel(d, xf().conn.screen));
    XSetForeground(d, gc, BlackPixel(d, xf().conn.screen));
  }
  XFillRectangle(d, w->xwin, gc, 0, 0, static_cast<unsigned>(xf_mdi_extent(w->width)),
                 static_cast<unsigned>(xf_mdi_extent(w->height)));
  XSetFillStyle(d, gc, FillSolid);
}

bool mono() { return xf().conn.depth == 1; }

// A button or title face, 'n' normal or 'p' pressed.
void bevel(XfWindow* w, char look) {
  Display* d = xf_display();
  if (!d) return;
  bool pressed = look == 'p';
  if (mono()) {
    fill(w, WhitePixel(d, xf().conn.screen), pressed);
  } else {
    fill(w, pressed ? w->medium : w->bg, false);
  }
  GC gc = fill_gc();
  const int wd = w->width, h = w->height;
  XSetForeground(d, gc, pressed ? w->dark : w->light);
  line(w->xwin, gc, 0, 0, wd, 0);
  line(w->xwin, gc, 0, 0, 0, h);
  XSetForeground(d, gc, pressed ? w->light : w->dark);
  line(w->xwin, gc, 1, h - 1, wd, h - 1);
  line(w->xwin, gc, wd - 1, h - 1, wd - 1, 1);
}

XfWindow* frame_of(XfWindow* part) { return xf_mdi_frame_of(part); }

bool is_active(XfWindow* frame) {
  return frame && frame->parent && frame->parent->kind == XFTYPE_MDICLIENT &&
         frame->parent->k.mdiclient.active == frame;
}

void draw_sysmenu(XfWindow* w, char look) {
  Display* d = xf_display();
  if (!d) return;
  bevel(w, 'n');
  DrawState& s = ds();
  if (!s.sys_active) {
    s.sys_active = XCreateBitmapFromData(d, xf().conn.root, reinterpret_cast<const char*>(kSysActive), kSysW, kSysH);
    s.sys_inactive =
        XCreateBitmapFromData(d, xf().conn.root, reinterpret_cast<const char*>(kSysInactive), kSysW, kSysH);
  }
  bool active = look == 'a' || (look == '-' && is_active(frame_of(w)));
  GC gc = fill_gc();
  XSetForeground(d, gc, BlackPixel(d, xf().conn.screen));
  XSetBackground(d, gc, mono() ? WhitePixel(d, xf().conn.screen) : w->bg);
  XCopyPlane(d, active ? s.sys_active : s.sys_inactive, w->xwin, gc, 0, 0, kSysW, kSysH, (w->width - kSysW) / 2,
             (w->height - kSysH) / 2, 1);
}

void draw_box_button(XfWindow* w, char look, bool maximise) {
  Display* d = xf_display();
  if (!d) return;
  bevel(w, look);
  int32_t side = xf_mdi_button_square(w->width, maximise);
  if (side < 2) return;
  int x = (w->width - side) / 2, y = (w->height - side) / 2;
  GC gc = fill_gc();
  XSetForeground(d, gc, w->light);
  line(w->xwin, gc, x, y, x + side - 1, y);
  line(w->xwin, gc, x, y, x, y + side - 1);
  XSetForeground(d, gc, w->dark);
  line(w->xwin, gc, x, y + side - 1, x + side - 1, y + side - 1);
  line(w->xwin, gc, x + side - 1, y, x + side - 1, y + side - 1);
}

void draw_text_centred(XfWindow* w, void* font_rec, const char* text, int32_t width_less) {
  Display* d = xf_display();
  auto* font = static_cast<XfFont*>(font_rec);
  if (!d || !text || !*text || !font || !font->fs) return;
  auto n = static_cast<int>(std::strlen(text));
  int tw = XTextWidth(font->fs, text, n);
  int avail = w->width - width_less;
  int x = width_less / 2 + (avail - tw) / 2;
  int y = (w->height - (font->fs->ascent + font->fs->descent)) / 2 + font->fs->ascent;
  GC gc = fill_gc();
  XSetFont(d, gc, font->fid);
  XSetForeground(d, gc, w->fg);
  XRectangle clip{static_cast<short>(width_less / 2), 0, static_cast<unsigned short>(std::max(avail, 1)),
                  static_cast<unsigned short>(std::max(w->height, 1))};
  XSetClipRectangles(d, gc, 0, 0, &clip, 1, Unsorted);
  XDrawString(d, w->xwin, gc, x, y, text, n);
  XSetClipMask(d, gc, 0);
}

void draw_title(XfWindow* w, char look) {
  bevel(w, look);
  XfWindow* frame = frame_of(w);
  if (frame) draw_text_centred(w, frame->font, frame->text, 6);
}

// The border ring of a child frame.
void draw_border(XfWindow* frame) {
  Display* d = xf_display();
  if (!d) return;
  const XfMdiMetrics m = xf_mdi_metrics();
  const int b = m.border, z = m.zone(), w = frame->width, h = frame->height;
  GC gc = fill_gc();
  Drawable x = frame->xwin;
  bool active = is_active(frame);
  if (mono()) {
    XSetForeground(d, gc, active ? BlackPixel(d, xf().conn.screen) : WhitePixel(d, xf().conn.screen));
  } else {
    XSetForeground(d, gc, frame->bg);
  }
  for (int i = 1; i <= b - 2; ++i) {
    if (w - 1 - 2 * i < 0 || h - 1 - 2 * i < 0) break;
    XDrawRectangle(d, x, gc, i, i, static_cast<unsigned>(w - 1 - 2 * i), static_cast<unsigned>(h - 1 - 2 * i));
  }
  XSetForeground(d, gc, frame->light);
  line(x, gc, 0, 0, w, 0);
  line(x, gc, 0, 0, 0, h);
  line(x, gc, b, h - b, w - b, h - b);
  line(x, gc, w - b, b - 1, w - b, h + 1 - b);
  XSetForeground(d, gc, frame->dark);
  line(x, gc, b - 1, b - 1, w + 1 - b, b - 1);
  line(x, gc, b - 1, b - 1, b - 1, h + 1 - b);
  line(x, gc, 0, h - 1, w, h - 1);
  line(x, gc, w - 1, 0, w - 1, h);
  // Corner marks across the ring: light, with a dark line just before.
  for (int pass = 0; pass < 2; ++pass) {
    XSetForeground(d, gc, pass ? frame->light : frame->dark);
    int o = pass ? 0 : -1;
    for (int cx : {z + o, w - z + o}) {
      line(x, gc, cx, 0, cx, b - 1);
      line(x, gc, cx, h - b, cx, h);
    }
    for (int cy : {z + o, h - z + o}) {
      line(x, gc, 0, cy, b - 1, cy);
      line(x, gc, w - b, cy, w, cy);
    }
  }
}

Cursor zone_pointer(XfWindow* w, int32_t zone) {
  Display* d = xf_display();
  if (!d || zone <= 0 || zone > 8) return xfQuerySysPointer(w, 1);
  static const unsigned kGlyphs[9] = {
      0,           XC_top_left_corner, XC_top_right_corner, XC_bottom_left_corner, XC_bottom_right_corner,
      XC_top_side, XC_bottom_side,     XC_left_side,        XC_right_side};
  Cursor& c = ds().zones[zone];
  if (!c) {
    c = XCreateFontCursor(d, kGlyphs[zone]);
    xfRegisterCursor(c);
  }
  return c;
}

int button_index(uint32_t kind) { return kind == XFTYPE_MDISYSMENU ? 0 : kind == XFTYPE_MDIMINBUTTON ? 1 : 2; }

void paint_part(XfWindow* w, char look) {
  switch (w->kind) {
    case XFTYPE_MDISYSMENU:
      draw_sysmenu(w, look == 'p' ? '-' : look);
      break;
    case XFTYPE_MDIMINBUTTON:
      draw_box_button(w, look, false);
      break;
    case XFTYPE_MDIMAXBUTTON:
      draw_box_button(w, look, true);
      break;
    case XFTYPE_MDIFRAMETITLE:
      draw_title(w, look);
      break;
    default:
      break;
  }
}

intptr_t button_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfMdiButtons& b = xf_mdi().buttons;
  int i = button_index(w->kind);
  XfWindow* frame = frame_of(w);
  switch (message) {
    case ZWM_SETPOINTER:
      xfSetPointer(w, xfQuerySysPointer(w, 1));
      return 0;
    case ZWM_PAINT:
      paint_part(w, b.pressed[i] && b.inside[i] ? 'p' : 'n');
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN:
      b.pressed[i] = b.inside[i] = true;
      paint_part(w, 'p');
      xfSetCapture(w);
      return 0;
    case ZWM_POINTERLEAVE:
    case ZWM_POINTERENTER:
    case ZWM_MOUSEMOVE: {
      if (!b.pressed[i]) return 0;
      int32_t x = xf_low(mp1), y = xf_high(mp1);
      bool inside = x >= 0 && y >= 0 && x < w->width && y < w->height;
      if (message == ZWM_POINTERLEAVE) inside = false;
      if (inside != b.inside[i]) {
        b.inside[i] = inside;
        paint_part(w, inside ? 'p' : 'n');
      }
      return 0;
    }
    case ZWM_LBUTTONUP: {
      bool was = b.pressed[i] && b.inside[i];
      b.pressed[i] = b.inside[i] = false;
      xfReleaseCapture(w);
      paint_part(w, 'n');
      if (was && frame) {
        if (w->kind == XFTYPE_MDIMINBUTTON) xfMdiMinimize(frame);
        if (w->kind == XFTYPE_MDIMAXBUTTON) xfMdiMaximize(frame);
      }
      return 0;
    }
    case ZWM_MDIMAXIMISE:
      if (w->kind == XFTYPE_MDIMAXBUTTON && frame) xfMdiMaximize(frame);
      return 0;
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

}  // namespace

int32_t xf_mdi_text_width(void* font_rec, const char* text) {
  auto* font = static_cast<XfFont*>(font_rec);
  auto n = static_cast<int>(std::strlen(text ? text : ""));
  if (font && font->fs) return XTextWidth(font->fs, text ? text : "", n);
  return 6 * n;
}

int32_t xf_mdi_font_height(void* font_rec) {
  auto* font = static_cast<XfFont*>(font_rec);
  if (!font || !font->fs) return 12;
  int dir = 0, ascent = 0, descent = 0;
  XCharStruct overall{};
  XTextExtents(font->fs, "Tg", 2, &dir, &ascent, &descent, &overall);
  return overall.ascent + overall.descent;
}

void xf_mdi_free_draw_state() {
  XfMdi& s = xf_mdi();
  Display* d = xf_display();
  if (d) {
    if (s.fill_gc) XFreeGC(d, s.fill_gc);
    if (s.outline_gc) XFreeGC(d, s.outline_gc);
    DrawState& st = ds();
    if (st.sys_active) XFreePixmap(d, st.sys_active);
    if (st.sys_inactive) XFreePixmap(d, st.sys_inactive);
    if (s.icon) XFreePixmap(d, s.icon);
  }
  s.fill_gc = s.outline_gc = nullptr;
  s.icon = 0;
  ds() = DrawState{};
}

void xf_mdi_invalidate_decoration(XfWindow* frame) {
  const XfMdiChildWords& c = frame->k.mdi;
  xfInvalidateRect(frame, nullptr);
  for (XfWindow* w : {c.sysmenu, c.min_button, c.max_button, c.title}) {
    if (w) xfInvalidateRect(w, nullptr);
  }
}

void xfMdiDrawDecoration(XfWindow* frame) {
  if (!xf_display() || !frame) return;
  const XfMdiChildWords& c = frame->k.mdi;
  draw_border(frame);
  if (c.sysmenu) draw_sysmenu(c.sysmenu, '-');
  if (c.min_button) draw_box_button(c.min_button, 'n', false);
  if (c.max_button) draw_box_button(c.max_button, 'n', true);
  if (c.title) draw_title(c.title, 'n');
}

// ----- procedures -----

intptr_t xfMdiFrameProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfMdiChildWords& c = w->k.mdi;
  switch (message) {
    case ZWM_MDISHOW:
      xfMapWindow(c.state == kMdiMinimised && c.icon_holder ? c.icon_holder : w);
      return 0;
    case ZWM_MDIHIDE:
      xfUnmapWindow(w);
      if (c.icon_holder) xfUnmapWindow(c.icon_holder);
      return 0;
    case ZWM_PAINT:
      draw_border(w);
      xfValidateWindow(w);
      return 0;
    case ZWM_SETPOINTER:
      return 0;
    case ZWM_POINTERENTER:
    case ZWM_MOUSEMOVE:
      if (!xfQueryCapture() && !xf_mdi().track.dragging) {
        int32_t z = xf_mdi_metrics().zone();
        int32_t zone = xf_mdi_hit_zone(xf_low(mp1), xf_high(mp1), w->width, w->height, xf_mdi_zone_size(w->width, z),
                                       xf_mdi_zone_size(w->height, z));
        if (message == ZWM_POINTERENTER) zone = 0;
        Display* d = xf_display();
        if (message == ZWM_MOUSEMOVE && d) XDefineCursor(d, w->xwin, zone_pointer(w, zone));
      }
      if (xf_mdi().track.dragging) return xfMdiTrackFrame(w, message, mp1, mp2);
      return 0;
    case ZWM_POINTERLEAVE:
    case ZWM_MDIUNDEFPOINTER:
      if (!xf_mdi().track.dragging)
        if (Display* d = xf_display()) XUndefineCursor(d, w->xwin);
      return 0;
    case ZWM_LBUTTONDOWN:
    case ZWM_LBUTTONUP:
    case ZWM_MDIKEYBOARDSIZE:
    case ZWM_CHAR:
      return xfMdiTrackFrame(w, message, mp1, mp2);
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

intptr_t xfMdiTopFormProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_PAINT:
      if (xf_display()) fill(w, xf().values.mdi_client, false);
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN:
      if (XfWindow* f = frame_of(w)) xfMdiActivateOrMaximize(f);
      return 0;
    case ZWM_POINTERENTER:
      if (XfWindow* f = frame_of(w)) xfSendMsg(f, ZWM_MDIUNDEFPOINTER, 0, 0);
      return 0;
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

intptr_t xfMdiSysMenuButtonProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfMdiButtons& b = xf_mdi().buttons;
  XfWindow* frame = frame_of(w);
  switch (message) {
    case ZWM_PAINT:
      draw_sysmenu(w, '-');
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN: {
      if (frame) xfMdiActivateOrMaximize(frame);
      // The menu opens under the button; a second click on the button
      // within the double-click time chooses Close.
      if (frame) xf_mdi_open_sys_menu(frame, w, xfMdiSysMenu(frame));
      return 0;
    }
    case ZWM_LBUTTONUP: {
      uint32_t now = xfQueryMilliseconds();
      if (b.sys_release_window == w && now - b.sys_release_time < kDoubleClickMs && frame) {
        b.sys_release_window = nullptr;
        if (frame->k.mdi.client) xfPostMsg(frame->k.mdi.client, ZWM_SYSCOMMAND, kMdiCmdClose, 0);
        return 0;
      }
      b.sys_release_window = w;
      b.sys_release_time = now;
      return 0;
    }
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

intptr_t xfMdiMinButtonProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  return button_proc(w, message, mp1, mp2);
}
intptr_t xfMdiMaxButtonProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  return button_proc(w, message, mp1, mp2);
}

intptr_t xfMdiTitleProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_PAINT:
      draw_title(w, xf_mdi().track.zone == -1 && xf_mdi().track.dragging ? 'p' : 'n');
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN:
    case ZWM_LBUTTONUP:
    case ZWM_MOUSEMOVE:
    case ZWM_CHAR:
      return xfMdiTrackTitle(w, message, mp1, mp2);
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

// ----- icons -----

namespace {

Pixmap default_icon() {
  XfMdi& s = xf_mdi();
  Display* d = xf_display();
  if (s.icon || !d) return s.icon;
  const int w = s.icon_w, h = s.icon_h;
  s.icon = XCreatePixmap(d, xf().conn.root, static_cast<unsigned>(w), static_cast<unsigned>(h),
                         static_cast<unsigned>(xf().conn.depth));
  GC gc = fill_gc();
  XSetForeground(d, gc, WhitePixel(d, xf().conn.screen));
  XFillRectangle(d, s.icon, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XSetForeground(d, gc, BlackPixel(d, xf().conn.screen));
  XDrawRectangle(d, s.icon, gc, 4, 1, static_cast<unsigned>(w - 9), static_cast<unsigned>(h - 3));
  for (int y = 6; y < h - 4; y += 4) XDrawLine(d, s.icon, gc, 8, y, w - 9, y);
  return s.icon;
}

}  // namespace

void xfCreateMdiIcon(XfWindow* frame, XfWindow** holder, XfWindow** label, XfWindow** image) {
  XfWindow* client = frame->parent && frame->parent->kind == XFTYPE_MDICLIENT ? frame->parent : frame->tree_parent;
  const unsigned long bg = xf().values.mdi_client;
  XfWindow* h = xfCreateChildWindow(client, 0, 0, 50, 80, ExposureMask, 'u');
  xfSetWindowClass(XFTYPE_MDIMINFRAME, h, client, nullptr);
  h->proc = xfMdiIconHolderProc;
  h->k.raw[0] = reinterpret_cast<intptr_t>(frame);
  xfSetWindowColors(h, bg, -1);
  XfWindow* im = xfCreateChildWindow(h, 0, 0, 50, 50, ButtonPressMask | ButtonReleaseMask | ExposureMask, 'm');
  xfSetWindowClass(XFTYPE_MDIMINICON, im, h, nullptr);
  im->proc = xfMdiIconImageProc;
  xfSetWindowColors(im, bg, -1);
  XfWindow* lb = xfCreateChildWindow(h, 0, 50, 50, 30, ButtonPressMask | ExposureMask, 'm');
  xfSetWindowClass(XFTYPE_MDIMINLABEL, lb, h, nullptr);
  lb->proc = xfMdiIconLabelProc;
  xfSetWindowColors(lb, bg, -1);
  frame->k.mdi.icon_picture = reinterpret_cast<void*>(default_icon());
  *holder = h;
  *label = lb;
  *image = im;
}

void xfMdiSizeIconLabel(XfWindow* frame, const char* title) {
  XfMdiChildWords& c = frame->k.mdi;
  if (!c.icon_holder) return;
  XfMdi& s = xf_mdi();
  void* font = xf().values.mdi_icon_font;
  int32_t width = std::max(s.icon_w, xf_mdi_text_width(font, title)) + 4;
  int32_t label_h = xf_mdi_font_height(font) + 4;
  XfWindow* h = c.icon_holder;
  xfSetWindowGeometry(h, h->x, h->y, width, s.icon_h + label_h + 2);
  xfSetWindowGeometry(c.icon_image, 0, 0, width, s.icon_h);
  xfSetWindowGeometry(c.icon_label, 0, s.icon_h + 2, width, label_h);
  xfInvalidateRect(c.icon_image, nullptr);
  xfInvalidateRect(c.icon_label, nullptr);
}

void xfMdiPlaceIcon(XfWindow* frame, int32_t x, int32_t y) {
  XfMdiChildWords& c = frame->k.mdi;
  if (!c.icon_holder) return;
  XfMdi& s = xf_mdi();
  void* font = xf().values.mdi_icon_font;
  // Measured with the child's own title: the label keeps the width it was
  // sized for.
  int32_t width = std::max(s.icon_w, xf_mdi_text_width(font, frame->text && *frame->text ? frame->text : "Tg")) + 4;
  int32_t label_h = xf_mdi_font_height(font) + 4;
  xfSetWindowGeometry(c.icon_holder, x, y, width, s.icon_h + label_h + 2);
  xfSetWindowGeometry(c.icon_image, 0, 0, width, s.icon_h);
  xfSetWindowGeometry(c.icon_label, 0, s.icon_h + 2, width, label_h);
  xfInvalidateRect(c.icon_image, nullptr);
  xfInvalidateRect(c.icon_label, nullptr);
}

intptr_t xfMdiIconHolderProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_PAINT:
      if (xf_display()) fill(w, xf().values.mdi_client, false);
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN:
      if (XfWindow* f = frame_of(w)) xfMdiActivate(f);
      return 0;
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

intptr_t xfMdiIconLabelProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfWindow* frame = frame_of(w);
  switch (message) {
    case ZWM_PAINT:
      if (xf_display()) {
        fill(w, w->bg, false);
        if (frame) draw_text_centred(w, xf().values.mdi_icon_font, frame->text, 0);
      }
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN:
      if (frame) xfMdiActivate(frame);
      return 0;
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}

intptr_t xfMdiIconImageProc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfWindow* frame = frame_of(w);
  switch (message) {
    case ZWM_PAINT:
      if (Display* d = xf_display()) {
        bool active = frame && is_active(frame);
        fill(w, active ? xf().values.mdi_active : xf().values.mdi_client, false);
        if (Pixmap icon = default_icon()) {
          XfMdi& s = xf_mdi();
          XCopyArea(d, icon, w->xwin, fill_gc(), 0, 0, static_cast<unsigned>(s.icon_w), static_cast<unsigned>(s.icon_h),
                    (w->width - s.icon_w) / 2, (w->height - s.icon_h) / 2);
        }
      }
      xfValidateWindow(w);
      return 0;
    case ZWM_LBUTTONDOWN:
    case ZWM_LBUTTONUP:
    case ZWM_MOUSEMOVE:
    case ZWM_CHAR:
      return xfMdiTrackIcon(w, message, mp1, mp2);
    default:
      return xfDefWindowProc(w, message, mp1, mp2);
  }
}
