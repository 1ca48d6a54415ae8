// Key and mouse messages to event codes. Start at evt_translate_key: the
// keysym stages, the key table, then the named-key, function-key and
// character rules; the mouse half is evt_from_mouse_msg and the click
// counter below it.
#include "winsys/x_event_codes.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <array>
#include <cstdlib>

#include "winsys/break_key.h"
#include "winsys/key_alias_port.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

// ----- the key table: 0xFF00..0xFFFF by the low byte -----

enum KeyFlags : uint8_t {
  kNone = 0,
  kFunction = 2,  // value: function-key index
  kKeypad = 4,    // value: the character
  kNamed = 8,     // value: named-key index
  kSpecial = 16,  // value: the keysym
};

struct KeyEntry {
  uint8_t flags = kNone;
  uint32_t value = 0;
};

struct KeyRow {
  unsigned long keysym;
  uint8_t flags;
  uint32_t value;
};

// keysym, flags, value. Ranges (keypad digits, function keys) are added by
// build_key_table.
constexpr KeyRow kKeyRows[] = {
    {XK_BackSpace, kNamed, 3},
    {XK_Tab, kNamed, 1},
    {XK_Return, kNamed, 0},
    {XK_Pause, kSpecial, XK_Pause},
    {XK_Scroll_Lock, kSpecial, XK_Scroll_Lock},
    {XK_Escape, kNamed, 2},
    {0xFF1D, kNamed, 0},
    {0xFF28, kNamed, 13},
    {XK_Home, kNamed, 7},
    {XK_Left, kNamed, 9},
    {XK_Up, kNamed, 11},
    {XK_Right, kNamed, 10},
    {XK_Down, kNamed, 12},
    {XK_Prior, kNamed, 14},
    {XK_Next, kNamed, 15},
    {XK_End, kNamed, 8},
    {XK_Begin, kNamed, 7},
    {XK_Insert, kNamed, 17},
    {XK_Menu, kFunction, 9},
    {XK_Cancel, kNamed, 2},
    {XK_Help, kFunction, 0},
    {XK_Break, kSpecial, XK_Break},
    {XK_Mode_switch, kSpecial, XK_Mode_switch},
    {XK_Num_Lock, kSpecial, XK_Num_Lock},
    {XK_KP_Tab, kNamed, 1},
    {XK_KP_Enter, kNamed, 0},
    {XK_KP_F1, kFunction, 0},
    {XK_KP_F2, kFunction, 1},
    {XK_KP_F3, kFunction, 2},
    {XK_KP_F4, kFunction, 3},
    {XK_KP_Home, kNamed, 7},
    {XK_KP_Left, kNamed, 9},
    {XK_KP_Up, kNamed, 11},
    {XK_KP_Right, kNamed, 10},
    {XK_KP_Down, kNamed, 12},
    {XK_KP_Prior, kNamed, 14},
    {XK_KP_Next, kNamed, 15},
    {XK_KP_End, kNamed, 8},
    {XK_KP_Begin, kNamed, 7},
    {XK_KP_Insert, kNamed, 17},
    {XK_KP_Delete, kNamed, 16},
    {XK_KP_Multiply, kNamed, 4},
    {XK_KP_Add, kNamed, 5},
    {XK_KP_Subtract, kNamed, 6},
    {XK_KP_Decimal, kKeypad, '.'},
    {XK_KP_Divide, kNamed, 18},
    {XK_Delete, kNamed, 16},
};

constexpr std::array<KeyEntry, 256> build_key_table() {
  std::array<KeyEntry, 256> t{};
  for (const KeyRow& r : kKeyRows) t[r.keysym & 0xFF] = {r.flags, r.value};
  for (uint32_t d = 0; d < 10; ++d) t[(XK_KP_0 + d) & 0xFF] = {kKeypad, '0' + d};
  for (uint32_t f = 0; f < 12; ++f) t[(XK_F1 + f) & 0xFF] = {kFunction, f};      // F1..F12
  for (uint32_t f = 0; f < 8; ++f) t[(XK_F13 + f) & 0xFF] = {kFunction, 2 + f};  // F13..F20 as F3..F10
  return t;
}
constexpr std::array<KeyEntry, 256> kKeyTable = build_key_table();
static_assert(kKeyTable[XK_F12 & 0xFF].value == 11 && kKeyTable[XK_F20 & 0xFF].value == 9);
static_assert(kKeyTable[XK_KP_9 & 0xFF].value == '9' && kKeyTable[XK_KP_9 & 0xFF].flags == kKeypad);

