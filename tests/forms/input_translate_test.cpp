// Window messages to the editor's events: keys with the raw keypad codes,
// queued repeats, the menu bar's keys, Alt releases, mouse clicks on the
// message's own state and time, scroll bars and timers, and the macro
// runtime's wait and test for the next event.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "forms/bi_objects.h"
#include "forms/input_translate.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "forms/timers.h"
#include "macro/names.h"
#include "tests/macro/key_fixture.h"
#include "tests/support/headless/refresh_fakes.h"
#include "winsys/break_key.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/x_event_codes.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

// Xlib last: its macros (None, Status) stay out of the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using namespace keytest;

// ----- an X side with nothing pending; waits that would hang end the test -----

int waits = 0;
int no_pending(void*) { return 0; }
void no_event(void*, XEvent*) {}
void count_wait(void*, uint32_t) {
  // A wait with nothing queued would block forever: hand it an Escape.
  if (++waits == 50) xfPostMsg(xf().main_window, ZWM_CHAR, xf_key_mp1(XK_Escape, 0), 9);
}
unsigned long no_keysym(void*, XKeyEvent*) { return NoSymbol; }
uint32_t clock_ms = 1000;
uint32_t fake_clock(void*) { return clock_ms; }

// A window whose procedure takes the pointer capture away (as a dialog
// would) when it gets message 0x4001.
intptr_t stealing_proc(XfWindow*, uint32_t n, intptr_t, intptr_t) {
  if (n == 0x4001) {
    if (XfWindow* c = xfQueryCapture()) xfReleaseCapture(c);
  }
  return 0;
}

constexpr EventCode kF10 = kEvF1 + 9;
constexpr EventCode kAltX = kEvAltChar + 'x';

class InputTranslate : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    xf_reset();
    waits = 0;
    clock_ms = 1000;
    xf_set_clock(XfClock{fake_clock, nullptr});
    xf_set_event_source(XfEventSource{no_pending, no_event, no_event, count_wait, no_keysym, nullptr});
    ASSERT_TRUE(forms_register_opcodes(vm_dispatch));
    native_table_reset();
    routing_reset();
    editor_options_reset();
    ASSERT_EQ(objects_init(1024, 768), 0);
    Mod mod;
    mod.global("menus");
    mod.command("noop");
    mod.op("return");
    mod.command("-on-activate-menu");
    mod.op("incr", {"$menus"});
    mod.op("return");
    mod.table("menukeys", {{index_of(kF10), "noop"}, {index_of(kAltX), "noop"}});
    mod.table("other", {{index_of(kEvF1), "noop"}});
    mod.table("default-keys", {});
    boot(mod);
    input_translate_reset();
    refreshfake::install();
    a = make_window();
    b = make_window();
    xf().main_window = a;
  }
  void TearDown() override {
    input_translate_reset();
    evt_clear_break();
    xf_reset();
    objects_shutdown();
    KeyTest::TearDown();
  }
  static XfWindow* make_window() {
    XfWindow* w = xfCreateChildWindow(nullptr, 0, 0, 50, 40, 0, 'u');
    w->proc = stealing_proc;
    return w;
  }
  // The object whose window is `a` (none: null), which is also the active
  // editor window.
  void aim_at(WindowObject* obj) {
    for (int32_t id = 1; id < window_table_count(); ++id)
      if (WindowObject* o = window_record(id); o && o->client_window == a) o->client_window = nullptr;
    if (obj) obj->client_window = a;
    fakes.active_editor = obj;
  }
  // Times "-on-activate-menu" ran.
  static int menu_activations() { return std::stoi(global("menus")); }
  static WindowObject* object_with(const char* table_name) {
    WindowObject* f = window_new_child(nullptr);
    obj_set_type(f, kObjForm);
    WindowObject* c = window_new_child(f);
    obj_set_type(c, kObjCommand);
    c->menu = 1;
    if (table_name) prop_set_field(c->props, 27, name_find(table_name, NF_EVENT_TABLE));
    return c;
  }
  int key(unsigned long keysym, uint32_t state, XfWindow* w = nullptr, int menu_mode = kMenuNever,
          int reader = kReaderWindowProc, unsigned keycode = 38) {
    return app_translate_input(w ? w : a, ZWM_CHAR, xf_key_mp1(keysym, state), keycode, menu_mode, reader);
  }
  int mouse(uint32_t message, int x, int y, uint32_t state, uint32_t time, int reader = kReaderWindowProc) {
    return app_translate_input(a, message, xf_mouse_mp1(x, y, state), xf_mouse_mp2(x + 100, y + 100, time), kMenuNever,
                               reader);
  }
  static void post_key(XfWindow* w, unsigned long keysym, uint32_t state) {
    xfPostMsg(w, ZWM_CHAR, xf_key_mp1(keysym, state), 38);
  }
  static int queued() {
    int n = 0;
    for (XfQueueNode* q = xf_posted_queue()->head; q; q = q->next) ++n;
    return n;
  }
  static EventCode last() { return evt_last_event().event; }

  XfWindow* a = nullptr;
  XfWindow* b = nullptr;
};

