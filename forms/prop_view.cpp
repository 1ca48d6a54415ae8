// View and buffer properties: the computed ids of an object that shows a
// buffer. The dispatch has checked the view and put it and its buffer in
// the dispatch state; display metrics come through the view seam.
#include <algorithm>
#include <cstdio>
#include <string>

#include "base/handle_heap.h"
#include "display/lexer.h"
#include "display/recolour.h"
#include "forms/options.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/view_metrics.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/event_tables.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/tab_columns.h"
#include "text/undo.h"

namespace {

PropDispatchState& S = prop_state;

// The display word of a view that marks its saved scroll point (-1 none).
constexpr int kScrollPointWord = 3;
constexpr int32_t kMaxCursorColumn = 1023;
constexpr int32_t kCharTableSize = 256;

WindowObject* win() { return S.obj; }
BufferRec* buf() { return S.buf; }
PosRecord* view() { return S.view; }

void push_string(std::string_view s) {
  const std::string copy(s);
  vm_push_bytes(copy.data(), static_cast<int32_t>(copy.size()));
}
void push_unsigned(uint64_t v) { bi_push_int64(static_cast<int64_t>(v)); }

void redraw_buffer(uint32_t bits) {
  buf()->redraw = 1;
  redraw_bits |= bits;
}

int32_t cursor_line() {
  PosRecord* v = view();
  if (v->line < 0) pos_line_number(v, buf(), 1);
  return v->line;
}

// Moves the cursor to a row of the window with the scroll margin off.
void move_to_row(int32_t row) {
  line_flush_current();
  const int32_t rows = std::max(win()->rows, 1);
  row = std::clamp(row, 0, rows - 1);
  if (!view_select(win())) return;
  const uint32_t before = redraw_bits;
  const int32_t d = row - view()->row;
  const int16_t margin = edit_settings.scroll_margin;
  edit_settings.scroll_margin = 0;
  if (d >= 0)
    view_move_lines(pos_next_line, d);
  else
    view_move_lines(pos_prev_line, -d);
  edit_settings.scroll_margin = margin;
  if (view()->row == row - d) redraw_bits = before;
}

std::string int_list(const int32_t* a, int n, bool stop_at_end) {
  std::string out;
  for (int i = 0; i < n && a[i] != 0 && !(stop_at_end && a[i] >= kTabStopEnd); ++i) out += std::to_string(a[i]) + " ";
  return out;
}

// Parses a digit run of the date text; false when it is not a number.
bool date_part(std::string_view t, size_t at, size_t len, int32_t* out) {
  if (at + len > t.size() || len == 0) return false;
  int32_t v = 0;
  for (size_t i = at; i < at + len; ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
  }
  *out = v;
  return true;
}

}  // namespace

void pv_get_scroll_scale() { vm_push_int(win()->scroll_scale); }
void pv_get_hoffset() { vm_push_int(view_h_offset(win())); }
void pv_get_cursor_x() { vm_push_int(view_cursor_x(win())); }

void pv_set_cursor_x() {
  const int32_t area = view_area_width(win());
  const int32_t x = std::clamp(S.num, 0, std::max(area - 1, 0));
  // The column counts from the text's start, scrolled out or not.
  const int32_t col = std::min(view_column_at_x(win(), x + view_h_offset(win())), kMaxCursorColumn);
  if (col != view()->column) {
    view()->column = col;
    redraw_bits |= 0x2010;
  }
}

void pv_get_cursor_y() { vm_push_int(view()->row * std::max(win()->line_height, 1)); }
void pv_set_cursor_y() { move_to_row(std::max(S.num, 0) / std::max(win()->line_height, 1)); }

void pv_get_line() {
  redraw_bits |= 8;
  push_unsigned(static_cast<uint32_t>(cursor_line()));
}

void pv_set_line() {
  line_flush_current();
  const int32_t n = S.dec;
  PosRecord* v = view();
  BufferRec* b = buf();
  int32_t line = cursor_line();
  int32_t d = n - line;
  if (line < 0 || std::abs(d) > n) {
    if (const int32_t r = pos_first_line(v, b); r != 0) return vm_raise_error(r);
    redraw_buffer(2);
    line = 1;
    v->line = 1;
    v->row = ((editor_options().flags & kOptTopLine) && win()->prop19 == 3) ? 1 : 0;
    d = n - line;
  }
  if (!view_select(win())) return;
  int32_t rc = 0;
  if (std::abs(d) <= win()->rows) {
    rc = d >= 0 ? view_move_lines(pos_next_line, d) : view_move_lines(pos_prev_line, -d);
  } else {
    const int32_t old_row = v->row;
    rc = pos_goto_line(n, v, b);
    int32_t row = old_row + d;
    if (rc == ERR_BOTTOM_OF_FILE && v->line > 0) row -= n - v->line;  // the overshoot
    view_set_cursor_row(row, d >= 0 ? 1 : -1);
    redraw_buffer(2);
  }
  vm_set_rc(rc);
}

