// MDI forms and the system menus of free forms as a user meets them: the
// real zorvex program on a private X server with a state that adds a few
// form macros (tests/forms/data/mdi_form.e) to the default ones, driven
// with xdotool and checked by the windows and pixels read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/editor_x_fixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using editor_x::eventually;

// The MDI layer's metrics at the server's default font: the border and the
// title's height.
constexpr int kBorder = 5, kTitle = 20;

class MdiFormX : public editor_x::EditorXFixture {
 protected:
  MdiFormX() : EditorXFixture("zvx-mdiform") {}

  // The editor on a file, with the default macros and the form macros.
  void start_with_forms() {
    const std::string module = dir_.path() + "/forms.ex", state = dir_.path() + "/forms.stu";
    const std::string zozu = "'" + std::string(ZVX_BINARY_DIR) + "/tools/zozu/zozu' ";
    ASSERT_EQ(std::system((zozu + "-q -o '" + module + "' '" + ZVX_TEST_DATA_DIR + "/forms/data/mdi_form.e'").c_str()),
              0);
    ASSERT_EQ(
        std::system(
            (zozu + "--state '" + state + "' '" + ZVX_BINARY_DIR + "/macros/default.ex' '" + module + "'").c_str()),
        0);
    start({"-x", state, dir_.path() + "/text.txt"});
  }

  XWindowAttributes attrs(Window w) {
    XWindowAttributes a{};
    if (!w || !XGetWindowAttributes(d_, w, &a)) a.map_state = IsUnmapped, a.width = a.height = 0;
    return a;
  }
  bool viewable(Window w) { return attrs(w).map_state == IsViewable; }
  // The MDI client's mapped children, bottom to top: child frames.
  std::vector<Window> mdi_children() {
    std::vector<Window> out;
    for (Window w : children(pane_))
      if (viewable(w)) out.push_back(w);
    return out;
  }
  Window top_child() {
    const std::vector<Window> c = mdi_children();
    return c.empty() ? 0 : c.back();
  }
  // The client area of a child frame: the window below the title in its
  // top form.
  Window area_of(Window frame) {
    for (Window top : children(frame))
      for (Window w : children(top))
        if (const XWindowAttributes a = attrs(w); a.map_state == IsViewable && a.x == 0 && a.y == kTitle) return w;
    return 0;
  }
  // A mapped override-redirect window on the root: an open menu.
  Window open_popup() {
    for (Window w : children(DefaultRootWindow(d_))) {
      const XWindowAttributes a = attrs(w);
      if (a.override_redirect && a.map_state == IsViewable) return w;
    }
    return 0;
  }
  // Rows of text in a menu: runs of at least four pixel rows holding dark
  // pixels (a separator is a thinner run).
  int text_rows(Window m) {
    const XWindowAttributes a = attrs(m);
    XSync(d_, False);
    XImage* im =
        XGetImage(d_, m, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!im) return -1;
    int rows = 0, run = 0;
    for (int y = 0; y <= a.height; ++y) {
      bool dark = false;
      for (int x = 4; y < a.height && x < a.width - 4 && !dark; ++x) {
        const unsigned long p = XGetPixel(im, x, y) & 0xFFFFFF;
        dark = ((p >> 16) & 0xFF) < 0x50 && ((p >> 8) & 0xFF) < 0x50 && (p & 0xFF) < 0x50;
      }
      if (dark) {
        ++run;
      } else {
        if (run >= 4) ++rows;
        run = 0;
      }
    }
    XDestroyImage(im);
    return rows;
  }
  // Opens the Window menu with its mnemonic, counts its rows of text and
  // closes it again.
  int window_menu_rows() {
    if (!keys({"alt+w"})) return -1;
    Window m = 0;
    if (!eventually([&] { return (m = open_popup()) != 0; }, 5s)) return -1;
    std::this_thread::sleep_for(200ms);  // painted
    const int n = text_rows(m);
    // Escape closes the pull-down, a second one leaves the bar.
    for (int i = 0; i < 3 && open_popup(); ++i) {
      keys({"Escape"});
      eventually([&] { return open_popup() == 0; }, 1s);
    }
    if (open_popup()) return -1;
    keys({"Escape"});
    return n;
  }
  bool gone(Window w) {
    return eventually([&] { return !viewable(w); }, 10s);
  }
};

