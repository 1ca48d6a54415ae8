// The object property accessors: getters and setters of the bit-field ids
// and of the computed ids that concern the object itself.
//
// A setter checks its value first and refuses without storing anything;
// then it stores the value in the block (a template record gets only
// that) and, for a live object, makes the change visible through the
// native-window seam.
#include <algorithm>
#include <cstdio>
#include <string>

#include "forms/ctl_classes.h"
#include "forms/form_resource.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "forms/templates.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/event_tables.h"
#include "macro/stack.h"
#include "text/curline.h"

namespace {

PropDispatchState& S = prop_state;

WindowObject* live() { return S.obj; }
uint32_t field() { return prop_get_field(*S.block, S.id); }
void store(uint32_t v) { prop_set_field(*S.block, S.id, v); }
void store_num() { store(static_cast<uint32_t>(S.num)); }
bool is_flag() { return prop_record(S.id).mask >> prop_record(S.id).shift == 1; }
void store_flag_or_num() { is_flag() ? store(S.num != 0) : store_num(); }
void push_id(const WindowObject* o) { vm_push_int(o ? o->handle : 0); }
void push_string(std::string_view s) {
  const std::string copy(s);
  vm_push_bytes(copy.data(), static_cast<int32_t>(copy.size()));
}

void repaint(WindowObject* o) {
  if (o && (o->redraw_on || o->design_mode)) native_ops(o).repaint(o);
}
void relayout(WindowObject* o) {
  o = obj_owner_or_self(o);
  if (o && o->redraw_on) native_ops(o).relayout(o);
}
// New native windows after a change of style, alignment or similar.
void recreate(WindowObject* o) {
  if (!o->frame_window && !o->client_window) return;
  native_ops(o).destroy(o);
  native_ops(o).create(o);
}

bool frame_child(const WindowObject* o) { return obj_is_frame_child(o); }

// The block a combo box's part reads and writes: the owner's for a part.
PropertyBlock* owner_block() {
  if (live() && obj_is_part(live()))
    if (WindowObject* o = obj_get(live()->owner)) return &o->props;
  return S.block;
}
// The edit part's block for a combo box.
PropertyBlock* edit_part_block() {
  if (live() && live()->type == kObjCombo)
    if (WindowObject* e = obj_get(live()->edit_part)) return &e->props;
  return S.block;
}

}  // namespace

void pa_set_default_button() {
  store(S.num != 0);
  WindowObject* o = live();
  if (!o || S.num == 0) return;
  struct Arg {
    WindowObject* self;
  } a{o};
  obj_visit_preorder(
      obj_top_level(o), &a,
      [](WindowObject* c, void* p) {
        auto* arg = static_cast<Arg*>(p);
        if (c != arg->self && c->type == kObjCommand) {
          prop_set_field(c->props, 1, 0);
          if (!c->design_mode) c->shows_default = 0;
        }
        return 0;
      },
      true);
  if (!o->design_mode) o->shows_default = 1;
}

void pa_set_enabled() {
  WindowObject* o = live();
  if (o && o == obj_command_line()) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  store(S.num != 0);
  if (!o || o->design_mode) return;
  native_ops(o).enable(o, S.num != 0);
  if (S.num == 0) redraw_bits |= 4;
}

void pa_set_font_flag() {
  store_flag_or_num();
  if (live()) repaint(live()), relayout(live());
}

void pa_get_font_size() {
  const uint32_t v = field();
  if (v & 0x80000000u) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%ux%u", (v >> 16) & 0x7fff, v & 0xffff);
    return push_string(std::string_view(text, static_cast<size_t>(n)));
  }
  vm_push_int(static_cast<int32_t>(v));
}

namespace {
// One number of a "WxH" cell: blanks around digits, nothing else.
bool cell_number(std::string_view s, int32_t* out) {
  s = bi_strip_blanks(s);
  if (s.empty() || s.size() > 9) return false;
  int32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}
}  // namespace

