// The form designer without X: snapping with the half-way rule, handle
// places and hit tests, the selection over a form's tree, and drags of one
// and of several objects run through the tracking built-in.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/le.h"
#include "forms/ctl_props.h"
#include "forms/designer.h"
#include "macro/state_settings.h"
#include "tests/forms/forms_fixture.h"

namespace {

using bitest::Out;

// ---- snapping ----

TEST(GridSnap, RoundTruncatesTowardZero) {
  struct Case {
    int32_t v, g, want;
  };
  const Case cases[] = {
      {29, 60, 0},  {30, 60, 60},    {89, 60, 60},    {90, 60, 120}, {0, 60, 0},
      {-40, 60, 0}, {-100, 60, -60}, {-29, 60, 0},    {7, 5, 5},     {8, 5, 10},
      {44, 1, 44},  {-7, 1, -7},     {119, 120, 120}, {59, 120, 0},  {60, 120, 120},
  };
  for (const Case& c : cases) EXPECT_EQ(obj_grid_round(c.v, c.g), c.want) << c.v << " on " << c.g;
}

TEST(GridSnap, HalfWayRuleFromTheStartingValue) {
  struct Case {
    int32_t v, start, g, want;
    const char* why;
  };
  const Case cases[] = {
      {105, 100, 60, 100, "off the grid, moved less than half-way: stays"},
      {109, 100, 60, 100, "one short of half-way to 120"},
      {110, 100, 60, 120, "half-way to 120"},
      {135, 100, 60, 120, "past half-way"},
      {100, 100, 60, 100, "not moved at all"},
      {80, 100, 60, 100, "left, less than half-way to 60"},
      {79, 100, 60, 60, "left, half-way to 60"},
      {30, 100, 60, 60, "far left rounds to the line"},
      {149, 120, 60, 120, "on the grid: rounds"},
      {150, 120, 60, 180, "on the grid: next line at half a step"},
      {91, 120, 60, 120, "on the grid, left"},
      {89, 120, 60, 60, "on the grid, left past half"},
      {260, 100, 60, 240, "a long drag rounds"},
      {105, 100, 1, 105, "spacing 1: no snapping"},
      {105, 100, 0, 105, "spacing 0: no snapping"},
  };
  for (const Case& c : cases) EXPECT_EQ(obj_grid_snap(c.v, c.start, c.g), c.want) << c.why;
}

// ---- handles ----

TEST(Handles, ControlHandlesAreCentredOnCornersAndMiddles) {
  const WinRect r{10, 20, 50, 40};
  const auto h5 = design_handle_rects(r, false, 5, 5);
  const WinRect want5[8] = {{8, 18, 13, 23},  {28, 18, 33, 23}, {48, 18, 53, 23}, {48, 28, 53, 33},
                            {48, 38, 53, 43}, {28, 38, 33, 43}, {8, 38, 13, 43},  {8, 28, 13, 33}};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(h5[i].left, want5[i].left);
    EXPECT_EQ(h5[i].top, want5[i].top);
    EXPECT_EQ(h5[i].right, want5[i].right);
    EXPECT_EQ(h5[i].bottom, want5[i].bottom);
  }
  // An even size: from the centre less half.
  const auto h4 = design_handle_rects(WinRect{0, 0, 11, 7}, false, 4, 4);
  EXPECT_EQ(h4[4].left, 9);  // bottom-right centred on (11, 7)
  EXPECT_EQ(h4[4].top, 5);
  EXPECT_EQ(h4[1].left, 3);  // top middle: (0 + 11) / 2 = 5
}

TEST(Handles, FormHandlesLieInsideTheClient) {
  const auto h = design_handle_rects(WinRect{0, 0, 100, 60}, true, 5, 5);
  const int32_t want[8][2] = {{0, 0}, {48, 0}, {95, 0}, {95, 28}, {95, 55}, {48, 55}, {0, 55}, {0, 28}};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(h[i].left, want[i][0]);
    EXPECT_EQ(h[i].top, want[i][1]);
    EXPECT_EQ(h[i].right - h[i].left, 5);
    EXPECT_GE(h[i].left, 0);
    EXPECT_LE(h[i].right, 100);
    EXPECT_LE(h[i].bottom, 60);
  }
}

