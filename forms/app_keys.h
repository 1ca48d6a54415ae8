// Key messages of the window system to editor event codes, for the editor
// window until the full input translation (mouse, repeat counts, the menu
// bar's keys) takes its place.
#pragma once

#include <cstdint>

#include "macro/event_codes.h"

// Modifier bits of an X key state as the translation reads them.
inline constexpr uint32_t kKeyShift = 0x1;
inline constexpr uint32_t kKeyCtrl = 0x4;

// The event code of a keysym with the X state bits; `alt_mask` is the
// modifier bit the keyboard treats as Alt. 0 when the key gives no event
// (a lone modifier, a keysym without a code).
EventCode app_key_event(unsigned long keysym, uint32_t state, uint32_t alt_mask);