void pa_set_font_size() {
  const std::string_view t = bi_strip_blanks(S.str.view());
  LStrLine l;
  l.assign(t);
  lstr_number_error = 0;
  int32_t v = lstr_to_long(l.ls());
  if (lstr_number_error) {
    const size_t x = t.find_first_of("xX");
    if (x == std::string_view::npos) return prop_refuse(ERR_INVALID_NUMBER_ARGUMENT);
    int32_t wv = 0, hv = 0;
    if (!cell_number(t.substr(0, x), &wv) || !cell_number(t.substr(x + 1), &hv))
      return prop_refuse(ERR_INVALID_NUMBER_ARGUMENT);
    v = static_cast<int32_t>(0x80000000u | ((static_cast<uint32_t>(wv) & 0x7fff) << 16) |
                             (static_cast<uint32_t>(hv) & 0xffff));
  }
  store(static_cast<uint32_t>(v));
  if (live()) repaint(live()), relayout(live());
}

void pa_set_visible() {
  WindowObject* o = live();
  if (o && ((o == obj_frame_object() && S.num == 0) || o == obj_command_line()))
    return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  store(S.num != 0);
  if (!o || (o->design_mode && S.num == 0)) return;
  native_ops(o).show(o, S.num != 0);
}

void pa_set_style() {
  WindowObject* o = live();
  if (o && frame_child(o)) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  const uint32_t old = field();
  store_num();
  if (!o) return;
  if (o->type == kObjCombo && old != field())
    recreate(o);
  else
    repaint(o);
}

void pa_set_border() {
  WindowObject* o = live();
  if (o && (frame_child(o) || o->mdi_form || o == obj_command_line())) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  const uint32_t old = field();
  store_num();
  if (o && old != field() && !(o->type == kObjForm && o->design_mode)) recreate(o);
}

void pa_set_scroll_bars() {
  store_num();
  if (live() && live()->view && live()->view->buffer) live()->view->buffer->redraw = 1;
}

// A live object keeps its display mode in the text engine's own field.
void pa_get_display_mode() { vm_push_int(live() ? live()->prop19 : static_cast<int32_t>(field())); }
void pa_set_display_mode() {
  store_num();
  WindowObject* o = live();
  if (!o) return;
  const int32_t old = o->prop19;
  o->prop19 = static_cast<int32_t>(field());
  if (o->prop19 != 3 && o->view && o->view->buffer) o->view->buffer->redraw = 1;
  if ((old == 3) != (o->prop19 == 3)) relayout(o), repaint(o);
}

void pa_set_recreate() {
  const uint32_t old = field();
  store_num();
  if (live() && old != field()) recreate(live());
}

void pa_get_window_state() {
  char c = static_cast<char>(field());
  if (live() && !live()->design_mode)
    if (const char n = native_ops(live()).get_state(live())) c = n;
  push_string(c ? std::string_view(&c, 1) : std::string_view());
}

void pa_set_window_state() {
  WindowObject* o = live();
  if (o && o->type != kObjFrame && o->type != kObjForm) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  char c = 0;
  if (val_option_letter(&c, "MINR", S.str.view()) != 0 || c == 0) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  if (o && !o->design_mode) native_ops(o).set_state(o, c);
  store(static_cast<uint8_t>(c));
  if (o) o->show_state = static_cast<uint8_t>(c == 'R' ? 'N' : c);
}

void pa_set_pointer() {
  if (!((S.num >= 0 && S.num <= 11) || S.num == 255)) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  store_num();
  if (live()) native_ops(live()).set_pointer(live(), S.num);
}

void pa_set_event_table() {
  const int32_t v = S.num < 0 ? -S.num : S.num;
  if (v != 0 && !evtab_is_table(v)) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  store(static_cast<uint32_t>(v));
}

void pa_get_name() {
  std::string n(live() ? prop_block_string(*S.block, 28) : tpl_string(*S.block, 28));
  std::replace(n.begin(), n.end(), '-', '_');
  push_string(n);
}

void pa_set_name() {
  std::string n(S.str.view());
  std::replace(n.begin(), n.end(), '_', '-');
  if (prop_block_set_string(*S.block, 28, n) != 0) return prop_refuse(ERR_NOT_ENOUGH_MEMORY);
  WindowObject* o = live();
  if (o && o->type != kObjForm)
    if (WindowObject* top = obj_top_level(o); top && top->name_index) {
      prop_assign_string_slot(&top->name_index, std::nullopt);
    }
}

void pa_get_caption() {
  if (live() == obj_frame_object() && live()) return push_string("");
  prop_get_string_push();
}

