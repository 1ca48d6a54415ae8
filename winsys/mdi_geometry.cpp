#include "winsys/mdi_geometry.h"

#include <algorithm>
#include <cstring>
#include <string>

int32_t xf_mdi_title_height(int32_t font_height) {
  int32_t t = std::max(font_height + 6, 20);
  return t + (t & 1);
}

XfMdiParts xf_mdi_parts(const XfMdiMetrics& m, int32_t w, int32_t h, bool vertical, bool horizontal) {
  const int32_t b = m.border, t = m.title, s = m.scroll;
  const int32_t fw = w - 2 * b, fh = h - 2 * b;
  const int32_t sv = vertical ? s : 0, sh = horizontal ? s : 0;
  auto r = [](int32_t x, int32_t y, int32_t rw, int32_t rh) {
    return XfMdiRect{x, y, xf_mdi_extent(rw), xf_mdi_extent(rh)};
  };
  XfMdiParts p{};
  p.top_form = r(b, b, fw, fh);
  p.sysmenu = r(0, 0, t, t);
  p.max_button = r(fw - t, 0, t, t);
  p.min_button = r(fw - 2 * t, 0, t, t);
  p.title = r(t, 0, fw - 3 * t, t);
  p.hsb = r(0, fh - s, fw - sv, s);
  p.vsb = r(fw - s, t, s, fh - t - sh);
  p.client = r(0, t, fw - sv, fh - t - sh);
  return p;
}

int32_t xf_mdi_zone_size(int32_t extent, int32_t zone) { return extent < 2 * zone ? extent / 2 : zone; }

int32_t xf_mdi_hit_zone(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zx, int32_t zy) {
  if (x <= zx && y <= zy) return 1;
  if (x >= w - zx && y <= zy) return 2;
  if (x <= zx && y >= h - zy) return 3;
  if (x >= w - zx && y >= h - zy) return 4;
  bool mid_x = zx < x && x < w - zx, mid_y = zy < y && y < h - zy;
  if (mid_x && y < zy) return 5;
  if (mid_x && y > h - zy) return 6;
  if (mid_y && x < zx) return 7;
  if (mid_y && x > w - zx) return 8;
  return 0;
}

std::vector<XfMdiRect> xf_mdi_tile_rects(int32_t width, int32_t height, int32_t n, char mode) {
  std::vector<XfMdiRect> out;
  if (n <= 0) return out;
  int32_t k = 1;
  while ((k + 1) * (k + 1) <= n) ++k;
  int32_t more = (n - k * k) / k + k;
  int32_t c = mode == 'H' ? k : more, r = mode == 'H' ? more : k;
  int32_t full = c - (n - c * r);
  int32_t cw = width / c, wide = width - c * cw;
  int32_t x = 0;
  for (int32_t col = 0; col < c; ++col) {
    int32_t w = cw + (col < wide ? 1 : 0);
    int32_t rows = col < full ? r : r + 1;
    int32_t rh = height / rows, high = height - rows * rh;
    int32_t y = 0;
    for (int32_t row = 0; row < rows; ++row) {
      int32_t h = rh + (row < high ? 1 : 0);
      out.push_back({x, y, w, h});
      y += h;
    }
    x += w;
  }
  return out;
}

std::vector<int32_t> xf_mdi_cascade_offsets(int32_t count, int32_t w, int32_t h, int32_t client_w, int32_t client_h,
                                            int32_t step) {
  std::vector<int32_t> out;
  int32_t i = 0;
  for (int32_t n = 0; n < count; ++n) {
    int32_t offset = i * step;
    ++i;
    out.push_back(offset);
    if (offset + step + h > client_h || offset + step + w > client_w) i = 0;
  }
  return out;
}

int32_t xf_mdi_icons_per_row(int32_t client_width) {
  return std::max(1, (client_width - 2 * kMdiIconMargin) / kMdiIconCellW);
}

void xf_mdi_icon_cell(int32_t client_w, int32_t client_h, int32_t k, int32_t* x, int32_t* y) {
  int32_t per = xf_mdi_icons_per_row(client_w);
  *x = (k % per) * kMdiIconCellW + kMdiIconMargin;
  *y = std::max(0, client_h - kMdiIconCellH * (k / per + 1));
}

