// What the text-control built-ins need of the forms: the text, selection and
// insert mode of a text control's input field, and giving an object the
// focus with its focus events. The forms install it; the default has no
// text controls (empty text, nothing moves).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/buffer.h"

struct TextCtlSeam {
  // The control's text (at most 1024 bytes).
  std::string (*get_text)(WindowObject* ctl) = nullptr;
  // Selection ends, 0-based: the anchor and the caret.
  void (*get_sel)(WindowObject* ctl, int32_t* anchor, int32_t* caret) = nullptr;
  void (*set_text)(WindowObject* ctl, std::string_view text) = nullptr;
  void (*set_sel)(WindowObject* ctl, int32_t anchor, int32_t caret) = nullptr;
  uint8_t (*get_insert)(WindowObject* ctl) = nullptr;
  void (*set_insert)(WindowObject* ctl, uint8_t mode) = nullptr;
  // Gives the current object the focus with its focus events.
  void (*focus_current)() = nullptr;
  // The frame's active editor window; null when none.
  WindowObject* (*active_editor)() = nullptr;
};
TextCtlSeam& textctl_seam();
void textctl_seam_reset();

// The command-line prompt (at most 80 characters).
std::string& cmdline_prompt();
// While a prompt is shown, the command its answer completes: the text that
// stood before the selection the prompt was given with (set_ctl_text with
// a prompt). The command line shows only the question and the answer; the
// command line's text, as the built-ins and Enter see it, is this command
// followed by the answer.
std::string& cmdline_prompt_command();
// Ends a prompt: no question, no hidden command.
void cmdline_prompt_end();
// The start-up insert mode, copied into the editor's at start-up.
extern uint8_t startup_insert_mode;
