// Window objects: types, defaults, the fixed objects, creation and
// destruction (see objects.h).
#include "forms/objects.h"

#include <array>
#include <cctype>

#include "base/handle_heap.h"
#include "forms/ctl_list.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/command_port.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "macro/startup_port.h"
#include "macro/window_port.h"
#include "text/curline.h"
#include "text/edit_window_port.h"

namespace {

uint32_t g_serial = 0;
WindowObject* g_fixed[4] = {};

constexpr std::array<std::string_view, kObjTypeCount> kTypeNames = {
    "",        "",        "form",  "text", "check",   "command", "radio", "frame", "label", "list",
    "hscroll", "vscroll", "combo", "",     "picture", "image",   "gauge", "spin",  "",      ""};

// Names-table flag values of the object-type records 34..44; index 33's is 0.
constexpr std::array<uint32_t, 12> kNameFlagBits = {0, 1, 2, 4, 8, 0x10, 0x20, 0x40, 0x80, 0x80, 0x200, 0x20000};

void set(PropertyBlock& b, uint32_t id, int64_t v) { prop_set_field(b, id, static_cast<uint32_t>(v)); }

// The base defaults of types 1..17, in their order.
void base_defaults(PropertyBlock& b) {
  set(b, 69, 0), set(b, 2, 1), set(b, 12, 1), set(b, 11, 1);
  set(b, 31, 0x80000005), set(b, 35, 0x80000008), set(b, 33, 13), set(b, 34, 1);
  set(b, 75, 1), set(b, 47, 1), set(b, 13, 1);
  for (uint32_t id = 25; id <= 29; ++id) set(b, id, 0);
  set(b, 52, 0), set(b, 86, 0), set(b, 40, -1), set(b, 3, 1), set(b, 5, 8), set(b, 89, 1);
}

void font_defaults(PropertyBlock& b) {
  base_defaults(b);
  prop_block_set_string(b, 30, "MS Sans Serif");
}

void scroll_defaults(PropertyBlock& b) {
  base_defaults(b);
  set(b, 77, 0), set(b, 78, 32767), set(b, 80, 1), set(b, 79, 1), set(b, 61, 1);
}

// columns: type, initialiser
using Init = void (*)(PropertyBlock&);
constexpr std::array<Init, kObjTypeCount> kInitialisers = {
    nullptr,
    [](PropertyBlock& b) { base_defaults(b), set(b, 16, 2), set(b, 12, 0); },                 // 1 frame object
    [](PropertyBlock& b) { base_defaults(b), set(b, 16, 3), set(b, 12, 0); },                 // 2 form
    [](PropertyBlock& b) { font_defaults(b), set(b, 16, 1), set(b, 61, 1); },                 // 3 text
    font_defaults,                                                                            // 4 check
    font_defaults,                                                                            // 5 command
    font_defaults,                                                                            // 6 radio
    [](PropertyBlock& b) { font_defaults(b), set(b, 12, 0); },                                // 7 frame
    [](PropertyBlock& b) { font_defaults(b), set(b, 12, 0); },                                // 8 label
    [](PropertyBlock& b) { font_defaults(b), set(b, 16, 1), set(b, 18, 2), set(b, 61, 1); },  // 9 list
    scroll_defaults,                                                                          // 10 hscroll
    scroll_defaults,                                                                          // 11 vscroll
    [](PropertyBlock& b) { font_defaults(b), set(b, 69, 1), set(b, 61, 1), set(b, 16, 0); },  // 12 combo
    [](PropertyBlock& b) { base_defaults(b), set(b, 16, 1), set(b, 61, 0); },                 // 13 help
    [](PropertyBlock& b) { base_defaults(b), set(b, 61, 1), set(b, 16, 1), set(b, 12, 0), set(b, 83, 1); },  // 14
    [](PropertyBlock& b) { base_defaults(b), set(b, 61, 1), set(b, 16, 0), set(b, 12, 0), set(b, 83, 1); },  // 15
    [](PropertyBlock& b) { base_defaults(b), set(b, 78, 100), set(b, 12, 0); },                              // 16 gauge
    [](PropertyBlock& b) {                                                                                   // 17 spin
      base_defaults(b), set(b, 12, 0), set(b, 81, 100), set(b, 31, 0x8000000f);
      set(b, 77, 0), set(b, 78, 32767), set(b, 90, 1);
    },
    [](PropertyBlock& b) { set(b, 2, 1); },  // 18 menu
    [](PropertyBlock& b) { set(b, 2, 1); },  // 19 menu item
};

void unlink_from_parent(WindowObject* obj) {
  WindowObject* parent = obj->parent;
  if (obj->next == obj || !obj->next) {
    // An MDI form names the frame without being in its ring of children.
    if (parent && parent->first_child == obj) parent->first_child = nullptr;
  } else {
    obj->prev->next = obj->next;
    obj->next->prev = obj->prev;
    if (parent && parent->first_child == obj) parent->first_child = obj->prev;
  }
  obj->next = obj->prev = nullptr;
  obj->parent = nullptr;
}

// Frees the object and its subtree (children first).
void free_tree(WindowObject* obj) {
  while (WindowObject* c = obj->first_child) free_tree(c);
  if (obj->frame_window || obj->client_window) native_ops(obj).destroy(obj);
  obj_close_own_buffer(obj);
  obj_free_strings(obj);
  if (obj->name_index) hheap_free(static_cast<HeapHandle>(obj->name_index));
  obj->name_index = 0;
  WindowObject* parent = obj->parent;
  // The previous sibling takes over from a current object; one alone in its
  // ring hands over to its parent.
  WindowObject* before = obj->next && obj->next != obj ? obj->prev : nullptr;
  unlink_from_parent(obj);
  const bool was_current = window_current() == obj;
  window_free_record(obj);
  if (!was_current) return;
  if (before && !(before->flags & kWinHidden))
    window_set_current(before, 0);
  else if (parent)
    window_set_current(parent, 0);
}

}  // namespace

