// The property table: the one description of every object property.
//
// Macros name a property by its id (0..171), an operand byte of the
// property opcodes; the id is the whole interface between the macro
// language and the objects. One row per id says where the value lives (a
// bit field of one word of the PropertyBlock, or computed), how it travels
// (integer, decimal, string, text the setter parses), who may read and
// write it (live objects, template records), what the object needs (an
// edit view, a text display), which object types accept it, and the two
// functions that read and write it. The dispatch, the accessors and the
// tests all read these rows; nothing keeps a second list.
//
// Invariants, checked at compile time below: the readable flag is set
// exactly when the row has a getter and the writable flag exactly when it
// has a setter; an empty row accepts no type; no object type accepts two
// properties whose fields overlap.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "forms/prop_access.h"
#include "text/prop_block.h"

// Flags of a row.
inline constexpr uint32_t kPropTplSet = 0x0001;     // may be set on a template record
inline constexpr uint32_t kPropTplGet = 0x0002;     // may be read on a template record
inline constexpr uint32_t kPropRead = 0x0010;       // has a getter
inline constexpr uint32_t kPropWrite = 0x0020;      // has a setter
inline constexpr uint32_t kPropDecimal = 0x0080;    // a set goes through the decimal parser
inline constexpr uint32_t kPropMark1 = 0x0100;      // marks no code tests (27, 57, 76)
inline constexpr uint32_t kPropMark2 = 0x0200;      //   (27, 76)
inline constexpr uint32_t kPropString = 0x0400;     // travels as a counted string
inline constexpr uint32_t kPropFontText = 0x0800;   // text the setter parses (font size)
inline constexpr uint32_t kPropStateText = 0x1000;  // text the setter parses (window state)
inline constexpr uint32_t kPropDisplay = 0x4000;    // needs the object's text display
inline constexpr uint32_t kPropView = 0x8000;       // needs an edit view

inline constexpr uint32_t kPropComputed = 0xff;  // word index of a computed property
inline constexpr int kPropCount = 172;
inline constexpr int kObjTypeCount = 20;  // object types 0..19

struct PropertyRecord {
  uint8_t id;
  uint32_t word;  // 0..25, or kPropComputed
  uint32_t flags;
  uint32_t mask;       // of the field within the word
  uint32_t shift;      // of the field's lowest bit
  uint32_t type_mask;  // bit t - 1 for object type t
  PropAccessor getter;
  PropAccessor setter;
  std::string_view name;  // what the property means to a macro
};

