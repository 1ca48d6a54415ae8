// Object tree walks, the binding search and object events (see routing.h).
#include "forms/routing.h"

#include "forms/form_resource.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/handle_heap.h"
#include "base/le.h"
#include "forms/ctl_layout.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "macro/code_cache.h"
#include "macro/event_tables.h"
#include "macro/form_port.h"
#include "macro/interp.h"
#include "macro/key_dispatch.h"
#include "macro/names.h"

int32_t obj_event_arg = 0;

namespace {

// Names indexes of the design and dialog-manager tables, looked up once.
int32_t g_design_table = -1;
int32_t g_manager_table = -1;

int32_t named_table(int32_t* cache, const char* name) {
  if (*cache < 0 || (*cache > 0 && !evtab_is_table(*cache)))
    *cache = static_cast<int32_t>(name_find(name, NF_EVENT_TABLE));
  return *cache;
}

void run_binding(WindowObject* target, EventCode, uint32_t binding, std::span<const std::string_view> args) {
  WindowSave save;
  window_push_current(target, save);
  if (const uint32_t module = binding >> 16; module != 0) {
    if ((name_is_valid(module) & NF_MODULE) && name_load_data(module) == 0)
      vm_call_image({name_block(module), name_entry(module)->size}, static_cast<uint16_t>(binding & 0xFFFF), args);
  } else {
    vm_call_index(static_cast<int32_t>(binding), args);
  }
  window_pop_current(save);
}
ObjEventRunner g_runner = run_binding;

bool visible_in_walk(const WindowObject* o, bool all) { return all || !(o->design_mode && !o->design_visible); }

template <typename F>
void for_children(WindowObject* obj, F f) {
  WindowObject* first = obj->first_child;
  if (!first) return;
  std::vector<WindowObject*> kids;
  WindowObject* c = first;
  do {
    kids.push_back(c);
    c = c->next;
  } while (c && c != first && kids.size() <= static_cast<size_t>(window_table_count()));
  for (WindowObject* k : kids) f(k);
}

// A chain of event tables from `table` (sign ignored), at most 20: 0 with
// the binding found (0 none), or a lookup's negative code.
int32_t search_chain(int32_t table, EventCode event, uint32_t* binding) {
  table = std::abs(table);
  *binding = 0;
  for (int i = 0; i < kChainLimit && table != 0 && evtab_is_table(table); ++i) {
    const int32_t r = evtab_lookup(event, binding, table);
    if (r < 0) return r;
    if (r == 0 && *binding != 0) return 0;
    *binding = 0;
    table = evtab_parent(table, 0, false);
  }
  return 0;
}

bool char_event(EventCode event) {
  const int32_t k = event_to_key_index(event);
  return (k >= 27 && k <= 128) || (k > 128 && event_to_char(event) != 0);
}

// 0 found, 1 none, negative error.
int32_t search_object_chains(WindowObject* t, EventCode event, uint32_t* binding, bool own) {
  if (own) {
    if (int32_t r = search_chain(prop_field_value(t->props, 27), event, binding); r < 0) return r;
    if (*binding) return 0;
  }
  if (int32_t r = search_chain(prop_field_value(t->props, 76), event, binding); r < 0) return r;
  return *binding ? 0 : 1;
}

int32_t find_control_binding(WindowObject* obj, WindowObject** target, EventCode event, uint32_t* binding,
                             bool skip_own, int32_t mode, bool no_manager) {
  WindowObject* t = obj_owner_or_self(obj);
  *target = t;
  WindowObject* frame = obj_frame_object();
  if (mode < 2) {
    const int32_t r = search_object_chains(t, event, binding, !skip_own);
    if (r <= 0) return r;
  }
  WindowObject* top = nullptr;
  switch (event) {
    case kEvOnChange:
    case kEvOnTimer:
    case kEvOnPaint:
    case kEvOnCreate:
    case kEvOnDestroy:
    case kEvOnChange2:
      return 1;
    case kEvOnResize:
      if (t->parent != frame || !frame) return 1;
      break;
    case kEvOnCreate2:
    case kEvOnDestroy2:
      if (t->type == kObjForm)
        top = t;
      else if (t->parent != frame || !frame)
        return 1;
      break;
    default:
      break;
  }
  if (!top) {
    WindowObject* vt = t;
    const int32_t v = obj_find_view_binding(t, &vt, event, binding, mode);
    if (v < 0) return v;
    if (v == 1) {
      *target = vt;
      return 0;
    }
    top = obj_top_level(t);
    if (t->parent && top) {
      const int32_t r = search_object_chains(top, event, binding, true);
      if (r <= 0) return r;
    }
  }
  if (!no_manager && top && top->type == kObjForm && top->parent != frame) {
    const int32_t m = named_table(&g_manager_table, "-ainh-dlg-manager");
    if (m > 0) {
      if (int32_t r = search_chain(m, event, binding); r < 0) return r;
      if (*binding) return 0;
    }
  }
  return 1;
}

}  // namespace