TEST(Handles, HitTestTable) {
  const WinRect r{10, 20, 50, 40};
  const WinRect clip{0, 0, 30, 100};  // the parent's client ends at x 30
  struct Case {
    int32_t x, y;
    bool clipped;
    int32_t want;
    const char* why;
  };
  const Case cases[] = {
      {10, 20, false, 1, "top-left centre"},
      {8, 18, false, 1, "top-left corner pixel"},
      {7, 18, false, 0, "just left of it"},
      {12, 22, false, 1, "last pixel of the handle"},
      {13, 22, false, 0, "right edge excluded"},
      {30, 20, false, 2, "top middle"},
      {50, 20, false, 3, "top right"},
      {52, 30, false, 4, "right middle"},
      {50, 40, false, 5, "bottom right"},
      {30, 42, false, 6, "bottom middle"},
      {10, 40, false, 7, "bottom left"},
      {9, 30, false, 8, "left middle"},
      {30, 30, false, 0, "inside the control"},
      {10, 20, true, 1, "left handles are inside the clip"},
      {29, 20, true, 2, "the visible part of a cut handle"},
      {30, 20, true, 0, "the cut-off part of the top middle handle"},
      {50, 20, true, 0, "wholly outside the clip"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(design_hit_handle(r, false, 5, 5, c.clipped ? &clip : nullptr, c.x, c.y), c.want) << c.why;
  // Overlapping handles of a tiny control: the first code wins.
  EXPECT_EQ(design_hit_handle(WinRect{10, 10, 12, 12}, false, 5, 5, nullptr, 11, 11), 1);
  EXPECT_EQ(design_hit_handle(WinRect{10, 10, 12, 12}, false, 5, 5, nullptr, 13, 11), 2);
}

TEST(Handles, BoundsOfSeveralRectangles) {
  const WinRect b = design_bounds({{10, 20, 30, 40}, {5, 30, 12, 90}, {40, 25, 41, 26}});
  EXPECT_EQ(b.left, 5);
  EXPECT_EQ(b.top, 20);
  EXPECT_EQ(b.right, 41);
  EXPECT_EQ(b.bottom, 90);
  const WinRect none = design_bounds({});
  EXPECT_EQ(none.right - none.left, 0);
}

// ---- on objects ----

int32_t g_px = 0, g_py = 0;
void test_pointer(int32_t* x, int32_t* y) {
  *x = g_px;
  *y = g_py;
}

class Designer : public formstest::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    le::put_u32(settings_live().data() + SET_GRID_X, 60);
    le::put_u32(settings_live().data() + SET_GRID_Y, 60);
    designer_settings() = DesignerSettings{};
    designer_set_pointer_source(test_pointer);
    g_px = g_py = 0;
    design_track() = DesignTrack{};
  }
  void TearDown() override {
    designer_set_pointer_source(nullptr);
    settings_live() = settings_defaults();
    FormsTest::TearDown();
  }
  // A design-mode form in pixels with controls at the given places.
  WindowObject* design_form(int32_t scale = 3) {
    WindowObject* f = form(scale);
    ctl_prop_set(f, 39, 400);
    ctl_prop_set(f, 36, 300);
    return f;
  }
  WindowObject* at(WindowObject* parent, int32_t type, int32_t x, int32_t y, int32_t w, int32_t h) {
    WindowObject* c = control(parent, type);
    ctl_prop_set(c, 40, x);
    ctl_prop_set(c, 41, y);
    ctl_prop_set(c, 39, w);
    ctl_prop_set(c, 36, h);
    return c;
  }
  static void design(WindowObject* o, bool selected) {
    o->design_mode = 1;
    o->selected = selected ? 1 : 0;
  }
  Out op(const std::string& letter, int32_t x, int32_t y) {
    g_px = x;
    g_py = y;
    return call("form_design_op", {letter}, 3);
  }
};

TEST_F(Designer, OneSelectedControlReportsItsHandle) {
  WindowObject* f = design_form();
  WindowObject* a = at(f, kObjCommand, 10, 20, 40, 20);  // (10,20)-(50,40)
  WindowObject* b = at(f, kObjText, 100, 100, 50, 20);
  design(f, false);
  design(a, true);
  design(b, false);
  int32_t id = -1, count = -1;
  EXPECT_EQ(obj_hit_handles(b, 50, 40, &id, &count), kHandleBottomRight);
  EXPECT_EQ(id, a->handle);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(obj_hit_handles(f, 30, 30, &id, &count), kHandleNone);
  EXPECT_EQ(id, a->handle) << "no hit: the last selected object";
  b->selected = 0;
  a->selected = 0;
  EXPECT_EQ(obj_hit_handles(f, 50, 40, &id, &count), kHandleNone);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(count, 0);
}

