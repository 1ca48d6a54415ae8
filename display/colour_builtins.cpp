// The display's built-ins: colour search, line flags, colours, default fonts
// and loading lexer files. Each pushes exactly one result.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "base/messages.h"
#include "display/colours.h"
#include "display/default_font_port.h"
#include "display/lexer.h"
#include "display/msgline.h"
#include "display/recolour.h"
#include "display/redraw_port.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/tab_columns.h"
#include "text/tabs.h"
#include "text/ui_port.h"

namespace {

constexpr int32_t kOptBack = 1, kOptO = 2, kOptN = 4, kOptT = 8, kOptG = 16;

// One line as it is displayed, coloured from its stored start state.
struct ColouredLine {
  LStrBuf<LSTR_CAP_LINE> text;
  std::array<uint16_t, LSTR_CAP_LINE> attrs;
  int end_state = 0;
};

bool colour_line_at(PosRecord* pos, BufferRec* buf, ColouredLine* out) {
  const uint8_t* t = nullptr;
  LineInfo info;
  const int32_t len = line_get_ptr(t, pos, buf, &info);
  if (len < 0) return false;
  const int start = info.flags & 15;
  const std::string_view raw(reinterpret_cast<const char*>(t), static_cast<size_t>(len));
  const TabStops ts = tab_stops_of(buf);
  if (ts.expand && raw.find('\t') != std::string_view::npos)
    tab_expand_range(reinterpret_cast<LStr*>(&out->text), LSTR_CAP_LINE, raw, 1, -1, 'E', ts);
  else
    out->text.assign(raw);
  lex_select(buf->lexer);
  out->end_state =
      lex_colour_line(reinterpret_cast<const uint8_t*>(out->text.text), out->text.len, out->attrs.data(), start);
  return true;
}

void push_not_found() {
  colour_slots_unmark_all();
  vm_push_int(ERR_STRING_NOT_FOUND);
}

// Slot G reports beyond the end of a line: none, the string slot or the comment slot.
int32_t slot_past_end(int end_state) { return end_state == 0 ? -1 : end_state > 12 ? 19 : 20; }

}  // namespace

// Ext 210: mask [, options "-ONTG"]: the colour search.
void bi_color_coding() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t opts = 0;
  if (n == 2 && !bi_arg_options(n, 1, "-ONTG", &opts, ERR_INVALID_ARGUMENT)) return;
  int32_t mask = 0;
  if (!bi_arg_int(n, 0, &mask)) return;
  core_drop(n);
  PosRecord* view = bi_need_view();
  if (!view) return;
  if ((opts & ~kOptBack) == 0) opts |= kOptO;
  const bool back = opts & kOptBack;
  const int32_t kind = opts & ~kOptBack;
  line_flush_current();
  BufferRec* buf = view->buffer;
  if (!buf->lexer) {
    vm_push_int(ERR_STRING_NOT_FOUND);
    return;
  }
  lex_recolour_current();
  if (kind != kOptG) lex_mark_slots(mask, true);
  auto marked = [](uint16_t slot) { return colour_slot_marked(slot); };
  PosRecord pos{};
  pos_copy_place(&pos, view);
  pos.buffer = buf;
  ColouredLine line;
  if (!colour_line_at(&pos, buf, &line)) return push_not_found();
  const int32_t col = view->column;
  if (kind == kOptT || kind == kOptG) {
    int32_t value;
    if (col < line.text.len) {
      const uint16_t slot = line.attrs[static_cast<size_t>(col)];
      value = kind == kOptG ? slot : marked(slot) ? 1 : 0;
    } else {
      const int32_t slot = slot_past_end(line.end_state);
      value = kind == kOptG ? slot : (slot > 0 && marked(static_cast<uint16_t>(slot)) ? 1 : 0);
    }
    colour_slots_unmark_all();
    if (value < 0)
      vm_push_view({});
    else
      vm_push_int(value);
    return;
  }
  if (kind != kOptO && kind != kOptN) return push_not_found();
  const bool want = kind == kOptO;
  int32_t walked = 0;
  int32_t c = back ? std::min(col, line.text.len - 1) : col;
  for (;;) {
    if (back) {
      for (; c >= 0; --c)
        if (marked(line.attrs[static_cast<size_t>(c)]) == want) break;
      if (c >= 0) break;
    } else {
      for (; c < line.text.len; ++c)
        if (marked(line.attrs[static_cast<size_t>(c)]) == want) break;
      if (c < line.text.len) break;
    }
    if ((back ? pos_prev_line(&pos, buf) : pos_next_line(&pos, buf)) != 0) return push_not_found();
    if (ui_break_pressed()) return push_not_found();
    ++walked;
    if (!colour_line_at(&pos, buf, &line)) return push_not_found();
    c = back ? line.text.len - 1 : 0;
  }
  colour_slots_unmark_all();
  buf->redraw = 1;
  redraw_bits |= kRedrawLines | kRedrawCaption;
  if (walked) view_cursor_lines(back ? pos_prev_line : pos_next_line, walked);
  view_set_cursor_col(c);
  vm_push_int(0);
}

