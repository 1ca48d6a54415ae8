// Each arrangement of the frame's editor windows is recorded in their
// groups and normal rectangles, and the Window menu names them by their
// files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_mdi.h"
#include "display/view_scroll.h"
#include "tests/forms/forms_fixture.h"
#include "text/buffer_rec.h"
#include "winsys/mdi_port.h"

namespace {

using formstest::FormsTest;

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

// The Window menu names an editor window by the file it shows, shortened
// for a menu; a window showing no file (or no editor window at all) has no
// name, and the menu shows its title.
TEST_F(ChildLayout, TheWindowMenuNamesAnEditorWindowByItsFileShortened) {
  open("text\n");
  WindowObject* w = window_current();
  XfWindow child{};
  w->frame_window = &child;  // only looked up, never drawn
  made_.push_back(w);
  buf_->name.assign("/home/user/projects/src/a-file-with-a-long-name-for-menus.c");
  EXPECT_EQ(disp_menu_path("/home/user/projects/src/a-file-with-a-long-name-for-menus.c"), mdi_menu_name(&child));
  EXPECT_LT(mdi_menu_name(&child).size(), buf_->name.view().size()) << "shortened";
  buf_->name.assign("");
  EXPECT_EQ("", mdi_menu_name(&child));
  XfWindow stranger{};
  EXPECT_EQ("", mdi_menu_name(&stranger));
}

}  // namespace
