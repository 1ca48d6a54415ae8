// The application's life after the command line is read: the window
// system opens the display, the editor's window classes are registered,
// the frame is made and shown (its first paint starts the macros), and the
// main loop runs until the exit path ends the process.
#pragma once

#include "macro/state_settings.h"

struct StartupConfig;

// The layers' part of the exit path, before the spill file is removed and
// the process ends: every extension library is unloaded and every macro
// timer stopped.
void app_release_for_exit();

// What the state's settings ask of the screen, once the state is loaded:
// the fonts 504 and 506 (system font elements 3 and 4, sizes in points) when
// their faces are set, the editor options D and N, the colour pairs 0..25
// with the colour classes on their slots, the double-click time and the
// start-up insert mode. Needs no display.
void app_apply_settings(const SettingsBlock& settings);

// 1 (after one line on standard error) when there is no display to open;
// otherwise never returns.
int app_main(StartupConfig* cfg);
