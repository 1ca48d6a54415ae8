// Tile and cascade from the frame's Window menu: the real zorvex program on
// a private X server with three files, each in an editor window, arranged
// through the menu's mnemonics; the child frames are checked by their
// geometry in the MDI client and by the text each one shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/editor_x_fixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace {

using editor_x::eventually;

struct Box {
  int x, y, w, h;
  bool operator==(const Box&) const = default;
};

std::string show(const std::vector<Box>& v) {
  std::string s;
  for (const Box& b : v)
    s += " (" + std::to_string(b.x) + "," + std::to_string(b.y) + " " + std::to_string(b.w) + "x" +
         std::to_string(b.h) + ")";
  return s;
}

class MdiArrangeX : public editor_x::EditorXFixture {
 protected:
  MdiArrangeX() : EditorXFixture("zvx-mdi-arrange") {}

  // The mapped child frames of the MDI client, bottom of the stacking
  // order first.
  std::vector<Box> frames() {
    std::vector<Box> out;
    XSync(d_, False);
    for (Window k : children(pane_)) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, k, &a) && a.map_state == IsViewable && a.width > 60)
        out.push_back({a.x, a.y, a.width, a.height});
    }
    return out;
  }
  Box client() {
    XWindowAttributes a{};
    XGetWindowAttributes(d_, pane_, &a);
    return {0, 0, a.width, a.height};
  }
  // Pixels of a box of the MDI client (children included) unlike the
  // text's paper: the text each window shows.
  int text_ink(const Box& b) { return ink_in(pane_, b.x + 8, b.y + b.h / 3, b.x + b.w - 24, b.y + b.h - 24); }

  // Alt+W, then the item's mnemonic.
  bool window_menu(const std::string& letter) {
    return keys({"alt+w"}) && eventually([&] { return open_popup() != 0; }) && keys({letter}) &&
           eventually([&] { return open_popup() == 0; });
  }
  Window open_popup() {
    for (Window w : children(DefaultRootWindow(d_))) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(d_, w, &a) && a.override_redirect && a.map_state == IsViewable) return w;
    }
    return 0;
  }
};

TEST_F(MdiArrangeX, ThreeWindowsTiledBothWaysThenCascadedFromTheWindowMenu) {
  std::vector<std::string> paths;
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
    paths.push_back(dir_ / name);
    std::ofstream f(paths.back());
    for (int i = 0; i < 40; ++i) f << "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW\n";
  }
  start({paths[0]});
  ASSERT_FALSE(HasFatalFailure());
  // The other two each in a window of its own, opened from the command line.
  for (size_t k = 1; k < paths.size(); ++k) {
    ASSERT_TRUE(click_command_line());
    ASSERT_TRUE(type("open-file +i " + paths[k]));
    ASSERT_TRUE(keys({"Return"}));
    ASSERT_TRUE(eventually([&] { return frames().size() == k + 1; })) << show(frames());
  }
  ASSERT_TRUE(eventually([&] { return frames().size() == 3; })) << show(frames());
  const Box c = client();

  // Side by side: three columns the client's height, the first columns a
  // pixel wider when the width does not divide by three.
  ASSERT_TRUE(window_menu("v"));
  const int cw = c.w / 3, extra = c.w - 3 * cw;
  std::vector<Box> want;
  for (int k = 0, x = 0; k < 3; ++k) {
    const int w = cw + (k < extra ? 1 : 0);
    want.push_back({x, 0, w, c.h});
    x += w;
  }
  std::vector<Box> got;
  auto sorted = [&] {
    got = frames();
    std::sort(got.begin(), got.end(), [](const Box& a, const Box& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return got;
  };
  EXPECT_TRUE(eventually([&] { return sorted() == want; })) << "got" << show(got) << " want" << show(want);
  for (const Box& b : want) EXPECT_TRUE(eventually([&] { return text_ink(b) > 200; })) << show({b});

  // Stacked: one column of three rows.
  ASSERT_TRUE(window_menu("h"));
  const int rh = c.h / 3, extra_h = c.h - 3 * rh;
  want.clear();
  for (int k = 0, y = 0; k < 3; ++k) {
    const int h = rh + (k < extra_h ? 1 : 0);
    want.push_back({0, y, c.w, h});
    y += h;
  }
  EXPECT_TRUE(eventually([&] { return sorted() == want; })) << "got" << show(got) << " want" << show(want);
  for (const Box& b : want) EXPECT_TRUE(eventually([&] { return text_ink(b) > 200; })) << show({b});

  // Cascade: 27/40 of the client each, stepping down and right by one
  // step, the top of the stacking order furthest from the corner.
  ASSERT_TRUE(window_menu("a"));
  const int w = c.w * 27 / 40, h = c.h * 27 / 40;
  EXPECT_TRUE(eventually([&] {
    got = frames();
    if (got.size() != 3) return false;
    const int z = got[1].x;
    return z > 0 && got[0] == Box{0, 0, w, h} && got[1] == Box{z, z, w, h} && got[2] == Box{2 * z, 2 * z, w, h};
  })) << "got"
      << show(got);
  // The top window is whole: its text shows in its lower right part,
  // which covers the others.
  if (got.size() == 3) {
    EXPECT_GT(text_ink({got[2].x + got[2].w / 2, got[2].y, got[2].w / 2, got[2].h}), 200);
  }
}

}  // namespace
