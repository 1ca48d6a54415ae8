#include "forms/app_keys.h"

#include <X11/keysym.h>

#include <array>

namespace {

// The named keys in the order of their event codes.
constexpr std::array<unsigned long, kNamedKeyCount> kNamedKeysyms = {
    XK_Return, XK_Tab,  XK_Escape, XK_BackSpace, XK_KP_Multiply, XK_KP_Add, XK_KP_Subtract,
    XK_Home,   XK_End,  XK_Left,   XK_Right,     XK_Up,          XK_Down,   XK_KP_Begin,
    XK_Prior,  XK_Next, XK_Delete, XK_Insert,    XK_KP_Divide};

// Keypad keys that act as the named keys.
unsigned long fold_keypad(unsigned long k) {
  switch (k) {
    case XK_KP_Enter:
      return XK_Return;
    case XK_KP_Home:
      return XK_Home;
    case XK_KP_End:
      return XK_End;
    case XK_KP_Left:
      return XK_Left;
    case XK_KP_Right:
      return XK_Right;
    case XK_KP_Up:
      return XK_Up;
    case XK_KP_Down:
      return XK_Down;
    case XK_KP_Prior:
      return XK_Prior;
    case XK_KP_Next:
      return XK_Next;
    case XK_KP_Delete:
      return XK_Delete;
    case XK_KP_Insert:
      return XK_Insert;
    case XK_ISO_Left_Tab:
      return XK_Tab;
    default:
      return k;
  }
}

int named_index(unsigned long k) {
  for (size_t i = 0; i < kNamedKeysyms.size(); ++i)
    if (kNamedKeysyms[i] == k) return static_cast<int>(i);
  return -1;
}

EventCode named_event(int i, bool shift, bool ctrl, bool alt) {
  const auto n = static_cast<EventCode>(i);
  if (ctrl && alt) return i < 4 ? kEvCtrlAltNamed + n : 0;
  if (ctrl && shift) return kEvCtrlShiftNamed + n;
  if (ctrl) return kEvCtrlNamed + n;
  if (alt) return kEvAltNamed + n;
  if (shift) return kEvShiftNamed + n;
  return kEvNamed + n;
}

EventCode function_event(int n, bool shift, bool ctrl, bool alt) {
  const auto k = static_cast<EventCode>(n);
  if (ctrl && shift) return kEvCtrlShiftF1 + k;
  if (ctrl) return kEvCtrlF1 + k;
  if (alt) return kEvAltF1 + k;
  if (shift) return kEvShiftF1 + k;
  return kEvF1 + k;
}

EventCode character_event(unsigned long k, bool shift, bool ctrl, bool alt) {
  if (k == ' ') {
    if (ctrl) return kEvCtrlSpace;
    if (shift) return kEvShiftSpace;
  }
  if (ctrl) {
    const unsigned long lower = (k >= 'A' && k <= 'Z') ? k + 32 : k;
    if (lower >= 'a' && lower <= 'z') {
      if (shift) return kEvCtrlShiftA + static_cast<EventCode>(lower - 'a');
      return static_cast<EventCode>(lower - 'a' + 1);
    }
    if (k >= '0' && k <= '9') return (shift ? kEvCtrlShift0 : kEvCtrl0) + static_cast<EventCode>(k - '0');
    switch (k) {
      case '.':
        return kEvCtrlDot;
      case ',':
        return kEvCtrlComma;
      case '[':
        return 27;
      case '\\':
        return 28;
      case ']':
        return 29;
      default:
        return 0;
    }
  }
  if (alt) return k < 128 ? kEvAltChar + static_cast<EventCode>(k) : 0;
  return static_cast<EventCode>(k);
}

}  // namespace

EventCode app_key_event(unsigned long keysym, uint32_t state, uint32_t alt_mask) {
  const bool shift = state & kKeyShift, ctrl = state & kKeyCtrl, alt = alt_mask && (state & alt_mask);
  const unsigned long k = fold_keypad(keysym);
  if (k >= XK_F1 && k <= XK_F12) return function_event(static_cast<int>(k - XK_F1), shift, ctrl, alt);
  if (const int i = named_index(k); i >= 0) return named_event(i, shift, ctrl, alt);
  if (k >= 0x20 && k <= 0xFF && k != 0x7F) return character_event(k, shift, ctrl, alt);
  return 0;  // modifiers, and keysyms with no code (never cut to another key's)
}