std::string_view obj_type_name(int32_t type) {
  return type >= 0 && type < kObjTypeCount ? kTypeNames[static_cast<size_t>(type)] : std::string_view();
}

void obj_init_type_defaults(PropertyBlock& b, int32_t type) {
  if (type >= 1 && type < kObjTypeCount) kInitialisers[static_cast<size_t>(type)](b);
}

int32_t obj_type_from_name_flags(uint32_t flags) {
  if (flags & 0x400) return static_cast<int32_t>((flags >> 11) & 31);
  const uint32_t f = flags & ~0x10000u;
  for (size_t i = 0; i < kNameFlagBits.size(); ++i)
    if (kNameFlagBits[i] == f) return static_cast<int32_t>(33 + i) | ((flags & 0x10000) ? 128 : 0);
  return 0;
}

uint32_t obj_type_to_name_flags(int32_t type) {
  if (type >= 0 && type < 20) return (static_cast<uint32_t>(type) << 11) | 0x400;
  const int32_t index = type & ~128;
  if (index < 33 || index > 44) return 0;
  return kNameFlagBits[static_cast<size_t>(index - 33)] | ((type & 128) ? 0x10000 : 0);
}

int32_t obj_name_hash(std::string_view name) {
  uint16_t sum = 0;
  for (char c : name) sum = static_cast<uint16_t>(sum + (c == '_' ? '-' : std::toupper(static_cast<unsigned char>(c))));
  return sum & 15;
}

// ---- the table ----

