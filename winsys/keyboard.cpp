#include "winsys/keyboard.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/regular_file.h"
#include "winsys/break_key.h"
#include "winsys/x_event_codes.h"
#include "winsys/xfsys.h"

namespace {

// The keysyms the key-down tests ask about; their keycodes are looked up
// once and kept in XfKeyboard::codes by this index.
enum KeyIndex {
  kNumLock,
  kScrollLock,
  kModeSwitch,
  kAltL,
  kAltR,
  kControlL,
  kControlR,
  kShiftL,
  kShiftR,
  kBreak,
  kKeyCount
};
constexpr KeySym kKeySyms[kKeyCount] = {XK_Num_Lock,  XK_Scroll_Lock, XK_Mode_switch, XK_Alt_L,   XK_Alt_R,
                                        XK_Control_L, XK_Control_R,   XK_Shift_L,     XK_Shift_R, XK_Break};

XfKeyboard& K() { return xf().keyboard; }

int keycode_of(KeyIndex i) {
  int& code = K().codes[i];
  if (code == 0) {
    Display* d = xf_display();
    KeyCode kc = d ? XKeysymToKeycode(d, kKeySyms[i]) : 0;
    code = kc ? kc : -1;
  }
  return code;
}

// One snapshot of the server's key state.
struct Keymap {
  char bits[32] = {};
  bool read() {
    Display* d = xf_display();
    if (!d) return false;
    XQueryKeymap(d, bits);
    return true;
  }
  bool down(int keycode) const { return keycode > 0 && keycode < 256 && (bits[keycode >> 3] & (1 << (keycode & 7))); }
  bool down(KeyIndex i) const { return down(keycode_of(i)); }
};

// ----- the keymap file -----

// Keycode -> keysym of the spare-keycode rewrite.
struct SpareKey {
  int keycode;
  KeySym keysym;
};
constexpr SpareKey kSpareKeys[] = {
    {136, XK_KP_7}, {137, XK_KP_8},  {138, XK_KP_9},   {139, XK_KP_4},   {140, XK_KP_5},       {141, XK_KP_6},
    {142, XK_KP_1}, {143, XK_KP_2},  {144, XK_KP_3},   {145, XK_KP_0},   {146, XK_KP_Decimal}, {147, XK_Home},
    {148, XK_Up},   {149, XK_Prior}, {150, XK_Left},   {151, XK_KP_5},   {152, XK_Right},      {153, XK_End},
    {154, XK_Down}, {155, XK_Next},  {156, XK_Insert}, {157, XK_Delete},
};
constexpr int kFirstSpare = 136;
constexpr int kBackSpaceKeycode = 22;

// Longest line the file format knows; the rest of a longer line is dropped.
constexpr int kKeymapLine = 255;
// A keymap names at most a few hundred keys: a page or two of text.
constexpr int64_t kKeymapFileMax = 1 << 20;

bool starts_with(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// An unsigned decimal after optional blanks; false when there is none or
// it does not fit.
bool read_number(const char* p, unsigned long* out) {
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long v = std::strtoul(p, &end, 10);
  if (errno == ERANGE) return false;
  *out = v;
  return true;
}

void apply_line(char* line, XfKeymapTable* t, bool* simulate) {
  if (starts_with(line, "XServerVendor")) return;
  char* eq = std::strchr(line, '=');
  if (!eq) return;
  *eq = '\0';
  const char* name = line;
  unsigned long number = 0;
  if (!read_number(eq + 1, &number)) return;
  if (std::strcmp(name, "KeymapVersion") == 0) return;
  if (std::strcmp(name, "NumLockModifierMask") == 0) {
    t->numlock_mask = static_cast<uint32_t>(number);
    return;
  }
  if (number >= kKeymapSize) return;
  int column = 0;
  bool prefixed = false;
  if (starts_with(name, "TKP_")) {
    name += 4;
    prefixed = true;
  } else if (starts_with(name, "UKP_")) {
    name += 1;  // "KP_..."
    column = 1;
    prefixed = true;
  }
  KeySym sym = XStringToKeysym(name);
  if (sym == NoSymbol) return;
  KeySym* entry = t->keys[number];
  if (entry[0] != NoSymbol) {
    entry[column] = sym;
    if (prefixed && sym != XK_KP_5) *simulate = true;
  } else {
    entry[column] = sym;
    if (!prefixed) entry[1] = sym;
  }
}

}  // namespace

bool xf_parse_keymap_file(const char* name, XfKeymapTable* t, FILE* out) {
  t->loaded = false;
  t->simulate_numlock = false;
  std::string text;
  if (regular_file_read(name, kKeymapFileMax, &text) != 0) {
    std::fprintf(out, "Zorvex:  Can't open keymap file %s.\n", name);
    std::fprintf(out, "Zorvex:  Keymap file ignored.\n");
    return false;
  }
  std::memset(t->keys, 0, sizeof t->keys);
  t->numlock_mask = 0;
  bool simulate = false;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    // The line's first characters with its line end: the rest is dropped.
    std::string line = text.substr(at, std::min(end + 1 - at, static_cast<size_t>(kKeymapLine) + 1));
    at = end + 1;
    line.resize(std::strlen(line.c_str()));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    apply_line(line.data(), t, &simulate);
  }
  for (auto& entry : t->keys) {
    if (entry[0] != NoSymbol && entry[1] == NoSymbol) entry[1] = entry[0];
    if (entry[1] != NoSymbol && entry[0] == NoSymbol) entry[0] = entry[1];
  }
  t->loaded = true;
  t->simulate_numlock = simulate && t->numlock_mask == 0;
  return true;
}