// The keys the window layer codes, as the dispatcher receives them: named
// keypad and Shift+navigation keys arrive as their raw two-byte codes.
TEST_F(InputTranslate, KeysReachTheDispatcherWithRawKeypadCodes) {
  struct Case {
    const char* what;
    unsigned long keysym;
    uint32_t state;
    EventCode event;
  };
  const Case cases[] = {
      {"Ctrl+Shift+A", 'A', ShiftMask | ControlMask, 529},
      {"Ctrl+A", 'a', ControlMask, 1},
      {"Return", XK_Return, 0, 389},
      {"Shift+Left is raw, not 455", XK_Left, ShiftMask, 0x4B34},
      {"Shift+KP_7 is Shift+HOME, raw", XK_KP_7, ShiftMask, 0x4737},
      {"KP_Multiply", XK_KP_Multiply, 0, 0x372A},
      {"KP_Divide", XK_KP_Divide, 0, 0xE02F},
      {"KP_7 with NumLock is '7'", XK_KP_7, Mod2Mask, '7'},
      {"Ctrl+Alt+Return is no raw key", XK_Return, ControlMask | Mod1Mask, 465},
      {"AltGr+q is '@'", '@', Mod5Mask, '@'},
      {"F3", XK_F3, 0, 471},
  };
  for (const Case& c : cases) {
    key_globals.last_event = 0;
    ASSERT_EQ(key(c.keysym, c.state), kInputEvent) << c.what;
    EXPECT_EQ(last(), c.event) << c.what;
    EXPECT_EQ(key_globals.last_event, c.event) << c.what;
    EXPECT_EQ(key_globals.repeat_count, 1) << c.what;
    EXPECT_EQ(event_pair_lookup(last(), 0), event_pair_lookup(c.event, 0)) << c.what;
  }
  EXPECT_EQ(key(XK_Shift_L, ShiftMask), kInputNone);
  EXPECT_EQ(key(0x1008FF15 /* XF86Copy */, 0), kInputNone);
}

TEST_F(InputTranslate, IdenticalQueuedKeysBecomeOneEventWithARepeatCount) {
  for (int i = 0; i < 4; ++i) post_key(a, 'x', 0);
  post_key(a, 'y', 0);
  ASSERT_EQ(key('x', 0), kInputEvent);
  EXPECT_EQ(last(), static_cast<EventCode>('x'));
  EXPECT_EQ(evt_last_event().repeat_count, 5u);
  EXPECT_EQ(key_globals.repeat_count, 5);
  EXPECT_EQ(queued(), 1) << "the run stops at the next other key";
}

TEST_F(InputTranslate, RepeatsNeverSwallowOtherKeys) {
  struct Case {
    const char* what;
    uint32_t queued_state;
    bool other_window;
    int reader;
    uint32_t repeat;
  };
  const Case cases[] = {
      {"Ctrl+S then typed s", 0, false, kReaderWindowProc, 1},
      {"the same key for another window", ControlMask, true, kReaderWindowProc, 1},
      {"the macro reader never merges", ControlMask, false, kReaderMacro, 1},
      {"the same key, same window", ControlMask, false, kReaderWindowProc, 4},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 3; ++i) post_key(c.other_window ? b : a, 's', c.queued_state);
    ASSERT_EQ(key('s', ControlMask, a, kMenuNever, c.reader), kInputEvent) << c.what;
    EXPECT_EQ(last(), 19u) << c.what;
    EXPECT_EQ(evt_last_event().repeat_count, c.repeat) << c.what;
    EXPECT_EQ(queued(), static_cast<int>(4 - c.repeat)) << c.what;
    XfMessage m{};
    while (xfPeekMsg(&m, nullptr, 0, 0, 1)) {
    }
  }
}

