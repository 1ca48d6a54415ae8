// Event codes: the one integer by which every key, mouse action and object
// event is bound, named, recorded and passed around.
//
// Canonical codes run from 0 to 680 (see the ranges below). The keyboard
// layer may also deliver a raw two-byte key, (scan code << 8) | character;
// fifteen raw codes of the keypad fold onto canonical codes, every other raw
// code has no name and no table index. Codes are unsigned: a key kept in a
// 16-bit word comes back zero-extended, so no code ever turns negative.
//
// Names come in three styles: 'S' as macro source writes them ("C-LEFT"),
// 'C' compact ("C-Left") and 'L' long ("Ctrl+Left"). All 681 codes have
// their names in one table built at compile time from the rules in
// event_codes.cpp; within a style every non-empty name is unique, so a name
// converts back to its code. Codes 675-680 exist without names.
//
// A key text is the 0-3 byte string by which macros hold a key: one byte for
// a character, {0, code - 255} for codes 256-468, {0, 0, code - 468} for
// 469-680, {low, high} for a raw two-byte key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/lstr.h"

using EventCode = uint32_t;

inline constexpr EventCode kEventLast = 680;
inline constexpr EventCode kEventCount = kEventLast + 1;

// Ranges of canonical codes.
inline constexpr EventCode kEvShiftSpace = 256;
inline constexpr EventCode kEvCtrlKey = 257;
inline constexpr EventCode kEvAltKey = 258;
inline constexpr EventCode kEvCtrlDot = 259;
inline constexpr EventCode kEvCtrlComma = 260;
inline constexpr EventCode kEvAltChar = 261;  // 261-388: Alt + character 0-127
inline constexpr EventCode kEvCtrlSpace = 293;
inline constexpr EventCode kEvNamed = 389;  // 389-407: the 19 named keys
inline constexpr EventCode kEvAltNamed = 408;
inline constexpr EventCode kEvCtrlNamed = 427;
inline constexpr EventCode kEvShiftNamed = 446;
inline constexpr EventCode kEvCtrlAltNamed = 465;  // the first four named keys only
inline constexpr EventCode kEvF1 = 469;            // 469-480: F1-F12
inline constexpr EventCode kEvShiftF1 = 481;
inline constexpr EventCode kEvAltF1 = 493;
inline constexpr EventCode kEvCtrlF1 = 505;
inline constexpr EventCode kEvCtrlShiftF1 = 517;
inline constexpr EventCode kEvCtrlShiftA = 529;
inline constexpr EventCode kEvCtrlShift0 = 555;
inline constexpr EventCode kEvCtrl0 = 565;
inline constexpr EventCode kEvCtrlShiftNamed = 575;
inline constexpr EventCode kEvMouse = 594;       // 594-606: the 13 mouse events
inline constexpr EventCode kEvShiftMouse = 607;  // the first nine mouse events only
inline constexpr EventCode kEvAltMouse = 616;
inline constexpr EventCode kEvCtrlMouse = 625;
inline constexpr EventCode kEvObject = 634;  // 634-674 named object events, 675-680 unnamed

inline constexpr int kNamedKeyCount = 19;
inline constexpr int kFunctionKeyCount = 12;
inline constexpr int kMouseEventCount = 13;
inline constexpr int kObjectEventCount = 41;

// Codes the runtime itself tests for.
inline constexpr EventCode kEvEnter = kEvNamed + 0;
inline constexpr EventCode kEvTab = kEvNamed + 1;
inline constexpr EventCode kEvEsc = kEvNamed + 2;
inline constexpr EventCode kEvBackspace = kEvNamed + 3;
inline constexpr EventCode kEvHome = kEvNamed + 7;
inline constexpr EventCode kEvEnd = kEvNamed + 8;
inline constexpr EventCode kEvLeft = kEvNamed + 9;
inline constexpr EventCode kEvRight = kEvNamed + 10;
inline constexpr EventCode kEvUp = kEvNamed + 11;
inline constexpr EventCode kEvDown = kEvNamed + 12;
inline constexpr EventCode kEvDel = kEvNamed + 16;
inline constexpr EventCode kEvMouseMove = kEvMouse + 12;  // 606
inline constexpr EventCode kEvOnSelect = kEvObject;       // 634

// Event-table indexes: 0 … 553 (characters 128-255 share index 128).
inline constexpr int32_t kKeyIndexCount = 554;

// A key text: at most three bytes.
using KeyText = LStrBuf<3>;

// Name styles.
inline constexpr char kStyleSource = 'S';
inline constexpr char kStyleCompact = 'C';
inline constexpr char kStyleLong = 'L';

// Direction 0 maps a raw code to its canonical code, 1 a canonical code to
// its raw code; codes outside the fifteen pairs come back unchanged.
EventCode event_pair_lookup(EventCode code, int direction);

// 0 for codes 256-680, else the low byte (a raw key gives its character).
uint8_t event_to_char(EventCode code);

// The event-table index of a code (after the raw-to-canonical fold): c for
// c <= 127, 128 for 128-255, c - 127 for 256-680; 0 for anything else.
int32_t event_to_key_index(EventCode code);
// The canonical code of an index: i for i <= 128, else i + 127.
EventCode key_index_to_event(int32_t index);

// Key text to code and back (the table in the header comment).
EventCode keyrec_to_event(std::string_view key);
void event_to_keyrec(EventCode code, KeyText* out);
std::string event_key_text(EventCode code);

// The name of a code in a style ('S', 'C' or 'L'; any other letter is taken
// as 'S'); raw codes are named as their canonical code; empty for codes
// without a name.
std::string_view event_name(EventCode code, char style);
void event_name(EventCode code, LStr* out, int32_t cap, char style);

// The canonical code with this name in the style (exact, case included), or
// nullopt when no code has it.
std::optional<EventCode> event_from_name(std::string_view name, char style);

// Built-ins: main 103 (event name of a key text), 104 (event-table index of
// a key text), 105 (key text of an index).
void bi_event2name();
void bi_event2index();
void bi_index2event();