TEST_F(Designer, SeveralSelectedObjectsNeverReportAHandle) {
  WindowObject* f = design_form();
  WindowObject* a = at(f, kObjCommand, 10, 20, 40, 20);
  WindowObject* b = at(f, kObjText, 100, 100, 50, 20);
  design(f, false);
  design(a, true);
  design(b, true);
  int32_t id = 0, count = 0;
  EXPECT_EQ(obj_hit_handles(a, 10, 20, &id, &count), kHandleNone);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(id, b->handle) << "the last selected object in pre-order";
  // A selected form counts but has no handle hit of its own.
  a->selected = b->selected = 0;
  f->selected = 1;
  EXPECT_EQ(obj_hit_handles(a, 0, 0, &id, &count), kHandleNone);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(id, f->handle);
}

TEST_F(Designer, HandlesOfAControlInAFrameAreCutAtTheFrame) {
  WindowObject* f = design_form();
  WindowObject* group = at(f, kObjGroup, 50, 50, 100, 60);  // (50,50)-(150,110)
  prop_set_field(group->props, 47, 3);                      // its children in pixels
  WindowObject* c = at(group, kObjText, 70, 10, 30, 20);    // (120,60)-(150,80) on the form
  design(f, false);
  design(group, false);
  design(c, true);
  const WinRect r = design_object_rect(c);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(obj_hit_grab_handle(c, 149, 60), kHandleTopRight) << "the part inside the frame";
  EXPECT_EQ(obj_hit_grab_handle(c, 150, 60), kHandleNone) << "the part outside the frame";
  EXPECT_EQ(obj_hit_grab_handle(c, 151, 70), kHandleNone);
  EXPECT_EQ(obj_hit_grab_handle(c, 120, 60), kHandleTopLeft);
}

TEST_F(Designer, FixedObjectsAreRefused) {
  int32_t id = 0, count = 0;
  for (WindowObject* o : {obj_app_form(), frame(), obj_command_line()}) {
    o->design_mode = o->selected = 1;
    EXPECT_EQ(obj_hit_handles(o, 0, 0, &id, &count), kHandleNone);
    EXPECT_EQ(count, 0);
    window_set_current(o, 0);
    const Out r = op("I", 0, 0);
    EXPECT_EQ(r.raised, ERR_NOT_ALLOWED_ON_OBJECT) << o->handle;
  }
}

TEST_F(Designer, WindowlessChildUnderAPoint) {
  WindowObject* f = design_form();
  WindowObject* img = at(f, kObjImage, 10, 10, 20, 20);
  WindowObject* hidden = at(f, kObjImage, 40, 10, 20, 20);
  ctl_prop_set(img, 11, 1);
  ctl_prop_set(hidden, 11, 0);
  EXPECT_EQ(obj_windowless_child_at(f, 15, 15), img);
  EXPECT_EQ(obj_windowless_child_at(f, 30, 15), nullptr) << "right edge excluded";
  EXPECT_EQ(obj_windowless_child_at(f, 45, 15), nullptr) << "not visible";
  hidden->design_mode = 1;
  hidden->design_visible = 1;
  EXPECT_EQ(obj_windowless_child_at(f, 45, 15), hidden) << "design-visible in design mode";
}

TEST_F(Designer, OneObjectDragSnapsWithTheHalfWayRule) {
  screen_metrics().twips_x = screen_metrics().twips_y = 5;  // a pixel of the pointer is 5 twips
  WindowObject* f = design_form(1);
  WindowObject* c = at(f, kObjCommand, 100, 120, 300, 150);  // twips
  design(f, false);
  design(c, true);
  window_set_current(c, 0);
  struct Step {
    const char* letter;
    int32_t px, py;
    int32_t shown_x, shown_y;
  };
  const Step steps[] = {
      {"I", 50, 50, 100, 120},  // start: the object's place
      {"M", 51, 50, 100, 120},  // 105: stays
      {"M", 52, 50, 120, 120},  // 110: half-way to 120
      {"M", 57, 49, 120, 120},  // 135; y 115 stays at 120 (on the grid)
      {"M", 57, 56, 120, 180},  // y 150: half a step from the line at 120
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.letter) + std::to_string(s.px));
    const Out r = op(s.letter, s.px, s.py);
    EXPECT_EQ(r.raised, 0);
    EXPECT_EQ(design_track().shown_x, s.shown_x);
    EXPECT_EQ(design_track().shown_y, s.shown_y);
  }
  const Out end = op("T", 57, 56);
  EXPECT_EQ(end.raised, 0);
  EXPECT_EQ(ctl_prop(c, 40), 120);
  EXPECT_EQ(ctl_prop(c, 41), 180);
  EXPECT_EQ(end.vars, (std::vector<std::string>{"0", "1", std::to_string(c->handle)}));
  EXPECT_TRUE(c->design_changed);
  EXPECT_EQ(design_handles_hidden, 0);
}