void pv_get_line_count() {
  int32_t total = 0;
  pos_count_lines(view(), buf(), total);
  redraw_bits |= 8;
  push_unsigned(static_cast<uint32_t>(total));
}

void pv_get_column() { vm_push_int(view()->column + 1); }
void pv_set_column() {
  view()->column = std::clamp(S.num - 1, 0, kMaxCursorColumn);
  redraw_bits |= 0x2010;
}

void pv_get_buf_name() { push_string(buf()->name.view()); }
void pv_set_buf_name() {
  if (const int32_t r = buf_set_name_current(S.str.view()); r != 0) vm_raise_error(r);
}

void pv_get_modified() {
  const bool loaded = current_line.buffer == buf() && current_line.dirty;
  vm_push_int(buf()->modified | (loaded ? 1 : 0));
}
void pv_set_modified() {
  line_flush_current();
  buf()->modified = static_cast<uint8_t>(S.num);
  redraw_buffer(32);
}

void pv_get_buf_handle() { vm_push_int(buf()->handle); }
void pv_set_buf_handle() {
  BufferRec* b = S.num > 0 ? buf_record(S.num) : nullptr;
  if (!b) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  view_show_buffer(b, 0);
}

void pv_get_margins() { push_string(int_list(buf()->margins, kMarginCount, false)); }
void pv_set_margins() {
  vm_set_rc(0);
  if (const int32_t r = buf_parse_tabs_margins(S.str.view(), buf()->margins, kMarginCount); r != 0) vm_set_rc(r);
}

void pv_get_tabs() { push_string(int_list(buf()->tab_stops, kTabStopCount, true)); }
void pv_set_tabs() {
  vm_set_rc(0);
  if (const int32_t r = buf_parse_tabs_margins(S.str.view(), buf()->tab_stops, kTabStopCount); r != 0) vm_set_rc(r);
  redraw_buffer(0x8000);
}

void pv_get_mode_name() { push_string(buf()->locals.mode_name.view()); }
void pv_set_mode_name() { buf_set_mode_name(buf(), S.str.view()); }

void pv_get_record_len() { vm_push_int(buf()->record_len); }
void pv_get_wrap_byte() { vm_push_int(buf()->wrap_flags); }
void pv_set_wrap_byte() { buf()->wrap_flags = static_cast<uint8_t>(S.num); }
void pv_get_tab_display() { vm_push_int(buf()->no_tab_expand); }
void pv_set_tab_display() {
  buf()->no_tab_expand = static_cast<uint8_t>(S.num);
  redraw_buffer(0x8000);
}
void pv_get_indent_tabs() { vm_push_int(buf()->indent_tabs); }
void pv_set_indent_tabs() { buf()->indent_tabs = static_cast<uint8_t>(S.num); }
void pv_get_buf_flags() { vm_push_int(buf()->flags); }
void pv_set_buf_flags() { buf()->flags = static_cast<uint8_t>(S.num); }

void pv_get_eol() {
  const BufferRec* b = buf();
  if (b->record_len >= 2) return push_string("");
  const char e[2] = {static_cast<char>(b->eol[0]), static_cast<char>(b->eol[1])};
  push_string(std::string_view(e, b->eol[1] != b->eol[0] ? 2 : 1));
}

void pv_get_undo_limit() { vm_push_int(buf()->undo_limit); }
void pv_set_undo_limit() {
  BufferRec* b = buf();
  if (S.num < 0) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  if (S.num == 0) return undo_enable(b, 0);
  if (b->undo_limit == 0) {
    // Undo comes back on: a new history starts at the current state.
    line_flush_current();
    undo_enable(b, S.num);
    undo_checkpoint(view(), b);
    return;
  }
  b->undo_limit = S.num;
}

