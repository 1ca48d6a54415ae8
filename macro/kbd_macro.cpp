// Keyboard macros: recorder operations, playback, the key readers, the
// source recorder and its built-in. Start reading at kbdmac_control.
#include "macro/kbd_macro.h"

#include <cctype>
#include <string>

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/event_port.h"
#include "macro/event_tables.h"
#include "macro/key_dispatch.h"
#include "macro/stack.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/store_edit.h"
#include "text/ui_port.h"

KeyMacroBuffer kbdmac;

namespace {

// The redraw bits a recorded line sets: lines, caret and status fields.
constexpr uint32_t kRecordRedraw = 0xa038;

KeyMacroBlock& blk() { return kbdmac.block; }

bool keys_left() { return blk().play_index < blk().key_count; }

void stop_playback() { blk().playing = 0; }

// The slot named by arg's first character, else the current one; -1 when
// it names neither 0 nor 1.
int32_t slot_of(const LStr* arg) {
  if (arg == nullptr || arg->len < 1) return kbdmac.current_slot;
  const int32_t s = arg->text[0] - '0';
  return s == 0 || s == 1 ? s : -1;
}

void append_key(EventCode event) {
  KeyMacroBlock& b = blk();
  if (b.key_count < kKeyMacroKeys) b.keys[b.key_count++] = static_cast<uint16_t>(event);
}

// A played key becomes the event being dispatched, once, with no arguments.
EventCode take_played(bool advance) {
  const EventCode e = blk().keys[blk().play_index];  // zero-extended
  if (advance) ++blk().play_index;
  key_globals.last_event = e;
  key_globals.key_arg_count = 0;
  key_globals.repeat_count = 1;
  return e;
}

bool skip_mouse_move(EventCode e) { return e == kEvMouseMove && !kbdmac.mouse_move_events; }

void mark_target_redraw() {
  kbdmac.target->redraw = 1;
  redraw_bits |= kRecordRedraw;
}

}  // namespace

void kbdmac_reset() { kbdmac = KeyMacroBuffer{}; }

// ---- key recorder ----------------------------------------------------------------

int32_t kbdmac_control(char letter, const LStr* arg) {
  KeyMacroBlock& b = blk();
  switch (letter) {
    case 'A':
      b.recording = b.playing = 0;
      return 0;
    case 'B': {
      const int32_t slot = slot_of(arg);
      if (slot < 0) return 0;
      b.playing = 0;
      b.recording = 1;
      b.key_count = 0;
      b.command_keys = 0;
      kbdmac.current_slot = slot;
      return 0;
    }
    case 'D':
      b.key_count = b.key_count > b.command_keys ? b.key_count - b.command_keys : 0;
      return 0;
    case 'E':
      b.recording = b.playing = 0;
      kbdmac.slots[kbdmac.current_slot] = b;
      return 0;
    case 'I':
      return b.recording;
    case 'K':
      if (b.recording && arg != nullptr) append_key(keyrec_to_event(arg->view()));
      return 0;
    case 'P': {
      const int32_t slot = slot_of(arg);
      if (slot < 0) return 0;
      b = kbdmac.slots[slot];
      b.play_index = 0;
      b.recording = 0;
      b.playing = 1;
      return 0;
    }
    case 'R':
      return b.playing;
    case 'r':
      return b.playing && keys_left() ? 1 : 0;
    default:
      return 0;
  }
}

void kbdmac_add_key(EventCode event) {
  if (!blk().recording || blk().key_count >= kKeyMacroKeys) return;
  append_key(event);
  blk().command_keys = 1;
}

bool kbdmac_play_next() {
  if (!blk().playing || !evt_focus_on_editor()) return false;
  if (ui_break_pressed()) {
    ui_clear_break();
    stop_playback();
    vm_raise_error(ERR_BREAK_KEY);
    return false;
  }
  if (!keys_left()) {
    stop_playback();
    return false;
  }
  take_played(true);
  return true;
}

// ---- key readers -----------------------------------------------------------------

EventCode kbdmac_next_key() {
  if (blk().playing && keys_left()) return take_played(true);
  const EventCode e = evt_get();
  if (e == 0) return 0;
  key_globals.last_event = e;  // as the window system's read leaves it
  if (blk().recording && blk().key_count < kKeyMacroKeys) {
    append_key(e);
    ++blk().command_keys;
  }
  return e;
}

EventCode kbdmac_first_key() {
  blk().command_keys = 0;
  return kbdmac_next_key();
}

EventCode kbdmac_peek_key() {
  if (blk().playing && keys_left() && evt_focus_on_editor()) return take_played(false);
  return evt_test();
}

