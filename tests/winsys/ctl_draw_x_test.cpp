// Control faces on a private Xvfb, read back at the coordinates their
// geometry defines: push buttons raised and pressed, the focus and default
// marks, check boxes and radios in each state, the disabled stipple,
// labels, and three-dimensional borders.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/winsys/gfx_fixture.h"
#include "winsys/ctl_draw.h"
#include "winsys/draw.h"
#include "winsys/images.h"

namespace {

using gfxtest::XDraw;

class Controls : public XDraw {
 protected:
  XfWindow* button(uint32_t kind, int w, int h, const char* text = nullptr) {
    XfWindow* b = window(w, h, kind);
    xfSetWindowColors(b, pixel_of(0xC0C0C0), -1);
    b->enabled = true;
    if (text) {
      b->text = static_cast<char*>(std::malloc(std::strlen(text) + 1));
      std::strcpy(b->text, text);
    }
    return b;
  }
  void paint(XfWindow* b, char look = 'n') {
    xfPaintButtonFace(b, nullptr, look);
    XSync(d, False);
  }
  unsigned long light() { return pixel_of(0xE8E8E8); }
  unsigned long dark() { return pixel_of(0x707070); }
  unsigned long face() { return pixel_of(0xC0C0C0); }
  unsigned long medium() { return pixel_of(0x989898); }
};

TEST_F(Controls, APushButtonsBevelLiesOnItsCoordinates) {
  XfWindow* b = button(XFTYPE_PUSHBUTTON, 80, 24);
  paint(b);
  // Outer lines (3,20)-(3,3)-(76,3) light, (3,20)-(76,20)-(76,3) dark;
  // inner lines one pixel inside.
  struct P {
    int x, y;
    unsigned long want;
    const char* what;
  };
  const P points[] = {
      {3, 10, light(), "left"},      {40, 3, light(), "top"},         {76, 3, dark(), "top right corner, second pass"},
      {40, 20, dark(), "bottom"},    {76, 10, dark(), "right"},       {4, 10, light(), "inner left"},
      {40, 4, light(), "inner top"}, {75, 10, dark(), "inner right"}, {40, 19, dark(), "inner bottom"},
      {2, 10, face(), "outside"},    {40, 12, face(), "the face"},    {77, 10, face(), "outside right"},
      {5, 10, face(), "inside"},     {3, 21, face(), "below"},
  };
  for (const P& p : points) EXPECT_EQ(px(b, p.x, p.y), p.want) << p.what << " (" << p.x << "," << p.y << ")";

  paint(b, 'p');
  EXPECT_EQ(px(b, 3, 10), dark()) << "pressed: sunken";
  EXPECT_EQ(px(b, 76, 10), light());
  EXPECT_EQ(px(b, 40, 12), medium()) << "pressed face";
}

TEST_F(Controls, FocusAndDefaultMarks) {
  XfWindow* b = button(XFTYPE_PUSHBUTTON, 60, 20);
  b->k.button.has_focus = true;
  paint(b);
  EXPECT_EQ(px(b, 0, 0), black()) << "the focus frame, black until a colour is given";
  EXPECT_EQ(px(b, 59, 19), black());
  EXPECT_EQ(px(b, 30, 0), black());
  b->k.button.has_focus = false;
  b->style = 8;
  paint(b);
  EXPECT_EQ(px(b, 0, 10), dark()) << "the default button's thin sunken bevel";
  EXPECT_EQ(px(b, 59, 10), light());
  b->style = 0;
  paint(b);
  EXPECT_EQ(px(b, 0, 10), face());
}

TEST_F(Controls, CheckBoxesShowTheirStates) {
  XfWindow* b = button(XFTYPE_3STATEBUTTON, 100, 20, "Check");
  paint(b);
  // Box at x 3, y0 = (20 - 14) / 2 = 3.
  EXPECT_EQ(px(b, 3, 8), light());
  EXPECT_EQ(px(b, 10, 3), light());
  EXPECT_EQ(px(b, 16, 8), dark());
  EXPECT_EQ(px(b, 10, 16), dark());
  EXPECT_EQ(px(b, 9, 9), face()) << "state 0: empty";
  b->k.button.check = 1;
  paint(b);
  EXPECT_EQ(px(b, 6, 6), dark()) << "state 1: the 7 x 7 square";
  EXPECT_EQ(px(b, 12, 12), dark());
  EXPECT_EQ(px(b, 13, 13), face());
  b->k.button.check = 2;
  paint(b);
  // The check mark at (5, (20 - 16) / 2 - 1 = 1); its row 5 has ink at
  // columns 2 and 3.
  EXPECT_EQ(px(b, 7, 6), black());
  EXPECT_EQ(px(b, 8, 6), black());
  EXPECT_EQ(px(b, 10, 6), face()) << "transparent between the strokes";
  int ink = 0;
  for (int x = 22; x < 70; ++x)
    for (int y = 0; y < 20; ++y) ink += px(b, x, y) == black();
  EXPECT_GT(ink, 10) << "the label at x 22";
}

TEST_F(Controls, ADisabledCheckBoxDrawsThroughTheHalfStipple) {
  XfWindow* b = button(XFTYPE_3STATEBUTTON, 100, 20, "Check");
  b->enabled = false;
  paint(b);
  // The bevel's top edge at y 3: only where the 50 percent stipple is set
  // ((x + y) even).
  EXPECT_EQ(px(b, 5, 3), light());
  EXPECT_EQ(px(b, 6, 3), face());
  EXPECT_EQ(px(b, 7, 3), light());
  EXPECT_EQ(px(b, 16, 8), dark()) << "the right edge likewise";
  EXPECT_EQ(px(b, 16, 9), face());
}

TEST_F(Controls, RadiosDrawTheirDiamond) {
  XfWindow* b = button(XFTYPE_RADIOBUTTON, 100, 21, "Radio");
  b->k.button.check = 2;
  paint(b);
  // y0 = (21 - 17) / 2 = 2; left (3, 10), top (11, 2), right (19, 10),
  // bottom (11, 18).
  EXPECT_EQ(px(b, 3, 10), light());
  EXPECT_EQ(px(b, 11, 2), light());
  EXPECT_EQ(px(b, 11, 18), dark());
  EXPECT_EQ(px(b, 11, 10), dark()) << "state 2: the inner diamond";
  EXPECT_EQ(px(b, 1, 10), face());
  b->k.button.check = 0;
  paint(b);
  EXPECT_EQ(px(b, 11, 10), face());
}

TEST_F(Controls, LabelsCentreKeepTheirEndAndUnderlineTheMnemonic) {
  XfWindow* w = window(200, 60);
  GC gc = xfControlGc();
  FontDescription desc = font_description("adobe-courier", 12, 0);
  const XfFont* f = font_cache_attrs(font_cache_find(&desc))->font;
  XSetForeground(d, gc, black());
  auto ink = [&](int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int x = x0; x < x1; ++x)
      for (int y = y0; y < y1; ++y) n += px(w, x, y) == black();
    return n;
  };
  // Ten characters in a 35-pixel area: with keepEnd the "MMMMM" end shows.
  xfDrawLabel(w->xwin, gc, f, ".....MMMMM", 0, 0, 15, 35, 20, true, 0, 0);
  int end_shown = ink(0, 35, 0, 20);
  xfDrawLabel(w->xwin, gc, f, ".....MMMMM", 0, 100, 15, 35, 20, false, 0, 0);
  int start_shown = ink(100, 135, 0, 20);
  EXPECT_GT(end_shown, 3 * start_shown) << end_shown << " " << start_shown;
  EXPECT_GT(ink(135, 170, 0, 20), 3 * start_shown) << "without keepEnd the end runs past the area";
  // Centred both ways with a mnemonic: the underline under the F only.
  xfDrawLabel(w->xwin, gc, f, "File", 'F', 0x7FFFFFFF, 0x7FFFFFFF, 200, 40, false, 0, 20);
  int baseline = f->fs->ascent + (40 - f->fs->ascent) / 2 + 20;
  int row = baseline + f->fs->descent - 1;
  int x0 = (200 - 28) / 2;
  EXPECT_EQ(ink(x0, x0 + 7, row, row + 1), 7);
  EXPECT_EQ(ink(x0 + 8, x0 + 28, row, row + 1), 0);

