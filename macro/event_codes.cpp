// Event codes, key texts, event-table indexes and names. The name table is
// computed at compile time from the key lists and the naming rules below;
// naming a code reads it and parsing a name searches it.
#include "macro/event_codes.h"

#include <array>
#include <cstring>

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"

namespace {

// ---- the key lists: the one source of every name ---------------------------------

constexpr std::array<std::string_view, kNamedKeyCount> kNamedSource = {
    "ENTER", "TAB", "ESC",  "BACKSPACE", "PAD-STAR", "PAD-PLUS", "PAD-MINUS", "HOME", "END",      "LEFT",
    "RIGHT", "UP",  "DOWN", "PAD-5",     "PGUP",     "PGDN",     "DEL",       "INS",  "PAD-SLASH"};
constexpr std::array<std::string_view, kNamedKeyCount> kNamedMixed = {
    "Enter", "Tab", "Esc",  "Backspace", "PadStar", "PadPlus", "PadMinus", "Home", "End",     "Left",
    "Right", "Up",  "Down", "Pad5",      "PgUp",    "PgDn",    "Del",      "Ins",  "PadSlash"};
constexpr std::array<std::string_view, kMouseEventCount> kMouseSource = {"LBUTTON-DOWN",
                                                                         "RBUTTON-DOWN",
                                                                         "MBUTTON-DOWN",
                                                                         "LBUTTON-DOUBLE-CLICK",
                                                                         "RBUTTON-DOUBLE-CLICK",
                                                                         "MBUTTON-DOUBLE-CLICK",
                                                                         "LBUTTON-TRIPLE-CLICK",
                                                                         "RBUTTON-TRIPLE-CLICK",
                                                                         "MBUTTON-TRIPLE-CLICK",
                                                                         "LBUTTON-UP",
                                                                         "RBUTTON-UP",
                                                                         "MBUTTON-UP",
                                                                         "MOUSE-MOVE"};
constexpr std::array<std::string_view, kMouseEventCount> kMouseMixed = {
    "LButtonDn",    "RButtonDn",    "MButtonDn", "LDoubleClick", "RDoubleClick", "MDoubleClick", "LTripleClick",
    "RTripleClick", "MTripleClick", "LButtonUp", "RButtonUp",    "MButtonUp",    "MouseMove"};
constexpr std::array<std::string_view, kObjectEventCount> kObjectEvents = {
    "ON-SELECT",        "ON-NUM-LOCK",        "ON-CLOSE",         "ON-GOT-FOCUS",       "ON-LOST-FOCUS",
    "ON-CHANGE",        "ON-RESIZE",          "ON-TIMER",         "ON-PAINT",           "ON-VSB-LINE-UP",
    "ON-VSB-LINE-DOWN", "ON-VSB-PAGE-UP",     "ON-VSB-PAGE-DOWN", "ON-VSB-THUMB-TRACK", "ON-VSB-THUMB-POS",
    "ON-VSB-TOP",       "ON-VSB-BOTTOM",      "ON-HSB-LINE-UP",   "ON-HSB-LINE-DOWN",   "ON-HSB-PAGE-UP",
    "ON-HSB-PAGE-DOWN", "ON-HSB-THUMB-TRACK", "ON-HSB-THUMB-POS", "ON-HSB-TOP",         "ON-HSB-BOTTOM",
    "ON-SB-END-SCROLL", "ON-DROP-DOWN",       "ON-DRAG-DROP",     "ON-DRAG-OVER",       "ON-SCROLL-LOCK",
    "ON-DROP-FILES",    "ON-CREATE",          "ON-DESTROY",       "ON-CREATE2",         "ON-DESTROY2",
    "ON-SPIN-UP",       "ON-SPIN-DOWN",       "ON-SCROLL",        "ON-CHANGE2",         "ON-LOAD",
    "ON-INIT-MENU"};
static_assert(kEvObject + kObjectEventCount - 1 == 674);

// Codes 256-260 in the three styles.
constexpr std::array<std::array<std::string_view, 3>, 5> kSpecial = {{
    {"S- ", "S-Space", "Shift+Space"},
    {"C-CTRL", "C-Ctrl", "Ctrl+Ctrl"},
    {"A-ALT", "A-Alt", "Alt+Alt"},
    {"C-.", "C-.", "Ctrl+."},
    {"C-,", "C-,", "Ctrl+,"},
}};

enum Style { kS, kC, kL };
enum Prefix { kNone, kCtrl, kAlt, kShift, kCtrlShift, kAltShift, kCtrlAlt };
constexpr std::array<std::array<std::string_view, 3>, 7> kPrefixes = {{
    {"", "", ""},
    {"C-", "C-", "Ctrl+"},
    {"A-", "A-", "Alt+"},
    {"S-", "S-", "Shift+"},
    {"C-S-", "C-S-", "Ctrl+Shift+"},
    {"A-S-", "A-S-", "Alt+Shift+"},
    {"C-A-", "C-A-", "Ctrl+Alt+"},
}};

// The fifteen keypad keys the keyboard layer delivers raw with NumLock on.
constexpr std::array<std::array<EventCode, 2>, 15> kPairs = {{
    {0xE02F, 407},
    {0x372A, 393},
    {0x4A2D, 395},
    {0x4E2B, 394},
    {0x4B34, 455},
    {0x4D36, 456},
    {0x4838, 457},
    {0x5032, 458},
    {0x4939, 460},
    {0x5133, 461},
    {0x4737, 453},
    {0x4F31, 454},
    {0x4C35, 459},
    {0x5230, 463},
    {0x532E, 462},
}};

constexpr bool raw_codes_above_canonical() {
  for (const auto& p : kPairs)
    if (p[0] <= kEventLast || p[1] > kEventLast) return false;
  return true;
}
static_assert(raw_codes_above_canonical(), "the raw-to-canonical fold skips canonical codes");

// ---- the name table -------------------------------------------------------------

// Longest name: "C-LBUTTON-DOUBLE-CLICK" (22 bytes).
constexpr size_t kNameCap = 24;

struct Name {
  char text[kNameCap]{};
  uint8_t len = 0;

