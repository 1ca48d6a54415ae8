// Forms that assembled macros build, on a private Xvfb: the controls show,
// typing goes into the text box, clicks run the buttons' bindings (seen in
// the caption they set), closing destroys the windows; a modal show keeps
// the form behind disabled but painted and returns the text typed.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

struct Win {
  int type = 0;
  Window frame = 0, client = 0;
};

class MacroForm : public ::testing::Test {
 protected:
  void start(const std::string& scenario) {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    demo = server->spawn({ZVX_DEMO_MACRO_FORM, ZVX_FORM_MACROS, scenario});
    ASSERT_TRUE(demo);
    for (auto line = demo->read_line(20s); line; line = demo->read_line(20s)) {
      if (*line == "ready") return;
      std::istringstream in(*line);
      std::string tag;
      int id = 0;
      Win w;
      in >> tag >> id >> w.type >> w.frame >> w.client;
      ASSERT_EQ("obj", tag) << *line;
      obj[id] = w;
    }
    FAIL() << "the macros' windows never became ready";
  }
  // The X focus on the top-level window holding w, as a window manager gives it.
  void focus_top(Window w) { ASSERT_TRUE(server->focus_top_level(w)); }
  unsigned long px(Window w, int x, int y) { return server->pixel(w, x, y).value_or(0xDEADBEEF); }
  unsigned long settled(Window w, int x, int y, unsigned long c) { return server->pixel_when(w, x, y, c, 3s); }
  std::string title(Window w) {
    char* name = nullptr;
    std::string s;
    if (XFetchName(server->display(), w, &name) && name) s = name;
    if (name) XFree(name);
    return s;
  }
  std::string title_becomes(Window w, const std::string& want) {
    std::string t = title(w);
    for (int i = 0; i < 150 && t != want; ++i) {
      std::this_thread::sleep_for(20ms);
      t = title(w);
    }
    return t;
  }
  // Pixels of the window darker than mid-grey (text drawn in it).
  int dark_pixels(Window w, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; y += 1)
      for (int x = x0; x < x1; x += 1)
        if (auto p = server->pixel(w, x, y); p && ((*p >> 16) & 0xFF) < 0x60 && (*p & 0xFF) < 0x60) ++n;
    return n;
  }
  bool is_root_child(Window w) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    Display* d = server->display();
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n);
    bool found = false;
    for (unsigned i = 0; i < n; ++i) found = found || kids[i] == w;
    if (kids) XFree(kids);
    return found;
  }
  bool viewable(Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(server->display(), w, &a) && a.map_state == IsViewable;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  std::map<int, Win> obj;
};

// Ids in the order the macros create them.
constexpr int kForm = 4, kText = 5, kOk = 6, kCancel = 7, kCheck = 8;

TEST_F(MacroForm, FormShowsTypesClicksAndCloses) {
  start("form");
  ASSERT_EQ(5u, obj.size());
  const int types[][2] = {{kForm, 2}, {kText, 3}, {kOk, 5}, {kCancel, 5}, {kCheck, 4}};
  for (auto [id, type] : types) {
    EXPECT_EQ(type, obj[id].type) << id;
    EXPECT_TRUE(viewable(obj[id].client)) << id;
  }
  const Window frame = obj[kForm].frame;
  EXPECT_EQ("Macro form", title(frame));
  // 400 x 200 pixels (6000 x 3000 twips at 15 twips a pixel), the controls
  // at their pixel places inside: button faces grey, the form's background
  // around them.
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(server->display(), obj[kForm].client, &a));
  EXPECT_EQ(400, a.width);
  EXPECT_EQ(200, a.height);
  ASSERT_TRUE(XGetWindowAttributes(server->display(), obj[kCancel].client, &a));
  EXPECT_EQ((std::pair{100, 50}), (std::pair{a.x, a.y}));
  EXPECT_EQ((std::pair{80, 28}), (std::pair{a.width, a.height}));
  const unsigned long face = 0xC0C0C0;
  EXPECT_EQ(face, settled(obj[kOk].client, 60, 14, face));
  EXPECT_EQ(face, px(obj[kCancel].client, 70, 14));
  const unsigned long back = px(obj[kForm].client, 300, 150);
  EXPECT_NE(face, back);
  EXPECT_NE(0u, back) << "the form paints its background";
  EXPECT_EQ(0, dark_pixels(obj[kText].client, 2, 2, 120, 22)) << "the text box starts empty";

  focus_top(frame);
  ASSERT_TRUE(server->click(obj[kText].client, 20, 12));
  ASSERT_TRUE(server->xdotool({"type", "--delay", "30", "hello"}));
  int dark = 0;
  for (int i = 0; i < 100 && dark == 0; ++i, std::this_thread::sleep_for(20ms))
    dark = dark_pixels(obj[kText].client, 2, 2, 120, 22);
  EXPECT_GT(dark, 10) << "the typed text shows in the text box";

  ASSERT_TRUE(server->click(obj[kOk].client, 40, 14));
  EXPECT_EQ("got:hello", title_becomes(frame, "got:hello")) << "OK's binding read the typed text";
  ASSERT_TRUE(XGetWindowAttributes(server->display(), obj[kCheck].client, &a));
  EXPECT_EQ((std::pair{200, 90}), (std::pair{a.x, a.y})) << "its left property moved the check box";
  EXPECT_EQ((std::pair{150, 22}), (std::pair{a.width, a.height})) << "its width property sized it";
  ASSERT_TRUE(server->click(obj[kCheck].client, 8, 11));
  EXPECT_EQ("check:1", title_becomes(frame, "check:1"));
  ASSERT_TRUE(server->click(obj[kCheck].client, 9, 11));
  EXPECT_EQ("check:0", title_becomes(frame, "check:0"));

  ASSERT_TRUE(is_root_child(frame));
  ASSERT_TRUE(server->click(obj[kCancel].client, 40, 14));
  auto gone = demo->wait_for_line("gone 4", 5s);
  EXPECT_TRUE(gone) << "Cancel's binding closed the form";
  for (int i = 0; i < 100 && is_root_child(frame); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(is_root_child(frame)) << "its window is destroyed";
}

