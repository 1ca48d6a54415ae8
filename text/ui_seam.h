// What the text engine needs of the user interface above it.
//
// The engine reports error codes to the user. That belongs to a layer above
// it (the message line), so the engine declares here what it needs and the
// owner installs its function at start-up (msgline_install_text_hooks).
//
// Every hook is optional. Until one is installed the engine runs headless:
// codes are shown to nobody.
#pragma once

#include <cstdint>

struct TextUiHooks {
  // Reports an error code to the user.
  void (*show_error)(int32_t code);
};
TextUiHooks& text_ui_hooks();

// The calls the engine makes, each falling back to the headless answer.
void ui_show_error(int32_t code);
