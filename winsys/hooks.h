// What the window core needs from the rest of the window system and from
// the layers above, in its own words. Each owner installs its functions at
// start-up (xf_hooks()); a hook left empty means "that part is not there":
// no menu bar, no drawn button face, selections refused, and so on.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "winsys/window_rec.h"

struct XfHooks {
  // ----- the application (forms layer) -----
  // The window manager asked a frame to close: the application's
  // non-modifier-key flag.
  void (*set_other_key_flag)(int flag) = nullptr;

  // ----- menus -----
  // Creates the menu bar of a standard frame inside its inner window,
  // laid out over `width`; answers the bar (or none) and its height.
  XfWindow* (*create_menu_bar)(XfWindow* frame, XfWindow* inner, int32_t width, int32_t* height) = nullptr;
  // Lays a frame's menu bar out again for `width`; answers its height.
  int32_t (*layout_menu_bar)(XfWindow* bar, int32_t width) = nullptr;
  // Frees the menu shown in a menu bar that is being destroyed.
  void (*free_menu_bar_menu)(XfWindow* bar) = nullptr;
  // Makes a popup menu window (type 112) for an owner.
  XfWindow* (*create_popup_menu)(XfWindow* owner) = nullptr;

  // ----- MDI -----
  // Gives the frame's active MDI child the title look 'a' or 'i'.
  void (*mdi_title_look)(XfWindow* frame, char look) = nullptr;
  // 'N', 'I' or 'M' for an MDI child frame.
  char (*mdi_child_state)(XfWindow* child) = nullptr;
  // Positions an MDI child frame (the whole xfSetWindowPos call).
  int (*mdi_set_window_pos)(XfWindow* child, XfWindow* behind, int32_t x, int32_t y, int32_t cx, int32_t cy,
                            uint32_t flags) = nullptr;
  // A window record of an MDI child frame or MDI client is about to go.
  void (*mdi_window_gone)(XfWindow* window) = nullptr;
  // Sets an MDI child frame's title.
  void (*mdi_set_title)(XfWindow* child, const char* text) = nullptr;
  // Opens a child's system menu under `at` (the menu layer's tracker).
  void (*mdi_open_sys_menu)(XfWindow* child, XfWindow* at, void* menu) = nullptr;

  // ----- drawing -----
  // Draws a button in the look 'p' (pressed) or 'n' (normal).
  void (*draw_button)(XfWindow* button, char look) = nullptr;
  // Gives a window its own presentation space, and frees it.
  void (*give_own_ps)(XfWindow* window) = nullptr;
  void (*free_own_ps)(XfWindow* window) = nullptr;
  // Samples the window manager's title colour of a frame (a pixel).
  unsigned long (*sample_title_color)(XfWindow* frame) = nullptr;
  // Opens a font by name; answers the font record or none.
  void* (*open_font)(const char* name) = nullptr;

  // ----- selections -----
  // Serves a SelectionRequest for PRIMARY or CLIPBOARD; when absent it is refused.
  void (*serve_selection)(XfWindow* frame, Atom selection, Window requestor, Atom target, Atom property) = nullptr;
  // The selection (PRIMARY or CLIPBOARD) is owned by someone else now.
  void (*selection_lost)(Atom selection) = nullptr;
};

XfHooks& xf_hooks();