void routing_reset() { g_design_table = g_manager_table = -1; }
void obj_set_event_runner(ObjEventRunner runner) { g_runner = runner ? runner : run_binding; }

// ---- walks ----

int32_t obj_visit_preorder(WindowObject* obj, void* arg, ObjVisit cb, bool all) {
  if (!obj || !visible_in_walk(obj, all)) return 0;
  if (int32_t r = cb(obj, arg)) return r;
  int32_t result = 0;
  for_children(obj, [&](WindowObject* c) {
    if (!result) result = obj_visit_preorder(c, arg, cb, all);
  });
  return result;
}

int32_t obj_visit_postorder(WindowObject* obj, void* arg, ObjVisit cb, bool all) {
  if (!obj || !visible_in_walk(obj, all)) return 0;
  int32_t result = 0;
  for_children(obj, [&](WindowObject* c) {
    if (!result) result = obj_visit_postorder(c, arg, cb, all);
  });
  return result ? result : cb(obj, arg);
}

int32_t obj_visit_tab_order(WindowObject* obj, void* arg, ObjVisit cb, bool all) {
  if (!obj || !visible_in_walk(obj, all)) return 0;
  if (int32_t r = cb(obj, arg)) return r;
  std::vector<WindowObject*> kids;
  for_children(obj, [&](WindowObject* c) {
    if (visible_in_walk(c, all)) kids.push_back(c);
  });
  // Stable: equal tab indexes keep ring order.
  std::stable_sort(kids.begin(), kids.end(), [](const WindowObject* a, const WindowObject* b) {
    return prop_field_value(a->props, 38) < prop_field_value(b->props, 38);
  });
  for (WindowObject* k : kids)
    if (int32_t r = obj_visit_tab_order(k, arg, cb, all)) return r;
  return 0;
}

void obj_tree_set_design_changed(WindowObject* obj, uint8_t value) {
  obj_visit_preorder(
      obj, &value,
      [](WindowObject* o, void* a) {
        o->design_changed = *static_cast<uint8_t*>(a);
        return 0;
      },
      true);
}

bool obj_tree_design_changed(WindowObject* obj) {
  return obj_visit_preorder(
             obj, nullptr, [](WindowObject* o, void*) { return o->design_changed ? 1 : 0; }, true) != 0;
}

void obj_tree_set_design_mode(WindowObject* obj, uint8_t value) {
  obj_visit_preorder(
      obj, &value,
      [](WindowObject* o, void* a) {
        o->design_mode = *static_cast<uint8_t*>(a);
        return 0;
      },
      true);
}

WindowObject* obj_find_by_name(std::string_view name) {
  std::string dash(name);
  std::replace(dash.begin(), dash.end(), '_', '-');
  for (int32_t id = 1; id < window_table_count(); ++id) {
    WindowObject* o = window_record(id);
    if (!o || o->type < 1 || o->type > 18) continue;
    const std::string_view n = prop_block_string(o->props, 28);
    if (n.size() == dash.size() && std::equal(n.begin(), n.end(), dash.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
        }))
      return o;
  }
  return nullptr;
}

// ---- control names of a form ----

namespace {

constexpr uint32_t kNameChains = 16;
constexpr uint32_t kNameChainBytes = kNameChains * 4;

// Names compare without case and with '_' equal to '-'.
char name_fold(char c) { return c == '_' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool same_control_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return name_fold(x) == name_fold(y); });
}

