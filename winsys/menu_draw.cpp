// The menu font and colours, the graphics contexts, painting bars and
// popups, the bar's window and procedure, and the hooks that give frames
// their bars.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "winsys/caret.h"
#include "winsys/ctl_draw.h"
#include "winsys/gfx.h"
#include "winsys/images.h"
#include "winsys/menu.h"
#include "winsys/menu_internal.h"
#include "winsys/menu_track.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

// Metrics used before any font is known (a layout without a display).
constexpr int32_t kFallbackWidth = 8, kFallbackAscent = 10;
// The built-in system-menu and restore images.
constexpr int32_t kImageWidth = 16, kImageHeight = 14;

struct DrawState {
  int32_t widths[256];
  int32_t ascent = kFallbackAscent;
  bool metrics = false;  // widths and ascent are set
  XFontStruct* font = nullptr;
  uint32_t style = 0;
  Display* display = nullptr;  // what the contexts and images belong to
  GC text = nullptr, light = nullptr, dark = nullptr, track = nullptr;
  Pixmap sys_image = 0, restore_image = 0;
  unsigned long shades_of = 0;  // the menu colour whose shades are cached
  XfShades shades{};
  bool shades_set = false;
  XfMenuKeyHook key_hook = nullptr;
  DrawState() { std::fill(std::begin(widths), std::end(widths), kFallbackWidth); }
};

DrawState& S() {
  static DrawState s;
  return s;
}

// X resources of an earlier connection are not ours to use or free.
void forget_old_display() {
  DrawState& s = S();
  Display* d = xf_display();
  if (s.display == d) return;
  s.display = d;
  s.font = nullptr;
  s.text = s.light = s.dark = s.track = nullptr;
  s.sys_image = s.restore_image = 0;
  s.shades_set = false;
}

void apply_font(XFontStruct* fs) {
  DrawState& s = S();
  xfCharWidths(fs, s.widths);
  int dir = 0, ascent = 0, descent = 0;
  XCharStruct cs{};
  XTextExtents(fs, "Tg", 2, &dir, &ascent, &descent, &cs);
  s.ascent = ascent > 0 ? ascent : fs->ascent;
  s.metrics = true;
  s.font = fs;
}

// The font, contexts and pixels, made on first use with a display.
bool ensure_x() {
  forget_old_display();
  DrawState& s = S();
  Display* d = s.display;
  if (!d) return false;
  if (!s.font) {
    auto* f = static_cast<XfFont*>(xf().values.menu_font);
    XFontStruct* fs = f && f->fs ? f->fs : XQueryFont(d, XGContextFromGC(DefaultGC(d, DefaultScreen(d))));
    if (!fs) return false;
    apply_font(fs);
  }
  if (!s.text) {
    Window root = xf().conn.root;
    XGCValues v{};
    v.function = GXcopy;
    v.line_width = 1;
    v.font = s.font->fid;
    v.stipple = xf_stipple(kStipple50);
    unsigned long mask = GCFunction | GCLineWidth | GCFont | (v.stipple ? GCStipple : 0);
    s.text = XCreateGC(d, root, mask, &v);
    s.light = XCreateGC(d, root, GCLineWidth, &v);
    s.dark = XCreateGC(d, root, GCLineWidth, &v);
    v.subwindow_mode = IncludeInferiors;
    s.track = XCreateGC(d, root, mask | GCSubwindowMode, &v);
    if (DefaultDepth(d, DefaultScreen(d)) == 1) {
      xfSetGreyStipple(s.light, 25);
      xfSetGreyStipple(s.dark, 75);
    }
  }
  return true;
}

const XfShades& menu_shades(unsigned long base) {
  DrawState& s = S();
  if (!s.shades_set || s.shades_of != base) {
    s.shades = xf_display() ? xfQueryShades(base) : XfShades{base, 0, base, base, base};
    s.shades_of = base;
    s.shades_set = true;
  }
  return s.shades;
}

