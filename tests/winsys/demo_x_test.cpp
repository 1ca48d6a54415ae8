// The window core on a real X server: the demo program on a private Xvfb,
// driven by xdotool and by X clients of the test's own, checked with xprop,
// xwininfo, XGetImage and what the demo reports of its messages.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
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

// One line of the demo's report: "<what> <window> <number> <mp1> <mp2>".
struct Line {
  std::string what, window;
  unsigned number = 0;
  long mp1 = 0, mp2 = 0;
};

std::optional<Line> parse(const std::string& text) {
  std::istringstream in(text);
  Line l;
  std::string number;
  if (!(in >> l.what >> l.window >> number >> l.mp1 >> l.mp2)) return std::nullopt;
  if (l.what != "get" && l.what != "proc") return std::nullopt;
  l.number = static_cast<unsigned>(std::stoul(number, nullptr, 16));
  return l;
}

std::string run(const std::string& display, const std::string& command) {
  std::string full = "DISPLAY=" + display + " " + command;
  FILE* p = popen(full.c_str(), "r");
  if (!p) return {};
  std::string out;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  pclose(p);
  return out;
}

// The value after "<key>" on a line of xwininfo's output.
int field(const std::string& text, const std::string& key) {
  auto at = text.find(key);
  return at == std::string::npos ? -1 : std::stoi(text.substr(at + key.size()));
}

class Demo : public ::testing::Test {
 protected:
  void SetUp() override { start({}, {}); }

  void start(const std::vector<std::string>& env, const std::vector<std::string>& args) {
    std::string why;
    server = XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    std::vector<std::string> argv = {ZVX_DEMO_WINSYS};
    argv.insert(argv.end(), args.begin(), args.end());
    demo = server->spawn(argv, env);
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> frame >> client >> button >> tool >> vsb >> hsb;
    auto res = demo->wait_for_line("resources ");
    ASSERT_TRUE(res);
    resources = *res;
    d = server->display();
  }

  // Reads report lines until one matches; the lines read are kept.
  std::optional<Line> expect(const std::string& what, const std::string& window, unsigned number,
                             std::chrono::milliseconds timeout = 10s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      auto text = demo->read_line(left);
      if (!text) return std::nullopt;
      log.push_back(*text);
      auto l = parse(*text);
      if (l && l->what == what && (window.empty() || l->window == window) && l->number == number) return l;
    }
  }
  // Reads until a line starting with `prefix`, keeping what it read.
  std::optional<std::string> until(const std::string& prefix, std::chrono::milliseconds timeout = 10s) {
    return demo->wait_for_line(prefix, timeout, &log);
  }
  // Lines that arrive within `quiet` of each other.
  std::vector<std::string> drain(std::chrono::milliseconds quiet = 300ms) {
    std::vector<std::string> lines;
    while (auto l = demo->read_line(quiet)) lines.push_back(*l);
    return lines;
  }
  void focus_frame() {
    ASSERT_TRUE(server->focus(frame));
    ASSERT_TRUE(expect("proc", "client", 0x1006)) << "the client takes the focus";
  }
  void type(const std::string& key) { ASSERT_TRUE(server->keys({key})); }

  std::unique_ptr<XvfbServer> server;
  std::unique_ptr<ChildProgram> demo;
  Display* d = nullptr;
  Window frame = 0, client = 0, button = 0, tool = 0, vsb = 0, hsb = 0;
  std::string resources;
  std::vector<std::string> log;
};

