// The form designer on a private Xvfb: a selected control shows its sizing
// handles, a drag with the pointer shows an outline at the snapped place
// (erased when the pointer moves on), and the drop moves the control by the
// snapped amount with its handles following. A windowless image is painted
// by its form.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

constexpr unsigned long kFormBg = 0xC0C0C0;
constexpr unsigned long kInverted = 0x3F3F3F;  // the background with every bit inverted
constexpr unsigned long kOutline = 0x404040;   // the background exclusive-or 0x808080

class DesignerX : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    demo = server->spawn({ZVX_DEMO_DESIGNER});
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> client >> ok;
    ASSERT_NE(0u, ok);
  }
  unsigned long px(int x, int y) {
    auto p = server->pixel(client, x, y);
    return p ? *p & 0xFFFFFF : 0xDEADBEEF;
  }
  // The pixel once it has become c (painting is asynchronous), or what it
  // is after a few seconds.
  unsigned long settled(int x, int y, unsigned long c) {
    unsigned long p = px(x, y);
    for (int i = 0; i < 150 && p != c; ++i) {
      std::this_thread::sleep_for(20ms);
      p = px(x, y);
    }
    return p;
  }
  bool pointer(const char* action, int x = -1, int y = -1) {
    if (x < 0) return server->xdotool({action, "1"});
    return server->xdotool({"mousemove", "--window", std::to_string(client), std::to_string(x), std::to_string(y)});
  }
  void window_origin(Window w, int* x, int* y) {
    Window root = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    ASSERT_TRUE(XGetGeometry(server->display(), w, &root, x, y, &width, &height, &border, &depth));
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  Window client = 0, ok = 0;
};

TEST_F(DesignerX, DragShowsSnappedOutlinesAndMovesTheControl) {
  // The button at (60, 40) 80 x 26 is selected: its handles are 5 pixels
  // centred on its corners, half outside it over the form.
  EXPECT_EQ(settled(58, 38, kInverted), kInverted) << "top-left handle";
  EXPECT_EQ(px(142, 68), kInverted) << "bottom-right handle";
  EXPECT_EQ(px(100, 36), kFormBg) << "no handle between them";
  // The windowless image at (200, 120) 40 x 30 with a border: the form
  // paints its solid frame and fills it with its background.
  EXPECT_EQ(settled(215, 135, 0xFFFFFF), 0xFFFFFFu) << "inside the frame, over a dot of the grid";
  EXPECT_EQ(px(245, 135), 0x000000u) << "a dot of the grid beside the image";
  EXPECT_EQ(px(200, 130), 0x000000u) << "left edge";
  EXPECT_EQ(px(239, 130), 0x000000u) << "right edge";
  EXPECT_EQ(px(220, 149), 0x000000u) << "bottom edge";
  EXPECT_EQ(px(241, 130), kFormBg) << "outside";

  // Press on the button's corner, where its bottom-right handle lies over
  // it: the handle is hit (5), one object is selected, the button (id 5).
  ASSERT_TRUE(pointer("", 139, 65));
  ASSERT_TRUE(pointer("mousedown"));
  auto start = demo->wait_for_line("start ", 5s);
  ASSERT_TRUE(start);
  EXPECT_EQ(*start, "start 5 1 5");
  // Move 23 x 7 pixels: 345 x 105 twips on a grid of 150 twips from a place
  // on the grid gives (80, 50).
  ASSERT_TRUE(pointer("", 162, 72));
  auto outline = demo->wait_for_line("outline ", 5s);
  ASSERT_TRUE(outline);
  EXPECT_EQ(*outline, "outline 80 50");
  EXPECT_EQ(settled(159, 70, kOutline), kOutline) << "right edge of the outline, over the form";
  EXPECT_EQ(px(100, 75), kOutline) << "bottom edge";
  EXPECT_EQ(px(120, 72), kFormBg) << "inside the outline nothing is drawn";

  // On to 48 x 7 pixels: 720 twips snap to 750, the outline moves to x 110.
  ASSERT_TRUE(pointer("", 187, 72));
  outline = demo->wait_for_line("outline ", 5s);
  ASSERT_TRUE(outline);
  EXPECT_EQ(*outline, "outline 110 50");
  EXPECT_EQ(settled(189, 70, kOutline), kOutline) << "the new outline";
  EXPECT_EQ(settled(159, 70, kFormBg), kFormBg) << "the old outline is erased";

  ASSERT_TRUE(pointer("mouseup"));
  auto moved = demo->wait_for_line("moved ", 5s);
  ASSERT_TRUE(moved);
  EXPECT_EQ(*moved, "moved ok 110 50");
  int x = 0, y = 0;
  for (int i = 0; i < 100 && x != 110; ++i) {
    window_origin(ok, &x, &y);
    if (x != 110) std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(x, 110);
  EXPECT_EQ(y, 50);
  // The handles follow the button; the old ones and the outline are gone.
  EXPECT_EQ(settled(108, 48, kInverted), kInverted) << "new top-left handle";
  EXPECT_EQ(settled(58, 38, kFormBg), kFormBg) << "old top-left handle";
  EXPECT_EQ(px(100, 75), kFormBg) << "no outline left where the first one was";
  EXPECT_EQ(px(170, 80), kFormBg) << "below the moved button";
}

}  // namespace
