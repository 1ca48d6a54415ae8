// Key presses and mouse messages to event codes, without a server: the key
// table, the character rules, the keypad, the vendor and keymap-file stages,
// the lock and break keys, and click counting on message times and the
// fake clock.
#include "winsys_fixture.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include "tests/support/headless/key_alias_fakes.h"
#include "winsys/break_key.h"
#include "winsys/keyboard.h"
#include "winsys/winquery.h"
#include "winsys/x_event_codes.h"
#include "winsys/xevents.h"

namespace wstest {
namespace {

constexpr unsigned kF1Keycode = 67, kF2Keycode = 68;
constexpr uint32_t kAlt = Mod1Mask, kAltGr = Mod5Mask, kCtrl = ControlMask, kShift = ShiftMask;

bool g_numlock = false;
bool g_scroll = false;
bool numlock_probe(uint32_t state) { return g_numlock || (state & Mod2Mask); }
bool scroll_probe() { return g_scroll; }
bool no_alt_down() { return false; }

class KeyCodes : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    evt_reset_state();
    aliastest::install();
    g_numlock = g_scroll = false;
    sim = false;
    kc.alt_mask = kAlt;  // AltGr's Mod5 is not Alt
    kc.f1_keycode = kF1Keycode;
    kc.f2_keycode = kF2Keycode;
    kc.numlock_on = numlock_probe;
    kc.scroll_or_mode_down = scroll_probe;
    kc.alt_down = no_alt_down;
    kc.sim_numlock = &sim;
  }
  void TearDown() override {
    aliastest::install();
    evt_clear_break();
    WinsysTest::TearDown();
  }
  uint32_t code(unsigned long keysym, uint32_t state, unsigned keycode = 38) {
    return evt_translate_key(kc, keysym, keycode, state).event;
  }

  XfKeyContext kc;
  bool sim = false;
};

struct KeyCase {
  const char* what;
  unsigned long keysym;
  unsigned keycode;
  uint32_t state;
  uint32_t event;
};

