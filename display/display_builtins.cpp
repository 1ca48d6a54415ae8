// The display's small built-ins: search case, caret shapes, scroll style,
// colour mode, refresh, scrolling the current window, and queries.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "base/messages.h"
#include "display/display_settings.h"
#include "display/refresh_port.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/search.h"

int32_t refresh_builtin_depth = 0;

namespace {
CaretShapes shapes;
DisplayModes modes;

constexpr uint32_t kRedrawAllButMessage = ~(0x0100u | 0x4000u);

// Words of a text separated by blanks.
std::vector<std::string> words_of(std::string_view s) {
  std::vector<std::string> w;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) w.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return w;
}

bool parse_int(std::string_view s, int32_t* out) {
  LStrLine t;
  t.assign(s);
  int32_t v = 0;
  const bool ok = !s.empty() && val_to_int(reinterpret_cast<const LStr*>(&t), &v) == 0;
  *out = v;
  return ok;
}

std::string fmt_shapes() {
  std::string out = shapes.vertical_bar ? "-v " : "";
  for (int i = 0; i < 8; ++i) {
    if (i) out += ' ';
    out += std::to_string(shapes.shape[i]);
  }
  return out;
}

}  // namespace

CaretShapes& caret_shapes() { return shapes; }
DisplayModes& display_modes() { return modes; }
void display_settings_reset() {
  shapes = CaretShapes{};
  modes = DisplayModes{};
  refresh_builtin_depth = 0;
}

// Main 209: [I or E] -> the search case letter.
void bi_search_case() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 0;
  bool bad = false;
  if (n == 1) {
    const std::string_view a = bi_strip_blanks(bi_arg(1, 0));
    const char c = a.empty() ? 0 : static_cast<char>(std::toupper(static_cast<unsigned char>(a[0])));
    if (c == 'I' || c == 'E')
      letter = c;
    else if (!a.empty())
      bad = true;
  }
  core_drop(n);
  if (letter == 'I') search_state.flags |= kSearchFlagIgnoreCase;
  if (letter == 'E') search_state.flags &= ~kSearchFlagIgnoreCase;
  if (letter) search_parse_options(std::string_view(&letter, 1));
  vm_push_view((search_state.flags & kSearchFlagIgnoreCase) ? "I" : "E");
  if (bad) vm_raise_error(ERR_EXPECTING_IGNORE_OR_EXACT);
}

// Main 210: [words] -> "-v " when the bar is on, then the eight shapes.
void bi_cursor_shape() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  if (n == 1) {
    const std::vector<std::string> w = words_of(bi_arg(1, 0));
    CaretShapes next = shapes;
    next.vertical_bar = false;
    int slot = 0;
    for (const std::string& word : w) {
      if (word.size() == 2 && word[0] == '-' && (word[1] == 'v' || word[1] == 'V')) {
        next.vertical_bar = true;
        continue;
      }
      int32_t v = 0;
      if (!parse_int(word, &v)) return bi_fail(1, ERR_INVALID_NUMBER_ARGUMENT);
      if (slot < 8) next.shape[slot++] = static_cast<uint16_t>(std::clamp(v, 0, 0xFFFF));
    }
    shapes = next;
    redraw_bits |= 0x2000 | 0x0002 | 0x0001;
  }
  core_drop(n);
  vm_push_view(fmt_shapes());
}

// Main 231: [style [margin]] -> "S 2".
void bi_scroll_style() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  bool bad = false;
  if (n == 1) {
    const std::vector<std::string> w = words_of(bi_arg(1, 0));
    if (!w.empty()) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0][0])));
      if (c == 'C' || c == 'S') {
        int32_t margin = 0;
        if (w.size() > 1 && !parse_int(w[1], &margin)) return bi_fail(1, ERR_INVALID_NUMBER_ARGUMENT);
        edit_settings.scroll_style = c;
        edit_settings.scroll_margin = static_cast<int16_t>(std::clamp(margin, 0, 0x7FFF));
      } else {
        bad = true;
      }
    }
  }
  core_drop(n);
  vm_push_view(std::string(1, edit_settings.scroll_style) + " " + std::to_string(edit_settings.scroll_margin));
  if (bad) vm_raise_error(ERR_INVALID_OPTION);
}

