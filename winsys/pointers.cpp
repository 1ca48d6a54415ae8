#include "winsys/pointers.h"

#include <X11/Xlib.h>

#include <cmath>

#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

// Whether the pixel centre (x, y) of an n x n cell lies on the shape.
bool on_shape(char shape, int n, int x, int y) {
  double c = (n - 1) / 2.0, fx = x - c, fy = y - c, half = n / 2.0 - 1;
  auto arrow = [&](double along, double across) {  // a double arrow along one axis
    double a = std::fabs(along);
    if (a > half) return false;
    if (std::fabs(across) <= n / 16.0 + 0.3) return true;  // the shaft
    // the heads: a point at each end, widening inward
    return a >= half - n / 4.0 && std::fabs(across) <= half - a + 0.5;
  };
  switch (shape) {
    case 'h':
      return arrow(fx, fy);
    case 'v':
      return arrow(fy, fx);
    case 'd':
      return arrow((fx + fy) / std::sqrt(2.0), (fx - fy) / std::sqrt(2.0));
    case 'u':
      return arrow((fx - fy) / std::sqrt(2.0), (fx + fy) / std::sqrt(2.0));
    default: {  // a ring with a bar across
      double r = std::sqrt(fx * fx + fy * fy), thick = n / 8.0;
      if (r > half) return false;
      return r >= half - thick || std::fabs(fx + fy) / std::sqrt(2.0) <= thick / 2 + 0.2;
    }
  }
}

Cursor make_cursor(Display* d, Window root, char shape, int n, int hot_x, int hot_y) {
  std::vector<unsigned char> bits = xf_pointer_bits(shape, n, false);
  std::vector<unsigned char> mask = xf_pointer_bits(shape, n, true);
  auto un = static_cast<unsigned>(n);
  Pixmap source = XCreateBitmapFromData(d, root, reinterpret_cast<const char*>(bits.data()), un, un);
  Pixmap clip = XCreateBitmapFromData(d, root, reinterpret_cast<const char*>(mask.data()), un, un);
  XColor black{}, white{};
  white.red = white.green = white.blue = 0xFFFF;
  Cursor c =
      XCreatePixmapCursor(d, source, clip, &black, &white, static_cast<unsigned>(hot_x), static_cast<unsigned>(hot_y));
  XFreePixmap(d, source);
  XFreePixmap(d, clip);
  xfRegisterCursor(c);
  return c;
}

}  // namespace

int xf_disabled_pointer_side(unsigned best_width, unsigned best_height) {
  return best_width >= 32 && best_height >= 32 ? 32 : 16;
}

std::vector<unsigned char> xf_pointer_bits(char shape, int n, bool mask) {
  int stride = (n + 7) / 8;
  std::vector<unsigned char> out(static_cast<size_t>(stride * n), 0);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      bool set = on_shape(shape, n, x, y);
      for (int dy = -1; mask && !set && dy <= 1; ++dy)
        for (int dx = -1; !set && dx <= 1; ++dx) {
          int nx = x + dx, ny = y + dy;
          set = nx >= 0 && ny >= 0 && nx < n && ny < n && on_shape(shape, n, nx, ny);
        }
      if (set) out[static_cast<size_t>(y * stride + x / 8)] |= static_cast<unsigned char>(1 << (x % 8));
    }
  }
  return out;
}

void xf_make_pointers() {
  Display* d = xf_display();
  if (!d) return;
  Window root = xf().conn.root;
  static constexpr struct {
    int id;
    char shape;
    int hot_x, hot_y;
  } kSizing[] = {{6, 'd', 7, 7}, {7, 'v', 7, 8}, {8, 'u', 7, 7}, {9, 'h', 7, 7}};
  for (const auto& s : kSizing) xf_set_sys_pointer(s.id, make_cursor(d, root, s.shape, 16, s.hot_x, s.hot_y));
  unsigned bw = 0, bh = 0;
  XQueryBestCursor(d, root, 32, 32, &bw, &bh);
  int side = xf_disabled_pointer_side(bw, bh);
  Cursor disabled = make_cursor(d, root, 'x', side, side == 32 ? 15 : 7, side == 32 ? 15 : 7);
  xf_set_sys_pointer(13, disabled);
  xf_set_sys_pointer(15, disabled);
}
