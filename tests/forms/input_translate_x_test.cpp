// Keys and clicks on a real X server become the editor's event codes: the
// input demo on a private Xvfb, driven by xdotool and XTest, reports the
// code of every input message its client window receives.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using xtest::ChildProgram;
using xtest::XvfbServer;

struct Event {
  unsigned code = 0, repeat = 0;
  long value = -1;
};

// Presses (plain, Shift, Alt, Ctrl); releases and motion are left out.
bool is_click(const Event& e) { return (e.code >= 594 && e.code <= 602) || (e.code >= 607 && e.code <= 633); }
bool is_key(const Event& e) { return e.code < 594 || e.code > 633; }

class InputX : public ::testing::Test {
 protected:
  // Starts the server, runs `setup` (a keyboard layout, say) and the demo.
  void start(const std::function<void(XvfbServer&)>& setup = nullptr) {
    std::string why;
    server = XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    if (setup) setup(*server);
    demo = server->spawn({ZVX_DEMO_INPUT});
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> frame >> client;
    ASSERT_TRUE(server->focus(frame));
    ASSERT_TRUE(demo->wait_for_line("focus", 10s)) << "the client takes the focus";
  }
  // The next reported event that `want` accepts (others are skipped).
  std::optional<Event> next(const std::function<bool(const Event&)>& want = is_key) {
    for (;;) {
      auto line = demo->wait_for_line("event ", 10s);
      if (!line) return std::nullopt;
      Event e;
      std::istringstream in(line->substr(6));
      in >> e.code >> e.repeat >> e.value;
      if (want(e)) return e;
    }
  }
  unsigned key_code(const std::string& keys) {
    if (!server->keys({keys})) return 0;
    auto e = next();
    return e ? e->code : 0;
  }
  // Presses and releases a keycode through XTest, with modifiers held.
  void press(unsigned keycode, const std::vector<KeySym>& held = {}) {
    Display* d = server->display();
    for (KeySym k : held) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, 0);
    XTestFakeKeyEvent(d, keycode, True, 0);
    XTestFakeKeyEvent(d, keycode, False, 0);
    for (KeySym k : held) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), False, 0);
    XSync(d, False);
  }

  std::unique_ptr<XvfbServer> server;
  std::unique_ptr<ChildProgram> demo;
  unsigned long frame = 0, client = 0;
};

TEST_F(InputX, KeysGiveTheirCodes) {
  start();
  struct Case {
    const char* keys;
    unsigned code;
  };
  const Case cases[] = {
      {"ctrl+shift+a", 529},    {"ctrl+a", 1},   {"alt+x", 381},    {"shift+space", 256}, {"Return", 389},
      {"ctrl+alt+Return", 465}, {"F3", 471},     {"shift+F1", 481}, {"ctrl+F10", 514},    {"ctrl+exclam", 556},
      {"shift+Left", 0x4B34},   {"Delete", 405}, {"z", 'z'},
  };
  for (const Case& c : cases) EXPECT_EQ(key_code(c.keys), c.code) << c.keys;
}

TEST_F(InputX, KeypadWithAndWithoutNumLock) {
  start();
  Display* d = server->display();
  const unsigned kp7 = XKeysymToKeycode(d, XK_KP_7);
  const unsigned kp5 = XKeysymToKeycode(d, XK_KP_5);
  const unsigned num_lock = XKeysymToKeycode(d, XK_Num_Lock);
  ASSERT_NE(kp7, 0u);
  ASSERT_NE(num_lock, 0u);
  press(kp7);
  auto e = next();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 396u) << "NumLock off: HOME";
  press(kp5);
  e = next();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 396u) << "NumLock off: keypad 5 is Begin, which is HOME";

  press(num_lock);
  e = next();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 635u) << "ON-NUM-LOCK";
  EXPECT_NE(e->value, -1) << "it comes with a value";
  press(kp7);
  e = next();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, static_cast<unsigned>('7')) << "NumLock on: the digit";
  press(kp7, {XK_Shift_L});
  e = next();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 0x4737u) << "NumLock and Shift: Shift+HOME as its raw key";
  press(XKeysymToKeycode(d, XK_KP_Multiply));
  e = next();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 0x372Au);
}

TEST_F(InputX, ThreeClicksAreSingleDoubleAndTriple) {
  start();
  const std::string w = std::to_string(client);
  ASSERT_TRUE(server->xdotool({"mousemove", "--window", w, "60", "50"}));
  ASSERT_TRUE(server->xdotool({"click", "--repeat", "4", "--delay", "80", "1"}));
  std::vector<unsigned> codes;
  for (int i = 0; i < 4; ++i) {
    auto e = next(is_click);
    ASSERT_TRUE(e) << "click " << i;
    codes.push_back(e->code);
  }
  EXPECT_EQ(codes, (std::vector<unsigned>{594, 597, 600, 594}));

  // Shift held on the press, right button, then a slow second click.
  ASSERT_TRUE(server->xdotool({"keydown", "shift", "click", "3", "keyup", "shift"}));
  auto e = next(is_click);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 608u);
  ASSERT_TRUE(server->xdotool({"click", "3", "sleep", "0.7", "click", "3"}));
  e = next(is_click);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 595u) << "the base changed: a single click";
  e = next(is_click);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 595u) << "too slow for a double click";
}

// On a German layout AltGr+q types '@' and AltGr+7 '{': text, not Alt
// commands. Alt itself still makes Alt codes.
TEST_F(InputX, AltGrCharactersAreText) {
  bool layout = false;
  start([&](XvfbServer& s) {
    auto child = s.spawn({"/usr/bin/setxkbmap", "de"});
    layout = child && child->wait_exit(10s) == 0;
  });
  ASSERT_TRUE(layout) << "setxkbmap de";
  EXPECT_EQ(key_code("ISO_Level3_Shift+q"), static_cast<unsigned>('@'));
  EXPECT_EQ(key_code("ISO_Level3_Shift+7"), static_cast<unsigned>('{'));
  EXPECT_EQ(key_code("alt+q"), 261u + 'q');
  EXPECT_EQ(key_code("ctrl+alt+a"), 262u);
}

}  // namespace
