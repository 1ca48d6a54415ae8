// Global editor options and the message built-ins (see options.h).
#include "forms/options.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/os.h"
#include "forms/geometry.h"
#include "forms/msgbox.h"
#include "forms/option_port.h"
#include "forms/picture_services.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/error_port.h"
#include "macro/stack.h"
#include "text/buffer.h"
#include "winsys/winquery.h"

namespace {

EditorOptions g_options;

uint32_t flag_bit(char letter) {
  switch (letter) {
    case 'T':
      return kOptTopLine;
    case 'H':
      return kOptHScroll;
    case 'V':
      return kOptVScroll;
    case 'P':
      return kOptPointer;
    case 'A':
      return kOptAltMenu;
    case 'C':
      return kOptCursorCell;
    case 'O':
      return kOptO;
    default:
      return 0;
  }
}

}  // namespace

EditorOptions& editor_options() { return g_options; }
void editor_options_reset() { g_options = EditorOptions{}; }

// Errors that do not stop a macro record where they happened under option E.
bool vm_error_positions_wanted() { return g_options.error_where != 0; }

// Ext 176: [letter [value]] -> the option, set first when a value is given.
void bi_editor_option() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  char letter = 'T';
  if (n >= 1 && !bi_arg_letter(n, 0, kEditorOptionLetters, &letter)) return;
  EditorOptions& o = g_options;
  if (n == 2) {
    if (letter == 'N') {
      const std::string_view v = bi_arg(n, 1);
      o.fill_char = v.empty() ? 0 : v.front();
    } else {
      int32_t v = 0;
      if (!bi_arg_int(n, 1, &v)) return;
      if (const uint32_t bit = flag_bit(letter)) {
        o.flags = v ? (o.flags | bit) : (o.flags & ~bit);
      } else {
        switch (letter) {
          case 'L':
            o.left_margin = v < 0 ? 0 : v;
            break;
          case 'S':
            o.search_case = v;
            break;
          case 'X':
            o.no_trunc_msg = static_cast<uint8_t>(v);
            break;
          case 'W':
            o.path_width = v;
            break;
          case 'R':
            o.guide_column = v;
            break;
          case 'D':
            o.frame_border = static_cast<uint8_t>(v);
            break;
          case 'K':
            o.caret_style = static_cast<uint8_t>(v);
            break;
          case 'E':
            o.error_where = static_cast<uint8_t>(v);
            break;
          case 'F':
            o.maximise_new = static_cast<uint8_t>(v);
            break;
          case 'B':
            o.stored_b = v;
            break;
          default:
            break;
        }
      }
    }
  }
  core_drop(n);
  if (n == 2) option_changed(letter);
  if (letter == 'N') {
    const char c = o.fill_char;
    vm_push_bytes(&c, c ? 1 : 0);
    return;
  }
  if (const uint32_t bit = flag_bit(letter)) return (void)vm_push_int(static_cast<int32_t>(o.flags & bit));
  int32_t v = 0;
  switch (letter) {
    case 'L':
      v = o.left_margin;
      break;
    case 'S':
      v = o.search_case;
      break;
    case 'X':
      v = o.no_trunc_msg;
      break;
    case 'W':
      v = o.path_width;
      break;
    case 'R':
      v = o.guide_column;
      break;
    case 'D':
      v = o.frame_border;
      break;
    case 'K':
      v = o.caret_style;
      break;
    case 'E':
      v = o.error_where;
      break;
    case 'F':
      v = o.maximise_new;
      break;
    case 'B':
      v = o.stored_b;
      break;
    default:
      break;
  }
  vm_push_int(v);
}

// Ext 140: [a [b]]: a = -1 the window system's bell; a = 0 sleeps b ms;
// otherwise the terminal bell.
void bi_beep() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  int32_t a = -1, b = -1;
  if (n >= 1 && !bi_arg_int(n, 0, &a)) return;
  if (n >= 2 && !bi_arg_int(n, 1, &b)) return;
  core_drop(n);
  if (a == -1) return xfBeep();
  os_beep(a, b == -1 ? 100 : b);
}

// Ext 170: text [title [style]]; rc = the button. The current object comes
// back afterwards.
void bi_message_box() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  if (vm_check_break() != ERR_OK) return;
  const std::string text = bi_arg_str(n, 0);
  const std::string title = n >= 2 ? bi_arg_str(n, 1) : std::string("Zorvex");
  int32_t style = 0;
  if (n >= 3 && !bi_arg_int(n, 2, &style)) return;
  core_drop(n);
  WindowSave save;
  window_push_current(window_current(), save);
  const int32_t button = app_message_box_styled(text, title, style);
  window_pop_current(save);
  vm_set_rc(button);
}

// Ext 165: number [text]: message 4142 to the frame; rc 0 or -2029.
void bi_post_frame_command() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t number = 0;
  if (!bi_arg_int(n, 0, &number)) return;
  const std::string text = n >= 2 ? bi_arg_str(n, 1) : std::string();
  core_drop(n);
  // Without a frame the message reaches nobody.
  app_post_frame_event(number, n >= 2 ? &text : nullptr);
  vm_set_rc(0);
}