// A keypad digit or point held with a modifier stands for the navigation
// key printed on it.
constexpr unsigned long kKeypadNavigation[] = {
    XK_Insert, XK_End, XK_Down, XK_Next, XK_Left, 0xFF28 /* keypad 5 */, XK_Right, XK_Home, XK_Up, XK_Prior,
};
static_assert(sizeof kKeypadNavigation / sizeof kKeypadNavigation[0] == 10);

unsigned long keypad_navigation(uint32_t ch) { return ch == '.' ? XK_Delete : kKeypadNavigation[ch - '0']; }

// ----- the vendors' keypads: keycode -> {navigation, numeric} -----

struct VendorKey {
  uint8_t keycode;
  unsigned long nav, num;
};
constexpr VendorKey kSunKeypad[] = {
    {22, XK_Escape, XK_Escape},
    {53, XK_KP_Divide, XK_KP_Divide},
    {54, XK_KP_Multiply, XK_KP_Multiply},
    {57, XK_Delete, XK_KP_Decimal},
    {75, XK_Home, XK_KP_7},
    {76, XK_Up, XK_KP_8},
    {77, XK_Prior, XK_KP_9},
    {78, XK_KP_Subtract, XK_KP_Subtract},
    {98, XK_Left, XK_KP_4},
    {99, XK_KP_5, XK_KP_5},
    {100, XK_Right, XK_KP_6},
    {101, XK_Insert, XK_KP_0},
    {119, XK_End, XK_KP_1},
    {120, XK_Down, XK_KP_2},
    {121, XK_Next, XK_KP_3},
};
constexpr VendorKey kHpKeypad[] = {
    {114, XK_End, XK_KP_1},          {116, XK_Left, XK_KP_4}, {117, XK_Home, XK_KP_7},  {121, XK_Insert, XK_KP_0},
    {122, XK_Delete, XK_KP_Decimal}, {123, XK_Down, XK_KP_2}, {124, XK_KP_5, XK_KP_5},  {125, XK_Right, XK_KP_6},
    {126, XK_Up, XK_KP_8},           {131, XK_Next, XK_KP_3}, {134, XK_Prior, XK_KP_9},
};
constexpr VendorKey kIbmKeypad[] = {
    {99, XK_Home, XK_KP_7},   {100, XK_Left, XK_KP_4}, {101, XK_End, XK_KP_1},          {104, XK_Up, XK_KP_8},
    {105, XK_KP_5, XK_KP_5},  {106, XK_Down, XK_KP_2}, {107, XK_Insert, XK_KP_0},       {109, XK_Prior, XK_KP_9},
    {110, XK_Right, XK_KP_6}, {111, XK_Next, XK_KP_3}, {112, XK_Delete, XK_KP_Decimal},
};

template <size_t N>
unsigned long vendor_lookup(const VendorKey (&table)[N], unsigned keycode, int column) {
  for (const VendorKey& v : table)
    if (v.keycode == keycode) return column ? v.num : v.nav;
  return 0;
}

// System values: the double-click tolerances and time.
constexpr int32_t kSysDoubleClickCy = 0x801, kSysDoubleClickCx = 0x802, kSysDoubleClickTime = 0x803;

// Server families.
constexpr int kFamilyPc = 1, kFamilySun = 2, kFamilyHp = 4, kFamilyIbm = 5, kFamilyDec = 6, kFamilyDecUnix = 7;

// ----- the layer's state -----

struct ClickState {
  int count = 0;  // 0..3
  int button = -1;
  uint32_t base = 0;
  uint32_t time = 0;
  int32_t x = 0, y = 0;  // where the counted press was
  XfWindow* target = nullptr;
};

