// The MDI on a real X server: the MDI demo on a private Xvfb, driven with
// xdotool. Geometry is read back from the server (XGetGeometry, as xwininfo
// shows it), titles from WM_NAME, and decorations pixel by pixel at the
// coordinates their layout gives.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using xtest::ChildProgram;
using xtest::XvfbServer;

struct Child {
  int index = 0;
  Window frame = 0;
  char state = '?';
  int x = 0, y = 0, w = 0, h = 0;
  Window area = 0, title = 0, sysmenu = 0, min = 0, max = 0, holder = 0;
  unsigned long face = 0, light = 0, dark = 0;
};

struct MenuLine {
  unsigned id = 0;
  int checked = 0;
  std::string text;
};

struct Report {
  std::vector<Child> kids;
  std::vector<MenuLine> menu;  // the Window menu
  std::string title;
  int t = 0, b = 0, s = 0;
  int xerr = -1;
};

struct Geometry {
  int x = 0, y = 0;
  unsigned w = 0, h = 0;
  bool viewable = false;
};

class MdiX : public ::testing::Test {
 protected:
  void SetUp() override { start(); }

  void start(const std::vector<std::string>& before = {}) {
    std::string why;
    server = XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    if (!before.empty()) {
      wm = server->spawn(before, {});
      ASSERT_TRUE(wm);
      std::this_thread::sleep_for(500ms);
    }
    demo = server->spawn({ZVX_DEMO_MDI}, {});
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> frame >> client;
    first = read_report();
    ASSERT_EQ(first.kids.size(), 5u);
  }

  Report read_report() {
    Report r;
    for (;;) {
      auto line = demo->read_line(10s);
      if (!line) {
        ADD_FAILURE() << "no report";
        return r;
      }
      std::istringstream in(*line);
      std::string what;
      in >> what;
      if (what == "child") {
        Child c;
        in >> c.index >> c.frame >> c.state >> c.x >> c.y >> c.w >> c.h >> c.area >> c.title >> c.sysmenu >> c.min >>
            c.max >> c.holder >> c.face >> c.light >> c.dark;
        r.kids.push_back(c);
      } else if (what == "menu") {
        MenuLine m;
        in >> m.id >> m.checked;
        std::getline(in, m.text);
        if (!m.text.empty() && m.text[0] == ' ') m.text.erase(0, 1);
        r.menu.push_back(m);
      } else if (what == "title") {
        r.title = line->size() > 6 ? line->substr(6) : "";
      } else if (what == "metrics") {
        in >> r.t >> r.b >> r.s;
      } else if (what == "xerr") {
        in >> r.xerr;
        return r;
      } else {
        lines.push_back(*line);
      }
    }
  }

  // Types a command key into the active child and waits for "done <key>".
  bool command(const std::string& key) {
    if (!server->focus(frame)) return false;
    if (!server->keys({key})) return false;
    return wait_line("done " + key);
  }
  bool wait_line(const std::string& want, std::chrono::milliseconds timeout = 10s) {
    for (const auto& l : lines) {
      if (l == want) {
        lines.erase(std::find(lines.begin(), lines.end(), l));
        return true;
      }
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      auto line = demo->read_line(left);
      if (!line) return false;
      if (*line == want) return true;
      lines.push_back(*line);
    }
  }
  Report report() {
    EXPECT_TRUE(server->focus(frame));
    EXPECT_TRUE(server->keys({"w"}));
    Report r = read_report();
    EXPECT_TRUE(wait_line("done w"));
    return r;
  }