Pixmap make_image(bool restore) {
  Display* d = S().display;
  Window root = xf().conn.root;
  int depth = DefaultDepth(d, DefaultScreen(d));
  Pixmap p = XCreatePixmap(d, root, kImageWidth, kImageHeight, static_cast<unsigned>(depth));
  GC gc = xf_scratch_gc();
  const XfShades& sh = menu_shades(xf().values.menu);
  XSetForeground(d, gc, sh.base);
  XFillRectangle(d, p, gc, 0, 0, kImageWidth, kImageHeight);
  XSetForeground(d, gc, sh.text);
  if (restore) {  // two overlapping windows
    XDrawRectangle(d, p, gc, 5, 1, 9, 7);
    XFillRectangle(d, p, gc, 1, 5, 10, 8);
    XSetForeground(d, gc, sh.base);
    XFillRectangle(d, p, gc, 2, 7, 8, 5);
  } else {  // the system menu's bar
    XDrawRectangle(d, p, gc, 1, 5, 13, 3);
  }
  xfRegisterPixmap(p);
  return p;
}

// Coordinates in a menu's own window.
int32_t rx(const XfMenu* m, int32_t x) { return x - m->x; }
int32_t ry(const XfMenu* m, int32_t y) { return y - m->y; }

void set_disabled_look(GC gc, bool disabled) { XSetFillStyle(S().display, gc, disabled ? FillStippled : FillSolid); }

void draw_image(Drawable dst, XfMenu* m, XfMenuItem* it, Pixmap image, Pixmap mask, int32_t w, int32_t h, int32_t x,
                int32_t y) {
  Display* d = S().display;
  GC gc = S().text;
  if (mask) {
    XSetClipMask(d, gc, mask);
    XSetClipOrigin(d, gc, x, y);
  }
  XCopyArea(d, image, dst, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), x, y);
  if (mask) XSetClipMask(d, gc, None);
  (void)m;
  (void)it;
}

void draw_text_item(Drawable dst, XfMenu* m, XfMenuItem* it, unsigned long fg) {
  DrawState& s = S();
  Display* d = s.display;
  XSetForeground(d, s.text, fg);
  set_disabled_look(s.text, it->disabled);
  if (!it->text.empty())
    XDrawString(d, dst, s.text, rx(m, it->text_x), ry(m, it->baseline), it->text.data(),
                static_cast<int>(it->text.size()));
  if (it->ul_x2 > it->ul_x1)
    XDrawLine(d, dst, s.text, rx(m, it->ul_x1), ry(m, it->ul_y), rx(m, it->ul_x2) - 1, ry(m, it->ul_y));
  set_disabled_look(s.text, false);
}

void draw_arrow(Drawable dst, XfMenu* m, XfMenuItem* it) {
  DrawState& s = S();
  Display* d = s.display;
  int32_t ax = rx(m, it->accel_x), cy = ry(m, it->top) + xfMenuRowHeight() / 2 + 5;
  XDrawLine(d, dst, s.dark, ax + 10, cy - 5, ax, cy);
  XDrawLine(d, dst, s.dark, ax + 9, cy - 5, ax + 1, cy - 1);
  XDrawLine(d, dst, s.light, ax, cy, ax, cy - 10);
  XDrawLine(d, dst, s.light, ax, cy - 10, ax + 9, cy - 5);
  XDrawLine(d, dst, s.light, ax + 1, cy - 1, ax + 1, cy - 9);
  XDrawLine(d, dst, s.light, ax + 1, cy - 9, ax + 8, cy - 4);
}

