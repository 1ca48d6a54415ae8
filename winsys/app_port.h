// What the window system needs of the application above it.
//
// The window system stands on the foundation alone; where its frames must
// tell the application something, it declares the call here and the forms
// define it.
#pragma once

// The window manager asked a frame to close: the application's "another
// key was pressed" flag is set, so the Alt release that may follow does not
// open the menu bar. A program without the application keeps the flag in
// its headless answer.
void app_set_other_key_flag(bool value);