// Main 246: [?CM] -> the colour mode letter; any argument asks for a full redraw.
void bi_color_mode() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  bool bad = false;
  if (n == 1) {
    const std::string_view a = bi_strip_blanks(bi_arg(1, 0));
    const char c = a.empty() ? 0 : static_cast<char>(std::toupper(static_cast<unsigned char>(a[0])));
    if (c == '?')
      modes.screen_mode = 'C';  // detection: always colour
    else if (c == 'C' || c == 'M')
      modes.screen_mode = c;
    else
      bad = true;
    if (!bad) redraw_bits |= kRedrawAllButMessage;
  }
  core_drop(n);
  vm_push_view(std::string(1, modes.screen_mode));
  if (bad) vm_raise_error(ERR_INVALID_OPTION);
}

// Main 205: [letters AFW].
void bi_refresh() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 'A';
  if (n == 1 && !bi_arg_letter(1, 0, "AFW", &letter)) return;
  core_drop(n);
  if (letter != 'F') refresh_update_tree();
  if (letter != 'W') {
    ++refresh_builtin_depth;
    refresh_screen();
    --refresh_builtin_depth;
  }
}

// Main 135: -> id of the current window object (its topmost editor window
// when it has no view).
void bi_current_window_id() {
  WindowObject* w = window_current();
  if (w && !w->view)
    for (WindowObject* e = window_edit_list_head(); e;
         e = e->edit_next == window_edit_list_head() ? nullptr : e->edit_next)
      if (e->view) {
        w = e;
        break;
      }
  vm_push_int(w ? w->handle : 0);
}

// Ext 131: -> the process id.
void bi_getpid() { vm_push_int(static_cast<int32_t>(::getpid())); }

// Main 50: a b -> b a b.
void op_dup_under() {
  if (!core_have(2)) return;
  const std::string b(core_view(0)), a(core_view(1));
  core_drop(2);
  vm_push_view(b);
  vm_push_view(a);
  vm_push_view(b);
}

// Main 138: the current object follows its cursor.
void bi_scroll_to_cursor() {
  WindowObject* w = window_current();
  if (!w || (!w->view && w->type != 3)) {
    vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    return;
  }
  refresh_scroll_to_cursor(w);
}

// Main 213: [letter UDTBSL [n]] -> the scroll point, or empty after moving the top.
void bi_scroll_pos() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  WindowObject* w = window_current();
  PosRecord* v = w ? w->view : nullptr;
  if (!v) {
    core_drop(n);
    vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    return;
  }
  BufferRec* b = v->buffer;
  const int32_t rows = std::max(1, w->rows);
  pos_line_number(v, b, 1);
  const int32_t line = v->line;
  if (n == 0) {
    // The top line's point: its byte offset and the zero-length lines above it.
    PosRecord top{};
    top.buffer = b;
    pos_goto_line(std::max(line - v->row, 0), &top, b);
    int64_t point = 0;
    int32_t zero = 0;
    pos_get_point(point, zero, &top);
    vm_push_view(std::to_string(point) + " " + std::to_string(zero));
    return;
  }
  char letter = 0;
  if (!bi_arg_letter(n, 0, "UDTBSL", &letter)) return;
  int32_t count = rows - 1;
  const bool have_n = n == 2;
  if (have_n && !bi_arg_int(n, 1, &count)) return;
  core_drop(n);
  if (letter == 0) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  PosRecord last{};
  last.buffer = b;
  pos_last_line(&last, b);
  pos_line_number(&last, b, 1);
  const int32_t last_line = std::max(last.line, 0);
  const int32_t first = view_shows_top_line(v) ? 0 : 1;
  const int32_t top = line - v->row;
  int32_t new_top = top;
  switch (letter) {
    case 'U':
      new_top = std::max(first, top - count);
      break;
    case 'D':
      if (top + rows - 1 >= last_line) {
        vm_push_view("");
        return;
      }
      new_top = top + count;
      break;
    case 'T':
      new_top = first;
      break;
    case 'B':
      new_top = std::max(first, last_line - (rows - 1));
      break;
    case 'S': {
      if (!have_n) return vm_raise_error(ERR_INVALID_ARGUMENT);
      PosRecord p{};
      p.buffer = b;
      if (pos_seek_offset(&p, count) != 0) pos_last_line(&p, b);
      pos_line_number(&p, b, 1);
      new_top = p.line;
      break;
    }
    case 'L':
      if (!have_n || count < 0) return vm_raise_error(ERR_INVALID_ARGUMENT);
      new_top = std::min(count, last_line);
      break;
    default:
      break;
  }
  // The cursor stays on its line; only its row in the window follows the top.
  v->row = line - new_top;
  b->redraw = 1;
  redraw_bits |= 0x2000 | 0x0002;
  vm_push_view("");
}