// Ext 212: [value [, mask]] -> the cursor line's flags word.
void bi_line_flags() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  int32_t value = 0, mask = 0;
  if (n >= 1 && !bi_arg_int(n, 0, &value)) return;
  mask = value;
  if (n >= 2 && !bi_arg_int(n, 1, &mask)) return;
  core_drop(n);
  PosRecord* view = bi_need_view();
  if (!view) return;
  const int32_t old = line_get_flags(view, view->buffer);
  if (old < 0) {
    vm_raise_fatal(old);
    return;
  }
  if (n == 0) {
    vm_push_int(old);
    return;
  }
  if (mask & 0x30) {
    view->buffer->redraw = 1;
    redraw_bits |= kRedrawCursorLine;
  }
  const int32_t word = (old & ~(mask | 15)) | (value & 0x330) | (old & 15);
  line_set_flags(static_cast<uint16_t>(word), view, view->buffer);
  vm_push_int(word);
}

// Main 247: index [fg [bg [ignored]]] -> "fg bg".
void bi_color() {
  int32_t n = 0;
  if (!bi_count(1, 4, &n)) return;
  int32_t index = 0;
  if (!bi_arg_int(n, 0, &index)) return;
  int32_t colour[2] = {0, 0};
  bool given[2] = {false, false};
  for (int k = 0; k < 2; ++k) {
    if (n < k + 2 || bi_strip_blanks(bi_arg(n, k + 1)).empty()) continue;
    if (!bi_arg_int(n, k + 1, &colour[k])) return;
    given[k] = true;
  }
  core_drop(n);
  if (index < 0 || index >= kColourPairs) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  ColourPair p = colour_pair(index);
  if (given[0]) p.fg = static_cast<uint32_t>(colour[0]);
  if (given[1]) p.bg = static_cast<uint32_t>(colour[1]);
  colour_pair_set(index, p);
  if (given[0] || given[1]) {
    if (index == 4 || index == 5) {
      msgline_redraw_bands();
    } else if (index == 6 || (index >= 8 && index <= 10)) {
      msgline_redraw_bands();
      redraw_objects();
    } else {
      lex_default_class_attrs();
      msgline_redraw_bands();
      redraw_views();
    }
  }
  vm_push_view(std::to_string(p.fg) + " " + std::to_string(p.bg));
}

// Ext 138: id [font] -> "face,size,flags,".
void bi_default_font() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t id = 0;
  if (!bi_arg_int(n, 0, &id)) return;
  DefaultFont parsed{};
  if (n == 2) {
    const int32_t rc = parse_font_text(bi_arg(n, 1), &parsed);
    if (rc) return bi_fail(n, static_cast<ErrorCode>(rc));
  }
  core_drop(n);
  DefaultFont* f = default_font(id);
  if (!f) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  if (n == 2) {
    *f = parsed;
    default_font_changed(id * 2);
  }
  std::string face;
  int32_t tenths = 0;
  uint32_t flags = 0;
  if (default_font_query(id * 2, &face, &tenths, &flags) && !face.empty()) {
    std::snprintf(f->face, sizeof f->face, "%s", face.substr(0, sizeof f->face - 1).c_str());
    f->size = tenths / 10;
    f->flags = flags;
  }
  vm_push_view(fmt_default_font(*f));
}

// Ext 209: path: loads a lexer definition file; rc. Every object is drawn
// again, in the colours of its lexer as it now reads.
void bi_load_lexer_file() {
  if (!core_have(1)) return;
  const std::string path = bi_arg_str(1, 0);
  core_drop(1);
  vm_set_rc(path.find('\0') == std::string::npos ? lex_load_file(path.c_str()) : ERR_INVALID_ARGUMENT);
  redraw_objects();
}

