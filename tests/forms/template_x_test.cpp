// A form template that a module brings, shown on a private Xvfb: the form
// and its controls get their windows at the records' places, with the
// records' captions and colours.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

TEST(TemplateX, ModuleTemplateShowsWithItsControls) {
  std::string why;
  auto server = xtest::XvfbServer::start({}, &why);
  ASSERT_TRUE(server) << why;
  auto demo = server->spawn({ZVX_DEMO_MACRO_FORM, ZVX_TEST_DATA_DIR "/forms/data/template_form.e", "show"});
  ASSERT_TRUE(demo);
  struct Win {
    int type = 0;
    Window frame = 0, client = 0;
  };
  std::map<int, Win> obj;
  bool ready = false;
  for (auto line = demo->read_line(20s); line; line = demo->read_line(20s)) {
    if (*line == "ready") {
      ready = true;
      break;
    }
    std::istringstream in(*line);
    std::string tag;
    int id = 0;
    Win w;
    in >> tag >> id >> w.type >> w.frame >> w.client;
    ASSERT_EQ("obj", tag) << *line;
    obj[id] = w;
  }
  ASSERT_TRUE(ready) << "the template's windows never became ready";
  // Records in order: the form, then its controls in ring order.
  ASSERT_EQ(4u, obj.size());
  const int types[][2] = {{4, 2}, {5, 5}, {6, 8}, {7, 4}};
  for (auto [id, type] : types) EXPECT_EQ(type, obj[id].type) << id;
  Display* d = server->display();
  char* name = nullptr;
  ASSERT_TRUE(XFetchName(d, obj[4].frame, &name) && name);
  EXPECT_STREQ("Template form", name);
  XFree(name);
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(d, obj[6].client, &a));
  EXPECT_EQ((std::pair{100, 50}), (std::pair{a.x, a.y})) << "the label at its record's place, in pixels";
  EXPECT_EQ((std::pair{200, 60}), (std::pair{a.width, a.height}));
  ASSERT_TRUE(XGetWindowAttributes(d, obj[5].client, &a));
  EXPECT_EQ((std::pair{80, 28}), (std::pair{a.width, a.height}));
  auto settled = [&](Window w, int x, int y, unsigned long want) {
    unsigned long p = 0xDEADBEEF;
    for (int i = 0; i < 150; ++i, std::this_thread::sleep_for(20ms)) {
      auto v = server->pixel(w, x, y);
      p = v ? *v : 0xDEADBEEF;
      if (p == want) break;
    }
    return p;
  };
  EXPECT_EQ(0xFF0000u, settled(obj[6].client, 100, 30, 0xFF0000)) << "the label's back colour from its record";
  EXPECT_EQ(0xC0C0C0u, settled(obj[5].client, 60, 14, 0xC0C0C0)) << "the button's face";
  int dark = 0;
  for (int y = 2; y < 26; ++y)
    for (int x = 20; x < 60; ++x)
      if (auto p = server->pixel(obj[5].client, x, y); p && ((*p >> 16) & 0xFF) < 0x60 && (*p & 0xFF) < 0x60) ++dark;
  EXPECT_GT(dark, 5) << "the caption OK drawn on the button";
  EXPECT_TRUE(demo->wait_for_line("done", 5s));
}

}  // namespace
