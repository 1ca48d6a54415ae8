// Built-ins on window objects and the display (bi_objects.cpp), and the
// forms layer's opcode bindings (forms_opcodes.cpp).
#pragma once

#include <cstdint>
#include <string_view>

#include "macro/opcodes.h"
#include "text/buffer.h"

// The pen of draw_shape: line style (property 17, 0 solid .. 6 inside
// frame), width in pixels (property 34) and draw mode (property 33, the
// raster codes 1..16; others leave the context's mode).
struct ShapePen {
  int32_t style = 0, width = 1, mode = 0;
};

// What the built-ins on window objects ask of the window system
// (obj_window.cpp). Without the object's window, or without a display, each
// gives its headless answer: text measured in cells 8 pixels a byte and a
// font 12 pixels high, points mapped through the objects' stored geometry,
// no focus, and nothing done on the screen.
//
// Width of text in the object's font and the font's height, pixels.
int32_t obj_text_width(WindowObject* obj, std::string_view text);
int32_t obj_font_height(WindowObject* obj);
// Maps a point between objects' client areas (null: the screen).
void obj_map_point(WindowObject* from, WindowObject* to, int32_t* x, int32_t* y);
// where 0: to the top, -1: to the bottom, 1: behind `behind`.
void obj_set_zorder(WindowObject* obj, int32_t where, WindowObject* behind);
// The id of the object whose window has the focus, 0 for none.
int32_t obj_focus_id();
// The native focus to obj's window, no focus events.
void obj_set_native_focus(WindowObject* obj);
// The mouse captured for obj's window; null releases it.
void obj_capture(WindowObject* obj);
// The pointer shape of every window, 0..11.
void obj_set_pointer_all(int32_t shape);
// Activates the object's frame: 0, or -2087 when it has none.
int32_t obj_activate(WindowObject* obj);
// A system command (16385..) to obj's frame; its system-menu item text.
void obj_system_command(WindowObject* obj, uint32_t command);
void obj_set_system_menu_text(WindowObject* obj, uint32_t command, std::string_view text);
// Opens the menu-bar item of a mnemonic character.
void obj_menu_mnemonic(WindowObject* obj, char c);
// A rectangle outline (pixels, ordered) in a colour with the object's pen;
// whole: over the frame too.
void obj_draw_rect(WindowObject* obj, const int32_t rect[4], uint32_t colour, bool whole, const ShapePen& pen);
// Invalidates a one-pixel band at half the client's height.
void obj_mark_changed(WindowObject* obj);
// Invalidates the whole client: it repaints.
void obj_repaint_client(WindowObject* obj);

// The window system's pointer of an object pointer id (0..11, 255 the
// custom pointer); -1 for ids that are ignored.
int32_t obj_pointer_system_id(int32_t id);

// The editor's system command of a system-menu code; 1 for none.
uint32_t sc_to_command(int32_t code);

void bi_twips_per_pixel_x();
void bi_twips_per_pixel_y();
void bi_display_width();
void bi_display_height();
void bi_pixels_per_inch();
void bi_elapsed_ms();
void bi_twips_to_pixels();
void bi_pixels_to_twips();
void bi_get_window_rect();
void bi_move_window();
void bi_col_to_x();
void bi_x_to_col();
void bi_find_object();
void bi_find_form_instance();
void bi_noop_ext139();
void bi_empty_string_ext111();
void bi_const3_ext151();
void bi_get_byte_setting_ext194();
void bi_reserved();
void bi_insert_drive_list();
void bi_set_zorder();               // ext 225
void bi_system_command();           // ext 119
void bi_set_system_menu_text();     // ext 178
void bi_menu_mnemonic();            // ext 223
void bi_focus_current();            // ext 206
void bi_focus_window_id();          // ext 207
void bi_activate_window_by_name();  // ext 191
void bi_set_mouse_pointer();        // ext 200
void bi_set_capture();              // ext 115
void bi_release_capture();          // ext 116
void bi_map_window_points();        // ext 101
void bi_text_width();               // ext 171
void bi_font_height();              // ext 172
void bi_widest_line_width();        // ext 174
void bi_mark_window_changed();      // ext 164
void bi_ctl_tab_stops();            // ext 163
void bi_draw_shape();               // ext 141

// Binds every handler the forms layer builds to its slot.
BindResult forms_register_opcodes(OpcodeDispatch& d);