  Geometry geometry(Window w) {
    Display* d = server->display();
    XSync(d, False);
    Geometry g;
    Window root = 0;
    int x = 0, y = 0;
    unsigned w_ = 0, h_ = 0, bw = 0, depth = 0;
    XGetGeometry(d, w, &root, &x, &y, &w_, &h_, &bw, &depth);
    XWindowAttributes a{};
    XGetWindowAttributes(d, w, &a);
    g = {x, y, w_, h_, a.map_state == IsViewable};
    return g;
  }
  std::string wm_name(Window w) {
    Display* d = server->display();
    char* name = nullptr;
    std::string out;
    if (XFetchName(d, w, &name) && name) {
      out = name;
      XFree(name);
    }
    return out;
  }
  // Waits until the window's WM_NAME is `want`.
  std::string name_becomes(Window w, const std::string& want) {
    std::string got;
    for (int i = 0; i < 100; ++i) {
      got = wm_name(w);
      if (got == want) break;
      std::this_thread::sleep_for(20ms);
    }
    return got;
  }
  void root_of(Window w, int* x, int* y) {
    Window child = 0;
    XTranslateCoordinates(server->display(), w, DefaultRootWindow(server->display()), 0, 0, x, y, &child);
  }
  std::optional<unsigned long> settled(Window w, int x, int y, unsigned long want) {
    std::optional<unsigned long> got;
    for (int i = 0; i < 100 && got != want; ++i) {
      got = server->pixel(w, x, y);
      if (got != want) std::this_thread::sleep_for(20ms);
    }
    return got;
  }
  // Waits until the demo holds the keyboard grab (ours then fails).
  bool keyboard_grabbed() {
    Display* d = server->display();
    for (int i = 0; i < 200; ++i) {
      int r = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
      if (r == GrabSuccess) {
        XUngrabKeyboard(d, CurrentTime);
        XSync(d, False);
      } else {
        return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  std::unique_ptr<XvfbServer> server;
  std::unique_ptr<ChildProgram> wm;
  std::unique_ptr<ChildProgram> demo;
  Window frame = 0, client = 0;
  Report first;
  std::vector<std::string> lines;
};

TEST_F(MdiX, MaximiseMinimiseRestoreGiveTheGeometryAndTitles) {
  const Child c5 = first.kids[4];
  Geometry mc = geometry(client);
  EXPECT_EQ(name_becomes(frame, "App"), "App");
  ASSERT_TRUE(command("x"));
  Geometry g = geometry(c5.frame);
  EXPECT_EQ(g.x, -first.b);
  EXPECT_EQ(g.y, -(first.t + first.b));
  EXPECT_EQ(g.w, mc.w + 2 * first.b);
  EXPECT_EQ(g.h, mc.h + 2 * first.b + first.t);
  EXPECT_TRUE(g.viewable);
  // Only the client area shows: it sits at the MDI client's corner.
  int ax = 0, ay = 0, cx = 0, cy = 0;
  root_of(c5.area, &ax, &ay);
  root_of(client, &cx, &cy);
  EXPECT_EQ(ax, cx);
  EXPECT_EQ(ay, cy);
  EXPECT_EQ(name_becomes(frame, "App - child5"), "App - child5");

  ASSERT_TRUE(command("n"));
  EXPECT_FALSE(geometry(c5.frame).viewable);
  Geometry icon = geometry(c5.holder);
  EXPECT_TRUE(icon.viewable);
  EXPECT_EQ(icon.x, 10);
  EXPECT_EQ(icon.y, static_cast<int>(mc.h) - 80);
  EXPECT_EQ(name_becomes(frame, "App"), "App");
  Report r = report();
  EXPECT_EQ(r.kids[4].state, 'I');
  EXPECT_EQ(r.kids[3].state, 'N');

  ASSERT_TRUE(command("5"));
  ASSERT_TRUE(command("r"));
  g = geometry(c5.frame);
  EXPECT_EQ(g.x, c5.x);
  EXPECT_EQ(g.y, c5.y);
  EXPECT_EQ(g.w, static_cast<unsigned>(c5.w));
  EXPECT_EQ(g.h, static_cast<unsigned>(c5.h));
  EXPECT_TRUE(g.viewable);
  EXPECT_FALSE(geometry(c5.holder).viewable);
  EXPECT_EQ(wm_name(frame), "App");
  EXPECT_EQ(report().xerr, 0);
}

TEST_F(MdiX, TileGivesTwoColumnsOfTwoAndThreeAndCascadeStepsByZ) {
  Geometry mc = geometry(client);
  ASSERT_TRUE(command("t"));
  std::map<int, int> per_column;
  for (const Child& c : first.kids) {
    Geometry g = geometry(c.frame);
    ++per_column[g.x];
    EXPECT_EQ(g.w, mc.w / 2);
  }
  ASSERT_EQ(per_column.size(), 2u);
  EXPECT_EQ(per_column[0], 2);
  EXPECT_EQ(per_column[static_cast<int>(mc.w / 2)], 3);

  ASSERT_TRUE(command("c"));
  const int z = first.t + first.b;
  std::set<int> offsets;
  for (const Child& c : first.kids) {
    Geometry g = geometry(c.frame);
    EXPECT_EQ(g.x, g.y);
    EXPECT_EQ(g.w, mc.w * 27 / 40);
    EXPECT_EQ(g.h, mc.h * 27 / 40);
    offsets.insert(g.x);
  }
  EXPECT_EQ(offsets, (std::set<int>{0, z, 2 * z, 3 * z, 4 * z}));
}

TEST_F(MdiX, IconsFillCellsFromTheBottomLeft) {
  Geometry mc = geometry(client);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(command("n"));
  std::set<int> xs;
  for (const Child& c : first.kids) {
    Geometry g = geometry(c.holder);
    EXPECT_TRUE(g.viewable);
    EXPECT_EQ(g.y, static_cast<int>(mc.h) - 80);
    xs.insert(g.x);
  }
  EXPECT_EQ(xs, (std::set<int>{10, 80, 150, 220, 290}));
  Report r = report();
  for (const Child& c : r.kids) EXPECT_EQ(c.state, 'I');
}

TEST_F(MdiX, TwentyChildrenTiledInASmallClientKeepRunning) {
  ASSERT_TRUE(command("z"));
  Report r = report();
  ASSERT_EQ(r.kids.size(), 20u);
  // The Window menu: nine numbered entries, "More Windows..." once, the
  // active child (the last made) checked.
  int numbered = 0, more = 0;
  for (const MenuLine& m : r.menu) {
    if (m.text.size() > 3 && m.text[0] == '~' && m.text[1] >= '1' && m.text[1] <= '9') ++numbered;
    if (m.text == "~More Windows...") ++more;
    if (m.checked) {
      EXPECT_EQ(m.text, "~9  child20");
    }
  }
  EXPECT_EQ(numbered, 9);
  EXPECT_EQ(more, 1);
  EXPECT_EQ(r.xerr, 0);
  for (const Child& c : r.kids) {
    EXPECT_GE(c.w, 2 * r.b);
    EXPECT_GE(c.h, r.t + 2 * r.b + r.s);
    Geometry title = geometry(c.title);
    EXPECT_GE(title.w, 1u);
  }
  EXPECT_TRUE(demo->running());
}

// The active child (the app holds the focus): border ring, bevels, the
// button squares and the system-menu bar, at the layout's coordinates.
TEST_F(MdiX, DecorationsDrawAtTheirCoordinates) {
  Report r = report();  // after focusing: the active look
  const Child& c = r.kids[4];
  const Child& other = r.kids[0];
  EXPECT_NE(c.face, other.face) << "active and inactive looks differ";
  const int b = r.b, z = r.t + r.b;
  EXPECT_EQ(settled(c.frame, 2, c.h / 2, c.face), c.face) << "the ring";
  EXPECT_EQ(server->pixel(c.frame, 0, c.h / 2), c.light) << "outer left";
  EXPECT_EQ(server->pixel(c.frame, c.w / 2, 0), c.light) << "outer top";
  EXPECT_EQ(server->pixel(c.frame, c.w - 1, c.h / 2), c.dark) << "outer right";
  EXPECT_EQ(server->pixel(c.frame, c.w / 2, c.h - 1), c.dark) << "outer bottom";
  EXPECT_EQ(server->pixel(c.frame, z, 2), c.light) << "corner mark";
  EXPECT_EQ(server->pixel(c.frame, z - 1, 2), c.dark) << "the dark line before it";
  EXPECT_EQ(server->pixel(c.frame, 2, c.h - z), c.light);
  EXPECT_EQ(server->pixel(c.frame, b - 1, c.h / 2), c.dark) << "inner left";
  EXPECT_EQ(server->pixel(c.frame, c.w - b, c.h / 2), c.light) << "inner right";
  // Maximise button 20 x 20: a raised square of 12 from (4, 4).
  EXPECT_EQ(settled(c.max, 2, 2, c.face), c.face);
  EXPECT_EQ(server->pixel(c.max, 0, 10), c.light);
  EXPECT_EQ(server->pixel(c.max, 19, 10), c.dark);
  EXPECT_EQ(server->pixel(c.max, 4, 9), c.light) << "square left";
  EXPECT_EQ(server->pixel(c.max, 15, 9), c.dark) << "square right";
  EXPECT_EQ(server->pixel(c.max, 9, 15), c.dark) << "square bottom";
  EXPECT_EQ(server->pixel(c.max, 9, 5), c.face) << "inside the square";
  // Minimise: a square of 5 from (7, 7).
  EXPECT_EQ(server->pixel(c.min, 7, 9), c.light);
  EXPECT_EQ(server->pixel(c.min, 11, 9), c.dark);
  EXPECT_EQ(server->pixel(c.min, 4, 4), c.face) << "outside it";
  // Title bevel.
  Geometry tg = geometry(c.title);
  EXPECT_EQ(server->pixel(c.title, 0, 5), c.light);
  EXPECT_EQ(server->pixel(c.title, static_cast<int>(tg.w) - 1, 5), c.dark);
  EXPECT_EQ(server->pixel(c.title, 3, 3), c.face);
  // System menu: the solid bar of the active child, hollow for another.
  Display* d = server->display();
  unsigned long black = BlackPixel(d, DefaultScreen(d));
  EXPECT_EQ(server->pixel(c.sysmenu, 6, 9), black);
  EXPECT_EQ(server->pixel(other.sysmenu, 3, 8), black) << "the hollow bar's outline";
  EXPECT_NE(server->pixel(other.sysmenu, 6, 9), black) << "hollow inside";
}

TEST_F(MdiX, DraggingTheRightBorderResizesAndStopsAtTheMinimum) {
  const Child c = first.kids[4];
  int fx = 0, fy = 0;
  root_of(c.frame, &fx, &fy);
  auto drag = [&](int from_x, int to_x) {
    int y = fy + c.h / 2;
    // No --sync: the pointer may already be there.
    return server->xdotool({"mousemove", std::to_string(from_x), std::to_string(y)}) &&
           server->xdotool({"mousedown", "1"}) &&
           server->xdotool({"mousemove", std::to_string((from_x + to_x) / 2), std::to_string(y)}) &&
           server->xdotool({"mousemove", std::to_string(to_x), std::to_string(y)}) && server->xdotool({"mouseup", "1"});
  };
  ASSERT_TRUE(drag(fx + c.w - 2, fx + c.w + 38));
  std::this_thread::sleep_for(200ms);
  Report r = report();
  EXPECT_EQ(r.kids[4].w, c.w + 40);
  EXPECT_EQ(r.kids[4].x, c.x) << "the left edge stays";
  EXPECT_EQ(geometry(c.frame).w, static_cast<unsigned>(c.w + 40));
  // Far past the left edge: the frame stops at 2B.
  ASSERT_TRUE(drag(fx + c.w + 38, 0));
  std::this_thread::sleep_for(200ms);
  r = report();
  EXPECT_EQ(r.kids[4].w, 2 * r.b);
  EXPECT_EQ(geometry(c.frame).w, static_cast<unsigned>(2 * r.b));
  EXPECT_EQ(r.xerr, 0);
  EXPECT_TRUE(demo->running());
}

TEST_F(MdiX, DoubleClickOnTheTitleMaximisesAndOnTheSystemMenuCloses) {
  const Child c = first.kids[4];
  ASSERT_TRUE(server->xdotool({"mousemove", "--sync", "--window", std::to_string(c.title), "40", "10"}));
  ASSERT_TRUE(server->xdotool({"click", "--repeat", "2", "--delay", "120", "1"}));
  ASSERT_EQ(name_becomes(frame, "App - child5"), "App - child5");
  EXPECT_EQ(report().kids[4].state, 'M');
  ASSERT_TRUE(command("r"));
  const Child c4 = first.kids[3];
  ASSERT_TRUE(server->xdotool({"mousemove", "--sync", "--window", std::to_string(c4.sysmenu), "10", "10"}));
  // The first press opens the system menu; its release and a second click
  // within 500 ms choose Close. The first release waits until the menu is
  // up (the menu tracker can miss a release that comes while it starts).
  ASSERT_TRUE(server->xdotool({"mousedown", "1"}));
  ASSERT_TRUE(keyboard_grabbed());
  std::this_thread::sleep_for(150ms);
  ASSERT_TRUE(server->xdotool({"mouseup", "1"}));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(server->xdotool({"click", "1"}));
  EXPECT_TRUE(wait_line("closed child4"));
  Report r = report();
  ASSERT_EQ(r.kids.size(), 4u);
  for (const Child& k : r.kids) EXPECT_NE(k.frame, c4.frame);
}

// A click on the system-menu button opens the child's system menu; its
// mnemonic maximises the child.
TEST_F(MdiX, SystemMenuOpensUnderItsButtonAndItsCommandsReachTheChild) {
  const Child c = first.kids[4];
  ASSERT_TRUE(server->click(c.sysmenu, 10, 10));
  ASSERT_TRUE(keyboard_grabbed()) << "the menu is open";
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(server->keys({"x"}));
  EXPECT_EQ(name_becomes(frame, "App - child5"), "App - child5");
  Report r = report();
  EXPECT_EQ(r.kids[4].state, 'M');
  EXPECT_EQ(r.xerr, 0);
}

TEST_F(MdiX, KeyboardSizingPicksASideThenACornerAndEscapeRestores) {
  const Child c = first.kids[4];
  ASSERT_TRUE(command("k"));
  ASSERT_TRUE(keyboard_grabbed());
  ASSERT_TRUE(server->keys({"Right", "Right", "Return"}));
  std::this_thread::sleep_for(300ms);
  Report r = report();
  EXPECT_EQ(r.kids[4].w, c.w + 5) << "right edge, then one step of 5";
  EXPECT_EQ(r.kids[4].h, c.h);

  ASSERT_TRUE(command("k"));
  ASSERT_TRUE(keyboard_grabbed());
  ASSERT_TRUE(server->keys({"Right", "Right", "Right", "Escape"}));
  std::this_thread::sleep_for(300ms);
  r = report();
  EXPECT_EQ(r.kids[4].w, c.w + 5) << "Escape leaves the frame as it was";

  // The bottom, then Right picks the bottom-right corner; both edges move.
  ASSERT_TRUE(command("k"));
  ASSERT_TRUE(keyboard_grabbed());
  ASSERT_TRUE(server->keys({"Down", "Right", "Right", "Down", "Return"}));
  std::this_thread::sleep_for(300ms);
  r = report();
  EXPECT_EQ(r.kids[4].w, c.w + 10);
  EXPECT_EQ(r.kids[4].h, c.h + 5);
  EXPECT_EQ(r.kids[4].x, c.x);
  EXPECT_EQ(r.kids[4].y, c.y);
  EXPECT_EQ(r.xerr, 0);
}

TEST_F(MdiX, DraggingTheTitleMovesTheFrameAndDraggingAnIconMovesTheIcon) {
  const Child c = first.kids[4];
  int tx = 0, ty = 0;
  root_of(c.title, &tx, &ty);
  auto drag = [&](int x0, int y0, int dx, int dy) {
    return server->xdotool({"mousemove", "--sync", std::to_string(x0), std::to_string(y0)}) &&
           server->xdotool({"mousedown", "1"}) &&
           server->xdotool({"mousemove", std::to_string(x0 + dx / 2), std::to_string(y0 + dy / 2)}) &&
           server->xdotool({"mousemove", std::to_string(x0 + dx), std::to_string(y0 + dy)}) &&
           server->xdotool({"mouseup", "1"});
  };
  ASSERT_TRUE(drag(tx + 40, ty + 10, 30, 20));
  std::this_thread::sleep_for(200ms);
  Geometry g = geometry(c.frame);
  EXPECT_EQ(g.x, c.x + 30);
  EXPECT_EQ(g.y, c.y + 20);
  EXPECT_EQ(g.w, static_cast<unsigned>(c.w)) << "a move keeps the size";
  // Minimised, its icon moves the same way.
  ASSERT_TRUE(command("n"));
  Geometry icon = geometry(c.holder);
  int ix = 0, iy = 0;
  root_of(c.holder, &ix, &iy);
  ASSERT_TRUE(drag(ix + 20, iy + 20, 100, -50));
  std::this_thread::sleep_for(200ms);
  Geometry moved = geometry(c.holder);
  EXPECT_EQ(moved.x, icon.x + 100);
  EXPECT_EQ(moved.y, icon.y - 50);
  EXPECT_EQ(report().xerr, 0);
}

class MdiTwm : public MdiX {
 protected:
  void SetUp() override { start({"twm"}); }
};

TEST_F(MdiTwm, DeleteWindowFromTheManagerReachesTheFrameClosePath) {
  Display* d = server->display();
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = frame;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, frame, False, NoEventMask, &e);
  XSync(d, False);
  EXPECT_TRUE(wait_line("frameclose"));
  EXPECT_TRUE(demo->running());
}

}  // namespace