// An entry: next entry's offset, control id, the name's length and bytes,
// padded to a multiple of 4.
uint32_t name_entry_bytes(size_t length) { return static_cast<uint32_t>(length + 15) & ~3u; }

struct NameTableBuild {
  WindowObject* form;
  std::vector<uint8_t>* block;  // null: the first walk only sums the sizes
  uint32_t bytes = kNameChainBytes;
};

int32_t enter_control_name(WindowObject* o, void* arg) {
  auto* b = static_cast<NameTableBuild*>(arg);
  if (o == b->form || obj_is_part(o)) return 0;
  const std::string_view name = prop_block_string(o->props, 28);
  if (name.empty()) return 0;
  const uint32_t at = b->bytes;
  b->bytes += name_entry_bytes(name.size());
  if (!b->block) return 0;
  uint8_t* p = b->block->data();
  uint8_t* head = p + 4 * static_cast<uint32_t>(obj_name_hash(name));
  le::put_u32(p + at, le::get_u32(head));
  le::put_u32(p + at + 4, static_cast<uint32_t>(o->handle));
  le::put_u32(p + at + 8, static_cast<uint32_t>(name.size()));
  for (size_t i = 0; i < name.size(); ++i) p[at + 12 + i] = static_cast<uint8_t>(name[i] == '_' ? '-' : name[i]);
  le::put_u32(head, at);
  return 0;
}

bool free_standing_form(const WindowObject* top) {
  return top && top->type == kObjForm && !top->mdi_form && !obj_is_frame_child(top);
}

// The id the form's table gives the name: > 0, or 0 when none.
int32_t look_up_control(const WindowObject* form, std::string_view name, uint8_t bucket, int32_t excluded) {
  const uint8_t* p = hheap_data(static_cast<HeapHandle>(form->name_index));
  if (!p) return 0;
  for (uint32_t at = le::get_u32(p + 4 * (bucket % kNameChains)); at != 0; at = le::get_u32(p + at)) {
    const int32_t id = static_cast<int32_t>(le::get_u32(p + at + 4));
    const std::string_view entry(reinterpret_cast<const char*>(p + at + 12), le::get_u32(p + at + 8));
    if (id != excluded && same_control_name(entry, name)) return id;
  }
  return 0;
}

}  // namespace

int32_t form_build_name_hash(WindowObject* form) {
  if (form->name_index) {
    hheap_free(static_cast<HeapHandle>(form->name_index));
    form->name_index = 0;
  }
  NameTableBuild sizes{form, nullptr};
  obj_visit_preorder(form, &sizes, enter_control_name, true);
  std::vector<uint8_t> block(sizes.bytes, 0);
  NameTableBuild fill{form, &block};
  obj_visit_preorder(form, &fill, enter_control_name, true);
  const HeapHandle h = hheap_alloc(block.data(), static_cast<uint32_t>(block.size()));
  if (h == HeapHandle::none) return ERR_INTERPRETER_OUT_OF_MEMORY;
  form->name_index = static_cast<int32_t>(h);
  return 0;
}

int32_t form_find_control_by_name(std::string_view name, uint8_t bucket, int32_t excluded) {
  WindowObject* top = obj_top_level(window_current());
  if (!free_standing_form(top)) return 0;
  if (!top->name_index)
    if (const int32_t r = form_build_name_hash(top); r != 0) return r;
  const int32_t id = look_up_control(top, name, bucket, excluded);
  // A control closed since the table was built leaves its entry behind.
  if (id > 0 && obj_top_level(window_record(id)) != top) {
    if (const int32_t r = form_build_name_hash(top); r != 0) return r;
    return look_up_control(top, name, bucket, excluded);
  }
  return id;
}

// ---- the binding search ----

int32_t obj_find_binding(WindowObject* obj, WindowObject** target, EventCode event, uint32_t* binding, bool skip_own,
                         int32_t mode, bool no_manager) {
  key_globals.selection_binding = false;
  key_tables.pending = key_tables.current;
  *binding = 0;
  *target = obj;
  int32_t r = 1;
  if (obj->design_mode) {
    *target = obj_owner_or_self(obj);
    if (event == kEvOnCreate2 || event == kEvOnDestroy2) {
      r = search_chain(prop_field_value((*target)->props, 76), event, binding);
      if (r == 0 && *binding)
        r = 0;
      else if (r == 0)
        r = 1;
    }
    if (r == 1) {
      r = search_chain(named_table(&g_design_table, "-ainh-dlg-edit"), event, binding);
      if (r == 0 && !*binding) r = 1;
    }
  } else {
    r = find_control_binding(obj, target, event, binding, skip_own, mode, no_manager);
  }
  key_tables.current = key_tables.pending;
  return r;
}

