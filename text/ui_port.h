// What the text engine needs of the user interface above it.
//
// The engine reports error codes to the user, lets the user stop a long walk
// with the break key, and asks whether to retry when the spill file fails or
// to replace a file that changed on disk. Those belong to layers above it, so
// it declares them here and the program defines each once: the message line
// reports, the message boxes ask, and the program's composition root hands
// over the window system's break key. The macro runtime polls and clears the
// break key through the same port.
#pragma once

#include <cstdint>

// Reports an error code to the user.
void ui_show_error(int32_t code);
// True when the user asked to stop. Cheap: it may look at the keyboard only
// now and then, so it is polled often.
bool ui_break_pressed();
// The next ui_break_pressed looks at the keyboard at once.
void ui_poll_break_soon();
// Forgets a break that has been handled.
void ui_clear_break();
// "Spill file I/O error", retry or cancel: true to retry. Without anyone to
// ask the answer is cancel (a retry nobody asked for could loop).
bool ui_ask_spill_retry();
// The named file changed on disk since the buffer read or wrote it: true to
// save anyway.
// Without anyone to ask the answer is no: a changed file is never replaced
// unasked.
bool ui_ask_save_changed_file(const char* name);
