// Built-ins on window objects and the display that need no native window:
// units and screen metrics, object lookup, the window rectangle, and the
// constant answers of this platform.
#include <algorithm>
#include <string>

#include "display/refresh.h"
#include "forms/bi_objects.h"
#include "forms/ctl_common.h"
#include "forms/ctl_props.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/obj_window_ctl.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "forms/timers.h"
#include "forms/view_metrics.h"
#include "forms/view_port.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/form_port.h"
#include "macro/interp.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/cursor.h"

namespace {

// Converts the variables of a group in place by `f`.
void convert_vars(int32_t (*fx)(int32_t, int32_t), int32_t (*fy)(int32_t, int32_t)) {
  uint32_t vars[2] = {};
  int32_t nv = 0;
  if (!bi_var_group(1, 2, vars, &nv)) return (void)(core_have(1) && (vm_pop(), true));
  int32_t unit = 0;
  if (vm_pop_int(&unit) != 0) return;
  for (int32_t i = 0; i < nv; ++i) {
    LStrLine v;
    v.assign(lstr_view(var_value(vars[i])));
    int32_t x = 0;
    if (val_to_int(v.ls(), &x) != 0) return;
    var_store_int(vars[i], i == 0 ? fx(unit, x) : fy(unit, x));
  }
}

// The current object's rectangle in its unit: the live window when it has
// one, else the block.
void object_rect(WindowObject* o, int32_t r[4]) {
  int32_t px[4];
  if (native_ops(o).get_rect(o, px)) {
    const int32_t unit = obj_container_unit(o, kContainerScale);
    r[0] = ctl_pixels_to_twips_x(unit, px[0]), r[1] = ctl_pixels_to_twips_y(unit, px[1]);
    r[2] = ctl_pixels_to_twips_x(unit, px[2]), r[3] = ctl_pixels_to_twips_y(unit, px[3]);
    return;
  }
  r[0] = prop_field_value(o->props, 40), r[1] = prop_field_value(o->props, 41);
  r[2] = prop_field_value(o->props, 39), r[3] = prop_field_value(o->props, 36);
}

}  // namespace

void bi_twips_per_pixel_x() { vm_push_int(screen_metrics().twips_x); }
void bi_twips_per_pixel_y() { vm_push_int(screen_metrics().twips_y); }
void bi_display_width() { vm_push_int(screen_metrics().width); }
void bi_display_height() { vm_push_int(screen_metrics().height); }
void bi_pixels_per_inch() { vm_push_int(screen_metrics().ppi); }
void bi_elapsed_ms() { bi_push_int64(static_cast<uint32_t>(obj_timers_now() - screen_metrics().start_ms)); }
void bi_twips_to_pixels() { convert_vars(ctl_twips_to_pixels_x, ctl_twips_to_pixels_y); }
void bi_pixels_to_twips() { convert_vars(ctl_pixels_to_twips_x, ctl_pixels_to_twips_y); }

// Main 234: [option CNR], variables x y width height [icon x icon y].
void bi_get_window_rect() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  uint32_t vars[6] = {};
  int32_t nv = 0;
  if (!bi_var_group(4, 6, vars, &nv)) return core_drop(n);
  char option = 'C';
  if (n == 1 && !bi_arg_letter(n, 0, "CNR", &option)) return;
  core_drop(n);
  WindowObject* o = window_current();
  if (!o) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  int32_t r[4];
  const bool frame_like = o == obj_frame_object() || obj_is_frame_child(o);
  if (frame_like && option != 'C' && (o->layout_rect[2] || o->layout_rect[3]))
    std::copy(o->layout_rect, o->layout_rect + 4, r);
  else
    object_rect(o, r);
  for (int32_t i = 0; i < 4; ++i) var_store_int(vars[i], r[i]);
  for (int32_t i = 4; i < nv; ++i) var_store_int(vars[i], 0);  // no saved icon position here
}

