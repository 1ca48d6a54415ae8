// What the text engine needs of the user interface above it.
//
// The engine reports error codes to the user, lets the user stop a long walk
// with the break key, and asks whether to retry when the spill file fails.
// Those belong to layers above it (the message line, the window system's
// keyboard, a message box), so the engine declares here what it needs and
// the owners install their functions at start-up (msgline_install_text_hooks,
// msgbox_install_text_hooks, and the application for the break key). The
// macro runtime polls and clears the break key through the same hooks.
//
// Every hook is optional. Until one is installed the engine runs headless:
// codes are shown to nobody, the break key is never down, and every question
// is answered "cancel" (a retry with nobody to ask could loop; a changed file
// is never replaced unasked).
#pragma once

#include <cstdint>

struct TextUiHooks {
  // Reports an error code to the user.
  void (*show_error)(int32_t code);
  // True when the user asked to stop. Cheap: it may look at the keyboard
  // only now and then, so it is polled often.
  bool (*break_pressed)();
  // The next break_pressed looks at the keyboard at once.
  void (*poll_break_soon)();
  // Forgets a break that has been handled.
  void (*clear_break)();
  // "Spill file I/O error", retry or cancel: true to retry.
  bool (*ask_spill_retry)();
  // The named file changed on disk since the buffer read or wrote it (or the
  // buffer lost text it still had to read from it): true to save anyway.
  bool (*ask_save_changed_file)(const char* name);
};
TextUiHooks& text_ui_hooks();

// The calls the engine makes, each falling back to the headless answer.
void ui_show_error(int32_t code);
bool ui_break_pressed();
void ui_poll_break_soon();
void ui_clear_break();
bool ui_ask_spill_retry();
bool ui_ask_save_changed_file(const char* name);
