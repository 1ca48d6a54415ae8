// F1 in the editor: the real zorvex program on a private X server shows its
// own help file in a window of its own, a click on a link follows it, and
// Esc (or closing the window) gives the keys back to the editor, which goes
// on editing. Checked by the windows on the server and their pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/editor_x_fixture.h"
#include "tests/temp_dir.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using editor_x::slurp;

constexpr unsigned long kLinkGreen = 0x008000;  // link runs on the help's white paper
constexpr unsigned long kHighlight = 0xFF00FF;  // the highlighted link, on black

// The pixels of a window as the screen shows them (its children included).
struct Shot {
  int w = 0, h = 0;
  std::vector<unsigned long> px;
  unsigned long at(int x, int y) const { return px[static_cast<size_t>(y * w + x)]; }
  int count(unsigned long colour) const {
    int n = 0;
    for (unsigned long p : px) n += p == colour;
    return n;
  }
};

class HelpKeyX : public editor_x::EditorXFixture {
 protected:
  HelpKeyX() : EditorXFixture("zvx-help") {}

  void SetUp() override {
    EditorXFixture::SetUp();
    if (HasFatalFailure()) return;
    path_ = dir_ / "notes.txt";
    {
      std::ofstream f(path_);
      f << "first\n";
    }
    spawn_editor({path_});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(server_->focus(frame_));
  }

  // These checks poll every 20 ms.
  static bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit = 10s) {
    return editor_x::eventually(cond, limit, 20ms);
  }

  bool viewable(Window w) {
    XWindowAttributes a{};
    return w && XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable;
  }
  // A shown top-level window of the editor's class other than its frame:
  // the help window. 0 when there is none.
  Window help_window() {
    XSync(d_, False);
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &kids, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
      if (kids[i] == frame_ || !viewable(kids[i])) continue;
      XClassHint hint{};
      if (XGetClassHint(d_, kids[i], &hint)) {
        if (hint.res_class && std::string(hint.res_class) == "Halvorn") found = kids[i];
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
      }
    }
    if (kids) XFree(kids);
    return found;
  }
  std::string title(Window w) { return server_->title(w); }
  Shot shot(Window w) {
    Shot s;
    XSync(d_, False);
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d_, w, &a)) return s;
    XImage* im =
        XGetImage(d_, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!im) return s;
    s.w = a.width;
    s.h = a.height;
    s.px.resize(static_cast<size_t>(s.w * s.h));
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) s.px[static_cast<size_t>(y * s.w + x)] = XGetPixel(im, x, y) & 0xFFFFFF;
    XDestroyImage(im);
    return s;
  }
  // F1, then the help window once it shows its topic (link-green pixels).
  Window open_help() {
    if (!server_->keys({"F1"})) return 0;
    Window w = 0;
    if (!eventually([&] { return (w = help_window()) != 0 && shot(w).count(kLinkGreen) > 50; })) return 0;
    return w;
  }
  // The shot once two reads in a row agree (painting has settled).
  Shot settled(Window w) {
    Shot a = shot(w), b;
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(60ms);
      b = shot(w);
      if (b.px == a.px) return b;
      a = b;
    }
    return b;
  }
  // Types into the editor and saves; true when the file holds `want`.
  bool editor_still_edits(const std::string& typed, const std::string& want) {
    if (!server_->xdotool({"type", "--delay", "5", typed})) return false;
    if (!server_->keys({"ctrl+s"})) return false;
    return eventually([&] { return slurp(path_) == want; });
  }
  // Runs a command typed into the command line; the help window it shows.
  Window run_command(const std::string& command) {
    if (!click_command_line()) return 0;
    if (!type(command) || !keys({"Return"})) return 0;
    Window w = 0;
    if (!eventually([&] { return (w = help_window()) != 0 && shot(w).count(kLinkGreen) > 0; })) return 0;
    return w;
  }
  bool close_help() {
    return server_->keys({"Escape"}) && eventually([&] { return help_window() == 0; });
  }

  std::string path_;
};