// Main 235: x y width height [option CN [icon x [icon y]]]; rc.
void bi_move_window() {
  int32_t n = 0;
  if (!bi_count(4, 7, &n)) return;
  int32_t r[4];
  for (int32_t i = 0; i < 4; ++i)
    if (!bi_arg_int(n, i, &r[i])) return;
  char option = 'C';
  if (n >= 5 && !bi_arg_letter(n, 4, "CN", &option)) return;
  WindowObject* o = window_current();
  if (!o || o == obj_command_line()) return bi_fail(n, ERR_NOT_ALLOWED_ON_OBJECT, true);
  if (obj_is_frame_child(o) && option != 'N') {
    const char state = native_ops(o).get_state(o);
    if (state && state != 'N') return bi_fail(n);
  }
  core_drop(n);
  const char state = native_ops(o).get_state(o);
  if (!(option == 'N' && state && state != 'N')) {
    prop_set_field(o->props, 40, static_cast<uint32_t>(r[0]));
    prop_set_field(o->props, 41, static_cast<uint32_t>(r[1]));
    prop_set_field(o->props, 39, static_cast<uint32_t>(r[2]));
    prop_set_field(o->props, 36, static_cast<uint32_t>(r[3]));
    int32_t px[4];
    if (native_ops(o).get_rect(o, px)) {
      const int32_t unit = obj_container_unit(o, kContainerScale);
      px[0] = ctl_twips_to_pixels_x(unit, r[0]), px[1] = ctl_twips_to_pixels_y(unit, r[1]);
      px[2] = ctl_twips_to_pixels_x(unit, r[2]), px[3] = ctl_twips_to_pixels_y(unit, r[3]);
      native_ops(o).set_rect(o, px);
    }
  }
  std::copy(r, r + 4, o->layout_rect);
  vm_set_rc(0);
}

// Main 139 / 140: column -> x, x -> column on the cursor line. Text
// boxes (a combo box: its edit part) answer through their field.
namespace {
WindowObject* text_box_of(WindowObject* o) {
  if (o && o->type == kObjCombo) o = obj_get(o->edit_part);
  if (o && obj_is_part(o) && o->type != kObjText) o = nullptr;
  return o && o->type == kObjText ? o : nullptr;
}
}  // namespace

void bi_col_to_x() {
  int32_t col = 0;
  if (vm_pop_int(&col) != 0) return;
  WindowObject* o = window_current();
  if (WindowObject* t = text_box_of(o)) return (void)vm_push_int(ctl_text_col_to_x(t, col - 1, kColToX) - 1);
  if (!o || o->line_height <= 0) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_push_int(std::max(col - 1, 0) * view_char_width(o) - view_h_offset(o));
}
void bi_x_to_col() {
  int32_t x = 0;
  if (vm_pop_int(&x) != 0) return;
  WindowObject* o = window_current();
  if (WindowObject* t = text_box_of(o)) return (void)vm_push_int(ctl_text_col_to_x(t, x, kXToCol));
  if (!o || o->line_height <= 0) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_push_int(view_column_at_x(o, x + view_h_offset(o)) + 1);
}

// Ext 169: name -> id of that control in the current object's free form.
void bi_find_object() {
  const std::string name(lstr_view(vm_top()));
  vm_pop();
  const int32_t id = form_find_control_by_name(name, static_cast<uint8_t>(obj_name_hash(name)), 0);
  if (id < 0) vm_raise_error(id);
  vm_push_int(id > 0 ? id : 0);
}

// Ext 166: template handle [option EN] -> the first form made from it.
void bi_find_form_instance() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t handle = 0;
  if (!bi_arg_int(n, 0, &handle)) return;
  char option = 0;
  if (n == 2 && !bi_arg_letter(n, 1, "EN", &option)) return;
  core_drop(n);
  const int32_t tpl = static_cast<int32_t>(static_cast<uint32_t>(handle) >> kHandleTemplateShift);
  if (tpl == 0) return (void)vm_push_int(0);
  for (int32_t id = 1; id <= obj_last_id(); ++id) {
    WindowObject* o = obj_get(id);
    if (!o || o->type != kObjForm || o->template_index != tpl) continue;
    if ((option == 'E' && !o->design_mode) || (option == 'N' && o->design_mode)) continue;
    return (void)vm_push_int(id);
  }
  vm_push_int(0);
}