TEST_F(InputTranslate, F10AndAltLettersGoToTheMenuBarUnlessBound) {
  struct Case {
    const char* what;
    const char* table;  // nullptr: no object at all
    bool object;
    unsigned long keysym;
    uint32_t state;
    int menu_mode;
    int result;
    int activations;
  };
  const Case cases[] = {
      {"F10, no object", nullptr, false, XK_F10, 0, kMenuOwnObject, kInputDefault, 1},
      {"F10, unbound", "other", true, XK_F10, 0, kMenuOwnObject, kInputDefault, 1},
      {"F10, bound", "menukeys", true, XK_F10, 0, kMenuOwnObject, kInputEvent, 0},
      {"F10, active editor unbound", "other", true, XK_F10, 0, kMenuActiveEditor, kInputDefault, 1},
      {"F10, menu never offered", "other", true, XK_F10, 0, kMenuNever, kInputEvent, 0},
      {"Alt+x, unbound", "other", true, 'x', Mod1Mask, kMenuOwnObject, kInputDefault, 0},
      {"Alt+x, bound", "menukeys", true, 'x', Mod1Mask, kMenuOwnObject, kInputEvent, 0},
      {"Alt+X, unbound", "other", true, 'X', Mod1Mask | ShiftMask, kMenuOwnObject, kInputDefault, 0},
      {"Alt+1 is no mnemonic", "other", true, '1', Mod1Mask, kMenuOwnObject, kInputEvent, 0},
      {"F1 is no menu key", "other", true, XK_F1, 0, kMenuOwnObject, kInputEvent, 0},
  };
  int activations = 0;
  for (const Case& c : cases) {
    aim_at(c.object ? object_with(c.table) : nullptr);
    const int screens = refreshfake::refresh.screens;
    EXPECT_EQ(key(c.keysym, c.state, a, c.menu_mode), c.result) << c.what;
    activations += c.activations;
    EXPECT_EQ(menu_activations(), activations) << c.what;
    EXPECT_EQ(refreshfake::refresh.screens - screens, c.activations) << c.what << ": the screen follows the menus";
    EXPECT_TRUE(app_other_key_flag()) << c.what;
  }
}

TEST_F(InputTranslate, AControlWithoutAMenuKeepsEveryKey) {
  WindowObject* c = object_with("other");
  c->menu = 0;
  EXPECT_EQ(obj_menu_key_binding(kF10, c), 0);
  aim_at(c);
  EXPECT_EQ(key(XK_F10, 0, a, kMenuOwnObject), kInputEvent);
  EXPECT_EQ(menu_activations(), 0);
  // An MDI child is asked even without a menu.
  WindowObject* child = window_new_child(nullptr);
  obj_set_type(child, kObjForm);
  child->parent = obj_frame_object();  // an MDI child form
  prop_set_field(child->props, 27, name_find("other", NF_EVENT_TABLE));
  EXPECT_NE(obj_menu_key_binding(kF10, child), 0);
  prop_set_field(child->props, 27, name_find("menukeys", NF_EVENT_TABLE));
  EXPECT_EQ(obj_menu_key_binding(kF10, child), 0);
  child->parent = nullptr;
}

TEST_F(InputTranslate, TheMenuLookupLeavesTheDispatcherAsItWas) {
  WindowObject* c = object_with("menukeys");
  key_globals.last_event = 'q';
  key_globals.repeat_count = 7;
  key_globals.key_arg_count = 2;
  key_globals.key_args[1] = 42;
  EXPECT_EQ(obj_menu_key_binding(kF10, c), 0);
  EXPECT_EQ(key_globals.last_event, static_cast<EventCode>('q'));
  EXPECT_EQ(key_globals.repeat_count, 7);
  EXPECT_EQ(key_globals.key_arg_count, 2);
  EXPECT_EQ(key_globals.key_args[1], 42);
}