int32_t objects_init(int32_t screen_width, int32_t screen_height) {
  for (int32_t id = 1; id <= 3; ++id) {
    WindowObject* w = window_alloc_record();
    if (!w || w->handle != id) return ERR_NOT_ENOUGH_MEMORY;  // not a fresh table
    w->serial = ++g_serial;
    w->design_visible = 1;
    w->next = w->prev = w;
    g_fixed[id] = w;
  }
  WindowObject* app = g_fixed[kAppFormId];
  obj_set_type(app, kObjForm);
  set(app->props, 47, kScalePixels);
  set(app->props, 11, 1);
  set(app->props, 40, screen_width + 100);
  set(app->props, 41, screen_height + 100);
  set(app->props, 39, 0);
  set(app->props, 36, 0);
  WindowObject* cmd = g_fixed[kCommandLineId];
  obj_set_type(cmd, kObjText);
  cmd->redraw_on = 1;
  return 0;
}

void objects_shutdown() {
  for (int32_t id = window_table_count() - 1; id > 0; --id) {
    WindowObject* w = window_record(id);
    if (!w) continue;
    obj_free_strings(w);
    if (w->name_index) hheap_free(static_cast<HeapHandle>(w->name_index));
    w->name_index = 0;
  }
  for (auto& f : g_fixed) f = nullptr;
}

WindowObject* obj_get(int32_t id) { return id > 0 ? window_record(id) : nullptr; }

bool obj_same(int32_t id, uint32_t serial) {
  const WindowObject* w = obj_get(id);
  return w && w->serial == serial;
}

int32_t obj_last_id() { return window_table_count() - 1; }

WindowObject* obj_app_form() { return g_fixed[kAppFormId] ? obj_get(kAppFormId) : nullptr; }
WindowObject* obj_frame_object() { return g_fixed[kFrameObjectId] ? obj_get(kFrameObjectId) : nullptr; }
WindowObject* obj_command_line() { return g_fixed[kCommandLineId] ? obj_get(kCommandLineId) : nullptr; }

// The command executor and the start-up find the frame's edit window here.
WindowObject* cmd_frame_object() { return obj_frame_object(); }
WindowObject* cmd_command_line() { return obj_command_line(); }
WindowObject* startup_first_child() {
  const WindowObject* f = obj_frame_object();
  return f ? f->first_child : nullptr;
}

void obj_set_type(WindowObject* obj, int32_t type) {
  obj->type = type;
  obj->props.type = static_cast<uint16_t>(type);
  obj_init_type_defaults(obj->props, type);
}

WindowObject* window_new_child(WindowObject* parent) {
  WindowObject* w = window_alloc_record();
  if (!w) return nullptr;
  w->serial = ++g_serial;
  w->design_visible = 1;
  w->redraw_on = 1;
  if (parent && parent != obj_frame_object()) {
    w->parent = parent;
    if (WindowObject* first = parent->first_child) {
      WindowObject* last = first->prev;
      w->prev = last;
      w->next = first;
      last->next = w;
      first->prev = w;
    } else {
      parent->first_child = w;
      w->next = w->prev = w;
    }
  } else {
    w->next = w->prev = w;
  }
  window_set_current(w, 0);
  return w;
}

WindowObject* obj_top_level(WindowObject* obj) {
  while (obj && obj->type != kObjFrame && obj->type != kObjForm && obj->parent) obj = obj->parent;
  return obj;
}

bool obj_is_part(const WindowObject* obj) { return obj && obj->owner != 0 && obj->type != kObjCombo; }

WindowObject* obj_owner_or_self(WindowObject* obj) {
  if (!obj_is_part(obj)) return obj;
  WindowObject* o = obj_get(obj->owner);
  return o ? o : obj;
}

WindowObject* obj_find_by_window(const XfWindow* w) {
  if (!w) return nullptr;
  for (int32_t id = 1; id < window_table_count(); ++id)
    if (WindowObject* o = window_record(id); o && (o->frame_window == w || o->client_window == w)) return o;
  return nullptr;
}

bool obj_is_frame_child(const WindowObject* obj) {
  const WindowObject* f = obj_frame_object();
  return obj && f && obj->parent == f;
}