void draw_popup_item(Drawable dst, XfMenu* m, XfMenuItem* it, bool highlighted) {
  DrawState& s = S();
  Display* d = s.display;
  unsigned long bg = highlighted ? m->text : m->background, fg = highlighted ? m->background : m->text;
  if (it->kind == kItemSeparator) {
    XDrawLine(d, dst, s.dark, rx(m, it->left), ry(m, it->top), rx(m, it->left + it->width - 1), ry(m, it->top));
    XDrawLine(d, dst, s.light, rx(m, it->left), ry(m, it->top) + 1, rx(m, it->left + it->width - 1),
              ry(m, it->top) + 1);
    return;
  }
  XSetForeground(d, s.text, bg);
  XFillRectangle(d, dst, s.text, rx(m, it->left), ry(m, it->top), static_cast<unsigned>(it->width),
                 static_cast<unsigned>(it->height));
  if (it->checked) {
    const XfImages& img = xg().images;
    int32_t y = ry(m, it->top) + (xfMenuRowHeight() - img.check_h) / 2;
    if (img.check) {
      draw_image(dst, m, it, img.check, img.check_mask, img.check_w, img.check_h, rx(m, it->left) + 3, y);
    } else {
      XSetForeground(d, s.text, fg);
      int32_t x0 = rx(m, it->left) + 5, y0 = ry(m, it->top) + xfMenuRowHeight() / 2;
      XDrawLine(d, dst, s.text, x0, y0, x0 + 3, y0 + 3);
      XDrawLine(d, dst, s.text, x0 + 3, y0 + 3, x0 + 9, y0 - 4);
    }
  }
  draw_text_item(dst, m, it, fg);
  if (it->submenu) {
    draw_arrow(dst, m, it);
  } else if (!it->accel.empty()) {
    XSetForeground(d, s.text, fg);
    set_disabled_look(s.text, it->disabled);
    XDrawString(d, dst, s.text, rx(m, it->accel_x), ry(m, it->baseline), it->accel.data(),
                static_cast<int>(it->accel.size()));
    set_disabled_look(s.text, false);
  }
}

void draw_bar_item(Drawable dst, XfMenu* m, XfMenuItem* it, bool highlighted) {
  DrawState& s = S();
  Display* d = s.display;
  if (it->kind == kItemSysMenu || it->kind == kItemRestore) {
    xf_menu_item_image(it);
    if (it->image)
      draw_image(dst, m, it, it->image, it->mask, it->image_width, it->image_height, rx(m, it->image_x),
                 ry(m, it->image_y));
    return;
  }
  if (it->kind != kItemText) return;
  unsigned long bg = highlighted ? m->text : m->background, fg = highlighted ? m->background : m->text;
  XSetForeground(d, s.text, bg);
  XFillRectangle(d, dst, s.text, rx(m, it->left), ry(m, it->top), static_cast<unsigned>(it->right - it->left),
                 static_cast<unsigned>(it->bottom - it->top));
  draw_text_item(dst, m, it, fg);
}

void set_line_colours(XfMenu* m) {
  XSetForeground(S().display, S().light, m->light);
  XSetForeground(S().display, S().dark, m->dark);
}

intptr_t menu_key_entry(void* menu, XfWindow*, intptr_t mp1, intptr_t number) {
  XfWindow* frame = xf_menu_frame_of(static_cast<XfMenu*>(menu));
  if (!frame) return 0;
  return xfMenuKeyHook(frame, mp1, static_cast<uint32_t>(number) == ZWM_ALTUP);
}

}  // namespace

// ----- shared with the other menu files -----

XfWindow* xf_menu_notify_window(XfWindow* owner) {
  XfWindow* w = owner ? owner : xf().main_window;
  if (w && w->kind == XFTYPE_STDFRAME && w->k.frame.client) return w->k.frame.client;
  return w;
}

void xf_menu_init_colours(XfMenu* menu) {
  const XfShades& sh = menu_shades(xf().values.menu);
  menu->background = sh.base;
  menu->text = sh.text;
  menu->light = sh.light;
  menu->dark = sh.dark;
  if (xf_display() && ensure_x()) menu->gc = S().text;
}