TEST_F(InputTranslate, AltReleaseOpensTheMenuOnlyAfterALoneAlt) {
  struct Case {
    const char* what;
    bool key_between;
    bool option;
    int result;
  };
  const Case cases[] = {
      {"lone Alt, option on", false, true, kInputDefault},
      {"lone Alt, option off", false, false, kInputNone},
      {"Alt+x between, option on", true, true, kInputNone},
  };
  for (const Case& c : cases) {
    editor_options().flags =
        c.option ? (editor_options().flags | kOptAltMenu) : (editor_options().flags & ~kOptAltMenu);
    EXPECT_EQ(key(XK_Alt_L, 0), kInputNone) << c.what;
    EXPECT_FALSE(app_other_key_flag()) << c.what;
    if (c.key_between) {
      EXPECT_EQ(key('x', Mod1Mask), kInputEvent) << c.what;
    }
    EXPECT_EQ(app_translate_input(a, ZWM_ALTUP, xf_key_mp1(XK_Alt_L, Mod1Mask), 64, 1, 0), c.result) << c.what;
  }
  for (unsigned long k : {XK_Meta_L, XK_Meta_R, XK_Alt_R, XK_Mode_switch}) {
    app_set_other_key_flag(true);
    EXPECT_EQ(key(k, 0), kInputNone);
    EXPECT_FALSE(app_other_key_flag());
  }
}

// The modifiers and the time of a click are the message's own: the
// keyboard (no server here: nothing held) is never asked.
TEST_F(InputTranslate, ClicksCountOnTheMessagesStateAndTime) {
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 10, 10, 0, 50000), kInputEvent);
  EXPECT_EQ(last(), 594u);
  EXPECT_EQ(key_globals.last_event, 594u);
  EXPECT_EQ(mouse(ZWM_LBUTTONUP, 10, 10, 0, 50050), kInputEvent);
  EXPECT_EQ(last(), 603u);
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 11, 10, 0, 50100), kInputEvent);
  EXPECT_EQ(last(), 597u);
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 11, 11, 0, 50200), kInputEvent);
  EXPECT_EQ(last(), 600u);
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 11, 11, ShiftMask, 50300), kInputEvent);
  EXPECT_EQ(last(), 607u);
  EXPECT_EQ(mouse(ZWM_RBUTTONDOWN, 11, 11, ControlMask, 60000), kInputEvent);
  EXPECT_EQ(last(), 626u);
  EXPECT_EQ(mouse(ZWM_MBUTTONDOWN, 11, 11, Mod1Mask, 70000), kInputEvent);
  EXPECT_EQ(last(), 618u);
  EXPECT_EQ(evt_last_event().repeat_count, 1u);
  EXPECT_EQ(evt_last_event().scroll_event, 0);
  EXPECT_EQ(app_last_input_time(), 70000u);
  // A clock that runs backwards never makes a double click.
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 11, 11, 0, 80000), kInputEvent);
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 11, 11, 0, 79900), kInputEvent);
  EXPECT_EQ(last(), 594u);
}

TEST_F(InputTranslate, TheMacroReaderCountsReleasesAndMotionOnlyWhenWaitingForThem) {
  XfLastEvent& le = evt_last_event();
  le.wait_for_button = 0;
  EXPECT_EQ(mouse(ZWM_MOUSEMOVE, 5, 5, 0, 100, kReaderMacro), kInputNone);
  EXPECT_EQ(mouse(ZWM_LBUTTONUP, 5, 5, 0, 100, kReaderMacro), kInputNone);
  EXPECT_EQ(mouse(ZWM_LBUTTONDOWN, 5, 5, 0, 100, kReaderMacro), kInputEvent);
  le.wait_for_button = 1;
  EXPECT_EQ(mouse(ZWM_MOUSEMOVE, 5, 5, 0, 100, kReaderMacro), kInputEvent);
  EXPECT_EQ(last(), 606u);
  EXPECT_EQ(le.wait_for_button, 1u);
  EXPECT_EQ(mouse(ZWM_MOUSEMOVE, 5, 5, 0, 100, kReaderWindowProc), kInputEvent);
  EXPECT_EQ(le.wait_for_button, 0u) << "a window procedure call clears it";
}

