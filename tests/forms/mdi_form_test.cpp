// MDI forms and the system menus of free forms without a display: what an
// MDI form asks the window system for, which items a free form's system
// menu keeps, and what closing an MDI form leaves of the frame's children.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/obj_window.h"
#include "tests/forms/forms_fixture.h"
#include "winsys/frame_sysmenu.h"
#include "winsys/menu.h"
#include "winsys/menu_api.h"

namespace {

using namespace formstest;

class MdiForms : public FormsTest {};

// The standard system menu of a free-standing frame, as the window layer
// makes it, with `extra` items after it.
XfMenu* standard_menu(const std::vector<std::pair<uint32_t, const char*>>& extra = {}) {
  XfMenu* m = WinCreateMenu(0, nullptr);
  xfFrameSysMenuFill(m);
  for (auto [id, text] : extra) {
    const XfMenuTemplate t{kTplAppend, kTplText | kTplSysCommand, 0, id, nullptr};
    xfInsertMenuItem(m, &t, text);  // in the menu layer's form, as the window layer writes them
  }
  return m;
}

// The menu's items in order, a separator as "-".
std::vector<std::string> items(XfMenu* m) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < WinQueryMenuItemCount(m); ++i) {
    const XfMenuItem* it = xfMenuItemAt(m, i);
    if (it->kind == kItemSeparator) {
      out.emplace_back("-");
      continue;
    }
    char text[128] = {};
    WinQueryMenuItemText(m, static_cast<uint32_t>(i), text, sizeof text, 1);
    out.emplace_back(text);
  }
  return out;
}

TEST_F(MdiForms, FreeFormSystemMenuKeepsWhatItsFrameAllows) {
  const std::string restore = "~Restore\tAlt+F5", move = "~Move\tAlt+F7", size = "~Size\tAlt+F8",
                    minimise = "Mi~nimize\tAlt+F9", maximise = "Ma~ximize\tAlt+F10", close = "~Close\tAlt+F4";
  struct Case {
    bool min, max, sizable;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {false, false, false, {move, "-", close}},
      {true, false, false, {restore, move, minimise, "-", close}},
      {false, true, false, {restore, move, maximise, "-", close}},
      {false, false, true, {move, size, "-", close}},
      {true, true, true, {restore, move, size, minimise, maximise, "-", close}},
  };
  for (const Case& c : cases) {
    XfMenu* m = standard_menu();
    form_trim_system_menu(m, c.min, c.max, c.sizable);
    EXPECT_EQ(items(m), c.left) << c.min << c.max << c.sizable;
    WinDestroyMenu(m);
  }
}

TEST_F(MdiForms, TrimmingMatchesWholeTextsOnly) {
  // Two Hide items in a row both go (the position does not advance past a
  // deleted one); texts that differ in any way stay, the MDI child's own
  // "~Restore" among them.
  XfMenu* m = standard_menu({{0x5001, "~Hide\tAlt+F11"}, {0x5002, "~Hide\tAlt+F12"}, {0x5003, "~Restore"}});
  form_trim_system_menu(m, true, true, true);
  const std::vector<std::string> want{"~Restore\tAlt+F5",  "~Move\tAlt+F7",      "~Size\tAlt+F8",
                                      "Mi~nimize\tAlt+F9", "Ma~ximize\tAlt+F10", "-",
                                      "~Close\tAlt+F4",    "~Hide\tAlt+F12",     "~Restore"};
  EXPECT_EQ(items(m), want);
  WinDestroyMenu(m);
  form_trim_system_menu(nullptr, false, false, false);  // no menu: nothing to do
}

TEST_F(MdiForms, MdiFormAsksForAChildFrame) {
  // Whatever its border and buttons, an MDI form gets create flags 0x200
  // and frame flags 1; the same form outside the frame follows them.
  struct Case {
    int32_t border;
    bool mdi, design;
    uint32_t create_flags, frame_flags;
  };
  const Case cases[] = {
      {3, true, false, 0x200, 1},    {2, true, false, 0x200, 1},     {0, true, false, 0x200, 1},
      {3, true, true, 0x200, 1},     {3, false, false, 0x300, 0x78}, {2, false, false, 0x200, 0xF8},
      {3, false, true, 0x200, 0xC8},
  };
  for (const Case& c : cases) {
    WindowObject* f = form();
    for (uint32_t id : {9u, 10u, 13u}) prop_set_field(f->props, id, 1);
    prop_set_field(f->props, 16, static_cast<uint32_t>(c.border));
    f->mdi_form = c.mdi;
    f->design_mode = c.design;
    const ObjWindowStyle s = obj_style_for_type(f, 0);
    EXPECT_EQ(s.create_flags, c.create_flags) << c.border << c.mdi << c.design;
    EXPECT_EQ(s.frame_flags, c.frame_flags) << c.border << c.mdi << c.design;
    EXPECT_STREQ(s.cls, "zx_form");
  }
}

TEST_F(MdiForms, ClosingAnMdiFormLeavesTheFramesChildren) {
  // An MDI form names the frame as its parent without being one of the
  // frame's ring of editor windows: closing it leaves the ring alone.
  WindowObject* fr = frame();
  WindowObject* editor = form();
  editor->parent = fr;
  fr->first_child = editor;
  WindowObject* mdi = form();
  mdi->parent = fr;
  mdi->mdi_form = 1;
  control(mdi, kObjCommand);
  ASSERT_TRUE(obj_is_frame_child(mdi));
  EXPECT_EQ(obj_destroy(mdi), 0);
  EXPECT_EQ(fr->first_child, editor) << "the active editor window stays the frame's first child";
  EXPECT_EQ(editor->next, editor);
  editor->parent = nullptr;
  fr->first_child = nullptr;
}

}  // namespace
