// Natural sizes and label auto-size with metrics of the test's own (a font
// of 13 pixels, 7 pixels a character), and where a windowless image draws
// its picture strip.

#include <gtest/gtest.h>

#include <string>

#include "forms/ctl_layout.h"
#include "forms/ctl_props.h"
#include "tests/forms/forms_fixture.h"

namespace {

constexpr int32_t kCharW = 7, kLineH = 13;

void fake_font(const WindowObject*, int32_t* h, int32_t* lead) {
  *h = kLineH;
  *lead = 0;
}
int32_t fake_row(const WindowObject*) { return 15; }
// Fixed-width text; with the wrap flag, lines break at spaces to fit.
void fake_measure(const WindowObject*, std::string_view text, int32_t width, uint32_t flags, int32_t* w, int32_t* h) {
  if (!(flags & 0x40)) {
    *w = static_cast<int32_t>(text.size()) * kCharW;
    *h = kLineH;
    return;
  }
  int32_t lines = 1, col = 0, widest = 0;
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find(' ', i);
    if (j == std::string_view::npos) j = text.size();
    const int32_t word = static_cast<int32_t>(j - i) * kCharW;
    const int32_t need = col == 0 ? word : col + kCharW + word;
    if (col > 0 && need > width) {
      ++lines;
      col = word;
    } else {
      col = need;
    }
    widest = std::max(widest, col);
    i = j + 1;
  }
  *w = std::min(width, widest);
  *h = lines * kLineH;
}
bool fake_picture(uint32_t picture, int32_t* w, int32_t* h) {
  if (picture != 7) return false;
  *w = 90;
  *h = 20;
  return true;
}
int32_t fake_sys(int32_t id) {
  switch (id) {
    case kSysTextBorder:
      return 2;
    case kSysCmdlineBorder:
      return 3;
    case kSysHScrollHeight:
      return 17;
    case kSysVScrollWidth:
      return 19;
    default:
      return 0;
  }
}

class Layout : public formstest::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    layout_metrics() = LayoutMetrics{fake_font, fake_row, fake_measure, fake_picture, fake_sys};
  }
  void TearDown() override {
    layout_metrics_reset();
    FormsTest::TearDown();
  }
  WindowObject* sized(WindowObject* parent, int32_t type, int32_t w, int32_t h) {
    WindowObject* c = control(parent, type);
    ctl_prop_set(c, 39, w);
    ctl_prop_set(c, 36, h);
    return c;
  }
};

