// The macro layer's opcode handlers, by the file that defines them. Only
// opcode_bind.cpp, which binds them to their slots, needs this list; the
// handlers of the layers above are declared and bound in their own folders.
#pragma once

// clang-format off

// interp.cpp: calls and returns.
void op_call_index();
void op_return_rc();
void op_return_value();
void op_return();
void op_call_link();
void op_ext_prefix();
void bi_proc_module();

// stack.cpp: pushes, assignment and the string heap.
void op_push_var_ref();
void op_push_var();
void op_push_const();
void op_assign();
void op_pop();
void op_collect_strings();

// catch.cpp: jumps, loops, case tests and error-catch blocks.
void op_jump();
void op_jump_if_true();
void op_jump_if_false();
void op_stop();
void op_case_jump_ne();
void op_case_jump_eq();
void op_for_begin();
void op_for_step();
void op_for_end();
void bi_error_pos();
void bi_catch_end();
void bi_catch_begin();
void bi_catch_value();

// core_ops.cpp: operators, the parse statement and a few statements.
void op_concat();
void op_concat_swapped();
void op_add();
void op_subtract();
void op_subtract_swapped();
void op_div();
void op_mul();
void op_div_swapped();
void op_int_div();
void op_int_div_swapped();
void op_mod();
void op_mod_swapped();
void op_pow();
void op_pow_swapped();
void op_logical_or();
void op_logical_and();
void op_num_eq();
void op_num_ne();
void op_num_lt();
void op_num_gt();
void op_num_le();
void op_num_ge();
void op_str_eq();
void op_str_ne();
void op_str_gt();
void op_str_lt();
void op_str_ge();
void op_str_le();
void op_logical_not();
void op_negate();
void op_execute();
void op_set_stmt_flag();
void op_parse_col_abs();
void op_parse_find();
void op_parse_col_rel();
void op_parse_begin();
void op_parse_assign();
void op_bit_xor();
void op_push_control();
void bi_exit();
void op_bit_not();
void bi_arg();
void op_bit_and();
void op_bit_or();
void op_shift_left();
void op_shift_right();
void op_incr();
void op_decr();
void op_last_var_ref_dollar();
void op_last_var_ref_amp();
void op_compound_assign();
void op_shift_left_swapped();
void op_shift_right_swapped();

// string_bi.cpp: string built-ins.
void bi_lastpos();
void bi_strip();
void bi_length();
void bi_substr();
void bi_upcase();
void bi_pos();
void bi_verify();
void bi_lowcase();
void bi_char_code();
void bi_char_from_code();
void bi_translate();
void bi_center();
void bi_is_integer();
void bi_is_number();

// module_ops.cpp: modules, templates, event tables and the state file.
void bi_write_state();
void op_push_object();
void op_push_event_table();
void bi_load_module();
void bi_compile_module_list();

// search_bi.cpp: the text engine's search built-ins.
void bi_repeat_search();
void bi_search();
void bi_search_replace();
void bi_save_search();
void bi_match_info();
void bi_restore_search();

// bi_cursor.cpp: the current line, cursor moves, points, undo.
void bi_insert_line();
void bi_get_line();
void bi_delete_line();
void bi_replace_line();
void bi_top_of_buffer();
void bi_bottom_of_buffer();
void bi_cursor_up();
void bi_cursor_down();
void bi_page_up();
void bi_page_down();
void bi_begin_line();
void bi_end_line();
void bi_cursor_left();
void bi_cursor_right();
void bi_backspace();
void bi_delete_char();
void bi_next_tab_stop();
void bi_prev_tab_stop();
void bi_set_line_col();
void bi_point();
void bi_goto_point();
void bi_get_text();
void bi_reserved_203();
void bi_undo();
void bi_undo_query();

// bi_buffer.cpp: buffers, windows and views.
void bi_next_buffer();
void bi_prev_buffer();
void bi_next_window();
void bi_prev_window();
void bi_next_view();
void bi_prev_view();
void bi_quit_view();
void bi_delete_buffer();
void bi_activate_window();
void bi_window_id_to_var();
void bi_next_window_number();
void bi_buf_match();
void bi_buf_match_opts();
void bi_object_show();

// bi_edit.cpp: the edit command and saving.
void bi_edit();
void bi_save();

// bi_selection.cpp: selections.
void bi_alloc_selection();
void bi_free_selection();
void bi_deselect();
void bi_select_block();
void bi_select_char();
void bi_select_line();
void bi_select_type();
void bi_begin_select();
void bi_end_select();
void bi_get_selinfo();
void bi_fill_selection();
void bi_delete_selection();
void bi_shift_selection_left();
void bi_shift_selection_right();
void bi_copy_to_cursor();
void bi_overlay_block_selection();
void bi_adjust_block_selection();
void bi_duplicate_selection();
void bi_show_selection();
void bi_move_to_cursor();
void bi_select_match();
void bi_begin_select_compare();
void bi_end_select_compare();
void bi_copy_to_clipboard();

// bi_sort.cpp: sorting and reflowing a selection.
void bi_sort();
void bi_reflow_selection();
void bi_reflow_result();

// opcodes.cpp: built-ins this platform lacks.
void op_unavailable();

// bi_misc.cpp: the environment, peek and poke.
void bi_get_env();
void bi_set_env();
void bi_get_env_name();
void bi_peek();
void bi_poke();

// bi_os.cpp: operating-system built-ins and the list inserters.
void bi_machine();
void bi_getcwd();
void bi_chdir();
void bi_path_search();
void bi_absolute();
void bi_relative();
void bi_insert_file_list();
void bi_insert_font_list();
void bi_insert_name_list();
void bi_font_is_scalable();
void bi_font_type_flags();

// bi_file.cpp: file built-ins, dates, times and delays.
void bi_path_length();
void bi_file_delete();
void bi_file_mkdir();
void bi_file_rmdir();
void bi_spill_dir();
void bi_cache_size();
void bi_buf_page_loaded_flag();
void bi_copy_file();
void bi_date();
void bi_time();
void bi_file_date();
void bi_delay();
void bi_file_read();
void bi_file_write();
void bi_hostname();
void bi_domainname();

// file_match.cpp: walking the files that match a specification.
void bi_file_match();
void bi_dll_load();
void bi_dllexport();

// bi_names.cpp: names-table built-ins.
void bi_find_index();
void bi_name_match();
void bi_name_type();
void bi_name_name();
void bi_set_name_info();
void bi_insert_name();
void bi_delete_name();
void bi_name_info();
void bi_index_registers();
void bi_index_registers2();
void bi_get_global_var();
void bi_set_global_var();
void bi_name_data();
void bi_set_name_data();
void bi_name_op_ext32();
void bi_purge_unused_names();

// bi_small.cpp: the shell, permissions, screen, pointer, settings, waits.
void bi_shell();
void bi_chmod();
void bi_screen_width();
void bi_screen_height();
void bi_mouse_move_events();
void bi_reserved_ext109();
void bi_set_pointer_pos();
void bi_map_rect_ext143();
void bi_grid_width();
void bi_grid_height();
void bi_int_setting_ext175();
void bi_get_pointer_pos();
void bi_last_event();
void bi_get_key();
void bi_get_event();

// clang-format on