TEST_F(MacroForm, WindowManagerCloseRunsTheFormsOnClose) {
  start("form");
  const Window frame = obj[kForm].frame;
  Display* d = server->display();
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = frame;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  ASSERT_TRUE(XSendEvent(d, frame, False, NoEventMask, &e));
  XSync(d, False);
  EXPECT_TRUE(demo->wait_for_line("gone 4", 5s)) << "ON-CLOSE's binding closed the form";
  for (int i = 0; i < 100 && is_root_child(frame); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(is_root_child(frame));
}

// Ids of the modal scenario.
constexpr int kBehind = 4, kLabel = 5, kPoke = 6, kModal = 7, kModalText = 8, kDone = 9;

TEST_F(MacroForm, ModalFormReturnsItsTextWhileTheFormBehindRepaints) {
  start("modal");
  ASSERT_EQ(6u, obj.size());
  const Window behind = obj[kBehind].frame;
  const Window label = obj[kLabel].client;
  const unsigned long red = 0xFF0000;  // back-colour 255 (0x00BBGGRR)
  ASSERT_EQ(red, settled(label, 100, 30, red));

  // The form behind is disabled while the modal form runs: Poke does nothing.
  ASSERT_TRUE(server->click(obj[kPoke].client, 40, 14));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ("Behind", title(behind));

  // A window over the label and gone again: the label is painted anew.
  Display* d = server->display();
  XSetWindowAttributes sa{};
  sa.override_redirect = True;
  sa.background_pixel = 0x00FF00;
  int lx = 0, ly = 0;
  Window child = 0;
  XTranslateCoordinates(d, label, DefaultRootWindow(d), 0, 0, &lx, &ly, &child);
  Window cover = XCreateWindow(d, DefaultRootWindow(d), lx, ly, 200, 60, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &sa);
  XMapRaised(d, cover);
  XSync(d, False);
  EXPECT_EQ(0x00FF00u, settled(cover, 100, 30, 0x00FF00)) << "the cover lies over the label";
  XDestroyWindow(d, cover);
  XSync(d, False);
  EXPECT_EQ(red, settled(label, 100, 30, red)) << "the modal loop kept the form behind painting";

  focus_top(obj[kModal].frame);
  ASSERT_TRUE(server->click(obj[kModalText].client, 20, 12));
  ASSERT_TRUE(server->xdotool({"type", "--delay", "30", "abc"}));
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(server->click(obj[kDone].client, 40, 14));
  EXPECT_EQ("result:abc", title_becomes(behind, "result:abc")) << "show_modal returned the text typed";
  EXPECT_TRUE(demo->wait_for_line("done", 5s)) << "the macro went on after the modal show";
  EXPECT_FALSE(is_root_child(obj[kModal].frame)) << "the modal form was closed";

  // Enabled again once the modal show ended.
  focus_top(behind);
  ASSERT_TRUE(server->click(obj[kPoke].client, 42, 14));
  EXPECT_EQ("poked", title_becomes(behind, "poked"));
}

}  // namespace
