// What the text engine needs of the user interface above it.
//
// The engine reports error codes to the user and asks whether to retry when
// the spill file fails. Those belong to layers above it (the message line, a
// message box), so the engine declares here what it needs and the owners
// install their functions at start-up (msgline_install_text_hooks,
// msgbox_install_text_hooks).
//
// Every hook is optional. Until one is installed the engine runs headless:
// codes are shown to nobody, and the spill question is answered "cancel" (a
// retry with nobody to ask could loop).
#pragma once

#include <cstdint>

struct TextUiHooks {
  // Reports an error code to the user.
  void (*show_error)(int32_t code);
  // "Spill file I/O error", retry or cancel: true to retry.
  bool (*ask_spill_retry)();
};
TextUiHooks& text_ui_hooks();

// The calls the engine makes, each falling back to the headless answer.
void ui_show_error(int32_t code);
bool ui_ask_spill_retry();
