// Colours on a TrueColor Xvfb and on an 8-bit PseudoColor one: the colour
// cache, shades, system colours, nearest colours in a full colormap, and
// raster operations drawn on both.
#include <vector>

#include "tests/winsys/gfx_fixture.h"
#include "winsys/colours.h"
#include "winsys/draw.h"
#include "winsys/pixels.h"

namespace {

using gfxtest::XDraw;

class TrueColour : public XDraw {};

TEST_F(TrueColour, ShadesAndSystemColoursFollowTheRule) {
  Colormap cm = xfQueryColormap();
  unsigned long base = xfRgbToPixel(cm, 0xC0C0C0);
  XfShades s = xfQueryShades(base);
  EXPECT_EQ(xfPixelToRgb(cm, s.light), 0xE8E8E8u);
  EXPECT_EQ(xfPixelToRgb(cm, s.dark), 0x707070u);
  EXPECT_EQ(xfPixelToRgb(cm, s.medium), 0x989898u);
  EXPECT_EQ(xfPixelToRgb(cm, s.text), 0x000000u);
  EXPECT_EQ(xfPixelToRgb(cm, xfQueryShades(xfRgbToPixel(cm, 0x202020)).text), 0xFFFFFFu);

  WinSetSysColorPixel(5, 0xC0C0C0);
  EXPECT_EQ(WinQuerySysColor(0), 0u);
  EXPECT_EQ(WinQuerySysColor(17), 0u);
  EXPECT_EQ(WinQuerySysColor(1), 0xC0C0C0u);
  EXPECT_EQ(WinQuerySysColor(3), 0xE8E8E8u);
  EXPECT_EQ(WinQuerySysColor(10), 0x707070u);
  EXPECT_EQ(WinQuerySysColor(9), 0xFFFFFFu);
  WinSetSysColorPixel(5, 0x202020);
  EXPECT_EQ(WinQuerySysColor(1), 0xC0C0C0u) << "computed once";
  uint32_t out = 0;
  WinSetSysColorPixel(2, 0x563412);
  WinQuerySysColorPixel(2, &out);
  EXPECT_EQ(out, 0x563412u);
  EXPECT_EQ(WinQueryMenuRgb(), 0x123456u);
}

TEST_F(TrueColour, TheCacheHolds256ColoursAndTheShadeTableGrows) {
  Colormap cm = xfQueryColormap();
  XfColourCache& cc = xg().colours;
  for (uint32_t i = 0; i < 256; ++i) xfColorToPixel(cm, 0x010000 * i + 7);
  EXPECT_EQ(cc.count, 256);
  uint32_t asked = cc.allocations;
  xfColorToPixel(cm, 0x00FF00 + 5);
  xfColorToPixel(cm, 0x00FF00 + 5);
  EXPECT_EQ(cc.allocations - asked, 2u) << "the 257th colour is allocated each time it is asked";
  xfColorToPixel(cm, 7);
  EXPECT_EQ(cc.allocations - asked, 2u) << "a cached colour is not";

  std::vector<XfShades> first;
  for (uint32_t i = 0; i < 50; ++i) first.push_back(xfQueryShades(xfRgbToPixel(cm, 0x101010 + i * 0x030303)));
  EXPECT_EQ(cc.shades.size(), 50u) << "more than 38 base colours";
  for (uint32_t i = 0; i < 50; ++i) {
    XfShades again = xfQueryShades(first[i].base);
    EXPECT_EQ(again.light, first[i].light);
    EXPECT_EQ(again.dark, first[i].dark);
  }
}

TEST_F(TrueColour, WindowColoursRepaintTheKindsThatShowThem) {
  XfWindow* bar = window(20, 100, XFTYPE_VSB);
  WinSetWindowColor(bar, 2, 0xC0C0C0);
  Colormap cm = xfQueryColormap();
  EXPECT_EQ(xfPixelToRgb(cm, bar->light), 0xE8E8E8u) << "scroll bars take the shades";
  EXPECT_TRUE(bar->update.valid);
  XfWindow* frame = window(20, 100, XFTYPE_STDFRAME);
  WinSetWindowColor(frame, 1, 0x0000FF);
  EXPECT_EQ(xfPixelToRgb(cm, frame->fg), 0xFF0000u);
  EXPECT_FALSE(frame->update.valid) << "other kinds are not repainted";
}

TEST_F(TrueColour, TheTitleColourIsSampledInsideTheManagersDecoration) {
  XfWindow* frame = window(100, 50, XFTYPE_STDFRAME);
  Window deco = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 100, 100, 20, 0, 0, pixel_of(0x0000FF));
  XMapWindow(d, deco);
  XSync(d, False);
  GC gc = XCreateGC(d, deco, 0, nullptr);
  XSetForeground(d, gc, pixel_of(0xFF0000));
  XFillRectangle(d, deco, gc, 0, 16, 60, 1);  // the row 4 above the frame: 6 of 10 samples red
  XSetForeground(d, gc, pixel_of(0x00FF00));
  XFillRectangle(d, deco, gc, 60, 16, 40, 1);
  XFreeGC(d, gc);
  XSync(d, False);
  xf().values.mdi_active = 12345;
  xf().values.mdi_client = pixel_of(0xC0C0C0);
  XfFrameWords& f = frame->k.frame;
  f.wm_frame = deco;
  f.wm_width = 100;
  f.deco_top = 20;
  EXPECT_EQ(xfSampleTitleColor(frame), pixel_of(0xFF0000));
  f.deco_top = 3;  // a border thinner than 4 pixels has no such row
  EXPECT_EQ(xfSampleTitleColor(frame), 12345u);
  f.deco_top = 20;
  f.wm_frame = 0;
  EXPECT_EQ(xfSampleTitleColor(frame), 12345u) << "no manager's frame";
  EXPECT_EQ(xf_x_error_count(), 0u);
  XDestroyWindow(d, deco);
}