void pa_set_caption() {
  prop_set_string_value();
  if (WindowObject* o = live()) {
    const std::string_view c = prop_block_string(o->props, 29);
    native_ops(o).set_text(o, c.data(), static_cast<int32_t>(c.size()));
    repaint(o);
  }
}

void pa_set_face_name() {
  prop_set_string_value();
  if (live()) repaint(live()), relayout(live());
}

void pa_set_back_colour() {
  store_num();
  if (live()) live()->colour_set = 1, repaint(live());
}

void pa_set_repaint() {
  store_num();
  repaint(live());
}

// Geometry: a live window is authoritative, in the object's unit.
namespace {
int geo_index(uint32_t id) { return id == 40 ? 0 : id == 41 ? 1 : id == 39 ? 2 : 3; }
int32_t to_unit(int32_t unit, uint32_t id, int32_t px) {
  return (id == 40 || id == 39) ? ctl_pixels_to_twips_x(unit, px) : ctl_pixels_to_twips_y(unit, px);
}
int32_t to_px(int32_t unit, uint32_t id, int32_t v) {
  return (id == 40 || id == 39) ? ctl_twips_to_pixels_x(unit, v) : ctl_twips_to_pixels_y(unit, v);
}
}  // namespace

void pa_get_geometry() {
  int32_t r[4];
  if (live() && native_ops(live()).get_rect(live(), r))
    return (void)vm_push_int(to_unit(obj_container_unit(live(), kContainerScale), S.id, r[geo_index(S.id)]));
  prop_get_int_push();
}

void pa_set_geometry() {
  WindowObject* o = live();
  if (o && o == obj_command_line()) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  store_num();
  int32_t r[4];
  if (o && native_ops(o).get_rect(o, r)) {
    r[geo_index(S.id)] = to_px(obj_container_unit(o, kContainerScale), S.id, S.num);
    native_ops(o).set_rect(o, r);
  }
}

void pa_set_value() {
  WindowObject* o = live();
  int32_t v = S.num;
  if (S.block->type == kObjCheck && v >= 3) v = 1;
  prop_set_field(*S.block, S.id, static_cast<uint32_t>(v));
  if (!o) return;
  if (vm_check_break() != 0) return;  // the macro was broken off
  if (o->type == kObjGauge) repaint(o);
  obj_set_value(o, v);
}

void pa_set_scale_mode() {
  WindowObject* o = live();
  if (o && ((o->type != kObjForm && o->type != kObjPicture) || o == obj_command_line() || o == obj_frame_object() ||
            frame_child(o)))
    return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  const int32_t old = prop_field_value(*S.block, 47);
  store_num();
  if (!o) return;
  const int32_t now = prop_field_value(*S.block, 47);
  if (WindowObject* first = o->first_child) {
    WindowObject* c = first;
    do {
      for (uint32_t id : {40u, 41u, 39u, 36u}) {
        const int32_t px = to_px(old, id, prop_field_value(c->props, id));
        prop_set_field(c->props, id, static_cast<uint32_t>(to_unit(now, id, px)));
      }
      c = c->next;
    } while (c && c != first);
  }
}

// A text box with a window: its field holds the text being typed.
void pa_get_text() {
  if (WindowObject* o = live(); o && (o->type == kObjText || o->type == kObjCombo))
    return push_string(obj_text_value(o));
  prop_get_string_push();
}
void pa_set_text() {
  if (live() && vm_check_break() != 0) return;
  prop_set_string_value();
  if (WindowObject* o = live()) obj_show_text_value(o);
}

void pa_get_edit_part_int() {
  const PropertyBlock* b = edit_part_block();
  const uint32_t v = prop_get_field(*b, S.id);
  vm_push_int(static_cast<int32_t>(v));
}

void pa_set_text_layout() {
  prop_set_field(*edit_part_block(), S.id, static_cast<uint32_t>(S.num));
  if (live()) repaint(live()), relayout(live());
}

void pa_set_picture() {
  PropertyBlock* b = edit_part_block();
  const uint32_t old = prop_get_field(*b, 57);
  prop_set_field(*b, 57, static_cast<uint32_t>(S.num));
  WindowObject* o = live();
  if (!o) return;
  if (old != prop_get_field(*b, 57) || S.num == 0) {
    repaint(o);
  } else {
    // The same picture again: every object showing it is redrawn.
    for (int32_t id = 1; id <= obj_last_id(); ++id)
      if (WindowObject* w = obj_get(id);
          w && (w->type == 3 || w->type == 9 || w->type == 14 || w->type == 15) && prop_get_field(w->props, 57) == old)
        native_ops(w).repaint(w);
  }
}

