// Key dispatch: the dispatcher, preparing commands, typing, recording
// commands as source, selection bindings, views on the top-of-file line,
// the editor window's key path, and the call-key, call-event and keyin
// built-ins. Start reading at dispatch.
#include "macro/key_dispatch.h"

#include <algorithm>
#include <string>

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/command_port.h"
#include "macro/core_ops.h"
#include "macro/event_port.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/selection.h"
#include "text/store_edit.h"
#include "text/undo.h"

KeyDispatchGlobals key_globals;

namespace {

// Command attribute flags read here.
constexpr int32_t kCmdRunsInCommandLine = 0x4 | 0x800;
constexpr int32_t kCmdRecordQuoted = 0x40;     // recorded as 'name'
constexpr int32_t kCmdRecordLastEvent = 0x80;  // recorded after last_event(name2event(...))
constexpr int32_t kCmdKeepScrollPoint = 0x1000;
// Window kind (property 19) of a full editor window.
constexpr int32_t kFullEditorWindow = 3;
// Window-option bits.
constexpr int32_t kOptViewsOnTopLine = 1;
constexpr int32_t kOptResetPointer = 8;
// Redraw bits set when a view leaves the top-of-file line.
constexpr uint32_t kTopLineRedraw = 0x200b;

// The decimal number in the second ','-separated field of the info string.
int32_t flags_from_info(int32_t index) {
  if (index <= 0) return 0;
  std::string_view info = name_info(static_cast<uint32_t>(index));
  const size_t comma = info.find(',');
  if (comma == std::string_view::npos) return 0;
  info.remove_prefix(comma + 1);
  info = info.substr(0, info.find(','));
  while (!info.empty() && info.front() == ' ') info.remove_prefix(1);
  int32_t v = 0;
  for (char c : info) {
    if (c < '0' || c > '9' || v > 100000000) break;
    v = v * 10 + (c - '0');
  }
  return v;
}
int32_t allow_all(int32_t) { return 0; }

KeyCommandHooks cmd_hooks = {flags_from_info, allow_all};

// The names index a binding runs, 0 for one addressed into a module.
int32_t command_of(uint32_t binding) { return (binding >> 16) == 0 ? static_cast<int32_t>(binding) : 0; }

// Letters and digits (Latin-1 letters included) form one class.
bool word_char(uint8_t c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

// Events that type their character when nothing is bound to them.
bool char_event(EventCode event) {
  const int32_t k = event_to_key_index(event);
  return (k >= 27 && k <= 128) || (k > 128 && event_to_char(event) != 0);
}

void set_rc_empty() {
  var_assign_bytes(1, "", 0);
  vm_rc_mirror = 0;
}

bool iconized(WindowObject* w) { return w != nullptr && evt_iconized(w); }

// Runs one command for the dispatcher inside its own catch context; false
// when the call could not start (the repetition ends then).
bool run_command(uint32_t binding, bool editor, int32_t flags) {
  if (vm_push_catch() != ERR_OK) return true;  // no context: skip the call
  vm_set_catch_status(kCatchKeyCommand);
  const int32_t own = vm_catch.depth;
  for (int32_t i = 0; i < key_globals.key_arg_count && i < 4; ++i) vm_push_int(key_globals.key_args[i]);
  // A command typed in the command line runs in the active editor window
  // unless it works on the command line itself.
  WindowObject* active = evt_active_editor();
  WindowSave save{};
  const bool switched = editor && window_current() != nullptr && window_current() == cmd_command_line() &&
                        active != nullptr && !iconized(active) && (flags & kCmdRunsInCommandLine) == 0;
  if (switched) window_push_current(active, save);
  const int32_t depth = vm.frame_depth;
  const ErrorCode rc = vm_start_call(binding, key_globals.key_arg_count, true);
  if (rc == ERR_OK && vm.frame_depth > depth) vm_run();
  if (switched) window_pop_current(save);
  while (vm_catch.depth > own) vm_pop_catch();  // contexts the command left open
  if (vm_catch.depth == own) vm_pop_catch();
  return rc == ERR_OK;
}

// The dispatcher; `editor` selects the editor-window dispatch (command
// recording, the iconized check, the command-line switch, pending keys).
void dispatch(WindowObject* window, uint32_t binding, bool refresh, bool editor) {
  const bool sel = key_globals.selection_binding;
  WindowObject* cmdline = cmd_command_line();
  if (editor) {
    WindowObject* cur = window_current();
    if (cur == nullptr || (cur != cmdline && cur != evt_active_editor())) return;
  }
  if (key_globals.clear_message_on_key && key_globals.last_event != kEvMouseMove) {
    evt_clear_message();
    key_globals.clear_message_on_key = false;
  }
  const int32_t cmd = command_of(binding);
  const int32_t flags = cmd_hooks.command_flags(cmd);
  int32_t& last_class = key_globals.char_class[editor ? 0 : 1];
  KeyDispatchState& cur = key_tables.current;
  key_globals.dispatch_event = key_globals.last_event;
  for (key_globals.repeat_left = key_globals.repeat_count; key_globals.repeat_left >= 1; --key_globals.repeat_left) {
    if (window_current() != window) break;
    const EventCode ev = key_globals.last_event = key_globals.dispatch_event;
    const bool recording = kbdmac_is_recording();
    cur.record = editor && sel && recording ? 1 : 0;
    cur.prev_record = recording ? 1 : 0;
    WindowObject* obj = window_current();
    const bool view = obj->view != nullptr;
    if (view && ev < kEvObject && obj->prop19 == kFullEditorWindow && (flags & kCmdKeepScrollPoint) == 0)
      evt_restore_scroll_point(obj);
    if (editor && (iconized(obj) || (obj == cmdline && iconized(evt_active_editor())))) {
      const int32_t who = binding == 0 && obj != cmdline ? 0 : cmd;
      if (cmd_hooks.check_allowed(who) != 0) break;  // refused: its message was raised
    }
    const uint8_t ch = event_to_char(ev);
    if (!editor || kbdmac_control('r', nullptr) == 0) {
      int32_t cls = 2;
      if (ch < 32 || ch == 127) {
        if (view) key_prepare_command();
      } else {
        cls = word_char(ch) ? 0 : 1;
        if (cls != last_class && view) key_prepare_command();  // typing changed class
      }
      last_class = cls;
    }
    if (binding == 0) {
      cur.key_table = vm_default_keys_index;
      if (ch != 0) {
        if (view && (evt_window_options() & kOptResetPointer)) evt_reset_pointer(obj);
        key_type_char(ch, cur.prev_record != 0);
      }
    } else {
      if (editor) key_record_command(cur.prev_record != 0 && !sel, ev);
      if (!run_command(binding, editor, flags)) break;
    }
    kbdmac_clear_r_flag();
  }
  key_globals.repeat_left = 0;
  key_globals.keys_pending = kbdmac_control('r', nullptr) != 0;
  key_globals.selection_binding = false;
  const bool macro_running = vm.target_depth < vm.frame_depth;
  if (!macro_running && refresh && !(editor && key_globals.keys_pending)) evt_refresh();
}

void make_current(WindowObject* window) {
  if (window != nullptr && window_current() != window) window_set_current(window, 0);
}

}  // namespace

int32_t key_command_flags(int32_t index) { return cmd_hooks.command_flags(index); }

void key_set_command_hooks(const KeyCommandHooks& h) {
  cmd_hooks.command_flags = h.command_flags ? h.command_flags : flags_from_info;
  cmd_hooks.check_allowed = h.check_allowed ? h.check_allowed : allow_all;
}

void key_dispatch_reset() { key_globals = KeyDispatchGlobals{}; }

void key_dispatch(WindowObject* window, uint32_t binding, bool refresh) {
  make_current(window);
  key_dispatch_in_window(window, binding, refresh);
}

void key_run_binding(WindowObject* window, uint32_t binding, bool refresh) {
  make_current(window);
  key_run_binding_in_window(window, binding, refresh);
}

void key_dispatch_in_window(WindowObject* window, uint32_t binding, bool refresh) {
  dispatch(window, binding, refresh, true);
}

void key_run_binding_in_window(WindowObject* window, uint32_t binding, bool refresh) {
  dispatch(window, binding, refresh, false);
}

void key_prepare_command() {
  PosRecord* view = view_current();
  BufferRec* buf = buf_current();
  if (view == nullptr || buf == nullptr) return;
  if (buf->undo_limit != 0) line_flush_current();
  evt_scroll_to_cursor();
  if (key_globals.views_need_fixing) views_leave_top_of_file();
  undo_checkpoint(view, buf);
}

int32_t key_type_char(uint8_t ch, bool record) {
  WindowObject* obj = window_current();
  if (obj == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (obj->view != nullptr) {
    if (record) kbdmac_record_char(ch);
    return line_type_char(ch);
  }
  LStrBuf<1> one;
  one.text[0] = static_cast<char>(ch);
  one.len = 1;
  return evt_text_insert(obj, one);
}

int32_t key_type_text(std::string_view text, bool record) {
  WindowObject* obj = window_current();
  if (obj == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (obj->type == kObjTypeTextBox || obj->type == kObjTypeCombo) {
    LStrLine t(text);
    return evt_text_insert(obj, t);
  }
  if (obj->view == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
  for (char c : text) key_type_char(static_cast<uint8_t>(c), record);
  return ERR_OK;
}

void key_record_command(bool record, EventCode event) {
  if (!record || !kbdmac_is_recording() || event >= kEvMouse) return;
  const int32_t cmd = key_tables.current.command;
  if (cmd <= 0 || !(name_is_valid(static_cast<uint32_t>(cmd)) & NF_CALLABLE)) return;
  const int32_t flags = cmd_hooks.command_flags(cmd);
  WindowObject* cur = window_current();
  if (cur != nullptr && cur == cmd_command_line() && (flags & kCmdRunsInCommandLine) != 0) return;
  std::string line;
  if (flags & kCmdRecordLastEvent) {
    // A name holding a single quote goes between double quotes, so the
    // recorded line still reads back.
    const std::string_view key = event_name(event, kStyleSource);
    const char q = key.find('\'') == std::string_view::npos ? '\'' : '"';
    line = "last_event(name2event(" + std::string(1, q) + std::string(key) + q + "));";
  }
  std::string name(name_text(static_cast<uint32_t>(cmd)));
  if (flags & kCmdRecordQuoted) {
    line += "'" + name + "'";
  } else {
    name_to_underscore_form(name);
    line += name + "()";
  }
  kbdmac_record_line(line);
}

bool key_selection_binding(WindowObject* obj, EventCode event, int32_t stage, uint32_t* out) {
  *out = 0;
  if (obj == nullptr || obj->view == nullptr || iconized(obj) || obj->prop19 != kFullEditorWindow || event >= kEvObject)
    return false;
  // Stages below 2 would first ask the buffer's own key handler; buffer
  // records keep none yet.
  if (!key_tables.last_found && !char_event(event)) return false;
  if (stage > 2) return false;
  BufferRec* buf = obj->view->buffer;
  SelectionMarks* sel = sel_active_peek();
  if (buf == nullptr || sel == nullptr || sel_kind(sel) == kSelNone || sel_buffer(sel) != buf) return false;
  evtab_find_binding(kEvOnSelect, out, buf->locals.event_table ? buf->locals.event_table : vm_default_keys_index);
  if (*out == 0) return false;
  key_globals.selection_binding = true;
  return true;
}

void views_leave_top_of_file() {
  if (!key_globals.views_need_fixing) return;
  const bool may_rest = (evt_window_options() & kOptViewsOnTopLine) != 0;
  WindowObject* head = window_edit_list_head();
  for (WindowObject* w = head; w != nullptr && !may_rest; w = w->edit_next == head ? nullptr : w->edit_next) {
    PosRecord* v = w->view;
    if (v == nullptr || v->buffer == nullptr || iconized(w) || w->prop19 != kFullEditorWindow) continue;
    BufferRec* b = v->buffer;
    if (v->block != b->first_block || v->index != 0) continue;  // not on the top-of-file line
    line_flush_if(b);
    b->redraw = 1;
    redraw_bits |= kTopLineRedraw;
    int32_t failed = 0;
    if (pos_next_line(v, b) != 0) {  // no line below: make one, the buffer stays unmodified
      const uint8_t modified = b->modified;
      failed = line_insert_text("", 0, v, b);
      b->modified = modified;
    }
    v->row = failed != 0 ? -1 : 0;
  }
  key_globals.views_need_fixing = false;
}

// ---- the editor window's key path ---------------------------------------------------

int32_t key_feed_event(WindowObject* window, EventCode event, int32_t repeat, std::span<const int32_t> args) {
  key_globals.last_event = event;
  key_globals.repeat_count = repeat;
  key_globals.key_arg_count = static_cast<int32_t>(std::min<size_t>(args.size(), 4));
  for (int32_t i = 0; i < key_globals.key_arg_count; ++i) key_globals.key_args[i] = args[i];
  kbdmac_add_key(event);
  uint32_t binding = 0;
  const int32_t r = evt_find_binding(window, event, 1, false, &binding);
  if (r < 0) return r;
  if (binding == 0xFFFFFFFFu) return 0;  // a prefix key while prefixes may not wait
  if (r != 0) {
    if (event == kEvMouseMove) return 0;  // an unbound mouse move is dropped
    binding = static_cast<uint32_t>(vm_key_not_defined_index);
    evtab_set_pending_command(binding, 0);
  } else if (binding == 0 || (binding >> 16) != 0) {
    // Typed, or code addressed in a module: no names-index command runs, so
    // none of an earlier lookup may be taken for it.
    evtab_set_pending_command(binding, 0);
  }
  evtab_commit_pending();
  key_dispatch(window, binding, true);
  return 0;
}

bool key_feed_next(WindowObject* window) {
  if (kbdmac_play_next()) {
    key_feed_event(window, key_globals.last_event, 1);
    return true;
  }
  const EventCode e = evt_get();
  if (e == 0) return false;
  key_feed_event(window, e, 1);
  return true;
}

int32_t key_find_binding_default(WindowObject* obj, EventCode event, int32_t level, bool second_events,
                                 uint32_t* binding) {
  (void)level, (void)second_events;  // levels and object events belong to window objects
  *binding = 0;
  const int32_t base = vm_default_keys_index;
  int32_t mode = base;
  if (obj != nullptr && obj->view != nullptr && obj->view->buffer != nullptr &&
      evtab_is_table(obj->view->buffer->locals.event_table))
    mode = obj->view->buffer->locals.event_table;
  // The first table of the mode table's inheritance that binds the key.
  int32_t first = mode;
  const int32_t k = event_to_key_index(event);
  for (int32_t t = mode, i = 0; i < kMaxInheritance && evtab_is_table(t); ++i, t = evtab_parent(t, 0, false)) {
    if (evtab_word(t, k) != 0) {
      first = t;
      break;
    }
  }
  const int32_t r = evtab_lookup2(event, binding, base, first);
  if (r != 0) return r;
  if (*binding != 0) return 0;
  return char_event(event) ? 0 : 1;
}

// ---- built-ins ------------------------------------------------------------------------

// Main 80: key [, prefix text [, option "E" or "S"]]: runs the key's binding
// for the current object as if it had been typed.
void bi_call_key() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  if (vm_check_break() != ERR_OK) return;  // raised: the stack was unwound
  WindowObject* cur_obj = window_current();
  const bool editor = cur_obj != nullptr && (cur_obj == cmd_command_line() || cur_obj == evt_active_editor());
  int32_t level = 1;
  if (n == 3) {
    char o = 'E';
    if (val_option_letter(&o, "ES", bi_arg(n, 2)) != ERR_OK) return bi_fail(n);
    level = o == 'E' ? 2 : 3;
  }
  if (n >= 2) {
    key_tables.prefix.assign(bi_arg(n, 1));  // cut at 30
    key_tables.prefix_mode = true;
  }
  const EventCode event = keyrec_to_event(bi_arg(n, 0));
  if (n >= 2) key_globals.last_event = event;
  key_globals.key_arg_count = 0;
  core_drop(n);
  KeyDispatchState& c = key_tables.current;
  if (level > 1) {  // back to the bookkeeping before the last lookup
    c.wflags = c.prev_wflags;
    c.binding = key_tables.pending.prev_binding;
    c.command = key_tables.pending.prev_command;
  }
  uint32_t binding = 0;
  const int32_t r = evt_find_binding(cur_obj, event, level, false, &binding);
  key_tables.prefix_mode = false;
  if (r != 0) {
    if (!editor || r < 0 || event == kEvMouseMove) return;
    binding = static_cast<uint32_t>(vm_key_not_defined_index);
    evtab_set_pending_command(binding, 0);
  }
  if (key_globals.selection_binding) {
    c.record = c.prev_record = kbdmac_is_recording() ? 1 : 0;
  } else {
    c.prev_record = c.record;
    c.record = 0;
  }
  const char ch = static_cast<char>(event_to_char(event));
  if (binding == 0 && ch != 0) {
    const int32_t e = key_type_text(std::string_view(&ch, 1), c.prev_record != 0 && editor);
    if (e != ERR_OK) vm_raise_fatal(e);
    return;
  }
  if (editor) key_record_command(c.prev_record != 0 && !key_globals.selection_binding, event);
  vm_start_call(binding, key_globals.key_arg_count, true);  // runs on in this interpreter
}

// Ext 35: [leading arguments …,] table or object, key [, option "W", "E"
// or "2"]: runs the binding of the key with the leading arguments. With
// three or more arguments the last is the option.
void bi_call_event() {
  int32_t n = 0;
  if (!bi_count(2, 255, &n)) return;
  char opt = 'W';
  if (n >= 3 && val_option_letter(&opt, "WE2", bi_arg(n, n - 1)) != ERR_OK) return bi_fail(n);
  const int32_t lead = n >= 3 ? n - 3 : 0;
  int32_t id = 0;
  if (!bi_arg_to_int(n, lead, &id)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  WindowObject* obj = id > 0 ? window_record(id) : nullptr;
  if (opt == 'E' ? !evtab_is_table(id) : obj == nullptr) return bi_fail(n);
  const EventCode event = keyrec_to_event(bi_arg(n, lead + 1));
  key_globals.last_event = event;
  core_drop(n - lead);  // the leading arguments stay for the call
  uint32_t binding = 0;
  if (opt == 'E') {
    if (evtab_lookup_inherited(event, &binding, id) < 0) {
      core_drop(lead);
      set_rc_empty();
      return;
    }
    evtab_commit_pending();
  } else if (evt_find_binding(obj, event, 1, opt == '2', &binding) != 0) {
    core_drop(lead);
    set_rc_empty();
    return;
  }
  const char ch = static_cast<char>(event_to_char(event));
  if (binding != 0 || ch == 0) {
    const int32_t top = vm_stack.top;
    const int32_t depth = vm.frame_depth;
    if (binding == 0 || vm_start_call(binding, lead, false) != ERR_OK || vm.frame_depth == depth) {
      // Nothing was entered: the leading arguments are not the callee's.
      if (vm_stack.top == top) core_drop(lead);
    }
    return;
  }
  core_drop(lead);
  const int32_t e = key_type_text(std::string_view(&ch, 1), false);
  if (e != ERR_OK) {
    vm_raise_fatal(e);
    return;
  }
  set_rc_empty();
}

// Main 79: text: types the text into the current object.
void bi_keyin() {
  if (!core_have(1)) return;
  const LStrLine text(core_view(0));
  core_drop(1);
  const int32_t e = key_type_text(text.view(), false);
  if (e != ERR_OK) vm_raise_fatal(e);
}
