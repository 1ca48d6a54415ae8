// Control operations without a screen: the text-box operations on the
// field's model with their 1-based positions, the built-ins that answer
// through them, scroll-bar range changes and the picture strip's frames.
#include <gtest/gtest.h>

#include "forms/input_field.h"
#include "forms/obj_window_ctl.h"
#include "tests/forms/forms_fixture.h"

namespace {

using namespace formstest;

class ControlOps : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    frame();
    f_ = form(kScalePixels);
    text_ = control(f_, kObjText);
  }
  void TearDown() override {
    ctl_text_fields_reset();
    FormsTest::TearDown();
  }
  std::pair<int32_t, int32_t> sel() {
    std::pair<int32_t, int32_t> s;
    ctl_text_get_sel(text_, &s.first, &s.second);
    return s;
  }
  WindowObject* f_ = nullptr;
  WindowObject* text_ = nullptr;
};

TEST_F(ControlOps, SelectionIsOneBased) {
  ctl_text_set_text(text_, "hello", 0, 0);
  EXPECT_EQ(ctl_text_get_text(text_), "hello");
  ctl_text_set_sel(text_, 1, 1);
  InputField* f = ctl_text_field(text_);
  int32_t caret = -1;
  EXPECT_EQ(ifield_query_sel(*f, &caret), 0) << "(1, 1) is sent as (0, 0)";
  EXPECT_EQ(caret, 0);
  // start, end given to set_text -> the selection afterwards
  const int32_t rows[][4] = {{3, -1, 3, 3}, {2, 4, 2, 4}, {5, 1, 5, 1}, {9, 9, 6, 6}};
  for (auto [start, end, s, e] : rows) {
    SCOPED_TRACE(std::to_string(start) + "," + std::to_string(end));
    ctl_text_set_text(text_, "hello", start, end);
    EXPECT_EQ(sel(), (std::pair{s, e}));
  }
  ctl_text_set_sel(text_, 2, 2);
  ctl_text_set_text(text_, "new", 0, 0);
  EXPECT_EQ(ctl_text_get_text(text_), "new") << "start 0 sets the text alone";
}

TEST_F(ControlOps, EditingSteps) {
  ctl_text_set_text(text_, "abc", 4, -1);  // caret after the last byte
  ctl_text_backspace(text_);
  EXPECT_EQ(ctl_text_get_text(text_), "ab");
  ctl_text_cursor_left(text_);
  ctl_text_cursor_left(text_);
  ctl_text_delete_char(text_);
  EXPECT_EQ(ctl_text_get_text(text_), "b");
  ctl_text_insert(text_, "xy");
  EXPECT_EQ(ctl_text_get_text(text_), "xyb");
  ctl_text_cursor_right(text_);
  ctl_text_insert(text_, "!");
  EXPECT_EQ(ctl_text_get_text(text_), "xyb!");
  EXPECT_TRUE(ctl_text_get_insert_mode(text_));
  ctl_text_set_insert_mode(text_, false);
  EXPECT_FALSE(ctl_text_get_insert_mode(text_));
  // A combo box works on its edit part; other controls have no text.
  WindowObject* combo = control(f_, kObjCombo);
  WindowObject* edit = control(combo, kObjText);
  edit->owner = combo->handle;
  combo->edit_part = edit->handle;
  ctl_text_set_text(combo, "part", 0, 0);
  EXPECT_EQ(ctl_text_get_text(edit), "part");
  WindowObject* button = control(f_, kObjCommand);
  ctl_text_insert(button, "no");
  EXPECT_EQ(ctl_text_get_text(button), "");
}

TEST_F(ControlOps, ColumnsAndPixels) {
  // Without a window the field measures 8 pixels a byte from its text's left edge (2).
  ctl_text_set_text(text_, "abcdef", 0, 0);
  EXPECT_EQ(ctl_text_col_to_x(text_, 0, kColToX), 3) << "x 2, plus one";
  EXPECT_EQ(ctl_text_col_to_x(text_, 3, kColToX), 27);
  EXPECT_EQ(ctl_text_col_to_x(text_, 99, kColToX), 51) << "past the end: the end";
  EXPECT_EQ(ctl_text_col_to_x(text_, 26, kXToCol), 4);
  EXPECT_EQ(ctl_text_col_to_x(text_, 500, kXToCol), 7);
  ctl_text_field(text_)->scroll = 8;
  EXPECT_EQ(ctl_text_col_to_x(text_, 3, kColToX), 19) << "the scrolled part is left of 0";
  ctl_text_field(text_)->scroll = 0;
  // The built-ins on a text box.
  window_set_current(text_, 0);
  EXPECT_EQ(call("col_to_x", {"1"}).value, "2");
  EXPECT_EQ(call("col_to_x", {"4"}).value, "26");
  EXPECT_EQ(call("x_to_col", {"26"}).value, "4");
  WindowObject* label = control(f_, kObjLabel);
  window_set_current(label, 0);
  EXPECT_EQ(call("col_to_x", {"1"}).raised, ERR_NOT_ALLOWED_ON_OBJECT) << "no text display";
}

TEST_F(ControlOps, ScrollRangeChanges) {
  struct Case {
    int32_t cur_min, cur_max, min, max, page;
    bool force;
    uint32_t mask;
    int32_t set_min, set_max;
  };
  const Case cases[] = {
      {0, 100, 10, 5, 0, false, 1, 10, 10},    // max raised to min
      {0, 110, 0, 100, 10, false, 0, 0, 100},  // unchanged: nothing sent
      {0, 110, 0, 100, 10, true, 2, 0, 100},   // the page alone when forced
      {0, 100, 0, 100, 10, false, 1, 0, 100},  // the page widened the maximum
      {5, 110, 0, 100, 10, true, 3, 0, 100},
  };
  for (const Case& k : cases) {
    const ScrollRangeChange c = scroll_range_change(k.cur_min, k.cur_max, k.min, k.max, k.page, k.force);
    EXPECT_EQ(c.mask, k.mask);
    EXPECT_EQ(c.min, k.set_min);
    EXPECT_EQ(c.max, k.set_max);
    EXPECT_EQ(c.page, k.page);
  }
}

TEST_F(ControlOps, PictureFramesStateAndChanges) {
  WindowObject* pic = control(f_, kObjPicture);
  WindowObject* img = control(f_, kObjImage);
  // property 83, style (15) -> frames of a picture, of an image
  const int32_t rows[][4] = {{0, 0, 1, 1},   {5, 0, 5, 5},  {200, 0, 200, 200},
                             {201, 0, 1, 1}, {-3, 0, 1, 1}, {5, 1, 1, 5}};
  for (auto [frames, style, p, i] : rows) {
    for (WindowObject* o : {pic, img}) {
      prop_set_field(o->props, 83, static_cast<uint32_t>(frames));
      prop_set_field(o->props, 15, static_cast<uint32_t>(style));
    }
    EXPECT_EQ(obj_picture_frame_count(pic), p) << frames << " " << style;
    EXPECT_EQ(obj_picture_frame_count(img), i) << frames << " " << style;
  }
  EXPECT_EQ(obj_window_state(f_), 'N') << "no window: normal";
  EXPECT_FALSE(obj_is_changed(f_));
  obj_mark_changed_band(f_);
  EXPECT_TRUE(obj_is_changed(f_));
}

}  // namespace
