// An editor window drawn on a private Xvfb through the real window system:
// a C buffer coloured by the default lexers, its keyword and comment cells
// read back with XGetImage in the colours their slots are configured with.
#include <gtest/gtest.h>

#include <memory>
#include <string>

// The macro and text engine first: the window system's headers bring in Xlib.
#include "tests/macro/text_bi_fixture.h"

#include "display/colours.h"
#include "display/lexer.h"
#include "display/recolour.h"
#include "display/refresh.h"
#include "display/winsys_surface.h"
#include "winsys/fonts.h"
#include "winsys/gfx.h"
#include "winsys/pixels.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

// Xlib's macros (None, Bool, Status) last, after the headers they would spoil.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace {

// Colours as the display names them, 0x00BBGGRR.
constexpr ColourPair kKeyword{0x0000C0, 0x80FFFF};  // dark red on pale yellow
constexpr ColourPair kComment{0xC00000, 0xE0FFE0};  // dark blue on pale green

class DisplayX : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    d = server->display();
    Visual* v = DefaultVisual(d, DefaultScreen(d));
    ASSERT_EQ(24, DefaultDepth(d, DefaultScreen(d)));
    ASSERT_EQ(0xFF0000u, v->red_mask);
    ASSERT_EQ(0x0000FFu, v->blue_mask);
    xf_reset();
    old_handler = XSetErrorHandler(xfXErrorHandler);
    xf_attach_display(d);
    xfInitDefaultFonts();
    xf_gfx_start();
    started = true;

    lex_reset_all();
    colours_reset();
    ASSERT_EQ(0, lex_load_file(ZVX_DEFAULT_LEXERS));
  }
  void TearDown() override {
    disp_destroy(&ed.disp);
    surface.reset();
    lex_reset_all();
    colours_reset();
    if (started) {
      if (xwin) XDestroyWindow(d, xwin);
      xf_gfx_shutdown();
      xfFreeAllPixmaps();
      xfFreeAllCursors();
      xf_reset();
      XSetErrorHandler(old_handler);
    }
    server.reset();
    TextBiTest::TearDown();
  }

  // A mapped window of the window system in adobe courier 12, laid out for the display.
  void show(const std::string& text, const char* name) {
    XfWindow* w = xfCreateChildWindow(nullptr, 0, 0, 400, 120, 0, 'u');
    ASSERT_NE(nullptr, w);
    xwin = w->xwin;
    XSetWindowBackground(d, xwin, WhitePixel(d, DefaultScreen(d)));
    XMapWindow(d, xwin);
    XClearWindow(d, xwin);
    XSync(d, False);
    w->shown = 1;
    FontDescription desc = font_description("adobe-courier", 12, 0);
    const int32_t slot = font_cache_find(&desc);
    ASSERT_GE(slot, 0);
    surface = std::make_unique<WinsysSurface>(w, font_cache_attrs(slot));

    BufferRec* b = open(text, name);
    LexerDef* lexer = lex_for_file_name(name);
    ASSERT_NE(nullptr, lexer);
    lex_set_buffer_lexer(b, lexer);
    ed.window = window_current();
    ASSERT_NE(nullptr, ed.window);
    ASSERT_EQ(0, disp_layout(&ed.disp, surface.get(), 0, 0, 0));
    disp_draw_window(&ed, false);
    XSync(d, False);
  }

  struct Box {
    int x0, y0, x1, y1;
  };
  // The pixel box of cells [first, last] of a row, from the display's layout.
  Box cells(int row, int first, int last) const {
    const TextDisplay& t = ed.disp;
    return {t.text_left + first * t.char_width, t.text_top + row * t.line_height,
            t.text_left + (last + 1) * t.char_width, t.text_top + (row + 1) * t.line_height};
  }
  // The X pixel of a 0x00BBGGRR colour on the 24-bit true-colour visual.
  static unsigned long xpixel(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

  struct Tally {
    int fg = 0, bg = 0, other = 0;
  };
  Tally tally(const Box& b, ColourPair p) {
    Tally t;
    XImage* im = XGetImage(d, xwin, b.x0, b.y0, static_cast<unsigned>(b.x1 - b.x0), static_cast<unsigned>(b.y1 - b.y0),
                           AllPlanes, ZPixmap);
    if (!im) {
      ADD_FAILURE() << "XGetImage failed";
      return t;
    }
    for (int y = 0; y < b.y1 - b.y0; ++y)
      for (int x = 0; x < b.x1 - b.x0; ++x) {
        const unsigned long px = XGetPixel(im, x, y);
        if (px == xpixel(p.fg))
          ++t.fg;
        else if (px == xpixel(p.bg))
          ++t.bg;
        else
          ++t.other;
      }
    XDestroyImage(im);
    return t;
  }
  // Cells entirely in the pair: paper with some ink, nothing else.
  void expect_in(const Box& b, ColourPair p, const char* what) {
    const Tally t = tally(b, p);
    const int area = (b.x1 - b.x0) * (b.y1 - b.y0);
    EXPECT_EQ(0, t.other) << what;
    EXPECT_GT(t.fg, area / 20) << what << ": too little ink";
    EXPECT_GT(t.bg, area / 2) << what << ": too little paper";
  }

  std::unique_ptr<xtest::XvfbServer> server;
  Display* d = nullptr;
  Window xwin = 0;
  XErrorHandler old_handler = nullptr;
  bool started = false;
  std::unique_ptr<WinsysSurface> surface;
  EditorDisplay ed;
};

TEST_F(DisplayX, KeywordAndCommentCellsShowTheirConfiguredColours) {
  const uint16_t kw = lex_get_class_attr(kClassKeyword), cm = lex_get_class_attr(kClassComment);
  ASSERT_NE(kw, cm);
  colour_pair_set(kw, kKeyword);
  colour_pair_set(cm, kComment);
  show("int main(void);\n/* note */ return;\n  x = 1; /* open\nstill */ while\n", "prog.c");
  // The font's cells are what the layout measured.
  EXPECT_EQ(7, ed.disp.char_width);
  EXPECT_EQ(13, ed.disp.line_height);

  expect_in(cells(0, 0, 2), kKeyword, "int");
  expect_in(cells(1, 0, 9), kComment, "/* note */");
  expect_in(cells(1, 11, 16), kKeyword, "return after the comment closed");
  expect_in(cells(2, 9, 15), kComment, "/* open");
  expect_in(cells(3, 0, 7), kComment, "still */, the comment carried to the next line");
  expect_in(cells(3, 9, 13), kKeyword, "while");

  // Plain text between them is in neither pair.
  for (const Box& b : {cells(0, 4, 7), cells(2, 2, 2)}) {
    const Tally k = tally(b, kKeyword), c = tally(b, kComment);
    EXPECT_EQ(0, k.fg + k.bg) << "main / x";
    EXPECT_EQ(0, c.fg + c.bg) << "main / x";
  }
}

TEST_F(DisplayX, RecolouredPairRedrawsTheKeywordInItsNewColours) {
  const uint16_t kw = lex_get_class_attr(kClassKeyword);
  colour_pair_set(kw, kKeyword);
  show("int a;\n", "prog.c");
  expect_in(cells(0, 0, 2), kKeyword, "int before");
  constexpr ColourPair kNew{0x008000, 0xFFE0E0};
  colour_pair_set(kw, kNew);
  disp_invalidate_rows(&ed.disp, 0, ed.disp.line_height);
  disp_draw_window(&ed, false);
  XSync(d, False);
  expect_in(cells(0, 0, 2), kNew, "int after");
}

}  // namespace