TEST_F(KeyCodes, TableOfKeys) {
  const KeyCase cases[] = {
      // characters
      {"a", 'a', 38, 0, 'a'},
      {"Shift+A", 'A', 38, kShift, 'A'},
      {"Shift+Space", ' ', 65, kShift, 256},
      {"Ctrl+Space", ' ', 65, kCtrl, 293},
      {"Ctrl+A", 'a', 38, kCtrl, 1},
      {"Ctrl+Z", 'z', 52, kCtrl, 26},
      {"Ctrl+Shift+A", 'A', 38, kCtrl | kShift, 529},
      {"Ctrl+Shift+Z", 'Z', 52, kCtrl | kShift, 554},
      {"Alt+a", 'a', 38, kAlt, 358},
      {"Alt+x", 'x', 53, kAlt, 381},
      {"Alt+Shift+A", 'A', 38, kAlt | kShift, 326},
      {"Ctrl+Alt+A", 'a', 38, kCtrl | kAlt, 262},
      {"Ctrl+Alt+[", '[', 34, kCtrl | kAlt, 288},
      {"Alt+1", '1', 10, kAlt, 310},
      {"Ctrl+0", '0', 19, kCtrl, 565},
      {"Ctrl+1", '1', 10, kCtrl, 566},
      {"Ctrl+2", '2', 11, kCtrl, 567},
      {"Ctrl+! (Shift held)", '!', 10, kCtrl | kShift, 556},
      {"Ctrl+) (Shift held)", ')', 19, kCtrl | kShift, 555},
      {"Ctrl+@ (Shift held)", '@', 11, kCtrl | kShift, 557},
      {"Ctrl+,", ',', 59, kCtrl, 260},
      {"Ctrl+.", '.', 60, kCtrl, 259},
      {"Ctrl+-", '-', 20, kCtrl, 31},
      {"Ctrl+Alt+-", '-', 20, kCtrl | kAlt, 292},
      {"Ctrl+6", '6', 15, kCtrl, 30},
      {"Ctrl+Alt+6", '6', 15, kCtrl | kAlt, 291},
      {"Ctrl+[", '[', 34, kCtrl, 27},
      {"Ctrl+\\", '\\', 51, kCtrl, 28},
      {"Ctrl+]", ']', 35, kCtrl, 29},
      {"Ctrl+/ stays itself", '/', 61, kCtrl, '/'},
      {"AltGr+q is '@' as text", '@', 24, kAltGr, '@'},
      {"AltGr+7 is '{' as text", '{', 16, kAltGr, '{'},
      {"AltGr+Shift+key", '\\', 20, kAltGr | kShift, '\\'},
      // Latin-1 letters and signs are their bytes
      {"eacute", XK_eacute, 26, 0, 0xE9},
      {"Shift+Eacute", XK_Eacute, 26, kShift, 0xC9},
      {"adiaeresis", XK_adiaeresis, 48, 0, 0xE4},
      {"AltGr+sterling", XK_sterling, 12, kAltGr, 0xA3},
      {"nobreakspace", XK_nobreakspace, 65, 0, 0xA0},
      {"ydiaeresis, the last", XK_ydiaeresis, 29, 0, 0xFF},
      {"Ctrl+eacute has no key", XK_eacute, 26, kCtrl, 0},
      {"Alt+eacute has no key", XK_eacute, 26, kAlt, 0},
      // named keys
      {"Return", XK_Return, 36, 0, 389},
      {"Tab", XK_Tab, 23, 0, 390},
      {"Shift+Tab as ISO_Left_Tab is S-TAB", XK_ISO_Left_Tab, 23, kShift, 447},
      {"Ctrl+Shift+Tab as ISO_Left_Tab", XK_ISO_Left_Tab, 23, kCtrl | kShift, 576},
      {"Escape", XK_Escape, 9, 0, 391},
      {"BackSpace", XK_BackSpace, 22, 0, 392},
      {"Home", XK_Home, 110, 0, 396},
      {"End", XK_End, 115, 0, 397},
      {"Left", XK_Left, 113, 0, 398},
      {"Right", XK_Right, 114, 0, 399},
      {"Up", XK_Up, 111, 0, 400},
      {"Down", XK_Down, 116, 0, 401},
      {"Prior", XK_Prior, 112, 0, 403},
      {"Next", XK_Next, 117, 0, 404},
      {"Delete", XK_Delete, 119, 0, 405},
      {"Insert", XK_Insert, 118, 0, 406},
      {"Alt+Return", XK_Return, 36, kAlt, 408},
      {"Ctrl+Return", XK_Return, 36, kCtrl, 427},
      {"Shift+Return", XK_Return, 36, kShift, 446},
      {"Ctrl+Shift+Return", XK_Return, 36, kCtrl | kShift, 575},
      {"Ctrl+Alt+Return", XK_Return, 36, kCtrl | kAlt, 465},
      {"Ctrl+Alt+BackSpace", XK_BackSpace, 22, kCtrl | kAlt, 468},
      {"Ctrl+Alt+Left is Alt+Left", XK_Left, 113, kCtrl | kAlt, 417},
      {"Ctrl+Home", XK_Home, 110, kCtrl, 434},
      {"Cancel is ESC", XK_Cancel, 9, 0, 391},
      {"0xFF1D is ENTER", 0xFF1D, 36, 0, 389},
      // the keypad
      {"KP_Enter", XK_KP_Enter, 104, 0, 389},
      {"KP_Multiply", XK_KP_Multiply, 63, 0, 393},
      {"KP_Add", XK_KP_Add, 86, 0, 394},
      {"KP_Subtract", XK_KP_Subtract, 82, 0, 395},
      {"KP_Divide", XK_KP_Divide, 106, 0, 407},
      {"KP_7", XK_KP_7, 79, 0, '7'},
      {"KP_0", XK_KP_0, 90, 0, '0'},
      {"KP_Decimal", XK_KP_Decimal, 91, 0, '.'},
      {"Shift+KP_7 is Shift+HOME", XK_KP_7, 79, kShift, 453},
      {"Ctrl+KP_Decimal is Ctrl+DEL", XK_KP_Decimal, 91, kCtrl, 443},
      {"Alt+KP_0 is Alt+INS", XK_KP_0, 90, kAlt, 425},
      {"Shift+KP_5 is Shift+PAD-5", XK_KP_5, 84, kShift, 459},
      {"KP_Home", XK_KP_Home, 79, 0, 396},
      {"KP_Begin is HOME", XK_KP_Begin, 84, 0, 396},
      {"KP_Delete", XK_KP_Delete, 91, 0, 405},
      // function keys
      {"F1", XK_F1, kF1Keycode, 0, 469},
      {"F12", XK_F12, 96, 0, 480},
      {"Shift+F1", XK_F1, kF1Keycode, kShift, 481},
      {"Alt+F4", XK_F4, 70, kAlt, 496},
      {"Ctrl+Alt+F4 is Alt+F4", XK_F4, 70, kCtrl | kAlt, 496},
      {"Ctrl+F10", XK_F10, 76, kCtrl, 514},
      {"Ctrl+Shift+F2", XK_F2, kF2Keycode, kCtrl | kShift, 518},
      {"F13 is F3", XK_F13, 191, 0, 471},
      {"F20 is F10", XK_F20, 198, 0, 478},
      {"Menu is F10", XK_Menu, 135, 0, 478},
      {"Help is F1", XK_Help, 146, 0, 469},
      {"KP_F2", XK_KP_F2, 200, 0, 470},
      {"Shift+F11 on F1's key is Shift+F1", XK_F11, kF1Keycode, kShift, 481},
      {"Shift+F12 on F2's key is Shift+F2", XK_F12, kF2Keycode, kShift, 482},
      {"F11 on F1's key without Shift", XK_F11, kF1Keycode, 0, 479},
      // keys without an event
      {"Shift_L", XK_Shift_L, 50, kShift, 0},
      {"Alt_L", XK_Alt_L, 64, 0, 0},
      {"Caps_Lock", XK_Caps_Lock, 66, 0, 0},
      {"ISO_Level3_Shift", XK_ISO_Level3_Shift, 92, 0, 0},
      {"Pause", XK_Pause, 127, 0, 0},
      {"KP_Separator has no entry", XK_KP_Separator, 129, 0, 0},
      {"XF86Copy is not End", XF86XK_Copy, 141, 0, 0},
      {"XF86Cut is not Begin", XF86XK_Cut, 145, 0, 0},
      {"XF86Search is not Escape", XF86XK_Search, 225, 0, 0},
      {"XF86Calculator is not ENTER", XF86XK_Calculator, 148, 0, 0},
      {"XF86AudioPlay is not Scroll_Lock", XF86XK_AudioPlay, 172, 0, 0},
      {"Cyrillic a", 0x1000430, 38, 0, 0},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(code(c.keysym, c.state, c.keycode), c.event) << c.what;
  }
}

