// The message, status and command lines of a frame on a private Xvfb: the
// bands' colours and texts read back where the layout puts them, the layout
// of wide and narrow frames, and clicks on the status fields.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

// What the demo prints: its windows and the status band's layout.
struct Layout {
  Window message = 0, status = 0, command = 0;
  int width = 0, height = 0;
  int cmd_left = 0, cmd_right = 0, line_label = 0, line_end = 0, col_label = 0, col_end = 0, mode_left = 0,
      mode_end = 0, insert_left = 0, insert_end = 0, band_height = 0, text_top = 0;
};

std::optional<Layout> parse(const std::string& line) {
  std::istringstream in(line);
  std::string what;
  Layout l;
  if (!(in >> what >> l.message >> l.status >> l.command >> l.width >> l.height >> l.cmd_left >> l.cmd_right >>
        l.line_label >> l.line_end >> l.col_label >> l.col_end >> l.mode_left >> l.mode_end >> l.insert_left >>
        l.insert_end >> l.band_height >> l.text_top))
    return std::nullopt;
  return l;
}

class Lines : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    demo = server->spawn({ZVX_DEMO_LINES});
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    auto l = parse(*ready);
    ASSERT_TRUE(l) << *ready;
    lay = *l;
    d = server->display();
  }
  unsigned long px(Window w, int x, int y) { return server->pixel(w, x, y).value_or(0xDEADBEEF); }
  // Waits (up to 5 s) for the pixel to show colour c: the demo paints from
  // its event loop, after it says it is ready.
  unsigned long settled(Window w, int x, int y, unsigned long c) { return server->pixel_when(w, x, y, c); }
  // Pixels of colour c in a rectangle of w.
  int count(Window w, int x0, int y0, int x1, int y1, unsigned long c) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += px(w, x, y) == c;
    return n;
  }
  XWindowAttributes geometry(Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(d, w, &a);
    return a;
  }
  // Resizes the top-level window that holds the bands; the last layout the
  // demo prints once the size settles.
  std::optional<Layout> resize(int width) {
    Window w = lay.message, root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    for (;;) {
      if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return std::nullopt;
      if (kids) XFree(kids);
      if (parent == root) break;
      w = parent;
    }
    server->xdotool({"windowsize", std::to_string(w), std::to_string(width), "300"});
    std::optional<Layout> last;
    for (auto line = demo->wait_for_line("layout ", 10s); line; line = demo->wait_for_line("layout ", 1500ms))
      last = parse(*line);
    return last;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  Display* d = nullptr;
  Layout lay;
  const unsigned long kMessageBg = 0xFFFF80;  // pair 4's background 0x80FFFF (BGR)
  const unsigned long kStatusBg = 0xE0FFE0;   // pair 5's
  const unsigned long kBlack = 0x000000;
};