// Constant answers of this platform.
void bi_noop_ext139() {
  int32_t n = 0;
  if (bi_count(0, 3, &n)) core_drop(n);
}
void bi_empty_string_ext111() { vm_push_bytes("", 0); }
void bi_const3_ext151() {
  vm_pop();
  vm_push_int(3);
}
void bi_get_byte_setting_ext194() { vm_push_int(0); }
void bi_reserved() { vm_raise_error(ERR_ILLEGAL_OPCODE); }
// Ext 150: no drives on this platform, so nothing is inserted.
void bi_insert_drive_list() {
  if (!bi_need_view()) return;
  vm_set_rc(0);
}

// ---- built-ins that act through the window system ----

namespace {

int32_t g_focus_depth = 0;
constexpr int32_t kFocusDepthLimit = 20;

// The current object a built-in acts on (a combo box's part gives the combo).
WindowObject* target() { return obj_owner_or_self(window_current()); }
bool frame_or_form(const WindowObject* o) { return o && (o == obj_frame_object() || o->type == kObjForm); }

// Pixels to the object's own unit (its scale mode) and back.
int32_t own_unit(const WindowObject* o) { return prop_field_value(o->props, 47); }
int32_t px_to_unit_x(const WindowObject* o, int32_t v) { return ctl_pixels_to_twips_x(own_unit(o), v); }
int32_t px_to_unit_y(const WindowObject* o, int32_t v) { return ctl_pixels_to_twips_y(own_unit(o), v); }

}  // namespace

int32_t obj_pointer_system_id(int32_t id) {
  // index: pointer id 0..11 -> system pointer
  static constexpr int32_t kPointers[] = {1, 1, 5, 2, 10, 4, 7, 9, 6, 8, 1, 3};
  if (id == 255) return 36;  // the custom pointer's glyph
  return id >= 0 && id <= 11 ? kPointers[id] : -1;
}

uint32_t sc_to_command(int32_t code) {
  struct Row {
    int32_t code;
    uint32_t command;
  };
  // columns: system-menu code, the editor's system command
  static constexpr Row kRows[] = {{0xF000, 16388}, {0xF010, 16389}, {0xF020, 16385}, {0xF030, 16386}, {0xF040, 16390},
                                  {0xF050, 24582}, {0xF060, 16391}, {0xF120, 16387}, {0xF130, 16392}};
  for (const Row& r : kRows)
    if (r.code == code) return r.command;
  return 1;
}

// Ext 225: id: 0 to the top, -1 to the bottom, else behind that object.
void bi_set_zorder() {
  int32_t id = 0;
  if (vm_pop_int(&id) != 0) return;
  WindowObject* o = target();
  if (!o || o->type == kObjImage) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  if (id == 0 || id == -1) return obj_set_zorder(o, id, nullptr);
  WindowObject* behind = obj_get(id);
  if (!behind) return vm_raise_error(ERR_INVALID_ARGUMENT);
  obj_set_zorder(o, 1, behind);
}

// Ext 119: system-menu code, run on the frame object or a form.
void bi_system_command() {
  int32_t code = 0;
  if (vm_pop_int(&code) != 0) return;
  WindowObject* o = target();
  if (!frame_or_form(o)) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  if (const uint32_t cmd = sc_to_command(code); cmd != 1) obj_system_command(o, cmd);
}

// Ext 178: code text: the text of that system-menu item; rc 0.
void bi_set_system_menu_text() {
  const std::string text(lstr_view(vm_top()));
  vm_pop();
  int32_t code = 0;
  if (vm_pop_int(&code) != 0) return;
  WindowObject* o = target();
  if (!frame_or_form(o)) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  const uint32_t cmd = sc_to_command(code);
  if (cmd == 1) return vm_raise_error(ERR_INVALID_ARGUMENT);
  obj_set_system_menu_text(o, cmd, text);
  vm_set_rc(0);
}