int32_t obj_destroy(WindowObject* obj) {
  if (!obj) return 0;
  if (obj == obj_frame_object() || obj == obj_app_form() || (obj->flags & kWinHidden)) return ERR_NOT_ALLOWED_ON_OBJECT;
  line_flush_current();
  const int32_t id = obj->handle;
  const uint32_t serial = obj->serial;
  obj_send_destroy_events(obj);
  if (!obj_same(id, serial)) return 1;  // a handler closed it
  obj->modal_level = 0;
  if (obj->modal_done) *obj->modal_done = true;
  obj->modal_done = nullptr;
  if (!obj_is_frame_child(obj) && obj->frame_window) native_ops(obj).show(obj, false);
  WindowObject* parent = obj->parent;
  const bool was_current = window_current() == obj;
  free_tree(obj);
  if (was_current || !window_current()) {
    // What freeing the tree left current (the previous sibling), else the
    // parent, else the frame.
    WindowObject* next = window_current();
    if (!next) next = parent ? parent : obj_frame_object();
    if (!next || next == obj_app_form()) next = obj_frame_object();
    if (!next) next = obj_command_line();
    window_make_current_redraw(next);
  }
  return 0;
}

void obj_type_editor_window(WindowObject* w) {
  if (w->props.type == kObjForm) return;
  if (!w->serial) w->serial = ++g_serial;
  w->design_visible = 1;
  w->redraw_on = 1;
  obj_set_type(w, kObjForm);
  set(w->props, 47, kScalePixels);
  set(w->props, 16, 2);
  if (WindowObject* f = obj_frame_object()) {
    if (f->type != kObjFrame) {
      obj_set_type(f, kObjFrame);
      set(f->props, 47, kScalePixels);
    }
    if (!w->parent && !w->next) {
      w->parent = f;
      if (WindowObject* first = f->first_child) {
        w->prev = first->prev, w->next = first;
        first->prev->next = w, first->prev = w;
      } else {
        f->first_child = w;
        w->next = w->prev = w;
      }
    }
  }
}

// ---- editor windows of the buffers (text/edit_window_port.h) ----

int32_t edit_window_create(WindowObject* w, bool) {
  // The command line shows its buffer in a field of its own.
  if (w == obj_command_line()) return 0;
  obj_type_editor_window(w);
  return native_ops(w).create(w);
}

namespace {
// The window to work in once the current one is closed: the frame's first
// window that shows a buffer, else any window of the edit ring, else the
// command line, so that the keys and the built-ins always find a view.
WindowObject* next_working_window() {
  if (WindowObject* f = obj_frame_object();
      f && f->first_child && f->first_child->view && !(f->first_child->flags & kWinHidden))
    return f->first_child;
  if (WindowObject* head = window_edit_list_head()) {
    WindowObject* w = head;
    do {
      if (w->view && !(w->flags & kWinHidden) && w != obj_command_line()) return w;
      w = w->edit_next;
    } while (w && w != head);
  }
  return obj_command_line();
}
}  // namespace

void edit_window_close(WindowObject* w) {
  if (obj_destroy(w) >= 0) {
    // The work goes on in another window, never in one without a view.
    WindowObject* cur = window_current();
    if (cur && cur->view && cur != obj_frame_object() && cur != obj_app_form()) return;
    if (WindowObject* next = next_working_window()) {
      window_make_current_redraw(next);
      // Without a window the frame keeps the keys, not the command line's
      // field: New, Open and the other keys of the bindings still work.
      if (next != obj_command_line()) window_focus(next);
    }
    return;
  }
  // The frame's own objects and the hidden first window stay: they give
  // their views back and show nothing.
  while (PosRecord* v = w->view) {
    PosRecord* next = v->win_next != v ? v->win_next : nullptr;
    pos_free(v);
    w->view = next;
  }
  window_unlink_edit_list(w);
}

// ---- built-ins ----

