// Small built-ins (see bi_small.h).
#include "macro/bi_small.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>

#include "base/filename.h"
#include "base/le.h"
#include "base/lstr.h"
#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/command_exec.h"
#include "macro/core_ops.h"
#include "macro/event_port.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "macro/opcode_handlers.h"
#include "macro/screen_port.h"
#include "macro/stack.h"
#include "macro/state_settings.h"
#include "text/buffer.h"
#include "text/ui_port.h"

void small_refresh_default() { evt_refresh(); }

namespace {

int32_t macro_int = 0;

// The settings block's little-endian words.
int32_t setting(uint32_t offset) { return static_cast<int32_t>(le::get_u32(settings_live().data() + offset)); }
void set_setting(uint32_t offset, int32_t v) { le::put_u32(settings_live().data() + offset, static_cast<uint32_t>(v)); }

// A decimal integer with optional blanks and sign, nothing else.
bool parse_int(std::string_view s, int32_t* out) {
  s = bi_strip_blanks(s);
  if (s.empty()) return false;
  bool neg = false;
  if (s.front() == '-' || s.front() == '+') {
    neg = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return false;
  int64_t v = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  if (neg) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// The optional value of a setting built-in: false when the handler must
// return (bad count or number raised); *given tells whether one came.
bool optional_value(int32_t* value, bool* given) {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return false;
  *given = n == 1;
  if (n == 1 && !bi_arg_int(n, 0, value)) return false;
  core_drop(n);
  return true;
}

// The last event as a key string; nothing while the macro is being stopped.
void push_last_event_key(uint32_t unwinds_before) {
  if (vm_catch.unwinds != unwinds_before) return;
  vm_push_view(event_key_text(key_globals.last_event));
}

// The current window before a wait, made current again when the wait moved
// the focus and the window still lives.
struct KeepWindow {
  WindowObject* window = window_current();
  int32_t handle = window ? window->handle : 0;
  ~KeepWindow() {
    WindowObject* now = window_current();
    if (window && now != window && window_record(handle) == window) window_set_current(window, 0);
  }
};

bool break_pending() { return ui_break_pressed(); }

void grid(uint32_t offset, bool vertical) {
  int32_t v = 0;
  bool given = false;
  if (!optional_value(&v, &given)) return;
  if (given) {
    if (v < 2 * screen_twips_per_pixel(vertical)) v = 1;
    set_setting(offset, v);
    forms_repaint_design();
  }
  vm_push_int(setting(offset));
}

void screen_extent(bool height) {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char option = 0;
  if (n == 1 && !bi_arg_letter(n, 0, "MD", &option)) return;
  core_drop(n);
  vm_push_int(screen_dimension(height, option));
}

}  // namespace

int32_t& small_macro_int() { return macro_int; }

int32_t chmod_apply(std::string_view text, uint32_t mode) {
  size_t i = 0;
  for (;;) {
    uint32_t who = 0;
    bool any_who = false;
    char op = 0;
    for (; i < text.size(); ++i) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
      if (c == '+' || c == '-' || c == '=') {
        op = c;
        break;
      }
      any_who = true;
      if (c == 'u')
        who |= 05700;
      else if (c == 'g')
        who |= 02070;
      else if (c == 'o')
        who |= 0007;
      else if (c == 'a')
        who = 0777;
      else
        return ERR_INVALID_OPTION;
    }
    if (!op || i + 1 >= text.size()) return ERR_INVALID_OPTION;
    if (!any_who) who = 0xFFFF;
    uint32_t perm = 0;
    for (++i; i < text.size() && text[i] != ','; ++i) {
      switch (std::tolower(static_cast<unsigned char>(text[i]))) {
        case 'r':
          perm |= 0444;
          break;
        case 'w':
          perm |= 0222;
          break;
        case 'x':
          perm |= 0111;
          break;
        case 's':
          perm |= 06000;
          break;
        case 't':
          perm |= 01000;
          break;
        case 'l':
          break;
        default:
          return ERR_INVALID_OPTION;
      }
    }
    const uint32_t m = who & perm;
    if (op == '+')
      mode |= m;
    else if (op == '-')
      mode &= ~m;
    else
      mode = (mode & ~who) | m;
    if (i >= text.size()) return static_cast<int32_t>(mode & 0xFFFF);
    ++i;  // past the ','
  }
}

int32_t chmod_parse(std::string_view argument) {
  LStrLine line(argument), mode, file;
  if (file_take_name(line, mode) != 0) return ERR_INVALID_OPTION;
  const std::string_view mode_text = bi_strip_blanks(mode.view());
  if (mode_text.empty() || chmod_apply(mode_text, 0) < 0) return ERR_INVALID_OPTION;
  file_take_name(line, file);
  const std::string path(file.view());
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return os_errno_code(errno, -33);
  const int32_t next = chmod_apply(mode_text, st.st_mode);
  if (::chmod(path.c_str(), static_cast<mode_t>(next & 0xFFFF)) != 0) return os_errno_code(errno, -34);
  return 0;
}

// Main 126: command [options [prefix]].
void bi_shell() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  const std::string command = bi_arg_str(n, 0);
  const std::string options = n > 1 ? bi_arg_str(n, 1) : std::string();
  const std::string prefix = n > 2 ? bi_arg_str(n, 2) : std::string();
  core_drop(n);
  if (n > 2 && prefix.empty()) cmd_command_prefix().clear();
  cmd_shell(command, options, prefix, true);
}

// Ext 102: "mode file".
void bi_chmod() {
  if (!core_have(1)) return;
  const std::string arg = bi_arg_str(1, 0);
  core_drop(1);
  vm_set_rc_or_raise(chmod_parse(arg));
}