TEST_F(Demo, FrameHasTheSpecifiedPropertiesAndGeometry) {
  auto xprop = [&](Window w, const char* property) {
    return run(server->display_name(), "xprop -id " + std::to_string(w) + " " + property);
  };
  EXPECT_EQ(xprop(frame, "WM_CLASS"), "WM_CLASS(STRING) = \"Zorvex\", \"Halvorn\"\n");
  EXPECT_EQ(xprop(frame, "WM_NAME"), "WM_NAME(STRING) = \"Zorvex\"\n");
  EXPECT_EQ(xprop(frame, "WM_PROTOCOLS"), "WM_PROTOCOLS(ATOM): protocols  WM_DELETE_WINDOW\n");
  // Title, menu, minimise, maximise, border and resize handles; every function.
  EXPECT_EQ(xprop(frame, "_MOTIF_WM_HINTS"), "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x3e, 0x7e, 0x0, 0x0\n");
  char transient[80];
  std::snprintf(transient, sizeof transient, "WM_TRANSIENT_FOR(WINDOW): window id # 0x%lx\n", frame);
  EXPECT_EQ(xprop(tool, "WM_TRANSIENT_FOR"), transient);
  EXPECT_EQ(xprop(tool, "_MOTIF_WM_HINTS"), "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0xa, 0x0, 0x0\n");
  EXPECT_NE(xprop(tool, "WM_NORMAL_HINTS").find("program specified minimum size: 160 by 100"), std::string::npos)
      << "a frame without a sizing border keeps its size";

  struct Part {
    Window w;
    int x, y, width, height;
  };
  // 400 x 300 with the menu bar (m pixels high, as its font gives it) and
  // 18-pixel scroll bars.
  const int m = field(run(server->display_name(), "xwininfo -id " + std::to_string(client)), "Relative upper-left Y:");
  ASSERT_GT(m, 0) << "the menu bar takes the top";
  for (Part p : {Part{frame, 50, 60, 400, 300}, Part{client, 0, m, 382, 282 - m}, Part{vsb, 382, m, 18, 282 - m},
                 Part{hsb, 0, 282, 382, 18}, Part{button, 20, 30, 80, 24}}) {
    std::string info = run(server->display_name(), "xwininfo -id " + std::to_string(p.w));
    EXPECT_EQ(field(info, "Relative upper-left X:"), p.x) << info;
    EXPECT_EQ(field(info, "Relative upper-left Y:"), p.y) << info;
    EXPECT_EQ(field(info, "Width:"), p.width) << info;
    EXPECT_EQ(field(info, "Height:"), p.height) << info;
  }
}

TEST_F(Demo, SpareKeycodesWereRemapped) {
  int per = 0;
  KeySym* map = XGetKeyboardMapping(d, 22, 157 - 22 + 1, &per);
  ASSERT_TRUE(map);
  auto first = [&](int kc) { return map[(kc - 22) * per]; };
  EXPECT_EQ(first(22), static_cast<KeySym>(XK_BackSpace));
  EXPECT_EQ(first(149), static_cast<KeySym>(XK_Prior));
  EXPECT_EQ(first(154), static_cast<KeySym>(XK_Down));
  EXPECT_EQ(first(141), static_cast<KeySym>(0x1008FF57)) << "a keycode with a keysym keeps it";
  XFree(map);
}

TEST_F(Demo, KeysAndClicksComeOutOfTheGetCallInOrder) {
  focus_frame();
  ASSERT_TRUE(server->keys({"a", "shift+b", "Return", "XF86Copy"}));
  // Each key press comes out, the modifier keys' own presses included;
  // the others follow in the order typed.
  std::vector<std::pair<unsigned long, unsigned long>> keys;  // keysym (low half), state
  std::vector<unsigned long> full;
  while (keys.size() < 4) {
    auto l = expect("get", "", 0x2103);
    ASSERT_TRUE(l) << "after " << keys.size() << " keys";
    unsigned long low = static_cast<unsigned long>(l->mp1) & 0xFFFF;
    if (low >= XK_Shift_L && low <= XK_Hyper_R) continue;
    keys.emplace_back(low, (static_cast<unsigned long>(l->mp1) >> 16) & 0xFFFF);
    full.push_back(static_cast<unsigned long>(l->mp1) >> 32);
  }
  using K = std::pair<unsigned long, unsigned long>;
  EXPECT_EQ(keys, (std::vector<K>{{'a', 0}, {'B', ShiftMask}, {XK_Return, 0}, {NoSymbol, 0}}))
      << "XF86Copy never arrives as End";
  EXPECT_EQ(full[3], 0x1008FF57ul) << "its whole keysym rides along";
  ASSERT_TRUE(expect("proc", "client", 0x2103)) << "readdressed to the focus window";

  ASSERT_TRUE(server->xdotool({"mousemove", "--sync", "--window", std::to_string(client), "150", "100"}));
  ASSERT_TRUE(server->xdotool({"click", "1", "click", "3", "click", "5"}));
  std::vector<unsigned> numbers;
  std::vector<long> positions;
  while (numbers.size() < 5) {
    auto text = demo->read_line(5s);
    ASSERT_TRUE(text) << "clicks missing; got " << numbers.size();
    auto l = parse(*text);
    if (!l || l->what != "get" || l->window != "client") continue;
    if (l->number == 0x13 || l->number == 0x2102) continue;  // motion, paints
    numbers.push_back(l->number);
    positions.push_back(l->mp1);
  }
  EXPECT_EQ(numbers, (std::vector<unsigned>{20, 23, 21, 24, 0x2110})) << "the wheel is no right click";
  EXPECT_EQ(positions[0], 100 << 16 | 150);
  EXPECT_EQ(positions[4], 1) << "one notch down";
}