  constexpr Name& add(std::string_view s) {
    for (char c : s) add(c);
    return *this;
  }
  constexpr Name& add(char c) {
    if (len >= kNameCap) throw "event name longer than kNameCap";  // a compile error
    text[len++] = c;
    return *this;
  }
  constexpr std::string_view view() const { return std::string_view(text, len); }
};

constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }
constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
constexpr bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }

constexpr Name with_prefix(Prefix p, Style st, std::string_view name) {
  Name n;
  n.add(kPrefixes[p][st]).add(name);
  return n;
}

// A character 0-255.
constexpr Name char_name(unsigned c, Style st) {
  Name n;
  if (c >= 1 && c <= 31) {
    const char key = char(c + 64);
    if (st == kS) return n.add("C-").add(key);
    if (c == 31) return n.add("Ctrl+-");  // C and L alike
    if (st == kC) return n.add("C-").add(lower(key));
    return n.add("Ctrl+").add(key);
  }
  if (c == 32) return n.add(st == kS ? " " : "Space");
  return n.add(char(c));
}

// Alt + character c (0-127): codes 261-388.
constexpr Name alt_char_name(unsigned c, Style st) {
  const Name inner = char_name(c, st);
  Name n;
  if (inner.len > 2) {  // a Ctrl character or "Space"
    if (st == kS) return n.add("C-A").add(inner.view().substr(1));
    if (c == 32) return n.add(st == kC ? "C-Space" : "Ctrl+Space");
    if (c == 31) return n.add("Ctrl+Alt+-");
    return n.add(kPrefixes[kCtrlAlt][st]).add(inner.view().substr(st == kC ? 2 : 5));
  }
  const char ch = char(c);
  if (st == kS) return c == 32 ? n.add("C- ") : n.add("A-").add(ch);
  if (st == kL) return is_upper(ch) ? n.add("Alt+Shift+").add(ch) : n.add("Alt+").add(upper(ch));
  if (ch == '-') return n.add("Alt+-");
  return is_upper(ch) ? n.add("A-S-").add(lower(ch)) : n.add("A-").add(ch);
}

