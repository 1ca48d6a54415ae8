// Controls copied between two forms that macros build, on a private Xvfb:
// the copy and the paste go through the X selections; the pasted button
// and text box get windows inside the target form at the copied places
// (relative to the selection's corner), show their faces and text, and the
// pasted button's click runs the handler the copied one had.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

struct Win {
  int id = 0, type = 0, parent = 0;
  Window frame = 0, client = 0;
};

class ClipX : public ::testing::Test {
 protected:
  void start(const std::string& scenario) {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    demo = server->spawn({ZVX_CLIP_DEMO, ZVX_CLIP_MACROS, scenario});
    ASSERT_TRUE(demo);
    for (auto line = demo->read_line(20s); line; line = demo->read_line(20s)) {
      if (*line == "ready") return;
      std::istringstream in(*line);
      std::string tag;
      Win w;
      in >> tag >> w.id >> w.type >> w.frame >> w.client >> w.parent;
      ASSERT_EQ("obj", tag) << *line;
      wins.push_back(w);
    }
    FAIL() << "the macros' windows never became ready";
  }
  std::vector<Win> children_of(int parent) {
    std::vector<Win> v;
    for (const Win& w : wins)
      if (w.parent == parent) v.push_back(w);
    return v;
  }
  // The form whose title starts with prefix; titles reach the server from
  // the program's own loop, so this waits a little for them.
  const Win* form_titled(const std::string& prefix) {
    for (int i = 0; i < 150; ++i) {
      for (const Win& w : wins)
        if (w.type == 2 && title(w.frame).rfind(prefix, 0) == 0) return &w;
      std::this_thread::sleep_for(20ms);
    }
    return nullptr;
  }
  std::string title(Window w) { return server->title(w); }
  std::string title_becomes(Window w, const std::string& want) { return server->title_when(w, want); }
  Window x_parent(Window w) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(server->display(), w, &root, &parent, &kids, &n);
    if (kids) XFree(kids);
    return parent;
  }
  // Pixels darker than mid-grey (text drawn).
  int dark_pixels(Window w, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (auto p = server->pixel(w, x, y); p && ((*p >> 16) & 0xFF) < 0x60 && (*p & 0xFF) < 0x60) ++n;
    return n;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  std::vector<Win> wins;
};

TEST_F(ClipX, ControlsCopiedFromOneFormAppearAndWorkInTheOther) {
  start("clip");
  const Win* src = form_titled("Source");
  const Win* dst = form_titled("pasted:");
  ASSERT_TRUE(src);
  ASSERT_TRUE(dst) << "the target's caption carries both results";
  EXPECT_EQ("pasted:0,0", title(dst->frame));
  EXPECT_EQ(3u, children_of(src->id).size()) << "the source keeps its controls";
  const std::vector<Win> pasted = children_of(dst->id);
  ASSERT_EQ(2u, pasted.size()) << "the two selected controls, not the label";
  EXPECT_EQ(5, pasted[0].type);
  EXPECT_EQ(3, pasted[1].type);
  // Their windows lie in the target's client, at the copied places less the
  // selection's corner (20, 30), with the copied sizes.
  struct Want {
    int x, y, w, h;
  };
  const Want want[] = {{0, 0, 80, 28}, {0, 40, 150, 24}};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(dst->client, x_parent(pasted[i].frame));
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(server->display(), pasted[i].frame, &a));
    EXPECT_EQ((std::pair{want[i].x, want[i].y}), (std::pair{a.x, a.y}));
    EXPECT_EQ((std::pair{want[i].w, want[i].h}), (std::pair{a.width, a.height}));
    EXPECT_EQ(IsViewable, a.map_state);
  }
  // The button's face and caption, read in the target form's own window;
  // the form's background beside them.
  const unsigned long face = 0xC0C0C0;
  const Window button = pasted[0].client;
  EXPECT_EQ(face, server->pixel_when(button, 70, 14, face, 3s));
  EXPECT_GT(dark_pixels(button, 20, 6, 60, 22), 5) << "the caption \"Go\" is drawn";
  const auto back = server->pixel(dst->client, 300, 150);
  ASSERT_TRUE(back);
  EXPECT_NE(face, *back);
  EXPECT_GT(dark_pixels(pasted[1].client, 2, 2, 146, 22), 20) << "the text typed before the copy came along";

  // The pasted button runs the copied button's handler, which names it in
  // its own form's caption.
  ASSERT_TRUE(server->focus_top_level(dst->frame));
  ASSERT_TRUE(server->click(button, 40, 14));
  const std::string clicked = "clicked:" + std::to_string(pasted[0].id);
  EXPECT_EQ(clicked, title_becomes(dst->frame, clicked));
  EXPECT_EQ("Source", title(src->frame));
}

}  // namespace
