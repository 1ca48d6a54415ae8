// The getters and setters of the property table. Each takes no arguments:
// it reads the dispatch state (prop_dispatch.h) and pushes the value
// (getters) or stores the value of the state (setters).
#pragma once

using PropAccessor = void (*)();

// ---- generic accessors (prop_dispatch.cpp) ----
void prop_get_int_push();      // the field, read as a signed number
void prop_set_from_int();      // the integer value, cut to the field
void prop_set_flag();          // value != 0
void prop_get_string_push();   // the string the field's handle names
void prop_set_string_value();  // stores the value string

// ---- object accessors (prop_object.cpp) ----
void pa_set_default_button();  // 1
void pa_set_enabled();         // 2
void pa_set_font_flag();       // 3, 4, 6, 8, 14, 59, 60, 70: flag, repaint, re-layout
void pa_get_font_size();       // 5
void pa_set_font_size();
void pa_set_visible();       // 11
void pa_set_style();         // 15
void pa_set_border();        // 16
void pa_set_scroll_bars();   // 18
void pa_get_display_mode();  // 19
void pa_set_display_mode();
void pa_set_recreate();      // 22
void pa_get_window_state();  // 23
void pa_set_window_state();
void pa_set_pointer();      // 24
void pa_set_event_table();  // 27, 76
void pa_get_name();         // 28
void pa_set_name();
void pa_get_caption();  // 29
void pa_set_caption();
void pa_set_face_name();    // 30
void pa_set_back_colour();  // 31
void pa_set_repaint();      // 35
void pa_get_geometry();     // 36, 39, 40, 41
void pa_set_geometry();
void pa_set_value();       // 42
void pa_set_scale_mode();  // 47
void pa_get_text();        // 52
void pa_set_text();
void pa_get_edit_part_int();  // 53..57 on a combo box's edit part
void pa_set_text_layout();    // 53..56
void pa_set_picture();        // 57
void pa_get_mouse_part();     // 58
void pa_set_mouse_part();
void pa_set_redraw_after();   // 61, 83
void pa_get_arrow_part();     // 62
void pa_get_list_part();      // 63
void pa_get_edit_part();      // 64
void pa_get_owner_combo();    // 65
void pa_get_type();           // 66
void pa_get_first_child();    // 67
void pa_get_next_sibling();   // 68
void pa_set_69();             // 69
void pa_get_shows_default();  // 71
void pa_get_design_mode();    // 72
void pa_set_design_mode();
void pa_get_selected();  // 73
void pa_set_selected();
void pa_get_design_changed();  // 74
void pa_set_design_changed();
void pa_set_range();            // 77, 78
void pa_get_top_level();        // 84
void pa_get_template_handle();  // 85
void pa_get_combo_string();     // 86
void pa_set_combo_string();
void pa_get_88();  // 88
void pa_set_88();
void pa_get_combo_flag();  // 89
void pa_set_combo_flag();
void pa_get_prev_sibling();   // 91
void pa_get_arrange_group();  // 100
void pa_set_arrange_group();
void pa_get_flags();  // 101
void pa_set_flags();
void pa_get_handle();  // 103
void pa_set_handle();
void pa_get_client_height();  // 131
void pa_get_client_width();   // 132
void pa_get_sel_length();     // 138
void pa_set_sel_length();
void pa_get_sel_start();  // 139
void pa_set_sel_start();
void pa_get_parent();          // 142
void pa_get_child_of_frame();  // 143
void pa_get_design_visible();  // 149
void pa_set_design_visible();
void pa_get_modal_level();  // 150
void pa_get_free_string();  // 152, 153
void pa_set_free_string();
void pa_get_154();  // 154
void pa_set_154();
void pa_get_window_id();  // 155
void pa_set_window_id();
void pa_get_container_scale();  // 158
void pa_get_container();        // 159
void pa_get_last_mdi_form();    // 160
void pa_set_last_mdi_form();
void pa_get_mdi_form();   // 161
void pa_get_menu();       // 163
void pa_get_redraw_on();  // 165
void pa_set_redraw_on();
void pa_get_inner_window();  // 170
void pa_get_outer_window();  // 171

// ---- view and buffer accessors (prop_view.cpp) ----
void pv_get_scroll_scale();  // 102
void pv_get_hoffset();       // 104
void pv_get_cursor_x();      // 105
void pv_set_cursor_x();
void pv_get_cursor_y();  // 106
void pv_set_cursor_y();
void pv_get_line();  // 107
void pv_set_line();
void pv_get_line_count();  // 108
void pv_get_column();      // 109
void pv_set_column();
void pv_get_buf_name();  // 110
void pv_set_buf_name();
void pv_get_modified();  // 111
void pv_set_modified();
void pv_get_buf_handle();  // 112
void pv_set_buf_handle();
void pv_get_margins();  // 113
void pv_set_margins();
void pv_get_tabs();  // 114
void pv_set_tabs();
void pv_get_mode_name();  // 115
void pv_set_mode_name();
void pv_get_record_len();  // 116
void pv_get_wrap_byte();   // 117
void pv_set_wrap_byte();
void pv_get_tab_display();  // 118
void pv_set_tab_display();
void pv_get_indent_tabs();  // 119
void pv_set_indent_tabs();
void pv_get_buf_flags();  // 120
void pv_set_buf_flags();
void pv_get_eol();         // 121
void pv_get_undo_limit();  // 122
void pv_set_undo_limit();
void pv_get_user_word();  // 123
void pv_set_user_word();
void pv_get_byte_count();   // 124
void pv_get_rows();         // 125
void pv_get_columns();      // 126
void pv_get_vscroll_max();  // 127
void pv_get_hscroll_max();  // 128
void pv_get_line_height();  // 129
void pv_get_char_width();   // 130
void pv_get_layout_rect();  // 133..136
void pv_set_layout_rect();
void pv_get_key_handler();  // 137
void pv_set_key_handler();
void pv_get_widths();       // 144
void pv_get_fixed_pitch();  // 145
void pv_get_cursor_row();   // 146
void pv_set_cursor_row();
void pv_get_scroll_point();  // 147
void pv_set_scroll_point();
void pv_get_char_table();  // 148
void pv_set_char_table();
void pv_get_user_byte();  // 156
void pv_set_user_byte();
void pv_get_buf_event_table();  // 157
void pv_set_buf_event_table();
void pv_get_file_date();  // 164
void pv_set_file_date();
void pv_get_word_chars();  // 166
void pv_set_word_chars();
void pv_get_lexer();  // 167
void pv_set_lexer();
void pv_get_second_string();  // 168
void pv_set_second_string();
void pv_get_display_byte();  // 169
void pv_set_display_byte();
