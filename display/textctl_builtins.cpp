// Text-control built-ins, the command-line focus and insert mode.
#include <algorithm>
#include <string>

#include "base/messages.h"
#include "display/textctl.h"
#include "display/textctl_port.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "text/buffer_rec.h"
#include "text/curline.h"

uint8_t startup_insert_mode = 1;

namespace {

constexpr int32_t kFrameHandle = 2;
constexpr int32_t kCommandLineHandle = 3;
constexpr int32_t kTypeForm = 2, kTypeText = 3, kTypeList = 9, kTypeCombo = 12;
constexpr size_t kPromptCap = 80;

std::string prompt;
std::string prompt_command;

bool is_frame_child(const WindowObject* w) { return w && w->parent && w->parent->handle == kFrameHandle; }

// The text control of the current object (a combo box gives its edit part);
// null after raising the fatal -2073.
WindowObject* current_text_control() {
  WindowObject* w = window_current();
  if (w && w->type == kTypeCombo) w = window_record(w->edit_part);
  if (!w || w->type != kTypeText) {
    vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    return nullptr;
  }
  return w;
}

bool is_command_line(const WindowObject* c) { return c && c->handle == kCommandLineHandle; }
// What a prompt hides comes first in the command line's text.
size_t hidden_of(const WindowObject* c) { return is_command_line(c) ? prompt_command.size() : 0; }

std::string text_of(WindowObject* c) {
  std::string t = textctl_get_text(c);
  if (hidden_of(c)) t.insert(0, prompt_command);
  return t;
}
void sel_of(WindowObject* c, int32_t* anchor, int32_t* caret) {
  *anchor = *caret = 0;
  textctl_get_sel(c, anchor, caret);
  const auto h = static_cast<int32_t>(hidden_of(c));
  *anchor += h, *caret += h;
}

WindowObject* active_editor() { return textctl_active_editor(); }

void mark_editor_redraw(WindowObject* e) {
  if (e && e->view && e->view->buffer) e->view->buffer->redraw = 1;
}

// The focus built-ins' check: editor windows and the command line pass; a
// form outside the frame or another text box stops the macro.
bool focus_allowed() {
  const WindowObject* w = window_current();
  if (w &&
      ((w->type == kTypeForm && !is_frame_child(w)) || (w->type == kTypeText && w->handle != kCommandLineHandle))) {
    vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    return false;
  }
  return true;
}

void focus_cmdline() {
  WindowObject* c = window_record(kCommandLineHandle);
  if (c && window_current() != c) window_set_current(c, 0);
  mark_editor_redraw(active_editor());
  redraw_bits |= 0x2014;
  textctl_focus_current();
}

void focus_edit_window() {
  WindowObject* e = active_editor();
  if (!e) return;
  if (window_current() != e) window_set_current(e, 0);
  mark_editor_redraw(e);
  redraw_bits |= 0x2004;
  if (!(e->flags & kWinHidden)) textctl_focus_current();
}

// The insert built-ins' object: forms with a buffer, text boxes, lists and
// combo boxes (the edit part); null after raising the fatal -2073.
WindowObject* insert_target() {
  WindowObject* w = window_current();
  if (w && w->type == kTypeCombo) w = window_record(w->edit_part);
  const bool ok = w && ((w->type == kTypeForm && w->view) || w->type == kTypeText || w->type == kTypeList);
  if (!ok) {
    vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    return nullptr;
  }
  return w;
}

}  // namespace

void textctl_reset() {
  cmdline_prompt_end();
  startup_insert_mode = 1;
}
std::string& cmdline_prompt() { return prompt; }
std::string& cmdline_prompt_command() { return prompt_command; }
void cmdline_prompt_end() {
  prompt.clear();
  prompt_command.clear();
}

// Main 142: a group of 1-4 variables: text [, selection end] or text, start,
// end [, prompt].
void bi_get_ctl_text() {
  uint32_t vars[4] = {};
  int32_t nv = 0;
  if (!bi_var_group(1, 4, vars, &nv)) return;
  WindowObject* c = current_text_control();
  if (!c) return;
  const std::string t = text_of(c);
  int32_t anchor = 0, caret = 0;
  sel_of(c, &anchor, &caret);
  var_store_bytes(vars[0], t.data(), static_cast<int32_t>(std::min<size_t>(t.size(), 1024)));
  if (nv == 2) var_store_int(vars[1], caret + 1);
  if (nv >= 3) {
    var_store_int(vars[1], anchor + 1);
    var_store_int(vars[2], caret + 1);
  }
  if (nv == 4) var_store_bytes(vars[3], prompt.data(), static_cast<int32_t>(prompt.size()));
}

