// X events to messages: keys (whole keysyms), Alt releases, configure,
// selections, client messages from other clients, unknown windows.
#include "winsys_fixture.h"

#include <X11/XF86keysym.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include "winsys/peer.h"
#include "winsys/xevents.h"
#include "winsys/xwindows.h"

namespace wstest {
namespace {

class Events : public WinsysTest {
 protected:
  // Translates one event; the records' numbers (and keeps them in `got`).
  std::vector<uint32_t> translate(XEvent ev) {
    XfMessage* r[2];
    int n = 0;
    XfWindow* w = nullptr;
    xfTranslateEvent(&ev, &w, r, &n, false);
    got.clear();
    std::vector<uint32_t> numbers;
    for (int i = 0; i < n; ++i) {
      got.push_back(*r[i]);
      numbers.push_back(r[i]->number);
      xfFreeMsg(r[i]);
    }
    return numbers;
  }
  std::vector<XfMessage> got;
};

TEST_F(Events, KeysymsKeepTheirWholeValue) {
  XfWindow* w = window();
  struct Case {
    unsigned long keysym;
    unsigned long low;  // what a reader of the low 16 bits sees
    unsigned long full;
  };
  const Case cases[] = {
      {'a', 'a', 'a'},
      {XK_End, XK_End, XK_End},
      {XF86XK_Copy, NoSymbol, XF86XK_Copy},            // not End
      {XF86XK_AudioPlay, NoSymbol, XF86XK_AudioPlay},  // not Scroll_Lock
      {0x10000E9, 0xE9, 0xE9},                         // Unicode e-acute is Latin-1's eacute
      {0x1000430, NoSymbol, 0x1000430},                // Cyrillic a: whole, never a Latin key
  };
  unsigned keycode = 30;
  for (const Case& c : cases) {
    input.keysyms[keycode] = c.keysym;
    ASSERT_EQ(translate(key(w, keycode, ShiftMask)), std::vector<uint32_t>{ZWM_CHAR});
    EXPECT_EQ(static_cast<unsigned long>(got[0].mp1 & 0xFFFF), c.low) << std::hex << c.keysym;
    EXPECT_EQ(xf_key_keysym(got[0].mp1), c.full) << std::hex << c.keysym;
    EXPECT_EQ(xf_key_state(got[0].mp1), static_cast<uint32_t>(ShiftMask));
    EXPECT_EQ(got[0].mp2, static_cast<intptr_t>(keycode));
    ++keycode;
  }
  EXPECT_EQ(xfQueryLastEventState(), static_cast<uint32_t>(ShiftMask));
}

TEST_F(Events, OnlyAltMetaAndModeSwitchReleasesMakeMessages) {
  XfWindow* w = window();
  struct Case {
    unsigned long keysym;
    uint32_t want;
  };
  const Case cases[] = {{XK_Meta_R, ZWM_ALTUP},
                        {XK_Alt_L, ZWM_ALTUP},
                        {XK_Mode_switch, ZWM_ALTUP},
                        {XK_Shift_L, ZWM_NULL},
                        {'a', ZWM_NULL}};
  for (const Case& c : cases) {
    input.keysyms[50] = c.keysym;
    EXPECT_EQ(translate(key(w, 50, Mod1Mask, false)), std::vector<uint32_t>{c.want}) << c.keysym;
    if (c.want == ZWM_ALTUP) {
      EXPECT_EQ(xf_key_keysym(got[0].mp1), static_cast<unsigned long>(XK_Alt_L));
    }
  }
}

TEST_F(Events, ConfigureMakesMoveThenSizeOrNothing) {
  XfWindow* w = window();
  w->x = 10;
  w->y = 20;
  w->width = 50;
  w->height = 40;
  auto configure = [&](int x, int y, int width, int height) {
    XEvent e{};
    e.type = ConfigureNotify;
    e.xconfigure.window = w->xwin;
    e.xconfigure.x = x;
    e.xconfigure.y = y;
    e.xconfigure.width = width;
    e.xconfigure.height = height;
    return e;
  };
  EXPECT_EQ(translate(configure(11, 20, 50, 40)), std::vector<uint32_t>{ZWM_MOVE});
  EXPECT_EQ(got[0].mp2, xf_pack(11, 20));
  EXPECT_EQ(translate(configure(11, 21, 60, 40)), (std::vector<uint32_t>{ZWM_MOVE, ZWM_SIZE}));
  EXPECT_EQ(got[1].mp1, 1);
  EXPECT_EQ(got[1].mp2, xf_pack(60, 40));
  EXPECT_EQ(translate(configure(10, 20, 50, 40)), std::vector<uint32_t>{ZWM_NULL});
}

TEST_F(Events, SelectionRequestsOfOtherSelectionsAreDroppedAndKeepThePendingTarget) {
  XfWindow* w = window();
  auto request = [&](Atom selection, Atom target) {
    XEvent e{};
    e.type = SelectionRequest;
    e.xselectionrequest.owner = w->xwin;
    e.xselectionrequest.requestor = 0x4242;
    e.xselectionrequest.selection = selection;
    e.xselectionrequest.target = target;
    e.xselectionrequest.property = 99;
    return e;
  };
  EXPECT_EQ(translate(request(XA_PRIMARY, XA_STRING)), std::vector<uint32_t>{ZWM_SELECTIONREQUEST});
  EXPECT_EQ(got[0].mp1, 0x4242);
  EXPECT_EQ(got[0].mp2, 99);
  EXPECT_EQ(xf_pending_selection_target(), XA_STRING);
  EXPECT_EQ(translate(request(XA_SECONDARY, 77)), std::vector<uint32_t>{ZWM_NULL});
  EXPECT_EQ(xf_pending_selection_target(), XA_STRING);
}

TEST_F(Events, EventsForUnknownWindowsGoToTheMainWindowAsNothing) {
  XfWindow* main = xfCreateFrameWindow(nullptr, nullptr, "m", "m", "Halvorn", 0, 0, 9, 9, 0, 0, 0, 0, 0, 0, false);
  xf().main_window = main;
  xf().atoms.tc_databuffer = 500;
  XEvent e{};
  e.type = ButtonPress;
  e.xbutton.window = 0xDEAD;
  EXPECT_EQ(translate(e), std::vector<uint32_t>{ZWM_NULL});
  EXPECT_EQ(got[0].window, main);
  XEvent p{};
  p.type = PropertyNotify;
  p.xproperty.window = 0xDEAD;
  p.xproperty.atom = 500;
  p.xproperty.state = PropertyNewValue;
  EXPECT_EQ(translate(p), std::vector<uint32_t>{ZWM_TCDATABUFFERCHANGED}) << "translated for the main window";
  EXPECT_EQ(got[0].window, main);
}

TEST_F(Events, PeerCommandsOnlyFromTheWhitelistAndOnlyAsFormat32) {
  XfWindow* w = window();
  xf().atoms.tc_command = 600;
  auto command = [&](long number, long mp1, long mp2, int format = 32) {
    XEvent e{};
    e.type = ClientMessage;
    e.xclient.window = w->xwin;
    e.xclient.message_type = 600;
    e.xclient.format = format;
    e.xclient.data.l[0] = number;
    e.xclient.data.l[1] = mp1;
    e.xclient.data.l[2] = mp2;
    return e;
  };
  EXPECT_EQ(translate(command(ZWM_PEERLISTREQUEST, 0x1234, 0x99)), std::vector<uint32_t>{ZWM_PEERLISTREQUEST});
  EXPECT_EQ(got[0].mp1, 0x1234);
  EXPECT_EQ(got[0].mp2, 0x99);
  EXPECT_EQ(translate(command(ZWM_COMMAND, 5, 0x10000)), std::vector<uint32_t>{ZWM_COMMAND});
  // Messages whose parameters are addresses never come from outside.
  for (long number : {long{ZWM_SETTEXT}, long{ZWM_SETFONT}, long{ZWM_PAINT}, 0x200EL, 0x1007L, 0L, -1L})
    EXPECT_EQ(translate(command(number, 0x7fffdeadbeef, 0x10)), std::vector<uint32_t>{ZWM_NULL}) << number;
  EXPECT_EQ(translate(command(ZWM_PEERLISTREQUEST, 1, 2, 8)), std::vector<uint32_t>{ZWM_NULL});
  // A negative item does not widen into a huge parameter.
  translate(command(ZWM_COMMAND, -1, 0));
  EXPECT_EQ(got[0].mp1, 0xFFFFFFFF);
}

TEST_F(Events, WindowManagerProtocols) {
  XfWindow* w = window();
  XfAtoms& a = xf().atoms;
  a.wm_protocols = 700;
  a.wm_delete_window = 701;
  a.wm_take_focus = 702;
  auto protocol = [&](Atom which) {
    XEvent e{};
    e.type = ClientMessage;
    e.xclient.window = w->xwin;
    e.xclient.message_type = 700;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(which);
    return e;
  };
  EXPECT_EQ(translate(protocol(701)), std::vector<uint32_t>{ZWM_WMDELETE});
  EXPECT_EQ(translate(protocol(702)), std::vector<uint32_t>{ZWM_TAKEFOCUS});
  EXPECT_EQ(translate(protocol(703)), std::vector<uint32_t>{ZWM_NULL});
}

TEST_F(Events, UnmapAndOtherTypesAreDropped) {
  XfWindow* w = window();
  for (int type : {UnmapNotify, GraphicsExpose, NoExpose, DestroyNotify, 35, 120}) {
    XEvent e{};
    e.type = type;
    e.xany.window = w->xwin;
    e.xunmap.window = w->xwin;
    EXPECT_EQ(translate(e), std::vector<uint32_t>{ZWM_NULL}) << type;
  }
}

TEST_F(Events, PeerListsMergeOnlyTheIdsPresentOnce) {
  struct Case {
    std::vector<long> items;
    std::vector<uint32_t> list;
  };
  const Case cases[] = {
      {{3, 0xA, 0xB, 0xA}, {0xA, 0xB}},
      {{5, 0xC}, {0xA, 0xB, 0xC}},  // the count is cut to the ids present
      {{}, {0xA, 0xB, 0xC}},
      {{0}, {0xA, 0xB, 0xC}},
      {{-1, 0xD}, {0xA, 0xB, 0xC}},
  };
  for (const Case& c : cases) {
    xf_peer_merge(c.items);
    auto list = xf_peer_list();
    EXPECT_EQ(std::vector<uint32_t>(list.begin(), list.end()), c.list);
  }
}

}  // namespace
}  // namespace wstest
