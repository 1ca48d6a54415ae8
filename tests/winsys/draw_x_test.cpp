// Drawing on a private Xvfb, read back with XGetImage: coloured text runs
// as the display draws them, clipping, decorations, fills, outlines, XOR
// and inversion, and the GC values a presentation space sends.
#include <cstring>
#include <string>
#include <vector>

#include "tests/winsys/gfx_fixture.h"
#include "winsys/colours.h"
#include "winsys/draw.h"
#include "winsys/fonts.h"
#include "winsys/images.h"
#include "winsys/paint.h"
#include "winsys/present.h"

namespace {

using gfxtest::XDraw;

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kYellow = 0x00FFFF, kGreen = 0x00FF00;  // 0x00BBGGRR

class Draw : public XDraw {
 protected:
  // A context on the window with adobe courier 12 (7 x 13 cells).
  void open(XfWindow* w, uint32_t attrs = 0) {
    WinGetPS(&ctx, w);
    FontDescription desc = font_description("adobe-courier", 12, attrs);
    int32_t slot = font_cache_find(&desc);
    ASSERT_GE(slot, 0);
    WinSelectFont(nullptr, &ctx, font_cache_attrs(slot));
    height = WinQueryFontHeight(&ctx);
    ascent = ctx.state->ps->font->fs->ascent;
    descent = ctx.state->ps->font->fs->descent;
  }
  void TearDown() override {
    if (ctx.state) WinReleasePS(&ctx);
    XDraw::TearDown();
  }
  // How many pixels of the colour lie in the box.
  int count(XfWindow* w, int x0, int y0, int x1, int y1, unsigned long pixel) {
    XSync(d, False);
    XImage* im = XGetImage(d, w->xwin, x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0),
                           AllPlanes, ZPixmap);
    int n = 0;
    for (int y = 0; y < y1 - y0; ++y)
      for (int x = 0; x < x1 - x0; ++x) n += XGetPixel(im, x, y) == pixel;
    XDestroyImage(im);
    return n;
  }
  DrawContext ctx{};
  int32_t height = 0, ascent = 0, descent = 0;
};

TEST_F(Draw, ARowOfThreeColouredRunsFillsEachCellBoxInItsColours) {
  XfWindow* w = window(400, 40);
  open(w);
  struct Run {
    const char* text;
    uint32_t fg, bg;
  };
  const Run runs[] = {{"int main", kRed, kYellow}, {"(void)", kBlue, 0xFFFFFF}, {" { }", kGreen, 0x000000}};
  int32_t x = 0;
  for (const Run& r : runs) {
    auto n = static_cast<int32_t>(std::strlen(r.text));
    int32_t width = WinQueryTextWidth(&ctx, r.text, n);
    EXPECT_EQ(width, 7 * n);
    WinSetTextColor(&ctx, r.fg);
    WinSetBkColor(&ctx, r.bg);
    WinRect cell{x, 5, x + width, 5 + height};
    WinExtTextOut(&ctx, x, 5, 1, &cell, r.text, n, nullptr);
    x += width;
  }
  // Each run's box holds only its two colours, with ink of the text colour.
  x = 0;
  for (const Run& r : runs) {
    int32_t width = 7 * static_cast<int32_t>(std::strlen(r.text));
    unsigned long fg = pixel_of(WinRgbSwap(r.fg)), bg = pixel_of(WinRgbSwap(r.bg));
    int total = width * height;
    int ink = count(w, x, 5, x + width, 5 + height, fg);
    int paper = count(w, x, 5, x + width, 5 + height, bg);
    EXPECT_EQ(ink + paper, total) << r.text;
    if (std::string(r.text).find_first_not_of(' ') != std::string::npos) {
      EXPECT_GT(ink, 0) << r.text;
    }
    EXPECT_GT(paper, ink) << r.text;
    x += width;
  }
  EXPECT_EQ(px(w, x + 1, 10), white()) << "nothing right of the row";
  EXPECT_EQ(px(w, 3, 5 + height), white()) << "nothing below the cell";
  EXPECT_EQ(px(w, 3, 4), white()) << "nothing above the cell";
}