TEST_F(InputTranslate, ScrollBarMessages) {
  struct Case {
    uint32_t message;
    int32_t code;
    int result;
    EventCode event;
    bool value;
  };
  const Case cases[] = {
      {ZWM_VSCROLL, 1, kInputEvent, 644, false},  {ZWM_VSCROLL, 2, kInputEvent, 643, false},
      {ZWM_VSCROLL, 4, kInputEvent, 645, false},  {ZWM_VSCROLL, 8, kInputEvent, 646, false},
      {ZWM_VSCROLL, 16, kInputEvent, 647, true},  {ZWM_VSCROLL, 32, kInputEvent, 648, true},
      {ZWM_VSCROLL, 64, kInputEvent, 659, false}, {ZWM_HSCROLL, 1, kInputEvent, 652, false},
      {ZWM_HSCROLL, 2, kInputEvent, 651, false},  {ZWM_HSCROLL, 4, kInputEvent, 653, false},
      {ZWM_HSCROLL, 8, kInputEvent, 654, false},  {ZWM_HSCROLL, 16, kInputEvent, 655, true},
      {ZWM_HSCROLL, 32, kInputEvent, 656, true},  {ZWM_HSCROLL, 64, kInputEvent, 659, false},
      {ZWM_VSCROLL, 3, kInputDefault, 0, false},  {ZWM_VSCROLL, 128, kInputDefault, 0, false},
      {ZWM_HSCROLL, 0, kInputDefault, 0, false},
  };
  for (const Case& c : cases) {
    int r = app_translate_input(a, c.message, 0, xf_pack(1234, c.code), 1, 0);
    EXPECT_EQ(r, c.result) << c.message << " " << c.code;
    if (r != kInputEvent) continue;
    EXPECT_EQ(last(), c.event);
    EXPECT_EQ(key_globals.last_event, c.event);
    EXPECT_EQ(evt_last_event().scroll_event, 1);
    EXPECT_EQ(evt_last_event().has_value, c.value ? 1u : 0u);
    EXPECT_EQ(key_globals.key_arg_count, c.value ? 1 : 0);
    if (c.value) {
      EXPECT_EQ(evt_last_event().event_value, 1234u);
      EXPECT_EQ(key_globals.key_args[0], 1234);
    }
  }
}

// The key dispatch's window options are the editor options T (views may
// rest on the top-of-file line it shows) and P (typing resets the pointer).
TEST_F(InputTranslate, TheWindowOptionsFollowTheEditorOptionsTAndP) {
  struct Case {
    uint32_t flags;
    int32_t want;
  };
  const Case cases[] = {
      {0, 0}, {kOptTopLine, 1}, {kOptPointer, 8}, {kOptTopLine | kOptPointer | kOptHScroll | kOptAltMenu, 9}};
  for (const Case& c : cases) {
    editor_options().flags = c.flags;
    EXPECT_EQ(evt_window_options(), c.want) << c.flags;
  }
  editor_options_reset();
  EXPECT_EQ(evt_window_options(), 1) << "T is on from start-up, P off";
}

TEST_F(InputTranslate, QueuedScrollTwinsAndThumbSkips) {
  for (int i = 0; i < 3; ++i) xfPostMsg(a, ZWM_VSCROLL, 0, xf_pack(5 + i, 1));
  xfPostMsg(a, ZWM_VSCROLL, 0, xf_pack(9, 2));
  ASSERT_EQ(app_translate_input(a, ZWM_VSCROLL, 0, xf_pack(4, 1), 1, 0), kInputEvent);
  EXPECT_EQ(last(), 644u);
  EXPECT_EQ(evt_last_event().repeat_count, 4u);
  EXPECT_EQ(queued(), 1) << "a line-up is no twin of a line-down";

  app_set_scroll_updates_to_skip(0);
  ASSERT_EQ(app_translate_input(a, ZWM_VSCROLL, 0, xf_pack(300, 16), 1, 0), kInputEvent);
  EXPECT_EQ(app_scroll_updates_to_skip(), 2);
  EXPECT_TRUE(app_take_scroll_skip());
  EXPECT_TRUE(app_take_scroll_skip());
  EXPECT_FALSE(app_take_scroll_skip());
}

