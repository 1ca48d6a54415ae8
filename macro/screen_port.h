// What the small built-ins need of the screen and the windows above them:
// the screen's size, the mouse pointer, the current object's kind, the
// twips of a pixel, the forms in design mode, the input layer's click count
// and its waiting messages, and the refresh before a wait for a key.
//
// The window system, the input layer and the forms lie above, so they are
// declared here and the program defines each once: the forms answer for
// objects, the designer and the window system's queue, the program for the
// X screen, its pointer and its refresh. A program without a screen answers
// as the forms assume before a display is measured: 1024 x 768 pixels,
// 15 twips a pixel, the pointer at the origin and never moved, every object
// of a typed kind, nothing to repaint, count or dispatch.
#pragma once

#include <cstdint>

// The screen's width (or height) in pixels (option 'D'), mapped into the
// current object's client coordinates (option 0), or mapped and in the
// object's scale mode (option 'M').
int32_t screen_dimension(bool height, char option);
// Moves the mouse pointer to a screen position.
void pointer_move(int32_t x, int32_t y);
// The mouse pointer's screen position.
void pointer_position(int32_t* x, int32_t* y);
// Whether the current object's type has its type bit (an object of one of
// the typed kinds); false refuses the object.
bool object_has_type_bit();
// Twips per pixel of the screen, horizontal or vertical.
int32_t screen_twips_per_pixel(bool vertical);
// Repaints every form in design mode (the grid changed).
void forms_repaint_design();
// The next mouse button press counts as a single click.
void input_reset_click_count();
// Dispatches the window messages that are waiting, without waiting for one.
void input_dispatch_waiting();
// Refreshes the screen before a wait for a key or an event.
void screen_refresh_before_wait();
