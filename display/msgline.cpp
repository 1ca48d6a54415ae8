// The message line, the status line and the command line of the frame.
#include "display/msgline.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "display/colours.h"
#include "macro/command_port.h"
#include "text/curline.h"
#include "text/ui_port.h"
#include "winsys/colours.h"
#include "winsys/draw.h"
#include "winsys/fonts.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"

bool msgline_quiet_truncation = false;

namespace {

// What the message line keeps between reports.
struct ErrorState {
  int32_t last_error = 0;
  int error_count = 0;
  MsglineErrorBox error_box = nullptr;
  bool box_shown = false;  // set while the box is up
};
ErrorState errors;
MessageState messages;
StatusFields fields;
MsglineDelayFn delay_fn = nullptr;

std::string cut(std::string_view s, size_t cap) { return std::string(s.substr(0, std::min(s.size(), cap))); }

}  // namespace

// ---------------------------------------------------------------- errors

void msgline_show_error(int32_t code) {
  if (code == ERR_LINES_TRUNCATED && msgline_quiet_truncation) return;
  errors.last_error = code;
  ++errors.error_count;
  if (errors.error_box) {
    errors.box_shown = true;
    const std::string text(msg_code_text(code));
    errors.error_box(code, text);
    errors.box_shown = false;
  } else {
    msgline_show(msg_code_text(code));
  }
  if (code != ERR_LINES_TRUNCATED) msgline_set_pending_code(code);
}

int32_t msgline_show_error_if(int32_t code) {
  if (code != 0) msgline_show_error(code);
  return code;
}

int32_t msgline_last_error() { return errors.last_error; }
int msgline_error_count() { return errors.error_count; }
void msgline_reset_errors() {
  errors.last_error = 0;
  errors.error_count = 0;
}
void msgline_set_error_box(MsglineErrorBox box) { errors.error_box = box; }

// The text engine reports its errors on the message line.
void ui_show_error(int32_t code) { msgline_show_error(code); }

// The command executor's errors under flag 0x200 show here too.
void cmd_show_message(std::string_view text) { msgline_show(text); }

// ---------------------------------------------------------------- messages

MessageState& message_state() { return messages; }
void message_state_reset() { messages = MessageState{}; }

void msgline_set_text(std::string_view text) {
  const std::string t = cut(text, kMessageCapacity);
  if (t == messages.current) return;
  messages.current = t;
  ++messages.paints;
  if (XfWindow* w = msgline_message_window()) {
    WinInvalidateRect(w, nullptr);
    xfUpdateWindow(w);
  } else if (XfWindow* s = msgline_status_window(); s && !messages.visible) {
    WinInvalidateRect(s, nullptr);
  }
}

void msgline_paint(std::string_view text) {
  msgline_set_text(text);
  redraw_bits &= ~kRedrawMessage;
}

std::string msgline_get_text() { return messages.current; }

void msgline_show(std::string_view text) {
  msgline_paint(text);
  messages.pending = cut(text, kMessageCapacity);
  messages.pending_code = 0;
  messages.keep = false;
  redraw_bits |= kRedrawMessage;
  if (messages.mode == 'O') redraw_bits |= kRedrawMessageO;
}

void msgline_set_pending_code(int32_t code) {
  messages.pending_code = code;
  if (code) redraw_bits |= kRedrawMessage;
}

void disp_flush_message() {
  if (messages.pending_code)
    msgline_set_text(msg_code_text(messages.pending_code));
  else
    msgline_set_text(messages.pending);
  redraw_bits &= ~kRedrawMessage;
  if (!messages.keep) messages.clear_on_next_key = true;
}

void msgline_key_pressed() {
  if (!messages.clear_on_next_key) return;
  messages.clear_on_next_key = false;
  if (messages.keep) return;
  msgline_set_text({});
  messages.pending.clear();
  messages.pending_code = 0;
}

void msgline_set_delay(MsglineDelayFn fn) { delay_fn = fn; }

void msgline_show_key_prefix(std::string_view text) {
  if (text.empty()) {
    if (messages.keep) return;
    redraw_bits &= ~kRedrawMessage;
    msgline_set_text({});
    messages.pending_code = 0;
    messages.pending.clear();
    messages.clear_on_next_key = false;
    return;
  }
  if (messages.key_prefix_delay && delay_fn && delay_fn(messages.key_prefix_delay)) return;
  redraw_bits &= ~kRedrawMessage;
  msgline_show(text);
}

std::string_view msg_code_text(int32_t code) { return msg_text(static_cast<ErrorCode>(code)); }