namespace prop_rows {

// Type masks.
template <int... t>
inline constexpr uint32_t T = ((1u << (t - 1)) | ...);
inline constexpr uint32_t kAll19 = (1u << 19) - 1;
inline constexpr uint32_t kAll17 = (1u << 17) - 1;
inline constexpr uint32_t kNo15 = kAll17 & ~(1u << 14);  // all but the image
inline constexpr uint32_t k2to17 = kAll17 & ~1u;

constexpr uint32_t R = kPropRead, W = kPropWrite, RW = R | W;
constexpr uint32_t g = kPropTplGet, gs = kPropTplGet | kPropTplSet;
constexpr uint32_t S = kPropString, V = kPropView, D = kPropDisplay;

// A bit field of bits lo..hi of word w.
constexpr PropertyRecord F(uint8_t id, uint32_t w, uint32_t lo, uint32_t hi, uint32_t flags, uint32_t types,
                           PropAccessor get, PropAccessor set, std::string_view name) {
  const uint32_t width = hi - lo + 1;
  const uint32_t mask = width == 32 ? 0xffffffffu : ((1u << width) - 1) << lo;
  return {id, w, flags, mask, lo, types, get, set, name};
}
// One bit.
constexpr PropertyRecord B(uint8_t id, uint32_t w, uint32_t bit, uint32_t flags, uint32_t types, PropAccessor get,
                           PropAccessor set, std::string_view name) {
  return F(id, w, bit, bit, flags, types, get, set, name);
}
// A whole word.
constexpr PropertyRecord Wd(uint8_t id, uint32_t w, uint32_t flags, uint32_t types, PropAccessor get, PropAccessor set,
                            std::string_view name) {
  return F(id, w, 0, 31, flags, types, get, set, name);
}
// Computed.
constexpr PropertyRecord C(uint8_t id, uint32_t flags, uint32_t types, PropAccessor get, PropAccessor set,
                           std::string_view name) {
  return {id, kPropComputed, flags, 0xffffffffu, 0, types, get, set, name};
}
// No property.
constexpr PropertyRecord E(uint8_t id) { return {id, 0, 0, 0, 0, 0, nullptr, nullptr, ""}; }

constexpr PropAccessor gi = prop_get_int_push, si = prop_set_from_int, sf = prop_set_flag;
constexpr PropAccessor gstr = prop_get_string_push, sstr = prop_set_string_value;

// clang-format off
// columns: id, storage, flags (access, template, value, needs), types, getter, setter, name
inline constexpr std::array<PropertyRecord, kPropCount> kRows = {{
    B(0, 0, 0, RW | gs, T<5, 15>, gi, sf, "command-flag"),
    B(1, 0, 1, RW | gs, T<5, 15>, gi, pa_set_default_button, "default"),
    B(2, 0, 2, RW | gs, kAll19, gi, pa_set_enabled, "enabled"),
    B(3, 0, 3, RW | gs, kAll17, gi, pa_set_font_flag, "font-bold"),
    B(4, 0, 4, RW | gs, kAll17, gi, pa_set_font_flag, "font-italic"),
    Wd(5, 23, RW | gs | kPropFontText, kAll17, pa_get_font_size, pa_set_font_size, "font-size"),
    B(6, 0, 5, RW | gs, kAll17, gi, pa_set_font_flag, "font-strikeout"),
    B(7, 0, 6, RW | gs, kAll17, gi, sf, "font-part-flag"),
    B(8, 0, 7, RW | gs, kAll17, gi, pa_set_font_flag, "font-underline"),
    B(9, 0, 8, RW | gs, T<1, 2>, gi, sf, "max-button"),
    B(10, 0, 9, RW | gs, T<1, 2>, gi, sf, "min-button"),
    B(11, 0, 10, RW | gs, kAll17, gi, pa_set_visible, "visible"),
    B(12, 0, 11, RW | gs, kAll17, gi, sf, "tab-stop"),
    B(13, 0, 12, RW | gs, T<1, 2>, gi, sf, "control-box"),
    B(14, 0, 20, RW | gs, kAll17, gi, pa_set_font_flag, "display-option"),
    F(15, 1, 12, 15, RW | gs, kAll17, gi, pa_set_style, "style"),
    F(16, 1, 4, 7, RW | gs, T<2, 3, 8, 9, 13, 14, 15>, gi, pa_set_border, "border-style"),
    F(17, 1, 0, 3, RW | gs, kNo15, gi, si, "draw-style"),
    F(18, 1, 8, 11, RW | gs, T<2, 9>, gi, pa_set_scroll_bars, "scroll-bars"),
    F(19, 1, 16, 19, RW | gs, T<2, 9>, pa_get_display_mode, pa_set_display_mode, "display-mode"),
    F(20, 2, 8, 15, RW | gs, kAll17, gi, si, "option-byte"),
    E(21),
    F(22, 1, 20, 23, RW | gs, T<4, 6, 8, 14>, gi, pa_set_recreate, "alignment"),
    F(23, 2, 0, 7, RW | gs | kPropStateText, kNo15, pa_get_window_state, pa_set_window_state, "window-state"),
    F(24, 2, 24, 31, RW | gs, kAll17, gi, pa_set_pointer, "mouse-pointer"),
    F(25, 4, 0, 15, RW | gs | S, kAll17, gstr, sstr, "tag"),
    F(26, 4, 16, 31, RW | gs | S, T<3, 12>, gstr, sstr, "text-tag"),
    F(27, 5, 0, 15, RW | gs | kPropMark1 | kPropMark2, kAll17, gi, pa_set_event_table, "event-table"),
    F(28, 5, 16, 31, RW | g | S, kAll17 | T<18>, pa_get_name, pa_set_name, "name"),
    F(29, 6, 0, 15, RW | gs | S, T<1, 2, 4, 5, 6, 7, 8, 15, 18, 19>, pa_get_caption, pa_set_caption, "caption"),
    F(30, 6, 16, 31, RW | gs | S, kAll17, gstr, pa_set_face_name, "font-name"),
    Wd(31, 10, RW | gs, kAll17, gi, pa_set_back_colour, "back-colour"),
    E(32),
    F(33, 3, 16, 23, RW | gs, kNo15, gi, si, "draw-mode"),
    F(34, 9, 0, 15, RW | gs, kNo15, gi, si, "draw-width"),
    Wd(35, 11, RW | gs, kNo15, gi, pa_set_repaint, "fore-colour"),
    Wd(36, 12, RW | gs, kAll17, pa_get_geometry, pa_set_geometry, "height"),
    E(37),
    F(38, 8, 16, 31, RW | gs, kAll17, gi, si, "tab-index"),
    Wd(39, 14, RW | gs, kAll17, pa_get_geometry, pa_set_geometry, "width"),
    Wd(40, 15, RW | gs, kAll17, pa_get_geometry, pa_set_geometry, "left"),
    Wd(41, 16, RW | gs, kAll17, pa_get_geometry, pa_set_geometry, "top"),
    Wd(42, 17, RW | gs, T<2, 4, 6, 9, 10, 11, 14, 15, 16, 17>, gi, pa_set_value, "value"),
    Wd(43, 18, R, T<1, 2>, gi, nullptr, "client-left-inset"),
    Wd(44, 19, R, T<1, 2>, gi, nullptr, "client-top-inset"),
    Wd(45, 20, R, T<1, 2>, gi, nullptr, "client-right-inset"),
    Wd(46, 21, R, T<1, 2>, gi, nullptr, "client-bottom-inset"),
    F(47, 1, 24, 27, RW | gs, kAll17, gi, pa_set_scale_mode, "scale-mode"),
    E(48), E(49), E(50), E(51),
    F(52, 7, 0, 15, RW | gs | S, T<3, 12>, pa_get_text, pa_set_text, "text"),
    F(53, 3, 8, 15, RW | gs, T<2, 3, 9, 12>, pa_get_edit_part_int, pa_set_text_layout, "design-size"),
    F(54, 7, 16, 31, RW | gs, T<2, 3, 9, 12>, pa_get_edit_part_int, pa_set_text_layout, "text-indent"),
    F(55, 8, 0, 15, RW | gs, T<2, 3, 9, 12>, pa_get_edit_part_int, pa_set_text_layout, "line-gap"),
    F(56, 18, 0, 15, RW | gs, T<3, 12>, pa_get_edit_part_int, pa_set_text_layout, "picture-indent"),
    F(57, 22, 0, 15, RW | gs | kPropMark1, T<2, 3, 9, 12, 14, 15>, pa_get_edit_part_int, pa_set_picture, "picture"),
    C(58, RW, T<12>, pa_get_mouse_part, pa_set_mouse_part, "mouse-part"),
    B(59, 0, 13, RW | gs, kAll17, gi, pa_set_font_flag, "stretch"),
    B(60, 0, 22, RW | gs, kAll17, gi, pa_set_font_flag, "font-flag"),
    B(61, 0, 15, RW | gs, T<3, 8, 9, 10, 11, 14, 15>, gi, pa_set_redraw_after, "auto-size"),
    C(62, R, T<12>, pa_get_arrow_part, nullptr, "arrow-part"),
    C(63, R, T<12>, pa_get_list_part, nullptr, "list-part"),
    C(64, R, T<12>, pa_get_edit_part, nullptr, "edit-part"),
    C(65, R, kAll17, pa_get_owner_combo, nullptr, "combo"),
    C(66, R | g, kAll19, pa_get_type, nullptr, "type"),
    C(67, R | g, kAll19, pa_get_first_child, nullptr, "first-child"),
    C(68, R | g, kAll19, pa_get_next_sibling, nullptr, "next-sibling"),
    B(69, 0, 17, RW | gs, T<2, 7, 14>, gi, pa_set_69, "own-paint"),
    B(70, 0, 18, RW | gs, T<8>, gi, pa_set_font_flag, "word-wrap"),
    C(71, R, T<5>, pa_get_shows_default, nullptr, "shows-default"),
    C(72, RW, kAll17, pa_get_design_mode, pa_set_design_mode, "design-mode"),
    C(73, RW, kAll17, pa_get_selected, pa_set_selected, "selected"),
    C(74, RW, kAll17, pa_get_design_changed, pa_set_design_changed, "design-changed"),
    F(75, 3, 24, 31, RW | gs, kNo15, gi, si, "fill-style"),
    F(76, 22, 16, 31, RW | gs | kPropMark1 | kPropMark2, kAll17, gi, pa_set_event_table, "event-table-2"),
    Wd(77, 18, RW | gs, T<10, 11, 16, 17>, gi, pa_set_range, "min"),
    Wd(78, 19, RW | gs, T<10, 11, 16, 17>, gi, pa_set_range, "max"),
    Wd(79, 20, RW | gs, T<10, 11>, gi, si, "small-change"),
    Wd(80, 21, RW | gs, T<10, 11>, gi, si, "large-change"),
    Wd(81, 21, RW | gs, T<17>, gi, si, "spin-number"),
    B(82, 0, 19, RW | gs, T<12>, gi, sf, "combo-option"),
    Wd(83, 18, RW | gs, T<14, 15>, gi, pa_set_redraw_after, "frames"),
    C(84, R, kAll17, pa_get_top_level, nullptr, "top-level"),
    C(85, R, T<2>, pa_get_template_handle, nullptr, "template"),
    F(86, 9, 16, 31, RW | gs | S, T<2, 3, 9, 12>, pa_get_combo_string, pa_set_combo_string, "list-string"),
    F(87, 1, 28, 31, RW | gs, T<14, 15>, gi, si, "picture-mode"),
    C(88, RW, T<2, 9>, pa_get_88, pa_set_88, "object-word"),
    B(89, 0, 21, RW | gs, T<2, 3, 12>, pa_get_combo_flag, pa_set_combo_flag, "text-option"),
    Wd(90, 20, RW | gs, T<17>, gi, si, "spin-step"),
    C(91, R, kAll17, pa_get_prev_sibling, nullptr, "prev-sibling"),
    F(92, 24, 0, 15, RW | gs | S, T<5, 14, 15, 19>, gstr, sstr, "command"),
    F(93, 24, 16, 31, RW | gs | S, T<14, 15, 18, 19>, gstr, sstr, "help-message"),
    F(94, 7, 0, 15, RW | gs | S, T<18, 19>, gstr, sstr, "categories"),
    B(95, 0, 1, R | g, T<19>, gi, nullptr, "checked"),
    E(96), E(97), E(98), E(99),
    C(100, RW, kAll17, pa_get_arrange_group, pa_set_arrange_group, "arrange-group"),
    C(101, RW, kAll17, pa_get_flags, pa_set_flags, "flags"),
    C(102, R | V, kAll17, pv_get_scroll_scale, nullptr, "scroll-scale"),
    C(103, RW, kAll17, pa_get_handle, pa_set_handle, "handle"),
    C(104, R | V, kAll17, pv_get_hoffset, nullptr, "h-offset"),
    C(105, RW | V, kAll17, pv_get_cursor_x, pv_set_cursor_x, "cursor-x"),
    C(106, RW | V, kAll17, pv_get_cursor_y, pv_set_cursor_y, "cursor-y"),
    C(107, RW | V | kPropDecimal, kAll17, pv_get_line, pv_set_line, "line"),
    C(108, R | V, kAll17, pv_get_line_count, nullptr, "line-count"),
    C(109, RW | V, kAll17, pv_get_column, pv_set_column, "column"),
    C(110, RW | V | S, kAll17, pv_get_buf_name, pv_set_buf_name, "buffer-name"),
    C(111, RW | V, kAll17, pv_get_modified, pv_set_modified, "modified"),
    C(112, RW | V, kAll17, pv_get_buf_handle, pv_set_buf_handle, "buffer"),
    C(113, RW | V | S, kAll17, pv_get_margins, pv_set_margins, "margins"),
    C(114, RW | V | S, kAll17, pv_get_tabs, pv_set_tabs, "tabs"),
    C(115, RW | V | S, kAll17, pv_get_mode_name, pv_set_mode_name, "mode-name"),
    C(116, R | V, kAll17, pv_get_record_len, nullptr, "record-length"),
    C(117, RW | V, kAll17, pv_get_wrap_byte, pv_set_wrap_byte, "wrap-options"),
    C(118, RW | V, kAll17, pv_get_tab_display, pv_set_tab_display, "tabs-shown"),
    C(119, RW | V, kAll17, pv_get_indent_tabs, pv_set_indent_tabs, "indent-tabs"),
    C(120, RW | V, kAll17, pv_get_buf_flags, pv_set_buf_flags, "buffer-flags"),
    C(121, R | V | S, kAll17, pv_get_eol, nullptr, "eol"),
    C(122, RW | V, kAll17, pv_get_undo_limit, pv_set_undo_limit, "undo-limit"),
    C(123, RW | V, kAll17, pv_get_user_word, pv_set_user_word, "buffer-word"),
    C(124, R | V, kAll17, pv_get_byte_count, nullptr, "byte-count"),
    C(125, R | D, kAll17, pv_get_rows, nullptr, "rows"),
    C(126, R | D, kAll17, pv_get_columns, nullptr, "columns"),
    C(127, R | V, kAll17, pv_get_vscroll_max, nullptr, "v-scroll-max"),
    C(128, R | V, kAll17, pv_get_hscroll_max, nullptr, "h-scroll-max"),
    C(129, R | D, kAll17, pv_get_line_height, nullptr, "line-height"),
    C(130, R | D, kAll17, pv_get_char_width, nullptr, "char-width"),
    C(131, R, kNo15, pa_get_client_height, nullptr, "client-height"),
    C(132, R, kNo15, pa_get_client_width, nullptr, "client-width"),
    C(133, RW | V, kAll17, pv_get_layout_rect, pv_set_layout_rect, "layout-x"),
    C(134, RW | V, kAll17, pv_get_layout_rect, pv_set_layout_rect, "layout-y"),
    C(135, RW | V, kAll17, pv_get_layout_rect, pv_set_layout_rect, "layout-width"),
    C(136, RW | V, kAll17, pv_get_layout_rect, pv_set_layout_rect, "layout-height"),
    C(137, RW | V, kAll17, pv_get_key_handler, pv_set_key_handler, "key-handler"),
    C(138, RW, T<3, 12>, pa_get_sel_length, pa_set_sel_length, "sel-length"),
    C(139, RW, T<3, 12>, pa_get_sel_start, pa_set_sel_start, "sel-start"),
    E(140), E(141),
    C(142, R, kAll17, pa_get_parent, nullptr, "parent"),
    C(143, R, kAll17, pa_get_child_of_frame, nullptr, "in-frame"),
    C(144, R | D, kAll17, pv_get_widths, nullptr, "display-widths"),
    C(145, R | D, kAll17, pv_get_fixed_pitch, nullptr, "fixed-pitch"),
    C(146, RW | V, kAll17, pv_get_cursor_row, pv_set_cursor_row, "cursor-row"),
    C(147, RW | V, kAll17, pv_get_scroll_point, pv_set_scroll_point, "scroll-point"),
    C(148, RW | V | S, kAll17, pv_get_char_table, pv_set_char_table, "char-table"),
    C(149, RW, k2to17, pa_get_design_visible, pa_set_design_visible, "design-visible"),
    C(150, R, kAll17, pa_get_modal_level, nullptr, "modal-level"),
    E(151),
    C(152, RW | S, kAll17, pa_get_free_string, pa_set_free_string, "user-string-1"),
    C(153, RW | S, kAll17, pa_get_free_string, pa_set_free_string, "user-string-2"),
    C(154, RW, T<2, 9>, pa_get_154, pa_set_154, "byte-option"),
    C(155, RW, kAll17, pa_get_window_id, pa_set_window_id, "window-id"),
    C(156, RW | V, kAll17, pv_get_user_byte, pv_set_user_byte, "buffer-byte"),
    C(157, RW | V, kAll17, pv_get_buf_event_table, pv_set_buf_event_table, "buffer-event-table"),
    C(158, R, kAll17, pa_get_container_scale, nullptr, "container-scale"),
    C(159, R, kAll17, pa_get_container, nullptr, "container"),
    C(160, RW, T<1>, pa_get_last_mdi_form, pa_set_last_mdi_form, "last-mdi-form"),
    C(161, R, kAll17, pa_get_mdi_form, nullptr, "mdi-form"),
    F(162, 25, 0, 15, RW | gs | S, kAll19, gstr, sstr, "help-command"),
    C(163, R, T<1, 2>, pa_get_menu, nullptr, "menu"),
    C(164, RW | V | S, kAll17, pv_get_file_date, pv_set_file_date, "file-date"),
    C(165, RW, kAll17, pa_get_redraw_on, pa_set_redraw_on, "redraw-on"),
    C(166, RW | V | S, kAll17, pv_get_word_chars, pv_set_word_chars, "word-chars"),
    C(167, RW | V | S, kAll17, pv_get_lexer, pv_set_lexer, "lexer"),
    C(168, RW | V | S, kAll17, pv_get_second_string, pv_set_second_string, "buffer-string"),
    C(169, RW | V, kAll17, pv_get_display_byte, pv_set_display_byte, "buffer-display-byte"),
    C(170, R | kPropDecimal, kAll17, pa_get_inner_window, nullptr, "inner-window"),
    C(171, R | kPropDecimal, kAll17, pa_get_outer_window, nullptr, "outer-window"),
}};
// clang-format on

}  // namespace prop_rows

