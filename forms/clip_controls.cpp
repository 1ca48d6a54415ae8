// Copying and pasting controls (see clip_controls.h).
#include "forms/clip_controls.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "base/handle_heap.h"
#include "base/messages.h"
#include "forms/designer.h"
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
#include "macro/core_ops.h"
#include "macro/names.h"
#include "macro/stack.h"

namespace {

constexpr uint32_t kPropTabIndex = 38, kPropName = 28, kPropX = 40, kPropY = 41, kPropWidth = 39, kPropHeight = 36;

int32_t value(const WindowObject* o, uint32_t id) { return prop_field_value(o->props, id); }
int32_t value(const PropertyBlock& b, uint32_t id) { return prop_field_value(b, id); }
void store(PropertyBlock& b, uint32_t id, int32_t v) { prop_set_field(b, id, static_cast<uint32_t>(v)); }

// Children that travel with their parent: not the parts of a combo box (a
// combo box makes them again) and not the objects the designer hides.
bool copied_child(const WindowObject* c) { return !obj_is_part(c) && !(c->design_mode && !c->design_visible); }

template <typename F>
void each_child(WindowObject* o, F f) {
  WindowObject* first = o->first_child;
  if (!first || o->type == kObjCombo) return;
  WindowObject* c = first;
  do {
    WindowObject* next = c->next;
    if (copied_child(c)) f(c);
    c = next;
  } while (c && c != first);
}

// Every object of a tree, in pre-order, into a list (walks below that
// change nothing read it instead of taking a callback each).
std::vector<WindowObject*> tree_of(WindowObject* top, bool all) {
  std::vector<WindowObject*> v;
  obj_visit_preorder(
      top, &v,
      [](WindowObject* o, void* a) {
        static_cast<std::vector<WindowObject*>*>(a)->push_back(o);
        return 0;
      },
      all);
  return v;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c == '_' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The number after `base` in `name` (case ignored), or -1 when the name does
// not start with the base or the rest is not a decimal number that fits.
int64_t number_after(std::string_view name, std::string_view base) {
  if (name.size() <= base.size() || name.size() - base.size() > 9) return -1;
  for (size_t i = 0; i < base.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != std::toupper(static_cast<unsigned char>(base[i])))
      return -1;
  int64_t n = 0;
  for (char c : name.substr(base.size())) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

void drop_name_index(WindowObject* top) {
  if (top && top->name_index) {
    hheap_free(static_cast<HeapHandle>(top->name_index));
    top->name_index = 0;
  }
}

// The form's control-name lookup serves free-standing forms only.
bool has_name_lookup(const WindowObject* top) {
  return top && top->type == kObjForm && !top->mdi_form && !obj_is_frame_child(top);
}

// ---- copy ------------------------------------------------------------------------------

// Appends the records of o's subtree; o's record number relative to `base`.
uint16_t add_records(WindowObject* o, size_t base, std::vector<ClipRecord>* out) {
  const size_t at = out->size();
  ClipRecord r;
  r.block = o->props;
  r.block.type = static_cast<uint16_t>(o->type);
  r.block.next = r.block.child = r.block.link3 = 0;
  for (size_t k = 0; k < kClipStringProps.size(); ++k)
    if (tpl_is_string_prop(static_cast<uint32_t>(o->type), kClipStringProps[k]))
      r.strings[k] = std::string(prop_block_string(o->props, kClipStringProps[k]));
  out->push_back(std::move(r));
  uint16_t first = 0, prev = 0;
  each_child(o, [&](WindowObject* c) {
    const uint16_t k = add_records(c, base, out);
    if (!first)
      first = k, (*out)[at].block.child = k;
    else
      (*out)[base + prev].block.next = k;
    (*out)[base + k].block.next = first;  // the ring closes on the first child
    prev = k;
  });
  return static_cast<uint16_t>(at - base);
}

// Whether an ancestor of o up to its top level is selected: o then goes
// with that ancestor's subtree.
bool ancestor_selected(const WindowObject* o) {
  for (const WindowObject* p = o->parent; p; p = p->parent) {
    if (p->selected && !obj_is_part(p)) return true;
    if (p->type == kObjForm || p->type == kObjFrame) break;
  }
  return false;
}

}  // namespace

bool clip_controls_allowed(const WindowObject* o) {
  return o && o->type >= kObjForm && o->type <= kObjSpin && o != obj_app_form() && o != obj_frame_object() &&
         !obj_is_frame_child(o) && o != obj_command_line();
}

int32_t clip_collect_controls(std::vector<ClipObject>* out) {
  out->clear();
  WindowObject* cur = obj_owner_or_self(window_current());
  WindowObject* top = obj_top_level(cur);
  if (!top) return ERR_NOTHING_SELECTED;
  std::vector<WindowObject*> tops;
  for (WindowObject* o : tree_of(top, false)) {
    if (obj_is_part(o)) continue;
    if (o->type == kObjText || o->type == kObjCombo) obj_save_edit_text(o);  // what was typed is its text
    if (o->selected && !ancestor_selected(o)) tops.push_back(o);
  }
  if (tops.empty()) return ERR_NOTHING_SELECTED;
  // The selection's top-left corner; a selected form gives its own place.
  int32_t min_x = std::numeric_limits<int32_t>::max(), min_y = min_x;
  struct Corner {
    int32_t* x;
    int32_t* y;
  } corner{&min_x, &min_y};
  obj_visit_preorder(
      top, &corner,
      [](WindowObject* o, void* a) {
        if (obj_is_part(o) || !o->selected || ancestor_selected(o)) return 0;
        auto* c = static_cast<Corner*>(a);
        *c->x = std::min(*c->x, value(o, kPropX));
        *c->y = std::min(*c->y, value(o, kPropY));
        return o->type == kObjForm ? 1 : 0;
      },
      false);
  for (WindowObject* o : tops) {
    ClipObject obj;
    add_records(o, 0, &obj.records);
    PropertyBlock& b = obj.records[0].block;
    int32_t x = value(b, kPropX) - min_x, y = value(b, kPropY) - min_y;
    int32_t w = value(b, kPropWidth), h = value(b, kPropHeight);
    if (o->type != kObjForm) {
      const int32_t unit = obj_container_unit(o, kContainerScale);
      x = ctl_twips_to_pixels_x(unit, x), y = ctl_twips_to_pixels_y(unit, y);
      w = ctl_twips_to_pixels_x(unit, w), h = ctl_twips_to_pixels_y(unit, h);
    }
    store(b, kPropX, x), store(b, kPropY, y), store(b, kPropWidth, w), store(b, kPropHeight, h);
    out->push_back(std::move(obj));
  }
  return 0;
}

int32_t clip_copy_controls() {
  std::vector<ClipObject> objects;
  if (const int32_t r = clip_collect_controls(&objects); r != 0) return r;
  const std::vector<uint8_t> block = clip_write_controls(objects);
  if (block.empty()) return ERR_NOT_ENOUGH_MEMORY;
  return clip_put_controls(block);
}

// ---- naming and tab indexes ------------------------------------------------------------

void form_unique_name(WindowObject* form, std::optional<std::string_view> base_arg) {
  const std::string base(base_arg && !base_arg->empty() ? *base_arg : "form");
  int64_t n = 0;
  for (uint32_t i = name_next(base, 0, NF_TEMPLATE); i; i = name_next(base, i, NF_TEMPLATE))
    n = std::max(n, number_after(name_text(i), base));
  for (int32_t id = 1; id <= obj_last_id(); ++id)
    if (const WindowObject* o = obj_get(id); o && o->type == kObjForm)
      n = std::max(n, number_after(prop_block_string(o->props, kPropName), base));
  prop_block_set_string(form->props, kPropName, base + std::to_string(n + 1));
  drop_name_index(form);
}

void ctl_unique_name(WindowObject* obj, std::optional<std::string_view> base_arg) {
  if (obj->type == kObjForm) return form_unique_name(obj, base_arg);
  WindowObject* top = obj_top_level(obj);
  const std::vector<WindowObject*> all = tree_of(top, true);
  const std::string name(prop_block_string(obj->props, kPropName));
  if (!name.empty()) {
    bool used = false;
    if (has_name_lookup(top))
      for (const WindowObject* o : all)
        used = used ||
               (o != obj && o != top && !obj_is_part(o) && same_name(prop_block_string(o->props, kPropName), name));
    if (!used) return;
  }
  const std::string base(base_arg && !base_arg->empty() ? *base_arg : obj_type_name(obj->type));
  int64_t n = 0;
  for (const WindowObject* o : all) n = std::max(n, number_after(prop_block_string(o->props, kPropName), base));
  prop_block_set_string(obj->props, kPropName, base + std::to_string(n + 1));
  drop_name_index(top);
}

void ctl_next_tab_index(WindowObject* obj) {
  const int32_t mine = value(obj, kPropTabIndex);
  bool used = false;
  int32_t largest = 0;
  for (const WindowObject* o : tree_of(obj_top_level(obj), true)) {
    if (o == obj) continue;
    used = used || value(o, kPropTabIndex) == mine;
    largest = std::max(largest, value(o, kPropTabIndex));
  }
  if (mine != 0 && !used) return;
  store(obj->props, kPropTabIndex, largest + 1);
}

// ---- paste -----------------------------------------------------------------------------

namespace {

struct Paste {
  std::span<const ClipRecord> recs;
  bool keep_tabs = true;
  int32_t container_id = 0;
  uint32_t container_serial = 0;
  // The container while it lives: handlers of the creation events may
  // close it.
  WindowObject* container() const { return obj_same(container_id, container_serial) ? obj_get(container_id) : nullptr; }
};

// Makes the object of record r under parent, then its children; the new
// object, or null with *err set (the failed object destroyed).
WindowObject* make_object(Paste& p, uint32_t r, WindowObject* parent, bool top, bool in_form, int32_t* err) {
  const ClipRecord& rec = p.recs[r];
  const bool form = rec.block.type == kObjForm;
  WindowObject* obj = window_new_child(form ? obj_app_form() : parent);
  if (!obj) {
    *err = ERR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  if (!form) drop_name_index(obj_top_level(obj));
  obj->props = rec.block;
  obj->props.next = obj->props.child = obj->props.link3 = 0;
  obj->type = rec.block.type;
  auto fail = [&](int32_t e) -> WindowObject* {
    *err = e;
    obj_destroy(obj);
    if (WindowObject* c = p.container()) window_set_current(c, 0);
    return nullptr;
  };
  for (size_t k = 0; k < kClipStringProps.size(); ++k) {
    const uint32_t id = kClipStringProps[k];
    prop_set_field(obj->props, id, 0);
    if (!rec.strings[k].empty() && tpl_is_string_prop(rec.block.type, id) &&
        prop_block_set_string(obj->props, id, rec.strings[k]) != 0)
      return fail(ERR_NOT_ENOUGH_MEMORY);
  }
  if (top && !form) {
    const int32_t unit = obj_container_unit(obj, kContainerScale);
    PropertyBlock& b = obj->props;
    store(b, kPropX, ctl_pixels_to_twips_x(unit, value(b, kPropX)));
    store(b, kPropY, ctl_pixels_to_twips_y(unit, value(b, kPropY)));
    store(b, kPropWidth, ctl_pixels_to_twips_x(unit, value(b, kPropWidth)));
    store(b, kPropHeight, ctl_pixels_to_twips_y(unit, value(b, kPropHeight)));
  }
  obj->design_mode = form ? 1 : (parent ? parent->design_mode : 0);
  if (form) {
    form_unique_name(obj, std::nullopt);
  } else if (!in_form) {
    if (!p.keep_tabs) {
      store(obj->props, kPropTabIndex, 0);
      ctl_next_tab_index(obj);
    }
    if (!prop_block_string(obj->props, kPropName).empty()) ctl_unique_name(obj, std::nullopt);
  }
  if (const int32_t e = native_ops(obj).create(obj); e != 0) return fail(e);
  if (const uint16_t first = rec.block.child) {
    // The reader checked that every ring closes within the object's records.
    uint16_t c = first;
    do {
      if (!make_object(p, c, obj, false, in_form || form, err)) return nullptr;
      c = p.recs[c].block.next;
    } while (c != first);
  }
  return obj;
}

// Tab indexes are kept with a form among the records, or when none of the
// records' non-zero tab indexes is taken in the container's form.
bool keep_tab_indexes(std::span<const ClipObject> objects, WindowObject* container) {
  std::vector<int32_t> wanted;
  for (const ClipObject& o : objects)
    for (const ClipRecord& r : o.records) {
      if (r.block.type == kObjForm) return true;
      if (const int32_t t = value(r.block, kPropTabIndex)) wanted.push_back(t);
    }
  for (const WindowObject* o : tree_of(obj_top_level(container), true))
    if (std::find(wanted.begin(), wanted.end(), value(o, kPropTabIndex)) != wanted.end()) return false;
  return true;
}

}  // namespace

int32_t clip_paste_controls(std::span<const ClipObject> objects) {
  WindowObject* cur = obj_owner_or_self(window_current());
  if (!cur) return ERR_NOT_ALLOWED_ON_OBJECT;
  const bool holds = cur->type == kObjForm || cur->type == kObjPicture || cur->type == kObjGroup;
  WindowObject* container = holds ? cur : cur->parent;
  if (!container) return ERR_NOT_ALLOWED_ON_OBJECT;
  Paste p;
  p.container_id = container->handle;
  p.container_serial = container->serial;
  p.keep_tabs = keep_tab_indexes(objects, container);
  for (const ClipObject& o : objects) {
    if (o.records.empty()) continue;
    WindowObject* into = p.container();
    if (!into) return 0;  // a creation handler closed it: nowhere to go on
    p.recs = o.records;
    int32_t err = 0;
    WindowObject* obj = make_object(p, 0, into, true, false, &err);
    if (err) return err;
    obj->selected = 1;
    obj_draw_grab_handles(obj);
    obj_tree_set_design_changed(obj, 1);
    window_make_current_redraw(obj);
    obj_send_create_events(obj, nullptr);
  }
  return 0;
}

// ---- built-ins -------------------------------------------------------------------------

namespace {

// Ext 122: [one argument, ignored].
void bi_copy_controls() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  core_drop(n);
  if (!clip_controls_allowed(obj_owner_or_self(window_current()))) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  vm_set_rc(clip_copy_controls());
}

// Ext 148: [base name].
void bi_unique_control_name() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  std::optional<std::string> base;
  if (n == 1) base = std::string(bi_strip_blanks(bi_arg(n, 0)));
  core_drop(n);
  WindowObject* o = obj_owner_or_self(window_current());
  if (!o || o->type < kObjForm || o->type > kObjSpin) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  if (base) {
    ctl_unique_name(o, std::string_view(*base));
  } else {
    ctl_unique_name(o, std::nullopt);
  }
}

// Ext 149.
void bi_renumber_tab_index() {
  WindowObject* o = obj_owner_or_self(window_current());
  if (!o || o->type < kObjForm || o->type > kObjSpin) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  ctl_next_tab_index(o);
}

constexpr OpcodeBinding kClipControlOpcodes[] = {
    {opcode_slot("copy_controls"), bi_copy_controls},
    {opcode_slot("unique_control_name"), bi_unique_control_name},
    {opcode_slot("renumber_tab_index"), bi_renumber_tab_index},
};

}  // namespace

BindResult clip_controls_register_opcodes(OpcodeDispatch& d) {
  return opcodes_register(d, Layer::Forms, kClipControlOpcodes);
}