EventCode kbdmac_read_event(int32_t mode) {
  for (;;) {
    EventCode e;
    if (mode == 0)
      e = kbdmac_first_key();
    else if (mode & 2)
      e = evt_get();
    else if (mode & 8)
      e = kbdmac_next_key();
    else
      e = evt_get_wait();
    if (!skip_mouse_move(e)) return e;
  }
}

EventCode kbdmac_read_key(bool direct) {
  for (;;) {
    const bool played = !direct && blk().playing && keys_left() && evt_focus_on_editor();
    const EventCode e = direct ? evt_test() : kbdmac_peek_key();
    if (!skip_mouse_move(e)) return e;
    if (!played) return 0;  // a pending mouse move counts as nothing pending
    ++blk().play_index;     // a peek does not take the key: step over it here
  }
}

// ---- source recorder -------------------------------------------------------------

bool kbdmac_is_recording() { return kbdmac.target != nullptr; }

bool kbdmac_is_target_buffer(const BufferRec* buffer) { return buffer != nullptr && buffer == kbdmac.target; }

void kbdmac_set_target(BufferRec* buffer) {
  // While it receives the recording, the buffer is not closed under it
  // (kbdmac_is_target_buffer, text/kbdmac_port.h).
  kbdmac.target = buffer;
}

int32_t kbdmac_r_flag() { return kbdmac.r_flag; }
void kbdmac_clear_r_flag() { kbdmac.r_flag = 0; }

void kbdmac_record_line(std::string_view line) {
  BufferRec* t = kbdmac.target;
  if (t == nullptr) return;
  line_flush_if(t);
  PosRecord at{};
  if (pos_last_line(&at, t) != 0) return;
  line_insert_text(line.data(), static_cast<int32_t>(line.size()), &at, t);
  mark_target_redraw();
}

void kbdmac_record_char(uint8_t ch) {
  BufferRec* t = kbdmac.target;
  if (t == nullptr) return;
  line_flush_if(t);
  PosRecord at{};
  LStrLine last;
  if (pos_last_line(&at, t) != 0 || line_get_text(last, &at, t) < 0) return;
  const std::string_view v = last.view();
  if (v.starts_with("keyin") && v.ends_with('\'') && v.size() < static_cast<size_t>(kKeyinLineLimit) && ch != '\'') {
    std::string joined(v.substr(0, v.size() - 1));
    joined += static_cast<char>(ch);
    joined += '\'';
    line_replace_text(joined.data(), static_cast<int32_t>(joined.size()), &at, t);
  } else {
    const std::string line = ch == '\'' ? std::string("keyin \"'\"") : "keyin '" + std::string(1, char(ch)) + "'";
    line_insert_text(line.data(), static_cast<int32_t>(line.size()), &at, t);
  }
  mark_target_redraw();
}

// ---- built-in ----------------------------------------------------------------------

// Ext 127: option [, value]. "K" and a letter drive the key recorder; the
// letters B E M R S the source recorder and the record flags.
void bi_macro_record() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  const std::string_view opt = n >= 1 ? bi_arg(n, 0) : std::string_view();
  if (opt.size() >= 2 && (opt[0] == 'K' || opt[0] == 'k')) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(opt[1])));
    if (std::string_view("ABDEIKPR").find(letter) == std::string_view::npos)
      return bi_fail(n, ERR_INVALID_ARGUMENT, true);
    LStrLine value;
    if (n == 2) value.assign(bi_arg(n, 1));
    core_drop(n);
    vm_set_rc(kbdmac_control(letter, n == 2 ? static_cast<const LStr*>(value) : nullptr));
    return;
  }
  char letter = 'M';
  if (val_option_letter(&letter, "BEMRS", opt) != ERR_OK) return bi_fail(n);
  int32_t value = 0;
  const bool has_value = n == 2;
  if (has_value && (letter == 'M' || letter == 'R') && !bi_arg_to_int(n, 1, &value))
    return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(n);
  KeyDispatchState& cur = key_tables.current;
  switch (letter) {
    case 'B': {
      BufferRec* b = buf_current();
      if (b == nullptr) {
        vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
        return;
      }
      kbdmac_set_target(b);
      vm_set_rc(0);
      return;
    }
    case 'E':
      kbdmac_set_target(nullptr);
      vm_set_rc(0);
      return;
    case 'M':
      if (has_value) cur.record = cur.prev_record = value;
      vm_set_rc(cur.prev_record);
      return;
    case 'R':
      if (has_value) {
        if (view_current() != nullptr && kbdmac.r_flag == 0) key_prepare_command();
        kbdmac.r_flag = value;
      }
      vm_set_rc(kbdmac.r_flag);
      return;
    default:  // 'S'
      vm_set_rc(kbdmac_is_recording() ? 1 : 0);
      return;
  }
}
