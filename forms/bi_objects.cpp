// Built-ins on window objects and the display that need no native window:
// units and screen metrics, object lookup, the window rectangle, and the
// constant answers of this platform.
#include <algorithm>
#include <string>

#include "forms/bi_objects.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "forms/timers.h"
#include "forms/view_seam.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/stack.h"

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
  if (native_ops().get_rect(o, px)) {
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
void bi_elapsed_ms() { bi_push_int64(static_cast<uint32_t>(timer_ops().now() - screen_metrics().start_ms)); }
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
    const char state = native_ops().get_state(o);
    if (state && state != 'N') return bi_fail(n);
  }
  core_drop(n);
  const char state = native_ops().get_state(o);
  if (!(option == 'N' && state && state != 'N')) {
    prop_set_field(o->props, 40, static_cast<uint32_t>(r[0]));
    prop_set_field(o->props, 41, static_cast<uint32_t>(r[1]));
    prop_set_field(o->props, 39, static_cast<uint32_t>(r[2]));
    prop_set_field(o->props, 36, static_cast<uint32_t>(r[3]));
    int32_t px[4];
    if (native_ops().get_rect(o, px)) {
      const int32_t unit = obj_container_unit(o, kContainerScale);
      px[0] = ctl_twips_to_pixels_x(unit, r[0]), px[1] = ctl_twips_to_pixels_y(unit, r[1]);
      px[2] = ctl_twips_to_pixels_x(unit, r[2]), px[3] = ctl_twips_to_pixels_y(unit, r[3]);
      native_ops().set_rect(o, px);
    }
  }
  std::copy(r, r + 4, o->layout_rect);
  vm_set_rc(0);
}

// Main 139 / 140: column -> x, x -> column on the cursor line.
void bi_col_to_x() {
  int32_t col = 0;
  if (vm_pop_int(&col) != 0) return;
  WindowObject* o = window_current();
  if (!o || o->line_height <= 0) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_push_int(std::max(col - 1, 0) * view_display_ops().char_width(o) - view_display_ops().h_offset(o));
}
void bi_x_to_col() {
  int32_t x = 0;
  if (vm_pop_int(&x) != 0) return;
  WindowObject* o = window_current();
  if (!o || o->line_height <= 0) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_push_int(view_display_ops().column_at_x(o, x + view_display_ops().h_offset(o)) + 1);
}

// Ext 169: name -> id of that control in the current object's free form.
void bi_find_object() {
  std::string name(lstr_view(vm_top()));
  vm_pop();
  std::replace(name.begin(), name.end(), '_', '-');
  WindowObject* top = obj_top_level(window_current());
  WindowObject* frame = obj_frame_object();
  if (!top || top->type != kObjForm || (frame && top->parent == frame) || top->mdi_form) return (void)vm_push_int(0);
  struct Find {
    std::string name;
    WindowObject* top;
    int32_t id = 0;
  } f{name, top};
  obj_visit_preorder(
      top, &f,
      [](WindowObject* o, void* a) {
        auto* s = static_cast<Find*>(a);
        if (o == s->top || obj_is_part(o)) return 0;
        const std::string_view n = prop_block_string(o->props, 28);
        if (n.size() != s->name.size()) return 0;
        for (size_t i = 0; i < n.size(); ++i)
          if (std::toupper(static_cast<unsigned char>(n[i])) != std::toupper(static_cast<unsigned char>(s->name[i])))
            return 0;
        s->id = o->handle;
        return 1;
      },
      true);
  vm_push_int(f.id);
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
