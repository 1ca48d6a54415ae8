// Message boxes that the text engine asks the user through.
//
// Until the forms layer shows real boxes, each box is answered by a hook;
// tests script the answers. Without a hook the box answers "cancel".
// msgbox_install_text_hooks() makes the spill box the text engine's question
// (the application calls it once at start-up).
#pragma once

// Shows "Spill file I/O error" in a box titled "Error" with retry and cancel;
// true when the user chose retry.
bool app_spill_error_box();

// The answerer; null restores the default (cancel).
using SpillErrorBoxHook = bool (*)();
void app_set_spill_error_box_hook(SpillErrorBoxHook hook);
// How many times the box was shown.
int app_spill_error_box_count();

// Installs app_spill_error_box as the text engine's spill question.
void msgbox_install_text_hooks();