TEST_F(Draw, ClippedTextStaysInItsRectangleAndTransparentTextKeepsThePaper) {
  XfWindow* w = window(300, 60);
  open(w);
  WinSetTextColor(&ctx, kRed);
  WinSetBkColor(&ctx, kYellow);
  WinRect clip{10, 5, 45, 5 + height};
  WinExtTextOut(&ctx, 10, 5, 2, &clip, "MMMMMMMMMMMMMMMMMMMM", 20, nullptr);
  unsigned long red = pixel_of(0xFF0000), yellow = pixel_of(0xFFFF00);
  EXPECT_GT(count(w, 10, 5, 45, 5 + height, red), 0);
  EXPECT_EQ(count(w, 45, 0, 200, 30, red) + count(w, 45, 0, 200, 30, yellow), 0) << "clipped at x 45";

  WinSetBkMode(&ctx, 57);
  WinTextOut(&ctx, 10, 30, "MMMM", 4);
  EXPECT_GT(count(w, 10, 30, 38, 30 + height, red), 0);
  EXPECT_EQ(count(w, 10, 30, 38, 30 + height, yellow), 0) << "transparent: the glyphs only";
  // Count 0 with the opaque option only fills.
  WinSetBkMode(&ctx, 58);
  WinRect box{100, 30, 120, 40};
  WinExtTextOut(&ctx, 100, 30, 1, &box, "", 0, nullptr);
  EXPECT_EQ(count(w, 100, 30, 120, 40, yellow), 200);
}

TEST_F(Draw, UnderlineStrikeOutAndTheMnemonicFallOnTheirRows) {
  XfWindow* w = window(300, 80);
  open(w, 8 | 4);
  WinSetTextColor(&ctx, kBlue);
  unsigned long blue = pixel_of(0x0000FF);
  WinTextOut(&ctx, 10, 5, "abc", 3);
  int32_t under = 5 + ascent + descent - 1, strike = 5 + ascent - ascent / 2;
  EXPECT_EQ(count(w, 10, under, 31, under + 1, blue), 21) << "underline across the text";
  EXPECT_EQ(count(w, 10, strike, 31, strike + 1, blue), 21) << "strike-out through it";
  WinReleasePS(&ctx);
  ctx = DrawContext{};

  open(w);
  WinSetTextColor(&ctx, kBlue);
  WinRect line{10, 40, 200, 40 + height};
  WinDrawTextLine(&ctx, "~Fi~le", 6, &line, 0x2000);
  int32_t row = 40 + ascent + descent - 1;
  EXPECT_EQ(count(w, 10, row, 17, row + 1, blue), 7) << "the F underlined";
  EXPECT_EQ(count(w, 18, row, 38, row + 1, blue), 0) << "only the first mnemonic";
}

TEST_F(Draw, DrawTextLinesMeasureWrapAndStopAtAThousand) {
  XfWindow* w = window(300, 300);
  open(w);
  WinRect r{0, 0, 300, 0};
  EXPECT_EQ(WinDrawText(&ctx, "one\r\ntwo", 8, &r, 0x1000), 2);
  EXPECT_EQ(r.bottom, 2 * height);
  EXPECT_EQ(r.right, 21);
  r = WinRect{0, 0, 50, 0};
  EXPECT_EQ(WinDrawText(&ctx, "aaa bbb ccc dddddddddd", 22, &r, 0x1000 | 0x40), 3);
  EXPECT_EQ(r.right, 70) << "the over-wide word alone on its line";
  std::string many;
  for (int i = 0; i < 1200; ++i) many += "x\n";
  uint32_t beeps = xf().beeps;
  r = WinRect{0, 0, 300, 300};
  EXPECT_EQ(WinDrawText(&ctx, many.data(), static_cast<int32_t>(many.size()), &r, 0), 1000);
  EXPECT_EQ(xf().beeps - beeps, 3u);
}