// XF86Open's low bits are Break's: it must not stop a macro either.
TEST_F(KeyCodes, WideKeysymsNeverBreak) {
  evt_set_busy(true);
  XfKeyResult r = evt_translate_key(kc, XF86XK_Open, 150, kCtrl);
  EXPECT_FALSE(r.is_break);
  EXPECT_EQ(evt_from_key_msg(kc, XF86XK_Open, 150, kCtrl), 0u);
  EXPECT_EQ(evt_last_event().break_flag, 0);
  EXPECT_FALSE(evt_break_pressed());
}

uint32_t alias_mark(uint32_t code) { return code + 100000; }

TEST_F(KeyCodes, NamedKeysGoThroughTheAliasHookOthersDoNot) {
  aliastest::keys.alias = alias_mark;
  EXPECT_EQ(code(XK_Left, kShift), 455u + 100000);
  EXPECT_EQ(code(XK_KP_7, kShift), 453u + 100000);
  EXPECT_EQ(code(XK_KP_Multiply, 0), 393u + 100000);
  EXPECT_EQ(code(XK_Return, kCtrl | kAlt), 465u);  // the four Ctrl+Alt keys have no twin
  EXPECT_EQ(code(XK_Left, kCtrl | kAlt), 417u + 100000);
  EXPECT_EQ(code('a', kCtrl), 1u);
  EXPECT_EQ(code(XK_KP_7, 0), static_cast<uint32_t>('7'));
  EXPECT_EQ(code(XK_F1, 0, kF1Keycode), 469u);
}