const char* msg_text_copy(int32_t code) {
  static char copy[256];
  const std::string_view t = msg_code_text(code);
  const size_t n = std::min<size_t>(t.size(), sizeof copy - 1);
  std::memcpy(copy, t.data(), n);
  copy[n] = '\0';
  return copy;
}

// ---------------------------------------------------------------- layout

namespace {
int32_t twips(const StatusMetrics& m, int32_t t) { return t / std::max(1, m.twips_per_pixel); }
constexpr int32_t kCmdLeft = 4;
constexpr int32_t kCmdTwips = 3270;
constexpr int32_t kFieldGapTwips = 45;
constexpr int32_t kCmdGapTwips = 180;
}  // namespace

StatusLayout msgline_status_layout_compute(const StatusMetrics& m, int32_t band_width, bool with_fields) {
  StatusLayout l;
  const int32_t text_h = m.font_height + m.font_height / 7 + 2;
  l.cmd_top = 3;
  l.cmd_height = text_h;
  l.band_height = text_h + 6;
  l.text_top = l.cmd_top + (text_h - m.font_height) / 2;
  // Fields measured from 0, shifted behind the command line at the end.
  l.line_label = 0;
  l.line_value = m.w_line_label;
  l.line_end = l.line_value + m.w_line_value;
  l.col_label = l.line_end + m.w_blank;
  l.col_value = l.col_label + m.w_col_label;
  l.col_end = l.col_value + m.w_col_value;
  l.mode_left = l.col_end + twips(m, kFieldGapTwips);
  l.mode_end = l.mode_left + m.w_mode;
  l.insert_left = l.mode_end + twips(m, kFieldGapTwips);
  l.insert_end = l.insert_left + m.w_insert;
  const int32_t fields = l.insert_end;
  const int32_t gap = twips(m, kCmdGapTwips);
  l.cmd_left = kCmdLeft;
  const int32_t full = kCmdLeft + twips(m, kCmdTwips);
  if (!with_fields) {
    l.cmd_right = band_width - gap;
  } else if (full <= band_width - 3) {
    // Room for the full width: grow until the fields end at the band's end.
    l.cmd_right = std::max(full, band_width - fields - gap);
  } else {
    l.cmd_right = band_width - 3;
  }
  l.cmd_right = std::max(l.cmd_right, l.cmd_left + m.w_w);
  const int32_t shift = l.cmd_right + gap;
  for (int32_t* x : {&l.line_label, &l.line_value, &l.line_end, &l.col_label, &l.col_value, &l.col_end, &l.mode_left,
                     &l.mode_end, &l.insert_left, &l.insert_end})
    *x += shift;
  return l;
}

StatusField msgline_status_hit(const StatusLayout& l, int32_t x) {
  if (x >= l.line_label && x < l.line_end) return StatusField::Line;
  if (x >= l.col_label && x < l.col_end) return StatusField::Column;
  if (x >= l.mode_left && x < l.mode_end) return StatusField::Mode;
  if (x >= l.insert_left && x < l.insert_end) return StatusField::Insert;
  return StatusField::Nothing;
}

const char* status_field_command(StatusField f) {
  switch (f) {
    case StatusField::Line:
      return "gui_goto_line";
    case StatusField::Column:
      return "gui_goto_col";
    case StatusField::Mode:
      return "select_mode";
    case StatusField::Insert:
      return "insert_toggle";
    case StatusField::Nothing:
      break;
  }
  return nullptr;
}

// ---------------------------------------------------------------- status fields

namespace {
void field_updated() {
  XfWindow* w = msgline_status_window();
  if (!w) return;
  if (++fields.updates % 10 == 0) {
    WinInvalidateRect(w, nullptr);
    xfUpdateWindow(w);
    return;
  }
  // The value boxes need a paint. (A one-pixel marker clipped the paint to
  // that pixel, so a shorter value left the end of a longer one behind.)
  const StatusLayout& l = msgline_current_layout();
  const WinRect boxes{l.line_value - 1, 0, l.insert_end + 1, l.band_height};
  WinInvalidateRect(w, &boxes);
}
}  // namespace

StatusFields& status_fields() { return fields; }
void status_set_line(int32_t n) {
  fields.line = n;
  field_updated();
}
void status_set_column(int32_t n) {
  fields.column = n;
  field_updated();
}
void status_set_mode(std::string_view name) {
  fields.mode = cut(name, 20);
  field_updated();
}
void status_set_insert(uint8_t flag) {
  fields.insert = flag ? 1 : 0;
  field_updated();
}
std::string status_line_text(int32_t n) { return n < 0 ? std::string() : std::to_string(n); }
std::string status_column_text(int32_t n) { return n <= 0 ? std::string() : std::to_string(n); }
const char* status_insert_text(uint8_t flag) { return flag ? "Ins" : "Rep"; }
