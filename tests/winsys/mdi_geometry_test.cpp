// The MDI layer's arithmetic: metrics, part layout, hit zones, tiling,
// cascading, icon cells and border dragging.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winsys/mdi_geometry.h"

namespace {

TEST(MdiMetrics, TitleHeightIsFontPlusSixAtLeastTwentyRoundedUpToEven) {
  struct Case {
    int32_t font, title;
  } cases[] = {{0, 20}, {12, 20}, {14, 20}, {15, 22}, {16, 22}, {17, 24}, {30, 36}};
  for (const auto& c : cases) EXPECT_EQ(xf_mdi_title_height(c.font), c.title) << "font " << c.font;
}

TEST(MdiLayout, PartsOfAFrameWithBothBarsAndWithNone) {
  XfMdiMetrics m;  // T 20, B 5, S 18
  XfMdiParts p = xf_mdi_parts(m, 300, 200, true, true);
  EXPECT_EQ(p.top_form, (XfMdiRect{5, 5, 290, 190}));
  EXPECT_EQ(p.sysmenu, (XfMdiRect{0, 0, 20, 20}));
  EXPECT_EQ(p.max_button, (XfMdiRect{270, 0, 20, 20}));
  EXPECT_EQ(p.min_button, (XfMdiRect{250, 0, 20, 20}));
  EXPECT_EQ(p.title, (XfMdiRect{20, 0, 230, 20}));
  EXPECT_EQ(p.hsb, (XfMdiRect{0, 172, 272, 18}));
  EXPECT_EQ(p.vsb, (XfMdiRect{272, 20, 18, 152}));
  EXPECT_EQ(p.client, (XfMdiRect{0, 20, 272, 152}));
  XfMdiParts bare = xf_mdi_parts(m, 300, 200, false, false);
  EXPECT_EQ(bare.client, (XfMdiRect{0, 20, 290, 170}));
  EXPECT_EQ(bare.hsb.width, 290);
}

// The smallest frames and the tiny ones tiling makes: every part keeps a
// width and height of at least 1, so nothing zero or negative reaches X.
TEST(MdiLayout, NoPartGoesToZeroOrBelow) {
  XfMdiMetrics m;
  for (int32_t w : {1, 2, 9, 10, 11, 30, 59, 60, 61}) {
    for (int32_t h : {1, 10, 47, 48, 60}) {
      XfMdiParts p = xf_mdi_parts(m, w, h, true, true);
      for (const XfMdiRect& r : {p.top_form, p.sysmenu, p.max_button, p.min_button, p.title, p.hsb, p.vsb, p.client}) {
        EXPECT_GE(r.width, 1) << w << "x" << h;
        EXPECT_GE(r.height, 1) << w << "x" << h;
      }
    }
  }
  EXPECT_EQ(xf_mdi_parts(m, 10, 48, false, false).top_form.width, 1) << "2B wide: the top form would be 0";
}

TEST(MdiHitZones, ZonesOfAFrameAndOfOneNarrowerThanTwoZones) {
  struct Case {
    int32_t x, y, w, h, zone;
  } cases[] = {
      {0, 0, 200, 150, 1},
      {25, 25, 200, 150, 1},
      {199, 0, 200, 150, 2},
      {175, 25, 200, 150, 2},
      {0, 149, 200, 150, 3},
      {199, 149, 200, 150, 4},
      {100, 0, 200, 150, 5},
      {100, 149, 200, 150, 6},
      {0, 75, 200, 150, 7},
      {199, 75, 200, 150, 8},
      {100, 75, 200, 150, 0},
      {26, 24, 200, 150, 5},
      {24, 26, 200, 150, 7},
      {100, 24, 200, 150, 5},
      {100, 26, 200, 150, 0},
      // 40 wide with Z 25: corner zones of 20, every border point in a zone.
      {20, 0, 40, 150, 1},
      {21, 0, 40, 150, 2},
      {20, 149, 40, 150, 3},
      {39, 75, 40, 150, 8},
  };
  for (const auto& c : cases) {
    int32_t zx = xf_mdi_zone_size(c.w, 25), zy = xf_mdi_zone_size(c.h, 25);
    EXPECT_EQ(xf_mdi_hit_zone(c.x, c.y, c.w, c.h, zx, zy), c.zone) << c.x << "," << c.y << " in " << c.w << "x" << c.h;
  }
  EXPECT_EQ(xf_mdi_zone_size(40, 25), 20);
  EXPECT_EQ(xf_mdi_zone_size(50, 25), 25);
}

std::string shape(const std::vector<XfMdiRect>& rects) {
  // Windows per column, as "2+3".
  std::string s;
  int32_t x = -1, n = 0;
  for (const auto& r : rects) {
    if (r.x != x) {
      if (n) s += (s.empty() ? "" : "+") + std::to_string(n);
      x = r.x;
      n = 0;
    }
    ++n;
  }
  if (n) s += (s.empty() ? "" : "+") + std::to_string(n);
  return s;
}

TEST(MdiTile, ColumnsAndRowsForOneToTenWindows) {
  struct Case {
    int32_t n;
    const char* side_by_side;
    const char* stacked;
  } cases[] = {
      {1, "1", "1"},       {2, "1+1", "2"},     {3, "1+1+1", "3"},     {4, "2+2", "2+2"},     {5, "2+3", "2+3"},
      {6, "2+2+2", "3+3"}, {7, "2+2+3", "3+4"}, {8, "2+2+2+2", "4+4"}, {9, "3+3+3", "3+3+3"}, {10, "3+3+4", "3+3+4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shape(xf_mdi_tile_rects(600, 400, c.n, 'V')), c.side_by_side) << c.n;
    EXPECT_EQ(shape(xf_mdi_tile_rects(600, 400, c.n, 'H')), c.stacked) << c.n;
  }
}

TEST(MdiTile, RemaindersGoOnePixelAtATimeToTheFirstColumnsAndRows) {
  auto r = xf_mdi_tile_rects(601, 401, 5, 'V');
  ASSERT_EQ(r.size(), 5u);
  // Column 1: 301 wide, rows 201 + 200; column 2: 300 wide, rows 134 + 134 + 133.
  EXPECT_EQ(r[0], (XfMdiRect{0, 0, 301, 201}));
  EXPECT_EQ(r[1], (XfMdiRect{0, 201, 301, 200}));
  EXPECT_EQ(r[2], (XfMdiRect{301, 0, 300, 134}));
  EXPECT_EQ(r[3], (XfMdiRect{301, 134, 300, 134}));
  EXPECT_EQ(r[4], (XfMdiRect{301, 268, 300, 133}));
  // Everything is covered without gaps: the last of each column ends at the edge.
  EXPECT_EQ(r[1].y + r[1].height, 401);
  EXPECT_EQ(r[4].x + r[4].width, 601);
  EXPECT_TRUE(xf_mdi_tile_rects(600, 400, 0, 'V').empty());
}

TEST(MdiCascade, StepsOfZAndBackToTheCornerBeforeTheBottomPassesTheClient) {
  // 12 children in 600 x 400, Z 25: frames 405 x 270; after 125 the next
  // step would reach 420 > 400.
  auto offsets = xf_mdi_cascade_offsets(12, 405, 270, 600, 400, 25);
  std::vector<int32_t> want = {0, 25, 50, 75, 100, 125, 0, 25, 50, 75, 100, 125};
  EXPECT_EQ(offsets, want);
  // A narrow client wraps on the width instead.
  EXPECT_EQ(xf_mdi_cascade_offsets(4, 100, 50, 140, 1000, 25), (std::vector<int32_t>{0, 25, 0, 25}));
}

TEST(MdiIcons, CellsFillRowsFromTheBottomLeft) {
  struct Case {
    int32_t width, height, k, x, y;
  } cases[] = {
      {645, 500, 0, 10, 420}, {645, 500, 1, 80, 420}, {645, 500, 7, 500, 420}, {645, 500, 8, 10, 340},
      {89, 500, 0, 10, 420},  {89, 500, 1, 10, 340},  {89, 500, 2, 10, 260},   {645, 100, 8, 10, 0},
  };
  for (const auto& c : cases) {
    int32_t x = -1, y = -1;
    xf_mdi_icon_cell(c.width, c.height, c.k, &x, &y);
    EXPECT_EQ(x, c.x) << c.width << " k " << c.k;
    EXPECT_EQ(y, c.y) << c.width << " k " << c.k;
  }
  EXPECT_EQ(xf_mdi_icons_per_row(645), 8);
  EXPECT_EQ(xf_mdi_icons_per_row(89), 1);
}

TEST(MdiIcons, FirstFreeCellSkipsCellsThatHoldAnIcon) {
  // Icons in cells 0 and 2 of a 645 x 500 client: cell 1 is free.
  std::vector<XfMdiRect> icons = {{10, 420, 0, 0}, {150, 420, 0, 0}};
  EXPECT_EQ(xf_mdi_free_icon_cell(645, 500, 5, icons), 1);
  // An icon dragged to straddle cells 0 and 1 takes both.
  EXPECT_EQ(xf_mdi_free_icon_cell(645, 500, 5, {{45, 420, 0, 0}}), 2);
  // All cells below n taken: cell 0.
  EXPECT_EQ(xf_mdi_free_icon_cell(645, 500, 2, {{10, 420, 0, 0}, {80, 420, 0, 0}}), 0);
  EXPECT_EQ(xf_mdi_free_icon_cell(645, 500, 3, {}), 0);
}

TEST(MdiDrag, EdgesFollowThePointerAndStopAtTheMinimum) {
  XfMdiMetrics m;  // min 10 x 48
  XfMdiRect start{100, 50, 200, 150};
  struct Case {
    int32_t zone, dx, dy;
    XfMdiRect want;
  } cases[] = {
      {8, 30, 0, {100, 50, 230, 150}},  {8, -500, 0, {100, 50, 10, 150}},  {7, 40, 0, {140, 50, 160, 150}},
      {7, 400, 0, {290, 50, 10, 150}},  {6, 0, 20, {100, 50, 200, 170}},   {5, 0, 500, {100, 152, 200, 48}},
      {4, 10, 10, {100, 50, 210, 160}}, {1, -10, -10, {90, 40, 210, 160}}, {2, 5, 200, {100, 152, 205, 48}},
      {3, 300, 5, {290, 50, 10, 155}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(xf_mdi_drag_rect(m, start, c.zone, 500, 500, 500 + c.dx, 500 + c.dy), c.want) << "zone " << c.zone;
  }
}

// The client's pixels 0..599 less one on each side, less B on the side
// opposite the dragged edge: the pointer never comes closer than B + 1 to
// that side of the client.
TEST(MdiDrag, PointerStaysBPlusOneFromTheOppositeEdge) {
  XfMdiRect client{0, 0, 600, 400};
  int32_t x = 5000, y = 100;
  xf_mdi_clamp_pointer(client, 7, 5, &x, &y);  // dragging the left edge
  EXPECT_EQ(x, 598 - 5);
  EXPECT_GE(599 - x, 5 + 1);
  x = -50;
  xf_mdi_clamp_pointer(client, 7, 5, &x, &y);
  EXPECT_EQ(x, 1);
  x = -50;
  xf_mdi_clamp_pointer(client, 8, 5, &x, &y);  // the right edge keeps B from the left
  EXPECT_EQ(x, 6);
  y = 9999;
  xf_mdi_clamp_pointer(client, 8, 5, &x, &y);
  EXPECT_EQ(y, 398);
}

TEST(MdiButtons, SquaresOfTwentyPixelButtons) {
  EXPECT_EQ(xf_mdi_button_square(20, true), 12);
  EXPECT_EQ(xf_mdi_button_square(20, false), 5);
  EXPECT_EQ(xf_mdi_button_square(22, true), 13);
}

TEST(MdiTitle, FrameTitleCutAtItsFirstSeparatorBeforeTheChildIsAppended) {
  struct Case {
    const char* frame;
    const char* child;
    const char* want;
  } cases[] = {
      {"App", "child", "App - child"}, {"App - old", "new", "App - new"}, {"App - a - b", "c", "App - c"},
      {"App - old", "", "App"},        {"App - old", nullptr, "App"},     {"App", "x - y", "App - x - y"},
      {"", "child", " - child"},
  };
  for (const auto& c : cases) {
    char out[64];
    xf_mdi_compose_title(c.frame, c.child, out, sizeof out);
    EXPECT_STREQ(out, c.want) << c.frame;
  }
  char small[5];
  xf_mdi_compose_title("Application", "c", small, sizeof small);
  EXPECT_STREQ(small, "Appl");
}

}  // namespace
