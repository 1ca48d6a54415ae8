// The forms layer's bindings: every handler of this folder at its slot.
#include "forms/bi_objects.h"
#include "forms/clipboard.h"
#include "forms/designer.h"
#include "forms/font_dialog.h"
#include "forms/form_resource.h"
#include "forms/macro_menu.h"
#include "forms/modal.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/prop_dispatch.h"
#include "forms/timers.h"

namespace {

// clang-format off
constexpr OpcodeBinding kFormsOpcodes[] = {
    // prop_dispatch.cpp: the property opcodes.
    {opcode_slot("property_get_current"), op_property_get_current},
    {opcode_slot("property_get_handle"), op_property_get_handle},
    {opcode_slot("property_set_current"), op_property_set_current},
    {opcode_slot("property_set_handle"), op_property_set_handle},
    {opcode_slot("with_object"), op_with_object},
    // objects.cpp
    {opcode_slot("create_object"), bi_create_object},
    // form_resource.cpp
    {opcode_slot("show_form"), bi_show_form},
    {opcode_slot("save_form"), bi_save_form},
    {opcode_slot("is_window_id"), bi_is_window_id},
    {opcode_slot("last_window_id"), bi_last_window_id},
    // timers.cpp
    {opcode_slot("set_timer"), bi_set_timer},
    {opcode_slot("kill_timer"), bi_kill_timer},
    // options.cpp
    {opcode_slot("editor_option"), bi_editor_option},
    {opcode_slot("beep"), bi_beep},
    {opcode_slot("message_box"), bi_message_box},
    {opcode_slot("post_frame_command"), bi_post_frame_command},
    // modal.cpp
    {opcode_slot("show_modal"), bi_show_modal},
    {opcode_slot("end_modal"), bi_end_modal},
    {opcode_slot("end_all_modal"), bi_end_all_modal},
    {opcode_slot("wait_var"), bi_wait_var},
    // bi_objects.cpp
    {opcode_slot("twips_per_pixel_x"), bi_twips_per_pixel_x},
    {opcode_slot("twips_per_pixel_y"), bi_twips_per_pixel_y},
    {opcode_slot("display_width"), bi_display_width},
    {opcode_slot("display_height"), bi_display_height},
    {opcode_slot("pixels_per_inch"), bi_pixels_per_inch},
    {opcode_slot("elapsed_ms"), bi_elapsed_ms},
    {opcode_slot("twips_to_pixels"), bi_twips_to_pixels},
    {opcode_slot("pixels_to_twips"), bi_pixels_to_twips},
    {opcode_slot("get_window_rect"), bi_get_window_rect},
    {opcode_slot("move_window"), bi_move_window},
    {opcode_slot("col_to_x"), bi_col_to_x},
    {opcode_slot("x_to_col"), bi_x_to_col},
    {opcode_slot("find_object"), bi_find_object},
    {opcode_slot("find_form_instance"), bi_find_form_instance},
    {opcode_slot("noop_ext139"), bi_noop_ext139},
    {opcode_slot("empty_string_ext111"), bi_empty_string_ext111},
    {opcode_slot("const3_ext151"), bi_const3_ext151},
    {opcode_slot("get_byte_setting_ext194"), bi_get_byte_setting_ext194},
    {opcode_slot("choose_font"), bi_choose_font},
    {opcode_slot("reserved_ext177"), bi_reserved},
    {opcode_slot("reserved_ext196"), bi_reserved},
    {opcode_slot("insert_drive_list"), bi_insert_drive_list},
    // designer.cpp
    {opcode_slot("form_design_op"), bi_form_design_op},
    {opcode_slot("set_zorder"), bi_set_zorder},
    {opcode_slot("system_command"), bi_system_command},
    {opcode_slot("set_system_menu_text"), bi_set_system_menu_text},
    {opcode_slot("menu_mnemonic"), bi_menu_mnemonic},
    {opcode_slot("focus_current"), bi_focus_current},
    {opcode_slot("focus_window_id"), bi_focus_window_id},
    {opcode_slot("activate_window_by_name"), bi_activate_window_by_name},
    {opcode_slot("set_mouse_pointer"), bi_set_mouse_pointer},
    {opcode_slot("set_capture"), bi_set_capture},
    {opcode_slot("release_capture"), bi_release_capture},
    {opcode_slot("map_window_points"), bi_map_window_points},
    {opcode_slot("text_width"), bi_text_width},
    {opcode_slot("font_height"), bi_font_height},
    {opcode_slot("widest_line_width"), bi_widest_line_width},
    {opcode_slot("mark_window_changed"), bi_mark_window_changed},
    {opcode_slot("ctl_tab_stops"), bi_ctl_tab_stops},
    {opcode_slot("draw_shape"), bi_draw_shape},
};
// clang-format on

}  // namespace

BindResult forms_register_opcodes(OpcodeDispatch& d) {
  const OpcodeDispatch before = d;
  BindResult r = opcodes_register(d, Layer::Forms, kFormsOpcodes);
  if (r) r = clip_register_opcodes(d);  // the clipboard's built-ins and the text copy's seam
  if (r) r = menu_register_opcodes(d);
  if (!r) d = before;
  return r;
}