TEST_F(KeyCodes, LockKeysCarryTheirState) {
  XfLastEvent& le = evt_last_event();
  g_scroll = true;
  EXPECT_EQ(evt_from_key_msg(kc, XK_Scroll_Lock, 78, 0), 663u);
  EXPECT_EQ(le.has_value, 1u);
  EXPECT_EQ(le.event_value, 1u);
  g_scroll = false;
  EXPECT_EQ(evt_from_key_msg(kc, XK_Mode_switch, 203, 0), 663u);
  EXPECT_EQ(le.event_value, 0u);

  g_numlock = true;  // the key is down while it is pressed
  EXPECT_EQ(evt_from_key_msg(kc, XK_Num_Lock, 77, 0), 635u);
  EXPECT_EQ(le.event_value, 1u);
  EXPECT_FALSE(sim);  // not simulated on this server

  // An HP server has no NumLock state of its own: it is simulated.
  kc.family = 4;
  EXPECT_EQ(evt_from_key_msg(kc, XK_Num_Lock, 77, 0), 635u);
  EXPECT_EQ(le.event_value, 1u);
  EXPECT_EQ(evt_from_key_msg(kc, XK_Num_Lock, 77, 0), 635u);
  EXPECT_EQ(le.event_value, 0u);

  // A key without a value leaves has value to the caller (who clears it).
  le.has_value = 0;
  EXPECT_EQ(evt_from_key_msg(kc, 'a', 38, 0), static_cast<uint32_t>('a'));
  EXPECT_EQ(le.has_value, 0u);
}

TEST_F(KeyCodes, BreakReleasesTheCaptureAndFlagsOnlyDuringAWait) {
  XfWindow* w = window();
  struct Case {
    unsigned long keysym;
    uint32_t state;
    bool busy;
    bool flagged;
  };
  const Case cases[] = {
      {XK_Break, 0, false, false},
      {XK_Break, 0, true, true},
      {XK_Pause, kCtrl, true, true},
  };
  for (const Case& c : cases) {
    evt_clear_break();
    evt_last_event().break_flag = 0;
    xfSetCapture(w);
    evt_set_busy(c.busy);
    EXPECT_EQ(evt_from_key_msg(kc, c.keysym, 127, c.state), 0u);
    EXPECT_EQ(xfQueryCapture(), nullptr);
    EXPECT_EQ(evt_last_event().break_flag, c.flagged ? 1 : 0);
    EXPECT_EQ(evt_break_pressed(), c.flagged);
  }
  // Pause alone is no break and keeps the capture.
  xfSetCapture(w);
  evt_clear_break();
  EXPECT_EQ(evt_from_key_msg(kc, XK_Pause, 127, 0), 0u);
  EXPECT_EQ(xfQueryCapture(), w);
  EXPECT_FALSE(evt_break_pressed());
  evt_set_busy(false);
}

TEST_F(KeyCodes, KeymapFileOverridesAndPicksTheKeypadColumn) {
  XfKeymapTable table{};
  table.loaded = true;
  table.keys[79][0] = XK_KP_Home;
  table.keys[79][1] = XK_KP_7;
  table.keys[22][0] = XK_Delete;  // a keyboard whose backspace key is Delete
  table.keys[22][1] = XK_Delete;
  kc.keymap = &table;
  EXPECT_EQ(code(XK_KP_Home, 0, 79), 396u);
  EXPECT_EQ(code(XK_KP_Home, Mod2Mask, 79), static_cast<uint32_t>('7'));  // NumLock in state
  EXPECT_EQ(code(XK_KP_Home, Mod2Mask | kShift, 79), 453u);               // both: navigation
  EXPECT_EQ(code(XK_KP_Home, kShift, 79), 453u);                          // Shift alone: the digit, held with Shift
  EXPECT_EQ(code(XK_BackSpace, 0, 22), 405u);
  EXPECT_EQ(code('a', 0, 38), static_cast<uint32_t>('a'));  // keys not in the file stay

  // A file that asks for a simulated NumLock follows the simulated state.
  table.simulate_numlock = true;
  sim = false;
  EXPECT_EQ(code(XK_KP_Home, Mod2Mask, 79), 396u);
  sim = true;
  EXPECT_EQ(code(XK_KP_Home, 0, 79), static_cast<uint32_t>('7'));
}