void xf_print_keymap_table(const XfKeymapTable* t, FILE* out) {
  if (!t->loaded) {
    std::fprintf(out, "Keymap table not available.\n");
  } else {
    std::fprintf(out, "Keymap table:\n");
    int shown = 0;
    for (int kc = 0; kc < kKeymapSize; ++kc) {
      const KeySym* e = t->keys[kc];
      if (e[0] == NoSymbol && e[1] == NoSymbol) continue;
      const char* a = e[0] != NoSymbol ? XKeysymToString(e[0]) : nullptr;
      const char* b = e[1] != NoSymbol ? XKeysymToString(e[1]) : nullptr;
      char pair[128];
      std::snprintf(pair, sizeof pair, "%s %s", a ? a : "", b ? b : "");
      std::fprintf(out, "%03d. %-30s ", kc, pair);
      if (++shown % 2 == 0) std::fprintf(out, "\n");
    }
    std::fprintf(out, "\n");
  }
  std::fprintf(out, t->simulate_numlock ? "Need to simulate NumLock.\n" : "No need to simulate NumLock.\n");
}

void xfReadKeymapFile(const char* name) {
  xf_parse_keymap_file(name, &K().table, stdout);
  if (xf().server.debug_bits & 2) xf_print_keymap_table(&K().table, stdout);
}

void xfLoadKeymapFile(const char* name) { xfReadKeymapFile(name); }

const XfKeymapTable& xf_keymap_table() { return K().table; }

// ----- modifiers -----

uint32_t xfModifierMaskOf(KeySym keysym) {
  Display* d = xf_display();
  if (!d) return 0;
  XfKeyboard& k = K();
  if (!k.modmap) k.modmap = XGetModifierMapping(d);
  KeyCode kc = XKeysymToKeycode(d, keysym);
  if (!kc || !k.modmap) return 0;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < k.modmap->max_keypermod; ++j) {
      if (k.modmap->modifiermap[i * k.modmap->max_keypermod + j] == kc) return 1u << i;
    }
  }
  return 0;
}

uint32_t xf_alt_mask_from(uint32_t alt_meta, uint32_t mode_switch, uint32_t level3) {
  // AltGr (ISO_Level3_Shift) often shares Mode_switch's modifier; a bit
  // that only AltGr and Mode_switch carry types characters, not Alt.
  uint32_t mask = alt_meta | (mode_switch & ~(level3 & ~alt_meta));
  return mask ? mask : Mod1Mask;
}

uint32_t xfAltMask() {
  XfKeyboard& k = K();
  if (!k.alt_mask) {
    uint32_t alt_meta = xfModifierMaskOf(XK_Alt_L) | xfModifierMaskOf(XK_Alt_R) | xfModifierMaskOf(XK_Meta_L) |
                        xfModifierMaskOf(XK_Meta_R);
    k.alt_mask = xf_alt_mask_from(alt_meta, xfModifierMaskOf(XK_Mode_switch), xfModifierMaskOf(XK_ISO_Level3_Shift));
  }
  return k.alt_mask;
}