constexpr Name function_key(unsigned i) {  // F1 … F12
  Name n;
  n.add('F');
  if (i + 1 >= 10) n.add('1');
  return n.add(char('0' + (i + 1) % 10));
}

constexpr std::string_view named(unsigned i, Style st) { return st == kS ? kNamedSource[i] : kNamedMixed[i]; }
constexpr std::string_view mouse(unsigned i, Style st) { return st == kS ? kMouseSource[i] : kMouseMixed[i]; }

constexpr Name code_name(EventCode code, Style st) {
  if (code <= 255) return char_name(code, st);
  if (code < kEvAltChar) return Name{}.add(kSpecial[code - kEvShiftSpace][st]);
  if (code < kEvNamed) return alt_char_name(code - kEvAltChar, st);
  if (code < kEvAltNamed) return with_prefix(kNone, st, named(code - kEvNamed, st));
  if (code < kEvCtrlNamed) return with_prefix(kAlt, st, named(code - kEvAltNamed, st));
  if (code < kEvShiftNamed) return with_prefix(kCtrl, st, named(code - kEvCtrlNamed, st));
  if (code < kEvCtrlAltNamed) return with_prefix(kShift, st, named(code - kEvShiftNamed, st));
  if (code < kEvF1) return with_prefix(kCtrlAlt, st, named(code - kEvCtrlAltNamed, st));
  if (code < kEvCtrlShiftA) {
    const unsigned f = (code - kEvF1) % kFunctionKeyCount;
    constexpr Prefix groups[] = {kNone, kShift, kAlt, kCtrl, kCtrlShift};
    return with_prefix(groups[(code - kEvF1) / kFunctionKeyCount], st, function_key(f).view());
  }
  if (code < kEvCtrlShift0) {
    const char letter = char('A' + (code - kEvCtrlShiftA));
    const char shown = st == kC ? lower(letter) : letter;
    return with_prefix(kCtrlShift, st, std::string_view(&shown, 1));
  }
  if (code < kEvCtrlShiftNamed) {
    const bool shift = code < kEvCtrl0;
    const char digit = char('0' + (code - (shift ? kEvCtrlShift0 : kEvCtrl0)));
    return with_prefix(shift ? kCtrlShift : kCtrl, st, std::string_view(&digit, 1));
  }
  if (code < kEvMouse) return with_prefix(kCtrlShift, st, named(code - kEvCtrlShiftNamed, st));
  if (code < kEvShiftMouse) return with_prefix(kNone, st, mouse(code - kEvMouse, st));
  if (code < kEvAltMouse) return with_prefix(kShift, st, mouse(code - kEvShiftMouse, st));
  if (code < kEvCtrlMouse) return with_prefix(kAlt, st, mouse(code - kEvAltMouse, st));
  if (code < kEvObject) return with_prefix(kCtrl, st, mouse(code - kEvCtrlMouse, st));
  if (code < kEvObject + kObjectEventCount) return Name{}.add(kObjectEvents[code - kEvObject]);
  return Name{};  // 675-680
}

struct EventNames {
  Name style[3];
};

constexpr std::array<EventNames, kEventCount> build_names() {
  std::array<EventNames, kEventCount> t{};
  for (EventCode c = 0; c < kEventCount; ++c)
    for (Style st : {kS, kC, kL}) t[c].style[st] = code_name(c, st);
  return t;
}

// The one table of event names: code -> names in the styles S, C and L.
constexpr std::array<EventNames, kEventCount> kEventNames = build_names();

static_assert(kEventNames[389].style[kS].view() == "ENTER");
static_assert(kEventNames[436].style[kL].view() == "Ctrl+Left");
static_assert(kEventNames[262].style[kS].view() == "C-A-A" && kEventNames[262].style[kC].view() == "C-A-a");
static_assert(kEventNames[292].style[kC].view() == "Ctrl+Alt+-");
static_assert(kEventNames[kEvMouseMove].style[kS].view() == "MOUSE-MOVE");
static_assert(kEventNames[674].style[kC].view() == "ON-INIT-MENU" && kEventNames[675].style[kS].len == 0);