TEST_F(HelpKeyX, F1ShowsTheContentsAClickFollowsALinkAndEscReturnsToTheEditor) {
  const Window help = open_help();
  ASSERT_NE(help, 0u) << "F1 showed no help window";
  EXPECT_EQ("Zorvex", title(help));
  // The help window lies in the lower right part of the 1024 x 768 screen,
  // 15 per cent of each side in from the left and the top.
  int x = 0, y = 0;
  Window child = 0;
  ASSERT_TRUE(XTranslateCoordinates(d_, help, DefaultRootWindow(d_), 0, 0, &x, &y, &child));
  EXPECT_EQ(2 * 153, x);
  EXPECT_EQ(2 * 115, y);
  const Shot contents = settled(help);
  ASSERT_GT(contents.count(0xFFFFFF), contents.w * contents.h / 3) << "the help's white paper";
  // The first link-green pixel from the top is the first link of the
  // contents; a click there follows it and another topic shows.
  int lx = -1, ly = -1;
  for (int yy = 0; yy < contents.h && lx < 0; ++yy)
    for (int xx = 0; xx < contents.w; ++xx)
      if (contents.at(xx, yy) == kLinkGreen) {
        lx = xx + 2;
        ly = yy + 3;
        break;
      }
  ASSERT_GE(lx, 0);
  ASSERT_TRUE(server_->click(help, lx, ly));
  ASSERT_TRUE(eventually([&] { return shot(help).px != contents.px; })) << "the click changed nothing";
  const Shot followed = settled(help);
  EXPECT_NE(contents.px, followed.px);
  // Esc closes the help and the keys go to the editor again.
  ASSERT_TRUE(server_->keys({"Escape"}));
  ASSERT_TRUE(eventually([&] { return help_window() == 0; })) << "Esc left the help window up";
  EXPECT_TRUE(editor_->running());
  ASSERT_TRUE(editor_still_edits("ok ", "ok first\n"));
  // F1 again: the contents as they were before the link was followed.
  const Window again = open_help();
  ASSERT_NE(again, 0u);
  const Shot second = settled(again);
  EXPECT_EQ(contents.px, second.px);
}

TEST_F(HelpKeyX, KeysFollowLinksAndScrollAndClosingTheWindowReturnsToTheEditor) {
  const Window help = open_help();
  ASSERT_NE(help, 0u);
  const Shot contents = settled(help);
  EXPECT_EQ(0, contents.count(kHighlight));
  // Tab highlights the first link, Enter follows it.
  ASSERT_TRUE(server_->keys({"Tab"}));
  ASSERT_TRUE(eventually([&] { return shot(help).count(kHighlight) > 20; })) << "Tab highlighted no link";
  ASSERT_TRUE(server_->keys({"Return"}));
  ASSERT_TRUE(eventually([&] { return shot(help).count(kHighlight) == 0; })) << "Enter did not follow the link";
  EXPECT_NE(contents.px, settled(help).px);
  // Made lower than its topic (as a user sizes it), the window lays the
  // topic out again; PgDn then moves the text up, Home brings the first
  // page back exactly.
  XResizeWindow(d_, help, 420, 200);
  XFlush(d_);
  ASSERT_TRUE(eventually([&] {
    XWindowAttributes a{};
    return XGetWindowAttributes(d_, help, &a) && a.height == 200;
  }));
  const Shot top = settled(help);
  ASSERT_TRUE(server_->keys({"Next"}));
  ASSERT_TRUE(eventually([&] { return shot(help).px != top.px; })) << "PgDn did not scroll";
  ASSERT_TRUE(server_->keys({"Home"}));
  ASSERT_TRUE(eventually([&] { return settled(help).px == top.px; })) << "Home did not go back to the top";
  // Closed as a window manager closes it: WM_DELETE_WINDOW.
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = help;
  ev.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d_, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(d_, help, False, NoEventMask, &ev);
  XFlush(d_);
  ASSERT_TRUE(eventually([&] { return help_window() == 0; })) << "closing left the help window up";
  EXPECT_TRUE(editor_->running());
  ASSERT_TRUE(editor_still_edits("x", "xfirst\n"));
}

// The command help-on shows a keyword's place: "menus" shows what following
// the contents' sixth link (Menus) shows; a keyword the help does not know
// shows the contents.
TEST_F(HelpKeyX, HelpOnAKeywordShowsItsPlaceAndAnUnknownOneTheContents) {
  Window help = open_help();
  ASSERT_NE(help, 0u);
  const Shot contents = settled(help);
  ASSERT_TRUE(server_->keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab"}));
  ASSERT_TRUE(eventually([&] { return shot(help).count(kHighlight) > 20; }));
  ASSERT_TRUE(server_->keys({"Return"}));
  ASSERT_TRUE(eventually([&] { return shot(help).count(kHighlight) == 0; }));
  const Shot menus = settled(help);
  ASSERT_NE(contents.px, menus.px);
  ASSERT_TRUE(close_help());
  help = run_command("help-on menus");
  ASSERT_NE(help, 0u) << "help-on showed no help";
  EXPECT_EQ(menus.px, settled(help).px);
  ASSERT_TRUE(close_help());
  help = run_command("help-on no-such-subject");
  ASSERT_NE(help, 0u);
  EXPECT_EQ(contents.px, settled(help).px);
  ASSERT_TRUE(close_help());
  ASSERT_TRUE(editor_still_edits("z", "zfirst\n"));
}

}  // namespace