TEST_F(KeyCodes, VendorKeypads) {
  struct Case {
    int family;
    unsigned keycode;
    bool numlock;
    uint32_t state;
    uint32_t event;
  };
  const Case cases[] = {
      {2, 75, false, 0, 396},       // Sun: Home
      {2, 75, true, 0, '7'},        // Sun: KP_7
      {2, 57, false, 0, 405},       // Sun: Delete
      {2, 57, true, 0, '.'},        // Sun: KP_Decimal
      {2, 99, false, 0, '5'},       // Sun: KP_5 in both columns
      {5, 112, false, 0, 405},      // IBM: Delete
      {5, 112, true, 0, '.'},       // IBM: KP_Decimal
      {5, 107, true, kShift, 463},  // IBM: NumLock and Shift give Shift+INS
      {4, 117, false, 0, 396},      // HP: Home (simulated NumLock off)
      {4, 117, true, 0, '7'},       // HP: KP_7 (simulated NumLock on)
  };
  for (const Case& c : cases) {
    kc.family = c.family;
    kc.keypad_translation = true;
    g_numlock = c.family != 4 && c.numlock;
    sim = c.family == 4 && c.numlock;
    EXPECT_EQ(code(XK_KP_Insert, c.state, c.keycode), c.event) << c.family << " " << c.keycode;
  }
  // Translation off, or another family: the keysym stands.
  kc.family = 2;
  kc.keypad_translation = false;
  EXPECT_EQ(code(XK_KP_Insert, 0, 75), 406u);
  kc.family = 0;
  kc.keypad_translation = true;
  EXPECT_EQ(code(XK_KP_Insert, 0, 75), 406u);
}

TEST_F(KeyCodes, ServerFamilyQuirks) {
  kc.family = 1;  // PC: keycode 101 is keypad 5
  EXPECT_EQ(code(XK_Hiragana_Katakana, 0, 101), 402u);
  kc.family = 6;  // DEC: keycode 188 is BackSpace
  EXPECT_EQ(code(XK_Delete, 0, 188), 392u);
  kc.family = 7;
  EXPECT_EQ(code(XK_Delete, 0, 188), 392u);
  EXPECT_EQ(code(XK_Delete, 0, 119), 405u);

  // HP: the server's own mapping decides Shift and Alt.
  const int min = 8, per = 2;
  KeySym mapping[(24 - min + 1) * per] = {};
  mapping[(24 - min) * per] = 'Q';
  mapping[(24 - min) * per + 1] = '@';
  kc.family = 4;
  kc.mapping = mapping;
  kc.min_keycode = min;
  kc.max_keycode = 24;
  kc.per_keycode = per;
  EXPECT_EQ(code('q', 0, 24), static_cast<uint32_t>('q'));
  EXPECT_EQ(code('q', kShift, 24), static_cast<uint32_t>('@'));
  EXPECT_EQ(code(0xE0, kAlt, 24), 374u);  // Alt+q, whatever the keysym said
  EXPECT_EQ(code('Q', LockMask, 24), static_cast<uint32_t>('Q'));
  kc.raw_alt_keysyms = true;  // and no Alt key is down
  EXPECT_EQ(code('w', kAlt, 24), 261u + 'w');
}

// ----- mouse -----

class Clicks : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    evt_reset_state();
    a = window();
    b = window();
  }
  uint32_t press(uint32_t t, int x = 10, int y = 10, uint32_t state = 0, XfWindow* w = nullptr, uint32_t msg = 20) {
    return evt_from_mouse_msg(msg, true, x, y, w ? w : a, state, t);
  }
  XfWindow* a = nullptr;
  XfWindow* b = nullptr;
};

TEST_F(Clicks, SingleDoubleTripleAndBackToSingle) {
  EXPECT_EQ(press(1000), 594u);
  EXPECT_EQ(press(1200), 597u);
  EXPECT_EQ(press(1400), 600u);
  EXPECT_EQ(press(1600), 594u);
  EXPECT_EQ(press(1700), 597u);
}