TEST_F(Demo, ExposesWhileBusyBecomeOneMergedPaint) {
  focus_frame();
  drain();
  type("p");
  ASSERT_TRUE(until("busy"));
  struct Area {
    int x, y, w, h;
  };
  for (Area a :
       {Area{10, 10, 20, 20}, Area{50, 60, 10, 10}, Area{100, 5, 30, 30}, Area{12, 100, 5, 5}, Area{200, 150, 40, 20}})
    XClearArea(d, client, a.x, a.y, static_cast<unsigned>(a.w), static_cast<unsigned>(a.h), True);
  XSync(d, False);
  auto paint = until("paint client");
  ASSERT_TRUE(paint);
  EXPECT_EQ(*paint, "paint client 10 5 240 170") << "the bounding rectangle of all five";
  for (const std::string& l : drain(400ms)) EXPECT_EQ(l.rfind("paint", 0), std::string::npos) << l;
}

TEST_F(Demo, FocusChangesArriveAsKillThenSet) {
  focus_frame();
  drain();
  ASSERT_TRUE(server->focus(tool));
  auto lines = drain(500ms);
  std::vector<std::string> focus;
  for (const std::string& text : lines) {
    auto l = parse(text);
    if (l && l->what == "proc" && (l->number == 0x1002 || l->number == 0x1006))
      focus.push_back(l->window + (l->number == 0x1002 ? " kill" : " set"));
  }
  EXPECT_EQ(focus, (std::vector<std::string>{"client kill", "toolclient set"}));
}

TEST_F(Demo, AClickPostsItsCommandOnlyWhenReleasedInside) {
  focus_frame();
  drain();
  auto move = [&](Window w, int x, int y) {
    return server->xdotool(
        {"mousemove", "--sync", "--window", std::to_string(w), std::to_string(x), std::to_string(y)});
  };
  // Pressed, dragged out, released outside: nothing.
  ASSERT_TRUE(move(button, 40, 12));
  ASSERT_TRUE(server->xdotool({"mousedown", "1"}));
  ASSERT_TRUE(expect("proc", "button", 0x1006)) << "the press gives the button the focus";
  ASSERT_TRUE(move(client, 300, 200));
  drain(300ms);
  ASSERT_TRUE(server->xdotool({"mouseup", "1"}));
  for (const std::string& l : drain(500ms)) EXPECT_EQ(l.rfind("command", 0), std::string::npos) << l;
  // Pressed, out, back in, released inside: one command.
  ASSERT_TRUE(move(button, 40, 12));
  ASSERT_TRUE(server->xdotool({"mousedown", "1"}));
  ASSERT_TRUE(move(client, 300, 200));
  ASSERT_TRUE(move(button, 30, 10));
  ASSERT_TRUE(server->xdotool({"mouseup", "1"}));
  EXPECT_TRUE(until("command 101", 5s));
  int commands = 0;
  for (const std::string& l : drain(500ms)) commands += l.rfind("command", 0) == 0;
  EXPECT_EQ(commands, 0) << "exactly one";
}

TEST_F(Demo, TimersFireInOrderOfTheirDueTimes) {
  focus_frame();
  type("t");
  std::vector<int> ids;
  std::vector<unsigned> elapsed;
  for (int i = 0; i < 3; ++i) {
    auto l = until("timer ", 5s);
    ASSERT_TRUE(l);
    unsigned id = 0, ms = 0;
    ASSERT_EQ(std::sscanf(l->c_str(), "timer %u %u", &id, &ms), 2);
    ids.push_back(static_cast<int>(id));
    elapsed.push_back(ms);
  }
  EXPECT_EQ(ids, (std::vector<int>{2, 3, 1}));
  EXPECT_GE(elapsed[0], 200u);
  EXPECT_GE(elapsed[1], 400u);
  EXPECT_GE(elapsed[2], 600u);
  EXPECT_LE(elapsed[0], elapsed[1]);
  EXPECT_LE(elapsed[1], elapsed[2]);
}

