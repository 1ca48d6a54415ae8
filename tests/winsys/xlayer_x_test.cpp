// The X side of the window core in this process, on a private Xvfb: the
// break key read from the real keyboard, key-down tests, the wait of the
// get call ending on X input, WM hints that keep the input hint, windows of
// size 0, errors that are survived, and menu tracking that loses no event.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/xvfb.h"
#include "winsys/break_key.h"
#include "winsys/focus.h"
#include "winsys/keyboard.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/peer.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace {

using namespace std::chrono_literals;

class XLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    d = server->display();
    xf_reset();
    xf_attach_display(d);
    xfInitKeyboard();
    old_handler = XSetErrorHandler(xfXErrorHandler);
  }
  void TearDown() override {
    XSetErrorHandler(old_handler);
    evt_set_break_probe(nullptr);
    xf_reset();
    server.reset();
  }
  void key(KeySym sym, bool down) {
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, sym), down, 0);
    XSync(d, False);
  }
  // A shown frame with the X focus, active in the layer.
  XfWindow* active_frame(XfWindow** client) {
    XfWindow* f =
        xfCreateFrame(nullptr, 0, kFrameTitle, nullptr, "Zorvex", nullptr, nullptr, 1, client, 0, 0, 200, 100);
    xfShowFrameAndWait(f);
    XSetInputFocus(d, f->xwin, RevertToParent, CurrentTime);
    XSync(d, False);
    XfMessage m{};
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!xfQueryActiveFrame() && std::chrono::steady_clock::now() < deadline) {
      if (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
    }
    return f;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  Display* d = nullptr;
  XErrorHandler old_handler = nullptr;
};

TEST_F(XLayer, TheBreakKeyIsReadFromTheKeyboard) {
  auto polled = [] {
    evt_set_break_poll_count(1);
    return evt_break_pressed();
  };
  EXPECT_FALSE(polled());
  key(XK_Control_L, true);
  key(XK_Alt_L, true);
  EXPECT_FALSE(polled()) << "Control and Alt alone are no break";
  EXPECT_TRUE(xfIsCtrlDown());
  EXPECT_TRUE(xfIsAltDown());
  EXPECT_FALSE(xfIsShiftDown());
  key(XK_Shift_L, true);
  EXPECT_TRUE(polled()) << "Control, Alt and Shift together";
  EXPECT_TRUE(xfIsCtrlAltShiftDown());
  key(XK_Shift_L, false);
  key(XK_Alt_L, false);
  key(XK_Control_L, false);
  EXPECT_FALSE(polled());
  key(XK_Break, true);
  EXPECT_TRUE(xfIsBreakDown());
  EXPECT_TRUE(polled());
  key(XK_Break, false);
  EXPECT_FALSE(polled());
  // Between polls the keyboard is not asked: a held key is seen on the 400th call.
  key(XK_Break, true);
  evt_set_break_probe(xf_break_probe);
  int calls = 0;
  while (!evt_break_pressed() && calls < 1000) ++calls;
  EXPECT_EQ(calls, kBreakPollInterval - 1);
  key(XK_Break, false);
}

TEST_F(XLayer, TheAltMaskIsMod1AndAltGrIsLeftOut) {
  EXPECT_EQ(xfAltMask(), static_cast<uint32_t>(Mod1Mask));
  EXPECT_EQ(xfModifierMaskOf(XK_Shift_L), static_cast<uint32_t>(ShiftMask));
  EXPECT_EQ(xfModifierMaskOf(XK_ISO_Level3_Shift), static_cast<uint32_t>(Mod5Mask));
  EXPECT_EQ(xfModifierMaskOf('a'), 0u);
}

