// What the window system is asked for when an object's windows are made
// (class, outer class, create and frame flags, style bits by type and
// properties), and the font properties to and from a description.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/obj_window.h"
#include "tests/forms/forms_fixture.h"
#include "winsys/fonts.h"

namespace {

using namespace formstest;

class ObjWindow : public FormsTest {};

struct StyleCase {
  const char* what;
  int32_t type;
  std::vector<std::pair<uint32_t, int32_t>> props;  // set before asking
  uint32_t mode;
  bool design;
  const char* cls;
  const char* outer;  // "" for none
  uint32_t create_flags, frame_flags, style;
};

constexpr uint32_t V = kObjStyleVisible, D = kObjStyleDisabled, T = kObjStyleTabStop;

TEST_F(ObjWindow, StyleForType) {
  // Controls start visible and enabled; forms' properties are set per row.
  const StyleCase cases[] = {
      {"form, sizable",
       kObjForm,
       {{11, 1}, {16, 2}, {9, 1}, {10, 1}, {13, 1}},
       0,
       false,
       "zx_form",
       "",
       0x200,
       0x70 | 0x88,
       V},
      {"form, fixed single",
       kObjForm,
       {{11, 0}, {16, 1}, {9, 0}, {10, 0}, {13, 1}},
       0,
       false,
       "zx_form",
       "",
       0x200,
       0x40 | 9,
       0},
      {"form, no border", kObjForm, {{11, 0}, {16, 0}, {9, 1}, {10, 1}, {13, 1}}, 0, false, "zx_form", "", 0x200, 0, 0},
      {"form, dialog border",
       kObjForm,
       {{11, 0}, {16, 3}, {9, 1}, {10, 1}, {13, 0}},
       0,
       false,
       "zx_form",
       "",
       0x300,
       0x30 | 8,
       0},
      {"form in design mode", kObjForm, {{11, 0}, {16, 3}}, 0, true, "zx_form", "", 0x200, 0xC8, V},
      {"form, hidden mode",
       kObjForm,
       {{11, 1}, {16, 2}, {9, 1}, {10, 1}, {13, 1}},
       kCreateModeHidden,
       false,
       "zx_form",
       "",
       0x200,
       0xF8,
       0},
      {"text, bordered", kObjText, {{16, 1}}, kCreateModeChild, false, "zx_text", "", 0x400, 0, V | T | 0x10},
      {"text, disabled", kObjText, {{16, 0}, {2, 0}}, kCreateModeChild, false, "zx_text", "", 0x400, 0, V | T | D},
      {"disabled in design mode",
       kObjText,
       {{16, 0}, {2, 0}},
       kCreateModeChild,
       true,
       "zx_text",
       "",
       0x400,
       0,
       V | T | kObjStyleDesign},
      {"check box", kObjCheck, {}, kCreateModeChild, false, "zx_control", "", 0x400, 0, V | T | 2},
      {"command button", kObjCommand, {}, kCreateModeChild, false, "zx_control", "", 0x400, 0, V | T | 4},
      {"default button", kObjCommand, {{1, 1}}, kCreateModeChild, false, "zx_control", "", 0x400, 0, V | T | 12},
      {"default button, design",
       kObjCommand,
       {{1, 1}},
       kCreateModeChild,
       true,
       "zx_control",
       "",
       0x400,
       0,
       V | T | 4 | kObjStyleDesign},
      {"radio button", kObjRadio, {}, kCreateModeChild, false, "zx_control", "", 0x400, 0, V | T | 0x10},
      {"hidden check box", kObjCheck, {{11, 0}}, kCreateModeChild, false, "zx_control", "", 0x400, 0, T | 2},
      {"group frame", kObjGroup, {}, kCreateModeChild, false, "zx_frame", "", 0x400, 0, V | 0x2001},
      {"label", kObjLabel, {}, kCreateModeChild, false, "zx_label", "", 0x400, 0, V},
      {"list, scroll bars 3",
       kObjList,
       {{16, 1}, {18, 3}},
       kCreateModeChild,
       false,
       "zx_list",
       "ctlframe",
       0x400,
       0,
       V | T | 4 | 0x3000},
      {"drop-down list",
       kObjList,
       {{16, 0}, {18, 0}},
       kCreateModeChild | kCreateModeForm,
       false,
       "zx_list",
       "ctlframe",
       0x400,
       0,
       T},
      {"horizontal scroll bar", kObjHScroll, {}, kCreateModeChild, false, "zx_scroll", "", 0x400, 0, V | T | 4},
      {"vertical scroll bar", kObjVScroll, {}, kCreateModeChild, false, "zx_scroll", "", 0x400, 0, V | T | 2},
      {"combo box", kObjCombo, {{16, 1}}, kCreateModeChild, false, "zx_combo", "", 0x400, 1, V | T},
      {"combo box, design", kObjCombo, {{16, 0}}, kCreateModeChild, true, "zx_combo", "", 0x400, 0, V | T | 0x440000},
      {"picture, bordered", kObjPicture, {{16, 1}}, kCreateModeChild, false, "zx_picture", "ctlframe", 0x400, 1, V | 2},
      {"picture, no border", kObjPicture, {{16, 0}}, kCreateModeChild, false, "zx_picture", "ctlframe", 0x400, 0, V},
      {"gauge", kObjGauge, {}, kCreateModeChild, false, "zx_guage", "", 0x400, 0, V},
      {"spin", kObjSpin, {}, kCreateModeChild, false, "zx_spin", "ctlframe", 0x400, 0, V | 8},
  };
  frame();
  WindowObject* f = form();
  for (const StyleCase& k : cases) {
    SCOPED_TRACE(k.what);
    WindowObject* o = k.type == kObjForm ? form() : control(f, k.type);
    o->design_mode = k.design ? 1 : 0;
    // Tab stops as the test expects them: on for the kinds that take the focus.
    const bool tab = k.type == kObjText || (k.type >= kObjCheck && k.type <= kObjRadio) || k.type == kObjList ||
                     k.type == kObjHScroll || k.type == kObjVScroll || k.type == kObjCombo;
    prop_set_field(o->props, 12, tab ? 1 : 0);
    for (auto [id, v] : k.props) prop_set_field(o->props, id, static_cast<uint32_t>(v));
    const ObjWindowStyle s = obj_style_for_type(o, k.mode);
    EXPECT_STREQ(s.cls, k.cls);
    EXPECT_STREQ(s.outer ? s.outer : "", k.outer);
    EXPECT_EQ(s.create_flags, k.create_flags);
    EXPECT_EQ(s.frame_flags, k.frame_flags);
    EXPECT_EQ(s.style, k.style) << std::hex << s.style << " " << k.style;
  }
}

TEST_F(ObjWindow, StyleRecordsGroupAndDropDownState) {
  frame();
  WindowObject* f = form();
  WindowObject* g = control(f, kObjGroup);
  obj_style_for_type(g, kCreateModeChild);
  EXPECT_EQ(prop_field_value(g->props, 69), 1) << "a group frame records itself";
  WindowObject* l = control(f, kObjList);
  prop_set_field(l->props, 11, 1);
  obj_style_for_type(l, kCreateModeChild | kCreateModeForm);
  EXPECT_EQ(prop_field_value(l->props, 11), 0) << "a drop-down list is made hidden";
  // A combo box's picture part shows in design mode only when visible.
  WindowObject* combo = control(f, kObjCombo);
  WindowObject* pic = control(combo, kObjPicture);
  pic->owner = combo->handle;
  pic->design_mode = 1;
  prop_set_field(pic->props, 11, 0);
  EXPECT_EQ(obj_style_for_type(pic, kCreateModeChild).style & kObjStyleVisible, 0u);
  EXPECT_EQ(obj_style_for_type(pic, kCreateModeChild).outer, nullptr) << "no frame around a combo part";
}

TEST_F(ObjWindow, ButtonValues) {
  frame();
  WindowObject* f = form();
  WindowObject* check = control(f, kObjCheck);
  WindowObject* radio = control(f, kObjRadio);
  // value, three-state (property 15) -> shown by a check box, by a radio button
  const int32_t rows[][4] = {{0, 0, 0, 0}, {1, 0, 1, 1}, {2, 0, 1, 1}, {2, 1, 2, 1}, {-1, 0, 1, 1}, {-5, 1, 1, 1}};
  for (auto [value, three, c, r] : rows) {
    prop_set_field(check->props, 15, static_cast<uint32_t>(three));
    EXPECT_EQ(obj_button_shown_value(check, value), c) << value << " " << three;
    EXPECT_EQ(obj_button_shown_value(radio, value), r) << value;
  }
  // Setting one radio button of a group clears the others, through the property.
  WindowObject* radio2 = control(f, kObjRadio);
  WindowObject* other_form = form();
  WindowObject* elsewhere = control(other_form, kObjRadio);
  prop_set_field(radio->props, 42, 1);
  prop_set_field(elsewhere->props, 42, 1);
  EXPECT_EQ(set(radio2->handle, 42, "1").raised, 0);
  EXPECT_EQ(prop_field_value(radio2->props, 42), 1);
  EXPECT_EQ(prop_field_value(radio->props, 42), 0);
  EXPECT_EQ(prop_field_value(elsewhere->props, 42), 1) << "another form's group is left alone";
  EXPECT_EQ(set(radio->handle, 42, "0").raised, 0);
  EXPECT_EQ(prop_field_value(radio2->props, 42), 1) << "clearing one sets no other";
}

TEST_F(ObjWindow, FontPropertiesRoundTrip) {
  frame();
  WindowObject* f = form();
  WindowObject* c = control(f, kObjLabel);
  struct Case {
    std::string face;
    int32_t size;
    uint32_t attrs;
    std::string face_back;
  };
  const std::string long_face(80, 'F');
  const Case cases[] = {
      {"Courier", 10, 0, "Courier"},
      {"Helvetica", 12, 1 | 2, "Helvetica"},
      {"Times", 9, 4 | 8 | 0x200, "Times"},
      {long_face, 14, 1 | 2 | 4 | 8 | 0x200, long_face.substr(0, 63)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.face);
    const FontDescription in = font_description(k.face.c_str(), k.size, k.attrs);
    obj_set_font(in, c);
    EXPECT_EQ(std::string(prop_block_string(c->props, 30)), k.face_back);
    EXPECT_EQ(prop_field_value(c->props, 3), (k.attrs & 1) ? 1 : 0) << "bold";
    EXPECT_EQ(prop_field_value(c->props, 4), (k.attrs & 2) ? 1 : 0) << "italic";
    EXPECT_EQ(prop_field_value(c->props, 6), (k.attrs & 4) ? 1 : 0) << "strike-out";
    EXPECT_EQ(prop_field_value(c->props, 8), (k.attrs & 8) ? 1 : 0) << "underline";
    FontDescription out{};
    obj_get_font(c, &out);
    EXPECT_EQ(std::string(out.face), k.face_back);
    EXPECT_EQ(out.size, k.size);
    EXPECT_EQ(out.attrs, k.attrs);
  }
}

}  // namespace
