// The built-ins on window objects that act through the window system, on a
// private Xvfb with the forms' own windows: the focus, the mouse capture,
// activation and stacking reach the window of the object each acts on, and
// draw_shape draws its outline on the screen in the object's unit.
#include <gtest/gtest.h>

// The forms first: the window system's headers bring in Xlib.
#include "forms/ctl_classes.h"
#include "forms/ctl_props.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "tests/forms/forms_fixture.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/xvfb.h"
#include "winsys/focus.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/winapi.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

#include <X11/Xlib.h>

namespace {

using namespace formstest;
using namespace std::chrono_literals;

class WindowOpsX : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    std::string why;
    server_ = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server_) << why;
    d_ = XOpenDisplay(server_->display_name().c_str());
    ASSERT_TRUE(d_);
    xf_reset();
    old_handler_ = XSetErrorHandler(xfXErrorHandler);
    xf_attach_display(d_);
    xfInitDefaultFonts();
    xf_gfx_start();
    xfInitKeyboard();
    xfReadResources();
    ctl_register_classes();
    native_set_table({&kNativeHeadless, &kControlWindowOps, &kNativeHeadless});
    frame();
    f_ = shown_form(1500);
    button_ = control(f_, kObjCommand);
    place(button_, 10, 20, 80, 30);
    image_ = control(f_, kObjImage);
    place(image_, 100, 20, 40, 40);
    ASSERT_EQ(native_ops(f_).create(f_), 0);
    ASSERT_TRUE(f_->client_window);
    ASSERT_TRUE(button_->client_window);
    native_ops(f_).show(f_, true);
    ASSERT_TRUE(pump_until([&] { return viewable(f_->client_window->xwin); }));
  }
  // Serves the window system's queue until the condition holds (false after
  // a bound): the server answers in its own time.
  bool pump_until(const std::function<bool()>& cond) {
    return xtest::eventually([&] {
      XfMessage m{};
      while (WinPeekMsg(&m, nullptr, 0, 0, 1)) WinDispatchMsg(&m);
      return cond();
    });
  }
  // Serves the queue until the server has nothing more (the form's paints
  // done), so that nothing paints over what a test draws.
  void settle() {
    for (int quiet = 0; quiet < 3;) {
      XSync(d_, False);
      XfMessage m{};
      bool any = false;
      while (WinPeekMsg(&m, nullptr, 0, 0, 1)) WinDispatchMsg(&m), any = true;
      quiet = any ? 0 : quiet + 1;
    }
  }
  bool viewable(Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable;
  }
  void TearDown() override {
    native_table_reset();
    xf_gfx_shutdown();
    if (d_) {
      XSync(d_, False);
      XSetErrorHandler(old_handler_);
    }
    xf_reset();
    if (d_) XCloseDisplay(d_);
    d_ = nullptr;
    server_.reset();
    FormsTest::TearDown();
  }
  // A shown top-level form at x (twips) whose controls are placed in pixels.
  WindowObject* shown_form(int32_t x) {
    WindowObject* f = form(kScalePixels);
    prop_set_field(f->props, 40, static_cast<uint32_t>(x));
    prop_set_field(f->props, 41, 1500);
    prop_set_field(f->props, 39, 4500);
    prop_set_field(f->props, 36, 3000);
    ctl_prop_set(f, 11, 1);
    return f;
  }
  static void place(WindowObject* o, int32_t x, int32_t y, int32_t w, int32_t h) {
    prop_set_field(o->props, 40, static_cast<uint32_t>(x));
    prop_set_field(o->props, 41, static_cast<uint32_t>(y));
    prop_set_field(o->props, 39, static_cast<uint32_t>(w));
    prop_set_field(o->props, 36, static_cast<uint32_t>(h));
  }
  // The top-level X windows, bottom first.
  std::vector<Window> stacking() {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    XSync(d_, False);
    XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &kids, &n);
    std::vector<Window> order(kids, kids + n);
    if (kids) XFree(kids);
    return order;
  }
  size_t place_of(const std::vector<Window>& order, const WindowObject* o) {
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i] == o->frame_window->xwin) return i;
    return order.size();
  }
  static std::string id(const WindowObject* o) { return std::to_string(o->handle); }

  std::unique_ptr<xtest::XvfbServer> server_;
  Display* d_ = nullptr;
  XErrorHandler old_handler_ = nullptr;
  WindowObject* f_ = nullptr;
  WindowObject* button_ = nullptr;
  WindowObject* image_ = nullptr;
};