// Ext 106 and 107: [option M or D].
void bi_screen_width() { screen_extent(false); }
void bi_screen_height() { screen_extent(true); }

// Ext 108: [value].
void bi_mouse_move_events() {
  int32_t v = 0;
  bool given = false;
  if (!optional_value(&v, &given)) return;
  if (given) kbdmac.mouse_move_events = v != 0;
  vm_push_int(kbdmac.mouse_move_events ? 1 : 0);
}

// Ext 109.
void bi_reserved_ext109() { vm_raise_fatal(ERR_ILLEGAL_OPCODE); }

// Ext 110: x y.
void bi_set_pointer_pos() {
  if (!core_have(2)) return;
  int32_t x = 0, y = 0;
  if (!bi_arg_int(2, 0, &x) || !bi_arg_int(2, 1, &y)) return;
  core_drop(2);
  pointer_move(x, y);
}

// Ext 143: four numbers, dropped once the object passes the type check.
void bi_map_rect_ext143() {
  if (!core_have(4)) return;
  core_drop(4);
  if (!object_has_type_bit()) vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
}

// Ext 144 and 145: [value].
void bi_grid_width() { grid(SET_GRID_X, false); }
void bi_grid_height() { grid(SET_GRID_Y, true); }

// Ext 175: [value].
void bi_int_setting_ext175() {
  int32_t v = 0;
  bool given = false;
  if (!optional_value(&v, &given)) return;
  if (given) macro_int = v;
  vm_push_int(macro_int);
}

// Ext 189: two variable operands.
void bi_get_pointer_pos() {
  const uint32_t vx = vm_fetch_var_operand();
  const uint32_t vy = vm_fetch_var_operand();
  int32_t x = 0, y = 0;
  pointer_position(&x, &y);
  const uint32_t unwinds = vm_catch.unwinds;
  if (vx) var_store_int(vx, x);
  if (vm_catch.unwinds == unwinds && vy) var_store_int(vy, y);
}

// Main 191: [key].
void bi_last_event() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  const uint32_t unwinds = vm_catch.unwinds;
  if (n == 1) key_globals.last_event = keyrec_to_event(bi_arg(n, 0));
  core_drop(n);
  push_last_event_key(unwinds);
}

// Main 192: [options RKCP].
void bi_get_key() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  int32_t opts = 0;
  if (n == 1 && !bi_arg_options(n, 0, "RKCP", &opts)) return;
  core_drop(n);
  const uint32_t unwinds = vm_catch.unwinds;
  // With the break key pending the wait does not start; the empty key keeps
  // the stack as the caller expects while the break stops the macro.
  if (break_pending()) {
    vm_push_view({});
    return;
  }
  EventCode e = 0;
  {
    KeepWindow keep_window;
    if (opts & 8) input_dispatch_waiting();
    if (!(opts & (1 | 4))) screen_refresh_before_wait();
    e = kbdmac_read_event((opts & 2) ? 2 : 0);
    if (e != 0) key_globals.last_event = e;
  }
  if (e == 0) {
    vm_push_view({});
    return;
  }
  push_last_event_key(unwinds);
}

// Main 193: [options RKCNM, or a query D, B or S].
void bi_get_event() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  const std::string t = n == 1 ? bi_arg_str(n, 0) : std::string();
  const char first = t.empty() ? 0 : static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
  if (first == 'D') {
    int32_t v = 0;
    if (t.size() > 1) {
      if (!parse_int(std::string_view(t).substr(1), &v)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
      set_setting(SET_DOUBLE_CLICK_MS, 10 * v);
    }
    core_drop(n);
    vm_push_int(setting(SET_DOUBLE_CLICK_MS) / 10);
    return;
  }
  if (first == 'B') {
    core_drop(n);
    input_reset_click_count();
    vm_push_view({});
    return;
  }
  if (first == 'S') {
    if (t.size() > 2) {
      const std::string_view rest = bi_strip_blanks(std::string_view(t).substr(1));
      const size_t blank = rest.find(' ');
      int32_t a = 0, b = 0;
      if (blank == std::string_view::npos || !parse_int(rest.substr(0, blank), &a) ||
          !parse_int(rest.substr(blank + 1), &b))
        return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
      set_setting(SET_DISPLAY_INTS, a);
      set_setting(SET_DISPLAY_INTS + 4, b);
    }
    core_drop(n);
    char text[32];
    std::snprintf(text, sizeof text, "%d %d", setting(SET_DISPLAY_INTS), setting(SET_DISPLAY_INTS + 4));
    vm_push_view(text);
    return;
  }
  int32_t opts = 0;
  if (n == 1 && !bi_arg_options(n, 0, "RKCNM", &opts)) return;
  core_drop(n);
  const uint32_t unwinds = vm_catch.unwinds;
  const bool saved_moves = kbdmac.mouse_move_events;
  if (opts & 16) kbdmac.mouse_move_events = true;
  bool broke = false;
  {
    KeepWindow keep_window;
    if (!(opts & (1 | 4))) screen_refresh_before_wait();
    const int32_t mode = ((opts & 2) ? 2 : 0) | ((opts & 8) ? 8 : 0);
    key_globals.last_event = 0;
    while (key_globals.last_event == 0) {
      if (break_pending()) {
        broke = true;
        break;
      }
      key_globals.last_event = kbdmac_read_event(mode);
    }
  }
  kbdmac.mouse_move_events = saved_moves;
  // A break ends the wait with the empty key (see bi_get_key).
  if (broke) {
    vm_push_view({});
    return;
  }
  push_last_event_key(unwinds);
}
