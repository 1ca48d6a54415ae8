// Menus on a private Xvfb: the menu demo driven by xdotool (keys, clicks),
// checked by the commands it reports, the layout it reports and pixels read
// back. Windows of the test's own stand under the menus so that what a
// closed menu leaves behind can be compared pixel for pixel.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int cx() const { return (left + right) / 2; }
  int cy() const { return (top + bottom) / 2; }
};

struct Select {
  long id = 0;
  int x = 0, y = 0, w = 0, h = 0;
  unsigned long xwin = 0;
};

// The demo frame stands at (20, 20), 400 x 300; the context menu opens at
// (600, 400), away from it.
constexpr int kContextX = 600, kContextY = 400;

class MenuDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    d = server->display();
    demo = server->spawn({ZVX_DEMO_MENUS});
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> frame >> client >> font_name;
    ASSERT_TRUE(server->focus(frame));
    ASSERT_TRUE(server->keys({"l"}));
    auto bar = line("bar ");
    ASSERT_TRUE(bar);
    bar_height = std::stoi(bar->substr(4));
    bar_items = read_bar_items();
    ASSERT_EQ(bar_items.size(), 4u);
  }

  std::optional<std::string> line(const std::string& prefix, std::chrono::milliseconds timeout = 10s) {
    return demo->wait_for_line(prefix, timeout, &log);
  }

  std::map<long, Rect> read_bar_items() {
    std::map<long, Rect> items;
    while (auto l = demo->read_line(500ms)) {
      std::istringstream in(*l);
      std::string what;
      long id = 0;
      Rect r;
      if (in >> what >> id >> r.left >> r.top >> r.right >> r.bottom && what == "baritem") items[id] = r;
    }
    return items;
  }

  // The next line of one of `kinds`; other lines are read past (the items
  // of a newly highlighted menu are collected on the way).
  std::optional<std::string> next_of(std::initializer_list<std::string> kinds, std::chrono::milliseconds t = 10s) {
    auto deadline = std::chrono::steady_clock::now() + t;
    while (std::chrono::steady_clock::now() < deadline) {
      auto l = demo->read_line(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now() + 1ms));
      if (!l) return std::nullopt;
      log.push_back(*l);
      std::istringstream in(*l);
      std::string what;
      in >> what;
      if (what == "item") {
        long id = 0;
        Rect r;
        in >> id >> r.left >> r.top >> r.right >> r.bottom;
        items[id] = r;
      }
      if (what == "select") {
        Select s;
        in >> s.id >> s.x >> s.y >> s.w >> s.h >> s.xwin;
        selects.push_back(s);
      }
      for (const auto& k : kinds)
        if (what == k) return l;
    }
    return std::nullopt;
  }

  // Waits for the highlight of item `id`.
  std::optional<Select> select_of(long id) {
    while (auto l = next_of({"select"})) {
      if (selects.back().id == id) return selects.back();
    }
    return std::nullopt;
  }

  // Waits for the end of tracking and what it posted: "command 102",
  // "none" when nothing came within a short while after the end.
  std::string outcome(unsigned* beeps = nullptr) {
    auto end = next_of({"end"});
    if (!end) return "no end";
    if (beeps) *beeps = static_cast<unsigned>(std::stoul(end->substr(4)));
    auto l = next_of({"command", "syscommand", "help"}, 700ms);
    return l ? *l : "none";
  }

  void keys(std::initializer_list<std::string> ks) {
    for (const auto& k : ks) {
      ASSERT_TRUE(server->keys({k})) << k;
      std::this_thread::sleep_for(30ms);  // each key after the previous one's drawing
    }
  }

  bool mouse(const std::vector<std::string>& args) { return server->xdotool(args); }
  bool move_to(int x, int y) { return mouse({"mousemove", "--sync", std::to_string(x), std::to_string(y)}); }
  bool click_at(int x, int y, int button = 1) { return move_to(x, y) && mouse({"click", std::to_string(button)}); }

  unsigned long root_pixel(int x, int y) {
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return ~0ul;
    unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return p;
  }

  // An override-redirect window of the test's own with no background: the
  // server never repaints it, so whatever covers it and leaves stays.
  Window pattern_window(int x, int y, int w, int h) {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixmap = None;
    Window win = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                               CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixmap, &a);
    XSelectInput(d, win, ExposureMask);
    XMapRaised(d, win);
    XEvent ev;
    XWindowEvent(d, win, ExposureMask, &ev);
    GC gc = XCreateGC(d, win, 0, nullptr);
    for (int i = 0; i < w; i += 3) {
      XSetForeground(d, gc, (static_cast<unsigned long>(i * 37) & 0xFF) << 16 | 0x00FF00 * (i % 2) | 0x55);
      XDrawLine(d, win, gc, i, 0, i + h / 2, h);
      XDrawLine(d, win, gc, i + 1, 0, i + 1, h);
    }
    XFreeGC(d, gc);
    XSync(d, False);
    return win;
  }

  std::vector<unsigned long> grab_pixels(Window w, int width, int height) {
    std::vector<unsigned long> out;
    XImage* img =
        XGetImage(d, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!img) return out;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.push_back(XGetPixel(img, x, y));
    XDestroyImage(img);
    return out;
  }

  int row_height() const { return bar_items.begin()->second.bottom - bar_items.begin()->second.top; }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  Display* d = nullptr;
  Window frame = 0, client = 0;
  std::string font_name;
  int bar_height = 0;
  std::map<long, Rect> bar_items;
  std::map<long, Rect> items;
  std::vector<Select> selects;
  std::vector<std::string> log;
};

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

