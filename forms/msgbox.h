// Message boxes that the text engine asks the user through.
//
// The spill question is the window layer's message box (Retry, Cancel) when
// a display is open; a hook, when set, answers instead (tests script the
// answers). The other questions are answered by their hooks only. Without a
// hook and without a display every box answers "cancel".
// msgbox_install_text_hooks() makes them the text engine's questions
// (the application calls it once at start-up).
#pragma once

// Shows "Spill file I/O error" in a box titled "Error" with retry and cancel;
// true when the user chose retry.
bool app_spill_error_box();

// The answerer; null restores the default (cancel).
using SpillErrorBoxHook = bool (*)();
void app_set_spill_error_box_hook(SpillErrorBoxHook hook);
// Asks before a save replaces the named file although it changed on disk
// since the buffer loaded or saved it (or the buffer lost text it was still
// to read from it); true when the user chose to save anyway.
bool app_file_changed_box(const char* name);

// The answerer; null restores the default (cancel: the file stays).
using FileChangedBoxHook = bool (*)(const char* name);
void app_set_file_changed_box_hook(FileChangedBoxHook hook);

// Installs the boxes as the text engine's questions to the user.
void msgbox_install_text_hooks();
