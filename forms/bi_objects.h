// Built-ins on window objects and the display (bi_objects.cpp), and the
// forms layer's opcode bindings (forms_opcodes.cpp).
#pragma once

#include "macro/opcodes.h"

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

// Binds every handler the forms layer builds to its slot.
BindResult forms_register_opcodes(OpcodeDispatch& d);
