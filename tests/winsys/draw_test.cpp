// The drawing layer's rules without a server: pen, raster and brush
// tables, text layout, the inside-frame adjustment, bevel coordinates,
// shades, title sampling and the sample steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winsys/colours.h"
#include "winsys/ctl_draw.h"
#include "winsys/draw.h"
#include "winsys/images.h"
#include "winsys/pixels.h"
#include "winsys/xfsys.h"

namespace {

TEST(DrawTables, PenStylesRasterCodesAndBrushPatterns) {
  const int32_t pens[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 0xFF00}, {6, 0xFF01}, {7, 0}, {-1, 0}};
  for (const auto& p : pens) EXPECT_EQ(WinMapPenStyle(p[0]), p[1]) << p[0];
  const int32_t rops[][2] = {{1, GXclear},      {2, GXnor},        {3, GXandInverted}, {4, GXcopyInverted},
                             {5, GXandReverse}, {6, GXinvert},     {7, GXxor},         {8, GXnand},
                             {9, GXand},        {10, GXequiv},     {11, GXnoop},       {12, GXorInverted},
                             {13, GXcopy},      {14, GXorReverse}, {15, GXor},         {16, GXset},
                             {0, GXcopy},       {17, GXcopy},      {99, GXcopy}};
  for (const auto& r : rops) EXPECT_EQ(xf_rop_function(r[0]), r[1]) << r[0];
  const int32_t brushes[][2] = {{100, 1}, {0, 2}, {1, 3}, {2, 4}, {3, 5}, {18, 6}, {4, 1}, {-1, 1}};
  for (const auto& b : brushes) EXPECT_EQ(xf_brush_pattern(b[0]), b[1]) << b[0];
}

TEST(DrawTables, StockObjects) {
  Brush b{0x123456, 0, 0, 0, 0};
  const uint32_t colours[] = {0xFFFFFF, 0xDCDCDC, 0x808080, 0x404040, 0x000000};
  for (int i = 0; i < 5; ++i) {
    WinGetStockBrush(&b, i);
    EXPECT_EQ(b.colour, colours[i]);
    EXPECT_EQ(b.visible, 1);
    EXPECT_EQ(b.mix, 13);
  }
  b.colour = 0xABCDEF;
  WinGetStockBrush(&b, 5);
  EXPECT_EQ(b.visible, 0) << "hollow";
  EXPECT_EQ(b.colour, 0xABCDEFu) << "the caller's colour kept";
  Pen p{};
  WinGetStockPen(&p, 6);
  EXPECT_EQ(p.colour, 0xFFFFFFu);
  WinGetStockPen(&p, 7);
  EXPECT_EQ(p.colour, 0u);
  EXPECT_EQ(p.flag, 1u);
  WinGetStockPen(&p, 3);
  EXPECT_EQ(p.style, 5) << "the null pen";
  WinMakePen(&p, 5, 1, 0);
  EXPECT_EQ(p.flag, 1u);
}

// One pixel per character.
int32_t chars(void*, const char*, int32_t n) { return n; }

std::vector<std::string> lines_of(const std::string& text, int32_t width, bool wrap, bool* capped = nullptr) {
  bool c = false;
  auto lines = xf_layout_text(text.data(), static_cast<int32_t>(text.size()), width, wrap, chars, nullptr, &c);
  if (capped) *capped = c;
  std::vector<std::string> out;
  for (const auto& l : lines)
    out.emplace_back(text.substr(static_cast<size_t>(l.start), static_cast<size_t>(l.end - l.start)));
  return out;
}

TEST(TextLayout, BreaksWrapsAndTheLineCap) {
  using V = std::vector<std::string>;
  EXPECT_EQ(lines_of("one\r\ntwo", 100, false), (V{"one", "two"})) << "CR LF is one break";
  EXPECT_EQ(lines_of("one\n\rtwo", 100, false), (V{"one", "", "two"})) << "LF CR is two";
  EXPECT_EQ(lines_of("one\rtwo\n", 100, false), (V{"one", "two"}));
  EXPECT_EQ(lines_of("", 100, false), V{});
  EXPECT_EQ(lines_of("aaa bbb ccc", 7, true), (V{"aaa bbb", "ccc"}));
  EXPECT_EQ(lines_of("aaa bbb ccc", 6, true), (V{"aaa", "bbb", "ccc"}));
  EXPECT_EQ(lines_of("aaaaaaaaaa bb", 4, true), (V{"aaaaaaaaaa", "bb"})) << "the first candidate even too wide";
  EXPECT_EQ(lines_of("aa    bb", 3, true), (V{"aa ", "bb"})) << "blanks after the cut are skipped";
  EXPECT_EQ(lines_of("aaa bbb ccc", 7, false), (V{"aaa bbb ccc"})) << "no wrap without the flag";
  std::string many;
  for (int i = 0; i < 1200; ++i) many += "x\n";
  bool capped = false;
  EXPECT_EQ(lines_of(many, 10, false, &capped).size(), 1000u);
  EXPECT_TRUE(capped);
  std::string exact;
  for (int i = 0; i < 1000; ++i) exact += "x\n";
  EXPECT_EQ(lines_of(exact, 10, false, &capped).size(), 1000u);
  EXPECT_FALSE(capped) << "1000 lines fit";
}