void pa_get_mouse_part() { vm_push_int(live()->property58); }
void pa_set_mouse_part() { live()->property58 = S.num; }

void pa_set_redraw_after() {
  store_flag_or_num();
  repaint(live());
}

void pa_get_arrow_part() { vm_push_int(live()->owner); }
void pa_get_list_part() { vm_push_int(live()->list_part); }
void pa_get_edit_part() { vm_push_int(live()->edit_part); }

void pa_get_owner_combo() {
  WindowObject* o = live();
  if (o->type == kObjCombo) return push_id(o);
  WindowObject* c = o->owner ? obj_get(o->owner) : nullptr;
  push_id(c && c->type == kObjCombo ? c : nullptr);
}

void pa_get_type() { vm_push_int(S.block->type); }

namespace {
// The next sibling, 0 at the end of the parent's ring.
WindowObject* next_sibling(WindowObject* o) {
  WindowObject* first = o->parent ? o->parent->first_child : o;
  return o->next && o->next != first && o->next != o ? o->next : nullptr;
}
int64_t tpl_link(uint16_t control) {
  return control ? (static_cast<int64_t>(S.tpl_index) << kHandleTemplateShift) | control : 0;
}
}  // namespace

void pa_get_first_child() {
  if (!live()) return bi_push_int64(tpl_link(S.block->child));
  push_id(live()->first_child);
}

void pa_get_next_sibling() {
  if (!live()) return bi_push_int64(tpl_link(S.block->next));
  push_id(next_sibling(live()));
}

void pa_set_69() {
  WindowObject* o = live();
  if (o && !o->design_mode && (frame_child(o) || o->mdi_form)) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  const uint32_t old = field();
  store(S.num != 0);
  if (o && !o->design_mode && old != field()) recreate(o);
}

void pa_get_shows_default() { vm_push_int(live()->shows_default); }
void pa_get_design_mode() { vm_push_int(live()->design_mode); }

void pa_set_design_mode() {
  WindowObject* o = live();
  if ((S.num != 0) != (o->design_mode != 0) || (S.num != 0 && S.num != 1))
    return prop_refuse(ERR_INVALID_ARGUMENT, false);
  obj_tree_set_design_mode(o, static_cast<uint8_t>(S.num));
}

void pa_get_selected() { vm_push_int(live()->selected); }
void pa_set_selected() {
  WindowObject* o = live();
  if (o == obj_app_form() || o == obj_frame_object() || o == obj_command_line() || frame_child(o))
    return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  obj_owner_or_self(o)->selected = S.num != 0;
}

void pa_get_design_changed() { vm_push_int(obj_tree_design_changed(live()) ? 1 : 0); }
void pa_set_design_changed() { obj_tree_set_design_changed(live(), S.num != 0); }

void pa_set_range() {
  store_num();
  WindowObject* o = live();
  if (o && (o->type == kObjHScroll || o->type == kObjVScroll))
    ctl_scroll_sync(o);  // the bar's range and thumb follow
  else
    repaint(o);
}

void pa_get_top_level() { push_id(obj_top_level(live())); }
void pa_get_template_handle() { bi_push_int64(static_cast<int64_t>(live()->template_index) << kHandleTemplateShift); }

void pa_get_combo_string() {
  if (!live()) return prop_get_string_push();
  push_string(prop_block_string(*owner_block(), 86));
}
void pa_set_combo_string() {
  if (!live()) return prop_set_string_value();
  if (prop_block_set_string(*owner_block(), 86, S.str.view()) != 0) prop_refuse(ERR_NOT_ENOUGH_MEMORY);
}

void pa_get_88() { vm_push_int(live()->property88); }
void pa_set_88() { live()->property88 = S.num; }

void pa_get_combo_flag() { vm_push_int(static_cast<int32_t>(prop_get_field(*owner_block(), 89))); }
void pa_set_combo_flag() { prop_set_field(*owner_block(), 89, S.num != 0); }

void pa_get_prev_sibling() {
  WindowObject* o = live();
  const bool first = !o->parent || o->parent->first_child == o;
  push_id(first || o->prev == o ? nullptr : o->prev);
}

