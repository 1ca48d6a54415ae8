// The MDI arrangement built-ins: only the frame object may tile, cascade or
// arrange icons, the letters are checked first, and each arrangement is
// recorded in the editor windows' groups and normal rectangles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_mdi.h"
#include "display/colours.h"
#include "display/mdi_builtins.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;

// What the hooks saw, in order.
std::vector<std::string> seen;

class MdiArrangeBi : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    ASSERT_TRUE(display_register_opcodes(vm_dispatch));
    seen.clear();
    saved_ = mdi_arrange_hooks();
    MdiArrangeHooks& h = mdi_arrange_hooks();
    h.frame_object = obj_frame_object;
    h.tile = [](uint32_t flags) { seen.push_back("tile " + std::to_string(flags)); };
    h.cascade = [] { seen.push_back("cascade"); };
    h.arrange_icons = [] { seen.push_back("arrange"); };
    h.save_child_layout = [](int32_t mode) { seen.push_back("save " + std::to_string(mode)); };
  }
  void TearDown() override {
    mdi_arrange_hooks() = saved_;
    FormsTest::TearDown();
  }
  MdiArrangeHooks saved_;
};

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& e : v) s += (s.empty() ? "" : ", ") + e;
  return s;
}

TEST_F(MdiArrangeBi, OnlyTheFrameObjectArrangesAndTheLettersAreChecked) {
  struct Case {
    const char* mnemonic;
    std::vector<std::string> args;
    bool on_frame;
    ErrorCode stop;
    const char* calls;
  };
  const Case cases[] = {
      {"tile_windows", {}, true, 0, "tile 0, save 0"},
      {"tile_windows", {"V"}, true, 0, "tile 1, save 0"},
      {"tile_windows", {"h"}, true, 0, "tile 2, save 0"},
      {"tile_windows", {"HS"}, true, 0, "tile 6, save 0"},
      {"tile_windows", {"X"}, true, -3015, ""},
      {"tile_windows", {"VC"}, true, -3015, ""},
      {"tile_windows", {"V"}, false, -2073, ""},
      {"tile_windows", {"X"}, false, -2073, ""},
      {"cascade_windows", {}, true, 0, "cascade, save 1"},
      {"cascade_windows", {"S"}, true, 0, "cascade, save 1"},
      {"cascade_windows", {"V"}, true, -3015, ""},
      {"cascade_windows", {}, false, -2073, ""},
      {"arrange_icons", {}, true, 0, "arrange"},
      {"arrange_icons", {}, false, -2073, ""},
  };
  WindowObject* other = form();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mnemonic) + " " + (c.args.empty() ? "" : c.args[0]) + (c.on_frame ? " frame" : ""));
    window_set_current(c.on_frame ? frame() : other, 0);
    seen.clear();
    const bitest::Out o = call(c.mnemonic, c.args);
    EXPECT_EQ(c.stop, o.stop);
    EXPECT_EQ(c.calls, joined(seen));
  }
}

TEST_F(MdiArrangeBi, WithoutAFrameEveryCallIsRefused) {
  mdi_arrange_hooks().frame_object = nullptr;
  window_set_current(frame(), 0);
  EXPECT_EQ(-2073, call("tile_windows", {"V"}).stop);
  EXPECT_EQ(-2073, call("cascade_windows", {}).stop);
  EXPECT_EQ(-2073, call("arrange_icons", {}).stop);
  EXPECT_TRUE(seen.empty()) << joined(seen);
}

// Editor windows in the edit ring with the rectangles a fake window layer
// gives them.
class ChildLayout : public FormsTest {
 protected:
  void TearDown() override {
    for (WindowObject* w : made_) w->frame_window = nullptr;
    FormsTest::TearDown();
  }
  WindowObject* editor(int32_t x, int32_t y, int32_t w, int32_t h, bool hidden = false) {
    WindowObject* o = window_alloc_record();
    obj_set_type(o, kObjForm);
    o->parent = frame();                                     // an editor window: pixels, like the frame
    o->frame_window = reinterpret_cast<XfWindow*>(&rects_);  // only tested for null here
    if (hidden) o->flags |= kWinHidden;
    window_link_edit_list(o);
    rects_.push_back({o, {x, y, w, h}});
    made_.push_back(o);
    return o;
  }
  struct Rect {
    WindowObject* obj;
    int32_t r[4];
  };
  static inline std::vector<Rect> rects_;
  std::vector<WindowObject*> made_;

  void SetUp() override {
    FormsTest::SetUp();
    rects_.clear();
    NativeWindowOps ops = kNativeHeadless;
    ops.get_rect = [](const WindowObject* o, int32_t r[4]) {
      for (const Rect& e : rects_)
        if (e.obj == o) {
          std::copy(e.r, e.r + 4, r);
          return true;
        }
      return false;
    };
    native_for_all(ops);
  }
};

TEST_F(ChildLayout, TileGroupsAllVisibleWindowsAsOneCascadeNumbersThemInRingOrder) {
  // The ring starts with the window the fixture shows its buffer in.
  WindowObject* a = editor(0, 0, 300, 400);
  WindowObject* hidden = editor(5, 5, 50, 50, true);
  WindowObject* b = editor(300, 0, 300, 400);
  WindowObject* c = editor(600, 0, 301, 400);
  hidden->group = 7;

  window_save_child_layout(0);
  for (WindowObject* w : {a, b, c}) EXPECT_EQ(1, w->group);
  EXPECT_EQ(7, hidden->group) << "a hidden window keeps its group";
  EXPECT_EQ((std::vector<int32_t>{300, 0, 300, 400}), std::vector<int32_t>(b->layout_rect, b->layout_rect + 4));
  EXPECT_EQ((std::vector<int32_t>{600, 0, 301, 400}), std::vector<int32_t>(c->layout_rect, c->layout_rect + 4));
  EXPECT_EQ(0, hidden->layout_rect[2]);

  rects_[0].r[0] = 25;  // a cascaded
  window_save_child_layout(1);
  EXPECT_EQ(1, a->group);
  EXPECT_EQ(2, b->group);
  EXPECT_EQ(3, c->group);
  EXPECT_EQ(25, a->layout_rect[0]);
}

}  // namespace
