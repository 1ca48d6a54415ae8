// The keyboard: key-down tests, the Alt mask, the spare-keycode rewrite at
// start-up, the keymap file and its table, the simulated NumLock, and the
// break key read from the real keyboard state.
//
// Key-down tests ask the server for its keymap vector (XQueryKeymap) and
// look their keycodes up once; a MappingNotify forgets the cached keycodes
// and the Alt mask, so a changed keyboard map is read afresh. Without a
// display every key is up.
#pragma once

#include <X11/X.h>

#include <cstdint>
#include <cstdio>

inline constexpr int kKeymapSize = 256;

// The keymap file's table: two keysyms per keycode (column 0 plain or
// navigation, column 1 keypad), plus what the file said about NumLock.
struct XfKeymapTable {
  KeySym keys[kKeymapSize][2];
  bool loaded;
  bool simulate_numlock;
  uint32_t numlock_mask;
};

// Reads a keymap file into `table` (the whole file format and its rules);
// false when it cannot be opened (the two lines are printed on `out`).
bool xf_parse_keymap_file(const char* name, XfKeymapTable* table, FILE* out);
// The diagnostics of the table ("Keymap table:" ...), written to `out`.
void xf_print_keymap_table(const XfKeymapTable* table, FILE* out);

// The start option: reads the file into the layer's table.
void xfLoadKeymapFile(const char* name);
void xfReadKeymapFile(const char* name);
const XfKeymapTable& xf_keymap_table();

uint32_t xfAltMask();
// The Alt mask from the modifier bits of Alt_L/Alt_R/Meta_L/Meta_R, of
// Mode_switch and of ISO_Level3_Shift: a bit that only AltGr and
// Mode_switch carry is left out (it types characters); Mod1 when empty.
uint32_t xf_alt_mask_from(uint32_t alt_meta, uint32_t mode_switch, uint32_t level3);
void xfInitKeyboard();
// Fills NoSymbol keycodes 136..157 and makes keycode 22 BackSpace, in the
// mapping `map` (keysyms_per_keycode columns from keycode `min`); answers
// whether anything changed.
bool xf_remap_spare_keycodes(KeySym* map, int min_keycode, int max_keycode, int per_keycode);
void xfRemapSpareKeycodes();

bool xfIsKeycodeDown(unsigned keycode);
bool xfIsNumLockOn(uint32_t state);
bool xfIsScrollOrModeDown();
bool xfIsAltDown();
bool xfIsCtrlDown();
bool xfIsShiftDown();
bool xfIsBreakDown();
bool xfIsCtrlAltShiftDown();
uint32_t xfModifierMaskOf(KeySym keysym);
void xfToggleNumLock();
bool xfQueryNumLock();
void xfSetKeypadTranslation(int v);
int xf_keypad_translation();

// The keyboard mapping changed on the server: forget cached keycodes and
// masks.
void xf_keyboard_mapping_changed();

// The break probe installed into the break-key countdown: Break, or
// Control, Alt and Shift together, held down right now (one keymap query).
bool xf_break_probe();