// Ext 223: key: opens the menu-bar item of its mnemonic (Alt+c is 261 + c).
void bi_menu_mnemonic() {
  int32_t key = 0;
  if (vm_pop_int(&key) != 0) return;
  WindowObject* o = target();
  if (!frame_or_form(o)) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  const char c = static_cast<char>((key & 0xFF) - 5);
  // The frame's MDI children use the frame's menu bar.
  obj_menu_mnemonic(obj_is_frame_child(o) ? obj_frame_object() : o, c);
}

// Ext 206: the focus to the current object, its focus events delivered.
void bi_focus_current() {
  if (vm_check_break() != ERR_OK) return;
  if (g_focus_depth >= kFocusDepthLimit) return;
  ++g_focus_depth;
  WindowObject* o = window_current();
  FocusEvents& f = focus_events();
  const bool deferred = f.deferred;
  const int32_t quiet = f.quiet;
  f.deferred = true, f.quiet = 2;
  if (o) obj_set_native_focus(o);
  ctl_deliver_focus_events();
  f.deferred = deferred, f.quiet = quiet;
  if (o && window_current() != o && obj_get(o->handle) == o) window_set_current(o, 0);
  --g_focus_depth;
}

// Ext 207: -> the id of the object whose window has the focus.
void bi_focus_window_id() { vm_push_int(obj_focus_id()); }

// Ext 191: [name [text]]: activates the current object's frame.
void bi_activate_window_by_name() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  core_drop(n);
  if (n > 0) return vm_set_rc(ERR_STRING_NOT_FOUND);  // no window is found by name here
  WindowObject* o = target();
  if (!frame_or_form(o)) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_set_rc(obj_activate(o));
}

// Ext 200: id: the pointer shape of all windows (ids from 12 ignored).
void bi_set_mouse_pointer() {
  int32_t id = 0;
  if (vm_pop_int(&id) != 0) return;
  if (id >= 0 && id <= 11) obj_set_pointer_all(id);
}

// Ext 115 / 116: the mouse capture for the current object's window.
void bi_set_capture() {
  WindowObject* o = window_current();
  if (o && !o->frame_window && o->type == kObjImage) o = obj_top_level(o);
  if (o) obj_capture(o);
}
void bi_release_capture() { obj_capture(nullptr); }

// Ext 101: from to [unit], variables x [y]: a point from one object's
// client coordinates to another's (0: the screen).
void bi_map_window_points() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  uint32_t vars[2] = {};
  int32_t nv = 0;
  if (!bi_var_group(1, 2, vars, &nv)) return core_drop(n);
  int32_t from_id = 0, to_id = 0, unit = kScalePixels;
  if (!bi_arg_int(n, 0, &from_id) || !bi_arg_int(n, 1, &to_id)) return;
  if (n == 3 && !bi_arg_int(n, 2, &unit)) return;
  WindowObject* from = from_id ? obj_get(from_id) : nullptr;
  WindowObject* to = to_id ? obj_get(to_id) : nullptr;
  if ((from_id && !from) || (to_id && !to)) return bi_fail(n);
  core_drop(n);
  int32_t v[2] = {0, 0};
  for (int32_t i = 0; i < nv; ++i) {
    LStrLine t;
    t.assign(lstr_view(var_value(vars[i])));
    if (val_to_int(t.ls(), &v[i]) != 0) return;
  }
  int32_t x = ctl_twips_to_pixels_x(unit, v[0]), y = ctl_twips_to_pixels_y(unit, v[1]);
  obj_map_point(from, to, &x, &y);
  var_store_int(vars[0], ctl_pixels_to_twips_x(unit, x));
  if (nv == 2) var_store_int(vars[1], ctl_pixels_to_twips_y(unit, y));
}