TEST_F(Draw, FillsIncludeRightAndBottomAndEmptyRectanglesDrawNothing) {
  XfWindow* w = window(100, 60);
  open(w);
  Brush b{};
  WinMakeSolidBrush(&b, kRed);
  WinSelectBrush(nullptr, &ctx, &b);
  unsigned long red = pixel_of(0xFF0000);
  WinRect none{10, 10, 10, 20};
  WinPaintRect(&ctx, &none);
  EXPECT_EQ(count(w, 0, 0, 100, 60, red), 0);
  WinRect two{10, 10, 11, 20};
  WinPaintRect(&ctx, &two);
  EXPECT_EQ(count(w, 0, 0, 100, 60, red), 2 * 11) << "columns 10 and 11, rows 10 to 20";
  EXPECT_EQ(px(w, 11, 20), red);
  EXPECT_EQ(px(w, 12, 20), white());

  // A hatch brush fills through its stipple.
  Brush hatch{};
  WinMakeHatchBrush(&hatch, kBlue, 0);
  WinRect area{40, 10, 47, 17};
  WinFillRect(&ctx, &area, &hatch);
  unsigned long blue = pixel_of(0x0000FF);
  EXPECT_EQ(count(w, 40, 10, 48, 18, blue), 32) << "every other row of the horizontal hatch";
  EXPECT_EQ(ctx.state->brush.colour, kRed) << "the previous brush selected again";
}

TEST_F(Draw, OutlinesAndTheFivePointRectangle) {
  XfWindow* w = window(120, 120);
  open(w);
  Pen pen{};
  WinMakePen(&pen, 0, 1, kRed);
  Pen old{};
  WinSelectPen(&old, &ctx, &pen);
  unsigned long red = pixel_of(0xFF0000);
  WinRectangle(&ctx, 10, 10, 20, 20);
  EXPECT_EQ(px(w, 10, 10), red);
  EXPECT_EQ(px(w, 19, 19), red) << "the outline ends one pixel inside right and bottom";
  EXPECT_EQ(px(w, 20, 20), white());
  EXPECT_EQ(px(w, 15, 15), white()) << "no fill";
  WinRectangle(&ctx, 30, 10, 30, 20);
  EXPECT_EQ(count(w, 29, 0, 32, 40, red), 10) << "right = left: one column";

  XfPoint five[5] = {{50, 10}, {60, 10}, {60, 20}, {50, 20}, {0, 0}};
  WinPolyline(&ctx, five, 5);
  EXPECT_EQ(count(w, 50, 10, 61, 21, red), count(w, 10, 10, 21, 21, red)) << "drawn as the rectangle";

  // An inside-frame pen of width 4 moves a closed rectangle in by 3.
  Pen frame{};
  WinMakePen(&frame, 6, 4, kBlue);
  WinSelectPen(nullptr, &ctx, &frame);
  XfPoint quad[4] = {{10, 60}, {50, 60}, {50, 100}, {10, 100}};
  WinPolygon(&ctx, quad, 4);
  unsigned long blue = pixel_of(0x0000FF);
  EXPECT_EQ(px(w, 13, 63), blue);
  EXPECT_EQ(px(w, 12, 62), white());
  EXPECT_EQ(px(w, 16, 66), blue) << "four outlines, each one pixel inward";
  EXPECT_EQ(px(w, 17, 67), white());
  Pen back{};
  WinSelectPen(&back, &ctx, &old);
  EXPECT_EQ(back.style, 6);
  EXPECT_EQ(ctx.state->pen.colour, 0u) << "pen A, pen B, then the first answer gives A again";
}