TEST(InsideFrame, AClosedRectangleMovesInByHalfThePenWidth) {
  struct Case {
    int32_t width, d;
  };
  for (Case c : {Case{4, 3}, Case{3, 1}, Case{1, 0}, Case{2, 2}}) {
    XfPoint p[5] = {{10, 10}, {50, 10}, {50, 40}, {10, 40}, {10, 10}};
    xf_inside_frame_adjust(p, c.width);
    int32_t d = c.d;
    EXPECT_EQ(p[0].x, 10 + d) << c.width;
    EXPECT_EQ(p[0].y, 10 - d) << "as specified: the first y shrinks";
    EXPECT_EQ(p[1].x, 50 - d);
    EXPECT_EQ(p[2].y, 40 + d);
    EXPECT_EQ(p[3].x, 10 + d);
    EXPECT_EQ(p[4].y, 10 - d);
  }
}

std::vector<std::pair<int, int>> pts(const std::vector<XPoint>& v) {
  std::vector<std::pair<int, int>> out;
  for (const XPoint& p : v) out.emplace_back(p.x, p.y);
  return out;
}

TEST(Bevels, ButtonCheckBoxAndRadioCoordinates) {
  using P = std::vector<std::pair<int, int>>;
  XfBevelPasses b = xf_bevel_points(0, 0, 80, 24, true, 3);
  EXPECT_EQ(pts(b.first), (P{{3, 20}, {3, 3}, {76, 3}, {75, 4}, {4, 4}, {4, 19}}));
  EXPECT_EQ(pts(b.second), (P{{3, 20}, {76, 20}, {76, 3}, {75, 4}, {75, 19}, {4, 19}}));
  XfBevelPasses thin = xf_bevel_points(5, 6, 10, 8, false, 0);
  EXPECT_EQ(pts(thin.first), (P{{5, 13}, {5, 6}, {14, 6}}));
  EXPECT_EQ(pts(thin.second), (P{{5, 13}, {14, 13}, {14, 6}}));

  XfBevelPasses box = xf_check_box_points(20, 3, true);  // y0 = 3
  EXPECT_EQ(pts(box.first), (P{{3, 16}, {3, 3}, {16, 3}, {15, 4}, {4, 4}, {4, 15}}));
  EXPECT_EQ(pts(box.second), (P{{3, 16}, {16, 16}, {16, 3}, {15, 4}, {15, 15}, {4, 15}}));

  XfBevelPasses radio = xf_radio_points(21, 3, true);  // y0 = 2
  EXPECT_EQ(pts(radio.first), (P{{3, 10}, {11, 2}, {19, 10}, {18, 10}, {11, 3}, {4, 10}}));
  EXPECT_EQ(pts(radio.second), (P{{4, 11}, {11, 18}, {19, 10}, {18, 10}, {11, 17}, {5, 11}}));
}

TEST(Shades, TheRuleOnItsExamples) {
  XfShadeRgb s = xf_shade_rgb(0xC0C0C0);
  EXPECT_EQ(s.light, 0xE8E8E8u);
  EXPECT_EQ(s.dark, 0x707070u);
  EXPECT_EQ(s.medium, 0x989898u);
  EXPECT_EQ(s.text, 0x000000u);
  EXPECT_EQ(xf_shade_rgb(0x202020).text, 0xFFFFFFu);
  XfShadeRgb edge = xf_shade_rgb(0xF0102A);
  EXPECT_EQ(edge.light, 0xFF3852u) << "at most 255";
  EXPECT_EQ(edge.dark, 0xA00000u) << "at least 0";
  EXPECT_EQ(WinRgbSwap(0x00123456), 0x00563412u);
  EXPECT_EQ(WinRgbSwap(0xFF123456), 0x00563412u) << "the top byte becomes 0";
}