void bi_text_col();
void bi_expand_tabs();
void bi_message();
void bi_sticky_message();
void bi_get_message();
void bi_clear_message();
void bi_execute_command_line();
void bi_cmdline_history_prev();
void bi_cmdline_history_next();
void bi_stdout_print();
void bi_search_case();
void bi_cursor_shape();
void bi_scroll_style();
void bi_color_mode();
void bi_refresh();
void bi_current_window_id();
void bi_getpid();
void op_dup_under();
void bi_scroll_to_cursor();
void bi_scroll_pos();
void bi_get_ctl_text();
void bi_set_ctl_text();
void bi_get_ctl_sel();
void bi_set_ctl_sel();
void bi_is_text_control();
void bi_is_text_control2();
void bi_reserved_195();
void bi_reserved_196();
void bi_toggle_cmdline_focus();
void bi_focus_cmdline();
void bi_focus_edit_window();
void bi_insert_state();
void bi_insert_toggle();
void bi_path_by_letter();
void bi_tile_windows();
void bi_cascade_windows();
void bi_arrange_icons();

namespace {
// clang-format off
constexpr OpcodeBinding kDisplayOpcodes[] = {
    {opcode_slot("text_col"), bi_text_col},
    {opcode_slot("expand_tabs"), bi_expand_tabs},
    {opcode_slot("color_coding"), bi_color_coding},
    {opcode_slot("line_flags"), bi_line_flags},
    {opcode_slot("color"), bi_color},
    {opcode_slot("default_font"), bi_default_font},
    {opcode_slot("load_lexer_file"), bi_load_lexer_file},
    {opcode_slot("message"), bi_message},
    {opcode_slot("sticky_message"), bi_sticky_message},
    {opcode_slot("get_message"), bi_get_message},
    {opcode_slot("clear_message"), bi_clear_message},
    {opcode_slot("execute_command_line"), bi_execute_command_line},
    {opcode_slot("cmdline_history_prev"), bi_cmdline_history_prev},
    {opcode_slot("cmdline_history_next"), bi_cmdline_history_next},
    {opcode_slot("stdout_print"), bi_stdout_print},
    {opcode_slot("search_case"), bi_search_case},
    {opcode_slot("cursor_shape"), bi_cursor_shape},
    {opcode_slot("scroll_style"), bi_scroll_style},
    {opcode_slot("color_mode"), bi_color_mode},
    {opcode_slot("refresh"), bi_refresh},
    {opcode_slot("current_window_id"), bi_current_window_id},
    {opcode_slot("getpid"), bi_getpid},
    {opcode_slot("dup_under"), op_dup_under},
    {opcode_slot("scroll_to_cursor"), bi_scroll_to_cursor},
    {opcode_slot("scroll_pos"), bi_scroll_pos},
    {opcode_slot("get_ctl_text"), bi_get_ctl_text},
    {opcode_slot("set_ctl_text"), bi_set_ctl_text},
    {opcode_slot("get_ctl_sel"), bi_get_ctl_sel},
    {opcode_slot("set_ctl_sel"), bi_set_ctl_sel},
    {opcode_slot("is_text_control"), bi_is_text_control},
    {opcode_slot("is_text_control2"), bi_is_text_control2},
    {opcode_slot("reserved_195"), bi_reserved_195},
    {opcode_slot("reserved_196"), bi_reserved_196},
    {opcode_slot("toggle_cmdline_focus"), bi_toggle_cmdline_focus},
    {opcode_slot("focus_cmdline"), bi_focus_cmdline},
    {opcode_slot("focus_edit_window"), bi_focus_edit_window},
    {opcode_slot("insert_state"), bi_insert_state},
    {opcode_slot("insert_toggle"), bi_insert_toggle},
    {opcode_slot("path_by_letter"), bi_path_by_letter},
    {opcode_slot("tile_windows"), bi_tile_windows},
    {opcode_slot("cascade_windows"), bi_cascade_windows},
    {opcode_slot("arrange_icons"), bi_arrange_icons},
};
// clang-format on
}  // namespace

BindResult display_register_opcodes(OpcodeDispatch& d) { return opcodes_register(d, Layer::Display, kDisplayOpcodes); }