  XRectangle r{0, 0, 50, 10};
  XfWindow* empty = window(60, 20);
  xfDrawLabelFocus(empty->xwin, r, gc, pixel_of(0xFF0000), f, "", 22, 'e');
  EXPECT_EQ(px(empty, 49, 9), pixel_of(0xFF0000)) << "an empty label frames the whole rectangle";
  EXPECT_EQ(px(empty, 50, 9), white());
}

TEST_F(Controls, ThreeDimensionalBordersMitreTheirCorners) {
  XfWindow* w = window(60, 40);
  PresentSpace* ps = xfCreatePresentSpace(w);
  unsigned long lt = pixel_of(0xFFFFFF - 0x101010), dk = pixel_of(0x404040);
  xfDraw3DBorder(ps, 10, 10, 30, 20, 2, lt, dk);
  XSync(d, False);
  EXPECT_EQ(px(w, 20, 10), lt);
  EXPECT_EQ(px(w, 20, 11), lt);
  EXPECT_EQ(px(w, 20, 29), dk);
  EXPECT_EQ(px(w, 39, 20), dk);
  // Bottom-left: lines of length 2 and 1 in the light colour.
  EXPECT_EQ(px(w, 10, 28), lt);
  EXPECT_EQ(px(w, 10, 29), lt);
  EXPECT_EQ(px(w, 11, 28), lt);
  EXPECT_EQ(px(w, 11, 29), dk);
  // Top-right the same.
  EXPECT_EQ(px(w, 38, 10), lt);
  EXPECT_EQ(px(w, 38, 11), lt);
  EXPECT_EQ(px(w, 39, 10), lt);
  EXPECT_EQ(px(w, 39, 11), dk);
  EXPECT_EQ(px(w, 20, 20), white()) << "only the bands";
  xfFreePresentSpace(ps);
}

TEST_F(Controls, TheBitmapPointersAreInstalledAsSystemPointers) {
  Cursor question = xfQuerySysPointer(nullptr, 0);
  std::vector<Cursor> sizing;
  for (int id = 6; id <= 9; ++id) {
    Cursor c = xfQuerySysPointer(nullptr, id);
    EXPECT_NE(c, 0u);
    EXPECT_NE(c, question) << id;
    EXPECT_EQ(std::find(sizing.begin(), sizing.end(), c), sizing.end()) << id << ": four different pointers";
    sizing.push_back(c);
  }
  EXPECT_NE(xfQuerySysPointer(nullptr, 13), question);
  EXPECT_EQ(xfQuerySysPointer(nullptr, 13), xfQuerySysPointer(nullptr, 15));
  EXPECT_EQ(xf_x_error_count(), 0u);
}

}  // namespace