void xf_menu_free_x(XfMenu* menu, bool keep_window) {
  forget_old_display();
  Display* d = S().display;
  if (d) {
    if (menu->save_under) xfFreePixmap(menu->save_under);
    if (menu->save_spare) xfFreePixmap(menu->save_spare);
    if (!menu->own_window && menu->xwin) XDestroyWindow(d, menu->xwin);
  }
  menu->save_under = menu->save_spare = 0;
  if (menu->own_window && !keep_window && menu->window) {
    XfWindow* bar = menu->window;
    bar->k.menubar.menu = nullptr;
    XfWindow* frame = bar->parent;
    if (frame && frame->kind == XFTYPE_STDFRAME && frame->k.frame.menubar == bar) frame->k.frame.menubar = nullptr;
    xfDestroyWindow(bar);
  }
  menu->window = nullptr;
  menu->xwin = 0;
}

void xf_menu_item_image(XfMenuItem* item) {
  if (item->kind != kItemSysMenu && item->kind != kItemRestore) return;
  item->image_width = kImageWidth;
  item->image_height = kImageHeight;
  if (item->image || !ensure_x()) return;
  DrawState& s = S();
  Pixmap& p = item->kind == kItemRestore ? s.restore_image : s.sys_image;
  if (!p) p = make_image(item->kind == kItemRestore);
  item->image = p;
}

int32_t xf_menu_char_width(unsigned char c) { return S().widths[c]; }

XfWindow* xf_menu_frame_of(XfMenu* bar) {
  if (!bar || !bar->window) return nullptr;
  XfWindow* frame = bar->window->parent;
  return frame && frame->kind == XFTYPE_STDFRAME ? frame : nullptr;
}

// ----- font and colours -----

void xfMenuSetMetrics(const int32_t widths[256], int32_t ascent) {
  DrawState& s = S();
  std::copy(widths, widths + 256, s.widths);
  s.ascent = ascent;
  s.metrics = true;
  for (XfMenu* m : xf_menu_registry()) m->needs_measuring = m->needs_layout = true;
}

int32_t xfMenuAscent() {
  if (!S().metrics && xf_display()) ensure_x();
  return S().ascent;
}

int32_t xfMenuRowHeight() { return xfMenuAscent() + 12; }

int32_t xfMenuTextWidth(const char* text, int32_t n) {
  if (!text) return 0;
  if (!S().metrics && xf_display()) ensure_x();
  int32_t w = 0;
  for (int32_t i = 0; (n < 0 || i < n) && text[i]; ++i) w += S().widths[static_cast<unsigned char>(text[i])];
  return w;
}

void xfSetMenuFont(XFontStruct* font, uint32_t style) {
  if (!font) return;
  ensure_x();
  DrawState& s = S();
  s.style = style;
  if (font == s.font) return;
  apply_font(font);
  if (s.text) XSetFont(s.display, s.text, font->fid);
  if (s.track) XSetFont(s.display, s.track, font->fid);
  for (XfMenu* m : xf_menu_registry()) m->needs_measuring = m->needs_layout = true;
  for (XfMenu* m : xf_menu_registry()) {
    if (m->type != kMenuBar || !m->own_window) continue;
    xfLayoutMenuBar(m, m->origin_x, m->origin_y, m->width, true);
    xfRelayoutSubmenus(m);
    if (m->window) xfInvalidateRect(m->window, nullptr);
    if (XfWindow* frame = xf_menu_frame_of(m); frame && m->state == kMenuShown) xfLayoutFrame(frame);
  }
}

void xfQueryMenuFont(std::string* name, int32_t* size, uint32_t* style) {
  ensure_x();
  DrawState& s = S();
  auto* f = static_cast<XfFont*>(xf().values.menu_font);
  if (name) *name = f && f->fs == s.font ? xfFontFoundryFamily(f) : "";
  if (size) *size = f && f->fs == s.font ? f->point_size / 10 : 0;
  if (style) *style = s.style;
}