void pv_get_user_word() { vm_push_int(buf()->user_word); }
void pv_set_user_word() { buf()->user_word = S.num; }
void pv_get_byte_count() { push_unsigned(static_cast<uint64_t>(buf()->bytes)); }
void pv_get_rows() { vm_push_int(win()->rows); }
void pv_get_columns() { vm_push_int(win()->cols); }
void pv_get_vscroll_max() { push_unsigned(static_cast<uint32_t>(view_v_scroll_max(win()))); }
void pv_get_hscroll_max() { push_unsigned(static_cast<uint32_t>(view_h_scroll_max(win()))); }
void pv_get_line_height() { vm_push_int(win()->line_height); }
void pv_get_char_width() { vm_push_int(view_char_width(win())); }
void pv_get_layout_rect() { vm_push_int(win()->layout_rect[S.id - 133]); }
void pv_set_layout_rect() { win()->layout_rect[S.id - 133] = S.num; }
void pv_get_key_handler() { vm_push_int(buf()->key_handler); }
void pv_set_key_handler() { buf()->key_handler = S.num; }
void pv_get_widths() { vm_push_int(view_extra_widths(win())); }
void pv_get_fixed_pitch() { vm_push_int(view_fixed_pitch(win()) ? 1 : 0); }
void pv_get_cursor_row() { vm_push_int(view()->row); }
void pv_set_cursor_row() { move_to_row(S.num); }
void pv_get_scroll_point() { vm_push_int(view()->display[kScrollPointWord]); }
void pv_set_scroll_point() {
  view()->display[kScrollPointWord] = S.num;
  redraw_buffer(0x2002);
}

void pv_get_char_table() {
  const std::string_view t = prop_slot_string(buf()->char_table);
  push_string(t.size() == kCharTableSize ? t : std::string_view());
}
void pv_set_char_table() {
  const std::string_view v = S.str.view();
  if (!v.empty() && v.size() != kCharTableSize) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  redraw_buffer(2);
  if (prop_assign_string_slot(&buf()->char_table, v.empty() ? std::nullopt : std::optional(v)) != 0)
    prop_refuse(ERR_NOT_ENOUGH_MEMORY);
}

void pv_get_user_byte() { vm_push_int(buf()->user_byte); }
void pv_set_user_byte() { buf()->user_byte = static_cast<uint8_t>(S.num); }

void pv_get_buf_event_table() { vm_push_int(buf()->locals.event_table); }
void pv_set_buf_event_table() {
  if (S.num != 0 && !evtab_is_table(S.num)) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  buf()->locals.event_table = S.num;
}

void pv_get_file_date() {
  const FileTime& t = buf()->file_time;
  if (t.year == 0) return push_string("");
  char text[24];
  const int n =
      std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%05u", t.year, t.month, t.day, t.hour, t.minute, t.ms);
  push_string(std::string_view(text, static_cast<size_t>(n)));
}

// The parts are checked against their ranges before anything is stored
// (a month of 99 or 99999 milliseconds would not fit their fields).
void pv_set_file_date() {
  const std::string_view t = S.str.view();
  if (t.empty()) {
    buf()->file_time.year = 0;
    return;
  }
  constexpr size_t at[6] = {0, 4, 6, 8, 10, 12}, len[6] = {4, 2, 2, 2, 2, 5};
  int32_t p[6];
  for (int i = 0; i < 6; ++i) {
    const size_t l = t.size() > at[i] ? std::min(len[i], t.size() - at[i]) : 0;
    if (!date_part(t, at[i], l, &p[i])) return prop_refuse(ERR_INVALID_NUMBER_ARGUMENT);
  }
  if (p[1] < 1 || p[1] > 12 || p[2] < 1 || p[2] > 31 || p[3] > 23 || p[4] > 59 || p[5] > 59999)
    return prop_refuse(ERR_INVALID_ARGUMENT, false);
  FileTime& f = buf()->file_time;
  f.year = static_cast<uint16_t>(p[0]);
  f.month = static_cast<uint8_t>(p[1]);
  f.day = static_cast<uint8_t>(p[2]);
  f.hour = static_cast<uint8_t>(p[3]);
  f.minute = static_cast<uint8_t>(p[4]);
  f.ms = static_cast<uint16_t>(p[5]);
}

void pv_get_word_chars() { push_string(buf()->word_chars.view()); }
void pv_set_word_chars() { buf()->word_chars.assign(S.str.view()); }

void pv_get_lexer() { push_string(buf()->lexer ? std::string_view(buf()->lexer->name) : std::string_view()); }
void pv_set_lexer() {
  const std::string_view name = S.str.view();
  LexerDef* lexer = name.empty() ? nullptr : lex_find(name);
  if (!name.empty() && !lexer) return;  // an unknown lexer changes nothing
  if (lexer != buf()->lexer) {
    lex_set_buffer_lexer(buf(), lexer);  // recolours the whole buffer
    redraw_buffer(0x8000);
  }
}

void pv_get_second_string() { push_string(prop_slot_string(buf()->second_string)); }
void pv_set_second_string() {
  if (prop_assign_string_slot(&buf()->second_string, S.str.view()) != 0) prop_refuse(ERR_NOT_ENOUGH_MEMORY);
}
void pv_get_display_byte() { vm_push_int(buf()->display_byte); }
void pv_set_display_byte() {
  buf()->display_byte = static_cast<uint8_t>(S.num);
  redraw_buffer(0x8000);
}