TEST_F(WindowOpsX, FocusCaptureAndActivationReachTheObjectsWindows) {
  WindowObject* other = shown_form(9000);
  ASSERT_EQ(native_ops(other).create(other), 0);
  window_set_current(f_, 0);
  EXPECT_EQ(call("activate_window_by_name", {}).rc, "0");
  EXPECT_TRUE(pump_until([&] { return xfQueryActiveFrame() == f_->frame_window; }));
  window_set_current(button_, 0);
  ASSERT_EQ(call("focus_current", {}).raised, 0);
  EXPECT_TRUE(pump_until([&] { return call("focus_window_id", {}).value == id(button_); }));
  // An image has no window: the capture goes to its form's.
  window_set_current(image_, 0);
  ASSERT_EQ(call("set_capture", {}).raised, 0);
  EXPECT_EQ(xfQueryCapture(), f_->client_window);
  ASSERT_EQ(call("release_capture", {}).raised, 0);
  EXPECT_EQ(xfQueryCapture(), nullptr);
  native_ops(other).destroy(other);
}

TEST_F(WindowOpsX, StackingFollowsSetZorder) {
  WindowObject* other = shown_form(9000);
  ASSERT_EQ(native_ops(other).create(other), 0);
  window_set_current(f_, 0);
  ASSERT_EQ(call("set_zorder", {"-1"}).raised, 0);
  std::vector<Window> order = stacking();
  EXPECT_LT(place_of(order, f_), place_of(order, other)) << "to the bottom";
  ASSERT_EQ(call("set_zorder", {"0"}).raised, 0);
  order = stacking();
  EXPECT_GT(place_of(order, f_), place_of(order, other)) << "to the top";
  native_ops(other).destroy(other);
}

// The outline of draw_shape, corners in any order, in the form's unit; the
// right and bottom edges lie one pixel inside the far corner.
TEST_F(WindowOpsX, DrawShapeOutlinesTheRectangle) {
  const Window w = f_->client_window->xwin;
  constexpr unsigned long kGreen = 0x00FF00;
  settle();
  window_set_current(f_, 0);
  ASSERT_EQ(call("draw_shape", {"200", "90", "160", "60", "65280"}).raised, 0);
  XSync(d_, False);
  EXPECT_EQ(server_->pixel_when(w, 160, 60, kGreen), kGreen) << "a corner";
  EXPECT_EQ(server_->pixel_when(w, 199, 75, kGreen), kGreen) << "the right edge";
  EXPECT_EQ(server_->pixel_when(w, 180, 89, kGreen), kGreen) << "the bottom edge";
  EXPECT_NE(server_->pixel(w, 180, 75), kGreen) << "inside stays";
  // In twips (15 a pixel).
  prop_set_field(f_->props, 47, kScaleTwips);
  ASSERT_EQ(call("draw_shape", {"300", "1500", "900", "2100", "65280"}).raised, 0);
  XSync(d_, False);
  EXPECT_EQ(server_->pixel_when(w, 20, 100, kGreen), kGreen);
  EXPECT_EQ(server_->pixel_when(w, 59, 120, kGreen), kGreen);
  EXPECT_NE(server_->pixel(w, 40, 120), kGreen);
}

// This used to crash: the measure asked the window system for no overhang.
TEST_F(WindowOpsX, TextIsMeasuredInTheObjectsFont) {
  window_set_current(f_, 0);
  const int32_t three = std::stoi(call("text_width", {"abc"}).value);
  const int32_t six = std::stoi(call("text_width", {"abcabc"}).value);
  EXPECT_GT(three, 0);
  EXPECT_EQ(six, 2 * three);
  EXPECT_NE(three, 3 * 8) << "the font's widths, not the headless cells";
  EXPECT_GT(std::stoi(call("font_height", {}).value), 0);
}

}  // namespace
