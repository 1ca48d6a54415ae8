// The macro layer's bindings: every handler the macro library builds, at
// its slot. Built-ins of the text engine and the foundation run on the
// interpreter's stack, so they are bound here too; display, forms and
// services bind theirs from their own folders.
#include "macro/event_codes.h"
#include "macro/event_tables.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "macro/opcode_handlers.h"
#include "macro/opcodes.h"

namespace {

// clang-format off
constexpr OpcodeBinding kMacroOpcodes[] = {
    // interp.cpp: calls and returns.
    {opcode_slot("call_index"), op_call_index},
    {opcode_slot("return_rc"), op_return_rc},
    {opcode_slot("return_value"), op_return_value},
    {opcode_slot("return"), op_return},
    {opcode_slot("call_link"), op_call_link},
    {opcode_slot("proc_module"), bi_proc_module},
    {opcode_slot("ext"), op_ext_prefix},
    // stack.cpp: pushes, assignment and the string heap.
    {opcode_slot("push_ref"), op_push_var_ref},
    {opcode_slot("push_var"), op_push_var},
    {opcode_slot("push_const"), op_push_const},
    {opcode_slot("assign"), op_assign},
    {opcode_slot("pop"), op_pop},
    {opcode_slot("collect_strings"), op_collect_strings},
    // catch.cpp: jumps, loops, case tests and error-catch blocks.
    {opcode_slot("jump"), op_jump},
    {opcode_slot("jump_if_true"), op_jump_if_true},
    {opcode_slot("jump_if_false"), op_jump_if_false},
    {opcode_slot("stop"), op_stop},
    {opcode_slot("case_jump_ne"), op_case_jump_ne},
    {opcode_slot("case_jump_eq"), op_case_jump_eq},
    {opcode_slot("for_begin"), op_for_begin},
    {opcode_slot("for_step"), op_for_step},
    {opcode_slot("for_end"), op_for_end},
    {opcode_slot("error_pos"), bi_error_pos},
    {opcode_slot("catch_end"), bi_catch_end},
    {opcode_slot("catch_begin"), bi_catch_begin},
    {opcode_slot("catch_value"), bi_catch_value},
    // core_ops.cpp: operators, the parse statement and a few statements.
    {opcode_slot("concat"), op_concat},
    {opcode_slot("concat_swapped"), op_concat_swapped},
    {opcode_slot("add"), op_add},
    {opcode_slot("sub"), op_subtract},
    {opcode_slot("sub_swapped"), op_subtract_swapped},
    {opcode_slot("div"), op_div},
    {opcode_slot("mul"), op_mul},
    {opcode_slot("div_swapped"), op_div_swapped},
    {opcode_slot("idiv"), op_int_div},
    {opcode_slot("idiv_swapped"), op_int_div_swapped},
    {opcode_slot("mod"), op_mod},
    {opcode_slot("mod_swapped"), op_mod_swapped},
    {opcode_slot("pow"), op_pow},
    {opcode_slot("pow_swapped"), op_pow_swapped},
    {opcode_slot("or"), op_logical_or},
    {opcode_slot("and"), op_logical_and},
    {opcode_slot("num_eq"), op_num_eq},
    {opcode_slot("num_ne"), op_num_ne},
    {opcode_slot("num_lt"), op_num_lt},
    {opcode_slot("num_gt"), op_num_gt},
    {opcode_slot("num_le"), op_num_le},
    {opcode_slot("num_ge"), op_num_ge},
    {opcode_slot("str_eq"), op_str_eq},
    {opcode_slot("str_ne"), op_str_ne},
    {opcode_slot("str_gt"), op_str_gt},
    {opcode_slot("str_lt"), op_str_lt},
    {opcode_slot("str_ge"), op_str_ge},
    {opcode_slot("str_le"), op_str_le},
    {opcode_slot("not"), op_logical_not},
    {opcode_slot("negate"), op_negate},
    {opcode_slot("execute"), op_execute},
    {opcode_slot("stmt_mark"), op_set_stmt_flag},
    {opcode_slot("parse_col_abs"), op_parse_col_abs},
    {opcode_slot("parse_find"), op_parse_find},
    {opcode_slot("parse_col_rel"), op_parse_col_rel},
    {opcode_slot("parse_begin"), op_parse_begin},
    {opcode_slot("parse_assign"), op_parse_assign},
    {opcode_slot("bit_xor"), op_bit_xor},
    {opcode_slot("push_control"), op_push_control},
    {opcode_slot("exit"), bi_exit},
    {opcode_slot("bit_not"), op_bit_not},
    {opcode_slot("arg"), bi_arg},
    {opcode_slot("bit_and"), op_bit_and},
    {opcode_slot("bit_or"), op_bit_or},
    {opcode_slot("shl"), op_shift_left},
    {opcode_slot("shr"), op_shift_right},
    {opcode_slot("incr"), op_incr},
    {opcode_slot("decr"), op_decr},
    {opcode_slot("last_var_dollar"), op_last_var_ref_dollar},
    {opcode_slot("last_var_amp"), op_last_var_ref_amp},
    {opcode_slot("compound_assign"), op_compound_assign},
    {opcode_slot("shl_swapped"), op_shift_left_swapped},
    {opcode_slot("shr_swapped"), op_shift_right_swapped},
    // string_bi.cpp: string built-ins.
    {opcode_slot("lastpos"), bi_lastpos},
    {opcode_slot("strip"), bi_strip},
    {opcode_slot("length"), bi_length},
    {opcode_slot("substr"), bi_substr},
    {opcode_slot("upcase"), bi_upcase},
    {opcode_slot("pos"), bi_pos},
    {opcode_slot("verify"), bi_verify},
    {opcode_slot("lowcase"), bi_lowcase},
    {opcode_slot("char_code"), bi_char_code},
    {opcode_slot("char_from_code"), bi_char_from_code},
    {opcode_slot("translate"), bi_translate},
    {opcode_slot("center"), bi_center},
    {opcode_slot("is_integer"), bi_is_integer},
    {opcode_slot("is_number"), bi_is_number},
    // module_ops.cpp: modules, templates, event tables and the state file.
    {opcode_slot("write_state"), bi_write_state},
    {opcode_slot("push_object"), op_push_object},
    {opcode_slot("push_event_table"), op_push_event_table},
    {opcode_slot("load_module"), bi_load_module},
    {opcode_slot("compile_module_list"), bi_compile_module_list},
    // search_bi.cpp: the text engine's search built-ins.
    {opcode_slot("repeat_search"), bi_repeat_search},
    {opcode_slot("search"), bi_search},
    {opcode_slot("search_replace"), bi_search_replace},
    {opcode_slot("save_search"), bi_save_search},
    {opcode_slot("match_info"), bi_match_info},
    {opcode_slot("restore_search"), bi_restore_search},
    // event_codes.cpp, event_tables.cpp, key_dispatch.cpp, kbd_macro.cpp:
    // key names, event tables, key dispatch and keyboard macros.
    {opcode_slot("event2name"), bi_event2name},
    {opcode_slot("event2index"), bi_event2index},
    {opcode_slot("index2event"), bi_index2event},
    {opcode_slot("find_binding"), bi_find_binding},
    {opcode_slot("eventtab_index"), bi_eventtab_index},
    {opcode_slot("set_eventtab_index"), bi_set_eventtab_index},
    {opcode_slot("eventtab_inherit"), bi_eventtab_inherit},
    {opcode_slot("call_key"), bi_call_key},
    {opcode_slot("call_event"), bi_call_event},
    {opcode_slot("keyin"), bi_keyin},
    {opcode_slot("macro_record"), bi_macro_record},
    // opcodes.cpp: built-ins this platform lacks.
    {opcode_slot("unavailable14"), op_unavailable},
    {opcode_slot("unavailable15"), op_unavailable},
    {opcode_slot("unavailable16"), op_unavailable},
    {opcode_slot("unavailable17"), op_unavailable},
    {opcode_slot("unavailable18"), op_unavailable},
    {opcode_slot("unavailable19"), op_unavailable},
    {opcode_slot("unavailable20"), op_unavailable},
    {opcode_slot("unavailable21"), op_unavailable},
    {opcode_slot("unavailable22"), op_unavailable},
    {opcode_slot("unavailable23"), op_unavailable},
    {opcode_slot("unavailable24"), op_unavailable},
    {opcode_slot("unavailable26"), op_unavailable},
};
// clang-format on

}  // namespace

BindResult macro_register_opcodes(OpcodeDispatch& d) {
  return opcodes_register(d, Layer::Macro, kMacroOpcodes);
}
