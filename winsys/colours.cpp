#include "winsys/colours.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "winsys/gfx.h"
#include "winsys/images.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/resources.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

unsigned long* sys_pixel(int32_t index) {
  XfResourceValues& v = xf().values;
  switch (index) {
    case 0:
      return &v.mdi_active;
    case 1:
      return &v.mdi_client;
    case 2:
      return &v.menu;
    case 3:
      return &v.textbox;
    case 4:
      return &v.textbox2;
    case 5:
      return &v.dialog;
    default:
      return nullptr;
  }
}

void compute_sys_colours() {
  XfColourCache& cc = xg().colours;
  if (cc.sys_done) return;
  cc.sys_done = true;
  Colormap cm = xfQueryColormap();
  const XfResourceValues& v = xf().values;
  XfShades s = xfQueryShades(v.frame_bg);
  uint32_t base = xfPixelToRgb(cm, s.base), dark = xfPixelToRgb(cm, s.dark), light = xfPixelToRgb(cm, s.light);
  uint32_t text = xfPixelToRgb(cm, s.text);
  for (uint32_t& c : cc.sys) c = 0;
  for (int i : {1, 7, 8, 11, 12}) cc.sys[i] = base;
  for (int i : {2, 10}) cc.sys[i] = dark;
  cc.sys[3] = light;
  cc.sys[4] = xfPixelToRgb(cm, v.textbox);
  for (int i : {6, 13, 14}) cc.sys[i] = text;
  cc.sys[9] = 0xFFFFFF;
  cc.sys[16] = xfPixelToRgb(cm, v.textbox2);
}

}  // namespace

Colormap xfQueryColormap() { return xf().conn.colormap; }

uint32_t xfPixelToBgr(Colormap colormap, unsigned long pixel) { return WinRgbSwap(xfPixelToRgb(colormap, pixel)); }

unsigned long WinSetSysColorPixel(int32_t index, uint32_t bgr) {
  unsigned long p = xfColorToPixel(xfQueryColormap(), bgr);
  if (unsigned long* slot = sys_pixel(index)) *slot = p;
  if (index == 5) xf().values.frame_bg = p;
  return p;
}

void WinQuerySysColorPixel(int32_t index, uint32_t* out) {
  if (unsigned long* slot = sys_pixel(index)) {
    *out = xfPixelToBgr(xfQueryColormap(), *slot);
  } else {
    *out = static_cast<uint32_t>(xf().values.dialog);
  }
}

uint32_t WinQueryMdiClientRgb() { return xfPixelToRgb(xfQueryColormap(), xf().values.mdi_client); }
uint32_t WinQueryMenuRgb() { return xfPixelToRgb(xfQueryColormap(), xf().values.menu); }

uint32_t WinQuerySysColor(int32_t index) {
  if (index < 0 || index > 16) return 0;
  compute_sys_colours();
  return WinRgbSwap(xg().colours.sys[index]);
}

void WinSetWindowColor(XfWindow* window, int32_t which, uint32_t bgr) {
  if (!xf_is_live_window(window)) return;
  unsigned long p = xfColorToPixel(xfQueryColormap(), bgr);
  if (which == 1) window->fg = p;
  if (which == 2) window->bg = p;
  switch (window->kind) {
    case XFTYPE_VSB:
    case XFTYPE_HSB:
      xfSetWindowColors(window, p, -1);
      xfInvalidateRect(window, nullptr);
      break;
    case XFTYPE_ANY:
    case XFTYPE_GROUPBOX:
    case XFTYPE_3STATEBUTTON:
    case XFTYPE_PUSHBUTTON:
    case XFTYPE_RADIOBUTTON:
      xfInvalidateRect(window, nullptr);
      break;
    default:
      break;
  }
}

unsigned long xf_dominant_of_samples(const unsigned long* row, int32_t width) {
  std::map<unsigned long, int> counts;
  unsigned long best = 0;
  int best_count = 0;
  for (int k = 0; k < 10; ++k) {
    int32_t x = static_cast<int32_t>(static_cast<int64_t>(k) * width / 10);
    if (x >= width) break;
    int c = ++counts[row[x]];
    if (c > best_count) {
      best_count = c;
      best = row[x];
    }
  }
  return best;
}

uint32_t xf_title_colour_apart(uint32_t rgb, uint32_t mdi) {
  bool near = true;
  for (int shift = 16; shift >= 0; shift -= 8) {
    int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((mdi >> shift) & 0xFF);
    if (std::abs(a - b) >= 16) near = false;
  }
  if (!near) return rgb;
  int delta = ((rgb >> 16) & 0xFF) <= 128 ? 64 : -64;
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8)
    out |= static_cast<uint32_t>((static_cast<int>((rgb >> shift) & 0xFF) + delta) & 0xFF) << shift;
  return out;
}

unsigned long xfSampleTitleColor(XfWindow* frame) {
  XfResourceValues& v = xf().values;
  // A colour given in the resources wins; before they are read nothing is sampled.
  const char* given = xf().res.mdiChildFrameActiveColor;
  if (!given || std::strcmp(given, kResourceNone) != 0) return v.mdi_active;
  if (!xf_is_live_window(frame) || frame->kind != XFTYPE_STDFRAME) return v.mdi_active;
  const XfFrameWords& f = frame->k.frame;
  int32_t w = f.wm_width, h = f.deco_top;
  // The row 4 pixels above our window must lie inside the manager's
  // decoration: a thinner top border has no such row.
  if (!f.wm_frame || w <= 0 || h < 4) return v.mdi_active;
  XImage* image = xfReadArea(f.wm_frame, 0, 0, w, h);
  if (!image) return v.mdi_active;
  std::vector<unsigned long> row(static_cast<size_t>(w));
  for (int32_t x = 0; x < w; ++x) row[static_cast<size_t>(x)] = XGetPixel(image, x, h - 4);
  XDestroyImage(image);
  unsigned long chosen = xf_dominant_of_samples(row.data(), w);
  Colormap cm = xfQueryColormap();
  uint32_t rgb = xfPixelToRgb(cm, chosen);
  uint32_t moved = xf_title_colour_apart(rgb, xfPixelToRgb(cm, v.mdi_client));
  return moved == rgb ? chosen : xfRgbToPixel(cm, moved);
}