// Main 143: text [, start [, end [, prompt]]].
void bi_set_ctl_text() {
  int32_t n = 0;
  if (!bi_count(1, 4, &n)) return;
  int32_t start = -1, end = -1;
  if (n >= 2 && !bi_arg_int(n, 1, &start)) return;
  end = start;
  if (n >= 3 && !bi_arg_int(n, 2, &end)) return;
  const std::string t(bi_arg(n, 0).substr(0, 1024));
  const std::string p = n == 4 ? std::string(bi_arg(n, 3).substr(0, kPromptCap)) : std::string();
  core_drop(n);
  WindowObject* c = current_text_control();
  if (!c) return;
  size_t hide = 0;
  if (n == 4) {
    prompt = p;
    // The command line asks: the text before the selection is the command
    // the answer completes, kept out of sight.
    if (is_command_line(c)) {
      prompt_command.clear();
      if (!p.empty() && start > 1) hide = std::min(t.size(), static_cast<size_t>(start - 1));
      prompt_command = t.substr(0, hide);
    }
  } else if (is_command_line(c)) {
    prompt_command.clear();  // a new text ends what a prompt hid
  }
  textctl_set_text(c, std::string_view(t).substr(hide));
  const auto h = static_cast<int32_t>(hide);
  if (n >= 2) textctl_set_sel(c, start - 1 - h, end - 1 - h);
}

// Main 244: a group of 1-2 variables: start [, end]; rc = end.
void bi_get_ctl_sel() {
  uint32_t vars[2] = {};
  int32_t nv = 0;
  if (!bi_var_group(1, 2, vars, &nv)) return;
  WindowObject* c = current_text_control();
  if (!c) return;
  int32_t anchor = 0, caret = 0;
  sel_of(c, &anchor, &caret);
  var_store_int(vars[0], anchor + 1);
  if (nv == 2) var_store_int(vars[1], caret + 1);
  vm_set_rc(caret + 1);
}

// Ext 100: position, or start end.
void bi_set_ctl_sel() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t start = 0, end = 0;
  if (!bi_arg_int(n, 0, &start)) return;
  end = start;
  if (n == 2 && !bi_arg_int(n, 1, &end)) return;
  core_drop(n);
  WindowObject* c = current_text_control();
  const auto h = static_cast<int32_t>(hidden_of(c));
  if (c) textctl_set_sel(c, start - 1 - h, end - 1 - h);
}

// Main 131: -> 1 for a text or combo box.
void bi_is_text_control() {
  const WindowObject* w = window_current();
  vm_push_int(w && (w->type == kTypeText || w->type == kTypeCombo) ? 1 : 0);
}

// Main 252 shares slot 131's handler in the numbering but never answers.
void bi_is_text_control2() { vm_raise_fatal(ERR_ILLEGAL_OPCODE); }
void bi_reserved_195() { vm_raise_fatal(ERR_ILLEGAL_OPCODE); }
void bi_reserved_196() { vm_raise_fatal(ERR_ILLEGAL_OPCODE); }

// Main 132, 133, 134.
void bi_toggle_cmdline_focus() {
  if (!focus_allowed()) return;
  const WindowObject* w = window_current();
  if (w && w->handle == kCommandLineHandle)
    focus_edit_window();
  else
    focus_cmdline();
}
void bi_focus_cmdline() {
  if (focus_allowed()) focus_cmdline();
}
void bi_focus_edit_window() {
  if (focus_allowed()) focus_edit_window();
}

// Main 150: [mode [any]] -> the insert mode.
void bi_insert_state() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  const bool startup = n == 2;
  const bool have = n >= 1 && !bi_strip_blanks(bi_arg(n, 0)).empty();
  int32_t mode = 0;
  if (have && !bi_arg_int(n, 0, &mode)) return;
  core_drop(n);
  WindowObject* w = insert_target();
  if (!w) return;
  if (have) {
    const uint8_t m = mode ? 1 : 0;
    if (startup) {
      startup_insert_mode = m;
    } else if (is_frame_child(w)) {
      edit_settings.insert_mode = m;
      mark_editor_redraw(w);
      redraw_bits |= 0x2080;
    } else if (w->type == kTypeText) {
      textctl_set_insert(w, m);
    }
  }
  vm_push_int(startup ? startup_insert_mode : edit_settings.insert_mode);
}

// Main 151.
void bi_insert_toggle() {
  WindowObject* w = insert_target();
  if (!w) return;
  if (!w->view) {
    textctl_set_insert(w, textctl_get_insert(w) ? 0 : 1);
    return;
  }
  edit_settings.insert_mode = edit_settings.insert_mode ? 0 : 1;
  mark_editor_redraw(w);
  redraw_bits |= 0x2080;
}