TEST_F(Demo, TheCaretBlinksAndItsHideCountsHold) {
  focus_frame();
  drain();
  unsigned long white = WhitePixel(d, DefaultScreen(d));
  auto sample = [&](std::chrono::milliseconds span) {
    std::set<unsigned long> seen;
    auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
      if (auto p = server->pixel(client, 11, 15)) seen.insert(*p);
      std::this_thread::sleep_for(50ms);
    }
    return seen;
  };
  type("c");
  ASSERT_TRUE(until("caret 0"));
  auto blinking = sample(1500ms);
  EXPECT_EQ(blinking.size(), 2u) << "drawn and erased";
  EXPECT_TRUE(blinking.count(white)) << "erasing puts the white background back";
  EXPECT_EQ(server->pixel(client, 30, 15), white) << "beside the caret nothing changes";
  type("h");
  ASSERT_TRUE(until("caret 1"));
  type("h");
  ASSERT_TRUE(until("caret 2"));
  type("s");
  ASSERT_TRUE(until("caret 1"));
  EXPECT_EQ(sample(1200ms), std::set<unsigned long>{white}) << "two hides need two shows";
  type("s");
  ASSERT_TRUE(until("caret 0"));
  auto p = server->pixel(client, 11, 15);
  ASSERT_TRUE(p);
  EXPECT_NE(*p, white) << "shown again at once";
}

// A peer reads the TC_SELECTION owner, asks it with TC_COMMAND 0x2301 for
// the window list, and gets WINDOW/32 {n, ids} in its property.
std::vector<long> ask_for_list(Display* d, Window* owner_out = nullptr) {
  Atom selection = XInternAtom(d, "TC_SELECTION", False);
  Atom command = XInternAtom(d, "TC_COMMAND", False);
  Atom property = XInternAtom(d, "PEER_LIST", False);
  Window owner = XGetSelectionOwner(d, selection);
  if (owner_out) *owner_out = owner;
  if (!owner) return {};
  Window me = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, me, PropertyChangeMask);
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = owner;
  ev.xclient.message_type = command;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = 0x2301;
  ev.xclient.data.l[1] = static_cast<long>(me);
  ev.xclient.data.l[2] = static_cast<long>(property);
  XSendEvent(d, owner, False, 0, &ev);
  XFlush(d);
  std::vector<long> items;
  for (int tries = 0; tries < 200; ++tries) {
    while (XCheckTypedWindowEvent(d, me, PropertyNotify, &ev)) {
      if (ev.xproperty.atom != property) continue;
      Atom type = 0;
      int format = 0;
      unsigned long n = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(d, me, property, 0, 1024, False, AnyPropertyType, &type, &format, &n, &after, &data) ==
              Success &&
          data && type == XA_WINDOW && format == 32) {
        auto* longs = reinterpret_cast<long*>(data);
        items.assign(longs, longs + n);
      }
      if (data) XFree(data);
      XDestroyWindow(d, me);
      return items;
    }
    std::this_thread::sleep_for(10ms);
  }
  XDestroyWindow(d, me);
  return items;
}

TEST_F(Demo, APeerReadsTheSelectionOwnerAndGetsTheWindowList) {
  Window owner = 0;
  auto items = ask_for_list(d, &owner);
  EXPECT_EQ(owner, frame) << "the first top-level frame owns TC_SELECTION";
  EXPECT_EQ(items, (std::vector<long>{1, static_cast<long>(frame)})) << "the tool frame is owned: not listed";
}

int ignore_errors(Display*, XErrorEvent*) { return 0; }