int32_t obj_find_view_binding(WindowObject* obj, WindowObject** target, EventCode event, uint32_t* binding,
                              int32_t mode) {
  (void)mode;
  WindowObject* frame = obj_frame_object();
  const int32_t defaults = vm_default_keys_index;
  *binding = 0;
  if (event == kEvOnClose && (!frame || obj->parent != frame)) return 0;
  if (obj == frame) {
    if (event != kEvOnInitMenu) return 0;
    if (evtab_lookup(event, binding, defaults) != 0 || *binding == 0) return 0;
    *target = frame->first_child ? frame->first_child : obj;
    return 1;
  }
  WindowObject* top_editor = frame ? frame->first_child : nullptr;
  const bool cmdline = obj == obj_command_line();
  bool text_box = false, editor = false;
  int32_t table = 0;
  if (cmdline) {
    if (!top_editor || (top_editor->flags & kWinHidden) || !top_editor->view) {
      text_box = true;
      table = defaults;
    } else {
      table = top_editor->view->buffer ? top_editor->view->buffer->locals.event_table : 0;
    }
  } else if (obj->view && obj->prop19 == 3) {
    editor = true;
    table = obj->view->buffer ? obj->view->buffer->locals.event_table : 0;
  } else if (obj->type == kObjText) {
    const WindowObject* owner = obj->owner ? obj_get(obj->owner) : nullptr;
    if (owner && prop_get_field(owner->props, 15) == 2) return 0;  // a drop-down list's edit part
    text_box = true;
    table = defaults;
  } else {
    return 0;
  }
  const int32_t r = evtab_lookup2(event, binding, defaults, table);
  if (r < 0) return r;
  const bool is_char = char_event(event);
  bool command0 = false;
  if (*binding == 0) {
    if (is_char) {
      evtab_set_pending_command(0, defaults);
      command0 = true;
    } else if (editor || cmdline) {
      if (event != kEvMouseMove) evtab_set_pending_command(static_cast<uint32_t>(vm_key_not_defined_index), defaults);
      return 0;
    } else {
      return 0;
    }
  } else if (*binding == static_cast<uint32_t>(vm_key_not_defined_index)) {
    *binding = 0;
    return 0;
  } else if (*binding < 0x10000) {
    const int32_t flags = key_command_flags(static_cast<int32_t>(*binding));
    if (text_box && !cmdline && !(flags & 0x800)) {
      if (!is_char) {
        *binding = 0;
        return 0;
      }
      *binding = 0;
      evtab_set_pending_command(0, defaults);
      command0 = true;
    } else if (editor && frame && obj->parent && obj->parent != frame && !(flags & 0x2000) &&
               !(event >= kEvScrollFirst && event <= kEvScrollLast)) {
      *binding = 0;
      return 0;
    }
  }
  if (command0 && event == kEvMouseMove) return 0;
  uint32_t replaced = 0;
  if (key_selection_binding(obj, event, mode, &replaced)) *binding = replaced;
  *target = obj;
  return 1;
}

// ---- events ----

void obj_raise_event(WindowObject* obj, EventCode event, std::span<const std::string_view> args) {
  if (!obj || form_is_loading()) return;  // a template being applied raises nothing
  WindowObject* target = obj;
  uint32_t binding = 0;
  if (obj_find_binding(obj, &target, event, &binding, false, 1, false) != 0 || binding == 0) return;
  g_runner(target, event, binding, args);
}

namespace {

struct Named {
  int32_t id;
  uint32_t serial;
};

std::vector<Named> postorder_ids(WindowObject* obj, bool all) {
  std::vector<Named> out;
  obj_visit_postorder(
      obj, &out,
      [](WindowObject* o, void* a) {
        static_cast<std::vector<Named>*>(a)->push_back({o->handle, o->serial});
        return 0;
      },
      all);
  return out;
}

}  // namespace