TEST_F(Designer, CancelledDragLeavesEverythingInPlace) {
  screen_metrics().twips_x = screen_metrics().twips_y = 5;
  WindowObject* f = design_form(1);
  WindowObject* c = at(f, kObjCommand, 100, 120, 300, 150);
  design(f, false);
  design(c, true);
  window_set_current(c, 0);
  op("I", 0, 0);
  op("M", 40, 40);
  EXPECT_TRUE(design_track().shown);
  EXPECT_EQ(op("C", 40, 40).raised, 0);
  EXPECT_FALSE(design_track().shown) << "the outline is erased";
  EXPECT_EQ(ctl_prop(c, 40), 100);
  EXPECT_EQ(ctl_prop(c, 41), 120);
  // A drag that ends where it began does not move either.
  op("I", 0, 0);
  op("T", 0, 0);
  EXPECT_EQ(ctl_prop(c, 40), 100);
}

TEST_F(Designer, SeveralObjectsMoveByTheRoundedOffset) {
  screen_metrics().twips_x = screen_metrics().twips_y = 15;
  WindowObject* f = design_form(3);  // children in pixels
  WindowObject* a = at(f, kObjCommand, 10, 20, 40, 20);
  WindowObject* b = at(f, kObjText, 100, 100, 50, 20);
  WindowObject* c = at(f, kObjText, 200, 100, 50, 20);
  design(f, false);
  design(a, true);
  design(b, true);
  design(c, false);
  window_set_current(b, 0);
  const Out start = op("I", 10, 10);
  EXPECT_EQ(start.vars, (std::vector<std::string>{"0", "2", std::to_string(b->handle)}));
  EXPECT_EQ(design_track().outlines.size(), 2u);
  // 3 pixels = 45 twips rounds to 60 (4 pixels); 1 pixel = 15 twips to 0.
  op("M", 13, 11);
  EXPECT_EQ(design_track().shown_x, 60);
  EXPECT_EQ(design_track().shown_y, 0);
  EXPECT_EQ(op("T", 13, 11).raised, 0);
  EXPECT_EQ(ctl_prop(a, 40), 14);
  EXPECT_EQ(ctl_prop(a, 41), 20);
  EXPECT_EQ(ctl_prop(b, 40), 104);
  EXPECT_EQ(ctl_prop(c, 40), 200) << "not selected: stays";
}

TEST_F(Designer, TrackingErrors) {
  WindowObject* f = design_form();
  WindowObject* img = at(f, kObjImage, 10, 10, 20, 20);
  WindowObject* c = at(f, kObjText, 50, 50, 20, 20);
  design(f, false);
  design(img, true);
  design(c, false);
  window_set_current(img, 0);
  EXPECT_EQ(op("I", 0, 0).raised, 0);
  EXPECT_EQ(op("M", 5, 5).raised, ERR_NOT_ALLOWED_ON_OBJECT) << "an image is not dragged this way";
  window_set_current(c, 0);
  EXPECT_EQ(op("X", 0, 0).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(op("I", 0, 0).raised, 0);
  obj_destroy(c);
  window_set_current(f, 0);
  EXPECT_EQ(op("M", 5, 5).raised, ERR_INVALID_ARGUMENT) << "the tracked object is gone";
  EXPECT_EQ(op("T", 5, 5).raised, ERR_INVALID_ARGUMENT);
  // A form has no parent to move in.
  EXPECT_EQ(op("I", 0, 0).raised, 0);
  EXPECT_EQ(op("T", 0, 0).raised, ERR_INVALID_ARGUMENT);
}

TEST_F(Designer, SelectionChangesOnlyWhatDiffers) {
  WindowObject* f = design_form();
  WindowObject* a = at(f, kObjCommand, 10, 20, 40, 20);
  design(f, false);
  design(a, true);
  obj_tree_set_selected(f, 1);
  EXPECT_EQ(f->selected, 1);
  EXPECT_EQ(a->selected, 1);
  obj_tree_set_selected(f, 0);
  EXPECT_EQ(f->selected, 0);
  EXPECT_EQ(a->selected, 0);
}

}  // namespace