TEST_F(Clicks, ButtonsAndModifiers) {
  struct Case {
    uint32_t message;
    uint32_t state;
    uint32_t single;
    uint32_t buttons;
  };
  const Case cases[] = {
      {20, 0, 594, 1},
      {21, 0, 595, 2},
      {22, 0, 596, 4},
      {26, 0, 594, 1},  // the window layer's double-click message is a press
      {20, ShiftMask, 607, 1},
      {21, ShiftMask, 608, 2},
      {20, ControlMask, 625, 1},
      {20, Mod1Mask, 616, 1},
      {20, ShiftMask | ControlMask, 607, 1},  // Shift wins
      {20, ControlMask | Mod1Mask, 625, 1},   // then Ctrl
      {20, Mod5Mask, 594, 1},                 // AltGr's bit is no Alt
      {20, Button1Mask | Mod2Mask, 594, 1},   // buttons and NumLock are no modifiers
  };
  uint32_t t = 10000;
  for (const Case& c : cases) {
    evt_reset_click_count();
    EXPECT_EQ(press(t, 10, 10, c.state, nullptr, c.message), c.single) << c.message << " " << c.state;
    EXPECT_EQ(press(t + 100, 10, 10, c.state, nullptr, c.message), c.single + 3) << c.message << " " << c.state;
    EXPECT_EQ(press(t + 200, 10, 10, c.state, nullptr, c.message), c.single + 6) << c.message << " " << c.state;
    EXPECT_EQ(evt_last_event().mouse_buttons, c.buttons);
    t += 5000;
  }
}

TEST_F(Clicks, WhatBreaksACount) {
  struct Case {
    const char* what;
    uint32_t t2;
    int x2, y2;
    uint32_t state2;
    bool other_window;
    uint32_t msg2;
    uint32_t second;
  };
  const Case cases[] = {
      {"quick and near", 1500, 15, 5, 0, false, 20, 597},
      {"exactly the limit", 1500, 10, 10, 0, false, 20, 597},
      {"one ms over the limit", 1501, 10, 10, 0, false, 20, 594},
      {"six pixels right", 1100, 16, 10, 0, false, 20, 594},
      {"six pixels up", 1100, 10, 4, 0, false, 20, 594},
      {"Shift on the second press", 1100, 10, 10, ShiftMask, false, 20, 607},
      {"another button", 1100, 10, 10, 0, false, 21, 595},
      {"another window", 1100, 10, 10, 0, true, 20, 594},
      {"a time before the first (clock set back)", 900, 10, 10, 0, false, 20, 594},
      {"the same millisecond", 1000, 10, 10, 0, false, 20, 597},
  };
  for (const Case& c : cases) {
    evt_reset_state();
    EXPECT_EQ(press(1000), 594u) << c.what;
    EXPECT_EQ(press(c.t2, c.x2, c.y2, c.state2, c.other_window ? b : a, c.msg2), c.second) << c.what;
  }
}

TEST_F(Clicks, TimesWrapAroundThe32BitClock) {
  EXPECT_EQ(press(0xFFFFFF00u), 594u);
  EXPECT_EQ(press(0x00000050u), 597u);  // 336 ms later
  EXPECT_EQ(press(0x00000400u), 594u);  // far over the limit
}

TEST_F(Clicks, TheDoubleClickSettingReplacesTheSystemTime) {
  EXPECT_EQ(xfQuerySysValue(nullptr, 0x803), 500);
  evt_last_event().double_click_time = 200;
  EXPECT_EQ(press(1000), 594u);
  EXPECT_EQ(press(1300), 594u);
  EXPECT_EQ(press(1450), 597u);
}

TEST_F(Clicks, MessagesWithoutATimeUseTheClock) {
  input.now = 5000;
  EXPECT_EQ(press(0), 594u);
  input.now = 5300;
  EXPECT_EQ(press(0), 597u);
  input.now = 6000;
  EXPECT_EQ(press(0), 594u);
}

TEST_F(Clicks, DraggingAwayFromThePressStartsAgain) {
  EXPECT_EQ(press(1000, 10, 10), 594u);
  EXPECT_EQ(evt_from_mouse_msg(19, true, 13, 10, a, Button1Mask, 1010), 606u);
  EXPECT_EQ(evt_click_count(), 1);  // still near
  EXPECT_EQ(press(1100, 13, 10), 597u);

  evt_reset_state();
  EXPECT_EQ(press(1000, 10, 10), 594u);
  EXPECT_EQ(evt_from_mouse_msg(19, true, 16, 10, a, Button1Mask, 1010), 606u);
  EXPECT_EQ(evt_click_count(), 0);
  EXPECT_EQ(press(1100, 10, 10), 594u);

  // A slow drag in small steps still ends far from the press.
  evt_reset_state();
  EXPECT_EQ(press(1000, 10, 10), 594u);
  for (int x = 14; x <= 50; x += 4) evt_from_mouse_msg(19, true, x, 10, a, Button1Mask, 1000 + x);
  EXPECT_EQ(press(1200, 50, 10), 594u);
}