TEST_F(XLayer, TheIdleWaitEndsWhenXInputArrives) {
  XfWindow* client = nullptr;
  active_frame(&client);
  XfMessage m{};
  while (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
  XfEventSource& src = xf().events;
  // A key typed by another client while the layer waits up to 10 s.
  std::thread typist([&] {
    Display* other = XOpenDisplay(server->display_name().c_str());
    std::this_thread::sleep_for(300ms);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, 'a'), True, 0);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, 'a'), False, 0);
    XSync(other, False);
    XCloseDisplay(other);
  });
  auto start = std::chrono::steady_clock::now();
  src.wait(src.ctx, 10000);
  auto waited = std::chrono::steady_clock::now() - start;
  typist.join();
  EXPECT_LT(waited, 3s) << "woken by the key, not by the time-out";
  ASSERT_EQ(xfGetMsg(&m, nullptr, ZWM_CHAR, ZWM_CHAR), 1);
  EXPECT_EQ(xf_key_keysym(m.mp1), static_cast<unsigned long>('a'));

  // An event Xlib already read during a round trip sits in its queue, where
  // the socket shows nothing: the wait sees it all the same.
  XEvent ev{};
  ev.type = KeyPress;
  ev.xkey.window = client->xwin;
  ev.xkey.display = d;
  XPutBackEvent(d, &ev);
  start = std::chrono::steady_clock::now();
  src.wait(src.ctx, 10000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(XLayer, WindowManagerHintsKeepTheInputHintWhenAnIconIsSet) {
  XfWindow* f =
      xfCreateFrameWindow(nullptr, nullptr, "Zorvex", "Zorvex", "Halvorn", 0, 0, 50, 50, 0, 0, 0, 0, 0, 0, false);
  Pixmap icon = XCreatePixmap(d, xf().conn.root, 16, 16, static_cast<unsigned>(xf().conn.depth));
  xfSetWMIcon(f, icon, None);
  XWMHints* hints = XGetWMHints(d, f->xwin);
  ASSERT_TRUE(hints);
  EXPECT_TRUE(hints->flags & InputHint);
  EXPECT_TRUE(hints->input);
  EXPECT_TRUE(hints->flags & IconPixmapHint);
  EXPECT_EQ(hints->icon_pixmap, icon);
  XFree(hints);
}

TEST_F(XLayer, TheFocusProtocolIsAnnouncedOnlyWhenUsed) {
  for (bool use : {false, true}) {
    xf().server.use_take_focus = use;
    XfWindow* client = nullptr;
    XfWindow* f = xfCreateFrame(nullptr, 0, 0, nullptr, "P", nullptr, nullptr, 1, &client, 0, 0, 30, 30);
    Atom* atoms = nullptr;
    int n = 0;
    ASSERT_TRUE(XGetWMProtocols(d, f->xwin, &atoms, &n));
    std::vector<Atom> got(atoms, atoms + n);
    XFree(atoms);
    const XfAtoms& a = xf().atoms;
    EXPECT_EQ(got,
              use ? (std::vector<Atom>{a.wm_take_focus, a.wm_delete_window}) : (std::vector<Atom>{a.wm_delete_window}));
  }
}

TEST_F(XLayer, MinimiseAndMaximiseFlagsTogetherDoNothing) {
  XfWindow* client = nullptr;
  XfWindow* f = xfCreateFrame(nullptr, 0, 0, nullptr, "M", nullptr, nullptr, 1, &client, 0, 0, 30, 30);
  xfShowFrameAndWait(f);
  xfSetWindowPos(f, nullptr, 0, 0, 0, 0, 4 | 8);
  XSync(d, False);
  XWindowAttributes attrs{};
  XGetWindowAttributes(d, f->xwin, &attrs);
  EXPECT_EQ(attrs.map_state, IsViewable);
}

TEST_F(XLayer, ZeroAndNegativeSizesNeverReachTheServer) {
  XfWindow* f = xfCreateFrameWindow(nullptr, nullptr, "z", "z", "Halvorn", 0, 0, 0, -5, 0, 0, 0, 0, 0, 0, false);
  XfWindow* c = xfCreateChildWindow(f, 0, 0, 10, 10, kChildMask, 'm');
  xfResizeWindowTo(c, 0, 0);
  xfResizeWindowTo(c, -20, 3);
  XSync(d, False);
  EXPECT_EQ(xf_x_error_count(), 0u) << "a zero size would be BadValue";
  XWindowAttributes a{};
  XGetWindowAttributes(d, c->xwin, &a);
  EXPECT_EQ(a.width, 1);
  EXPECT_EQ(a.height, 3);
}

TEST_F(XLayer, ProtocolErrorsAreReportedAndSurvived) {
  XfWindow* f = xfCreateFrameWindow(nullptr, nullptr, "e", "e", "Halvorn", 0, 0, 20, 20, 0, 0, 0, 0, 0, 0, false);
  peer_send_list(f, 0x7ABCDEF, XA_STRING);  // a requestor that does not exist
  XSync(d, False);
  EXPECT_EQ(xf_x_error_count(), 1u);
  EXPECT_EQ(xf_peer_list().size(), 1u) << "the list stays as it was";
}

TEST_F(XLayer, MenuTrackingKeepsTheEventsItDoesNotUse) {
  XfWindow* client = nullptr;
  XfWindow* f = active_frame(&client);
  XfMessage m{};
  while (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
  XClearArea(d, client->xwin, 5, 5, 10, 10, True);
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Escape), True, 0);
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Escape), False, 0);
  XSync(d, False);
  ASSERT_EQ(xfWaitInputMsg(&m), 1);
  EXPECT_EQ(m.number, ZWM_CHAR);
  EXPECT_EQ(xf_key_keysym(m.mp1), static_cast<unsigned long>(XK_Escape));
  bool painted = false;
  for (XfQueueNode* n = xf_paint_queue()->head; n; n = n->next) {
    auto* p = static_cast<XfMessage*>(n->value);
    painted |= p->window == client && p->number == ZWM_PAINT && p->mp1 == xf_pack(5, 5);
  }
  EXPECT_TRUE(painted) << "the Expose during tracking waits in the paint queue";
  (void)f;
}

}  // namespace