void xfSetMenuColor(XfMenu* menu, unsigned long pixel) {
  if (!menu || menu->background == pixel) return;
  const XfShades& sh = menu_shades(pixel);
  menu->background = sh.base;
  menu->text = sh.text;
  menu->light = sh.light;
  menu->dark = sh.dark;
}

// ----- the bar's window -----

XfMenu* xfCreateMenuBarMenu(XfWindow* frame, XfWindow* parent, XfWindow* owner, XfWindow** window_out, int32_t x,
                            int32_t y, int32_t width, int32_t height) {
  XfWindow* win = xfCreateChildWindow(parent, x, y, width, height, kChildMask, 'u');
  xfSetWindowClass(XFTYPE_MENUBAR, win, frame, nullptr);
  win->proc = xfMenuBarProc;
  win->id = kPartMenu;
  xfSetWindowColors(win, xf().values.menu, -1);
  XfMenu* menu = xfNewMenu(nullptr, owner, kMenuBar, win);
  menu->xwin = win->xwin;
  win->k.menubar.menu = menu;
  win->k.menubar.owner = owner;
  xfMenuAddRestoreItem(menu, xfNewMenuItem(kItemRestore, kRestoreItemId, "", "", 0, 0, 0, false, false, false, false,
                                           false, nullptr, ""));
  if (window_out) *window_out = win;
  return menu;
}

XfMenu* xfMenuOfBar(XfWindow* bar) {
  if (!bar || bar->kind != XFTYPE_MENUBAR) return nullptr;
  return static_cast<XfMenu*>(bar->k.menubar.menu);
}

void xfShowMenuBar(XfMenu* menu, char state) {
  if (!menu || !menu->own_window || !menu->window) return;
  if (state == kMenuShown)
    xfMapWindow(menu->window);
  else
    xfUnmapWindow(menu->window);
  menu->state = state == kMenuShown ? kMenuShown : kMenuHidden;
}

void xfUpdateMenuBar(XfMenu* menu) {
  if (!menu || !menu->window) return;
  int32_t ox = 0, oy = 0;
  if (xf_display()) xfWindowRootOrigin(menu->window, &ox, &oy);
  menu->origin_x = ox;
  menu->origin_y = oy;
  xfLayoutMenuBar(menu, ox, oy, menu->window->width, false);
  xfRelayoutSubmenus(menu);
}

void xfPaintMenuBar(XfMenu* menu) {
  if (!menu || !menu->window || !ensure_x()) return;
  XfWindow* w = menu->window;
  xfLayoutMenuBar(menu, menu->origin_x, menu->origin_y, w->width, false);
  DrawState& s = S();
  Display* d = s.display;
  set_line_colours(menu);
  Drawable dst = w->xwin;
  XSetForeground(d, s.text, menu->background);
  XFillRectangle(d, dst, s.text, 0, 0, static_cast<unsigned>(w->width), static_cast<unsigned>(w->height));
  int32_t wr = w->width - 1, wb = w->height - 1;
  for (int i = 0; i < 2; ++i) {
    XDrawLine(d, dst, s.light, 0, i, wr, i);
    XDrawLine(d, dst, s.light, i, 0, i, wb);
    XDrawLine(d, dst, s.dark, 0, wb - i, wr, wb - i);
    XDrawLine(d, dst, s.dark, wr - i, 0, wr - i, wb);
  }
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->shown == kMenuShown) draw_bar_item(dst, menu, it, it == xf_menu_bar_highlight(menu));
  }
}

