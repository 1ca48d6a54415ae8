// The message box on a private Xvfb, answered by xdotool: Escape, the
// answer letters, Return and Left/Right give the ids of the set; the spill
// question's set offers Retry; the text is drawn wrapped at 60 columns and
// the icon stands where the layout puts it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/message_numbers.h"
#include "winsys/msgbox.h"
#include "winsys/msgqueue.h"
#include "winsys/pixels.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace {

using namespace std::chrono_literals;

class XMsgBox : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    // The layer has a connection of its own: the helper thread drives
    // xdotool and reads pixels through the test's.
    d = XOpenDisplay(server->display_name().c_str());
    ASSERT_TRUE(d);
    xf_reset();
    old_handler = XSetErrorHandler(xfXErrorHandler);
    xf_attach_display(d);
    xfInitDefaultFonts();
    xf_gfx_start();
    xfInitKeyboard();
    xfReadResources();
  }
  void TearDown() override {
    xf_gfx_shutdown();
    xfFreeAllPixmaps();
    xfFreeAllCursors();
    XSync(d, False);
    xf_reset();
    XSetErrorHandler(old_handler);
    XCloseDisplay(d);
    server.reset();
  }

  // Runs a box titled `title`; meanwhile a helper finds it, focuses it,
  // runs `look` on it and types `keys`. The box's answer.
  int answer(uint32_t style, const std::string& text, const std::vector<std::string>& keys,
             std::function<void(Window)> look = nullptr) {
    std::string title = "Box " + std::to_string(++boxes);
    std::atomic<bool> ok{false};
    std::thread helper([&] {
      Window w = server->wait_for_class("Halvorn", title);
      if (!w) return;
      server->focus(w);
      if (look) look(w);
      ok = server->keys(keys);
    });
    int r = xfMessageBox(nullptr, text.c_str(), title.c_str(), style, kMbCentre, kMbCentre);
    helper.join();
    EXPECT_TRUE(ok) << title;
    return r;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  Display* d = nullptr;
  XErrorHandler old_handler = nullptr;
  int boxes = 0;
};

TEST_F(XMsgBox, KeysGiveTheIdsOfTheSet) {
  struct Case {
    const char* name;
    uint32_t style;
    std::vector<std::string> keys;
    int result;
  };
  const Case cases[] = {
      {"OK: Escape", 0x00, {"Escape"}, kMbOk},
      {"OK: o", 0x00, {"o"}, kMbOk},
      {"OK: Return", 0x00, {"Return"}, kMbOk},
      {"OK/Cancel: Escape", 0x31, {"Escape"}, kMbCancel},
      {"OK/Cancel: c", 0x01, {"c"}, kMbCancel},
      {"OK/Cancel: Right Return", 0x01, {"Right", "Return"}, kMbCancel},
      {"OK/Cancel: Right Right wraps to OK", 0x01, {"Right", "Right", "Return"}, kMbOk},
      {"Yes/No/Cancel: Left from the first is the last", 0x03, {"Left", "Return"}, kMbCancel},
      {"Yes/No: Escape does nothing, y", 0x04, {"Escape", "y"}, kMbYes},
      {"Yes/No: n", 0x04, {"n"}, kMbNo},
      {"Yes/No: Shift+y is ignored", 0x04, {"shift+y", "n"}, kMbNo},
      {"Yes/No: other keys are dropped", 0x04, {"x", "q", "y"}, kMbYes},
      {"spill question: r retries", 0x2005, {"r"}, kMbRetry},
      {"spill question: Return on Retry", 0x2005, {"Return"}, kMbRetry},
      {"spill question: Escape cancels", 0x2005, {"Escape"}, kMbCancel},
      {"Abort/Retry/Ignore: i", 0x02, {"i"}, kMbIgnore},
  };
  for (const Case& c : cases) EXPECT_EQ(answer(c.style, "Question?", c.keys), c.result) << c.name;
  EXPECT_EQ(xf_x_error_count(), 0u);
}

TEST_F(XMsgBox, TextWrappedAtSixtyColumnsAndTheIcon) {
  // Two lines: sixty 'M's, then "end"; a stop sign (red inside).
  std::string text = std::string(60, 'M') + " end";
  const XfFont* font = static_cast<const XfFont*>(xf().values.label_font);
  ASSERT_TRUE(font && font->fs);
  int line_width = XTextWidth(font->fs, std::string(60, 'M').c_str(), 60);
  int dir = 0, a = 0, de = 0;
  XCharStruct tg{};
  XTextExtents(font->fs, "Tg", 2, &dir, &a, &de, &tg);
  int line_height = tg.ascent + tg.descent;
  XfMsgBoxLayout l =
      xf_msgbox_layout(line_width, 2 * line_height, 48, 48, XTextWidth(font->fs, "Cancel", 6), line_height);
  Display* td = server->display();
  unsigned long red = xfRgbToPixel(DefaultColormap(td, 0), 0xFF0000);
  unsigned long black = BlackPixel(td, 0);
  int dark_rows_line1 = 0, dark_cols_line2 = 0, dark_past_line2 = 0;
  unsigned long icon_centre = 0, icon_corner = 0;
  int client_width = 0;
  int r = answer(0x10, text, {"Return"}, [&](Window w) {
    std::this_thread::sleep_for(300ms);  // the first paint
    XWindowAttributes at{};
    XGetWindowAttributes(td, w, &at);
    client_width = at.width;
    auto px = [&](int x, int y) { return server->pixel(w, x, y).value_or(0xDEADBEEF); };
    icon_centre = px(l.icon_x + 24, l.icon_y + 24);
    icon_corner = px(l.icon_x + 1, l.icon_y + 1);  // outside the octagon: background
    // Ink along the first line's middle over its whole width...
    for (int x = l.text_x; x < l.text_x + line_width; x += 4)
      if (px(x, l.text_y + tg.ascent - 3) == black) ++dark_rows_line1;
    // ...the second line holds "end" only.
    int y2 = l.text_y + line_height + tg.ascent - 3;
    int end_width = XTextWidth(font->fs, "end", 3);
    for (int x = l.text_x; x < l.text_x + end_width; ++x)
      if (px(x, y2) == black) ++dark_cols_line2;
    for (int x = l.text_x + end_width + 2; x < l.text_x + line_width; x += 2)
      if (px(x, y2) == black) ++dark_past_line2;
  });
  EXPECT_EQ(r, kMbOk);
  EXPECT_EQ(client_width, l.width);
  EXPECT_EQ(icon_centre, red);
  EXPECT_EQ(icon_corner, xf().values.mdi_client);
  EXPECT_GT(dark_rows_line1, line_width / 4 / 3);
  EXPECT_GT(dark_cols_line2, 0);
  EXPECT_EQ(dark_past_line2, 0);
}

TEST_F(XMsgBox, ACommandFromElsewhereEndsTheBoxWithItsValue) {
  // A frame of the program receives a command while the box runs.
  XfWindow* other = xfCreateChildWindow(nullptr, 0, 0, 10, 10, 0, 'u');
  xfPostMsg(other, ZWM_COMMAND, 1234, 0);
  EXPECT_EQ(xfMessageBox(nullptr, "text", "Box cmd", 0, kMbCentre, kMbCentre), 1234);
}

}  // namespace