void xf_keyboard_mapping_changed() {
  XfKeyboard& k = K();
  std::memset(k.codes, 0, sizeof k.codes);
  k.alt_mask = 0;
  if (k.modmap) XFreeModifiermap(k.modmap);
  k.modmap = nullptr;
  evt_keyboard_changed();
}

// ----- the spare-keycode rewrite -----

bool xf_remap_spare_keycodes(KeySym* map, int min_keycode, int max_keycode, int per_keycode) {
  bool changed = false;
  auto first = [&](int kc) -> KeySym& { return map[(kc - min_keycode) * per_keycode]; };
  if (max_keycode >= kFirstSpare) {
    for (const auto& s : kSpareKeys) {
      if (s.keycode < min_keycode || s.keycode > max_keycode) continue;
      if (first(s.keycode) == NoSymbol) {
        first(s.keycode) = s.keysym;
        changed = true;
      }
    }
  }
  if (kBackSpaceKeycode >= min_keycode && kBackSpaceKeycode <= max_keycode &&
      first(kBackSpaceKeycode) != XK_BackSpace) {
    first(kBackSpaceKeycode) = XK_BackSpace;
    changed = true;
  }
  return changed;
}

void xfRemapSpareKeycodes() {
  Display* d = xf_display();
  if (!d) return;
  int min = 0, max = 0;
  XDisplayKeycodes(d, &min, &max);
  int per = 0;
  KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(min), max - min + 1, &per);
  if (!map) return;
  // Only a changed mapping goes back: every write reaches all clients.
  if (per > 0 && xf_remap_spare_keycodes(map, min, max, per)) XChangeKeyboardMapping(d, min, per, map, max - min + 1);
  XFree(map);
}

void xfInitKeyboard() {
  xf_keyboard_mapping_changed();
  xfAltMask();
  xfRemapSpareKeycodes();
  XfServer& s = xf().server;
  if (s.keypad_translation == -1) s.keypad_translation = s.family == 4 ? 0 : 1;
  evt_set_break_probe(xf_display() ? xf_break_probe : nullptr);
}

void xfSetKeypadTranslation(int v) { xf().server.keypad_translation = v; }
int xf_keypad_translation() { return xf().server.keypad_translation; }

// ----- key-down tests -----

bool xfIsKeycodeDown(unsigned keycode) {
  if (keycode == 0) return false;
  Keymap km;
  return km.read() && km.down(static_cast<int>(keycode));
}

bool xfIsNumLockOn(uint32_t state) {
  Keymap km;
  if (km.read() && km.down(kNumLock)) return true;
  uint32_t mask = xfModifierMaskOf(XK_Num_Lock);
  return mask && (state & mask);
}

bool xfIsScrollOrModeDown() {
  Keymap km;
  return km.read() && (km.down(kScrollLock) || km.down(kModeSwitch));
}

bool xfIsAltDown() {
  Keymap km;
  return km.read() && (km.down(kAltL) || km.down(kAltR));
}

bool xfIsCtrlDown() {
  Keymap km;
  return km.read() && (km.down(kControlL) || km.down(kControlR));
}

bool xfIsShiftDown() {
  Keymap km;
  return km.read() && (km.down(kShiftL) || km.down(kShiftR));
}

bool xfIsBreakDown() {
  Keymap km;
  return km.read() && km.down(kBreak);
}

namespace {

bool ctrl_alt_shift(const Keymap& km) {
  return (km.down(kControlL) || km.down(kControlR)) && (km.down(kAltL) || km.down(kAltR)) &&
         (km.down(kShiftL) || km.down(kShiftR));
}

}  // namespace

bool xfIsCtrlAltShiftDown() {
  Keymap km;
  return km.read() && ctrl_alt_shift(km);
}

bool xf_break_probe() {
  Keymap km;
  return km.read() && (km.down(kBreak) || ctrl_alt_shift(km));
}

void xfToggleNumLock() { K().sim_numlock = !K().sim_numlock; }
bool xfQueryNumLock() { return K().sim_numlock; }
