// Tiling, cascading and arranging the icons of an MDI client's children.
#include <algorithm>

#include "winsys/mdi_internal.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

bool is_child(const XfWindow* w) { return w && xf_is_live_window(w) && w->kind == XFTYPE_MDITOPFRAME && !w->dying; }

// Gives a child its new rectangle, raised to the smallest frame, and tells
// its client area what changed.
void place(XfWindow* child, XfMdiRect r) {
  const XfMdiMetrics m = xf_mdi_metrics();
  r.width = std::max(r.width, m.min_width());
  r.height = std::max(r.height, m.min_height());
  bool moved = r.x != child->x || r.y != child->y;
  bool sized = r.width != child->width || r.height != child->height;
  xfMdiSetGeometry(child, r.x, r.y, r.width, r.height);
  XfWindow* area = child->k.mdi.client;
  if (!area) return;
  if (moved) xfSendMsg(area, ZWM_MOVE, 1, xf_pack(r.x, r.y));
  if (sized) xfSendMsg(area, ZWM_SIZE, 1, xf_pack(area->width, area->height));
}

}  // namespace

std::vector<XfWindow*> xfMdiCollectChildren(XfWindow* client, int32_t* icons) {
  std::vector<XfWindow*> out;
  int32_t minimised = 0;
  if (!client || !xf_is_live_window(client) || client->kind != XFTYPE_MDICLIENT) {
    if (icons) *icons = 0;
    return out;
  }
  // Restoring may restack; gather first, then walk the stacking order.
  std::vector<XfWindow*> maximised;
  for (XfWindow* w = client->first_child; w; w = w->next_sibling) {
    if (is_child(w) && w->k.mdi.state == kMdiMaximised) maximised.push_back(w);
  }
  for (XfWindow* w : maximised) {
    if (is_child(w)) xfMdiRestore(w, false);
  }
  for (XfWindow* w = client->first_child; w; w = w->next_sibling) {
    if (!is_child(w)) continue;
    if (w->k.mdi.state == kMdiMinimised) {
      ++minimised;
    } else {
      out.push_back(w);
    }
  }
  if (icons) *icons = minimised;
  return out;
}

void xfMdiTile(XfWindow* client, bool side_by_side) {
  int32_t icons = 0;
  std::vector<XfWindow*> kids = xfMdiCollectChildren(client, &icons);
  if (kids.empty()) return;
  int32_t h = client->height - (icons ? kMdiIconStrip : 0), w = client->width;
  std::vector<XfMdiRect> rects = xf_mdi_tile_rects(w, h, static_cast<int32_t>(kids.size()), side_by_side ? 'V' : 'H');
  for (size_t i = 0; i < kids.size(); ++i) {
    if (is_child(kids[i])) place(kids[i], rects[i]);
  }
}

void xfMdiCascade(XfWindow* client) {
  int32_t icons = 0;
  std::vector<XfWindow*> kids = xfMdiCollectChildren(client, &icons);
  if (kids.empty()) return;
  const XfMdiMetrics m = xf_mdi_metrics();
  int32_t ch = client->height - (icons ? kMdiIconStrip : 0), cw = client->width;
  int32_t w = std::max(static_cast<int32_t>(cw * 27.0 / 40.0), m.min_width());
  int32_t h = std::max(static_cast<int32_t>(ch * 27.0 / 40.0), m.min_height());
  std::vector<int32_t> offsets = xf_mdi_cascade_offsets(static_cast<int32_t>(kids.size()), w, h, cw, ch, m.zone());
  for (size_t i = 0; i < kids.size(); ++i) {
    XfWindow* child = kids[kids.size() - 1 - i];
    if (!is_child(child)) continue;
    place(child, {offsets[i], offsets[i], w, h});
    xfRaiseWindow(child);
  }
}

void xfMdiArrangeIcons(XfWindow* client) {
  if (!client || !xf_is_live_window(client)) return;
  int32_t k = 0;
  for (XfWindow* w : xf_mdi_children()) {
    if (!is_child(w) || w->parent != client || w->k.mdi.state != kMdiMinimised || !w->k.mdi.icon_holder) continue;
    int32_t x = 0, y = 0;
    xf_mdi_icon_cell(client->width, client->height, k++, &x, &y);
    xfMoveWindowTo(w->k.mdi.icon_holder, x, y);
  }
}
