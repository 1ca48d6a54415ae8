// What the editor options need of the program's editor windows.
//
// Setting an option with the editor-option built-in may change what the
// editor windows show (the Top of File line, the scroll bars). The windows
// belong to the program, so this is declared here and the program defines
// it once. A program without editor windows has nothing to change.
#pragma once

// An option was set (its letter, one of kEditorOptionLetters); the new
// value is in editor_options().
void option_changed(char letter);