TEST_F(Layout, ListKeepsWholeRows) {
  WindowObject* f = form(3);
  struct Case {
    const char* what;
    bool border, hbar, editor;
    int32_t wanted, want;
  };
  const Case cases[] = {
      {"border, 100 asked", true, false, false, 100, 7 + 15 * 6},  // extra 2*2+3
      {"no border", false, false, false, 100, 3 + 15 * 6},
      {"horizontal bar", true, true, false, 100, 24 + 15 * 5},
      {"editor style has no 3 pixels", false, false, true, 100, 90},
      {"less than a line gets one", true, false, false, 5, 7 + 15},
      {"nothing asked", false, false, false, 0, 3 + 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WindowObject* l = sized(f, kObjList, 80, 0);
    ctl_prop_set(l, 61, 1);
    ctl_prop_set(l, 16, c.border);
    ctl_prop_set(l, 18, c.hbar ? 1 : 0);
    ctl_prop_set(l, 19, c.editor ? 3 : 0);
    int32_t w = 0, h = c.wanted;
    obj_natural_size(l, &w, &h, false);
    EXPECT_EQ(h, c.want);
    EXPECT_EQ(ctl_prop(l, 36), c.want);
    EXPECT_EQ(w, 80) << "the width stays";
  }
}

TEST_F(Layout, SizesAreStoredInTheObjectsUnit) {
  screen_metrics().twips_x = screen_metrics().twips_y = 15;
  WindowObject* f = form(1);  // twips
  WindowObject* l = sized(f, kObjList, 1200, 0);
  ctl_prop_set(l, 61, 1);
  ctl_prop_set(l, 16, 1);
  int32_t w = 0, h = 1500;  // 100 pixels
  obj_natural_size(l, &w, &h, false);
  EXPECT_EQ(h, (7 + 15 * 6) * 15);
  WindowObject* vs = sized(f, kObjVScroll, 300, 900);
  ctl_prop_set(vs, 61, 1);
  obj_natural_size(vs, &w, &h, false);
  EXPECT_EQ(w, 19 * 15);
  EXPECT_EQ(h, 900);
}

TEST_F(Layout, ScrollBarsTextBoxesAndTypesWithoutARule) {
  WindowObject* f = form(3);
  WindowObject* hs = sized(f, kObjHScroll, 100, 40);
  WindowObject* t = sized(f, kObjText, 100, 40);
  WindowObject* tb = sized(f, kObjText, 100, 40);
  WindowObject* g = sized(f, kObjGauge, 100, 40);
  WindowObject* off = sized(f, kObjHScroll, 100, 40);
  for (WindowObject* o : {hs, t, tb, g}) ctl_prop_set(o, 61, 1);
  ctl_prop_set(t, 16, 0);
  ctl_prop_set(tb, 16, 1);
  ctl_prop_set(off, 61, 0);
  int32_t w = 0, h = 0;
  obj_natural_size(hs, &w, &h, false);
  EXPECT_EQ(h, 17);
  obj_natural_size(t, &w, &h, false);
  EXPECT_EQ(h, 13 + 5) << "font and a leading of 70 twips (5 pixels)";
  obj_natural_size(tb, &w, &h, false);
  EXPECT_EQ(h, 13 + 5 + 4) << "two borders";
  w = h = -1;
  obj_natural_size(g, &w, &h, false);
  EXPECT_EQ(w, -1) << "a gauge has no natural size";
  obj_natural_size(off, &w, &h, false);
  EXPECT_EQ(ctl_prop(off, 36), 40) << "without auto-size nothing changes";
}

TEST_F(Layout, LabelAutoSize) {
  WindowObject* f = form(3);
  struct Case {
    const char* what;
    const char* caption;
    bool wrap, border;
    int32_t w, h;
  };
  const Case cases[] = {
      {"one line takes the caption's width", "Name:", false, false, 35, 13},
      {"a border adds two pixels", "Name:", false, true, 37, 15},
      {"wrapping keeps the width and grows", "one two three four five", true, false, 60, 52},
      {"a long caption without wrap is wider", "one two three four five", false, false, 161, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WindowObject* l = sized(f, kObjLabel, 60, 20);
    prop_block_set_string(l->props, 29, c.caption);
    ctl_prop_set(l, 70, c.wrap);
    ctl_prop_set(l, 16, c.border);
    ctl_prop_set(l, 61, 1);
    int32_t w = 0, h = 0;
    obj_natural_size(l, &w, &h, false);
    EXPECT_EQ(w, c.w);
    EXPECT_EQ(h, c.h);
  }
  WindowObject* empty = sized(f, kObjLabel, 60, 20);
  obj_label_autosize(empty);
  EXPECT_EQ(ctl_prop(empty, 39), 60) << "an empty caption changes nothing";
  EXPECT_EQ(ctl_prop(empty, 36), 20);
}

TEST_F(Layout, PictureAndImageTakeOneFrameOfTheirStrip) {
  WindowObject* f = form(3);
  struct Case {
    const char* what;
    int32_t type, picture, frames;
    bool border, stretch, autosize;
    int32_t w, h;
  };
  const Case cases[] = {
      {"image, one frame", kObjImage, 7, 1, false, false, true, 90, 20},
      {"image, three frames", kObjImage, 7, 3, false, false, true, 30, 20},
      {"image border is one pixel a side", kObjImage, 7, 1, true, false, true, 92, 22},
      {"picture border is the system's", kObjPicture, 7, 1, true, false, true, 94, 24},
      {"frames out of range count as one", kObjImage, 7, 201, false, false, true, 90, 20},
      {"stretched: unchanged", kObjImage, 7, 1, false, true, true, 50, 50},
      {"no auto-size: unchanged", kObjImage, 7, 1, false, false, false, 50, 50},
      {"no picture: unchanged", kObjImage, 0, 1, false, false, true, 50, 50},
      {"unknown picture: unchanged", kObjImage, 8, 1, false, false, true, 50, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WindowObject* o = sized(f, c.type, 50, 50);
    ctl_prop_set(o, 57, c.picture);
    ctl_prop_set(o, 83, c.frames);
    ctl_prop_set(o, 16, c.border);
    ctl_prop_set(o, 59, c.stretch);
    ctl_prop_set(o, 61, c.autosize);
    int32_t w = 0, h = 0;
    obj_natural_size(o, &w, &h, false);
    EXPECT_EQ(ctl_prop(o, 39), c.w);
    EXPECT_EQ(ctl_prop(o, 36), c.h);
  }
  WindowObject* style1 = sized(f, kObjPicture, 50, 50);
  ctl_prop_set(style1, 15, 1);
  ctl_prop_set(style1, 83, 3);
  EXPECT_EQ(obj_picture_frame_count(style1), 1) << "a button picture shows one frame";
}

TEST_F(Layout, ComboBoxHeightFollowsItsStyle) {
  WindowObject* f = form(3);
  struct Case {
    const char* what;
    int32_t style, height, want;
  };
  // A text line of 13 + 5 pixels: the drop-down styles are one line high;
  // the simple style keeps whole list rows of 13 (the text height) below
  // its 12-pixel text part.
  const Case cases[] = {
      {"drop-down", 0, 100, 18},
      {"drop-down list", 2, 40, 18},
      {"simple", 1, 100, 12 + 6 + 6 * 13 + 6},
      {"simple, too low for a row", 1, 10, 12 + 6 + 13 + 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WindowObject* combo = sized(f, kObjCombo, 120, c.height);
    ctl_prop_set(combo, 15, c.style);
    ctl_prop_set(combo, 16, 0);
    int32_t w = 0, h = 0;
    obj_natural_size(combo, &w, &h, false);
    EXPECT_EQ(h, c.want);
    EXPECT_EQ(w, 120);
  }
}

TEST(ImagePlan, FrameOfTheStripAndUncoveredParts) {
  const WinRect r{10, 10, 110, 60};  // 100 x 50
  struct Case {
    const char* what;
    bool design, border;
    int32_t pw, ph, frames, value;
    bool stretch;
    int32_t frame, src_left, dest_right, dest_bottom;
    bool right, below;
    int32_t style, inset;
  };
  const Case cases[] = {
      {"3 frames, value 7: the last", false, false, 90, 20, 3, 7, false, 2, 60, 40, 30, true, true, -1, 0},
      {"3 frames, value 1", false, false, 90, 20, 3, 1, false, 1, 30, 40, 30, true, true, -1, 0},
      {"negative value: the first", false, false, 90, 20, 3, -4, false, 0, 0, 40, 30, true, true, -1, 0},
      {"one frame ignores the value", false, false, 90, 20, 1, 5, false, 0, 0, 100, 30, true, true, -1, 0},
      {"stretched covers everything", false, false, 90, 20, 3, 0, true, 0, 0, 110, 60, false, false, -1, 0},
      {"design mode, no border: dotted and inset", true, false, 90, 20, 1, 0, false, 0, 0, 101, 31, true, true, 2, 1},
      {"bordered: solid frame", false, true, 90, 20, 1, 0, false, 0, 0, 100, 30, true, true, 0, 0},
      {"larger than the object: cut", false, false, 300, 80, 1, 0, false, 0, 0, 110, 60, false, false, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ImagePlan p = image_plan(r, c.design, c.border, c.pw, c.ph, c.frames, c.value, c.stretch);
    EXPECT_EQ(p.frame, c.frame);
    EXPECT_EQ(p.source.left, c.src_left);
    EXPECT_EQ(p.dest.right, c.dest_right);
    EXPECT_EQ(p.dest.bottom, c.dest_bottom);
    EXPECT_EQ(p.right.right > p.right.left, c.right);
    EXPECT_EQ(p.below.right > p.below.left, c.below);
    EXPECT_EQ(p.frame_style, c.style);
    EXPECT_EQ(p.inset, c.inset);
    EXPECT_LE(p.dest.right, r.right) << "never outside the object";
    EXPECT_LE(p.source.right - p.source.left, c.pw / std::max(1, c.frames));
  }
}

}  // namespace