// Ext 134: type parent [caption [x [y [width [height [flags [border]]]]]]].
void bi_create_object() {
  int32_t n = 0;
  if (!bi_count(2, 9, &n)) return;
  if (vm_check_break() != ERR_OK) return;
  int32_t type = 0, parent_id = 0, flags = 0, border = -1;
  int32_t geo[4] = {-1, -1, -1, -1};  // x, y, width, height
  if (!bi_arg_int(n, 0, &type) || !bi_arg_int(n, 1, &parent_id)) return;
  const std::string caption = n > 2 ? bi_arg_str(n, 2) : std::string();
  for (int32_t i = 0; i < 4; ++i)
    if (n > 3 + i && !bi_arg_int(n, 3 + i, &geo[i])) return;
  if (n > 7 && !bi_arg_int(n, 7, &flags)) return;
  if (n > 8 && !bi_arg_int(n, 8, &border)) return;
  if (type == kObjFrame) return bi_fail(n, ERR_CANT_CREATE_MDI_FORM);
  if (type < kObjForm || type > kObjSpin) return bi_fail(n);
  const bool form = type == kObjForm;
  if (form && (flags & 0x40)) return bi_fail(n, ERR_FORM_CLIPPED_CHILD);
  if (!form && !(flags & 0x40)) return bi_fail(n, ERR_CONTROL_NEEDS_PARENT);
  WindowObject* parent = obj_get(parent_id);
  if (!(flags & 0xC0) || !parent) return bi_fail(n);
  core_drop(n);
  line_flush_current();
  window_set_current(parent, 0);
  WindowObject* frame = obj_frame_object();
  if ((!form && parent == frame) || (frame && parent->parent == frame) || parent == obj_command_line())
    return vm_raise_error(ERR_INVALID_PARENT_WINDOW);
  WindowObject* obj = window_new_child(parent == frame ? nullptr : parent);
  if (!obj) return vm_set_rc(ERR_NOT_ENOUGH_MEMORY);
  if (!form) {
    if (WindowObject* top = obj_top_level(obj); top && top->name_index) {
      hheap_free(static_cast<HeapHandle>(top->name_index));
      top->name_index = 0;
    }
  } else if (flags & 0x80) {
    obj->owner_form_id = parent->handle;
  }
  obj_set_type(obj, type);
  PropertyBlock& b = obj->props;
  if (flags & 0x1) set(b, 9, 0);
  if (flags & 0x2) set(b, 10, 0);
  if (flags & 0x4) set(b, 13, 0);
  if (flags & 0x8) set(b, 11, 0);
  if (flags & 0x200) set(b, 22, 1);
  if (flags & 0x400) set(b, 22, 0);
  if (flags & 0x800) set(b, 22, 2);
  if (flags & 0x1000) set(b, 1, 1);
  if (flags & 0x2000) obj->design_mode = 1;
  if (type == kObjCombo && (flags & 0x4000)) set(b, 15, 1);
  if (type == kObjCombo && (flags & 0x8000)) set(b, 15, 2);
  set(b, 40, geo[0]), set(b, 41, geo[1]), set(b, 39, geo[2]), set(b, 36, geo[3]);
  if (border >= 0) set(b, 16, border);
  if (prop_block_set_string(b, 29, caption) != 0) {
    obj_destroy(obj);
    return vm_raise_fatal(ERR_NOT_ENOUGH_MEMORY);
  }
  if (const int32_t r = native_ops(obj).create(obj); r != 0) {
    obj_destroy(obj);
    return vm_set_rc(r);
  }
  window_make_current_redraw(obj);
  vm_set_rc(obj->handle);
}

// Ext 167: id -> 1 when a live object's id.
void bi_is_window_id() {
  int32_t id = 0;
  lstr_number_error = 0;
  id = lstr_to_long(vm_top());
  const bool bad = lstr_number_error != 0;
  vm_pop();
  vm_push_int(!bad && obj_get(id) ? 1 : 0);
}

// Ext 168: the largest id ever handed out.
void bi_last_window_id() { vm_push_int(obj_last_id()); }