struct State {
  XfLastEvent last;
  ClickState click;
  bool busy = false;
};

State& S() {
  static State s;
  return s;
}

bool shift_in(uint32_t state) { return state & ShiftMask; }
bool ctrl_in(uint32_t state) { return state & ControlMask; }
bool alt_in(const XfKeyContext& kc, uint32_t state) { return state & kc.alt_mask; }

bool numlock_now(const XfKeyContext& kc, uint32_t state, bool simulated) {
  if (simulated) return kc.sim_numlock && *kc.sim_numlock;
  return kc.numlock_on && kc.numlock_on(state);
}

uint32_t function_key(const XfKeyContext& kc, uint32_t f, unsigned keycode, uint32_t state) {
  if (shift_in(state)) {
    // A keyboard whose Shift+F1 gives F11 still means Shift+F1.
    if (kc.f1_keycode && keycode == kc.f1_keycode) f = 0;
    if (kc.f2_keycode && keycode == kc.f2_keycode) f = 1;
  }
  if (alt_in(kc, state)) return kXeAltF1 + f;
  if (shift_in(state)) return (ctrl_in(state) ? kXeCtrlShiftF1 : kXeShiftF1) + f;
  if (ctrl_in(state)) return kXeCtrlF1 + f;
  return kXeF1 + f;
}

XfKeyResult special_key(const XfKeyContext& kc, unsigned long k, uint32_t state) {
  XfKeyResult r;
  if (k == XK_Scroll_Lock || k == XK_Mode_switch) {
    r.event = kXeOnScrollLock;
    r.value = kc.scroll_or_mode_down && kc.scroll_or_mode_down() ? 1 : 0;
    r.has_value = true;
  } else if (k == XK_Num_Lock) {
    r.event = kXeOnNumLock;
    bool simulated = kc.family == kFamilyHp || (kc.keymap && kc.keymap->loaded && kc.keymap->simulate_numlock);
    if (simulated && kc.sim_numlock) {
      *kc.sim_numlock = !*kc.sim_numlock;
      r.value = *kc.sim_numlock ? 1 : 0;
    } else {
      r.value = kc.numlock_on && kc.numlock_on(0) ? 1 : 0;
    }
    r.has_value = true;
  } else if (k == XK_Break || (k == XK_Pause && ctrl_in(state))) {
    r.is_break = true;
  }
  return r;
}

// The click counter's clock when a message carries no X time.
uint32_t clock_now() {
  const XfClock& c = xf().clock;
  return c.now_ms ? c.now_ms(c.ctx) : 0;
}

// The live keyboard's cached facts, fetched once per keyboard map.
struct LiveKeyboard {
  bool fetched = false;
  unsigned f1 = 0, f2 = 0;
  KeySym* mapping = nullptr;
  int min = 0, max = 0, per = 0;
  void forget() {
    if (mapping) XFree(mapping);
    *this = LiveKeyboard{};
  }
};
LiveKeyboard& live() {
  static LiveKeyboard k;
  return k;
}

bool live_numlock_on(uint32_t state) { return xfIsNumLockOn(state); }
bool live_scroll_or_mode_down() { return xfIsScrollOrModeDown(); }
bool live_alt_down() { return xfIsAltDown(); }

}  // namespace

// ----- the last event -----

XfLastEvent& evt_last_event() { return S().last; }

void evt_reset_state() { S() = State{}; }

bool evt_busy() { return S().busy; }
void evt_set_busy(bool busy) { S().busy = busy; }
int evt_stub_zero() { return 0; }
void evt_stub_noop() {}

// ----- the keyboard's context -----

void evt_keyboard_changed() { live().forget(); }