TEST_F(Demo, AHostileClientLeavesTheProgramRunningAndItsStateIntact) {
  focus_frame();
  type("o");
  ASSERT_TRUE(until("primary"));
  XSetErrorHandler(ignore_errors);
  Atom command = XInternAtom(d, "TC_COMMAND", False);
  Atom databuffer = XInternAtom(d, "TC_DATABUFFER", False);
  auto send_command = [&](Window to, long number, long mp1, long mp2, int format = 32) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = to;
    ev.xclient.message_type = command;
    ev.xclient.format = format;
    ev.xclient.data.l[0] = number;
    ev.xclient.data.l[1] = mp1;
    ev.xclient.data.l[2] = mp2;
    XSendEvent(d, to, False, 0, &ev);
  };
  // Messages whose parameters are pointers, aimed where they would be read.
  send_command(button, 0x1001, 0, 0x7fffdeadbeef);  // ZWM_SETTEXT: mp2 a text
  send_command(button, 0x1003, 0x41414141, 1);      // ZWM_SETFONT: mp1 a font
  send_command(frame, 0x2301, 0x12345, XA_STRING, 8);
  send_command(client, 0x2102, 0x7fff0000, 0x7fff0000);
  // Peer data in the wrong format: 40 bytes that are no window list.
  unsigned char bytes[40];
  std::memset(bytes, 0xEE, sizeof bytes);
  bytes[0] = 200;
  XChangeProperty(d, frame, databuffer, XA_WINDOW, 8, PropModeReplace, bytes, sizeof bytes);
  // A selection request from a window that is gone before it is answered.
  Window requestor = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XConvertSelection(d, XA_PRIMARY, XA_STRING, XInternAtom(d, "GRAB", False), requestor, CurrentTime);
  XDestroyWindow(d, requestor);
  XSync(d, False);

  // Then proper peer data, which must still be merged.
  long ids[] = {2, 0x111111, 0x222222};
  XChangeProperty(d, frame, databuffer, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(ids), 3);
  XSync(d, False);
  std::this_thread::sleep_for(300ms);

  ASSERT_TRUE(demo->running());
  type("x");
  auto st = until("state ");
  ASSERT_TRUE(st) << "the program answers";
  EXPECT_NE(st->find("errors=1 "), std::string::npos) << *st << ": the refused request's BadWindow, survived";
  EXPECT_NE(st->find("focus=client"), std::string::npos) << *st;
  EXPECT_EQ(ask_for_list(d), (std::vector<long>{3, static_cast<long>(frame), 0x111111, 0x222222}));
  for (const std::string& l : log) {
    auto p = parse(l);
    if (!p) continue;
    EXPECT_FALSE(p->window == "button" && (p->number == 0x1001 || p->number == 0x1003)) << l;
  }
  XSetErrorHandler(nullptr);
}

TEST_F(Demo, DestroyingAFrameWithEverythingLeavesNothingBehind) {
  focus_frame();
  type("x");
  auto before = until("state ");
  ASSERT_TRUE(before);
  type("d");
  auto after = until("destroyed ", 10s);
  ASSERT_TRUE(after) << "the program survived the destruction";
  for (const std::string& l : log) EXPECT_EQ(l.find("ERROR"), std::string::npos) << l;
  EXPECT_EQ(*after, "destroyed dangling=0 capture=0 scrubbed=1");
  type("x");
  auto st = until("state ");
  ASSERT_TRUE(st);
  int live_before = 0, live_after = 0;
  std::sscanf(before->c_str(), "state live=%d", &live_before);
  std::sscanf(st->c_str(), "state live=%d", &live_after);
  EXPECT_EQ(live_after, live_before) << "every record of the destroyed frame went back";
  EXPECT_NE(st->find("focus=client"), std::string::npos) << *st;
}

class DemoResources : public Demo {
 protected:
  void SetUp() override {
    dir = ::testing::TempDir() + "zvxdemo_" + std::to_string(getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    mkdir(dir.c_str(), 0700);
    mkdir((dir + "/home").c_str(), 0700);
    mkdir((dir + "/defaults").c_str(), 0700);
    std::ofstream(dir + "/defaults/Halvorn") << "Zorvex.scrollBarWidth: 30\nZorvex.caretColor: #ff0000\n";
    std::ofstream(dir + "/home/Halvorn") << "Zorvex.scrollBarWidth: 24\n";
    start({"HOME=" + dir + "/home", "ZORVEXUSEXRESOURCE=yes"}, {"--app-defaults", dir + "/defaults"});
  }
  void TearDown() override {
    std::remove((dir + "/defaults/Halvorn").c_str());
    std::remove((dir + "/home/Halvorn").c_str());
    rmdir((dir + "/defaults").c_str());
    rmdir((dir + "/home").c_str());
    rmdir(dir.c_str());
  }
  std::string dir;
};

TEST_F(DemoResources, TheHomeFileOverridesTheDefaults) {
  XColor red{};
  ASSERT_TRUE(XParseColor(d, DefaultColormap(d, DefaultScreen(d)), "#ff0000", &red));
  XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &red);
  EXPECT_EQ(resources, "resources scrollbar=24 caret=" + std::to_string(red.pixel));
  std::string info = run(server->display_name(), "xwininfo -id " + std::to_string(vsb));
  EXPECT_EQ(field(info, "Width:"), 24);
  EXPECT_EQ(field(run(server->display_name(), "xwininfo -id " + std::to_string(client)), "Width:"), 400 - 24);
}

}  // namespace
