// What the macro runtime's error report needs of the layers above it.
//
// A raised error is shown to the user: a stopping one in a message box
// titled "Zorvex-C Error", others (and those a catch block took quietly)
// left pending for the message line. Where an error that does not stop the
// macro happened is recorded only while the editor option E asks for it.
// The boxes, the message line and the editor options lie above, so they are
// declared here and the program defines each once. A program without them
// shows nothing and records no positions.
#pragma once

#include <cstdint>

// Shows an error code: boxed, in a message box titled "Zorvex-C Error";
// otherwise the code's text waits for the message line.
void vm_show_error(int32_t code, bool boxed);
// Whether the positions of errors that do not stop a macro are recorded.
bool vm_error_positions_wanted();
