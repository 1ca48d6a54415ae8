// What the processes may count on from the application: a poll timer that
// starts, stops and starts again, and a screen that takes a refresh at any
// time. The same expectations run against the headless answers and the
// editor's own; the editor's timer is its frame's, so there the frame is
// made first on a private Xvfb.
#include <gtest/gtest.h>

#include "services/proc_port.h"

#ifdef ZVX_CONTRACT_real
#include <memory>
#include <string>

#include "forms/ctl_cmdline.h"
#include "forms/objects.h"
#include "tests/support/xvfb.h"
#include "text/buffer.h"

#include "app/app_frame.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/window.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#endif

namespace {

class ProcPort : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef ZVX_CONTRACT_real
    std::string why;
    server_ = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server_) << why;
    d_ = XOpenDisplay(server_->display_name().c_str());
    ASSERT_TRUE(d_);
    xf_reset();
    XSetErrorHandler(xfXErrorHandler);
    xf_attach_display(d_);
    xfInitDefaultFonts();
    xf_gfx_start();
    xfInitKeyboard();
    xfReadResources();
    ASSERT_EQ(objects_init(1024, 768), 0);
    ctl_install_cmdline();
    XfWindow* client = nullptr;
    ASSERT_TRUE(xfCreateFrame(nullptr, 0, kFrameTitle, nullptr, "Zorvex", nullptr, nullptr, 1, &client, 0, 0, 400, 300));
    app_frame_set_client(client, nullptr);
#endif
  }
  void TearDown() override {
#ifdef ZVX_CONTRACT_real
    app_frame_set_client(nullptr, nullptr);
    objects_shutdown();
    buf_shutdown();
    xf_reset();
    server_.reset();
#endif
  }
#ifdef ZVX_CONTRACT_real
  std::unique_ptr<xtest::XvfbServer> server_;
  Display* d_ = nullptr;
#endif
};

TEST_F(ProcPort, ThePollTimerStartsStopsAndStartsAgain) {
  ASSERT_TRUE(proc_start_poll_timer());
  proc_stop_poll_timer();
  EXPECT_TRUE(proc_start_poll_timer()) << "a stopped timer starts again";
  proc_stop_poll_timer();
  proc_stop_poll_timer();  // a second stop is harmless
}

TEST_F(ProcPort, ARefreshReturnsToTheCaller) {
  proc_refresh_screen(0);
  proc_refresh_screen(0xFFFFFFFFu);
  SUCCEED() << "a refresh never stops the processes";
}

}  // namespace
