// Standard frames and scroll bars on a real X server: the window-API demo
// on a private Xvfb, clicked with xdotool, its bars read back with XGetImage
// at the coordinates their geometry gives.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using xtest::ChildProgram;
using xtest::XvfbServer;

constexpr long pack(long low, long high) { return (low & 0xFFFF) | (high << 16); }

class Frames : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    demo = server->spawn({ZVX_DEMO_FRAMES}, {});
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> frame >> client >> vsb >> hsb >> face >> medium;
    ASSERT_NE(face, medium) << "the bar's face and trough colours differ";
  }
  // Reads lines until "proc <number> <mp1> <mp2>" (mp1/mp2 -1: any).
  bool expect(unsigned number, long mp1 = -1, long mp2 = -1, std::chrono::milliseconds timeout = 5s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      auto text = demo->read_line(left);
      if (!text) return false;
      seen.push_back(*text);
      std::istringstream in(*text);
      std::string what, n;
      long a = 0, b = 0;
      if (!(in >> what >> n >> a >> b) || what != "proc") continue;
      if (std::stoul(n, nullptr, 16) == number && (mp1 == -1 || a == mp1) && (mp2 == -1 || b == mp2)) return true;
    }
  }
  std::string transcript() const {
    std::string all;
    for (const auto& s : seen) all += s + "\n";
    return all;
  }

  std::unique_ptr<XvfbServer> server;
  std::unique_ptr<ChildProgram> demo;
  Window frame = 0, client = 0, vsb = 0, hsb = 0;
  unsigned long face = 0, medium = 0;
  std::vector<std::string> seen;
};

// The vertical bar is 18 x 282 (the client is 400 x 300 less the horizontal
// bar): arrows of 14, a trough from 17 of 248 pixels, and with the range
// 0..100 and page 10 a thumb of 25 pixels at its start.
TEST_F(Frames, ScrollBarsDrawTroughThumbAndARangeOfZero) {
  // The first paint may still be on its way on a loaded machine.
  auto settled = [&](auto window, int x, int y, unsigned long want) {
    std::optional<unsigned long> got;
    for (int i = 0; i < 100 && got != want; ++i) {
      got = server->pixel(window, x, y);
      if (got != want) std::this_thread::sleep_for(20ms);
    }
    return got;
  };
  EXPECT_EQ(settled(vsb, 9, 17 + 12, face), face) << "inside the thumb";
  EXPECT_EQ(settled(vsb, 9, 17 + 25 + 20, medium), medium) << "the trough below it";
  EXPECT_EQ(settled(vsb, 9, 17 + 200, medium), medium) << "the trough near its end";
  ASSERT_TRUE(server->focus(frame));
  ASSERT_TRUE(server->keys({"z"}));
  ASSERT_TRUE(expect(0x2103, 'z'));
  // Range 0..0: the thumb is the whole trough, across the middle of the bar.
  std::optional<unsigned long> middle;
  for (int i = 0; i < 50 && middle != face; ++i) {
    std::this_thread::sleep_for(20ms);
    middle = server->pixel(hsb, 382 / 2, 9);
  }
  EXPECT_EQ(middle, face);
  EXPECT_EQ(server->pixel(hsb, 17 + 4, 9), face);
  EXPECT_TRUE(demo->running());
}

TEST_F(Frames, ArrowClickReachesTheBarThroughTheHitTestAndNotifiesTheClient) {
  ASSERT_TRUE(server->click(vsb, 9, 282 - 7));
  EXPECT_TRUE(expect(0x1004, 7)) << "the bar's part proposes hit code 7 to the client\n" << transcript();
  EXPECT_TRUE(expect(37, 0xFF03, pack(1, 1))) << "one line down\n" << transcript();
  EXPECT_TRUE(expect(37, 0xFF03, pack(1, 64))) << "end of scrolling\n" << transcript();
}

TEST_F(Frames, ClientClaimingTheHitGetsThePressInItsOwnCoordinates) {
  ASSERT_TRUE(server->focus(frame));
  ASSERT_TRUE(server->keys({"k"}));
  ASSERT_TRUE(expect(0x2103, 'k'));
  ASSERT_TRUE(server->click(vsb, 9, 100));
  EXPECT_TRUE(expect(0x14, pack(382 + 9, 100))) << transcript();
  for (const auto& line : seen) EXPECT_EQ(line.rfind("proc 0x25", 0), std::string::npos) << "no scrolling";
}

TEST_F(Frames, PressOnTheClientArrivesWithItsPosition) {
  ASSERT_TRUE(server->click(client, 30, 40));
  EXPECT_TRUE(expect(0x1004, 1)) << transcript();
  EXPECT_TRUE(expect(0x14, pack(30, 40))) << transcript();
}

}  // namespace