TEST_F(MdiFormX, MdiFormShowsInTheClientIsListedActivatedAndClosed) {
  start_with_forms();
  ASSERT_FALSE(HasFatalFailure());
  const std::vector<Window> before = mdi_children();
  ASSERT_EQ(1u, before.size()) << "the editor window";
  const Window editor = before.front();
  const int rows_before = window_menu_rows();
  ASSERT_GT(rows_before, 0) << "the Window menu opens";

  ASSERT_TRUE(keys({"F11"}));
  ASSERT_TRUE(eventually([&] { return mdi_children().size() == 2; })) << "a second child frame in the MDI client";
  const Window form = top_child();
  ASSERT_NE(form, editor) << "the new form is the active child, on top";
  // Its client area, inside the MDI client, shows the form's red background.
  const Window area = area_of(form);
  const XWindowAttributes a = attrs(area);
  EXPECT_EQ(0xFF0000u, server_->pixel_when(area, a.width - 5, a.height - 5, 0xFF0000));
  int ax = 0, ay = 0;
  Window child = 0;
  XTranslateCoordinates(d_, area, pane_, 0, 0, &ax, &ay, &child);
  const XWindowAttributes client = attrs(pane_);
  EXPECT_TRUE(ax >= 0 && ay >= 0 && ax + a.width <= client.width && ay + a.height <= client.height)
      << "inside the MDI client: " << ax << "," << ay << " " << a.width << "x" << a.height;

  EXPECT_EQ(rows_before + 1, window_menu_rows()) << "the Window menu lists the form";

  // Ctrl+F6 goes to the next child and back.
  ASSERT_TRUE(keys({"ctrl+F6"}));
  EXPECT_TRUE(eventually([&] { return top_child() == editor; })) << "the editor window is active again";
  ASSERT_TRUE(keys({"ctrl+F6"}));
  EXPECT_TRUE(eventually([&] { return top_child() == form; })) << "the form is active again";

  // Both children are listed now (the editor window's entry comes with its
  // first activation by the window layer).
  const int listed = window_menu_rows();

  // F7 is bound only in the dialog manager's table: it never reaches a
  // control of an MDI form, so the form stays.
  ASSERT_TRUE(keys({"F7"}));
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(viewable(form));

  // Activated while the editor window is maximised, it is maximised too:
  // its client fills the MDI client.
  EXPECT_TRUE(eventually([&] { return attrs(area_of(form)).width == attrs(pane_).width; }));
  // Ctrl+F4, bound in the form's table to the system command "close": the
  // MDI child's close raises ON-CLOSE, whose macro closes the form; its
  // child frame leaves the client and the Window menu.
  ASSERT_TRUE(keys({"ctrl+F4"}));
  EXPECT_TRUE(gone(form));
  EXPECT_EQ(std::vector<Window>{editor}, mdi_children());
  EXPECT_EQ(listed - 1, window_menu_rows()) << "the form's entry left the Window menu";
}

TEST_F(MdiFormX, TheSystemMenuClosesAnMdiForm) {
  start_with_forms();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(keys({"F11"}));
  ASSERT_TRUE(eventually([&] { return mdi_children().size() == 2; }));
  const Window form = top_child();
  ASSERT_TRUE(server_->click(form, kBorder + kTitle / 2, kBorder + kTitle / 2));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; })) << "the system-menu button opens the system menu";
  std::this_thread::sleep_for(200ms);  // the tracker has the keyboard
  ASSERT_TRUE(keys({"c"}));
  EXPECT_TRUE(gone(form)) << "Close raised ON-CLOSE, whose macro closed the form";
  EXPECT_EQ(1u, mdi_children().size());
}