XfKeyContext xf_key_context() {
  XfKeyContext kc;
  XfSystem& x = xf();
  kc.alt_mask = xfAltMask();
  kc.family = x.server.family;
  kc.keypad_translation = x.server.keypad_translation == 1;
  kc.keymap = x.keyboard.table.loaded ? &x.keyboard.table : nullptr;
  kc.raw_alt_keysyms = x.server.raw_alt_keysyms;
  kc.numlock_on = live_numlock_on;
  kc.scroll_or_mode_down = live_scroll_or_mode_down;
  kc.alt_down = live_alt_down;
  kc.sim_numlock = &x.keyboard.sim_numlock;
  LiveKeyboard& k = live();
  if (Display* d = xf_display(); d && !k.fetched) {
    k.fetched = true;
    k.f1 = XKeysymToKeycode(d, XK_F1);
    k.f2 = XKeysymToKeycode(d, XK_F2);
    if (kc.family == kFamilyHp) {
      XDisplayKeycodes(d, &k.min, &k.max);
      k.mapping = XGetKeyboardMapping(d, static_cast<KeyCode>(k.min), k.max - k.min + 1, &k.per);
      if (!k.mapping) k.per = 0;
    }
  }
  kc.f1_keycode = k.f1;
  kc.f2_keycode = k.f2;
  kc.mapping = k.mapping;
  kc.min_keycode = k.min;
  kc.max_keycode = k.max;
  kc.per_keycode = k.per;
  return kc;
}

// ----- keysym stages -----

unsigned long evt_key_keysym(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state) {
  unsigned long k = keysym;
  bool overridden = false;
  if (kc.keymap && kc.keymap->loaded && keycode < kKeymapSize && kc.keymap->keys[keycode][0] != NoSymbol) {
    k = kc.keymap->keys[keycode][0];
    overridden = true;
  }
  if (kc.family == kFamilyHp) {
    unsigned long k0 = 0, k1 = 0;
    if (kc.mapping && kc.per_keycode > 0 && static_cast<int>(keycode) >= kc.min_keycode &&
        static_cast<int>(keycode) <= kc.max_keycode) {
      const KeySym* row = kc.mapping + static_cast<size_t>(keycode - kc.min_keycode) * kc.per_keycode;
      k0 = row[0];
      k1 = kc.per_keycode > 1 ? row[1] : 0;
    }
    bool alt = alt_in(kc, state);
    if ((state & LockMask) && !alt) return k;
    if (shift_in(state)) return k1 ? k1 : k0 ? k0 : k;
    if (alt) {
      if (k == XK_Alt_L) return k;
      if (kc.raw_alt_keysyms && !(kc.alt_down && kc.alt_down())) return k;
      return k0 >= 'A' && k0 <= 'Z' ? k0 + ('a' - 'A') : k0;
    }
    return k;
  }
  if (kc.family == kFamilyPc && keycode == 101 && !overridden) return 0xFF28;
  if ((kc.family == kFamilyDec || kc.family == kFamilyDecUnix) && keycode == 188 && !overridden) return XK_BackSpace;
  return k;
}

unsigned long evt_keypad_keysym(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state) {
  if (keycode >= static_cast<unsigned>(kKeymapSize)) return keysym;
  if (kc.keymap && kc.keymap->loaded) {
    bool numlock = numlock_now(kc, state, kc.keymap->simulate_numlock);
    int column = numlock != shift_in(state) ? 1 : 0;
    unsigned long k = kc.keymap->keys[keycode][column];
    return k != NoSymbol ? k : keysym;
  }
  if (!kc.keypad_translation) return keysym;
  if (kc.family != kFamilySun && kc.family != kFamilyHp && kc.family != kFamilyIbm) return keysym;
  bool numlock = numlock_now(kc, state, kc.family == kFamilyHp);
  int column = numlock != shift_in(state) ? 1 : 0;
  unsigned long k = kc.family == kFamilySun  ? vendor_lookup(kSunKeypad, keycode, column)
                    : kc.family == kFamilyHp ? vendor_lookup(kHpKeypad, keycode, column)
                                             : vendor_lookup(kIbmKeypad, keycode, column);
  return k ? k : keysym;
}

// ----- code rules -----

uint32_t evt_named_key(const XfKeyContext& kc, int n, uint32_t state) {
  uint32_t code;
  if (alt_in(kc, state)) {
    if (ctrl_in(state) && n < 4) return kXeCtrlAltNamed + n;  // these have no raw twin
    code = kXeAltNamed + n;
  } else if (shift_in(state)) {
    code = (ctrl_in(state) ? kXeCtrlShiftNamed : kXeShiftNamed) + n;
  } else {
    code = (ctrl_in(state) ? kXeCtrlNamed : kXeNamed) + n;
  }
  return evt_key_alias(code);
}

