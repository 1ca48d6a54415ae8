// Small built-ins: permissions by a symbolic mode, the screen size, a few
// integer settings, the mouse pointer, and waiting for a key or an event.
//
// The screen and the pointer belong to the window layers above; they fill
// SmallSeam. Its defaults answer as an editor without a display would: the
// screen size the forms assume before a display is measured, the pointer
// at the origin, moves ignored, every object of a typed kind.
#pragma once

#include <cstdint>
#include <string_view>

// The window layers' side of the small built-ins; each member has a default.
struct SmallSeam {
  // The screen's width (or height) in pixels (option 'D'), mapped into the
  // current object's client coordinates (option 0), or mapped and in the
  // object's scale mode (option 'M'). Default: 1024 x 768 whatever the option.
  int32_t (*screen_extent)(bool height, char option) = nullptr;
  // Moves the pointer (the window layer does nothing). Default: nothing.
  void (*set_pointer)(int32_t x, int32_t y) = nullptr;
  // The pointer's screen position. Default: 0, 0.
  void (*get_pointer)(int32_t* x, int32_t* y) = nullptr;
  // The current object's type has its type bit. Default: true.
  bool (*object_typed)() = nullptr;
  // Twips per pixel, horizontal or vertical. Default: 15.
  int32_t (*twips_per_pixel)(bool vertical) = nullptr;
  // Repaints the forms in design mode after a grid change. Default: nothing.
  void (*repaint_design_forms)() = nullptr;
  // Resets the input layer's click count. Default: nothing.
  void (*reset_click_count)() = nullptr;
  // Dispatches the window messages that are waiting. Default: nothing.
  void (*dispatch_pending)() = nullptr;
  // Refreshes the screen before a wait. Default: the event seam's refresh.
  void (*refresh)() = nullptr;
};
void small_seam_install(const SmallSeam& seam);  // null members keep the default

// A symbolic mode ("u+x,go-w", "a=r") applied to a mode: the new mode, or
// -3030 "Invalid option" for a malformed text.
int32_t chmod_apply(std::string_view mode_text, uint32_t mode);
// The built-in's work on its one argument "mode file": rc 0 or the error.
int32_t chmod_parse(std::string_view argument);

// The integer kept only for macros (ext 175), for start-up and tests.
int32_t& small_macro_int();