inline constexpr const std::array<PropertyRecord, kPropCount>& kPropertyTable = prop_rows::kRows;

// The row of an id (ids past the table give the empty row of id 21).
constexpr const PropertyRecord& prop_record(uint32_t id) { return kPropertyTable[id < kPropCount ? id : 21]; }

// The type bit of object type t (0 for type 0 and anything past 19).
constexpr uint32_t obj_type_bit(uint32_t type) { return type >= 1 && type <= 19 ? 1u << (type - 1) : 0; }

// The id of a property name, or -1.
constexpr int prop_find_name(std::string_view name) {
  for (const auto& r : kPropertyTable)
    if (!r.name.empty() && r.name == name) return r.id;
  return -1;
}

// ---- packed fields ----

// (word & mask) >> shift, unsigned; a whole word as it is.
constexpr uint32_t prop_get_field(const PropertyBlock& b, uint32_t id) {
  const PropertyRecord& r = prop_record(id);
  if (r.word >= kPropWords) return 0;
  return (b.words[r.word] & r.mask) >> (r.shift & 31);
}
// Stores value << shift within the mask; a value wider than its field is
// cut. Returns the bits stored. Computed ids change nothing.
constexpr uint32_t prop_set_field(PropertyBlock& b, uint32_t id, uint32_t value) {
  const PropertyRecord& r = prop_record(id);
  if (r.word >= kPropWords) return 0;
  const uint32_t bits = (value << (r.shift & 31)) & r.mask;
  b.words[r.word] = (b.words[r.word] & ~r.mask) | bits;
  return bits;
}
// The field read as the macro sees a number: a whole word signed, a
// narrower field unsigned.
constexpr int32_t prop_field_value(const PropertyBlock& b, uint32_t id) {
  return static_cast<int32_t>(prop_get_field(b, id));
}