// Ext 171: text -> its width in the current object's font and unit.
void bi_text_width() {
  const std::string text(lstr_view(vm_top()));
  vm_pop();
  WindowObject* o = target();
  if (!o) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_push_int(px_to_unit_x(o, obj_text_width(o, text)));
}

// Ext 172: -> the height of the current object's font in its unit.
void bi_font_height() {
  WindowObject* o = target();
  if (!o) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_push_int(px_to_unit_y(o, obj_font_height(o)));
}

// Ext 174: -> the width of the widest line of the object's view.
void bi_widest_line_width() {
  WindowObject* o = target();
  if (!o || !o->view || !o->view->buffer) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  line_flush_current();
  BufferRec* b = o->view->buffer;
  PosRecord p{};
  pos_top(&p, b);
  int32_t widest = 0;
  bool any = false;
  while (pos_next_line(&p, b) == 0) {
    any = true;
    widest = std::max(widest, obj_text_width(o, line_get_string(&p, b)));
  }
  if (!any) return (void)vm_push_bytes("", 0);
  vm_push_int(px_to_unit_x(o, widest));
}

// Ext 164: marks the object's view changed.
void bi_mark_window_changed() {
  WindowObject* o = target();
  if (!o || !o->view) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  obj_mark_changed_band(o);
}

// Ext 163: index [value] -> the tab stop of the object's text display, set
// first when given. Widths are in the object's unit (index -1 is the
// option byte, -2 drops the table). Only editor windows draw through a text
// display; any other object is refused.
void bi_ctl_tab_stops() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t index = 0, value = 0;
  if (!bi_arg_int(n, 0, &index)) return;
  if (n == 2 && !bi_arg_int(n, 1, &value)) return;
  WindowObject* o = window_current();
  EditorDisplay* ed = o && o->view ? view_editor_display(o) : nullptr;
  if (!ed) return bi_fail(n, ERR_NOT_ALLOWED_ON_OBJECT, true);
  core_drop(n);
  TextDisplay* d = &ed->disp;
  const int32_t unit = obj_container_unit(o, kContainerScale);
  if (n == 2) {
    disp_set_tab_stop(d, index, index >= 0 ? ctl_twips_to_pixels_x(unit, value) : value);
    if (o->view->buffer) o->view->buffer->redraw = 1;
    obj_repaint_client(o);
  }
  const int32_t stop = disp_get_tab_stop(d, index);
  if (index == -2) obj_repaint_client(o);
  vm_push_int(index >= 0 ? ctl_pixels_to_twips_x(unit, stop) : stop);
}

// Ext 141: x1 y1 x2 y2 [colour [option NE]]: a rectangle outline.
void bi_draw_shape() {
  int32_t n = 0;
  if (!bi_count(4, 6, &n)) return;
  int32_t c[4];
  for (int32_t i = 0; i < 4; ++i)
    if (!bi_arg_int(n, i, &c[i])) return;
  WindowObject* o = target();
  int32_t colour = o ? prop_field_value(o->props, 35) : 0;
  if (n >= 5 && !bi_arg_int(n, 4, &colour)) return;
  char option = 'N';
  if (n == 6 && !bi_arg_letter(n, 5, "NE", &option)) return;
  if (!o || o->type == kObjImage) return bi_fail(n, ERR_NOT_ALLOWED_ON_OBJECT, true);
  core_drop(n);
  const int32_t unit = own_unit(o);
  int32_t r[4] = {ctl_twips_to_pixels_x(unit, std::min(c[0], c[2])), ctl_twips_to_pixels_y(unit, std::min(c[1], c[3])),
                  ctl_twips_to_pixels_x(unit, std::max(c[0], c[2])), ctl_twips_to_pixels_y(unit, std::max(c[1], c[3]))};
  ShapePen pen;
  pen.style = prop_field_value(o->props, 17);
  pen.width = prop_field_value(o->props, 34);
  pen.mode = prop_field_value(o->props, 33);
  obj_draw_rect(o, r, ctl_colour(static_cast<uint32_t>(colour)), option == 'E', pen);
}