class PseudoColour : public XDraw {
 protected:
  xtest::XvfbOptions options() const override {
    xtest::XvfbOptions o;
    o.depth = 8;
    return o;
  }
};

TEST_F(PseudoColour, AFullColormapAnswersTheNearestCellTheFirstOnTies) {
  ASSERT_EQ(DefaultVisual(d, DefaultScreen(d))->c_class, PseudoColor);
  Colormap cm = DefaultColormap(d, DefaultScreen(d));
  // Take every free cell, and give them greys but for two equally near
  // reds and one green.
  std::vector<unsigned long> cells;
  unsigned long pixel = 0, planes = 0;
  while (XAllocColorCells(d, cm, False, &planes, 0, &pixel, 1)) cells.push_back(pixel);
  ASSERT_GT(cells.size(), 150u);
  std::vector<XColor> colours;
  for (size_t i = 0; i < cells.size(); ++i) {
    XColor c{};
    c.pixel = cells[i];
    unsigned short grey = static_cast<unsigned short>((i % 100) * 256);
    c.red = c.green = c.blue = grey;
    c.flags = DoRed | DoGreen | DoBlue;
    colours.push_back(c);
  }
  auto set = [&](size_t i, int r, int g, int b) {
    colours[i].red = static_cast<unsigned short>(r << 8);
    colours[i].green = static_cast<unsigned short>(g << 8);
    colours[i].blue = static_cast<unsigned short>(b << 8);
  };
  // The server's own read-only cells (pure primaries among them) stay;
  // the colours asked for lie nearer to ours than to any of those.
  set(10, 240, 10, 10);  // distance 10 + 10 + 10 = 30 from (230, 0, 0)
  set(20, 230, 0, 9);    // 9
  set(30, 230, 0, 5);    // 5: the nearest
  set(40, 230, 5, 0);    // 5 too, but a later cell
  set(50, 0, 250, 0);
  XStoreColors(d, cm, colours.data(), static_cast<int>(colours.size()));
  XSync(d, False);
  ASSERT_LT(cells[30], cells[40]);

  unsigned long red = xfRgbToPixel(cm, 0xE60000);
  EXPECT_EQ(red, cells[30]);
  EXPECT_EQ(xfPixelToRgb(cm, red), 0xE60005u);
  EXPECT_EQ(xfRgbToPixel(cm, 0x0AF50A), cells[50]);

  // Drawing with the answered pixel shows that cell's colour.
  XfWindow* w = window(40, 20);
  DrawContext ctx{};
  WinGetPS(&ctx, w);
  Brush b{};
  WinMakeSolidBrush(&b, 0x0000E6);
  WinSelectBrush(nullptr, &ctx, &b);
  WinRect r{0, 0, 9, 9};
  WinPaintRect(&ctx, &r);
  EXPECT_EQ(px(w, 5, 5), cells[30]);
  WinReleasePS(&ctx);
}

TEST_F(PseudoColour, ShadesAndRasterOperationsOnEightBits) {
  Colormap cm = xfQueryColormap();
  XfShades s = xfQueryShades(xfRgbToPixel(cm, 0xC0C0C0));
  EXPECT_EQ(xfPixelToRgb(cm, s.light), 0xE8E8E8u);
  EXPECT_EQ(xfPixelToRgb(cm, s.dark), 0x707070u);
  XfWindow* w = window(60, 20);
  DrawContext ctx{};
  WinGetPS(&ctx, w);
  Brush b{};
  WinMakeSolidBrush(&b, 0x0000FF);
  b.mix = 7;  // xor over white
  WinSelectBrush(nullptr, &ctx, &b);
  WinRect r{0, 0, 9, 9};
  WinPaintRect(&ctx, &r);
  unsigned long red = xfRgbToPixel(cm, 0xFF0000);
  EXPECT_EQ(px(w, 3, 3), (red ^ white()) & 0xFF);
  WinPaintRect(&ctx, &r);
  EXPECT_EQ(px(w, 3, 3), white()) << "xor twice leaves the paper";
  WinRect inv{20, 0, 29, 9};
  WinInvertRect(&ctx, &inv);
  EXPECT_EQ(px(w, 22, 2), black()) << "inversion is visible on eight bits too";
  WinReleasePS(&ctx);
}

}  // namespace
