// The text engine's spill question answered by the window layer's message
// box on a private Xvfb, by a scripted answer, and with no display at all.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "forms/msgbox.h"
#include "tests/support/xvfb.h"
#include "text/ui_seam.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

TEST(SpillQuestion, WithoutADisplayOrAnswerItCancels) {
  xf_reset();
  msgbox_install_text_hooks();
  app_set_spill_error_box_hook(nullptr);
  EXPECT_FALSE(ui_ask_spill_retry());
  app_set_spill_error_box_hook([] { return true; });
  EXPECT_TRUE(ui_ask_spill_retry());
  app_set_spill_error_box_hook(nullptr);
}

TEST(SpillQuestion, TheRealBoxOffersRetryAndCancel) {
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
  msgbox_install_text_hooks();
  app_set_spill_error_box_hook(nullptr);
  auto ask = [&](const char* key) {
    // Until the box answers: on a slow (sanitized) run the box may not be
    // there yet, or the first key may arrive before it has the focus.
    std::atomic<bool> answered{false};
    std::thread helper([&] {
      while (!answered) {
        Window w = server->wait_for_class("Halvorn", "Error");
        if (w && server->focus(w)) server->keys({key});
        for (int i = 0; i < 20 && !answered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
    bool retry = ui_ask_spill_retry();
    answered = true;
    helper.join();
    return retry;
  };
  EXPECT_TRUE(ask("r"));
  EXPECT_FALSE(ask("Escape"));
  EXPECT_TRUE(ask("Return"));  // Retry is the default button
  xf_gfx_shutdown();
  XSync(d, False);
  xf_reset();
  XSetErrorHandler(old);
  XCloseDisplay(d);
}

}  // namespace
