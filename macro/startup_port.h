// What the macro start-up needs of the screen.
//
// Start-up shows its failures in a box, hands the settings the state file
// carried to the screen (fonts, colours, options), lets the display make
// the command line's buffer, and runs "-firstinit" as the frame's first
// window. Those belong to the layers above, so they are declared here and
// the program defines each once. A program with no screen shows the box as
// one line on standard error, applies nothing, starts nothing and has no
// frame, so "-firstinit" runs as the current window.
#pragma once

#include <string_view>

#include "macro/state_settings.h"
#include "text/buffer.h"

// Shows a start-up failure to the user before the process ends.
void startup_message_box(std::string_view text);
// Applies what the state's settings ask of the screen: the fonts 504 and
// 506, the options D and N, the colour slots 0..25 and the colour classes,
// the double-click time and the start-up insert mode.
void startup_apply_settings(const SettingsBlock& settings);
// The display's screen start (the command line's ".command" buffer): 0, or
// an error code that ends start-up.
int startup_screen_start();
// The object "-firstinit" runs as: the frame object's first child; null
// when there is none (it then runs as the current window).
WindowObject* startup_first_child();