uint32_t evt_char_key(const XfKeyContext& kc, uint32_t ch, uint32_t state) {
  const bool alt = alt_in(kc, state), ctrl = ctrl_in(state), shift = shift_in(state);
  if (ctrl) {
    switch (ch) {
      case ' ':
        return kXeCtrlSpace;
      case ',':
        return kXeCtrlComma;
      case '-':
        return alt ? 292 : 31;
      case '.':
        return kXeCtrlDot;
      case '2':
        return kXeCtrl0 + 2;
      case '6':
        return alt ? 291 : 30;
      default:
        break;
    }
  }
  auto upper = [](uint32_t c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; };
  auto lower = [](uint32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  if (alt) {
    uint32_t u = upper(ch);
    if (ctrl && u >= 'A' && u <= '^') return u + 197;
    uint32_t c = shift ? upper(ch) : lower(ch);
    return kXeAltChar + c;
  }
  if (ctrl) {
    static constexpr char kShiftedDigits[] = ")!@#$%^&*(";
    for (uint32_t d = 0; d < 10; ++d)
      if (ch == static_cast<uint32_t>(kShiftedDigits[d])) ch = '0' + d;
    uint32_t u = upper(ch);
    if (u >= '0' && u <= '9') return (shift ? kXeCtrlShift0 : kXeCtrl0) + (u - '0');
    if (shift && u >= 'A' && u <= 'Z') return kXeCtrlShiftA + (u - 'A');
    if (u >= 'A' && u <= ']') return u - 64;
    return ch;
  }
  if (shift && ch == ' ') return kXeShiftSpace;
  return ch;
}

XfKeyResult evt_translate_key(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state) {
  XfKeyResult r;
  unsigned long k = evt_key_keysym(kc, keysym, keycode, state);
  if (k >= 0x20 && k <= 0x7E) {
    r.event = evt_char_key(kc, static_cast<uint32_t>(k), state);
    return r;
  }
  // The Latin-1 letters and signs (keysyms 0xA0..0xFF are their bytes) type
  // themselves; with Ctrl or Alt they have no key of their own.
  if (k >= 0xA0 && k <= 0xFF) {
    if (!(state & (ControlMask | kc.alt_mask))) r.event = static_cast<uint32_t>(k);
    return r;
  }
  k = evt_keypad_keysym(kc, k, keycode, state);
  if (k == XK_ISO_Left_Tab) k = XK_Tab;  // what most keymaps give Shift+Tab
  // Only 0xFF00..0xFFFF are keys of the table; a keysym above it (the
  // multimedia keys) must not fall onto an entry by its low byte.
  if (k < 0xFF00 || k > 0xFFFF) return r;
  KeyEntry e = kKeyTable[k & 0xFF];
  switch (e.flags) {
    case kSpecial:
      return special_key(kc, k, state);
    case kKeypad:
      if (!(state & (ShiftMask | ControlMask | kc.alt_mask))) {
        r.event = e.value;
        return r;
      }
      e = kKeyTable[keypad_navigation(e.value) & 0xFF];
      r.event = evt_named_key(kc, static_cast<int>(e.value), state);
      return r;
    case kNamed:
      r.event = evt_named_key(kc, static_cast<int>(e.value), state);
      return r;
    case kFunction:
      r.event = function_key(kc, e.value, keycode, state);
      return r;
    default:
      return r;
  }
}

uint32_t evt_from_key_msg(const XfKeyContext& kc, unsigned long keysym, unsigned keycode, uint32_t state) {
  XfLastEvent& le = S().last;
  le.event = 0;
  XfKeyResult r = evt_translate_key(kc, keysym, keycode, state);
  if (r.is_break) {
    if (XfWindow* holder = xfQueryCapture()) xfReleaseCapture(holder);
    if (S().busy) {
      le.break_flag = 1;
      evt_flag_break();
    }
    return 0;
  }
  le.event = r.event;
  if (r.has_value) {
    le.event_value = r.value;
    le.has_value = 1;
  }
  return le.event;
}

uint32_t evt_from_key_msg(unsigned long keysym, unsigned keycode, uint32_t state, bool) {
  return evt_from_key_msg(xf_key_context(), keysym, keycode, state);
}

// ----- mouse -----

uint32_t evt_modifier_bits_of(uint32_t state, uint32_t alt_mask) {
  uint32_t bits = 0;
  if (state & alt_mask) bits |= kXeModAlt;
  if (state & ControlMask) bits |= kXeModCtrl;
  if (state & ShiftMask) bits |= kXeModShift;
  return bits;
}

uint32_t evt_modifier_bits() {
  uint32_t bits = 0;
  if (xfIsAltDown()) bits |= kXeModAlt;
  if (xfIsCtrlDown()) bits |= kXeModCtrl;
  if (xfIsShiftDown()) bits |= kXeModShift;
  return bits;
}

bool evt_near_last_click(int32_t x, int32_t y) {
  const ClickState& c = S().click;
  return std::abs(c.x - x) <= xfQuerySysValue(nullptr, kSysDoubleClickCx) &&
         std::abs(c.y - y) <= xfQuerySysValue(nullptr, kSysDoubleClickCy);
}

void evt_reset_click_count() { S().click.count = 0; }
int evt_click_count() { return S().click.count; }
void evt_set_click_count(int count) { S().click.count = count; }

uint32_t evt_count_click(int button, int32_t x, int32_t y, XfWindow* window, uint32_t mods, uint32_t time) {
  ClickState& c = S().click;
  uint32_t base = (mods & kXeModShift) == kXeModShift ? kXeShiftMouse
                  : (mods & kXeModCtrl)               ? kXeCtrlMouse
                  : (mods & kXeModAlt)                ? kXeAltMouse
                                                      : kXeMouse;
  uint32_t limit = S().last.double_click_time ? S().last.double_click_time
                                              : static_cast<uint32_t>(xfQuerySysValue(nullptr, kSysDoubleClickTime));
  // X times wrap at 2^32 ms; a press stamped before the last one (clock set
  // back, events out of order) is never quick.
  int64_t diff = static_cast<int32_t>(time - c.time);
  bool quick = diff >= 0 && diff <= static_cast<int64_t>(limit) && window == c.target;
  c.target = window;
  bool same = button == c.button && base == c.base && evt_near_last_click(x, y);
  if (quick && same && (c.count == 1 || c.count == 2)) {
    uint32_t code = base + button + (c.count == 1 ? 3 : 6);
    ++c.count;
    c.time = time;
    return code;
  }
  c.count = 1;
  c.button = button;
  c.base = base;
  c.time = time;
  c.x = x;
  c.y = y;
  return base + button;
}

uint32_t evt_from_mouse_msg(uint32_t message, bool count_moves, int32_t x, int32_t y, XfWindow* window, uint32_t state,
                            uint32_t time) {
  XfLastEvent& le = S().last;
  if (time == 0) time = clock_now();
  uint32_t mods = evt_modifier_bits_of(state, xfAltMask());
  uint32_t code = 0, buttons = 0;
  switch (message) {
    case 20:
    case 26:
    case 21:
    case 27:
    case 22:
    case 28: {
      int button = (message == 20 || message == 26) ? 0 : (message == 21 || message == 27) ? 1 : 2;
      code = evt_count_click(button, x, y, window, mods, time);
      buttons = 1u << button;
      break;
    }
    case 23:
    case 24:
    case 25:
      if (count_moves) code = kXeButtonUp + (message - 23);
      break;
    case 19:
      if (count_moves) {
        code = kXeMouseMove;
        // A drag away from the press starts the counting again.
        if (!evt_near_last_click(x, y)) S().click.count = 0;
      }
      break;
    default:
      break;
  }
  if (!code) {
    le.event = 0;
    return 0;
  }
  le.mouse_buttons = buttons;
  le.mouse_x = x;
  le.mouse_y = y;
  le.event = code;
  return code;
}
