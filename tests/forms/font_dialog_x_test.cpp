// The font dialog opened by choose_font from an assembled macro, on a
// private Xvfb: a face chosen with the keyboard, a size typed and bold
// ticked come back as the font text on OK; Escape gives the empty text.
// The macro shows what it got as the caption of a form it makes after.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

const std::string kMacros = std::string(ZVX_TEST_DATA_DIR) + "/forms/data/font_dialog.e";

class FontDialogX : public ::testing::Test {
 protected:
  void open(const std::string& font) {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    demo = server->spawn({ZVX_DEMO_MACRO_FORM, kMacros, font});
    ASSERT_TRUE(demo);
    frame = server->wait_for_class("Halvorn", "Font", 20s);
    ASSERT_NE(frame, 0u) << "no window titled Font";
    client = sized(frame, 460, 300);
    ASSERT_NE(client, 0u);
    // The face list's white box once the dialog has painted.
    ASSERT_EQ(server->pixel_when(client, 200, 150, 0xFFFFFF, 10s), 0xFFFFFFu);
    ASSERT_TRUE(server->focus_top_level(client));
  }
  // The descendant of w with that size.
  Window sized(Window w, int width, int height) {
    Display* d = server->display();
    XWindowAttributes a{};
    if (XGetWindowAttributes(d, w, &a) && a.width == width && a.height == height) return w;
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &kids, &n))
      for (unsigned i = 0; i < n && !found; ++i) found = sized(kids[i], width, height);
    if (kids) XFree(kids);
    return found;
  }
  int count(Window w, int x0, int y0, int x1, int y1, bool (*want)(unsigned long)) {
    int k = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; x += 2)
        if (auto p = server->pixel(w, x, y); p && want(*p)) ++k;
    return k;
  }
  // The caption of the form the macro makes with the answer.
  std::string answer() {
    for (auto line = demo->read_line(20s); line; line = demo->read_line(20s)) {
      std::istringstream in(*line);
      std::string tag;
      int id = 0, type = 0;
      unsigned long f = 0, c = 0;
      in >> tag >> id >> type >> f >> c;
      if (tag == "error") ADD_FAILURE() << *line;
      if (tag != "obj" || type != 2) continue;
      char* name = nullptr;
      std::string s;
      for (int i = 0; i < 100 && s.empty(); ++i) {
        if (XFetchName(server->display(), f, &name) && name) s = name;
        if (name) XFree(name), name = nullptr;
        if (s.empty()) std::this_thread::sleep_for(20ms);
      }
      return s;
    }
    return "(no form)";
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  Window frame = 0, client = 0;
};

bool navy(unsigned long p) { return p == 0x000080; }
bool dark(unsigned long p) { return ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60; }

TEST_F(FontDialogX, AFaceChosenWithTheKeyboardComesBackOnOk) {
  open("nosuchface,12");
  EXPECT_EQ(count(client, 11, 27, 229, 185, navy), 0) << "a face the server lacks chooses no row";
  ASSERT_TRUE(server->keys({"b"}));
  int rows = 0;
  for (int i = 0; i < 100 && rows == 0; ++i) {
    std::this_thread::sleep_for(30ms);
    rows = count(client, 11, 27, 229, 185, navy);
  }
  EXPECT_GT(rows, 0) << "the face typed is chosen in the list";
  ASSERT_TRUE(server->keys({"Tab", "1", "4", "Tab", "space", "Return"}));
  const std::string got = answer();
  std::smatch m;
  ASSERT_TRUE(std::regex_match(got, m, std::regex("font:(b[^,]*),14,1"))) << got;
  // The face is one of the server's.
  int n = 0;
  char** names = XListFonts(server->display(), ("-" + m[1].str() + "-*").c_str(), 1, &n);
  if (names) XFreeFontNames(names);
  EXPECT_GT(n, 0) << m[1].str();
}

TEST_F(FontDialogX, EscapeGivesTheEmptyText) {
  open("adobe-courier,12,1");
  // The sample line drawn in the font: ink inside its white frame.
  int ink = 0;
  for (int i = 0; i < 100 && ink < 20; ++i) {
    ink = count(client, 12, 208, 448, 284, dark);
    if (ink < 20) std::this_thread::sleep_for(30ms);
  }
  EXPECT_GE(ink, 20) << "the sample is drawn";
  EXPECT_GT(count(client, 11, 27, 229, 185, navy), 0) << "the initial face is chosen";
  ASSERT_TRUE(server->keys({"Escape"}));
  EXPECT_EQ(answer(), "font:");
}

}  // namespace