void obj_send_create_events(WindowObject* obj, const std::span<const std::string_view>* args) {
  for (const Named& n : postorder_ids(obj, false)) {
    WindowObject* o = obj_get(n.id);
    if (!o || o->serial != n.serial || obj_is_part(o) || (o->flags & kWinCreateEvents)) continue;
    o->flags |= kWinCreateEvents;
    if (!o->design_mode && args) {
      obj_raise_event(o, kEvOnCreate, *args);
      if (!obj_same(n.id, n.serial)) continue;
      bool gone = false;
      for (int32_t flag = 0; flag <= 1 && !gone; ++flag) {
        obj_event_arg = flag;
        obj_raise_event(o, kEvOnResize);
        gone = !obj_same(n.id, n.serial);
      }
      obj_event_arg = 0;
      if (gone) continue;
    }
    obj_raise_event(o, kEvOnCreate2);
  }
}

void obj_send_destroy_events(WindowObject* obj) {
  if (vm.frame_depth <= vm.target_depth) return;  // no macro runs
  for (const Named& n : postorder_ids(obj, true)) {
    WindowObject* o = obj_get(n.id);
    if (!o || o->serial != n.serial || obj_is_part(o)) continue;
    if (!o->design_mode) obj_raise_event(o, kEvOnDestroy);
    if (obj_same(n.id, n.serial)) obj_raise_event(o, kEvOnDestroy2);
  }
}

void obj_default_button_focus(WindowObject* obj) {
  WindowObject* form = obj ? obj_top_level(obj) : nullptr;
  if (!form || form->type != kObjForm || form->parent == obj_frame_object()) return;
  struct Buttons {
    WindowObject* marked = nullptr;  // default property set
    WindowObject* shown = nullptr;   // drawn as the default now
  } b;
  obj_visit_preorder(
      form, &b,
      [](WindowObject* o, void* a) {
        auto* s = static_cast<Buttons*>(a);
        if (o->type != kObjCommand && o->type != kObjImage) return 0;
        if (o->type == kObjCommand && !s->marked && prop_get_field(o->props, 1)) s->marked = o;
        if (o->shows_default && !s->shown) s->shown = o;
        return 0;
      },
      true);
  const bool acts_as_button =
      obj->type == kObjCommand ||
      (obj->type == kObjImage && prop_get_field(obj->props, 57) == 0 && !prop_block_string(obj->props, 29).empty());
  WindowObject* want = acts_as_button ? obj : b.marked;
  if (want == b.shown) return;
  if (b.shown) obj_set_default_look(b.shown, false);
  if (want) obj_set_default_look(want, true);
}

bool obj_is_enabled_in_chain(WindowObject* obj, bool need_visible) {
  if (obj->design_mode) return true;
  WindowObject* frame = obj_frame_object();
  for (WindowObject* o = obj; o && o != frame; o = o->parent) {
    if (!(o->flags & kWinHidden)) {
      if (!prop_get_field(o->props, 2)) return false;
      if (need_visible && !prop_get_field(o->props, 11)) return false;
    }
    if (!o->parent || (o->type == kObjForm && o->parent != frame)) break;
  }
  return true;
}

WindowObject* obj_first_tab_stop(WindowObject* form) {
  struct Best {
    WindowObject* form;
    WindowObject* best = nullptr;
  } st{form};
  obj_visit_preorder(
      form, &st,
      [](WindowObject* o, void* a) {
        auto* s = static_cast<Best*>(a);
        if (o == s->form || !prop_get_field(o->props, 12) || !prop_get_field(o->props, 11)) return 0;
        if (!obj_is_enabled_in_chain(o, true)) return 0;
        const int32_t idx = prop_field_value(o->props, 38);
        if (idx < 1) return 0;
        WindowObject* b = s->best;
        if (!b) {
          s->best = o;
        } else if (o->type == kObjRadio && b->type == kObjRadio && o->parent == b->parent &&
                   (prop_get_field(o->props, 42) != 0) != (prop_get_field(b->props, 42) != 0)) {
          if (prop_get_field(o->props, 42)) s->best = o;  // a checked one wins; an unchecked never replaces it
        } else if (idx < prop_field_value(b->props, 38)) {
          s->best = o;
        }
        return 0;
      },
      false);
  return st.best;
}