int32_t xf_mdi_cell_of(int32_t client_w, int32_t client_h, int32_t px, int32_t py) {
  int32_t per = xf_mdi_icons_per_row(client_w);
  return std::max(0, (client_h - py) / kMdiIconCellH) * per + std::max(0, (px - kMdiIconMargin) / kMdiIconCellW);
}

int32_t xf_mdi_free_icon_cell(int32_t client_w, int32_t client_h, int32_t n, const std::vector<XfMdiRect>& icons) {
  if (n <= 0) return 0;
  std::vector<bool> used(static_cast<size_t>(n), false);
  for (const XfMdiRect& r : icons) {
    const int32_t pts[4][2] = {{r.x + 14, r.y + 16}, {r.x + 56, r.y + 16}, {r.x + 56, r.y + 64}, {r.x + 14, r.y + 64}};
    for (const auto& p : pts) {
      int32_t cell = xf_mdi_cell_of(client_w, client_h, p[0], p[1]);
      if (cell >= 0 && cell < n) used[static_cast<size_t>(cell)] = true;
    }
  }
  for (int32_t i = 0; i < n; ++i) {
    if (!used[static_cast<size_t>(i)]) return i;
  }
  return 0;
}

XfMdiMargins xf_mdi_drag_margins(int32_t zone, int32_t b) {
  switch (zone) {
    case 1:
      return {0, b, 0, b};
    case 2:
      return {b, 0, 0, b};
    case 3:
      return {0, b, b, 0};
    case 4:
      return {b, 0, b, 0};
    case 5:
      return {0, 0, 0, b};
    case 6:
      return {0, 0, b, 0};
    case 7:
      return {0, b, 0, 0};
    case 8:
      return {b, 0, 0, 0};
    default:
      return {0, 0, 0, 0};
  }
}

void xf_mdi_clamp_pointer(const XfMdiRect& client, int32_t zone, int32_t border, int32_t* x, int32_t* y) {
  XfMdiMargins m = xf_mdi_drag_margins(zone, border);
  int32_t left = client.x + 1 + m.left, right = client.x + client.width - 2 - m.right;
  int32_t top = client.y + 1 + m.top, bottom = client.y + client.height - 2 - m.bottom;
  if (right < left) right = left;
  if (bottom < top) bottom = top;
  *x = std::clamp(*x, left, right);
  *y = std::clamp(*y, top, bottom);
}

XfMdiRect xf_mdi_drag_rect(const XfMdiMetrics& m, const XfMdiRect& start, int32_t zone, int32_t px0, int32_t py0,
                           int32_t px, int32_t py) {
  const int32_t dx = px - px0, dy = py - py0;
  const bool left = zone == 1 || zone == 3 || zone == 7, right = zone == 2 || zone == 4 || zone == 8;
  const bool top = zone == 1 || zone == 2 || zone == 5, bottom = zone == 3 || zone == 4 || zone == 6;
  XfMdiRect r = start;
  if (left) {
    r.width = std::max(start.width - dx, m.min_width());
    r.x = start.x + start.width - r.width;
  } else if (right) {
    r.width = std::max(start.width + dx, m.min_width());
  }
  if (top) {
    r.height = std::max(start.height - dy, m.min_height());
    r.y = start.y + start.height - r.height;
  } else if (bottom) {
    r.height = std::max(start.height + dy, m.min_height());
  }
  return r;
}

int32_t xf_mdi_button_square(int32_t w, bool maximise) { return maximise ? w * 3 / 5 : w / 4; }

void xf_mdi_compose_title(const char* frame_text, const char* child_title, char* out, int32_t cap) {
  if (cap <= 0) return;
  const char* text = frame_text ? frame_text : "";
  const char* cut = std::strstr(text, " - ");
  size_t keep = cut ? static_cast<size_t>(cut - text) : std::strlen(text);
  std::string s(text, keep);
  if (child_title && *child_title) {
    s += " - ";
    s += child_title;
  }
  size_t n = std::min(s.size(), static_cast<size_t>(cap - 1));
  std::memcpy(out, s.data(), n);
  out[n] = 0;
}