TEST_F(Draw, XorRectanglesShowAndEraseWithOneColourAndInversionIsVisible) {
  XfWindow* w = window(100, 60);
  open(w);
  WinSetRop2(&ctx, 7);
  int32_t entries = xf_contrast_entry_count();
  WinRectangle(&ctx, 10, 10, 40, 30);
  EXPECT_EQ(xf_contrast_entry_count(), entries + 1);
  EXPECT_EQ(px(w, 10, 10), black()) << "the complement of white shows";
  WinRectangle(&ctx, 10, 10, 40, 30);
  EXPECT_EQ(xf_contrast_entry_count(), entries) << "the cache as it was";
  EXPECT_EQ(px(w, 10, 10), white()) << "erased";
  EXPECT_EQ(WinSetRop2(&ctx, 99), 7) << "the previous code";
  EXPECT_EQ(ctx.state->ps->gc_function, GXcopy);

  WinRect r{50, 10, 60, 20};
  WinInvertRect(&ctx, &r);
  EXPECT_EQ(px(w, 50, 10), black()) << "white inverted is black on a true-colour screen";
  EXPECT_EQ(px(w, 60, 10), white());
  WinInvertRect(&ctx, &r);
  EXPECT_EQ(px(w, 55, 15), white());
}

TEST_F(Draw, SettersSendAGcChangeOnlyWhenTheValueDiffers) {
  PresentSpace* ps = xfCreatePresentSpace(nullptr);
  uint32_t before = xf_ps_gc_changes();
  xfPsSetForeground(ps, 0x123456);
  xfPsSetForeground(ps, 0x123456);
  EXPECT_EQ(xf_ps_gc_changes() - before, 1u);
  xfPsSetFunction(ps, GXcopy);
  xfPsSetFillStyle(ps, FillSolid);
  EXPECT_EQ(xf_ps_gc_changes() - before, 1u) << "copy and solid are the values it starts with";
  xfPsSetBackground(ps, 5);
  xfPsSetBackground(ps, 5);
  EXPECT_EQ(xf_ps_gc_changes() - before, 2u);
  xfPsSetTextColor(ps, kRed);
  xfPsSetLineColor(ps, kRed);
  EXPECT_EQ(xf_ps_gc_changes() - before, 2u) << "these only store";
  int32_t gcs = xf_gc_count();
  xfFreePresentSpace(ps);
  EXPECT_EQ(xf_gc_count(), gcs - 1);
}

TEST_F(Draw, PaintingClipsToTheUpdateRectangle) {
  XfWindow* w = window(100, 60);
  xfAddUpdateRect(w, 20, 10, 30, 20, nullptr);
  WinRect r{};
  WinBeginPaint(&ctx, w, &r);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 10);
  EXPECT_EQ(r.right, 50);
  EXPECT_EQ(r.bottom, 30);
  Brush b{};
  WinMakeSolidBrush(&b, kGreen);
  WinSelectBrush(nullptr, &ctx, &b);
  WinRect all{0, 0, 99, 59};
  WinPaintRect(&ctx, &all);
  WinEndPaint(&ctx, w);
  ctx = DrawContext{};
  unsigned long green = pixel_of(0x00FF00);
  EXPECT_EQ(count(w, 0, 0, 100, 60, green), 30 * 20);
  EXPECT_TRUE(w->update.valid) << "a context of its own leaves the window to its procedure";

  XfWindow* empty = window(50, 50);
  WinBeginPaint(&ctx, empty, &r);
  EXPECT_EQ(r.right - r.left, 0);
  WinPaintRect(&ctx, &all);
  WinEndPaint(&ctx, empty);
  ctx = DrawContext{};
  EXPECT_EQ(count(empty, 0, 0, 50, 50, green), 0) << "nothing pending: everything clipped";
}

TEST_F(Draw, AWindowsOwnStateKeepsItsSettingsBetweenUses) {
  XfWindow* w = window(100, 60);
  xf_give_own_draw_state(w);
  ASSERT_TRUE(xfHasOwnDrawState(w));
  WinGetPS(&ctx, w);
  EXPECT_TRUE(ctx.own);
  WinSetTextColor(&ctx, kRed);
  WinReleasePS(&ctx);
  DrawContext again{};
  WinGetPS(&again, w);
  EXPECT_EQ(again.state->text_colour, kRed);
  WinReleasePS(&again);
  xf_free_own_draw_state(w);
  EXPECT_FALSE(xfHasOwnDrawState(w));
  ctx = DrawContext{};
}

}  // namespace
