// The private-Xvfb helper itself: a server of its own at 75 dpi, windows
// found by class, pixels read back, keys typed, and nothing left running.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <cerrno>

#include "tests/support/xvfb.h"

namespace {

TEST(XvfbHelper, ServerFindsWindowsReadsPixelsAndLeavesNothingBehind) {
  std::string why;
  auto server = xtest::XvfbServer::start({}, &why);
  ASSERT_TRUE(server) << why;
  Display* d = server->display();
  int screen = DefaultScreen(d);
  // 75 dpi: 1024 pixels over 347 mm.
  EXPECT_NEAR(DisplayWidth(d, screen) * 25.4 / DisplayWidthMM(d, screen), 75.0, 1.0);

  XColor red{};
  ASSERT_TRUE(XAllocNamedColor(d, DefaultColormap(d, screen), "red", &red, &red));
  Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 10, 10, 60, 40, 0, 0, red.pixel);
  XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("XvfbProbe")};
  XSetClassHint(d, w, &hint);
  XStoreName(d, w, "Probe");
  XSelectInput(d, w, KeyPressMask);
  XMapWindow(d, w);
  XSync(d, False);

  EXPECT_EQ(server->wait_for_class("XvfbProbe"), w);
  EXPECT_EQ(server->wait_for_class("XvfbProbe", "Probe"), w);
  EXPECT_EQ(server->wait_for_class("NoSuchClass", {}, std::chrono::milliseconds(100)), 0u);
  auto p = server->pixel(w, 30, 20);
  ASSERT_TRUE(p);
  EXPECT_EQ(*p, red.pixel);
  EXPECT_FALSE(server->pixel(w, 500, 500)) << "outside the window";

  ASSERT_TRUE(server->focus(w));
  ASSERT_TRUE(server->keys({"a"}));
  XEvent ev{};
  XWindowEvent(d, w, KeyPressMask, &ev);
  EXPECT_EQ(XLookupKeysym(&ev.xkey, 0), static_cast<KeySym>('a'));

  pid_t pid = server->pid();
  server.reset();
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH) << "the server is gone and reaped";
}

TEST(XvfbHelper, ChildProgramsAreEndedWithTheirServer) {
  auto server = xtest::XvfbServer::start();
  ASSERT_TRUE(server);
  auto child = server->spawn({"/bin/sh", "-c", "echo ready; echo $DISPLAY; exec sleep 60"});
  ASSERT_TRUE(child);
  EXPECT_EQ(child->read_line(), "ready");
  EXPECT_EQ(child->read_line(), server->display_name());
  pid_t pid = child->pid();
  child.reset();
  EXPECT_EQ(kill(pid, 0), -1);
}

}  // namespace