TEST_F(InputTranslate, TimersFireOnlyInTheTimerWindowOfAWindowProcedure) {
  obj_command_line()->client_window = a;  // the command line's window owns the timers
  ASSERT_EQ(call("set_timer", {"100"}).rc, ERR_OK);
  ASSERT_EQ(rc(), "0") << "the current timer: native id 1 on the command line";
  ASSERT_TRUE(xf_timer_exists(a, 1));
  EXPECT_EQ(app_translate_input(a, ZWM_TIMER, 0xF000, 0, 1, 0), kInputDefault);
  EXPECT_EQ(app_translate_input(b, ZWM_TIMER, 1, 0, 1, 0), kInputNone);
  EXPECT_EQ(app_translate_input(a, ZWM_TIMER, 1, 0, 0, kReaderMacro), kInputNone);
  EXPECT_FALSE(obj_timer_current_fired(false)) << "another window, or the macro reader";
  EXPECT_EQ(app_translate_input(a, ZWM_TIMER, 1, 0, 1, 0), kInputNone);
  EXPECT_TRUE(obj_timer_current_fired(true));
  EXPECT_FALSE(xf_timer_exists(a, 1)) << "one shot";
  EXPECT_EQ(app_translate_input(a, ZWM_TIMER, 1, 0, 1, 0), kInputNone);
  EXPECT_FALSE(obj_timer_current_fired(true)) << "a message of a stopped timer is stale";
  EXPECT_EQ(app_translate_input(a, ZWM_PAINT, 0, 0, 1, 0), kInputDefault);
  obj_timer_free_all();
  obj_command_line()->client_window = nullptr;
}

TEST_F(InputTranslate, WaitAndTestReplayAnEvent) {
  XfLastEvent& le = evt_last_event();
  le.replay_event = 'r';
  le.replay_count = 2;
  EXPECT_EQ(evt_test(), static_cast<EventCode>('r'));
  EXPECT_EQ(le.replay_count, 2) << "a test does not use a replay up";
  EXPECT_EQ(evt_get(), static_cast<EventCode>('r'));
  EXPECT_EQ(evt_get(), static_cast<EventCode>('r'));
  EXPECT_EQ(le.replay_count, 0);
  post_key(a, 'k', 0);
  EXPECT_EQ(evt_get(), static_cast<EventCode>('k'));
}

TEST_F(InputTranslate, AWaitTakesOneKeyAtATimeAndSeesTheBreakKey) {
  post_key(a, 'z', 0);
  post_key(a, 'z', 0);
  EXPECT_EQ(evt_test(), static_cast<EventCode>('z'));
  EXPECT_EQ(queued(), 2) << "a test leaves the key queued";
  EXPECT_EQ(evt_get(), static_cast<EventCode>('z'));
  EXPECT_EQ(evt_last_event().repeat_count, 1u);
  EXPECT_EQ(queued(), 1);
  EXPECT_EQ(evt_get_wait(), static_cast<EventCode>('z'));

  xfPostMsg(a, ZWM_CHAR, xf_key_mp1(XK_Break, 0), 127);
  post_key(a, 'q', 0);
  EXPECT_FALSE(evt_busy());
  EXPECT_EQ(evt_get(), static_cast<EventCode>('q'));
  EXPECT_EQ(evt_last_event().break_flag, 1);
  EXPECT_TRUE(evt_break_pressed());
  EXPECT_FALSE(evt_busy());

  // Outside a wait the break key flags nothing.
  evt_clear_break();
  evt_last_event().break_flag = 0;
  EXPECT_EQ(key(XK_Break, 0), kInputNone);
  EXPECT_FALSE(evt_break_pressed());
}