TEST_F(MdiFormX, MdiFormMaximisesInTheClient) {
  start_with_forms();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(keys({"F11"}));
  ASSERT_TRUE(eventually([&] { return mdi_children().size() == 2; }));
  const Window form = top_child();
  const Window area = area_of(form);
  EXPECT_EQ((std::pair{300, 120}), (std::pair{attrs(area).width, attrs(area).height})) << "the form's own size";
  const XWindowAttributes normal = attrs(form);
  // The maximise button, at the right end of the title.
  ASSERT_TRUE(server_->click(form, normal.width - kBorder - kTitle / 2, kBorder + kTitle / 2));
  const XWindowAttributes client = attrs(pane_);
  EXPECT_TRUE(eventually([&] {
    const XWindowAttributes a = attrs(area);
    return a.width == client.width && a.height == client.height;
  })) << "maximised, the form's client fills the MDI client";
  int ax = 0, ay = 0;
  Window child = 0;
  XTranslateCoordinates(d_, area, pane_, 0, 0, &ax, &ay, &child);
  EXPECT_EQ((std::pair{0, 0}), (std::pair{ax, ay}));
  EXPECT_EQ(0xFF0000u, server_->pixel_when(area, client.width - 5, client.height - 5, 0xFF0000));
  // Ctrl+F6 takes the maximised state to the editor window.
  ASSERT_TRUE(keys({"ctrl+F6"}));
  EXPECT_TRUE(eventually([&] { return top_child() != form; }));
  EXPECT_TRUE(editor_->running());
}

// A free form's system menu opens with Alt+Space and holds exactly the
// items its frame allows, then the designer's "Edit Form": without
// minimise and maximise buttons and with a fixed border, Move and Close;
// with both buttons and border style 2 also Restore, Size, Minimize and
// Maximize. Hide is never there.
TEST_F(MdiFormX, FreeFormSystemMenusAreTrimmed) {
  start_with_forms();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(keys({"F12"}));
  const Window fixed = server_->wait_for_class("Halvorn", "Fixed form");
  const Window sizable = server_->wait_for_class("Halvorn", "Sizable form");
  ASSERT_NE(0u, fixed);
  ASSERT_NE(0u, sizable);
  struct Case {
    Window frame;
    int rows;
  };
  for (const Case c : {Case{fixed, 3}, Case{sizable, 7}}) {
    ASSERT_TRUE(server_->focus_top_level(c.frame));
    ASSERT_TRUE(keys({"alt+space"}));
    Window m = 0;
    ASSERT_TRUE(eventually([&] { return (m = open_popup()) != 0; })) << "Alt+Space opens the system menu";
    std::this_thread::sleep_for(200ms);  // painted
    EXPECT_EQ(c.rows, text_rows(m));
    ASSERT_TRUE(keys({"Escape"}));
    ASSERT_TRUE(eventually([&] { return open_popup() == 0; }));
  }
  // Its Close raises ON-CLOSE, whose macro closes the form.
  ASSERT_TRUE(server_->focus_top_level(fixed));
  ASSERT_TRUE(keys({"alt+space"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(keys({"c"}));
  EXPECT_TRUE(gone(fixed));
  // F7, bound only in the dialog manager's table, reaches the controls of
  // a free form: its macro closes the form.
  ASSERT_TRUE(server_->focus_top_level(sizable));
  ASSERT_TRUE(keys({"F7"}));
  EXPECT_TRUE(gone(sizable));

  // Shown again: Ctrl+F4, bound in the form's table to the system command
  // "close", closes the free form through its system menu's command.
  ASSERT_TRUE(server_->focus(frame_));
  ASSERT_TRUE(keys({"F12"}));
  Window again = 0;
  ASSERT_TRUE(eventually([&] {
    again = server_->wait_for_class("Halvorn", "Fixed form", 100ms);
    return again != 0 && viewable(again);
  }));
  ASSERT_TRUE(server_->focus_top_level(again));
  ASSERT_TRUE(keys({"ctrl+F4"}));
  EXPECT_TRUE(gone(again));
  // The other one's "Edit Form", the last item (Up from the first), runs
  // the form command "-on-edit-form" on it, which sets its caption here.
  Window other = 0;
  ASSERT_TRUE(eventually([&] {
    other = server_->wait_for_class("Halvorn", "Sizable form", 100ms);
    return other != 0 && viewable(other);
  }));
  ASSERT_TRUE(server_->focus_top_level(other));
  ASSERT_TRUE(keys({"alt+space"}));
  ASSERT_TRUE(eventually([&] { return open_popup() != 0; }));
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(keys({"Up", "Return"}));
  EXPECT_TRUE(eventually([&] {
    char* name = nullptr;
    const bool editing = XFetchName(d_, other, &name) && name && std::string(name) == "Editing";
    if (name) XFree(name);
    return editing;
  })) << "the designer's entry ran its form command";
  EXPECT_TRUE(viewable(other));
  EXPECT_TRUE(editor_->running());
}

}  // namespace
