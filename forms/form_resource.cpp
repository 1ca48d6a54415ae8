// Form resources (see form_resource.h).
#include "forms/form_resource.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "base/handle_heap.h"
#include "base/messages.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "forms/templates.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/command_port.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/curline.h"
#include "winsys/focus.h"

namespace {

bool g_loading = false;

struct LoadingScope {
  bool was = g_loading;
  LoadingScope() { g_loading = true; }
  ~LoadingScope() { g_loading = was; }
};

// Children of obj in tab order: by increasing tab index, ties in ring order.
std::vector<WindowObject*> tab_children(WindowObject* obj) {
  std::vector<WindowObject*> kids;
  if (obj->type == kObjCombo) return kids;  // its parts are made again with it
  if (WindowObject* first = obj->first_child) {
    WindowObject* c = first;
    do {
      if (!obj_is_part(c) && !(c->design_mode && !c->design_visible)) kids.push_back(c);
      c = c->next;
    } while (c && c != first);
  }
  std::stable_sort(kids.begin(), kids.end(), [](const WindowObject* a, const WindowObject* b) {
    return prop_get_field(a->props, 38) < prop_get_field(b->props, 38);
  });
  return kids;
}

// A text box keeps what was typed into it as its text.
void save_edit_text(WindowObject* obj) {
  if (obj->type != kObjText) return;
  char buf[1100];
  const int32_t n = prop_get_cstr_by_handle(obj->handle, 52, buf, sizeof buf);
  if (n >= 0) prop_block_set_string(obj->props, 52, std::string_view(buf, std::min<size_t>(size_t(n), sizeof buf)));
}

void release_records(std::vector<PropertyBlock>& recs) {
  for (PropertyBlock& b : recs) tpl_clear_strings(b);
}

// Appends the record of obj and, below it, its children's; returns obj's
// record number or a negative code.
int32_t add_records(WindowObject* obj, std::vector<PropertyBlock>* out) {
  if (out->size() >= kTemplateMaxRecords) return ERR_NOT_ENOUGH_MEMORY;
  const uint32_t r = static_cast<uint32_t>(out->size());
  PropertyBlock b = obj->props;
  b.type = static_cast<uint16_t>(obj->type);
  b.next = 0;
  b.child = 0;
  for (uint32_t id : kTemplateStringProps) prop_set_field(b, id, 0);
  if (r == 0 && obj->type == kObjForm) {
    int32_t w = 0, h = 0;
    form_frame_extra(obj, &w, &h);
    prop_set_field(b, 39, static_cast<uint32_t>(static_cast<int32_t>(prop_get_field(b, 39)) - w));
    prop_set_field(b, 36, static_cast<uint32_t>(static_cast<int32_t>(prop_get_field(b, 36)) - h));
  }
  out->push_back(b);
  for (uint32_t id : kTemplateStringProps) {
    if (!tpl_is_string_prop(b.type, id)) continue;
    if (tpl_set_string((*out)[r], id, prop_block_string(obj->props, id)) != 0) return ERR_NOT_ENOUGH_MEMORY;
  }
  uint32_t first = 0, prev = 0;
  for (WindowObject* c : tab_children(obj)) {
    const int32_t k = add_records(c, out);
    if (k < 0) return k;
    const uint32_t kr = static_cast<uint32_t>(k);
    // Link into the parent's ring as each child is made.
    if (!first) {
      first = kr;
      (*out)[r].child = static_cast<uint16_t>(kr);
    } else {
      (*out)[prev].next = static_cast<uint16_t>(kr);
    }
    (*out)[kr].next = static_cast<uint16_t>(first);
    prev = kr;
  }
  return static_cast<int32_t>(r);
}

// Counts the records first: a text box's text is taken on the way.
int32_t count_and_save_text(WindowObject* obj, void*) {
  if (!obj_is_part(obj)) save_edit_text(obj);
  return 0;
}

// Makes the object of record r and its subtree; the new object, or null
// with *err set.
WindowObject* create_record(const std::vector<PropertyBlock>& recs, uint32_t tpl, uint32_t r, WindowObject* parent,
                            uint32_t flags, bool top, int32_t* err) {
  WindowObject* frame = obj_frame_object();
  WindowObject* obj = window_new_child(parent == frame ? nullptr : parent);
  if (!obj) {
    *err = ERR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  // An MDI form names the frame object as its parent, as editor windows do,
  // without joining the ring of editor windows.
  if (top && frame && parent == frame && (flags & kShowMdi)) obj->parent = frame;
  const PropertyBlock& rec = recs[r];
  obj->props = rec;
  obj->props.next = 0;
  obj->props.child = 0;
  obj->type = rec.type;
  obj->design_mode = (flags & kShowDesign) ? 1 : 0;
  obj->mdi_form = (flags & kShowMdi) ? 1 : 0;
  if (obj->type == kObjForm) obj->template_index = static_cast<int32_t>(tpl);
  for (uint32_t id : kTemplateStringProps) {
    if (!tpl_is_string_prop(rec.type, id)) continue;
    prop_set_field(obj->props, id, 0);
    const std::string_view s = tpl_string(rec, id);
    if (!s.empty() && prop_block_set_string(obj->props, id, s) != 0) {
      *err = ERR_NOT_ENOUGH_MEMORY;
      return obj;
    }
  }
  if (top && (flags & kShowHidden)) prop_set_field(obj->props, 11, 0);
  if (const int32_t e = native_ops(obj).create(obj); e != 0) {
    *err = e;
    return obj;
  }
  // A form outside the frame gets its frame parts on top of the client size.
  if (obj->type == kObjForm && top && !obj->mdi_form) {
    int32_t w = 0, h = 0;
    form_frame_extra(obj, &w, &h);
    if (w || h) {
      prop_set_int_by_handle(obj->handle, 39, static_cast<int32_t>(prop_get_field(obj->props, 39)) + w);
      prop_set_int_by_handle(obj->handle, 36, static_cast<int32_t>(prop_get_field(obj->props, 36)) + h);
    }
  }
  if (const uint32_t first = rec.child) {
    uint32_t c = first;
    do {  // the reader checked that the ring closes
      WindowObject* child = create_record(recs, tpl, c, obj, flags, false, err);
      if (*err) return obj;
      (void)child;
      c = recs[c].next;
    } while (c != first);
  }
  return obj;
}

}  // namespace

bool form_is_loading() { return g_loading; }
bool cmd_form_loading() { return g_loading; }

void form_frame_extra(const WindowObject* form, int32_t* width, int32_t* height) {
  *width = *height = 0;
  int32_t rect[4] = {};
  if (!form->frame_window || !native_ops(form).get_rect(form, rect)) return;
  int32_t cw = 0, ch = 0;
  native_ops(form).client_size(form, &cw, &ch);
  const int32_t unit = obj_container_unit(form, kContainerScale);
  *width = ctl_pixels_to_twips_x(unit, std::max(0, rect[2] - cw));
  *height = ctl_pixels_to_twips_y(unit, std::max(0, rect[3] - ch));
}

int32_t form_make_records(WindowObject* obj, std::vector<PropertyBlock>* out) {
  out->clear();
  if (prop_block_string(obj->props, 28).empty()) return ERR_NO_NAME;
  obj_visit_preorder(obj, nullptr, count_and_save_text, false);
  const int32_t r = add_records(obj, out);
  if (r < 0) {
    release_records(*out);
    out->clear();
    return r;
  }
  return 0;
}

int32_t form_save(WindowObject* obj) {
  std::vector<PropertyBlock> recs;
  if (const int32_t r = form_make_records(obj, &recs); r != 0) return r;
  const std::string name(prop_block_string(obj->props, 28));
  // A form saved under a new name takes its template along.
  if (obj->type == kObjForm && tpl_is_template(static_cast<uint32_t>(obj->template_index))) {
    const uint32_t old = static_cast<uint32_t>(obj->template_index);
    if (!name_equal(name_text(old), name, 0) && !(name_find(name, NF_TEMPLATE) >> 16)) {
      if (const int r = name_rename(name, old, std::nullopt, false); r != 0) {
        release_records(recs);
        return r;
      }
    }
  }
  const int32_t h = tpl_store(std::move(recs));
  if (h < 1) return h;
  if (obj->type == kObjForm) obj->template_index = h >> 16;
  return h;
}

int32_t form_create_from_template(uint32_t handle, WindowObject* parent, uint32_t flags) {
  line_flush_current();
  const uint32_t index = handle >> 16;
  if (!index || !tpl_is_template(index)) return ERR_INVALID_ARGUMENT;
  const uint32_t record = handle & 0xFFFF;
  std::vector<PropertyBlock> recs;
  if (const int32_t e = tpl_load(index); e != 0) return e;
  if (!tpl_read_all(index, &recs) || record >= recs.size() || recs[record].type == 0) return ERR_INVALID_ARGUMENT;
  // The walk below follows the links: check the tree as it stands now.
  std::vector<uint8_t> block(recs.size() * kTemplateRecordSize);
  for (size_t r = 0; r < recs.size(); ++r) tpl_encode(recs[r], block.data() + r * kTemplateRecordSize);
  if (tpl_check_records(block) != 0) return ERR_INCORRECT_VERSION;
  // A control made into a form: its top-level form's name index is stale.
  if (parent && parent != obj_frame_object()) {
    if (WindowObject* top = obj_top_level(parent); top && top->name_index) {
      hheap_free(static_cast<HeapHandle>(top->name_index));
      top->name_index = 0;
    }
  }
  WindowObject* was_current = window_current();
  int32_t err = 0;
  WindowObject* obj = create_record(recs, index, record, parent, flags, true, &err);
  if (err) {
    if (obj) obj_destroy(obj);
    if (was_current && obj_get(was_current->handle) == was_current) window_set_current(was_current, 0);
    return err;
  }
  obj_tree_set_design_changed(obj, 0);
  if (prop_get_field(obj->props, 11))
    window_make_current_redraw(obj);
  else if (parent)
    window_set_current(parent, 0);
  return obj->handle;
}

int32_t form_load_mdi(uint32_t template_index) {
  static bool busy = false;
  if (busy) return 0;
  busy = true;
  WindowObject* frame = obj_frame_object();
  const int32_t last = frame ? frame->last_mdi_form : 0;
  const int32_t kept_template = frame ? frame->template_index : 0;
  const uint32_t unwinds = vm_catch.unwinds;
  const int32_t id = form_create_from_template(template_index << 16, frame, kShowHidden | kShowMdi);
  if (id > 0) {
    if (frame) frame->last_mdi_form = id;
    WindowObject* form = obj_get(id);
    const uint32_t serial = form->serial;
    if (vm_catch.unwinds == unwinds) {
      obj_send_create_events(form, nullptr);
      if (obj_same(id, serial)) {
        if (WindowObject* t = obj_first_tab_stop(form); t && t->client_window) xfSetFocus(t->client_window);
        obj_raise_event(form, kEvOnLoad);
      }
      if (obj_same(id, serial)) prop_set_int_by_handle(id, 11, 1);
    }
  } else if (frame) {
    frame->last_mdi_form = last;
    frame->template_index = kept_template;
  }
  busy = false;
  return id;
}

namespace {

struct Reapply {
  uint32_t tpl;
  uint32_t flags;
};

int32_t reapply_one(WindowObject* obj, void* arg) {
  const Reapply& ra = *static_cast<const Reapply*>(arg);
  if (obj_is_part(obj)) return 0;
  obj->flags &= ~kWinCreateEvents;
  if (!(ra.flags & kShowRecords)) return 0;
  int32_t r = obj->type == kObjForm ? 0 : tpl_find_control(ra.tpl, prop_block_string(obj->props, 28));
  PropertyBlock rec;
  if (r >= 0 && tpl_read(ra.tpl, static_cast<uint32_t>(r), &rec) && rec.type == obj->type) obj_apply_record(obj, &rec);
  return 0;
}

}  // namespace

int32_t obj_reapply_template(WindowObject* form, uint32_t flags) {
  if (!form || form->type != kObjForm) return ERR_INVALID_ARGUMENT;
  const uint32_t tpl = static_cast<uint32_t>(form->template_index);
  if (!tpl_is_template(tpl) || tpl_load(tpl) != 0) return ERR_INVALID_ARGUMENT;
  Reapply ra{tpl, flags};
  obj_visit_preorder(form, &ra, reapply_one, true);
  return form->handle;
}

void obj_apply_record(WindowObject* obj, const PropertyBlock* rec) {
  LoadingScope loading;
  for (int32_t& s : obj->free_string) prop_assign_string_slot(&s, std::nullopt);
  const int64_t h = obj->handle;
  auto want = [&](uint32_t id) { return rec ? prop_field_value(*rec, id) : 1; };
  if (rec) {
    bool moved = false;
    for (uint32_t id : {40u, 41u, 39u, 36u}) moved |= prop_get_int_by_handle(h, id) != prop_field_value(*rec, id);
    if (moved) {
      const uint32_t keep61 = prop_get_field(obj->props, 61);
      prop_set_field(obj->props, 61, 0);
      for (uint32_t id : {40u, 41u, 39u, 36u}) prop_set_int_by_handle(h, id, prop_field_value(*rec, id));
      prop_set_field(obj->props, 61, keep61);
    }
  }
  const uint32_t bit = obj_type_bit(static_cast<uint32_t>(obj->type));
  for (uint32_t id : {2u, 11u})
    if (prop_get_int_by_handle(h, id) != want(id)) prop_set_int_by_handle(h, id, want(id));
  static constexpr uint32_t kValueIds[] = {42, 15, 77, 78, 57, 90, 81};
  const bool valued = obj->type == kObjCheck || obj->type == kObjRadio || obj->type == kObjList ||
                      obj->type == kObjHScroll || obj->type == kObjVScroll || obj->type == kObjPicture ||
                      obj->type == kObjImage || obj->type == kObjGauge || obj->type == kObjSpin;
  if (valued && rec) {
    for (uint32_t id : kValueIds) {
      const PropertyRecord& row = prop_record(id);
      if (!(row.type_mask & bit) || !row.setter || row.word >= kPropWords) continue;
      if (prop_get_field(obj->props, id) != prop_get_field(*rec, id)) prop_set_int_by_handle(h, id, want(id));
    }
  }
  if (obj->type == kObjText || obj->type == kObjCombo) {
    const std::string text(rec ? tpl_string(*rec, 52) : std::string_view());
    prop_set_cstr_by_handle(h, 52, text.c_str());
  }
  if (obj->type == kObjCheck || obj->type == kObjCommand || obj->type == kObjGroup || obj->type == kObjLabel) {
    const std::string caption(rec ? tpl_string(*rec, 29) : std::string_view());
    if (prop_block_string(obj->props, 29) != caption) prop_set_cstr_by_handle(h, 29, caption.c_str());
  }
}

// ---- built-ins ----

// Ext 37: -> the template handle of the current object's tree, or the error.
void bi_save_form() {
  WindowObject* obj = window_current();
  if (!obj) {
    vm_push_int(ERR_INVALID_ARGUMENT);
    return;
  }
  vm_push_int(form_save(obj));
}

// Ext 36: handle [parent [options [arguments...]]] -> the new form's id.
void bi_show_form() {
  int32_t n = 0;
  if (!bi_count(1, 255, &n)) return;
  if (vm_check_break() != ERR_OK) return;
  const int32_t used = std::min(n, kShowFormMaxArgs);
  int32_t handle = 0;
  if (!bi_arg_int(n, 0, &handle)) return;
  uint32_t flags = 0;
  if (n > 2) {
    for (char c : bi_arg_str(n, 2)) {
      const char* letters = "HEAWRC";
      const char* at = std::strchr(letters, std::toupper(static_cast<unsigned char>(c)));
      if (!at || !c) return bi_fail(n);
      flags |= 1u << (at - letters);
    }
  }
  if ((flags & kShowCallerArgs) && used != 4) return bi_fail(n);
  WindowObject* parent = obj_frame_object();
  if (n > 1 && !bi_arg_str(n, 1).empty()) {
    int32_t pid = 0;
    if (!bi_arg_int(n, 1, &pid)) return;
    WindowObject* p = obj_get(pid);
    if (!p) return bi_fail(n);
    parent = obj_owner_or_self(p);
  }
  std::vector<std::string> args;
  for (int32_t i = 3; i < used; ++i) args.push_back(bi_arg_str(n, i));
  core_drop(n);
  const uint32_t unwinds = vm_catch.unwinds;
  int32_t id = 0;
  if (flags & kShowReapply) {
    WindowObject* form = obj_get(handle);
    if (!form || form->type != kObjForm) return vm_raise_fatal(ERR_INVALID_ARGUMENT);
    id = obj_reapply_template(form, flags);
  } else {
    id = form_create_from_template(static_cast<uint32_t>(handle), parent, flags);
  }
  if (vm_catch.unwinds != unwinds) return;
  if (id < 1 || (flags & kShowNoEvents)) {
    vm_push_int(id);
    return;
  }
  std::vector<std::string> event_args;
  if (flags & kShowCallerArgs) {
    int32_t from = 0;
    lstr_number_error = 0;
    from = static_cast<int32_t>(std::strtol(args[0].c_str(), nullptr, 10));
    if (from < 1) {
      vm_push_int(id);
      return vm_raise_error(ERR_INVALID_ARGUMENT);
    }
    for (int32_t k = from; k <= vm.regs.arg_count; ++k)
      event_args.emplace_back(lstr_view(var_value(static_cast<uint32_t>(vm_arg_slot(k)))));
  } else {
    event_args = std::move(args);
  }
  vm_push_int(id);
  WindowObject* form = obj_get(id);
  if (!form) return;
  const uint32_t serial = form->serial;
  std::vector<std::string_view> views(event_args.begin(), event_args.end());
  const std::span<const std::string_view> span(views);
  obj_send_create_events(form, &span);  // a list, empty below four arguments
  if (!obj_same(id, serial) || (flags & kShowDesign)) return;
  if (WindowObject* t = obj_first_tab_stop(form); t && t->client_window) xfSetFocus(t->client_window);
  obj_raise_event(form, kEvOnLoad);
}