TEST_F(Clicks, ReleasesAndMotionCountOnlyWhenAsked) {
  XfLastEvent& le = evt_last_event();
  EXPECT_EQ(press(1000, 7, 8), 594u);
  EXPECT_EQ(le.mouse_buttons, 1u);
  EXPECT_EQ(le.mouse_x, 7);
  EXPECT_EQ(le.mouse_y, 8);
  struct Case {
    uint32_t message;
    bool count_moves;
    uint32_t event;
  };
  const Case cases[] = {
      {23, true, 603}, {24, true, 604}, {25, true, 605}, {19, true, 606},
      {23, false, 0},  {24, false, 0},  {25, false, 0},  {19, false, 0},
  };
  for (const Case& c : cases) {
    le.event = 12345;
    EXPECT_EQ(evt_from_mouse_msg(c.message, c.count_moves, 9, 9, a, 0, 1100), c.event) << c.message;
    EXPECT_EQ(le.event, c.event) << c.message;
    if (c.event) {
      EXPECT_EQ(le.mouse_buttons, 0u);
      EXPECT_EQ(le.mouse_x, 9);
    }
  }
  EXPECT_EQ(evt_from_mouse_msg(42, true, 9, 9, a, 0, 1100), 0u);
}

TEST_F(Clicks, ModifierBitsOfAState) {
  EXPECT_EQ(evt_modifier_bits_of(0, Mod1Mask), 0u);
  EXPECT_EQ(evt_modifier_bits_of(ShiftMask, Mod1Mask), 3u);
  EXPECT_EQ(evt_modifier_bits_of(ControlMask | Mod1Mask, Mod1Mask), 12u);
  EXPECT_EQ(evt_modifier_bits_of(ShiftMask | ControlMask | Mod1Mask, Mod1Mask), 15u);
  EXPECT_EQ(evt_modifier_bits_of(Mod5Mask, Mod1Mask), 0u);
  EXPECT_EQ(evt_modifier_bits_of(Mod4Mask, Mod1Mask | Mod4Mask), 8u);
}

// The window layer hands the X event's state and time on with the message.
TEST_F(Clicks, MouseMessagesCarryTheEventsStateAndTime) {
  XfWindow* w = window();
  XEvent ev = button(w, 1, true, 30, 40);
  ev.xbutton.state = ShiftMask | ControlMask;
  ev.xbutton.time = 0xFEDCBA98u;
  XfMessage* r[2];
  int n = 0;
  xfTranslateEvent(&ev, nullptr, r, &n, false);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(r[0]->number, 20u);
  EXPECT_EQ(xf_low(r[0]->mp1), 30);
  EXPECT_EQ(xf_high(r[0]->mp1), 40);
  EXPECT_EQ(xf_mouse_state(r[0]->mp1), static_cast<uint32_t>(ShiftMask | ControlMask));
  EXPECT_EQ(xf_low(r[0]->mp2), 40);
  EXPECT_EQ(xf_high(r[0]->mp2), 60);
  EXPECT_EQ(xf_mouse_time(r[0]->mp2), 0xFEDCBA98u);
  xfFreeMsg(r[0]);

  XEvent mv = motion(w, -3, 5);
  mv.xmotion.state = Mod1Mask | Button1Mask;
  n = 0;
  xfTranslateEvent(&mv, nullptr, r, &n, false);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(xf_low(r[0]->mp1), -3);
  EXPECT_EQ(xf_mouse_state(r[0]->mp1), static_cast<uint32_t>(Mod1Mask | Button1Mask));
  EXPECT_EQ(xf_mouse_time(r[0]->mp2), 77u);
  EXPECT_EQ(xf_mouse_state(xf_mouse_moved(r[0]->mp1, 1, 2)), static_cast<uint32_t>(Mod1Mask | Button1Mask));
  xfFreeMsg(r[0]);
}

}  // namespace
}  // namespace wstest