TEST(TitleSampling, TheDominantCountsWholePixelsAndNearColoursMoveApart) {
  // Black and red share their low byte: counted apart they are not confused.
  std::vector<unsigned long> row(100, 0xFF0000);
  for (int x = 0; x < 100; x += 30) row[static_cast<size_t>(x)] = 0x000000;  // 4 of the 10 samples
  EXPECT_EQ(xf_dominant_of_samples(row.data(), 100), 0xFF0000u);
  std::vector<unsigned long> tie(100, 0x00FF00);
  for (int x = 0; x < 50; ++x) tie[static_cast<size_t>(x)] = 0x0000FF;
  EXPECT_EQ(xf_dominant_of_samples(tie.data(), 100), 0x0000FFu) << "the first to reach the top count";
  std::vector<unsigned long> narrow(3, 7);
  EXPECT_EQ(xf_dominant_of_samples(narrow.data(), 3), 7u) << "samples stay inside a narrow row";
  EXPECT_EQ(xf_title_colour_apart(0xC8C8C8, 0xC0C0C0), 0x888888u);
  EXPECT_EQ(xf_title_colour_apart(0x404040, 0x3A3A3A), 0x808080u);
  EXPECT_EQ(xf_title_colour_apart(0x000080, 0xC0C0C0), 0x000080u) << "far enough";
  EXPECT_EQ(xf_title_colour_apart(0xC0C0D0, 0xC0C0C0), 0xC0C0D0u) << "16 apart is not near";
}

TEST(Sampling, StepsAreATenthBetweenOneAndTen) {
  const int32_t cases[][2] = {{40, 4}, {300, 10}, {5, 1}, {0, 1}, {100, 10}, {99, 9}};
  for (const auto& c : cases) EXPECT_EQ(xf_sample_step(c[0]), c[1]) << c[0];
}

TEST(XpmText, NoneIsReplacedInTheFirstLineThatNamesIt) {
  std::vector<std::string> text = {"4 2 3 1", "  c None", "n s None c none", ". c #000000", "    ", "...."};
  std::vector<char*> data;
  for (auto& s : text) data.push_back(s.data());
  std::string out;
  EXPECT_EQ(xf_xpm_replace_none(data.data(), 6, &out, "#c0c0c0"), 1);
  EXPECT_EQ(out, "  c #c0c0c0");
  data[1] = text[2].data();
  EXPECT_EQ(xf_xpm_replace_none(data.data() + 0, 6, &out, "#c0c0c0"), 1);
  EXPECT_EQ(out, "n s #c0c0c0 c #c0c0c0") << "both words";
  std::vector<std::string> plain = {"1 1 1 1", ". c #000000", "."};
  std::vector<char*> pd;
  for (auto& s : plain) pd.push_back(s.data());
  EXPECT_EQ(xf_xpm_replace_none(pd.data(), 3, &out, "#fff"), -1);
}

}  // namespace

#include "winsys/pointers.h"

namespace {

TEST(Pointers, TheDisabledPointerSizeFollowsTheServerAndShapesHaveMasks) {
  EXPECT_EQ(xf_disabled_pointer_side(32, 32), 32);
  EXPECT_EQ(xf_disabled_pointer_side(64, 64), 32);
  EXPECT_EQ(xf_disabled_pointer_side(16, 16), 16) << "a server that shows 16 x 16 at most";
  EXPECT_EQ(xf_disabled_pointer_side(32, 16), 16);
  for (char shape : {'h', 'v', 'd', 'u', 'x'}) {
    for (int n : {16, 32}) {
      std::vector<unsigned char> bits = xf_pointer_bits(shape, n, false);
      std::vector<unsigned char> mask = xf_pointer_bits(shape, n, true);
      ASSERT_EQ(bits.size(), static_cast<size_t>(n * ((n + 7) / 8)));
      int set = 0, masked = 0;
      for (size_t i = 0; i < bits.size(); ++i) {
        EXPECT_EQ(bits[i] & ~mask[i], 0) << shape << " " << n << ": the mask covers the shape";
        set += __builtin_popcount(bits[i]);
        masked += __builtin_popcount(mask[i]);
      }
      EXPECT_GT(set, n) << shape << " " << n;
      EXPECT_GT(masked, set) << shape << " " << n << ": a rim around it";
      EXPECT_LT(set, n * n / 2) << shape << " " << n;
    }
  }
  // The horizontal arrow's shaft crosses the middle row; its ends are points.
  std::vector<unsigned char> h = xf_pointer_bits('h', 16, false);
  auto bit = [&](int x, int y) { return (h[static_cast<size_t>(y * 2 + x / 8)] >> (x % 8)) & 1; };
  EXPECT_EQ(bit(8, 7) + bit(8, 8), 2);
  EXPECT_EQ(bit(8, 2), 0);
  EXPECT_EQ(bit(3, 5) + bit(12, 5), 2) << "the heads spread at both ends";
  EXPECT_EQ(bit(1, 5) + bit(14, 5), 0) << "and narrow to their points";
  EXPECT_EQ(bit(1, 7), 1);
}

}  // namespace
