// The drawing layer on a private Xvfb: the window core attached to the
// test's connection, the drawing layer started, and a mapped window to draw
// into whose pixels are read back.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>

#include "tests/support/xvfb.h"
#include "winsys/gfx.h"
#include "winsys/pixels.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace gfxtest {

class XDraw : public ::testing::Test {
 protected:
  virtual xtest::XvfbOptions options() const { return {}; }

  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start(options(), &why);
    ASSERT_TRUE(server) << why;
    d = server->display();
    xf_reset();
    old_handler = XSetErrorHandler(xfXErrorHandler);
    xf_attach_display(d);
    xfInitDefaultFonts();
    xf_gfx_start();
  }
  void TearDown() override {
    if (win) XDestroyWindow(d, win);
    xf_gfx_shutdown();
    xfFreeAllPixmaps();
    xfFreeAllCursors();
    xf_reset();
    XSetErrorHandler(old_handler);
    server.reset();
  }

  // A mapped window of the window layer, filled white.
  XfWindow* window(int w = 300, int h = 100, uint32_t kind = XFTYPE_ANY) {
    XfWindow* rec = xfCreateChildWindow(nullptr, 0, 0, w, h, 0, 'u');
    rec->kind = kind;
    XSetWindowBackground(d, rec->xwin, WhitePixel(d, DefaultScreen(d)));
    XMapWindow(d, rec->xwin);
    XClearWindow(d, rec->xwin);
    XSync(d, False);
    rec->shown = 1;
    return rec;
  }

  unsigned long px(XfWindow* w, int x, int y) {
    XSync(d, False);
    auto p = server->pixel(w->xwin, x, y);
    return p ? *p : 0xDEADBEEF;
  }
  unsigned long white() const { return WhitePixel(d, DefaultScreen(d)); }
  unsigned long black() const { return BlackPixel(d, DefaultScreen(d)); }
  unsigned long pixel_of(uint32_t rgb) { return xfRgbToPixel(DefaultColormap(d, DefaultScreen(d)), rgb); }

  std::unique_ptr<xtest::XvfbServer> server;
  Display* d = nullptr;
  Window win = 0;
  XErrorHandler old_handler = nullptr;
};

}  // namespace gfxtest
