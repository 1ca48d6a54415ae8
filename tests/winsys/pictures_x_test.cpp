// Pictures on a private Xvfb: XPM text and bitmap files made into X
// images, drawn with their masks under every raster code, unmasked with
// the raster code of each call, and scaled.
#include <string>
#include <vector>

#include "tests/winsys/bitmap_file_writer.h"
#include "tests/winsys/gfx_fixture.h"
#include "winsys/bitmap_file.h"
#include "winsys/draw.h"

namespace {

using gfxtest::XDraw;

class Pictures : public XDraw {
 protected:
  void paper(XfWindow* w, uint32_t rgb) {
    DrawContext c{};
    WinGetPS(&c, w);
    Brush b{};
    WinMakeSolidBrush(&b, WinRgbSwap(rgb));
    WinRect r{0, 0, w->width - 1, w->height - 1};
    WinFillRect(&c, &r, &b);
    WinReleasePS(&c);
  }
  XfPicture* from_text(const std::string& text) {
    XfPicture* p = nullptr;
    EXPECT_EQ(xfXpmToPicture(d, &p, text.data(), text.size(), kImageXpmText), 0) << text;
    return p;
  }
  XfPicture* from_bmp(const bmptest::BmpSpec& spec) {
    std::vector<uint8_t> bmp = bmptest::write_bmp(spec);
    std::vector<char> text;
    size_t length = 0;
    EXPECT_EQ(xfBitmapToXpm(&text, &length, bmp.data(), bmp.size(), kImageBmp40, "bmp"), 0);
    return from_text(std::string(text.data(), length));
  }
};

TEST_F(Pictures, AMaskedPictureCombinesByEachRasterCodeAndKeepsItsTransparency) {
  XfWindow* w = window(100, 20);
  paper(w, 0x00FF00);
  XfPicture* p = from_text("/* XPM */\nstatic char *m[]={\n\"2 1 2 1\",\n\". c #ff0000\",\n\"  c None\",\n\". \"};\n");
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->mask, nullptr);
  DrawContext c{};
  WinGetPS(&c, w);
  struct Case {
    int32_t raster;
    uint32_t shown;
  };
  const Case cases[] = {{0, 0xFF0000}, {1, 0xFFFF00}, {2, 0x000000}, {3, 0x000000}, {9, 0x000000}};
  int32_t x = 0;
  for (const Case& k : cases) {
    xfDrawPicture(&c, p, x, 5, 0, 0, 0, 0, 0, 0, k.raster);
    EXPECT_EQ(px(w, x, 5), pixel_of(k.shown)) << "raster " << k.raster;
    EXPECT_EQ(px(w, x + 1, 5), pixel_of(0x00FF00)) << "transparent under raster " << k.raster;
    x += 10;
  }
  EXPECT_EQ(c.state->ps->gc_function, GXcopy) << "the context's function as it was";
  WinReleasePS(&c);
  xfFreePicture(p);
}

TEST_F(Pictures, BitmapFilesOfEveryDepthDrawTheirColoursAndEachCallItsRasterCode) {
  XfWindow* w = window(200, 40);
  paper(w, 0xFFFFFF);
  DrawContext c{};
  WinGetPS(&c, w);
  int32_t x = 0;
  for (uint16_t bpp : {1, 4, 8, 24}) {
    bmptest::BmpSpec s;
    s.bpp = bpp;
    s.width = 3;
    s.height = 2;
    s.pixel = [bpp](int32_t px, int32_t) {
      return bpp == 24 ? 0x3060C0u + static_cast<uint32_t>(px) : static_cast<uint32_t>(px & 1);
    };
    s.palette = [](uint32_t i) { return i ? 0x204080u : 0xA0B0C0u; };
    XfPicture* p = from_bmp(s);
    ASSERT_NE(p, nullptr) << bpp;
    EXPECT_EQ(p->mask, nullptr);
    EXPECT_EQ(xfPictureWidth(p), 3);
    xfDrawPicture(&c, p, x, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(px(w, x, 0), pixel_of(bpp == 24 ? 0x3060C0 : 0xA0B0C0)) << bpp;
    EXPECT_EQ(px(w, x + 1, 1), pixel_of(bpp == 24 ? 0x3060C1 : 0x204080)) << bpp;
    // The next call clears: the kept GC takes each call's code.
    xfDrawPicture(&c, p, x, 0, 0, 0, 0, 0, 0, 0, 3);
    EXPECT_EQ(px(w, x, 0), 0u) << bpp;
    xfDrawPicture(&c, p, x, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(px(w, x + 1, 1), pixel_of(bpp == 24 ? 0x3060C1 : 0x204080)) << "or over black";
    xfFreePicture(p);
    x += 10;
  }
  WinReleasePS(&c);
}

TEST_F(Pictures, ScaledDrawsTakeTheNearestPixelAndTheirMask) {
  XfWindow* w = window(40, 40);
  paper(w, 0xFFFFFF);
  XfPicture* p = from_text(
      "/* XPM */\nstatic char *s[]={\n\"2 2 3 1\",\n\"r c #ff0000\",\n\"b c #0000ff\",\n\"  c None\",\n\"rb\",\n\" "
      "r\"};\n");
  ASSERT_NE(p, nullptr);
  DrawContext c{};
  WinGetPS(&c, w);
  xfDrawPicture(&c, p, 10, 10, 4, 4, 0, 0, 0, 0, 0);
  EXPECT_EQ(px(w, 11, 11), pixel_of(0xFF0000));
  EXPECT_EQ(px(w, 12, 11), pixel_of(0x0000FF));
  EXPECT_EQ(px(w, 13, 10), pixel_of(0x0000FF));
  EXPECT_EQ(px(w, 11, 13), white()) << "the transparent corner scaled too";
  EXPECT_EQ(px(w, 13, 13), pixel_of(0xFF0000));
  EXPECT_EQ(px(w, 14, 14), white()) << "4 x 4 and no more";
  // A part of the image.
  xfDrawPicture(&c, p, 20, 20, 0, 0, 1, 0, 1, 1, 0);
  EXPECT_EQ(px(w, 20, 20), pixel_of(0x0000FF));
  EXPECT_EQ(px(w, 21, 20), white());
  WinReleasePS(&c);
  xfFreePicture(p);
}

TEST_F(Pictures, LibXpmErrorsBecomeTheBitmapCodes) {
  XfPicture* p = nullptr;
  std::string truncated = "/* XPM */\nstatic char *x[]={\n\"2 1 1 1\",\n\". c #ff0000\",\n\"";
  EXPECT_EQ(xfXpmToPicture(d, &p, truncated.data(), truncated.size(), kImageXpmText), -2551);
  std::string unknown_colour = "/* XPM */\nstatic char *x[]={\n\"2 1 1 1\",\n\". c nosuchcolourname\",\n\"..\"};\n";
  EXPECT_EQ(xfXpmToPicture(d, &p, unknown_colour.data(), unknown_colour.size(), kImageXpmText), -2551);
  EXPECT_EQ(p, nullptr);
  const char* lines[] = {"1 1 1 1", ". c #123456", "."};
  ASSERT_EQ(xfXpmToPicture(d, &p, lines, 3, kImageXpmData), 0);
  EXPECT_EQ(xfPictureHeight(p), 1);
  xfFreePicture(p);
  p = nullptr;
  EXPECT_EQ(xfXpmToPicture(d, &p, lines, 2, kImageXpmData), -2551) << "fewer lines than announced";
  EXPECT_EQ(xf_x_error_count(), 0u);
}

}  // namespace