void xfPaintPopupMenu(XfMenu* menu) {
  if (!menu || !menu->xwin || !ensure_x()) return;
  DrawState& s = S();
  Display* d = s.display;
  set_line_colours(menu);
  Drawable dst = menu->xwin;
  XSetForeground(d, s.text, menu->background);
  XFillRectangle(d, dst, s.text, 0, 0, static_cast<unsigned>(menu->width), static_cast<unsigned>(menu->height));
  int32_t wr = menu->width - 1, wb = menu->height - 1;
  XDrawLine(d, dst, s.light, 0, 0, wr, 0);
  XDrawLine(d, dst, s.light, 0, 0, 0, wb);
  XDrawLine(d, dst, s.dark, 0, wb, wr, wb);
  XDrawLine(d, dst, s.dark, wr, 0, wr, wb);
  for (int32_t i = 0; i < menu->count; ++i) {
    XfMenuItem* it = menu->items[i];
    if (it->shown == kMenuShown) draw_popup_item(dst, menu, it, false);
  }
}

void xfMenuDrawItem(XfMenu* menu, XfMenuItem* item, bool highlighted) {
  if (!menu || !item || !ensure_x()) return;
  set_line_colours(menu);
  if (menu->type == kMenuBar && menu->own_window) {
    if (menu->window) draw_bar_item(menu->window->xwin, menu, item, highlighted);
  } else if (menu->xwin) {
    draw_popup_item(menu->xwin, menu, item, highlighted);
  }
}

void xfMenuOpenItem(XfMenu* menu, XfMenuItem* item, bool by_key) {
  if (!menu) return;
  if (menu->notify) xfSendMsg(menu->notify, ZWM_INITMENU, 0, 0);
  xfTrackMenuBar(menu, item, by_key);
}

intptr_t xfMenuBarProc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfMenu* menu = xfMenuOfBar(window);
  if (!window->enabled && message >= kMouseFirst && message <= kMouseLast) return 0;
  switch (message) {
    case ZWM_SETPOINTER:
      xfSetPointer(window, xfQuerySysPointer(window, 1));
      break;
    case ZWM_LBUTTONDOWN:
      if (menu) {
        xfUpdateMenuBar(menu);
        if (XfMenuItem* it = xfMenuItemFromPoint(menu, xf_low(mp2), xf_high(mp2))) xfMenuOpenItem(menu, it, false);
      }
      break;
    case ZWM_PAINT:
      xfPaintMenuBar(menu);
      xfValidateWindow(window);
      break;
    case ZWM_MENUKEY:
      if (S().key_hook) S().key_hook(mp1);
      break;
    default:
      break;
  }
  return 0;
}

void xfSetMenuKeyHook(XfMenuKeyHook hook) { S().key_hook = hook; }

// ----- the menu bars of frames -----

XfWindow* xfCreateFrameMenuBar(XfWindow* frame, XfWindow* inner, int32_t width, int32_t* height) {
  XfWindow* bar = nullptr;
  XfMenu* menu = xfCreateMenuBarMenu(frame, inner, frame, &bar, 0, 0, width, xfMenuRowHeight() + 4);
  xfLayoutMenuBar(menu, 0, 0, width, true);
  *height = menu->height;
  xfShowMenuBar(menu, kMenuShown);
  return bar;
}

int32_t xfLayoutFrameMenuBar(XfWindow* bar, int32_t width) {
  XfMenu* menu = xfMenuOfBar(bar);
  if (!menu) return 0;
  bool changed = menu->needs_layout || menu->needs_measuring || width != menu->width;
  xfLayoutMenuBar(menu, menu->origin_x, menu->origin_y, width, false);
  if (changed) xfInvalidateRect(bar, nullptr);
  return menu->height;
}

void xfFreeFrameMenuBarMenu(XfWindow* bar) {
  XfMenu* menu = xfMenuOfBar(bar);
  if (!menu) return;
  bar->k.menubar.menu = nullptr;
  menu->window = nullptr;
  xfFreeMenu(menu, true);
}

XfMenu* xfCreatePopupMenu(XfWindow* owner) {
  return xfNewMenu(nullptr, owner == kDesktop ? nullptr : owner, kMenuPopup, xf().main_window);
}

void xfInstallMenus() { WinSetMenuKeyEntry(menu_key_entry); }