Style style_of(char letter) {
  switch (letter) {
    case kStyleCompact:
      return kC;
    case kStyleLong:
      return kL;
    default:
      return kS;
  }
}

}  // namespace

EventCode event_pair_lookup(EventCode code, int direction) {
  if (direction == 0 && code <= kEventLast) return code;  // canonical already: every raw code is above
  const int from = direction == 0 ? 0 : 1;
  for (const auto& p : kPairs)
    if (p[from] == code) return p[1 - from];
  return code;
}

uint8_t event_to_char(EventCode code) {
  if (code >= kEvShiftSpace && code <= kEventLast) return 0;
  return static_cast<uint8_t>(code & 0xFF);
}

int32_t event_to_key_index(EventCode code) {
  const EventCode c = event_pair_lookup(code, 0);
  if (c <= 127) return static_cast<int32_t>(c);
  if (c <= 255) return 128;
  if (c <= kEventLast) return static_cast<int32_t>(c - 127);
  return 0;
}

EventCode key_index_to_event(int32_t index) {
  return index <= 128 ? static_cast<EventCode>(index) : static_cast<EventCode>(index + 127);
}

EventCode keyrec_to_event(std::string_view k) {
  const auto b = [&](size_t i) { return static_cast<EventCode>(static_cast<uint8_t>(k[i])); };
  switch (k.size()) {
    case 0:
      return 0;
    case 1:
      return b(0);
    case 2:
      return b(0) != 0 ? b(1) * 256 + b(0) : b(1) + 255;
    default:
      return b(2) + 468;
  }
}

void event_to_keyrec(EventCode code, KeyText* out) {
  out->len = 0;
  if (code == 0) return;
  const auto put = [&](uint32_t v) { out->text[out->len++] = static_cast<char>(v); };
  if (code >= kEvF1 && code <= kEventLast) {
    put(0), put(0), put(code - 468);
  } else if (code >= kEvShiftSpace && code < kEvF1) {
    put(0), put(code - 255);
  } else {
    put(code & 0xFF);
    if ((code >> 8) & 0xFF) put((code >> 8) & 0xFF);
  }
}

std::string event_key_text(EventCode code) {
  KeyText k;
  event_to_keyrec(code, &k);
  return std::string(k.view());
}

std::string_view event_name(EventCode code, char style) {
  const EventCode c = event_pair_lookup(code, 0);
  if (c > kEventLast) return {};
  return kEventNames[c].style[style_of(style)].view();
}

void event_name(EventCode code, LStr* out, int32_t cap, char style) {
  const std::string_view n = event_name(code, style);
  lstr_set_mem(out, n.data(), static_cast<int32_t>(n.size()), cap);
}

std::optional<EventCode> event_from_name(std::string_view name, char style) {
  if (name.empty()) return std::nullopt;
  const Style st = style_of(style);
  for (EventCode c = 0; c < kEventCount; ++c)
    if (kEventNames[c].style[st].view() == name) return c;
  return std::nullopt;
}

// ---- built-ins -------------------------------------------------------------------

// Main 103: key text [, style "S", "L" or "C"] -> the event's name.
void bi_event2name() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  char style = kStyleSource;
  if (n == 2 && val_option_letter(&style, "SLC", bi_arg(n, 1)) != ERR_OK) return bi_fail(n);
  const EventCode code = keyrec_to_event(bi_arg(n, 0));
  core_drop(n);
  vm_push_view(event_name(code, style));
}

// Main 104: key text -> event-table index.
void bi_event2index() {
  if (!core_have(1)) return;
  const int32_t index = event_to_key_index(keyrec_to_event(core_view(0)));
  core_drop(1);
  vm_push_int(index);
}

// Main 105: index -> key text of its code.
void bi_index2event() {
  int32_t index = 0;
  if (vm_pop_int(&index) != ERR_OK) return;
  KeyText k;
  event_to_keyrec(key_index_to_event(index), &k);
  vm_push_bytes(k.text, k.len);
}
