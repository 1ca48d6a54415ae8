// The application's life after the command line is read: the window
// system opens the display, the editor's window classes are registered,
// the frame is made and shown (its first paint starts the macros), and the
// main loop runs until the exit path ends the process.
#pragma once

struct StartupConfig;

// 1 (after one line on standard error) when there is no display to open;
// otherwise never returns.
int app_main(StartupConfig* cfg);