void pa_get_arrange_group() { vm_push_int(live()->group); }
void pa_set_arrange_group() { live()->group = S.num; }
void pa_get_flags() { vm_push_int(live()->flags); }
void pa_set_flags() { live()->flags = (S.num & ~kWinHidden) | (live()->flags & kWinHidden); }

void pa_get_handle() { push_id(live()); }
void pa_set_handle() {
  WindowObject* o = obj_get(S.num);
  if (!o) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  if (o != window_current()) window_set_current(o, 0);
}

void pa_get_client_height() {
  int32_t w = 0, h = 0;
  native_ops(live()).client_size(live(), &w, &h);
  vm_push_int(h);
}
void pa_get_client_width() {
  int32_t w = 0, h = 0;
  native_ops(live()).client_size(live(), &w, &h);
  vm_push_int(w);
}

// The selection of a text control belongs to its input field, which is not
// built yet: refused until it is.
void pa_get_sel_length() { prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT); }
void pa_set_sel_length() { prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT); }
void pa_get_sel_start() { prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT); }
void pa_set_sel_start() { prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT); }

void pa_get_parent() { push_id(live()->parent); }
void pa_get_child_of_frame() { vm_push_int(frame_child(live()) ? 1 : 0); }

void pa_get_design_visible() { vm_push_int(live()->design_visible); }
void pa_set_design_visible() {
  WindowObject* o = obj_owner_or_self(live());
  if (!o->design_mode || o == obj_command_line()) return prop_refuse(ERR_NOT_ALLOWED_ON_OBJECT);
  o->design_visible = S.num != 0;
  native_ops(o).show(o, S.num != 0);
  if (WindowObject* top = obj_top_level(o); top && top->name_index)
    prop_assign_string_slot(&top->name_index, std::nullopt);
}

void pa_get_modal_level() { vm_push_int(live()->modal_level); }

void pa_get_free_string() { push_string(prop_slot_string(live()->free_string[S.id == 152 ? 0 : 1])); }
void pa_set_free_string() {
  if (prop_assign_string_slot(&live()->free_string[S.id == 152 ? 0 : 1], S.str.view()) != 0)
    prop_refuse(ERR_NOT_ENOUGH_MEMORY);
}

void pa_get_154() { vm_push_int(live()->byte_property154); }
void pa_set_154() { live()->byte_property154 = static_cast<uint8_t>(S.num); }

void pa_get_window_id() { vm_push_int(window_id_of(live())); }
void pa_set_window_id() {
  if (window_id_activate(S.num) != 0) prop_refuse(ERR_INVALID_ARGUMENT, false);
}

void pa_get_container_scale() { vm_push_int(obj_container_unit(live(), kContainerScale)); }
void pa_get_container() { vm_push_int(obj_container_unit(live(), kContainerHandle)); }

void pa_get_last_mdi_form() { vm_push_int(live()->last_mdi_form); }
// A set loads a form template as an MDI child of the frame.
void pa_set_last_mdi_form() {
  if (S.num <= 0 || !tpl_is_template(static_cast<uint32_t>(S.num))) return prop_refuse(ERR_INVALID_ARGUMENT, false);
  const uint32_t unwinds = vm_catch.unwinds;
  const int32_t id = form_load_mdi(static_cast<uint32_t>(S.num));
  if (id < 0) return prop_refuse(static_cast<ErrorCode>(id), false);
  // The new form becomes current when the macro goes on normally.
  if (WindowObject* f = obj_get(id); f && vm_catch.unwinds == unwinds) window_make_current_redraw(f);
}

void pa_get_mdi_form() { vm_push_int(live()->mdi_form); }
void pa_get_menu() { vm_push_int(live()->menu); }

void pa_get_redraw_on() { vm_push_int(obj_owner_or_self(live())->redraw_on); }
void pa_set_redraw_on() {
  WindowObject* o = obj_owner_or_self(live());
  o->redraw_on = S.num != 0;
  if (o->redraw_on) repaint(o);
}

void pa_get_inner_window() { bi_push_int64(static_cast<int64_t>(reinterpret_cast<uintptr_t>(live()->client_window))); }
void pa_get_outer_window() { bi_push_int64(static_cast<int64_t>(reinterpret_cast<uintptr_t>(live()->frame_window))); }
