// The text engine's questions answered by the window layer's message boxes
// on a private Xvfb, and with no display at all.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/xvfb.h"
#include "text/ui_port.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

TEST(TextQuestions, WithoutADisplayTheyCancel) {
  xf_reset();
  EXPECT_FALSE(ui_ask_spill_retry());
  EXPECT_FALSE(ui_ask_save_changed_file("/tmp/x.c"));
}

TEST(TextQuestions, TheRealBoxesOfferTheirButtons) {
  std::string why;
  auto server = xtest::XvfbServer::start({}, &why);
  ASSERT_TRUE(server) << why;
  Display* d = XOpenDisplay(server->display_name().c_str());
  ASSERT_TRUE(d);
  xf_reset();
  XErrorHandler old = XSetErrorHandler(xfXErrorHandler);
  xf_attach_display(d);
  xfInitDefaultFonts();
  xf_gfx_start();
  xfInitKeyboard();
  xfReadResources();
  // Answers the box titled `title` with the key, while `question` waits for it.
  auto answer = [&](const char* title, const char* key, auto question) {
    // Until the box answers: on a slow (sanitized) run the box may not be
    // there yet, or the first key may arrive before it has the focus.
    std::atomic<bool> answered{false};
    std::thread helper([&] {
      while (!answered) {
        Window w = server->wait_for_class("Halvorn", title);
        if (w && server->focus(w)) server->keys({key});
        for (int i = 0; i < 20 && !answered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
    bool yes = question();
    answered = true;
    helper.join();
    return yes;
  };
  auto spill = [] { return ui_ask_spill_retry(); };
  EXPECT_TRUE(answer("Error", "r", spill));
  EXPECT_FALSE(answer("Error", "Escape", spill));
  EXPECT_TRUE(answer("Error", "Return", spill));  // Retry is the default button
  auto changed = [] { return ui_ask_save_changed_file("/tmp/x.c"); };
  EXPECT_TRUE(answer("Zorvex", "y", changed));
  EXPECT_FALSE(answer("Zorvex", "n", changed));
  EXPECT_TRUE(answer("Zorvex", "Return", changed));  // Yes is the default button
  xf_gfx_shutdown();
  XSync(d, False);
  xf_reset();
  XSetErrorHandler(old);
  XCloseDisplay(d);
}

}  // namespace