TEST_F(InputTranslate, ATestDropsMessagesThatGiveNoEventAndKeepsTheClickCount) {
  mouse(ZWM_LBUTTONDOWN, 3, 4, 0, 1000);
  ASSERT_EQ(evt_click_count(), 1);
  evt_last_event().wait_for_button = 0;
  xfPostMsg(a, ZWM_MOUSEMOVE, xf_mouse_mp1(40, 40, 0), xf_mouse_mp2(0, 0, 1010));
  xfPostMsg(a, ZWM_LBUTTONUP, xf_mouse_mp1(40, 40, 0), xf_mouse_mp2(0, 0, 1020));
  EXPECT_EQ(evt_test(), 0u);
  EXPECT_EQ(queued(), 0);
  EXPECT_EQ(evt_click_count(), 1);

  xfPostMsg(a, ZWM_LBUTTONDOWN, xf_mouse_mp1(30, 30, 0), xf_mouse_mp2(0, 0, 1100));
  EXPECT_EQ(evt_test(), 594u);
  EXPECT_EQ(evt_last_event().mouse_x, 3) << "a test keeps the last event's position";
  EXPECT_EQ(evt_click_count(), 1);
  EXPECT_EQ(queued(), 1);
}

TEST_F(InputTranslate, AWaitEndsWithEscWhenADialogTakesTheCapture) {
  WindowObject* cur = window();  // the current object's window takes the capture during a wait
  window_set_current(cur, 0);
  cur->client_window = a;
  xfPostMsg(b, 0x4001, 0, 0);
  post_key(a, 'n', 0);
  EXPECT_EQ(evt_get(), kEvEsc);
  EXPECT_EQ(queued(), 1) << "the key stays for whoever has the input now";

  // Without a capture to lose, other messages do not end the wait.
  cur->client_window = nullptr;
  evt_last_event().capture_held = 0;
  xfPostMsg(b, 0x4001, 0, 0);
  EXPECT_EQ(evt_get(), static_cast<EventCode>('n'));
}

TEST_F(InputTranslate, AWaitHoldsTheCaptureOnlyWhileItRuns) {
  WindowObject* cur = window();
  window_set_current(cur, 0);
  cur->client_window = a;
  post_key(a, 'w', 0);
  EXPECT_EQ(evt_get(), static_cast<EventCode>('w'));
  EXPECT_EQ(xfQueryCapture(), nullptr) << "released after the wait";
  xfSetCapture(b);
  evt_last_event().capture_held = 0;
  post_key(a, 'w', 0);
  EXPECT_EQ(evt_get(), static_cast<EventCode>('w'));
  EXPECT_EQ(xfQueryCapture(), b) << "a capture held before the wait is left alone";
}

}  // namespace

namespace {

// Any message with any parameters (a hostile client can post them) gives a
// valid answer, and every event is a named code or a raw keypad code.
TEST_F(InputTranslate, ArbitraryParametersGiveOnlyValidEvents) {
  const unsigned seed = static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed());
  std::mt19937_64 rng(seed);
  const uint32_t messages[] = {ZWM_CHAR, ZWM_ALTUP, ZWM_VSCROLL, ZWM_HSCROLL, ZWM_TIMER, 19, 20, 21,
                               22,       23,        24,          25,          26,        27, 28};
  for (int i = 0; i < 20000; ++i) {
    const uint32_t message = messages[rng() % (sizeof messages / sizeof messages[0])];
    intptr_t mp1 = static_cast<intptr_t>(rng()), mp2 = static_cast<intptr_t>(rng());
    if (rng() % 2) mp1 &= 0xFFFFFFFF;  // ordinary keysyms too, not only wide ones
    if (message == ZWM_CHAR && rng() % 2) mp1 = xf_key_mp1(0xFF00 | (rng() & 0xFF), static_cast<uint32_t>(rng()));
    const int r = app_translate_input(a, message, mp1, mp2, static_cast<int>(rng() % 3), static_cast<int>(rng() % 3));
    ASSERT_TRUE(r == kInputNone || r == kInputEvent || r == kInputDefault) << "seed " << seed;
    if (r != kInputEvent) continue;
    const EventCode e = last();
    ASSERT_NE(e, 0u) << "seed " << seed;
    ASSERT_TRUE(e <= kEventLast || event_pair_lookup(e, 0) != e) << e << " seed " << seed;
    ASSERT_GE(evt_last_event().repeat_count, 1u) << "seed " << seed;
  }
}

}  // namespace