// ---- compile-time checks ----

namespace prop_checks {

constexpr bool dense() {
  for (int i = 0; i < kPropCount; ++i)
    if (kPropertyTable[i].id != i) return false;
  return true;
}

constexpr bool access_matches_accessors() {
  for (const auto& r : kPropertyTable) {
    if (((r.flags & kPropRead) != 0) != (r.getter != nullptr)) return false;
    if (((r.flags & kPropWrite) != 0) != (r.setter != nullptr)) return false;
    // A template may only be read or set where a live object may.
    if ((r.flags & kPropTplGet) && !(r.flags & kPropRead)) return false;
    if ((r.flags & kPropTplSet) && !(r.flags & kPropWrite)) return false;
  }
  return true;
}

constexpr bool storage_well_formed() {
  for (const auto& r : kPropertyTable) {
    if (r.type_mask == 0) {  // an empty row is all zero
      if (r.word || r.flags || r.mask || r.shift || r.getter || r.setter) return false;
      continue;
    }
    if (r.type_mask >> 19) return false;
    if (r.word == kPropComputed) {
      if (r.flags & (kPropTplSet)) return false;  // nothing stored, nothing for a template
      continue;
    }
    if (r.word >= 26 || r.mask == 0 || ((r.mask >> r.shift) << r.shift) != r.mask) return false;
  }
  return true;
}

constexpr bool no_shared_fields() {
  for (uint32_t t = 1; t <= 19; ++t) {
    std::array<uint32_t, kPropWords> used{};
    for (const auto& r : kPropertyTable) {
      if (!(r.type_mask & obj_type_bit(t)) || r.word >= kPropWords) continue;
      if (used[r.word] & r.mask) return false;
      used[r.word] |= r.mask;
    }
  }
  return true;
}

constexpr bool names_unique() {
  for (int i = 0; i < kPropCount; ++i)
    for (int j = i + 1; j < kPropCount; ++j)
      if (!kPropertyTable[i].name.empty() && kPropertyTable[i].name == kPropertyTable[j].name) return false;
  return true;
}

}  // namespace prop_checks

static_assert(prop_checks::dense(), "rows must list ids 0..171 in order");
// The sanitizer build cannot compare function addresses at compile time;
// the unit tests check the same rules there.
#ifndef __SANITIZE_ADDRESS__
static_assert(prop_checks::access_matches_accessors(), "readable/writable flags must match the accessors");
static_assert(prop_checks::storage_well_formed());
#endif
static_assert(prop_checks::no_shared_fields(), "an object type accepts two properties of one field");
static_assert(prop_checks::names_unique());
