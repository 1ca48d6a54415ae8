// The arithmetic of the MDI layer, kept apart from windows so it can be
// checked on its own: the metrics, a child frame's part rectangles, the
// border's hit zones, tiling, cascading and icon cells, and the rectangle a
// border drag gives.
//
// Every width and height these produce is at least 1: a part that does not
// fit gets one pixel rather than a size of zero or less, which the server
// refuses (and a refusal is fatal to the process).
#pragma once

#include <cstdint>
#include <vector>

struct XfMdiRect {
  int32_t x, y, width, height;
  bool operator==(const XfMdiRect&) const = default;
};

// T (title height), B (border), S (scroll-bar width), Z = T + B (corner zone
// and cascade step); the smallest frame is 2B wide and T + 2B + S high.
struct XfMdiMetrics {
  int32_t title = 20, border = 5, scroll = 18;
  int32_t zone() const { return title + border; }
  int32_t min_width() const { return 2 * border; }
  int32_t min_height() const { return title + 2 * border + scroll; }
};

// The title height for a font whose ascent + descent is `font_height`:
// that + 6, at least 20, rounded up to even.
int32_t xf_mdi_title_height(int32_t font_height);

// A width or height as it may reach the server.
inline int32_t xf_mdi_extent(int32_t v) { return v < 1 ? 1 : v; }

// The parts of a child frame w x h; `vertical` and `horizontal` say which
// scroll bars are shown. Positions of the top form are in the frame, the
// others in the top form.
struct XfMdiParts {
  XfMdiRect top_form, sysmenu, max_button, min_button, title, hsb, vsb, client;
};
XfMdiParts xf_mdi_parts(const XfMdiMetrics& m, int32_t w, int32_t h, bool vertical, bool horizontal);

// Zone 0..8 of a point of a frame w x h (1 top-left, 2 top-right,
// 3 bottom-left, 4 bottom-right, 5 top, 6 bottom, 7 left, 8 right). zx, zy
// are the corner sizes; a frame narrower (lower) than twice the size gets
// half its width (height).
int32_t xf_mdi_hit_zone(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zx, int32_t zy);
// The corner size the hit test uses for an extent.
int32_t xf_mdi_zone_size(int32_t extent, int32_t zone);

// The rectangles of tiling n windows in W x H, 'V' side by side or 'H'
// stacked, column by column, top to bottom within a column.
std::vector<XfMdiRect> xf_mdi_tile_rects(int32_t width, int32_t height, int32_t n, char mode);

// Cascade: the offsets of `count` children, the lowest first, each frame
// w x h in a client W x H stepping by `step`.
std::vector<int32_t> xf_mdi_cascade_offsets(int32_t count, int32_t w, int32_t h, int32_t client_w, int32_t client_h,
                                            int32_t step);

// Icon cells: 70 x 80 from the bottom left, 10 pixels of margin.
inline constexpr int32_t kMdiIconCellW = 70, kMdiIconCellH = 80, kMdiIconMargin = 10;
inline constexpr int32_t kMdiIconStrip = 80;  // kept free below tiled or cascaded children
int32_t xf_mdi_icons_per_row(int32_t client_width);
void xf_mdi_icon_cell(int32_t client_w, int32_t client_h, int32_t k, int32_t* x, int32_t* y);
// The cell index holding a point.
int32_t xf_mdi_cell_of(int32_t client_w, int32_t client_h, int32_t px, int32_t py);
// The lowest cell index below n not covered by an icon holder at one of
// `icons` (their top-left corners); 0 when every one is taken.
int32_t xf_mdi_free_icon_cell(int32_t client_w, int32_t client_h, int32_t n, const std::vector<XfMdiRect>& icons);

// Mouse sizing. The extra margins (left, right, top, bottom) on the side
// opposite the dragged zone.
struct XfMdiMargins {
  int32_t left, right, top, bottom;
};
XfMdiMargins xf_mdi_drag_margins(int32_t zone, int32_t border);
// The pointer clamped into the client rectangle (root coordinates), less 1
// and the zone's margins.
void xf_mdi_clamp_pointer(const XfMdiRect& client, int32_t zone, int32_t border, int32_t* x, int32_t* y);
// The frame rectangle for a drag of `zone` that started with the frame at
// `start` and the pointer at (px0, py0) and has reached (px, py); edges
// stop at the minimum size.
XfMdiRect xf_mdi_drag_rect(const XfMdiMetrics& m, const XfMdiRect& start, int32_t zone, int32_t px0, int32_t py0,
                           int32_t px, int32_t py);

// Side length of the raised square of a button of width w (f 0.25 for
// minimise, 0.6 for maximise).
int32_t xf_mdi_button_square(int32_t w, bool maximise);

// "<frame part> - <child>": the frame's text up to its first " - ", and
// " - " and the child's title when that is not empty.
void xf_mdi_compose_title(const char* frame_text, const char* child_title, char* out, int32_t cap);