TEST_F(Lines, BandsShowTheirColoursTextsAndFields) {
  const XWindowAttributes m = geometry(lay.message), s = geometry(lay.status), c = geometry(lay.command);
  // The message band lies at the client's bottom across its width, the
  // status band right above it.
  EXPECT_EQ(lay.width, m.width);
  EXPECT_EQ(lay.height, m.y + m.height);
  EXPECT_EQ(m.y, s.y + s.height);
  EXPECT_EQ(lay.band_height, s.height);
  EXPECT_EQ(lay.cmd_left, c.x);
  EXPECT_EQ(lay.cmd_right - lay.cmd_left, c.width);
  EXPECT_EQ(lay.width, lay.insert_end) << "a wide frame keeps the fields at the right end";

  EXPECT_EQ(kMessageBg, settled(lay.message, 1, 1, kMessageBg));
  EXPECT_EQ(0xFFFFFFu, settled(lay.status, lay.cmd_right + 2, 0, 0xFFFFFF));
  EXPECT_EQ(kMessageBg, px(lay.message, 2, m.height - 1));
  EXPECT_EQ(kMessageBg, px(lay.message, 3, m.height / 2)) << "the text starts at x 4";
  EXPECT_GT(count(lay.message, 4, 0, 160, m.height, kBlack), 40) << "the message text";
  EXPECT_EQ(0, count(lay.message, 300, 0, m.width, m.height, kBlack)) << "nothing after the text";

  EXPECT_EQ(0xFFFFFFu, px(lay.status, lay.cmd_right + 2, 0)) << "the white line along the top";
  EXPECT_EQ(kStatusBg, px(lay.status, lay.cmd_right + 2, lay.band_height / 2));
  EXPECT_GT(count(lay.status, lay.line_label, lay.text_top, lay.line_label + 20, lay.text_top + 12, kBlack), 5)
      << "the label Line";
  const int value = lay.line_end - 60;
  EXPECT_GT(count(lay.status, value, lay.text_top, lay.line_end, lay.text_top + 12, kBlack), 10) << "1234";
  EXPECT_GT(count(lay.status, lay.insert_left, lay.text_top, lay.insert_end, lay.text_top + 12, kBlack), 5) << "Ins";
  int text = count(lay.command, 2, 0, 90, c.height, kBlack);
  for (int i = 0; i < 100 && text <= 30; ++i) {
    std::this_thread::sleep_for(50ms);
    text = count(lay.command, 2, 0, 90, c.height, kBlack);
  }
  EXPECT_GT(text, 30) << "the command line's text";
}

TEST_F(Lines, NarrowAndWideFramesLayOutTheCommandLine) {
  for (int width : {900, 400, 150}) {
    SCOPED_TRACE(width);
    auto l = resize(width);
    ASSERT_TRUE(l);
    const XWindowAttributes c = geometry(l->command), m = geometry(l->message);
    EXPECT_LE(l->width, width);
    EXPECT_GT(l->width, width - 20);
    EXPECT_EQ(l->width, m.width);
    EXPECT_EQ(l->cmd_right - l->cmd_left, c.width);
    const int full = 4 + 3270 / 15;
    const int fields = l->insert_end - l->line_label;
    if (width == 900) {
      EXPECT_EQ(l->width, l->insert_end) << "the command line widens, the fields stay at the right";
      EXPECT_GT(l->cmd_right, full);
    } else if (width == 400) {
      ASSERT_LT(l->width - fields - 12, full) << "the fields do not fit beside the full command line";
      EXPECT_EQ(full, l->cmd_right);
    } else {
      EXPECT_EQ(l->width - 3, l->cmd_right) << "a narrow frame shrinks the command line";
    }
  }
}

TEST_F(Lines, ClicksOnFieldsRunTheirCommands) {
  const int y = lay.text_top + 4;
  ASSERT_TRUE(server->click(lay.status, lay.line_label + 3, y));
  auto got = demo->wait_for_line("click ", 5s);
  ASSERT_TRUE(got);
  EXPECT_EQ("click gui_goto_line", *got);
  // Between the line and the column field nothing runs: the next click line
  // is the mode field's.
  ASSERT_TRUE(server->click(lay.status, lay.line_end + 1, y));
  ASSERT_TRUE(server->click(lay.status, lay.mode_left + 2, y));
  got = demo->wait_for_line("click ", 5s);
  ASSERT_TRUE(got);
  EXPECT_EQ("click select_mode", *got);
  ASSERT_TRUE(server->click(lay.status, lay.col_label + 2, y));
  got = demo->wait_for_line("click ", 5s);
  ASSERT_TRUE(got);
  EXPECT_EQ("click gui_goto_col", *got);
  ASSERT_TRUE(server->click(lay.status, lay.insert_end - 2, y));
  got = demo->wait_for_line("click ", 5s);
  ASSERT_TRUE(got);
  EXPECT_EQ("click insert_toggle", *got);
}

}  // namespace