TEST_F(MenuDemo, KeysInTheMenuBarChooseTheItemsTheTableSays) {
  struct Case {
    std::vector<std::string> keys;
    std::string outcome;
    const char* why;
  };
  const Case cases[] = {
      {{"F10", "Down", "Down", "Return"}, "command 102", "Down opens File on New, Down moves to the second item"},
      {{"F10", "Right", "Down", "Return"}, "command 201", "Right on the bar moves to Edit; Down opens it"},
      {{"F10", "Left", "Down", "Return"}, "command 401", "Left on the first bar item wraps to Help"},
      {{"F10", "Down", "Right", "Return"}, "command 201", "Right on a plain item opens the next bar item"},
      {{"F10", "Down", "Left", "Return"}, "command 401", "Left at the first level opens the previous bar item"},
      {{"F10", "Down", "Down", "Down", "Right", "Down", "Return"}, "command 112", "Right opens the Recent cascade"},
      {{"F10", "Down", "Down", "Down", "Right", "Left", "Down", "Return"},
       "none",
       "Left in the cascade goes back to Recent; Down reaches the disabled item, which chooses nothing"},
      {{"F10", "Down", "Up", "Return"}, "command 104", "Up from the first item wraps to the last"},
      {{"alt+f", "o"}, "command 102", "Alt with a mnemonic opens the bar item; a letter chooses"},
      {{"alt+e", "r"}, "command 202", "the mnemonic compares without case"},
      {{"alt+e", "t"}, "syscommand 204", "an item of flag 32 sends the system command"},
      {{"alt+f", "r", "t"}, "command 112", "a mnemonic opens a cascade as a click would"},
      {{"F10", "ctrl+k", "ctrl+k", "Return"}, "command 102", "Ctrl+K is Down"},
      {{"F10", "Down", "Down", "F1"}, "help 102", "F1 ends with help on the current item"},
      {{"F10", "Escape"}, "none", "Escape on the bar ends"},
      {{"alt", "Down", "Return"}, "command 101", "Alt pressed and released alone opens the bar"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    for (const auto& k : c.keys) keys({k});
    if (c.outcome == "none" && c.keys.back() != "Escape") keys({"Escape", "Escape", "Escape"});
    EXPECT_EQ(outcome(), c.outcome) << joined(log);
    log.clear();
  }
}

TEST_F(MenuDemo, ADisabledItemRingsTheBellAndTrackingGoesOn) {
  // New, Up wraps to Exit, Up to Disabled: Return rings; then Up, Up to
  // Open (the separator is skipped) and Return chooses it.
  keys({"F10", "Down", "Up", "Up", "Return", "Up", "Up", "Return"});
  unsigned beeps = 0;
  EXPECT_EQ(outcome(&beeps), "command 102") << joined(log);
  EXPECT_EQ(beeps, 1u);
}

TEST_F(MenuDemo, AContextMenuTrackedFromTheKeyboard) {
  struct Case {
    std::vector<std::string> keys;
    std::string outcome;
    const char* why;
  };
  const Case cases[] = {
      {{"Down", "Down", "Return"}, "command 503", "the first item starts highlighted"},
      {{"Return"}, "command 501", "Return clicks the highlighted item"},
      {{"Up", "Up", "Return"}, "command 503", "Up wraps from the first item to the last"},
      {{"b"}, "command 502", "a mnemonic letter"},
      {{"x"}, "none", "a letter without an item rings the bell; Escape ends"},
      {{"Up", "Right", "Down", "Return"}, "command 512", "Right opens the cascade on its first item"},
      {{"Up", "Right", "Escape", "Down", "Return"}, "command 501", "Escape in the cascade closes only the cascade"},
      {{"Up", "space"}, "none", "space opens the cascade; two Escapes end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    keys({"p"});
    ASSERT_TRUE(select_of(501)) << joined(log);
    for (const auto& k : c.keys) keys({k});
    if (c.outcome == "none") keys({"Escape", "Escape"});
    EXPECT_EQ(outcome(), c.outcome) << joined(log);
    log.clear();
  }
}

TEST_F(MenuDemo, MenuBarAndPopupsAreLaidOutByTheirRules) {
  // One row: the bar is the row height and 4; items are their text + 12.
  XFontStruct* fs = XLoadQueryFont(d, font_name.c_str());
  ASSERT_TRUE(fs) << font_name;
  auto tw = [&](const char* s) { return XTextWidth(fs, s, static_cast<int>(std::string(s).size())); };
  const int r = row_height();
  EXPECT_EQ(bar_height, r + 4);
  const char* names[] = {"File", "Edit", "View", "Help"};
  int x = bar_items.at(100).left;
  for (long id = 100, i = 0; id <= 400; id += 100, ++i) {
    const Rect& it = bar_items.at(id);
    EXPECT_EQ(it.left, x) << names[i];
    EXPECT_EQ(it.right - it.left, tw(names[i]) + 12) << names[i];
    x = it.right;
  }

  // The File pull-down: under its bar item, as wide as its widest need.
  keys({"F10", "Down"});
  auto s = select_of(101);
  ASSERT_TRUE(s) << joined(log);
  int need = std::max(
      {tw("New") + tw("Ctrl+N") + 70, tw("Open") + 40, tw("Recent") + 15 + 70, tw("Disabled") + 40, tw("Exit") + 40});
  EXPECT_EQ(s->w, need + 4);
  EXPECT_EQ(s->h, 5 * r + 2 + 4) << "five rows and a separator";
  EXPECT_EQ(s->x, bar_items.at(100).left);
  EXPECT_EQ(s->y, bar_items.at(100).bottom);
  Window root = 0;
  int gx = 0, gy = 0;
  unsigned gw = 0, gh = 0, border = 0, depth = 0;
  ASSERT_TRUE(XGetGeometry(d, s->xwin, &root, &gx, &gy, &gw, &gh, &border, &depth));
  EXPECT_EQ(std::vector<int>({gx, gy, static_cast<int>(gw), static_cast<int>(gh)}),
            std::vector<int>({s->x, s->y, s->w, s->h}))
      << "the X window is the menu's rectangle";
  // The highlighted first item is drawn inverted, the second is not.
  const Rect& first = items.at(101);
  const Rect& second = items.at(102);
  unsigned long hi = root_pixel(first.right - 3, first.top + 2);
  unsigned long lo = root_pixel(second.right - 3, second.top + 2);
  EXPECT_NE(hi, lo);
  EXPECT_EQ(lo, 0xC0C0C0ul) << "the menu colour";
  keys({"Escape", "Escape"});
  EXPECT_EQ(outcome(), "none");
  XFreeFont(d, fs);
}

TEST_F(MenuDemo, ANarrowBarWrapsItsItemsOntoMoreRows) {
  struct Case {
    const char* key;
    int width;
  };
  for (Case c : {Case{"n", 130}, Case{"w", 400}}) {
    SCOPED_TRACE(c.key);
    keys({c.key});
    std::this_thread::sleep_for(300ms);
    keys({"l"});
    auto bar = line("bar ");
    ASSERT_TRUE(bar);
    auto rows = read_bar_items();
    ASSERT_EQ(rows.size(), 4u);
    int x0 = 20, limit = x0 + c.width - 2, r = row_height();
    std::map<int, std::vector<Rect>> by_row;
    for (auto& [id, it] : rows) by_row[it.top].push_back(it);
    int row = 0;
    for (auto& [top, its] : by_row) {
      EXPECT_EQ(top, 20 + 2 + row * r);
      EXPECT_EQ(its.front().left, x0 + 2) << "each row starts at the bar's left";
      for (size_t i = 1; i < its.size(); ++i) EXPECT_LE(its[i].right, limit) << "only a row's first item may pass";
      ++row;
    }
    EXPECT_EQ(std::stoi(bar->substr(4)), row * r + 4) << "one row height more per row";
    EXPECT_EQ(row, c.width == 130 ? 2 : 1);
    // The client starts under the bar.
    Window child = 0;
    int cx = 0, cy = 0;
    XTranslateCoordinates(d, client, DefaultRootWindow(d), 0, 0, &cx, &cy, &child);
    EXPECT_EQ(cy, 20 + row * r + 4);
  }
}

TEST_F(MenuDemo, AFrameShowsTheMenuItIsGivenAndNoneWhenTakenAway) {
  auto client_top = [&] {
    Window child = 0;
    int cx = 0, cy = 0;
    XTranslateCoordinates(d, client, DefaultRootWindow(d), 0, 0, &cx, &cy, &child);
    return cy;
  };
  EXPECT_EQ(client_top(), 20 + bar_height);
  keys({"h"});
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(client_top(), 20) << "the client takes the bar's place";
  keys({"F10", "Down", "Return"});
  EXPECT_FALSE(next_of({"end"}, 700ms)) << "no bar, no menu";
  keys({"m"});
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(client_top(), 20 + bar_height);
  keys({"F10", "Down", "Return"});
  EXPECT_EQ(outcome(), "command 101") << joined(log);
}

TEST_F(MenuDemo, AMenuUnderAnExcludedWindowAndADoubleClickOnIt) {
  Window child = 0;
  int cx = 0, cy = 0;
  XTranslateCoordinates(d, client, DefaultRootWindow(d), 0, 0, &cx, &cy, &child);
  XWindowAttributes wa{};
  ASSERT_TRUE(XGetWindowAttributes(d, client, &wa));
  keys({"x"});
  auto s = select_of(501);
  ASSERT_TRUE(s) << joined(log);
  EXPECT_EQ(s->x, cx + 10) << "moved right by dx";
  EXPECT_EQ(s->y, cy + wa.height) << "under the excluded window";
  // A single click on the excluded window keeps the menu; a double click
  // chooses the repeat item.
  ASSERT_TRUE(click_at(cx + 100, cy + 100));
  EXPECT_FALSE(next_of({"end"}, 700ms)) << joined(log);
  ASSERT_TRUE(mouse({"click", "--repeat", "2", "--delay", "80", "1"}));
  EXPECT_EQ(outcome(), "command 501") << joined(log);
}

TEST_F(MenuDemo, TheMouseOpensMenusAndRunsTheirCommands) {
  // Click on Edit, then on Redo.
  ASSERT_TRUE(click_at(bar_items.at(200).cx(), bar_items.at(200).cy()));
  ASSERT_TRUE(select_of(201)) << joined(log);
  ASSERT_TRUE(click_at(items.at(202).cx(), items.at(202).cy()));
  EXPECT_EQ(outcome(), "command 202") << joined(log);

  // Press on File, drag to Open, release.
  ASSERT_TRUE(move_to(bar_items.at(100).cx(), bar_items.at(100).cy()));
  ASSERT_TRUE(mouse({"mousedown", "1"}));
  ASSERT_TRUE(select_of(101)) << joined(log);
  ASSERT_TRUE(move_to(items.at(102).cx(), items.at(102).cy()));
  ASSERT_TRUE(select_of(102)) << joined(log);
  ASSERT_TRUE(mouse({"mouseup", "1"}));
  EXPECT_EQ(outcome(), "command 102") << joined(log);

  // The right button in the client opens the context menu at the pointer:
  // press, drag to Beta (the second row), release.
  const int r = row_height();
  ASSERT_TRUE(move_to(200, 200));
  ASSERT_TRUE(mouse({"mousedown", "3"}));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(move_to(200 + 20, 200 + 2 + r + r / 2));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(mouse({"mouseup", "3"}));
  EXPECT_EQ(outcome(), "command 502") << joined(log);

  // A plain right click leaves it open; Escape closes it.
  ASSERT_TRUE(click_at(200, 200, 3));
  std::this_thread::sleep_for(300ms);
  keys({"Escape"});
  EXPECT_EQ(outcome(), "none") << joined(log);

  // A click outside every menu closes the menu and chooses nothing.
  ASSERT_TRUE(click_at(bar_items.at(400).cx(), bar_items.at(400).cy()));
  ASSERT_TRUE(select_of(401)) << joined(log);
  ASSERT_TRUE(click_at(900, 700));
  EXPECT_EQ(outcome(), "none") << joined(log);
}

TEST_F(MenuDemo, TheScreenUnderAClosedMenuIsRestoredPixelForPixel) {
  const int wx = kContextX - 40, wy = kContextY - 30, ww = 320, wh = 220;
  Window under = pattern_window(wx, wy, ww, wh);
  auto before = grab_pixels(under, ww, wh);
  ASSERT_FALSE(before.empty());

  keys({"p"});
  auto s = select_of(501);
  ASSERT_TRUE(s) << joined(log);
  keys({"Up", "Right"});
  auto cascade = select_of(511);
  ASSERT_TRUE(cascade) << joined(log);
  ASSERT_NE(grab_pixels(under, ww, wh), before) << "the menus cover the pattern";

  keys({"Escape"});
  std::this_thread::sleep_for(200ms);
  auto mid = grab_pixels(under, ww, wh);
  // Outside the context menu, the cascade's area is the pattern again; the
  // context menu itself is still there.
  int differ_outside = 0, same_inside = 0;
  for (int y = 0; y < wh; ++y) {
    for (int x = 0; x < ww; ++x) {
      int sx = wx + x, sy = wy + y;
      bool in_menu = sx >= s->x && sx < s->x + s->w && sy >= s->y && sy < s->y + s->h;
      size_t i = static_cast<size_t>(y * ww + x);
      if (!in_menu && mid[i] != before[i]) ++differ_outside;
      if (in_menu && mid[i] == before[i]) ++same_inside;
    }
  }
  EXPECT_EQ(differ_outside, 0) << "the cascade left pixels behind";
  EXPECT_LT(same_inside, s->w * s->h / 2) << "the context menu is still shown";

  keys({"Escape"});
  EXPECT_EQ(outcome(), "none");
  EXPECT_EQ(grab_pixels(under, ww, wh), before) << "every pixel under the menus is back";
}

TEST_F(MenuDemo, AnotherWindowExposedDuringTrackingIsPaintedAfterwards) {
  // Far from the context menu, over the demo's black client.
  const int x = 150, y = 150;
  ASSERT_EQ(root_pixel(x, y), 0ul) << "the client is black";
  keys({"p"});
  ASSERT_TRUE(select_of(501)) << joined(log);
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = 0xFFFFFF;
  Window cover = XCreateWindow(d, DefaultRootWindow(d), x - 50, y - 50, 100, 100, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(d, cover);
  XSync(d, False);
  std::this_thread::sleep_for(100ms);
  XDestroyWindow(d, cover);
  XSync(d, False);
  std::this_thread::sleep_for(300ms);
  EXPECT_NE(root_pixel(x, y), 0ul) << "nothing is painted while the menu is tracked";
  keys({"Escape"});
  EXPECT_EQ(outcome(), "none");
  auto end = std::find(log.begin(), log.end(), "end 0");
  ASSERT_NE(end, log.end());
  bool painted = std::find(end, log.end(), "paint") != log.end() || line("paint", 3s);
  EXPECT_TRUE(painted) << "the kept exposure is painted after tracking\n" << joined(log);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(root_pixel(x, y), 0ul);
}

TEST_F(MenuDemo, AGrabHeldByAnotherClientCancelsTrackingWithTheBell) {
  Window holder = pattern_window(900, 700, 20, 20);
  ASSERT_EQ(XGrabPointer(d, holder, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime),
            GrabSuccess);
  XSync(d, False);
  keys({"p"});
  unsigned beeps = 0;
  EXPECT_EQ(outcome(&beeps), "none") << joined(log);
  EXPECT_EQ(beeps, 1u);
  XUngrabPointer(d, CurrentTime);
  XSync(d, False);
  // With the grab gone the same menu works.
  keys({"p"});
  ASSERT_TRUE(select_of(501)) << joined(log);
  keys({"Return"});
  EXPECT_EQ(outcome(), "command 501");
}

}  // namespace
